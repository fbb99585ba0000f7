#include "edit/FindSession.h"

#include "shell/MainModel.h"
#include "ui/LongWork.h"
#include "sheet/TextFinder.h"
#include "ui/Platform.h"

#include <new>

namespace quillon {

FindSession::FindSession(MainModel& model, QObject* parent) : QObject(parent), m_model(model) {}

void FindSession::load()
{
    m_text.clear();
    m_fromBeginning = false;
    m_matchCase = false;
    m_column = 0;
    m_nextRow = 1;
    m_lastHit = false;
    m_hits = 0;
}

void FindSession::activated()
{
    m_model.setMouseMode(true);
}

void FindSession::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    m_column = 0;
    m_nextRow = 1;
    m_lastHit = false;
}

void FindSession::findNext()
{
    RecordSheet& sheet = m_model.sheet();
    const int lastRow = sheet.rows() - 1;
    const int lastCol = sheet.cols() - 1;
    if (!m_fromBeginning) {
        m_column = std::max(m_column, sheet.currentCol());
        m_nextRow = std::max(m_nextRow, sheet.currentRow());
    } else if (!m_lastHit || (sheet.currentCol() == lastCol && sheet.currentRow() == lastRow)) {
        m_column = 0;
        m_nextRow = 1;
    }

    CellPosition hit;
    bool searched = false;
    {
        LongWork work(m_model.platform(), qint64(sheet.recordCount()) * std::max(lastCol - m_column + 1, 0));
        // A large search runs on two threads; memory running out on either comes back here.
        try {
            hit = FindCell(sheet, CellMatcher(m_text, m_matchCase), m_column, m_nextRow);
            searched = true;
        } catch (const std::bad_alloc&) {
        }
    }
    if (!searched) {
        m_model.platform().message(QStringLiteral("Quillon"),
                                   QStringLiteral("There is not enough memory to search the sheet."), Platform::Ok,
                                   Platform::Critical);
        return;
    }
    if (hit.isValid()) {
        sheet.setCurrentCell(hit.row, hit.col);
        m_column = hit.col;
        m_nextRow = hit.row + 1;
        m_lastHit = true;
        m_model.fa_Click();
        ++m_hits;
        return;
    }
    m_lastHit = false;
    const QString caption = QStringLiteral("Quillon");
    if (m_hits < 1) {
        m_model.platform().message(caption, QStringLiteral("Search text is not found."), Platform::Ok,
                                   Platform::Warning);
    } else {
        m_model.platform().message(caption,
                                   QStringLiteral("The document has been searched.\n%1 found.").arg(m_hits),
                                   Platform::Ok, Platform::Warning);
        m_hits = 0;
    }
}

} // namespace quillon

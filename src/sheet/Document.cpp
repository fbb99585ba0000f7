#include "sheet/Document.h"

namespace quillon {

Document::Document(const QString& untitledPath, QObject* parent)
    : QObject(parent), m_untitledPath(untitledPath), m_name(untitledPath)
{
}

void Document::setDocumentName(const QString& path)
{
    if (path == m_name)
        return;
    m_name = path;
    emit documentNameChanged(path);
}

void Document::MakeModified(bool what)
{
    const bool modifiedChanged_ = m_modified != what;
    const bool saveChanged = m_saveEnabled != what;
    m_modified = what;
    m_saveEnabled = what;
    if (modifiedChanged_)
        emit modifiedChanged(what);
    if (saveChanged)
        emit saveEnabledChanged(what);
}

void Document::MarkEdited(bool inPlaceEdit)
{
    if (!isUntitled() && !m_modified)
        MakeModified(true);
    if (inPlaceEdit && !m_modified) {
        m_modified = true;
        emit modifiedChanged(true);
    }
}

void Document::setModifiedMarks(bool modified, bool saveEnabled)
{
    const bool modifiedChanged_ = m_modified != modified;
    const bool saveChanged = m_saveEnabled != saveEnabled;
    m_modified = modified;
    m_saveEnabled = saveEnabled;
    if (modifiedChanged_)
        emit modifiedChanged(modified);
    if (saveChanged)
        emit saveEnabledChanged(saveEnabled);
}

void Document::resizeComboLists(bool keep)
{
    if (!keep)
        m_comboLists.clear();
    while (m_comboLists.size() < m_sheet.cols())
        m_comboLists.append(QString());
}

void SetDefaults(RecordSheet& sheet)
{
    sheet.clearAll();
    sheet.setCols(9);
    sheet.setRows(50);
    for (int c = 0; c < sheet.cols(); ++c) {
        ColumnAttributes a;
        a.alignment = AlignGeneral;
        sheet.setColumn(c, a);
    }
}

void Document::buildNewSheet()
{
    static const char* const titles[] = {"Name", "Street", "City", "State", "Zip Code", "Phone", "Web Site", "Email"};
    static const int widths[] = {2500, 2500, 1000, 500, 900, 1500};
    RecordSheet& s = m_sheet;
    s.setCols(0);
    SetDefaults(s);
    for (int c = 0; c < 8; ++c)
        s.setTitle(c, QLatin1String(titles[c]));
    for (int c = 0; c < 6; ++c)
        s.setColumnWidth(c, widths[c]);
    s.setCols(10);
    for (int c = 0; c < 10; ++c) {
        s.setColumnDataType(c, TypeText);
        s.setColumnAlignment(c, AlignLeft);
    }
    s.setRows(21);
    s.setCurrentCell(1, 0);
    resizeComboLists(false);
}

} // namespace quillon

#include "edit/SheetSteps.h"

#include <algorithm>
#include <exception>

namespace quillon {

// ---- the step ----------------------------------------------------------------------------

SheetStep::SheetStep(MainModel& model, const QString& text)
    : UndoStep(text), m_model(model), m_before(where()), m_marksBefore(model.history().currentMarks())
{
    m_after = m_before;
}

SheetStep::Where SheetStep::where() const
{
    const RecordSheet& s = m_model.sheet();
    Document& doc = m_model.document();
    Where w;
    w.row = s.currentRow();
    w.col = s.currentCol();
    w.rowSel = s.rowSel();
    w.colSel = s.colSel();
    if (s.selectionMode() == RecordSheet::SelectionMode::Rows)
        w.rows = s.selectedRowRanges();
    w.sortedColumn = doc.SortedColumn();
    w.clearBeforeGrab = doc.ClearBeforeGrab();
    w.comboLists = doc.ColumnComboLists();
    return w;
}

void SheetStep::finish()
{
    m_after = where();
}

void SheetStep::restore(const Where& w)
{
    RecordSheet& s = m_model.sheet();
    Document& doc = m_model.document();
    std::vector<std::pair<int, int>> rows = w.rows;
    if (rows.empty() && w.row >= 1)
        rows.emplace_back(std::min(w.row, w.rowSel), std::max(w.row, w.rowSel));
    s.setSelection(w.row, w.col, w.rowSel, w.colSel, std::move(rows));
    doc.setSortedColumn(w.sortedColumn);
    doc.setClearBeforeGrab(w.clearBeforeGrab);
    doc.ColumnComboLists() = w.comboLists;
    m_model.ResyncFormPanel();
}

void SheetStep::undo()
{
    UndoStep::undo();
    restore(m_before);
}

void SheetStep::redo()
{
    UndoStep::redo();
    restore(m_after);
}

qint64 SheetStep::memoryCost() const
{
    const auto whereCost = [](const Where& w) {
        qint64 n = qint64(w.rows.capacity() * sizeof(w.rows[0]));
        for (const QString& list : w.comboLists)
            n += 16 + qint64(list.size()) * 2;
        return n;
    };
    return UndoStep::memoryCost() + whereCost(m_before) + whereCost(m_after);
}

// ---- cells ----------------------------------------------------------------------------------

CellsPart::CellsPart(RecordSheet& sheet, CellSnapshot before, QUndoCommand* step)
    : SheetPart(step), m_sheet(sheet), m_kept(std::move(before))
{
}

bool CellsPart::changesNothing() const
{
    // Looked at only where it is cheap: a command over many cells is taken as a change.
    constexpr qint64 kLookedAt = 4096;
    if (std::max(m_kept.cellCount(), m_kept.rowCount()) > kLookedAt)
        return false;
    return m_kept.matches(m_sheet);
}

// ---- rows ---------------------------------------------------------------------------------------

InsertRowsPart::InsertRowsPart(RecordSheet& sheet, int pos, int count, QUndoCommand* step)
    : SheetPart(step), m_sheet(sheet), m_pos(pos), m_count(count)
{
}

void InsertRowsPart::undo()
{
    m_sheet.removeRows(m_pos, m_count);
}

void InsertRowsPart::redo()
{
    m_sheet.insertRows(m_pos, m_count);
}

RemoveRowsPart::RemoveRowsPart(RecordSheet& sheet, CellSnapshot removed, QUndoCommand* step)
    : SheetPart(step), m_sheet(sheet), m_removed(std::move(removed))
{
}

void RemoveRowsPart::undo()
{
    m_sheet.insertRowSet(m_removed.rowList());
    m_removed.write(m_sheet);
    m_removed.clearContents();
}

void RemoveRowsPart::redo()
{
    m_removed = CellSnapshot::read(m_sheet, m_removed.rows(), 0, m_sheet.cols() - 1, CellSnapshot::All);
    m_sheet.removeRowSet(m_removed.rowList());
}

AppendRowsPart::AppendRowsPart(RecordSheet& sheet, int first, QUndoCommand* step)
    : SheetPart(step), m_sheet(sheet), m_first(first)
{
}

void AppendRowsPart::undo()
{
    m_taken = CellSnapshot::read(m_sheet, {{m_first, m_sheet.rows() - 1}}, 0, m_sheet.cols() - 1, CellSnapshot::All);
    m_sheet.setRows(m_first);
}

void AppendRowsPart::redo()
{
    m_sheet.setRows(m_first + int(m_taken.rowCount()));
    m_taken.write(m_sheet);
    m_taken = CellSnapshot();
}

PermutePart::PermutePart(RecordSheet& sheet, std::vector<int> order, QUndoCommand* step)
    : SheetPart(step), m_sheet(sheet), m_order(std::move(order))
{
}

void PermutePart::undo()
{
    std::vector<int> inverse(m_order.size());
    for (size_t i = 0; i < m_order.size(); ++i)
        inverse[size_t(m_order[i] - 1)] = int(i) + 1;
    m_sheet.applyRecordOrder(inverse);
}

void PermutePart::redo()
{
    m_sheet.applyRecordOrder(m_order);
}

// ---- columns ------------------------------------------------------------------------------------

InsertColumnsPart::InsertColumnsPart(RecordSheet& sheet, int pos, int count, QUndoCommand* step)
    : SheetPart(step), m_sheet(sheet), m_pos(pos), m_count(count)
{
}

void InsertColumnsPart::undo()
{
    m_sheet.removeColumns(m_pos, m_count);
}

void InsertColumnsPart::redo()
{
    m_sheet.insertColumns(m_pos, m_count);
}

RemoveColumnPart::RemoveColumnPart(RecordSheet& sheet, int pos, ColumnPiece taken, QUndoCommand* step)
    : SheetPart(step), m_sheet(sheet), m_pos(pos), m_taken(std::move(taken))
{
}

void RemoveColumnPart::undo()
{
    m_sheet.putColumn(m_pos, std::move(m_taken));
    m_taken = ColumnPiece();
}

void RemoveColumnPart::redo()
{
    m_taken = m_sheet.takeColumn(m_pos);
}

ColumnAttributesPart::ColumnAttributesPart(RecordSheet& sheet, int first, int last, QUndoCommand* step)
    : SheetPart(step), m_sheet(sheet), m_first(first)
{
    for (int c = first; c <= last && c < sheet.cols(); ++c)
        m_kept.push_back(sheet.column(c));
}

void ColumnAttributesPart::swap()
{
    for (size_t i = 0; i < m_kept.size(); ++i) {
        const int c = m_first + int(i);
        if (c >= m_sheet.cols())
            break;
        ColumnAttributes now = m_sheet.column(c);
        m_sheet.setColumn(c, m_kept[i]);
        m_kept[i] = std::move(now);
    }
}

bool ColumnAttributesPart::changesNothing() const
{
    for (size_t i = 0; i < m_kept.size(); ++i)
        if (m_first + int(i) < m_sheet.cols() && !(m_sheet.column(m_first + int(i)) == m_kept[i]))
            return false;
    return true;
}

qint64 ColumnAttributesPart::memoryCost() const
{
    qint64 n = qint64(sizeof(*this) + m_kept.capacity() * sizeof(ColumnAttributes));
    for (const ColumnAttributes& a : m_kept)
        n += qint64(a.format.capacity()) * 2;
    return n;
}

FontSizePart::FontSizePart(RecordSheet& sheet, int before, QUndoCommand* step)
    : SheetPart(step), m_sheet(sheet), m_kept(before)
{
}

void FontSizePart::swap()
{
    const int now = m_sheet.fontPointSize();
    m_sheet.setFontPointSize(m_kept);
    m_kept = now;
}

// ---- the scope of a command ---------------------------------------------------------------------

UndoScope::UndoScope(MainModel& model, const QString& text)
    : m_model(model), m_step(std::make_unique<SheetStep>(model, text)), m_exceptions(std::uncaught_exceptions())
{
}

UndoScope::~UndoScope()
{
    // A command that failed on the way leaves no step behind.
    if (std::uncaught_exceptions() > m_exceptions)
        discard();
    else
        commit();
}

void UndoScope::keepCells(CellSnapshot::Ranges rows, int left, int right, int parts)
{
    if (!m_step)
        return;
    new CellsPart(sheet(), CellSnapshot::read(sheet(), std::move(rows), left, right, parts), m_step.get());
}

void UndoScope::keepCells(const CellRect& rect, int parts)
{
    if (!rect.isEmpty())
        keepCells({{rect.top, rect.bottom}}, rect.left, rect.right, parts);
}

void UndoScope::keepCells(const std::vector<CellRect>& rects, int parts)
{
    std::vector<CellRect> sorted = rects;
    std::erase_if(sorted, [](const CellRect& r) { return r.isEmpty(); });
    std::sort(sorted.begin(), sorted.end(), [](const CellRect& a, const CellRect& b) {
        return std::tie(a.left, a.right, a.top) < std::tie(b.left, b.right, b.top);
    });
    size_t i = 0;
    while (i < sorted.size()) {
        CellSnapshot::Ranges rows;
        size_t j = i;
        for (; j < sorted.size() && sorted[j].left == sorted[i].left && sorted[j].right == sorted[i].right; ++j) {
            if (!rows.empty() && sorted[j].top <= rows.back().second + 1)
                rows.back().second = std::max(rows.back().second, sorted[j].bottom);
            else
                rows.emplace_back(sorted[j].top, sorted[j].bottom);
        }
        keepCells(std::move(rows), sorted[i].left, sorted[i].right, parts);
        i = j;
    }
}

void UndoScope::setText(const QString& text)
{
    if (m_step)
        m_step->setText(text);
}

void UndoScope::commit()
{
    if (!m_step)
        return;
    bool changed = false;
    for (int i = 0; i < m_step->childCount() && !changed; ++i) {
        const auto* part = dynamic_cast<const SheetPart*>(m_step->child(i));
        changed = !part || !part->changesNothing();
    }
    if (!changed) {
        discard();
        return;
    }
    m_step->finish();
    const UndoHistory::Marks before = m_step->marksBefore();
    m_model.history().push(std::move(m_step), before);
}

void UndoScope::discard()
{
    m_step.reset();
}

// ---- records added in batches -------------------------------------------------------------------

AppendingStep::AppendingStep(MainModel& model, std::function<QString(int records)> text)
    : m_model(model), m_text(std::move(text))
{
}

AppendingStep::~AppendingStep() = default;

UndoHistory::Marks AppendingStep::editedMarks() const
{
    // Records were added: what the edit marking gives, whether or not it ran yet.
    const Document& doc = m_model.document();
    return {true, doc.isSaveEnabled() || !doc.isUntitled()};
}

void AppendingStep::beforeRows()
{
    if (m_pending)
        afterRows(); // a batch whose end was not told
    const bool growing = m_growing && m_serial != 0 && m_model.history().lastStepSerial() == m_serial;
    if (growing)
        return;
    m_growing = nullptr;
    m_serial = 0;
    m_pending = std::make_unique<SheetStep>(m_model, m_text(0));
    m_first = m_model.sheet().rows();
}

void AppendingStep::dropRecords()
{
    RecordSheet& sheet = m_model.sheet();
    if (sheet.rows() <= 1)
        return;
    if (!m_pending) {
        sheet.setRows(1);
        return;
    }
    CellSnapshot dropped = CellSnapshot::read(sheet, {{1, sheet.rows() - 1}}, 0, sheet.cols() - 1, CellSnapshot::All);
    sheet.setRows(1);
    new RemoveRowsPart(sheet, std::move(dropped), m_pending.get());
    m_first = 1;
}

void AppendingStep::afterRows()
{
    UndoHistory& history = m_model.history();
    const int records = m_model.sheet().rows() - m_first;
    if (m_pending) {
        if (records <= 0 && m_pending->childCount() == 0) {
            m_pending.reset();
            return;
        }
        new AppendRowsPart(m_model.sheet(), m_first, m_pending.get());
        m_pending->setText(m_text(std::max(records, 0)));
        m_pending->finish();
        m_growing = m_pending.get();
        m_serial = m_pending->serial();
        const UndoHistory::Marks before = m_pending->marksBefore();
        history.push(std::move(m_pending), before);
        if (history.lastStepSerial() == m_serial)
            history.lastStepChanged(editedMarks());
        else
            m_growing = nullptr; // more than the history may hold
        return;
    }
    if (m_growing && m_serial != 0 && history.lastStepSerial() == m_serial) {
        m_growing->setText(m_text(records));
        m_growing->finish();
        history.lastStepChanged(editedMarks());
    }
}

void AppendingStep::end()
{
    afterRows();
    UndoHistory& history = m_model.history();
    if (m_growing && m_serial != 0 && history.lastStepSerial() == m_serial) {
        m_growing->finish();
        history.lastStepChanged(history.currentMarks());
    }
    m_growing = nullptr;
    m_serial = 0;
}

} // namespace quillon

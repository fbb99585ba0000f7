#include "edit/EditCommands.h"

#include "sheet/ClipText.h"
#include "edit/FindSession.h"
#include "edit/SheetSteps.h"
#include "ui/LongWork.h"
#include "sheet/SheetSort.h"
#include "sheet/ValueFormat.h"
#include "ui/Platform.h"

#include <algorithm>
#include <new>

namespace quillon {

namespace {

const QString& caption()
{
    static const QString text = QStringLiteral("Quillon");
    return text;
}

/** Tells that a long command found too little memory and changed nothing. */
void reportNoMemory(Platform& platform, const QString& text)
{
    platform.message(caption(), text, Platform::Ok, Platform::Critical);
}

QString toolButton(const char* key)
{
    return CommandStates::button(0, QLatin1String(key));
}

/** A date picture names days, months, years or times; anything else is a number picture. */
bool isDatePicture(const QString& format)
{
    for (const QChar c : format) {
        const QChar l = c.toLower();
        if (l == QLatin1Char('d') || l == QLatin1Char('m') || l == QLatin1Char('y') || l == QLatin1Char('h') ||
            l == QLatin1Char('n') || l == QLatin1Char('s'))
            return true;
    }
    return false;
}

/** Days since 30 December 1899, the time of day as the fraction. */
double daySerial(const QDateTime& when)
{
    static const QDate epoch(1899, 12, 30);
    return double(epoch.daysTo(when.date())) + double(when.time().msecsSinceStartOfDay()) / 86400000.0;
}

} // namespace

EditCommands::EditCommands(MainModel& model, QObject* parent)
    : QObject(parent), m_model(model), m_find(new FindSession(model, this))
{
}

EditCommands::~EditCommands() = default;

// ---- mouse modes ----------------------------------------------------------------------

void EditCommands::gridFocused(MainModel::Grid grid)
{
    m_model.setFocusedGrid(grid);
    const bool sheet = grid == MainModel::Grid::Sheet;
    CommandStates& c = m_model.commands();
    for (const char* name : {"mnuEditCut", "mnuEditPaste", "mnuEditColTitle", "mnuSelectAll", "mnuEditFind",
                             "mnuEditColAttr", "mnuAlign"})
        c.setVisible(QLatin1String(name), sheet);
    if (sheet && m_model.isBlockMode()) {
        c.setEnabled(toolButton("Cut"), true);
        c.setEnabled(toolButton("Paste"), true);
    }
}

RecordSheet& EditCommands::focusedGrid()
{
    return m_model.focusedGrid() == MainModel::Grid::Sheet ? m_model.sheet() : m_model.formPanel().grid();
}

// ---- rows and columns -----------------------------------------------------------------

namespace {

void changeRowHeights(RecordSheet& grid, int delta)
{
    const int current = grid.currentRow();
    if (delta < 0 && grid.rowHeight(current) <= EditCommands::kRowHeightStep)
        return;
    for (int r : grid.selectedRowList()) {
        const int h = grid.rowHeight(r);
        // No row is made lower than one step: a row of no height could not be seen
        // or chosen any more.
        if (delta < 0 && h <= EditCommands::kRowHeightStep)
            continue;
        grid.setRowHeight(r, h + delta);
    }
}

/** The rows a row-height command changes on @p grid: the selected ones. */
CellSnapshot::Ranges selectedRanges(const RecordSheet& grid)
{
    return CellSnapshot::rangesOf(grid.selectedRowList());
}

} // namespace

void EditCommands::changeSheetRowHeights(int delta)
{
    if (m_model.focusedGrid() == MainModel::Grid::FormPanel) {
        changeRowHeights(m_model.formPanel().grid(), delta);
        return;
    }
    RecordSheet& sheet = m_model.sheet();
    UndoScope step(m_model, QStringLiteral("Row Height"));
    step.keepCells(selectedRanges(sheet), 0, -1, CellSnapshot::Heights);
    changeRowHeights(sheet, delta);
}

void EditCommands::increaseRowHeight()
{
    changeSheetRowHeights(kRowHeightStep);
}

void EditCommands::decreaseRowHeight()
{
    changeSheetRowHeights(-kRowHeightStep);
}

void EditCommands::resetRowHeights()
{
    RecordSheet& grid = focusedGrid();
    std::optional<UndoScope> step;
    if (&grid == &m_model.sheet())
        step.emplace(m_model, QStringLiteral("Row Height"));
    if (grid.defaultRowHeight() == kRowHeightStep) {
        std::vector<int> changed;
        for (const auto& [row, height] : grid.rowHeights())
            if (row >= 1)
                changed.push_back(row);
        if (step)
            step->keepCells(CellSnapshot::rangesOf(changed), 0, -1, CellSnapshot::Heights);
        for (int r : changed)
            grid.setRowHeight(r, kRowHeightStep);
        return;
    }
    if (step)
        step->keepCells({{1, grid.rows() - 1}}, 0, -1, CellSnapshot::Heights);
    for (int r = 1; r < grid.rows(); ++r)
        grid.setRowHeight(r, kRowHeightStep);
}

void EditCommands::addRow()
{
    RecordSheet& sheet = m_model.sheet();
    UndoScope step(m_model, QStringLiteral("Add Row"));
    const int at = sheet.rows();
    sheet.setRows(at + 1);
    step.add<InsertRowsPart>(sheet, at, 1);
    sheet.setCurrentCell(sheet.rows() - 1, sheet.currentCol());
    m_model.fa_Click();
}

void EditCommands::insertRow()
{
    RecordSheet& sheet = m_model.sheet();
    UndoScope step(m_model, QStringLiteral("Insert Row"));
    const int at = std::max(sheet.currentRow(), 1);
    const int col = sheet.currentCol();
    sheet.insertRows(at, 1);
    step.add<InsertRowsPart>(sheet, at, 1);
    sheet.setCurrentCell(at, col);
    m_model.fa_Click();
    m_model.document().MarkEdited(true);
}

void EditCommands::insertColumn()
{
    RecordSheet& sheet = m_model.sheet();
    Document& doc = m_model.document();
    UndoScope step(m_model, QStringLiteral("Insert Column"));
    const int at = sheet.cols() > 0 ? sheet.currentCol() : 0;
    const int row = sheet.currentRow();
    {
        LongWork work(m_model.platform(), qint64(sheet.recordCount()) / 4);
        sheet.insertColumns(at, 1);
    }
    step.add<InsertColumnsPart>(sheet, at, 1);
    QStringList& lists = doc.ColumnComboLists();
    if (at <= lists.size())
        lists.insert(at, QString());
    if (doc.SortedColumn() >= at)
        doc.setSortedColumn(doc.SortedColumn() + 1);
    sheet.setCurrentCell(row, at);
    m_model.ResyncFormPanel();
    doc.MarkEdited(true);
}

void EditCommands::deleteColumn()
{
    RecordSheet& sheet = m_model.sheet();
    Document& doc = m_model.document();
    if (sheet.cols() == 0)
        return;
    UndoScope step(m_model, QStringLiteral("Delete Column"));
    const int at = sheet.currentCol();
    step.add<RemoveColumnPart>(sheet, at, sheet.takeColumn(at));
    QStringList& lists = doc.ColumnComboLists();
    if (at < lists.size())
        lists.removeAt(at);
    if (doc.SortedColumn() == at)
        doc.setSortedColumn(-1);
    else if (doc.SortedColumn() > at)
        doc.setSortedColumn(doc.SortedColumn() - 1);
    m_model.ResyncFormPanel();
    doc.MarkEdited(true);
}

void EditCommands::deleteRows()
{
    RecordSheet& sheet = m_model.sheet();
    std::vector<int> rows = sheet.selectedRowList();
    if (rows.empty() && sheet.currentRow() >= 1)
        rows.push_back(sheet.currentRow());
    if (rows.empty())
        return;
    std::sort(rows.begin(), rows.end());
    UndoScope step(m_model, QStringLiteral("Delete Row(s)"));
    {
        LongWork work(m_model.platform(), qint64(rows.size()) * 4 + sheet.recordCount() / 8);
        if (!removeRecords(step, rows))
            return;
    }
    m_model.fa_Click();
    m_model.document().MarkEdited(true);
}

bool EditCommands::removeRecords(UndoScope& step, const std::vector<int>& ascendingRows)
{
    RecordSheet& sheet = m_model.sheet();
    // What the records held is kept first, so that memory running out there leaves them
    // where they are.
    CellSnapshot removed;
    try {
        removed = CellSnapshot::read(sheet, CellSnapshot::rangesOf(ascendingRows), 0, sheet.cols() - 1,
                                     CellSnapshot::All);
    } catch (const std::bad_alloc&) {
        reportNoMemory(m_model.platform(),
                       QStringLiteral("There is not enough memory to keep the records for Undo; none was deleted."));
        return false;
    }
    sheet.removeRowSet(ascendingRows);
    step.add<RemoveRowsPart>(sheet, std::move(removed));
    return true;
}

// ---- clipboard and selection ----------------------------------------------------------

CellRect EditCommands::copiedBlock() const
{
    const RecordSheet& sheet = m_model.sheet();
    const CellRect block = sheet.selectedBlock();
    if (sheet.selectionMode() == RecordSheet::SelectionMode::Rows && sheet.cols() > 0)
        return {block.top, 0, block.bottom, sheet.cols() - 1};
    return block;
}

void EditCommands::copyGrid(const RecordSheet& grid, bool sheetRows)
{
    if (grid.cols() == 0 || grid.currentRow() < 1)
        return;
    std::vector<int> rows;
    int left = 0;
    int right = grid.cols() - 1;
    if (grid.selectionMode() == RecordSheet::SelectionMode::Rows) {
        rows = grid.selectedRowList(); // only the rows chosen, however far apart
    } else {
        const CellRect block = sheetRows ? copiedBlock() : grid.selectedBlock();
        for (int r = block.top; r <= block.bottom; ++r)
            rows.push_back(r);
        left = block.left;
        right = block.right;
    }
    if (rows.empty())
        return;
    LongWork work(m_model.platform(), qint64(rows.size()) * (right - left + 1) / 4);
    m_model.platform().setClipboardText(QString());
    m_model.platform().setClipboardText(ClipTextOf(grid, rows, left, right));
}

void EditCommands::copy()
{
    const bool sheet = m_model.focusedGrid() == MainModel::Grid::Sheet;
    copyGrid(focusedGrid(), sheet);
}

void EditCommands::copySheet()
{
    copyGrid(m_model.sheet(), true);
}

void EditCommands::cut()
{
    if (m_model.focusedGrid() != MainModel::Grid::Sheet)
        return;
    RecordSheet& sheet = m_model.sheet();
    if (sheet.cols() == 0 || sheet.currentRow() < 1)
        return;
    copySheet();
    clearSelectedTexts(QStringLiteral("Cut"));
}

void EditCommands::clearCells()
{
    RecordSheet& sheet = m_model.sheet();
    if (sheet.cols() == 0 || sheet.currentRow() < 1)
        return;
    clearSelectedTexts(QStringLiteral("Clear"));
}

void EditCommands::clearSelectedTexts(const QString& stepText)
{
    RecordSheet& sheet = m_model.sheet();
    std::vector<CellRect> targets;
    if (sheet.selectionMode() == RecordSheet::SelectionMode::Rows) {
        for (const auto& [a, b] : sheet.selectedRowRanges())
            targets.push_back({a, 0, b, sheet.cols() - 1});
    } else {
        targets.push_back(sheet.selectedBlock());
    }
    UndoScope step(m_model, stepText);
    {
        LongWork work(m_model.platform(), qint64(sheet.selectedRowCount()) * sheet.cols() / 4);
        try {
            step.keepCells(targets, CellSnapshot::Texts);
        } catch (const std::bad_alloc&) {
            step.discard();
            reportNoMemory(m_model.platform(),
                           QStringLiteral("There is not enough memory to keep the texts for Undo; they were left as they were."));
            return;
        }
        RecordSheet::Batch batch(sheet);
        for (const CellRect& target : targets)
            sheet.clearTexts(target);
    }
    m_model.fa_Click();
    m_model.document().MarkEdited(true);
}

void EditCommands::clearFormPanelValues()
{
    FormPanel& panel = m_model.formPanel();
    RecordSheet& fb = panel.grid();
    RecordSheet& sheet = m_model.sheet();
    const int first = fb.currentRow();
    if (first < 1 || sheet.currentRow() < 1)
        return;
    const int last = std::min(std::max(first, fb.rowSel()), sheet.cols());
    {
        UndoScope step(m_model, QStringLiteral("Clear"));
        step.keepCells({sheet.currentRow(), first - 1, sheet.currentRow(), last - 1}, CellSnapshot::Texts);
        for (int fbRow = first; fbRow <= last; ++fbRow) {
            if (sheet.column(fbRow - 1).dataType == TypeCheckbox)
                continue;
            fb.setText(fbRow, 1, QString());
            panel.applyEdit(fbRow);
        }
    }
    m_model.fa_Click();
}

void EditCommands::pasteIntoSheet()
{
    // The target is what the user sees selected: the block, or the selected rows (however
    // far apart) across all columns. Clipboard rows go into the selected rows in order.
    RecordSheet& sheet = m_model.sheet();
    if (sheet.currentRow() < 1 || sheet.cols() == 0)
        return;
    const CellRect block = sheet.selectedBlock(); // Row mode: all columns
    const int selected = sheet.selectedRowCount();
    const QString text = m_model.platform().clipboardText();
    // Reading and writing cost about the same a cell; a cell is some eight characters.
    LongWork work(m_model.platform(), qint64(text.size()) / 8);
    const QList<QStringList> cells = ParseClipText(text);
    if (cells.isEmpty())
        return;
    std::vector<int> rows;
    for (int i = 0; i < std::min(qsizetype(std::max(selected, 1)), cells.size()); ++i)
        rows.push_back(selected > 0 ? sheet.selectedRow(i) : sheet.currentRow());
    qsizetype widest = 0;
    for (size_t i = 0; i < rows.size(); ++i)
        widest = std::max(widest, cells[qsizetype(i)].size());
    UndoScope step(m_model, QStringLiteral("Paste"));
    std::vector<int> ascending = rows;
    std::sort(ascending.begin(), ascending.end());
    step.keepCells(CellSnapshot::rangesOf(ascending), block.left,
                   int(std::min<qsizetype>(block.right, block.left + widest - 1)), CellSnapshot::Texts);
    {
        RecordSheet::Batch batch(sheet);
        for (size_t i = 0; i < rows.size(); ++i) {
            const QStringList& row = cells[qsizetype(i)];
            for (qsizetype j = 0; j < row.size() && block.left + j <= block.right; ++j)
                sheet.setText(rows[i], block.left + int(j), row[j]);
        }
    }
    m_model.fa_Click();
    m_model.document().MarkEdited(true);
}

void EditCommands::pasteIntoFormPanel()
{
    FormPanel& panel = m_model.formPanel();
    RecordSheet& fb = panel.grid();
    const int first = fb.currentRow();
    if (first < 1 || m_model.sheet().currentRow() < 1)
        return;
    const int last = std::max(first, fb.rowSel());
    const QList<QStringList> cells = ParseClipText(m_model.platform().clipboardText());
    if (cells.isEmpty())
        return;
    RecordSheet& sheet = m_model.sheet();
    UndoScope step(m_model, QStringLiteral("Paste"));
    const int lastPasted = std::min({last, first + int(cells.size()) - 1, sheet.cols()});
    step.keepCells({sheet.currentRow(), first - 1, sheet.currentRow(), lastPasted - 1},
                   CellSnapshot::Texts | CellSnapshot::Styles);
    // One value a row; a row copied from the form panel itself brings its title first.
    for (qsizetype i = 0; i < cells.size() && first + i <= last; ++i) {
        const int fbRow = first + int(i);
        fb.setText(fbRow, 1, cells[i].isEmpty() ? QString() : cells[i].last());
        panel.applyEdit(fbRow);
    }
    m_model.fa_Click();
    m_model.document().MarkEdited(true);
}

void EditCommands::paste()
{
    if (m_model.focusedGrid() == MainModel::Grid::FormPanel) {
        pasteIntoFormPanel();
        return;
    }
    pasteIntoSheet();
}

void EditCommands::selectAll()
{
    RecordSheet& sheet = m_model.sheet();
    if (sheet.rows() < 2 || sheet.cols() < 1)
        return;
    sheet.selectBlock(1, 0, sheet.rows() - 1, sheet.cols() - 1);
    m_model.setFocusedGrid(MainModel::Grid::Sheet);
    emit focusRequested(MainModel::Grid::Sheet);
    m_model.fa_Click();
}

// ---- texts and formatting -------------------------------------------------------------

void EditCommands::columnTitle()
{
    RecordSheet& sheet = m_model.sheet();
    if (sheet.cols() == 0)
        return;
    const int col = sheet.currentCol();
    const std::optional<QString> answer = m_model.platform().inputText(
        QStringLiteral("Column Title"), QStringLiteral("Enter New Column Title (Header):"), sheet.title(col));
    if (!answer || answer->isEmpty())
        return;
    UndoScope step(m_model, QStringLiteral("Column Title"));
    step.keepCells({0, col, 0, col}, CellSnapshot::Texts);
    sheet.setTitle(col, *answer);
    m_model.formPanel().TitlesChanged = true;
    m_model.fa_Click();
    m_model.document().MarkEdited(true);
}

QString EditCommands::stampText(int col) const
{
    const QDateTime now = m_model.platform().now();
    const ColumnAttributes& attr = m_model.sheet().column(col);
    if (!attr.format.isEmpty() && !isDatePicture(attr.format))
        return FormatNumber(daySerial(now), attr.format);
    return FormatDateTime(now, attr.format);
}

void EditCommands::dateTimeStamp()
{
    RecordSheet& sheet = m_model.sheet();
    const int row = sheet.currentRow();
    if (row < 1 || sheet.cols() == 0)
        return;
    int col = sheet.currentCol();
    if (m_model.focusedGrid() == MainModel::Grid::FormPanel) {
        col = m_model.formPanel().grid().currentRow() - 1;
        if (col < 0 || col >= sheet.cols())
            return;
    }
    UndoScope step(m_model, QStringLiteral("DateTime Stamp"));
    step.keepCells({row, col, row, col}, CellSnapshot::Texts);
    sheet.setText(row, col, stampText(col));
    m_model.formPanel().showValue(col);
    m_model.document().MarkEdited(true);
}

void EditCommands::alignCells(int alignment)
{
    const std::vector<CellRect> targets = m_model.sheetFormatTargets();
    UndoScope step(m_model, QStringLiteral("Alignment"));
    step.keepCells(targets, CellSnapshot::Styles);
    for (const CellRect& target : targets)
        m_model.sheet().setCellAlignment(target, alignment);
}

void EditCommands::backgroundColor()
{
    const std::optional<Rgb> color = m_model.platform().pickColor(kPlainColor);
    if (!color)
        return;
    if (m_model.focusedGrid() == MainModel::Grid::Sheet) {
        const std::vector<CellRect> targets = m_model.sheetFormatTargets();
        UndoScope step(m_model, QStringLiteral("Background Color"));
        step.keepCells(targets, CellSnapshot::Styles);
        for (const CellRect& target : targets)
            m_model.sheet().setBackColor(target, *color);
        m_model.document().MarkEdited(false);
        return;
    }
    RecordSheet& fb = m_model.formPanel().grid();
    for (const auto& [a, b] : fb.selectedRowRanges())
        fb.setBackColor({a, 1, b, 1}, *color);
}

void EditCommands::fonts()
{
    RecordSheet& sheet = m_model.sheet();
    UndoScope step(m_model, QStringLiteral("Fonts"));
    step.add<FontSizePart>(sheet, sheet.fontPointSize());
    sheet.setFontPointSize(12);
}

void EditCommands::toggleFontFlag(CellStyle::Flag flag)
{
    std::optional<UndoScope> step;
    if (m_model.focusedGrid() == MainModel::Grid::Sheet) {
        const QString name = flag == CellStyle::Bold ? QStringLiteral("Bold")
                             : flag == CellStyle::Italic ? QStringLiteral("Italic")
                                                         : QStringLiteral("Underline");
        step.emplace(m_model, name);
        step->keepCells(m_model.sheetFormatTargets(), CellSnapshot::Styles);
    }
    m_model.toggleFontFlag(flag);
}

void EditCommands::applyCurrentFontColor()
{
    std::optional<UndoScope> step;
    if (m_model.focusedGrid() == MainModel::Grid::Sheet) {
        step.emplace(m_model, QStringLiteral("Font Color"));
        step->keepCells(m_model.sheetFormatTargets(), CellSnapshot::Styles);
    }
    m_model.applyCurrentFontColor();
}

// ---- font colour palette ----------------------------------------------------------------

Rgb EditCommands::swatchColor(int swatch)
{
    static const Rgb colors[kSwatches] = {0x000000, 0xFF0000, 0x800000, 0x008000,
                                          0x000080, 0x800080, 0xFF00FF, 0x0000FF};
    return colors[std::clamp(swatch, 0, kSwatches - 1)];
}

void EditCommands::showPalette()
{
    if (m_paletteShown)
        return;
    m_paletteShown = true;
    emit paletteShownChanged(true);
}

void EditCommands::hidePalette()
{
    if (!m_paletteShown)
        return;
    m_paletteShown = false;
    emit paletteShownChanged(false);
}

void EditCommands::chooseSwatch(int swatch)
{
    if (swatch < 0 || swatch >= kSwatches)
        return;
    hidePalette();
    if (m_swatch != swatch) {
        m_swatch = swatch;
        emit swatchChanged(swatch);
    }
    m_model.setCurrentFontColor(swatchColor(swatch));
    applyCurrentFontColor();
}

// ---- view options -------------------------------------------------------------------------

void EditCommands::toggleGridLines()
{
    m_model.setGridLines(!m_model.gridLines());
}

bool EditCommands::gridLinesShown() const
{
    return m_model.gridLines();
}

void EditCommands::toggleDragMode()
{
    const bool on = !isDragMode();
    CommandStates& c = m_model.commands();
    c.setChecked(QStringLiteral("mnuDragDrop"), on);
    c.setChecked(QStringLiteral("mnuDragNo"), !on);
    c.setChecked(toolButton("DragMode"), on);
    m_model.panels().setText(MainModel::DragPanel, on ? QStringLiteral("DRAG") : QString());
}

bool EditCommands::isDragMode() const
{
    return m_model.commands().isChecked(QStringLiteral("mnuDragDrop"));
}

void EditCommands::moveSelectedRecords(int before)
{
    RecordSheet& sheet = m_model.sheet();
    const std::vector<int> moved = sheet.selectedRowList();
    if (moved.empty() || before < 1 || before > sheet.rows())
        return;
    const int n = sheet.recordCount();
    std::vector<uint8_t> isMoved(size_t(n) + 1, 0);
    for (int r : moved)
        isMoved[size_t(r)] = 1;
    std::vector<int> order;
    order.reserve(size_t(n));
    int firstAt = 0;
    for (int r = 1; r <= n + 1; ++r) {
        if (r == before) {
            firstAt = int(order.size()) + 1;
            order.insert(order.end(), moved.begin(), moved.end());
        }
        if (r <= n && !isMoved[size_t(r)])
            order.push_back(r);
    }
    bool unchanged = true;
    for (int i = 0; i < n && unchanged; ++i)
        unchanged = order[size_t(i)] == i + 1;
    if (unchanged)
        return;
    const int col = sheet.currentCol();
    UndoScope step(m_model, QStringLiteral("Move Records"));
    sheet.applyRecordOrder(order);
    step.add<PermutePart>(sheet, std::move(order));
    const int last = firstAt + int(moved.size()) - 1;
    sheet.selectBlock(firstAt, col, last, col);
    m_model.fa_Click();
    m_model.document().MarkEdited(true);
}

void EditCommands::toggleAlternateColor()
{
    m_model.setAlternateColor(!m_model.alternateColor());
}

bool EditCommands::isAlternateColor() const
{
    return m_model.alternateColor();
}

// ---- column commands ------------------------------------------------------------------------

void EditCommands::setColumnDataType(int type, bool refresh)
{
    RecordSheet& sheet = m_model.sheet();
    if (sheet.cols() == 0)
        return;
    const int col = sheet.currentCol();
    UndoScope step(m_model, QStringLiteral("Data Type"));
    step.add<ColumnAttributesPart>(sheet, col, col);
    sheet.setColumnDataType(col, type);
    if (type == TypeDate || type == TypeMoney)
        sheet.setColumnAlignment(col, AlignRight);
    if (refresh)
        m_model.fa_Click();
}

void EditCommands::setColumnAlignment(int alignment)
{
    RecordSheet& sheet = m_model.sheet();
    if (sheet.cols() == 0)
        return;
    UndoScope step(m_model, QStringLiteral("Column Alignment"));
    step.add<ColumnAttributesPart>(sheet, sheet.currentCol(), sheet.currentCol());
    sheet.setColumnAlignment(sheet.currentCol(), alignment);
}

void EditCommands::setColumnFormat(const QString& format)
{
    RecordSheet& sheet = m_model.sheet();
    if (sheet.cols() == 0)
        return;
    UndoScope step(m_model, QStringLiteral("Format"));
    step.add<ColumnAttributesPart>(sheet, sheet.currentCol(), sheet.currentCol());
    sheet.setColumnFormat(sheet.currentCol(), format);
    // The form panel shows values through the format: show them anew.
    m_model.fa_Click();
}

// ---- record navigation buttons --------------------------------------------------------------

QString EditCommands::navigationHint(int button)
{
    static const char* const hints[kNavigationButtons] = {
        "Dlete this record", "Add one record",       "First record",       "Up one record",
        "Down one record",   "Last record",          "Row Height Increase", "Row Height Decrease"};
    if (button < 0 || button >= kNavigationButtons)
        return {};
    return QLatin1String(hints[button]);
}

void EditCommands::navigate(int button)
{
    RecordSheet& sheet = m_model.sheet();
    const int row = sheet.currentRow();
    const int col = sheet.currentCol();
    switch (button) {
    case 0:
        if (deleteCurrentRecord()) {
            m_model.fa_Click();
            emit focusRequested(MainModel::Grid::Sheet);
        }
        return;
    case 1: {
        UndoScope step(m_model, QStringLiteral("Add Row"));
        m_model.document().MarkEdited(false);
        const int at = sheet.rows();
        sheet.setRows(at + 1);
        step.add<InsertRowsPart>(sheet, at, 1);
        sheet.setCurrentCell(sheet.rows() - 1, col);
        m_model.fa_Click(); // an empty record: empty values, unchecked boxes
        RecordSheet& fb = m_model.formPanel().grid();
        if (fb.rows() > 1)
            fb.setCurrentCell(1, 1);
        m_model.setFocusedGrid(MainModel::Grid::FormPanel);
        emit focusRequested(MainModel::Grid::FormPanel);
        return;
    }
    case 2:
        if (sheet.rows() > 1)
            sheet.setCurrentCell(1, col);
        break;
    case 3:
        if (row > 1)
            sheet.setCurrentCell(row - 1, col);
        break;
    case 4:
        if (row < sheet.rows() - 1)
            sheet.setCurrentCell(row + 1, col);
        break;
    case 5:
        if (sheet.rows() > 1)
            sheet.setCurrentCell(sheet.rows() - 1, col);
        break;
    case 6:
        changeRowHeights(m_model.formPanel().grid(), kRowHeightStep);
        return;
    case 7:
        changeRowHeights(m_model.formPanel().grid(), -kRowHeightStep);
        return;
    default:
        return;
    }
    m_model.fa_Click();
}

bool EditCommands::deleteCurrentRecord()
{
    RecordSheet& sheet = m_model.sheet();
    const int row = sheet.currentRow();
    if (row < 1)
        return false;
    if (m_dontAskDelete) {
        UndoScope step(m_model, QStringLiteral("Delete Record"));
        if (removeRecords(step, {row}))
            m_model.document().MarkEdited(true);
        return true;
    }
    const int answer = m_deletePrompt ? m_deletePrompt() : int(Platform::Cancel);
    if (answer != Platform::Yes)
        return false;
    UndoScope step(m_model, QStringLiteral("Delete Record"));
    if (!removeRecords(step, {row}))
        return true;
    m_model.fa_Click();
    m_model.document().MakeModified(true);
    return true;
}

// ---- sort and duplicates --------------------------------------------------------------------

void EditCommands::sortByTitle(int col)
{
    RecordSheet& sheet = m_model.sheet();
    Document& doc = m_model.document();
    if (col < 0 || col >= sheet.cols())
        return;
    // The arrow in the title tells the order of the last sort of this column.
    const bool ascending = !(doc.SortedColumn() == col && sheet.style(0, col).picture == PictureUp);
    bool sorted = false;
    UndoScope step(m_model, QStringLiteral("Sort"));
    {
        LongWork work(m_model.platform(), qint64(sheet.recordCount()) * 2);
        std::vector<int> order;
        // The order is worked out (on two threads for a large sheet) before anything
        // changes, so memory running out there leaves the records as they were.
        try {
            order = TypedRecordOrder(sheet, col, ascending);
            sorted = true;
        } catch (const std::bad_alloc&) {
        }
        if (sorted) {
            sheet.applyRecordOrder(order);
            // The step keeps the order itself: undo applies its inverse.
            step.add<PermutePart>(sheet, std::move(order));
        }
    }
    if (!sorted) {
        step.discard();
        reportNoMemory(m_model.platform(), QStringLiteral("There is not enough memory to sort the records; they were left as they were."));
        return;
    }
    const int oldSorted = doc.SortedColumn() >= 0 && doc.SortedColumn() < sheet.cols() ? doc.SortedColumn() : col;
    step.keepCells({0, std::min(oldSorted, col), 0, std::max(oldSorted, col)}, CellSnapshot::Styles);
    if (doc.SortedColumn() >= 0 && doc.SortedColumn() < sheet.cols())
        sheet.setHeaderPicture(doc.SortedColumn(), PictureNone);
    sheet.setHeaderPicture(col, ascending ? PictureUp : PictureDown);
    doc.setSortedColumn(col);
    doc.MarkEdited(false);
    m_model.fa_Click();
}

void EditCommands::deleteDuplicates()
{
    const int answer = m_model.platform().message(
        caption(),
        QStringLiteral("This function will sort on the first column then start deleting duplicates. "
                       "Do you want to continue?"),
        Platform::Yes | Platform::No | Platform::Cancel, Platform::Question, Platform::Cancel);
    if (answer != Platform::Yes)
        return;
    RecordSheet& sheet = m_model.sheet();
    bool sorted = false;
    UndoScope step(m_model, QStringLiteral("Delete Duplicates"));
    {
        LongWork work(m_model.platform(), qint64(sheet.recordCount()) * 2);
        ExactOrder exact;
        try {
            exact = ExactRecordOrder(sheet);
            sorted = true;
        } catch (const std::bad_alloc&) {
        }
        if (sorted) {
            // The step keeps the order and the records removed with their places, never a
            // copy of the sheet.
            sheet.applyRecordOrder(exact.order);
            step.add<PermutePart>(sheet, std::move(exact.order));
            std::sort(exact.duplicateRows.begin(), exact.duplicateRows.end());
            if (!exact.duplicateRows.empty() && !removeRecords(step, exact.duplicateRows))
                return;
        }
    }
    if (!sorted) {
        step.discard();
        reportNoMemory(
            m_model.platform(), QStringLiteral("There is not enough memory to look for duplicates; the records were left as they were."));
        return;
    }
    sheet.setCurrentCell(sheet.rows() - 1, 0);
    m_model.fa_Click();
    // Records are gone: closing must ask, whether or not the document has a name yet.
    m_model.document().MarkEdited(true);
}

// ---- in-place edits and the history ---------------------------------------------------------

void EditCommands::editSheetCell(int row, int col, const QVariant& value, int role)
{
    RecordSheet& sheet = m_model.sheet();
    if (row < 1 || row >= sheet.rows() || col < 0 || col >= sheet.cols())
        return;
    const bool check = role == Qt::CheckStateRole;
    UndoScope step(m_model, check ? QStringLiteral("Check") : QStringLiteral("Edit"));
    step.keepCells({row, col, row, col}, check ? CellSnapshot::Styles : CellSnapshot::Texts);
    if (check)
        sheet.setChecked(row, col, value.toInt() == Qt::Checked ? 1 : 0);
    else
        sheet.setText(row, col, value.toString());
    m_model.afterSheetEdit(row, col);
}

void EditCommands::editFormPanelCell(int fbRow, int col, const QVariant& value, int role)
{
    FormPanel& panel = m_model.formPanel();
    RecordSheet& fb = panel.grid();
    RecordSheet& sheet = m_model.sheet();
    const bool check = role == Qt::CheckStateRole;
    const auto store = [&] {
        if (check)
            fb.setChecked(fbRow, col, value.toInt() == Qt::Checked ? 1 : FormPanel::kUncheckedBox);
        else
            fb.setText(fbRow, col, value.toString());
    };
    const int row = sheet.currentRow();
    const int sheetCol = fbRow - 1;
    if (col != 1 || sheetCol < 0 || sheetCol >= sheet.cols() || row < 1) {
        store();
        return;
    }
    UndoScope step(m_model, check ? QStringLiteral("Check") : QStringLiteral("Edit"));
    step.keepCells({row, sheetCol, row, sheetCol}, CellSnapshot::Texts | CellSnapshot::Styles);
    store();
    m_model.afterFormPanelEdit(fbRow);
}

void EditCommands::undo()
{
    // The busy cursor, and the repaint before it, come before the step starts: nothing
    // that the repaint lets run (a grab's next page) then comes into the middle of it.
    // A step holds about four bytes for each cell or record it goes through, and each
    // costs about what two cells of a sort do.
    UndoHistory& history = m_model.history();
    LongWork work(m_model.platform(), history.undoCost() / 2);
    history.undo();
}

void EditCommands::redo()
{
    UndoHistory& history = m_model.history();
    LongWork work(m_model.platform(), history.redoCost() / 2);
    history.redo();
}

} // namespace quillon

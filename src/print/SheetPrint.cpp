#include "print/SheetPrint.h"

#include "sheet/RecordSheet.h"
#include "sheet/ValueFormat.h"

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

// Page setup of a printed sheet: half-inch sides and bottom, and a top margin that
// holds the page header.
constexpr int kSheetSideMargin = 720;
constexpr int kSheetTopMargin = 1080;
constexpr int kSheetBottomMargin = 720;
constexpr double kSheetPointSize = 10;
constexpr int kMaxScale = 1000;

/**
 * The printing columns of @p sheet with neither a title nor a value in the records
 * of @p cells (the new document's two spare columns): they would print a band of
 * pages of empty cells. One pass over the records at most, ending as soon as every
 * such column has shown a value. A Checkbox column always prints: its boxes are
 * its values.
 */
std::vector<int> emptyUntitledColumns(const RecordSheet& sheet, const SheetPrintCells& cells,
                                      const std::vector<bool>& printColumns)
{
    std::vector<int> empty;
    for (int c = 0; c < sheet.cols(); ++c)
        if (size_t(c) < printColumns.size() && printColumns[size_t(c)] && sheet.column(c).width > 0 &&
            sheet.column(c).dataType != TypeCheckbox && sheet.title(c).trimmed().isEmpty())
            empty.push_back(c);
    for (int i = 0, n = cells.rowCount(); i < n && !empty.empty(); ++i) {
        const int r = cells.sheetRow(i);
        if (r >= 1 && r < sheet.rows())
            std::erase_if(empty, [&](int c) { return !sheet.isCellEmpty(r, c); });
    }
    return empty;
}

} // namespace

int PrintScaleValue(const QString& text)
{
    QString t = text.trimmed();
    if (t.endsWith(QLatin1Char('%')))
        t.chop(1);
    bool ok = false;
    const double value = t.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < 1)
        return 100;
    // Past ten times the size a single cell outgrows any paper.
    return value > kMaxScale ? kMaxScale : int(value);
}

// ---- SheetPrintCells ----------------------------------------------------------

SheetPrintCells::SheetPrintCells(const RecordSheet& sheet, int first, int count)
    : m_sheet(sheet), m_first(first), m_count(std::max(0, count))
{
}

SheetPrintCells::SheetPrintCells(const RecordSheet& sheet, std::vector<int> rows)
    : m_sheet(sheet), m_count(int(rows.size())), m_rows(std::move(rows))
{
}

int SheetPrintCells::rowCount() const
{
    return m_count;
}

int SheetPrintCells::columnCount() const
{
    return m_sheet.cols();
}

bool SheetPrintCells::holds(int row, int col) const
{
    // The record sheet may have shrunk since the print was set up (a grab that
    // clears the sheet while the preview is open): cells beyond it print empty.
    if (row < 0 || row >= m_count || col < 0 || col >= m_sheet.cols())
        return false;
    const int r = sheetRow(row);
    return r >= 1 && r < m_sheet.rows();
}

QString SheetPrintCells::text(int row, int col) const
{
    if (!holds(row, col))
        return {};
    const int r = sheetRow(row);
    if (m_sheet.isCellEmpty(r, col))
        return {};
    const ColumnAttributes& column = m_sheet.column(col);
    QString text = m_sheet.text(r, col);
    if (isFormattedType(column.dataType) && !column.format.isEmpty())
        return FormatValue(text, column.dataType, column.format);
    return text;
}

bool SheetPrintCells::isChecked(int row, int col) const
{
    if (!holds(row, col))
        return false;
    return m_sheet.isChecked(sheetRow(row), col);
}

Qt::Alignment SheetPrintCells::alignment(int row, int col) const
{
    if (!holds(row, col))
        return Qt::AlignLeft;
    const int r = sheetRow(row);
    switch (m_sheet.effectiveAlignment(r, col)) {
    case AlignCenter:
        return Qt::AlignHCenter;
    case AlignRight:
        return Qt::AlignRight;
    case AlignLeft:
        return Qt::AlignLeft;
    default:
        return LooksNumeric(m_sheet.textUtf8(r, col)) ? Qt::AlignRight : Qt::AlignLeft;
    }
}

int SheetPrintCells::fontFlags(int row, int col) const
{
    if (!holds(row, col))
        return 0;
    return m_sheet.style(sheetRow(row), col).flags & (CellStyle::Bold | CellStyle::Italic | CellStyle::Underline);
}

int SheetPrintCells::rowHeight(int row) const
{
    if (row < 0 || row >= m_count)
        return -1;
    const int r = sheetRow(row);
    return r >= 1 && r < m_sheet.rows() ? m_sheet.rowHeight(r) : -1;
}

PrintCells::Overflow SheetPrintCells::overflow(int /*row*/, int col) const
{
    if (col >= 0 && col < m_sheet.cols() && isFormattedType(m_sheet.column(col).dataType))
        return Overflow::Hashes;
    return Overflow::Clip;
}

// ---- PrintSheetForm -------------------------------------------------------------

PrintSheetForm::PrintSheetForm(const RecordSheet& sheet) : m_sheet(sheet)
{
    m_columns.reserve(size_t(sheet.cols()));
    for (int c = 0; c < sheet.cols(); ++c)
        m_columns.push_back({c + 1, sheet.title(c), !sheet.column(c).hidden});
    refreshSelection();
}

void PrintSheetForm::setPrint(int index, bool print)
{
    if (index >= 0 && size_t(index) < m_columns.size())
        m_columns[size_t(index)].print = print;
}

void PrintSheetForm::refreshSelection()
{
    m_selectedCount = m_sheet.selectedRowCount();
}

QString PrintSheetForm::selectedRowsCaption() const
{
    return QStringLiteral("Slected rows (") + QString::number(m_selectedCount) + QLatin1Char(')');
}

void PrintSheetForm::scaleUp()
{
    const int value = scale();
    if (value <= 99)
        m_scaleText = QString::number(value + 1);
}

void PrintSheetForm::scaleDown()
{
    const int value = scale();
    if (value >= 51)
        m_scaleText = QString::number(value - 1);
}

std::vector<int> PrintSheetForm::recordRows() const
{
    std::vector<int> rows;
    if (m_source == AllRecords) {
        rows.reserve(size_t(m_sheet.recordCount()));
        for (int r = 1; r < m_sheet.rows(); ++r)
            rows.push_back(r);
        return rows;
    }
    // The selected rows, across every column: a block selection narrower than the
    // sheet still prints whole records, each column at its own width.
    rows = m_sheet.selectedRowList();
    std::erase_if(rows, [this](int r) { return r < 1 || r >= m_sheet.rows(); });
    return rows;
}

std::unique_ptr<PrintSheet> PrintSheetForm::makePrintSheet() const
{
    std::shared_ptr<const SheetPrintCells> cells;
    if (m_source == AllRecords)
        cells = std::make_shared<SheetPrintCells>(m_sheet, 1, m_sheet.recordCount());
    else
        cells = std::make_shared<SheetPrintCells>(m_sheet, recordRows());
    std::vector<bool> print;
    for (const ColumnEntry& entry : m_columns)
        print.push_back(entry.print);
    auto sheet = std::make_unique<PrintSheet>();
    setUp(*sheet, m_sheet, std::move(cells), print, scale(), m_orientation);
    return sheet;
}

void PrintSheetForm::setUp(PrintSheet& print, const RecordSheet& sheet, std::shared_ptr<const SheetPrintCells> cells,
                           const std::vector<bool>& printColumns, int scale, QPageLayout::Orientation orientation)
{
    const int rows = cells->rowCount();
    const std::vector<int> empty = emptyUntitledColumns(sheet, *cells, printColumns);
    print.setCells(std::move(cells));
    print.setHeader(SheetPrintHeader());
    print.setMargins(kSheetSideMargin, kSheetTopMargin, kSheetSideMargin, kSheetBottomMargin);
    print.setFont(QStringLiteral("Arial"), sheet.fontPointSize() > 0 ? sheet.fontPointSize() : kSheetPointSize);
    print.setDefaultRowHeight(sheet.defaultRowHeight());
    print.setGridLines(true);
    for (int c = 0; c < sheet.cols(); ++c) {
        const bool on = size_t(c) < printColumns.size() && printColumns[size_t(c)] &&
                        std::find(empty.begin(), empty.end(), c) == empty.end();
        const int width = sheet.column(c).width;
        print.setColumnWidth(c, on ? int(std::lround(width * 1.2)) : 0);
        // A check box a record over a Checkbox column, about 0.2 x 0.13 inch.
        if (on && width > 0 && sheet.column(c).dataType == TypeCheckbox)
            print.addCheckBoxes({c, 0.4, 0.4 + 0.2 / width * 960, 0.1, 0.9});
    }
    print.setPrintArea({0, 0, rows - 1, sheet.cols() - 1});
    print.setScale(scale);
    print.setOrientation(orientation);
}

} // namespace quillon

#include "print/PrintSheet.h"

#include "print/PrintRenderer.h"

#include <QCoreApplication>
#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>

namespace quillon {

namespace {

// Rows and columns are laid out with this much slack so that sizes that meet the
// page exactly (ten 1-inch label bands on 10 inches) are not pushed to the next page
// by rounding.
constexpr double kFitSlack = 0.01;

} // namespace

QFont PrintSheet::cellFont(const QString& family, double pointSize, int flags)
{
    QFont font(family);
    font.setPointSizeF(std::max(0.5, pointSize));
    font.setKerning(false);
    font.setBold(flags & CellStyle::Bold);
    font.setItalic(flags & CellStyle::Italic);
    font.setUnderline(flags & CellStyle::Underline);
    return font;
}

QString PrintSheet::printableText(QString text)
{
    for (QChar& ch : text)
        if (ch.unicode() < 0x20 || ch.unicode() == 0x7f)
            ch = QLatin1Char(' ');
    return text;
}

PrintSheet::PrintSheet()
    : m_pageSize(QPageSize::Letter), m_margins(720, 720, 720, 720), m_fontFamily(QStringLiteral("Arial"))
{
}

PrintSheet::~PrintSheet() = default;

void PrintSheet::invalidate()
{
    m_laidOut = false;
    m_rowBreaks.clear();
    m_printColumns.clear();
    m_columnBreaks.clear();
}

void PrintSheet::setCells(std::shared_ptr<const PrintCells> cells)
{
    m_cells = std::move(cells);
    invalidate();
}

void PrintSheet::setColumnWidth(int col, int twips)
{
    if (col < 0)
        return;
    if (size_t(col) >= m_columnWidths.size())
        m_columnWidths.resize(size_t(col) + 1, -1);
    m_columnWidths[size_t(col)] = std::max(0, twips);
    invalidate();
}

int PrintSheet::columnWidth(int col) const
{
    if (col >= 0 && size_t(col) < m_columnWidths.size() && m_columnWidths[size_t(col)] >= 0)
        return m_columnWidths[size_t(col)];
    return m_defaultColumnWidth;
}

void PrintSheet::setDefaultColumnWidth(int twips)
{
    m_defaultColumnWidth = std::max(0, twips);
    invalidate();
}

void PrintSheet::setTextLimit(int col, int twips)
{
    if (col < 0)
        return;
    if (size_t(col) >= m_textLimits.size())
        m_textLimits.resize(size_t(col) + 1, 0);
    m_textLimits[size_t(col)] = std::max(0, twips);
}

int PrintSheet::textLimit(int col) const
{
    if (col >= 0 && size_t(col) < m_textLimits.size())
        return m_textLimits[size_t(col)];
    return 0;
}

void PrintSheet::setDefaultRowHeight(int twips)
{
    m_defaultRowHeight = std::max(0, twips);
    invalidate();
}

int PrintSheet::rowHeight(int row) const
{
    const int h = m_cells ? m_cells->rowHeight(row) : -1;
    return h < 0 ? m_defaultRowHeight : h;
}

void PrintSheet::setPrintArea(const CellRect& area)
{
    m_area = area;
    m_areaSet = true;
    invalidate();
}

CellRect PrintSheet::printArea() const
{
    if (!m_cells)
        return {};
    const CellRect all{0, 0, m_cells->rowCount() - 1, m_cells->columnCount() - 1};
    if (!m_areaSet)
        return all;
    CellRect a{std::max(m_area.top, 0), std::max(m_area.left, 0), std::min(m_area.bottom, all.bottom),
               std::min(m_area.right, all.right)};
    return a;
}

void PrintSheet::addCheckBoxes(const CheckBoxColumn& boxes)
{
    m_checkBoxes.push_back(boxes);
}

void PrintSheet::setHeader(const QString& text)
{
    m_header = text;
}

void PrintSheet::setScale(int percent)
{
    m_scale = percent < 1 ? 100 : percent;
    invalidate();
}

void PrintSheet::setOrientation(QPageLayout::Orientation orientation)
{
    m_orientation = orientation;
    invalidate();
}

void PrintSheet::setPageSize(const QPageSize& size)
{
    if (!size.isValid())
        return;
    m_pageSize = size;
    invalidate();
}

void PrintSheet::setMargins(int left, int top, int right, int bottom)
{
    m_margins = QMargins(std::max(0, left), std::max(0, top), std::max(0, right), std::max(0, bottom));
    invalidate();
}

void PrintSheet::setFont(const QString& family, double pointSize)
{
    m_fontFamily = family;
    m_fontPointSize = pointSize > 0 ? pointSize : 10;
}

void PrintSheet::setGridLines(bool on)
{
    m_gridLines = on;
}

void PrintSheet::setOutlines(std::vector<QRectF> outlines)
{
    m_outlines = std::move(outlines);
}

QPageLayout PrintSheet::pageLayout() const
{
    return QPageLayout(m_pageSize, m_orientation, QMarginsF(0, 0, 0, 0), QPageLayout::Point);
}

QSizeF PrintSheet::paperTwips(const QPageSize& size)
{
    const QSizeF defined = size.definitionSize();
    double perUnit = 0;
    switch (size.definitionUnits()) {
    case QPageSize::Millimeter:
        perUnit = kTwipsPerInch / 25.4;
        break;
    case QPageSize::Point:
        perUnit = 20;
        break;
    case QPageSize::Inch:
        perUnit = kTwipsPerInch;
        break;
    default: {
        const QSizeF inches = size.size(QPageSize::Inch);
        return QSizeF(inches.width() * kTwipsPerInch, inches.height() * kTwipsPerInch);
    }
    }
    return QSizeF(defined.width() * perUnit, defined.height() * perUnit);
}

QSizeF PrintSheet::paperTwips() const
{
    QSizeF twips = paperTwips(m_pageSize);
    if (m_orientation == QPageLayout::Landscape)
        twips.transpose();
    return twips;
}

void PrintSheet::ensureLayout() const
{
    if (m_laidOut)
        return;
    m_laidOut = true;
    m_rowBreaks.clear();
    m_printColumns.clear();
    m_columnBreaks.clear();

    const QSizeF paper = paperTwips();
    const double width = std::max(1.0, paper.width() - m_margins.left() - m_margins.right());
    const double height = std::max(1.0, paper.height() - m_margins.top() - m_margins.bottom());
    const double scale = m_scale / 100.0;
    const CellRect area = printArea();

    for (int c = area.left; c <= area.right; ++c)
        if (columnWidth(c) > 0)
            m_printColumns.push_back(c);

    // A row or column larger than the page gets a page of its own and is cut at the
    // page's edge; every page holds at least one.
    m_rowBreaks.push_back(area.isEmpty() ? 0 : area.top);
    double used = 0;
    for (int r = area.top; r <= area.bottom; ++r) {
        const double h = rowHeight(r) * scale;
        if (used > 0 && used + h > height + kFitSlack) {
            m_rowBreaks.push_back(r);
            used = 0;
        }
        used += h;
    }
    m_rowBreaks.push_back(area.isEmpty() ? 0 : area.bottom + 1);

    m_columnBreaks.push_back(0);
    used = 0;
    for (size_t i = 0; i < m_printColumns.size(); ++i) {
        const double w = columnWidth(m_printColumns[i]) * scale;
        if (used > 0 && used + w > width + kFitSlack) {
            m_columnBreaks.push_back(int(i));
            used = 0;
        }
        used += w;
    }
    m_columnBreaks.push_back(int(m_printColumns.size()));
}

int PrintSheet::pageCount() const
{
    ensureLayout();
    const int rowBands = int(m_rowBreaks.size()) - 1;
    const int colBands = int(m_columnBreaks.size()) - 1;
    if (m_printColumns.empty() || m_rowBreaks.front() == m_rowBreaks.back())
        return 1;
    return rowBands * colBands;
}

PrintSheet::PageCells PrintSheet::pageCells(int page) const
{
    ensureLayout();
    PageCells cells;
    if (m_printColumns.empty() || m_rowBreaks.front() == m_rowBreaks.back() || page < 0 || page >= pageCount())
        return cells;
    const int rowBands = int(m_rowBreaks.size()) - 1;
    const int rowBand = page % rowBands;
    const int colBand = page / rowBands;
    cells.firstRow = m_rowBreaks[size_t(rowBand)];
    cells.endRow = m_rowBreaks[size_t(rowBand) + 1];
    cells.columns.assign(m_printColumns.begin() + m_columnBreaks[size_t(colBand)],
                         m_printColumns.begin() + m_columnBreaks[size_t(colBand) + 1]);
    return cells;
}

void PrintSheet::paintPage(QPainter& painter, int page, bool withOutlines) const
{
    Renderer renderer(*this, painter.device());
    renderer.paint(painter, page, withOutlines);
}

bool PrintSheet::print(QPagedPaintDevice& device, QString* error, const Progress& progress, int first,
                       int last) const
{
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    const int pages = pageCount();
    first = std::clamp(first, 0, pages - 1);
    last = last < 0 ? pages - 1 : std::clamp(last, first, pages - 1);
    device.setPageLayout(pageLayout());
    QPainter painter;
    if (!painter.begin(&device))
        return fail(QCoreApplication::translate("PrintSheet", "The printer or the output file could not be opened."));
    Renderer renderer(*this, &device);
    const int total = last - first + 1;
    for (int page = first; page <= last; ++page) {
        if (page > first && !device.newPage()) {
            painter.end();
            return fail(QCoreApplication::translate("PrintSheet", "The printer did not accept a new page."));
        }
        renderer.paint(painter, page);
        if (progress && !progress(page - first + 1, total)) {
            painter.end();
            return fail(QCoreApplication::translate("PrintSheet", "Printing was stopped."));
        }
    }
    if (!painter.end())
        return fail(QCoreApplication::translate("PrintSheet", "The printout could not be finished."));
    return true;
}

} // namespace quillon

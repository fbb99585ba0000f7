#include "print/LabelPrint.h"

#include "print/PrintRenderer.h"
#include "sheet/RecordSheet.h"

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

constexpr int kBandRows = 6;
constexpr int kInch = kTwipsPerInch;

// Margins of label printing. The label stock of every format starts its first row
// of labels half an inch from the top, so the top margin is 0.5 inch. Left 0.4 inch
// puts the first column's text inside the first label (which begins 3/16 or 5/32 inch
// from the paper's edge) and, with the format's column widths, every other column's
// text inside its own label. Bottom 0.5 inch leaves exactly ten 1-inch (or five
// 2-inch) bands on a page, so a label never runs across two pages. Right 0: the
// columns of "3 x 10" reach 8.21 inches, past what a wider right margin would leave.
constexpr int kLabelLeft = kInch * 4 / 10;
constexpr int kLabelTop = kInch / 2;
constexpr int kLabelRight = 0;
constexpr int kLabelBottom = kInch / 2;

// Lines are fitted this much short of their room (twips), so that a device whose
// type runs a hair wider than the measuring device's still holds them.
constexpr double kFitSlack = 10;
// Type sizes a line is tried in: steps of half a point.
constexpr double kSizeStep = 0.5;
// The fitter measures on a device of one dot a twip.
constexpr double kDotsPerMeter = kTwipsPerInch / 0.0254;

// Stocks of the stock file: a label's text begins this far inside its left edge and
// ends as far inside its right edge (twips), a sixteenth of a narrow label's width.
constexpr double kLabelInset = kInch / 10.0;
// A stock's lines are 1.2 times the type size high (twips a point: 20), four of them
// at most 95% of the label's height.
constexpr double kLineTwipsPerPoint = 24;
constexpr double kLinesShare = 0.95;

} // namespace

QMargins LabelMargins()
{
    return QMargins(kLabelLeft, kLabelTop, kLabelRight, kLabelBottom);
}

LabelLayout LayOutLabels(const LabelFormat& f, double pointSize)
{
    LabelLayout l;
    const int across = std::max(1, f.across);
    if (f.builtIn) {
        l.margins = LabelMargins();
        l.rowHeight = f.rowHeight;
        int left = l.margins.left();
        for (int c = 0; c < across; ++c) {
            const int width = c < int(f.columnWidths.size()) ? f.columnWidths[size_t(c)] : 0;
            l.columnWidths.push_back(width);
            // Text runs to its label's right edge, past a column narrower than its
            // label (the last of "3 x 10").
            l.textLimits.push_back(std::max(0, int(f.labelRect(c, 0).right()) - left));
            left += width;
        }
        return l;
    }

    const QSizeF paper = f.paperTwips();
    const double padding = PrintSheet::kCellPadding;
    const double inset = std::max(padding, std::min(kLabelInset, f.labelWidth / 16));
    // Column c begins where label c's text begins, less the cell's padding; positions
    // on the paper are rounded to the twip one by one, so that rounding does not add up.
    std::vector<int> xs;
    for (int c = 0; c < across; ++c)
        xs.push_back(int(std::lround(f.leftMargin + c * f.horizontalPitch + inset - padding)));
    xs.push_back(int(std::lround(f.leftMargin + (across - 1) * f.horizontalPitch + f.labelWidth - inset + padding)));
    l.margins = QMargins(xs.front(), 0, 0, 0);
    const int limit = int(std::lround(f.labelWidth - 2 * inset + 2 * padding));
    for (int c = 0; c < across; ++c) {
        l.columnWidths.push_back(xs[size_t(c) + 1] - xs[size_t(c)]);
        l.textLimits.push_back(limit);
    }

    const double line = std::min(pointSize * kLineTwipsPerPoint, kLinesShare * f.labelHeight / 4);
    const double space = (f.labelHeight - 4 * line) / 2;
    const int down = std::max(1, f.down);
    std::vector<int> ys;
    ys.reserve(size_t(down) * 6 + 1);
    for (int band = 0; band < down; ++band) {
        const double top = f.topMargin + band * f.verticalPitch;
        ys.push_back(int(std::lround(top)));
        for (int i = 0; i < 5; ++i)
            ys.push_back(int(std::lround(top + space + i * line)));
    }
    // The last row of labels ends the sheet's bands, within the paper.
    const int paperBottom = int(std::floor(paper.height()));
    ys.push_back(std::min(int(std::lround(f.topMargin + (down - 1) * f.verticalPitch + f.labelHeight)), paperBottom));
    for (size_t i = 0; i + 1 < ys.size(); ++i)
        l.sheetRowHeights.push_back(std::max(0, ys[i + 1] - ys[i]));
    l.margins.setTop(ys.front());
    l.margins.setBottom(std::max(0, paperBottom - ys.back()));
    l.rowHeight = int(std::lround(line));
    return l;
}

QString LabelCityLine(const QString& city, const QString& state, const QString& zip)
{
    QString line = (city + QStringLiteral(", ") + state + QLatin1Char(' ') + zip).trimmed();
    if (line.endsWith(QLatin1Char(',')))
        line.chop(1);
    return line;
}

// ---- LabelFitter ----------------------------------------------------------------

LabelFitter::LabelFitter(const QString& family, double pointSize, double leastPointSize)
    : m_family(family), m_device(1, 1, QImage::Format_Mono)
{
    m_device.setDotsPerMeterX(int(std::lround(kDotsPerMeter)));
    m_device.setDotsPerMeterY(int(std::lround(kDotsPerMeter)));
    const double least = std::min(pointSize, leastPointSize);
    m_sizes.push_back(pointSize);
    for (double size = std::ceil(pointSize / kSizeStep) * kSizeStep - kSizeStep; size > least + 1e-6;
         size -= kSizeStep)
        m_sizes.push_back(size);
    if (least < pointSize)
        m_sizes.push_back(least);
    const char32_t ellipsis = 0x2026;
    m_ellipsis = face(pointSize).metrics().inFontUcs4(ellipsis) ? QString(QChar(char16_t(ellipsis)))
                                                                 : QStringLiteral("...");
}

LabelFitter::~LabelFitter() = default;

PrintFace& LabelFitter::face(double pointSize)
{
    const int key = int(std::lround(pointSize * 100));
    for (auto& [k, f] : m_faces)
        if (k == key)
            return *f;
    m_faces.emplace_back(key, std::make_unique<PrintFace>(PrintSheet::cellFont(m_family, pointSize), &m_device));
    return *m_faces.back().second;
}

double LabelFitter::width(double pointSize, const QString& text)
{
    return face(pointSize).width(text);
}

LabelFitter::Part LabelFitter::oneLine(const QString& text, double room)
{
    for (double size : m_sizes)
        if (width(size, text) <= room)
            return {text, {}, size};
    Part part{text, {}, m_sizes.back()};
    part.cut = true;
    return part;
}

std::pair<QString, QString> LabelFitter::breakLine(const QString& text, double pointSize, double room)
{
    const qsizetype fits = face(pointSize).fittingLength(text, room);
    if (fits >= text.size())
        return {text, {}};
    for (qsizetype at = fits; at > 0; --at) {
        const QChar next = text.at(at);
        const QChar last = text.at(at - 1);
        if (next.isSpace() || last == QLatin1Char('-') || last == QLatin1Char('/')) {
            QString first = text.left(at);
            while (!first.isEmpty() && first.back().isSpace())
                first.chop(1);
            if (first.isEmpty())
                continue;
            return {first, text.mid(at).trimmed()};
        }
    }
    return {text.left(fits), text.mid(fits)};
}

QString LabelFitter::cutWithEllipsis(const QString& text, double pointSize, double room)
{
    PrintFace& f = face(pointSize);
    const double left = room - f.width(m_ellipsis);
    if (left <= 0)
        return {};
    QString kept = text.left(f.fittingLength(text, left));
    while (!kept.isEmpty() && kept.back().isSpace())
        kept.chop(1);
    return kept + m_ellipsis;
}

LabelFitter::Part LabelFitter::twoLines(const QString& text, double room)
{
    for (double size : m_sizes) {
        auto [first, second] = breakLine(text, size, room);
        if (!first.isEmpty() && width(size, second) <= room)
            return {first, second, size, true};
    }
    const double least = m_sizes.back();
    auto [first, second] = breakLine(text, least, room);
    if (first.isEmpty())
        return {cutWithEllipsis(text, least, room), {}, least, false, true};
    return {first, cutWithEllipsis(second, least, room), least, true, true};
}

LabelFitter::Fit LabelFitter::fit(const std::array<QString, kTextRows>& lines, int lineCount, double room)
{
    lineCount = std::clamp(lineCount, 0, kTextRows);
    std::array<Part, kTextRows> parts;
    for (int i = 0; i < lineCount; ++i)
        parts[size_t(i)] = lines[size_t(i)].isEmpty() ? Part{{}, {}, m_sizes.front()} : oneLine(lines[size_t(i)], room);
    // The free rows go to the lines that need them, the city line first.
    int free = kTextRows - lineCount;
    for (int i : {2, 1, 0, 3}) {
        if (i >= lineCount || !parts[size_t(i)].cut)
            continue;
        const QString& text = lines[size_t(i)];
        if (free > 0) {
            --free;
            parts[size_t(i)] = twoLines(text, room);
        } else {
            parts[size_t(i)] = {cutWithEllipsis(text, m_sizes.back(), room), {}, m_sizes.back(), false, true};
        }
    }
    Fit fit;
    size_t row = 0;
    for (int i = 0; i < lineCount; ++i) {
        const Part& part = parts[size_t(i)];
        fit.rows[row++] = {part.first, part.pointSize};
        if (part.twoLines)
            fit.rows[row++] = {part.second, part.pointSize};
        fit.shortened = fit.shortened || part.cut;
    }
    return fit;
}

// ---- LabelCells -----------------------------------------------------------------

LabelCells::LabelCells(const RecordSheet& sheet, std::vector<int> records, const LabelFormat& format,
                       double pointSize, QString country, int emptyPositions)
    : m_sheet(sheet), m_records(std::move(records)), m_across(std::max(1, format.across)),
      m_empty(std::clamp(emptyPositions, 0, std::max(0, format.labelsPerSheet() - 1))),
      m_layout(LayOutLabels(format, pointSize)), m_country(PrintSheet::printableText(std::move(country))),
      m_family(format.fontFamily), m_pointSize(pointSize), m_leastPointSize(leastPointSize(format, pointSize))
{
    for (int c = 0; c < m_across; ++c)
        m_rooms.push_back(m_layout.textLimits[size_t(c)] - 2.0 * PrintSheet::kCellPadding - kFitSlack);
}

LabelCells::~LabelCells() = default;

double LabelCells::leastPointSize(const LabelFormat& format, double pointSize)
{
    const double least = format.fontSizes.isEmpty() ? pointSize : format.fontSizes.first().toDouble();
    return least > 0 ? std::min(least, pointSize) : pointSize;
}

int LabelCells::rowCount() const
{
    if (labelCount() == 0)
        return 0;
    const qsizetype positions = qsizetype(labelCount()) + m_empty;
    return int((positions + m_across - 1) / m_across * kBandRows);
}

int LabelCells::rowHeight(int row) const
{
    const std::vector<int>& heights = m_layout.sheetRowHeights;
    if (heights.empty() || row < 0)
        return -1;
    return heights[size_t(row) % heights.size()];
}

QString LabelCells::field(int record, int col) const
{
    // The record sheet may have shrunk since the labels were set up.
    if (col >= m_sheet.cols() || record < 1 || record >= m_sheet.rows())
        return {};
    return m_sheet.text(record, col);
}

LabelFitter::Fit LabelCells::label(int k) const
{
    if (k < 0 || k >= labelCount())
        return {};
    if (!m_fitter)
        m_fitter = std::make_unique<LabelFitter>(m_family, m_pointSize, m_leastPointSize);
    const int record = m_records[size_t(k)];
    const std::array<QString, LabelFitter::kTextRows> lines{
        PrintSheet::printableText(field(record, 0)), PrintSheet::printableText(field(record, 1)),
        PrintSheet::printableText(LabelCityLine(field(record, 2), field(record, 3), field(record, 4))), m_country};
    return m_fitter->fit(lines, m_country.isEmpty() ? 3 : 4, m_rooms[size_t((k + m_empty) % m_across)]);
}

const LabelFitter::Line* LabelCells::line(int row, int col) const
{
    if (row < 0 || col < 0 || col >= m_across)
        return nullptr;
    const int inBand = row % kBandRows;
    if (inBand < 1 || inBand > LabelFitter::kTextRows)
        return nullptr;
    const int band = row / kBandRows;
    const qsizetype k = qsizetype(band) * m_across + col - m_empty;
    if (k < 0 || k >= qsizetype(m_records.size()))
        return nullptr;
    if (band != m_band) {
        m_bandFits.clear();
        for (int c = 0; c < m_across; ++c)
            m_bandFits.push_back(label(int(qsizetype(band) * m_across + c - m_empty)));
        m_band = band;
    }
    return &m_bandFits[size_t(col)].rows[size_t(inBand - 1)];
}

QString LabelCells::text(int row, int col) const
{
    const LabelFitter::Line* l = line(row, col);
    return l ? l->text : QString();
}

double LabelCells::pointSize(int row, int col) const
{
    const LabelFitter::Line* l = line(row, col);
    return l && !l->text.isEmpty() ? l->pointSize : 0;
}

int LabelCells::lastUsedRow() const
{
    for (int band = rowCount() / kBandRows - 1; band >= 0; --band)
        for (int line = LabelFitter::kTextRows; line >= 1; --line)
            for (int col = 0; col < m_across; ++col)
                if (!text(band * kBandRows + line, col).isEmpty())
                    return band * kBandRows + line;
    return -1;
}

int LabelCells::shortenedCount() const
{
    int count = 0;
    for (int k = 0; k < labelCount(); ++k)
        count += label(k).shortened;
    return count;
}

// ---- ReportOptionsForm ------------------------------------------------------------

ReportOptionsForm::ReportOptionsForm(const RecordSheet& sheet, LabelStocks stocks)
    : m_sheet(sheet), m_stocks(std::move(stocks))
{
    setFormat(QStringLiteral("3 x 10"));
    refreshSelection();
}

QString ReportOptionsForm::hint()
{
    return QStringLiteral("Select standard address labels format, Print Country Name and Print Area options. "
                          "Preview before printing to get best results.");
}

void ReportOptionsForm::setFormat(const QString& name)
{
    const std::vector<LabelFormat>& formats = m_stocks.formats();
    for (size_t i = 0; i < formats.size(); ++i) {
        if (formats[i].name == name) {
            m_format = i;
            m_fontSize = QString::number(formats[i].fontSize);
            return;
        }
    }
}

const LabelFormat& ReportOptionsForm::labelFormat() const
{
    return m_stocks.formats().at(m_format);
}

int ReportOptionsForm::printStartLabel() const
{
    return std::clamp(m_startLabel, 1, std::max(1, labelsPerSheet()));
}

double ReportOptionsForm::printFontSize() const
{
    const LabelFormat& f = labelFormat();
    bool ok = false;
    const double size = m_fontSize.trimmed().toDouble(&ok);
    if (!ok || !(size > 0))
        return f.fontSize;
    // Sizes beyond those offered would run out of the label's rows.
    return std::clamp(size, f.fontSizes.first().toDouble(), f.fontSizes.last().toDouble());
}

void ReportOptionsForm::refreshSelection()
{
    m_selectedCount = m_sheet.selectedRowCount();
}

QString ReportOptionsForm::selectedRowsCaption() const
{
    return QStringLiteral("Slected rows (") + QString::number(m_selectedCount) + QLatin1Char(')');
}

bool ReportOptionsForm::isIncomplete(const RecordSheet& sheet, int row)
{
    for (int c = 1; c <= 4; ++c)
        if (c >= sheet.cols() || sheet.isCellEmpty(row, c))
            return true;
    return false;
}

std::vector<int> ReportOptionsForm::chosenRecords() const
{
    std::vector<int> rows;
    if (m_source == AllRecords) {
        rows.reserve(size_t(m_sheet.recordCount()));
        for (int r = 1; r < m_sheet.rows(); ++r)
            rows.push_back(r);
    } else {
        rows = m_sheet.selectedRowList();
        std::erase_if(rows, [this](int r) { return r < 1 || r >= m_sheet.rows(); });
    }
    if (m_skip)
        std::erase_if(rows, [this](int r) { return isIncomplete(m_sheet, r); });
    return rows;
}

std::unique_ptr<PrintSheet> ReportOptionsForm::makePrintSheet(int* shortened) const
{
    auto print = std::make_unique<PrintSheet>();
    const auto cells = setUp(*print, m_sheet, chosenRecords(), labelFormat(), printFontSize(),
                             m_printCountry ? m_country : QString(), printStartLabel() - 1);
    if (shortened)
        *shortened = cells->shortenedCount();
    return print;
}

QString ReportOptionsForm::shortenedMessage(int count)
{
    const QString ellipsis(QChar(0x2026));
    if (count == 1)
        return QStringLiteral("1 label was shortened to fit: a line too long even in smaller type ends in \"%1\".")
            .arg(ellipsis);
    return QStringLiteral("%1 labels were shortened to fit: a line too long even in smaller type ends in \"%2\".")
        .arg(count)
        .arg(ellipsis);
}

std::shared_ptr<const LabelCells> ReportOptionsForm::setUp(PrintSheet& print, const RecordSheet& sheet,
                                                           std::vector<int> records, const LabelFormat& format,
                                                           double fontSize, const QString& country,
                                                           int emptyPositions)
{
    auto cells = std::make_shared<LabelCells>(sheet, std::move(records), format, fontSize, country, emptyPositions);
    const LabelLayout& layout = cells->layout();
    const int lastRow = cells->lastUsedRow();
    print.setCells(cells);
    print.setHeader(QString());
    const QMargins& m = layout.margins;
    print.setMargins(m.left(), m.top(), m.right(), m.bottom());
    print.setPageSize(format.pageSize);
    print.setOrientation(QPageLayout::Portrait);
    print.setScale(100);
    print.setGridLines(false);
    print.setDefaultRowHeight(layout.rowHeight);
    print.setFont(format.fontFamily, fontSize);
    for (int c = 0; c < int(layout.columnWidths.size()); ++c) {
        print.setColumnWidth(c, layout.columnWidths[size_t(c)]);
        print.setTextLimit(c, layout.textLimits[size_t(c)]);
    }
    print.setPrintArea({0, 0, lastRow, int(layout.columnWidths.size()) - 1});
    // The labels of the stock, drawn on the preview.
    std::vector<QRectF> outlines;
    outlines.reserve(size_t(format.labelsPerSheet()));
    for (int row = 0; row < format.down; ++row)
        for (int col = 0; col < format.across; ++col)
            outlines.push_back(format.labelRect(col, row));
    print.setOutlines(std::move(outlines));
    return cells;
}

} // namespace quillon

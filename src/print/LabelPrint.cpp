#include "print/LabelPrint.h"

#include "sheet/RecordSheet.h"

#include <algorithm>

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

QStringList sizes(std::initializer_list<int> points)
{
    QStringList out;
    for (int p : points)
        out << QString::number(p);
    return out;
}

std::vector<LabelFormat> makeFormats()
{
    std::vector<LabelFormat> formats;
    LabelFormat f;
    // 2 5/8 x 1 inch labels, 3 across, 1/8 inch apart, 10 down.
    f.name = QStringLiteral("3 x 10");
    f.across = 3;
    f.columnWidths = {3976, 3976, 3300};
    f.rowHeight = 240;
    f.fontFamily = QStringLiteral("Arial");
    f.fontSize = 10;
    f.fontSizes = sizes({8, 9, 10, 11, 12});
    f.labelWidth = kInch * 21 / 8;
    f.labelHeight = kInch;
    f.pitch = kInch * 11 / 4;
    f.firstLeft = kInch * 3 / 16;
    f.labelsDown = 10;
    formats.push_back(f);
    // 4 x 1 inch labels, 2 across, 3/16 inch apart, 10 down.
    f.name = QStringLiteral("2 x 10");
    f.across = 2;
    f.columnWidths = {6120, 5000, 0};
    f.labelWidth = kInch * 4;
    f.pitch = kInch * 67 / 16;
    f.firstLeft = kInch * 5 / 32;
    formats.push_back(f);
    // 4 x 2 inch labels, 2 across, 5 down.
    f.name = QStringLiteral("2 x 5");
    f.rowHeight = 480;
    f.fontFamily = QStringLiteral("Times New Roman");
    f.fontSize = 16;
    f.fontSizes = sizes({12, 14, 16, 18, 20, 22, 24});
    f.labelHeight = kInch * 2;
    f.labelsDown = 5;
    formats.push_back(f);
    return formats;
}

} // namespace

QRectF LabelFormat::labelRect(int col, int band) const
{
    return QRectF(firstLeft + col * pitch, kLabelTop + band * labelHeight, labelWidth, labelHeight);
}

const std::vector<LabelFormat>& LabelFormats()
{
    static const std::vector<LabelFormat> formats = makeFormats();
    return formats;
}

const LabelFormat* FindLabelFormat(const QString& name)
{
    for (const LabelFormat& f : LabelFormats())
        if (f.name == name)
            return &f;
    return nullptr;
}

QMargins LabelMargins()
{
    return QMargins(kLabelLeft, kLabelTop, kLabelRight, kLabelBottom);
}

QString LabelCityLine(const QString& city, const QString& state, const QString& zip)
{
    QString line = (city + QStringLiteral(", ") + state + QLatin1Char(' ') + zip).trimmed();
    if (line.endsWith(QLatin1Char(',')))
        line.chop(1);
    return line;
}

// ---- LabelCells -----------------------------------------------------------------

LabelCells::LabelCells(const RecordSheet& sheet, std::vector<int> records, int across, QString country)
    : m_sheet(sheet), m_records(std::move(records)), m_across(std::max(1, across)), m_country(std::move(country))
{
}

int LabelCells::rowCount() const
{
    const int bands = (labelCount() + m_across - 1) / m_across;
    return bands * kBandRows;
}

QString LabelCells::field(int record, int col) const
{
    // The record sheet may have shrunk since the labels were set up.
    if (col >= m_sheet.cols() || record < 1 || record >= m_sheet.rows())
        return {};
    return m_sheet.text(record, col);
}

QString LabelCells::text(int row, int col) const
{
    if (row < 0 || col < 0 || col >= m_across)
        return {};
    const qsizetype k = qsizetype(row / kBandRows) * m_across + col;
    if (k >= qsizetype(m_records.size()))
        return {};
    const int record = m_records[size_t(k)];
    switch (row % kBandRows) {
    case 1:
        return field(record, 0);
    case 2:
        return field(record, 1);
    case 3:
        return LabelCityLine(field(record, 2), field(record, 3), field(record, 4));
    case 4:
        return m_country;
    default:
        return {};
    }
}

int LabelCells::lastUsedRow() const
{
    for (int band = rowCount() / kBandRows - 1; band >= 0; --band)
        for (int line = kBandRows - 2; line >= 1; --line)
            for (int col = 0; col < m_across; ++col)
                if (!text(band * kBandRows + line, col).isEmpty())
                    return band * kBandRows + line;
    return -1;
}

// ---- ReportOptionsForm ------------------------------------------------------------

ReportOptionsForm::ReportOptionsForm(const RecordSheet& sheet) : m_sheet(sheet)
{
    setFormat(QStringLiteral("3 x 10"));
    refreshSelection();
}

QString ReportOptionsForm::hint()
{
    return QStringLiteral("Select standard address labels format, Print Country Name and Print Area options. "
                          "Preview before printing to get best results.");
}

QStringList ReportOptionsForm::formatNames()
{
    QStringList names;
    for (const LabelFormat& f : LabelFormats())
        names << f.name;
    return names;
}

void ReportOptionsForm::setFormat(const QString& name)
{
    const LabelFormat* f = FindLabelFormat(name);
    if (!f)
        return;
    m_format = name;
    m_fontSize = QString::number(f->fontSize);
}

const LabelFormat& ReportOptionsForm::labelFormat() const
{
    const LabelFormat* f = FindLabelFormat(m_format);
    return f ? *f : LabelFormats().front();
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

std::unique_ptr<PrintSheet> ReportOptionsForm::makePrintSheet() const
{
    auto print = std::make_unique<PrintSheet>();
    setUp(*print, m_sheet, chosenRecords(), labelFormat(), printFontSize(),
          m_printCountry ? m_country : QString());
    return print;
}

void ReportOptionsForm::setUp(PrintSheet& print, const RecordSheet& sheet, std::vector<int> records,
                              const LabelFormat& format, double fontSize, const QString& country)
{
    auto cells = std::make_shared<LabelCells>(sheet, std::move(records), format.across, country);
    const int lastRow = cells->lastUsedRow();
    print.setCells(cells);
    print.setHeader(QString());
    const QMargins m = LabelMargins();
    print.setMargins(m.left(), m.top(), m.right(), m.bottom());
    print.setPageSize(QPageSize(QPageSize::Letter));
    print.setOrientation(QPageLayout::Portrait);
    print.setScale(100);
    print.setGridLines(false);
    print.setDefaultRowHeight(format.rowHeight);
    print.setFont(format.fontFamily, fontSize);
    int left = m.left();
    for (int c = 0; c < format.across; ++c) {
        const int width = format.columnWidths[size_t(c)];
        print.setColumnWidth(c, width);
        // Text stops at its label's right edge, inside the column.
        const int labelRight = int(format.labelRect(c, 0).right());
        print.setTextLimit(c, std::clamp(labelRight - left, 0, width));
        left += width;
    }
    print.setPrintArea({0, 0, lastRow, format.across - 1});
}

} // namespace quillon

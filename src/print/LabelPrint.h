#pragma once

#include "print/LabelStocks.h"
#include "print/PrintSheet.h"

#include <QImage>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <utility>
#include <vector>

namespace quillon {

class RecordSheet;

/**
 * How the labels of a format lie on the print sheet, for one type size: the page
 * margins, a print sheet column a label across with how far its text may run, and a
 * band of 6 rows a label down (rows 1 to 4 hold its lines). Lengths in twips.
 *
 * A built-in format keeps the cells its design gives. A stock of the stock file
 * starts each column's text a little inside its label and runs it to as far inside
 * the label's right edge; its four lines sit in the middle of the label, each 1.2
 * times the type size high, and the space between two rows of labels is part of the
 * upper label's last row (not on the last row of a sheet, so that a sheet of bands
 * meets the page exactly).
 */
struct LabelLayout
{
    QMargins margins;
    std::vector<int> columnWidths;
    std::vector<int> textLimits;
    int rowHeight = 240; ///< the print sheet's row height
    /** The heights of the rows of one sheet (6 a band, a band a row of labels), the
     *  same on every sheet; empty when every row has rowHeight. */
    std::vector<int> sheetRowHeights;
};

/** The layout of @p format's labels with type of @p pointSize. */
LabelLayout LayOutLabels(const LabelFormat& format, double pointSize);

/** Page margins of the built-in formats, in twips: the print sheet's first band meets
 *  the first row of labels, its first column's text the first label. */
QMargins LabelMargins();

/** The third address line: city + ", " + state + " " + zip, trimmed, without a
 *  trailing comma. */
QString LabelCityLine(const QString& city, const QString& state, const QString& zip);

class PrintFace;

/**
 * Fits the lines of a label to the label's width. A line too long prints in smaller
 * type, down to the least size; still too long, it takes a free text row of the
 * label as a second line (the city line first, as its zip code matters most to the
 * mail, then the street, the name, the country), both lines in the largest type
 * that lets them fit, and the lines below move down a row; what still does not fit
 * is cut and ends in an ellipsis, and the label counts as shortened. Lengths are in
 * twips, measured on a device of 1440 dots an inch.
 */
class LabelFitter
{
public:
    /** Rows of a label's band that hold text: band rows 1 to 4. */
    static constexpr int kTextRows = 4;

    struct Line
    {
        QString text;
        double pointSize = 0;
    };
    struct Fit
    {
        std::array<Line, kTextRows> rows;
        bool shortened = false;
    };

    /** Type of @p family at @p pointSize, made smaller down to @p leastPointSize. */
    LabelFitter(const QString& family, double pointSize, double leastPointSize);
    ~LabelFitter();
    LabelFitter(const LabelFitter&) = delete;
    LabelFitter& operator=(const LabelFitter&) = delete;

    /** Lays out the first @p lineCount of @p lines (name, street, city line and, when
     *  it prints, the country; printable text) in @p room twips across. */
    Fit fit(const std::array<QString, kTextRows>& lines, int lineCount, double room);

    /** The ellipsis that ends a cut line: "\u2026", or "..." where the type lacks it. */
    QString ellipsis() const { return m_ellipsis; }

private:
    struct Part
    {
        QString first;
        QString second;
        double pointSize = 0;
        bool twoLines = false;
        bool cut = false;
    };

    PrintFace& face(double pointSize);
    double width(double pointSize, const QString& text);
    /** The line in the largest type it fits in on one line; cut = true when none. */
    Part oneLine(const QString& text, double room);
    /** The line on two lines, cut on the second when that does not fit either. */
    Part twoLines(const QString& text, double room);
    /** The longest first line of @p text at @p pointSize, broken after a blank, a
     *  hyphen or a slash where one fits, else within the word; and the rest. */
    std::pair<QString, QString> breakLine(const QString& text, double pointSize, double room);
    /** @p text cut to fit @p room with the ellipsis. */
    QString cutWithEllipsis(const QString& text, double pointSize, double room);

    QString m_family;
    std::vector<double> m_sizes; ///< from the chosen size down to the least
    QImage m_device;
    std::vector<std::pair<int, std::unique_ptr<PrintFace>>> m_faces;
    QString m_ellipsis;
};

/**
 * Labels as print sheet cells. The k-th record (from 0) takes label position p = k +
 * the positions left empty at the start; position p is label column p mod n of band
 * p / n. Rows 1 to 4 of a band hold name, street, city line and country, rows 0 and
 * 5 stay empty. The lines are fitted to their labels (LabelFitter) as they are read,
 * a band at a time. The record sheet must outlive it.
 */
class LabelCells : public PrintCells
{
public:
    /** Labels of @p records in @p format with type of @p pointSize; @p country is the
     *  country line, empty for none; the first @p emptyPositions label positions of
     *  the first sheet stay empty (a sheet partly used). */
    LabelCells(const RecordSheet& sheet, std::vector<int> records, const LabelFormat& format, double pointSize,
               QString country, int emptyPositions = 0);
    ~LabelCells() override;

    int rowCount() const override;
    int columnCount() const override { return m_across; }
    QString text(int row, int col) const override;
    double pointSize(int row, int col) const override;
    int rowHeight(int row) const override;
    /** Fitted lines print whole. */
    Overflow overflow(int /*row*/, int /*col*/) const override { return Overflow::Whole; }
    /** Lets the fitted band go: the records may have changed since. */
    void pageStarted() const override { m_band = -1; }

    int labelCount() const { return int(m_records.size()); }
    int emptyPositions() const { return m_empty; }
    const LabelLayout& layout() const { return m_layout; }
    /** The last print sheet row holding text; -1 when none does. */
    int lastUsedRow() const;
    /** The lines of label @p k (from 0) as they print. */
    LabelFitter::Fit label(int k) const;
    /** How many labels have a line cut; fits every label once. */
    int shortenedCount() const;

    /** The least type size a line is made smaller to: the format's smallest size,
     *  or the chosen size when that is smaller. */
    static double leastPointSize(const LabelFormat& format, double pointSize);

private:
    /** The fitted line of print sheet cell (@p row, @p col), or nullptr. */
    const LabelFitter::Line* line(int row, int col) const;
    QString field(int record, int col) const;

    const RecordSheet& m_sheet;
    std::vector<int> m_records;
    int m_across;
    int m_empty;
    LabelLayout m_layout;
    QString m_country;
    std::vector<double> m_rooms;
    QString m_family;
    double m_pointSize;
    double m_leastPointSize;
    // Created on first use; the fitted labels of one band.
    mutable std::unique_ptr<LabelFitter> m_fitter;
    mutable int m_band = -1;
    mutable std::vector<LabelFitter::Fit> m_bandFits;
};

/**
 * The state and rules of the "Address Labels Printing" dialog (frmReportOptions):
 * label format, font size, the label to start at, "Skip incompleted address", the
 * country line and the print area; makePrintSheet() lays the labels out on a print
 * sheet. The record sheet must outlive the form and what it makes.
 */
class ReportOptionsForm
{
public:
    enum DataSource { AllRecords, SelectedRows };

    /** A form offering the formats of @p stocks (the built-in formats and the
     *  shipped stock file's, read now, unless told otherwise). */
    explicit ReportOptionsForm(const RecordSheet& sheet, LabelStocks stocks = LabelStocks::shipped());

    static QString hint();

    const LabelStocks& stocks() const { return m_stocks; }
    /** "3 x 10", "2 x 10", "2 x 5", then the stocks of the stock file. */
    QStringList formatNames() const { return m_stocks.names(); }
    QString format() const { return labelFormat().name; }
    /** Chooses a format by its exact name; the font size becomes the format's. An
     *  unknown name is ignored. */
    void setFormat(const QString& name);
    const LabelFormat& labelFormat() const;

    /** The sizes the font size box offers for the current format. */
    QStringList fontSizes() const { return labelFormat().fontSizes; }
    QString fontSize() const { return m_fontSize; }
    void setFontSize(const QString& size) { m_fontSize = size; }
    /** The font size that prints: the box's number within the sizes offered, else
     *  the format's size. */
    double printFontSize() const;

    /** The label position (1 .. labels a sheet, across first) the first label takes:
     *  the positions before it on the first sheet are used already. */
    int startLabel() const { return m_startLabel; }
    void setStartLabel(int position) { m_startLabel = position; }
    int labelsPerSheet() const { return labelFormat().labelsPerSheet(); }
    /** The start label kept within the sheet. */
    int printStartLabel() const;

    bool skipIncomplete() const { return m_skip; }
    void setSkipIncomplete(bool on) { m_skip = on; }

    QString countryText() const { return m_country; }
    void setCountryText(const QString& text) { m_country = text; }
    bool printCountry() const { return m_printCountry; }
    void setPrintCountry(bool on) { m_printCountry = on; }

    DataSource dataSource() const { return m_source; }
    void setDataSource(DataSource source) { m_source = source; }
    void refreshSelection();
    int selectedRowCount() const { return m_selectedCount; }
    QString selectedRowsCaption() const;

    /** The records that get a label, in order. */
    std::vector<int> chosenRecords() const;
    /** The labels laid out on a print sheet; @p shortened, when given, receives the
     *  number of labels that had a line cut. */
    std::unique_ptr<PrintSheet> makePrintSheet(int* shortened = nullptr) const;

    /** Lays out labels of @p records on @p print, on the paper of @p format's stock,
     *  the first @p emptyPositions positions left empty; returns the labels' cells. */
    static std::shared_ptr<const LabelCells> setUp(PrintSheet& print, const RecordSheet& sheet,
                                                   std::vector<int> records, const LabelFormat& format,
                                                   double fontSize, const QString& country,
                                                   int emptyPositions = 0);
    /** What the user is told when @p count labels (1 or more) were shortened. */
    static QString shortenedMessage(int count);
    /** Whether a record lacks its street, city, state or zip code. */
    static bool isIncomplete(const RecordSheet& sheet, int row);

private:
    const RecordSheet& m_sheet;
    LabelStocks m_stocks;
    size_t m_format = 0; ///< in m_stocks.formats()
    QString m_fontSize;
    int m_startLabel = 1;
    bool m_skip = false;
    QString m_country = QStringLiteral("U.S.A.");
    bool m_printCountry = false;
    DataSource m_source = AllRecords;
    int m_selectedCount = 0;
};

} // namespace quillon

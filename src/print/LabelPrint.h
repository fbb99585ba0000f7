#pragma once

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
 * A mailing label format: how the labels are laid out as print sheet cells (one
 * column a label across, a band of 6 rows a label down) and the US Letter label
 * stock it is made for. Lengths in twips.
 */
struct LabelFormat
{
    QString name;         ///< "3 x 10"
    int across = 3;       ///< labels across the page
    std::array<int, 3> columnWidths{};
    int rowHeight = 240;  ///< a band is 6 rows
    QString fontFamily;
    int fontSize = 10;    ///< points
    QStringList fontSizes; ///< sizes offered; all fit the row height

    // The stock.
    int labelWidth = 0;
    int labelHeight = 0;
    int pitch = 0;     ///< from one label's left edge to the next one's
    int firstLeft = 0; ///< left edge of the first label
    int labelsDown = 10;

    /** The label in column @p col (0 ..) of band @p band (0 ..) on the page, on paper. */
    QRectF labelRect(int col, int band) const;
};

/** The three formats, "3 x 10", "2 x 10" and "2 x 5". */
const std::vector<LabelFormat>& LabelFormats();
/** The format of that name (exact), or nullptr. */
const LabelFormat* FindLabelFormat(const QString& name);

/** Page margins of label printing, in twips: the print sheet's first band meets the
 *  first row of labels, its first column's text the first label. */
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
 * Labels as print sheet cells. The k-th record (from 0) is label column k mod n of
 * band k / n; rows 1 to 4 of a band hold name, street, city line and country, rows
 * 0 and 5 stay empty. The lines are fitted to their labels (LabelFitter) as they
 * are read, a band at a time. The record sheet must outlive it.
 */
class LabelCells : public PrintCells
{
public:
    /** Labels of @p records in @p format with type of @p pointSize; @p country is the
     *  country line, empty for none. */
    LabelCells(const RecordSheet& sheet, std::vector<int> records, const LabelFormat& format, double pointSize,
               QString country);
    ~LabelCells() override;

    int rowCount() const override;
    int columnCount() const override { return m_across; }
    QString text(int row, int col) const override;
    double pointSize(int row, int col) const override;
    /** Fitted lines print whole. */
    Overflow overflow(int /*row*/, int /*col*/) const override { return Overflow::Whole; }
    /** Lets the fitted band go: the records may have changed since. */
    void pageStarted() const override { m_band = -1; }

    int labelCount() const { return int(m_records.size()); }
    /** The last print sheet row holding text; -1 when none does. */
    int lastUsedRow() const;
    /** The lines of label @p k (from 0) as they print. */
    LabelFitter::Fit label(int k) const;
    /** How many labels have a line cut; fits every label once. */
    int shortenedCount() const;

    /** How far the text of label column @p col may run from the print sheet
     *  column's left edge: to its label's right edge (twips). */
    static int textLimit(const LabelFormat& format, int col);
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
 * label format, font size, "Skip incompleted address", the country line and the
 * print area; makePrintSheet() lays the labels out on a print sheet. The record
 * sheet must outlive the form and what it makes.
 */
class ReportOptionsForm
{
public:
    enum DataSource { AllRecords, SelectedRows };

    explicit ReportOptionsForm(const RecordSheet& sheet);

    static QString hint();

    /** "3 x 10", "2 x 10", "2 x 5". */
    static QStringList formatNames();
    QString format() const { return m_format; }
    /** Chooses a format; the font size becomes the format's. An unknown name is
     *  ignored. */
    void setFormat(const QString& name);
    const LabelFormat& labelFormat() const;

    /** The sizes the font size box offers for the current format. */
    QStringList fontSizes() const { return labelFormat().fontSizes; }
    QString fontSize() const { return m_fontSize; }
    void setFontSize(const QString& size) { m_fontSize = size; }
    /** The font size that prints: the box's number within the sizes offered, else
     *  the format's size. */
    double printFontSize() const;

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

    /** Lays out labels of @p records on @p print; returns the labels' cells. */
    static std::shared_ptr<const LabelCells> setUp(PrintSheet& print, const RecordSheet& sheet,
                                                   std::vector<int> records, const LabelFormat& format,
                                                   double fontSize, const QString& country);
    /** What the user is told when @p count labels (1 or more) were shortened. */
    static QString shortenedMessage(int count);
    /** Whether a record lacks its street, city, state or zip code. */
    static bool isIncomplete(const RecordSheet& sheet, int row);

private:
    const RecordSheet& m_sheet;
    QString m_format;
    QString m_fontSize;
    bool m_skip = false;
    QString m_country = QStringLiteral("U.S.A.");
    bool m_printCountry = false;
    DataSource m_source = AllRecords;
    int m_selectedCount = 0;
};

} // namespace quillon

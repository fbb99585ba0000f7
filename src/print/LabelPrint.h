#pragma once

#include "print/PrintSheet.h"

#include <QRectF>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
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

/**
 * Labels as print sheet cells. The k-th record (from 0) is label column k mod n of
 * band k / n; rows 1 to 4 of a band hold name, street, city line and country, rows
 * 0 and 5 stay empty. The record sheet must outlive it.
 */
class LabelCells : public PrintCells
{
public:
    LabelCells(const RecordSheet& sheet, std::vector<int> records, int across, QString country);

    int rowCount() const override;
    int columnCount() const override { return m_across; }
    QString text(int row, int col) const override;

    int labelCount() const { return int(m_records.size()); }
    /** The last print sheet row holding text; -1 when none does. */
    int lastUsedRow() const;

private:
    QString field(int record, int col) const;

    const RecordSheet& m_sheet;
    std::vector<int> m_records;
    int m_across;
    QString m_country;
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
    std::unique_ptr<PrintSheet> makePrintSheet() const;

    /** Lays out labels of @p records on @p print. */
    static void setUp(PrintSheet& print, const RecordSheet& sheet, std::vector<int> records,
                      const LabelFormat& format, double fontSize, const QString& country);
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

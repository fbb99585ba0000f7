#pragma once

#include <QByteArrayView>
#include <QPageSize>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <vector>

namespace quillon {

/**
 * A mailing label format: a sheet of label stock (the paper, and the labels on it in
 * rows and columns) and the type its labels print in. Lengths are in twips on the
 * paper (1/1440 inch), kept as fractions so that stocks measured in millimetres
 * stay exact.
 *
 * The three built-in formats of the label dialog ("3 x 10", "2 x 10", "2 x 5") lay
 * their labels out as print sheet cells of fixed widths and heights made for their
 * US Letter stocks; the stocks of the stock file are laid out from their geometry
 * (LayOutLabels in LabelPrint.h).
 */
struct LabelFormat
{
    QString name;         ///< "3 x 10", "Avery L7160"
    bool builtIn = false; ///< one of the three built-in formats

    // The stock.
    QPageSize pageSize{QPageSize::Letter};
    double labelWidth = 0;
    double labelHeight = 0;
    double horizontalPitch = 0; ///< from one label's left edge to the next one's across
    double verticalPitch = 0;   ///< from one label's top edge to the next one's down
    double leftMargin = 0;      ///< from the paper's left edge to the first column of labels
    double topMargin = 0;       ///< from the paper's top edge to the first row of labels
    int across = 3;             ///< labels across the sheet
    int down = 10;              ///< labels down the sheet
    bool metric = false;        ///< described in millimetres, else in inches
    QString source;             ///< where a stock of the stock file was read: "file, line n"

    // The type.
    QString fontFamily;
    int fontSize = 10;     ///< points
    QStringList fontSizes; ///< sizes offered, smallest first; all fit the label's four lines

    // A built-in format's print sheet cells: a column a label across, a band of 6 rows
    // a label down.
    std::vector<int> columnWidths;
    int rowHeight = 240;

    int labelsPerSheet() const { return across * down; }
    /** The label in column @p col (0 ..) of row @p row (0 ..) of a sheet, on the paper. */
    QRectF labelRect(int col, int row) const;
    /** The paper in twips. */
    QSizeF paperTwips() const;
    /** "30 labels a sheet, 3 across and 10 down, each 2.625 x 1 in, on Letter paper". */
    QString description() const;
    /** @p twips in the stock's unit: "2.625 in", "63.5 mm". */
    QString length(double twips) const;
};

/** The three built-in formats, "3 x 10", "2 x 10", "2 x 5". */
const std::vector<LabelFormat>& BuiltInLabelFormats();
/** The built-in format of that name (exact), or nullptr. */
const LabelFormat* FindLabelFormat(const QString& name);

/**
 * The label formats the label printer offers: the three built-in formats, then the
 * stocks of a stock file.
 *
 * The stock file is UTF-8 text. A stock begins with its name in brackets, followed by
 * "key = value" lines; "#" begins a comment. Lengths carry their unit, "in" or "mm",
 * and may be written as fractions ("2 5/8 in"):
 *
 *     [Avery 5160]
 *     paper = Letter            # Letter, Legal, A4 or A5
 *     label width = 2 5/8 in
 *     label height = 1 in
 *     horizontal pitch = 2 3/4 in
 *     vertical pitch = 1 in
 *     left margin = 3/16 in
 *     top margin = 1/2 in
 *     across = 3
 *     down = 10
 *     font = Arial              # optional
 *     font size = 10            # optional
 *
 * A stock that is incomplete or not understood, whose label is larger than its page,
 * whose labels overlap or run off the page, or that is too small for four lines of
 * type, is left out with a problem that names it; the others are kept. A file that
 * is not text is left out whole. Nothing in a stock file stops the program: the
 * built-in formats are always offered.
 */
class LabelStocks
{
public:
    /** The file name of the stock file in the shipped data folder. */
    static constexpr const char* kFileName = "labelstocks.txt";

    /** The built-in formats alone. */
    LabelStocks();

    /** The built-in formats and the stocks of the shipped stock file, read now. */
    static LabelStocks shipped();
    /** The path of the shipped stock file. */
    static QString shippedFile();

    /** Adds the stocks of the stock file @p path; a file that does not exist adds nothing. */
    void readFile(const QString& path);
    /** Adds the stocks of @p text, a stock file read from @p fileName. */
    void read(QByteArrayView text, const QString& fileName);

    const std::vector<LabelFormat>& formats() const { return m_formats; }
    QStringList names() const;
    /** The format of that name (exact), or nullptr. */
    const LabelFormat* find(const QString& name) const;
    /** The format a user means by @p name: letter case and blanks do not count
     *  ("3x10", "avery l7160"), and the maker may be left out ("L7160") where that
     *  leaves one stock; nullptr when none or more than one is meant. */
    const LabelFormat* lookUp(const QString& name) const;

    /** What was left out of the stock file and why, one message each. */
    const QStringList& problems() const { return m_problems; }

private:
    struct Entry;
    void finish(Entry& entry);

    std::vector<LabelFormat> m_formats;
    QStringList m_problems;
};

} // namespace quillon

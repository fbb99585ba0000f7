#pragma once

#include "files/GridFile.h"

#include <QByteArrayView>
#include <QString>

#include <span>
#include <string>

class QIODevice;

namespace quillon {

class RecordSheet;

/**
 * Comma- and tab-delimited text: one line a grid row, the cells separated by the
 * delimiter and quoted as RFC 4180 does it when they hold the delimiter, a double
 * quote or a line break.
 *
 * Written as UTF-8 with CR LF line ends. Read: a UTF-8 byte-order mark is skipped,
 * UTF-16 with its byte-order mark is understood; otherwise what is well-formed UTF-8
 * is taken as UTF-8 and every byte that is not is taken as Windows-1252 on its own
 * (a file of UTF-8 names with one typed in an older program reads as both). Lines
 * may end in CR LF, LF or CR; a short line has empty cells at its end (the widest
 * line decides the column count); a quoted cell may be followed by more text before
 * the delimiter, which is kept. A file that holds NUL bytes or ends inside a quoted
 * cell is refused, and so is one larger than a sheet can hold: more rows or a line
 * of more cells than a sheet has (RecordSheet::kMaxRows, kMaxCols, kMaxCells), a
 * cell of more than kMaxCellTextBytes or a column of more than kMaxColumnTextBytes.
 * A wide line is refused as soon as its cells pass the column bound, before the rest
 * of it is cut.
 */
class DelimitedTextReader
{
public:
    /** Utf8: all of it is UTF-8; Windows1252: some bytes were not and were taken as
     *  Windows-1252, the rest as UTF-8; Utf16: it had a UTF-16 byte-order mark. */
    enum class Encoding { Utf8, Windows1252, Utf16 };

    /** Gets each row in order (row 0 first) as UTF-8 texts, valid during the call;
     *  returns false to stop reading. */
    using RowHandler = std::function<bool(int row, std::span<const QByteArrayView> cells)>;

    explicit DelimitedTextReader(char delimiter) : m_delimiter(delimiter) {}

    /** Reads the device from its current position to its end. */
    bool read(QIODevice& device, const RowHandler& handler, QString* error = nullptr,
              const GridProgress& progress = {});
    /** Reads the device into @p fresh, a sheet just made (one row, no columns). */
    bool readInto(QIODevice& device, RecordSheet& fresh, QString* error = nullptr,
                  const GridProgress& progress = {});

    /** The encoding the last read took the file to be in. */
    Encoding encoding() const { return m_encoding; }

private:
    struct Scan;
    bool scan(QIODevice& device, Scan& result, QString* error, const GridProgress& progress);
    bool parse(QIODevice& device, const RowHandler& handler, QString* error, const GridProgress& progress,
               qint64 progressBase, qint64 progressTotal);
    bool readUtf16(QIODevice& device, const RowHandler& handler, QString* error, const GridProgress& progress);

    char m_delimiter;
    Encoding m_encoding = Encoding::Utf8;
    qint64 m_rowHint = 0;
};

/** Appends [p, p+n) to @p out as UTF-8: well-formed UTF-8 as it is, every other byte
 *  taken as Windows-1252 on its own. */
void appendMixedAsUtf8(std::string& out, const char* p, size_t n);

/** Writes every row of @p sheet, header first, every column, the stored texts. */
bool writeDelimitedText(QIODevice& device, const RecordSheet& sheet, char delimiter, QString* error = nullptr,
                        const GridProgress& progress = {});

/**
 * Comma text for spreadsheet programs: as writeDelimitedText() with a comma, after a
 * UTF-8 byte-order mark (so that a spreadsheet program takes the file as UTF-8), and
 * every cell that such a program would run as a formula is made text by a leading
 * apostrophe: one that startsLikeFormula(). Grabbed texts come from strangers' pages.
 */
bool writeSpreadsheetCsv(QIODevice& device, const RecordSheet& sheet, QString* error = nullptr,
                         const GridProgress& progress = {});

/**
 * True when a spreadsheet program would take @p text (UTF-8) as a formula: it starts
 * with "=", "+", "-", "@", a tab or a carriage return. A negative number ("-5",
 * "-12.50", "-1,234.5") is not: it is data the program reads as a number.
 */
bool startsLikeFormula(QByteArrayView text);

} // namespace quillon

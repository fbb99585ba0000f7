#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QIODevice;

namespace quillon {

class RecordSheet;

/** Format codes of the grid files. */
enum GridFormat : int {
    FormatNative = 0, ///< the native grid file (.vty, the site table, the key files)
    FormatComma = 3,  ///< comma-delimited text (.csv)
    FormatTab = 4,    ///< tab-delimited text (.txt)
    /** Comma text for spreadsheet programs (.csv): a byte-order mark and no cell that
     *  would run as a formula. Read, it is comma text. */
    FormatSpreadsheetCsv = 5,
    FormatVCard = 6, ///< contacts as vCards (.vcf), one card a record
    FormatXlsx = 7,  ///< a spreadsheet file (.xlsx); the first sheet is read
};

/**
 * Told how far a read or write has come, in bytes of the file; returns false to
 * stop the work, which then fails with the reason "Stopped.". Called now and then
 * on the thread doing the work, never for every cell.
 */
using GridProgress = std::function<bool(qint64 done, qint64 total)>;

/** The most bytes one cell's text may have in a file: the native file's length bound. */
constexpr qint64 kMaxCellTextBytes = 0x7fffffff;
/** The most bytes of text, length prefixes included, one column of a sheet can keep:
 *  its texts are found by 32-bit positions. */
constexpr quint64 kMaxColumnTextBytes = 0xF0000000ull;

/**
 * Why a sheet of @p rows rows (the header row included) and @p cols columns is more
 * than a record sheet can hold, in a sentence about the file for the user; empty when
 * the sheet can hold it.
 */
QString sheetSizeRefusal(qint64 rows, qint64 cols);

/** True for the codes of GridFormat. */
bool isGridFormat(int format);

/** The format a file name's extension stands for: .vty and .bin native, .csv
 *  comma, .txt tab, .vcf and .vcard vCard, .xlsx spreadsheet (any case); -1 for
 *  anything else. */
int gridFormatForPath(const QString& path);

/** True for the formats that keep everything a sheet holds: the native file only. */
inline bool keepsEverything(int format) { return format == FormatNative; }

/**
 * Reads a grid file into @p into, replacing its whole contents (cells, styles,
 * column attributes, row heights) by the file's. The file is read into a fresh
 * sheet first; when it cannot be read, @p into is left exactly as it was and
 * @p error (when given) tells why in a sentence for the user.
 *
 * @p columnTitles matter to formats whose fields have names, not places (vCard):
 * each field lands in the column of its title, fields without one in new columns
 * after them. Empty: the columns of a new document.
 */
bool LoadGrid(const QString& path, int format, RecordSheet& into, QString* error = nullptr,
              const GridProgress& progress = {}, const QStringList& columnTitles = {});

/**
 * Writes the whole of @p sheet to @p path in @p format. The file is written
 * under a temporary name and put in place only when every byte was written, so a
 * failed write leaves an existing file as it was; @p error tells why.
 */
bool SaveGrid(const QString& path, int format, const RecordSheet& sheet, QString* error = nullptr,
              const GridProgress& progress = {});

/** The same on an open device; the device is read from or written to its current position. */
bool readGrid(QIODevice& device, int format, RecordSheet& into, QString* error = nullptr,
              const GridProgress& progress = {}, const QStringList& columnTitles = {});
bool writeGrid(QIODevice& device, int format, const RecordSheet& sheet, QString* error = nullptr,
               const GridProgress& progress = {});

} // namespace quillon

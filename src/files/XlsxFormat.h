#pragma once

#include "files/GridFile.h"

#include <QString>

class QIODevice;

namespace quillon {

class RecordSheet;

/**
 * Spreadsheet files (.xlsx, Office Open XML): one sheet, its first row the titles.
 *
 * Written with libxlsxwriter in its constant-memory mode, one row at a time, into a
 * temporary file that is then copied to the device. Each column's data type, format,
 * alignment, width and hidden flag go out as the column's cell format and width:
 * a Text column as text ("@"), so that a spreadsheet program keeps zip codes as
 * typed; in a Number or Money column the texts that are plain numbers go out as
 * numbers, in a Date column the texts that read as dates as dates, both with the
 * column's format; a checked cell of a Checkbox column as TRUE. Row heights go too.
 * The titles are bold and stay in view. A sheet of more rows than a spreadsheet holds
 * (1,048,576) or a text of more than 32,767 characters is refused: nothing is cut.
 * Cell colours, fonts and alignments, the sort arrow, blank records at the end and
 * columns without a title or text at the end are not kept.
 *
 * Read with minizip, the zip library libxlsxwriter writes with: the first sheet of the workbook, its shared and inline texts,
 * numbers (rounded to the 15 digits a spreadsheet shows), dates and times by their
 * number format (as "yyyy-mm-dd" and "yyyy-mm-dd hh:mm:ss", in the 1900 and 1904
 * systems), TRUE and FALSE, error values as their text, and the formula of a cell
 * that has no value kept ("=A1+B1"). Empty cells stay empty. Column attributes come
 * back from the columns' formats, widths and hidden flags, and where a column has no
 * format from its cells: all dates a Date column, all numbers Number or Money, all
 * TRUE/FALSE a Checkbox column (with its checks).
 *
 * A damaged or hostile file is refused with a sentence saying why, and nothing of it
 * is read: one that is not a zip archive (an older .xls is named as such), a part that
 * is missing, encrypted or compressed in another way, a part that would expand beyond
 * what Quillon reads or far beyond its compressed size (a zip bomb), or to more than
 * its entry says, XML with a document type declaration or entities of its own, cells
 * or dimensions beyond what a spreadsheet holds, a shared text that does not exist,
 * or more than a sheet can hold.
 */
namespace XlsxFormat {

/** A spreadsheet's own bounds. */
constexpr int kMaxRows = 1048576;
constexpr int kMaxCols = 16384;
constexpr int kMaxCellCharacters = 32767;

/** The most bytes Quillon lets one part of the archive expand to: a sheet, the shared
 *  texts, and the small parts (workbook, relationships, styles). */
constexpr qint64 kMaxSheetBytes = qint64(4) << 30;
constexpr qint64 kMaxSharedStringsBytes = qint64(512) << 20;
constexpr qint64 kMaxSmallPartBytes = qint64(64) << 20;
/** A part above kBombFloor bytes that expands more than kMaxRatio times its
 *  compressed size is taken for a zip bomb. */
constexpr qint64 kBombFloor = qint64(64) << 20;
constexpr qint64 kMaxRatio = 400;

bool write(QIODevice& device, const RecordSheet& sheet, QString* error, const GridProgress& progress);
/** Reads the first sheet into @p fresh, a sheet just made (one row, no columns). */
bool read(QIODevice& device, RecordSheet& fresh, QString* error, const GridProgress& progress);

/** The spreadsheet number format a column of @p dataType with the display format
 *  @p format gets ("@" for Text, "mm/dd/yy hh:mm AM/PM" for "mm/dd/yy hh:mm AMPM");
 *  empty for none. */
QString spreadsheetFormat(int dataType, const QString& format);

} // namespace XlsxFormat

} // namespace quillon

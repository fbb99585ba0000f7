#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

namespace quillon {

class RecordSheet;

/**
 * Cells as text on the clipboard: a tab between cells, a carriage return and line
 * feed after every row but the last. A cell holding a tab or a line break, or
 * starting with a double quote, is written in double quotes with its quotes doubled,
 * the way spreadsheet programs write such cells, so that it reads back as one cell.
 */
QString ClipTextOf(const RecordSheet& grid, const std::vector<int>& rows, int left, int right);

/**
 * Reads clipboard text into rows of cells: tabs separate cells, CR-LF, LF or CR end
 * rows, and a line break at the very end ends the last row rather than starting an
 * empty one. A cell that starts with a double quote and whose closing quote is
 * followed by a tab, a line break or the end is a quoted cell: it may hold tabs and
 * line breaks, and two quotes in it stand for one. Any other cell is taken as it is.
 */
QList<QStringList> ParseClipText(const QString& text);

} // namespace quillon

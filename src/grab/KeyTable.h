#pragma once

#include "sheet/RecordSheet.h"

#include <QString>
#include <QStringView>

namespace quillon {

/**
 * A grid loaded whole from a grid file: a site's decoding key, or the site table.
 * Cells are read by zero-based (row, column) as text or as a number; a cell
 * outside the grid reads empty (and 0).
 */
class KeyTable
{
public:
    KeyTable();

    /** Loads @p path: comma-delimited text when its name ends in ".csv", tab-delimited
     *  when ".txt", the native grid format otherwise. On failure returns false with
     *  the reason in @p error and leaves the table as it was. */
    bool load(const QString& path, QString* error = nullptr);

    int rows() const { return m_sheet.rows(); }
    int cols() const { return m_sheet.cols(); }
    QString text(int row, int col) const;
    /** The cell's numeric value; a cell that is not a number reads 0. */
    double number(int row, int col) const;
    void setText(int row, int col, const QString& text);
    void clear();
    const RecordSheet& sheet() const { return m_sheet; }

private:
    RecordSheet m_sheet;
};

/**
 * The numeric value of a text: blanks around it are ignored, a sign and thousands
 * separators (",") are accepted, and anything that is not such a number gives 0.
 */
double NumericValue(QStringView text);

/** A number as the status panels show it: "97", "1234", "2.5". */
QString NumberText(double value);

} // namespace quillon

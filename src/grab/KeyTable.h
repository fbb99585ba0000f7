#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace quillon {

/**
 * A grid of cell texts loaded whole from a grid file: a site's decoding key, or
 * the site table. Cells are read by zero-based (row, column) as text or as a
 * number; a cell outside the grid reads empty (and 0).
 */
class KeyTable
{
public:
    KeyTable() = default;

    /** Loads @p path (the native grid format, or comma-delimited text when the name
     *  ends in ".csv"). On failure returns false with the reason in @p error and
     *  leaves the table as it was. */
    bool load(const QString& path, QString* error = nullptr);

    int rows() const { return int(m_rows.size()); }
    int cols() const;
    QString text(int row, int col) const;
    /** The cell's numeric value; a cell that is not a number reads 0. */
    double number(int row, int col) const;
    void setText(int row, int col, const QString& text);
    void clear() { m_rows.clear(); }

private:
    QList<QStringList> m_rows;
};

/**
 * The numeric value of a text: blanks around it are ignored, a sign and thousands
 * separators (",") are accepted, and anything that is not such a number gives 0.
 */
double NumericValue(QStringView text);

/** A number as the status panels show it: "97", "1234", "2.5". */
QString NumberText(double value);

} // namespace quillon

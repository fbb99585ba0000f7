#pragma once

#include "sheet/RecordSheet.h"

#include <QByteArray>

#include <cstdint>
#include <utility>
#include <vector>

namespace quillon {

/**
 * The contents of an area of a sheet kept aside: some rows (ascending ranges) across a
 * run of columns, with their texts, their cell styles and the rows' heights, as asked.
 * The undo steps keep in one what a change overwrote or removed.
 *
 * Texts are kept as UTF-8, one block of bytes a column with one 32-bit end a cell;
 * styles and heights only where a cell or row has one. The area is addressed by row
 * numbers, so it is written back to a sheet whose rows stand where they stood when
 * it was read.
 */
class CellSnapshot
{
public:
    enum Part { Texts = 1, Styles = 2, Heights = 4, All = Texts | Styles | Heights };
    /** Ascending, disjoint, inclusive row ranges. */
    using Ranges = std::vector<std::pair<int, int>>;

    CellSnapshot() = default;

    /** Reads rows @p rows across columns @p left .. @p right (none when right < left):
     *  the @p parts asked for. */
    static CellSnapshot read(const RecordSheet& sheet, Ranges rows, int left, int right, int parts);
    /** The ranges of a list of rows in ascending order. */
    static Ranges rangesOf(const std::vector<int>& ascendingRows);

    /** Writes the kept contents into their area: texts, then styles (the area's own go
     *  first), then heights (rows not kept get the default). */
    void write(RecordSheet& sheet) const;
    /** Writes the kept contents and keeps what the area held instead: the undo and the
     *  redo of a change of cells. */
    void swapWith(RecordSheet& sheet);
    /** Whether the area holds what is kept (nothing was changed). */
    bool matches(const RecordSheet& sheet) const;
    /** Drops the contents; the area stays. */
    void clearContents();

    const Ranges& rows() const { return m_rows; }
    int left() const { return m_left; }
    int right() const { return m_right; }
    int parts() const { return m_parts; }
    /** Every row of the area, ascending. */
    std::vector<int> rowList() const;
    qint64 rowCount() const;
    /** Cells of the area (rows x columns). */
    qint64 cellCount() const { return rowCount() * columnCount(); }
    int columnCount() const { return m_right >= m_left ? m_right - m_left + 1 : 0; }
    /** Bytes of memory it holds. */
    qint64 memoryBytes() const;

private:
    struct StyledCell
    {
        int row;
        int col;
        CellStyle style;
        bool operator==(const StyledCell&) const = default;
    };
    /** Whether @p row is in the area's rows. */
    bool hasRow(int row) const;
    std::vector<StyledCell> readStyles(const RecordSheet& sheet) const;
    std::vector<std::pair<int, int>> readHeights(const RecordSheet& sheet) const;
    QByteArrayView text(int column, qint64 index) const;

    Ranges m_rows;
    int m_left = 0;
    int m_right = -1;
    int m_parts = 0;
    bool m_hasContents = false;
    std::vector<QByteArray> m_texts;                ///< a column's texts one after another
    std::vector<std::vector<uint32_t>> m_ends;      ///< a column's text ends, one a cell
    std::vector<StyledCell> m_styles;               ///< cells with a style, by row and column
    std::vector<std::pair<int, int>> m_heights;     ///< rows whose height is not the default
};

} // namespace quillon

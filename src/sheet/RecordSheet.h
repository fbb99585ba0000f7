#pragma once

#include "sheet/SheetTypes.h"
#include "sheet/TextColumn.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <algorithm>
#include <map>
#include <span>
#include <utility>
#include <vector>

namespace quillon {

/** One column taken out of a sheet with everything in it: texts, attributes and the
 *  styles of its cells (header included). */
struct ColumnPiece
{
    TextColumn texts;
    ColumnAttributes attributes;
    std::vector<std::pair<int, CellStyle>> styles; ///< row and style, by row

    size_t memoryBytes() const
    {
        return texts.memoryBytes() + size_t(attributes.format.capacity()) * 2 + styles.capacity() * sizeof(styles[0]);
    }
};

/**
 * A typed grid of text cells: the record sheet, and any grid of the same kind
 * (the form panel, a staging sheet for reading files, a key table).
 *
 * Row 0 is the fixed header row holding the column titles; rows 1 .. rows()-1
 * are records. Column 0 is the first field. Every value is stored as text; the
 * column's data type only governs display, editing and sorting.
 *
 * Cell texts live in per-column arenas (TextColumn); styles, check states and
 * row heights are stored only for the cells and rows that have them.
 *
 * The sheet also carries the current cell and the selection, so that commands
 * can be carried out and tested without a view.
 *
 * Changes are announced by signals in sheet coordinates; SheetTableModel turns
 * them into item-model notifications. Cell changes made inside a Batch are
 * announced once, as one rectangle, when the outermost batch ends.
 */
class RecordSheet : public QObject
{
    Q_OBJECT

public:
    enum class SelectionMode { Rows, Block };

    explicit RecordSheet(QObject* parent = nullptr);
    ~RecordSheet() override;

    // ---- size ---------------------------------------------------------------
    /** Grid rows, header included; never below 1. */
    int rows() const { return m_rows; }
    int cols() const { return int(m_columns.size()); }
    int recordCount() const { return m_rows - 1; }
    /** Grows with empty records at the end or drops records from the end. */
    void setRows(int rows);
    /** Grows with empty columns at the right or drops columns from the right. */
    void setCols(int cols);

    // What a sheet can hold; files and merges that would make a larger one are refused
    // (docs/native-format.md tells why these).
    /** Rows, the header row included. */
    static constexpr int kMaxRows = 1 << 24;
    static constexpr int kMaxCols = 1 << 14;
    /** Rows x columns: every cell takes a 32-bit position in its column, empty or not. */
    static constexpr qint64 kMaxCells = qint64(1) << 28;
    static constexpr bool canHold(qint64 rows, qint64 cols)
    {
        return rows >= 1 && rows <= kMaxRows && cols >= 0 && cols <= kMaxCols && rows * cols <= kMaxCells;
    }

    // ---- cell text ----------------------------------------------------------
    QString text(int row, int col) const;
    /** The stored UTF-8 bytes; valid until the sheet next changes. */
    QByteArrayView textUtf8(int row, int col) const { return m_columns[size_t(col)].utf8(row); }
    bool isCellEmpty(int row, int col) const { return m_columns[size_t(col)].isEmpty(row); }
    void setText(int row, int col, const QString& text);
    /** @p text must be valid UTF-8. Filling empty cells inside a Batch is the fast path
     *  readers and the grab use. */
    void setTextUtf8(int row, int col, QByteArrayView text)
    {
        if (m_batchDepth > 0 && m_columns[size_t(col)].setEmptyCell(row, text)) {
            markDirty(row, col);
            return;
        }
        setTextUtf8Slow(row, col, text);
    }
    QString title(int col) const { return text(0, col); }
    void setTitle(int col, const QString& title) { setText(0, col, title); }
    /** Empties the texts of the cells in @p rect; styles stay. */
    void clearTexts(const CellRect& rect);

    // ---- cell styles --------------------------------------------------------
    CellStyle style(int row, int col) const;
    void setStyle(int row, int col, const CellStyle& style);
    /** Every cell that has a style, ordered by styleKey(). */
    std::vector<std::pair<quint64, CellStyle>> styledCells() const;
    qsizetype styledCellCount() const { return m_styles.size(); }
    /** Calls @p visit(row, col, style) for every cell that has a style, in no order. */
    template<typename F> void forEachStyledCell(F&& visit) const
    {
        for (auto it = m_styles.cbegin(); it != m_styles.cend(); ++it)
            visit(styleKeyRow(it.key()), styleKeyCol(it.key()), it.value());
    }
    static quint64 styleKey(int row, int col) { return (quint64(quint32(row)) << 32) | quint32(col); }
    static int styleKeyRow(quint64 key) { return int(key >> 32); }
    static int styleKeyCol(quint64 key) { return int(key & 0xffffffffu); }

    int checked(int row, int col) const { return style(row, col).checked; }
    bool isChecked(int row, int col) const { return style(row, col).isChecked(); }
    void setChecked(int row, int col, int state);
    void setFontFlag(const CellRect& rect, CellStyle::Flag flag, bool on);
    void setBackColor(const CellRect& rect, Rgb color);
    void setForeColor(const CellRect& rect, Rgb color);
    void setCellAlignment(const CellRect& rect, int alignment);
    void setHeaderPicture(int col, HeaderPicture picture);
    /** Removes every cell style, check state and picture in @p rect. */
    void clearStyles(const CellRect& rect);

    // ---- columns ------------------------------------------------------------
    const ColumnAttributes& column(int col) const { return m_attributes[size_t(col)]; }
    void setColumn(int col, const ColumnAttributes& attributes);
    void setColumnDataType(int col, int type);
    void setColumnFormat(int col, const QString& format);
    void setColumnAlignment(int col, int alignment);
    void setColumnHidden(int col, bool hidden);
    void setColumnWidth(int col, int twips);
    /** The alignment a cell is shown with: its own, else its column's. */
    int effectiveAlignment(int row, int col) const;

    // ---- row heights --------------------------------------------------------
    int rowHeight(int row) const;
    void setRowHeight(int row, int twips);
    /** Rows whose height differs from the default, by row. */
    const std::map<int, int>& rowHeights() const { return m_rowHeights; }
    int defaultRowHeight() const { return m_defaultRowHeight; }
    void setDefaultRowHeight(int twips);

    /** Font size for every cell in points; 0 is the program's default. */
    int fontPointSize() const { return m_fontPointSize; }
    void setFontPointSize(int points);

    // ---- structure ----------------------------------------------------------
    /** Inserts @p count empty records before row @p pos (1 .. rows()). */
    void insertRows(int pos, int count);
    void removeRows(int pos, int count);
    /** Removes the listed records (any order, repeats ignored) in one pass. */
    void removeRowSet(std::vector<int> rows);
    /** Inserts empty records so that they stand at rows @p positions (the row numbers they
     *  have afterwards, ascending, from 1), in one pass: the inverse of removeRowSet().
     *  Positions that cannot be reached leave the sheet as it was. */
    void insertRowSet(const std::vector<int>& positions);
    /** Moves row @p from to position @p to; the rows between shift by one. */
    void moveRow(int from, int to);
    void insertColumns(int pos, int count);
    void removeColumns(int pos, int count);
    void moveColumn(int from, int to);
    /** Removes column @p pos and hands over its texts, attributes and cell styles without
     *  copying them. */
    ColumnPiece takeColumn(int pos);
    /** Puts a column taken from this sheet back at @p pos (0 .. cols()); it must have as
     *  many rows as the sheet has. */
    void putColumn(int pos, ColumnPiece piece);
    /** Reorders the records: new record i+1 is old row order[i]. The size of
     *  @p order is recordCount() and it is a permutation of 1 .. rows()-1. */
    void applyRecordOrder(std::span<const int> order);
    /** Empties the sheet: all contents and formatting, sizes kept. */
    void clearAll();
    /** Replaces the whole contents (cells, styles, attributes, heights) by @p other's and
     *  hands the old contents to @p other. Cursor and selection start over. */
    void swapContents(RecordSheet& other);
    /** Makes this sheet an exact copy of @p other's contents. */
    void copyContentsFrom(const RecordSheet& other);
    /** The same, with each column's text storage copied as it lies (unused text
     *  included), the columns in parallel: a fast copy to be read, like the one an
     *  autosave writes while the sheet goes on changing. */
    void snapshotContentsFrom(const RecordSheet& other);
    /** Direct access for readers and algorithms that work column by column. */
    const TextColumn& textColumn(int col) const { return m_columns[size_t(col)]; }

    // ---- cursor and selection -----------------------------------------------
    int currentRow() const { return m_row; }
    int currentCol() const { return m_col; }
    /** Moves the cursor; the selection becomes that cell (Block) or that row (Rows). */
    void setCurrentCell(int row, int col);
    /** Current cell (row, col), opposite corner (rowSel, colSel). In Rows mode the
     *  rows between become the selected rows. */
    void selectBlock(int row, int col, int rowSel, int colSel);
    int rowSel() const { return m_rowSel; }
    int colSel() const { return m_colSel; }
    /** The block between the current cell and the opposite corner, normalised. */
    CellRect selectedBlock() const;
    SelectionMode selectionMode() const { return m_mode; }
    void setSelectionMode(SelectionMode mode);
    /** Rows mode: the selected rows as ascending, disjoint, inclusive ranges. */
    void setSelectedRows(std::vector<std::pair<int, int>> ranges);
    const std::vector<std::pair<int, int>>& selectedRowRanges() const { return m_selectedRows; }
    /** Cursor, selection end and selected rows in one step, announced once (a view's
     *  selection taken over). Rows mode takes @p ranges; Block mode the block between
     *  (row, col) and (rowSel, colSel). */
    void setSelection(int row, int col, int rowSel, int colSel, std::vector<std::pair<int, int>> ranges);
    /** Number of selected rows (Rows mode) or rows spanned by the block (Block mode). */
    int selectedRowCount() const;
    /** The @p i-th selected row in ascending order. */
    int selectedRow(int i) const;
    std::vector<int> selectedRowList() const;

    // ---- change batches ------------------------------------------------------
    /** While a Batch lives, cell changes are collected and announced once. */
    class Batch
    {
    public:
        explicit Batch(RecordSheet& sheet) : m_sheet(sheet) { ++m_sheet.m_batchDepth; }
        ~Batch() { m_sheet.endBatch(); }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        RecordSheet& m_sheet;
    };

signals:
    void cellsChanged(int top, int left, int bottom, int right);
    void columnAttributesChanged(int first, int last);
    void rowHeightsChanged(int first, int last);
    void fontChanged();
    void rowsAboutToBeInserted(int first, int last);
    void rowsInserted(int first, int last);
    void rowsAboutToBeRemoved(int first, int last);
    void rowsRemoved(int first, int last);
    void columnsAboutToBeInserted(int first, int last);
    void columnsInserted(int first, int last);
    void columnsAboutToBeRemoved(int first, int last);
    void columnsRemoved(int first, int last);
    void layoutAboutToBeChanged();
    void layoutChanged();
    void aboutToBeReset();
    void wasReset();
    void cursorChanged(int row, int col);
    void selectionChanged();

private:
    void touch(int top, int left, int bottom, int right);
    void setTextUtf8Slow(int row, int col, QByteArrayView text);
    void markDirty(int row, int col)
    {
        if (m_dirty.isEmpty()) {
            m_dirty = {row, col, row, col};
            return;
        }
        m_dirty.top = std::min(m_dirty.top, row);
        m_dirty.bottom = std::max(m_dirty.bottom, row);
        m_dirty.left = std::min(m_dirty.left, col);
        m_dirty.right = std::max(m_dirty.right, col);
    }
    void touch(const CellRect& rect) { touch(rect.top, rect.left, rect.bottom, rect.right); }
    void endBatch();
    CellStyle& styleRef(int row, int col);
    void storeStyle(int row, int col, const CellStyle& style);
    template<typename F> void editStyles(const CellRect& rect, F&& edit);
    /** Rewrites style keys and row heights through @p newRow (-1 drops the entry). */
    template<typename F> void remapRows(F&& newRow);
    template<typename F> void remapColumns(F&& newCol);
    void clampCursor();
    void collapseSelection();
    CellRect clip(const CellRect& rect) const;
    std::vector<std::pair<int, int>> mergedRowRanges(std::vector<std::pair<int, int>> ranges) const;

    int m_rows = 1;
    std::vector<TextColumn> m_columns;
    std::vector<ColumnAttributes> m_attributes;
    QHash<quint64, CellStyle> m_styles;
    std::map<int, int> m_rowHeights;
    int m_defaultRowHeight = kDefaultRowHeight;
    int m_fontPointSize = 0;

    int m_row = 0;
    int m_col = 0;
    int m_rowSel = 0;
    int m_colSel = 0;
    SelectionMode m_mode = SelectionMode::Block;
    std::vector<std::pair<int, int>> m_selectedRows;

    int m_batchDepth = 0;
    CellRect m_dirty;
};

} // namespace quillon

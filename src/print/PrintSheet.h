#pragma once

#include "sheet/SheetTypes.h"

#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QRectF>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QPagedPaintDevice;
class QPainter;

namespace quillon {

/**
 * Where the print sheet reads its cells from. Print sheet rows and columns count
 * from 0. Cells are read while a page is drawn, so a source may compute them
 * (mailing labels) or read them from a record sheet without copying it.
 */
class PrintCells
{
public:
    virtual ~PrintCells() = default;

    virtual int rowCount() const = 0;
    virtual int columnCount() const = 0;
    virtual QString text(int row, int col) const = 0;
    /** Checked state shown by a check box object over the cell. */
    virtual bool isChecked(int /*row*/, int /*col*/) const { return false; }
    /** Qt::AlignLeft, Qt::AlignHCenter or Qt::AlignRight. */
    virtual Qt::Alignment alignment(int /*row*/, int /*col*/) const { return Qt::AlignLeft; }
    /** CellStyle::Bold | Italic | Underline. */
    virtual int fontFlags(int /*row*/, int /*col*/) const { return 0; }
    /** Height of the row in twips; a value below 0 is the print sheet's default. */
    virtual int rowHeight(int /*row*/) const { return -1; }
    /** Type size of the cell in points before scaling; 0 is the print sheet's. */
    virtual double pointSize(int /*row*/, int /*col*/) const { return 0; }

    /** What a text too wide for its cell prints as. */
    enum class Overflow {
        Clip,   ///< the text, cut at the cell's edge
        Hashes, ///< "###": a number, an amount or a date cut short would read as another one
        Whole,  ///< the text whole: the source fitted it to the cell, and where a device's type
                ///< runs a little wider than measured, the text is narrowed to the cell
    };
    virtual Overflow overflow(int /*row*/, int /*col*/) const { return Overflow::Clip; }

    /** Called before a page's cells are read: a source that keeps what it computed
     *  for the cells read last lets it go, so that a page shows the cells as they
     *  are now. */
    virtual void pageStarted() const {}
};

/**
 * Check box objects over one print sheet column: one a row of the print area,
 * placed in cell coordinates relative to the cell (0 .. 1 across and down), each
 * showing the cell's checked state.
 */
struct CheckBoxColumn
{
    int col = 0;
    double left = 0.4;
    double right = 0.6;
    double top = 0.1;
    double bottom = 0.9;
};

/**
 * The print sheet: a grid of cell texts laid out on pages.
 *
 * Column widths and row heights are in twips (0 width: the column does not print);
 * the print area, a scale in percent, the orientation, the page margins, the font,
 * a page header, grid lines and check box objects are settings. Pages are cut
 * lazily: only the page breaks are computed ahead (one number a page), a page's
 * drawing is made when the page is painted. Rows that do not fit continue on the
 * next page, columns wider than the page on further pages; pages run down the
 * rows first, then across.
 *
 * Drawing goes to any QPagedPaintDevice (a PDF writer, a printer) or, page by page,
 * to any painter (the preview). Positions are computed in twips on the whole sheet
 * of paper: the device must not add margins of its own.
 */
class PrintSheet
{
public:
    /** Blank space between a cell's edge and its text, in twips before scaling. */
    static constexpr int kCellPadding = 40;

    /** The font cells print in: kerning off, so that a text's width is the sum of its
     *  characters' advances. @p flags: CellStyle::Bold | Italic | Underline. */
    static QFont cellFont(const QString& family, double pointSize, int flags = 0);
    /** @p text with tabs, line breaks and other control characters shown as blanks. */
    static QString printableText(QString text);

    PrintSheet();
    ~PrintSheet();
    PrintSheet(const PrintSheet&) = delete;
    PrintSheet& operator=(const PrintSheet&) = delete;

    // ---- contents -----------------------------------------------------------
    void setCells(std::shared_ptr<const PrintCells> cells);
    const PrintCells* cells() const { return m_cells.get(); }

    void setColumnWidth(int col, int twips);
    /** The column's width; columns never set have the default width. */
    int columnWidth(int col) const;
    void setDefaultColumnWidth(int twips);
    /** How far the column's text may run from the cell's left edge (twips, before
     *  scaling); 0 means the cell's width. A limit wider than the cell lets the text
     *  run on over the paper to its right (a label column narrower than its label). */
    void setTextLimit(int col, int twips);
    int textLimit(int col) const;
    void setDefaultRowHeight(int twips);
    int defaultRowHeight() const { return m_defaultRowHeight; }
    /** Height of @p row in twips before scaling. */
    int rowHeight(int row) const;

    /** The block of cells that prints; clipped to the cells. An empty area prints one
     *  empty page. */
    void setPrintArea(const CellRect& area);
    CellRect printArea() const;

    void addCheckBoxes(const CheckBoxColumn& boxes);
    const std::vector<CheckBoxColumn>& checkBoxes() const { return m_checkBoxes; }

    // ---- page settings ------------------------------------------------------
    void setHeader(const QString& text);
    QString header() const { return m_header; }
    /** Percent; values below 1 are taken as 100. */
    void setScale(int percent);
    int scale() const { return m_scale; }
    void setOrientation(QPageLayout::Orientation orientation);
    QPageLayout::Orientation orientation() const { return m_orientation; }
    void setPageSize(const QPageSize& size);
    QPageSize pageSize() const { return m_pageSize; }
    /** Left, top, right, bottom margins in twips. */
    void setMargins(int left, int top, int right, int bottom);
    QMargins margins() const { return m_margins; }
    void setFont(const QString& family, double pointSize);
    QString fontFamily() const { return m_fontFamily; }
    double fontPointSize() const { return m_fontPointSize; }
    void setGridLines(bool on);
    bool gridLines() const { return m_gridLines; }
    /** Outlines of what is printed on (the labels of a label stock), in twips on the
     *  paper, the same on every page. They are drawn in light lines on the preview
     *  only, never on paper or in a PDF. */
    void setOutlines(std::vector<QRectF> outlines);
    const std::vector<QRectF>& outlines() const { return m_outlines; }

    /** The page layout a device must be given: the page size and orientation,
     *  no margins (the print sheet places everything itself). */
    QPageLayout pageLayout() const;
    /** Paper size in twips, oriented. */
    QSizeF paperTwips() const;
    /** @p size in twips, portrait, from the size's own definition (A4 210 x 297 mm
     *  exactly, not rounded to the hundredth of an inch). */
    static QSizeF paperTwips(const QPageSize& size);

    // ---- pages --------------------------------------------------------------
    int pageCount() const;
    /** Print sheet rows [first, last) and the printing columns of page @p page. */
    struct PageCells
    {
        int firstRow = 0;
        int endRow = 0;
        std::vector<int> columns;
    };
    PageCells pageCells(int page) const;

    /** Paints page @p page (from 0) with @p painter, whose device is the whole paper;
     *  @p withOutlines: the outlines too (the preview). */
    void paintPage(QPainter& painter, int page, bool withOutlines = false) const;

    /** Progress of print(): pages done, pages in all; returning false stops. */
    using Progress = std::function<bool(int done, int total)>;
    /**
     * Prints pages @p first .. @p last (from 0; -1: the last page) on @p device: sets
     * its page layout, paints page by page. Returns false with @p error set when the
     * device cannot be painted on or the progress callback stopped the work.
     */
    bool print(QPagedPaintDevice& device, QString* error = nullptr, const Progress& progress = {}, int first = 0,
               int last = -1) const;

    class Renderer;

private:
    void invalidate();
    void ensureLayout() const;

    std::shared_ptr<const PrintCells> m_cells;
    std::vector<int> m_columnWidths;
    std::vector<int> m_textLimits;
    int m_defaultColumnWidth = kDefaultColumnWidth;
    int m_defaultRowHeight = kDefaultRowHeight;
    CellRect m_area;
    bool m_areaSet = false;
    std::vector<CheckBoxColumn> m_checkBoxes;

    QString m_header;
    int m_scale = 100;
    QPageLayout::Orientation m_orientation = QPageLayout::Portrait;
    QPageSize m_pageSize;
    QMargins m_margins;
    QString m_fontFamily;
    double m_fontPointSize = 10;
    bool m_gridLines = true;
    std::vector<QRectF> m_outlines;

    // Page breaks, computed on first use: the first print sheet row of every row
    // band of pages plus the end, and the first position in m_printColumns of every
    // column band plus the end.
    mutable bool m_laidOut = false;
    mutable std::vector<int> m_rowBreaks;
    mutable std::vector<int> m_printColumns;
    mutable std::vector<int> m_columnBreaks;
};

} // namespace quillon

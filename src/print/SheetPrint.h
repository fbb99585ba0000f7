#pragma once

#include "print/PrintSheet.h"

#include <QPageLayout>
#include <QString>

#include <memory>
#include <vector>

namespace quillon {

class RecordSheet;

/** The page header of a printed record sheet. */
inline QString SheetPrintHeader() { return QStringLiteral("Mervane Quillon"); }

/**
 * The scale a print scale text stands for: its whole-number value ("75", " 80 ",
 * "90%", "66.7" is 66). Text that is not a number, and numbers below 1, give 100;
 * numbers above 1000 give 1000.
 */
int PrintScaleValue(const QString& text);

/**
 * Record sheet rows seen as print sheet cells: print sheet row i is record row
 * rows[i] (or first + i for a run of rows), print sheet column c is sheet column c.
 * Values show as the sheet shows them: through the column's format, with the
 * cell's or the column's alignment and the cell's font flags. The record sheet must
 * outlive it.
 */
class SheetPrintCells : public PrintCells
{
public:
    /** Records @p first .. @p first + @p count - 1. */
    SheetPrintCells(const RecordSheet& sheet, int first, int count);
    /** The listed records, in this order. */
    SheetPrintCells(const RecordSheet& sheet, std::vector<int> rows);

    int rowCount() const override;
    int columnCount() const override;
    QString text(int row, int col) const override;
    bool isChecked(int row, int col) const override;
    Qt::Alignment alignment(int row, int col) const override;
    int fontFlags(int row, int col) const override;
    int rowHeight(int row) const override;
    /** Numbers, amounts and dates too wide print "###"; text is cut. */
    Overflow overflow(int row, int col) const override;

    int sheetRow(int row) const { return m_rows.empty() ? m_first + row : m_rows[size_t(row)]; }

private:
    bool holds(int row, int col) const;

    const RecordSheet& m_sheet;
    int m_first = 1;
    int m_count = 0;
    std::vector<int> m_rows;
};

/**
 * The state and rules of the "Print Sheet " dialog (frmPrintSheet): the column list
 * with its "Print" checks, the print area ("All" or the selected rows), the
 * orientation and the print scale with its arrows; makePrintSheet() sets up the
 * print sheet from them. The record sheet must outlive the form and what it makes.
 */
class PrintSheetForm
{
public:
    struct ColumnEntry
    {
        int number = 0; ///< 1 for the sheet's first column
        QString title;
        bool print = true;
    };
    enum DataSource { AllRecords, SelectedRows };

    /** Fills the column list: every sheet column, "Print" checked unless hidden. */
    explicit PrintSheetForm(const RecordSheet& sheet);

    const std::vector<ColumnEntry>& columns() const { return m_columns; }
    void setPrint(int index, bool print);

    DataSource dataSource() const { return m_source; }
    void setDataSource(DataSource source) { m_source = source; }
    /** Reads the number of selected rows again (each time the dialog is activated). */
    void refreshSelection();
    int selectedRowCount() const { return m_selectedCount; }
    /** "Slected rows (" + number of selected rows + ")". */
    QString selectedRowsCaption() const;

    QPageLayout::Orientation orientation() const { return m_orientation; }
    void setOrientation(QPageLayout::Orientation orientation) { m_orientation = orientation; }

    QString scaleText() const { return m_scaleText; }
    void setScaleText(const QString& text) { m_scaleText = text; }
    /** The up arrow: one more while the value is 99 or less. */
    void scaleUp();
    /** The down arrow: one less while the value is 51 or more. */
    void scaleDown();
    int scale() const { return PrintScaleValue(m_scaleText); }

    /** The record rows that print, in order. */
    std::vector<int> recordRows() const;
    /** The print sheet for the current choices. */
    std::unique_ptr<PrintSheet> makePrintSheet() const;

    /** Sets up @p print for @p sheet's records @p rows with the given column choice
     *  (one flag a sheet column), scale and orientation. */
    static void setUp(PrintSheet& print, const RecordSheet& sheet, std::shared_ptr<const SheetPrintCells> cells,
                      const std::vector<bool>& printColumns, int scale, QPageLayout::Orientation orientation);

private:
    const RecordSheet& m_sheet;
    std::vector<ColumnEntry> m_columns;
    DataSource m_source = AllRecords;
    int m_selectedCount = 0;
    QPageLayout::Orientation m_orientation = QPageLayout::Portrait;
    QString m_scaleText = QStringLiteral("75");
};

} // namespace quillon

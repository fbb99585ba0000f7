#pragma once

#include <QDialog>
#include <QPointer>

class QLabel;
class QPushButton;
class QTableView;

namespace quillon {

class ColumnDefModel;
class MainModel;

/**
 * "Column Define" (frmColDef): the column model of the record sheet in the grid `fd`,
 * one row a sheet column, for the current column only or for every column. Cells are
 * edited in place after a double click, with a drop-down list for the data type, the
 * format of the row's type and the alignment; Enter ends an edit. The column buttons
 * `cmdCol` 0..2 append, insert and delete definition rows, `cmdBtn` 2 "&All Cols" goes
 * on with every column, `cmdBtn` 0 "&OK" writes the definitions to the sheet and
 * closes, `cmdBtn` 1 "&Cancel" closes and leaves the sheet as it was.
 *
 * The dialog is a view over ColumnDefModel, which holds the rows and every rule.
 */
class ColumnDefDialog : public QDialog
{
    Q_OBJECT

public:
    /** Reads the sheet of @p model: its current column (@p oneColumn) or every column. */
    ColumnDefDialog(MainModel& model, bool oneColumn, QWidget* parent = nullptr);
    ~ColumnDefDialog() override;

    ColumnDefModel& definitions() const { return *m_fd; }
    QTableView* grid() const { return m_grid; }

    /** "&OK": applies the definitions and closes. */
    void ok();
    /** "&All Cols": every column, in the larger layout. */
    void allCols();
    /** `cmdCol` 0: a definition row at the end. */
    void appendColumn();
    /** `cmdCol` 1 "Insert": an empty row above the current row. */
    void insertColumn();
    /** `cmdCol` 2 "Delete": removes the current row. */
    void deleteColumn();

private:
    void placeControls(bool oneColumn);
    void showEditing(bool editing);
    int px(int twips) const;

    ColumnDefModel* m_fd = nullptr;
    QTableView* m_grid = nullptr;
    QPushButton* m_cmdBtn[3] = {nullptr, nullptr, nullptr};
    QPushButton* m_cmdCol[3] = {nullptr, nullptr, nullptr};
    QLabel* m_hint[3] = {nullptr, nullptr, nullptr};
    int m_openedFor = -1;       ///< the sheet column of one-column mode
    QPointer<QWidget> m_editor; ///< the open editor of `fd`, if any
};

} // namespace quillon

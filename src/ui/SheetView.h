#pragma once

#include <QHeaderView>
#include <QTableView>

namespace quillon {

class RecordSheet;
class SheetTableModel;

/** The title row of a sheet view: draws the sort arrow a title cell carries. */
class SheetHeader : public QHeaderView
{
    Q_OBJECT

public:
    explicit SheetHeader(QWidget* parent = nullptr);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
};

/**
 * A table view over a RecordSheet (the record sheet `fa`, the form panel `fb`).
 *
 * Column widths, hidden columns and row heights follow the sheet (twips become
 * pixels through the screen's resolution); a width the user drags is written back.
 * The view's current index and selection and the sheet's cursor and selection are
 * kept in step both ways: Rows mode selects whole rows (several runs), Block mode
 * one free block. The sheet's cursor is the anchor of the selection (where it was
 * started), the view's current index its moving end (the sheet's rowSel/colSel).
 * Everything works on ranges, so a sheet of millions of rows costs nothing per row.
 *
 * Keys as in a spreadsheet: typing on a cell starts editing it with that character;
 * Enter stores the edit and moves down, Tab right, Shift+Enter and Shift+Tab back;
 * Escape drops the edit; Enter with no edit open moves down too; Ctrl+Home and
 * Ctrl+End go to the first and last record; Delete is told by deletePressed().
 */
class SheetView : public QTableView
{
    Q_OBJECT

public:
    /** Shows @p sheet through a SheetTableModel the view owns. */
    explicit SheetView(RecordSheet* sheet, QWidget* parent = nullptr);
    ~SheetView() override;

    RecordSheet* sheet() const { return m_sheet; }
    SheetTableModel* sheetModel() const { return m_model; }

    /** Every second record light green (C0FFC0), or no alternation (the base colour). */
    void setAlternateColor(bool on);
    bool alternateColor() const { return m_alternateColor; }

    /** Columns left of @p col are never edited in place (the form panel's titles). */
    void setFirstEditableColumn(int col) { m_firstEditableColumn = col; }

    using QTableView::edit;

    /** Stores the text of an in-place editor still open and closes it. */
    void commitOpenEdit();

    /** Takes the sheet's cursor and selection into the view. */
    void syncFromSheet();
    /** Column widths and hidden flags from the sheet. */
    void applyColumnLayout();
    /** Row heights of sheet rows @p first .. @p last from the sheet. */
    void applyRowHeights(int first, int last);

signals:
    /** The user moved the sheet's cursor (click, keys): the current record changed. */
    void cursorMovedByUser();
    /** The view took the keyboard focus. */
    void focusEntered();
    /** The right mouse button was released over the view (or the menu key pressed). */
    void contextMenuWanted(const QPoint& globalPos);
    /** The Delete key was pressed with no editor open. */
    void deletePressed();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void viewSelectionChanged();
    void takeViewSelection();
    /** Runs a base-class event handler; the selection it leaves is taken over once,
     *  not the half-made states in between (current index moved, selection not yet). */
    template<typename F> void asOneStep(F&& handler);
    void applySelectionBehaviour();
    void structureAboutToChange();
    void structureChanged(bool columns, bool rows);
    /** Runs the view's own handling of @p key, as if pressed with no modifier. */
    void moveByKey(int key);
    /** Ctrl+Home, Ctrl+End: the first or last record, in the current column. */
    void moveToRow(int modelRow);

    RecordSheet* m_sheet;
    SheetTableModel* m_model;
    bool m_alternateColor = false;
    int m_firstEditableColumn = 0;
    bool m_syncing = false;
    bool m_applyingLayout = false;
    bool m_scrollPending = false;
    int m_structural = 0;
    int m_userStep = 0;
    bool m_viewDirty = false;
};

} // namespace quillon

#pragma once

#include "shell/MainModel.h"
#include "sheet/SheetTypes.h"

#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>

namespace quillon {

class FindSession;
class UndoScope;

/**
 * The commands that edit the record sheet, carried out on the main window's model:
 * the mouse modes, row heights, adding, inserting and deleting rows and columns, the
 * clipboard, the column title, the date-time stamp, cell alignment and colours, the
 * font colour palette, grid lines, fonts, drag mode, the alternate row colour, the
 * column commands, the record navigation buttons, the title-click sort, "Delete
 * Duplicates" and the find window's session.
 *
 * Whatever a view shows of these commands' state lives in the model's command states
 * (checks and pressed buttons) and status panels; what only a view can do (give a
 * grid the focus, start an in-place edit) is asked for by signal.
 *
 * Changes to the texts, records or columns of the sheet mark the document modified
 * (an untitled one too, so that closing it asks to save); formatting and sorting
 * mark a named document only, and enable its Save.
 */
class EditCommands : public QObject
{
    Q_OBJECT

public:
    /** What the delete confirmation (frmDelDialog) answers: Platform::Yes, No or Cancel. */
    using DeletePrompt = std::function<int()>;

    explicit EditCommands(MainModel& model, QObject* parent = nullptr);
    ~EditCommands() override;

    MainModel& model() { return m_model; }
    FindSession& findSession() { return *m_find; }

    // ---- mouse modes ----------------------------------------------------------------
    /** "&Row Mode" (F6): whole-row selection; the current row is selected. */
    void rowMode() { m_model.setMouseMode(false); }
    /** "&Block && Edit Mode" (F7): free block selection. */
    void blockMode() { m_model.setMouseMode(true); }

    /** A grid received the keyboard focus: it becomes the focused grid, and the Edit
     *  menu's sheet items show only for the sheet. */
    void gridFocused(MainModel::Grid grid);

    // ---- rows and columns -----------------------------------------------------------
    static constexpr int kRowHeightStep = 240;
    /** "&Increase" (F11), "&Decrease" (F12), "&Reset All" on the focused grid. */
    void increaseRowHeight();
    void decreaseRowHeight();
    void resetRowHeights();
    /** "&Add Row" (Ctrl+Ins): an empty record at the end, made current. */
    void addRow();
    /** "&Insert Row" (Shift+Ins): an empty record above the current one. */
    void insertRow();
    /** "&Col" of Insert: an empty column left of the current one. */
    void insertColumn();
    /** "&Col" of Delete: the current column with its data. */
    void deleteColumn();
    /** "&Delete Row(s)" (Shift+Del): the selected records, or the current one. */
    void deleteRows();

    // ---- clipboard and selection ----------------------------------------------------
    /** "&Copy": the focused grid's selection to the clipboard. */
    void copy();
    /** The popup's "Copy": always the sheet's selection. */
    void copySheet();
    /** "C&ut": copies the sheet's selection and empties its cells. */
    void cut();
    /** "&Paste": the clipboard text into the focused grid's selection. */
    void paste();
    /** The popup's "Paste", and Paste on the sheet: the clipboard text into the sheet's
     *  selection as the user sees it (the block, or the selected rows across all columns). */
    void pasteIntoSheet();
    /** "Select &All" (Ctrl+L). */
    void selectAll();
    /** "Edit Cell" and a double click: in-place editing of the current cell. */
    void editCell() { emit editCellRequested(); }
    /** The Delete key on the sheet: empties the texts of the cells the user sees
     *  selected, one step to undo. */
    void clearCells();
    /** The Delete key on the form panel: empties the values of its selected rows. */
    void clearFormPanelValues();
    /** An in-place edit of sheet cell (row, col) ends with @p value (a text for
     *  Qt::EditRole, a Qt::CheckState for Qt::CheckStateRole): stored as one step. */
    void editSheetCell(int row, int col, const QVariant& value, int role);
    /** The same for form panel cell (@p fbRow, @p col): a value goes into the current record. */
    void editFormPanelCell(int fbRow, int col, const QVariant& value, int role);

    // ---- undo ---------------------------------------------------------------------------
    /** "&Undo Edit" (Ctrl+Z), toolbar "Undo": takes back the last step. */
    void undo();
    /** "&Redo" (Ctrl+Y, Ctrl+Shift+Z), toolbar "Redo". */
    void redo();

    // ---- texts and formatting -------------------------------------------------------
    /** "Column &Title...": asks for the current column's new title. */
    void columnTitle();
    /** "DateTime Stamp Now" (F3): the present date and time into the current cell. */
    void dateTimeStamp();
    /** "&Left", "&Center", "&Right" of "A&lignment": the cells' own alignment. */
    void alignCells(int alignment);
    /** "&Backgorund Color...": paints the chosen colour behind the target cells. */
    void backgroundColor();
    /** "Fonts": 12 points for every cell. */
    void fonts();
    /** The Bold, Italic and Underline buttons (MainModel::toggleFontFlag), one step
     *  when they change the sheet. */
    void toggleFontFlag(CellStyle::Flag flag);
    /** The "A" button (MainModel::applyCurrentFontColor), one step on the sheet. */
    void applyCurrentFontColor();

    // ---- font colour palette (PanColor) ---------------------------------------------
    static constexpr int kSwatches = 8;
    static Rgb swatchColor(int swatch);
    bool isPaletteShown() const { return m_paletteShown; }
    /** "Acolor" ("Set Font Color") shows the palette; anything else hides it. */
    void showPalette();
    void hidePalette();
    int pressedSwatch() const { return m_swatch; }
    /** A click on swatch @p i: hide the palette, paint, remember the colour. */
    void chooseSwatch(int swatch);

    // ---- view options ---------------------------------------------------------------
    /** "&Grid Lines". */
    void toggleGridLines();
    bool gridLinesShown() const;
    /** "&Drag Mode" (toolbar "DragMode"): the selected records can be dragged. */
    void toggleDragMode();
    bool isDragMode() const;
    /** Moves the selected records (Row mode) so that they stand before row @p before
     *  (rows() for the end); they stay selected. */
    void moveSelectedRecords(int before);
    /** "&Alternate Row Color". */
    void toggleAlternateColor();
    bool isAlternateColor() const;
    static constexpr Rgb kAlternateColor = 0xC0FFC0;
    static constexpr Rgb kPlainColor = 0xFFFFFF;
    /** The colour every second record row is painted with: light green or white. */
    Rgb alternateRowColor() const { return isAlternateColor() ? kAlternateColor : kPlainColor; }

    // ---- column commands --------------------------------------------------------------
    /** The data type items: Date and Money also right-align the column. @p refresh is
     *  false for the popup's items. */
    void setColumnDataType(int type, bool refresh = true);
    void setColumnAlignment(int alignment);
    /** The format items ("0", "0.00", "#,###", "#,###.00", "$#,###", "$#,###.00"). */
    void setColumnFormat(const QString& format);

    // ---- record navigation buttons (imgBtn) -----------------------------------------
    static constexpr int kNavigationButtons = 8;
    static QString navigationHint(int button);
    void navigate(int button);
    /** Deletes the current record with confirmation; false when the user declined. */
    bool deleteCurrentRecord();
    void setDeletePrompt(DeletePrompt prompt) { m_deletePrompt = std::move(prompt); }
    /** "Do not ask me next time" (chkAskDel). */
    bool dontAskDelete() const { return m_dontAskDelete; }
    void setDontAskDelete(bool on) { m_dontAskDelete = on; }

    // ---- sort and duplicates ----------------------------------------------------------
    /** A click on the title of @p col: ascending, and descending on a further click. */
    void sortByTitle(int col);
    /** "Delete Duplicates" (Ctrl+D). */
    void deleteDuplicates();

signals:
    void paletteShownChanged(bool shown);
    void swatchChanged(int swatch);
    /** A view should give @p grid the keyboard focus. */
    void focusRequested(MainModel::Grid grid);
    /** A view should start editing the sheet's current cell. */
    void editCellRequested();

private:
    RecordSheet& focusedGrid();
    /** The sheet cells Cut and Copy take in the current mouse mode. */
    CellRect copiedBlock() const;
    void copyGrid(const RecordSheet& grid, bool sheetRows);
    void pasteIntoFormPanel();
    QString stampText(int col) const;
    void changeSheetRowHeights(int delta);
    void clearSelectedTexts(const QString& stepText);
    /** Removes the records of @p ascendingRows as part of @p step, keeping them for undo;
     *  false (nothing removed, said so) when memory runs out keeping them. */
    bool removeRecords(UndoScope& step, const std::vector<int>& ascendingRows);

    MainModel& m_model;
    FindSession* m_find;
    bool m_paletteShown = false;
    int m_swatch = 0;
    bool m_dontAskDelete = false;
    DeletePrompt m_deletePrompt;
    bool m_lastSortAscending = false;
};

} // namespace quillon

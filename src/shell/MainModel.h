#pragma once

#include "shell/CommandStates.h"
#include "shell/UndoHistory.h"
#include "sheet/Document.h"
#include "sheet/FormPanel.h"

#include <QObject>

namespace quillon {

class Platform;
class SettingsStore;

/**
 * The widget-free state of the main window: the document and its record sheet,
 * the form panel, the status panels, the state of every command, the page shown,
 * the grid that has the focus and the font toggles. The main window is a view
 * over it; the command code of every subsystem works on it, and tests drive it
 * without a window.
 */
class MainModel : public QObject
{
    Q_OBJECT

public:
    enum Page { ResultsPage = 0, BrowserPage = 1, GuidePage = 2 };
    enum class Grid { Sheet, FormPanel };

    /** Status panel numbers. */
    enum Panel {
        GrabStatusPanel = 2,
        ModePanel = 3,
        DragPanel = 4,
        SelectionPanel = 5,
        RecordPanel = 6,
        VersionPanel = 8,
        GrabStatusCopyPanel = 20,
        CategoryPanel = 21,
        CityPanel = 22,
        StatePanel = 23,
        CountPanel = 24,
    };

    MainModel(SettingsStore& settings, Platform& platform, const QString& untitledPath,
              QObject* parent = nullptr);
    ~MainModel() override;

    Document& document() { return m_document; }
    RecordSheet& sheet() { return m_document.sheet(); }
    FormPanel& formPanel() { return m_formPanel; }
    StatusPanels& panels() { return m_panels; }
    CommandStates& commands() { return m_commands; }
    SettingsStore& settings() { return m_settings; }
    Platform& platform() { return m_platform; }
    /** The document's undo history; its Undo and Redo entries ("mnuUndoEdit",
     *  "mnuRedoEdit", "tb0.Undo", "tb0.Redo") follow it. Bounded by the setting
     *  "UndoMemoryMB". */
    UndoHistory& history() { return m_history; }
    /** The history's memory bound from the setting "UndoMemoryMB" (megabytes, 256 when
     *  unset or not a whole number from 1 to 1,048,576). */
    static qint64 undoMemoryLimit(const SettingsStore& settings);

    /** Refresh of the current record: toolbar font states, "row / records" in panel 6,
     *  and the form panel. Every command that moves the cursor or changes a value calls it. */
    void fa_Click();
    /** Form panel rows = Cols+1, titles refilled, then the refresh. */
    void ResyncFormPanel();

    int currentPage() const { return m_page; }
    /** Shows a page; commands and tests switch pages only through here. The top-level
     *  menus of the page ("mnuFile" ...), its toolbar ("Toolbar0" ...) and "&Guide On-line"
     *  follow as visible states of commands(). */
    void setCurrentPage(int page);

    Grid focusedGrid() const { return m_focused; }
    /** The grid the user worked in last; the windows set it when a grid takes the focus. */
    void setFocusedGrid(Grid grid);

    /** Whether the "BlockMode" toolbar button is pressed (Block & Edit mode). */
    /** Block & Edit mode: the sheet's own selection mode, which the mode's menu ticks,
     *  toolbar buttons and status text always show (setMouseMode). */
    bool isBlockMode() const { return m_document.sheet().selectionMode() == RecordSheet::SelectionMode::Block; }
    /** Row mode (false) or Block & Edit mode (true): the menu ticks, the pressed button, the
     *  mode text "ROW"/"EDIT" in panel 3 and the sheet's selection mode; row mode selects
     *  the current row across all columns. */
    void setMouseMode(bool block);

    // ---- view options: kept as the tick of their menu entry ---------------------------
    /** Alternate row colour ("&Alternate Row Color", toolbar "AlternateColor"). */
    bool alternateColor() const { return m_commands.isChecked(QStringLiteral("mnuAlternateColor")); }
    void setAlternateColor(bool on);
    /** The browser address box ("&URL Address Box"). */
    bool addressBoxShown() const { return m_commands.isChecked(QStringLiteral("mnuViewDropBox")); }
    void setAddressBoxShown(bool on);
    /** The form panel beside the sheet ("&Form Panel"). */
    bool formPanelShown() const { return m_commands.isChecked(QStringLiteral("mnuViewFb")); }
    void setFormPanelShown(bool on);
    /** Grid lines of the sheet ("&Grid Lines"). */
    bool gridLines() const { return m_commands.isChecked(QStringLiteral("mnuGrid")); }
    void setGridLines(bool on);

    /** Left edge of the splitter between form panel and sheet, twips. */
    int vbarLeft() const { return m_vbarLeft; }
    void setVBarLeft(int twips);

    /** The tip dialog's "show tips" flag, written at exit. */
    bool showTips() const { return m_showTips; }
    void setShowTips(bool on) { m_showTips = on; }

    /** A new untitled document: the sheet of a new document, named UntitledPath(), not
     *  modified, the title "Quillon -- Untitled1.vty", the form panel resynchronised. */
    void startUntitledDocument();

    /** The end of an in-place edit of sheet cell (row, col): mirrored into the form panel,
     *  then the edit-marking rule with the in-place mark. */
    void afterSheetEdit(int row, int col);
    /** The end of an edit of form panel row @p fbRow: copied into the current record. */
    void afterFormPanelEdit(int fbRow);

    /** The Bold, Italic and Underline buttons: toggle the attribute on the form panel
     *  (when it is the active grid) or on the sheet's selection. */
    void toggleFontFlag(CellStyle::Flag flag);
    /** The "A" button: the current font colour on the same targets as Bold. */
    void applyCurrentFontColor();
    Rgb currentFontColor() const { return m_fontColor; }
    void setCurrentFontColor(Rgb color);
    /** The sheet cells a formatting command acts on, as the user sees them selected: the
     *  block in Block & Edit mode; in Row mode each run of selected rows across all
     *  columns (the current row when none is selected). */
    std::vector<CellRect> sheetFormatTargets() const;

    /** True while a file is written from the sheet or read for it on another thread:
     *  nothing else may change the sheet then. */
    bool isSheetHeld() const { return m_sheetHeld; }
    void setSheetHeld(bool held);

    /** Window title, "Quillon -- " + file name. */
    QString windowTitle() const { return m_title; }
    void setWindowTitle(const QString& title);

signals:
    void pageChanged(int page);
    void focusedGridChanged(MainModel::Grid grid);
    void vbarLeftChanged(int twips);
    void windowTitleChanged(const QString& title);
    void currentFontColorChanged(Rgb color);
    void sheetHeldChanged(bool held);

private:
    void applyPageStates();
    void updateSelectionPanel();
    void updateUndoCommands();
    bool& toggleState(Grid grid, CellStyle::Flag flag);
    static QString buttonKey(CellStyle::Flag flag);

    SettingsStore& m_settings;
    Platform& m_platform;
    Document m_document;
    UndoHistory m_history;
    FormPanel m_formPanel;
    StatusPanels m_panels;
    CommandStates m_commands;
    int m_page = ResultsPage;
    bool m_sheetHeld = false;
    Grid m_focused = Grid::Sheet;
    bool m_sheetToggles[3] = {false, false, false};
    bool m_panelToggles[3] = {false, false, false};
    Rgb m_fontColor = 0x000000;
    QString m_title;
    int m_vbarLeft = 3570;
    bool m_showTips = true;
};

} // namespace quillon

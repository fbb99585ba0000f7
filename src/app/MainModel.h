#pragma once

#include "app/CommandStates.h"
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

    /** Refresh of the current record: toolbar font states, "row / records" in panel 6,
     *  and the form panel. Every command that moves the cursor or changes a value calls it. */
    void fa_Click();
    /** Form panel rows = Cols+1, titles refilled, then the refresh. */
    void ResyncFormPanel();

    int currentPage() const { return m_page; }
    /** Shows a page; commands and tests switch pages only through here. */
    void setCurrentPage(int page);

    Grid focusedGrid() const { return m_focused; }
    void setFocusedGrid(Grid grid) { m_focused = grid; }

    /** Whether the "BlockMode" toolbar button is pressed (Block & Edit mode). */
    bool isBlockMode() const { return m_commands.isChecked(CommandStates::button(0, QStringLiteral("BlockMode"))); }

    /** The Bold, Italic and Underline buttons: toggle the attribute on the form panel
     *  (when it is the active grid) or on the sheet's selection. */
    void toggleFontFlag(CellStyle::Flag flag);
    /** The "A" button: the current font colour on the same targets as Bold. */
    void applyCurrentFontColor();
    Rgb currentFontColor() const { return m_fontColor; }
    void setCurrentFontColor(Rgb color);
    /** The sheet cells a formatting command acts on: the block in Block & Edit mode, the
     *  rows from the current row to the selection's end row across all columns otherwise. */
    CellRect sheetFormatTarget() const;

    /** Window title, "Quillon -- " + file name. */
    QString windowTitle() const { return m_title; }
    void setWindowTitle(const QString& title);

signals:
    void pageChanged(int page);
    void windowTitleChanged(const QString& title);
    void currentFontColorChanged(Rgb color);

private:
    bool& toggleState(Grid grid, CellStyle::Flag flag);
    static QString buttonKey(CellStyle::Flag flag);

    SettingsStore& m_settings;
    Platform& m_platform;
    Document m_document;
    FormPanel m_formPanel;
    StatusPanels m_panels;
    CommandStates m_commands;
    int m_page = ResultsPage;
    Grid m_focused = Grid::Sheet;
    bool m_sheetToggles[3] = {false, false, false};
    bool m_panelToggles[3] = {false, false, false};
    Rgb m_fontColor = 0x000000;
    QString m_title;
};

} // namespace quillon

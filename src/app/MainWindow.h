#pragma once

#include "shell/StartupSettings.h"
#include "shell/WindowParts.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QSplitter;
class QTabWidget;
class QToolBar;
class QWebEngineView;

class QWebEngineProfile;

namespace quillon {

class AboutDialog;
class MainModel;
struct MenuEntry;
class Platform;
class SettingsStore;
class SheetView;
class TipDialog;

/**
 * `frmMain`, the program's one document window: a view over MainModel.
 *
 * Three pages in `tabMain` ("Results", "Browser", "Guide Online"), each with its
 * own toolbar and top-level menus; every menu entry and toolbar button is a
 * QAction named by its control name ("mnuSave", "tb0.Save") whose enabled,
 * checked and visible state follows MainModel::commands() at all times. A click
 * on a checkable entry does not change its tick by itself: the command sets the
 * state in the model and the action follows.
 *
 * Commands of the subsystems are wired by controllers of their own, each created
 * with one line in the constructor (see "Controllers" there), through action(),
 * the view accessors and the hooks below. The window wires only its own commands:
 * pages, the browsers' Back/Forward/Reload on the
 * toolbars and the Guide page's menu including its "E&xit" (it closes the window),
 * "&Tip of The Day", "&Guide On-line" and "&About".
 */
class MainWindow : public QMainWindow, public WindowParts
{
    Q_OBJECT

public:
    MainWindow(SettingsStore& settings, Platform& platform, QWidget* parent = nullptr);
    ~MainWindow() override;

    /** The Browser page's web profile: cookies and storage kept in the user data
     *  folder's "Browser" folder. */
    static QWebEngineProfile* browserProfile();

    QWidget* widget() override { return this; }
    MainModel& model() const override { return *m_model; }
    SettingsStore& settings() const override { return m_settings; }
    Platform& platform() const override { return m_platform; }

    /** The menu entry or toolbar button named @p name ("mnuSave", "tb0.Save",
     *  "tb0.OPEN_CSV"; a submenu's own action by the submenu's name), or nullptr. */
    QAction* action(const QString& name) const override;
    /** The menu or submenu named @p name ("mnuEdit", "mnuGrid1Popup"), or nullptr. */
    QMenu* menu(const QString& name) const override;
    QToolBar* toolbar(int index) const override;

    // ---- views -------------------------------------------------------------------------
    QTabWidget* tabMain() const { return m_tabMain; }
    /** The record sheet `fa`. */
    SheetView* sheetView() const override { return m_fa; }
    /** The form panel grid `fb`. */
    SheetView* formView() const override { return m_fb; }
    /** The form panel's tab container `tabForm`. */
    QTabWidget* formTab() const override { return m_tabForm; }
    /** The splitter `VBar` between form panel and sheet. */
    QSplitter* vbar() const override { return m_vbar; }
    /** The site list `cboKest2` on the Browser page. */
    QComboBox* siteList() const override { return m_cboKest2; }
    /** Row above the Browser page's web view holding the site list; add buttons here. */
    QWidget* browserBar() const override { return m_browserBar; }
    /** Empty area between the site list and the web view, for the grab hints. */
    QWidget* hintArea() const override { return m_hintArea; }
    /** The address box `txtDrop`, its label "Address:" and the text box `txtURL`. */
    QLineEdit* addressBox() const override { return m_txtDrop; }
    QLineEdit* urlBox() const { return m_txtURL; }
    QLabel* addressLabel() const { return m_addressLabel; }
    /** The row holding label, `txtDrop` and `txtURL`, above `tabMain`. */
    QWidget* addressBar() const { return m_addressBar; }
    /** `WBrowser`, the Browser page's web view. */
    QWebEngineView* browser() const override { return m_browser; }
    /** `WBrowserGuide`, the Guide page's web view. */
    QWebEngineView* guideBrowser() const { return m_guide; }
    /** The status field numbered @p panel (2, 3, 4, 5, 6, 8, 20 .. 24), or nullptr. */
    QLabel* statusPanel(int panel) const override { return m_panels.value(panel); }

    // ---- hooks ---------------------------------------------------------------------------
    /** Asked when the window is to close; false keeps it open (the save prompt). The
     *  default allows. */
    void setCloseGuard(std::function<bool()> guard) override { m_closeGuard = std::move(guard); }
    /** The New step of the load sequence; the default builds a new untitled document. */
    void setStartupNewDocument(std::function<void()> step) override { m_startupNew = std::move(step); }
    void whenLoaded(QObject* context, std::function<void()> step) override;
    void whenToolbarButtonPressed(QObject* context,
                                  std::function<void(int toolbar, const QString& key)> step) override;
    /** What ends the program after the settings are written; the default leaves the
     *  event loop. */
    void setEndAction(std::function<void()> end) { m_endAction = std::move(end); }

    /** The preferences as they stand now, as written at exit. */
    WindowSettings currentWindowSettings() const;
    /** Writes the settings in their order, closes every other window and ends. */
    void SaveSettingsAndEnd();

    /** The address the Guide page shows: the setting "GuideURL", else the guide that
     *  ships with the program. */
    QUrl guideAddress() const;

    /** Opens the tip of the day (modeless); an open one is raised. */
    void showTipOfTheDay();
    /** Opens the about box (modeless); an open one is raised. */
    void showAbout();
    TipDialog* tipDialog() const;
    AboutDialog* aboutDialog() const;

signals:
    /** The load sequence has run (the window is not yet shown). */
    void loaded();
    /** A toolbar button was pressed; emitted before its command runs. */
    void toolbarButtonTriggered(int toolbar, const QString& key);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildMenu(QMenu* menu, const MenuEntry& entry);
    void buildToolbars();
    void buildPages();
    void buildStatusBar();
    void bindModel();
    void wireOwnCommands();
    QAction* registerAction(QAction* action, const QString& name);
    void applyCommandState(const QString& name);
    void applyAllCommandStates();
    void applyPage(int page);
    void updateAddressBar();
    void applyVBar();
    void updateFontColorIcon();
    void load();
    void connectTo(const QString& name, std::function<void()> slot);

    SettingsStore& m_settings;
    Platform& m_platform;
    MainModel* m_model = nullptr;
    std::vector<QPointer<QObject>> m_controllers; ///< deleted first, see ~MainWindow()

    QHash<QString, QAction*> m_actions;
    QHash<QString, QMenu*> m_menus;
    QToolBar* m_toolbars[3] = {nullptr, nullptr, nullptr};
    QHash<int, QLabel*> m_panels;

    QTabWidget* m_tabMain = nullptr;
    QTabWidget* m_tabForm = nullptr;
    QSplitter* m_vbar = nullptr;
    SheetView* m_fa = nullptr;
    SheetView* m_fb = nullptr;
    QWidget* m_addressBar = nullptr;
    QLabel* m_addressLabel = nullptr;
    QLineEdit* m_txtDrop = nullptr;
    QLineEdit* m_txtURL = nullptr;
    QWidget* m_browserBar = nullptr;
    QWidget* m_hintArea = nullptr;
    QComboBox* m_cboKest2 = nullptr;
    QWebEngineView* m_browser = nullptr;
    QWebEngineView* m_guide = nullptr;

    QPointer<TipDialog> m_tip;
    QPointer<AboutDialog> m_about;

    std::function<bool()> m_closeGuard;
    std::function<void()> m_startupNew;
    std::function<void()> m_endAction;
    bool m_ending = false;
    bool m_vbarPending = true;
    bool m_movingVBar = false;
    int m_listIndexAtLoad = 0;
    /** The geometry read at load, in twips and as placed in pixels: a side that did
     *  not move is written back as read, so that rounding does not creep. */
    struct
    {
        QRect twips;
        QRect pixels;
    } m_loadedGeometry;
};

} // namespace quillon

#pragma once

#include <QString>

#include <functional>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QObject;
class QSplitter;
class QTabWidget;
class QToolBar;
class QWebEngineView;
class QWidget;

namespace quillon {

class MainModel;
class Platform;
class SettingsStore;
class SheetView;

/**
 * The main window as the features see it: its model and services, its commands and
 * views, and the hooks of its life. A feature's controller wires itself to these
 * parts and never to the window's class, so the folders stay in their layers (the
 * window, in app/, implements this and creates the controllers).
 *
 * Every command is a QAction named by its control name ("mnuSave", "tb0.Save"); its
 * state follows MainModel::commands().
 */
class WindowParts
{
public:
    virtual ~WindowParts() = default;

    /** The window itself: the parent of dialogs, the owner of controllers. */
    virtual QWidget* widget() = 0;
    virtual MainModel& model() const = 0;
    virtual SettingsStore& settings() const = 0;
    virtual Platform& platform() const = 0;

    /** The menu entry or toolbar button named @p name, or nullptr. */
    virtual QAction* action(const QString& name) const = 0;
    /** The menu or submenu named @p name, or nullptr. */
    virtual QMenu* menu(const QString& name) const = 0;
    virtual QToolBar* toolbar(int index) const = 0;

    /** The record sheet `fa` and the form panel grid `fb`. */
    virtual SheetView* sheetView() const = 0;
    virtual SheetView* formView() const = 0;
    /** The form panel's tab container `tabForm`. */
    virtual QTabWidget* formTab() const = 0;
    /** The splitter `VBar` between form panel and sheet. */
    virtual QSplitter* vbar() const = 0;
    /** The site list `cboKest2`, the row holding it and the area below it for hints. */
    virtual QComboBox* siteList() const = 0;
    virtual QWidget* browserBar() const = 0;
    virtual QWidget* hintArea() const = 0;
    /** The address box `txtDrop` and `WBrowser`, the Browser page's web view. */
    virtual QLineEdit* addressBox() const = 0;
    virtual QWebEngineView* browser() const = 0;
    /** The status field numbered @p panel, or nullptr. */
    virtual QLabel* statusPanel(int panel) const = 0;

    /** Asked when the window is to close; false keeps it open (the save prompt). */
    virtual void setCloseGuard(std::function<bool()> guard) = 0;
    /** The New step of the load sequence. */
    virtual void setStartupNewDocument(std::function<void()> step) = 0;
    /** Runs @p step, for as long as @p context lives, each time the load sequence has run. */
    virtual void whenLoaded(QObject* context, std::function<void()> step) = 0;
    /** Runs @p step, for as long as @p context lives, when a toolbar button is pressed,
     *  before its command runs. */
    virtual void whenToolbarButtonPressed(QObject* context, std::function<void(int toolbar, const QString& key)> step) = 0;
};

} // namespace quillon

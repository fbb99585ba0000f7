#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace quillon {

class CommandStates;

/**
 * One entry of the main window's menu tree: a command, a submenu or a separator.
 *
 * The name is the entry's control name ("mnuSave", "mnuFileB_Grab"); the window
 * gives its QAction (for a submenu: the menu's action) that object name and binds
 * it to the command state of the same name.
 */
struct MenuEntry
{
    enum Flag : unsigned {
        Checkable = 0x1, ///< carries a check mark
        Checked = 0x2,   ///< ticked at start
        Disabled = 0x4,  ///< disabled at start
        Hidden = 0x8,    ///< part of the window but never shown unless a command shows it
    };

    QString name;     ///< empty for a separator
    QString caption;  ///< exact, with "&" marking the access key
    QString shortcut; ///< portable key text ("Ctrl+N", "Shift+Ins"); several keys apart by "; "; empty for none
    unsigned flags = 0;
    bool submenu = false;
    QList<MenuEntry> children;

    bool isSeparator() const { return name.isEmpty(); }
    bool has(Flag f) const { return (flags & f) != 0; }
};

/** One button of a toolbar, or a separator (empty key). */
struct ToolButtonEntry
{
    QString key;     ///< "Save", "StartGrab"; the command name is "tb<toolbar>.<key>"
    QString toolTip; ///< exact
    unsigned flags = 0; ///< MenuEntry::Flag values
    /** Drop-down items of the button: key and caption ("OPEN_VTY", "Vantry (*.vty)"). */
    QList<QPair<QString, QString>> dropDown;

    bool isSeparator() const { return key.isEmpty(); }
    bool has(MenuEntry::Flag f) const { return (flags & f) != 0; }
};

namespace CommandCatalog {

/** The top-level menus in menu-bar order ("mnuFile", "mnuFileB", "mnuFileG", "mnuEdit",
 *  "mnuView", "mnuViewB", "mnuTools", "mnuHelp"), then the sheet's hidden popup
 *  menu "mnuGrid1Popup", which is never in the menu bar. */
const QList<MenuEntry>& menus();

/** The buttons of toolbar 0 (Results), 1 (Browser) or 2 (Guide Online) in order. */
const QList<ToolButtonEntry>& toolbar(int index);

/** Number of toolbars, one a page. */
constexpr int kToolbarCount = 3;

/** Command name of a toolbar as a whole ("Toolbar0"); its visible state follows the page. */
QString toolbarName(int index);

/** The entry named @p name anywhere in the menu tree, or nullptr. */
const MenuEntry* findMenuEntry(const QString& name);

/** Every name of the menu tree (commands and submenus), in tree order. */
QStringList allMenuNames();

/** The top-level menus each page shows; the others are hidden on that page. */
QStringList pageMenus(int page);

/** Every top-level menu whose visibility depends on the page. */
QStringList pageDependentMenus();

/** Writes the initial state of every entry and button (disabled, hidden, ticked) into
 *  @p commands. */
void applyInitialStates(CommandStates& commands);

} // namespace CommandCatalog

} // namespace quillon

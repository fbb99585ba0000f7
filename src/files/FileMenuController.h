#pragma once

#include "files/AutoSave.h"
#include "files/DocumentCommands.h"

#include <QObject>
#include <QPointer>

#include <functional>

class QAction;
class QProgressDialog;
class QWidget;

namespace quillon {

class MainModel;
class WindowParts;

/**
 * Connects the main window's File commands to DocumentCommands: the menu entries
 * (mnuNew, mnuOpenA, mnuAppend, mnuSave, mnuSaveAsVTY/Comma/Tab/SpreadsheetCsv/Xlsx/
 * VCard, mnuExit, mnuFileBexit), the toolbar's New, Open (with its drop-down OPEN_VTY,
 * OPEN_CSV, OPEN_TXT, OPEN_XLSX, OPEN_VCF) and Save, and shows a window-modal progress window while a large file
 * is read or written in the background, so that the sheet stays as it is meanwhile.
 *
 * Exit runs the save prompt and then closes the window; the window's close guard
 * is closeRequested(), which lets that close through and asks when the window is
 * closed any other way.
 *
 * It also keeps the autosave (AutoSave): the recovery file of the unsaved records.
 */
class FileMenuController : public QObject
{
    Q_OBJECT

public:
    /** Finds an action by its command name ("mnuNew", "tb0.Open"); nullptr when absent. */
    using ActionLookup = std::function<QAction*(const QString& name)>;

    FileMenuController(MainModel& model, QWidget* window, const ActionLookup& action, QObject* parent = nullptr);
    ~FileMenuController() override;

    /** Wires the File commands into the main window: its actions, its close guard and
     *  the New of its load sequence. The controller belongs to the window. */
    static FileMenuController* install(WindowParts& window);

    DocumentCommands& commands() { return m_commands; }
    AutoSave& autoSave() { return m_autoSave; }
    /** For the window's close guard: true lets the window close, and the recovery file
     *  goes with it (the changes were saved, or the user chose not to keep them). */
    bool closeRequested();
    /** At start-up: offers back the records a Quillon that ended without closing left. */
    bool offerRecovery() { return m_autoSave.offerRecovery(); }

    /** The names the toolbar's Open drop-down entries may carry. */
    static QStringList openDropDownNames(const QString& key);

private:
    void connectAction(const ActionLookup& action, const QStringList& names, const std::function<void()>& run);
    void showProgress(const QString& label);
    void hideProgress();

    DocumentCommands m_commands;
    AutoSave m_autoSave;
    QWidget* m_window;
    QPointer<QProgressDialog> m_progress;
};

} // namespace quillon

#include "files/FileMenuController.h"

#include "shell/CommandStates.h"
#include "shell/MainModel.h"
#include "shell/WindowParts.h"

#include <QAction>
#include <QProgressDialog>
#include <QWidget>

namespace quillon {

FileMenuController::FileMenuController(MainModel& model, QWidget* window, const ActionLookup& action,
                                       QObject* parent)
    : QObject(parent), m_commands(model), m_autoSave(model, m_commands), m_window(window)
{
    DocumentCommands* c = &m_commands;
    const auto tb = [](const char* key) { return CommandStates::button(0, QLatin1String(key)); };
    connectAction(action, {QStringLiteral("mnuNew"), tb("New")}, [c] { c->New(); });
    connectAction(action, {QStringLiteral("mnuOpenA"), tb("Open")},
                  [c] { c->OpenDocument(DocumentCommands::OpenNative); });
    connectAction(action, openDropDownNames(QStringLiteral("OPEN_VTY")),
                  [c] { c->OpenDocument(DocumentCommands::OpenNative); });
    connectAction(action, openDropDownNames(QStringLiteral("OPEN_CSV")),
                  [c] { c->OpenDocument(DocumentCommands::OpenComma); });
    connectAction(action, openDropDownNames(QStringLiteral("OPEN_TXT")),
                  [c] { c->OpenDocument(DocumentCommands::OpenTab); });
    connectAction(action, openDropDownNames(QStringLiteral("OPEN_XLSX")),
                  [c] { c->OpenDocument(DocumentCommands::OpenXlsx); });
    connectAction(action, openDropDownNames(QStringLiteral("OPEN_VCF")),
                  [c] { c->OpenDocument(DocumentCommands::OpenVCard); });
    connectAction(action, {QStringLiteral("mnuAppend")}, [c] { c->Append(); });
    connectAction(action, {QStringLiteral("mnuSave"), tb("Save")}, [c] { c->Save(); });
    connectAction(action, {QStringLiteral("mnuSaveAsVTY")}, [c] { c->SaveAs(FormatNative); });
    connectAction(action, {QStringLiteral("mnuSaveAsComma")}, [c] { c->SaveAs(FormatComma); });
    connectAction(action, {QStringLiteral("mnuSaveAsTab")}, [c] { c->SaveAs(FormatTab); });
    connectAction(action, {QStringLiteral("mnuSaveAsSpreadsheetCsv")}, [c] { c->SaveAs(FormatSpreadsheetCsv); });
    connectAction(action, {QStringLiteral("mnuSaveAsXlsx")}, [c] { c->SaveAs(FormatXlsx); });
    connectAction(action, {QStringLiteral("mnuSaveAsVCard")}, [c] { c->SaveAs(FormatVCard); });
    connectAction(action, {QStringLiteral("mnuExit"), QStringLiteral("mnuFileBexit")}, [c] { c->Exit(); });

    if (window)
        m_commands.setEndProgram([window] { window->close(); });
    connect(&m_commands, &DocumentCommands::jobStarted, this, &FileMenuController::showProgress);
    connect(&m_commands, &DocumentCommands::jobProgressed, this, [this](int percent) {
        if (m_progress)
            m_progress->setValue(percent);
    });
    connect(&m_commands, &DocumentCommands::jobFinished, this, &FileMenuController::hideProgress);
}

FileMenuController* FileMenuController::install(WindowParts& window)
{
    auto* controller = new FileMenuController(
        window.model(), window.widget(), [&window](const QString& name) { return window.action(name); },
        window.widget());
    MainModel* model = &window.model();
    controller->commands().setRowModeCommand([model] { model->setMouseMode(false); });
    window.setCloseGuard([controller] { return controller->closeRequested(); });
    window.setStartupNewDocument([controller] { controller->commands().StartupNew(); });
    return controller;
}

bool FileMenuController::closeRequested()
{
    if (!m_commands.closeRequested())
        return false;
    m_autoSave.finish();
    return true;
}

FileMenuController::~FileMenuController()
{
    hideProgress();
}

QStringList FileMenuController::openDropDownNames(const QString& key)
{
    return {key, CommandStates::button(0, key), CommandStates::button(0, QStringLiteral("Open.") + key)};
}

void FileMenuController::connectAction(const ActionLookup& action, const QStringList& names,
                                       const std::function<void()>& run)
{
    if (!action)
        return;
    for (const QString& name : names)
        if (QAction* a = action(name))
            connect(a, &QAction::triggered, this, [run] { run(); });
}

void FileMenuController::showProgress(const QString& label)
{
    hideProgress();
    m_progress = new QProgressDialog(label, tr("Stop"), 0, 100, m_window);
    m_progress->setWindowTitle(QStringLiteral("Quillon"));
    m_progress->setWindowModality(Qt::WindowModal);
    m_progress->setMinimumDuration(0);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    m_progress->setValue(0);
    connect(m_progress, &QProgressDialog::canceled, &m_commands, &DocumentCommands::cancelJob);
    m_progress->show();
}

void FileMenuController::hideProgress()
{
    if (m_progress) {
        m_progress->hide();
        m_progress->deleteLater();
        m_progress = nullptr;
    }
}

} // namespace quillon

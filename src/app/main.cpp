#include "shell/AppPaths.h"
#include "app/MainWindow.h"
#include "files/DocumentCommands.h"
#include "files/FileMenuController.h"
#include "shell/MainModel.h"
#include "shell/SettingsStore.h"
#include "shell/StartupSettings.h"
#include "shell/TerminationSignals.h"
#include "ui/WidgetPlatform.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    quillon::TerminationSignals::install();
    // The web views share the window's graphics context; this must precede the application.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillon"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLON_VERSION_TEXT));
    QApplication::setOrganizationName(QStringLiteral("Quillon"));

    const QStringList arguments = QApplication::arguments();
    quillon::AppPaths::applyCommandLine(arguments);
    const bool noTips = arguments.contains(QStringLiteral("--no-tips")) || qEnvironmentVariableIsSet("QUILLON_NO_TIPS");

    quillon::SettingsStore settings(quillon::AppPaths::settingsFile());
    const bool showTips = quillon::PrepareSettingsStore(settings, quillon::AppPaths::installationFolder());

    quillon::WidgetPlatform platform;
    quillon::MainWindow window(settings, platform);
    platform.setParentWindow(&window);
    window.model().setShowTips(showTips);
    quillon::TerminationSignals termination;
    QObject::connect(&termination, &quillon::TerminationSignals::terminationRequested, &window, &QWidget::close);
    window.show();
    // Records a Quillon left unsaved when it ended without closing are offered back
    // first; taken back, they are not replaced by a file named on the command line.
    auto* fileMenu = window.findChild<quillon::FileMenuController*>();
    const bool recovered = fileMenu && fileMenu->offerRecovery();
    // A file named on the command line (or by the desktop) takes the untitled
    // document's place; the others are left for the user to open.
    const QStringList files = quillon::AppPaths::filesOnCommandLine(arguments);
    if (!files.isEmpty()) {
        if (fileMenu && !recovered)
            fileMenu->commands().openPath(files.first());
    } else if (showTips && !noTips && !recovered) {
        window.showTipOfTheDay();
    }
    return QApplication::exec();
}

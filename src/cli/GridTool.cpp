// quillon-grid: converts, dumps and prints Quillon's grid files from the command line.

#include "cli/GridCommand.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <algorithm>
#include <memory>

namespace quillon::cli {

std::vector<GridCommand>& gridCommands()
{
    static std::vector<GridCommand> commands;
    return commands;
}

GridCommandRegistration::GridCommandRegistration(const char* name, const char* usageText, const char* summary,
                                                 int (*run)(const QStringList&), bool needsGui)
{
    gridCommands().push_back({QString::fromUtf8(name), QString::fromUtf8(usageText), QString::fromUtf8(summary),
                              run, needsGui});
}

int fail(const QString& message)
{
    std::fprintf(stderr, "quillon-grid: %s\n", message.toLocal8Bit().constData());
    return 1;
}

int usage(const QString& command)
{
    for (const GridCommand& c : gridCommands()) {
        if (c.name == command) {
            std::fprintf(stderr, "usage: quillon-grid %s\n", c.usage.toLocal8Bit().constData());
            return 2;
        }
    }
    return 2;
}

} // namespace quillon::cli

namespace {

void printHelp(FILE* to)
{
    auto commands = quillon::cli::gridCommands();
    std::sort(commands.begin(), commands.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    std::fprintf(to, "usage: quillon-grid COMMAND [ARGUMENTS]\n\ncommands:\n");
    for (const auto& c : commands)
        std::fprintf(to, "  %-46s %s\n", c.usage.toLocal8Bit().constData(), c.summary.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char** argv)
{
    using namespace quillon::cli;
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (arguments.isEmpty() || arguments.first() == QLatin1String("--help") ||
        arguments.first() == QLatin1String("-h") || arguments.first() == QLatin1String("help")) {
        printHelp(arguments.isEmpty() ? stderr : stdout);
        return arguments.isEmpty() ? 2 : 0;
    }
    const QString name = arguments.takeFirst();
    const auto& commands = gridCommands();
    const auto it = std::find_if(commands.begin(), commands.end(), [&](const auto& c) { return c.name == name; });
    if (it == commands.end()) {
        fail(QStringLiteral("unknown command \"%1\"").arg(name));
        printHelp(stderr);
        return 2;
    }
    std::unique_ptr<QCoreApplication> app;
    if (it->needsGui) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    return it->run(arguments);
}

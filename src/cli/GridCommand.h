#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>
#include <vector>

namespace quillon::cli {

/**
 * One subcommand of quillon-grid. A subcommand lives in a file of its own in this
 * folder, listed in CMakeLists.txt, and registers itself with one line:
 *
 *     QUILLON_GRID_COMMAND(print, "print FILE -o OUT.pdf [options]", "prints a sheet to PDF", runPrint, true);
 *
 * run() gets the arguments after the subcommand's name and returns the exit code:
 * 0 done, 1 failed (say why on stderr), 2 wrong arguments (print the usage).
 */
struct GridCommand
{
    QString name;
    QString usage;
    QString summary;
    int (*run)(const QStringList& arguments) = nullptr;
    /** The command paints (fonts, PDF): the tool starts a GUI application for it. */
    bool needsGui = false;
};

/** The table of subcommands, filled before main() by the registrations. */
std::vector<GridCommand>& gridCommands();

struct GridCommandRegistration
{
    GridCommandRegistration(const char* name, const char* usage, const char* summary,
                            int (*run)(const QStringList&), bool needsGui = false);
};

/** Prints "quillon-grid: " + @p message to stderr; returns 1. */
int fail(const QString& message);
/** Prints the usage line of @p command to stderr; returns 2. */
int usage(const QString& command);

} // namespace quillon::cli

/** Registers the subcommand @p id: QUILLON_GRID_COMMAND(id, usage, summary, run [, needsGui]). */
#define QUILLON_GRID_COMMAND(id, ...)                                                                              \
    [[maybe_unused]] static const quillon::cli::GridCommandRegistration id##GridCommand(#id, __VA_ARGS__)

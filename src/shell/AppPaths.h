#pragma once

#include <QString>
#include <QStringList>

namespace quillon {

/**
 * Where Quillon finds and keeps its files.
 *
 * - installation folder: the folder of the program file;
 * - shipped data folder: site table, key files, guide ($QUILLON_DATA, else
 *   ../share/quillon or ./data beside the program);
 * - user data folder: files Quillon writes on its own, the untitled document and
 *   a saved site order (--user-data, $QUILLON_USER_DATA, else
 *   $XDG_DATA_HOME/Quillon);
 * - settings file (--settings, $QUILLON_SETTINGS, else SettingsStore::defaultFileName()).
 */
class AppPaths
{
public:
    /** Reads --settings FILE and --user-data DIR from the command line. */
    static void applyCommandLine(const QStringList& arguments);
    /** The files named on the command line (arguments[0] is the program): every argument
     *  that is neither an option nor the value of "--settings", "--user-data" or
     *  "--data"; after "--", every argument. A file: address becomes its path. */
    static QStringList filesOnCommandLine(const QStringList& arguments);

    static QString installationFolder();
    static QString dataFolder();
    static QString userDataFolder();
    static QString settingsFile();

    static void setDataFolder(const QString& path);
    static void setUserDataFolder(const QString& path);
    static void setSettingsFile(const QString& path);

    /** The folder part of a path, up to and including the last "/"; empty without one. */
    static QString DirectoryPart(const QString& path);
    /** The file part of a path, after the last "/"; empty without one. */
    static QString FilePart(const QString& path);
};

} // namespace quillon

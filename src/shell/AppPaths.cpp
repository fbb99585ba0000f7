#include "shell/AppPaths.h"

#include "shell/SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

namespace quillon {

namespace {

struct Overrides
{
    QString data;
    QString userData;
    QString settings;
};

Overrides& overrides()
{
    static Overrides o;
    return o;
}

QString fromEnv(const char* name)
{
    return qEnvironmentVariable(name);
}

} // namespace

void AppPaths::applyCommandLine(const QStringList& arguments)
{
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--settings"))
            setSettingsFile(arguments[i + 1]);
        else if (arguments[i] == QLatin1String("--user-data"))
            setUserDataFolder(arguments[i + 1]);
        else if (arguments[i] == QLatin1String("--data"))
            setDataFolder(arguments[i + 1]);
    }
}

QStringList AppPaths::filesOnCommandLine(const QStringList& arguments)
{
    static const QStringList withValue = {QStringLiteral("--settings"), QStringLiteral("--user-data"),
                                          QStringLiteral("--data")};
    QStringList files;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (!optionsEnded && a == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && withValue.contains(a)) {
            ++i;
        } else if (!optionsEnded && a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            // another option: "--no-tips", or one of Qt's own
        } else if (!a.isEmpty()) {
            const QUrl url(a);
            files.append(url.isLocalFile() ? url.toLocalFile() : a);
        }
    }
    return files;
}

QString AppPaths::installationFolder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
}

QString AppPaths::dataFolder()
{
    if (!overrides().data.isEmpty())
        return overrides().data;
    if (const QString env = fromEnv("QUILLON_DATA"); !env.isEmpty())
        return env;
    const QString app = installationFolder();
    for (const QString& candidate : {app + QStringLiteral("/../share/quillon"), app + QStringLiteral("/data"),
                                     app + QStringLiteral("/../data")}) {
        if (QFileInfo::exists(candidate + QStringLiteral("/stpl88.bin")))
            return QDir::cleanPath(candidate);
    }
    return QDir::cleanPath(app + QStringLiteral("/data"));
}

QString AppPaths::userDataFolder()
{
    QString dir = overrides().userData;
    if (dir.isEmpty())
        dir = fromEnv("QUILLON_USER_DATA");
    if (dir.isEmpty()) {
        dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        dir = dir.isEmpty() ? QDir::homePath() + QStringLiteral("/.quillon") : dir + QStringLiteral("/Quillon");
    }
    QDir().mkpath(dir);
    return QDir::cleanPath(dir);
}

QString AppPaths::settingsFile()
{
    if (!overrides().settings.isEmpty())
        return overrides().settings;
    if (const QString env = fromEnv("QUILLON_SETTINGS"); !env.isEmpty())
        return env;
    return SettingsStore::defaultFileName();
}

void AppPaths::setDataFolder(const QString& path)
{
    overrides().data = path;
}

void AppPaths::setUserDataFolder(const QString& path)
{
    overrides().userData = path;
}

void AppPaths::setSettingsFile(const QString& path)
{
    overrides().settings = path;
}

QString AppPaths::DirectoryPart(const QString& path)
{
    const qsizetype at = path.lastIndexOf(QLatin1Char('/'));
    return at < 0 ? QString() : path.left(at + 1);
}

QString AppPaths::FilePart(const QString& path)
{
    const qsizetype at = path.lastIndexOf(QLatin1Char('/'));
    return at < 0 ? QString() : path.mid(at + 1);
}

} // namespace quillon

#include "grab/UserSites.h"

#include "files/GridFile.h"
#include "grab/KeyTable.h"
#include "grab/ListingParser.h"
#include "shell/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>

#include <algorithm>

namespace quillon {

namespace UserSites {

namespace {

struct SiteRow
{
    QString name;
    QString file;
    QString grab;
    QString url;
};

QList<SiteRow> rowsOf(const QString& path)
{
    QList<SiteRow> rows;
    if (path.isEmpty() || !QFileInfo::exists(path))
        return rows;
    KeyTable table;
    if (!table.load(path))
        return rows;
    for (int r = 1; r < table.rows(); ++r) {
        if (table.text(r, 1).isEmpty())
            continue;
        rows.append({table.text(r, 0), table.text(r, 1), table.text(r, 2), table.text(r, 3)});
    }
    return rows;
}

void putRows(const QList<SiteRow>& rows, KeyTable& out)
{
    out.clear();
    const char* const titles[] = {"Site", "Key file", "Grab", "Start address"};
    for (int c = 0; c < 4; ++c)
        out.setText(0, c, QLatin1String(titles[c]));
    int r = 1;
    for (const SiteRow& row : rows) {
        out.setText(r, 0, row.name);
        out.setText(r, 1, row.file);
        out.setText(r, 2, row.grab);
        out.setText(r, 3, row.url);
        ++r;
    }
}

/** A file name made of @p name: letters, digits, blanks and a few marks kept. */
QString fileNameOf(const QString& name)
{
    QString out;
    for (const QChar ch : name.simplified()) {
        if (ch.isLetterOrNumber() || ch == u' ' || ch == u'-' || ch == u'_' || ch == u'(' || ch == u')')
            out += ch;
        else
            out += u'_';
    }
    out = out.left(80).trimmed();
    return out.isEmpty() ? QStringLiteral("site") : out;
}

bool makeFolder(QString* error)
{
    if (QDir().mkpath(folder()))
        return true;
    if (error)
        *error = QObject::tr("The folder %1 cannot be made.").arg(QDir::toNativeSeparators(folder()));
    return false;
}

} // namespace

QString userPrefix()
{
    return QStringLiteral("user:");
}

QString folder()
{
    return AppPaths::userDataFolder() + QStringLiteral("/Sites");
}

QString tablePath()
{
    return folder() + QStringLiteral("/sites.csv");
}

bool isUserKey(const QString& fileName)
{
    return fileName.startsWith(userPrefix());
}

QString keyPath(const QString& fileName)
{
    if (isUserKey(fileName))
        return AppPaths::userDataFolder() + QLatin1Char('/') + fileName.mid(userPrefix().size());
    return AppPaths::dataFolder() + QLatin1Char('/') + fileName;
}

bool saveKey(const QString& fileName, const GrabKey& key, QString* error)
{
    const QString path = keyPath(fileName);
    // Only the user's own folder is written; a name that climbs out of it is not one.
    if (!isUserKey(fileName) || fileName.contains(QLatin1String(".."))
        || !QFileInfo(path).absoluteFilePath().startsWith(QFileInfo(folder()).absoluteFilePath() + QLatin1Char('/'))) {
        if (error)
            *error = QObject::tr("The key of a site that comes with Quillon is not changed; save it as a new site.");
        return false;
    }
    if (!makeFolder(error))
        return false;
    KeyTable table;
    key.toTable(table, QObject::tr("Key made in the key workshop"));
    return SaveGrid(path, FormatComma, table.sheet(), error);
}

bool saveNewSite(const QString& name, const QString& url, const GrabKey& key, const QStringList& takenNames,
                 QString* fileName, QString* error)
{
    const QString shown = name.simplified();
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (shown.isEmpty())
        return fail(QObject::tr("The site needs a name for the site list."));
    for (const QString& taken : takenNames)
        if (taken.compare(shown, Qt::CaseInsensitive) == 0)
            return fail(QObject::tr("The site list has a site named \"%1\" already.").arg(shown));
    if (!makeFolder(error))
        return false;

    QList<SiteRow> rows = rowsOf(tablePath());
    for (const SiteRow& row : rows)
        if (row.name.compare(shown, Qt::CaseInsensitive) == 0)
            return fail(QObject::tr("The site list has a site named \"%1\" already.").arg(shown));

    // A key file of its own, never one in use.
    const QString base = fileNameOf(shown);
    QString relative = QStringLiteral("Sites/%1.csv").arg(base);
    for (int n = 2; QFileInfo::exists(AppPaths::userDataFolder() + QLatin1Char('/') + relative); ++n)
        relative = QStringLiteral("Sites/%1 %2.csv").arg(base).arg(n);
    const QString file = userPrefix() + relative;

    if (!saveKey(file, key, error))
        return false;
    rows.append({shown, file, QStringLiteral("1"), url});
    KeyTable table;
    putRows(rows, table);
    if (!SaveGrid(tablePath(), FormatComma, table.sheet(), error)) {
        QFile::remove(keyPath(file));
        return false;
    }
    if (fileName)
        *fileName = file;
    return true;
}

namespace {

/** The row of the user's site @p name in @p rows, or -1. */
qsizetype userRowOf(const QList<SiteRow>& rows, const QString& name)
{
    for (qsizetype i = 0; i < rows.size(); ++i)
        if (rows[i].name.compare(name.simplified(), Qt::CaseInsensitive) == 0 && isUserKey(rows[i].file))
            return i;
    return -1;
}

bool saveRows(const QList<SiteRow>& rows, QString* error)
{
    KeyTable table;
    putRows(rows, table);
    return SaveGrid(tablePath(), FormatComma, table.sheet(), error);
}

} // namespace

bool renameSite(const QString& name, const QString& newName, const QStringList& takenNames, QString* error)
{
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    QList<SiteRow> rows = rowsOf(tablePath());
    const qsizetype at = userRowOf(rows, name);
    if (at < 0)
        return fail(QObject::tr("\"%1\" is not a site of yours.").arg(name));
    const QString shown = newName.simplified();
    if (shown.isEmpty())
        return fail(QObject::tr("The site needs a name for the site list."));
    const auto taken = [&](const QString& other) {
        return other.compare(shown, Qt::CaseInsensitive) == 0 &&
               other.compare(name.simplified(), Qt::CaseInsensitive) != 0;
    };
    for (const QString& other : takenNames)
        if (taken(other))
            return fail(QObject::tr("The site list has a site named \"%1\" already.").arg(shown));
    for (const SiteRow& row : rows)
        if (taken(row.name))
            return fail(QObject::tr("The site list has a site named \"%1\" already.").arg(shown));
    rows[at].name = shown;
    return saveRows(rows, error);
}

bool removeSite(const QString& name, QString* error)
{
    QList<SiteRow> rows = rowsOf(tablePath());
    const qsizetype at = userRowOf(rows, name);
    if (at < 0) {
        if (error)
            *error = QObject::tr("\"%1\" is not a site of yours.").arg(name);
        return false;
    }
    const QString file = rows.takeAt(at).file;
    if (!saveRows(rows, error))
        return false;
    // Only a key in the user's own folder goes, and only one no other site uses.
    const QString path = keyPath(file);
    const bool shared =
        std::any_of(rows.cbegin(), rows.cend(), [&](const SiteRow& row) { return row.file == file; });
    if (!shared && !file.contains(QLatin1String("..")) &&
        QFileInfo(path).absoluteFilePath().startsWith(QFileInfo(folder()).absoluteFilePath() +
                                                      QLatin1Char('/')))
        QFile::remove(path);
    return true;
}

void BuildCatalogTable(const QString& shippedTable, const QString& userTable, const QString& savedOrder,
                       KeyTable& out)
{
    QList<SiteRow> catalog = rowsOf(shippedTable);
    QStringList names;
    for (const SiteRow& row : catalog)
        names << row.name;
    for (const SiteRow& row : rowsOf(userTable)) {
        // A user's key is always in the user's folder, whatever the row says.
        if (names.contains(row.name) || !isUserKey(row.file))
            continue;
        catalog.append(row);
        names << row.name;
    }

    const QList<SiteRow> saved = rowsOf(savedOrder);
    if (!saved.isEmpty()) {
        QList<SiteRow> ordered;
        QStringList placed;
        for (const SiteRow& row : saved) {
            if (placed.contains(row.name))
                continue;
            // A site the catalog has comes as the catalog has it now (a newer release
            // may have moved its key or start address); one it does not have stays as
            // it was saved.
            qsizetype at = names.indexOf(row.name);
            if (isUserKey(row.file)) {
                // A site of the user's is its key file: renamed since, it keeps its place;
                // removed since, it is gone.
                at = -1;
                for (qsizetype i = 0; i < catalog.size() && at < 0; ++i)
                    if (catalog[i].file == row.file)
                        at = i;
                if (at < 0 || placed.contains(catalog[at].name))
                    continue;
            }
            ordered.append(at < 0 ? row : catalog.at(at));
            placed << ordered.last().name;
        }
        for (const SiteRow& row : catalog)
            if (!placed.contains(row.name))
                ordered.append(row);
        catalog = ordered;
    }
    putRows(catalog, out);
}

} // namespace UserSites

} // namespace quillon

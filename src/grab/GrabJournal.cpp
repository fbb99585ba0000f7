#include "grab/GrabJournal.h"

#include "shell/AppPaths.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace quillon {

namespace {

constexpr int kVersion = 1;

QString tr(const char* text)
{
    return QCoreApplication::translate("GrabJournal", text);
}

QJsonObject pointObject(const GrabJournal::Point& point)
{
    QJsonObject o;
    o.insert(QStringLiteral("next"), point.next);
    o.insert(QStringLiteral("pagesDone"), point.pagesDone);
    o.insert(QStringLiteral("skipListings"), point.skipListings);
    o.insert(QStringLiteral("listings"), double(point.listings));
    o.insert(QStringLiteral("rows"), double(point.rows));
    o.insert(QStringLiteral("visited"), QJsonArray::fromStringList(point.visited));
    return o;
}

QJsonArray marksArray(const QList<GrabJournal::Mark>& marks)
{
    QJsonArray out;
    for (const GrabJournal::Mark& mark : marks) {
        QJsonObject o;
        o.insert(QStringLiteral("next"), mark.next);
        o.insert(QStringLiteral("pagesDone"), mark.pagesDone);
        o.insert(QStringLiteral("skipListings"), mark.skipListings);
        o.insert(QStringLiteral("listings"), double(mark.listings));
        o.insert(QStringLiteral("rows"), double(mark.rows));
        out.append(o);
    }
    return out;
}

/** A whole number of @p o between 0 and @p most; false when it is not there or not one. */
bool count(const QJsonObject& o, const char* name, double most, qint64& out)
{
    const QJsonValue v = o.value(QLatin1String(name));
    if (!v.isDouble())
        return false;
    const double d = v.toDouble();
    if (!(d >= 0 && d <= most) || d != double(qint64(d)))
        return false;
    out = qint64(d);
    return true;
}

bool readPoint(const QJsonValue& value, GrabJournal::Point& point, QString& what)
{
    if (!value.isObject()) {
        what = tr("no place to continue from");
        return false;
    }
    const QJsonObject o = value.toObject();
    qint64 pages = 0;
    qint64 skip = 0;
    if (!o.value(QLatin1String("next")).isString() || !count(o, "pagesDone", 1e9, pages)
        || !count(o, "skipListings", 1e9, skip) || !count(o, "listings", 1e15, point.listings)
        || !count(o, "rows", 1e15, point.rows) || !o.value(QLatin1String("visited")).isArray()) {
        what = tr("the place to continue from is incomplete");
        return false;
    }
    point.next = o.value(QLatin1String("next")).toString();
    point.pagesDone = int(pages);
    point.skipListings = int(skip);
    point.visited.clear();
    for (const QJsonValue& key : o.value(QLatin1String("visited")).toArray()) {
        if (!key.isString()) {
            what = tr("the pages grabbed are not a list of addresses");
            return false;
        }
        point.visited << key.toString();
    }
    return true;
}

bool readMarks(const QJsonValue& value, QList<GrabJournal::Mark>& marks, QString& what)
{
    marks.clear();
    if (value.isUndefined())
        return true;
    if (!value.isArray()) {
        what = tr("the places to go on from are not a list");
        return false;
    }
    for (const QJsonValue& item : value.toArray()) {
        const QJsonObject o = item.toObject();
        GrabJournal::Mark mark;
        qint64 pages = 0;
        qint64 skip = 0;
        if (!item.isObject() || !o.value(QLatin1String("next")).isString() ||
            !count(o, "pagesDone", 1e9, pages) || !count(o, "skipListings", 1e9, skip) ||
            !count(o, "listings", 1e15, mark.listings) || !count(o, "rows", 1e15, mark.rows)) {
            what = tr("a place to go on from is incomplete");
            return false;
        }
        mark.next = o.value(QLatin1String("next")).toString();
        mark.pagesDone = int(pages);
        mark.skipListings = int(skip);
        marks.append(mark);
    }
    if (marks.size() > GrabJournal::kMarksKept)
        marks.remove(0, marks.size() - GrabJournal::kMarksKept);
    return true;
}

QString safeName(const QString& name)
{
    QString out;
    for (const QChar c : name)
        out += c.isLetterOrNumber() || c == QLatin1Char(' ') || c == QLatin1Char('-') || c == QLatin1Char('_')
                       || c == QLatin1Char('(') || c == QLatin1Char(')') || c == QLatin1Char(',')
                   ? c
                   : QLatin1Char('_');
    out = out.trimmed().left(120);
    return out.isEmpty() ? QStringLiteral("_") : out;
}

} // namespace

std::optional<GrabJournal::Mark> GrabJournal::markWithin(qint64 rows) const
{
    if (marks.isEmpty())
        return std::nullopt;
    for (qsizetype i = marks.size() - 1; i >= 0; --i)
        if (marks[i].rows <= rows)
            return marks[i];
    return marks.first();
}

QString GrabJournal::folder()
{
    return AppPaths::userDataFolder() + QStringLiteral("/Grab Journals");
}

QString GrabJournal::pathForSite(const QString& siteName)
{
    return folder() + QLatin1Char('/') + safeName(siteName) + QStringLiteral(".journal");
}

QString GrabJournal::pathForOutput(const QString& output)
{
    const QString absolute = QFileInfo(output).absoluteFilePath();
    const QByteArray hash = QCryptographicHash::hash(absolute.toUtf8(), QCryptographicHash::Sha1).toHex().left(8);
    return folder() + QStringLiteral("/quillon-grab ") + safeName(QFileInfo(output).fileName()) + QLatin1Char(' ')
         + QString::fromLatin1(hash) + QStringLiteral(".journal");
}

bool GrabJournal::save(const QString& path, QString* error) const
{
    QJsonObject o;
    o.insert(QStringLiteral("journal"), QStringLiteral("Quillon grab"));
    o.insert(QStringLiteral("version"), kVersion);
    o.insert(QStringLiteral("site"), site);
    o.insert(QStringLiteral("keyFile"), keyFile);
    o.insert(QStringLiteral("rules"), rules);
    o.insert(QStringLiteral("startAddress"), startAddress);
    o.insert(QStringLiteral("done"), pointObject(done));
    if (pending)
        o.insert(QStringLiteral("pending"), pointObject(*pending));
    if (!marks.isEmpty())
        o.insert(QStringLiteral("marks"), marksArray(marks));
    o.insert(QStringLiteral("output"), output);
    o.insert(QStringLiteral("document"), document);
    o.insert(QStringLiteral("firstRow"), double(firstRow));
    o.insert(QStringLiteral("endedBy"), endedBy);
    o.insert(QStringLiteral("reason"), reason);
    o.insert(QStringLiteral("updated"), updated.toString(Qt::ISODate));

    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    file.write(QJsonDocument(o).toJson(QJsonDocument::Indented));
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool GrabJournal::load(const QString& path, QString* error)
{
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    QFile file(path);
    if (!file.exists())
        return fail(tr("there is no journal %1").arg(path));
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    if (file.size() > kMaxFileBytes)
        return fail(tr("%1 is too large to be a grab journal").arg(path));
    QJsonParseError parse;
    const QJsonDocument json = QJsonDocument::fromJson(file.readAll(), &parse);
    if (json.isNull() || !json.isObject())
        return fail(tr("%1 is not a grab journal (%2)").arg(path, parse.errorString()));
    const QJsonObject o = json.object();
    if (o.value(QLatin1String("journal")).toString() != QLatin1String("Quillon grab"))
        return fail(tr("%1 is not a grab journal").arg(path));
    if (o.value(QLatin1String("version")).toInt() != kVersion)
        return fail(tr("%1 is a grab journal of another version").arg(path));

    GrabJournal read;
    QString what;
    if (!readPoint(o.value(QLatin1String("done")), read.done, what))
        return fail(tr("the grab journal %1 is damaged: %2").arg(path, what));
    if (o.contains(QLatin1String("pending"))) {
        Point pending;
        if (!readPoint(o.value(QLatin1String("pending")), pending, what))
            return fail(tr("the grab journal %1 is damaged: %2").arg(path, what));
        read.pending = pending;
    }
    if (!readMarks(o.value(QLatin1String("marks")), read.marks, what))
        return fail(tr("the grab journal %1 is damaged: %2").arg(path, what));
    read.site = o.value(QLatin1String("site")).toString();
    read.keyFile = o.value(QLatin1String("keyFile")).toString();
    read.rules = o.value(QLatin1String("rules")).toString();
    read.startAddress = o.value(QLatin1String("startAddress")).toString();
    read.output = o.value(QLatin1String("output")).toString();
    read.document = o.value(QLatin1String("document")).toString();
    if (!count(o, "firstRow", 1e15, read.firstRow))
        read.firstRow = 0;
    read.endedBy = o.value(QLatin1String("endedBy")).toString();
    read.reason = o.value(QLatin1String("reason")).toString();
    read.updated = QDateTime::fromString(o.value(QLatin1String("updated")).toString(), Qt::ISODate);
    if (read.site.isEmpty() && read.keyFile.isEmpty())
        return fail(tr("the grab journal %1 is damaged: it names neither a site nor a key file").arg(path));
    *this = read;
    return true;
}

} // namespace quillon

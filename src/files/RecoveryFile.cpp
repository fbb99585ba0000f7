#include "files/RecoveryFile.h"

#include "files/NativeGridFormat.h"
#include "shell/AppPaths.h"
#include "sheet/Document.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <QtEndian>

#include <cerrno>
#include <signal.h>
#include <unistd.h>

namespace quillon {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("RecoveryFile", text);
}

bool fail(QString* error, const QString& reason)
{
    if (error)
        *error = reason;
    return false;
}

const QByteArray kMagic = QByteArrayLiteral("\x89QRV\r\n\x1A\n");
constexpr quint32 kVersion = 1;
/** The most bytes the description of the document may have. */
constexpr quint32 kMaxInfoBytes = 64 * 1024;

QString bootId()
{
    QFile file(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.read(64).trimmed().left(8)).toLower();
}

bool procAvailable()
{
    return QFileInfo::exists(QStringLiteral("/proc/self/stat"));
}

/** The state letter and start ticks of process @p pid from /proc; false when it has none. */
bool readProcStat(qint64 pid, char* state, quint64* ticks)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = file.read(4096);
    // The command name in parentheses may hold spaces and parentheses: the fields
    // are counted from the last ')'.
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0)
        return false;
    const QList<QByteArray> fields = line.mid(close + 1).simplified().split(' ');
    // fields[0] is the state (field 3 of the line), fields[19] the start time (field 22).
    if (fields.size() < 20 || fields[0].isEmpty())
        return false;
    bool ok = false;
    *ticks = fields[19].toULongLong(&ok);
    *state = fields[0].at(0);
    return ok;
}

} // namespace

// ---- ProcessStamp ---------------------------------------------------------------------

ProcessStamp ProcessStamp::current()
{
    ProcessStamp stamp = running(QCoreApplication::applicationPid());
    if (stamp.pid == 0)
        stamp.pid = QCoreApplication::applicationPid();
    return stamp;
}

ProcessStamp ProcessStamp::running(qint64 pid)
{
    ProcessStamp stamp;
    char state = 0;
    quint64 ticks = 0;
    if (procAvailable()) {
        if (!readProcStat(pid, &state, &ticks) || state == 'Z' || state == 'X')
            return stamp;
    } else if (::kill(pid_t(pid), 0) != 0 && errno != EPERM) {
        return stamp;
    }
    stamp.pid = pid;
    stamp.startTicks = ticks;
    stamp.boot = bootId();
    return stamp;
}

bool ProcessStamp::isRunning() const
{
    if (pid <= 0)
        return false;
    const ProcessStamp now = running(pid);
    if (now.pid == 0)
        return false;
    // Another boot: every process of that one has ended.
    if (!boot.isEmpty() && !now.boot.isEmpty() && boot != now.boot)
        return false;
    return now.startTicks == startTicks;
}

QDateTime ProcessStamp::startedAt() const
{
    QFile file(QStringLiteral("/proc/stat"));
    const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    if (startTicks == 0 || ticksPerSecond <= 0 || !file.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray& line : lines) {
        if (!line.startsWith("btime "))
            continue;
        bool ok = false;
        const qint64 bootSeconds = line.mid(6).trimmed().toLongLong(&ok);
        if (!ok)
            return {};
        return QDateTime::fromMSecsSinceEpoch(bootSeconds * 1000 + qint64(startTicks) * 1000 / ticksPerSecond, Qt::UTC);
    }
    return {};
}

// ---- names ------------------------------------------------------------------------------

QString RecoveryFile::folder()
{
    return QDir(AppPaths::userDataFolder()).filePath(QStringLiteral("recovery"));
}

QString RecoveryFile::pathFor(const ProcessStamp& owner)
{
    const QString boot = owner.boot.isEmpty() ? QStringLiteral("0") : owner.boot;
    return QDir(folder()).filePath(
        QStringLiteral("recovery-%1-%2-%3.qrv").arg(owner.pid).arg(owner.startTicks).arg(boot));
}

bool RecoveryFile::ownerOf(const QString& path, ProcessStamp* owner)
{
    static const QRegularExpression pattern(QStringLiteral("^recovery-(\\d{1,18})-(\\d{1,20})-([0-9a-f]{1,8})\\.qrv$"));
    const QRegularExpressionMatch match = pattern.match(QFileInfo(path).fileName());
    if (!match.hasMatch())
        return false;
    bool pidOk = false;
    bool ticksOk = false;
    ProcessStamp stamp;
    stamp.pid = match.captured(1).toLongLong(&pidOk);
    stamp.startTicks = match.captured(2).toULongLong(&ticksOk);
    stamp.boot = match.captured(3) == QLatin1String("0") ? QString() : match.captured(3);
    if (!pidOk || !ticksOk || stamp.pid <= 0)
        return false;
    if (owner)
        *owner = stamp;
    return true;
}

// ---- writing ----------------------------------------------------------------------------

bool RecoveryFile::write(QIODevice& device, const RecoveryInfo& info, const RecordSheet& sheet, QString* error,
                         const GridProgress& progress)
{
    QJsonObject object;
    object.insert(QStringLiteral("documentName"), info.documentName);
    object.insert(QStringLiteral("documentType"), info.documentType);
    object.insert(QStringLiteral("untitled"), info.untitled);
    object.insert(QStringLiteral("saveEnabled"), info.saveEnabled);
    object.insert(QStringLiteral("pid"), double(info.pid));
    object.insert(QStringLiteral("processStarted"), info.processStarted.toUTC().toString(Qt::ISODateWithMs));
    object.insert(QStringLiteral("host"), info.host);
    object.insert(QStringLiteral("written"), info.written.toUTC().toString(Qt::ISODateWithMs));
    const QByteArray json = QJsonDocument(object).toJson(QJsonDocument::Compact);
    if (quint32(json.size()) > kMaxInfoBytes)
        return fail(error, tr("The document's name is too long."));
    QByteArray head = kMagic;
    quint32 numbers[2] = {qToLittleEndian(kVersion), qToLittleEndian(quint32(json.size()))};
    head.append(reinterpret_cast<const char*>(numbers), sizeof numbers);
    head.append(json);
    if (device.write(head) != head.size())
        return fail(error, device.errorString());
    return writeGrid(device, FormatNative, sheet, error, progress);
}

bool RecoveryFile::save(const QString& path, const RecoveryInfo& info, const RecordSheet& sheet, QString* error,
                        const GridProgress& progress)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(error, file.errorString());
    if (!write(file, info, sheet, error, progress)) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        return fail(error, file.errorString());
    return true;
}

// ---- reading ----------------------------------------------------------------------------

bool RecoveryFile::read(QIODevice& device, RecoveryInfo* info, RecordSheet& fresh, QString* error)
{
    const QByteArray magic = device.read(kMagic.size());
    if (magic != kMagic)
        return fail(error, tr("It is not a recovery file of Quillon."));
    quint32 numbers[2] = {};
    if (device.read(reinterpret_cast<char*>(numbers), sizeof numbers) != qint64(sizeof numbers))
        return fail(error, tr("The file ends too early."));
    const quint32 version = qFromLittleEndian(numbers[0]);
    const quint32 length = qFromLittleEndian(numbers[1]);
    if (version == 0 || version > kVersion)
        return fail(error, tr("It was written by a later version of Quillon (version %1).").arg(version));
    if (length > kMaxInfoBytes || qint64(length) > device.bytesAvailable())
        return fail(error, tr("The description of the document is damaged."));
    QJsonParseError parseError;
    const QJsonDocument json = QJsonDocument::fromJson(device.read(length), &parseError);
    if (parseError.error != QJsonParseError::NoError || !json.isObject())
        return fail(error, tr("The description of the document is damaged."));
    const QJsonObject object = json.object();
    RecoveryInfo read;
    read.documentName = object.value(QStringLiteral("documentName")).toString();
    read.documentType = object.value(QStringLiteral("documentType")).toInt(-1);
    read.untitled = object.value(QStringLiteral("untitled")).toBool(true);
    read.saveEnabled = object.value(QStringLiteral("saveEnabled")).toBool(false);
    read.pid = qint64(object.value(QStringLiteral("pid")).toDouble());
    read.processStarted = QDateTime::fromString(object.value(QStringLiteral("processStarted")).toString(), Qt::ISODateWithMs);
    read.host = object.value(QStringLiteral("host")).toString();
    read.written = QDateTime::fromString(object.value(QStringLiteral("written")).toString(), Qt::ISODateWithMs);
    static const QList<int> types = {Document::Native, Document::Comma, Document::Tab, Document::VCard,
                                     Document::Xlsx};
    if (!types.contains(read.documentType) || (!read.untitled && read.documentName.isEmpty()))
        return fail(error, tr("The description of the document is damaged."));
    if (!readGrid(device, FormatNative, fresh, error))
        return false;
    if (info)
        *info = read;
    return true;
}

bool RecoveryFile::load(const QString& path, RecoveryInfo* info, RecordSheet& fresh, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(error, file.errorString());
    return read(file, info, fresh, error);
}

QString RecoveryFile::keepAside(const QString& path, const QString& originalName)
{
    const QDir dir = QFileInfo(path).absoluteDir();
    QString target = dir.filePath(originalName + QStringLiteral(".damaged"));
    for (int n = 2; QFileInfo::exists(target) && n < 1000; ++n)
        target = dir.filePath(QStringLiteral("%1.damaged-%2").arg(originalName).arg(n));
    if (QFileInfo::exists(target) || !QFile::rename(path, target))
        return {};
    return target;
}

} // namespace quillon

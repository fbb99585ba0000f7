// The recovery file: what it keeps, how a damaged one is refused, whose it is, and
// the autosave interval setting.

#include "files/AutoSave.h"
#include "files/RecoveryFile.h"
#include "sheet/RecordSheet.h"
#include "FilesTestSupport.h"

#include <QBuffer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <signal.h>

using namespace quillon;

namespace {

QByteArray recoveryBytes(const RecoveryInfo& info, const RecordSheet& sheet)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!RecoveryFile::write(buffer, info, sheet))
        return {};
    return buffer.data();
}

/** The pid of a process that has just ended, reaped. */
qint64 endedProcessId()
{
    QProcess p;
    p.start(QStringLiteral("sleep"), {QStringLiteral("0.1")});
    if (!p.waitForStarted())
        return 0;
    const qint64 pid = p.processId();
    p.waitForFinished();
    return pid;
}

} // namespace

class TestRecoveryFile : public QObject
{
    Q_OBJECT

private slots:
    void keepsTheRecordsAndTheDocument_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("untitled");
        QTest::addColumn<bool>("saveEnabled");
        QTest::newRow("untitled") << QStringLiteral("/home/u/.local/share/Quillon/Untitled1.vty") << 2 << true << false;
        QTest::newRow("grid file") << QStringLiteral("/data/lists/Florists.vty") << 2 << false << true;
        QTest::newRow("comma text") << QStringLiteral("/data/lists/plumbers.csv") << 3 << false << true;
        QTest::newRow("tab text") << QStringLiteral("/data/tab list.txt") << 4 << false << false;
        QTest::newRow("vCard") << QStringLiteral("/data/contacts.vcf") << 6 << false << true;
        QTest::newRow("spreadsheet, name not in ASCII") << QStringLiteral("/data/Åsa – café.xlsx") << 7 << false << true;
    }
    void keepsTheRecordsAndTheDocument()
    {
        QFETCH(QString, name);
        QFETCH(int, type);
        QFETCH(bool, untitled);
        QFETCH(bool, saveEnabled);
        RecordSheet sheet;
        testing::fillRichSheet(sheet);
        RecoveryInfo info;
        info.documentName = name;
        info.documentType = type;
        info.untitled = untitled;
        info.saveEnabled = saveEnabled;
        info.pid = 4242;
        info.processStarted = QDateTime(QDate(2026, 3, 1), QTime(8, 30), Qt::UTC);
        info.written = QDateTime(QDate(2026, 3, 1), QTime(9, 15, 2, 500), Qt::UTC);
        info.host = QStringLiteral("desk");

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("r.qrv"));
        QString error;
        QVERIFY2(RecoveryFile::save(path, info, sheet, &error), qPrintable(error));
        RecordSheet back;
        RecoveryInfo read;
        QVERIFY2(RecoveryFile::load(path, &read, back, &error), qPrintable(error));
        QCOMPARE(testing::sheetDifference(sheet, back), QString());
        QCOMPARE(read.documentName, name);
        QCOMPARE(read.documentType, type);
        QCOMPARE(read.untitled, untitled);
        QCOMPARE(read.saveEnabled, saveEnabled);
        QCOMPARE(read.pid, qint64(4242));
        QCOMPARE(read.processStarted, info.processStarted);
        QCOMPARE(read.written, info.written);
        QCOMPARE(read.host, QStringLiteral("desk"));
    }

    // Whatever is wrong with the file, reading it fails with a reason and no crash.
    void refusesADamagedFile_data()
    {
        RecordSheet sheet;
        testing::fillRichSheet(sheet);
        RecoveryInfo info;
        info.documentName = QStringLiteral("/data/a.vty");
        info.untitled = false;
        const QByteArray good = recoveryBytes(info, sheet);
        QVERIFY(good.size() > 100);

        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("only the first bytes") << good.left(6);
        QTest::newRow("not a recovery file") << QByteArray("Name,Phone\r\nSmith,555\r\n");
        QTest::newRow("a grid file") << good.mid(good.indexOf("\x89VTY"));
        QTest::newRow("cut in the description") << good.left(30);
        QTest::newRow("cut in the records") << good.left(good.size() / 2);
        QTest::newRow("last byte missing") << good.left(good.size() - 1);
        QByteArray later = good;
        later[8] = 2;
        QTest::newRow("a later version") << later;
        QByteArray huge = good;
        huge[12] = char(0xff);
        huge[13] = char(0xff);
        huge[14] = char(0xff);
        huge[15] = char(0x7f);
        QTest::newRow("description longer than the file") << huge;
        QByteArray garbled = good;
        garbled[16] = '#';
        QTest::newRow("description is not JSON") << garbled;
        QByteArray type = good;
        type.replace("\"documentType\":2", "\"documentType\":9");
        QTest::newRow("unknown document type") << type;
        QByteArray flipped = good;
        flipped[flipped.size() - 20] = char(flipped[flipped.size() - 20] ^ 0x55);
        QTest::newRow("a record byte changed") << flipped;
    }
    void refusesADamagedFile()
    {
        QFETCH(QByteArray, bytes);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        RecordSheet back;
        RecoveryInfo info;
        QString error;
        QVERIFY(!RecoveryFile::read(buffer, &info, back, &error));
        QVERIFY(!error.isEmpty());
    }

    void namesItsOwner_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<qint64>("pid");
        QTest::addColumn<quint64>("ticks");
        QTest::addColumn<QString>("boot");
        QTest::newRow("full") << QStringLiteral("recovery-4242-987654-0a1b2c3d.qrv") << true << qint64(4242)
                              << quint64(987654) << QStringLiteral("0a1b2c3d");
        QTest::newRow("no boot id") << QStringLiteral("recovery-17-5-0.qrv") << true << qint64(17) << quint64(5)
                                    << QString();
        QTest::newRow("kept aside") << QStringLiteral("recovery-17-5-0.qrv.damaged") << false << qint64(0)
                                    << quint64(0) << QString();
        QTest::newRow("QSaveFile's temporary") << QStringLiteral("recovery-17-5-0.qrv.Ab12Cd") << false << qint64(0)
                                               << quint64(0) << QString();
        QTest::newRow("pid 0") << QStringLiteral("recovery-0-5-0.qrv") << false << qint64(0) << quint64(0) << QString();
        QTest::newRow("letters for the pid") << QStringLiteral("recovery-ab-5-0.qrv") << false << qint64(0)
                                             << quint64(0) << QString();
        QTest::newRow("another file") << QStringLiteral("Untitled1.vty") << false << qint64(0) << quint64(0)
                                      << QString();
    }
    void namesItsOwner()
    {
        QFETCH(QString, name);
        QFETCH(bool, valid);
        ProcessStamp owner;
        QCOMPARE(RecoveryFile::ownerOf(QStringLiteral("/some/folder/") + name, &owner), valid);
        if (!valid)
            return;
        QFETCH(qint64, pid);
        QFETCH(quint64, ticks);
        QFETCH(QString, boot);
        QCOMPARE(owner.pid, pid);
        QCOMPARE(owner.startTicks, ticks);
        QCOMPARE(owner.boot, boot);
        // The name the owner's file gets is the name read.
        QCOMPARE(QFileInfo(RecoveryFile::pathFor(owner)).fileName(), name);
    }

    void tellsARunningProcessFromAnEndedOne()
    {
        const ProcessStamp me = ProcessStamp::current();
        QCOMPARE(me.pid, QCoreApplication::applicationPid());
        QVERIFY(me.isRunning());
        // This process started before this test and not long before.
        const QDateTime started = me.startedAt();
        QVERIFY(started.isValid());
        QVERIFY(started <= QDateTime::currentDateTimeUtc().addSecs(1));
        QVERIFY(started >= QDateTime::currentDateTimeUtc().addSecs(-600));

        QProcess sleeper;
        sleeper.start(QStringLiteral("sleep"), {QStringLiteral("30")});
        QVERIFY(sleeper.waitForStarted());
        const ProcessStamp other = ProcessStamp::running(sleeper.processId());
        QCOMPARE(other.pid, sleeper.processId());
        QVERIFY(other.isRunning());
        // The same pid with another start: a later process that got the number again.
        ProcessStamp reused = other;
        reused.startTicks += 1;
        QVERIFY(!reused.isRunning());
        // The same process in another boot.
        ProcessStamp earlierBoot = other;
        earlierBoot.boot = other.boot == QLatin1String("00000000") ? QStringLiteral("11111111")
                                                                    : QStringLiteral("00000000");
        if (!other.boot.isEmpty())
            QVERIFY(!earlierBoot.isRunning());
        // Killed and not yet reaped (a zombie), then reaped: ended either way.
        ::kill(pid_t(sleeper.processId()), SIGKILL);
        QTRY_VERIFY(!other.isRunning());
        sleeper.waitForFinished();
        QVERIFY(!other.isRunning());

        ProcessStamp ended;
        ended.pid = endedProcessId();
        QVERIFY(ended.pid > 0);
        QVERIFY(!ended.isRunning());
        QVERIFY(!ProcessStamp{}.isRunning());
    }

    void readsTheIntervalSetting_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("milliseconds");
        QTest::newRow("not set: two minutes") << QString() << 120000;
        QTest::newRow("blank") << QStringLiteral("   ") << 120000;
        QTest::newRow("2") << QStringLiteral("2") << 120000;
        QTest::newRow("5") << QStringLiteral("5") << 300000;
        QTest::newRow(" 10 ") << QStringLiteral(" 10 ") << 600000;
        QTest::newRow("0: off") << QStringLiteral("0") << 0;
        QTest::newRow("half a minute") << QStringLiteral("0.5") << 30000;
        QTest::newRow("a day") << QStringLiteral("1440") << 86400000;
        QTest::newRow("shorter than a second: a second") << QStringLiteral("0.001") << 1000;
        QTest::newRow("words") << QStringLiteral("often") << 120000;
        QTest::newRow("negative") << QStringLiteral("-3") << 120000;
        QTest::newRow("more than a day") << QStringLiteral("99999") << 120000;
        QTest::newRow("decimal comma") << QStringLiteral("1,5") << 120000;
        QTest::newRow("not a number") << QStringLiteral("nan") << 120000;
        QTest::newRow("infinite") << QStringLiteral("inf") << 120000;
        QTest::newRow("True") << QStringLiteral("True") << 120000;
    }
    void readsTheIntervalSetting()
    {
        QFETCH(QString, text);
        QFETCH(int, milliseconds);
        QCOMPARE(AutoSave::intervalFromSetting(text), milliseconds);
    }
};

QTEST_GUILESS_MAIN(TestRecoveryFile)
#include "TestRecoveryFile.moc"

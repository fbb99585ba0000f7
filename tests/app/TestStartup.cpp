#include "files/RecoveryFile.h"
#include "sheet/RecordSheet.h"
#include "shell/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <signal.h>
#include <utime.h>

using namespace quillon;

/** The program itself: it starts on a settings file of its own, shows its window and
 *  ends cleanly when the window is closed, writing its settings. */
class TestStartup : public QObject
{
    Q_OBJECT

    static QString program() { return QStringLiteral(QUILLON_BINARY_DIR "/bin/quillon"); }

    static qint64 endedProcessId()
    {
        QProcess p;
        p.start(QStringLiteral("sleep"), {QStringLiteral("0.1")});
        if (!p.waitForStarted())
            return 0;
        const qint64 pid = p.processId();
        p.waitForFinished();
        return pid;
    }
    static QString recoveryFileOf(const ProcessStamp& owner, const QString& userData)
    {
        const QString name = QFileInfo(RecoveryFile::pathFor(owner)).fileName();
        return userData + QStringLiteral("/recovery/") + name;
    }
    static bool writeRecoveryFile(const QString& path)
    {
        RecordSheet sheet;
        sheet.setCols(1);
        sheet.setRows(2);
        sheet.setText(1, 0, QStringLiteral("unsaved"));
        RecoveryInfo info;
        info.documentName = QStringLiteral("/lists/shops.vty");
        info.untitled = false;
        return RecoveryFile::save(path, info, sheet);
    }
    /** The recovery files in @p folder whose owner is @p pid. */
    static QStringList filesOf(qint64 pid, const QString& folder)
    {
        QStringList found;
        for (const QString& name : QDir(folder).entryList(QDir::Files)) {
            ProcessStamp owner;
            if (RecoveryFile::ownerOf(name, &owner) && owner.pid == pid)
                found << name;
        }
        return found;
    }

private slots:
    void startsAndClosesCleanly_data()
    {
        QTest::addColumn<QStringList>("extra");
        QTest::newRow("without tips") << QStringList{QStringLiteral("--no-tips")};
        QTest::newRow("with the tip of the day") << QStringList{};
    }
    void startsAndClosesCleanly()
    {
        QFETCH(QStringList, extra);
        QVERIFY(QFileInfo::exists(program()));
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("quillon.ini"));
        QProcess quillon;
        quillon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        quillon.start(program(), QStringList{QStringLiteral("--settings"), ini, QStringLiteral("--user-data"),
                                             dir.filePath(QStringLiteral("user"))} + extra);
        QVERIFY(quillon.waitForStarted());
        // Start-up marks the store with the installation folder before the window opens.
        QTRY_VERIFY_WITH_TIMEOUT(!SettingsStore(ini).ReadSettingText(QStringLiteral("INI")).isEmpty(), 60000);
        QCOMPARE(SettingsStore(ini).ReadSettingText(QStringLiteral("INI")), QFileInfo(program()).absolutePath());
        // Ending the session closes the window the ordinary way.
        quillon.terminate();
        QVERIFY(quillon.waitForFinished(60000));
        QCOMPARE(quillon.exitStatus(), QProcess::NormalExit);
        QCOMPARE(quillon.exitCode(), 0);

        SettingsStore written(ini);
        QCOMPARE(written.ReadSettingText(QStringLiteral("WIDTH")), QStringLiteral("12000"));
        QCOMPARE(written.ReadSettingText(QStringLiteral("HEIGHT")), QStringLiteral("10000"));
        QCOMPARE(written.ReadSettingText(QStringLiteral("VBarLeft")), QStringLiteral("3570"));
        QCOMPARE(written.ReadSettingText(QStringLiteral("AlternateColor")), QStringLiteral("True"));
        QCOMPARE(written.ReadSettingText(QStringLiteral("ShowTips")), QStringLiteral("True"));
        QCOMPARE(written.ReadSettingText(QStringLiteral("AddressBox")), QStringLiteral("0"));
    }

    // A file named on the command line is opened in place of the untitled document:
    // the next Open dialog starts in its folder.
    void opensTheFileNamedOnTheCommandLine()
    {
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("lists"))));
        const QString csv = dir.filePath(QStringLiteral("lists/florists.csv"));
        {
            QFile file(csv);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("Name,Phone\nBloom & Co,555-0101\n");
        }
        const QString ini = dir.filePath(QStringLiteral("quillon.ini"));
        QProcess quillon;
        quillon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        quillon.start(program(), QStringList{QStringLiteral("--settings"), ini, QStringLiteral("--user-data"),
                                             dir.filePath(QStringLiteral("user")), QStringLiteral("--no-tips"), csv});
        QVERIFY(quillon.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(!SettingsStore(ini).ReadSettingText(QStringLiteral("INI")).isEmpty(), 60000);
        // The file is opened right after the window shows, before any signal is handled.
        quillon.terminate();
        QVERIFY(quillon.waitForFinished(60000));
        QCOMPARE(quillon.exitCode(), 0);
        QCOMPARE(SettingsStore(ini).ReadSettingText(QStringLiteral("LastOpenPath")),
                 dir.filePath(QStringLiteral("lists/")));
    }

    // A Quillon that ended without closing left a recovery file: the next start takes it
    // for its own (a second one starting now would not find it) and asks about it.
    void takesTheRecoveryFileOfAnEndedQuillon()
    {
        QTemporaryDir dir;
        const QString user = dir.filePath(QStringLiteral("user"));
        ProcessStamp dead = ProcessStamp::current();
        dead.pid = endedProcessId();
        const QString left = recoveryFileOf(dead, user);
        QVERIFY(writeRecoveryFile(left));
        QProcess quillon;
        quillon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        quillon.start(program(), QStringList{QStringLiteral("--settings"), dir.filePath(QStringLiteral("q.ini")),
                                             QStringLiteral("--user-data"), user, QStringLiteral("--no-tips")});
        QVERIFY(quillon.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(left), 60000);
        QCOMPARE(filesOf(quillon.processId(), user + QStringLiteral("/recovery")).size(), 1);
        QCOMPARE(quillon.state(), QProcess::Running); // the question waits for its answer
        quillon.kill();
        quillon.waitForFinished();
    }

    // The recovery file of a Quillon still running is left alone; a damaged one is kept
    // aside, and start-up goes on.
    void leavesARunningQuillonsFileAndKeepsADamagedOneAside()
    {
        QTemporaryDir dir;
        const QString user = dir.filePath(QStringLiteral("user"));
        QProcess running;
        running.start(QStringLiteral("sleep"), {QStringLiteral("120")});
        QVERIFY(running.waitForStarted());
        const QString theirs = recoveryFileOf(ProcessStamp::running(running.processId()), user);
        QVERIFY(writeRecoveryFile(theirs));
        ProcessStamp dead = ProcessStamp::current();
        dead.pid = endedProcessId();
        const QString damaged = recoveryFileOf(dead, user);
        {
            QFile f(damaged);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("\x89QRV\r\n\x1A\n garbage");
        }
        // The running one's is the newer: it is looked at first.
        utimbuf older{1000000000, 1000000000};
        QVERIFY(::utime(QFile::encodeName(damaged).constData(), &older) == 0);
        const QByteArray before = [&] {
            QFile f(theirs);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();

        QProcess quillon;
        quillon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        quillon.start(program(), QStringList{QStringLiteral("--settings"), dir.filePath(QStringLiteral("q.ini")),
                                             QStringLiteral("--user-data"), user, QStringLiteral("--no-tips")});
        QVERIFY(quillon.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(damaged + QStringLiteral(".damaged")), 60000);
        QVERIFY(!QFileInfo::exists(damaged));
        QCOMPARE(quillon.state(), QProcess::Running); // the report waits to be read
        QFile after(theirs);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), before);
        QVERIFY(filesOf(quillon.processId(), user + QStringLiteral("/recovery")).isEmpty());
        quillon.kill();
        quillon.waitForFinished();
        running.kill();
        running.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "TestStartup.moc"

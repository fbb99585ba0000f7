#include "shell/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;

/** The program itself: it starts on a settings file of its own, shows its window and
 *  ends cleanly when the window is closed, writing its settings. */
class TestStartup : public QObject
{
    Q_OBJECT

    static QString program() { return QStringLiteral(QUILLON_BINARY_DIR "/bin/quillon"); }

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
};

QTEST_GUILESS_MAIN(TestStartup)
#include "TestStartup.moc"

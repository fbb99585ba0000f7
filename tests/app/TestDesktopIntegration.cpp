// What the desktop sees of the program once it is installed: the menu entry, the
// software centre's description, the grid file's type, and the Debian package that
// puts them where the desktop finds them.

#include <QDir>
#include <QFile>
#include <QMimeDatabase>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kDesktop = QStringLiteral(QUILLON_SOURCE_DIR "/data/desktop/");

struct Run
{
    int exitCode = -1;
    QString output;
};

Run run(const QString& program, const QStringList& arguments, const QString& folder = {}, int timeoutMs = 60000)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (!folder.isEmpty())
        p.setWorkingDirectory(folder);
    p.start(program, arguments);
    Run r;
    if (!p.waitForStarted()) {
        r.output = program + QStringLiteral(" did not start: ") + p.errorString();
        return r;
    }
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.output = program + QStringLiteral(" did not finish");
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.output = QString::fromLocal8Bit(p.readAll());
    return r;
}

} // namespace

class TestDesktopIntegration : public QObject
{
    Q_OBJECT

    QTemporaryDir m_mimeHome;

private slots:
    void initTestCase()
    {
        // The grid file's type as a desktop with the package installed knows it: the
        // shipped definition in a data folder of its own, read before anything else
        // asks for a type.
        QVERIFY(QDir().mkpath(m_mimeHome.filePath(QStringLiteral("mime/packages"))));
        QVERIFY(QFile::copy(kDesktop + QStringLiteral("org.quillon.Quillon.xml"),
                            m_mimeHome.filePath(QStringLiteral("mime/packages/org.quillon.Quillon.xml"))));
        qputenv("XDG_DATA_DIRS", m_mimeHome.path().toLocal8Bit());
    }

    void menuEntryIsValid()
    {
        const Run r = run(QStringLiteral("desktop-file-validate"), {kDesktop + QStringLiteral("org.quillon.Quillon.desktop")});
        QVERIFY2(r.exitCode == 0 && r.output.trimmed().isEmpty(), qPrintable(r.output));
    }

    void softwareCentreDescriptionIsValid()
    {
        const Run r = run(QStringLiteral("appstreamcli"),
                          {QStringLiteral("validate"), QStringLiteral("--no-net"),
                           kDesktop + QStringLiteral("org.quillon.Quillon.metainfo.xml")});
        QVERIFY2(r.exitCode == 0, qPrintable(r.output));
    }

    void gridFilesAreKnownByNameAndByContent_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("grid");
        const QByteArray header("\x89VTY\r\n\x1A\n\x01\x00\x00\x00", 12);
        QTest::newRow("by name") << QStringLiteral("people.vty") << QByteArray("anything") << true;
        QTest::newRow("by content, no extension") << QStringLiteral("people") << header << true;
        QTest::newRow("by content, other extension") << QStringLiteral("people.dat") << header << true;
        QTest::newRow("text is not a grid file") << QStringLiteral("people") << QByteArray("Name,Phone\n") << false;
    }

    void gridFilesAreKnownByNameAndByContent()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(bool, grid);
        QTemporaryDir dir;
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        const QMimeType type = QMimeDatabase().mimeTypeForFile(file.fileName());
        QCOMPARE(type.name() == QLatin1String("application/x-quillon-grid"), grid);
    }

    void debianPackageHoldsWhatTheDesktopNeeds()
    {
        QTemporaryDir out;
        const Run built = run(QStringLiteral("cpack"),
                              {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("-B"), out.path(),
                               QStringLiteral("--config"), QStringLiteral(QUILLON_BINARY_DIR "/CPackConfig.cmake")},
                              QStringLiteral(QUILLON_BINARY_DIR), 600000);
        QVERIFY2(built.exitCode == 0, qPrintable(built.output));
        const QStringList packages = QDir(out.path()).entryList({QStringLiteral("*.deb")});
        QCOMPARE(packages.size(), 1);
        const QString deb = out.filePath(packages.first());

        const Run listed = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), deb});
        QCOMPARE(listed.exitCode, 0);
        for (const char* path : {"./usr/bin/quillon", "./usr/bin/quillon-grid", "./usr/bin/quillon-grab",
                                 "./usr/share/applications/org.quillon.Quillon.desktop",
                                 "./usr/share/icons/hicolor/scalable/apps/org.quillon.Quillon.svg",
                                 "./usr/share/mime/packages/org.quillon.Quillon.xml",
                                 "./usr/share/metainfo/org.quillon.Quillon.metainfo.xml",
                                 "./usr/share/quillon/stpl88.bin"})
            QVERIFY2(listed.output.contains(QLatin1String(path)), path);
        QVERIFY2(!listed.output.contains(QLatin1String("/bin/Test")), "tests are not installed");

        const Run depends = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QStringLiteral("Depends")});
        QCOMPARE(depends.exitCode, 0);
        // Found by dpkg-shlibdeps from the programs themselves, and the plugins named.
        for (const char* package : {"libqt6widgets6", "libqt6webenginewidgets6", "libc6", "qt6-qpa-plugins"})
            QVERIFY2(depends.output.contains(QLatin1String(package)), qPrintable(depends.output));
    }
};

QTEST_GUILESS_MAIN(TestDesktopIntegration)
#include "TestDesktopIntegration.moc"

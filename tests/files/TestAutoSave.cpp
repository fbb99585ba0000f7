// Autosave and recovery in the program's main window: the recovery file is written
// while the document has unsaved changes and goes when it has none; a Quillon killed
// after its edits has them offered back at the next start.
//
// The killed Quillon is this test program run again as a child (QUILLON_AUTOSAVE_CHILD
// names its folder): it opens the real window, makes its edits through the window and
// waits for its autosave; the test then kills it with SIGKILL.

#include "app/MainWindow.h"
#include "files/AutoSave.h"
#include "files/FileMenuController.h"
#include "files/GridFile.h"
#include "files/RecoveryFile.h"
#include "sheet/RecordSheet.h"
#include "shell/AppPaths.h"
#include "shell/MainModel.h"
#include "shell/SettingsStore.h"
#include "shell/UndoHistory.h"
#include "testsupport/TestPlatform.h"
#include "ui/SheetView.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <memory>
#include <signal.h>

using namespace quillon;

namespace {

const char* const kChildVariable = "QUILLON_AUTOSAVE_CHILD";

/** An in-place edit of sheet cell (row, col), as typing in the sheet makes it. */
bool typeInSheet(MainWindow& window, int row, int col, const QString& text)
{
    QAbstractItemModel* m = window.sheetView()->model();
    return m->setData(m->index(row - 1, col), text, Qt::EditRole);
}

FileMenuController& fileMenu(MainWindow& window)
{
    return *window.findChild<FileMenuController*>();
}

void writeText(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

/** The files of the recovery folder. */
QStringList recoveryFiles()
{
    return QDir(RecoveryFile::folder()).entryList(QDir::Files, QDir::Name);
}

QList<QStringList> rowsOf(const RecordSheet& s)
{
    QList<QStringList> rows;
    for (int r = 0; r < s.rows(); ++r) {
        QStringList row;
        for (int c = 0; c < s.cols(); ++c)
            row << s.text(r, c);
        rows << row;
    }
    return rows;
}

/** The files the killed Quillon opens and appends, in @p dir. */
void writeChildFiles(const QString& dir)
{
    writeText(dir + QStringLiteral("/list.csv"), "Name,Street,City\r\nSmith,1 Elm St,Salem\r\nJones,2 Oak Ave,Eugene\r\n");
    RecordSheet more;
    more.setCols(3);
    more.setRows(2);
    more.setTitle(0, QStringLiteral("Name"));
    more.setTitle(1, QStringLiteral("Street"));
    more.setTitle(2, QStringLiteral("City"));
    more.setText(1, 0, QStringLiteral("Brown"));
    more.setText(1, 1, QStringLiteral("3 Pine Rd"));
    more.setText(1, 2, QStringLiteral("Bend"));
    QVERIFY(SaveGrid(dir + QStringLiteral("/more.vty"), FormatNative, more));
}

/** The child: opens list.csv, edits two cells, appends more.vty, and once its autosave
 *  has written all of it says "ready" and waits to be killed. */
int runChild(const QString& dir)
{
    AppPaths::setUserDataFolder(dir + QStringLiteral("/user"));
    SettingsStore settings(dir + QStringLiteral("/child.ini"));
    settings.WriteSettingText(AutoSave::settingName(), QStringLiteral("0.02")); // 1.2 s
    TestPlatform platform;
    MainWindow window(settings, platform);
    window.show();
    FileMenuController& files = fileMenu(window);
    files.commands().openPath(dir + QStringLiteral("/list.csv"));
    if (!typeInSheet(window, 1, 2, QStringLiteral("Salem, OR")) ||
        !typeInSheet(window, 2, 0, QStringLiteral("Jones & Sons")))
        return 2;
    platform.openAnswers.enqueue(dir + QStringLiteral("/more.vty"));
    window.action(QStringLiteral("mnuAppend"))->trigger();
    // Everything is done before the timer's first write.
    QObject::connect(&files.autoSave(), &AutoSave::recoveryWritten, [](const QString& path) {
        std::printf("ready %s\n", qPrintable(path));
        std::fflush(stdout);
    });
    return QApplication::exec();
}

} // namespace

class TestAutoSave : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<TestPlatform> m_platform;
    std::unique_ptr<MainWindow> m_window;

    MainModel& model() { return m_window->model(); }
    AutoSave& autoSave() { return fileMenu(*m_window).autoSave(); }
    DocumentCommands& commands() { return fileMenu(*m_window).commands(); }
    QString path(const char* name) const { return m_dir->filePath(QString::fromUtf8(name)); }
    void trigger(const char* name)
    {
        QAction* a = m_window->action(QString::fromLatin1(name));
        QVERIFY2(a, name);
        a->trigger();
    }
    /** A new start of the window in the same folders. */
    void restart()
    {
        m_window.reset();
        m_platform = std::make_unique<TestPlatform>();
        m_window = std::make_unique<MainWindow>(*m_settings, *m_platform);
        m_window->setEndAction([] {});
        m_window->show();
    }
    /** Writes a recovery file as the ended process @p pid would have left it. */
    QString leaveRecoveryFile(qint64 pid, const RecoveryInfo& info, const RecordSheet& sheet)
    {
        ProcessStamp owner = ProcessStamp::current();
        owner.pid = pid;
        owner.startTicks += 1; // whatever runs under pid now is another process
        const QString file = RecoveryFile::pathFor(owner);
        if (!RecoveryFile::save(file, info, sheet))
            return {};
        return file;
    }
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

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        AppPaths::setUserDataFolder(path("user"));
        m_settings = std::make_unique<SettingsStore>(path("quillon.ini"));
        m_platform = std::make_unique<TestPlatform>();
        m_window = std::make_unique<MainWindow>(*m_settings, *m_platform);
        m_window->setEndAction([] {});
        m_window->show();
    }
    void cleanup()
    {
        m_window.reset();
        m_platform.reset();
        m_settings.reset();
        m_dir.reset();
    }

    void readsItsIntervalFromTheSettings_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<int>("milliseconds");
        QTest::newRow("not set") << QString() << 2 * 60 * 1000;
        QTest::newRow("off") << QStringLiteral("0") << 0;
        QTest::newRow("ten minutes") << QStringLiteral("10") << 10 * 60 * 1000;
        QTest::newRow("nonsense") << QStringLiteral("soon") << 2 * 60 * 1000;
    }
    void readsItsIntervalFromTheSettings()
    {
        QFETCH(QString, setting);
        QFETCH(int, milliseconds);
        m_settings->WriteSettingText(QStringLiteral("AutoSaveMinutes"), setting);
        restart();
        QCOMPARE(autoSave().interval(), milliseconds);
    }

    void writesOnlyWhileModified()
    {
        QSignalSpy written(&autoSave(), &AutoSave::recoveryWritten);
        autoSave().setInterval(50);
        // Nothing to keep: several ticks pass without a file.
        QTest::qWait(300);
        QCOMPARE(written.count(), 0);
        QVERIFY(recoveryFiles().isEmpty());

        QVERIFY(typeInSheet(*m_window, 3, 0, QStringLiteral("Ortiz Plumbing")));
        QVERIFY(model().document().IsModified());
        QVERIFY(written.wait(5000));
        QCOMPARE(written.first().first().toString(), autoSave().recoveryPath());
        QCOMPARE(recoveryFiles(), QStringList{QFileInfo(autoSave().recoveryPath()).fileName()});
        QVERIFY(autoSave().recoveryPath().startsWith(path("user/recovery/")));
        QCOMPARE(QFileInfo(model().document().DocumentName()).fileName(), QStringLiteral("Untitled1.vty"));
        QVERIFY(!QFileInfo::exists(model().document().DocumentName())); // never over the document's file

        RecordSheet back;
        RecoveryInfo info;
        QVERIFY(RecoveryFile::load(autoSave().recoveryPath(), &info, back));
        QCOMPARE(back.text(3, 0), QStringLiteral("Ortiz Plumbing"));
        QVERIFY(info.untitled);
        QCOMPARE(info.pid, QCoreApplication::applicationPid());

        // A later edit reaches the file at the next tick.
        QVERIFY(typeInSheet(*m_window, 4, 1, QStringLiteral("12 Main St")));
        QVERIFY(written.wait(5000));
        QVERIFY(RecoveryFile::load(autoSave().recoveryPath(), &info, back));
        QCOMPARE(back.text(4, 1), QStringLiteral("12 Main St"));
    }

    void goesWhenNothingIsLeftUnsaved_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Save As native") << QStringLiteral("save as");
        QTest::newRow("Save of a named document") << QStringLiteral("save");
        QTest::newRow("New, not saving") << QStringLiteral("new");
        QTest::newRow("Open, not saving") << QStringLiteral("open");
        QTest::newRow("closing without saving") << QStringLiteral("close");
        QTest::newRow("undo back to the saved state") << QStringLiteral("undo");
    }
    void goesWhenNothingIsLeftUnsaved()
    {
        QFETCH(QString, how);
        const QString saved = path("saved.vty");
        if (how == QLatin1String("save") || how == QLatin1String("undo")) {
            m_platform->saveAnswers.enqueue(saved);
            trigger("mnuSaveAsVTY");
            QCOMPARE(model().document().DocumentName(), saved);
        }
        QVERIFY(typeInSheet(*m_window, 1, 0, QStringLiteral("Avery Florists")));
        autoSave().saveNow();
        QVERIFY(QFileInfo::exists(autoSave().recoveryPath()));

        if (how == QLatin1String("save as")) {
            m_platform->saveAnswers.enqueue(saved);
            trigger("mnuSaveAsVTY");
        } else if (how == QLatin1String("save")) {
            trigger("mnuSave");
        } else if (how == QLatin1String("new")) {
            m_platform->messageAnswers.enqueue(Platform::No);
            trigger("mnuNew");
        } else if (how == QLatin1String("open")) {
            RecordSheet other;
            other.setCols(1);
            other.setRows(2);
            other.setText(1, 0, QStringLiteral("other"));
            QVERIFY(SaveGrid(path("other.vty"), FormatNative, other));
            m_platform->messageAnswers.enqueue(Platform::No);
            m_platform->openAnswers.enqueue(path("other.vty"));
            trigger("mnuOpenA");
            QCOMPARE(model().sheet().text(1, 0), QStringLiteral("other"));
        } else if (how == QLatin1String("close")) {
            m_platform->messageAnswers.enqueue(Platform::No);
            QVERIFY(m_window->close());
        } else {
            trigger("mnuUndoEdit");
        }
        if (how == QLatin1String("close"))
            QVERIFY(!m_window->isVisible()); // closed, its changes dropped by choice
        else
            QVERIFY(!model().document().IsModified());
        QVERIFY2(recoveryFiles().isEmpty(), qPrintable(recoveryFiles().join(u' ')));
    }

    // Cancel at the close prompt keeps the window and the file.
    void staysWhenClosingIsCancelled()
    {
        QVERIFY(typeInSheet(*m_window, 1, 0, QStringLiteral("Avery Florists")));
        autoSave().saveNow();
        m_platform->messageAnswers.enqueue(Platform::Cancel);
        QVERIFY(!m_window->close());
        QVERIFY(QFileInfo::exists(autoSave().recoveryPath()));
    }

    void waitsWhileAFileCommandHoldsTheSheet()
    {
        QVERIFY(typeInSheet(*m_window, 1, 0, QStringLiteral("Avery Florists")));
        QSignalSpy written(&autoSave(), &AutoSave::recoveryWritten);
        model().setSheetHeld(true);
        autoSave().saveNow();
        QCOMPARE(written.count(), 0);
        QVERIFY(!QFileInfo::exists(autoSave().recoveryPath()));
        model().setSheetHeld(false);
        QCOMPARE(written.count(), 1);
        QVERIFY(QFileInfo::exists(autoSave().recoveryPath()));
    }

    // A large sheet is copied and the copy written on the worker thread: edits made
    // meanwhile wait for the next write, and a file no longer wanted when the write
    // ends is removed.
    void writesALargeSheetOnTheWorkerThread()
    {
        autoSave().setBackgroundThreshold(0);
        QVERIFY(typeInSheet(*m_window, 1, 0, QStringLiteral("before")));
        QSignalSpy written(&autoSave(), &AutoSave::recoveryWritten);
        autoSave().saveNow();
        QVERIFY(autoSave().isWriting());
        QVERIFY(typeInSheet(*m_window, 1, 0, QStringLiteral("after")));
        QVERIFY(written.wait(10000));
        RecordSheet back;
        QVERIFY(RecoveryFile::load(autoSave().recoveryPath(), nullptr, back));
        QCOMPARE(back.text(1, 0), QStringLiteral("before"));

        autoSave().saveNow();
        QVERIFY(autoSave().isWriting());
        QSignalSpy removed(&autoSave(), &AutoSave::recoveryRemoved);
        m_platform->saveAnswers.enqueue(path("saved.vty"));
        trigger("mnuSaveAsVTY");
        QVERIFY(removed.count() > 0 || removed.wait(10000));
        QTRY_VERIFY(!autoSave().isWriting());
        QVERIFY(recoveryFiles().isEmpty());
    }

    void reportsAFailedWriteOnce()
    {
        // The recovery folder cannot be made: a file stands in its place.
        QVERIFY(QDir().mkpath(path("user")));
        writeText(path("user/recovery"), "in the way");
        QVERIFY(typeInSheet(*m_window, 1, 0, QStringLiteral("Avery Florists")));
        QSignalSpy failed(&autoSave(), &AutoSave::recoveryFailed);
        autoSave().saveNow();
        autoSave().saveNow();
        QCOMPARE(failed.count(), 2);
        QCOMPARE(m_platform->messages.size(), 1);
        QCOMPARE(m_platform->messages[0].caption, QStringLiteral("AutoSave"));
        QVERIFY(m_platform->messages[0].text.contains(QDir::toNativeSeparators(autoSave().recoveryPath())));
        QCOMPARE(model().sheet().text(1, 0), QStringLiteral("Avery Florists"));
        QVERIFY(model().document().IsModified());
    }

    // The killed Quillon's edits come back at the next start, under the document's own
    // name and type, modified, with an empty undo history; Save then writes its file.
    void bringsBackTheEditsOfAKilledQuillon()
    {
        writeChildFiles(m_dir->path());
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kChildVariable), m_dir->path());
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForStarted());
        QByteArray out;
        while (!out.contains('\n') && child.state() == QProcess::Running) {
            child.waitForReadyRead(60000);
            out += child.readAllStandardOutput();
        }
        QVERIFY2(out.startsWith("ready "), out.constData());
        const QString left = QString::fromUtf8(out.mid(6).trimmed());
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QVERIFY(QFileInfo::exists(left));
        QVERIFY(left.startsWith(path("user/recovery/")));

        // The next start: the question, once.
        restart();
        QVERIFY(fileMenu(*m_window).offerRecovery());
        QCOMPARE(m_platform->messages.size(), 1);
        QCOMPARE(m_platform->messages[0].caption, QStringLiteral("Recover"));
        QVERIFY(m_platform->messages[0].text.contains(QDir::toNativeSeparators(path("list.csv"))));

        const QList<QStringList> expected = {
            {QStringLiteral("Name"), QStringLiteral("Street"), QStringLiteral("City")},
            {QStringLiteral("Smith"), QStringLiteral("1 Elm St"), QStringLiteral("Salem, OR")},
            {QStringLiteral("Jones & Sons"), QStringLiteral("2 Oak Ave"), QStringLiteral("Eugene")},
            {QStringLiteral("Brown"), QStringLiteral("3 Pine Rd"), QStringLiteral("Bend")},
        };
        QCOMPARE(rowsOf(model().sheet()), expected);
        Document& doc = model().document();
        QCOMPARE(doc.DocumentName(), path("list.csv"));
        QCOMPARE(doc.DocumentType(), int(Document::Comma));
        QVERIFY(doc.IsModified());
        QVERIFY(doc.isSaveEnabled());
        QVERIFY(!doc.ClearBeforeGrab());
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Quillon -- ") + path("list.csv"));
        QCOMPARE(model().history().count(), 0);
        QVERIFY(m_window->action(QStringLiteral("mnuSave"))->isEnabled());
        // The file is this process's now, and no other is left.
        QCOMPARE(recoveryFiles(), QStringList{QFileInfo(autoSave().recoveryPath()).fileName()});

        // Save writes the comma text it was opened from, and the copy goes.
        trigger("mnuSave");
        RecordSheet saved;
        QVERIFY(LoadGrid(path("list.csv"), FormatComma, saved));
        QCOMPARE(rowsOf(saved), expected);
        QVERIFY(recoveryFiles().isEmpty());

        // Asked once: a further start finds nothing.
        restart();
        QVERIFY(!fileMenu(*m_window).offerRecovery());
        QVERIFY(m_platform->messages.isEmpty());
    }

    void recoversTheDocumentAsItWas_data()
    {
        QTest::addColumn<QString>("name"); // empty: untitled
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("saveEnabled");
        QTest::addColumn<QString>("title");
        QTest::newRow("untitled") << QString() << 2 << false << QStringLiteral("Quillon -- Untitled1.vty");
        QTest::newRow("untitled, Save offered") << QString() << 2 << true << QStringLiteral("Quillon -- Untitled1.vty");
        QTest::newRow("grid file") << QStringLiteral("shops.vty") << 2 << true << QString();
        QTest::newRow("tab text") << QStringLiteral("shops.txt") << 4 << true << QString();
        QTest::newRow("spreadsheet") << QStringLiteral("shops.xlsx") << 7 << true << QString();
        QTest::newRow("vCard") << QStringLiteral("shops.vcf") << 6 << true << QString();
    }
    void recoversTheDocumentAsItWas()
    {
        QFETCH(QString, name);
        QFETCH(int, type);
        QFETCH(bool, saveEnabled);
        QFETCH(QString, title);
        const QString file = name.isEmpty() ? QString() : path(name.toUtf8().constData());
        RecordSheet sheet;
        sheet.setCols(2);
        sheet.setRows(3);
        sheet.setTitle(0, QStringLiteral("Name"));
        sheet.setTitle(1, QStringLiteral("Phone"));
        sheet.setText(1, 0, QStringLiteral("Grace Hopper"));
        sheet.setText(2, 1, QStringLiteral("555-0199"));
        RecoveryInfo info;
        info.documentName = file.isEmpty() ? model().document().UntitledPath() : file;
        info.documentType = type;
        info.untitled = file.isEmpty();
        info.saveEnabled = saveEnabled;
        info.written = QDateTime::currentDateTimeUtc();
        const QString left = leaveRecoveryFile(endedProcessId(), info, sheet);
        QVERIFY(!left.isEmpty());

        m_platform->messageAnswers.enqueue(Platform::Yes);
        QVERIFY(fileMenu(*m_window).offerRecovery());
        Document& doc = model().document();
        QCOMPARE(rowsOf(model().sheet()), rowsOf(sheet));
        QCOMPARE(doc.isUntitled(), file.isEmpty());
        if (!file.isEmpty())
            QCOMPARE(doc.DocumentName(), file);
        QCOMPARE(doc.DocumentType(), type);
        QVERIFY(doc.IsModified());
        QCOMPARE(doc.isSaveEnabled(), saveEnabled);
        QCOMPARE(m_window->windowTitle(), title.isEmpty() ? QStringLiteral("Quillon -- ") + file : title);
        QVERIFY(!QFileInfo::exists(left));
        QVERIFY(QFileInfo::exists(autoSave().recoveryPath()));
        m_platform->messages.clear();

        // Save behaves as it would have for that document.
        if (file.isEmpty()) {
            // Untitled: the prompt's Yes saves through Save As.
            m_platform->messageAnswers.enqueue(Platform::Yes);
            m_platform->saveAnswers.enqueue(path("chosen.vty"));
            trigger("mnuNew");
            QCOMPARE(m_platform->saveRequests.size(), 1);
            QVERIFY(QFileInfo::exists(path("chosen.vty")));
        } else if (type == Document::Xlsx || type == Document::VCard) {
            // Saving over a spreadsheet or vCard file asks first; No saves over it.
            m_platform->messageAnswers.enqueue(Platform::No);
            trigger("mnuSave");
            QCOMPARE(m_platform->messages.size(), 1);
            QCOMPARE(m_platform->messages[0].caption, QStringLiteral("Save"));
            RecordSheet back;
            QVERIFY(LoadGrid(file, type == Document::Xlsx ? FormatXlsx : FormatVCard, back));
            QVERIFY(m_platform->saveRequests.isEmpty());
        } else {
            trigger("mnuSave");
            RecordSheet back;
            QVERIFY(LoadGrid(file, type == Document::Tab ? FormatTab : FormatNative, back));
            QCOMPARE(back.text(1, 0), QStringLiteral("Grace Hopper"));
            QVERIFY(m_platform->saveRequests.isEmpty());
        }
        QVERIFY(!doc.IsModified());
        QVERIFY(recoveryFiles().isEmpty());
    }

    void noDeletesTheFile()
    {
        RecordSheet sheet;
        sheet.setCols(1);
        sheet.setRows(2);
        sheet.setText(1, 0, QStringLiteral("discarded"));
        RecoveryInfo info;
        info.documentName = model().document().UntitledPath();
        const QString left = leaveRecoveryFile(endedProcessId(), info, sheet);
        m_platform->messageAnswers.enqueue(Platform::No);
        QVERIFY(!fileMenu(*m_window).offerRecovery());
        QCOMPARE(m_platform->messages.size(), 1);
        QVERIFY(!QFileInfo::exists(left));
        QVERIFY(recoveryFiles().isEmpty());
        QVERIFY(!model().document().IsModified());
        QVERIFY(model().sheet().text(1, 0).isEmpty());
    }

    // The file of a Quillon still running is its own: not offered, not touched.
    void leavesTheFileOfARunningQuillon()
    {
        QProcess other;
        other.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        QVERIFY(other.waitForStarted());
        const ProcessStamp owner = ProcessStamp::running(other.processId());
        QVERIFY(owner.pid > 0);
        RecordSheet sheet;
        sheet.setCols(1);
        sheet.setRows(2);
        sheet.setText(1, 0, QStringLiteral("still being edited"));
        RecoveryInfo info;
        info.documentName = model().document().UntitledPath();
        const QString theirs = RecoveryFile::pathFor(owner);
        QVERIFY(RecoveryFile::save(theirs, info, sheet));
        const QByteArray before = [&] {
            QFile f(theirs);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();

        QVERIFY(!fileMenu(*m_window).offerRecovery());
        QVERIFY(m_platform->messages.isEmpty());
        QFile after(theirs);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), before);
        QVERIFY(model().sheet().text(1, 0).isEmpty());
        other.kill();
        other.waitForFinished();
    }

    void keepsADamagedFileAside_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("not a recovery file\n");
        QTest::newRow("cut short") << QByteArray("\x89QRV\r\n\x1A\n\x01\x00\x00\x00\x40\x00\x00\x00{\"documentName\"", 30);
    }
    void keepsADamagedFileAside()
    {
        QFETCH(QByteArray, bytes);
        ProcessStamp dead = ProcessStamp::current();
        dead.pid = endedProcessId();
        const QString left = RecoveryFile::pathFor(dead);
        QVERIFY(QDir().mkpath(RecoveryFile::folder()));
        writeText(left, bytes);

        QVERIFY(!fileMenu(*m_window).offerRecovery());
        QCOMPARE(m_platform->messages.size(), 1);
        QCOMPARE(m_platform->messages[0].caption, QStringLiteral("Recover"));
        QCOMPARE(m_platform->messages[0].buttons, int(Platform::Ok));
        const QString aside = left + QStringLiteral(".damaged");
        QVERIFY(m_platform->messages[0].text.contains(QDir::toNativeSeparators(aside)));
        QVERIFY(!QFileInfo::exists(left));
        QFile kept(aside);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), bytes);
        QVERIFY(!model().document().IsModified());

        // Kept aside, it is not reported again.
        m_platform->messages.clear();
        QVERIFY(!fileMenu(*m_window).offerRecovery());
        QVERIFY(m_platform->messages.isEmpty());
    }
};

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    if (qEnvironmentVariableIsSet(kChildVariable))
        return runChild(qEnvironmentVariable(kChildVariable));
    TestAutoSave tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "TestAutoSave.moc"

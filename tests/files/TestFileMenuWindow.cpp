// The File commands in the program's main window.

#include "shell/AppPaths.h"
#include "shell/MainModel.h"
#include "app/MainWindow.h"
#include "shell/SettingsStore.h"
#include "files/GridFile.h"
#include "sheet/RecordSheet.h"
#include "testsupport/TestPlatform.h"
#include "testsupport/WidgetTestMain.h"
#include "ui/SheetView.h"

#include <QAction>
#include <QFile>
#include <QHeaderView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace quillon;

class TestFileMenuWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<TestPlatform> m_platform;
    std::unique_ptr<MainWindow> m_window;
    int m_ended = 0;

    MainModel& model() { return m_window->model(); }
    void trigger(const char* name)
    {
        QAction* a = m_window->action(QString::fromLatin1(name));
        QVERIFY2(a, name);
        a->trigger();
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        AppPaths::setUserDataFolder(m_dir->filePath(QStringLiteral("user")));
        m_settings = std::make_unique<SettingsStore>(m_dir->filePath(QStringLiteral("quillon.ini")));
        m_platform = std::make_unique<TestPlatform>();
        m_window = std::make_unique<MainWindow>(*m_settings, *m_platform);
        m_ended = 0;
        m_window->setEndAction([this] { ++m_ended; });
        m_window->show();
    }
    void cleanup()
    {
        m_window.reset();
        m_platform.reset();
        m_settings.reset();
        m_dir.reset();
    }

    void startsWithAnUntitledDocumentWithoutAsking()
    {
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Quillon -- Untitled1.vty"));
        QCOMPARE(model().document().DocumentName(), m_dir->filePath(QStringLiteral("user/Untitled1.vty")));
        QCOMPARE(model().sheet().rows(), 21);
        QVERIFY(model().document().ClearBeforeGrab());
        QVERIFY(!m_window->action(QStringLiteral("mnuSave"))->isEnabled());
        QVERIFY(!m_window->action(QStringLiteral("tb0.Save"))->isEnabled());
        QVERIFY(m_platform->messages.isEmpty());
    }

    void openFromTheToolbarDropDownAndSave()
    {
        const QString csv = m_dir->filePath(QStringLiteral("list.csv"));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Name,City\r\nSmith,Salem\r\n");
        f.close();
        m_platform->openAnswers.enqueue(csv);
        trigger("tb0.OPEN_CSV");
        QCOMPARE(m_platform->openRequests.last().filters.first(), QStringLiteral("Comma Delimited Files (*.csv)"));
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Quillon -- ") + csv);
        QCOMPARE(model().sheet().text(1, 1), QStringLiteral("Salem"));
        QCOMPARE(model().panels().text(MainModel::ModePanel), QStringLiteral("ROW"));
        model().sheet().setText(1, 1, QStringLiteral("Salem, OR"));
        model().document().MarkEdited(true);
        QVERIFY(m_window->action(QStringLiteral("tb0.Save"))->isEnabled());
        trigger("tb0.Save");
        QVERIFY(!m_window->action(QStringLiteral("mnuSave"))->isEnabled());
        RecordSheet back;
        QVERIFY(LoadGrid(csv, FormatComma, back));
        QCOMPARE(back.text(1, 1), QStringLiteral("Salem, OR"));
    }

    void anOpenedFileShowsItsFirstColumn()
    {
        // A list wider than the window, opened in row mode: the first column is in view.
        const QString csv = m_dir->filePath(QStringLiteral("wide.csv"));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray titles = "Name";
        QByteArray record = "Harris Teeter";
        for (int c = 1; c < 14; ++c) {
            titles += ",Column " + QByteArray::number(c);
            record += ",value " + QByteArray::number(c);
        }
        f.write(titles + "\r\n" + record + "\r\n" + record + "\r\n");
        f.close();
        m_window->resize(800, 600);
        model().setCurrentPage(MainModel::ResultsPage);
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_platform->openAnswers.enqueue(csv);
        trigger("tb0.OPEN_CSV");
        QCOMPARE(model().sheet().text(1, 0), QStringLiteral("Harris Teeter"));
        QCoreApplication::processEvents();
        SheetView* view = m_window->sheetView();
        QVERIFY(view->horizontalHeader()->length() > view->viewport()->width());
        QCOMPARE(view->horizontalScrollBar()->value(), 0);
        QVERIFY(view->viewport()->rect().contains(view->visualRect(view->model()->index(0, 0)).center()));
    }

    void exitAsksOnceAndEnds_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("mnuExit") << QStringLiteral("mnuExit");
        QTest::newRow("mnuFileBexit") << QStringLiteral("mnuFileBexit");
        QTest::newRow("closing the window") << QString();
    }
    void exitAsksOnceAndEnds()
    {
        QFETCH(QString, how);
        const auto exit = [&] {
            if (how.isEmpty())
                m_window->close();
            else
                m_window->action(how)->trigger();
        };
        model().setCurrentPage(MainModel::BrowserPage);
        model().sheet().setText(2, 0, QStringLiteral("typed"));
        model().document().MarkEdited(true);
        m_platform->messageAnswers.enqueue(Platform::Cancel);
        exit();
        QCOMPARE(m_platform->messages.size(), 1);
        QCOMPARE(m_platform->messages[0].caption, QStringLiteral("Exit"));
        QCOMPARE(model().currentPage(), int(MainModel::ResultsPage));
        QVERIFY(m_window->isVisible());
        QCOMPARE(m_ended, 0);

        m_platform->messageAnswers.enqueue(Platform::Yes);
        m_platform->saveAnswers.enqueue(m_dir->filePath(QStringLiteral("kept.vty")));
        exit();
        QCOMPARE(m_platform->messages.size(), 2);
        QCOMPARE(m_ended, 1);
        QVERIFY(!m_window->isVisible());
        RecordSheet back;
        QVERIFY(LoadGrid(m_dir->filePath(QStringLiteral("kept.vty")), FormatNative, back));
        QCOMPARE(back.text(2, 0), QStringLiteral("typed"));
    }
};

QUILLON_WIDGET_TEST_MAIN(TestFileMenuWindow)
#include "TestFileMenuWindow.moc"

#include "shell/MainModel.h"
#include "shell/SettingsStore.h"
#include "files/FileMenuController.h"
#include "files/GridFile.h"
#include "files/Xxh64.h"
#include "sheet/RecordSheet.h"
#include "testsupport/TestPlatform.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <memory>

using namespace quillon;

class TestFileMenuController : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<TestPlatform> m_platform;
    std::unique_ptr<MainModel> m_model;
    std::unique_ptr<QWidget> m_window;
    QHash<QString, QAction*> m_actions;
    std::unique_ptr<FileMenuController> m_controller;

    void trigger(const QString& name)
    {
        QVERIFY2(m_actions.contains(name), qPrintable(name));
        m_actions[name]->trigger();
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_settings = std::make_unique<SettingsStore>(m_dir->filePath(QStringLiteral("settings.ini")));
        m_platform = std::make_unique<TestPlatform>();
        m_model = std::make_unique<MainModel>(*m_settings, *m_platform, m_dir->filePath(QStringLiteral("Untitled1.vty")));
        m_window = std::make_unique<QWidget>();
        m_actions.clear();
        for (const char* name : {"mnuNew", "mnuOpenA", "mnuAppend", "mnuSave", "mnuSaveAsVTY", "mnuSaveAsComma",
                                 "mnuSaveAsTab", "mnuSaveAsSpreadsheetCsv", "mnuSaveAsXlsx", "mnuSaveAsVCard",
                                 "mnuExit", "mnuFileBexit", "tb0.New", "tb0.Open", "tb0.Save", "tb0.OPEN_VTY",
                                 "tb0.OPEN_CSV", "tb0.OPEN_TXT", "tb0.OPEN_XLSX", "tb0.OPEN_VCF"}) {
            auto* a = new QAction(QString::fromLatin1(name), m_window.get());
            m_actions.insert(QString::fromLatin1(name), a);
        }
        m_controller = std::make_unique<FileMenuController>(*m_model, m_window.get(),
                                                            [this](const QString& n) { return m_actions.value(n); });
        m_controller->commands().StartupNew();
        m_window->show();
    }
    void cleanup()
    {
        m_controller.reset();
        m_window.reset();
        m_model.reset();
        m_platform.reset();
        m_settings.reset();
        m_dir.reset();
    }

    void actionsRunTheirCommands_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<bool>("save");
        QTest::newRow("mnuOpenA") << QStringLiteral("mnuOpenA") << QStringLiteral("Vantry Files (*.vty)") << false;
        QTest::newRow("tb0.Open") << QStringLiteral("tb0.Open") << QStringLiteral("Vantry Files (*.vty)") << false;
        QTest::newRow("OPEN_VTY") << QStringLiteral("tb0.OPEN_VTY") << QStringLiteral("Vantry Files (*.vty)") << false;
        QTest::newRow("OPEN_CSV") << QStringLiteral("tb0.OPEN_CSV") << QStringLiteral("Comma Delimited Files (*.csv)")
                                  << false;
        QTest::newRow("OPEN_TXT") << QStringLiteral("tb0.OPEN_TXT") << QStringLiteral("Tab Delimited Files (*.txt)")
                                  << false;
        QTest::newRow("mnuAppend") << QStringLiteral("mnuAppend") << QStringLiteral("Grid Files (*.vty)") << false;
        QTest::newRow("mnuSaveAsVTY") << QStringLiteral("mnuSaveAsVTY") << QStringLiteral("Vantry Files (*.vty)") << true;
        QTest::newRow("mnuSaveAsComma") << QStringLiteral("mnuSaveAsComma")
                                        << QStringLiteral("Comma Delimited Text Files (*.csv)") << true;
        QTest::newRow("mnuSaveAsTab") << QStringLiteral("mnuSaveAsTab")
                                      << QStringLiteral("Tab Delimited Text Files (*.txt)") << true;
        QTest::newRow("OPEN_XLSX") << QStringLiteral("tb0.OPEN_XLSX") << QStringLiteral("Spreadsheet Files (*.xlsx)")
                                   << false;
        QTest::newRow("OPEN_VCF") << QStringLiteral("tb0.OPEN_VCF") << QStringLiteral("vCard Files (*.vcf)") << false;
        QTest::newRow("mnuSaveAsSpreadsheetCsv")
            << QStringLiteral("mnuSaveAsSpreadsheetCsv")
            << QStringLiteral("Comma Delimited Text Files for Spreadsheets (*.csv)") << true;
        QTest::newRow("mnuSaveAsXlsx") << QStringLiteral("mnuSaveAsXlsx") << QStringLiteral("Spreadsheet Files (*.xlsx)")
                                       << true;
        QTest::newRow("mnuSaveAsVCard") << QStringLiteral("mnuSaveAsVCard") << QStringLiteral("vCard Files (*.vcf)")
                                        << true;
    }
    void actionsRunTheirCommands()
    {
        QFETCH(QString, action);
        QFETCH(QString, filter);
        QFETCH(bool, save);
        trigger(action);
        const auto& requests = save ? m_platform->saveRequests : m_platform->openRequests;
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests[0].filters.first(), filter);
    }

    void newAndSaveFromMenuAndToolbar()
    {
        m_model->sheet().setText(1, 0, QStringLiteral("x"));
        m_model->document().MarkEdited(true);
        m_platform->messageAnswers.enqueue(Platform::Cancel);
        trigger(QStringLiteral("tb0.New"));
        QCOMPARE(m_platform->messages.last().caption, QStringLiteral("New"));
        QCOMPARE(m_model->sheet().text(1, 0), QStringLiteral("x"));
        m_platform->messageAnswers.enqueue(Platform::No);
        trigger(QStringLiteral("mnuNew"));
        QCOMPARE(m_model->sheet().text(1, 0), QString());
        m_model->document().MakeModified(true);
        trigger(QStringLiteral("tb0.Save"));
        QVERIFY(QFile::exists(m_model->document().UntitledPath()));
    }

    void exitClosesTheWindow()
    {
        QVERIFY(m_window->isVisible());
        trigger(QStringLiteral("mnuFileBexit"));
        QVERIFY(!m_window->isVisible());
    }

    void moreThanASheetHoldsIsRefusedFromTheMenu_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("reason");
        // 48 bytes claiming 2147483647 rows: before, Append left the sheet its header row.
        QTest::newRow("mnuAppend") << QStringLiteral("mnuAppend") << QStringLiteral("Append")
                                   << QStringLiteral("2147483647 rows");
        QTest::newRow("mnuOpenA") << QStringLiteral("mnuOpenA") << QStringLiteral("Open File")
                                  << QStringLiteral("2147483647 rows");
        // A line of 30000000 commas: before, it ended the program on the worker thread.
        QTest::newRow("OPEN_CSV") << QStringLiteral("tb0.OPEN_CSV") << QStringLiteral("Open File")
                                  << QStringLiteral("columns");
    }
    void moreThanASheetHoldsIsRefusedFromTheMenu()
    {
        QFETCH(QString, action);
        QFETCH(QString, caption);
        QFETCH(QString, reason);
        // A named, unchanged document of 3 records.
        RecordSheet mine;
        mine.setCols(3);
        mine.setRows(4);
        mine.setText(3, 2, QStringLiteral("last"));
        const QString named = m_dir->filePath(QStringLiteral("mine.vty"));
        QVERIFY(SaveGrid(named, FormatNative, mine));
        m_platform->openAnswers.enqueue(named);
        trigger(QStringLiteral("mnuOpenA"));
        QCOMPARE(m_model->sheet().rows(), 4);

        QString file;
        if (action == QLatin1String("tb0.OPEN_CSV")) {
            file = m_dir->filePath(QStringLiteral("wide.csv"));
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(30000000, ',') + "\r\n");
        } else {
            file = m_dir->filePath(QStringLiteral("crafted.vty"));
            RecordSheet none;
            none.setCols(0);
            QVERIFY(SaveGrid(file, FormatNative, none));
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QByteArray bytes = f.readAll();
            QCOMPARE(bytes.size(), 48);
            bytes.replace(12, 4, QByteArray("\xff\xff\xff\x7f", 4));
            const quint64 sum = Xxh64::of(bytes.constData(), 40);
            for (int i = 0; i < 8; ++i)
                bytes[40 + i] = char((sum >> (8 * i)) & 0xff);
            QVERIFY(f.seek(0));
            f.write(bytes);
        }
        m_controller->commands().setBackgroundThreshold(0); // on the worker thread, with the progress window
        m_platform->openAnswers.enqueue(file);
        trigger(action);
        QTRY_VERIFY(!m_controller->commands().isBusy());
        QTRY_VERIFY(!m_window->findChild<QProgressDialog*>());
        QCOMPARE(m_platform->messages.size(), 1);
        QCOMPARE(m_platform->messages[0].caption, caption);
        QVERIFY2(m_platform->lastMessage().contains(file) && m_platform->lastMessage().contains(reason),
                 qPrintable(m_platform->lastMessage()));
        QCOMPARE(m_model->sheet().rows(), 4);
        QCOMPARE(m_model->sheet().cols(), 3);
        QCOMPARE(m_model->sheet().text(3, 2), QStringLiteral("last"));
        QCOMPARE(m_model->document().DocumentName(), named);
        QVERIFY(!m_model->document().IsModified());
        QVERIFY(!m_model->commands().isEnabled(QStringLiteral("mnuSave")));
    }

    void aLargeFileShowsProgress()
    {
        RecordSheet s;
        s.setCols(2);
        s.setRows(30001);
        for (int r = 0; r < s.rows(); ++r)
            s.setTextUtf8(r, 1, "a listing");
        const QString file = m_dir->filePath(QStringLiteral("big.vty"));
        QVERIFY(SaveGrid(file, FormatNative, s));
        m_controller->commands().setBackgroundThreshold(100);
        m_platform->openAnswers.enqueue(file);
        trigger(QStringLiteral("mnuOpenA"));
        auto* progress = m_window->findChild<QProgressDialog*>();
        QVERIFY(progress);
        QVERIFY(progress->isVisible());
        QCOMPARE(progress->windowModality(), Qt::WindowModal);
        QTRY_VERIFY(!m_controller->commands().isBusy());
        QTRY_VERIFY(!m_window->findChild<QProgressDialog*>());
        QCOMPARE(m_model->sheet().rows(), 30001);
    }
};

QTEST_MAIN(TestFileMenuController)
#include "TestFileMenuController.moc"

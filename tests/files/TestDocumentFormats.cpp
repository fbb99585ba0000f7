// The File commands with vCard files, spreadsheet files and comma text for
// spreadsheet programs: which format is read, and what becomes of the document.

#include "ContactFilesSupport.h"
#include "FilesTestSupport.h"
#include "files/DocumentCommands.h"
#include "shell/MainModel.h"
#include "shell/SettingsStore.h"
#include "testsupport/TestPlatform.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace quillon;
using namespace quillon::testing;

using Rows = QList<QStringList>;

class TestDocumentFormats : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<TestPlatform> m_platform;
    std::unique_ptr<MainModel> m_model;
    std::unique_ptr<DocumentCommands> m_commands;

    QString path(const QString& name) const { return m_dir->filePath(name); }
    Document& doc() { return m_model->document(); }
    RecordSheet& sheet() { return m_model->sheet(); }
    TestPlatform& platform() { return *m_platform; }

    /** A file of @p format holding two listings. */
    QString makeFile(const QString& name, int format)
    {
        RecordSheet s;
        fillSheet(s, {{QStringLiteral("Name"), QStringLiteral("Street"), QStringLiteral("City"), QStringLiteral("State"),
                       QStringLiteral("Zip Code"), QStringLiteral("Phone")},
                      {QStringLiteral("Smith Hardware"), QStringLiteral("12 Main St"), QStringLiteral("Salem"),
                       QStringLiteral("OR"), QStringLiteral("97301"), QStringLiteral("555-0100")},
                      {QStringLiteral("Åsa Öberg")}});
        const QString p = path(name);
        QString error;
        if (!SaveGrid(p, format, s, &error))
            qFatal("cannot write %s: %s", qPrintable(p), qPrintable(error));
        return p;
    }

    void openNative(const QString& name)
    {
        RecordSheet s;
        fillSheet(s, {{QStringLiteral("Name")}, {QStringLiteral("mine")}});
        s.setColumnDataType(0, TypeMoney);
        SaveGrid(path(name), FormatNative, s);
        platform().openAnswers.enqueue(path(name));
        m_commands->OpenDocument(DocumentCommands::OpenNative);
        QCOMPARE(doc().DocumentName(), path(name));
    }

    void edit(int row, int col, const QString& text)
    {
        sheet().setText(row, col, text);
        doc().MarkEdited(true);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_settings = std::make_unique<SettingsStore>(path(QStringLiteral("settings.ini")));
        m_platform = std::make_unique<TestPlatform>();
        m_model = std::make_unique<MainModel>(*m_settings, *m_platform, path(QStringLiteral("user/Untitled1.vty")));
        m_commands = std::make_unique<DocumentCommands>(*m_model);
        m_commands->StartupNew();
    }
    void cleanup()
    {
        m_commands.reset();
        m_model.reset();
        m_platform.reset();
        m_settings.reset();
        m_dir.reset();
    }

    void openReadsTheFormatChosen_data()
    {
        QTest::addColumn<int>("openFormat");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("fileFormat");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("preset");
        QTest::addColumn<int>("type");
        QTest::newRow("vCard from the drop-down") << int(DocumentCommands::OpenVCard) << QStringLiteral("a.vcf")
                                                  << int(FormatVCard) << QStringLiteral("vCard Files (*.vcf)")
                                                  << QStringLiteral("*.vcf") << 6;
        QTest::newRow("spreadsheet from the drop-down")
            << int(DocumentCommands::OpenXlsx) << QStringLiteral("a.xlsx") << int(FormatXlsx)
            << QStringLiteral("Spreadsheet Files (*.xlsx)") << QStringLiteral("*.xlsx") << 7;
        // The native dialog's "All Files": the name says what the file is.
        QTest::newRow("vCard from Open") << int(DocumentCommands::OpenNative) << QStringLiteral("b.VCF")
                                         << int(FormatVCard) << QStringLiteral("Vantry Files (*.vty)")
                                         << QStringLiteral("*.vty") << 6;
        QTest::newRow("spreadsheet from Open") << int(DocumentCommands::OpenNative) << QStringLiteral("b.xlsx")
                                               << int(FormatXlsx) << QStringLiteral("Vantry Files (*.vty)")
                                               << QStringLiteral("*.vty") << 7;
    }
    void openReadsTheFormatChosen()
    {
        QFETCH(int, openFormat);
        QFETCH(QString, file);
        QFETCH(int, fileFormat);
        QFETCH(QString, filter);
        QFETCH(QString, preset);
        QFETCH(int, type);
        const QString p = makeFile(file, fileFormat);
        platform().openAnswers.enqueue(p);
        m_commands->OpenDocument(openFormat);
        QCOMPARE(platform().openRequests.last().filters.first(), filter);
        QCOMPARE(platform().openRequests.last().presetName, preset);
        QVERIFY2(platform().messages.isEmpty(), qPrintable(platform().lastMessage()));
        QCOMPARE(doc().DocumentName(), p);
        QCOMPARE(doc().DocumentType(), type);
        QCOMPARE(m_model->windowTitle(), QStringLiteral("Quillon -- ") + p);
        QCOMPARE(sheet().text(1, 0), QStringLiteral("Smith Hardware"));
        QCOMPARE(sheet().text(2, 0), QStringLiteral("Åsa Öberg"));
        QCOMPARE(sheet().text(1, 5), QStringLiteral("555-0100"));
        QVERIFY(!doc().IsModified());
    }

    void cancellingTheDropDownsDialogChangesNothing_data()
    {
        QTest::addColumn<int>("openFormat");
        QTest::addColumn<QString>("answer");
        QTest::newRow("vCard, preset name") << int(DocumentCommands::OpenVCard) << QStringLiteral("*.vcf");
        QTest::newRow("spreadsheet, preset name") << int(DocumentCommands::OpenXlsx) << QStringLiteral("*.xlsx");
    }
    void cancellingTheDropDownsDialogChangesNothing()
    {
        QFETCH(int, openFormat);
        QFETCH(QString, answer);
        const QString before = doc().DocumentName();
        platform().openAnswers.enqueue(answer);
        m_commands->OpenDocument(openFormat);
        QCOMPARE(doc().DocumentName(), before);
        QVERIFY(platform().messages.isEmpty());
    }

    void aFileThatCannotBeReadLeavesTheDocument()
    {
        openNative(QStringLiteral("mine.vty"));
        edit(1, 0, QStringLiteral("edited"));
        platform().openAnswers.enqueue(contactFixture(QStringLiteral("bomb.xlsx")));
        platform().messageAnswers.enqueue(Platform::No); // the save prompt
        m_commands->OpenDocument(DocumentCommands::OpenXlsx);
        QCOMPARE(platform().messages.last().caption, QStringLiteral("Open File"));
        QVERIFY2(platform().lastMessage().contains(QStringLiteral("zip bomb")), qPrintable(platform().lastMessage()));
        QCOMPARE(doc().DocumentName(), path(QStringLiteral("mine.vty")));
        QCOMPARE(sheet().text(1, 0), QStringLiteral("edited"));
        QVERIFY(doc().IsModified());
    }

    void saveOverAForeignFileAsksOnce_data()
    {
        QTest::addColumn<int>("fileFormat");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("kind");
        QTest::newRow("vCard") << int(FormatVCard) << QStringLiteral("list.vcf") << QStringLiteral("is a vCard file");
        QTest::newRow("spreadsheet") << int(FormatXlsx) << QStringLiteral("list.xlsx")
                                     << QStringLiteral("is a spreadsheet file");
    }
    void saveOverAForeignFileAsksOnce()
    {
        QFETCH(int, fileFormat);
        QFETCH(QString, file);
        QFETCH(QString, kind);
        const QString p = makeFile(file, fileFormat);
        const QByteArray original = fileBytes(p);
        platform().openAnswers.enqueue(p);
        m_commands->OpenDocument(fileFormat == FormatVCard ? DocumentCommands::OpenVCard : DocumentCommands::OpenXlsx);
        edit(1, 0, QStringLiteral("first edit"));

        // Cancel: nothing is written, the changes stay unsaved.
        platform().messageAnswers.enqueue(Platform::Cancel);
        m_commands->Save();
        QCOMPARE(platform().messages.size(), 1);
        QCOMPARE(platform().messages[0].caption, QStringLiteral("Save"));
        QVERIFY2(platform().messages[0].text.contains(kind), qPrintable(platform().messages[0].text));
        QCOMPARE(platform().messages[0].buttons, Platform::Yes | Platform::No | Platform::Cancel);
        QCOMPARE(platform().messages[0].defaultButton, int(Platform::Yes));
        QCOMPARE(fileBytes(p), original);
        QVERIFY(doc().IsModified());

        // No: saved over the file in its own format, and not asked again.
        platform().messageAnswers.enqueue(Platform::No);
        m_commands->Save();
        QVERIFY(!doc().IsModified());
        RecordSheet back;
        QString error;
        QVERIFY2(LoadGrid(p, fileFormat, back, &error), qPrintable(error));
        QCOMPARE(back.text(1, 0), QStringLiteral("first edit"));
        edit(1, 0, QStringLiteral("second edit"));
        m_commands->Save();
        QCOMPARE(platform().messages.size(), 2);
        QVERIFY2(LoadGrid(p, fileFormat, back, &error), qPrintable(error));
        QCOMPARE(back.text(1, 0), QStringLiteral("second edit"));
        QCOMPARE(doc().DocumentName(), p);
    }

    void saveOverAForeignFileIsWhereUndoClearsTheMark()
    {
        const QString p = makeFile(QStringLiteral("list.xlsx"), FormatXlsx);
        platform().openAnswers.enqueue(p);
        m_commands->OpenDocument(DocumentCommands::OpenXlsx);
        platform().openAnswers.enqueue(makeFile(QStringLiteral("more.vcf"), FormatVCard));
        m_commands->Append();
        QVERIFY(doc().IsModified());
        platform().messageAnswers.enqueue(Platform::No); // over the spreadsheet file itself
        m_commands->Save();
        QVERIFY(!doc().IsModified());
        m_model->history().undo(); // the file has the appended records: this differs from it
        QVERIFY(doc().IsModified());
        m_model->history().redo(); // back to what was saved
        QVERIFY(!doc().IsModified());
    }

    void yesSavesAVantryFileInstead()
    {
        const QString p = makeFile(QStringLiteral("list.xlsx"), FormatXlsx);
        const QByteArray original = fileBytes(p);
        platform().openAnswers.enqueue(p);
        m_commands->OpenDocument(DocumentCommands::OpenXlsx);
        edit(1, 0, QStringLiteral("edited"));
        sheet().setFontFlag({1, 0, 1, 0}, CellStyle::Bold, true);
        platform().messageAnswers.enqueue(Platform::Yes);
        platform().saveAnswers.enqueue(path(QStringLiteral("list.vty")));
        m_commands->Save();
        QCOMPARE(platform().saveRequests.last().filters.first(), QStringLiteral("Vantry Files (*.vty)"));
        QCOMPARE(fileBytes(p), original);
        QCOMPARE(doc().DocumentName(), path(QStringLiteral("list.vty")));
        QCOMPARE(doc().DocumentType(), 2);
        QVERIFY(!doc().IsModified());
        RecordSheet back;
        QVERIFY(LoadGrid(path(QStringLiteral("list.vty")), FormatNative, back));
        QVERIFY(back.style(1, 0).bold());
    }

    void theExitPromptsYesGoesThroughTheQuestion()
    {
        const QString p = makeFile(QStringLiteral("list.vcf"), FormatVCard);
        platform().openAnswers.enqueue(p);
        m_commands->OpenDocument(DocumentCommands::OpenVCard);
        edit(1, 0, QStringLiteral("edited"));
        int ended = 0;
        m_commands->setEndProgram([&ended] { ++ended; });
        platform().messageAnswers.enqueue(Platform::Yes);    // save the changes?
        platform().messageAnswers.enqueue(Platform::Cancel); // save over the vCard file?
        m_commands->Exit();
        QCOMPARE(ended, 0); // a save that did not happen is a Cancel
        QVERIFY(doc().IsModified());
        platform().messageAnswers.enqueue(Platform::Yes);
        platform().messageAnswers.enqueue(Platform::No);
        m_commands->Exit();
        QCOMPARE(ended, 1);
        RecordSheet back;
        QVERIFY(LoadGrid(p, FormatVCard, back));
        QCOMPARE(back.text(1, 0), QStringLiteral("edited"));
    }

    void saveAsAnExportLeavesTheDocumentAsItWas_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("vCard") << int(FormatVCard) << QStringLiteral("out.vcf") << QStringLiteral("vCard Files (*.vcf)")
                               << QStringLiteral("vcf");
        QTest::newRow("spreadsheet") << int(FormatXlsx) << QStringLiteral("out.xlsx")
                                     << QStringLiteral("Spreadsheet Files (*.xlsx)") << QStringLiteral("xlsx");
        QTest::newRow("comma text for spreadsheets")
            << int(FormatSpreadsheetCsv) << QStringLiteral("out.csv")
            << QStringLiteral("Comma Delimited Text Files for Spreadsheets (*.csv)") << QStringLiteral("csv");
    }
    void saveAsAnExportLeavesTheDocumentAsItWas()
    {
        QFETCH(int, format);
        QFETCH(QString, file);
        QFETCH(QString, filter);
        QFETCH(QString, suffix);
        openNative(QStringLiteral("mine.vty"));
        edit(1, 0, QStringLiteral("=edited"));
        const QString title = m_model->windowTitle();
        platform().saveAnswers.enqueue(path(file));
        m_commands->SaveAs(format);
        QCOMPARE(platform().saveRequests.last().filters, QStringList{filter});
        QCOMPARE(platform().saveRequests.last().defaultSuffix, suffix);
        QVERIFY2(platform().messages.isEmpty(), qPrintable(platform().lastMessage()));
        // The file holds the records; the document is still the native file, with its
        // unsaved changes, so that closing still asks.
        RecordSheet back;
        QString error;
        QVERIFY2(LoadGrid(path(file), gridFormatForPath(path(file)), back, &error), qPrintable(error));
        QVERIFY(back.text(1, 0).endsWith(QLatin1String("=edited")));
        QCOMPARE(doc().DocumentName(), path(QStringLiteral("mine.vty")));
        QCOMPARE(doc().DocumentType(), 2);
        QCOMPARE(m_model->windowTitle(), title);
        QVERIFY(doc().IsModified());
        QVERIFY(doc().isSaveEnabled());
    }

    void appendPutsAVCardsFieldsUnderTheirTitles()
    {
        const QString p = makeFile(QStringLiteral("more.vcf"), FormatVCard);
        openNative(QStringLiteral("mine.vty"));
        // The sheet's own order: phone first, name second, and no street or city column.
        sheet().setCols(3);
        sheet().setTitle(0, QStringLiteral("Phone"));
        sheet().setTitle(1, QStringLiteral("Name"));
        sheet().setTitle(2, QString());
        platform().openAnswers.enqueue(p);
        m_commands->Append();
        QVERIFY2(platform().messages.isEmpty(), qPrintable(platform().lastMessage()));
        QCOMPARE(sheetRows(sheet()),
                 (Rows{{QStringLiteral("Phone"), QStringLiteral("Name"), QString(), QStringLiteral("Street"),
                        QStringLiteral("City"), QStringLiteral("State"), QStringLiteral("Zip Code")},
                       {QStringLiteral("mine"), QString(), QString(), QString(), QString(), QString(), QString()},
                       {QStringLiteral("555-0100"), QStringLiteral("Smith Hardware"), QString(),
                        QStringLiteral("12 Main St"), QStringLiteral("Salem"), QStringLiteral("OR"),
                        QStringLiteral("97301")},
                       {QString(), QStringLiteral("Åsa Öberg"), QString(), QString(), QString(), QString(),
                        QString()}}));
        QCOMPARE(m_model->panels().text(MainModel::SelectionPanel), QStringLiteral("2 Sel"));
        QVERIFY(doc().IsModified());
        QCOMPARE(sheet().column(0).dataType, int(TypeMoney)); // the sheet's columns keep their attributes
    }

    void appendOfASpreadsheetMatchesColumnsByPlace()
    {
        const QString p = makeFile(QStringLiteral("more.xlsx"), FormatXlsx);
        openNative(QStringLiteral("mine.vty"));
        platform().openAnswers.enqueue(p);
        m_commands->Append();
        QVERIFY2(platform().messages.isEmpty(), qPrintable(platform().lastMessage()));
        QCOMPARE(sheet().rows(), 4);
        QCOMPARE(sheet().cols(), 6);
        QCOMPARE(sheet().text(0, 0), QStringLiteral("Name"));
        QCOMPARE(sheet().text(0, 5), QStringLiteral("Phone"));
        QCOMPARE(sheet().text(2, 0), QStringLiteral("Smith Hardware"));
        QCOMPARE(sheet().text(3, 0), QStringLiteral("Åsa Öberg"));
    }

    void appendOfADamagedFileAddsNothing_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a vCard cut short") << QStringLiteral("cut.vcf") << QStringLiteral("has no END:VCARD line");
        QTest::newRow("a spreadsheet that is none") << QStringLiteral("not-a-zip.xlsx")
                                                    << QStringLiteral("it is not a zip archive");
        QTest::newRow("comma text stays refused")
            << QStringLiteral("list.csv") << QStringLiteral("You can only select the reconizable file types.");
    }
    void appendOfADamagedFileAddsNothing()
    {
        QFETCH(QString, file);
        QFETCH(QString, reason);
        writeBytes(path(QStringLiteral("cut.vcf")), "BEGIN:VCARD\r\nFN:Cut\r\n");
        writeBytes(path(QStringLiteral("list.csv")), "Name\r\nx\r\n");
        QFile::copy(contactFixture(QStringLiteral("not-a-zip.xlsx")), path(QStringLiteral("not-a-zip.xlsx")));
        openNative(QStringLiteral("mine.vty"));
        const Rows before = sheetRows(sheet());
        platform().openAnswers.enqueue(path(file));
        m_commands->Append();
        QVERIFY2(platform().lastMessage().contains(reason), qPrintable(platform().lastMessage()));
        QCOMPARE(sheetRows(sheet()), before);
        QVERIFY(!doc().IsModified());
    }

    void largeFilesGoThroughTheWorkerThread()
    {
        m_commands->setBackgroundThreshold(0);
        QSignalSpy busy(m_commands.get(), &DocumentCommands::busyChanged);
        for (int r = 1; r < sheet().rows(); ++r)
            sheet().setText(r, 0, QStringLiteral("Listing %1").arg(r));
        for (const auto& [format, file] : {std::pair{int(FormatXlsx), QStringLiteral("big.xlsx")},
                                           std::pair{int(FormatVCard), QStringLiteral("big.vcf")}}) {
            platform().saveAnswers.enqueue(path(file));
            m_commands->SaveAs(format);
            QVERIFY(m_commands->isBusy());
            QTRY_VERIFY(!m_commands->isBusy());
            QVERIFY2(platform().messages.isEmpty(), qPrintable(platform().lastMessage()));
            platform().openAnswers.enqueue(path(file));
            m_commands->OpenDocument(format == FormatXlsx ? DocumentCommands::OpenXlsx : DocumentCommands::OpenVCard);
            QVERIFY(m_commands->isBusy());
            QTRY_VERIFY(!m_commands->isBusy());
            QCOMPARE(doc().DocumentName(), path(file));
            QCOMPARE(sheet().text(20, 0), QStringLiteral("Listing 20"));
        }
        QCOMPARE(busy.count(), 8);
    }
};

QTEST_GUILESS_MAIN(TestDocumentFormats)
#include "TestDocumentFormats.moc"

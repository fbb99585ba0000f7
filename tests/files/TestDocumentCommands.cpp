#include "FilesTestSupport.h"
#include "shell/MainModel.h"
#include "shell/SettingsStore.h"
#include "files/DocumentCommands.h"
#include "files/NativeGridFormat.h"
#include "files/Xxh64.h"
#include "testsupport/AllocationFailure.h"
#include "testsupport/SheetState.h"
#include "testsupport/TestPlatform.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace quillon;
using namespace quillon::testing;

namespace {

const QString kPrompt = QStringLiteral("Changes have been made. Do you want to save the changes?");

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write(bytes);
}

/** A well-formed native file of 48 bytes: @p rows rows and no columns. */
void writeRowsWithoutColumns(const QString& path, quint32 rows)
{
    RecordSheet s;
    s.setCols(0);
    if (!SaveGrid(path, FormatNative, s))
        qFatal("cannot write %s", qPrintable(path));
    QByteArray bytes = fileBytes(path);
    for (int i = 0; i < 4; ++i)
        bytes[12 + i] = char((rows >> (8 * i)) & 0xff);
    const quint64 sum = Xxh64::of(bytes.constData(), size_t(bytes.size() - 8));
    for (int i = 0; i < 8; ++i)
        bytes[bytes.size() - 8 + i] = char((sum >> (8 * i)) & 0xff);
    if (bytes.size() != 48)
        qFatal("a file without columns has %d bytes", int(bytes.size()));
    writeBytes(path, bytes);
}

} // namespace

class TestDocumentCommands : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<TestPlatform> m_platform;
    std::unique_ptr<MainModel> m_model;
    std::unique_ptr<DocumentCommands> m_commands;
    int m_ended = 0;

    QString path(const QString& name) const { return m_dir->filePath(name); }
    Document& doc() { return m_model->document(); }
    RecordSheet& sheet() { return m_model->sheet(); }
    TestPlatform& platform() { return *m_platform; }

    /** A native file of @p cols columns titled T0.., and @p records records "r<row>c<col>". */
    QString makeNative(const QString& name, int cols, int records, const QStringList& titles = {})
    {
        RecordSheet s;
        s.setCols(cols);
        s.setRows(records + 1);
        for (int c = 0; c < cols; ++c)
            s.setTitle(c, c < titles.size() ? titles[c] : QStringLiteral("T%1").arg(c));
        for (int r = 1; r <= records; ++r)
            for (int c = 0; c < cols; ++c)
                s.setText(r, c, QStringLiteral("r%1c%2").arg(r).arg(c));
        s.setColumnDataType(0, TypeMoney);
        s.setFontFlag({1, 0, 1, 0}, CellStyle::Bold, true);
        const QString p = path(name);
        if (!SaveGrid(p, FormatNative, s))
            qFatal("cannot write %s", qPrintable(p));
        return p;
    }

    /** Opens @p file as the document (native) and checks that it worked. */
    void openNamed(const QString& file)
    {
        platform().openAnswers.enqueue(file);
        m_commands->OpenDocument(DocumentCommands::OpenNative);
        QCOMPARE(doc().DocumentName(), file);
    }

    /** An in-place edit, as the sheet's after-edit rule makes it. */
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
        m_ended = 0;
        m_commands->setEndProgram([this] { ++m_ended; });
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

    void startupMakesAnUntitledDocument()
    {
        QCOMPARE(m_model->windowTitle(), QStringLiteral("Quillon -- Untitled1.vty"));
        QVERIFY(doc().isUntitled());
        QCOMPARE(doc().DocumentType(), 2);
        QVERIFY(doc().ClearBeforeGrab());
        QVERIFY(!doc().IsModified());
        QVERIFY(!m_model->commands().isEnabled(QStringLiteral("mnuSave")));
        QVERIFY(!m_model->commands().isEnabled(QStringLiteral("tb0.Save")));
        QCOMPARE(sheet().cols(), 10);
        QCOMPARE(sheet().rows(), 21);
        QCOMPARE(doc().ColumnComboLists().size(), 10);
        QVERIFY(platform().messages.isEmpty());
    }

    // ---- the save prompt ------------------------------------------------------------

    void promptAnswers_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("named");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("saveAs"); // the Save As dialog's answer; "bad" cannot be written
        QTest::addColumn<bool>("proceeds");
        QTest::addColumn<bool>("saved");
        for (const QString& caption : {QStringLiteral("New"), QStringLiteral("Open File"), QStringLiteral("Exit")}) {
            const QByteArray c = caption.toUtf8();
            QTest::newRow(c + ": Cancel") << caption << false << int(Platform::Cancel) << QString() << false << false;
            QTest::newRow(c + ": No") << caption << false << int(Platform::No) << QString() << true << false;
            QTest::newRow(c + ": Yes, untitled, saved as") << caption << false << int(Platform::Yes)
                                                           << QStringLiteral("saved.vty") << true << true;
            QTest::newRow(c + ": Yes, untitled, Save As cancelled") << caption << false << int(Platform::Yes)
                                                                    << QString() << false << false;
            QTest::newRow(c + ": Yes, untitled, Save As fails") << caption << false << int(Platform::Yes)
                                                                << QStringLiteral("bad") << false << false;
            QTest::newRow(c + ": Yes, named, saved") << caption << true << int(Platform::Yes) << QString() << true
                                                     << true;
            QTest::newRow(c + ": Yes, named, save fails") << caption << true << int(Platform::Yes)
                                                          << QStringLiteral("bad") << false << false;
        }
    }
    void promptAnswers()
    {
        QFETCH(QString, caption);
        QFETCH(bool, named);
        QFETCH(int, answer);
        QFETCH(QString, saveAs);
        QFETCH(bool, proceeds);
        QFETCH(bool, saved);
        const QString other = makeNative(QStringLiteral("other.vty"), 3, 2);
        QString named_path;
        if (named) {
            named_path = makeNative(QStringLiteral("named.vty"), 4, 3);
            openNamed(named_path);
            if (saveAs == QLatin1String("bad")) // the file's folder is gone by the time it is saved
                doc().setDocumentName(path(QStringLiteral("gone/named.vty")));
        }
        edit(1, 1, QStringLiteral("unsaved"));
        const QString nameBefore = doc().DocumentName();
        platform().messages.clear();
        platform().messageAnswers.enqueue(answer);
        if (!saveAs.isEmpty())
            platform().saveAnswers.enqueue(saveAs == QLatin1String("bad") ? path(QStringLiteral("gone/x.vty"))
                                                                           : path(saveAs));
        bool closed = false;
        if (caption == QLatin1String("New")) {
            m_commands->New();
        } else if (caption == QLatin1String("Open File")) {
            platform().openAnswers.enqueue(other);
            m_commands->OpenDocument(DocumentCommands::OpenNative);
        } else {
            closed = m_commands->closeRequested();
        }
        const TestPlatform::Message& prompt = platform().messages.first();
        QCOMPARE(prompt.caption, caption);
        QCOMPARE(prompt.text, kPrompt);
        QCOMPARE(prompt.buttons, Platform::Yes | Platform::No | Platform::Cancel);
        QCOMPARE(prompt.icon, Platform::Question);
        QCOMPARE(prompt.defaultButton, int(Platform::Cancel));
        if (answer == Platform::Yes && !saved)
            QVERIFY(platform().messages.size() == 1 || platform().lastMessage().contains(QStringLiteral("gone")));
        const bool stillThere = sheet().text(1, 1) == QLatin1String("unsaved");
        if (caption == QLatin1String("Exit")) {
            QCOMPARE(closed, proceeds);
            QVERIFY(stillThere);
        } else {
            QCOMPARE(!stillThere, proceeds);
            if (!proceeds) {
                QVERIFY(doc().IsModified());
                QCOMPARE(doc().DocumentName(), nameBefore);
            }
        }
        if (saved && !named) {
            RecordSheet back;
            QVERIFY(LoadGrid(path(saveAs), FormatNative, back));
            QCOMPARE(back.text(1, 1), QStringLiteral("unsaved"));
        }
        if (saved && named) {
            RecordSheet back;
            QVERIFY(LoadGrid(named_path, FormatNative, back));
            QCOMPARE(back.text(1, 1), QStringLiteral("unsaved"));
        }
    }

    void noPromptWithoutChanges()
    {
        m_commands->New();
        QVERIFY(platform().messages.isEmpty());
        QVERIFY(m_commands->closeRequested());
        m_commands->Exit();
        QCOMPARE(m_ended, 1);
    }

    void exitGoesToTheFirstPageAndEnds()
    {
        m_model->setCurrentPage(MainModel::BrowserPage);
        edit(2, 2, QStringLiteral("x"));
        platform().messageAnswers.enqueue(Platform::Cancel);
        m_commands->Exit();
        QCOMPARE(m_model->currentPage(), int(MainModel::ResultsPage));
        QCOMPARE(m_ended, 0);
        platform().messageAnswers.enqueue(Platform::No);
        m_commands->Exit();
        QCOMPARE(m_ended, 1);
        QVERIFY(m_commands->closeRequested()); // the window closing after that is let through
    }

    void editingAnUntitledDocumentLeavesSaveDisabledButAsks()
    {
        edit(1, 0, QStringLiteral("Smith"));
        QVERIFY(doc().IsModified());
        QVERIFY(!m_model->commands().isEnabled(QStringLiteral("mnuSave")));
        platform().messageAnswers.enqueue(Platform::Yes);
        platform().saveAnswers.enqueue(path(QStringLiteral("first.vty")));
        QVERIFY(m_commands->closeRequested());
        QCOMPARE(platform().saveRequests.size(), 1);
        QCOMPARE(platform().saveRequests[0].filters, QStringList{QStringLiteral("Vantry Files (*.vty)")});
        QVERIFY(QFile::exists(path(QStringLiteral("first.vty"))));
    }

    // ---- Open -------------------------------------------------------------------------

    void openDialogs_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QStringList>("filters");
        QTest::addColumn<QString>("preset");
        QTest::newRow("native") << 0 << QStringList{QStringLiteral("Vantry Files (*.vty)"), QStringLiteral("All Files (*)")}
                                << QStringLiteral("*.vty");
        QTest::newRow("comma") << 1
                               << QStringList{QStringLiteral("Comma Delimited Files (*.csv)"), QStringLiteral("All Files (*)")}
                               << QStringLiteral("*.csv");
        QTest::newRow("tab") << 2
                             << QStringList{QStringLiteral("Tab Delimited Files (*.txt)"), QStringLiteral("All Files (*)")}
                             << QStringLiteral("*.txt");
    }
    void openDialogs()
    {
        QFETCH(int, format);
        QFETCH(QStringList, filters);
        QFETCH(QString, preset);
        doc().setLastOpenPath(path(QString()));
        for (const QString& cancelled : {QString(), preset, QStringLiteral("*.*")}) {
            platform().openAnswers.enqueue(cancelled);
            m_commands->OpenDocument(format);
        }
        QCOMPARE(platform().openRequests.size(), 3);
        const FileDialogRequest& r = platform().openRequests.first();
        QCOMPARE(r.filters, filters);
        QCOMPARE(r.presetName, preset);
        QCOMPARE(r.defaultSuffix, preset.mid(2));
        QCOMPARE(r.directory, path(QString()));
        QVERIFY(doc().isUntitled());
        QCOMPARE(m_model->windowTitle(), QStringLiteral("Quillon -- Untitled1.vty"));
        QCOMPARE(doc().LastOpenPath(), path(QString()));
    }

    void openReplacesTheDocument_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("type");
        QTest::newRow("native") << 0 << QStringLiteral("a.vty") << 2;
        QTest::newRow("comma") << 1 << QStringLiteral("a.csv") << 3;
        QTest::newRow("tab") << 2 << QStringLiteral("a.txt") << 4;
    }
    void openReplacesTheDocument()
    {
        QFETCH(int, format);
        QFETCH(QString, name);
        QFETCH(int, type);
        QDir().mkpath(path(QStringLiteral("lists")));
        const QString file = path(QStringLiteral("lists/") + name);
        RecordSheet s;
        s.setCols(12);
        s.setRows(5);
        s.setTitle(11, QStringLiteral("Last"));
        s.setText(4, 11, QStringLiteral("end"));
        QVERIFY(SaveGrid(file, type == 2 ? FormatNative : type, s));
        doc().ColumnComboLists()[2] = QStringLiteral("a|b");
        sheet().setSelectionMode(RecordSheet::SelectionMode::Block);
        platform().openAnswers.enqueue(file);
        m_commands->OpenDocument(format);
        QCOMPARE(doc().DocumentName(), file);
        QCOMPARE(doc().DocumentType(), type);
        QCOMPARE(m_model->windowTitle(), QStringLiteral("Quillon -- ") + file);
        QCOMPARE(doc().LastOpenPath(), path(QStringLiteral("lists/"))); // with its trailing separator
        QVERIFY(!doc().ClearBeforeGrab());
        QVERIFY(!doc().IsModified());
        QVERIFY(!m_model->commands().isEnabled(QStringLiteral("mnuSave")));
        QCOMPARE(sheet().cols(), 12);
        QCOMPARE(sheet().rows(), 5);
        QCOMPARE(sheet().text(4, 11), QStringLiteral("end"));
        QCOMPARE(doc().ColumnComboLists(), QStringList(12, QString()));
        QCOMPARE(m_model->formPanel().grid().rows(), 13);
        QCOMPARE(sheet().selectionMode(), RecordSheet::SelectionMode::Rows);
        QCOMPARE(m_model->panels().text(MainModel::ModePanel), QStringLiteral("ROW"));
        QCOMPARE(m_model->panels().text(MainModel::RecordPanel), QStringLiteral("1 / 4"));
        // The next Open starts where this one was.
        m_commands->OpenDocument(format);
        QCOMPARE(platform().openRequests.last().directory, path(QStringLiteral("lists/")));
    }

    void openPathTakesTheFormatFromTheFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("type");
        QTest::newRow("grid file") << QStringLiteral("people.vty") << int(FormatNative) << 2;
        QTest::newRow("comma text") << QStringLiteral("people.csv") << int(FormatComma) << 3;
        QTest::newRow("tab text") << QStringLiteral("people.txt") << int(FormatTab) << 4;
        QTest::newRow("grid file without its extension") << QStringLiteral("people") << int(FormatNative) << 2;
        QTest::newRow("grid file under another name") << QStringLiteral("people.backup") << int(FormatNative) << 2;
    }
    void openPathTakesTheFormatFromTheFile()
    {
        QFETCH(QString, name);
        QFETCH(int, format);
        QFETCH(int, type);
        RecordSheet s;
        s.setCols(3);
        s.setRows(3);
        s.setTitle(0, QStringLiteral("Name"));
        s.setText(2, 1, QStringLiteral("Elm Street"));
        const QString file = path(name);
        QVERIFY(SaveGrid(file, format, s));
        m_commands->openPath(file);
        QVERIFY2(platform().messages.isEmpty(), qPrintable(platform().lastMessage()));
        QCOMPARE(doc().DocumentName(), file);
        QCOMPARE(doc().DocumentType(), type);
        QCOMPARE(sheet().text(2, 1), QStringLiteral("Elm Street"));
        QCOMPARE(doc().LastOpenPath(), m_dir->path() + QLatin1Char('/'));
        QVERIFY(!doc().IsModified());
        QVERIFY(platform().openRequests.isEmpty()); // no dialog
    }

    void openPathOfWhatCannotBeReadSaysSo_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("unknown kind") << QStringLiteral("notes.odt") << QByteArray("PK\3\4 not ours");
        QTest::newRow("damaged grid file") << QStringLiteral("cut.vty") << NativeGridFormat::magic() + QByteArray(5, '\0');
        QTest::newRow("missing") << QStringLiteral("gone.csv") << QByteArray();
    }
    void openPathOfWhatCannotBeReadSaysSo()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        const QString file = path(name);
        if (!bytes.isEmpty())
            writeBytes(file, bytes);
        m_commands->openPath(file);
        QCOMPARE(platform().messages.size(), 1);
        QVERIFY2(platform().lastMessage().contains(file), qPrintable(platform().lastMessage()));
        QVERIFY(doc().isUntitled());
        QCOMPARE(sheet().cols(), 10);
        QCOMPARE(sheet().recordCount(), 20);
    }

    void aFileThatCannotBeReadLeavesTheDocument_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::newRow("csv as native") << 0 << QByteArray("Name,Street\n") << QStringLiteral("not a Quillon grid");
        QTest::newRow("cut native") << 0 << NativeGridFormat::magic() + QByteArray(30, '\0')
                                    << QStringLiteral("cut short");
        QTest::newRow("empty csv") << 1 << QByteArray() << QStringLiteral("empty");
        QTest::newRow("binary as tab") << 2 << QByteArray("\x89VTY\0\0", 6) << QStringLiteral("not a text file");
    }
    void aFileThatCannotBeReadLeavesTheDocument()
    {
        QFETCH(int, format);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        const QString named = makeNative(QStringLiteral("mine.vty"), 4, 3);
        openNamed(named);
        edit(2, 2, QStringLiteral("kept"));
        const QString bad = path(QStringLiteral("bad.file"));
        writeBytes(bad, bytes);
        platform().messages.clear();
        platform().openAnswers.enqueue(bad);
        platform().messageAnswers.enqueue(Platform::No); // discard at the prompt: still nothing is lost
        m_commands->OpenDocument(format);
        QCOMPARE(platform().messages.size(), 2);
        const TestPlatform::Message& m = platform().messages.last();
        QCOMPARE(m.caption, QStringLiteral("Open File"));
        QCOMPARE(m.icon, Platform::Critical);
        QVERIFY2(m.text.contains(bad) && m.text.contains(reason), qPrintable(m.text));
        QCOMPARE(doc().DocumentName(), named);
        QCOMPARE(m_model->windowTitle(), QStringLiteral("Quillon -- ") + named);
        QCOMPARE(sheet().text(2, 2), QStringLiteral("kept"));
        QCOMPARE(sheet().cols(), 4);
        QVERIFY(doc().IsModified());
        QVERIFY(m_model->commands().isEnabled(QStringLiteral("mnuSave")));
        QCOMPARE(fileBytes(bad), bytes);
    }

    // ---- Append -----------------------------------------------------------------------

    void appendMerges_data()
    {
        QTest::addColumn<int>("fileCols");
        QTest::addColumn<int>("fileRecords");
        QTest::addColumn<int>("cols");
        QTest::addColumn<int>("rows");
        QTest::newRow("3 columns into 10") << 3 << 4 << 10 << 25;
        QTest::newRow("12 columns into 10") << 12 << 2 << 12 << 23;
        QTest::newRow("header only") << 5 << 0 << 10 << 21;
    }
    void appendMerges()
    {
        QFETCH(int, fileCols);
        QFETCH(int, fileRecords);
        QFETCH(int, cols);
        QFETCH(int, rows);
        const QString file = makeNative(QStringLiteral("add.vty"), fileCols, fileRecords);
        sheet().setText(3, 0, QStringLiteral("mine"));
        platform().openAnswers.enqueue(file);
        m_commands->Append();
        const FileDialogRequest& r = platform().openRequests.first();
        QCOMPARE(r.filters, (QStringList{QStringLiteral("Grid Files (*.vty)"), QStringLiteral("Spreadsheet Files (*.xlsx)"),
                                         QStringLiteral("vCard Files (*.vcf)")}));
        QVERIFY(r.presetName.isEmpty());
        QCOMPARE(r.defaultSuffix, QStringLiteral("vty"));
        QCOMPARE(doc().AppendFileName(), file);
        QCOMPARE(sheet().cols(), cols);
        QCOMPARE(sheet().rows(), rows);
        QCOMPARE(sheet().text(3, 0), QStringLiteral("mine"));
        QCOMPARE(sheet().title(0), QStringLiteral("Name")); // a title that is there stays
        QCOMPARE(sheet().title(8), fileCols > 8 ? QStringLiteral("T8") : QString()); // an empty one is taken
        if (cols > 10)
            QCOMPARE(sheet().title(11), QStringLiteral("T11"));
        for (int i = 1; i <= fileRecords; ++i)
            for (int c = 0; c < cols; ++c)
                QCOMPARE(sheet().text(20 + i, c), c < fileCols ? QStringLiteral("r%1c%2").arg(i).arg(c) : QString());
        // Texts only: the sheet's column attributes stay, the file's styles are dropped.
        QCOMPARE(sheet().column(0).dataType, int(TypeText));
        QCOMPARE(sheet().styledCellCount(), 0);
        QVERIFY(platform().clipboard.isEmpty());
        if (fileRecords > 0) {
            QCOMPARE(sheet().currentRow(), 21);
            QCOMPARE(m_model->panels().text(MainModel::SelectionPanel), QStringLiteral("%1 Sel").arg(fileRecords));
        }
        QVERIFY(!doc().IsModified()); // an untitled document stays unmarked
    }

    void appendKeepsTabsAndLineBreaksInTheirCells()
    {
        RecordSheet s;
        s.setCols(2);
        s.setRows(2);
        s.setText(1, 0, QStringLiteral("a\tb"));
        s.setText(1, 1, QStringLiteral("line\r\nbreak"));
        QVERIFY(SaveGrid(path(QStringLiteral("odd.vty")), FormatNative, s));
        platform().clipboard = QStringLiteral("the user's own");
        platform().openAnswers.enqueue(path(QStringLiteral("odd.vty")));
        m_commands->Append();
        QCOMPARE(sheet().rows(), 22);
        QCOMPARE(sheet().text(21, 0), QStringLiteral("a\tb"));
        QCOMPARE(sheet().text(21, 1), QStringLiteral("line\r\nbreak"));
        QCOMPARE(sheet().text(21, 2), QString());
        QCOMPARE(platform().clipboard, QStringLiteral("the user's own"));
    }

    void appendByExtension_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("list.VTY") << QStringLiteral("list.VTY") << true;
        QTest::newRow("list.qrx") << QStringLiteral("list.qrx") << true;
        QTest::newRow("list.vty") << QStringLiteral("list.vty") << true;
        QTest::newRow("list.csv") << QStringLiteral("list.csv") << false;
        QTest::newRow("listvty") << QStringLiteral("listvty") << true; // the last three characters decide
    }
    void appendByExtension()
    {
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        const QString file = makeNative(name, 2, 1);
        const QString named = makeNative(QStringLiteral("named.vty"), 4, 3);
        openNamed(named);
        platform().openAnswers.enqueue(file);
        m_commands->Append();
        QCOMPARE(sheet().rows(), accepted ? 5 : 4);
        QCOMPARE(doc().IsModified(), accepted);
        QCOMPARE(m_model->commands().isEnabled(QStringLiteral("mnuSave")), accepted);
        if (!accepted) {
            QCOMPARE(platform().messages.size(), 1);
            const TestPlatform::Message& m = platform().messages.first();
            QCOMPARE(m.caption, QStringLiteral("Open"));
            QCOMPARE(m.icon, Platform::Warning);
            QCOMPARE(m.text, QStringLiteral("You can only select the reconizable file types. Plaese select the correct "
                                            "file type from the 'File of Types' list box in the Open Dialog and reopen "
                                            "again."));
        }
    }

    void appendOfAnUnreadableFileAddsNothing()
    {
        const QString named = makeNative(QStringLiteral("named.vty"), 4, 3);
        openNamed(named);
        const QString bad = path(QStringLiteral("bad.vty"));
        writeBytes(bad, "Name,Street\nA,B\n");
        platform().openAnswers.enqueue(bad);
        m_commands->Append();
        QCOMPARE(sheet().rows(), 4);
        QCOMPARE(sheet().cols(), 4);
        QVERIFY(!doc().IsModified());
        QCOMPARE(platform().messages.size(), 1);
        QCOMPARE(platform().messages[0].caption, QStringLiteral("Append"));
        QVERIFY(platform().lastMessage().contains(bad));
        QVERIFY(platform().lastMessage().contains(QStringLiteral("No records were added")));
        platform().openAnswers.enqueue(QString());
        m_commands->Append(); // a cancelled dialog does nothing
        QCOMPARE(platform().messages.size(), 1);
    }

    void appendOfMoreThanASheetHoldsIsRefused_data()
    {
        QTest::addColumn<int>("sheetCols");
        QTest::addColumn<quint32>("fileRows");
        QTest::addColumn<qint64>("thresholdMb"); // files above it are read on the worker thread
        QTest::addColumn<QString>("reason");
        for (const bool background : {false, true}) {
            const QByteArray how = background ? ", in the background" : ", at once";
            const qint64 threshold = background ? 0 : 1000;
            // Before, the row count overflowed and the sheet dropped to its header row.
            QTest::newRow("2147483647 rows" + how) << 4 << quint32(2147483647) << threshold
                                                   << QStringLiteral("2147483647 rows");
            // 4 rows and 16777213 records: one row more than a sheet holds.
            QTest::newRow("rows of the sheet and the file" + how) << 4 << quint32(16777214) << threshold
                                                                  << QStringLiteral("16777217 rows");
            // 16000003 rows of 20 columns: 320000060 cells.
            QTest::newRow("cells" + how) << 20 << quint32(16000000) << threshold
                                         << QStringLiteral("320000060 cells");
        }
    }
    void appendOfMoreThanASheetHoldsIsRefused()
    {
        QFETCH(int, sheetCols);
        QFETCH(quint32, fileRows);
        QFETCH(qint64, thresholdMb);
        QFETCH(QString, reason);
        const QString named = makeNative(QStringLiteral("named.vty"), sheetCols, 3);
        openNamed(named);
        const QString crafted = path(QStringLiteral("crafted.vty"));
        writeRowsWithoutColumns(crafted, fileRows);
        m_commands->setBackgroundThreshold(thresholdMb << 20);
        platform().openAnswers.enqueue(crafted);
        m_commands->Append();
        QTRY_VERIFY(!m_commands->isBusy());
        QCOMPARE(platform().messages.size(), 1);
        const TestPlatform::Message& m = platform().messages.first();
        QCOMPARE(m.caption, QStringLiteral("Append"));
        QCOMPARE(m.icon, Platform::Critical);
        QVERIFY2(m.text.contains(crafted) && m.text.contains(reason) && m.text.contains(QStringLiteral("more than")) &&
                     m.text.contains(QStringLiteral("No records were added")),
                 qPrintable(m.text));
        QCOMPARE(sheet().rows(), 4);
        QCOMPARE(sheet().cols(), sheetCols);
        QCOMPARE(sheet().text(3, sheetCols - 1), QStringLiteral("r3c%1").arg(sheetCols - 1));
        QVERIFY(!doc().IsModified());
        QVERIFY(!m_model->commands().isEnabled(QStringLiteral("mnuSave")));
        QCOMPARE(doc().DocumentName(), named);
    }

    void openOfMoreThanASheetHoldsIsRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("format");
        QTest::addColumn<qint64>("thresholdMb");
        QTest::addColumn<QString>("reason");
        for (const bool background : {false, true}) {
            const QByteArray how = background ? ", in the background" : ", at once";
            const qint64 threshold = background ? 0 : 1000;
            QTest::newRow("2147483647 rows" + how) << QStringLiteral("crafted.vty") << int(DocumentCommands::OpenNative)
                                                   << threshold << QStringLiteral("2147483647 rows");
            // Before, 20000000 commas took 5 GB and 30000000 ended the program.
            QTest::newRow("a line of 30000000 commas" + how) << QStringLiteral("wide.csv")
                                                             << int(DocumentCommands::OpenComma) << threshold
                                                             << QStringLiteral("columns");
        }
    }
    void openOfMoreThanASheetHoldsIsRefused()
    {
        QFETCH(QString, name);
        QFETCH(int, format);
        QFETCH(qint64, thresholdMb);
        QFETCH(QString, reason);
        const QString named = makeNative(QStringLiteral("named.vty"), 4, 3);
        openNamed(named);
        edit(2, 2, QStringLiteral("kept"));
        const QString file = path(name);
        if (format == DocumentCommands::OpenNative)
            writeRowsWithoutColumns(file, 2147483647);
        else
            writeBytes(file, QByteArray(30000000, ',') + "\n");
        m_commands->setBackgroundThreshold(thresholdMb << 20);
        platform().messageAnswers.enqueue(Platform::No); // discard at the prompt: still nothing is lost
        platform().openAnswers.enqueue(file);
        m_commands->OpenDocument(format);
        QTRY_VERIFY(!m_commands->isBusy());
        QCOMPARE(platform().messages.size(), 2);
        const TestPlatform::Message& m = platform().messages.last();
        QCOMPARE(m.caption, QStringLiteral("Open File"));
        QVERIFY2(m.text.contains(file) && m.text.contains(reason) && m.text.contains(QStringLiteral("more than")),
                 qPrintable(m.text));
        QCOMPARE(doc().DocumentName(), named);
        QCOMPARE(m_model->windowTitle(), QStringLiteral("Quillon -- ") + named);
        QCOMPARE(sheet().rows(), 4);
        QCOMPARE(sheet().cols(), 4);
        QCOMPARE(sheet().text(2, 2), QStringLiteral("kept"));
        QVERIFY(doc().IsModified());
    }

    // ---- memory running out in the file job ------------------------------------------------

    void aReadThatRunsOutOfMemoryLeavesTheDocument_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<qint64>("thresholdMb");
        for (const bool background : {false, true}) {
            const QByteArray how = background ? ", in the background" : ", at once";
            const qint64 threshold = background ? 0 : 1000;
            QTest::newRow("native" + how) << int(DocumentCommands::OpenNative) << threshold;
            QTest::newRow("comma" + how) << int(DocumentCommands::OpenComma) << threshold;
        }
    }
    void aReadThatRunsOutOfMemoryLeavesTheDocument()
    {
        QFETCH(int, format);
        QFETCH(qint64, thresholdMb);
        const QString named = makeNative(QStringLiteral("named.vty"), 4, 3);
        openNamed(named);
        edit(2, 2, QStringLiteral("kept"));
        // A record with a cell of 24 MB: the reader takes it in one piece of at least that.
        RecordSheet s;
        s.setCols(2);
        s.setRows(2);
        s.setTextUtf8(1, 1, QByteArray(24 << 20, 'x'));
        const QString file = path(format == DocumentCommands::OpenNative ? QStringLiteral("big.vty")
                                                                          : QStringLiteral("big.csv"));
        QVERIFY(SaveGrid(file, format == DocumentCommands::OpenNative ? FormatNative : FormatComma, s));
        s.setCols(0);
        m_commands->setBackgroundThreshold(thresholdMb << 20);
        platform().messageAnswers.enqueue(Platform::No);
        platform().openAnswers.enqueue(file);
        const int failedBefore = FailLargeAllocations::failures();
        {
            FailLargeAllocations noMemory(16 << 20);
            m_commands->OpenDocument(format);
            QTRY_VERIFY(!m_commands->isBusy());
        }
        QVERIFY(FailLargeAllocations::failures() > failedBefore);
        QCOMPARE(platform().messages.size(), 2);
        const TestPlatform::Message& m = platform().messages.last();
        QCOMPARE(m.caption, QStringLiteral("Open File"));
        QCOMPARE(m.icon, Platform::Critical);
        QVERIFY2(m.text.contains(file) && m.text.contains(QStringLiteral("not enough memory")), qPrintable(m.text));
        QCOMPARE(doc().DocumentName(), named);
        QCOMPARE(sheet().rows(), 4);
        QCOMPARE(sheet().text(2, 2), QStringLiteral("kept"));
        QVERIFY(doc().IsModified());
        QVERIFY(!m_model->isSheetHeld());
        QCOMPARE(platform().busyDepth, 0);
    }

    void aSaveThatRunsOutOfMemoryKeepsEverything_data()
    {
        QTest::addColumn<qint64>("thresholdMb");
        QTest::newRow("at once") << qint64(1000);
        QTest::newRow("in the background") << qint64(0);
    }
    void aSaveThatRunsOutOfMemoryKeepsEverything()
    {
        const QString named = makeNative(QStringLiteral("named.vty"), 4, 3);
        const QByteArray before = fileBytes(named);
        openNamed(named);
        QFETCH(qint64, thresholdMb);
        // Half a million styled cells: the writer lists them in one piece of 12 MB.
        sheet().setRows(125001);
        sheet().setFontFlag({1, 0, 125000, 3}, CellStyle::Italic, true);
        edit(2, 2, QStringLiteral("changed"));
        m_commands->setBackgroundThreshold(thresholdMb << 20);
        const int failedBefore = FailLargeAllocations::failures();
        {
            FailLargeAllocations noMemory(8 << 20);
            m_commands->Save();
            QTRY_VERIFY(!m_commands->isBusy());
        }
        QVERIFY(FailLargeAllocations::failures() > failedBefore);
        QCOMPARE(platform().messages.size(), 1);
        QCOMPARE(platform().messages[0].caption, QStringLiteral("Save"));
        QVERIFY2(platform().lastMessage().contains(named) &&
                     platform().lastMessage().contains(QStringLiteral("not enough memory")),
                 qPrintable(platform().lastMessage()));
        QVERIFY(doc().IsModified());
        QVERIFY(m_model->commands().isEnabled(QStringLiteral("mnuSave")));
        QCOMPARE(sheet().text(2, 2), QStringLiteral("changed"));
        QCOMPARE(fileBytes(named), before);
        QCOMPARE(QDir(path(QString())).entryList({QStringLiteral("named*")}, QDir::Files),
                 QStringList{QStringLiteral("named.vty")});
        m_commands->Save(); // with the memory back it saves
        QTRY_VERIFY(!m_commands->isBusy());
        QVERIFY(!doc().IsModified());
    }

    // ---- Save and Save As -----------------------------------------------------------------

    void saveOfTheUntitledFileAsksBeforeOverwriting()
    {
        const QString untitled = doc().UntitledPath();
        edit(1, 0, QStringLiteral("one"));
        doc().MakeModified(true);
        m_commands->Save(); // not there yet: written without asking
        QVERIFY(platform().messages.isEmpty());
        QVERIFY(QFile::exists(untitled));
        QVERIFY(!doc().IsModified());

        edit(1, 0, QStringLiteral("two"));
        platform().messageAnswers.enqueue(Platform::Yes);
        m_commands->Save();
        QCOMPARE(platform().messages.size(), 1);
        QCOMPARE(platform().messages[0].caption, QStringLiteral("Save"));
        QCOMPARE(platform().messages[0].text, QStringLiteral("Do you want to overwrite ") + untitled + QStringLiteral("?"));
        QCOMPARE(platform().messages[0].buttons, Platform::Yes | Platform::No);
        RecordSheet back;
        QVERIFY(LoadGrid(untitled, FormatNative, back));
        QCOMPARE(back.text(1, 0), QStringLiteral("two"));

        edit(1, 0, QStringLiteral("three"));
        platform().messageAnswers.enqueue(Platform::No);
        platform().saveAnswers.enqueue(path(QStringLiteral("elsewhere.vty")));
        m_commands->Save();
        QCOMPARE(platform().saveRequests.size(), 1);
        QCOMPARE(doc().DocumentName(), path(QStringLiteral("elsewhere.vty")));
        QVERIFY(LoadGrid(untitled, FormatNative, back));
        QCOMPARE(back.text(1, 0), QStringLiteral("two"));
    }

    void saveOfATextDocumentWritesTextAndTellsAboutSaveAs()
    {
        const QString csv = path(QStringLiteral("list.csv"));
        writeBytes(csv, "Name,City\nA,B\n");
        platform().openAnswers.enqueue(csv);
        m_commands->OpenDocument(DocumentCommands::OpenComma);
        edit(1, 1, QStringLiteral("Salem, OR"));
        QVERIFY(m_model->commands().isEnabled(QStringLiteral("mnuSave")));
        m_commands->Save();
        QCOMPARE(fileBytes(csv), QByteArray("Name,City\r\nA,\"Salem, OR\"\r\n"));
        QCOMPARE(platform().messages.size(), 1);
        QCOMPARE(platform().lastMessage(),
                 QStringLiteral("Use 'Save As...' Vantry(*.vty) from the 'File' menu if you want to save data as a "
                                "RichText Vantry file format."));
        QCOMPARE(platform().messages[0].icon, Platform::Information);
        QVERIFY(!doc().IsModified());
        QVERIFY(!m_model->commands().isEnabled(QStringLiteral("mnuSave")));
    }

    void aFailedSaveKeepsEverything()
    {
        const QString named = makeNative(QStringLiteral("keep.vty"), 4, 3);
        const QByteArray before = fileBytes(named);
        openNamed(named);
        edit(1, 1, QStringLiteral("changed"));
        // The file has become a folder's name, so it cannot be replaced.
        QVERIFY(QFile::remove(named));
        QVERIFY(QDir().mkdir(named));
        m_commands->Save();
        QCOMPARE(platform().messages.size(), 1);
        QCOMPARE(platform().messages[0].caption, QStringLiteral("Save"));
        QVERIFY(platform().lastMessage().contains(named));
        QVERIFY(doc().IsModified());
        QVERIFY(m_model->commands().isEnabled(QStringLiteral("mnuSave")));
        QCOMPARE(sheet().text(1, 1), QStringLiteral("changed"));
        QVERIFY(QDir().rmdir(named));
        writeBytes(named, before);
        m_commands->Save();
        QVERIFY(!doc().IsModified());
        RecordSheet back;
        QVERIFY(LoadGrid(named, FormatNative, back));
        QCOMPARE(back.text(1, 1), QStringLiteral("changed"));
    }

    void saveAsTextExportsAndKeepsTheDocument()
    {
        const QString named = makeNative(QStringLiteral("x.vty"), 4, 3);
        openNamed(named);
        edit(1, 1, QStringLiteral("new text"));
        const QString csv = path(QStringLiteral("export.csv"));
        platform().saveAnswers.enqueue(csv);
        m_commands->SaveAs(FormatComma);
        QCOMPARE(platform().saveRequests.last().filters,
                 QStringList{QStringLiteral("Comma Delimited Text Files (*.csv)")});
        QVERIFY(fileBytes(csv).startsWith("T0,T1,T2,T3\r\n"));
        QCOMPARE(m_model->windowTitle(), QStringLiteral("Quillon -- ") + csv);
        QCOMPARE(doc().DocumentName(), named);
        QCOMPARE(doc().DocumentType(), 2);
        QVERIFY(!doc().IsModified());
        edit(2, 1, QStringLiteral("later"));
        m_commands->Save();
        RecordSheet back;
        QVERIFY(LoadGrid(named, FormatNative, back));
        QCOMPARE(back.text(1, 1), QStringLiteral("new text"));
        QCOMPARE(back.text(2, 1), QStringLiteral("later"));
        QVERIFY(back.style(1, 0).bold());

        const QString txt = path(QStringLiteral("export.txt"));
        platform().saveAnswers.enqueue(txt);
        m_commands->SaveAs(FormatTab);
        QVERIFY(fileBytes(txt).startsWith("T0\tT1\tT2\tT3\r\n"));

        const QString moved = path(QStringLiteral("moved.vty"));
        platform().saveAnswers.enqueue(moved);
        m_commands->SaveAs(FormatNative);
        QCOMPARE(doc().DocumentName(), moved);
        QCOMPARE(m_model->windowTitle(), QStringLiteral("Quillon -- ") + moved);

        m_commands->SaveAs(FormatNative); // cancelled
        QCOMPARE(doc().DocumentName(), moved);
    }

    void saveAsTextOfTheUntitledDocumentLeavesItUntitledAndClean()
    {
        edit(1, 0, QStringLiteral("x"));
        platform().saveAnswers.enqueue(path(QStringLiteral("u.txt")));
        m_commands->SaveAs(FormatTab);
        QVERIFY(doc().isUntitled());
        QVERIFY(!doc().IsModified());
        QVERIFY(!m_model->commands().isEnabled(QStringLiteral("mnuSave")));
    }

    // ---- large files in the background ---------------------------------------------------

    void largeFilesOpenInTheBackground()
    {
        const QString file = makeNative(QStringLiteral("big.vty"), 3, 20000);
        m_commands->setBackgroundThreshold(1000);
        QSignalSpy busy(m_commands.get(), &DocumentCommands::busyChanged);
        QSignalSpy started(m_commands.get(), &DocumentCommands::jobStarted);
        platform().openAnswers.enqueue(file);
        m_commands->OpenDocument(DocumentCommands::OpenNative);
        QVERIFY(m_commands->isBusy());
        QVERIFY(m_model->isSheetHeld()); // a grab waits with its pages meanwhile
        QCOMPARE(platform().busyDepth, 1);
        m_commands->New(); // ignored while busy
        QVERIFY(platform().messages.isEmpty());
        QTRY_VERIFY(!m_commands->isBusy());
        QVERIFY(!m_model->isSheetHeld());
        QCOMPARE(busy.size(), 2);
        QCOMPARE(started.size(), 1);
        QCOMPARE(platform().busyDepth, 0);
        QCOMPARE(doc().DocumentName(), file);
        QCOMPARE(sheet().rows(), 20001);
        QCOMPARE(sheet().text(20000, 2), QStringLiteral("r20000c2"));
    }

    void closingWaitsForABackgroundSave()
    {
        const QString file = makeNative(QStringLiteral("big.vty"), 3, 20000);
        openNamed(file);
        edit(5, 1, QStringLiteral("edited"));
        m_commands->setBackgroundThreshold(1000);
        platform().messageAnswers.enqueue(Platform::Yes);
        QVERIFY(!m_commands->closeRequested()); // the save runs; the window stays for now
        QVERIFY(m_commands->isBusy());
        QCOMPARE(m_ended, 0);
        QTRY_COMPARE(m_ended, 1);
        QVERIFY(!doc().IsModified());
        RecordSheet back;
        QVERIFY(LoadGrid(file, FormatNative, back));
        QCOMPARE(back.text(5, 1), QStringLiteral("edited"));
        QVERIFY(m_commands->closeRequested());
    }

    void aStoppedBackgroundReadChangesNothing()
    {
        const QString file = makeNative(QStringLiteral("big.vty"), 3, 20000);
        m_commands->setBackgroundThreshold(1000);
        platform().openAnswers.enqueue(file);
        m_commands->OpenDocument(DocumentCommands::OpenNative);
        m_commands->cancelJob();
        QTRY_VERIFY(!m_commands->isBusy());
        // Stopped before or after the last piece: either it is all there or nothing changed.
        if (doc().isUntitled()) {
            QCOMPARE(sheet().rows(), 21);
            QVERIFY(platform().messages.isEmpty());
        } else {
            QCOMPARE(sheet().rows(), 20001);
        }
    }

    // ---- the undo history ------------------------------------------------------------------

    void appendIsOneStepToUndo_data()
    {
        QTest::addColumn<int>("fileCols");
        QTest::addColumn<bool>("named");
        QTest::newRow("3 columns into 10, untitled") << 3 << false;
        QTest::newRow("12 columns into 10, untitled") << 12 << false;
        QTest::newRow("3 columns into 10, named") << 3 << true;
        QTest::newRow("12 columns into 10, named") << 12 << true;
    }
    void appendIsOneStepToUndo()
    {
        QFETCH(int, fileCols);
        QFETCH(bool, named);
        if (named)
            openNamed(makeNative(QStringLiteral("mine.vty"), 10, 6, {QStringLiteral("Name")}));
        sheet().setTitle(9, QString());
        sheet().setRowHeight(2, 480);
        const QString file = makeNative(QStringLiteral("add.vty"), fileCols, 4);
        const SheetState before = SheetState::of(*m_model);
        platform().openAnswers.enqueue(file);
        m_commands->Append();
        const SheetState after = SheetState::of(*m_model);
        QCOMPARE(after.rows, before.rows + 4);
        QCOMPARE(m_model->history().undoText(), QStringLiteral("Append"));
        m_model->history().undo();
        QUILLON_COMPARE_STATE(SheetState::of(*m_model), before);
        m_model->history().redo();
        QUILLON_COMPARE_STATE(SheetState::of(*m_model), after);
    }

    void newAndOpenStartAFreshHistory()
    {
        const QString file = makeNative(QStringLiteral("add.vty"), 3, 4);
        platform().openAnswers.enqueue(file);
        m_commands->Append();
        QVERIFY(m_model->history().canUndo());
        m_commands->New(); // Append leaves an untitled document unmarked: no prompt
        QVERIFY(platform().messages.isEmpty());
        QVERIFY(!m_model->history().canUndo());
        QVERIFY(!m_model->commands().isEnabled(QStringLiteral("mnuUndoEdit")));
        platform().openAnswers.enqueue(file);
        m_commands->Append();
        QVERIFY(m_model->history().canUndo());
        openNamed(file);
        QVERIFY(!m_model->history().canUndo());
        QVERIFY(!m_model->history().canRedo());
        QCOMPARE(m_model->commands().caption(QStringLiteral("mnuUndoEdit")), QStringLiteral("&Undo Edit"));
    }

    void saveIsWhereUndoClearsTheMark()
    {
        const QString file = makeNative(QStringLiteral("mine.vty"), 3, 4);
        openNamed(file);
        platform().openAnswers.enqueue(makeNative(QStringLiteral("add.vty"), 3, 2));
        m_commands->Append();
        QVERIFY(doc().IsModified());
        QVERIFY(doc().isSaveEnabled());
        m_commands->Save();
        QVERIFY(!doc().IsModified());
        m_model->history().undo(); // the file has the appended records: this differs from it
        QCOMPARE(sheet().rows(), 5);
        QVERIFY(doc().IsModified());
        QVERIFY(doc().isSaveEnabled());
        QVERIFY(m_model->commands().isEnabled(QStringLiteral("mnuSave")));
        m_model->history().redo(); // back to what was saved
        QVERIFY(!doc().IsModified());
        QVERIFY(!m_model->commands().isEnabled(QStringLiteral("mnuSave")));
    }

    void nothingIsUndoneWhileTheSheetIsWritten()
    {
        const QString file = makeNative(QStringLiteral("big.vty"), 3, 20000);
        openNamed(file);
        platform().openAnswers.enqueue(makeNative(QStringLiteral("add.vty"), 3, 2));
        m_commands->Append();
        QVERIFY(m_model->commands().isEnabled(QStringLiteral("mnuUndoEdit")));
        m_commands->setBackgroundThreshold(1000);
        m_commands->Save();
        QVERIFY(m_commands->isBusy());
        QVERIFY(!m_model->history().canUndo());
        QVERIFY(!m_model->commands().isEnabled(QStringLiteral("mnuUndoEdit")));
        QVERIFY(!m_model->commands().isEnabled(QStringLiteral("tb0.Undo")));
        m_model->history().undo();
        QCOMPARE(sheet().rows(), 20003);
        QTRY_VERIFY(!m_commands->isBusy());
        QVERIFY(m_model->commands().isEnabled(QStringLiteral("mnuUndoEdit")));
        m_model->history().undo();
        QCOMPARE(sheet().rows(), 20001);
    }
};

QTEST_GUILESS_MAIN(TestDocumentCommands)
#include "TestDocumentCommands.moc"

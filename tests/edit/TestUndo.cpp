// Undo and redo of every command that changes the document, on the main window's model:
// each command is done, undone (the document exactly as before: cells, styles, checks,
// heights, columns, cursor, selection and the modified mark) and redone (exactly as
// after). A long mixed run is undone to the start; the history stays within its memory.

#include "shell/MainModel.h"
#include "shell/SettingsStore.h"
#include "edit/ColumnDefModel.h"
#include "edit/EditCommands.h"
#include "testsupport/SheetState.h"
#include "testsupport/TestPlatform.h"

#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <map>
#include <memory>

using namespace quillon;

namespace {

/** The main window's model with a document of varied records, as a user would have one. */
struct Fixture
{
    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> settings;
    TestPlatform platform;
    std::unique_ptr<MainModel> model;
    std::unique_ptr<EditCommands> edit;

    explicit Fixture(bool named, const QString& undoMemory = QString())
    {
        settings = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("test.ini")));
        if (!undoMemory.isNull())
            settings->WriteSettingText(QStringLiteral("UndoMemoryMB"), undoMemory);
        model = std::make_unique<MainModel>(*settings, platform, dir.filePath(QStringLiteral("Untitled1.vty")));
        edit = std::make_unique<EditCommands>(*model);
        model->formPanel().SetupFormPanel(4000);
        model->startUntitledDocument();
        edit->rowMode();
        fill();
        if (named)
            doc().setDocumentName(dir.filePath(QStringLiteral("people.vty")));
        doc().MakeModified(false);
        model->history().clear();
    }

    RecordSheet& sheet() { return model->sheet(); }
    Document& doc() { return model->document(); }
    SheetState state() { return SheetState::of(*model); }

    /** Twelve records (two pairs of them alike), a bold cell, a painted cell, a check
     *  box column, a raised row, a Number column with a format, combo lists and the
     *  sort arrow on column 0. */
    void fill()
    {
        RecordSheet& s = sheet();
        const char* names[] = {"Zeta Lane", "Anna Berg", "Bo Carr",   "Mia Dahl", "Bo Carr", "Eli Fox",
                               "Anna Berg", "Gus Hale", "Ivy Jones", "Kai Lund", "Lea Moss", "Ned Orr"};
        s.setRows(13);
        for (int r = 1; r <= 12; ++r) {
            const QString name = QString::fromLatin1(names[r - 1]);
            s.setText(r, 0, name);
            s.setText(r, 1, QStringLiteral("%1 Main St").arg(name.size() * 7));
            s.setText(r, 2, name.startsWith(QLatin1Char('A')) ? QStringLiteral("Boston") : QStringLiteral("Austin"));
            s.setText(r, 3, QStringLiteral("TX"));
            s.setText(r, 4, QString::number(name.size() * 1.25));
            s.setText(r, 5, QStringLiteral("555-01%1").arg(name.size()));
        }
        s.setTitle(8, QStringLiteral("Notes"));
        s.setTitle(9, QStringLiteral("Called"));
        s.setColumnDataType(4, TypeNumber);
        s.setColumnFormat(4, QStringLiteral("0.00"));
        s.setColumnAlignment(4, AlignRight);
        s.setColumnDataType(9, TypeCheckbox);
        s.setChecked(2, 9, 1);
        s.setChecked(6, 9, -1);
        s.setFontFlag({2, 1, 2, 1}, CellStyle::Bold, true);
        s.setBackColor({4, 0, 4, 2}, 0xFFFF00);
        s.setRowHeight(3, 480);
        s.setHeaderPicture(0, PictureUp);
        doc().setSortedColumn(0);
        doc().ColumnComboLists()[2] = QStringLiteral("Austin|Boston");
        s.setCurrentCell(1, 0);
        model->ResyncFormPanel();
    }

    void blockSelect(int row, int col, int rowSel, int colSel)
    {
        edit->blockMode();
        sheet().selectBlock(row, col, rowSel, colSel);
    }
    void rowsSelect(std::vector<std::pair<int, int>> ranges)
    {
        edit->rowMode();
        sheet().setCurrentCell(ranges.front().first, 1);
        sheet().setSelectedRows(std::move(ranges));
    }
};

struct Command
{
    /** What the user does first: choose cells, answer the questions to come. */
    std::function<void(Fixture&)> prepare;
    /** The command. */
    std::function<void(Fixture&)> run;
};

void nothing(Fixture&) {}

/** Every command that changes the document, with what it is given. */
const std::map<QString, Command>& commands()
{
    static const std::map<QString, Command> all = {
        {QStringLiteral("edit cell"),
         {[](Fixture& f) { f.sheet().setCurrentCell(2, 1); },
          [](Fixture& f) { f.edit->editSheetCell(2, 1, QStringLiteral("Changed"), Qt::EditRole); }}},
        {QStringLiteral("check box"),
         {[](Fixture& f) { f.sheet().setCurrentCell(3, 9); },
          [](Fixture& f) { f.edit->editSheetCell(3, 9, int(Qt::Checked), Qt::CheckStateRole); }}},
        {QStringLiteral("form panel value"),
         {[](Fixture& f) {
              f.sheet().setCurrentCell(4, 0);
              f.model->fa_Click();
          },
          [](Fixture& f) { f.edit->editFormPanelCell(2, 1, QStringLiteral("Typed in the form"), Qt::EditRole); }}},
        {QStringLiteral("form panel check box"),
         {[](Fixture& f) {
              f.sheet().setCurrentCell(2, 0);
              f.model->fa_Click();
          },
          [](Fixture& f) { f.edit->editFormPanelCell(10, 1, int(Qt::Unchecked), Qt::CheckStateRole); }}},
        {QStringLiteral("paste into a block"),
         {[](Fixture& f) {
              f.blockSelect(2, 1, 4, 2);
              f.platform.clipboard = QStringLiteral("a\tb\r\nc\td\r\ne\tf\tg");
          },
          [](Fixture& f) { f.edit->paste(); }}},
        {QStringLiteral("paste into rows apart"),
         {[](Fixture& f) {
              f.rowsSelect({{2, 2}, {5, 6}});
              f.platform.clipboard = QStringLiteral("one\r\ntwo\tx\r\nthree");
          },
          [](Fixture& f) { f.edit->paste(); }}},
        {QStringLiteral("paste into the form panel"),
         {[](Fixture& f) {
              f.sheet().setCurrentCell(5, 0);
              f.model->fa_Click();
              f.model->setFocusedGrid(MainModel::Grid::FormPanel);
              f.model->formPanel().grid().selectBlock(1, 1, 3, 1);
              f.platform.clipboard = QStringLiteral("Name\tNew name\r\nNew street");
          },
          [](Fixture& f) { f.edit->paste(); }}},
        {QStringLiteral("cut a block"), {[](Fixture& f) { f.blockSelect(3, 0, 5, 2); }, [](Fixture& f) { f.edit->cut(); }}},
        {QStringLiteral("cut rows"), {[](Fixture& f) { f.rowsSelect({{2, 3}, {7, 7}}); }, [](Fixture& f) { f.edit->cut(); }}},
        {QStringLiteral("Delete key on a block"),
         {[](Fixture& f) { f.blockSelect(1, 1, 12, 1); }, [](Fixture& f) { f.edit->clearCells(); }}},
        {QStringLiteral("Delete key on selected rows"),
         {[](Fixture& f) { f.rowsSelect({{4, 5}}); }, [](Fixture& f) { f.edit->clearCells(); }}},
        {QStringLiteral("Delete key on the form panel"),
         {[](Fixture& f) {
              f.sheet().setCurrentCell(4, 0);
              f.model->fa_Click();
              f.model->formPanel().grid().selectBlock(1, 1, 2, 1);
          },
          [](Fixture& f) { f.edit->clearFormPanelValues(); }}},
        {QStringLiteral("insert row"), {[](Fixture& f) { f.sheet().setCurrentCell(3, 2); }, [](Fixture& f) { f.edit->insertRow(); }}},
        {QStringLiteral("add row"), {nothing, [](Fixture& f) { f.edit->addRow(); }}},
        {QStringLiteral("add one record button"), {nothing, [](Fixture& f) { f.edit->navigate(1); }}},
        {QStringLiteral("delete rows apart"),
         {[](Fixture& f) { f.rowsSelect({{2, 3}, {6, 6}, {12, 12}}); }, [](Fixture& f) { f.edit->deleteRows(); }}},
        {QStringLiteral("delete record, asked"),
         {[](Fixture& f) {
              f.edit->setDeletePrompt([] { return int(Platform::Yes); });
              f.sheet().setCurrentCell(3, 0);
          },
          [](Fixture& f) { f.edit->navigate(0); }}},
        {QStringLiteral("delete record, not asked"),
         {[](Fixture& f) {
              f.edit->setDontAskDelete(true);
              f.sheet().setCurrentCell(4, 1);
          },
          [](Fixture& f) { f.edit->navigate(0); }}},
        {QStringLiteral("insert column"), {[](Fixture& f) { f.sheet().setCurrentCell(2, 1); }, [](Fixture& f) { f.edit->insertColumn(); }}},
        {QStringLiteral("delete column"), {[](Fixture& f) { f.sheet().setCurrentCell(2, 0); }, [](Fixture& f) { f.edit->deleteColumn(); }}},
        {QStringLiteral("row height increase"),
         {[](Fixture& f) { f.rowsSelect({{2, 4}}); }, [](Fixture& f) { f.edit->increaseRowHeight(); }}},
        {QStringLiteral("row height decrease"),
         {[](Fixture& f) { f.sheet().setCurrentCell(3, 0); }, [](Fixture& f) { f.edit->decreaseRowHeight(); }}},
        {QStringLiteral("row heights reset"), {nothing, [](Fixture& f) { f.edit->resetRowHeights(); }}},
        {QStringLiteral("sort ascending"), {nothing, [](Fixture& f) { f.edit->sortByTitle(1); }}},
        {QStringLiteral("sort descending"), {nothing, [](Fixture& f) { f.edit->sortByTitle(0); }}},
        {QStringLiteral("Delete Duplicates"),
         {[](Fixture& f) { f.platform.messageAnswers.enqueue(Platform::Yes); },
          [](Fixture& f) { f.edit->deleteDuplicates(); }}},
        {QStringLiteral("column title"),
         {[](Fixture& f) {
              f.sheet().setCurrentCell(1, 3);
              f.platform.inputAnswers.enqueue(QStringLiteral("Province"));
          },
          [](Fixture& f) { f.edit->columnTitle(); }}},
        {QStringLiteral("Column Define"),
         {nothing,
          [](Fixture& f) {
              ColumnDefModel fd(*f.model);
              fd.open(false);
              fd.deleteRow(1); // the street column goes with its cells
              fd.insertRow(3); // a new, empty column
              fd.setData(fd.index(0, ColumnDefModel::TitleColumn), QStringLiteral("Full name"));
              fd.setData(fd.index(4, ColumnDefModel::TypeColumn), QStringLiteral("Money"));
              fd.setData(fd.index(2, ColumnDefModel::ComboColumn), QStringLiteral("TX|NM"));
              fd.apply();
          }}},
        {QStringLiteral("Column Attributes"),
         {[](Fixture& f) { f.sheet().setCurrentCell(1, 2); },
          [](Fixture& f) {
              ColumnDefModel fd(*f.model);
              fd.open(true);
              fd.setData(fd.index(0, ColumnDefModel::TitleColumn), QStringLiteral("Town"));
              fd.setData(fd.index(0, ColumnDefModel::HideColumn), int(Qt::Checked), Qt::CheckStateRole);
              fd.apply();
          }}},
        {QStringLiteral("data type"),
         {[](Fixture& f) { f.sheet().setCurrentCell(1, 5); }, [](Fixture& f) { f.edit->setColumnDataType(TypeMoney); }}},
        {QStringLiteral("column format"),
         {[](Fixture& f) { f.sheet().setCurrentCell(1, 4); },
          [](Fixture& f) { f.edit->setColumnFormat(QStringLiteral("#,###.00")); }}},
        {QStringLiteral("column alignment"),
         {[](Fixture& f) { f.sheet().setCurrentCell(1, 0); }, [](Fixture& f) { f.edit->setColumnAlignment(AlignCenter); }}},
        {QStringLiteral("cell alignment"),
         {[](Fixture& f) { f.rowsSelect({{1, 2}, {4, 4}}); }, [](Fixture& f) { f.edit->alignCells(AlignRight); }}},
        {QStringLiteral("background colour"),
         {[](Fixture& f) {
              f.blockSelect(3, 1, 5, 3);
              f.platform.colorAnswers.enqueue(Rgb(0x00FF00));
          },
          [](Fixture& f) { f.edit->backgroundColor(); }}},
        {QStringLiteral("font colour swatch"),
         {[](Fixture& f) { f.blockSelect(1, 0, 2, 1); }, [](Fixture& f) { f.edit->chooseSwatch(1); }}},
        {QStringLiteral("A button"),
         {[](Fixture& f) {
              f.model->setCurrentFontColor(0x0000FF);
              f.rowsSelect({{6, 7}});
          },
          [](Fixture& f) { f.edit->applyCurrentFontColor(); }}},
        {QStringLiteral("bold"),
         {[](Fixture& f) { f.blockSelect(2, 0, 2, 2); }, [](Fixture& f) { f.edit->toggleFontFlag(CellStyle::Bold); }}},
        {QStringLiteral("italic"),
         {[](Fixture& f) { f.rowsSelect({{5, 5}}); }, [](Fixture& f) { f.edit->toggleFontFlag(CellStyle::Italic); }}},
        {QStringLiteral("underline"),
         {[](Fixture& f) { f.blockSelect(1, 3, 3, 3); }, [](Fixture& f) { f.edit->toggleFontFlag(CellStyle::Underline); }}},
        {QStringLiteral("fonts"), {nothing, [](Fixture& f) { f.edit->fonts(); }}},
        {QStringLiteral("date-time stamp"),
         {[](Fixture& f) { f.sheet().setCurrentCell(3, 8); }, [](Fixture& f) { f.edit->dateTimeStamp(); }}},
        {QStringLiteral("drag records"),
         {[](Fixture& f) { f.rowsSelect({{2, 3}}); }, [](Fixture& f) { f.edit->moveSelectedRecords(9); }}},
    };
    return all;
}

} // namespace

class TestUndo : public QObject
{
    Q_OBJECT

private slots:
    void everyCommandUndoesAndRedoes_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("named");
        for (const auto& [name, command] : commands()) {
            QTest::newRow(qPrintable(name + QStringLiteral(", untitled"))) << name << false;
            QTest::newRow(qPrintable(name + QStringLiteral(", named"))) << name << true;
        }
    }
    void everyCommandUndoesAndRedoes()
    {
        QFETCH(QString, command);
        QFETCH(bool, named);
        Fixture f(named);
        const Command& c = commands().at(command);
        c.prepare(f);
        const SheetState before = f.state();
        c.run(f);
        const SheetState after = f.state();
        QVERIFY2(!after.sameContents(before), "the command changed nothing");
        QCOMPARE(f.model->history().count(), 1);

        f.model->history().undo();
        QUILLON_COMPARE_STATE(f.state(), before);
        QVERIFY(!f.model->history().canUndo());
        f.model->history().redo();
        QUILLON_COMPARE_STATE(f.state(), after);
        f.model->history().undo();
        QUILLON_COMPARE_STATE(f.state(), before);
    }

    void longMixedRunUndoesToTheStart()
    {
        Fixture f(true);
        const QStringList run = {
            QStringLiteral("edit cell"),         QStringLiteral("sort ascending"),
            QStringLiteral("paste into a block"), QStringLiteral("insert column"),
            QStringLiteral("bold"),              QStringLiteral("delete rows apart"),
            QStringLiteral("check box"),         QStringLiteral("Column Define"),
            QStringLiteral("row height increase"), QStringLiteral("Delete Duplicates"),
            QStringLiteral("drag records"),      QStringLiteral("cut rows"),
            QStringLiteral("insert row"),        QStringLiteral("form panel value"),
            QStringLiteral("delete column"),     QStringLiteral("background colour"),
            QStringLiteral("sort descending"),   QStringLiteral("fonts"),
            QStringLiteral("add row"),           QStringLiteral("Delete key on a block"),
            QStringLiteral("column title"),      QStringLiteral("date-time stamp"),
            QStringLiteral("data type"),         QStringLiteral("row heights reset"),
        };
        // The state before each command, after its choice of cells; and at the end.
        std::vector<SheetState> states;
        for (const QString& name : run) {
            const Command& c = commands().at(name);
            c.prepare(f);
            states.push_back(f.state());
            c.run(f);
        }
        const SheetState end = f.state();
        QCOMPARE(f.model->history().count(), int(run.size()));
        for (qsizetype i = run.size() - 1; i >= 0; --i) {
            QCOMPARE(f.model->history().undoText().isEmpty(), false);
            // The mouse mode is the user's view, which undo leaves alone: the user goes back
            // to the mode of the time first.
            f.model->setMouseMode(states[size_t(i)].blockMode);
            f.model->history().undo();
            QUILLON_COMPARE_STATE(f.state(), states[size_t(i)]);
        }
        QVERIFY(!f.model->history().canUndo());
        QVERIFY(!f.doc().IsModified());
        f.model->setMouseMode(end.blockMode);
        while (f.model->history().canRedo())
            f.model->history().redo();
        QUILLON_COMPARE_STATE(f.state(), end);
    }

    void memorySettingFallsBackOnNonsense_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<qint64>("megabytes");
        QTest::newRow("not set") << QString() << qint64(256);
        QTest::newRow("empty") << QStringLiteral("") << qint64(256);
        QTest::newRow("64") << QStringLiteral("64") << qint64(64);
        QTest::newRow("spaces around") << QStringLiteral(" 512 ") << qint64(512);
        QTest::newRow("one") << QStringLiteral("1") << qint64(1);
        QTest::newRow("zero") << QStringLiteral("0") << qint64(256);
        QTest::newRow("negative") << QStringLiteral("-20") << qint64(256);
        QTest::newRow("fraction") << QStringLiteral("1.5") << qint64(256);
        QTest::newRow("words") << QStringLiteral("lots") << qint64(256);
        QTest::newRow("a terabyte") << QStringLiteral("1048576") << qint64(1048576);
        QTest::newRow("past a terabyte") << QStringLiteral("1048577") << qint64(256);
    }
    void memorySettingFallsBackOnNonsense()
    {
        QFETCH(QString, setting);
        QFETCH(qint64, megabytes);
        Fixture f(false, setting);
        QCOMPARE(f.model->history().memoryLimit(), megabytes << 20);
    }

    void historyStaysWithinItsMemory()
    {
        // One megabyte of history; each Delete below keeps some 150 KB of texts.
        Fixture f(true, QStringLiteral("1"));
        RecordSheet& s = f.sheet();
        const int records = 3000;
        {
            RecordSheet::Batch batch(s);
            s.setRows(records + 1);
            for (int r = 1; r <= records; ++r)
                for (int c = 0; c < 10; ++c)
                    s.setText(r, c, QStringLiteral("record %1 field %2 with some text of a listing").arg(r).arg(c));
        }
        f.model->history().clear();
        const SheetState start = f.state();
        const int blocks = 12;
        const int per = records / blocks;
        for (int b = 0; b < blocks; ++b) {
            f.blockSelect(1 + b * per, 0, (b + 1) * per, 9);
            f.edit->clearCells();
            QVERIFY(f.model->history().memoryUsed() <= (qint64(1) << 20));
            QVERIFY(f.model->history().memoryUsed() > 0);
        }
        const int kept = f.model->history().count();
        QVERIFY2(kept >= 4 && kept < blocks, qPrintable(QString::number(kept)));
        // The oldest steps are gone: undoing all that is left brings back the newest blocks only.
        while (f.model->history().canUndo())
            f.model->history().undo();
        for (int b = 0; b < blocks; ++b) {
            const bool back = b >= blocks - kept;
            QCOMPARE(s.text(1 + b * per, 3).isEmpty(), !back);
            QCOMPARE(s.text((b + 1) * per, 9).isEmpty(), !back);
        }
        QVERIFY(f.doc().IsModified()); // the sheet is not what was saved
        QVERIFY(!f.state().sameContents(start));
        while (f.model->history().canRedo())
            f.model->history().redo();
        for (int b = 0; b < blocks; ++b)
            QVERIFY(s.text(1 + b * per, 3).isEmpty());
    }

    void sortKeepsItsOrderOnly()
    {
        Fixture f(true);
        RecordSheet& s = f.sheet();
        const int records = 50000;
        {
            RecordSheet::Batch batch(s);
            s.setRows(records + 1);
            for (int r = 1; r <= records; ++r)
                for (int c = 0; c < 10; ++c)
                    s.setText(r, c, QStringLiteral("%1 listing text %2").arg((r * 7919) % records).arg(c));
        }
        f.model->history().clear();
        f.edit->sortByTitle(0);
        // A permutation of 50,000 records is 200,000 bytes; the texts alone are 20 times more.
        const qint64 kept = f.model->history().memoryUsed();
        QVERIFY2(kept >= records * 4 && kept < records * 4 + 20000, qPrintable(QString::number(kept)));
        f.model->history().undo();
        QVERIFY(f.model->history().memoryUsed() < records * 4 + 20000);
    }

    void deleteDuplicatesKeepsTheRecordsItRemovedOnly()
    {
        Fixture f(true);
        RecordSheet& s = f.sheet();
        const int records = 20000;
        {
            RecordSheet::Batch batch(s);
            s.setRows(records + 1);
            for (int r = 1; r <= records; ++r)
                for (int c = 0; c < 10; ++c) // every tenth record repeats the one before it
                    s.setText(r, c, QStringLiteral("%1 listing text %2").arg(r - (r % 10 == 0 ? 1 : 0)).arg(c));
        }
        f.model->history().clear();
        const SheetState before = f.state();
        f.platform.messageAnswers.enqueue(Platform::Yes);
        f.edit->deleteDuplicates();
        QCOMPARE(s.recordCount(), records - records / 10);
        // The order (4 bytes a record) and the 2,000 records removed, about 25 bytes a cell.
        const qint64 kept = f.model->history().memoryUsed();
        QVERIFY2(kept < records * 4 + (records / 10) * 10 * 40, qPrintable(QString::number(kept)));
        f.model->history().undo();
        QUILLON_COMPARE_STATE(f.state(), before);
    }
};

QTEST_GUILESS_MAIN(TestUndo)
#include "TestUndo.moc"

#include "shell/MainModel.h"
#include "shell/SettingsStore.h"
#include "edit/EditCommands.h"
#include "edit/FindSession.h"
#include "testsupport/TestPlatform.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace quillon;

namespace {

const QString kUntitled = QStringLiteral("/data/Untitled1.vty");

QStringList L(std::initializer_list<const char*> items)
{
    QStringList out;
    for (const char* item : items)
        out << QString::fromUtf8(item);
    return out;
}

/** The main window's model with a new document, as the window sets it up. */
struct Fixture
{
    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> settings;
    TestPlatform platform;
    std::unique_ptr<MainModel> model;
    std::unique_ptr<EditCommands> edit;

    Fixture()
    {
        settings = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("test.ini")));
        model = std::make_unique<MainModel>(*settings, platform, kUntitled);
        edit = std::make_unique<EditCommands>(*model);
        model->document().buildNewSheet();
        model->formPanel().SetupFormPanel(4000);
        model->ResyncFormPanel();
        model->commands().setChecked(QStringLiteral("mnuGrid"), true);
        model->commands().setChecked(QStringLiteral("mnuDragNo"), true);
        edit->rowMode();
    }

    RecordSheet& sheet() { return model->sheet(); }
    Document& doc() { return model->document(); }
    /** Names the document as if it had been opened from a file. */
    void named() { doc().setDocumentName(QStringLiteral("/data/people.vty")); }
    /** Column 0 of records 1 .. n. */
    void fillNames(int n)
    {
        sheet().setRows(n + 1);
        for (int r = 1; r <= n; ++r)
            sheet().setText(r, 0, QStringLiteral("r%1").arg(r));
    }
    QStringList names()
    {
        QStringList out;
        for (int r = 1; r < sheet().rows(); ++r)
            out << sheet().text(r, 0);
        return out;
    }
    QStringList rowTexts(int r)
    {
        QStringList out;
        for (int c = 0; c < sheet().cols(); ++c)
            out << sheet().text(r, c);
        return out;
    }
};

} // namespace

class TestEditCommands : public QObject
{
    Q_OBJECT

private slots:
    // ---- mouse modes ----------------------------------------------------------------------

    void modesShowInMenusToolbarAndStatus()
    {
        Fixture f;
        CommandStates& c = f.model->commands();
        QVERIFY(c.isChecked(QStringLiteral("mnuMouseMode0")));
        QVERIFY(c.isChecked(QStringLiteral("tb0.RowMode")));
        QVERIFY(!f.model->isBlockMode());
        QCOMPARE(f.model->panels().text(MainModel::ModePanel), QStringLiteral("ROW"));
        QCOMPARE(f.sheet().selectionMode(), RecordSheet::SelectionMode::Rows);

        f.sheet().setCurrentCell(3, 4);
        f.edit->blockMode();
        QVERIFY(c.isChecked(QStringLiteral("mnuMouseMode1")));
        QVERIFY(!c.isChecked(QStringLiteral("mnuMouseMode0")));
        QVERIFY(c.isChecked(QStringLiteral("tb0.BlockMode")));
        QVERIFY(!c.isChecked(QStringLiteral("tb0.RowMode")));
        QVERIFY(f.model->isBlockMode());
        QCOMPARE(f.model->panels().text(MainModel::ModePanel), QStringLiteral("EDIT"));
        QCOMPARE(f.sheet().selectionMode(), RecordSheet::SelectionMode::Block);

        f.edit->rowMode();
        QCOMPARE(f.sheet().selectedRowList(), std::vector<int>{3});
        QCOMPARE(f.sheet().selectedBlock(), (CellRect{3, 0, 3, 9}));
        QCOMPARE(f.model->panels().text(MainModel::ModePanel), QStringLiteral("ROW"));
    }

    void focusShowsOrHidesEditItems()
    {
        Fixture f;
        CommandStates& c = f.model->commands();
        f.edit->blockMode();
        c.setEnabled(QStringLiteral("tb0.Cut"), false);
        f.edit->gridFocused(MainModel::Grid::FormPanel);
        QCOMPARE(f.model->focusedGrid(), MainModel::Grid::FormPanel);
        for (const char* name : {"mnuEditCut", "mnuEditPaste", "mnuEditColTitle", "mnuSelectAll", "mnuEditFind",
                                 "mnuEditColAttr", "mnuAlign"})
            QVERIFY2(!c.isVisible(QLatin1String(name)), name);
        QVERIFY(c.isVisible(QStringLiteral("mnuEditCopy")));
        f.edit->gridFocused(MainModel::Grid::Sheet);
        QVERIFY(c.isVisible(QStringLiteral("mnuEditColTitle")));
        QVERIFY(c.isEnabled(QStringLiteral("tb0.Cut")));
    }

    void selectionPanelCountsRows()
    {
        Fixture f;
        f.sheet().setSelectedRows({{3, 3}, {5, 5}, {9, 9}});
        QCOMPARE(f.model->panels().text(MainModel::SelectionPanel), QStringLiteral("3 Sel"));
        f.edit->selectAll();
        QCOMPARE(f.model->panels().text(MainModel::SelectionPanel), QStringLiteral("20 Sel"));
    }

    // ---- rows and columns -----------------------------------------------------------------

    void deleteRowsRemovesExactlyTheSelectedRows()
    {
        Fixture f;
        f.named();
        f.fillNames(12);
        f.sheet().setCurrentCell(3, 0);
        f.sheet().setSelectedRows({{3, 3}, {5, 5}, {9, 9}});
        f.edit->deleteRows();
        QCOMPARE(f.names(), L({"r1", "r2", "r4", "r6", "r7", "r8", "r10", "r11", "r12"}));
        QVERIFY(f.doc().isSaveEnabled());
        QCOMPARE(f.model->panels().text(MainModel::RecordPanel), QStringLiteral("%1 / 9").arg(f.sheet().currentRow()));
    }

    void deleteRowsWithoutSelectionTakesTheCurrentRow()
    {
        Fixture f;
        f.fillNames(4);
        f.edit->blockMode();
        f.sheet().setCurrentCell(2, 3);
        f.edit->deleteRows();
        QCOMPARE(f.names(), L({"r1", "r3", "r4"}));
        // An untitled document keeps Save off, yet closing it asks to save.
        QVERIFY(f.doc().IsModified());
        QVERIFY(!f.doc().isSaveEnabled());
    }

    void rowHeightsOnTheFocusedGrid()
    {
        Fixture f;
        RecordSheet& s = f.sheet();
        s.setCurrentCell(2, 0);
        f.edit->decreaseRowHeight();
        QCOMPARE(s.rowHeight(2), 240); // a row of 240 twips stays
        f.edit->increaseRowHeight();
        f.edit->increaseRowHeight();
        f.edit->decreaseRowHeight();
        QCOMPARE(s.rowHeight(2), 480);
        s.setCurrentCell(4, 0);
        s.setSelectedRows({{4, 6}});
        f.edit->increaseRowHeight();
        QCOMPARE(s.rowHeight(5), 480);
        s.setRowHeight(0, 600);
        f.edit->resetRowHeights();
        for (int r : {2, 4, 5, 6})
            QCOMPARE(s.rowHeight(r), 240);
        QCOMPARE(s.rowHeight(0), 600); // the header keeps its height

        // The form panel when it has the focus; the sheet is left alone.
        f.edit->gridFocused(MainModel::Grid::FormPanel);
        RecordSheet& fb = f.model->formPanel().grid();
        fb.setCurrentCell(3, 1);
        f.edit->increaseRowHeight();
        QCOMPARE(fb.rowHeight(3), 480);
        QCOMPARE(s.rowHeight(3), 240);
    }

    void decreaseLeavesNoRowWithoutHeight()
    {
        Fixture f;
        RecordSheet& s = f.sheet();
        s.setRowHeight(3, 720);
        s.setCurrentCell(3, 0);
        s.setSelectedRows({{3, 4}});
        f.edit->decreaseRowHeight();
        QCOMPARE(s.rowHeight(3), 480);
        QCOMPARE(s.rowHeight(4), 240);
    }

    void addRowAppendsWithoutEnablingSave()
    {
        Fixture f;
        f.named();
        f.edit->addRow();
        QCOMPARE(f.sheet().rows(), 22);
        QCOMPARE(f.sheet().currentRow(), 21);
        QVERIFY(!f.doc().isSaveEnabled());
        QCOMPARE(f.model->panels().text(MainModel::RecordPanel), QStringLiteral("21 / 21"));
    }

    void insertRowAboveTheCurrentRecord()
    {
        Fixture f;
        f.named();
        f.fillNames(6);
        f.sheet().setCurrentCell(4, 2);
        f.edit->insertRow();
        QCOMPARE(f.names(), L({"r1", "r2", "r3", "", "r4", "r5", "r6"}));
        QCOMPARE(f.sheet().currentRow(), 4);
        QVERIFY(f.doc().isSaveEnabled());
    }

    void insertAndDeleteColumns()
    {
        Fixture f;
        f.named();
        RecordSheet& s = f.sheet();
        s.setText(1, 1, QStringLiteral("12 Main St"));
        s.setText(1, 2, QStringLiteral("Salem"));
        f.doc().ColumnComboLists()[2] = QStringLiteral("Salem|Clinton");
        s.setCurrentCell(1, 1);
        f.edit->deleteColumn();
        QCOMPARE(s.cols(), 9);
        QCOMPARE(s.title(1), QStringLiteral("City"));
        QCOMPARE(s.text(1, 1), QStringLiteral("Salem"));
        QCOMPARE(s.title(6), QStringLiteral("Email"));
        QCOMPARE(f.doc().ColumnComboLists()[1], QStringLiteral("Salem|Clinton"));
        QCOMPARE(f.model->formPanel().grid().rows(), 10);
        QCOMPARE(f.model->formPanel().grid().text(2, 0), QStringLiteral("City"));
        QVERIFY(f.doc().isSaveEnabled());

        f.edit->insertColumn();
        QCOMPARE(s.cols(), 10);
        QCOMPARE(s.title(1), QString());
        QVERIFY(s.isCellEmpty(1, 1));
        QCOMPARE(s.text(1, 2), QStringLiteral("Salem"));
        QCOMPARE(s.currentCol(), 1);
        QCOMPARE(f.doc().ColumnComboLists().size(), 10);
        QCOMPARE(f.model->formPanel().grid().text(3, 0), QStringLiteral("City"));
    }

    void deleteColumnMovesTheSortArrowWithItsColumn()
    {
        Fixture f;
        f.sheet().setCurrentCell(1, 4);
        f.edit->sortByTitle(4);
        f.sheet().setCurrentCell(1, 1);
        f.edit->deleteColumn();
        QCOMPARE(f.doc().SortedColumn(), 3);
        QCOMPARE(int(f.sheet().style(0, 3).picture), int(PictureUp));
        f.sheet().setCurrentCell(1, 3);
        f.edit->deleteColumn();
        QCOMPARE(f.doc().SortedColumn(), -1);
        f.edit->sortByTitle(2); // no stale arrow to clear
        QCOMPARE(f.doc().SortedColumn(), 2);
    }

    // ---- clipboard ------------------------------------------------------------------------

    void pasteTargets_data()
    {
        QTest::addColumn<bool>("block");
        QTest::addColumn<QString>("clip");
        QTest::addColumn<QStringList>("row2");
        QTest::addColumn<QStringList>("row3");
        QTest::newRow("block: three values fill only a 1 x 2 block")
            << true << "a\tb\tc" << QStringList(1) + L({"a", "b"}) + QStringList(7) << QStringList(10);
        QTest::newRow("block: rows beyond the block are dropped")
            << true << "a\tb\r\nc\td\r\ne" << QStringList(1) + L({"a", "b"}) + QStringList(7) << QStringList(10);
        QTest::newRow("row mode: rows from the current one across all columns")
            << false << "a\tb\r\nc\td\r\ne\tf" << L({"a", "b"}) + QStringList(8) << L({"c", "d"}) + QStringList(8);
        QTest::newRow("spreadsheet text with a line break in a cell")
            << false << "\"two\nlines\"\tx\r\n" << L({"two\nlines", "x"}) + QStringList(8) << QStringList(10);
    }

    void pasteTargets()
    {
        QFETCH(bool, block);
        QFETCH(QString, clip);
        QFETCH(QStringList, row2);
        QFETCH(QStringList, row3);
        Fixture f;
        if (block) {
            f.edit->blockMode();
            f.sheet().selectBlock(2, 1, 2, 2);
        } else {
            f.sheet().setCurrentCell(2, 5);
            f.sheet().setSelectedRows({{2, 3}});
        }
        f.platform.clipboard = clip;
        f.edit->paste();
        QCOMPARE(f.rowTexts(2), row2);
        QCOMPARE(f.rowTexts(3), row3);
        QVERIFY(f.rowTexts(4) == QStringList(10));
        QVERIFY(f.doc().IsModified());
    }

    void pasteIntoTheFormPanelWritesTheRecord()
    {
        Fixture f;
        f.sheet().setCurrentCell(2, 0);
        f.model->fa_Click();
        f.edit->gridFocused(MainModel::Grid::FormPanel);
        RecordSheet& fb = f.model->formPanel().grid();
        fb.selectBlock(2, 1, 3, 1);
        f.platform.clipboard = QStringLiteral("Street\t5 Oak Ave\r\nSalem");
        f.edit->paste();
        QCOMPARE(f.sheet().text(2, 1), QStringLiteral("5 Oak Ave"));
        QCOMPARE(f.sheet().text(2, 2), QStringLiteral("Salem"));
        QVERIFY(f.sheet().isCellEmpty(2, 0));
    }

    void copyAndCut()
    {
        Fixture f;
        f.named();
        RecordSheet& s = f.sheet();
        s.setText(2, 0, QStringLiteral("Ann"));
        s.setText(2, 1, QStringLiteral("1 Elm St"));
        s.setText(3, 1, QStringLiteral("tab\there"));
        f.edit->blockMode();
        s.selectBlock(2, 0, 3, 1);
        f.edit->copy();
        QCOMPARE(f.platform.clipboard, QStringLiteral("Ann\t1 Elm St\r\n\t\"tab\there\""));
        QVERIFY(!f.doc().isSaveEnabled());

        f.edit->rowMode();
        s.setCurrentCell(3, 0);
        s.setSelectedRows({{1, 1}, {3, 3}});
        f.edit->cut();
        QCOMPARE(f.platform.clipboard, QStringLiteral("\t\t\t\t\t\t\t\t\t\r\n\t\"tab\there\"\t\t\t\t\t\t\t\t"));
        QVERIFY(s.isCellEmpty(3, 1));
        QCOMPARE(s.text(2, 0), QStringLiteral("Ann")); // between the chosen rows: kept
        QCOMPARE(s.rows(), 21);
        QVERIFY(f.doc().isSaveEnabled());

        // Copy takes the focused grid: the form panel's rows, titles and values.
        s.setCurrentCell(2, 0);
        f.model->fa_Click();
        f.edit->gridFocused(MainModel::Grid::FormPanel);
        f.model->formPanel().grid().selectBlock(1, 0, 2, 1);
        f.edit->copy();
        QCOMPARE(f.platform.clipboard, QStringLiteral("Name\tAnn\r\nStreet\t1 Elm St"));
        f.edit->copySheet(); // the popup's Copy: the sheet's selection
        QVERIFY(f.platform.clipboard.startsWith(QStringLiteral("Ann\t1 Elm St")));
    }

    void selectAllTakesEveryRecord()
    {
        Fixture f;
        f.edit->blockMode();
        f.model->setFocusedGrid(MainModel::Grid::FormPanel);
        f.edit->selectAll();
        QCOMPARE(f.sheet().selectedBlock(), (CellRect{1, 0, 20, 9}));
        QCOMPARE(f.model->focusedGrid(), MainModel::Grid::Sheet);
    }

    // ---- texts and formatting -----------------------------------------------------------

    void columnTitle_data()
    {
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::addColumn<QString>("title");
        QTest::newRow("new title") << std::optional<QString>(QStringLiteral("Fax")) << "Fax";
        QTest::newRow("empty answer changes nothing") << std::optional<QString>(QString()) << "State";
        QTest::newRow("cancel changes nothing") << std::optional<QString>() << "State";
    }

    void columnTitle()
    {
        QFETCH(std::optional<QString>, answer);
        QFETCH(QString, title);
        Fixture f;
        f.named();
        f.sheet().setCurrentCell(1, 3);
        f.platform.inputAnswers.enqueue(answer);
        f.edit->columnTitle();
        QCOMPARE(f.platform.inputRequests.size(), 1);
        QCOMPARE(f.platform.inputRequests[0].title, QStringLiteral("Column Title"));
        QCOMPARE(f.platform.inputRequests[0].prompt, QStringLiteral("Enter New Column Title (Header):"));
        QCOMPARE(f.platform.inputRequests[0].defaultAnswer, QStringLiteral("State"));
        QCOMPARE(f.sheet().title(3), title);
        QCOMPARE(f.model->formPanel().grid().text(4, 0), title);
        QCOMPARE(f.doc().isSaveEnabled(), title == QStringLiteral("Fax"));
    }

    void dateTimeStamp_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("stored");
        QTest::newRow("general form") << int(TypeText) << "" << "12/8/2026 4:24:09 PM";
        QTest::newRow("date format") << int(TypeDate) << "mm/dd/yy hh:mm" << "12/08/26 16:24";
        QTest::newRow("number format: the day number") << int(TypeNumber) << "0.00" << "46364.68";
    }

    void dateTimeStamp()
    {
        QFETCH(int, type);
        QFETCH(QString, format);
        QFETCH(QString, stored);
        Fixture f;
        f.sheet().setColumnDataType(6, type);
        f.sheet().setColumnFormat(6, format);
        f.sheet().setCurrentCell(3, 6);
        f.model->fa_Click();
        f.edit->dateTimeStamp();
        QCOMPARE(f.sheet().text(3, 6), stored);
        QVERIFY(!f.model->formPanel().grid().text(7, 1).isEmpty());
        // Like any edit of a cell: closing the untitled document asks to save it.
        QVERIFY(f.doc().IsModified());
    }

    void dateTimeStampFromTheFormPanel()
    {
        Fixture f;
        f.named();
        f.sheet().setCurrentCell(5, 0);
        f.model->fa_Click();
        f.edit->gridFocused(MainModel::Grid::FormPanel);
        f.model->formPanel().grid().setCurrentCell(8, 1); // sheet column 7
        f.edit->dateTimeStamp();
        QCOMPARE(f.sheet().text(5, 7), QStringLiteral("12/8/2026 4:24:09 PM"));
        QCOMPARE(f.model->formPanel().grid().text(8, 1), QStringLiteral("12/8/2026 4:24:09 PM"));
        QVERIFY(f.sheet().isCellEmpty(5, 0));
        QVERIFY(f.doc().isSaveEnabled());
    }

    void alignmentAndColours()
    {
        Fixture f;
        f.named();
        RecordSheet& s = f.sheet();
        f.edit->blockMode();
        s.selectBlock(2, 1, 3, 2);
        f.edit->alignCells(AlignCenter);
        QCOMPARE(s.effectiveAlignment(3, 2), int(AlignCenter));
        QCOMPARE(s.effectiveAlignment(3, 3), int(AlignLeft));
        QCOMPARE(s.column(2).alignment, int(AlignLeft));
        QVERIFY(!f.doc().isSaveEnabled());

        f.platform.colorAnswers.enqueue(std::nullopt);
        f.edit->backgroundColor();
        QVERIFY(!s.style(2, 1).hasBack());
        f.platform.colorAnswers.enqueue(Rgb(0x123456));
        f.edit->backgroundColor();
        QCOMPARE(s.style(3, 2).back, Rgb(0x123456));
        QVERIFY(!s.style(3, 3).hasBack());
        QVERIFY(f.doc().isSaveEnabled());

        // Row mode: from the current row to the selection's end, every column.
        f.edit->rowMode();
        s.setCurrentCell(5, 0);
        s.setSelectedRows({{5, 6}});
        f.edit->alignCells(AlignRight);
        QCOMPARE(s.effectiveAlignment(6, 9), int(AlignRight));
        QCOMPARE(s.effectiveAlignment(7, 9), int(AlignLeft));

        // The form panel's value cells when it has the focus.
        f.edit->gridFocused(MainModel::Grid::FormPanel);
        RecordSheet& fb = f.model->formPanel().grid();
        fb.selectBlock(2, 0, 3, 1);
        f.platform.colorAnswers.enqueue(Rgb(0xABCDEF));
        f.edit->backgroundColor();
        QCOMPARE(fb.style(3, 1).back, Rgb(0xABCDEF));
        QVERIFY(!fb.style(3, 0).hasBack());
    }

    void fontsAreTwelvePoints()
    {
        Fixture f;
        f.edit->fonts();
        QCOMPARE(f.sheet().fontPointSize(), 12);
    }

    void paletteSwatches_data()
    {
        QTest::addColumn<int>("swatch");
        QTest::addColumn<int>("color");
        const int colors[] = {0x000000, 0xFF0000, 0x800000, 0x008000, 0x000080, 0x800080, 0xFF00FF, 0x0000FF};
        for (int i = 0; i < 8; ++i)
            QTest::newRow(qPrintable(QStringLiteral("swatch %1").arg(i))) << i << colors[i];
    }

    void paletteSwatches()
    {
        QFETCH(int, swatch);
        QFETCH(int, color);
        Fixture f;
        f.named();
        QCOMPARE(f.edit->pressedSwatch(), 0);
        QCOMPARE(f.model->currentFontColor(), Rgb(0));
        f.edit->showPalette();
        QVERIFY(f.edit->isPaletteShown());
        f.sheet().setCurrentCell(4, 0);
        f.edit->chooseSwatch(swatch);
        QVERIFY(!f.edit->isPaletteShown());
        QCOMPARE(f.edit->pressedSwatch(), swatch);
        QCOMPARE(f.model->currentFontColor(), Rgb(color));
        QCOMPARE(f.sheet().style(4, 9).fore, Rgb(color));
        QVERIFY(f.sheet().style(4, 9).hasFore());
        QVERIFY(f.doc().isSaveEnabled());
    }

    void viewOptions()
    {
        Fixture f;
        CommandStates& c = f.model->commands();
        QVERIFY(f.edit->gridLinesShown());
        f.edit->toggleGridLines();
        QVERIFY(!c.isChecked(QStringLiteral("mnuGrid")));
        f.edit->toggleGridLines();
        QVERIFY(f.edit->gridLinesShown());

        f.edit->toggleDragMode();
        QVERIFY(f.edit->isDragMode());
        QVERIFY(c.isChecked(QStringLiteral("tb0.DragMode")));
        QVERIFY(!c.isChecked(QStringLiteral("mnuDragNo")));
        QCOMPARE(f.model->panels().text(MainModel::DragPanel), QStringLiteral("DRAG"));
        f.edit->toggleDragMode();
        QVERIFY(!c.isChecked(QStringLiteral("tb0.DragMode")));
        QVERIFY(c.isChecked(QStringLiteral("mnuDragNo")));
        QCOMPARE(f.model->panels().text(MainModel::DragPanel), QString());

        QCOMPARE(f.edit->alternateRowColor(), Rgb(0xFFFFFF));
        f.edit->toggleAlternateColor();
        QVERIFY(c.isChecked(QStringLiteral("mnuAlternateColor")));
        QCOMPARE(f.edit->alternateRowColor(), Rgb(0xC0FFC0));
    }

    void dragMovesTheSelectedRecords()
    {
        Fixture f;
        f.fillNames(8);
        f.sheet().setCurrentCell(2, 0);
        f.sheet().setSelectedRows({{2, 2}, {4, 5}});
        f.edit->moveSelectedRecords(8);
        QCOMPARE(f.names(), L({"r1", "r3", "r6", "r7", "r2", "r4", "r5", "r8"}));
        QCOMPARE(f.sheet().selectedRowList(), (std::vector<int>{5, 6, 7}));
        f.edit->moveSelectedRecords(1);
        QCOMPARE(f.names(), L({"r2", "r4", "r5", "r1", "r3", "r6", "r7", "r8"}));
        f.edit->moveSelectedRecords(f.sheet().rows()); // to the end
        QCOMPARE(f.names(), L({"r1", "r3", "r6", "r7", "r8", "r2", "r4", "r5"}));
        QVERIFY(f.doc().IsModified());
    }

    // ---- column commands --------------------------------------------------------------------

    void columnCommands()
    {
        Fixture f;
        RecordSheet& s = f.sheet();
        s.setCurrentCell(2, 4);
        s.setText(2, 4, QStringLiteral("5"));
        f.edit->setColumnDataType(TypeMoney);
        QCOMPARE(s.column(4).dataType, int(TypeMoney));
        QCOMPARE(s.column(4).alignment, int(AlignRight));
        f.edit->setColumnFormat(QStringLiteral("$#,###.00"));
        QCOMPARE(f.model->formPanel().grid().text(5, 1), QStringLiteral("$5.00"));
        f.edit->setColumnAlignment(AlignCenter);
        QCOMPARE(s.column(4).alignment, int(AlignCenter));
        f.edit->setColumnDataType(TypeNumber);
        QCOMPARE(s.column(4).alignment, int(AlignCenter)); // Number keeps the alignment
        f.edit->setColumnDataType(TypeDate);
        QCOMPARE(s.column(4).alignment, int(AlignRight));
        f.edit->setColumnDataType(TypeCheckbox);
        QCOMPARE(s.column(4).dataType, int(TypeCheckbox));
        QVERIFY(!f.doc().IsModified());
    }

    // ---- record navigation buttons ----------------------------------------------------------

    void navigationButtons()
    {
        Fixture f;
        f.named();
        QCOMPARE(EditCommands::navigationHint(0), QStringLiteral("Dlete this record"));
        QCOMPARE(EditCommands::navigationHint(7), QStringLiteral("Row Height Decrease"));
        RecordSheet& s = f.sheet();
        s.setCurrentCell(5, 2);
        f.edit->navigate(3);
        QCOMPARE(s.currentRow(), 4);
        f.edit->navigate(5);
        QCOMPARE(f.model->panels().text(MainModel::RecordPanel), QStringLiteral("20 / 20"));
        f.edit->navigate(4); // already on the last record
        QCOMPARE(s.currentRow(), 20);
        f.edit->navigate(2);
        f.edit->navigate(3);
        QCOMPARE(s.currentRow(), 1);
        QCOMPARE(s.currentCol(), 2);

        QSignalSpy focus(f.edit.get(), &EditCommands::focusRequested);
        s.setColumnDataType(3, TypeCheckbox);
        f.edit->navigate(1);
        QCOMPARE(s.rows(), 22);
        QCOMPARE(s.currentRow(), 21);
        QCOMPARE(f.model->panels().text(MainModel::RecordPanel), QStringLiteral("21 / 21"));
        RecordSheet& fb = f.model->formPanel().grid();
        QCOMPARE(fb.currentRow(), 1);
        QCOMPARE(fb.currentCol(), 1);
        QCOMPARE(fb.checked(4, 1), 2); // an unchecked box
        QCOMPARE(focus.size(), 1);
        QVERIFY(f.doc().isSaveEnabled());

        fb.setCurrentCell(2, 1);
        f.edit->navigate(7);
        QCOMPARE(fb.rowHeight(2), 240);
        f.edit->navigate(6);
        f.edit->navigate(6);
        f.edit->navigate(7);
        QCOMPARE(fb.rowHeight(2), 480);
    }

    void deleteRecordWithConfirmation_data()
    {
        QTest::addColumn<bool>("dontAsk");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("deleted");
        QTest::addColumn<int>("prompts");
        QTest::newRow("Yes") << false << int(Platform::Yes) << true << 1;
        QTest::newRow("No") << false << int(Platform::No) << false << 1;
        QTest::newRow("Cancel") << false << int(Platform::Cancel) << false << 1;
        QTest::newRow("do not ask") << true << int(Platform::No) << true << 0;
    }

    void deleteRecordWithConfirmation()
    {
        QFETCH(bool, dontAsk);
        QFETCH(int, answer);
        QFETCH(bool, deleted);
        QFETCH(int, prompts);
        Fixture f;
        f.fillNames(4);
        f.sheet().setCurrentCell(2, 0);
        int asked = 0;
        f.edit->setDeletePrompt([&] {
            ++asked;
            return answer;
        });
        f.edit->setDontAskDelete(dontAsk);
        QSignalSpy focus(f.edit.get(), &EditCommands::focusRequested);
        f.edit->navigate(0);
        QCOMPARE(asked, prompts);
        QCOMPARE(f.names(), deleted ? L({"r1", "r3", "r4"}) : L({"r1", "r2", "r3", "r4"}));
        QCOMPARE(focus.size(), deleted ? 1 : 0);
        QCOMPARE(f.doc().IsModified(), deleted);
    }

    // ---- sort -----------------------------------------------------------------------------

    void titleClickSortsAndMovesTheArrow()
    {
        Fixture f;
        f.named();
        RecordSheet& s = f.sheet();
        const QStringList cities = L({"Salem", "Bristol", "", "clinton", "Salem"});
        s.setRows(6);
        for (int i = 0; i < cities.size(); ++i) {
            s.setText(i + 1, 2, cities[i]);
            s.setText(i + 1, 0, QStringLiteral("n%1").arg(i + 1));
        }
        f.edit->sortByTitle(0);
        QCOMPARE(int(s.style(0, 0).picture), int(PictureUp));
        f.edit->sortByTitle(2);
        QCOMPARE(int(s.style(0, 0).picture), int(PictureNone));
        QCOMPARE(int(s.style(0, 2).picture), int(PictureUp));
        QCOMPARE(f.doc().SortedColumn(), 2);
        QCOMPARE(f.names(), L({"n2", "n4", "n1", "n5", "n3"}));
        f.edit->sortByTitle(2);
        QCOMPARE(int(s.style(0, 2).picture), int(PictureDown));
        QCOMPARE(f.names(), L({"n1", "n5", "n4", "n2", "n3"}));
        f.edit->sortByTitle(2);
        QCOMPARE(int(s.style(0, 2).picture), int(PictureUp));
        QVERIFY(f.doc().isSaveEnabled());
    }

    void sortOnAnUntitledDocumentLeavesSaveOff()
    {
        Fixture f;
        f.edit->sortByTitle(1);
        QVERIFY(!f.doc().isSaveEnabled());
        QVERIFY(!f.doc().IsModified());
    }

    // ---- duplicates ---------------------------------------------------------------------------

    void deleteDuplicates()
    {
        Fixture f;
        f.named();
        RecordSheet& s = f.sheet();
        const QList<QStringList> records{
            L({"A", "B", "C", "x"}), L({"Smith", "1"}), L({"A", "B", "C", "y"}), L({"A", "B", "C", "x"}),
            L({"SMITH", "1"}),       L({"Smith", "1"}), L({"Q"}),
        };
        s.setRows(int(records.size()) + 2);
        for (int r = 0; r < records.size(); ++r)
            for (int c = 0; c < records[r].size(); ++c)
                s.setText(r + 1, c, records[r][c]);
        s.setText(records.size() + 1, 0, QStringLiteral("Q"));
        s.setText(records.size() + 1, 9, QStringLiteral("only in column 9"));

        f.platform.messageAnswers.enqueue(Platform::No);
        f.edit->deleteDuplicates();
        QCOMPARE(s.recordCount(), 8);
        const TestPlatform::Message& ask = f.platform.messages.last();
        QCOMPARE(ask.text, QStringLiteral("This function will sort on the first column then start deleting "
                                          "duplicates. Do you want to continue?"));
        QCOMPARE(ask.buttons, Platform::Yes | Platform::No | Platform::Cancel);
        QCOMPARE(ask.icon, Platform::Question);
        QCOMPARE(ask.defaultButton, int(Platform::Cancel));

        f.platform.messageAnswers.enqueue(Platform::Yes);
        f.edit->deleteDuplicates();
        QCOMPARE(f.names(), L({"A", "A", "Q", "Q", "SMITH", "Smith"}));
        QCOMPARE(f.rowTexts(1).mid(0, 4), L({"A", "B", "C", "x"}));
        QCOMPARE(f.rowTexts(2).mid(0, 4), L({"A", "B", "C", "y"}));
        QCOMPARE(f.rowTexts(4)[9], QStringLiteral("only in column 9"));
        QCOMPARE(s.currentRow(), 6);
        QCOMPARE(s.currentCol(), 0);
        QCOMPARE(f.model->panels().text(MainModel::RecordPanel), QStringLiteral("6 / 6"));
        QVERIFY(f.doc().IsModified());
    }

    void deleteDuplicatesKeepsRecordsTheUserSetApart_data()
    {
        QTest::addColumn<QString>("difference");
        QTest::addColumn<int>("kept");
        QTest::newRow("nothing") << QString() << 1;
        QTest::newRow("check box") << QStringLiteral("check") << 2;
        QTest::newRow("back colour") << QStringLiteral("back") << 2;
        QTest::newRow("fore colour") << QStringLiteral("fore") << 2;
        QTest::newRow("bold") << QStringLiteral("bold") << 2;
        QTest::newRow("alignment") << QStringLiteral("align") << 2;
        QTest::newRow("row height") << QStringLiteral("height") << 2;
        QTest::newRow("same colour on both") << QStringLiteral("both") << 1;
    }

    void deleteDuplicatesKeepsRecordsTheUserSetApart()
    {
        QFETCH(QString, difference);
        QFETCH(int, kept);
        Fixture f;
        RecordSheet& s = f.sheet();
        s.setRows(4);
        s.setColumnDataType(9, TypeCheckbox);
        for (int r = 1; r <= 3; ++r) {
            s.setText(r, 0, QStringLiteral("Ada"));
            s.setText(r, 5, QStringLiteral("555-0100"));
        }
        s.setText(3, 0, QStringLiteral("Bob")); // a record of its own in every case
        const CellRect cell{2, 5, 2, 5};
        if (difference == QLatin1String("check"))
            s.setChecked(2, 9, 1);
        else if (difference == QLatin1String("back"))
            s.setBackColor(cell, 0xFFFF00);
        else if (difference == QLatin1String("fore"))
            s.setForeColor(cell, 0xFF0000);
        else if (difference == QLatin1String("bold"))
            s.setFontFlag(cell, CellStyle::Bold, true);
        else if (difference == QLatin1String("align"))
            s.setCellAlignment(cell, AlignRight);
        else if (difference == QLatin1String("height"))
            s.setRowHeight(2, 480);
        else if (difference == QLatin1String("both"))
            s.setBackColor({1, 5, 2, 5}, 0x00FF00);

        f.platform.messageAnswers.enqueue(Platform::Yes);
        f.edit->deleteDuplicates();
        int adas = 0;
        for (int r = 1; r < s.rows(); ++r)
            adas += s.text(r, 0) == QLatin1String("Ada");
        QCOMPARE(adas, kept);
        QCOMPARE(s.recordCount(), kept + 1);
        if (difference == QLatin1String("both"))
            QCOMPARE(s.style(1, 5).back, Rgb(0x00FF00));
        if (difference == QLatin1String("check")) {
            int checked = 0;
            for (int r = 1; r < s.rows(); ++r)
                checked += s.isChecked(r, 9);
            QCOMPARE(checked, 1);
        }
    }

    void deleteDuplicatesMarksTheDocument_data()
    {
        QTest::addColumn<bool>("named");
        QTest::newRow("opened from a file") << true;
        QTest::newRow("untitled") << false;
    }

    void deleteDuplicatesMarksTheDocument()
    {
        QFETCH(bool, named);
        Fixture f;
        if (named)
            f.named();
        f.fillNames(3);
        f.sheet().setText(3, 0, QStringLiteral("r1"));
        f.platform.messageAnswers.enqueue(Platform::Yes);
        f.edit->deleteDuplicates();
        QCOMPARE(f.sheet().recordCount(), 2);
        QVERIFY(f.doc().IsModified());
        QCOMPARE(f.doc().isSaveEnabled(), named);
    }

    // ---- find ---------------------------------------------------------------------------------

    void findNextCountsHitsThenReports()
    {
        Fixture f;
        RecordSheet& s = f.sheet();
        s.setText(2, 0, QStringLiteral("Smithson"));
        s.setText(7, 0, QStringLiteral("SMITH"));
        s.setText(4, 5, QStringLiteral("blacksmith"));
        FindSession& find = f.edit->findSession();
        find.load();
        find.setText(QStringLiteral("smith"));
        s.setCurrentCell(1, 0);
        const std::pair<int, int> expected[] = {{2, 0}, {7, 0}, {4, 5}};
        for (const auto& [row, col] : expected) {
            find.findNext();
            QCOMPARE(s.currentRow(), row);
            QCOMPARE(s.currentCol(), col);
        }
        QCOMPARE(f.model->panels().text(MainModel::RecordPanel), QStringLiteral("4 / 20"));
        QVERIFY(f.platform.messages.isEmpty());
        find.findNext();
        QCOMPARE(f.platform.messages.size(), 1);
        QCOMPARE(f.platform.lastMessage(), QStringLiteral("The document has been searched.\n3 found."));
        QCOMPARE(f.platform.messages.last().icon, Platform::Warning);
        QCOMPARE(find.hitCount(), 0);
        find.findNext();
        QCOMPARE(f.platform.lastMessage(), QStringLiteral("Search text is not found."));

        // Match case: only the cell written in the same case.
        find.setMatchCase(true);
        find.setText(QStringLiteral("SMITH"));
        s.setCurrentCell(1, 0);
        find.findNext();
        QCOMPARE(s.currentRow(), 7);
        find.findNext();
        QCOMPARE(f.platform.lastMessage(), QStringLiteral("The document has been searched.\n1 found."));
    }

    void findNextRestartsOnANewText()
    {
        Fixture f;
        RecordSheet& s = f.sheet();
        s.setText(3, 0, QStringLiteral("oak"));
        s.setText(5, 1, QStringLiteral("oak"));
        FindSession& find = f.edit->findSession();
        find.load();
        find.setText(QStringLiteral("oak"));
        s.setCurrentCell(1, 0);
        find.findNext();
        find.findNext();
        QCOMPARE(find.searchColumn(), 1);
        QCOMPARE(find.nextRow(), 6);
        find.setText(QStringLiteral("oa"));
        QCOMPARE(find.searchColumn(), 0);
        QCOMPARE(find.nextRow(), 1);
        QVERIFY(!find.lastSearchHit());
        find.setFromBeginning(true);
        find.findNext();
        QCOMPARE(s.currentRow(), 3);
        QCOMPARE(s.currentCol(), 0);
    }

    void findFromTheBeginningStartsOverAfterAMiss()
    {
        Fixture f;
        RecordSheet& s = f.sheet();
        s.setText(3, 2, QStringLiteral("elm"));
        FindSession& find = f.edit->findSession();
        find.load();
        find.setText(QStringLiteral("elm"));
        find.setFromBeginning(true);
        s.setCurrentCell(10, 5); // ignored: the search starts over
        find.findNext();
        QCOMPARE(s.currentRow(), 3);
        find.findNext(); // end reached
        QCOMPARE(f.platform.lastMessage(), QStringLiteral("The document has been searched.\n1 found."));
        find.findNext(); // the last search missed: over again
        QCOMPARE(s.currentRow(), 3);
    }

    void findFromTheBeginningStartsOverOnlyFromTheLastCell()
    {
        Fixture f;
        RecordSheet& s = f.sheet(); // 20 records, 10 columns
        s.setText(20, 3, QStringLiteral("elm")); // the last row, not the last column
        s.setText(5, 7, QStringLiteral("elm"));
        s.setText(20, 9, QStringLiteral("elm")); // the last cell
        FindSession& find = f.edit->findSession();
        find.load();
        find.setText(QStringLiteral("elm"));
        find.setFromBeginning(true);
        const std::pair<int, int> expected[] = {{20, 3}, {5, 7}, {20, 9}, {20, 3}};
        for (const auto& [row, col] : expected) {
            find.findNext();
            QCOMPARE(s.currentRow(), row);
            QCOMPARE(s.currentCol(), col);
        }
        QVERIFY(f.platform.messages.isEmpty());
    }

    void findOnAnEmptySheet()
    {
        Fixture f;
        f.sheet().setRows(1);
        FindSession& find = f.edit->findSession();
        find.load();
        find.setText(QStringLiteral("x"));
        find.findNext();
        QCOMPARE(f.platform.lastMessage(), QStringLiteral("Search text is not found."));
    }

    void findWindowActivationTakesBlockSelection()
    {
        Fixture f;
        f.edit->findSession().activated();
        QCOMPARE(f.sheet().selectionMode(), RecordSheet::SelectionMode::Block);
        QVERIFY(f.model->isBlockMode());
        QCOMPARE(f.model->panels().text(MainModel::ModePanel), QStringLiteral("EDIT"));
        QVERIFY(f.model->commands().isChecked(QStringLiteral("mnuMouseMode1")));
        QVERIFY(!f.model->commands().isChecked(QStringLiteral("mnuMouseMode0")));
    }

    void longCommandsShowTheBusyCursor()
    {
        Fixture f;
        f.sheet().setRows(400'001);
        f.edit->sortByTitle(0);
        QCOMPARE(f.platform.busyCalls, 1);
        QCOMPARE(f.platform.busyDepth, 0);
        f.sheet().setRows(21);
        f.edit->sortByTitle(0);
        QCOMPARE(f.platform.busyCalls, 1);

        // A paste of a large clipboard text, and the cut of many rows.
        f.sheet().setRows(300'001);
        f.model->setMouseMode(true);
        f.sheet().selectBlock(1, 0, 300'000, 2);
        QString big;
        for (int r = 0; r < 300'000; ++r)
            big += QStringLiteral("alpha\tbeta\tgamma\r\n");
        f.platform.clipboard = big;
        f.edit->paste();
        QCOMPARE(f.platform.busyCalls, 2);
        QCOMPARE(f.platform.busyDepth, 0);
        QCOMPARE(f.sheet().text(300'000, 2), QStringLiteral("gamma"));
        f.model->setMouseMode(false);
        f.sheet().setSelectedRows({{1, 300'000}});
        f.edit->cut();
        QVERIFY(f.platform.busyCalls >= 3);
        QCOMPARE(f.platform.busyDepth, 0);
        QCOMPARE(f.sheet().text(300'000, 2), QString());
    }
};

QTEST_GUILESS_MAIN(TestEditCommands)
#include "TestEditCommands.moc"

#include "app/AboutDialog.h"
#include "shell/AppPaths.h"
#include "shell/MainModel.h"
#include "app/MainWindow.h"
#include "shell/SettingsStore.h"
#include "app/TipDialog.h"
#include "sheet/SheetTableModel.h"
#include "testsupport/TestPlatform.h"
#include "testsupport/WidgetTestMain.h"
#include "ui/SheetView.h"
#include "ui/Twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QSplitter>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QWebEngineView>

using namespace quillon;

namespace {

QStringList visibleMenuBarEntries(const MainWindow& w)
{
    QStringList out;
    for (QAction* a : w.menuBar()->actions()) {
        if (a->isVisible())
            out.append(a->objectName());
    }
    return out;
}

QStringList names(std::initializer_list<const char*> list)
{
    QStringList out;
    for (const char* n : list)
        out.append(QString::fromLatin1(n));
    return out;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_settings;
    TestPlatform m_platform;

    QString settingsPath() const { return m_dir->filePath(QStringLiteral("quillon.ini")); }

    std::unique_ptr<MainWindow> makeWindow()
    {
        auto w = std::make_unique<MainWindow>(*m_settings, m_platform);
        w->setEndAction([] {});
        return w;
    }

    int px(int twips) const { return Twips::toPixels(twips); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        AppPaths::setUserDataFolder(m_dir->filePath(QStringLiteral("user")));
        m_settings = std::make_unique<SettingsStore>(settingsPath());
    }
    void cleanup()
    {
        m_settings.reset();
        m_dir.reset();
    }

    // ---- the window at start -----------------------------------------------------------------

    void startsWithAnUntitledDocument()
    {
        auto w = makeWindow();
        QCOMPARE(w->windowTitle(), QStringLiteral("Quillon -- Untitled1.vty"));
        QCOMPARE(w->model().document().DocumentName(), AppPaths::userDataFolder() + QStringLiteral("/Untitled1.vty"));
        QCOMPARE(w->sheetView()->model()->rowCount(), 20);
        QCOMPARE(w->sheetView()->model()->columnCount(), 10);
        QCOMPARE(w->sheetView()->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Name"));
        QCOMPARE(w->formView()->model()->rowCount(), 10);
        QCOMPARE(w->formView()->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Value"));
        QCOMPARE(w->statusPanel(6)->text(), QStringLiteral("1 / 20"));
        QCOMPARE(w->statusPanel(8)->text(), QStringLiteral("1.1"));
        QCOMPARE(w->statusPanel(3)->text(), QStringLiteral("ROW"));
        QCOMPARE(w->tabMain()->count(), 3);
        QCOMPARE(w->tabMain()->tabText(0), QStringLiteral("Results"));
        QCOMPARE(w->tabMain()->tabText(1), QStringLiteral("Browser"));
        QCOMPARE(w->tabMain()->tabText(2), QStringLiteral("Guide Online"));
        // The load ends by choosing the first site of the site list, which shows the Browser page.
        QCOMPARE(w->tabMain()->currentIndex(), 1);
        QVERIFY(w->action(QStringLiteral("tb0.RowMode"))->isChecked());
        QVERIFY(!w->sheetView()->verticalHeader()->isVisible());
        QCOMPARE(w->sheetView()->horizontalHeader()->sectionSize(0), px(2500));
        QCOMPARE(w->sheetView()->verticalHeader()->sectionSize(0), px(240));
        QVERIFY(w->siteList() && w->addressBox() && w->browser() && w->guideBrowser() && w->hintArea());
        QCOMPARE(w->browser()->objectName(), QStringLiteral("WBrowser"));
        QCOMPARE(w->guideBrowser()->objectName(), QStringLiteral("WBrowserGuide"));
        QCOMPARE(w->siteList()->objectName(), QStringLiteral("cboKest2"));
        QCOMPARE(w->addressBox()->objectName(), QStringLiteral("txtDrop"));
    }

    void firstRunDefaults()
    {
        auto w = makeWindow();
        w->model().setCurrentPage(MainModel::ResultsPage);
        w->show();
        QCOMPARE(w->width(), px(12000));
        QCOMPARE(w->height(), px(10000));
        QCOMPARE(w->pos(), QPoint(0, 0));
        QCOMPARE(w->vbar()->sizes().value(0), px(3570));
        QVERIFY(w->sheetView()->alternatingRowColors());
        QCOMPARE(w->sheetView()->palette().color(QPalette::AlternateBase), QColor(0xC0, 0xFF, 0xC0));
        QVERIFY(w->action(QStringLiteral("mnuAlternateColor"))->isChecked());
        QVERIFY(!w->action(QStringLiteral("mnuViewDropBox"))->isChecked());
        QVERIFY(w->addressBar()->isHidden());
        QCOMPARE(w->model().document().LastOpenPath(), AppPaths::installationFolder() + QStringLiteral("/"));
        QVERIFY(w->minimumWidth() >= px(9000));
    }

    // ---- pages, menus and toolbars -------------------------------------------------------------

    void pagesShowTheirMenusAndToolbar_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QStringList>("menus");
        QTest::addColumn<bool>("guideEntry");
        QTest::newRow("Results") << 0 << names({"mnuFile", "mnuEdit", "mnuView", "mnuTools", "mnuHelp"}) << true;
        QTest::newRow("Browser") << 1 << names({"mnuFileB", "mnuViewB", "mnuHelp"}) << true;
        QTest::newRow("Guide Online") << 2 << names({"mnuFileG", "mnuViewB", "mnuHelp"}) << false;
    }
    void pagesShowTheirMenusAndToolbar()
    {
        QFETCH(int, page);
        QFETCH(QStringList, menus);
        QFETCH(bool, guideEntry);
        auto w = makeWindow();
        w->show();
        // By a click on the tab.
        w->tabMain()->setCurrentIndex(page);
        QCOMPARE(w->model().currentPage(), page);
        QCOMPARE(visibleMenuBarEntries(*w), menus);
        for (int t = 0; t < 3; ++t)
            QCOMPARE(w->toolbar(t)->isVisible(), t == page);
        QCOMPARE(w->action(QStringLiteral("mnuHelpGuide"))->isVisible(), guideEntry);
        // And back through the model.
        w->model().setCurrentPage((page + 1) % 3);
        QCOMPARE(w->tabMain()->currentIndex(), (page + 1) % 3);
        QVERIFY(!w->toolbar(page)->isVisible());
    }

    void toolbarButtonsSwitchPages()
    {
        auto w = makeWindow();
        w->show();
        w->action(QStringLiteral("tb0.Web"))->trigger();
        QCOMPARE(w->tabMain()->currentIndex(), 1);
        w->action(QStringLiteral("tb1.Result"))->trigger();
        QCOMPARE(w->tabMain()->currentIndex(), 0);
        w->action(QStringLiteral("mnuHelpGuide"))->trigger();
        QCOMPARE(w->tabMain()->currentIndex(), 2);
        QVERIFY(!w->action(QStringLiteral("mnuHelpGuide"))->isVisible());
        w->action(QStringLiteral("tb2.Web"))->trigger();
        QCOMPARE(w->tabMain()->currentIndex(), 1);
    }

    void menuEntries_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("parent");
        QTest::newRow("New") << "mnuNew" << "&New" << "Ctrl+N" << "mnuFile";
        QTest::newRow("Open") << "mnuOpenA" << "&Open" << "Ctrl+O" << "mnuFile";
        QTest::newRow("Append") << "mnuAppend" << "&Append" << "Ctrl+A" << "mnuFile";
        QTest::newRow("Save") << "mnuSave" << "&Save" << "Ctrl+S" << "mnuFile";
        QTest::newRow("Save As") << "mnuSaveAs" << "Save &As" << "" << "mnuFile";
        QTest::newRow("Save as vty") << "mnuSaveAsVTY" << "Vantry (*.vty)" << "" << "mnuSaveAs";
        QTest::newRow("Save as csv") << "mnuSaveAsComma" << "Comma Delimited (*.csv)" << "" << "mnuSaveAs";
        QTest::newRow("Save as txt") << "mnuSaveAsTab" << "Tab Delimited (*.txt)" << "" << "mnuSaveAs";
        QTest::newRow("Save as csv for spreadsheets")
            << "mnuSaveAsSpreadsheetCsv" << "Comma Delimited for Spreadsheets (*.csv)" << "" << "mnuSaveAs";
        QTest::newRow("Save as xlsx") << "mnuSaveAsXlsx" << "Spreadsheet (*.xlsx)" << "" << "mnuSaveAs";
        QTest::newRow("Save as vcf") << "mnuSaveAsVCard" << "vCard (*.vcf)" << "" << "mnuSaveAs";
        QTest::newRow("Print sheet") << "mnuPrintSheet0" << "Print &Sheet..." << "Ctrl+P" << "mnuFile";
        QTest::newRow("Labels") << "mnuPrint" << "&Print Mailing Labels..." << "Ctrl+M" << "mnuFile";
        QTest::newRow("Exit") << "mnuExit" << "E&xit" << "" << "mnuFile";
        QTest::newRow("Browser back") << "mnuFileB_back" << "Go &Back" << "" << "mnuFileB";
        QTest::newRow("Grab") << "mnuFileB_Grab" << "Start &Grabbing" << "F5" << "mnuFileB";
        QTest::newRow("Stop grab") << "mnuFileB_StopGrab" << "&Stop Grabbing" << "Ctrl+F5" << "mnuFileB";
        QTest::newRow("Continue grab") << "mnuFileB_ContinueGrab" << "&Continue Grab" << "" << "mnuFileB";
        QTest::newRow("Guide forward") << "mnuFileG_forward" << "Go &Forward" << "" << "mnuFileG";
        QTest::newRow("Address box") << "mnuViewDropBox" << "&URL Address Box" << "" << "mnuViewB";
        QTest::newRow("Cut") << "mnuEditCut" << "C&ut" << "Ctrl+X" << "mnuEdit";
        QTest::newRow("Select All") << "mnuSelectAll" << "Select &All" << "Ctrl+L" << "mnuEdit";
        QTest::newRow("Find") << "mnuEditFind" << "&Find..." << "Ctrl+F" << "mnuEdit";
        QTest::newRow("Add Row") << "mnuEditAddRow" << "&Add Row" << "Ctrl+Ins" << "mnuEdit";
        QTest::newRow("Insert Row") << "mnuInsertRow" << "&Insert Row" << "Shift+Ins" << "mnuEdit";
        QTest::newRow("Delete Rows") << "mnuDeleteRow" << "&Delete Row(s)" << "Shift+Del" << "mnuEdit";
        QTest::newRow("Background") << "mnuBkColor" << "&Backgorund Color..." << "" << "mnuEdit";
        QTest::newRow("Align right") << "mnuAlignRight" << "&Right" << "" << "mnuAlign";
        QTest::newRow("Row height up") << "mnuRowHeightInc" << "&Increase" << "F11" << "mnuRowHeight";
        QTest::newRow("Row height reset") << "mnuRowHeightReset" << "&Reset All" << "" << "mnuRowHeight";
        QTest::newRow("Column type") << "mnuColDataTypeMoney" << "&Money" << "" << "mnuColDataType";
        QTest::newRow("Column format") << "mnuColFormat" << "Column &Format" << "" << "mnuEdit";
        QTest::newRow("Form panel") << "mnuViewFb" << "&Form Panel" << "F2" << "mnuView";
        QTest::newRow("Alternate") << "mnuAlternateColor" << "&Alternate Row Color" << "" << "mnuView";
        QTest::newRow("Row Mode") << "mnuMouseMode0" << "&Row Mode" << "F6" << "mnuTools";
        QTest::newRow("Block Mode") << "mnuMouseMode1" << "&Block && Edit Mode" << "F7" << "mnuTools";
        QTest::newRow("Column Define") << "mnuColDef" << "&Column Define..." << "F9" << "mnuTools";
        QTest::newRow("Map") << "mnuMap" << "Intenet &Map" << "F8" << "mnuTools";
        QTest::newRow("Dial") << "mnuTools_DialPhone" << "&Dial Phone" << "Ctrl+F8" << "mnuTools";
        QTest::newRow("Stamp") << "mnuDateTimeNow" << "DateTime Stamp Now" << "F3" << "mnuTools";
        QTest::newRow("Duplicates") << "mnuDelDup" << "Delete Duplicates" << "Ctrl+D" << "mnuTools";
        QTest::newRow("Tip") << "mnuTip" << "&Tip of The Day" << "F1" << "mnuHelp";
        QTest::newRow("Web") << "mnuWeb" << "Quillon on the &Web" << "" << "mnuHelp";
        QTest::newRow("Popup format") << "mnuPUDollarComma00" << "$#,###.00" << "" << "mnuPUColFormat";
        QTest::newRow("Popup title") << "mnuPUColTitle" << "Column &Title..." << "" << "mnuGrid1Popup";
    }
    void menuEntries()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, key);
        QFETCH(QString, parent);
        // A window of each row's own: it uses the row's settings store.
        const auto w = makeWindow();
        QAction* a = w->action(name);
        QVERIFY2(a, qPrintable(name));
        QCOMPARE(a->objectName(), name);
        QCOMPARE(a->text(), caption);
        QCOMPARE(a->shortcut(), QKeySequence(key, QKeySequence::PortableText));
        QVERIFY(w->menu(parent));
        QVERIFY(w->menu(parent)->actions().contains(a));
    }

    void toolbarButtons_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("tip");
        QTest::newRow("Web") << "tb0.Web" << "Go to Web Browser tab";
        QTest::newRow("Open") << "tb0.Open" << "Open Data File";
        QTest::newRow("A") << "tb0.A" << "Current Font Color";
        QTest::newRow("Acolor") << "tb0.Acolor" << "Set Font Color";
        QTest::newRow("Flood") << "tb0.Flood" << "Set Background Color";
        QTest::newRow("RowMode") << "tb0.RowMode" << "Row and Find Mode";
        QTest::newRow("BlockMode") << "tb0.BlockMode" << "Block and Edit Mode";
        QTest::newRow("DragMode") << "tb0.DragMode" << "Toggle Drag Mode";
        QTest::newRow("map") << "tb0.map" << "Internet Map";
        QTest::newRow("phone") << "tb0.phone" << "Dial Phone";
        QTest::newRow("Stop 0") << "tb0.Stop" << "Stop Downloading";
        QTest::newRow("Result") << "tb1.Result" << "Go to Results / Data tab";
        QTest::newRow("Reload") << "tb1.Reload" << "Refresh Current Page";
        QTest::newRow("Stop 1") << "tb1.Stop" << "Stop Grabbing";
        QTest::newRow("StartGrab") << "tb1.StartGrab" << "Start Grabbing";
        QTest::newRow("ContinueGrab") << "tb1.ContinueGrab" << "Continue Grab";
        QTest::newRow("Web 2") << "tb2.Web" << "Go to Searching Site";
    }
    void toolbarButtons()
    {
        QFETCH(QString, name);
        QFETCH(QString, tip);
        auto w = makeWindow();
        QAction* a = w->action(name);
        QVERIFY2(a, qPrintable(name));
        QCOMPARE(a->toolTip(), tip);
        const int bar = name.mid(2, 1).toInt();
        QVERIFY(w->toolbar(bar)->actions().contains(a));
        QVERIFY(!a->icon().isNull());
    }

    void openButtonDropDown()
    {
        auto w = makeWindow();
        QAction* open = w->action(QStringLiteral("tb0.Open"));
        QVERIFY(open->menu());
        const QList<QAction*> items = open->menu()->actions();
        QCOMPARE(items.size(), 5);
        QCOMPARE(items[0]->objectName(), QStringLiteral("tb0.OPEN_VTY"));
        QCOMPARE(items[0]->text(), QStringLiteral("Vantry (*.vty)"));
        QCOMPARE(items[1]->objectName(), QStringLiteral("tb0.OPEN_CSV"));
        QCOMPARE(items[1]->text(), QStringLiteral("Comma Delimited (*.csv)"));
        QCOMPARE(items[2]->objectName(), QStringLiteral("tb0.OPEN_TXT"));
        QCOMPARE(items[2]->text(), QStringLiteral("Tab Delimited (*.txt)"));
        QCOMPARE(items[3]->objectName(), QStringLiteral("tb0.OPEN_XLSX"));
        QCOMPARE(items[3]->text(), QStringLiteral("Spreadsheet (*.xlsx)"));
        QCOMPARE(items[4]->objectName(), QStringLiteral("tb0.OPEN_VCF"));
        QCOMPARE(items[4]->text(), QStringLiteral("vCard (*.vcf)"));
        QCOMPARE(w->action(QStringLiteral("tb0.OPEN_CSV")), items[1]);
    }

    void hiddenEntriesExistHidden()
    {
        auto w = makeWindow();
        for (const char* name : {"mnuInsertCol", "mnuDeleteCol", "mnuEditColAttr", "mnuEditColTitle",
                                 "mnuColDataType", "mnuColFormat", "mnuColAlign", "mnuPrintSheet", "mnuPrintOptions",
                                 "mnuPreview", "mnuFile1", "mnuFile4", "mnuSendMail", "mnuDisclaimer", "mnuDragDrop",
                                 "tb0.Spare"}) {
            QAction* a = w->action(QString::fromLatin1(name));
            QVERIFY2(a, name);
            QVERIFY2(!a->isVisible(), name);
        }
        QVERIFY(!w->menuBar()->actions().contains(w->action(QStringLiteral("mnuGrid1Popup"))));
    }

    // ---- binding to the command states ----------------------------------------------------------

    void saveFollowsTheModifiedMark()
    {
        auto w = makeWindow();
        QAction* save = w->action(QStringLiteral("mnuSave"));
        QAction* button = w->action(QStringLiteral("tb0.Save"));
        QVERIFY(!save->isEnabled());
        QVERIFY(!button->isEnabled());
        w->model().document().MakeModified(true);
        QVERIFY(save->isEnabled());
        QVERIFY(button->isEnabled());
        w->model().document().MakeModified(false);
        QVERIFY(!save->isEnabled());
        QVERIFY(!button->isEnabled());
    }

    void everyStateChangeReachesTheAction()
    {
        auto w = makeWindow();
        CommandStates& c = w->model().commands();
        QAction* grab = w->action(QStringLiteral("mnuFileB_Grab"));
        c.setEnabled(QStringLiteral("mnuFileB_Grab"), false);
        QVERIFY(!grab->isEnabled());
        c.setVisible(QStringLiteral("mnuEditColTitle"), true);
        QVERIFY(w->action(QStringLiteral("mnuEditColTitle"))->isVisible());
        c.setChecked(QStringLiteral("tb0.DragMode"), true);
        QVERIFY(w->action(QStringLiteral("tb0.DragMode"))->isChecked());
    }

    void aClickDoesNotTickByItself()
    {
        auto w = makeWindow();
        QAction* block = w->action(QStringLiteral("mnuMouseMode1"));
        QVERIFY(block->isCheckable());
        QVERIFY(!block->isChecked());
        // The command sets the state and the entries follow it.
        block->trigger();
        QVERIFY(block->isChecked());
        QVERIFY(!w->action(QStringLiteral("mnuMouseMode0"))->isChecked());
        QVERIFY(w->action(QStringLiteral("tb0.BlockMode"))->isChecked());
        // A second click keeps the tick: the command sets Block mode again.
        block->trigger();
        QVERIFY(block->isChecked());
        QVERIFY(w->action(QStringLiteral("tb0.BlockMode"))->isChecked());
        // The button of the other mode unticks it through its command.
        w->action(QStringLiteral("tb0.RowMode"))->trigger();
        QVERIFY(!block->isChecked());
        QVERIFY(w->action(QStringLiteral("mnuMouseMode0"))->isChecked());
        QCOMPARE(w->statusPanel(3)->text(), QStringLiteral("ROW"));
        block->trigger();
        QCOMPARE(w->statusPanel(3)->text(), QStringLiteral("EDIT"));
    }

    // ---- keys ------------------------------------------------------------------------------------------

    void shortcutsReachTheirEntries_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QString>("name");
        QTest::newRow("Ctrl+A appends") << 0 << QKeySequence(QStringLiteral("Ctrl+A")) << "mnuAppend";
        QTest::newRow("Ctrl+L selects all") << 0 << QKeySequence(QStringLiteral("Ctrl+L")) << "mnuSelectAll";
        QTest::newRow("Ctrl+C copies") << 0 << QKeySequence(QStringLiteral("Ctrl+C")) << "mnuEditCopy";
        QTest::newRow("Shift+Del deletes rows") << 0 << QKeySequence(QStringLiteral("Shift+Del")) << "mnuDeleteRow";
        QTest::newRow("F5 grabs on the Browser page") << 1 << QKeySequence(QStringLiteral("F5")) << "mnuFileB_Grab";
        QTest::newRow("F1 tip") << 2 << QKeySequence(QStringLiteral("F1")) << "mnuTip";
    }
    void shortcutsReachTheirEntries()
    {
        QFETCH(int, page);
        QFETCH(QKeySequence, keys);
        QFETCH(QString, name);
        auto w = makeWindow();
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->model().setCurrentPage(page);
        // Grabbing is offered on a listing page only.
        w->model().commands().setEnabled(QStringLiteral("mnuFileB_Grab"), true);
        QWidget* target = page == 0 ? static_cast<QWidget*>(w->sheetView()) : w->tabMain();
        target->setFocus();
        QSignalSpy spy(w->action(name), &QAction::triggered);
        QTest::keySequence(target, keys);
        QCOMPARE(spy.count(), 1);
        if (auto* tip = w->tipDialog())
            tip->close();
    }

    void shortcutsOfOtherPagesDoNotFire_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QString>("name");
        QTest::newRow("F5 on Results") << 0 << QKeySequence(QStringLiteral("F5")) << "mnuFileB_Grab";
        QTest::newRow("Ctrl+N on Browser") << 1 << QKeySequence(QStringLiteral("Ctrl+N")) << "mnuNew";
        QTest::newRow("Ctrl+D on Guide") << 2 << QKeySequence(QStringLiteral("Ctrl+D")) << "mnuDelDup";
    }
    void shortcutsOfOtherPagesDoNotFire()
    {
        QFETCH(int, page);
        QFETCH(QKeySequence, keys);
        QFETCH(QString, name);
        auto w = makeWindow();
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->model().setCurrentPage(page);
        w->tabMain()->setFocus();
        QSignalSpy spy(w->action(name), &QAction::triggered);
        QTest::keySequence(w->tabMain(), keys);
        QCOMPARE(spy.count(), 0);
    }

    // ---- the sheet and the form panel -------------------------------------------------------------------

    void clickOnARecordRefreshesIt()
    {
        auto w = makeWindow();
        w->show();
        RecordSheet& s = w->model().sheet();
        s.setText(4, 2, QStringLiteral("Dayton"));
        SheetView* fa = w->sheetView();
        QTest::mouseClick(fa->viewport(), Qt::LeftButton, {}, fa->visualRect(fa->model()->index(3, 2)).center());
        QCOMPARE(s.currentRow(), 4);
        QCOMPARE(s.currentCol(), 2);
        QCOMPARE(w->statusPanel(6)->text(), QStringLiteral("4 / 20"));
        QCOMPARE(w->formView()->model()->index(2, 1).data().toString(), QStringLiteral("Dayton"));
        QCOMPARE(w->statusPanel(5)->text(), QStringLiteral("1 Sel"));
    }

    void rowsSelectedInTheViewReachTheSheet()
    {
        auto w = makeWindow();
        w->show();
        SheetView* fa = w->sheetView();
        const auto rowPoint = [fa](int record) { return fa->visualRect(fa->model()->index(record - 1, 1)).center(); };
        QTest::mouseClick(fa->viewport(), Qt::LeftButton, {}, rowPoint(3));
        QTest::mouseClick(fa->viewport(), Qt::LeftButton, Qt::ControlModifier, rowPoint(5));
        QTest::mouseClick(fa->viewport(), Qt::LeftButton, Qt::ControlModifier, rowPoint(9));
        const RecordSheet& s = w->model().sheet();
        QCOMPARE(s.selectedRowList(), (std::vector<int>{3, 5, 9}));
        QCOMPARE(w->statusPanel(5)->text(), QStringLiteral("3 Sel"));
        QCOMPARE(s.currentRow(), 9);
    }

    void blockSelectedInTheSheetReachesTheView()
    {
        auto w = makeWindow();
        w->model().setMouseMode(true);
        w->model().sheet().selectBlock(2, 1, 4, 3);
        SheetView* fa = w->sheetView();
        QCOMPARE(fa->selectionBehavior(), QAbstractItemView::SelectItems);
        const QModelIndexList cells = fa->selectionModel()->selectedIndexes();
        QCOMPARE(cells.size(), 9);
        for (const QModelIndex& i : cells)
            QVERIFY(i.row() >= 1 && i.row() <= 3 && i.column() >= 1 && i.column() <= 3);
        QCOMPARE(fa->selectionModel()->currentIndex(), fa->model()->index(3, 3));
        QCOMPARE(w->statusPanel(5)->text(), QStringLiteral("3 Sel"));
    }

    void inPlaceEditsFollowTheAfterEditRule()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        s.setCurrentCell(2, 0);
        QAbstractItemModel* fa = w->sheetView()->model();
        QVERIFY(fa->setData(fa->index(1, 0), QStringLiteral("Ada Lovelace")));
        QCOMPARE(s.text(2, 0), QStringLiteral("Ada Lovelace"));
        QCOMPARE(w->formView()->model()->index(0, 1).data().toString(), QStringLiteral("Ada Lovelace"));
        QVERIFY(w->model().document().IsModified());
        QVERIFY(!w->action(QStringLiteral("mnuSave"))->isEnabled());

        QAbstractItemModel* fb = w->formView()->model();
        QVERIFY(fb->setData(fb->index(2, 1), QStringLiteral("Boston")));
        QCOMPARE(s.text(2, 2), QStringLiteral("Boston"));
    }

    void formPanelTitlesAreNotEdited()
    {
        auto w = makeWindow();
        w->model().setCurrentPage(MainModel::ResultsPage);
        w->show();
        SheetView* fb = w->formView();
        const auto editor = [fb] {
            const QList<QLineEdit*> editors = fb->viewport()->findChildren<QLineEdit*>();
            return std::any_of(editors.cbegin(), editors.cend(), [](QLineEdit* e) { return e->isVisible(); });
        };
        fb->setCurrentIndex(fb->model()->index(0, 0));
        fb->edit(fb->model()->index(0, 0));
        QVERIFY(!editor());
        fb->edit(fb->model()->index(0, 1));
        QVERIFY(editor());
    }

    void boldWhileTheFormPanelIsActive()
    {
        auto w = makeWindow();
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        SheetView* fb = w->formView();
        fb->setFocus();
        QCOMPARE(w->model().focusedGrid(), MainModel::Grid::FormPanel);
        QTest::mouseClick(fb->viewport(), Qt::LeftButton, {}, fb->visualRect(fb->model()->index(2, 1)).center());
        w->action(QStringLiteral("tb0.Bold"))->trigger();
        QVERIFY(w->model().formPanel().grid().style(3, 1).bold());
        QVERIFY(w->action(QStringLiteral("tb0.Bold"))->isChecked());
        QCOMPARE(w->model().sheet().styledCellCount(), qsizetype(0));
        QVERIFY(!w->model().document().IsModified());

        w->sheetView()->setFocus();
        QCOMPARE(w->model().focusedGrid(), MainModel::Grid::Sheet);
    }

    void rightClickShowsTheEditMenu()
    {
        auto w = makeWindow();
        w->show();
        SheetView* fa = w->sheetView();
        const QPoint where = fa->visualRect(fa->model()->index(4, 1)).center();
        w->model().sheet().setSelectedRows({{2, 3}});
        QTest::mouseClick(fa->viewport(), Qt::RightButton, {}, where);
        QMenu* edit = w->menu(QStringLiteral("mnuEdit"));
        QVERIFY(edit->isVisible());
        QVERIFY(w->action(QStringLiteral("mnuRowHeight"))->isEnabled());
        // The right button leaves the selection alone.
        QCOMPARE(w->model().sheet().selectedRowList(), (std::vector<int>{2, 3}));
        edit->hide();

        w->model().setMouseMode(true);
        QTest::mouseClick(fa->viewport(), Qt::RightButton, {}, where);
        QVERIFY(edit->isVisible());
        QVERIFY(!w->action(QStringLiteral("mnuRowHeight"))->isEnabled());
        edit->hide();
    }

    void reloadClearsTheGrabStatus()
    {
        auto w = makeWindow();
        w->model().panels().setText(2, QStringLiteral(" Grabbing >>>"));
        w->model().panels().setText(20, QStringLiteral("12"));
        w->model().panels().setText(21, QStringLiteral("Plumbers"));
        w->action(QStringLiteral("tb1.Reload"))->trigger();
        QCOMPARE(w->statusPanel(2)->text(), QString());
        QCOMPARE(w->statusPanel(20)->text(), QString());
        QCOMPARE(w->statusPanel(21)->text(), QStringLiteral("Plumbers"));
        QCOMPARE(w->model().currentPage(), 1);
    }

    void aClippedStatusTextCanBeReadWhole()
    {
        // A small window: the reason a page failed is longer than its panel.
        auto w = makeWindow();
        w->resize(640, 480);
        const QString failure = QStringLiteral(
            " Page 28 failed: the page did not come whole within 30 seconds (asked 3 times)");
        w->model().panels().setText(2, failure);
        w->model().panels().setText(20, failure);
        QCOMPARE(w->statusPanel(2)->text(), failure);
        QCOMPARE(w->statusPanel(2)->toolTip(), failure.trimmed());
        QCOMPARE(w->statusPanel(20)->toolTip(), failure.trimmed());
        w->model().panels().setText(2, QString());
        QCOMPARE(w->statusPanel(2)->toolTip(), QString());
    }

    // ---- settings across a restart ----------------------------------------------------------------------

    void preferencesSurviveARestart()
    {
        {
            auto w = makeWindow();
            w->show();
            w->move(px(600), px(450));
            w->resize(px(10500), px(8100));
            w->model().setVBarLeft(5010);
            w->model().setAlternateColor(false);
            w->model().setAddressBoxShown(true);
            w->model().document().setLastOpenPath(m_dir->path() + QStringLiteral("/"));
            QVERIFY(w->close());
        }
        QSettings raw(settingsPath(), QSettings::IniFormat);
        QCOMPARE(raw.value(QStringLiteral("WIDTH")).toString(), QString::number(Twips::fromPixels(px(10500))));
        QCOMPARE(raw.value(QStringLiteral("VBarLeft")).toString(), QStringLiteral("5010"));
        QCOMPARE(raw.value(QStringLiteral("AlternateColor")).toString(), QStringLiteral("False"));
        QCOMPARE(raw.value(QStringLiteral("AddressBox")).toString(), QStringLiteral("-1"));
        QCOMPARE(raw.value(QStringLiteral("ListIndex")).toString(), QStringLiteral("0"));
        QCOMPARE(raw.value(QStringLiteral("ShowTips")).toString(), QStringLiteral("True"));

        auto again = makeWindow();
        again->model().setCurrentPage(MainModel::ResultsPage);
        again->show();
        QCOMPARE(again->pos(), QPoint(px(600), px(450)));
        QCOMPARE(again->size(), QSize(px(10500), px(8100)));
        QCOMPARE(again->vbar()->sizes().value(0), px(5010));
        QVERIFY(!again->sheetView()->alternatingRowColors());
        QVERIFY(!again->action(QStringLiteral("mnuAlternateColor"))->isChecked());
        QVERIFY(again->action(QStringLiteral("mnuViewDropBox"))->isChecked());
        QVERIFY(again->addressLabel()->isVisible());
        // The address box itself shows on the Browser page only.
        QVERIFY(!again->addressBox()->isVisible());
        again->model().setCurrentPage(1);
        QVERIFY(again->addressBox()->isVisible());
        QCOMPARE(again->model().document().LastOpenPath(), m_dir->path() + QStringLiteral("/"));
    }

    void largeWindowKeepsItsSize()
    {
        // Wider and taller than 32767 twips (about 2,180 pixels).
        m_settings->WriteSettingText(QStringLiteral("TOP"), QStringLiteral("0"));
        m_settings->WriteSettingText(QStringLiteral("LEFT"), QStringLiteral("0"));
        m_settings->WriteSettingText(QStringLiteral("WIDTH"), QStringLiteral("45000"));
        m_settings->WriteSettingText(QStringLiteral("HEIGHT"), QStringLiteral("36000"));
        {
            auto w = makeWindow();
            w->show();
            QCOMPARE(w->width(), px(45000));
            QCOMPARE(w->height(), px(36000));
            QVERIFY(w->close());
        }
        SettingsStore store(settingsPath());
        QCOMPARE(store.ReadSettingText(QStringLiteral("WIDTH")), QStringLiteral("45000"));
        QCOMPARE(store.ReadSettingText(QStringLiteral("HEIGHT")), QStringLiteral("36000"));
    }

    void windowOffEveryScreenComesBack_data()
    {
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("top");
        QTest::newRow("far right") << QStringLiteral("300000") << QStringLiteral("0");
        QTest::newRow("far below") << QStringLiteral("0") << QStringLiteral("300000");
        QTest::newRow("left of every screen") << QStringLiteral("-200000") << QStringLiteral("600");
        QTest::newRow("above every screen") << QStringLiteral("600") << QStringLiteral("-60000");
    }

    void windowOffEveryScreenComesBack()
    {
        QFETCH(QString, left);
        QFETCH(QString, top);
        m_settings->WriteSettingText(QStringLiteral("LEFT"), left);
        m_settings->WriteSettingText(QStringLiteral("TOP"), top);
        auto w = makeWindow();
        w->show();
        bool onAScreen = false;
        for (const QScreen* screen : QGuiApplication::screens()) {
            const QRect shown = screen->availableGeometry().intersected(w->frameGeometry());
            onAScreen |= shown.width() >= 100 && shown.height() >= 30;
        }
        QVERIFY2(onAScreen, qPrintable(QStringLiteral("window at %1,%2").arg(w->x()).arg(w->y())));
    }

    void draggedSplitterIsRemembered()
    {
        {
            auto w = makeWindow();
            w->show();
            QSplitter* bar = w->vbar();
            // What a drag by the user does.
            QMetaObject::invokeMethod(bar, "splitterMoved", Q_ARG(int, px(4500)), Q_ARG(int, 1));
            QCOMPARE(w->model().vbarLeft(), 4500);
            w->close();
        }
        QCOMPARE(SettingsStore(settingsPath()).ReadSettingText(QStringLiteral("VBarLeft")), QStringLiteral("4500"));
    }

    void everySettingIsWrittenAtExit()
    {
        auto w = makeWindow();
        w->close();
        SettingsStore store(settingsPath());
        for (const char* key : {"TOP", "LEFT", "WIDTH", "HEIGHT", "VBarLeft", "AlternateColor", "LastOpenPath",
                                "ShowTips", "AddressBox", "ListIndex"})
            QVERIFY2(!store.ReadSettingText(QString::fromLatin1(key)).isEmpty(), key);
        QCOMPARE(store.ReadSettingText(QStringLiteral("AddressBox")), QStringLiteral("0"));
    }

    // ---- closing -----------------------------------------------------------------------------------------

    void closeGuardCanKeepTheWindowOpen()
    {
        auto w = makeWindow();
        w->show();
        int ended = 0;
        w->setEndAction([&ended] { ++ended; });
        int asked = 0;
        bool allow = false;
        w->setCloseGuard([&] {
            ++asked;
            return allow;
        });
        w->model().setCurrentPage(2);
        w->model().document().MarkEdited(true);
        QVERIFY(!w->close());
        QCOMPARE(asked, 1);
        QCOMPARE(ended, 0);
        QVERIFY(w->isVisible());
        // A modified document brings the Results page forward before the question.
        QCOMPARE(w->model().currentPage(), 0);
        QVERIFY(SettingsStore(settingsPath()).ReadSettingText(QStringLiteral("WIDTH")).isEmpty());

        allow = true;
        w->action(QStringLiteral("mnuFileGexit"))->trigger();
        QCOMPARE(asked, 2);
        QCOMPARE(ended, 1);
        QVERIFY(!w->isVisible());
        QCOMPARE(SettingsStore(settingsPath()).ReadSettingText(QStringLiteral("WIDTH")), QStringLiteral("12000"));
    }

    void closingHidesOpenDialogs()
    {
        auto w = makeWindow();
        w->show();
        w->showAbout();
        QVERIFY(w->aboutDialog()->isVisible());
        w->close();
        QVERIFY(!w->aboutDialog() || !w->aboutDialog()->isVisible());
    }

    // ---- tips, about, guide -------------------------------------------------------------------------------

    void tipOfTheDay()
    {
        {
            auto w = makeWindow();
            w->show();
            w->action(QStringLiteral("mnuTip"))->trigger();
            TipDialog* tip = w->tipDialog();
            QVERIFY(tip);
            QVERIFY(tip->isVisible());
            QVERIFY(!tip->isModal());
            QVERIFY(!tip->currentText().isEmpty());
            const int first = tip->currentTip();
            tip->findChild<QPushButton*>(QStringLiteral("cmdNextTip"))->click();
            QVERIFY(tip->currentTip() != first);
            QVERIFY(tip->showTipsChecked());
            tip->findChild<QCheckBox*>(QStringLiteral("chkLoadTipsAtStartup"))->setChecked(false);
            tip->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
            QVERIFY(!w->model().showTips());
            w->close();
        }
        QCOMPARE(SettingsStore(settingsPath()).ReadSettingText(QStringLiteral("ShowTips")), QStringLiteral("False"));
    }

    void aboutBoxShowsTheVersion()
    {
        auto w = makeWindow();
        w->show();
        w->action(QStringLiteral("mnuAbout"))->trigger();
        AboutDialog* about = w->aboutDialog();
        QVERIFY(about && about->isVisible());
        QVERIFY(!about->isModal());
        QCOMPARE(about->findChild<QLabel*>(QStringLiteral("lblVersion"))->text(), QStringLiteral("Version 1.1"));
    }

    void guideAddress()
    {
        QVERIFY(QFile::exists(QStringLiteral(":/guide/index.html")));
        {
            auto w = makeWindow();
            QSignalSpy loaded(w->guideBrowser(), &QWebEngineView::loadFinished);
            QCOMPARE(w->guideAddress(), QUrl(QStringLiteral("qrc:/guide/index.html")));
            QCOMPARE(w->guideBrowser()->url(), QUrl(QStringLiteral("qrc:/guide/index.html")));
            // The shipped guide really shows in the web view.
            QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty(), 60000);
            QCOMPARE(loaded.first().first().toBool(), true);
            QCOMPARE(w->guideBrowser()->title(), QStringLiteral("Quillon User Guide"));
        }
        m_settings->WriteSettingText(QStringLiteral("GuideURL"), QStringLiteral("https://example.org/guide/"));
        auto w = makeWindow();
        QCOMPARE(w->guideAddress(), QUrl(QStringLiteral("https://example.org/guide/")));
    }
};

QUILLON_WIDGET_TEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"

// The editing commands as the user reaches them in the main window: menu entries,
// toolbar buttons, the title click, the find window, the delete confirmation, the
// font colour palette and the record navigation buttons.

#include "shell/AppPaths.h"
#include "shell/MainModel.h"
#include "app/MainWindow.h"
#include "shell/SettingsStore.h"
#include "edit/ColorPalette.h"
#include "edit/DeleteRecordDialog.h"
#include "edit/EditCommands.h"
#include "edit/EditController.h"
#include "edit/FindSession.h"
#include "edit/FindWindow.h"
#include "sheet/SheetTableModel.h"
#include "testsupport/TestPlatform.h"
#include "testsupport/WindowFixture.h"
#include "testsupport/WidgetTestMain.h"
#include "ui/SheetView.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

using namespace quillon;

class TestEditWindow : public QObject, WindowFixture
{
    Q_OBJECT

    /** The in-place editor open on @p view, or nullptr. */
    static QLineEdit* openEditor(const SheetView& view)
    {
        for (QLineEdit* e : view.viewport()->findChildren<QLineEdit*>()) {
            if (e->isVisible())
                return e;
        }
        return nullptr;
    }

    static EditController* controller(MainWindow& w) { return w.findChild<EditController*>(); }

    /** Records "r<row>c<col>" in every cell of the sheet's records. */
    static void fill(RecordSheet& s, int records)
    {
        s.setRows(records + 1);
        for (int r = 1; r <= records; ++r) {
            for (int c = 0; c < s.cols(); ++c)
                s.setText(r, c, QStringLiteral("r%1c%2").arg(r).arg(c));
        }
    }

    static void trigger(MainWindow& w, const char* name)
    {
        QAction* a = w.action(QString::fromLatin1(name));
        QVERIFY2(a, name);
        a->trigger();
    }

    /** Runs @p answer on the next modal dialog shown (once the event loop turns). */
    static void whenModalShows(std::function<void(QWidget*)> answer)
    {
        auto* timer = new QTimer;
        timer->setInterval(10);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, answer = std::move(answer)] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                timer->stop();
                timer->deleteLater();
                answer(modal);
            }
        });
        timer->start();
    }

private slots:
    void init()
    {
        setUpWindowTest();
    }
    void cleanup()
    {
        tearDownWindowTest();
    }

    // ---- the form panel ----------------------------------------------------------------------

    void formPanelValueColumnFillsItsWidth()
    {
        auto w = makeWindow();
        auto* fb = w->findChild<SheetView*>(QStringLiteral("fb"));
        QVERIFY(fb);
        const auto fits = [&](const char* when) {
            QCoreApplication::processEvents();
            const int right = fb->columnViewportPosition(1) + fb->columnWidth(1);
            QVERIFY2(fb->horizontalScrollBar()->maximum() == 0,
                     qPrintable(QStringLiteral("%1: scrolls by %2")
                                    .arg(QLatin1String(when))
                                    .arg(fb->horizontalScrollBar()->maximum())));
            QVERIFY2(right == fb->viewport()->width(),
                     qPrintable(QStringLiteral("%1: value column ends at %2 of %3")
                                    .arg(QLatin1String(when))
                                    .arg(right)
                                    .arg(fb->viewport()->width())));
        };
        fits("shown");
        w->resize(760, 560);
        fits("narrower");
        w->resize(1240, 820);
        fits("wider");
        // Enough columns for the panel to scroll up and down.
        w->model().sheet().setCols(60);
        w->model().ResyncFormPanel();
        fits("with a vertical scroll bar");
        w->resize(900, 640);
        fits("narrower with a vertical scroll bar");
    }

    // ---- modes and rows ---------------------------------------------------------------------

    void modesFollowMenuAndToolbar()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        trigger(*w, "tb0.BlockMode");
        QCOMPARE(w->statusPanel(MainModel::ModePanel)->text(), QStringLiteral("EDIT"));
        QVERIFY(w->action(QStringLiteral("mnuMouseMode1"))->isChecked());
        QVERIFY(!w->action(QStringLiteral("mnuMouseMode0"))->isChecked());
        QCOMPARE(s.selectionMode(), RecordSheet::SelectionMode::Block);
        QCOMPARE(w->sheetView()->selectionBehavior(), QAbstractItemView::SelectItems);
        trigger(*w, "mnuMouseMode0");
        QCOMPARE(w->statusPanel(MainModel::ModePanel)->text(), QStringLiteral("ROW"));
        QVERIFY(w->action(QStringLiteral("tb0.RowMode"))->isChecked());
        QVERIFY(!w->action(QStringLiteral("tb0.BlockMode"))->isChecked());
        QCOMPARE(s.selectionMode(), RecordSheet::SelectionMode::Rows);
    }

    void rowCommandsThroughTheMenus()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 10);
        s.setSelectedRows({{3, 3}, {5, 5}, {9, 9}});
        QCOMPARE(w->statusPanel(MainModel::SelectionPanel)->text(), QStringLiteral("3 Sel"));
        trigger(*w, "mnuDeleteRow");
        QCOMPARE(s.recordCount(), 7);
        QCOMPARE(w->sheetView()->model()->rowCount(), 7);
        const QStringList left = {QStringLiteral("r1c0"), QStringLiteral("r2c0"), QStringLiteral("r4c0"),
                                  QStringLiteral("r6c0"), QStringLiteral("r7c0"), QStringLiteral("r8c0"),
                                  QStringLiteral("r10c0")};
        for (int r = 1; r <= 7; ++r)
            QCOMPARE(s.text(r, 0), left[r - 1]);

        s.setCurrentCell(4, 0);
        trigger(*w, "mnuPUInsertRow");
        QCOMPARE(s.recordCount(), 8);
        QCOMPARE(s.text(4, 0), QString());
        QCOMPARE(s.text(5, 0), QStringLiteral("r6c0"));

        trigger(*w, "mnuEditAddRow");
        QCOMPARE(s.recordCount(), 9);
        QCOMPARE(s.currentRow(), 9);
        QCOMPARE(w->statusPanel(MainModel::RecordPanel)->text(), QStringLiteral("9 / 9"));

        s.setCurrentCell(2, 1);
        const QString third = s.text(0, 2);
        trigger(*w, "mnuPUDeleteCol");
        QCOMPARE(s.text(0, 1), third);
        QCOMPARE(s.text(2, 1), QStringLiteral("r2c2"));
        QCOMPARE(w->sheetView()->model()->headerData(1, Qt::Horizontal).toString(), third);
        trigger(*w, "mnuPUInsertCol");
        QCOMPARE(s.text(2, 1), QString());
        QCOMPARE(s.text(2, 2), QStringLiteral("r2c2"));
    }

    void rowHeightsOnTheFocusedGrid()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 5);
        s.setCurrentCell(2, 0);
        w->sheetView()->setFocus();
        trigger(*w, "mnuRowHeightInc");
        trigger(*w, "mnuRowHeightInc");
        trigger(*w, "mnuRowHeightDec");
        QCOMPARE(s.rowHeight(2), s.rowHeight(3) + EditCommands::kRowHeightStep);
        QCOMPARE(w->sheetView()->rowHeight(1), w->sheetView()->rowHeight(2) + w->sheetView()->rowHeight(2));
        trigger(*w, "mnuRowHeightReset");
        QCOMPARE(s.rowHeight(2), 240);
    }

    // ---- clipboard -----------------------------------------------------------------------------

    void copyAndPasteThroughTheToolbar()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 4);
        w->sheetView()->setFocus();
        trigger(*w, "tb0.BlockMode");
        s.selectBlock(1, 0, 2, 1);
        trigger(*w, "tb0.Copy");
        QCOMPARE(m_platform->clipboard, QStringLiteral("r1c0\tr1c1\r\nr2c0\tr2c1"));
        m_platform->clipboard = QStringLiteral("a\tb\tc");
        s.selectBlock(3, 0, 3, 1);
        trigger(*w, "tb0.Paste");
        QCOMPARE(s.text(3, 0), QStringLiteral("a"));
        QCOMPARE(s.text(3, 1), QStringLiteral("b"));
        QCOMPARE(s.text(3, 2), QStringLiteral("r3c2"));
        QVERIFY(w->model().document().IsModified());
        QCOMPARE(w->sheetView()->model()->index(2, 1).data().toString(), QStringLiteral("b"));
    }

    // ---- title click, in-place editing, keys ---------------------------------------------------

    void titleClickSortsAndFlipsTheArrow()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        s.setRows(4);
        s.setText(1, 2, QStringLiteral("pear"));
        s.setText(2, 2, QStringLiteral("Apple"));
        s.setText(3, 2, QStringLiteral("fig"));
        QHeaderView* header = w->sheetView()->horizontalHeader();
        const QPoint at(header->sectionViewportPosition(2) + header->sectionSize(2) / 2, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(s.text(1, 2), QStringLiteral("Apple"));
        QCOMPARE(s.text(3, 2), QStringLiteral("pear"));
        QCOMPARE(s.style(0, 2).picture, uint8_t(PictureUp));
        QCOMPARE(w->model().document().SortedColumn(), 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(s.text(1, 2), QStringLiteral("pear"));
        QCOMPARE(s.style(0, 2).picture, uint8_t(PictureDown));
        const QPoint first(header->sectionViewportPosition(0) + 5, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, first);
        QCOMPARE(s.style(0, 2).picture, uint8_t(PictureNone));
        QCOMPARE(s.style(0, 0).picture, uint8_t(PictureUp));
    }

    void editCellStartsInPlaceEditingInRowMode()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 3);
        s.setCurrentCell(2, 1);
        QCOMPARE(s.selectionMode(), RecordSheet::SelectionMode::Rows);
        trigger(*w, "mnuPUEditCell");
        SheetView* fa = w->sheetView();
        QLineEdit* editor = openEditor(*fa);
        QVERIFY(editor);
        editor->setText(QStringLiteral("edited"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(s.text(2, 1), QStringLiteral("edited"));
        QVERIFY(w->model().document().IsModified());
    }

    void doubleClickEditsInRowMode()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 3);
        SheetView* fa = w->sheetView();
        const QRect cell = fa->visualRect(fa->model()->index(1, 2));
        QTest::mouseClick(fa->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(fa->viewport(), Qt::LeftButton, {}, cell.center());
        QVERIFY(openEditor(*fa));
    }

    void selectAllTakesTheSheetAndTheFocus()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 6);
        w->formView()->setFocus();
        trigger(*w, "mnuSelectAll");
        QCOMPARE(w->model().focusedGrid(), MainModel::Grid::Sheet);
        QCOMPARE(w->statusPanel(MainModel::SelectionPanel)->text(), QStringLiteral("6 Sel"));
    }

    void focusShowsTheSheetsEditEntries()
    {
        auto w = makeWindow();
        w->formView()->setFocus();
        QVERIFY(!w->action(QStringLiteral("mnuEditCut"))->isVisible());
        QVERIFY(!w->action(QStringLiteral("mnuAlign"))->isVisible());
        w->sheetView()->setFocus();
        QVERIFY(w->action(QStringLiteral("mnuEditCut"))->isVisible());
        QVERIFY(w->action(QStringLiteral("mnuEditFind"))->isVisible());
    }

    // ---- view options -------------------------------------------------------------------------

    void viewOptionsToggle()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        QVERIFY(w->sheetView()->showGrid());
        trigger(*w, "mnuGrid");
        QVERIFY(!w->sheetView()->showGrid());
        QVERIFY(!w->action(QStringLiteral("mnuGrid"))->isChecked());

        if (w->model().alternateColor())
            trigger(*w, "mnuAlternateColor");
        QVERIFY(!w->sheetView()->alternateColor());
        trigger(*w, "tb0.AlternateColor");
        QVERIFY(w->sheetView()->alternateColor());
        QVERIFY(w->action(QStringLiteral("mnuAlternateColor"))->isChecked());
        {
            // Records 2, 4, 6 are painted light green, 1, 3, 5 not.
            SheetView* fa = w->sheetView();
            const QImage shot = fa->viewport()->grab().toImage();
            const qreal dpr = shot.devicePixelRatio();
            auto colourOf = [&](int record) {
                const QPoint p = fa->visualRect(fa->model()->index(record - 1, 3)).center() * dpr;
                return shot.pixelColor(p);
            };
            for (int record : {2, 4, 6})
                QCOMPARE(colourOf(record), QColor(0xC0, 0xFF, 0xC0));
            for (int record : {1, 3, 5})
                QVERIFY(colourOf(record) != QColor(0xC0, 0xFF, 0xC0));
        }
        trigger(*w, "mnuAlternateColor");
        QVERIFY(!w->sheetView()->alternateColor());

        trigger(*w, "tb0.DragMode");
        QCOMPARE(w->statusPanel(MainModel::DragPanel)->text(), QStringLiteral("DRAG"));
        QVERIFY(w->action(QStringLiteral("tb0.DragMode"))->isChecked());
        trigger(*w, "tb0.DragMode");
        QCOMPARE(w->statusPanel(MainModel::DragPanel)->text(), QString());

        trigger(*w, "mnuFonts");
        QCOMPARE(s.fontPointSize(), 12);
    }

    // ---- keys and the right button --------------------------------------------------------------

    void keysOnTheSheet()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 5);
        SheetView* fa = w->sheetView();
        fa->setFocus();
        s.setCurrentCell(2, 1);
        QTest::keyClick(fa, Qt::Key_F7);
        QCOMPARE(w->statusPanel(MainModel::ModePanel)->text(), QStringLiteral("EDIT"));
        QTest::keyClick(fa, Qt::Key_F6);
        QCOMPARE(w->statusPanel(MainModel::ModePanel)->text(), QStringLiteral("ROW"));
        QTest::keyClick(fa, Qt::Key_F11);
        QCOMPARE(s.rowHeight(2), 240 + EditCommands::kRowHeightStep);
        QTest::keyClick(fa, Qt::Key_F12);
        QCOMPARE(s.rowHeight(2), 240);
        s.setCurrentCell(2, 1); // Row mode selected the row from its first column
        QTest::keyClick(fa, Qt::Key_F3);
        QCOMPARE(s.text(2, 1), QStringLiteral("12/8/2026 4:24:09 PM"));
        QTest::keyClick(fa, Qt::Key_Down);
        QCOMPARE(s.currentRow(), 3);
        QCOMPARE(w->statusPanel(MainModel::RecordPanel)->text(), QStringLiteral("3 / 5"));
        m_platform->messageAnswers.enqueue(Platform::Cancel);
        QTest::keyClick(fa, Qt::Key_D, Qt::ControlModifier);
        QVERIFY(m_platform->lastMessage().startsWith(QStringLiteral("This function will sort")));
        QCOMPARE(s.recordCount(), 5);
    }

    void rightButtonShowsTheEditMenu()
    {
        auto w = makeWindow();
        SheetView* fa = w->sheetView();
        const QPoint at = fa->visualRect(fa->model()->index(1, 1)).center();
        for (bool block : {false, true}) {
            w->model().setMouseMode(block);
            QTest::mouseClick(fa->viewport(), Qt::RightButton, {}, at);
            QTRY_VERIFY(QApplication::activePopupWidget());
            auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(popup);
            QCOMPARE(popup, w->menu(QStringLiteral("mnuEdit")));
            QCOMPARE(w->action(QStringLiteral("mnuRowHeight"))->isEnabled(), !block);
            popup->close();
        }
    }

    void dragModeMovesTheSelectedRecords()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 6);
        SheetView* fa = w->sheetView();
        auto cellRect = [&](int record) { return fa->visualRect(fa->model()->index(record - 1, 1)); };
        s.setSelectedRows({{2, 3}});
        // Without drag mode a press selects as usual.
        QTest::mousePress(fa->viewport(), Qt::LeftButton, {}, cellRect(2).center());
        QTest::mouseRelease(fa->viewport(), Qt::LeftButton, {}, cellRect(5).center() + QPoint(0, 2));
        QCOMPARE(s.text(2, 0), QStringLiteral("r2c0"));

        trigger(*w, "mnuDragDrop");
        QVERIFY(w->action(QStringLiteral("mnuDragDrop"))->isChecked());
        s.setSelectedRows({{2, 3}});
        QTest::mousePress(fa->viewport(), Qt::LeftButton, {}, cellRect(2).center());
        QTest::mouseMove(fa->viewport(), cellRect(4).center());
        QTest::mouseRelease(fa->viewport(), Qt::LeftButton, {}, cellRect(5).center() + QPoint(0, 2));
        const QStringList order = {QStringLiteral("r1c0"), QStringLiteral("r4c0"), QStringLiteral("r5c0"),
                                   QStringLiteral("r2c0"), QStringLiteral("r3c0"), QStringLiteral("r6c0")};
        for (int r = 1; r <= 6; ++r)
            QCOMPARE(s.text(r, 0), order[r - 1]);
        QCOMPARE(s.selectedRowCount(), 2);
        QCOMPARE(s.selectedRow(0), 4);
        QCOMPARE(w->sheetView()->model()->index(3, 0).data().toString(), QStringLiteral("r2c0"));
        QVERIFY(w->model().document().IsModified());
        trigger(*w, "mnuDragNo");
        QVERIFY(!w->action(QStringLiteral("mnuDragDrop"))->isChecked());
    }

    // ---- font colour palette --------------------------------------------------------------------

    void paletteChoosesTheFontColour()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 5);
        ColorPalette* palette = controller(*w)->palette();
        QVERIFY(palette);
        QCOMPARE(palette->objectName(), QStringLiteral("PanColor"));
        QVERIFY(!palette->isVisible());
        trigger(*w, "tb0.Acolor");
        QVERIFY(palette->isVisible());
        // Another button of the sheet's toolbar hides it.
        trigger(*w, "tb0.Copy");
        QVERIFY(!palette->isVisible());
        trigger(*w, "tb0.Acolor");
        QVERIFY(palette->isVisible());

        s.setCurrentCell(2, 0);
        w->sheetView()->setFocus();
        QTest::mouseClick(palette->swatch(3), Qt::LeftButton);
        QVERIFY(!palette->isVisible());
        QCOMPARE(palette->pressedSwatch(), 3);
        QCOMPARE(palette->swatch(3)->frameShadow(), QFrame::Sunken);
        QCOMPARE(palette->swatch(0)->frameShadow(), QFrame::Raised);
        QCOMPARE(w->model().currentFontColor(), Rgb(0x008000));
        QVERIFY(s.style(2, 0).hasFore());
        QCOMPARE(s.style(2, 0).fore, Rgb(0x008000));
        QCOMPARE(s.style(2, s.cols() - 1).fore, Rgb(0x008000));
        QVERIFY(!s.style(3, 0).hasFore());

        // "A" applies the chosen colour again without the palette.
        s.setCurrentCell(4, 0);
        trigger(*w, "tb0.A");
        QCOMPARE(s.style(4, 0).fore, Rgb(0x008000));
        QVERIFY(!palette->isVisible());

        // A click on the background hides it and changes nothing.
        trigger(*w, "tb0.Acolor");
        QTest::mouseClick(palette, Qt::LeftButton, {}, QPoint(1, 1));
        QVERIFY(!palette->isVisible());
        QCOMPARE(palette->pressedSwatch(), 3);
    }

    // ---- navigation buttons and the delete confirmation -------------------------------------

    void navigationButtonsMoveTheRecord()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 6);
        EditController* c = controller(*w);
        const QStringList hints = {QStringLiteral("Dlete this record"), QStringLiteral("Add one record"),
                                   QStringLiteral("First record"),      QStringLiteral("Up one record"),
                                   QStringLiteral("Down one record"),   QStringLiteral("Last record"),
                                   QStringLiteral("Row Height Increase"), QStringLiteral("Row Height Decrease")};
        for (int i = 0; i < 8; ++i) {
            QToolButton* b = c->navigationButton(i);
            QVERIFY(b);
            QCOMPARE(b->objectName(), QStringLiteral("imgBtn%1").arg(i));
            QCOMPARE(b->toolTip(), hints[i]);
            QVERIFY2(b->isVisible(), qPrintable(b->objectName()));
        }
        s.setCurrentCell(3, 0);
        c->navigationButton(5)->click();
        QCOMPARE(s.currentRow(), 6);
        QCOMPARE(w->statusPanel(MainModel::RecordPanel)->text(), QStringLiteral("6 / 6"));
        c->navigationButton(4)->click();
        QCOMPARE(s.currentRow(), 6);
        c->navigationButton(3)->click();
        QCOMPARE(s.currentRow(), 5);
        c->navigationButton(2)->click();
        QCOMPARE(s.currentRow(), 1);
        QCOMPARE(w->statusPanel(MainModel::RecordPanel)->text(), QStringLiteral("1 / 6"));

        c->navigationButton(1)->click();
        QCOMPARE(s.recordCount(), 7);
        QCOMPARE(s.currentRow(), 7);
        QCOMPARE(w->model().focusedGrid(), MainModel::Grid::FormPanel);
        QVERIFY(w->formView()->hasFocus());

        // 6 and 7 change the form panel's row heights; they sit next to the splitter and
        // leave with the form panel.
        RecordSheet& fb = w->model().formPanel().grid();
        const int before = fb.rowHeight(fb.currentRow());
        c->navigationButton(6)->click();
        QCOMPARE(fb.rowHeight(fb.currentRow()), before + EditCommands::kRowHeightStep);
        c->navigationButton(7)->click();
        QCOMPARE(fb.rowHeight(fb.currentRow()), before);
        trigger(*w, "mnuViewFb");
        QVERIFY(!c->navigationButton(6)->isVisible());
        QVERIFY(!c->navigationButton(7)->isVisible());
        trigger(*w, "mnuViewFb");
        QVERIFY(c->navigationButton(6)->isVisible());
    }

    void deleteConfirmation_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("deleted");
        QTest::newRow("Yes") << QStringLiteral("cmdYes") << true;
        QTest::newRow("No") << QStringLiteral("cmdNo") << false;
        QTest::newRow("Cancel") << QStringLiteral("cmdCancel") << false;
    }
    void deleteConfirmation()
    {
        QFETCH(QString, button);
        QFETCH(bool, deleted);
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 4);
        s.setCurrentCell(2, 0);
        QString caption, question;
        whenModalShows([&](QWidget* modal) {
            caption = modal->windowTitle();
            QCOMPARE(modal->objectName(), QStringLiteral("frmDelDialog"));
            question = modal->findChild<QLabel*>(QStringLiteral("lblAsk"))->text();
            modal->findChild<QPushButton*>(button)->click();
        });
        controller(*w)->navigationButton(0)->click();
        QCOMPARE(caption, QStringLiteral("Delete Record"));
        QCOMPARE(question, QStringLiteral("Are you sure you want to delete this record?"));
        QCOMPARE(s.recordCount(), deleted ? 3 : 4);
        QCOMPARE(s.text(2, 0), deleted ? QStringLiteral("r3c0") : QStringLiteral("r2c0"));
        QCOMPARE(w->model().document().IsModified(), deleted);
        QVERIFY(!controller(*w)->deleteDialog()->isVisible());
        if (deleted) // the sheet takes the keyboard when the window is active again
            QCOMPARE(w->focusWidget(), static_cast<QWidget*>(w->sheetView()));
    }

    void doNotAskMeNextTime()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 4);
        s.setCurrentCell(1, 0);
        DeleteRecordDialog* dialog = controller(*w)->deleteDialog();
        QCOMPARE(dialog->askCheck()->text(), QStringLiteral("Do not ask me next time"));
        whenModalShows([](QWidget* modal) {
            modal->findChild<QCheckBox*>(QStringLiteral("chkAskDel"))->setChecked(true);
            modal->findChild<QPushButton*>(QStringLiteral("cmdYes"))->click();
        });
        controller(*w)->navigationButton(0)->click();
        QCOMPARE(s.recordCount(), 3);
        // No question any more: the record goes at once, the box keeps its tick.
        controller(*w)->navigationButton(0)->click();
        QCOMPARE(s.recordCount(), 2);
        QCOMPARE(s.text(1, 0), QStringLiteral("r3c0"));
        QVERIFY(dialog->askCheck()->isChecked());
        QVERIFY(controller(*w)->commands().dontAskDelete());
    }

    // ---- find window -------------------------------------------------------------------------------

    void findWindowFlow()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        s.setText(2, 0, QStringLiteral("Smithson"));
        s.setText(7, 0, QStringLiteral("SMITH"));
        s.setText(4, 5, QStringLiteral("blacksmith"));
        s.setCurrentCell(1, 0);
        trigger(*w, "tb0.Find");
        QPointer<FindWindow> find = controller(*w)->findWindow();
        QVERIFY(find);
        QVERIFY(find->isVisible());
        QVERIFY(!find->isModal());
        QCOMPARE(find->objectName(), QStringLiteral("frmSearch"));
        QCOMPARE(find->fromBeginningCheck()->text(), QStringLiteral("Starting from the beginning"));
        QCOMPARE(find->matchCaseCheck()->text(), QStringLiteral("Match case"));
        QCOMPARE(find->nextButton()->text(), QStringLiteral("&Find Next"));
        QCOMPARE(find->closeButton()->text(), QStringLiteral("&Close"));
        QCOMPARE(find->textBox()->objectName(), QStringLiteral("txtSearched"));
        QCOMPARE(find->frameGeometry().right(), w->frameGeometry().right());
        QCOMPARE(find->frameGeometry().top(), w->frameGeometry().top());

        QTest::keyClicks(find->textBox(), QStringLiteral("smith"));
        QTest::keyClick(find->textBox(), Qt::Key_Return);
        QCOMPARE(s.currentRow(), 2);
        find->nextButton()->click();
        QCOMPARE(s.currentRow(), 7);
        find->nextButton()->click();
        QCOMPARE(s.currentRow(), 4);
        QCOMPARE(s.currentCol(), 5);
        QVERIFY(m_platform->messages.isEmpty());
        find->nextButton()->click();
        QCOMPARE(m_platform->messages.size(), 1);
        QCOMPARE(m_platform->lastMessage(), QStringLiteral("The document has been searched.\n3 found."));
        QCOMPARE(m_platform->messages.last().icon, Platform::Warning);
        QCOMPARE(m_platform->messages.last().buttons, int(Platform::Ok));

        // Match case: only SMITH; a new text restarts at column 0, row 1.
        find->matchCaseCheck()->setChecked(true);
        find->textBox()->setText(QStringLiteral("SMITH"));
        s.setCurrentCell(1, 0);
        find->nextButton()->click();
        QCOMPARE(s.currentRow(), 7);
        find->nextButton()->click();
        QCOMPARE(m_platform->lastMessage(), QStringLiteral("The document has been searched.\n1 found."));
        find->textBox()->setText(QStringLiteral("nowhere"));
        find->nextButton()->click();
        QCOMPARE(m_platform->lastMessage(), QStringLiteral("Search text is not found."));

        // "&Close" unloads the window; "&Find..." loads a fresh one.
        find->closeButton()->click();
        QTRY_VERIFY(!find);
        trigger(*w, "mnuEditFind");
        find = controller(*w)->findWindow();
        QVERIFY(find);
        QCOMPARE(find->textBox()->text(), QString());
        QVERIFY(!find->matchCaseCheck()->isChecked());
        QCOMPARE(controller(*w)->commands().findSession().searchColumn(), 0);
        QCOMPARE(controller(*w)->commands().findSession().nextRow(), 1);
        find->close();
    }

    void findWindowActivationTakesBlockSelection()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        trigger(*w, "mnuEditFind");
        FindWindow* find = controller(*w)->findWindow();
        QApplication::setActiveWindow(find);
        QTRY_COMPARE(s.selectionMode(), RecordSheet::SelectionMode::Block);
        // The mode's display says so.
        QCOMPARE(w->statusPanel(MainModel::ModePanel)->text(), QStringLiteral("EDIT"));
        QVERIFY(w->action(QStringLiteral("mnuMouseMode1"))->isChecked());
        QVERIFY(w->action(QStringLiteral("tb0.BlockMode"))->isChecked());
        QVERIFY(!w->action(QStringLiteral("mnuMouseMode0"))->isChecked());
        find->close();
    }

    // A modal dialog of another subsystem still open when the window goes: closing it
    // activates the window while its views are already destroyed.
    void windowGoesWithADialogOpen()
    {
        auto w = makeWindow();
        trigger(*w, "tb0.Acolor");
        trigger(*w, "mnuPrintSheet0");
        QTRY_VERIFY(QApplication::activeModalWidget());
        w.reset();
        QVERIFY(!w);
    }

    // ---- duplicates, column commands, busy cursor --------------------------------------------

    void deleteDuplicatesAsks()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        s.setRows(5);
        for (int r = 1; r <= 4; ++r)
            s.setText(r, 0, r % 2 ? QStringLiteral("same") : QStringLiteral("other"));
        m_platform->messageAnswers.enqueue(Platform::No);
        trigger(*w, "mnuDelDup");
        QCOMPARE(s.recordCount(), 4);
        QCOMPARE(m_platform->lastMessage(),
                 QStringLiteral("This function will sort on the first column then start deleting duplicates. "
                                "Do you want to continue?"));
        m_platform->messageAnswers.enqueue(Platform::Yes);
        trigger(*w, "mnuDelDup");
        QCOMPARE(s.recordCount(), 2);
        QCOMPARE(s.currentRow(), 2);
        QVERIFY(w->model().document().IsModified());
        QCOMPARE(w->sheetView()->model()->rowCount(), 2);
    }

    void columnCommandsFromBothMenus()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        s.setCurrentCell(1, 3);
        trigger(*w, "mnuColDataTypeMoney");
        QCOMPARE(s.column(3).dataType, int(TypeMoney));
        QCOMPARE(s.column(3).alignment, int(AlignRight));
        trigger(*w, "mnuPUColAlignCenter");
        QCOMPARE(s.column(3).alignment, int(AlignCenter));
        trigger(*w, "mnuColFormatDollarComma00");
        QCOMPARE(s.column(3).format, QStringLiteral("$#,###.00"));
        trigger(*w, "mnuPUComma");
        QCOMPARE(s.column(3).format, QStringLiteral("#,###"));
        trigger(*w, "mnuPUColCheckbox");
        QCOMPARE(s.column(3).dataType, int(TypeCheckbox));

        m_platform->inputAnswers.enqueue(QStringLiteral("Town"));
        trigger(*w, "mnuPUColTitle");
        QCOMPARE(m_platform->inputRequests.last().prompt, QStringLiteral("Enter New Column Title (Header):"));
        QCOMPARE(m_platform->inputRequests.last().title, QStringLiteral("Column Title"));
        QCOMPARE(w->sheetView()->model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Town"));
    }

    // ---- the form panel keeps what is stored ------------------------------------------------

    /** Opens the in-place editor on the form panel's value cell of sheet column @p col. */
    static QLineEdit* editFormPanelValue(MainWindow& w, int col)
    {
        SheetView* fb = w.formView();
        const QModelIndex value = fb->model()->index(col, 1);
        fb->setFocus();
        fb->setCurrentIndex(value);
        fb->edit(value);
        return openEditor(*fb);
    }

    void formPanelEditorStartsFromTheStoredValue_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("number rounded for display") << int(TypeNumber) << QStringLiteral("0") << QStringLiteral("3.7")
                                                    << QStringLiteral("4");
        QTest::newRow("money with cents") << int(TypeMoney) << QStringLiteral("$#,###") << QStringLiteral("1234.56")
                                          << QStringLiteral("$1,235");
        QTest::newRow("date with its time and century")
            << int(TypeDate) << QStringLiteral("mm/dd/yy") << QStringLiteral("03/05/1987 14:30")
            << QStringLiteral("03/05/87");
    }

    void formPanelEditorStartsFromTheStoredValue()
    {
        QFETCH(int, type);
        QFETCH(QString, format);
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        w->model().document().setDocumentName(m_dir->filePath(QStringLiteral("people.vty")));
        s.setColumnDataType(4, type);
        s.setColumnFormat(4, format);
        s.setText(1, 4, stored);
        s.setCurrentCell(1, 0);
        w->model().fa_Click();
        QCOMPARE(w->formView()->model()->index(4, 1).data().toString(), shown);

        QLineEdit* editor = editFormPanelValue(*w, 4);
        QVERIFY(editor);
        QCOMPARE(editor->text(), stored);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(!openEditor(*w->formView()));
        QCOMPARE(s.text(1, 4), stored);
        QVERIFY(!w->model().document().IsModified());
        QVERIFY(!w->action(QStringLiteral("mnuSave"))->isEnabled());
        QCOMPARE(w->formView()->model()->index(4, 1).data().toString(), shown);

        // A real change is stored as typed and shown formatted again.
        editor = editFormPanelValue(*w, 4);
        QVERIFY(editor);
        editor->setText(QStringLiteral("12"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(s.text(1, 4), QStringLiteral("12"));
        QVERIFY(w->model().document().IsModified());
    }

    void unchangedSheetEditLeavesTheDocumentAlone()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 3);
        w->model().document().setDocumentName(m_dir->filePath(QStringLiteral("people.vty")));
        w->model().document().MakeModified(false);
        s.setCurrentCell(2, 1);
        trigger(*w, "mnuPUEditCell");
        QLineEdit* editor = openEditor(*w->sheetView());
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(!openEditor(*w->sheetView()));
        QCOMPARE(s.text(2, 1), QStringLiteral("r2c1"));
        QVERIFY(!w->model().document().IsModified());
        QVERIFY(!w->action(QStringLiteral("mnuSave"))->isEnabled());
    }

    void typingInTheFormPanelMarksAnUntitledDocument()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        QVERIFY(w->model().document().isUntitled());
        EditController* c = controller(*w);
        c->navigationButton(1)->click(); // "Add one record" sends the user to the form panel
        QLineEdit* editor = editFormPanelValue(*w, 0);
        QVERIFY(editor);
        editor->setText(QStringLiteral("Grace Hopper"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(s.text(s.rows() - 1, 0), QStringLiteral("Grace Hopper"));
        QVERIFY(w->model().document().IsModified()); // closing asks
        QVERIFY(!w->action(QStringLiteral("mnuSave"))->isEnabled()); // an untitled document is saved as
    }

    void navigationCommitsTheOpenFormPanelEdit_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("rowAfter");
        QTest::newRow("first") << 2 << 1;
        QTest::newRow("up") << 3 << 2;
        QTest::newRow("down") << 4 << 4;
        QTest::newRow("last") << 5 << 5;
        QTest::newRow("add") << 1 << 6;
    }

    void navigationCommitsTheOpenFormPanelEdit()
    {
        QFETCH(int, button);
        QFETCH(int, rowAfter);
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 5);
        s.setCurrentCell(3, 0);
        w->model().fa_Click();
        QLineEdit* editor = editFormPanelValue(*w, 2);
        QVERIFY(editor);
        editor->setText(QStringLiteral("typed"));
        controller(*w)->navigationButton(button)->click();
        QCOMPARE(s.currentRow(), rowAfter);
        QCOMPARE(s.text(3, 2), QStringLiteral("typed"));
        for (int r = 1; r < s.rows(); ++r) {
            if (r != 3)
                QVERIFY2(s.text(r, 2) != QStringLiteral("typed"), qPrintable(QString::number(r)));
        }
        QVERIFY(w->model().document().IsModified());
        QCOMPARE(w->formView()->model()->index(2, 1).data().toString(), s.text(rowAfter, 2));
    }

    // ---- the mode the user sees is the mode commands use ---------------------------------------

    /** Clicks sheet cell (row, col) of the view, with @p modifiers. */
    static void clickCell(SheetView* fa, int row, int col, Qt::KeyboardModifiers modifiers = {})
    {
        const QRect cell = fa->visualRect(fa->model()->index(row - 1, col));
        QTest::mouseClick(fa->viewport(), Qt::LeftButton, modifiers, cell.center());
    }

    void pasteAfterTheFindWindowGoesWhereTheUserClicked()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 5);
        trigger(*w, "mnuEditFind");
        FindWindow* find = controller(*w)->findWindow();
        QApplication::setActiveWindow(find);
        QTRY_COMPARE(s.selectionMode(), RecordSheet::SelectionMode::Block);
        find->close();
        QApplication::setActiveWindow(w.get());

        // Whatever mode the sheet is in, the status and the toolbar say so.
        const bool block = s.selectionMode() == RecordSheet::SelectionMode::Block;
        QCOMPARE(w->statusPanel(MainModel::ModePanel)->text(), block ? QStringLiteral("EDIT") : QStringLiteral("ROW"));
        QCOMPARE(w->action(QStringLiteral("tb0.BlockMode"))->isChecked(), block);
        QCOMPARE(w->action(QStringLiteral("mnuMouseMode1"))->isChecked(), block);

        SheetView* fa = w->sheetView();
        fa->setFocus();
        clickCell(fa, 2, 5);
        trigger(*w, "tb0.Copy");
        QCOMPARE(m_platform->clipboard, QStringLiteral("r2c5"));
        clickCell(fa, 4, 5);
        trigger(*w, "tb0.Paste");
        QCOMPARE(s.text(4, 5), QStringLiteral("r2c5"));
        QCOMPARE(s.text(4, 0), QStringLiteral("r4c0"));
    }

    void upwardRowSelectionIsWhatCommandsTake()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 8);
        SheetView* fa = w->sheetView();
        fa->setFocus();
        QCOMPARE(s.selectionMode(), RecordSheet::SelectionMode::Rows);
        clickCell(fa, 6, 1);
        clickCell(fa, 3, 1, Qt::ShiftModifier);
        QCOMPARE(s.selectedRowList(), (std::vector<int>{3, 4, 5, 6}));

        trigger(*w, "tb0.Bold");
        for (int r = 1; r <= 8; ++r)
            QCOMPARE(s.style(r, 2).bold(), r >= 3 && r <= 6);

        m_platform->clipboard = QStringLiteral("a\r\nb\r\nc\r\nd\r\ne");
        trigger(*w, "tb0.Paste");
        QCOMPARE(s.text(3, 0), QStringLiteral("a"));
        QCOMPARE(s.text(4, 0), QStringLiteral("b"));
        QCOMPARE(s.text(5, 0), QStringLiteral("c"));
        QCOMPARE(s.text(6, 0), QStringLiteral("d"));
        QCOMPARE(s.text(7, 0), QStringLiteral("r7c0")); // nothing outside the selection
        QCOMPARE(s.text(2, 0), QStringLiteral("r2c0"));

        trigger(*w, "mnuAlignRight");
        QCOMPARE(s.style(3, 4).alignment, uint8_t(AlignRight));
        QCOMPARE(s.style(6, 4).alignment, uint8_t(AlignRight));
        QCOMPARE(s.style(7, 4).alignment, uint8_t(0));
    }

    void pasteFillsSeparateSelectedRows()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 8);
        SheetView* fa = w->sheetView();
        fa->setFocus();
        clickCell(fa, 2, 0);
        clickCell(fa, 5, 0, Qt::ControlModifier);
        clickCell(fa, 7, 0, Qt::ControlModifier);
        QCOMPARE(s.selectedRowList(), (std::vector<int>{2, 5, 7}));
        m_platform->clipboard = QStringLiteral("x\r\ny\r\nz");
        trigger(*w, "tb0.Paste");
        QCOMPARE(s.text(2, 0), QStringLiteral("x"));
        QCOMPARE(s.text(5, 0), QStringLiteral("y"));
        QCOMPARE(s.text(7, 0), QStringLiteral("z"));
        QCOMPARE(s.text(3, 0), QStringLiteral("r3c0"));
        QCOMPARE(s.text(6, 0), QStringLiteral("r6c0"));
    }

    void longSortShowsTheBusyCursor()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        {
            RecordSheet::Batch batch(s);
            s.setRows(300'001);
            for (int r = 1; r < s.rows(); ++r)
                s.setTextUtf8(r, 0, QByteArray::number((qint64(r) * 7919) % 300'000));
        }
        QHeaderView* header = w->sheetView()->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(0) + 5, header->height() / 2));
        QCOMPARE(m_platform->busyCalls, 1);
        QCOMPARE(m_platform->busyDepth, 0);
        QCOMPARE(s.style(0, 0).picture, uint8_t(PictureUp));
        QVERIFY(s.text(1, 0) <= s.text(2, 0));
        // Its undo is as long, and shows the busy cursor too.
        const QString first = s.text(1, 0);
        trigger(*w, "mnuUndoEdit");
        QCOMPARE(m_platform->busyCalls, 2);
        QCOMPARE(m_platform->busyDepth, 0);
        QCOMPARE(s.text(1, 0), QString::number(7919 % 300'000));
        QVERIFY(s.text(1, 0) != first);
    }

    // ---- spreadsheet keys -------------------------------------------------------------------------

    /** The sheet's cursor as the view shows it: its current cell, in sheet rows. */
    static std::pair<int, int> viewCell(SheetView* view)
    {
        const QModelIndex at = view->currentIndex();
        return {at.row() + 1, at.column()};
    }

    void typingStartsAnEditWithThatCharacter_data()
    {
        QTest::addColumn<bool>("block");
        QTest::newRow("Block & Edit mode") << true;
        QTest::newRow("Row mode") << false;
    }
    void typingStartsAnEditWithThatCharacter()
    {
        QFETCH(bool, block);
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 5);
        w->model().setMouseMode(block);
        SheetView* fa = w->sheetView();
        fa->setFocus();
        clickCell(fa, 2, 1);
        QTest::keyClick(fa, 'M');
        QLineEdit* editor = openEditor(*fa);
        QVERIFY(editor);
        QCOMPARE(editor->text(), QStringLiteral("M")); // the character replaces the text
        QTest::keyClicks(editor, QStringLiteral("ia"));
        QTest::keyClick(editor, Qt::Key_Return);
        QVERIFY(!openEditor(*fa));
        QCOMPARE(s.text(2, 1), QStringLiteral("Mia"));
        QCOMPARE(viewCell(fa), std::make_pair(3, 1)); // Enter moved down
        QCOMPARE(s.currentRow(), 3);
        QCOMPARE(w->statusPanel(MainModel::RecordPanel)->text(), QStringLiteral("3 / 5"));
        QVERIFY(w->model().document().IsModified());
        QCOMPARE(w->action(QStringLiteral("mnuUndoEdit"))->text(), QStringLiteral("&Undo Edit"));
        QVERIFY(w->action(QStringLiteral("mnuUndoEdit"))->isEnabled());
    }

    void keysEndingAnEditMoveOn_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("col");
        QTest::newRow("Enter: down") << int(Qt::Key_Return) << int(Qt::NoModifier) << 4 << 2;
        QTest::newRow("keypad Enter: down") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << 4 << 2;
        QTest::newRow("Shift+Enter: up") << int(Qt::Key_Return) << int(Qt::ShiftModifier) << 2 << 2;
        QTest::newRow("Tab: right") << int(Qt::Key_Tab) << int(Qt::NoModifier) << 3 << 3;
        QTest::newRow("Shift+Tab: left") << int(Qt::Key_Backtab) << int(Qt::ShiftModifier) << 3 << 1;
    }
    void keysEndingAnEditMoveOn()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, row);
        QFETCH(int, col);
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 5);
        w->model().setMouseMode(true);
        SheetView* fa = w->sheetView();
        fa->setFocus();
        clickCell(fa, 3, 2);
        QTest::keyClick(fa, 'Q');
        QLineEdit* editor = openEditor(*fa);
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QVERIFY(!openEditor(*fa)); // stored and closed, no editor opened at the next cell
        QCOMPARE(s.text(3, 2), QStringLiteral("Q"));
        QCOMPARE(viewCell(fa), std::make_pair(row, col));
        QCOMPARE(s.currentRow(), row);
        QCOMPARE(s.currentCol(), col);
        QCOMPARE(w->model().history().count(), 1);
    }

    void escapeDropsTheEdit()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 5);
        SheetView* fa = w->sheetView();
        fa->setFocus();
        clickCell(fa, 3, 2);
        QTest::keyClick(fa, 'Q');
        QLineEdit* editor = openEditor(*fa);
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_Escape);
        QTRY_VERIFY(!openEditor(*fa));
        QCOMPARE(s.text(3, 2), QStringLiteral("r3c2"));
        QCOMPARE(viewCell(fa), std::make_pair(3, 2));
        QVERIFY(!w->model().history().canUndo());
        QVERIFY(!w->action(QStringLiteral("mnuUndoEdit"))->isEnabled());
    }

    void enterWithNoEditOpenMovesToo()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 5);
        SheetView* fa = w->sheetView();
        fa->setFocus();
        clickCell(fa, 3, 2);
        QTest::keyClick(fa, Qt::Key_Return);
        QCOMPARE(viewCell(fa), std::make_pair(4, 2));
        QTest::keyClick(fa, Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClick(fa, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(viewCell(fa), std::make_pair(2, 2));
        QCOMPARE(s.currentRow(), 2);
        QVERIFY(!openEditor(*fa));
    }

    void deleteKeyClearsTheSelectionAsOneStep_data()
    {
        QTest::addColumn<bool>("block");
        QTest::newRow("a block") << true;
        QTest::newRow("selected rows") << false;
    }
    void deleteKeyClearsTheSelectionAsOneStep()
    {
        QFETCH(bool, block);
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 5);
        w->model().setMouseMode(block);
        SheetView* fa = w->sheetView();
        fa->setFocus();
        clickCell(fa, 2, 1);
        clickCell(fa, 3, 2, Qt::ShiftModifier);
        QTest::keyClick(fa, Qt::Key_Delete);
        QCOMPARE(s.text(2, 1), QString());
        QCOMPARE(s.text(3, 2), QString());
        QCOMPARE(s.text(2, 0).isEmpty(), !block); // Row mode: the whole rows
        QCOMPARE(s.text(4, 1), QStringLiteral("r4c1"));
        QCOMPARE(w->model().history().count(), 1);
        QCOMPARE(w->action(QStringLiteral("mnuUndoEdit"))->text(), QStringLiteral("&Undo Clear"));
        QTest::keyClick(fa, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(s.text(2, 1), QStringLiteral("r2c1"));
        QCOMPARE(s.text(3, 2), QStringLiteral("r3c2"));
        QCOMPARE(s.text(2, 0), QStringLiteral("r2c0"));
    }

    void ctrlHomeAndEndGoToTheFirstAndLastRecord()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 200);
        SheetView* fa = w->sheetView();
        fa->setFocus();
        clickCell(fa, 3, 4);
        QTest::keyClick(fa, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(viewCell(fa), std::make_pair(200, 4));
        QCOMPARE(s.currentRow(), 200);
        QCOMPARE(w->statusPanel(MainModel::RecordPanel)->text(), QStringLiteral("200 / 200"));
        QVERIFY(fa->viewport()->rect().contains(fa->visualRect(fa->currentIndex()).center()));
        QTest::keyClick(fa, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(viewCell(fa), std::make_pair(1, 4));
        QCOMPARE(s.currentRow(), 1);
        QCOMPARE(w->statusPanel(MainModel::RecordPanel)->text(), QStringLiteral("1 / 200"));
    }

    void pageKeysMoveByAScreen()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 300);
        SheetView* fa = w->sheetView();
        fa->setFocus();
        clickCell(fa, 1, 0);
        const int onScreen = fa->viewport()->height() / fa->rowHeight(0);
        QTest::keyClick(fa, Qt::Key_PageDown);
        const int moved = s.currentRow() - 1;
        QVERIFY2(moved >= onScreen - 2 && moved <= onScreen + 1, qPrintable(QString::number(moved)));
        QCOMPARE(w->statusPanel(MainModel::RecordPanel)->text(), QStringLiteral("%1 / 300").arg(s.currentRow()));
        QTest::keyClick(fa, Qt::Key_PageUp);
        QCOMPARE(s.currentRow(), 1);
    }

    void f2StillShowsAndHidesTheFormPanel()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 5);
        SheetView* fa = w->sheetView();
        fa->setFocus();
        clickCell(fa, 2, 1);
        const bool shown = w->model().formPanelShown();
        QTest::keyClick(fa, Qt::Key_F2);
        QCOMPARE(w->model().formPanelShown(), !shown);
        QVERIFY(!openEditor(*fa));
        QTest::keyClick(fa, Qt::Key_F2);
        QCOMPARE(w->model().formPanelShown(), shown);
    }

    void formPanelTypingAndEnter()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 5);
        s.setCurrentCell(2, 0);
        w->model().fa_Click();
        SheetView* fb = w->formView();
        fb->setFocus();
        const QRect title = fb->visualRect(fb->model()->index(0, 0));
        QTest::mouseClick(fb->viewport(), Qt::LeftButton, {}, title.center());
        // Typing on the title "Name" edits its value.
        QTest::keyClick(fb, 'Z');
        QLineEdit* editor = openEditor(*fb);
        QVERIFY(editor);
        QTest::keyClicks(editor, QStringLiteral("oe"));
        QTest::keyClick(editor, Qt::Key_Return);
        QVERIFY(!openEditor(*fb));
        QCOMPARE(s.text(2, 0), QStringLiteral("Zoe"));
        QCOMPARE(fb->currentIndex().row(), 1); // the next field
        QTest::keyClick(fb, 'E');
        editor = openEditor(*fb);
        QVERIFY(editor);
        QTest::keyClicks(editor, QStringLiteral("lm St"));
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(s.text(2, 1), QStringLiteral("Elm St"));
        QCOMPARE(w->model().history().count(), 2);
        trigger(*w, "mnuUndoEdit");
        trigger(*w, "mnuUndoEdit");
        QCOMPARE(s.text(2, 0), QStringLiteral("r2c0"));
        QCOMPARE(s.text(2, 1), QStringLiteral("r2c1"));
        QCOMPARE(fb->model()->index(0, 1).data().toString(), QStringLiteral("r2c0"));
    }

    // ---- undo and redo in the window ----------------------------------------------------------------

    void undoAndRedoThroughTheirActions()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 6);
        s.setText(1, 2, QStringLiteral("zz"));
        w->model().history().clear();
        QStringList before;
        for (int r = 1; r <= 6; ++r)
            before << s.text(r, 2);
        QAction* undo = w->action(QStringLiteral("mnuUndoEdit"));
        QAction* redo = w->action(QStringLiteral("mnuRedoEdit"));
        QCOMPARE(undo->text(), QStringLiteral("&Undo Edit"));
        QCOMPARE(redo->text(), QStringLiteral("&Redo"));
        QVERIFY(!undo->isEnabled());
        QVERIFY(!redo->isEnabled());
        QVERIFY(undo->isVisible());

        QHeaderView* header = w->sheetView()->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(2) + 5, header->height() / 2));
        QCOMPARE(s.text(6, 2), QStringLiteral("zz"));
        QCOMPARE(undo->text(), QStringLiteral("&Undo Sort"));
        QCOMPARE(w->action(QStringLiteral("tb0.Undo"))->toolTip(), QStringLiteral("Undo Sort"));
        QVERIFY(w->action(QStringLiteral("tb0.Undo"))->isEnabled());

        SheetView* fa = w->sheetView();
        fa->setFocus();
        QTest::keyClick(fa, Qt::Key_Z, Qt::ControlModifier);
        QStringList now;
        for (int r = 1; r <= 6; ++r)
            now << s.text(r, 2);
        QCOMPARE(now, before);
        QCOMPARE(s.style(0, 2).picture, uint8_t(PictureNone));
        QCOMPARE(undo->text(), QStringLiteral("&Undo Edit"));
        QCOMPARE(redo->text(), QStringLiteral("&Redo Sort"));
        QTest::keyClick(fa, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(s.text(6, 2), QStringLiteral("zz"));
        QCOMPARE(s.style(0, 2).picture, uint8_t(PictureUp));
        trigger(*w, "tb0.Undo");
        QCOMPARE(s.text(1, 2), QStringLiteral("zz"));
        QTest::keyClick(fa, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(s.text(6, 2), QStringLiteral("zz"));
    }

    void undoStandsOnTheEditMenuAndTheToolbar()
    {
        auto w = makeWindow();
        QMenu* edit = w->menu(QStringLiteral("mnuEdit"));
        const QList<QAction*> entries = edit->actions();
        QCOMPARE(entries.value(0), w->action(QStringLiteral("mnuUndoEdit")));
        QCOMPARE(entries.value(1), w->action(QStringLiteral("mnuRedoEdit")));
        QVERIFY(entries.value(2)->isSeparator());
        QCOMPARE(w->action(QStringLiteral("mnuUndoEdit"))->shortcut(), QKeySequence(QStringLiteral("Ctrl+Z")));
        QCOMPARE(w->action(QStringLiteral("mnuRedoEdit"))->shortcuts(),
                 (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+Y")), QKeySequence(QStringLiteral("Ctrl+Shift+Z"))}));
        const QList<QAction*> tools = w->toolbar(0)->actions();
        const qsizetype paste = tools.indexOf(w->action(QStringLiteral("tb0.Paste")));
        QVERIFY(paste >= 0);
        QCOMPARE(tools.value(paste + 1), w->action(QStringLiteral("tb0.Undo")));
        QCOMPARE(tools.value(paste + 2), w->action(QStringLiteral("tb0.Redo")));
        QCOMPARE(w->action(QStringLiteral("tb0.Undo"))->toolTip(), QStringLiteral("Undo"));
    }

    void undoCommitsAnEditStillOpen()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, 3);
        SheetView* fa = w->sheetView();
        fa->setFocus();
        clickCell(fa, 1, 1);
        trigger(*w, "mnuDateTimeNow");
        clickCell(fa, 2, 1);
        QTest::keyClick(fa, 'k');
        QVERIFY(openEditor(*fa));
        trigger(*w, "tb0.Undo"); // the edit is stored as a step, and that step is undone
        QVERIFY(!openEditor(*fa));
        QCOMPARE(s.text(2, 1), QStringLiteral("r2c1"));
        QCOMPARE(w->action(QStringLiteral("mnuRedoEdit"))->text(), QStringLiteral("&Redo Edit"));
        QCOMPARE(w->action(QStringLiteral("mnuUndoEdit"))->text(), QStringLiteral("&Undo DateTime Stamp"));
        QVERIFY(s.text(1, 1) != QStringLiteral("r1c1"));
    }
};

QUILLON_WIDGET_TEST_MAIN(TestEditWindow)
#include "TestEditWindow.moc"

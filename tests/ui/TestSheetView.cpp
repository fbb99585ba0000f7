#include "sheet/RecordSheet.h"
#include "sheet/SheetTableModel.h"
#include "testsupport/WidgetTestMain.h"
#include "ui/SheetView.h"
#include "ui/Twips.h"

#include <QScrollBar>
#include <QSignalSpy>

using namespace quillon;

namespace {

using Ranges = std::vector<std::pair<int, int>>;

/** The view's selection as sheet-row ranges (whole rows) after merging. */
Ranges viewRowRanges(const SheetView& view)
{
    Ranges out;
    for (const QItemSelectionRange& r : view.selectionModel()->selection())
        out.emplace_back(r.top() + 1, r.bottom() + 1);
    std::sort(out.begin(), out.end());
    Ranges merged;
    for (const auto& r : out) {
        if (!merged.empty() && r.first <= merged.back().second + 1)
            merged.back().second = std::max(merged.back().second, r.second);
        else
            merged.push_back(r);
    }
    return merged;
}

} // namespace

class TestSheetView : public QObject
{
    Q_OBJECT

    std::unique_ptr<RecordSheet> m_sheet;
    std::unique_ptr<SheetView> m_view;

    QPoint cell(int sheetRow, int col) const
    {
        return m_view->visualRect(m_view->model()->index(sheetRow - 1, col)).center();
    }
    void click(int sheetRow, int col, Qt::KeyboardModifiers mods = {}, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseClick(m_view->viewport(), button, mods, cell(sheetRow, col));
    }
    /** The view shows exactly what the sheet holds. */
    void verifyInStep()
    {
        const RecordSheet& s = *m_sheet;
        if (s.selectionMode() == RecordSheet::SelectionMode::Rows) {
            QCOMPARE(viewRowRanges(*m_view), s.selectedRowRanges());
        } else {
            const QItemSelection sel = m_view->selectionModel()->selection();
            QCOMPARE(sel.size(), qsizetype(1));
            const CellRect b = s.selectedBlock();
            QCOMPARE((CellRect{sel[0].top() + 1, sel[0].left(), sel[0].bottom() + 1, sel[0].right()}), b);
        }
        QCOMPARE(m_view->selectionModel()->currentIndex(), m_view->model()->index(s.rowSel() - 1, s.colSel()));
    }

private slots:
    void init()
    {
        m_sheet = std::make_unique<RecordSheet>();
        m_sheet->setCols(6);
        m_sheet->setRows(41);
        m_sheet->setSelectionMode(RecordSheet::SelectionMode::Rows);
        m_sheet->setCurrentCell(1, 0);
        m_view = std::make_unique<SheetView>(m_sheet.get());
        m_view->resize(700, 500);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    }
    void cleanup()
    {
        m_view.reset();
        m_sheet.reset();
    }

    // ---- from the view to the sheet -------------------------------------------------------------

    void shiftClickKeepsTheAnchor_data()
    {
        QTest::addColumn<bool>("block");
        QTest::addColumn<int>("fromRow");
        QTest::addColumn<int>("toRow");
        QTest::newRow("rows downwards") << false << 3 << 7;
        QTest::newRow("rows upwards") << false << 7 << 3;
        QTest::newRow("block downwards") << true << 2 << 5;
        QTest::newRow("block upwards") << true << 9 << 4;
    }
    void shiftClickKeepsTheAnchor()
    {
        QFETCH(bool, block);
        QFETCH(int, fromRow);
        QFETCH(int, toRow);
        if (block)
            m_sheet->setSelectionMode(RecordSheet::SelectionMode::Block);
        QSignalSpy moved(m_view.get(), &SheetView::cursorMovedByUser);
        click(fromRow, 1);
        QCOMPARE(moved.count(), 1);
        click(toRow, 3, Qt::ShiftModifier);
        // Extending the selection does not move the current record.
        QCOMPARE(moved.count(), 1);
        QCOMPARE(m_sheet->currentRow(), fromRow);
        QCOMPARE(m_sheet->currentCol(), 1);
        QCOMPARE(m_sheet->rowSel(), toRow);
        QCOMPARE(m_sheet->selectedRowCount(), std::abs(toRow - fromRow) + 1);
        if (block)
            QCOMPARE(m_sheet->selectedBlock(), (CellRect{std::min(fromRow, toRow), 1, std::max(fromRow, toRow), 3}));
        verifyInStep();
    }

    void controlClickAddsRuns()
    {
        click(3, 0);
        click(5, 0, Qt::ControlModifier);
        click(6, 0, Qt::ControlModifier);
        click(9, 2, Qt::ControlModifier);
        QCOMPARE(m_sheet->selectedRowRanges(), (Ranges{{3, 3}, {5, 6}, {9, 9}}));
        QCOMPARE(m_sheet->currentRow(), 9);
        // A second click takes a row out again.
        click(5, 0, Qt::ControlModifier);
        QCOMPARE(m_sheet->selectedRowRanges(), (Ranges{{3, 3}, {6, 6}, {9, 9}}));
        verifyInStep();
    }

    void keysMoveTheCursor()
    {
        click(4, 2);
        QSignalSpy moved(m_view.get(), &SheetView::cursorMovedByUser);
        QTest::keyClick(m_view.get(), Qt::Key_Down);
        QCOMPARE(m_sheet->currentRow(), 5);
        QTest::keyClick(m_view.get(), Qt::Key_Right);
        QCOMPARE(m_sheet->currentCol(), 3);
        QCOMPARE(moved.count(), 2);
        QTest::keyClick(m_view.get(), Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(m_sheet->currentRow(), 5);
        QCOMPARE(m_sheet->selectedRowRanges(), (Ranges{{5, 6}}));
    }

    void rightButtonKeepsTheSelection()
    {
        m_sheet->setSelectedRows({{2, 4}, {8, 8}});
        QSignalSpy menu(m_view.get(), &SheetView::contextMenuWanted);
        click(12, 1, {}, Qt::RightButton);
        QCOMPARE(menu.count(), 1);
        QCOMPARE(m_sheet->selectedRowRanges(), (Ranges{{2, 4}, {8, 8}}));
        verifyInStep();
    }

    void titleClickSelectsNothing()
    {
        click(6, 0);
        QSignalSpy clicked(m_view->horizontalHeader(), &QHeaderView::sectionClicked);
        QHeaderView* header = m_view->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(2) + 5, header->height() / 2));
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(m_sheet->selectedRowRanges(), (Ranges{{6, 6}}));
    }

    // ---- from the sheet to the view -------------------------------------------------------------

    void sheetSelectionReachesTheView()
    {
        m_sheet->setSelectedRows({{3, 3}, {5, 5}, {9, 9}});
        verifyInStep();
        m_sheet->setCurrentCell(30, 4);
        verifyInStep();
        QVERIFY(m_view->viewport()->rect().contains(cell(30, 4)));
        m_sheet->setSelectionMode(RecordSheet::SelectionMode::Block);
        QCOMPARE(m_view->selectionBehavior(), QAbstractItemView::SelectItems);
        m_sheet->selectBlock(2, 1, 4, 3);
        verifyInStep();
        m_sheet->setSelectionMode(RecordSheet::SelectionMode::Rows);
        QCOMPARE(m_view->selectionBehavior(), QAbstractItemView::SelectRows);
        verifyInStep();
    }

    void structuralChangesKeepViewAndSheetInStep()
    {
        m_sheet->setSelectedRows({{3, 5}, {20, 22}});
        m_sheet->removeRows(4, 3);
        verifyInStep();
        m_sheet->insertRows(2, 5);
        verifyInStep();
        m_sheet->setRows(10);
        verifyInStep();
        m_sheet->removeRowSet({2, 3, 9});
        verifyInStep();
        m_sheet->setCurrentCell(5, 5);
        m_sheet->setCols(3);
        verifyInStep();
        m_sheet->clearAll();
        verifyInStep();
        RecordSheet other;
        other.setCols(2);
        other.setRows(4);
        m_sheet->swapContents(other);
        QCOMPARE(m_view->model()->rowCount(), 3);
        QCOMPARE(m_view->model()->columnCount(), 2);
        verifyInStep();
        m_sheet->setRows(1);
        QVERIFY(m_view->selectionModel()->selection().isEmpty());
    }

    void aNewDocumentShowsItsFirstColumn_data()
    {
        QTest::addColumn<bool>("rows");
        QTest::newRow("rows") << true;
        QTest::newRow("block") << false;
    }
    void aNewDocumentShowsItsFirstColumn()
    {
        // As a file is opened: the records of a wider sheet come in, the first record
        // is selected.
        QFETCH(bool, rows);
        RecordSheet other;
        other.setCols(12);
        other.setRows(30);
        for (int c = 0; c < 12; ++c)
            other.setColumnWidth(c, 2400);
        m_sheet->swapContents(other);
        m_sheet->setSelectionMode(rows ? RecordSheet::SelectionMode::Rows : RecordSheet::SelectionMode::Block);
        m_sheet->setCurrentCell(1, 0);
        QCoreApplication::processEvents();
        QCOMPARE(m_view->horizontalScrollBar()->value(), 0);
        QVERIFY(m_view->viewport()->rect().contains(cell(1, 0)));
        verifyInStep();
    }

    void millionRowsAreSelectedAsRanges()
    {
        m_sheet->setRows(1'000'001);
        m_sheet->selectBlock(1, 0, 1'000'000, 5);
        QCOMPARE(m_view->selectionModel()->selection().size(), qsizetype(1));
        verifyInStep();
        // The other way: the view selects everything, the sheet holds one run.
        m_view->selectAll();
        QCOMPARE(m_sheet->selectedRowRanges(), (Ranges{{1, 1'000'000}}));
        QCOMPARE(m_sheet->selectedRowCount(), 1'000'000);
        m_sheet->setCurrentCell(999'999, 2);
        verifyInStep();
        QVERIFY(m_view->viewport()->rect().contains(cell(999'999, 2)));
    }

    // ---- layout -----------------------------------------------------------------------------------

    void widthsAndHeightsFollowTheSheet()
    {
        m_sheet->setColumnWidth(1, 2500);
        QCOMPARE(m_view->horizontalHeader()->sectionSize(1), Twips::toPixels(2500, m_view.get()));
        m_sheet->setColumnHidden(2, true);
        QVERIFY(m_view->isColumnHidden(2));
        m_sheet->setColumnHidden(2, false);
        QVERIFY(!m_view->isColumnHidden(2));
        QCOMPARE(m_view->horizontalHeader()->sectionSize(2), Twips::toPixels(m_sheet->column(2).width, m_view.get()));

        // A width the user drags is kept in the sheet, in twips.
        m_view->horizontalHeader()->resizeSection(3, 150);
        QCOMPARE(m_sheet->column(3).width, Twips::fromPixels(150, m_view.get()));

        m_sheet->setRowHeight(5, 480);
        QCOMPARE(m_view->verticalHeader()->sectionSize(4), Twips::toPixels(480, m_view.get()));
        QCOMPARE(m_view->verticalHeader()->sectionSize(3), Twips::toPixels(240, m_view.get()));
    }

    void heightsOfALargeSheet()
    {
        m_sheet->setRows(200'001);
        m_sheet->setRowHeight(150'000, 720);
        m_sheet->setDefaultRowHeight(360);
        QHeaderView* rows = m_view->verticalHeader();
        QCOMPARE(rows->sectionSize(0), Twips::toPixels(360, m_view.get()));
        QCOMPARE(rows->sectionSize(199'999), Twips::toPixels(360, m_view.get()));
        QCOMPARE(rows->sectionSize(149'999), Twips::toPixels(720, m_view.get()));
    }

    void heightsWhereMostRowsDiffer()
    {
        RecordSheet sheet;
        sheet.setCols(2);
        sheet.setRows(5001);
        for (int r = 1; r <= 4000; ++r)
            sheet.setRowHeight(r, 480);
        sheet.setRowHeight(4500, 720);
        SheetView view(&sheet);
        QHeaderView* rows = view.verticalHeader();
        for (int r : {1, 2000, 4000, 4001, 4500, 5000})
            QCOMPARE(rows->sectionSize(r - 1), Twips::toPixels(sheet.rowHeight(r), &view));
        QCOMPARE(rows->defaultSectionSize(), Twips::toPixels(480, &view));
    }

    void alternateColour()
    {
        m_view->setAlternateColor(true);
        QVERIFY(m_view->alternatingRowColors());
        QCOMPARE(m_view->palette().color(QPalette::AlternateBase), QColor(0xC0, 0xFF, 0xC0));
        m_view->setAlternateColor(false);
        QVERIFY(!m_view->alternatingRowColors());
        QCOMPARE(m_view->palette().color(QPalette::AlternateBase), m_view->palette().color(QPalette::Base));
    }

    void titleShowsTheSortArrow()
    {
        m_sheet->setTitle(2, QStringLiteral("City"));
        QHeaderView* header = m_view->horizontalHeader();
        const auto render = [&] {
            QImage image(header->size(), QImage::Format_ARGB32);
            image.fill(Qt::white);
            header->render(&image);
            const int x = header->sectionViewportPosition(2);
            return image.copy(x, 0, header->sectionSize(2), header->height());
        };
        const QImage plain = render();
        m_sheet->setHeaderPicture(2, PictureUp);
        const QImage up = render();
        m_sheet->setHeaderPicture(2, PictureDown);
        const QImage down = render();
        QVERIFY(plain != up);
        QVERIFY(up != down);
        m_sheet->setHeaderPicture(2, PictureNone);
        QCOMPARE(render(), plain);
    }

    void titleColumnIsNotEdited()
    {
        m_view->setFirstEditableColumn(1);
        m_view->setEditTriggers(QAbstractItemView::AllEditTriggers);
        const auto editing = [this] {
            const QList<QWidget*> editors = m_view->viewport()->findChildren<QWidget*>();
            return std::any_of(editors.cbegin(), editors.cend(), [](QWidget* w) { return w->isVisible(); });
        };
        m_view->edit(m_view->model()->index(2, 0));
        QVERIFY(!editing());
        m_view->edit(m_view->model()->index(2, 1));
        QVERIFY(editing());
    }
};

QUILLON_WIDGET_TEST_MAIN(TestSheetView)
#include "TestSheetView.moc"

// The record sheet's view on a sheet of 1,000,000 records x 10 columns: opening it,
// painting a screen, and the selection kept in step between view and sheet (select
// all both ways, many scattered rows, a far cursor move), resetting every row height
// and deleting selected rows with the view attached. Runs on the offscreen platform.

#include "BenchSheet.h"

#include "sheet/RecordSheet.h"
#include "ui/SheetView.h"

#include <QApplication>
#include <QImage>

#include <cstdlib>
#include <string>

using namespace quillon;

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 1'000'000;
    const int cols = bench::ListingGenerator::kColumns;
    std::printf("sheet view over %d records x %d columns\n", records, cols);

    RecordSheet sheet;
    bench::fillListings(sheet, records);
    sheet.setSelectionMode(RecordSheet::SelectionMode::Rows);
    sheet.setCurrentCell(1, 0);

    const long long rssBefore = bench::residentBytes();
    bench::Stopwatch watch;
    SheetView view(&sheet);
    view.resize(1000, 700);
    view.setAlternateColor(true);
    view.show();
    QCoreApplication::processEvents();
    bench::printFigure("open the view", watch.seconds() * 1000, "ms");
    bench::printFigure("view memory per record", double(bench::residentBytes() - rssBefore) / records, "bytes");

    QImage screen(view.viewport()->size(), QImage::Format_ARGB32);
    view.viewport()->render(&screen);
    watch.restart();
    view.viewport()->render(&screen);
    bench::printFigure("paint one screen", watch.seconds() * 1000, "ms");

    watch.restart();
    view.selectAll();
    bench::printFigure("select all in the view (to the sheet)", watch.seconds() * 1000, "ms");
    if (sheet.selectedRowCount() != records)
        std::printf("  wrong: %d rows selected\n", sheet.selectedRowCount());

    std::vector<std::pair<int, int>> scattered;
    for (int i = 0; i < 1000; ++i)
        scattered.emplace_back(1 + i * (records / 1000), 1 + i * (records / 1000));
    watch.restart();
    sheet.setSelectedRows(scattered);
    bench::printFigure("1,000 scattered rows (sheet to view)", watch.seconds() * 1000, "ms");

    watch.restart();
    sheet.setCurrentCell(records - 1, 2);
    QCoreApplication::processEvents();
    bench::printFigure("cursor to a far record and paint", watch.seconds() * 1000, "ms");

    sheet.setSelectionMode(RecordSheet::SelectionMode::Block);
    watch.restart();
    sheet.selectBlock(1, 0, records, cols - 1);
    bench::printFigure("select all in the sheet (to the view)", watch.seconds() * 1000, "ms");

    watch.restart();
    for (int r = 1; r <= 100; ++r)
        sheet.setRowHeight(r * (records / 100), 480);
    QCoreApplication::processEvents();
    bench::printFigure("100 rows made taller one by one, per row", watch.seconds() * 10, "ms");
    watch.restart();
    sheet.setDefaultRowHeight(360);
    QCoreApplication::processEvents();
    bench::printFigure("new default height for every row", watch.seconds() * 1000, "ms");
    {
        // Every record taller but a hundred: rebuilt at the common height.
        RecordSheet::Batch batch(sheet);
        sheet.setDefaultRowHeight(480);
    }
    watch.restart();
    sheet.rowHeightsChanged(0, records);
    QCoreApplication::processEvents();
    bench::printFigure("apply all heights (one common, 100 other)", watch.seconds() * 1000, "ms");

    sheet.setSelectionMode(RecordSheet::SelectionMode::Rows);
    sheet.setSelectedRows(scattered);
    watch.restart();
    sheet.removeRowSet(sheet.selectedRowList());
    QCoreApplication::processEvents();
    bench::printFigure("delete 1,000 selected rows, view attached", watch.seconds() * 1000, "ms");
    std::printf("records left: %d\n", sheet.recordCount());
    return 0;
}

// The editing commands on a sheet of 1,000,000 records x 10 columns of listing
// texts: the title-click sort of a text column and of a number column, "Delete
// Duplicates" with 10% duplicates, a Find Next that scans every cell without a hit,
// the delete of 1,000 selected rows and the insert of a column; the undo and redo of
// the sort and of "Delete Duplicates", and the memory their steps keep.

#include "BenchSheet.h"

#include "shell/MainModel.h"
#include "shell/SettingsStore.h"
#include "edit/EditCommands.h"
#include "sheet/RecordSheet.h"
#include "sheet/SheetSort.h"
#include "sheet/TextFinder.h"
#include "ui/Platform.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTemporaryDir>
#include <QUrl>

#include <cstdlib>
#include <string>

using namespace quillon;

namespace {

using bench::QuietPlatform;

using bench::cpuSeconds;
using bench::Timer;

/** Fills @p sheet with @p records listings; @p duplicateShare of them repeat an earlier one. */
void fill(RecordSheet& sheet, int records, double duplicateShare, uint64_t seed)
{
    const int cols = bench::ListingGenerator::kColumns;
    sheet.setCols(cols);
    sheet.setRows(records + 1);
    bench::ListingGenerator gen(seed);
    bench::Random rng(seed + 1);
    std::string text;
    RecordSheet::Batch batch(sheet);
    for (int r = 1; r <= records; ++r) {
        if (r > 1 && rng.below(1000) < uint32_t(duplicateShare * 1000)) {
            const int from = 1 + int(rng.below(uint32_t(r - 1)));
            for (int c = 0; c < cols; ++c)
                sheet.setTextUtf8(r, c, sheet.textUtf8(from, c).toByteArray());
            continue;
        }
        for (int c = 0; c < cols; ++c) {
            gen.cell(c, text);
            sheet.setTextUtf8(r, c, QByteArrayView(text.data(), qsizetype(text.size())));
        }
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 1'000'000;
    std::printf("sheet of %d records x %d columns\n", records, bench::ListingGenerator::kColumns);

    RecordSheet sheet;
    fill(sheet, records, 0.0, 42);
    // Column 4 (zip code) as a Number column for the numeric sort.
    sheet.setColumnDataType(0, TypeText);
    sheet.setColumnDataType(4, TypeNumber);

    Timer watch;
    auto order = TypedRecordOrder(sheet, 0, true);
    sheet.applyRecordOrder(order);
    watch.report("title-click sort, text column 0 (names)", "< 0.6 s");
    order = TypedRecordOrder(sheet, 1, true);
    sheet.applyRecordOrder(order);
    watch.report("title-click sort, text column 1 (streets)", "< 0.6 s");
    order = TypedRecordOrder(sheet, 5, false);
    sheet.applyRecordOrder(order);
    watch.report("title-click sort, text column 5 (phones)", "< 0.6 s");
    order = TypedRecordOrder(sheet, 4, true);
    sheet.applyRecordOrder(order);
    watch.report("title-click sort, number column 4", "< 0.6 s");
    const CellMatcher matcher(QStringLiteral("no such text"), false);
    const CellPosition hit = FindCell(sheet, matcher, 0, 1);
    watch.report("Find Next, full scan without a hit", "< 0.1 s");
    const CellMatcher exact(QStringLiteral("no such text"), true);
    const CellPosition hit2 = FindCell(sheet, exact, 0, 1);
    watch.report("Find Next, full scan, Match case", "< 0.1 s");

    RecordSheet dups;
    fill(dups, records, 0.10, 7);
    watch.restart();
    const ExactOrder exactOrder = ExactRecordOrder(dups);
    dups.applyRecordOrder(exactOrder.order);
    dups.removeRowSet(exactOrder.duplicateRows);
    watch.report("Delete Duplicates, 10% duplicates", "< 1.5 s");
    std::printf("(%zu duplicates removed, %d records left, hits %d %d)\n", exactOrder.duplicateRows.size(),
                dups.recordCount(), hit.row, hit2.row);

    // The commands as the main window runs them: with the form panel's refresh and the
    // edit marking.
    QTemporaryDir dir;
    SettingsStore settings(dir.filePath(QStringLiteral("quillon.ini")));
    QuietPlatform platform;
    MainModel model(settings, platform, dir.filePath(QStringLiteral("Untitled1.vty")));
    EditCommands edit(model);
    RecordSheet& main = model.sheet();
    fill(main, records, 0.0, 99);
    model.ResyncFormPanel();
    watch.restart();
    edit.sortByTitle(0);
    watch.report("title-click sort through the command, column 0", "< 0.6 s");
    bench::printFigure("memory the sort step keeps", double(model.history().memoryUsed()) / (1 << 20), "MB",
                       "< 8 MB");
    watch.restart();
    model.history().undo();
    watch.report("undo of the text-column sort", "< 0.3 s");
    watch.restart();
    model.history().redo();
    watch.report("redo of the text-column sort", "< 0.3 s");
    std::vector<std::pair<int, int>> picked;
    for (int i = 0; i < 1000; ++i) {
        const int r = 1 + int((int64_t(i) * records) / 1000) + i % 7;
        picked.emplace_back(r, r);
    }
    model.setMouseMode(false);
    main.setSelectedRows(picked);
    watch.restart();
    edit.deleteRows();
    watch.report("Delete Row(s), 1,000 selected rows", "< 0.3 s");
    main.setCurrentCell(1, 3);
    watch.restart();
    edit.insertColumn();
    watch.report("Insert column", "< 0.3 s");
    watch.restart();
    edit.deleteColumn();
    watch.report("Delete column", "< 0.3 s");
    std::printf("(%d records, %d columns left)\n", main.recordCount(), main.cols());

    // "Delete Duplicates" through the command, then taken back and done again.
    MainModel dupModel(settings, platform, dir.filePath(QStringLiteral("Untitled1.vty")));
    EditCommands dupEdit(dupModel);
    fill(dupModel.sheet(), records, 0.10, 7);
    dupModel.ResyncFormPanel();
    platform.answer = Platform::Yes;
    watch.restart();
    dupEdit.deleteDuplicates();
    watch.report("Delete Duplicates through the command, 10% duplicates", "< 1.5 s");
    std::printf("(%d records left)\n", dupModel.sheet().recordCount());
    bench::printFigure("memory the Delete Duplicates step keeps",
                       double(dupModel.history().memoryUsed()) / (1 << 20), "MB");
    watch.restart();
    dupModel.history().undo();
    watch.report("undo of Delete Duplicates, 10% duplicates", "< 0.5 s");
    std::printf("(%d records back)\n", dupModel.sheet().recordCount());
    watch.restart();
    dupModel.history().redo();
    watch.report("redo of Delete Duplicates", "< 0.5 s");
    return 0;
}

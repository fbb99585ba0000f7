// Prints a sheet of 100,000 records x 10 columns as a table to PDF and 30,000
// mailing labels to PDF, and prints seconds, pages, and resident memory sampled
// while the pages are written (flat when memory does not grow with the pages).
// Also times the set-ups that read every record before the first page: the labels'
// count of shortened labels, and the look for a value in untitled columns over a
// million records whose nine untitled columns are empty.
//
//   bench_print [records] [labels] [output folder]

#include "BenchSheet.h"

#include "print/LabelPrint.h"
#include "print/PdfExport.h"
#include "print/SheetPrint.h"
#include "sheet/RecordSheet.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdlib>
#include <string>

using namespace quillon;

namespace {

using bench::cpuSeconds;

void fillSheet(RecordSheet& sheet, int records)
{
    static const int widths[] = {2500, 2500, 1000, 500, 900, 1500, 1200, 1200, 1200, 1200};
    const int cols = bench::ListingGenerator::kColumns;
    sheet.setCols(cols);
    sheet.setRows(records + 1);
    for (int c = 0; c < cols; ++c) {
        sheet.setColumnWidth(c, widths[c]);
        sheet.setColumnDataType(c, TypeText);
        sheet.setColumnAlignment(c, AlignLeft);
    }
    bench::fillListings(sheet, records);
}

/** Writes @p print to @p path and prints the figures under @p name. */
void run(const char* name, const PrintSheet& print, const QString& path, const char* target)
{
    const int pages = print.pageCount();
    const long long before = bench::residentBytes();
    long long atTenth = 0;
    long long atHalf = 0;
    bench::Stopwatch watch;
    const double cpuBefore = cpuSeconds();
    QString error;
    const bool ok = WritePdf(print, path, &error, [&](int done, int total) {
        if (done == total / 10)
            atTenth = bench::residentBytes();
        if (done == total / 2)
            atHalf = bench::residentBytes();
        return true;
    });
    const double seconds = watch.seconds();
    const double cpu = cpuSeconds() - cpuBefore;
    const long long after = bench::residentBytes();
    if (!ok) {
        std::printf("%s: %s\n", name, qPrintable(error));
        return;
    }
    std::printf("%s\n", name);
    bench::printFigure("  seconds", seconds, "s", target);
    bench::printFigure("  processor seconds", cpu, "s");
    bench::printFigure("  pages", pages, "");
    bench::printFigure("  pages a second", pages / seconds, "");
    bench::printFigure("  PDF size", double(QFileInfo(path).size()) / 1e6, "MB");
    bench::printFigure("  resident growth at 10% of the pages", double(atTenth - before) / 1e6, "MB");
    bench::printFigure("  resident growth at 50% of the pages", double(atHalf - before) / 1e6, "MB");
    bench::printFigure("  resident growth at the end", double(after - before) / 1e6, "MB");
}

} // namespace

int main(int argc, char* argv[])
{
    // Fonts need a GUI application; no window is shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 100'000;
    const int labels = argc > 2 ? std::atoi(argv[2]) : 30'000;
    QTemporaryDir tmp;
    const QString dir = argc > 3 ? QString::fromLocal8Bit(argv[3]) : tmp.path();
    QDir().mkpath(dir);

    RecordSheet sheet;
    fillSheet(sheet, std::max(records, labels));
    std::printf("sheet of %d records x %d columns\n", sheet.recordCount(), sheet.cols());

    {
        RecordSheet table;
        table.copyContentsFrom(sheet);
        table.setRows(records + 1);
        PrintSheetForm form(table);
        const auto print = form.makePrintSheet();
        std::printf("table of %d records at %d%%\n", records, print->scale());
        run("table to PDF", *print, dir + QStringLiteral("/table.pdf"), "< 20 s");
    }
    {
        RecordSheet labelSheet;
        labelSheet.copyContentsFrom(sheet);
        labelSheet.setRows(labels + 1);
        ReportOptionsForm form(labelSheet);
        form.setPrintCountry(true);
        int shortened = 0;
        bench::Stopwatch setUp;
        const double cpuBefore = cpuSeconds();
        const auto print = form.makePrintSheet(&shortened);
        const double seconds = setUp.seconds();
        const double cpu = cpuSeconds() - cpuBefore;
        std::printf("%d labels \"3 x 10\"\n", labels);
        bench::printFigure("  set-up, counting the shortened", seconds, "s");
        bench::printFigure("  set-up, processor seconds", cpu, "s");
        bench::printFigure("  labels shortened", shortened, "");
        run("labels to PDF", *print, dir + QStringLiteral("/labels.pdf"), "< 10 s");
    }
    {
        // Nine empty untitled columns: every record is looked at once, each column
        // of it until the column shows a value (none does here).
        const int big = 1'000'000;
        RecordSheet table;
        table.setCols(10);
        table.setRows(big + 1);
        table.setTitle(0, QStringLiteral("Name"));
        {
            RecordSheet::Batch batch(table);
            for (int r = 1; r <= big; ++r)
                table.setTextUtf8(r, 0, QByteArrayView("Smith Hardware"));
        }
        PrintSheetForm form(table);
        bench::Stopwatch setUp;
        const double cpuBefore = cpuSeconds();
        const auto print = form.makePrintSheet();
        const double seconds = setUp.seconds();
        const double cpu = cpuSeconds() - cpuBefore;
        std::printf("table of %d records, 9 empty untitled columns\n", big);
        bench::printFigure("  set-up", seconds, "s");
        bench::printFigure("  set-up, processor seconds", cpu, "s");
        bench::printFigure("  pages", print->pageCount(), "");
    }
    bench::printFigure("peak resident", double(bench::peakResidentBytes()) / 1e6, "MB");
    return 0;
}

// Builds a sheet of 1,000,000 records x 10 columns of listing texts and prints
// build time, resident bytes per cell beyond the text, a full read of every cell,
// and the time the table model takes to serve one screen of cells.

#include "BenchSupport.h"

#include "sheet/RecordSheet.h"
#include "sheet/SheetTableModel.h"

#include <QCoreApplication>

#include <cstdlib>
#include <string>
#include <vector>

using namespace quillon;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 1'000'000;
    const int cols = bench::ListingGenerator::kColumns;
    std::printf("sheet of %d records x %d columns\n", records, cols);

    // The texts are generated first, so that the timing and the memory figures are the
    // sheet's own.
    bench::ListingGenerator gen;
    std::string all;
    std::vector<uint32_t> lengths;
    lengths.reserve(size_t(records) * cols);
    {
        std::string text;
        for (int r = 1; r <= records; ++r)
            for (int c = 0; c < cols; ++c) {
                gen.cell(c, text);
                all += text;
                lengths.push_back(uint32_t(text.size()));
            }
    }
    const long long textBytes = qsizetype(all.size());

    const long long rssBefore = bench::residentBytes();
    auto* sheet = new RecordSheet;
    bench::Stopwatch watch;
    sheet->setCols(cols);
    sheet->setRows(records + 1);
    {
        RecordSheet::Batch batch(*sheet);
        const char* p = all.data();
        size_t i = 0;
        for (int r = 1; r <= records; ++r) {
            for (int c = 0; c < cols; ++c) {
                const qsizetype n = lengths[i++];
                sheet->setTextUtf8(r, c, QByteArrayView(p, n));
                p += n;
            }
        }
    }
    const double build = watch.seconds();
    const long long rssAfter = bench::residentBytes();
    const double cells = double(records) * cols;
    bench::printFigure("build", build, "s", "< 1.0 s");
    bench::printFigure("text", double(textBytes) / 1e6, "MB");
    bench::printFigure("resident growth", double(rssAfter - rssBefore) / 1e6, "MB");
    bench::printFigure("resident bytes a cell beyond the text", (double(rssAfter - rssBefore) - double(textBytes)) / cells,
                       "B", "< 8 B");

    watch.restart();
    long long checksum = 0;
    for (int c = 0; c < cols; ++c)
        for (int r = 1; r <= records; ++r)
            checksum += sheet->textUtf8(r, c).size();
    bench::printFigure("read every cell once (UTF-8 views)", watch.seconds(), "s");

    watch.restart();
    for (int r = 1; r <= records; r += 1)
        for (int c = 0; c < cols; ++c)
            checksum += sheet->text(r, c).size();
    bench::printFigure("read every cell once (as QString)", watch.seconds(), "s");

    SheetTableModel model(sheet);
    const int screenRows = 50;
    const int screens = 200;
    const int roles[] = {Qt::DisplayRole,    Qt::TextAlignmentRole, Qt::FontRole,
                         Qt::BackgroundRole, Qt::ForegroundRole,    Qt::CheckStateRole};
    bench::Random rng(7);
    watch.restart();
    for (int s = 0; s < screens; ++s) {
        const int top = int(rng.below(uint32_t(records - screenRows)));
        for (int r = top; r < top + screenRows; ++r)
            for (int c = 0; c < cols; ++c)
                for (int role : roles)
                    checksum += model.data(model.index(r, c), role).isValid();
    }
    bench::printFigure("model serves one screen (50 x 10 cells)", watch.seconds() / screens * 1000.0, "ms", "< 2 ms");
    std::printf("(checksum %lld)\n", checksum);
    delete sheet;
    return 0;
}

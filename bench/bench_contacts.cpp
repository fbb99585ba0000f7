// Writes and reads a sheet of 1,000,000 records x 10 columns of listing texts as a
// spreadsheet file (.xlsx), as vCards and as comma text for spreadsheet programs,
// printing seconds, processor time, file size and peak resident memory. Each read runs
// in a fresh process of its own, so that its peak is its own.
//
//   bench_contacts [records]                  all of it
//   bench_contacts --read FORMAT FILE NAME    one read (used by the above)

#include "BenchSheet.h"

#include "files/GridFile.h"
#include "sheet/RecordSheet.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdlib>
#include <string>

using namespace quillon;

namespace {

using bench::cpuSeconds;

struct Format
{
    int code;
    const char* name;
    const char* suffix;
    const char* writeTarget;
    const char* readTarget;
};

const Format kFormats[] = {
    {FormatXlsx, "xlsx", "xlsx", "< 8 s", "< 6 s"},
    {FormatVCard, "vcard", "vcf", "< 1 s", nullptr},
    {FormatSpreadsheetCsv, "csv-excel", "csv", nullptr, nullptr},
};

int readOne(int format, const QString& path, const char* name, const char* target)
{
    const long long before = bench::residentBytes();
    RecordSheet sheet;
    const double cpuBefore = cpuSeconds();
    bench::Stopwatch watch;
    QString error;
    if (!LoadGrid(path, format, sheet, &error)) {
        std::fprintf(stderr, "read failed: %s\n", qPrintable(error));
        return 1;
    }
    const double seconds = watch.seconds();
    char label[96];
    std::snprintf(label, sizeof label, "read %s (%d rows, %d columns)", name, sheet.rows(), sheet.cols());
    bench::printFigure(label, seconds, "s", target);
    std::snprintf(label, sizeof label, "read %s processor time", name);
    bench::printFigure(label, cpuSeconds() - cpuBefore, "s");
    std::snprintf(label, sizeof label, "read %s peak above start", name);
    bench::printFigure(label, double(bench::peakResidentBytes() - before) / 1e6, "MB");
    return 0;
}

bool readInProcess(const Format& f, const QString& path)
{
    QProcess reader;
    reader.setProcessChannelMode(QProcess::ForwardedChannels);
    reader.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--read"), QString::number(f.code), path, QString::fromLatin1(f.name)});
    reader.waitForFinished(-1);
    return reader.exitStatus() == QProcess::NormalExit && reader.exitCode() == 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 5 && std::string(argv[1]) == "--read") {
        const int code = std::atoi(argv[2]);
        const char* target = nullptr;
        for (const Format& f : kFormats)
            if (f.code == code)
                target = f.readTarget;
        return readOne(code, QString::fromLocal8Bit(argv[3]), argv[4], target);
    }

    const int records = argc > 1 ? std::atoi(argv[1]) : 1'000'000;
    const int cols = bench::ListingGenerator::kColumns;
    std::printf("sheet of %d records x %d columns\n", records, cols);
    RecordSheet sheet;
    bench::fillListings(sheet, records);
    bench::writeListingTitles(sheet);
    for (int c = 0; c < cols; ++c)
        sheet.setColumnDataType(c, TypeText); // as a new document's columns

    QTemporaryDir dir;
    for (const Format& f : kFormats) {
        const QString path = dir.filePath(QStringLiteral("bench.") + QLatin1String(f.suffix));
        const double cpuBefore = cpuSeconds();
        bench::Stopwatch watch;
        QString error;
        if (!SaveGrid(path, f.code, sheet, &error)) {
            std::fprintf(stderr, "write failed: %s\n", qPrintable(error));
            return 1;
        }
        const double seconds = watch.seconds();
        char label[96];
        std::snprintf(label, sizeof label, "write %s (%.1f MB)", f.name, double(QFileInfo(path).size()) / 1e6);
        bench::printFigure(label, seconds, "s", f.writeTarget);
        std::snprintf(label, sizeof label, "write %s processor time", f.name);
        bench::printFigure(label, cpuSeconds() - cpuBefore, "s");
        if (!readInProcess(f, path))
            return 1;
    }
    return 0;
}

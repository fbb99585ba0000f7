// Writes and reads a sheet of 1,000,000 records x 10 columns of listing texts as comma
// text, tab text and the native grid file, printing seconds, MB/s and peak resident
// memory; then reads the comma text once more with one record whose bytes are
// Windows-1252, not UTF-8. Each read runs in a fresh process of its own, so that its
// peak is its own.
//
//   bench_files [records]                   all of it
//   bench_files --read FORMAT FILE [NAME]   one read (used by the above)

#include "BenchSheet.h"

#include "files/GridFile.h"
#include "sheet/RecordSheet.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdlib>
#include <string>

using namespace quillon;

namespace {

// Processor time tells the work apart from the waiting on a shared machine.
using bench::cpuSeconds;

const char* formatName(int format)
{
    return format == FormatNative ? "native" : (format == FormatComma ? "comma" : "tab");
}

const char* readTarget(int format)
{
    return format == FormatNative ? "< 0.3 s" : (format == FormatComma ? "< 0.6 s" : nullptr);
}

const char* writeTarget(int format)
{
    return format == FormatNative ? "< 0.3 s" : (format == FormatComma ? "< 0.5 s" : nullptr);
}

int readOne(int format, const QString& path, const char* name)
{
    const double size = double(QFileInfo(path).size());
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
    const double cpu = cpuSeconds() - cpuBefore;
    const long long peak = bench::peakResidentBytes();
    char label[96];
    std::snprintf(label, sizeof label, "read %s (%d rows)", name, sheet.rows());
    bench::printFigure(label, seconds, "s", readTarget(format));
    std::snprintf(label, sizeof label, "read %s processor time", name);
    bench::printFigure(label, cpu, "s");
    std::snprintf(label, sizeof label, "read %s speed", name);
    bench::printFigure(label, size / 1e6 / seconds, "MB/s");
    std::snprintf(label, sizeof label, "read %s peak resident", name);
    bench::printFigure(label, double(peak) / 1e6, "MB");
    std::snprintf(label, sizeof label, "read %s peak above start / file size", name);
    bench::printFigure(label, double(peak - before) / size, "x", "< 2 x");
    return 0;
}

/** Runs readOne() in a process of its own. */
bool readInProcess(int format, const QString& path, const char* name)
{
    QProcess reader;
    reader.setProcessChannelMode(QProcess::ForwardedChannels);
    reader.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--read"), QString::number(format), path, QString::fromLatin1(name)});
    reader.waitForFinished(-1);
    return reader.exitStatus() == QProcess::NormalExit && reader.exitCode() == 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if ((argc == 4 || argc == 5) && std::string(argv[1]) == "--read") {
        const int format = std::atoi(argv[2]);
        return readOne(format, QString::fromLocal8Bit(argv[3]), argc == 5 ? argv[4] : formatName(format));
    }

    const int records = argc > 1 ? std::atoi(argv[1]) : 1'000'000;
    const int cols = bench::ListingGenerator::kColumns;
    std::printf("sheet of %d records x %d columns\n", records, cols);
    RecordSheet sheet;
    bench::fillListings(sheet, records);
    bench::writeListingTitles(sheet);

    QTemporaryDir dir;
    for (int format : {int(FormatComma), int(FormatTab), int(FormatNative)}) {
        const QString path = dir.filePath(QStringLiteral("bench.") + QLatin1String(formatName(format)));
        const double cpuBefore = cpuSeconds();
        bench::Stopwatch watch;
        QString error;
        if (!SaveGrid(path, format, sheet, &error)) {
            std::fprintf(stderr, "write failed: %s\n", qPrintable(error));
            return 1;
        }
        const double seconds = watch.seconds();
        const double cpu = cpuSeconds() - cpuBefore;
        const double size = double(QFileInfo(path).size());
        char label[96];
        std::snprintf(label, sizeof label, "write %s (%.1f MB)", formatName(format), size / 1e6);
        bench::printFigure(label, seconds, "s", writeTarget(format));
        std::snprintf(label, sizeof label, "write %s processor time", formatName(format));
        bench::printFigure(label, cpu, "s");
        std::snprintf(label, sizeof label, "write %s speed", formatName(format));
        bench::printFigure(label, size / 1e6 / seconds, "MB/s");

        if (!readInProcess(format, path, formatName(format)))
            return 1;
    }

    // The same comma text with one record whose name is Windows-1252 ("M\xfcller"):
    // the bytes that are not UTF-8 are taken one by one, the rest stays UTF-8.
    const QString comma = dir.filePath(QStringLiteral("bench.comma"));
    const QString mixed = dir.filePath(QStringLiteral("bench-1252.comma"));
    if (!QFile::copy(comma, mixed))
        return 1;
    QFile file(mixed);
    if (!file.open(QIODevice::Append) || file.write("M\xfcller Bakery,1 Main St,Salem\r\n") < 0)
        return 1;
    file.close();
    return readInProcess(FormatComma, mixed, "comma, mixed") ? 0 : 1;
}

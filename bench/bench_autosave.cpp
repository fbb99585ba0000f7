// The autosave of a sheet of 1,000,000 records x 10 columns: how long the interface
// thread is taken (the copy of the sheet the worker writes from), how long until the
// recovery file is in place, the same write done on the interface thread alone, and
// reading the file back as a start after a crash does. Peak memory shows the copy.
//
//   bench_autosave [records]

#include "BenchSheet.h"

#include "files/AutoSave.h"
#include "files/DocumentCommands.h"
#include "files/RecoveryFile.h"
#include "sheet/RecordSheet.h"
#include "shell/AppPaths.h"
#include "shell/MainModel.h"
#include "shell/SettingsStore.h"
#include "ui/Platform.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

using namespace quillon;

namespace {

using bench::QuietPlatform;

/** Processor time of the calling thread: the machine is shared, so this tells the
 *  interface thread's work apart from its waiting. */
double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 1'000'000;
    const int cols = bench::ListingGenerator::kColumns;
    std::printf("autosave of %d records x %d columns\n", records, cols);

    QTemporaryDir dir;
    AppPaths::setUserDataFolder(dir.filePath(QStringLiteral("user")));
    SettingsStore settings(dir.filePath(QStringLiteral("q.ini")));
    QuietPlatform platform;
    MainModel model(settings, platform, dir.filePath(QStringLiteral("user/Untitled1.vty")));
    DocumentCommands commands(model);
    commands.StartupNew();
    RecordSheet& sheet = model.sheet();
    bench::fillListings(sheet, records);
    model.document().MakeModified(true);
    std::vector<double> copies;
    for (int i = 0; i < 3; ++i) {
        bench::Stopwatch watch;
        RecordSheet copy;
        copy.snapshotContentsFrom(sheet);
        copies.push_back(watch.seconds());
    }
    AutoSave autoSave(model, commands);
    autoSave.setInterval(0); // written when asked, not by the timer

    const int runs = 5;
    std::vector<double> uiShare, uiCpu, total, alone;
    const long long peakBefore = bench::peakResidentBytes();
    for (int i = 0; i < runs; ++i) {
        QEventLoop loop;
        QObject::connect(&autoSave, &AutoSave::recoveryWritten, &loop, &QEventLoop::quit);
        QObject::connect(&autoSave, &AutoSave::recoveryFailed, &loop, &QEventLoop::quit);
        bench::Stopwatch watch;
        const double cpu = threadCpuSeconds();
        autoSave.saveNow();
        uiShare.push_back(watch.seconds());
        uiCpu.push_back(threadCpuSeconds() - cpu);
        loop.exec();
        total.push_back(watch.seconds());
    }
    const long long peakAfter = bench::peakResidentBytes();
    const double size = double(QFileInfo(autoSave.recoveryPath()).size());

    autoSave.setBackgroundThreshold(qint64(1) << 62);
    for (int i = 0; i < runs; ++i) {
        bench::Stopwatch watch;
        autoSave.saveNow();
        alone.push_back(watch.seconds());
    }

    std::vector<double> reads;
    for (int i = 0; i < 3; ++i) {
        RecordSheet back;
        RecoveryInfo info;
        bench::Stopwatch watch;
        if (!RecoveryFile::load(autoSave.recoveryPath(), &info, back))
            return 1;
        reads.push_back(watch.seconds());
    }

    bench::printFigure("recovery file", size / 1e6, "MB");
    bench::printFigure("autosave, interface thread's share (median)", median(uiShare), "s");
    bench::printFigure("autosave, interface thread's share (worst)", *std::max_element(uiShare.begin(), uiShare.end()), "s");
    bench::printFigure("autosave, interface thread's processor time (median)", median(uiCpu), "s");
    bench::printFigure("copy of the sheet alone (median)", median(copies), "s");
    bench::printFigure("autosave, until the file is in place (median)", median(total), "s", "< 0.5 s");
    bench::printFigure("autosave, until the file is in place (worst)", *std::max_element(total.begin(), total.end()), "s");
    bench::printFigure("autosave on the interface thread alone (median)", median(alone), "s");
    bench::printFigure("recovery file read back (median)", median(reads), "s");
    bench::printFigure("peak memory added by the copy", double(peakAfter - peakBefore) / 1e6, "MB");
    autoSave.removeRecoveryFile();
    return 0;
}

// A soak of grabbing against a directory site that misbehaves: 2,000 result pages of
// ten listings, one page in ten misbehaving (trickling a byte a second, stalling,
// ending early, 429 with Retry-After, 500 and 503, resets, redirect loops and
// redirects to file: and ftp:, a gzip bomb, 50 MB, a wrong char set or none, pages
// that change at each request), the last page linking back three pages.
//
// 1. In this process, through GrabRunner as quillon-grab drives it (the output file
//    and the journal written after every page, the grab continued from its resume
//    point after each page that failed): every listing of every page served whole is
//    in the records exactly once, every failed page is named with its reason,
//    resident memory after the 100th page, and the longest any page took against
//    what its limits allow.
// 2. quillon-grab itself, killed with SIGKILL at a random page and continued with
//    --resume (again after each failed page) until done: the same records, each once.
//
// Usage: bench_grab_soak [--pages N] [--seed S] [--part memory|kill|both]

#include "BenchSupport.h"

#include "testsupport/MisbehavingDirectory.h"

#include "files/GridFile.h"
#include "grab/GrabJournal.h"
#include "grab/GrabRunner.h"
#include "grab/KeyTable.h"
#include "grab/PageFetcher.h"
#include "sheet/Document.h"
#include "sheet/RecordSheet.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <map>

using namespace quillon;
using Trouble = MisbehavingDirectory::Trouble;

namespace {

constexpr int kListings = 10;
constexpr int kTimeoutMs = 2000;
constexpr int kRetryWaitMs = 100;
constexpr int kTries = 3;

struct Mix
{
    Trouble trouble;
    int times;
    int retryAfter;
    const char* name;
};

// What a misbehaving page does, and for how many requests: some pass when asked
// again, some end the grab until it is continued, some are served whole but odd.
const Mix kMix[] = {
    {Trouble::Stall, 1, -1, "stall once"},
    {Trouble::EndEarly, 1, -1, "end early once"},
    {Trouble::TooManyRequests, 1, 1, "429, Retry-After 1"},
    {Trouble::ServerError, 2, -1, "500 twice"},
    {Trouble::Unavailable, 1, 0, "503 once"},
    {Trouble::Reset, 1, -1, "reset once"},
    {Trouble::WrongCharset, -1, -1, "wrong char set"},
    {Trouble::NoCharset, -1, -1, "no char set"},
    {Trouble::Changing, -1, -1, "changes at each request"},
    {Trouble::Trickle, 3, -1, "a byte a second, three times"},
    {Trouble::RedirectLoop, 1, -1, "redirect loop once"},
    {Trouble::RedirectToFile, 1, -1, "redirect to file: once"},
    {Trouble::RedirectToFtp, 1, -1, "redirect to ftp: once"},
    {Trouble::GzipBomb, 1, -1, "gzip bomb once"},
    {Trouble::Huge, 1, -1, "50 MB once"},
};

/** The site: the same plan for the same seed. */
void plan(MisbehavingDirectory& site, int pages, uint64_t seed, QHash<int, int>& mixOf)
{
    bench::Random random(seed);
    for (int p = 1; p <= pages; ++p) {
        if (random.below(10) != 0)
            continue;
        const int m = int(random.below(sizeof kMix / sizeof kMix[0]));
        mixOf.insert(p, m);
        site.setPlan(p, {kMix[m].trouble, kMix[m].times, kMix[m].retryAfter});
    }
    MisbehavingDirectory::Plan last = site.plan(pages);
    last.linkBack = 3;
    site.setPlan(pages, last);
    site.setTrickleIntervalMs(1000);
}

/** The longest a page may take by its limits: every try to its time limit, every wait. */
qint64 pageBound(const MisbehavingDirectory::Plan& plan)
{
    qint64 bound = qint64(kTries) * kTimeoutMs;
    for (int i = 0; i < kTries - 1; ++i)
        bound += std::max<qint64>(qint64(kRetryWaitMs) << i, plan.retryAfter * 1000);
    return bound + 1000; // the robots.txt of a run's first page, and the machine
}

/** Every listing of every page served whole, once; "" when so, else what is wrong. */
QString checkRecords(const MisbehavingDirectory& site, const RecordSheet& sheet)
{
    // The versions of each page that were served whole.
    std::map<int, QSet<int>> whole;
    for (const MisbehavingDirectory::Answer& a : site.answers)
        if (a.whole)
            whole[a.page].insert(a.version);
    // The records by the page their name gives.
    static const QRegularExpression nameForm(QStringLiteral("^Caf\u00e9 (\\d{4})-\\d+( v\\d+)?$"));
    std::map<int, QStringList> byPage;
    for (int r = 1; r < sheet.rows(); ++r) {
        const QString name = sheet.text(r, 0);
        const QRegularExpressionMatch m = nameForm.match(name);
        if (!m.hasMatch())
            return QStringLiteral("record %1 has the name \"%2\", which no page has").arg(r).arg(name);
        byPage[m.captured(1).toInt()] << name;
    }
    for (int p = 1; p <= site.pages(); ++p) {
        const QStringList got = byPage[p];
        if (whole[p].isEmpty())
            return QStringLiteral("page %1 was never served whole").arg(p);
        bool matched = false;
        for (int version : whole[p])
            matched = matched || got == site.names(p, version);
        if (!matched)
            return QStringLiteral("page %1: %2 records, not those of a version served whole").arg(p).arg(got.size());
    }
    return {};
}

void writeKey(const QString& path)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(MisbehavingDirectory::keyCsv());
}

// ---- 1. in this process -------------------------------------------------------------------

void soakInProcess(int pages, uint64_t seed)
{
    std::printf("\n1. GrabRunner in this process, %d pages of %d listings, seed %llu\n", pages, kListings,
                static_cast<unsigned long long>(seed));
    QTemporaryDir dir;
    const QString keyPath = dir.filePath(QStringLiteral("key.csv"));
    writeKey(keyPath);
    KeyTable table;
    table.load(keyPath);
    MisbehavingDirectory site(pages, kListings);
    QHash<int, int> mixOf;
    plan(site, pages, seed, mixOf);
    std::printf("misbehaving pages: %d\n", int(mixOf.size()));

    Document document(QString{});
    document.buildNewSheet();
    RecordSheet& sheet = document.sheet();
    sheet.setRows(1);
    PageFetcher fetcher;
    PageFetcher::Limits limits;
    limits.timeoutMs = kTimeoutMs;
    limits.retryWaitMs = kRetryWaitMs;
    limits.tries = kTries;
    fetcher.setLimits(limits);
    GrabRunner runner(sheet, fetcher);
    GrabRunner::Options options;
    options.key = GrabKey::fromTable(table);
    options.delayMs = 0;

    const QString out = dir.filePath(QStringLiteral("soak.csv"));
    const QString journalPath = dir.filePath(QStringLiteral("soak.journal"));
    GrabJournal journal;
    journal.keyFile = keyPath;
    journal.output = out;

    QElapsedTimer pageClock;
    int grabbed = 0;
    long long rssAt100 = 0;
    long long rssMaxAfter100 = 0;
    qint64 longest = 0;
    int longestPage = 0;
    qint64 worstOverBound = std::numeric_limits<qint64>::min();
    int overBound = 0;
    int saveFailures = 0;
    QStringList failures;
    auto timed = [&](int page) {
        const qint64 ms = pageClock.elapsed();
        if (ms > longest) {
            longest = ms;
            longestPage = page + 1;
        }
        const qint64 over = ms - pageBound(site.plan(page + 1));
        worstOverBound = std::max(worstOverBound, over);
        overBound += over > 0;
    };
    QObject::connect(&runner, &GrabRunner::pageStarted, [&] { pageClock.start(); });
    QObject::connect(&runner, &GrabRunner::pageGrabbed, [&](int page) {
        timed(page);
        // As quillon-grab does after every page.
        const GrabRunner::ResumePoint at = runner.resumePoint();
        journal.done.next = at.next;
        journal.done.pagesDone = at.pagesDone;
        journal.done.rows = sheet.rows();
        journal.done.visited = at.visited;
        if (!journal.save(journalPath) || !SaveGrid(out, FormatComma, sheet))
            ++saveFailures;
        ++grabbed;
        if (grabbed == 100)
            rssAt100 = bench::residentBytes();
        else if (grabbed > 100)
            rssMaxAfter100 = std::max(rssMaxAfter100, bench::residentBytes());
        if (grabbed % 250 == 0)
            std::printf("  after %4d pages: resident %.1f MB\n", grabbed, double(bench::residentBytes()) / 1e6);
    });

    bench::Stopwatch watch;
    QString address = site.pageUrl(1);
    int runs = 0;
    QString ended;
    while (true) {
        ++runs;
        QEventLoop loop;
        QString how;
        QObject::connect(&runner, &GrabRunner::finished, &loop, [&](const QString& why) {
            how = QStringLiteral("finished: ") + why;
            loop.quit();
        });
        QObject::connect(&runner, &GrabRunner::failed, &loop, [&](int page, const QString&, const QString& why) {
            timed(page);
            failures << QStringLiteral("page %1 (%2): %3")
                            .arg(page + 1)
                            .arg(QString::fromLatin1(kMix[mixOf.value(page + 1)].name), why);
            how = QStringLiteral("failed");
            loop.quit();
        });
        QObject::connect(&runner, &GrabRunner::refused, &loop, [&](int, const QString&, const QString& why) {
            how = QStringLiteral("refused: ") + why;
            loop.quit();
        });
        runner.start(address, options);
        loop.exec();
        if (how != QLatin1String("failed")) {
            ended = how;
            break;
        }
        // Continued from where it ended, as Continue Grab and --resume do.
        const GrabRunner::ResumePoint at = runner.resumePoint();
        address = at.next;
        options.firstPage = at.pagesDone;
        options.skipListings = at.skipListings;
        options.visited = at.visited;
    }
    const double seconds = watch.seconds();

    const QString check = checkRecords(site, sheet);
    RecordSheet written;
    LoadGrid(out, FormatComma, written);
    const QString checkFile = checkRecords(site, written);
    std::printf("ended: %s\n", qPrintable(ended));
    std::printf("runs (the first and one continued after each failed page): %d\n", runs);
    std::printf("failed pages, each named with its reason (%d):\n", int(failures.size()));
    for (const QString& f : failures)
        std::printf("  %s\n", qPrintable(f));
    std::printf("records: %d; every listing of every page served whole, once: %s\n", sheet.rows() - 1,
                check.isEmpty() ? "yes" : qPrintable(check));
    std::printf("output file after the last page, the same: %s\n",
                checkFile.isEmpty() ? "yes" : qPrintable(checkFile));
    std::printf("output or journal writes that failed: %d\n", saveFailures);
    bench::printFigure("soak time", seconds, "s");
    bench::printFigure("resident memory after page 100", double(rssAt100) / 1e6, "MB");
    bench::printFigure("resident memory growth after page 100", double(rssMaxAfter100 - rssAt100) / 1e6, "MB",
                       "< 20 MB");
    bench::printFigure("peak resident memory", double(bench::peakResidentBytes()) / 1e6, "MB");
    std::printf("longest page: %lld ms (page %d, %s)\n", static_cast<long long>(longest), longestPage,
                mixOf.contains(longestPage) ? kMix[mixOf.value(longestPage)].name : "served whole");
    bench::printFigure("pages longer than their limits allow", overBound, "", "0");
    bench::printFigure("most time of a page beyond its limits' bound", double(worstOverBound), "ms", "<= 0");
}

// ---- 2. quillon-grab killed and continued ---------------------------------------------------

void soakKilled(int pages, uint64_t seed, const QString& tool)
{
    bench::Random random(seed ^ 0x5EED);
    const int killAt = 100 + int(random.below(uint32_t(std::max(1, pages - 200))));
    std::printf("\n2. quillon-grab, %d pages, killed with SIGKILL at page %d, continued with --resume\n", pages,
                killAt);
    QTemporaryDir dir;
    const QString keyPath = dir.filePath(QStringLiteral("key.csv"));
    writeKey(keyPath);
    MisbehavingDirectory site(pages, kListings);
    QHash<int, int> mixOf;
    plan(site, pages, seed, mixOf);
    const QString out = dir.filePath(QStringLiteral("soak.csv"));
    const QString journal = dir.filePath(QStringLiteral("soak.journal"));
    const QStringList limits = {QStringLiteral("--delay"), QStringLiteral("0"), QStringLiteral("--timeout"),
                                QString::number(kTimeoutMs / 1000.0), QStringLiteral("--retry-wait"),
                                QString::number(kRetryWaitMs), QStringLiteral("--user-data"), dir.path()};
    QStringList arguments = QStringList{QStringLiteral("--key"), keyPath, QStringLiteral("--url"), site.pageUrl(1),
                                        QStringLiteral("-o"), out, QStringLiteral("--journal"), journal}
                          + limits;

    bench::Stopwatch watch;
    int runs = 0;
    int failedRuns = 0;
    bool killed = false;
    long long childRssMax = 0;
    int exitCode = -1;
    QString lastErr;
    while (runs < 1000) {
        ++runs;
        QProcess p;
        p.setProcessChannelMode(QProcess::SeparateChannels);
        QString err;
        QEventLoop loop;
        QObject::connect(&p, &QProcess::readyReadStandardError, &loop, [&] {
            err += QString::fromUtf8(p.readAllStandardError());
            const QString status = QStringLiteral("/proc/%1/status").arg(p.processId());
            QFile f(status);
            if (f.open(QIODevice::ReadOnly)) {
                for (const QByteArray& line : f.readAll().split('\n'))
                    if (line.startsWith("VmRSS:"))
                        childRssMax = std::max(childRssMax, line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024);
            }
            if (!killed && err.contains(QStringLiteral("\npage %1: ").arg(killAt))) {
                killed = true;
                p.kill();
            }
        });
        QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
        p.start(tool, arguments);
        if (!p.waitForStarted(10000)) {
            std::printf("cannot start %s\n", qPrintable(tool));
            return;
        }
        loop.exec();
        err += QString::fromUtf8(p.readAllStandardError());
        lastErr = err;
        exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -9;
        if (exitCode == 0)
            break;
        if (exitCode == 4)
            ++failedRuns;
        else if (exitCode != -9) {
            std::printf("quillon-grab ended with %d:\n%s\n", exitCode, qPrintable(err.right(2000)));
            return;
        }
        arguments = QStringList{QStringLiteral("--resume"), journal} + limits;
    }
    const double seconds = watch.seconds();
    RecordSheet written;
    QString error;
    LoadGrid(out, FormatComma, written, &error);
    const QString check = checkRecords(site, written);
    std::printf("killed: %s; runs: %d (%d ended at a failed page); last exit status %d\n", killed ? "yes" : "no",
                runs, failedRuns, exitCode);
    std::printf("records: %d; every listing of every page served whole, once: %s\n", written.rows() - 1,
                check.isEmpty() ? "yes" : qPrintable(check));
    std::printf("journal left after the end: %s\n", QFile::exists(journal) ? "yes" : "no");
    bench::printFigure("soak time", seconds, "s");
    bench::printFigure("quillon-grab peak resident memory seen", double(childRssMax) / 1e6, "MB");
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    int pages = 2000;
    uint64_t seed = 20261208;
    QString part = QStringLiteral("both");
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--pages"))
            pages = std::max(10, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--seed"))
            seed = args[i + 1].toULongLong();
        else if (args[i] == QLatin1String("--part"))
            part = args[i + 1];
    }
    const QString tool = QCoreApplication::applicationDirPath() + QStringLiteral("/quillon-grab");
    if (part != QLatin1String("kill"))
        soakInProcess(pages, seed);
    if (part != QLatin1String("memory"))
        soakKilled(pages, seed, tool);
    return 0;
}

// quillon-grab: grabs directory result pages into a grid file from the command line,
// with the same key files, site table and listing parser as the program; or serves
// the sample directory on its own.

#include "shell/AppPaths.h"
#include "files/GridFile.h"
#include "grab/UserSites.h"
#include "grab/GrabJournal.h"
#include "grab/GrabRunner.h"
#include "grab/GrabSession.h"
#include "grab/KeyTable.h"
#include "grab/PageFetcher.h"
#include "grab/SampleDirectory.h"
#include "grab/SiteCatalog.h"
#include "sheet/Document.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <cstdio>

using namespace quillon;

namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void onInterrupt(int)
{
    g_interrupted = true;
}

void say(const QString& text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
    std::fflush(stderr);
}

int fail(const QString& text, int code = 2)
{
    say(QStringLiteral("quillon-grab: ") + text);
    return code;
}

/** Built-in sites as the program knows them when no settings say otherwise. */
BuiltInSites defaultBuiltInSites()
{
    BuiltInSites sites;
    sites.siteA = QStringLiteral("Sample Directory (site A rules)");
    sites.siteABase = SampleDirectory::addressPrefix();
    sites.siteB = QStringLiteral("Sample Directory (site B rules)");
    return sites;
}

/** The rules' name in a journal. */
QString rulesName(SiteRules rules)
{
    switch (rules) {
    case SiteRules::BuiltInA:
        return QStringLiteral("a");
    case SiteRules::BuiltInB:
        return QStringLiteral("b");
    case SiteRules::KeyOnly:
        break;
    }
    return QStringLiteral("key");
}

bool rulesFromName(const QString& name, SiteRules& rules)
{
    const QString n = name.toLower();
    if (n == QLatin1String("a"))
        rules = SiteRules::BuiltInA;
    else if (n == QLatin1String("b"))
        rules = SiteRules::BuiltInB;
    else if (n == QLatin1String("key") || n.isEmpty())
        rules = SiteRules::KeyOnly;
    else
        return false;
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillon-grab"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLON_VERSION_TEXT));
    AppPaths::applyCommandLine(QCoreApplication::arguments());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Grabs the listings of a directory site's result pages, page after page, into a grid file.\n"
        "The output file is written again after every page, and a journal of the grab is kept in the\n"
        "user data folder, so that a grab that ended for any reason goes on with --resume JOURNAL.\n"
        "Exit status: 0 done (or stopped), 1 a file cannot be read or written, 2 wrong options,\n"
        "3 the first page cannot be downloaded (nothing is written), 4 a later page cannot be\n"
        "downloaded (the grab ends there; the listings of the pages before it are written),\n"
        "5 the site's robots.txt does not allow a page (the grab ends there)."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption siteOption(QStringLiteral("site"), QStringLiteral("The site NAME of the site table."),
                                        QStringLiteral("NAME"));
    const QCommandLineOption keyOption(QStringLiteral("key"), QStringLiteral("A decoding-key FILE (native or .csv)."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption rulesOption(
        QStringLiteral("rules"), QStringLiteral("With --key: the rules of built-in site a, b, or key (the default)."),
        QStringLiteral("RULES"), QStringLiteral("key"));
    const QCommandLineOption urlOption(QStringLiteral("url"), QStringLiteral("The first result page's ADDRESS."),
                                       QStringLiteral("ADDRESS"));
    const QCommandLineOption pagesOption(QStringLiteral("pages"), QStringLiteral("Grab at most N pages."),
                                         QStringLiteral("N"));
    const QCommandLineOption delayOption(QStringLiteral("delay"),
                                         QStringLiteral("Wait MS milliseconds for each page (default 1000)."),
                                         QStringLiteral("MS"), QStringLiteral("1000"));
    const QCommandLineOption outOption(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                       QStringLiteral("Write the records to OUT (.csv, .txt or .vty)."),
                                       QStringLiteral("OUT"));
    const QCommandLineOption resumeOption(
        QStringLiteral("resume"),
        QStringLiteral("Continue the grab of JOURNAL into its output file (or into OUT with -o)."),
        QStringLiteral("JOURNAL"));
    const QCommandLineOption journalOption(
        QStringLiteral("journal"),
        QStringLiteral("Keep the grab's journal in FILE (default: in the user data folder, named after OUT)."),
        QStringLiteral("FILE"));
    const QCommandLineOption timeoutOption(
        QStringLiteral("timeout"), QStringLiteral("Give a page SECONDS to come, each time it is asked for (default 30)."),
        QStringLiteral("SECONDS"), QStringLiteral("30"));
    const QCommandLineOption triesOption(QStringLiteral("tries"),
                                         QStringLiteral("Ask for a page that fails N times in all (default 3)."),
                                         QStringLiteral("N"), QStringLiteral("3"));
    const QCommandLineOption retryWaitOption(
        QStringLiteral("retry-wait"),
        QStringLiteral("Wait MS milliseconds before asking again, twice as long each further time (default 2000)."),
        QStringLiteral("MS"), QStringLiteral("2000"));
    const QCommandLineOption ignoreRobotsOption(
        QStringLiteral("ignore-robots"),
        QStringLiteral("Grab pages the site's robots.txt keeps robots from (only with the site's permission)."));
    const QCommandLineOption sourceOption(
        QStringLiteral("source-columns"),
        QStringLiteral("Give every record its page's address and the time it was grabbed, in two columns."));
    const QCommandLineOption serveOption(QStringLiteral("serve-sample"),
                                         QStringLiteral("Serve the sample directory until stopped."));
    const QCommandLineOption listOption(QStringLiteral("list-sites"), QStringLiteral("List the site table's sites."));
    const QCommandLineOption dataOption(QStringLiteral("data"), QStringLiteral("The shipped data folder DIR."),
                                        QStringLiteral("DIR"));
    const QCommandLineOption userDataOption(
        QStringLiteral("user-data"), QStringLiteral("The user data folder DIR, where the journals of grabs are kept."),
        QStringLiteral("DIR"));
    const QCommandLineOption settingsOption(QStringLiteral("settings"), QStringLiteral("The settings FILE."),
                                            QStringLiteral("FILE"));
    parser.addOptions({siteOption, keyOption, rulesOption, urlOption, pagesOption, delayOption, outOption,
                       resumeOption, journalOption, timeoutOption, triesOption, retryWaitOption, ignoreRobotsOption,
                       sourceOption, serveOption, listOption, dataOption, userDataOption, settingsOption});
    if (!parser.parse(QCoreApplication::arguments()))
        return fail(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        std::printf("%s", qPrintable(parser.helpText()));
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("quillon-grab %s\n", QUILLON_VERSION_TEXT);
        return 0;
    }

    SampleDirectory sample;

    if (parser.isSet(serveOption)) {
        QString error;
        if (!sample.start(&error))
            return fail(error, 1);
        std::printf("Sample directory: %s/\n", qPrintable(sample.root()));
        std::fflush(stdout);
        std::signal(SIGINT, onInterrupt);
        std::signal(SIGTERM, onInterrupt);
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &app, [] {
            if (g_interrupted)
                QCoreApplication::quit();
        });
        poll.start(100);
        return app.exec();
    }

    const QString tablePath = AppPaths::dataFolder() + QStringLiteral("/stpl88.bin");
    if (parser.isSet(listOption)) {
        KeyTable table;
        QString error;
        if (!table.load(tablePath, &error))
            return fail(QStringLiteral("cannot read the site table %1: %2").arg(tablePath, error), 1);
        // The shipped sites, then the user's own (the key workshop's).
        UserSites::BuildCatalogTable(tablePath, UserSites::tablePath(), QString(), table);
        colKests sites;
        sites.fill(table);
        for (const objKest& site : sites)
            std::printf("%s%s\n", qPrintable(site.ListName()), site.Avail() ? "" : " (browse only)");
        return 0;
    }

    // What to grab and how: from the options, or from the journal of a grab to continue.
    const bool resume = parser.isSet(resumeOption);
    GrabJournal journal;
    QString journalPath;
    QString error;
    QString siteName;
    QString keyPath;
    QString rulesText = parser.value(rulesOption);
    QString address;
    QString out = parser.value(outOption);
    if (resume) {
        if (parser.isSet(siteOption) || parser.isSet(keyOption) || parser.isSet(urlOption))
            return fail(QStringLiteral("--resume takes the site, key and address from the journal; give none of "
                                       "--site, --key and --url with it"));
        journalPath = parser.value(resumeOption);
        if (!journal.load(journalPath, &error))
            return fail(QStringLiteral("cannot continue: %1").arg(error), 1);
        siteName = journal.site;
        keyPath = journal.keyFile;
        rulesText = journal.rules;
        if (out.isEmpty())
            out = journal.output;
        if (out.isEmpty())
            return fail(QStringLiteral("the journal names no output file; give one with -o OUT"));
    } else {
        if (parser.isSet(siteOption) == parser.isSet(keyOption))
            return fail(QStringLiteral("give either --site NAME or --key FILE (see --help)"));
        if (!parser.isSet(urlOption))
            return fail(QStringLiteral("give the first result page with --url ADDRESS"));
        if (!parser.isSet(outOption))
            return fail(QStringLiteral("give the output file with -o OUT (.csv, .txt or .vty)"));
        siteName = parser.value(siteOption);
        keyPath = parser.value(keyOption);
        address = parser.value(urlOption);
        journalPath = parser.isSet(journalOption) ? parser.value(journalOption) : GrabJournal::pathForOutput(out);
    }
    if (resume && parser.isSet(journalOption))
        journalPath = parser.value(journalOption);
    const int format = gridFormatForPath(out);
    if (format < 0 || out.endsWith(QLatin1String(".bin"), Qt::CaseInsensitive))
        return fail(QStringLiteral("the output file must end in .csv, .txt or .vty: %1").arg(out));

    bool ok = true;
    int pages = GrabRunner::kMaxPages;
    if (parser.isSet(pagesOption)) {
        pages = parser.value(pagesOption).toInt(&ok);
        if (!ok || pages < 1)
            return fail(QStringLiteral("--pages wants a number of pages of 1 or more"));
    }
    const int delay = parser.value(delayOption).toInt(&ok);
    if (!ok || delay < 0)
        return fail(QStringLiteral("--delay wants milliseconds, 0 or more"));
    PageFetcher::Limits limits;
    const double timeout = parser.value(timeoutOption).toDouble(&ok);
    if (!ok || !(timeout > 0 && timeout <= 3600))
        return fail(QStringLiteral("--timeout wants seconds, more than 0 and at most 3600"));
    limits.timeoutMs = std::max(1, int(timeout * 1000));
    limits.tries = parser.value(triesOption).toInt(&ok);
    if (!ok || limits.tries < 1 || limits.tries > 10)
        return fail(QStringLiteral("--tries wants a number from 1 to 10"));
    limits.retryWaitMs = parser.value(retryWaitOption).toInt(&ok);
    if (!ok || limits.retryWaitMs < 0 || limits.retryWaitMs > 600000)
        return fail(QStringLiteral("--retry-wait wants milliseconds from 0 to 600000"));

    const BuiltInSites builtIn = defaultBuiltInSites();
    GrabRunner::Options options;
    KeyTable key;
    if (!siteName.isEmpty()) {
        KeyTable table;
        if (!table.load(tablePath, &error))
            return fail(QStringLiteral("cannot read the site table %1: %2").arg(tablePath, error), 1);
        UserSites::BuildCatalogTable(tablePath, UserSites::tablePath(), QString(), table);
        colKests sites;
        sites.fill(table);
        const objKest* chosen = nullptr;
        for (const objKest& site : sites)
            if (site.ListName() == siteName)
                chosen = &site;
        if (!chosen)
            return fail(QStringLiteral("no site \"%1\" in the site table (see --list-sites)").arg(siteName));
        if (!chosen->Avail())
            return fail(QStringLiteral("%1 cannot be grabbed; it is there for browsing only").arg(siteName));
        const QString sitePath = UserSites::keyPath(chosen->FileName());
        if (!key.load(sitePath, &error))
            return fail(QStringLiteral("cannot load the key file %1: %2").arg(sitePath, error), 1);
        options.rules = siteName == builtIn.siteA ? SiteRules::BuiltInA
                      : siteName == builtIn.siteB ? SiteRules::BuiltInB
                                                  : SiteRules::KeyOnly;
    } else {
        if (!key.load(keyPath, &error))
            return fail(QStringLiteral("cannot load the key file %1: %2").arg(keyPath, error), 1);
        if (!rulesFromName(rulesText, options.rules))
            return fail(QStringLiteral("--rules is a, b or key"));
    }
    options.key = GrabKey::fromTable(key);
    if (options.key.fromBrowser)
        std::fprintf(stderr, "The key reads the pages a browser shows; quillon-grab has none and downloads them.\n");
    options.delayMs = delay;
    options.maxPages = pages;
    options.honourRobots = !parser.isSet(ignoreRobotsOption);
    options.sourceColumns = parser.isSet(sourceOption);

    // The records go into a sheet with the columns of a new document, or, when a grab
    // goes on, after the records of its output file.
    Document document(QString{});
    document.buildNewSheet();
    RecordSheet& sheet = document.sheet();
    sheet.setRows(1);
    if (resume) {
        const bool sameOutput = QFileInfo(out).absoluteFilePath() == QFileInfo(journal.output).absoluteFilePath();
        const bool exists = QFileInfo::exists(out);
        if (exists) {
            RecordSheet read;
            if (!LoadGrid(out, format, read, &error))
                return fail(QStringLiteral("cannot read %1: %2").arg(out, error), 1);
            sheet.swapContents(read);
        } else if (sameOutput && journal.done.rows > 1) {
            return fail(QStringLiteral("%1, which the journal says holds %2 records, is not there; give another "
                                       "output file with -o OUT to grab the pages still to come into it")
                            .arg(out)
                            .arg(journal.done.rows - 1),
                        1);
        }
        // The journal is written just before the output file with each page: the
        // output's rows tell whether that last page reached it.
        if (sameOutput && exists) {
            if (journal.pending && sheet.rows() == journal.pending->rows) {
                journal.done = *journal.pending;
            } else if (sheet.rows() != journal.done.rows) {
                return fail(QStringLiteral("%1 holds %2 records, but the grab left %3 there: it was changed since. "
                                           "Give another output file with -o OUT to grab the pages still to come "
                                           "into it")
                                .arg(out)
                                .arg(sheet.rows() - 1)
                                .arg(journal.done.rows - 1),
                            1);
            }
        }
        journal.pending.reset();
        if (journal.done.next.isEmpty()) {
            say(QStringLiteral("the grab of %1 is complete; there is no page left to grab").arg(journalPath));
            QFile::remove(journalPath);
            return 0;
        }
        address = journal.done.next;
        options.firstPage = journal.done.pagesDone;
        options.skipListings = journal.done.skipListings;
    } else {
        journal.site = siteName;
        journal.keyFile = keyPath.isEmpty() ? QString() : QFileInfo(keyPath).absoluteFilePath();
        journal.rules = rulesName(options.rules);
        journal.startAddress = address;
        journal.done.next = address;
    }

    if (SampleDirectory::isSampleAddress(address) || options.rules == SiteRules::BuiltInA) {
        if (!sample.start(&error))
            return fail(error, 1);
    }
    // Addresses of the sample directory are kept by its name: its port changes.
    auto stored = [&sample](const QString& live) {
        if (sample.isRunning() && live.startsWith(sample.root() + QLatin1Char('/')))
            return SampleDirectory::addressPrefix() + live.mid(sample.root().size());
        return live;
    };
    for (const QString& visit : journal.done.visited)
        options.visited << sample.resolve(visit);
    address = sample.resolve(address);
    options.siteABase = sample.resolve(builtIn.siteABase);

    journal.output = QFileInfo(out).absoluteFilePath();
    journal.firstRow = sheet.rows();
    journal.done.rows = sheet.rows();
    journal.endedBy.clear();
    journal.reason.clear();
    journal.updated = QDateTime::currentDateTime();
    if (!journal.save(journalPath, &error))
        return fail(QStringLiteral("cannot write the journal %1: %2").arg(journalPath, error), 1);
    say(QStringLiteral("journal: %1").arg(journalPath));
    const qint64 listingsBefore = journal.done.listings;

    PageFetcher fetcher;
    fetcher.setLimits(limits);
    GrabRunner runner(sheet, fetcher);
    int exitCode = 0;
    bool writeFailed = false;

    auto point = [&] {
        const GrabRunner::ResumePoint at = runner.resumePoint();
        GrabJournal::Point p;
        p.next = stored(at.next);
        p.pagesDone = at.pagesDone;
        p.skipListings = at.skipListings;
        p.listings = listingsBefore + runner.listingCount();
        p.rows = sheet.rows();
        for (const QString& visit : at.visited)
            p.visited << stored(visit);
        return p;
    };
    // After every page: the journal says the page is on its way to the output, the
    // output is written whole, then the journal says it is there.
    QObject::connect(&runner, &GrabRunner::pageGrabbed, &app, [&](int page, const QString&, int rows) {
        say(QStringLiteral("page %1: %2 listings, %3 in all")
                .arg(page + 1)
                .arg(rows)
                .arg(listingsBefore + runner.listingCount()));
        journal.pending = point();
        journal.updated = QDateTime::currentDateTime();
        QString why;
        if (!journal.save(journalPath, &why) || !SaveGrid(out, format, sheet, &why)) {
            writeFailed = true;
            runner.abandon();
            exitCode = fail(QStringLiteral("cannot write %1: %2").arg(out, why), 1);
            QCoreApplication::exit(exitCode);
            return;
        }
        journal.done = *journal.pending;
        journal.pending.reset();
        journal.save(journalPath);
    });
    QObject::connect(&runner, &GrabRunner::retrying, &app,
                     [&](int page, const QString&, const QString& pageError, int waitMs) {
                         say(QStringLiteral("page %1: %2; asking again in %3 s")
                                 .arg(page + 1)
                                 .arg(pageError)
                                 .arg(waitMs / 1000.0));
                     });
    auto end = [&](const QString& endedBy, const QString& why, int code) {
        if (writeFailed)
            return;
        const qint64 listings = listingsBefore + runner.listingCount();
        say(QStringLiteral("%1 %2, %3 %4: %5")
                .arg(runner.pageCount())
                .arg(runner.pageCount() == 1 ? QStringLiteral("page") : QStringLiteral("pages"))
                .arg(listings)
                .arg(listings == 1 ? QStringLiteral("listing") : QStringLiteral("listings"))
                .arg(why));
        exitCode = code;
        journal.pending.reset();
        journal.done = point();
        if (journal.done.next.isEmpty()) {
            QFile::remove(journalPath);
        } else {
            journal.endedBy = endedBy;
            journal.reason = why;
            journal.updated = QDateTime::currentDateTime();
            journal.save(journalPath);
        }
        if (runner.pageCount() == 0 && code != 0) {
            exitCode = fail(resume ? QStringLiteral("no page could be grabbed; %1 is as it was").arg(out)
                                   : QStringLiteral("no page could be downloaded; nothing written"),
                            code == 5 ? 5 : 3);
        } else {
            // A grab that ended before its first page writes the records it has: none.
            if (runner.pageCount() == 0 && !QFileInfo::exists(out) && !SaveGrid(out, format, sheet, &error)) {
                exitCode = fail(QStringLiteral("cannot write %1: %2").arg(out, error), 1);
                QCoreApplication::exit(exitCode);
                return;
            }
            say(QStringLiteral("written to %1").arg(out));
            if (code == 4)
                fail(QStringLiteral("the grab ended at a page that could not be downloaded; the listings "
                                    "grabbed before it are written"),
                     code);
            else if (code == 5)
                fail(QStringLiteral("the grab ended at a page the site's robots.txt keeps robots from; the "
                                    "listings grabbed before it are written. With the site's permission, "
                                    "--ignore-robots grabs it"),
                     code);
        }
        if (!journal.done.next.isEmpty())
            say(QStringLiteral("to continue: quillon-grab --resume \"%1\"").arg(journalPath));
        QCoreApplication::exit(exitCode);
    };
    QObject::connect(&runner, &GrabRunner::finished, &app,
                     [&](const QString& why) { end(QStringLiteral("page limit"), why, 0); });
    QObject::connect(&runner, &GrabRunner::stopped, &app,
                     [&] { end(QStringLiteral("stopped"), QStringLiteral("stopped"), 0); });
    QObject::connect(&runner, &GrabRunner::failed, &app,
                     [&](int page, const QString& pageAddress, const QString& pageError) {
                         say(QStringLiteral("page %1: %2: %3").arg(page + 1).arg(pageAddress, pageError));
                         end(QStringLiteral("failed"), QStringLiteral("page %1 failed: %2").arg(page + 1).arg(pageError),
                             4);
                     });
    QObject::connect(&runner, &GrabRunner::refused, &app,
                     [&](int page, const QString& pageAddress, const QString& reason) {
                         say(QStringLiteral("page %1: %2: refused: %3").arg(page + 1).arg(pageAddress, reason));
                         end(QStringLiteral("refused"), QStringLiteral("page %1 refused: %2").arg(page + 1).arg(reason),
                             5);
                     });

    // Ctrl+C stops the grab; what was grabbed is written.
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&runner] {
        if (g_interrupted && !runner.stopRequested())
            runner.requestStop();
    });
    poll.start(100);

    runner.start(address, options);
    return app.exec();
}

// quillon-grab: grabs directory result pages into a grid file from the command line,
// with the same key files, site table and listing parser as the program; or serves
// the sample directory on its own.

#include "shell/AppPaths.h"
#include "files/GridFile.h"
#include "grab/GrabRunner.h"
#include "grab/GrabSession.h"
#include "grab/KeyTable.h"
#include "grab/PageFetcher.h"
#include "grab/SampleDirectory.h"
#include "grab/SiteCatalog.h"
#include "sheet/Document.h"

#include <QCommandLineParser>
#include <QCoreApplication>
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
        "Exit status: 0 done (or stopped), 1 a file cannot be read or written, 2 wrong options,\n"
        "3 the first page cannot be downloaded (nothing is written), 4 a later page cannot be\n"
        "downloaded (the grab ends there; the listings of the pages before it are written)."));
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
    const QCommandLineOption serveOption(QStringLiteral("serve-sample"),
                                         QStringLiteral("Serve the sample directory until stopped."));
    const QCommandLineOption listOption(QStringLiteral("list-sites"), QStringLiteral("List the site table's sites."));
    const QCommandLineOption dataOption(QStringLiteral("data"), QStringLiteral("The shipped data folder DIR."),
                                        QStringLiteral("DIR"));
    parser.addOptions({siteOption, keyOption, rulesOption, urlOption, pagesOption, delayOption, outOption, serveOption,
                       listOption, dataOption});
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
        colKests sites;
        sites.fill(table);
        for (const objKest& site : sites)
            std::printf("%s%s\n", qPrintable(site.ListName()), site.Avail() ? "" : " (browse only)");
        return 0;
    }

    // What to grab and how.
    if (parser.isSet(siteOption) == parser.isSet(keyOption))
        return fail(QStringLiteral("give either --site NAME or --key FILE (see --help)"));
    if (!parser.isSet(urlOption))
        return fail(QStringLiteral("give the first result page with --url ADDRESS"));
    if (!parser.isSet(outOption))
        return fail(QStringLiteral("give the output file with -o OUT (.csv, .txt or .vty)"));
    const QString out = parser.value(outOption);
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

    const BuiltInSites builtIn = defaultBuiltInSites();
    GrabRunner::Options options;
    KeyTable key;
    QString error;
    if (parser.isSet(siteOption)) {
        const QString name = parser.value(siteOption);
        KeyTable table;
        if (!table.load(tablePath, &error))
            return fail(QStringLiteral("cannot read the site table %1: %2").arg(tablePath, error), 1);
        colKests sites;
        sites.fill(table);
        const objKest* chosen = nullptr;
        for (const objKest& site : sites)
            if (site.ListName() == name)
                chosen = &site;
        if (!chosen)
            return fail(QStringLiteral("no site \"%1\" in the site table (see --list-sites)").arg(name));
        if (!chosen->Avail())
            return fail(QStringLiteral("%1 cannot be grabbed; it is there for browsing only").arg(name));
        const QString keyPath = AppPaths::dataFolder() + QLatin1Char('/') + chosen->FileName();
        if (!key.load(keyPath, &error))
            return fail(QStringLiteral("cannot load the key file %1: %2").arg(keyPath, error), 1);
        options.rules = name == builtIn.siteA ? SiteRules::BuiltInA
                      : name == builtIn.siteB ? SiteRules::BuiltInB
                                              : SiteRules::KeyOnly;
    } else {
        const QString keyPath = parser.value(keyOption);
        if (!key.load(keyPath, &error))
            return fail(QStringLiteral("cannot load the key file %1: %2").arg(keyPath, error), 1);
        const QString rules = parser.value(rulesOption).toLower();
        if (rules == QLatin1String("a"))
            options.rules = SiteRules::BuiltInA;
        else if (rules == QLatin1String("b"))
            options.rules = SiteRules::BuiltInB;
        else if (rules != QLatin1String("key"))
            return fail(QStringLiteral("--rules is a, b or key"));
    }
    options.key = GrabKey::fromTable(key);
    options.delayMs = delay;
    options.maxPages = pages;

    QString address = parser.value(urlOption);
    if (SampleDirectory::isSampleAddress(address) || options.rules == SiteRules::BuiltInA) {
        if (!sample.start(&error))
            return fail(error, 1);
    }
    address = sample.resolve(address);
    options.siteABase = sample.resolve(builtIn.siteABase);

    // The records go into a sheet with the columns of a new document.
    Document document(QString{});
    document.buildNewSheet();
    RecordSheet& sheet = document.sheet();
    sheet.setRows(1);

    PageFetcher fetcher;
    GrabRunner runner(sheet, fetcher);
    int exitCode = 0;
    QObject::connect(&runner, &GrabRunner::pageGrabbed, &app, [&](int page, const QString&, int rows) {
        say(QStringLiteral("page %1: %2 listings, %3 in all").arg(page + 1).arg(rows).arg(runner.listingCount()));
    });
    auto save = [&](const QString& why, int code) {
        say(QStringLiteral("%1 pages, %2 listings: %3").arg(runner.pageCount()).arg(runner.listingCount()).arg(why));
        exitCode = code;
        if (runner.pageCount() == 0 && code != 0) {
            exitCode = fail(QStringLiteral("no page could be downloaded; nothing written"), 3);
        } else if (!SaveGrid(out, format, sheet, &error)) {
            exitCode = fail(QStringLiteral("cannot write %1: %2").arg(out, error), 1);
        } else {
            say(QStringLiteral("written to %1").arg(out));
            if (code != 0)
                fail(QStringLiteral("the grab ended at a page that could not be downloaded; the listings "
                                   "grabbed before it are written"),
                     code);
        }
        QCoreApplication::exit(exitCode);
    };
    QObject::connect(&runner, &GrabRunner::finished, &app, [&](const QString& why) { save(why, 0); });
    QObject::connect(&runner, &GrabRunner::stopped, &app, [&] { save(QStringLiteral("stopped"), 0); });
    QObject::connect(&runner, &GrabRunner::failed, &app,
                     [&](int page, const QString& pageAddress, const QString& pageError) {
                         say(QStringLiteral("page %1: %2: %3").arg(page + 1).arg(pageAddress, pageError));
                         save(QStringLiteral("page %1 failed: %2").arg(page + 1).arg(pageError), 4);
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

#include "LocalHttpServer.h"
#include "testsupport/MisbehavingDirectory.h"

#include "shell/AppPaths.h"
#include "files/GridFile.h"
#include "grab/GrabJournal.h"
#include "grab/KeyTable.h"
#include "grab/SampleDirectory.h"
#include "sheet/RecordSheet.h"

#include <QDateTime>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;

namespace {

struct Run
{
    int code;
    QString out;
    QString err;
};

const QString kTool = QStringLiteral(QUILLON_BINARY_DIR "/bin/quillon-grab");

/** Runs quillon-grab while the event loop keeps serving this process's test server. */
Run grab(const QStringList& arguments)
{
    QProcess p;
    p.start(kTool, arguments);
    if (!p.waitForStarted(10000))
        return {-1, {}, {}};
    QSignalSpy done(&p, &QProcess::finished);
    done.wait(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

/** The names of pages @p first to @p last of @p site as served whole. */
QStringList pageNames(const MisbehavingDirectory& site, int first, int last)
{
    QStringList out;
    for (int p = first; p <= last; ++p)
        out << site.names(p);
    return out;
}

/** The record names of a comma text file; empty with a reason in @p error when it
 *  cannot be read. */
QStringList fileNames(const QString& path, QString* error = nullptr)
{
    RecordSheet sheet;
    if (!LoadGrid(path, FormatComma, sheet, error))
        return {};
    QStringList out;
    for (int r = 1; r < sheet.rows(); ++r)
        out << sheet.text(r, 0);
    return out;
}

int namedListings(const SampleDirectory& sample, const QString& category)
{
    SampleDirectory::Query q;
    q.category = category;
    int n = 0;
    for (const SampleDirectory::Listing* l : sample.search(q))
        n += !l->name.isEmpty();
    return n;
}

} // namespace

class TestGrabTool : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    SampleDirectory m_sample; // the listings, to count what a grab must give

    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    /** The misbehaving directory's key as a file. */
    QString keyFile()
    {
        const QString key = path("misbehaving.csv");
        QFile file(key);
        if (file.open(QIODevice::WriteOnly))
            file.write(MisbehavingDirectory::keyCsv());
        return key;
    }

    /** A grab of @p site from page 1 into @p out with its journal @p journal, fast. */
    QStringList grabArguments(const MisbehavingDirectory& site, const QString& out, const QString& journal)
    {
        return {QStringLiteral("--key"), keyFile(), QStringLiteral("--url"), site.pageUrl(1),
                QStringLiteral("--delay"), QStringLiteral("0"), QStringLiteral("--retry-wait"), QStringLiteral("10"),
                QStringLiteral("-o"), out, QStringLiteral("--journal"), journal};
    }

private slots:
    void grabsASiteOfTheSiteTable_data()
    {
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("format");
        QTest::newRow("site A to comma text") << "Sample Directory (site A rules)"
                                              << "quillon-sample:/a/results?cat=Florists&city=&state=" << "a.csv"
                                              << int(FormatComma);
        QTest::newRow("site B to tab text") << "Sample Directory (site B rules)"
                                            << "quillon-sample:/b/results?cat=Florists&city=&state=" << "b.txt"
                                            << int(FormatTab);
        QTest::newRow("key rules to a grid file") << "Sample Directory (key rules)"
                                                  << "quillon-sample:/k/results?cat=Florists&city=&state=" << "k.vty"
                                                  << int(FormatNative);
    }

    void grabsASiteOfTheSiteTable()
    {
        QFETCH(QString, site);
        QFETCH(QString, address);
        QFETCH(QString, file);
        QFETCH(int, format);
        const QString out = m_dir.filePath(file);
        const Run run = grab({QStringLiteral("--site"), site, QStringLiteral("--url"), address,
                              QStringLiteral("--delay"), QStringLiteral("0"), QStringLiteral("-o"), out});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        QVERIFY(run.err.contains(QLatin1String("page 1: ")));
        QVERIFY(run.err.contains(QLatin1String("written to")));

        RecordSheet sheet;
        QString error;
        QVERIFY2(LoadGrid(out, format, sheet, &error), qPrintable(error));
        QCOMPARE(sheet.text(0, 0), QStringLiteral("Name"));
        QCOMPARE(sheet.rows() - 1, namedListings(m_sample, QStringLiteral("Florists")));
        QVERIFY(run.err.contains(QStringLiteral("%1 listings:").arg(sheet.rows() - 1)));
    }

    void keyFileAndPageLimit()
    {
        const QString out = path("limited.csv");
        const Run run = grab({QStringLiteral("--key"), AppPaths::dataFolder() + QStringLiteral("/samplea.bin"),
                              QStringLiteral("--rules"), QStringLiteral("a"), QStringLiteral("--url"),
                              QStringLiteral("quillon-sample:/a/results?cat=People&city=&state=&per=10"),
                              QStringLiteral("--pages"), QStringLiteral("2"), QStringLiteral("--delay"),
                              QStringLiteral("0"), QStringLiteral("-o"), out});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        QVERIFY(run.err.contains(QLatin1String("page 2: ")));
        QVERIFY(!run.err.contains(QLatin1String("page 3: ")));
        RecordSheet sheet;
        QVERIFY(LoadGrid(out, FormatComma, sheet));
        QVERIFY(sheet.rows() - 1 >= 15 && sheet.rows() - 1 <= 20);
    }

    void realPageFromAServer()
    {
        QFile page(QStringLiteral(QUILLON_FIXTURES_DIR "/directory-pages/yellowpages-2.html"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QByteArray body = page.readAll();
        LocalHttpServer server([body](const LocalHttpServer::Request&) { return LocalHttpServer::page(body); });
        const QString out = path("dumbbell.csv");
        const Run run = grab({QStringLiteral("--site"), QStringLiteral("Yellow Pages US (2018 pages)"),
                              QStringLiteral("--url"), server.url(QStringLiteral("/search?search_terms=dumbbell")),
                              QStringLiteral("--delay"), QStringLiteral("0"), QStringLiteral("-o"), out});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        KeyTable got;
        KeyTable expected;
        QVERIFY(got.load(out));
        QVERIFY(expected.load(QStringLiteral(QUILLON_FIXTURES_DIR "/grab-expected/yellowpages-2.csv")));
        QCOMPARE(got.rows(), expected.rows());
        for (int r = 1; r < got.rows(); ++r)
            for (int c = 0; c < 8; ++c)
                QCOMPARE(got.text(r, c), expected.text(r, c));
    }

    void failedPageEndsTheGrab_data()
    {
        QTest::addColumn<QByteArray>("next");
        QTest::addColumn<QString>("reason");
        QTest::newRow("page not found") << QByteArray("/k/results?cat=Florists&amp;page=2") << "status 404";
        QTest::newRow("server error") << QByteArray("/k/results?cat=Florists&amp;page=500") << "status 500";
        QTest::newRow("unknown host") << QByteArray("http://nosuchhost.invalid/k/results?page=2") << "host not found";
    }

    void failedPageEndsTheGrab()
    {
        QFETCH(QByteArray, next);
        QFETCH(QString, reason);
        LocalHttpServer server([next](const LocalHttpServer::Request& r) {
            if (r.target == "/k/results?cat=Florists")
                return LocalHttpServer::page("<ul><li class=\"card\"><strong class=\"fn\">Anna Berg</strong>"
                                             "<span class=\"region\">OR</span></li>"
                                             "<li class=\"card\"><strong class=\"fn\">Bo Carr</strong></li></ul>"
                                             "<link rel=\"next\" href=\""
                                             + next + "\">");
            return LocalHttpServer::status(r.target.endsWith("page=500") ? 500 : 404);
        });
        const QString out = path("partial.csv");
        QFile::remove(out);
        const Run run = grab({QStringLiteral("--key"), AppPaths::dataFolder() + QStringLiteral("/samplek.bin"),
                              QStringLiteral("--url"), server.url(QStringLiteral("/k/results?cat=Florists")),
                              QStringLiteral("--delay"), QStringLiteral("0"), QStringLiteral("--retry-wait"),
                              QStringLiteral("10"), QStringLiteral("-o"), out});
        // The grab ends at the failed page, says which and why, and fails ...
        QCOMPARE(run.code, 4);
        QVERIFY2(run.err.contains(QLatin1String("page 2: ")), qPrintable(run.err));
        QVERIFY2(run.err.contains(reason), qPrintable(run.err));
        QVERIFY2(!run.err.contains(QLatin1String("no next page")), qPrintable(run.err));
        QVERIFY2(run.err.contains(QLatin1String("1 page, 2 listings: ")), qPrintable(run.err));
        // ... but what was grabbed before it is written.
        RecordSheet sheet;
        QVERIFY(LoadGrid(out, FormatComma, sheet));
        QCOMPARE(sheet.rows(), 3);
        QCOMPARE(sheet.text(1, 0), QStringLiteral("Anna Berg"));
        QCOMPARE(sheet.text(2, 0), QStringLiteral("Bo Carr"));
        QCOMPARE(sheet.text(2, 3), QStringLiteral("OR"));
    }

    void failures_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        const QString out = m_dir.filePath(QStringLiteral("never.csv"));
        const QString key = AppPaths::dataFolder() + QStringLiteral("/samplek.bin");
        QTest::newRow("no site or key") << QStringList{QStringLiteral("--url"), QStringLiteral("x"), QStringLiteral("-o"), out}
                                        << 2 << "--site NAME or --key FILE";
        QTest::newRow("unknown site") << QStringList{QStringLiteral("--site"), QStringLiteral("Nowhere"),
                                                     QStringLiteral("--url"), QStringLiteral("x"), QStringLiteral("-o"), out}
                                      << 2 << "no site \"Nowhere\"";
        QTest::newRow("browse-only site") << QStringList{QStringLiteral("--site"), QStringLiteral("Yell UK"),
                                                         QStringLiteral("--url"), QStringLiteral("x"), QStringLiteral("-o"), out}
                                          << 2 << "browsing only";
        QTest::newRow("no address") << QStringList{QStringLiteral("--key"), key, QStringLiteral("-o"), out} << 2 << "--url";
        QTest::newRow("no output") << QStringList{QStringLiteral("--key"), key, QStringLiteral("--url"), QStringLiteral("x")}
                                   << 2 << "-o OUT";
        QTest::newRow("unknown output kind") << QStringList{QStringLiteral("--key"), key, QStringLiteral("--url"),
                                                            QStringLiteral("x"), QStringLiteral("-o"), m_dir.filePath(QStringLiteral("x.pdf"))}
                                             << 2 << ".csv, .txt or .vty";
        QTest::newRow("missing key file") << QStringList{QStringLiteral("--key"), m_dir.filePath(QStringLiteral("no.bin")),
                                                         QStringLiteral("--url"), QStringLiteral("x"), QStringLiteral("-o"), out}
                                          << 1 << "cannot load the key file";
        QTest::newRow("bad page count") << QStringList{QStringLiteral("--key"), key, QStringLiteral("--url"),
                                                       QStringLiteral("x"), QStringLiteral("--pages"), QStringLiteral("0"),
                                                       QStringLiteral("-o"), out}
                                        << 2 << "--pages";
        QTest::newRow("nothing answers") << QStringList{QStringLiteral("--key"), key, QStringLiteral("--url"),
                                                        QStringLiteral("http://127.0.0.1:1/r"), QStringLiteral("--delay"),
                                                        QStringLiteral("0"), QStringLiteral("--retry-wait"),
                                                        QStringLiteral("10"), QStringLiteral("-o"), out}
                                         << 3 << "no page could be downloaded";
        QTest::newRow("resume with an address")
            << QStringList{QStringLiteral("--resume"), m_dir.filePath(QStringLiteral("j.journal")), QStringLiteral("--url"),
                           QStringLiteral("x")}
            << 2 << "give none of --site, --key and --url";
        QTest::newRow("resume without a journal")
            << QStringList{QStringLiteral("--resume"), m_dir.filePath(QStringLiteral("none.journal"))} << 1
            << "cannot continue: there is no journal";
        QTest::newRow("bad tries") << QStringList{QStringLiteral("--key"), key, QStringLiteral("--url"),
                                                  QStringLiteral("x"), QStringLiteral("--tries"), QStringLiteral("0"),
                                                  QStringLiteral("-o"), out}
                                   << 2 << "--tries";
        QTest::newRow("bad timeout") << QStringList{QStringLiteral("--key"), key, QStringLiteral("--url"),
                                                    QStringLiteral("x"), QStringLiteral("--timeout"),
                                                    QStringLiteral("soon"), QStringLiteral("-o"), out}
                                     << 2 << "--timeout";
        QTest::newRow("not a web address") << QStringList{QStringLiteral("--key"), key, QStringLiteral("--url"),
                                                          QStringLiteral("file:///etc/passwd"), QStringLiteral("--delay"),
                                                          QStringLiteral("0"), QStringLiteral("-o"), out}
                                           << 3 << "not a web address";
    }

    void failures()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, message);
        const Run run = grab(arguments);
        QCOMPARE(run.code, code);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("never.csv"))));
    }

    void killedAndResumed()
    {
        // quillon-grab killed (SIGKILL) in the middle of a grab leaves an output file of
        // whole pages; --resume completes it with every listing once.
        MisbehavingDirectory site(12, 3);
        site.setAnswerDelayMs(40);
        const QString out = path("killed.csv");
        const QString journal = path("killed.journal");
        QProcess p;
        p.start(kTool, grabArguments(site, out, journal));
        QVERIFY(p.waitForStarted(10000));
        QString err;
        QVERIFY(QTest::qWaitFor(
            [&] {
                err += QString::fromUtf8(p.readAllStandardError());
                return err.contains(QLatin1String("page 4: "));
            },
            30000));
        p.kill();
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::CrashExit);

        QString error;
        const QStringList left = fileNames(out, &error);
        QVERIFY2(!left.isEmpty(), qPrintable(error));
        QCOMPARE(left.size() % 3, 0);
        const int pages = int(left.size()) / 3;
        QVERIFY(pages >= 3 && pages < 12);
        QCOMPARE(left, pageNames(site, 1, pages));

        const Run run = grab({QStringLiteral("--resume"), journal, QStringLiteral("--delay"), QStringLiteral("0")});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        QCOMPARE(fileNames(out), pageNames(site, 1, 12));
        // It went on with the page after the last one in the file.
        QVERIFY2(!run.err.contains(QStringLiteral("page %1: ").arg(pages)), qPrintable(run.err));
        QVERIFY2(run.err.contains(QStringLiteral("page %1: 3 listings").arg(pages + 1)), qPrintable(run.err));
        QVERIFY(!QFile::exists(journal));
    }

    void resumeAfterAKillBetweenTheOutputAndTheJournal_data()
    {
        QTest::addColumn<int>("pagesWritten");
        QTest::newRow("the page reached the output") << 2;
        QTest::newRow("the page did not reach the output") << 1;
    }

    void resumeAfterAKillBetweenTheOutputAndTheJournal()
    {
        // Killed after the journal said page 2 was on its way: the output's records say
        // whether it got there.
        QFETCH(int, pagesWritten);
        MisbehavingDirectory site(4, 3);
        const QString out = path("between.csv");
        const QString journalPath = path("between.journal");
        QFile::remove(out);
        QStringList arguments = grabArguments(site, out, journalPath);
        arguments << QStringLiteral("--pages") << QStringLiteral("2");
        QCOMPARE(grab(arguments).code, 0);
        GrabJournal afterTwo;
        QVERIFY(afterTwo.load(journalPath));
        QCOMPARE(afterTwo.done.pagesDone, 2);
        QCOMPARE(afterTwo.done.rows, qint64(7));

        GrabJournal journal = afterTwo;
        journal.pending = afterTwo.done;
        journal.done.next = site.pageUrl(2);
        journal.done.pagesDone = 1;
        journal.done.listings = 3;
        journal.done.rows = 4;
        journal.done.visited = afterTwo.done.visited.mid(0, 1);
        journal.endedBy.clear();
        QVERIFY(journal.save(journalPath));
        if (pagesWritten == 1) {
            RecordSheet sheet;
            QVERIFY(LoadGrid(out, FormatComma, sheet));
            sheet.setRows(4);
            QVERIFY(SaveGrid(out, FormatComma, sheet));
        }
        const Run run = grab({QStringLiteral("--resume"), journalPath, QStringLiteral("--delay"), QStringLiteral("0")});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        QCOMPARE(fileNames(out), pageNames(site, 1, 4));
        QCOMPARE(site.requestCount(2), pagesWritten == 1 ? 2 : 1);
    }

    void resumeOfAChangedOutput()
    {
        MisbehavingDirectory site(4, 3);
        const QString out = path("changed.csv");
        const QString journal = path("changed.journal");
        QStringList arguments = grabArguments(site, out, journal);
        arguments << QStringLiteral("--pages") << QStringLiteral("2");
        const Run first = grab(arguments);
        QCOMPARE(first.code, 0);
        QVERIFY2(first.err.contains(QStringLiteral("to continue: quillon-grab --resume \"%1\"").arg(journal)),
                 qPrintable(first.err));
        // A record deleted by hand since: the grab's place in the file is gone.
        RecordSheet sheet;
        QVERIFY(LoadGrid(out, FormatComma, sheet));
        sheet.removeRows(2, 1);
        QVERIFY(SaveGrid(out, FormatComma, sheet));
        const QStringList edited = fileNames(out);

        Run run = grab({QStringLiteral("--resume"), journal});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains(QLatin1String("holds 5 records, but the grab left 6 there")), qPrintable(run.err));
        QCOMPARE(fileNames(out), edited);

        // Into another file: the pages still to come.
        const QString other = path("rest.csv");
        run = grab({QStringLiteral("--resume"), journal, QStringLiteral("-o"), other, QStringLiteral("--delay"),
                    QStringLiteral("0")});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        QCOMPARE(fileNames(other), pageNames(site, 3, 4));
        QCOMPARE(fileNames(out), edited);
    }

    void retriesAndFailuresAreSaid()
    {
        MisbehavingDirectory site(3, 2);
        site.setPlan(2, {MisbehavingDirectory::Trouble::Unavailable, 1, -1});
        site.setPlan(3, {MisbehavingDirectory::Trouble::RedirectToFtp, 1});
        const QString out = path("said.csv");
        const QString journal = path("said.journal");
        Run run = grab(grabArguments(site, out, journal));
        QCOMPARE(run.code, 4);
        QVERIFY2(run.err.contains(QLatin1String("page 2: the site answered with status 503; asking again in 0.01 s")),
                 qPrintable(run.err));
        QVERIFY2(run.err.contains(QStringLiteral("page 3: %1: the page redirects to \"ftp://127.0.0.1/r?p=3\", which is "
                                                 "not a web address")
                                      .arg(site.pageUrl(3))),
                 qPrintable(run.err));
        QCOMPARE(fileNames(out), pageNames(site, 1, 2));
        // The site mended, the grab goes on at page 3.
        run = grab({QStringLiteral("--resume"), journal, QStringLiteral("--delay"), QStringLiteral("0")});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        QVERIFY(run.err.contains(QLatin1String("page 3: 2 listings, 6 in all")));
        QCOMPARE(fileNames(out), pageNames(site, 1, 3));
    }

    void robotsTxtRefusal()
    {
        MisbehavingDirectory site(3, 2);
        site.setRobotsTxt("User-agent: *\nDisallow: /r?p=2\n");
        const QString out = path("robots.csv");
        const QString journal = path("robots.journal");
        Run run = grab(grabArguments(site, out, journal));
        QCOMPARE(run.code, 5);
        QVERIFY2(run.err.contains(QLatin1String("refused: the site's robots.txt does not allow robots to read /r?p=2")),
                 qPrintable(run.err));
        QVERIFY(run.err.contains(QLatin1String("--ignore-robots")));
        QCOMPARE(fileNames(out), site.names(1));
        QCOMPARE(site.requestCount(2), 0);
        run = grab({QStringLiteral("--resume"), journal, QStringLiteral("--ignore-robots"), QStringLiteral("--delay"),
                    QStringLiteral("0")});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        QCOMPARE(fileNames(out), pageNames(site, 1, 3));
    }

    void sourceColumns()
    {
        MisbehavingDirectory site(2, 2);
        const QString out = path("source.csv");
        QStringList arguments = grabArguments(site, out, path("source.journal"));
        arguments << QStringLiteral("--source-columns");
        QCOMPARE(grab(arguments).code, 0);
        KeyTable got;
        QVERIFY(got.load(out));
        const int last = got.cols() - 1;
        QCOMPARE(got.text(0, last - 1), QStringLiteral("Source Page"));
        QCOMPARE(got.text(0, last), QStringLiteral("Grabbed At"));
        QCOMPARE(got.text(3, last - 1), site.pageUrl(2));
        QVERIFY(QDateTime::fromString(got.text(3, last), QStringLiteral("yyyy-MM-dd HH:mm:ss")).isValid());
    }

    void servesTheSampleDirectory()
    {
        QProcess p;
        p.start(kTool, {QStringLiteral("--serve-sample")});
        QVERIFY(p.waitForStarted(10000));
        QString line;
        QVERIFY(QTest::qWaitFor(
            [&] {
                line += QString::fromUtf8(p.readAllStandardOutput());
                return line.contains(QLatin1Char('\n'));
            },
            20000));
        QVERIFY2(line.startsWith(QLatin1String("Sample directory: http://127.0.0.1:")), qPrintable(line));
        const QUrl root(line.section(QLatin1Char(' '), 2).trimmed());

        QNetworkAccessManager network;
        QNetworkReply* reply = network.get(QNetworkRequest(root.resolved(QUrl(QStringLiteral("/b/")))));
        QSignalSpy finished(reply, &QNetworkReply::finished);
        QVERIFY(finished.wait(10000));
        QVERIFY(reply->readAll().contains("<form action=\"/b/results\""));
        delete reply;

        p.terminate();
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    }
};

QTEST_GUILESS_MAIN(TestGrabTool)
#include "TestGrabTool.moc"

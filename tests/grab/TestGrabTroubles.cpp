// The grab against a directory site that misbehaves as real ones do, over real HTTP
// on 127.0.0.1, with time limits and waits made short.

#include "LocalHttpServer.h"
#include "testsupport/MisbehavingDirectory.h"

#include "grab/GrabRunner.h"
#include "grab/KeyTable.h"
#include "grab/PageFetcher.h"
#include "sheet/RecordSheet.h"

#include <QEventLoop>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>

using namespace quillon;
using Trouble = MisbehavingDirectory::Trouble;

Q_DECLARE_METATYPE(MisbehavingDirectory::Trouble)

namespace {

QStringList names(const RecordSheet& sheet)
{
    QStringList out;
    for (int r = 1; r < sheet.rows(); ++r)
        out << sheet.text(r, 0);
    return out;
}

/** The names of pages @p first to @p last as served whole (version 0). */
QStringList pageNames(const MisbehavingDirectory& site, int first, int last)
{
    QStringList out;
    for (int p = first; p <= last; ++p)
        out << site.names(p);
    return out;
}

struct Ending
{
    QString how; // "finished", "failed", "refused", "stopped", "timed out"
    int page = -1;
    QString reason;
};

} // namespace

class TestGrabTroubles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    GrabKey m_key;
    RecordSheet* m_sheet = nullptr;
    PageFetcher* m_fetcher = nullptr;
    GrabRunner* m_runner = nullptr;

    GrabRunner::Options options() const
    {
        GrabRunner::Options o;
        o.key = m_key;
        o.delayMs = 0;
        return o;
    }

    Ending grab(const QString& address, const GrabRunner::Options& o)
    {
        QSignalSpy finished(m_runner, &GrabRunner::finished);
        QSignalSpy failed(m_runner, &GrabRunner::failed);
        QSignalSpy refused(m_runner, &GrabRunner::refused);
        QSignalSpy stopped(m_runner, &GrabRunner::stopped);
        const auto ended = [&] { return finished.size() + failed.size() + refused.size() + stopped.size(); };
        // An event loop of its own rather than QTest::qWaitFor, which sleeps between its
        // looks and would slow the server's trickle down.
        QEventLoop loop;
        connect(m_runner, &GrabRunner::stopped, &loop, &QEventLoop::quit);
        connect(m_runner, &GrabRunner::finished, &loop, &QEventLoop::quit);
        connect(m_runner, &GrabRunner::failed, &loop, &QEventLoop::quit);
        connect(m_runner, &GrabRunner::refused, &loop, &QEventLoop::quit);
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        m_runner->start(address, o);
        if (ended() == 0)
            loop.exec();
        if (ended() == 0)
            return {QStringLiteral("timed out")};
        QTest::qWait(0);
        if (ended() != 1)
            return {QStringLiteral("ended more than once")};
        if (!finished.isEmpty())
            return {QStringLiteral("finished"), -1, finished.first().at(0).toString()};
        if (!stopped.isEmpty())
            return {QStringLiteral("stopped")};
        const QList<QVariant> args = failed.isEmpty() ? refused.first() : failed.first();
        return {failed.isEmpty() ? QStringLiteral("refused") : QStringLiteral("failed"), args.at(0).toInt(),
                args.at(2).toString()};
    }

private slots:
    void initTestCase()
    {
        const QString keyPath = m_dir.filePath(QStringLiteral("key.csv"));
        QFile file(keyPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(MisbehavingDirectory::keyCsv());
        file.close();
        KeyTable table;
        QString error;
        QVERIFY2(table.load(keyPath, &error), qPrintable(error));
        m_key = GrabKey::fromTable(table);
        QCOMPARE(m_key.lastField, 3);
    }

    void init()
    {
        m_sheet = new RecordSheet;
        m_sheet->setCols(10);
        m_fetcher = new PageFetcher;
        PageFetcher::Limits limits;
        limits.timeoutMs = 1000;
        limits.retryWaitMs = 20;
        m_fetcher->setLimits(limits);
        m_runner = new GrabRunner(*m_sheet, *m_fetcher);
    }

    void cleanup()
    {
        delete m_runner;
        delete m_fetcher;
        delete m_sheet;
    }

    // ---- what passes when asked again ---------------------------------------------------

    void troubleThatPasses_data()
    {
        QTest::addColumn<Trouble>("trouble");
        QTest::addColumn<int>("times");
        QTest::addColumn<int>("asked");
        QTest::newRow("trickle, in time") << Trouble::Trickle << -1 << 1;
        QTest::newRow("stall once") << Trouble::Stall << 1 << 2;
        QTest::newRow("end early once") << Trouble::EndEarly << 1 << 2;
        QTest::newRow("429 once") << Trouble::TooManyRequests << 1 << 2;
        QTest::newRow("500 once") << Trouble::ServerError << 1 << 2;
        QTest::newRow("503 twice") << Trouble::Unavailable << 2 << 3;
        QTest::newRow("reset once") << Trouble::Reset << 1 << 2;
        QTest::newRow("wrong char set") << Trouble::WrongCharset << -1 << 1;
        QTest::newRow("no char set") << Trouble::NoCharset << -1 << 1;
    }

    void troubleThatPasses()
    {
        QFETCH(Trouble, trouble);
        QFETCH(int, times);
        QFETCH(int, asked);
        MisbehavingDirectory site(3);
        site.setTrickleIntervalMs(0); // a byte at a time, as fast as they go
        site.setPlan(2, {trouble, times, 0});
        QSignalSpy retrying(m_runner, &GrabRunner::retrying);
        const Ending end = grab(site.pageUrl(1), options());
        QVERIFY2(end.how == QLatin1String("finished"), qPrintable(end.how + QLatin1Char(' ') + end.reason));
        // Every listing once, in the order of the pages, "Caf\u00e9" whatever the char set.
        QCOMPARE(names(*m_sheet), pageNames(site, 1, 3));
        QCOMPARE(site.requestCount(2), asked);
        QCOMPARE(int(retrying.size()), asked - 1);
        for (const QList<QVariant>& r : retrying)
            QCOMPARE(r.at(0).toInt(), 1); // page 2, counted from 0
        QCOMPARE(m_sheet->text(7, 1), QStringLiteral("101 Elm St"));
    }

    void changingPage()
    {
        // A page that is other at every request: the grab keeps the one it read.
        MisbehavingDirectory site(3);
        site.setPlan(2, {Trouble::Changing, -1});
        QCOMPARE(grab(site.pageUrl(1), options()).how, QStringLiteral("finished"));
        QCOMPARE(names(*m_sheet), site.names(1) + site.names(2, 1) + site.names(3));
        QCOMPARE(site.requestCount(2), 1);
    }

    // ---- what does not pass -------------------------------------------------------------

    void troubleThatStays_data()
    {
        QTest::addColumn<Trouble>("trouble");
        QTest::addColumn<int>("asked");
        QTest::addColumn<QString>("reason");
        QTest::newRow("trickle, a byte a second") << Trouble::Trickle << 3 << "did not come whole within 1 seconds";
        QTest::newRow("stall") << Trouble::Stall << 3 << "did not come whole within 1 seconds";
        QTest::newRow("end early") << Trouble::EndEarly << 3 << "closed the connection before the whole page came";
        QTest::newRow("429") << Trouble::TooManyRequests << 3 << "status 429 (asked 3 times)";
        QTest::newRow("500") << Trouble::ServerError << 3 << "status 500 (asked 3 times)";
        QTest::newRow("503") << Trouble::Unavailable << 3 << "status 503 (asked 3 times)";
        QTest::newRow("reset") << Trouble::Reset << 3 << "closed the connection";
        QTest::newRow("redirect loop") << Trouble::RedirectLoop << 1 << "redirects more than 5 times";
        QTest::newRow("redirect to file:") << Trouble::RedirectToFile << 1 << "\"file:///etc/passwd\", which is not";
        QTest::newRow("redirect to ftp:") << Trouble::RedirectToFtp << 1 << "which is not a web address";
        QTest::newRow("gzip bomb") << Trouble::GzipBomb << 1 << "larger than 16 MB when unpacked";
        QTest::newRow("50 MB") << Trouble::Huge << 1 << "larger than 16 MB";
    }

    void troubleThatStays()
    {
        QFETCH(Trouble, trouble);
        QFETCH(int, asked);
        QFETCH(QString, reason);
        if (trouble == Trouble::GzipBomb || trouble == Trouble::Huge) {
            // The size limit is under test, not the time limit: on a slow or instrumented
            // build, 16 MB may take longer than the second that the other rows allow.
            PageFetcher::Limits limits = m_fetcher->limits();
            limits.timeoutMs = 60000;
            m_fetcher->setLimits(limits);
        }
        MisbehavingDirectory site(3);
        site.setTrickleIntervalMs(1000);
        site.setPlan(2, {trouble, -1, 0});
        const Ending end = grab(site.pageUrl(1), options());
        // The grab ends at page 2, saying why; page 1's listings stay; page 3 is never asked for.
        QCOMPARE(end.how, QStringLiteral("failed"));
        QCOMPARE(end.page, 1);
        QVERIFY2(end.reason.contains(reason), qPrintable(end.reason));
        QCOMPARE(names(*m_sheet), site.names(1));
        QCOMPARE(site.requestCount(2), asked);
        QCOMPARE(site.requestCount(3), 0);
        const GrabRunner::ResumePoint at = m_runner->resumePoint();
        QCOMPARE(at.next, site.pageUrl(2));
        QCOMPARE(at.pagesDone, 1);
    }

    void retryWaits_data()
    {
        QTest::addColumn<Trouble>("trouble");
        QTest::addColumn<int>("retryAfter");
        QTest::addColumn<QList<int>>("waits");
        QTest::newRow("doubling, no Retry-After") << Trouble::Unavailable << -1 << QList<int>{20, 40};
        QTest::newRow("Retry-After longer than the wait") << Trouble::TooManyRequests << 1 << QList<int>{1000, 1000};
        QTest::newRow("Retry-After 0: the wait") << Trouble::TooManyRequests << 0 << QList<int>{20, 40};
    }

    void retryWaits()
    {
        QFETCH(Trouble, trouble);
        QFETCH(int, retryAfter);
        QFETCH(QList<int>, waits);
        MisbehavingDirectory site(1);
        site.setPlan(1, {trouble, 2, retryAfter});
        QSignalSpy retrying(m_runner, &GrabRunner::retrying);
        QCOMPARE(grab(site.pageUrl(1), options()).how, QStringLiteral("finished"));
        QList<int> got;
        for (const QList<QVariant>& r : retrying)
            got << r.at(3).toInt();
        QCOMPARE(got, waits);
        QCOMPARE(names(*m_sheet), site.names(1));
    }

    void retryAfterTooLong()
    {
        MisbehavingDirectory site(2);
        site.setPlan(1, {Trouble::TooManyRequests, -1, 3600});
        const Ending end = grab(site.pageUrl(1), options());
        QCOMPARE(end.how, QStringLiteral("failed"));
        QVERIFY2(end.reason.contains(QLatin1String("status 429 and asked to be asked again in 3600 seconds")),
                 qPrintable(end.reason));
        QCOMPARE(site.requestCount(1), 1);
    }

    void retryAfterHeader_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<qint64>("ms");
        QTest::newRow("seconds") << QByteArray("120") << qint64(120000);
        QTest::newRow("blanks around") << QByteArray(" 5 ") << qint64(5000);
        QTest::newRow("HTTP date") << QByteArray("Tue, 08 Dec 2026 16:25:09 GMT") << qint64(60000);
        QTest::newRow("date gone by") << QByteArray("Tue, 08 Dec 2026 16:00:00 GMT") << qint64(0);
        QTest::newRow("none") << QByteArray() << qint64(-1);
        QTest::newRow("negative") << QByteArray("-3") << qint64(-1);
        QTest::newRow("nonsense") << QByteArray("soon") << qint64(-1);
    }

    void retryAfterHeader()
    {
        QFETCH(QByteArray, header);
        QFETCH(qint64, ms);
        const QDateTime now(QDate(2026, 12, 8), QTime(16, 24, 9), Qt::UTC);
        QCOMPARE(PageFetcher::retryAfterMs(header, now), ms);
    }

    void stopWhileWaitingToAskAgain()
    {
        // A long Retry-After does not keep Stop waiting.
        MisbehavingDirectory site(2);
        site.setPlan(2, {Trouble::Unavailable, -1, 100});
        PageFetcher::Limits limits = m_fetcher->limits();
        limits.maxRetryAfterMs = 200000;
        m_fetcher->setLimits(limits);
        connect(m_runner, &GrabRunner::retrying, m_runner, &GrabRunner::requestStop);
        QCOMPARE(grab(site.pageUrl(1), options()).how, QStringLiteral("stopped"));
        QCOMPARE(names(*m_sheet), site.names(1));
        QCOMPARE(site.requestCount(2), 1);
        QCOMPARE(m_runner->resumePoint().next, site.pageUrl(2));
    }

    // ---- one connection a site ----------------------------------------------------------

    void oneConnectionPerSite()
    {
        MisbehavingDirectory site(4);
        site.setAnswerDelayMs(300);
        MisbehavingDirectory other(1);
        other.setAnswerDelayMs(300);
        int done = 0;
        QStringList errors;
        for (int p = 1; p <= 4; ++p)
            m_fetcher->fetch(QUrl(site.pageUrl(p)), [&](const FetchedPage& page) {
                ++done;
                errors << page.error;
            });
        m_fetcher->fetch(QUrl(other.pageUrl(1)), [&](const FetchedPage& page) {
            ++done;
            errors << page.error;
        });
        // The other site is not kept waiting behind the first one.
        QTRY_COMPARE(other.requests.size(), 1);
        QVERIFY(site.answers.size() <= 1);
        QTRY_COMPARE_WITH_TIMEOUT(done, 5, 10000);
        QCOMPARE(errors, QStringList(5, QString()));
        QCOMPARE(site.requests.size(), 4);
        QCOMPARE(site.maxInFlight(), 1);
        QCOMPARE(site.maxConnections(), 1);
    }

    void aCancelledDownloadLetsTheNextOneGo()
    {
        MisbehavingDirectory site(2);
        site.setPlan(1, {Trouble::Stall, -1});
        bool second = false;
        const quint64 first = m_fetcher->fetch(QUrl(site.pageUrl(1)), [](const FetchedPage&) {});
        m_fetcher->fetch(QUrl(site.pageUrl(2)), [&](const FetchedPage& page) { second = page.ok(); });
        QTRY_COMPARE(site.requests.size(), 1);
        m_fetcher->cancel(first);
        QTRY_VERIFY(second);
    }

    // ---- links back -----------------------------------------------------------------------

    void linkBackEndsTheGrab_data()
    {
        QTest::addColumn<int>("back");
        for (int k = 1; k <= 4; ++k)
            QTest::addRow("a cycle of %d pages", k + 1) << k;
    }

    void linkBackEndsTheGrab()
    {
        QFETCH(int, back);
        MisbehavingDirectory site(6);
        site.setPlan(6, {Trouble::None, -1, 1, back});
        const Ending end = grab(site.pageUrl(1), options());
        QCOMPARE(end.how, QStringLiteral("finished"));
        QVERIFY2(end.reason.contains(QLatin1String("repeats the address")), qPrintable(end.reason));
        QCOMPARE(names(*m_sheet), pageNames(site, 1, 6));
        for (int p = 1; p <= 6; ++p)
            QCOMPARE(site.requestCount(p), 1);
        QVERIFY(m_runner->resumePoint().atEnd());
    }

    void linkBackThroughARedirect()
    {
        LocalHttpServer server([](const LocalHttpServer::Request& r) {
            auto page = [](const QByteArray& name, const QByteArray& next) {
                return LocalHttpServer::page("<li><b>" + name + "</b></li><a class=\"next\" href=\"" + next + "\">");
            };
            if (r.target == "/r?p=1")
                return page("A", "/r?p=2");
            if (r.target == "/r?p=2")
                return page("B", "/r?p=3");
            if (r.target == "/r?p=3")
                return page("C", "/moved");
            if (r.target == "/moved")
                return LocalHttpServer::redirect("/r?p=2#again");
            return LocalHttpServer::status(404);
        });
        const Ending end = grab(server.url(QStringLiteral("/r?p=1")), options());
        QCOMPARE(end.how, QStringLiteral("finished"));
        QVERIFY2(end.reason.contains(QLatin1String("leads back")), qPrintable(end.reason));
        QCOMPARE(names(*m_sheet), (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}));
        QVERIFY(m_runner->resumePoint().atEnd());
    }

    void continuedGrabRemembersPagesBefore()
    {
        // A grab continued at page 4 still ends at a link back to page 2.
        MisbehavingDirectory site(5);
        site.setPlan(5, {Trouble::None, -1, 1, 3});
        GrabRunner::Options o = options();
        o.maxPages = 3;
        QCOMPARE(grab(site.pageUrl(1), o).how, QStringLiteral("finished"));
        const GrabRunner::ResumePoint at = m_runner->resumePoint();
        QCOMPARE(at.next, site.pageUrl(4));
        QCOMPARE(at.pagesDone, 3);
        o.maxPages = GrabRunner::kMaxPages;
        o.firstPage = at.pagesDone;
        o.visited = at.visited;
        QSignalSpy pages(m_runner, &GrabRunner::pageGrabbed);
        const Ending end = grab(at.next, o);
        QVERIFY2(end.reason.contains(QLatin1String("repeats the address")), qPrintable(end.reason));
        QCOMPARE(names(*m_sheet), pageNames(site, 1, 5));
        QCOMPARE(pages.first().at(0).toInt(), 3); // page 4, counted from 0
        QCOMPARE(site.requestCount(2), 1);
    }

    // ---- robots.txt ---------------------------------------------------------------------------

    void robots_data()
    {
        QTest::addColumn<QByteArray>("robots");
        QTest::addColumn<bool>("honour");
        QTest::addColumn<int>("grabbed");
        QTest::addColumn<QString>("how");
        QTest::newRow("none") << QByteArray() << true << 3 << "finished";
        QTest::newRow("allows") << QByteArray("User-agent: *\nDisallow: /private\n") << true << 3 << "finished";
        QTest::newRow("keeps everyone out") << QByteArray("User-agent: *\nDisallow: /\n") << true << 0 << "refused";
        QTest::newRow("keeps us from page 3")
            << QByteArray("User-agent: Quillon\nDisallow: /r?p=3\n") << true << 2 << "refused";
        QTest::newRow("not honoured") << QByteArray("User-agent: *\nDisallow: /\n") << false << 3 << "finished";
    }

    void robots()
    {
        QFETCH(QByteArray, robots);
        QFETCH(bool, honour);
        QFETCH(int, grabbed);
        QFETCH(QString, how);
        MisbehavingDirectory site(3);
        site.setRobotsTxt(robots);
        GrabRunner::Options o = options();
        o.honourRobots = honour;
        const Ending end = grab(site.pageUrl(1), o);
        QCOMPARE(end.how, how);
        QCOMPARE(names(*m_sheet), pageNames(site, 1, grabbed));
        QCOMPARE(site.requests.count(QStringLiteral("/robots.txt")), honour ? 1 : 0);
        if (how == QLatin1String("refused")) {
            QCOMPARE(end.page, grabbed);
            QCOMPARE(end.reason, QStringLiteral("the site's robots.txt does not allow robots to read /r?p=%1")
                                     .arg(grabbed + 1));
            QCOMPARE(site.requestCount(grabbed + 1), 0);
            QCOMPARE(m_runner->resumePoint().next, site.pageUrl(grabbed + 1));
        }
    }

    void robotsTxtThatCannotBeRead()
    {
        LocalHttpServer server([](const LocalHttpServer::Request& r) {
            if (r.target == "/robots.txt")
                return LocalHttpServer::status(503);
            return LocalHttpServer::page("<li><b>A</b></li>");
        });
        const Ending end = grab(server.url(QStringLiteral("/r?p=1")), options());
        QCOMPARE(end.how, QStringLiteral("failed"));
        QVERIFY2(end.reason.startsWith(QLatin1String("the site's robots.txt could not be read: the site answered "
                                                     "with status 503")),
                 qPrintable(end.reason));
        QCOMPARE(server.requests, QStringList(3, QStringLiteral("/robots.txt")));
        QCOMPARE(m_sheet->rows(), 1);
    }

    // ---- stop within a page, and going on ------------------------------------------------------

    void stopWithinAPageAndGoOn()
    {
        MisbehavingDirectory site(3, 4);
        connect(m_runner, &GrabRunner::pageStarted, m_runner, [this](int page) {
            if (page == 1)
                m_runner->requestStop();
        });
        QCOMPARE(grab(site.pageUrl(1), options()).how, QStringLiteral("stopped"));
        // The stop came while page 2 loaded: its first listing is kept, and the
        // resume point says so.
        QCOMPARE(names(*m_sheet), site.names(1) + site.names(2).mid(0, 1));
        GrabRunner::ResumePoint at = m_runner->resumePoint();
        QCOMPARE(at.next, site.pageUrl(2));
        QCOMPARE(at.pagesDone, 1);
        QCOMPARE(at.skipListings, 1);

        // Stopped again within the same page, continued: one more listing.
        disconnect(m_runner, &GrabRunner::pageStarted, m_runner, nullptr);
        GrabRunner::Options o = options();
        o.firstPage = at.pagesDone;
        o.skipListings = at.skipListings;
        o.visited = at.visited;
        connect(m_runner, &GrabRunner::pageStarted, m_runner, [this] { m_runner->requestStop(); });
        QCOMPARE(grab(at.next, o).how, QStringLiteral("stopped"));
        QCOMPARE(names(*m_sheet), site.names(1) + site.names(2).mid(0, 2));
        at = m_runner->resumePoint();
        QCOMPARE(at.skipListings, 2);

        // And continued to the end: every listing once.
        disconnect(m_runner, &GrabRunner::pageStarted, m_runner, nullptr);
        o.firstPage = at.pagesDone;
        o.skipListings = at.skipListings;
        o.visited = at.visited;
        QCOMPARE(grab(at.next, o).how, QStringLiteral("finished"));
        QCOMPARE(names(*m_sheet), pageNames(site, 1, 3));
    }

    void goOnAfterAFailure()
    {
        // Page 3 fails until the site mends it; the grab continued later adds the rest.
        MisbehavingDirectory site(5);
        site.setPlan(3, {Trouble::ServerError, 3});
        QCOMPARE(grab(site.pageUrl(1), options()).how, QStringLiteral("failed"));
        const GrabRunner::ResumePoint at = m_runner->resumePoint();
        GrabRunner::Options o = options();
        o.firstPage = at.pagesDone;
        o.visited = at.visited;
        QCOMPARE(grab(at.next, o).how, QStringLiteral("finished"));
        QCOMPARE(names(*m_sheet), pageNames(site, 1, 5));
    }

    // ---- where records come from ----------------------------------------------------------------

    void sourceColumns_data()
    {
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<int>("pageColumn");
        QTest::addColumn<int>("timeColumn");
        QTest::newRow("added at the right") << QStringList{QStringLiteral("Name")} << 10 << 11;
        QTest::newRow("one there already")
            << QStringList{QStringLiteral("Name"), QString(), QString(), QString(), QStringLiteral("Grabbed At")} << 10
            << 4;
        QTest::newRow("both there already")
            << QStringList{QStringLiteral("Name"), QStringLiteral("Source Page"), QString(), QString(), QString(),
                           QString(), QString(), QString(), QString(), QStringLiteral("Grabbed At")}
            << 1 << 9;
    }

    void sourceColumns()
    {
        QFETCH(QStringList, titles);
        QFETCH(int, pageColumn);
        QFETCH(int, timeColumn);
        for (int c = 0; c < titles.size(); ++c)
            m_sheet->setTitle(c, titles[c]);
        MisbehavingDirectory site(2, 2);
        GrabRunner::Options o = options();
        o.sourceColumns = true;
        o.clock = [] { return QDateTime(QDate(2026, 12, 8), QTime(16, 24, 9)); };
        QCOMPARE(grab(site.pageUrl(1), o).how, QStringLiteral("finished"));
        QCOMPARE(m_sheet->cols(), std::max(10, std::max(pageColumn, timeColumn) + 1));
        QCOMPARE(m_sheet->title(pageColumn), QStringLiteral("Source Page"));
        QCOMPARE(m_sheet->title(timeColumn), QStringLiteral("Grabbed At"));
        QCOMPARE(m_sheet->rows(), 5);
        for (int r = 1; r <= 4; ++r) {
            QCOMPARE(m_sheet->text(r, pageColumn), site.pageUrl(r <= 2 ? 1 : 2));
            QCOMPARE(m_sheet->text(r, timeColumn), QStringLiteral("2026-12-08 16:24:09"));
        }
        QCOMPARE(names(*m_sheet), pageNames(site, 1, 2));
    }
};

QTEST_GUILESS_MAIN(TestGrabTroubles)
#include "TestGrabTroubles.moc"

#include "LocalHttpServer.h"

#include "grab/GrabRunner.h"
#include "grab/PageFetcher.h"
#include "sheet/RecordSheet.h"

#include <QSignalSpy>
#include <QTest>

using namespace quillon;

namespace {

GrabKey testKey()
{
    GrabKey key;
    key.listingsPerPage = 50;
    key.listingStart = "<li>";
    key.listingEnd = "</li>";
    key.fields = {{0, "<b>", "</b>"}, {1, "<s>", "</s>"}, {3, "<t>", "</t>"}};
    key.lastField = 2;
    key.nextStart = "<a class=\"next\" href=\"";
    key.nextEnd = "\"";
    return key;
}

/** A result page with @p names as listings and, unless empty, a next link. */
QByteArray resultPage(const QStringList& names, const QByteArray& next = {})
{
    QByteArray page = "<html><body><ul>";
    for (const QString& n : names)
        page += "<li><b>" + n.toUtf8() + "</b><s>1 Elm</s><t>OR</t></li>";
    page += "</ul>";
    if (!next.isEmpty())
        page += "<a class=\"next\" href=\"" + next + "\">Next</a>";
    return page + "</body></html>";
}

QStringList names(const RecordSheet& sheet)
{
    QStringList out;
    for (int r = 1; r < sheet.rows(); ++r)
        out << sheet.text(r, 0);
    return out;
}

QStringList list(std::initializer_list<const char*> texts)
{
    QStringList out;
    for (const char* t : texts)
        out << QString::fromUtf8(t);
    return out;
}

} // namespace

class TestGrabRunner : public QObject
{
    Q_OBJECT

    RecordSheet* m_sheet = nullptr;
    PageFetcher* m_fetcher = nullptr;
    GrabRunner* m_runner = nullptr;

    GrabRunner::Options options(SiteRules rules = SiteRules::KeyOnly) const
    {
        GrabRunner::Options o;
        o.key = testKey();
        o.rules = rules;
        o.delayMs = 0;
        // These pages have no robots.txt to heed; reading it has tests of its own.
        o.honourRobots = false;
        return o;
    }

    /** Runs a grab to its end; returns the reason it finished ("stopped" when stopped,
     *  "page N failed: why" when a page could not be downloaded). */
    QString grab(const QString& address, const GrabRunner::Options& o)
    {
        QSignalSpy finished(m_runner, &GrabRunner::finished);
        QSignalSpy stopped(m_runner, &GrabRunner::stopped);
        QSignalSpy failed(m_runner, &GrabRunner::failed);
        m_runner->start(address, o);
        if (!QTest::qWaitFor([&] { return !finished.isEmpty() || !stopped.isEmpty() || !failed.isEmpty(); }, 20000))
            return QStringLiteral("timed out");
        if (finished.size() + stopped.size() + failed.size() != 1)
            return QStringLiteral("ended more than once");
        if (!stopped.isEmpty())
            return QStringLiteral("stopped");
        if (!failed.isEmpty())
            return QStringLiteral("page %1 failed: %2")
                .arg(failed.first().at(0).toInt() + 1)
                .arg(failed.first().at(2).toString());
        return finished.first().first().toString();
    }

private slots:
    void init()
    {
        m_sheet = new RecordSheet;
        m_sheet->setCols(10);
        m_fetcher = new PageFetcher;
        PageFetcher::Limits limits;
        limits.retryWaitMs = 10;
        m_fetcher->setLimits(limits);
        m_runner = new GrabRunner(*m_sheet, *m_fetcher);
    }

    void cleanup()
    {
        delete m_runner;
        delete m_fetcher;
        delete m_sheet;
    }

    void followsPagesToTheLast()
    {
        LocalHttpServer server([](const LocalHttpServer::Request& r) {
            if (r.target == "/r?p=1")
                return LocalHttpServer::page(resultPage({QStringLiteral("A"), QStringLiteral("B")}, "/r?p=2"));
            if (r.target == "/r?p=2")
                // Relative to the page's own address, with a character reference.
                return LocalHttpServer::page(resultPage({QStringLiteral("C")}, "r?x=1&amp;p=3"));
            if (r.target == "/r?x=1&p=3")
                return LocalHttpServer::page(resultPage({QStringLiteral("D")}));
            return LocalHttpServer::status(404);
        });
        QSignalSpy pages(m_runner, &GrabRunner::pageGrabbed);
        const QString reason = grab(server.url(QStringLiteral("/r?p=1")), options());
        QVERIFY2(reason.contains(QLatin1String("no next page")), qPrintable(reason));
        QCOMPARE(names(*m_sheet), list({"A", "B", "C", "D"}));
        QCOMPARE(server.requests, list({"/r?p=1", "/r?p=2", "/r?x=1&p=3"}));
        QCOMPARE(pages.size(), 3);
        QCOMPARE(m_runner->listingCount(), 4);
        QCOMPARE(m_runner->pageCount(), 3);
        QVERIFY(!m_runner->isRunning());
    }

    void heldSheetKeepsDownloadedPagesWaiting()
    {
        LocalHttpServer server([](const LocalHttpServer::Request& r) {
            if (r.target == "/r?p=1")
                return LocalHttpServer::page(resultPage({QStringLiteral("A")}, "/r?p=2"));
            return LocalHttpServer::page(resultPage({QStringLiteral("B")}));
        });
        QSignalSpy finished(m_runner, &GrabRunner::finished);
        m_runner->setSheetHeld(true); // a file is being saved from the sheet
        m_runner->start(server.url(QStringLiteral("/r?p=1")), options());
        QTRY_COMPARE(server.requests.size(), 1);
        QTest::qWait(200);
        QCOMPARE(m_sheet->rows(), 1); // nothing appended while held
        QVERIFY(m_runner->isRunning());
        QCOMPARE(server.requests.size(), 1);
        m_runner->setSheetHeld(false);
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(names(*m_sheet), list({"A", "B"}));
    }

    void endsOnBadNextLinks_data()
    {
        QTest::addColumn<QByteArray>("next");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("requests");
        QTest::newRow("repeats the first page") << QByteArray("/r?p=1") << "repeats" << 2;
        QTest::newRow("repeats itself") << QByteArray("/r?p=2#top") << "repeats" << 2;
        QTest::newRow("local file") << QByteArray("file:///etc/passwd") << "not a web address" << 2;
        QTest::newRow("script") << QByteArray("javascript:next()") << "not a web address" << 2;
        QTest::newRow("ftp") << QByteArray("ftp://127.0.0.1/r") << "not a web address" << 2;
        QTest::newRow("markup instead of an address") << QByteArray("<b>") << "not a web address" << 2;
    }

    void endsOnBadNextLinks()
    {
        QFETCH(QByteArray, next);
        QFETCH(QString, reason);
        QFETCH(int, requests);
        LocalHttpServer server([next](const LocalHttpServer::Request& r) {
            if (r.target == "/r?p=1")
                return LocalHttpServer::page(resultPage({QStringLiteral("A")}, "/r?p=2"));
            return LocalHttpServer::page(resultPage({QStringLiteral("B")}, next));
        });
        const QString why = grab(server.url(QStringLiteral("/r?p=1")), options());
        QVERIFY2(why.contains(reason), qPrintable(why));
        QCOMPARE(names(*m_sheet), list({"A", "B"}));
        QCOMPARE(server.requests.size(), requests);
    }

    void failedPageEndsTheGrab_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("error");
        QTest::newRow("404") << 0 << "the site answered with status 404";
        QTest::newRow("500") << 7 << "the site answered with status 500";
        QTest::newRow("20 MB") << 1 << "larger than 16 MB";
        QTest::newRow("20 MB without a length") << 2 << "larger than 16 MB";
        QTest::newRow("redirect loop") << 3 << "redirects more than 5 times";
        QTest::newRow("redirect to a local file") << 4 << "not a web address";
        QTest::newRow("too slow") << 5 << "did not answer";
        QTest::newRow("nobody listening") << 6 << "refused the connection";
        QTest::newRow("unknown host") << 8 << "host not found: nosuchhost.invalid";
    }

    void failedPageEndsTheGrab()
    {
        QFETCH(int, kind);
        QFETCH(QString, error);
        PageFetcher::Limits limits = m_fetcher->limits();
        if (kind == 5)
            limits.timeoutMs = 500;
        m_fetcher->setLimits(limits);
        LocalHttpServer server([kind](const LocalHttpServer::Request& r) {
            if (r.target == "/r?p=1")
                return LocalHttpServer::page(resultPage({QStringLiteral("A")}, "/r?p=2"));
            LocalHttpServer::Response bad;
            switch (kind) {
            case 0:
                return LocalHttpServer::status(404);
            case 1:
                bad.body = resultPage({QStringLiteral("B")}, "/r?p=3") + QByteArray(20 * 1024 * 1024, ' ');
                return bad;
            case 2:
                bad.body = resultPage({QStringLiteral("B")}, "/r?p=3");
                bad.fillerBytes = 20 * 1024 * 1024;
                return bad;
            case 3:
                return LocalHttpServer::redirect(r.target == "/r?p=2" ? "/loop?a" : "/r?p=2");
            case 4:
                return LocalHttpServer::redirect("file:///etc/passwd");
            case 5:
                bad = LocalHttpServer::page(resultPage({QStringLiteral("B")}, "/r?p=3"));
                bad.delayMs = 3000;
                return bad;
            case 6:
                return LocalHttpServer::redirect("http://127.0.0.1:1/nothing");
            case 7:
                return LocalHttpServer::status(500);
            default:
                return LocalHttpServer::redirect("http://nosuchhost.invalid/r?p=2");
            }
        });
        QSignalSpy pages(m_runner, &GrabRunner::pageGrabbed);
        QSignalSpy failed(m_runner, &GrabRunner::failed);
        const QString why = grab(server.url(QStringLiteral("/r?p=1")), options());
        // The grab ends at the page that failed, telling which and why ...
        QVERIFY2(why.startsWith(QLatin1String("page 2 failed: ")), qPrintable(why));
        QVERIFY2(why.contains(error), qPrintable(why));
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed.first().at(1).toString(), server.url(QStringLiteral("/r?p=2")));
        // ... and keeps what the pages before it gave.
        QCOMPARE(names(*m_sheet), list({"A"}));
        QCOMPARE(pages.size(), 1);
        QCOMPARE(m_runner->pageCount(), 1);
        QCOMPARE(m_runner->listingCount(), 1);
        QVERIFY(!m_runner->isRunning());
        QVERIFY(!server.requests.contains(QStringLiteral("/r?p=3")));
    }

    void failedFirstPageLeavesTheSheetAlone()
    {
        LocalHttpServer server([](const LocalHttpServer::Request&) { return LocalHttpServer::status(404); });
        m_sheet->setRows(3);
        m_sheet->setText(2, 0, QStringLiteral("typed"));
        int before = 0;
        m_runner->beforeRows = [&before] { ++before; };
        const QString why = grab(server.url(QStringLiteral("/r?p=1")), options());
        QCOMPARE(why, QStringLiteral("page 1 failed: the site answered with status 404"));
        QCOMPARE(before, 0);
        QCOMPARE(m_sheet->rows(), 3);
        QCOMPARE(m_sheet->text(2, 0), QStringLiteral("typed"));
        QCOMPARE(m_runner->pageCount(), 0);
    }

    void stopWhileAFailingPageLoads()
    {
        // A stop asked for while the page that fails is on its way ends the grab as stopped.
        LocalHttpServer server([](const LocalHttpServer::Request& r) {
            if (r.target == "/r?p=1")
                return LocalHttpServer::page(resultPage({QStringLiteral("A")}, "/r?p=2"));
            return LocalHttpServer::status(404);
        });
        connect(m_runner, &GrabRunner::pageStarted, this, [this](int page) {
            if (page == 1)
                m_runner->requestStop();
        });
        QCOMPARE(grab(server.url(QStringLiteral("/r?p=1")), options()), QStringLiteral("stopped"));
        QCOMPARE(names(*m_sheet), list({"A"}));
    }

    void slowButInTime()
    {
        LocalHttpServer server([](const LocalHttpServer::Request&) {
            LocalHttpServer::Response r = LocalHttpServer::page(resultPage({QStringLiteral("A")}));
            r.delayMs = 600;
            return r;
        });
        const QString why = grab(server.url(QStringLiteral("/slow")), options());
        QVERIFY2(why.contains(QLatin1String("no next page")), qPrintable(why));
        QCOMPARE(names(*m_sheet), list({"A"}));
    }

    void redirectedPageResolvesFromItsOwnAddress()
    {
        LocalHttpServer server([](const LocalHttpServer::Request& r) {
            if (r.target == "/start")
                return LocalHttpServer::redirect("/dir/r?p=1", 301);
            if (r.target == "/dir/r?p=1")
                return LocalHttpServer::page(resultPage({QStringLiteral("A")}, "r?p=2"));
            if (r.target == "/dir/r?p=2")
                return LocalHttpServer::page(resultPage({QStringLiteral("B")}));
            return LocalHttpServer::status(404);
        });
        grab(server.url(QStringLiteral("/start")), options());
        QCOMPARE(names(*m_sheet), list({"A", "B"}));
        QCOMPARE(server.requests, list({"/start", "/dir/r?p=1", "/dir/r?p=2"}));
    }

    void redirectChainWithinTheLimit()
    {
        LocalHttpServer server([](const LocalHttpServer::Request& r) {
            const int hop = r.target.mid(2).toInt();
            if (hop < 5)
                return LocalHttpServer::redirect("/h" + QByteArray::number(hop + 1), hop % 2 ? 307 : 302);
            return LocalHttpServer::page(resultPage({QStringLiteral("A")}));
        });
        grab(server.url(QStringLiteral("/h0")), options());
        QCOMPARE(names(*m_sheet), list({"A"}));
        QCOMPARE(server.requests, list({"/h0", "/h1", "/h2", "/h3", "/h4", "/h5"}));
    }

    void pageCharset()
    {
        LocalHttpServer server([](const LocalHttpServer::Request&) {
            LocalHttpServer::Response r = LocalHttpServer::page("<li><b>Caf\xe9 \x93Ole\x94 &amp; Co</b></li>");
            r.contentType = "text/html; charset=windows-1252";
            return r;
        });
        grab(server.url(QStringLiteral("/")), options());
        QCOMPARE(names(*m_sheet), QStringList{QStringLiteral("Caf\u00e9 \u201cOle\u201d & Co")});
    }

    void builtInSiteA()
    {
        // Site A: relative next links made absolute with the base address; no next link
        // makes the address the base address, which ends the grab.
        LocalHttpServer server([](const LocalHttpServer::Request& r) {
            if (r.target == "/a/r?c=x&p=1")
                return LocalHttpServer::page(resultPage({QStringLiteral("A")}, "/a/r?c=x&amp;p=2"));
            if (r.target == "/a/r?c=x&p=2")
                return LocalHttpServer::page(resultPage({QStringLiteral("B")}));
            return LocalHttpServer::status(404);
        });
        GrabRunner::Options o = options(SiteRules::BuiltInA);
        o.siteABase = server.root();
        grab(server.url(QStringLiteral("/a/r?c=x&p=1")), o);
        QCOMPARE(names(*m_sheet), list({"A", "B"}));
        QCOMPARE(server.requests, list({"/a/r?c=x&p=1", "/a/r?c=x&p=2"}));

        // Starting at the base address itself ends at once.
        const int before = int(server.requests.size());
        grab(server.root(), o);
        QCOMPARE(int(server.requests.size()), before);
    }

    void builtInSiteB()
    {
        // Site B: the next link's start marker is also the next page's address prefix.
        LocalHttpServer server([](const LocalHttpServer::Request& r) {
            if (r.target == "/b/r?p=1")
                return LocalHttpServer::page("<li><b>A</b></li><a href=\"/b/r?p=2\">Next</a>");
            if (r.target == "/b/r?p=2")
                return LocalHttpServer::page("<li><b>B</b></li>");
            return LocalHttpServer::status(404);
        });
        GrabRunner::Options o = options(SiteRules::BuiltInB);
        o.key.nextStart = "/b/r?";
        o.key.nextEnd = "\"";
        grab(server.url(QStringLiteral("/b/r?p=1")), o);
        QCOMPARE(names(*m_sheet), list({"A", "B"}));
    }

    void pageLimit()
    {
        int served = 0;
        LocalHttpServer server([&served](const LocalHttpServer::Request&) {
            ++served;
            return LocalHttpServer::page(resultPage({QStringLiteral("P%1").arg(served)},
                                                    "/r?p=" + QByteArray::number(served + 1)));
        });
        GrabRunner::Options o = options();
        o.maxPages = 3;
        const QString why = grab(server.url(QStringLiteral("/r?p=1")), o);
        QVERIFY2(why.contains(QLatin1String("limit")), qPrintable(why));
        QCOMPARE(names(*m_sheet), list({"P1", "P2", "P3"}));
    }

    void stopAfterTheNextKeptListing()
    {
        LocalHttpServer server([](const LocalHttpServer::Request& r) {
            if (r.target == "/r?p=1")
                return LocalHttpServer::page(resultPage({QStringLiteral("A"), QStringLiteral("B")}, "/r?p=2"));
            return LocalHttpServer::page(resultPage({QStringLiteral("C"), QStringLiteral("D")}, "/r?p=3"));
        });
        // Stop while page 2 is on its way: page 2's first listing is still written.
        connect(m_runner, &GrabRunner::pageStarted, this, [this](int page) {
            if (page == 1)
                m_runner->requestStop();
        });
        QCOMPARE(grab(server.url(QStringLiteral("/r?p=1")), options()), QStringLiteral("stopped"));
        QCOMPARE(names(*m_sheet), list({"A", "B", "C"}));
        QVERIFY(!m_runner->stopRequested());
        QVERIFY(!server.requests.contains(QStringLiteral("/r?p=3")));
    }

    void stopBetweenPages()
    {
        LocalHttpServer server([](const LocalHttpServer::Request& r) {
            if (r.target == "/r?p=1")
                return LocalHttpServer::page(resultPage({QStringLiteral("A")}, "/r?p=2"));
            // A page without listings never looks at the stop request itself.
            return LocalHttpServer::page(resultPage({}, "/r?p=3"));
        });
        connect(m_runner, &GrabRunner::pageStarted, this, [this](int page) {
            if (page == 1)
                m_runner->requestStop();
        });
        QCOMPARE(grab(server.url(QStringLiteral("/r?p=1")), options()), QStringLiteral("stopped"));
        QCOMPARE(names(*m_sheet), list({"A"}));
        QCOMPARE(server.requests, list({"/r?p=1", "/r?p=2"}));
    }

    void stateCarriedAcrossPages()
    {
        LocalHttpServer server([](const LocalHttpServer::Request& r) {
            if (r.target == "/r?p=1")
                return LocalHttpServer::page("<li><b>A</b><t>WA</t></li><a class=\"next\" href=\"/r?p=2\">");
            return LocalHttpServer::page("<li><b>B</b></li>");
        });
        grab(server.url(QStringLiteral("/r?p=1")), options());
        QCOMPARE(m_sheet->text(2, 3), QStringLiteral("WA"));
    }

    void beforeRowsRunsForEveryPage()
    {
        LocalHttpServer server([](const LocalHttpServer::Request& r) {
            if (r.target == "/r?p=1")
                return LocalHttpServer::page(resultPage({QStringLiteral("A")}, "/r?p=2"));
            return LocalHttpServer::page(resultPage({QStringLiteral("B")}));
        });
        m_sheet->setRows(5);
        m_sheet->setText(3, 0, QStringLiteral("typed"));
        int calls = 0;
        m_runner->beforeRows = [&calls, this] {
            if (calls++ == 0)
                m_sheet->setRows(1);
        };
        grab(server.url(QStringLiteral("/r?p=1")), options());
        QCOMPARE(calls, 2);
        QCOMPARE(names(*m_sheet), list({"A", "B"}));
    }

    void abandonedGrabDoesNothingMore()
    {
        LocalHttpServer server([](const LocalHttpServer::Request&) {
            LocalHttpServer::Response r = LocalHttpServer::page(resultPage({QStringLiteral("A")}));
            r.delayMs = 300;
            return r;
        });
        QSignalSpy finished(m_runner, &GrabRunner::finished);
        m_runner->start(server.url(QStringLiteral("/r")), options());
        m_runner->abandon();
        QTest::qWait(600);
        QCOMPARE(finished.size(), 0);
        QCOMPARE(m_sheet->rows(), 1);
    }
};

QTEST_GUILESS_MAIN(TestGrabRunner)
#include "TestGrabRunner.moc"

#include "LocalHttpServer.h"

#include "grab/GrabRunner.h"
#include "grab/HtmlDocument.h"
#include "grab/HtmlText.h"
#include "grab/KeyTable.h"
#include "grab/PageFetcher.h"
#include "grab/PageReader.h"
#include "grab/StructuredData.h"
#include "sheet/RecordSheet.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace quillon;

namespace {

using Row = QStringList; // name, street, city, state, zip, phone, web site, email

Row row(std::initializer_list<const char*> cells)
{
    Row r;
    for (const char* c : cells)
        r.append(QString::fromUtf8(c));
    return r;
}

const QByteArray kMicrodata = QByteArray("<!DOCTYPE html><html><body>\n"
        "<div itemscope itemtype=\"http://schema.org/ItemList\">\n"
        " <div itemprop=\"itemListElement\" itemscope itemtype=\"https://schema.org/Plumber\">\n"
        "  <h2 itemprop=\"name\">Ace &amp; Sons  Plumbing</h2>\n"
        "  <div itemprop=\"address\" itemscope itemtype=\"http://schema.org/PostalAddress\">\n"
        "   <span itemprop=\"streetAddress\">12 Main St</span>\n"
        "   <span itemprop=\"addressLocality\">Springfield</span>, <span itemprop=\"addressRegion\">IL</span>\n"
        "   <span itemprop=\"postalCode\">62701</span>\n"
        "  </div>\n"
        "  <a itemprop=\"telephone\" href=\"tel:+12175550101\">(217) 555-0101</a>\n"
        "  <a itemprop=\"url\" href=\"https://ace.example/\">Web site</a>\n"
        "  <a itemprop=\"email\" href=\"mailto:ace@example.com\">Write to us</a>\n"
        "  <div itemprop=\"founder\" itemscope itemtype=\"http://schema.org/Person\"><span itemprop=\"name\">Al Ace</span>\n"
        "   <span itemprop=\"telephone\">1</span></div>\n"
        " </div>\n"
        " <div itemprop=\"itemListElement\" itemscope itemtype=\"//schema.org/Dentist\" itemref=\"addr2\">\n"
        "  <span itemprop=\"name\">Bright Smiles</span>\n"
        "  <meta itemprop=\"telephone\" content=\"(217) 555-0102\">\n"
        " </div>\n"
        "</div>\n"
        "<p id=\"addr2\" itemprop=\"address\" itemscope itemtype=\"http://schema.org/PostalAddress\">\n"
        " <span itemprop=\"streetAddress\">9 Oak Ave</span></p>\n"
        "<div itemscope itemtype=\"http://schema.org/Person\"><span itemprop=\"givenName\">Carla</span>\n"
        " <span itemprop=\"familyName\">Diaz</span> <span itemprop=\"telephone\">555-0103</span></div>\n"
        "<div itemscope itemtype=\"http://schema.org/Product\"><span itemprop=\"name\">Wrench</span></div>\n"
        "<link rel=\"next\" href=\"/list?page=2&amp;x=1\">\n"
        "</body></html>");

const QByteArray kRdfa = QByteArray("<html><body vocab=\"http://schema.org/\">\n"
        "<div typeof=\"ItemList\">\n"
        " <div property=\"itemListElement\" typeof=\"LocalBusiness\">\n"
        "  <span property=\"name\">Delta Deli</span>\n"
        "  <div property=\"address\" typeof=\"PostalAddress\"><span property=\"streetAddress\">5 Elm St</span>\n"
        "   <span property=\"addressLocality\">Salem</span> <span property=\"addressRegion\">OR</span>\n"
        "   <span property=\"postalCode\">97301</span></div>\n"
        "  <span property=\"telephone\" content=\"+1-503-555-0104\">503 555 0104</span>\n"
        "  <a property=\"url\" href=\"http://deli.example/\">deli.example</a>\n"
        " </div>\n"
        " <div property=\"itemListElement\" typeof=\"schema:Restaurant\">\n"
        "  <span property=\"schema:name\">Elm Diner</span><span property=\"email\">eat@elm.example</span>\n"
        " </div>\n"
        "</div>\n"
        "<a rel=\"prev\" href=\"/p0\">Back</a> <a rel=\"nofollow next\" href=\"/p2\">More</a>\n"
        "</body></html>");

const QByteArray kJsonLd = QByteArray("<html><head>\n"
        "<script type=\"application/ld+json\">{\"@context\":\"https://schema.org\",\"@graph\":[{\"@type\":\"WebPage\",\"name\":\"Results\"},\n"
        " {\"@type\":\"ItemList\",\"itemListElement\":[\n"
        "  {\"@type\":\"ListItem\",\"position\":1,\"item\":{\"@type\":[\"LocalBusiness\",\"Store\"],\"name\":\"Echo Hardware\",\n"
        "    \"address\":\"1 Pine Rd, Bend, OR 97701\",\"telephone\":[\"541-555-0105\",\"541-555-0199\"]}},\n"
        "  {\"@type\":\"ListItem\",\"position\":2,\"item\":{\"@type\":\"http://schema.org/Organization\",\"name\":\"Fox &amp; Co\",\n"
        "    \"address\":{\"@type\":\"PostalAddress\",\"streetAddress\":[\"Suite 4\",\"7 Birch Ln\"],\"addressLocality\":\"Bend\",\n"
        "    \"addressRegion\":{\"@type\":\"State\",\"name\":\"OR\"},\"postalCode\":97702},\n"
        "    \"telephone\":\"541-555-0106\",\"email\":\"mailto:fox@example.com\",\n"
        "    \"founder\":{\"@type\":\"Person\",\"name\":\"Fran Fox\",\"telephone\":\"1\"}}}]}]}</script>\n"
        "<script type=\"application/ld+json\">[{\"@type\":\"Product\",\"name\":\"Drill\",\"review\":{\"@type\":\"Review\",\n"
        " \"author\":{\"@type\":\"Person\",\"name\":\"Gail\",\"telephone\":\"2\"}}},\n"
        " {\"@type\":\"Person\",\"givenName\":\"Hal\",\"familyName\":\"Ito\",\"telephone\":\"541-555-0107\"}]</script>\n"
        "</head><body><a href=\"/p2\" rel=\"next\">Next</a></body></html>");

Row rowOf(const StructuredData::Listing& l)
{
    Row r;
    for (const QByteArray& v : l.values)
        r.append(QString::fromUtf8(v));
    return r;
}

QByteArray savedPage(const QString& name)
{
    QFile file(QStringLiteral(QUILLON_FIXTURES_DIR "/directory-pages/") + name);
    return file.open(QIODevice::ReadOnly) ? HtmlText::pageToUtf8(file.readAll()) : QByteArray();
}

GrabKey structuredKey(int listings = 100)
{
    GrabKey key;
    key.kind = KeyKind::StructuredData;
    key.listingsPerPage = listings;
    return key;
}

} // namespace

/**
 * Structured-data keys: the listings a page describes as schema.org items, read
 * from JSON-LD, microdata and RDFa through an HTML5 document tree.
 */
class TestStructuredData : public QObject
{
    Q_OBJECT

private slots:
    void readsEachWay_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<int>("source");
        QTest::addColumn<QList<Row>>("rows");
        QTest::addColumn<QByteArray>("next");

        QTest::newRow("microdata: list, nested address, itemref, meta, links; no founder, no product")
            << kMicrodata << int(StructuredData::Source::Microdata)
            << QList<Row>{row({"Ace & Sons Plumbing", "12 Main St", "Springfield", "IL", "62701", "(217) 555-0101",
                           "https://ace.example/", "ace@example.com"}),
                          row({"Bright Smiles", "9 Oak Ave", "", "", "", "(217) 555-0102", "", ""}),
                          row({"Carla Diaz", "", "", "", "", "555-0103", "", ""})}
            << QByteArray("/list?page=2&amp;x=1");
        QTest::newRow("RDFa Lite: vocab, typeof, property, content, prefixed names")
            << kRdfa << int(StructuredData::Source::Rdfa)
            << QList<Row>{row({"Delta Deli", "5 Elm St", "Salem", "OR", "97301", "+1-503-555-0104", "http://deli.example/", ""}),
                          row({"Elm Diner", "", "", "", "", "", "", "eat@elm.example"})}
            << QByteArray("/p2");
        QTest::newRow("JSON-LD: @graph, ItemList, address as text, telephone list; no founder, no review author")
            << kJsonLd << int(StructuredData::Source::JsonLd)
            << QList<Row>{row({"Echo Hardware", "1 Pine Rd, Bend, OR 97701", "", "", "", "541-555-0105", "", ""}),
                          row({"Fox & Co", "Suite 4, 7 Birch Ln", "Bend", "OR", "97702", "541-555-0106", "",
                           "fox@example.com"}),
                          row({"Hal Ito", "", "", "", "", "541-555-0107", "", ""})}
            << QByteArray("/p2");
    }

    void readsEachWay()
    {
        QFETCH(QByteArray, page);
        QFETCH(int, source);
        QFETCH(QList<Row>, rows);
        QFETCH(QByteArray, next);

        const StructuredData::Reading reading = StructuredData::Read(page);
        QVERIFY2(reading.problems.isEmpty(), qPrintable(reading.problems.join(QLatin1Char('\n'))));
        QCOMPARE(int(reading.source), source);
        QCOMPARE(int(reading.listings.size()), rows.size());
        for (qsizetype i = 0; i < rows.size(); ++i)
            QCOMPARE(rowOf(reading.listings[size_t(i)]), rows[i]);
        QCOMPARE(reading.nextLink, next);
        QCOMPARE(PageNextLink(page, structuredKey()), next);
    }

    void localsearchPage()
    {
        // The saved page describes its 40 listings in JSON-LD; the expected records were
        // read from it with another HTML parser and JSON reader.
        const QByteArray page = savedPage(QStringLiteral("localsearch-au-1.html"));
        KeyTable expected;
        QVERIFY(expected.load(QStringLiteral(QUILLON_FIXTURES_DIR "/grab-expected/localsearch-au-1-schema.csv")));
        const KeyPreview preview = PreviewKey(page, structuredKey());
        QCOMPARE(preview.listings(), expected.rows() - 1);
        for (int r = 0; r < preview.listings(); ++r)
            for (int c = 0; c < 8; ++c) {
                // A listing without a state takes the one above, as every grab does.
                const QString want = c == 3 && expected.text(r + 1, c).isEmpty() && r > 0
                                       ? expected.text(r, c)
                                       : expected.text(r + 1, c);
                QCOMPARE(QString::fromUtf8(preview.rows.cellText(r, c)), want);
            }
        QCOMPARE(preview.nextLink, QByteArray("/find/plumber/bungalow-qld?page=2"));
    }

    void pageWithMoreThanOneWay()
    {
        // Two listings in microdata, one in JSON-LD: the way with the most is read.
        const QByteArray page = QByteArray("<script type=\"application/ld+json\">{\"@type\":\"Florist\",\"name\":\"Iris\"}</script>\n"
        "            <div itemscope itemtype=\"http://schema.org/Florist\"><b itemprop=\"name\">Iris</b></div>\n"
        "            <div itemscope itemtype=\"http://schema.org/Florist\"><b itemprop=\"name\">Juniper</b></div>");
        const StructuredData::Reading reading = StructuredData::Read(page);
        QCOMPARE(reading.source, StructuredData::Source::Microdata);
        QCOMPARE(reading.found[0], 1);
        QCOMPARE(reading.found[1], 2);
        QCOMPARE(reading.listings.size(), size_t(2));
    }

    void listingLoopRules()
    {
        const QByteArray page = QByteArray("<script type=\"application/ld+json\">[\n"
        "            {\"@type\":\"Bakery\",\"name\":\"Kai\",\"address\":{\"addressRegion\":\"WA\"}},\n"
        "            {\"@type\":\"Bakery\",\"telephone\":\"no name\"},\n"
        "            {\"@type\":\"Bakery\",\"name\":\"Lou\",\"telephone\":\"3\"},\n"
        "            {\"@type\":\"Bakery\",\"name\":\"Mo\",\"address\":{\"addressRegion\":\"ID\"}}]</script>");
        ParseContext context;
        context.sheetColumns = 10;
        context.hasRecordAbove = true;
        context.stateAbove = "OR";
        // A listing without a name is dropped; one without a state takes the one above.
        ParsedPage rows = ParsePage(page, structuredKey(), SiteRules::KeyOnly, context);
        QCOMPARE(rows.rowCount(), 3);
        QCOMPARE(rows.cellText(0, 3), QByteArrayView("WA"));
        QCOMPARE(rows.cellText(1, 0), QByteArrayView("Lou"));
        QCOMPARE(rows.cellText(1, 3), QByteArrayView("WA"));
        QCOMPARE(rows.cellText(2, 3), QByteArrayView("ID"));
        // N listings a page at most, the dropped one counted.
        rows = ParsePage(page, structuredKey(3), SiteRules::KeyOnly, context);
        QCOMPARE(rows.rowCount(), 2);
        // A stop request ends the page after its first kept listing.
        context.stopRequested = true;
        rows = ParsePage(page, structuredKey(), SiteRules::KeyOnly, context);
        QCOMPARE(rows.rowCount(), 1);
        QVERIFY(rows.stopped);
        // Columns the sheet does not have are left out.
        context.stopRequested = false;
        context.sheetColumns = 2;
        rows = ParsePage(page, structuredKey(), SiteRules::KeyOnly, context);
        QCOMPARE(rows.rowCount(), 3);
        QVERIFY(rows.cellText(0, 3).isEmpty());
    }

    void badInput_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<int>("listings");
        QTest::addColumn<QString>("problem");

        const QByteArray good = QByteArray("<script type=\"application/ld+json\">{\"@type\":\"Plumber\",\"name\":\"Kept\",\"telephone\":\"1\"}</script>");
        QTest::newRow("broken JSON-LD")
            << QByteArray("<script type=\"application/ld+json\">{\"@type\":\"Plumber\",\"name\":\"Lost\",</script>") + good << 1
            << "a JSON-LD block is not valid JSON";
        QTest::newRow("JSON-LD nested 10,000 deep")
            << QByteArray("<script type=\"application/ld+json\">") + QByteArray(10000, '[') + QByteArray(10000, ']')
                   + "</script>" + good
            << 1 << "a JSON-LD block is not valid JSON";
        QByteArray huge = QByteArray("<script type=\"application/ld+json\">[");
        for (int i = 0; i < 70000; ++i)
            huge += QByteArray("{\"@type\":\"Plumber\",\"name\":\"Plumber number ") + QByteArray::number(i) + QByteArray("\",\"telephone\":\"555\"},");
        huge += QByteArray("{}]</script>");
        QTest::newRow("JSON-LD larger than 4 MB") << huge + good << 1 << "larger than 4 MB";
        QTest::newRow("microdata whose itemrefs loop")
            << QByteArray("<div id=\"a\" itemref=\"b\"><span itemprop=\"telephone\">555-1</span></div>\n"
        "                <div id=\"b\" itemref=\"a\"><span itemprop=\"faxNumber\">555-2</span></div>\n"
        "                <div id=\"c\" itemscope itemtype=\"http://schema.org/Store\" itemref=\"a b c d\"><b itemprop=\"name\">Loop</b>\n"
        "                 <div id=\"d\" itemref=\"c\"></div></div>")
            << 1 << "";
        QTest::newRow("elements nested 200,000 deep")
            << QByteArray("<html><body>") + QByteArray(200000 * 5, 'x').replace("xxxxx", "<div>") + good << 0
            << "nest too deep";
        QTest::newRow("a page larger than 16 MB") << good + QByteArray(17 << 20, ' ') << 0 << "larger than 16 MB";
        QTest::newRow("no structured data") << QByteArray("<p>Plain page</p>") << 0 << "";
    }

    void badInput()
    {
        QFETCH(QByteArray, page);
        QFETCH(int, listings);
        QFETCH(QString, problem);

        const StructuredData::Reading reading = StructuredData::Read(page);
        QCOMPARE(int(reading.listings.size()), listings);
        if (problem.isEmpty())
            QVERIFY2(reading.problems.isEmpty(), qPrintable(reading.problems.join(QLatin1Char('\n'))));
        else
            QVERIFY2(reading.problems.join(QLatin1Char('\n')).contains(problem),
                     qPrintable(reading.problems.join(QLatin1Char('\n'))));
        // The preview of such a page says so too.
        const KeyPreview preview = PreviewKey(page, structuredKey());
        QCOMPARE(preview.listings(), listings);
        QVERIFY(!preview.notes.isEmpty());
    }

    void nestingBound_data()
    {
        QTest::addColumn<int>("depth");
        QTest::addColumn<bool>("read");
        QTest::newRow("1,000 deep is read") << 1000 << true;
        QTest::newRow("100,000 deep is not") << 100000 << false;
        QTest::newRow("200,000 unclosed <p> are siblings") << -200000 << true;
    }

    void nestingBound()
    {
        QFETCH(int, depth);
        QFETCH(bool, read);
        QByteArray page = "<html><body>";
        const QByteArray open = depth > 0 ? "<div>" : "<p>x";
        for (int i = 0; i < std::abs(depth); ++i)
            page += open;
        page += QByteArray("<span itemscope itemtype=\"http://schema.org/Store\"><b itemprop=\"name\">Deep</b></span>");
        const HtmlDocument document(page);
        QCOMPARE(document.isRead(), read);
        if (read)
            QCOMPARE(StructuredData::Read(document).listings.size(), size_t(1));
        else
            QVERIFY(!document.problem().isEmpty());
    }

    void grabsPageAfterPage()
    {
        // Page 1 in JSON-LD with a rel="next" link, page 2 in microdata without one.
        LocalHttpServer server([](const LocalHttpServer::Request& r) {
            if (r.target == "/find/florists")
                return LocalHttpServer::page(QByteArray("<html><head><link rel=\"next\" href=\"/find/florists?page=2\">\n"
        "                    <script type=\"application/ld+json\">{\"@type\":\"ItemList\",\"itemListElement\":[\n"
        "                    {\"@type\":\"ListItem\",\"item\":{\"@type\":\"Florist\",\"name\":\"Nora's\",\"address\":{\"addressRegion\":\"TX\"}}},\n"
        "                    {\"@type\":\"ListItem\",\"item\":{\"@type\":\"Florist\",\"name\":\"Otto &amp; Kim\"}}]}</script></head></html>"));
            if (r.target == "/find/florists?page=2")
                return LocalHttpServer::page(QByteArray("<div itemscope itemtype=\"http://schema.org/Florist\">\n"
        "                    <span itemprop=\"name\">Pia</span><span itemprop=\"telephone\">555-0199</span></div>"));
            return LocalHttpServer::status(404);
        });
        RecordSheet sheet;
        sheet.setCols(10);
        PageFetcher fetcher;
        GrabRunner runner(sheet, fetcher);
        GrabRunner::Options options;
        KeyTable table;
        structuredKey().toTable(table, QStringLiteral("a schema.org key"));
        options.key = GrabKey::fromTable(table);
        options.delayMs = 0;
        options.honourRobots = false; // robots.txt has tests of its own
        QSignalSpy finished(&runner, &GrabRunner::finished);
        runner.start(server.url(QStringLiteral("/find/florists")), options);
        QVERIFY(finished.wait(20000));
        QCOMPARE(finished.first().first().toString(), QStringLiteral("the last page has no next page"));
        QCOMPARE(server.requests, QStringList({QStringLiteral("/find/florists"), QStringLiteral("/find/florists?page=2")}));
        QCOMPARE(sheet.rows(), 4);
        QCOMPARE(sheet.text(1, 0), QStringLiteral("Nora's"));
        QCOMPARE(sheet.text(2, 0), QStringLiteral("Otto & Kim"));
        QCOMPARE(sheet.text(2, 3), QStringLiteral("TX"));
        QCOMPARE(sheet.text(3, 0), QStringLiteral("Pia"));
        QCOMPARE(sheet.text(3, 5), QStringLiteral("555-0199"));
        QCOMPARE(runner.listingCount(), 3);
    }

    void nextLinkMarkersWin()
    {
        // A structured-data key with next-link markers follows them, not rel="next".
        const QByteArray page = QByteArray("<link rel=\"next\" href=\"/wrong\"><a class=\"more\" href=\"/right?p=2\">More</a>\n"
        "            <script type=\"application/ld+json\">{\"@type\":\"Florist\",\"name\":\"Q\"}</script>");
        GrabKey key = structuredKey();
        key.nextStart = "<a class=\"more\" href=\"";
        key.nextEnd = "\"";
        QCOMPARE(PageNextLink(page, key), QByteArray("/right?p=2"));
        QCOMPARE(PageNextLink(page, structuredKey()), QByteArray("/wrong"));
    }
};

QTEST_GUILESS_MAIN(TestStructuredData)
#include "TestStructuredData.moc"

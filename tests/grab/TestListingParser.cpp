#include "grab/HtmlText.h"
#include "grab/KeyTable.h"
#include "grab/ListingParser.h"

#include <QTemporaryDir>
#include <QTest>

using namespace quillon;

Q_DECLARE_METATYPE(quillon::ParseContext)

namespace {

struct FieldDef
{
    int column;
    const char* start;
    const char* end;
};

GrabKey makeKey(int n, const char* listingStart, const char* listingEnd, std::initializer_list<FieldDef> fields)
{
    GrabKey key;
    key.listingsPerPage = n;
    key.listingStart = listingStart;
    key.listingEnd = listingEnd;
    for (const FieldDef& f : fields)
        key.fields.push_back({f.column, QByteArray(f.start), QByteArray(f.end)});
    key.lastField = int(key.fields.size()) - 1;
    return key;
}

/** The usual test key: name, street, city, state in <b>, <s>, <c>, <t>. */
GrabKey simpleKey(int n = 20)
{
    return makeKey(n, "<li>", "</li>",
                   {{0, "<b>", "</b>"}, {1, "<s>", "</s>"}, {2, "<c>", "</c>"}, {3, "<t>", "</t>"}});
}

/** Rows as "col0|col1|col2|col3" for easy comparison. */
QStringList texts(std::initializer_list<const char*> list)
{
    QStringList out;
    for (const char* t : list)
        out << QString::fromUtf8(t);
    return out;
}

QStringList rowsOf(const ParsedPage& page, int cols = 4)
{
    QStringList out;
    for (int r = 0; r < page.rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < cols; ++c)
            cells << QString::fromUtf8(page.cellText(r, c));
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

ParsedPage parse(const QByteArray& page, const GrabKey& key, SiteRules rules = SiteRules::KeyOnly,
                 ParseContext context = {})
{
    return ParseListings(page, key, rules, context);
}

} // namespace

class TestListingParser : public QObject
{
    Q_OBJECT

private slots:
    void listingsAndFields()
    {
        const QByteArray page = "<html><ul>"
                                "<li><b>Ace Hardware</b><s>1 Main St</s><c>Salem</c><t>OR</t></li>"
                                "<li><b>Bell Bakery</b><s>2 Oak Ave</s><c>Salem</c><t>MA</t></li>"
                                "</ul></html>";
        const ParsedPage parsed = parse(page, simpleKey());
        QCOMPARE(rowsOf(parsed), texts({"Ace Hardware|1 Main St|Salem|OR", "Bell Bakery|2 Oak Ave|Salem|MA"}));
        QVERIFY(!parsed.stopped);
    }

    void cases_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<int>("n");
        QTest::addColumn<ParseContext>("context");
        QTest::addColumn<QStringList>("rows");

        const ParseContext plain;
        ParseContext above;
        above.hasRecordAbove = true;
        above.stateAbove = "NV";

        QTest::newRow("missing name is not kept")
            << QByteArray("<li><s>1 Elm</s><t>OR</t></li><li><b>Kept</b><t>WA</t></li>") << 20 << plain
            << texts({"Kept|||WA"});
        QTest::newRow("empty name is not kept")
            << QByteArray("<li><b>  &nbsp; </b><t>OR</t></li><li><b>Kept</b><t>WA</t></li>") << 20 << plain
            << texts({"Kept|||WA"});
        QTest::newRow("state from the record above")
            << QByteArray("<li><b>A</b><t>OR</t></li><li><b>B</b></li><li><b>C</b></li>") << 20 << plain
            << texts({"A|||OR", "B|||OR", "C|||OR"});
        QTest::newRow("first record of an empty sheet keeps no state")
            << QByteArray("<li><b>A</b></li><li><b>B</b><t>ID</t></li>") << 20 << plain
            << texts({"A|||", "B|||ID"});
        QTest::newRow("state from the sheet's last record")
            << QByteArray("<li><b>A</b></li>") << 20 << above << texts({"A|||NV"});
        QTest::newRow("dropped listing does not pass on its state")
            << QByteArray("<li><b>A</b><t>OR</t></li><li><t>XX</t></li><li><b>C</b></li>") << 20 << plain
            << texts({"A|||OR", "C|||OR"});
        QTest::newRow("missing start marker leaves the block")
            << QByteArray("<li><b>A</b><c>Bend</c><t>OR</t></li>") << 20 << plain << texts({"A||Bend|OR"});
        QTest::newRow("N limits the listings")
            << QByteArray("<li><b>A</b></li><li><b>B</b></li><li><b>C</b></li>") << 2 << plain
            << texts({"A|||", "B|||"});
        QTest::newRow("N = 0 reads nothing")
            << QByteArray("<li><b>A</b></li><li><b>B</b></li>") << 0 << plain << QStringList{};
        QTest::newRow("no listing start marker on the page")
            << QByteArray("<html><body>No results</body></html>") << 20 << plain << QStringList{};
        QTest::newRow("page of four characters")
            << QByteArray("<li>") << 20 << plain << QStringList{};
        QTest::newRow("page of four accented characters")
            << QByteArray("\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9") << 20 << plain << QStringList{};
        QTest::newRow("values decoded and trimmed")
            << QByteArray("<li><b>\n  T &amp; G Grocery&nbsp;</b><s> 12&nbsp;Main St\r\n</s>"
                          "<c>Caf&eacute; &#8220;Ville&#x201D;</c><t>&#79;R </t></li>")
            << 20 << plain << texts({"T & G Grocery|12\u00a0Main St|Caf\u00e9 \u201cVille\u201d|OR"});
        QTest::newRow("line breaks inside a value stay")
            << QByteArray("<li><b>A</b><s>Suite 5\n12 Elm</s></li>") << 20 << plain << texts({"A|Suite 5\n12 Elm||"});
        QTest::newRow("tags inside a value stay")
            << QByteArray("<li><b><i>A</i></b></li>") << 20 << plain << texts({"<i>A</i>|||"});
        QTest::newRow("a navigation list closing like a listing")
            << QByteArray("<nav><a>Home</li><a>Help</li></nav><li><b>A</b></li><li><b>B</b></li>") << 20
            << plain << texts({"A|||", "B|||"});
    }

    void cases()
    {
        QFETCH(QByteArray, page);
        QFETCH(int, n);
        QFETCH(ParseContext, context);
        QFETCH(QStringList, rows);
        QCOMPARE(rowsOf(parse(page, simpleKey(n), SiteRules::KeyOnly, context)), rows);
    }

    void listingMarkers_data()
    {
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<QByteArray>("end");
        QTest::addColumn<QStringList>("rows");
        const QByteArray page = "<p>intro</p><hr><b>A</b><hr><b>B</b><hr><b>C</b>";
        QTest::newRow("same start and end marker") << QByteArray("<hr>") << QByteArray("<hr>")
                                                   << texts({"A|||", "B|||", "C|||"});
        QTest::newRow("start marker only") << QByteArray("<hr>") << QByteArray()
                                           << texts({"A|||", "B|||", "C|||"});
        QTest::newRow("end marker only") << QByteArray() << QByteArray("<hr>")
                                         << texts({"A|||", "B|||"});
        QTest::newRow("no markers: one listing") << QByteArray() << QByteArray() << texts({"A|||"});
    }

    void listingMarkers()
    {
        QFETCH(QByteArray, start);
        QFETCH(QByteArray, end);
        QFETCH(QStringList, rows);
        const QByteArray page = "<p>intro</p><hr><b>A</b><hr><b>B</b><hr><b>C</b>";
        GrabKey key = simpleKey();
        key.listingStart = start;
        key.listingEnd = end;
        QCOMPARE(rowsOf(parse(page, key)), rows);
    }

    void fieldZeroOnly()
    {
        GrabKey key = simpleKey();
        key.lastField = 0;
        const ParsedPage parsed = parse("<li><b>A</b><s>1 Elm</s><t>OR</t></li>", key);
        QCOMPARE(rowsOf(parsed), texts({"A|||"}));
    }

    void fieldOneRules_data()
    {
        QTest::addColumn<int>("rules");
        QTest::addColumn<QByteArray>("listing");
        QTest::addColumn<QString>("row");

        // Street cut from <p> to the first line break; city from <c>.
        const QByteArray tagged = "<li><b>A</b><p><i>Bldg</i><BR>9 Elm</p><br><c>Bend</c></li>";
        const QByteArray noBreak = "<li><b>A</b><p><i>Bldg</i> 9 Elm</p><br><c>Bend</c></li>";
        const QByteArray plainStreet = "<li><b>A</b><p>9 Elm<br><c>Bend</c></li>";
        // Built-in site A: the street cut ran into the next element; the block goes on
        // after the first </div>, so the city inside the overrun is skipped.
        const QByteArray overrun = "<li><b>A</b><p><c>Old</c></div><br><c>Bend</c></li>";

        QTest::newRow("other site, value after <BR>") << int(SiteRules::KeyOnly) << tagged << "A|9 Elm</p>|Bend";
        QTest::newRow("other site, no <BR>: written empty") << int(SiteRules::KeyOnly) << noBreak << "A||Bend";
        QTest::newRow("other site, plain value") << int(SiteRules::KeyOnly) << plainStreet << "A|9 Elm|Bend";
        QTest::newRow("site A, plain value") << int(SiteRules::BuiltInA) << plainStreet << "A|9 Elm|Bend";
        QTest::newRow("site A, overrun value empties and moves on") << int(SiteRules::BuiltInA) << overrun << "A||Bend";
        QTest::newRow("other site, overrun value") << int(SiteRules::KeyOnly) << overrun << "A||Old";
    }

    void fieldOneRules()
    {
        QFETCH(int, rules);
        QFETCH(QByteArray, listing);
        QFETCH(QString, row);
        const GrabKey key = makeKey(5, "<li>", "</li>", {{0, "<b>", "</b>"}, {1, "<p>", "<br>"}, {2, "<c>", "</c>"}});
        QCOMPARE(rowsOf(parse(listing, key, SiteRules(rules)), 3), QStringList{row});
    }

    void siteAPrefixesTheBlock()
    {
        // After site A's rule the block starts with a line feed and two blanks.
        const GrabKey key = makeKey(5, "<li>", "</li>", {{0, "<b>", "</b>"}, {1, "<p>", "<br>"}, {2, "\n  ", "<"}});
        const ParsedPage parsed = parse("<li><b>A</b><p></div>Bend<br></li>", key, SiteRules::BuiltInA);
        QCOMPARE(rowsOf(parsed, 3), texts({"A||Bend"}));
    }

    void columnsAndOverwrites()
    {
        // Two fields into one column: the later value replaces the earlier; a field for
        // a column the sheet does not have is dropped.
        const GrabKey key = makeKey(5, "<li>", "</li>", {{0, "<b>", "</b>"}, {2, "<c>", "</c>"}, {2, "<z>", "</z>"},
                                                         {12, "<b>", "</b>"}, {-1, "<b>", "</b>"}});
        ParseContext context;
        context.sheetColumns = 10;
        const ParsedPage parsed = parse("<li><b>A</b><c>Bend</c><z>Sisters</z></li><li><b>B</b><c>Burns</c></li>", key,
                                        SiteRules::KeyOnly, context);
        QCOMPARE(rowsOf(parsed, 3), texts({"A||Sisters", "B||Burns"}));
        for (const ParsedPage::Cell& cell : parsed.cells)
            QVERIFY(cell.column >= 0 && cell.column < 10);
    }

    void fieldEndMarkerMovesTheBlock()
    {
        // A value cut, the next field is looked for after this field's end marker.
        const GrabKey key = makeKey(5, "<li>", "</li>", {{0, "<span>", "</span>"}, {2, "<span>", "</span>"}});
        QCOMPARE(rowsOf(parse("<li><span>A</span><span>Bend</span></li>", key), 3), texts({"A||Bend"}));
    }

    void stopAfterFirstKeptListing()
    {
        ParseContext context;
        context.stopRequested = true;
        const ParsedPage parsed = parse("<li><s>no name</s></li><li><b>A</b></li><li><b>B</b></li>", simpleKey(),
                                        SiteRules::KeyOnly, context);
        QCOMPARE(rowsOf(parsed), texts({"A|||"}));
        QVERIFY(parsed.stopped);

        const ParsedPage none = parse("<li><s>no name</s></li>", simpleKey(), SiteRules::KeyOnly, context);
        QCOMPARE(none.rowCount(), 0);
        QVERIFY(!none.stopped);
    }

    void manyListingsInOnePage()
    {
        QByteArray page = "<nav><li>skip</li></nav>";
        for (int i = 0; i < 4000; ++i)
            page += "<li><b>Name " + QByteArray::number(i) + "</b><t>S" + QByteArray::number(i % 7) + "</t></li>";
        const ParsedPage parsed = parse(page, simpleKey(5000));
        QCOMPARE(parsed.rowCount(), 4000);
        QCOMPARE(parsed.cellText(0, 0), QByteArrayView("Name 0"));
        QCOMPARE(parsed.cellText(3999, 0), QByteArrayView("Name 3999"));
        QCOMPARE(parsed.cellText(3999, 3), QByteArrayView("S2"));
    }

    void nextLink_data()
    {
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<QByteArray>("end");
        QTest::addColumn<QByteArray>("link");
        QTest::newRow("found") << QByteArray("<a class=\"next\" href=\"") << QByteArray("\"")
                               << QByteArray("/r?page=2&amp;q=x");
        QTest::newRow("no markers means no link") << QByteArray() << QByteArray() << QByteArray();
        QTest::newRow("not on the page") << QByteArray("<a rel=\"next\" href=\"") << QByteArray("\"") << QByteArray();
    }

    void nextLink()
    {
        QFETCH(QByteArray, start);
        QFETCH(QByteArray, end);
        QFETCH(QByteArray, link);
        GrabKey key;
        key.nextStart = start;
        key.nextEnd = end;
        const QByteArray page = "<p><a class=\"next\" href=\"/r?page=2&amp;q=x\">Next</a></p>";
        QCOMPARE(NextLink(page, key).toByteArray(), link);
    }

    void keyFromTable()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("key.csv"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        // Rows 0..20; quoted cells carry commas, quotes and a line break.
        QByteArray csv;
        csv += "Key,,,,,,,,\n";
        csv += ",,25,,\"/results?cat=\",,1,,1\n";
        csv += "\n\n\n";
        csv += ",,\"<li class=\"\"l\"\">\",,,</li>\n";
        csv += ",0,<b>,,,</b>\n";
        csv += ",1,\"<p>\n\",,,\"</p>, \"\n";
        for (int r = 8; r < 14; ++r)
            csv += "\n";
        csv += ",,of ,total,\n";
        csv += ",,\"<a class=\"\"next\"\" href=\"\"\",,\n";
        csv += ",,\"\"\"\"\n";
        csv += "\n";
        csv += ",,<em>,</em>\n";
        csv += ",,&city=\n";
        csv += ",,&state=\n";
        file.write(csv);
        file.close();

        KeyTable table;
        QString error;
        QVERIFY2(table.load(path, &error), qPrintable(error));
        QCOMPARE(table.rows(), 21);
        QCOMPARE(table.text(99, 99), QString());
        QCOMPARE(table.number(99, 99), 0.0);

        const GrabKey key = GrabKey::fromTable(table);
        QCOMPARE(key.listingsPerPage, 25);
        QCOMPARE(key.lastField, 1);
        QCOMPARE(key.listingStart, QByteArray("<li class=\"l\">"));
        QCOMPARE(key.listingEnd, QByteArray("</li>"));
        QCOMPARE(int(key.fields.size()), 2);
        QCOMPARE(key.fields[1].column, 1);
        QCOMPARE(key.fields[1].start, QByteArray("<p>\n"));
        QCOMPARE(key.fields[1].end, QByteArray("</p>, "));
        QCOMPARE(key.nextStart, QByteArray("<a class=\"next\" href=\""));
        QCOMPARE(key.nextEnd, QByteArray("\""));
        QCOMPARE(key.listingPageMarker, QStringLiteral("/results?cat="));
        QVERIFY(key.readCount);
        QCOMPARE(key.countStart, QStringLiteral("<em>"));
        QCOMPARE(key.countEnd, QStringLiteral("</em>"));
        QCOMPARE(key.countStart2, QStringLiteral("of "));
        QCOMPARE(key.countEnd2, QStringLiteral("total"));
        QCOMPARE(key.cityMarker, QStringLiteral("&city="));
        QCOMPARE(key.stateMarker, QStringLiteral("&state="));
    }

    void keyFromDamagedTable()
    {
        KeyTable table;
        table.setText(1, 2, QStringLiteral("lots"));
        table.setText(1, 6, QStringLiteral("100000"));
        table.setText(6, 1, QStringLiteral("-4"));
        const GrabKey key = GrabKey::fromTable(table);
        QCOMPARE(key.listingsPerPage, 0);
        QCOMPARE(key.lastField, GrabKey::kMaxFields - 1);
        QCOMPARE(key.fields[0].column, -1);

        KeyTable missing;
        QString error;
        QVERIFY(!missing.load(QStringLiteral("/nonexistent/key.csv"), &error));
        QVERIFY(!error.isEmpty());
    }

    void numericValue_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("plain") << "97" << 97.0;
        QTest::newRow("blanks around") << "  495 " << 495.0;
        QTest::newRow("thousands") << "1,234,567" << 1234567.0;
        QTest::newRow("bad grouping") << "1,23" << 0.0;
        QTest::newRow("leading comma") << ",123" << 0.0;
        QTest::newRow("negative") << "-5" << -5.0;
        QTest::newRow("fraction") << "2.5" << 2.5;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("word") << "many" << 0.0;
        QTest::newRow("number then word") << "12 results" << 0.0;
        QTest::newRow("arabic-indic digits") << "\u0661\u0662" << 0.0;
    }

    void numericValue()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(NumericValue(text), value);
    }
};

QTEST_GUILESS_MAIN(TestListingParser)
#include "TestListingParser.moc"

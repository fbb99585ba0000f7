#include "files/GridFile.h"
#include "grab/HtmlText.h"
#include "grab/KeyLearner.h"
#include "grab/KeyTable.h"
#include "grab/PageReader.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;

namespace {

QByteArray savedPage(const QString& name)
{
    QFile file(QStringLiteral(QUILLON_FIXTURES_DIR "/directory-pages/") + name);
    return file.open(QIODevice::ReadOnly) ? HtmlText::pageToUtf8(file.readAll()) : QByteArray();
}

/** A result page of @p count listings, each a card with a name and a phone. */
QByteArray cards(int count, const std::function<QByteArray(int)>& name = {})
{
    QByteArray page = "<html><head><title>Results</title></head><body><h1>Shops near you</h1><div id=\"results\">\n";
    for (int i = 0; i < count; ++i) {
        page += "<div class=\"card\"><h2 class=\"name\">" + (name ? name(i) : "Shop " + QByteArray::number(i))
              + "</h2><p class=\"street\">" + QByteArray::number(10 + i) + " Main St</p><span class=\"tel\">(555) 01"
              + QByteArray::number(1000 + i) + "</span></div>\n";
    }
    return page + "</div><a rel=\"next\" href=\"/results?page=2\">Next</a></body></html>";
}

KeyLearner::Example example(const QStringList& pairs)
{
    KeyLearner::Example e;
    for (const QString& p : pairs) {
        const qsizetype eq = p.indexOf(QLatin1Char('='));
        e.insert(KeyLearner::columnOf(QStringView(p).first(eq)), p.mid(eq + 1));
    }
    return e;
}

QString cell(const ParsedPage& rows, int row, int column)
{
    return QString::fromUtf8(rows.cellText(row, column));
}

} // namespace

/**
 * Learning a key from one listing: the values of one listing of a saved result page
 * give a key that, run by the grab's own parser, cuts every listing of that page as
 * its expected records say (read from the page's document tree, not by a key).
 */
class TestKeyLearner : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void learnsFromOneListing_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<int>("listing");

        QTest::newRow("Yellow Pages US 2017, first listing") << "yellowpages-1.html" << 0;
        QTest::newRow("Yellow Pages US 2017, eleventh listing") << "yellowpages-1.html" << 10;
        QTest::newRow("Yellow Pages US 2018, first listing") << "yellowpages-2.html" << 0;
        QTest::newRow("Yellow Pages US 2018, second listing") << "yellowpages-2.html" << 1;
        QTest::newRow("Yellow Pages Australia, first listing") << "yellowpages-au-1.html" << 0;
        QTest::newRow("Yellow Pages Australia, eighth listing") << "yellowpages-au-1.html" << 7;
        QTest::newRow("Localsearch Australia, first listing") << "localsearch-au-1.html" << 0;
        QTest::newRow("Localsearch Australia, fourth listing") << "localsearch-au-1.html" << 3;
    }

    void learnsFromOneListing()
    {
        QFETCH(QString, page);
        QFETCH(int, listing);

        const QByteArray text = savedPage(page);
        QVERIFY(!text.isEmpty());
        KeyTable expected;
        QString error;
        QVERIFY2(expected.load(QStringLiteral(QUILLON_FIXTURES_DIR "/grab-expected/")
                                   + QString(page).replace(QStringLiteral(".html"), QStringLiteral(".csv")),
                               &error),
                 qPrintable(error));

        // The listing's values as a user reads them off the page: every default field it has.
        KeyLearner::Example values;
        for (int c = 0; c < 8; ++c)
            if (!expected.text(listing + 1, c).isEmpty())
                values.insert(c, expected.text(listing + 1, c));
        QVERIFY(values.contains(0));
        QVERIFY(values.contains(5));

        KeyLearner learner(text);
        const KeyLearner::Result result = learner.learn(values);
        QVERIFY2(result.ok(), qPrintable(result.problems.join(QLatin1Char('\n'))));
        const KeyLearner::Proposal& best = result.proposals.front();

        // What the key cuts, by the parser itself, is every listing of the page.
        const KeyPreview preview = PreviewKey(text, best.key);
        QCOMPARE(preview.listings(), expected.rows() - 1);
        for (int r = 0; r < preview.listings(); ++r)
            for (auto it = values.begin(); it != values.end(); ++it)
                QCOMPARE(cell(preview.rows, r, it.key()), expected.text(r + 1, it.key()));

        // The proposal says what it cuts: the same rows as the parser.
        QCOMPARE(best.preview.listings(), preview.listings());
        QCOMPARE(best.preview.columnCounts, preview.columnCounts);
        // Each learned field is offered with what it cut.
        for (auto it = values.begin(); it != values.end(); ++it) {
            QVERIFY(result.fields.contains(it.key()));
            QVERIFY(!result.fields[it.key()].empty());
            QVERIFY(result.fields[it.key()].front().listings >= 1);
        }
    }

    void valuesAreFoundAsThePageShowsThem()
    {
        // References decoded, white space collapsed: "García" finds "Garc&#237;a", a name
        // broken over lines is one name.
        const QByteArray page = "<ul>\n"
                                "<li><b class=\"n\">Garc&#237;a &amp; Hijos</b> <i class=\"t\">555-0101</i></li>\n"
                                "<li><b class=\"n\">\n      Smith\n      &nbsp;Hardware\n   </b> <i class=\"t\">555-0102</i></li>\n"
                                "<li><b class=\"n\">Caf\xc3\xa9 M&uuml;ller</b> <i class=\"t\">555-0103</i></li>\n"
                                "</ul>";
        KeyLearner learner(page);
        const auto places = learner.find(QStringLiteral("García & Hijos"));
        QCOMPARE(places.size(), size_t(1));
        QCOMPARE(QByteArrayView(page).sliced(places[0].first, places[0].second - places[0].first),
                 QByteArrayView("Garc&#237;a &amp; Hijos"));
        QCOMPARE(learner.find(QStringLiteral("Smith Hardware")).size(), size_t(1));

        for (const QString& name : {QStringLiteral("García & Hijos"), QStringLiteral("Smith Hardware")}) {
            const KeyLearner::Result result = learner.learn(example({QStringLiteral("Name=") + name}));
            QVERIFY2(result.ok(), qPrintable(result.problems.join(QLatin1Char('\n'))));
            const KeyPreview preview = PreviewKey(page, result.proposals.front().key);
            QCOMPARE(preview.listings(), 3);
            QCOMPARE(cell(preview.rows, 0, 0), QStringLiteral("García & Hijos"));
            // Values are written as cut: trimmed, not collapsed.
            QCOMPARE(cell(preview.rows, 1, 0), QStringLiteral("Smith\n      \u00a0Hardware"));
            QCOMPARE(cell(preview.rows, 2, 0), QStringLiteral("Café Müller"));
        }
    }

    void cannotLearn_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<bool>("learned");
        QTest::addColumn<QString>("problem");

        const QByteArray shops = cards(20);
        QTest::newRow("no name given") << shops << QStringList{QStringLiteral("Phone=(555) 011005")} << false
                                       << "give the name of one listing";
        QTest::newRow("name found nowhere") << shops << QStringList{QStringLiteral("Name=Nobody Here")} << false
                                            << "the name \"Nobody Here\" is not on the page";
        QTest::newRow("name found in every listing, as part of each")
            << cards(20, [](int i) { return "Shop " + QByteArray::number(i) + " &amp; Sons"; })
            << QStringList{QStringLiteral("Name=& Sons")} << false << "is only part of a text on the page";
        QTest::newRow("name the same in every listing")
            << cards(20, [](int) { return QByteArray("Corner Shop"); }) << QStringList{QStringLiteral("Name=Corner Shop")}
            << false << "the same in every listing";
        QTest::newRow("the only listing of its kind")
            << QByteArray("<html><body><h1>Only Shop</h1><p>555-1234</p></body></html>")
            << QStringList{QStringLiteral("Name=Only Shop")} << false << "no two listings share a pattern around the name";
        QTest::newRow("phone found nowhere")
            << shops << QStringList{QStringLiteral("Name=Shop 4"), QStringLiteral("Phone=(555) 999-9999")} << true
            << "the phone \"(555) 999-9999\" is not on the page";
        QByteArray odd = cards(20);
        odd.replace("<span class=\"tel\">(555) 011004</span>", "<blink>tel (555) 011004</blink>");
        QTest::newRow("no two listings share a pattern around the phone")
            << odd << QStringList{QStringLiteral("Name=Shop 4"), QStringLiteral("Phone=(555) 011004")} << true
            << "no two listings share a pattern around the phone";
        QTest::newRow("a value longer than any field")
            << shops << QStringList{QStringLiteral("Name=Shop 4"), QStringLiteral("Street=") + QString(2000, u'x')}
            << true << "longer than 1000 bytes";
    }

    void cannotLearn()
    {
        QFETCH(QByteArray, page);
        QFETCH(QStringList, values);
        QFETCH(bool, learned);
        QFETCH(QString, problem);

        KeyLearner learner(page);
        const KeyLearner::Result result = learner.learn(example(values));
        QCOMPARE(result.ok(), learned);
        QVERIFY2(result.problems.join(QLatin1Char('\n')).contains(problem),
                 qPrintable(result.problems.join(QLatin1Char('\n'))));
        if (learned) {
            // What could be learned is: the name of every listing.
            const KeyPreview preview = PreviewKey(page, result.proposals.front().key);
            QCOMPARE(preview.listings(), 20);
            QCOMPARE(cell(preview.rows, 19, 0), QStringLiteral("Shop 19"));
        }
    }

    void largePages_data()
    {
        QTest::addColumn<int>("listings");
        QTest::addColumn<qsizetype>("filler");
        QTest::newRow("10,000 listings") << 10000 << qsizetype(0);
        QTest::newRow("16 MB") << 200 << qsizetype(15'500'000);
    }

    void largePages()
    {
        QFETCH(int, listings);
        QFETCH(qsizetype, filler);
        QByteArray page = cards(listings);
        if (filler)
            page.insert(page.indexOf("</body>"), "<!-- " + QByteArray(filler, 'x') + " -->");
        KeyLearner learner(page);
        const KeyLearner::Result result = learner.learn(
            example({QStringLiteral("Name=Shop 7"), QStringLiteral("Phone=(555) 011007")}));
        QVERIFY2(result.ok(), qPrintable(result.problems.join(QLatin1Char('\n'))));
        const KeyPreview preview = PreviewKey(page, result.proposals.front().key);
        QCOMPARE(preview.listings(), listings);
        QCOMPARE(cell(preview.rows, listings - 1, 0), QStringLiteral("Shop %1").arg(listings - 1));
        QCOMPARE(cell(preview.rows, listings - 1, 5), QStringLiteral("(555) 01%1").arg(1000 + listings - 1));
        QCOMPARE(preview.nextLink, QByteArray("/results?page=2"));
    }

    void windows1252Page()
    {
        // No char set named: the bytes are not UTF-8, so they are Windows-1252.
        QByteArray bytes = "<html><body>";
        for (int i = 0; i < 12; ++i)
            bytes += "<div class=\"c\"><b class=\"n\">Caf\xe9 " + QByteArray::number(i)
                   + " Garc\xed" "a</b><i class=\"t\">555-01" + QByteArray::number(10 + i) + "</i></div>";
        bytes += "</body></html>";
        const QByteArray page = HtmlText::pageToUtf8(bytes);
        KeyLearner learner(page);
        const KeyLearner::Result result =
            learner.learn(example({QStringLiteral("Name=Café 3 García"), QStringLiteral("Phone=555-0113")}));
        QVERIFY2(result.ok(), qPrintable(result.problems.join(QLatin1Char('\n'))));
        const KeyPreview preview = PreviewKey(page, result.proposals.front().key);
        QCOMPARE(preview.listings(), 12);
        QCOMPARE(cell(preview.rows, 11, 0), QStringLiteral("Café 11 García"));
        QCOMPARE(cell(preview.rows, 11, 5), QStringLiteral("555-0121"));
    }

    void keyFileRoundTrip_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("comma text") << "key.csv";
        QTest::newRow("native") << "key.bin";
    }

    void keyFileRoundTrip()
    {
        QFETCH(QString, file);
        GrabKey key;
        key.listingsPerPage = 120;
        key.listingStart = "<div class=\"card\" data-x='1'>";
        key.listingEnd = "</div>\r\n  <!-- end -->";
        key.fields = {{0, "", "</h2>"}, {2, ", ", ", "}, {3, "", " "}, {5, "href=\"tel:", "\""}, {-1, "", "skip"}};
        key.lastField = 4;
        key.nextStart = "<a rel=\"next\" href=\"";
        key.nextEnd = "\"";
        key.listingPageMarker = QStringLiteral("clue=");
        key.countStart = QStringLiteral("\"total\":");
        key.countEnd = QStringLiteral(",");
        key.readCount = true;
        KeyTable table;
        key.toTable(table, QStringLiteral("made in a test, \"quoted\""));
        const QString path = m_dir.filePath(file);
        QString error;
        QVERIFY2(SaveGrid(path, gridFormatForPath(path) == FormatComma ? FormatComma : FormatNative, table.sheet(),
                          &error),
                 qPrintable(error));
        KeyTable loaded;
        QVERIFY2(loaded.load(path, &error), qPrintable(error));
        const GrabKey back = GrabKey::fromTable(loaded);
        QCOMPARE(back.kind, KeyKind::Markers);
        QCOMPARE(back.listingsPerPage, 120);
        QCOMPARE(back.listingStart, key.listingStart);
        QCOMPARE(back.listingEnd, key.listingEnd);
        QCOMPARE(back.lastField, 4);
        for (size_t j = 0; j < key.fields.size(); ++j) {
            QCOMPARE(back.fields[j].column, key.fields[j].column);
            QCOMPARE(back.fields[j].start, key.fields[j].start);
            QCOMPARE(back.fields[j].end, key.fields[j].end);
        }
        QCOMPARE(back.nextStart, key.nextStart);
        QCOMPARE(back.nextEnd, key.nextEnd);
        QCOMPARE(back.listingPageMarker, key.listingPageMarker);
        QCOMPARE(back.readCount, true);
        QCOMPARE(back.countStart, key.countStart);
        QCOMPARE(loaded.text(0, 0), QStringLiteral("made in a test, \"quoted\""));

        // A structured-data key says so in cell 2,2.
        GrabKey structured;
        structured.kind = KeyKind::StructuredData;
        structured.listingsPerPage = 100;
        KeyTable t2;
        structured.toTable(t2, QString());
        QCOMPARE(t2.text(2, 2), QStringLiteral("schema.org"));
        QCOMPARE(GrabKey::fromTable(t2).kind, KeyKind::StructuredData);
    }

    void fieldsReachingTheNextLinkRows()
    {
        // F = 12: fields 9 to 12 are rows 15 to 18, where the next-link markers are.
        KeyTable table;
        table.setText(1, 2, QStringLiteral("50"));
        table.setText(1, 6, QStringLiteral("12"));
        table.setText(5, 2, QStringLiteral("<div class=\"card\">"));
        table.setText(5, 5, QStringLiteral("</div>"));
        table.setText(6, 1, QStringLiteral("0"));
        table.setText(6, 2, QStringLiteral("<h2 class=\"name\">"));
        table.setText(6, 5, QStringLiteral("</h2>"));
        // Fields 1 to 12 go to a column the sheet does not have; 9 and 10 read the next-link markers.
        for (int row = 7; row <= 18; ++row)
            table.setText(row, 1, QStringLiteral("99"));
        table.setText(15, 2, QStringLiteral("<a rel=\"next\" href=\""));
        table.setText(16, 2, QStringLiteral("\""));
        const GrabKey key = GrabKey::fromTable(table);
        QCOMPARE(key.lastField, 12);
        const QByteArray page = cards(30);
        const KeyPreview preview = PreviewKey(page, key);
        QVERIFY2(preview.notes.join(QLatin1Char('\n')).contains(QLatin1String("rows 15 and 16")),
                 qPrintable(preview.notes.join(QLatin1Char('\n'))));
        // The key still reads what it reads: N listings, their names.
        QCOMPARE(preview.listings(), 30);
        QCOMPARE(cell(preview.rows, 0, 0), QStringLiteral("Shop 0"));
    }
};

QTEST_GUILESS_MAIN(TestKeyLearner)
#include "TestKeyLearner.moc"

#include "files/GridFile.h"
#include "grab/KeyTable.h"
#include "grab/KeyWorkshop.h"
#include "grab/SiteCatalog.h"
#include "grab/UserSites.h"
#include "shell/AppPaths.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace quillon;

namespace {

/** A result page of @p count cards with a name, a street and a phone; the cards
 *  numbered in @p noPhone have no phone. */
QByteArray cards(int count, const QList<int>& noPhone = {}, bool next = true)
{
    QByteArray page = "<html><body><h1>Shops</h1><p>Found <b>" + QByteArray::number(count)
                    + "</b> shops</p><div id=\"results\">\n";
    for (int i = 0; i < count; ++i) {
        page += "<div class=\"card\"><h2 class=\"name\">Shop " + QByteArray::number(i) + "</h2><p class=\"street\">"
              + QByteArray::number(10 + i) + " Main St</p>";
        if (!noPhone.contains(i))
            page += "<span class=\"tel\">(555) 01" + QByteArray::number(1000 + i) + "</span>";
        page += "</div>\n";
    }
    page += "</div>";
    if (next)
        page += "<a class=\"next\" href=\"/results?page=2\">Next</a>";
    return page + "</body></html>";
}

/** The key a person would write for cards(): name, street and phone. */
GrabKey cardsKey()
{
    GrabKey key;
    key.listingsPerPage = 50;
    key.listingStart = "<div class=\"card\">";
    key.listingEnd = "</div>";
    key.fields = {{0, "<h2 class=\"name\">", "</h2>"},
                  {1, "<p class=\"street\">", "</p>"},
                  {5, "<span class=\"tel\">", "</span>"}};
    key.lastField = 2;
    key.nextStart = "<a class=\"next\" href=\"";
    key.nextEnd = "\"";
    key.listingPageMarker = QStringLiteral("/results?");
    key.cityMarker = QStringLiteral("city=");
    return key;
}

QByteArray fileHash(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

/** Every file of @p folder with its hash, to tell that nothing there was written. */
QMap<QString, QByteArray> folderState(const QString& folder)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        out.insert(path, fileHash(path));
    }
    return out;
}

void writeSiteTable(const QString& path, const QStringList& rows)
{
    KeyTable table;
    const QStringList header = {QStringLiteral("Site"), QStringLiteral("Key file"), QStringLiteral("Grab"),
                                QStringLiteral("Start address")};
    for (int c = 0; c < 4; ++c)
        table.setText(0, c, header[c]);
    for (int r = 0; r < rows.size(); ++r) {
        const QStringList cells = rows[r].split(QLatin1Char('|'));
        for (int c = 0; c < cells.size(); ++c)
            table.setText(r + 1, c, cells[c]);
    }
    QVERIFY(SaveGrid(path, path.endsWith(QLatin1String(".csv")) ? FormatComma : FormatNative, table.sheet()));
}

QStringList names(std::initializer_list<const char*> list)
{
    QStringList out;
    for (const char* n : list)
        out << QString::fromUtf8(n);
    return out;
}

QStringList namesOf(const KeyTable& table)
{
    QStringList names;
    for (int r = 1; r < table.rows(); ++r)
        names << table.text(r, 0);
    return names;
}

} // namespace

/**
 * The key workshop's model driven directly: the key as a form, the preview by the
 * grab's parser with its counts and where it found things, learning from one
 * listing, the structured-data offer; and the user's own sites beside the shipped
 * ones, in a saved site order.
 */
class TestKeyWorkshop : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        AppPaths::setUserDataFolder(m_dir->filePath(QStringLiteral("user")));
    }

    void previewCounts_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<int>("perPage");
        QTest::addColumn<QString>("summary");

        QTest::newRow("every listing whole") << cards(20) << 50
                                             << "20 listings; Name 20 of 20; Street 20 of 20; Phone 20 of 20; "
                                                "next page: /results?page=2";
        QTest::newRow("two without a phone")
            << cards(20, {3, 17}) << 50
            << "20 listings; Name 20 of 20; Street 20 of 20; Phone 18 of 20; next page: /results?page=2";
        QTest::newRow("fewer passes than listings")
            << cards(20) << 5 << "5 listings; Name 5 of 5; Street 5 of 5; Phone 5 of 5; next page: /results?page=2";
        QTest::newRow("last page") << cards(3, {}, false) << 50
                                   << "3 listings; Name 3 of 3; Street 3 of 3; Phone 3 of 3; no next page";
        QTest::newRow("a page without listings")
            << QByteArray("<html><body>No shops found.</body></html>") << 50 << "0 listings; no next page";
    }

    void previewCounts()
    {
        QFETCH(QByteArray, page);
        QFETCH(int, perPage);
        QFETCH(QString, summary);

        KeyWorkshop workshop;
        GrabKey key = cardsKey();
        key.listingsPerPage = perPage;
        workshop.setKey(key);
        workshop.setPage(page, QStringLiteral("http://127.0.0.1/results?cat=Shops"));
        workshop.refresh();
        QCOMPARE(workshop.preview().summary, summary);
    }

    void previewFollowsTheFormOncePaused()
    {
        KeyWorkshop workshop;
        workshop.setKey(cardsKey());
        workshop.setPage(cards(12, {4}), QString());
        QSignalSpy refreshed(&workshop, &KeyWorkshop::previewRefreshed);
        QVERIFY(refreshed.wait(5000));
        QCOMPARE(workshop.preview().cut.listings(), 12);

        // Typing a marker a key at a time: one refresh once the typing stops.
        refreshed.clear();
        const QString marker = QStringLiteral("<p class=\"street\">");
        for (qsizetype n = 1; n <= marker.size(); ++n)
            workshop.setField(1, 1, marker.left(n), QStringLiteral("</p>"));
        QVERIFY(workshop.isRefreshPending());
        QCOMPARE(refreshed.size(), 0);
        QVERIFY(refreshed.wait(5000));
        QTest::qWait(2 * KeyWorkshop::kRefreshDelayMs);
        QCOMPARE(refreshed.size(), 1);
        QCOMPARE(workshop.value(4, 1), QStringLiteral("14 Main St"));
        QCOMPARE(workshop.value(4, 5), QString());

        // A field sent to another column, a field removed, the listing count.
        workshop.setField(2, 6, QStringLiteral("<span class=\"tel\">"), QStringLiteral("</span>"));
        workshop.removeField(1);
        workshop.setListingsPerPage(3);
        workshop.refresh();
        QCOMPARE(workshop.preview().summary,
                 QStringLiteral("3 listings; Name 3 of 3; Web Site 3 of 3; next page: /results?page=2"));
        QCOMPARE(workshop.key().lastField, 1);
    }

    void traceShowsWhereTheParserCut()
    {
        KeyWorkshop workshop;
        workshop.setKey(cardsKey());
        const QByteArray page = cards(6, {2});
        workshop.setPage(page, QString());
        workshop.refresh();
        const ParseTrace& trace = workshop.preview().trace;
        QCOMPARE(int(trace.listings.size()), 6);
        const ParseTrace::Listing& third = trace.listings[2];
        QCOMPARE(third.row, 2);
        const QByteArray block = page.sliced(third.block.offset, third.block.length);
        QVERIFY(block.startsWith("<h2 class=\"name\">Shop 2</h2>"));
        // Values as they stand in the page; the missing phone has none.
        QList<QByteArray> values;
        for (const ParseTrace::Part& v : third.values)
            values << page.sliced(v.range.offset, v.range.length);
        QCOMPARE(values, (QList<QByteArray>{"Shop 2", "12 Main St"}));
        // The listing's own markers and the fields' markers, each where it stands.
        QList<QByteArray> markers;
        for (const ParseTrace::Part& m : third.markers)
            markers << page.sliced(m.range.offset, m.range.length);
        QVERIFY(markers.contains("<div class=\"card\">"));
        QVERIFY(markers.contains("<h2 class=\"name\">"));
        QVERIFY(markers.contains("</p>"));
    }

    void learnAcceptAndEdit()
    {
        KeyWorkshop workshop;
        GrabKey start;
        start.listingPageMarker = QStringLiteral("/results?");
        start.cityMarker = QStringLiteral("city=");
        workshop.setKey(start);
        workshop.setPage(cards(15, {7}), QStringLiteral("http://127.0.0.1/results?city=Springfield"));

        KeyLearner::Example example;
        example.insert(0, QStringLiteral("Shop 3"));
        example.insert(1, QStringLiteral("13 Main St"));
        example.insert(5, QStringLiteral("(555) 011003"));
        QSignalSpy finished(&workshop, &KeyWorkshop::learningFinished);
        QVERIFY2(workshop.learn(example), qPrintable(workshop.problems().join(QLatin1Char('\n'))));
        QCOMPARE(finished.size(), 1);
        QVERIFY(!workshop.learned().proposals.empty());
        // Each proposal says what it cuts by its own fields.
        QVERIFY2(workshop.proposalText(0).contains(QLatin1String("15 listings; Name 15 of 15; Street 15 of 15; "
                                                                 "Phone 14 of 15")),
                 qPrintable(workshop.proposalText(0)));

        QVERIFY(workshop.accept(0));
        workshop.refresh();
        QCOMPARE(workshop.preview().cut.listings(), 15);
        QCOMPARE(workshop.value(7, 0), QStringLiteral("Shop 7"));
        QCOMPARE(workshop.value(7, 5), QString());
        QCOMPARE(workshop.value(14, 5), QStringLiteral("(555) 011014"));
        // The address markers the user had are kept.
        QCOMPARE(workshop.key().listingPageMarker, QStringLiteral("/results?"));
        QCOMPARE(workshop.key().cityMarker, QStringLiteral("city="));

        // Then edited by hand: the street dropped.
        for (int j = 0; j < workshop.fieldCount(); ++j)
            if (workshop.key().fields[size_t(j)].column == 1)
                workshop.removeField(j);
        workshop.refresh();
        QCOMPARE(workshop.value(3, 1), QString());
        QCOMPARE(workshop.value(3, 0), QStringLiteral("Shop 3"));
    }

    void acceptedKeyFitsThePageAddress_data()
    {
        QTest::addColumn<QString>("marker");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none yet") << "" << "http://127.0.0.1:8080/results?cat=Shops&page=1" << "/results?";
        QTest::newRow("the site's own kept") << "cat=" << "http://127.0.0.1:8080/results?cat=Shops" << "cat=";
        QTest::newRow("another site's replaced") << "/a/results?cat=" << "https://shops.example/find?q=x"
                                                 << "/find?";
        QTest::newRow("an address without a query") << "" << "https://shops.example/list/shops.html"
                                                     << "/list/shops.html";
    }

    void acceptedKeyFitsThePageAddress()
    {
        QFETCH(QString, marker);
        QFETCH(QString, address);
        QFETCH(QString, expected);
        KeyWorkshop workshop;
        GrabKey key;
        key.listingPageMarker = marker;
        workshop.setKey(key);
        workshop.setPage(cards(8), address);
        KeyLearner::Example example;
        example.insert(0, QStringLiteral("Shop 2"));
        QVERIFY(workshop.learn(example));
        QVERIFY(workshop.accept(0));
        QCOMPARE(workshop.key().listingPageMarker, expected);
    }

    void learningNamesWhatItCannotDo_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("words");

        QTest::newRow("no name given") << cards(5) << "" << "name";
        QTest::newRow("no page") << QByteArray() << "Shop 1" << "page";
        QTest::newRow("name not on the page") << cards(5) << "Nowhere Hardware" << "Nowhere Hardware";
    }

    void learningNamesWhatItCannotDo()
    {
        QFETCH(QByteArray, page);
        QFETCH(QString, name);
        QFETCH(QString, words);
        KeyWorkshop workshop;
        workshop.setPage(page, QString());
        KeyLearner::Example example;
        example.insert(0, name);
        example.insert(5, QStringLiteral("(555) 011001"));
        QVERIFY(!workshop.learn(example));
        QVERIFY(!workshop.problems().isEmpty());
        QVERIFY2(workshop.problems().join(QLatin1Char(' ')).contains(words, Qt::CaseInsensitive),
                 qPrintable(workshop.problems().join(QLatin1Char('\n'))));
        QVERIFY(!workshop.accept(0));
    }

    void structuredDataIsOffered()
    {
        QByteArray page = "<html><head><script type=\"application/ld+json\">{\"@context\":\"https://schema.org\","
                          "\"@type\":\"ItemList\",\"itemListElement\":[";
        for (int i = 0; i < 4; ++i)
            page += QByteArray(i ? "," : "") + "{\"@type\":\"ListItem\",\"item\":{\"@type\":\"Plumber\",\"name\":\"Pipe "
                  + QByteArray::number(i) + "\",\"telephone\":\"07 4000 000" + QByteArray::number(i)
                  + "\",\"address\":{\"@type\":\"PostalAddress\",\"addressLocality\":\"Cairns\","
                    "\"addressRegion\":\"QLD\"}}}";
        page += "]}</script></head><body><div id=\"app\"></div></body></html>";

        KeyWorkshop workshop;
        workshop.setPage(page, QString());
        QCOMPARE(workshop.structuredDataOffer(),
                 QStringLiteral("The page describes 4 listings as schema.org items (JSON-LD)."));
        QVERIFY(workshop.useStructuredData());
        QCOMPARE(workshop.key().kind, KeyKind::StructuredData);
        workshop.refresh();
        QCOMPARE(workshop.preview().cut.listings(), 4);
        QCOMPARE(workshop.value(2, 0), QStringLiteral("Pipe 2"));
        QCOMPARE(workshop.value(2, 2), QStringLiteral("Cairns"));
        QVERIFY(workshop.preview().summary.startsWith(QLatin1String("4 listings; Name 4 of 4; City 4 of 4; State 4 "
                                                                    "of 4; Phone 4 of 4")));

        // A page without such items offers nothing.
        workshop.setPage(cards(3), QString());
        QCOMPARE(workshop.structuredDataOffer(), QString());
    }

    void keyKeepsItsPageSource()
    {
        GrabKey key = cardsKey();
        key.fromBrowser = true;
        KeyTable table;
        key.toTable(table, QStringLiteral("made by hand"));
        QCOMPARE(table.text(3, 2), QStringLiteral("browser"));
        const GrabKey back = GrabKey::fromTable(table);
        QVERIFY(back.fromBrowser);
        QCOMPARE(back.fields.size(), size_t(3));
        QCOMPARE(back.fields[2].start, QByteArray("<span class=\"tel\">"));
        key.fromBrowser = false;
        key.toTable(table, QString());
        QVERIFY(!GrabKey::fromTable(table).fromBrowser);
        // Keys written before the page source was kept are download keys.
        table.setText(3, 2, QString());
        QVERIFY(!GrabKey::fromTable(table).fromBrowser);
    }

    // ---- the user's sites ------------------------------------------------------------------

    void newSiteIsSavedInTheUserFolder()
    {
        const QString shipped = m_dir->filePath(QStringLiteral("shipped"));
        QVERIFY(QDir().mkpath(shipped));
        AppPaths::setDataFolder(shipped);
        writeSiteTable(shipped + QStringLiteral("/stpl88.bin"),
                       {QStringLiteral("Alpha Pages|alpha.bin|1|https://alpha.example/")});
        const auto before = folderState(shipped);

        QString file;
        QString error;
        GrabKey key = cardsKey();
        QVERIFY2(UserSites::saveNewSite(QStringLiteral("Corner Shops"), QStringLiteral("http://shops.example/"), key,
                                        {QStringLiteral("Alpha Pages")}, &file, &error),
                 qPrintable(error));
        QCOMPARE(file, QStringLiteral("user:Sites/Corner Shops.csv"));
        // The key is readable text in the user's folder, and reads back the same.
        const QString keyPath = m_dir->filePath(QStringLiteral("user/Sites/Corner Shops.csv"));
        QCOMPARE(UserSites::keyPath(file), keyPath);
        QFile keyFile(keyPath);
        QVERIFY(keyFile.open(QIODevice::ReadOnly));
        QVERIFY(keyFile.readAll().contains("<h2 class=\"\"name\"\">"));
        KeyTable table;
        QVERIFY(table.load(keyPath));
        QCOMPARE(GrabKey::fromTable(table).fields[1].start, QByteArray("<p class=\"street\">"));

        // The catalog shows both; the shipped data was not touched.
        KeyTable catalog;
        UserSites::BuildCatalogTable(shipped + QStringLiteral("/stpl88.bin"), UserSites::tablePath(), QString(),
                                     catalog);
        QCOMPARE(namesOf(catalog), (QStringList{QStringLiteral("Alpha Pages"), QStringLiteral("Corner Shops")}));
        QCOMPARE(catalog.text(2, 1), file);
        QCOMPARE(catalog.text(2, 3), QStringLiteral("http://shops.example/"));
        QCOMPARE(folderState(shipped), before);

        // A name in use is refused, whatever its letter case; nothing is written.
        QVERIFY(!UserSites::saveNewSite(QStringLiteral("corner shops"), QString(), key, {}, &file, &error));
        QVERIFY(error.contains(QLatin1String("already")));
        QVERIFY(!UserSites::saveNewSite(QStringLiteral("alpha pages"), QString(), key, {QStringLiteral("Alpha Pages")},
                                        &file, &error));
        QVERIFY(!UserSites::saveNewSite(QStringLiteral("  "), QString(), key, {}, &file, &error));
        QCOMPARE(QDir(UserSites::folder()).entryList(QDir::Files).size(), 2);

        // Editing the user's site saves over its own key.
        key.fields[1].start = "<p class=\"addr\">";
        QVERIFY(UserSites::saveKey(QStringLiteral("user:Sites/Corner Shops.csv"), key, &error));
        QVERIFY(table.load(keyPath));
        QCOMPARE(GrabKey::fromTable(table).fields[1].start, QByteArray("<p class=\"addr\">"));
        // A shipped key is never written, nor a file outside the user's sites.
        QVERIFY(!UserSites::saveKey(QStringLiteral("alpha.bin"), key, &error));
        QVERIFY(!UserSites::saveKey(QStringLiteral("user:Sites/../../shipped/alpha.bin"), key, &error));
        QCOMPARE(folderState(shipped), before);
    }

    void savedOrderShowsNewlyShippedSites_data()
    {
        QTest::addColumn<QStringList>("shipped");
        QTest::addColumn<QStringList>("saved");
        QTest::addColumn<QStringList>("user");
        QTest::addColumn<QStringList>("shown");

        const QString a = QStringLiteral("Alpha Pages|alpha.bin|1|https://alpha.example/");
        const QString b = QStringLiteral("Bravo Find|bravo.bin|1|https://bravo.example/");
        const QString c = QStringLiteral("Charlie 411|charlie.bin|0|https://charlie.example/");
        const QString d = QStringLiteral("Delta People|delta.bin|1|https://delta.example/");
        const QString mine = QStringLiteral("My Shops|user:Sites/My Shops.csv|1|http://shops.example/");
        QTest::newRow("no saved order") << QStringList{a, b, c} << QStringList{} << QStringList{}
                                        << names({"Alpha Pages", "Bravo Find", "Charlie 411"});
        QTest::newRow("saved order kept") << QStringList{a, b, c} << QStringList{c, a, b} << QStringList{}
                                          << names({"Charlie 411", "Alpha Pages", "Bravo Find"});
        QTest::newRow("a site shipped since") << QStringList{a, b, c, d} << QStringList{c, a, b} << QStringList{}
                                              << names({"Charlie 411", "Alpha Pages", "Bravo Find",
                                                             "Delta People"});
        QTest::newRow("a site no longer shipped kept as saved")
            << QStringList{a, c} << QStringList{c, b, a} << QStringList{}
            << names({"Charlie 411", "Bravo Find", "Alpha Pages"});
        QTest::newRow("a moved start address taken from the catalog")
            << QStringList{a, QString(b).replace(QLatin1String("bravo.example"), QLatin1String("bravo.example/find"))}
            << QStringList{b, a} << QStringList{} << names({"Bravo Find", "Alpha Pages"});
        QTest::newRow("a user site saved since") << QStringList{a, b} << QStringList{b, a} << QStringList{mine}
                                                 << names({"Bravo Find", "Alpha Pages", "My Shops"});
        QTest::newRow("a user site placed in the order")
            << QStringList{a, b, d} << QStringList{mine, b, a} << QStringList{mine}
            << names({"My Shops", "Bravo Find", "Alpha Pages", "Delta People"});
        QTest::newRow("a user site named like a shipped one")
            << QStringList{a, b} << QStringList{} << QStringList{QStringLiteral("Bravo Find|user:Sites/b.csv|1|x")}
            << names({"Alpha Pages", "Bravo Find"});
        QTest::newRow("a user site renamed since keeps its place")
            << QStringList{a, b} << QStringList{mine, b, a}
            << QStringList{QString(mine).replace(QLatin1String("My Shops|"), QLatin1String("Corner Shops|"))}
            << names({"Corner Shops", "Bravo Find", "Alpha Pages"});
        QTest::newRow("a user site removed since is gone")
            << QStringList{a, b} << QStringList{b, mine, a} << QStringList{}
            << names({"Bravo Find", "Alpha Pages"});
    }

    void userSitesRenamedAndRemoved()
    {
        const QString shipped = m_dir->filePath(QStringLiteral("shipped"));
        QVERIFY(QDir().mkpath(shipped));
        AppPaths::setDataFolder(shipped);
        writeSiteTable(shipped + QStringLiteral("/stpl88.bin"),
                       {QStringLiteral("Alpha Pages|alpha.bin|1|https://alpha.example/")});
        const auto before = folderState(shipped);
        const QStringList shippedNames{QStringLiteral("Alpha Pages")};
        QString file1;
        QString file2;
        QString error;
        QVERIFY(UserSites::saveNewSite(QStringLiteral("Corner Shops"), QString(), cardsKey(), shippedNames,
                                       &file1, &error));
        QVERIFY(UserSites::saveNewSite(QStringLiteral("Bakers"), QString(), cardsKey(), shippedNames, &file2,
                                       &error));
        const auto catalog = [&] {
            KeyTable table;
            UserSites::BuildCatalogTable(shipped + QStringLiteral("/stpl88.bin"), UserSites::tablePath(),
                                         QString(), table);
            return namesOf(table);
        };

        // Renamed: the same key under the new name, in the same place.
        QVERIFY2(UserSites::renameSite(QStringLiteral("corner shops"), QStringLiteral("  Corner  Stores "),
                                       shippedNames, &error),
                 qPrintable(error));
        QCOMPARE(catalog(), (QStringList{QStringLiteral("Alpha Pages"), QStringLiteral("Corner Stores"),
                                         QStringLiteral("Bakers")}));
        QVERIFY(QFile::exists(UserSites::keyPath(file1)));
        // Its own name in other letters is no clash; another site's name, an empty
        // name, a shipped site and one that is not there are refused.
        QVERIFY(UserSites::renameSite(QStringLiteral("Corner Stores"), QStringLiteral("Corner stores"),
                                      shippedNames, &error));
        QVERIFY(!UserSites::renameSite(QStringLiteral("Corner stores"), QStringLiteral("bakers"),
                                       shippedNames, &error));
        QVERIFY(error.contains(QLatin1String("already")));
        QVERIFY(!UserSites::renameSite(QStringLiteral("Corner stores"), QStringLiteral("ALPHA PAGES"),
                                       shippedNames, &error));
        QVERIFY(!UserSites::renameSite(QStringLiteral("Corner stores"), QStringLiteral(" "), shippedNames,
                                       &error));
        QVERIFY(!UserSites::renameSite(QStringLiteral("Alpha Pages"), QStringLiteral("Mine"), shippedNames,
                                       &error));
        QVERIFY(
            !UserSites::renameSite(QStringLiteral("Nowhere"), QStringLiteral("Mine"), shippedNames, &error));
        QCOMPARE(catalog(), (QStringList{QStringLiteral("Alpha Pages"), QStringLiteral("Corner stores"),
                                         QStringLiteral("Bakers")}));

        // Removed: out of the list, its key deleted, the other site's key kept.
        QVERIFY2(UserSites::removeSite(QStringLiteral("Corner stores"), &error), qPrintable(error));
        QCOMPARE(catalog(), (QStringList{QStringLiteral("Alpha Pages"), QStringLiteral("Bakers")}));
        QVERIFY(!QFile::exists(UserSites::keyPath(file1)));
        QVERIFY(QFile::exists(UserSites::keyPath(file2)));
        QVERIFY(!UserSites::removeSite(QStringLiteral("Corner stores"), &error));
        QVERIFY(!UserSites::removeSite(QStringLiteral("Alpha Pages"), &error));
        QCOMPARE(catalog(), (QStringList{QStringLiteral("Alpha Pages"), QStringLiteral("Bakers")}));
        QCOMPARE(folderState(shipped), before);
    }

    void savedOrderShowsNewlyShippedSites()
    {
        QFETCH(QStringList, shipped);
        QFETCH(QStringList, saved);
        QFETCH(QStringList, user);
        QFETCH(QStringList, shown);
        const QString shippedPath = m_dir->filePath(QStringLiteral("stpl88.bin"));
        const QString savedPath = m_dir->filePath(QStringLiteral("stpl00.bin"));
        const QString userPath = m_dir->filePath(QStringLiteral("sites.csv"));
        writeSiteTable(shippedPath, shipped);
        if (!saved.isEmpty())
            writeSiteTable(savedPath, saved);
        if (!user.isEmpty())
            writeSiteTable(userPath, user);

        KeyTable table;
        UserSites::BuildCatalogTable(shippedPath, userPath, savedPath, table);
        QCOMPARE(namesOf(table), shown);
        // Each site keeps its own row: key file, grab flag and address.
        colKests sites;
        QCOMPARE(sites.fill(table), shown);
        for (const objKest& site : sites) {
            // The catalog's row first, then the user's, then the saved one.
            const QStringList all = shipped + user + saved;
            const auto row = std::find_if(all.begin(), all.end(), [&](const QString& r) {
                return r.startsWith(site.ListName() + QLatin1Char('|'));
            });
            QVERIFY(row != all.end());
            QCOMPARE(site.FileName(), row->section(QLatin1Char('|'), 1, 1));
            QCOMPARE(site.Avail(), row->section(QLatin1Char('|'), 2, 2) == QLatin1String("1"));
            QCOMPARE(site.URL(), row->section(QLatin1Char('|'), 3, 3));
        }
    }
};

QTEST_GUILESS_MAIN(TestKeyWorkshop)
#include "TestKeyWorkshop.moc"

#include "shell/AppPaths.h"
#include "grab/GrabRunner.h"
#include "grab/KeyTable.h"
#include "grab/PageFetcher.h"
#include "grab/SampleDirectory.h"
#include "sheet/RecordSheet.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>
#include <QUrlQuery>

using namespace quillon;

namespace {

using Record = QStringList; // name, street, city, state, zip, phone, web, email

/** What a grab of @p found must give, worked out from the listings themselves: the
 *  rules of the record sheet (no name: not kept; no state: the state above) and of
 *  each layout's street (withheld: empty; a building line: A keeps it, B and K give
 *  the street after the line break). */
QList<Record> expectedRecords(const QList<const SampleDirectory::Listing*>& found, char variant)
{
    QList<Record> out;
    QString stateAbove;
    for (const SampleDirectory::Listing* l : found) {
        if (l->name.isEmpty())
            continue;
        QString street = l->street;
        if (const qsizetype bar = street.indexOf(QLatin1Char('|')); bar >= 0)
            street = variant == 'a' ? street.left(bar) + QStringLiteral(", ") + street.mid(bar + 1) : street.mid(bar + 1);
        const QString state = l->state.isEmpty() ? stateAbove : l->state;
        stateAbove = state;
        out << Record{l->name, street, l->city, state, l->zip, l->phone, l->web, l->email};
    }
    return out;
}

QList<Record> recordsOf(const RecordSheet& sheet)
{
    QList<Record> out;
    for (int r = 1; r < sheet.rows(); ++r) {
        Record rec;
        for (int c = 0; c < 8; ++c)
            rec << sheet.text(r, c);
        out << rec;
    }
    return out;
}

QByteArray get(const QString& url, QByteArray* contentType = nullptr)
{
    QNetworkAccessManager network;
    QNetworkReply* reply = network.get(QNetworkRequest(QUrl(url)));
    QSignalSpy done(reply, &QNetworkReply::finished);
    done.wait(10000);
    if (contentType)
        *contentType = reply->rawHeader("Content-Type");
    const QByteArray body = reply->readAll();
    delete reply;
    return body;
}

} // namespace

class TestSampleDirectory : public QObject
{
    Q_OBJECT

    SampleDirectory m_sample;

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_sample.start(&error), qPrintable(error));
    }

    void bundledListings()
    {
        const QList<SampleDirectory::Listing>& all = m_sample.listings();
        QVERIFY(all.size() >= 3000);
        int people = 0, noName = 0, noState = 0, ampersand = 0, quote = 0, accent = 0;
        for (const SampleDirectory::Listing& l : all) {
            people += l.category == QLatin1String("People");
            noName += l.name.isEmpty();
            noState += l.state.isEmpty();
            ampersand += l.name.contains(QLatin1Char('&'));
            quote += l.name.contains(QLatin1Char('"')) || l.name.contains(QLatin1Char('\''));
            accent += std::any_of(l.name.begin(), l.name.end(), [](QChar c) { return c.unicode() > 127; });
        }
        QVERIFY(people > 500 && people < all.size() - 500);
        QVERIFY(noName > 10);
        QVERIFY(noState > 10);
        QVERIFY(ampersand > 10);
        QVERIFY(quote > 10);
        QVERIFY(accent > 10);
        QVERIFY(m_sample.categories().size() >= 10);
        QVERIFY(m_sample.cities().contains(QStringLiteral("Salt Lake City")));
    }

    void addresses()
    {
        QCOMPARE(m_sample.resolve(QStringLiteral("quillon-sample:/a/")), m_sample.root() + QStringLiteral("/a/"));
        QCOMPARE(m_sample.resolve(QStringLiteral("quillon-sample:k/")), m_sample.root() + QStringLiteral("/k/"));
        QCOMPARE(m_sample.resolve(QStringLiteral("quillon-sample:")), m_sample.root());
        QCOMPARE(m_sample.resolve(QStringLiteral("https://example.com/")), QStringLiteral("https://example.com/"));
        QVERIFY(m_sample.root().startsWith(QLatin1String("http://127.0.0.1:")));
    }

    void searchPages()
    {
        QByteArray type;
        const QByteArray index = get(m_sample.root() + QStringLiteral("/"), &type);
        QVERIFY(index.contains("Quillon Sample Directory"));
        QVERIFY(type.contains("utf-8"));
        for (const char* v : {"a", "b", "k"}) {
            const QByteArray form = get(m_sample.root() + QStringLiteral("/%1/").arg(QLatin1String(v)), &type);
            QVERIFY(form.contains("<form action=\"/" + QByteArray(v) + "/results\" method=\"get\">"));
            QVERIFY(form.contains("<option>Plumbers</option>"));
        }
        QVERIFY(type.contains("windows-1252"));
    }

    void search_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("city");
        QTest::addColumn<QString>("state");
        QTest::newRow("category") << "cat=Plumbers" << "Plumbers" << "" << "";
        QTest::newRow("city with blanks") << "cat=People&city=salt+lake+city&state=" << "People" << "Salt Lake City" << "";
        QTest::newRow("percent escapes") << "cat=Auto%20Repair&city=St.%20Cloud" << "Auto Repair" << "St. Cloud" << "";
        QTest::newRow("state") << "cat=Bakeries&city=&state=OR" << "Bakeries" << "" << "OR";
    }

    void search()
    {
        QFETCH(QString, query);
        QFETCH(QString, category);
        QFETCH(QString, city);
        QFETCH(QString, state);
        const SampleDirectory::Query q = SampleDirectory::queryFrom(QUrlQuery(query));
        QCOMPARE(q.category, category);
        QCOMPARE(q.city.toLower(), city.toLower());
        QCOMPARE(q.state, state);
        const QList<const SampleDirectory::Listing*> found = m_sample.search(q);
        QVERIFY(!found.isEmpty());
        for (const SampleDirectory::Listing* l : found) {
            QCOMPARE(l->category, category);
            if (!city.isEmpty())
                QCOMPARE(l->city, city);
            if (!state.isEmpty())
                QCOMPARE(l->state, state);
        }
    }

    void grabEveryLayout_data()
    {
        QTest::addColumn<char>("variant");
        QTest::addColumn<int>("rules");
        QTest::addColumn<QString>("query");
        QTest::newRow("A, all plumbers") << 'a' << int(SiteRules::BuiltInA) << "cat=Plumbers&city=&state=";
        QTest::newRow("B, all plumbers") << 'b' << int(SiteRules::BuiltInB) << "cat=Plumbers&city=&state=";
        QTest::newRow("K, all plumbers") << 'k' << int(SiteRules::KeyOnly) << "cat=Plumbers&city=&state=";
        QTest::newRow("A, people in one city") << 'a' << int(SiteRules::BuiltInA)
                                               << "cat=People&city=Salt+Lake+City&state=";
        QTest::newRow("B, people in one city") << 'b' << int(SiteRules::BuiltInB)
                                               << "cat=People&city=Fort+Collins&state=CO";
        QTest::newRow("K, people, pages of 7") << 'k' << int(SiteRules::KeyOnly) << "cat=People&city=Dover&state=&per=7";
        QTest::newRow("A, nothing found") << 'a' << int(SiteRules::BuiltInA) << "cat=Nothing&city=&state=";
    }

    void grabEveryLayout()
    {
        QFETCH(char, variant);
        QFETCH(int, rules);
        QFETCH(QString, query);

        KeyTable key;
        QString error;
        const QString keyPath = AppPaths::dataFolder() + QStringLiteral("/sample%1.bin").arg(QLatin1Char(variant));
        QVERIFY2(key.load(keyPath, &error), qPrintable(error));

        RecordSheet sheet;
        sheet.setCols(10);
        PageFetcher fetcher;
        GrabRunner runner(sheet, fetcher);
        GrabRunner::Options options;
        options.key = GrabKey::fromTable(key);
        options.rules = SiteRules(rules);
        options.siteABase = m_sample.root();
        options.delayMs = 0;
        QSignalSpy finished(&runner, &GrabRunner::finished);
        QSignalSpy pages(&runner, &GrabRunner::pageGrabbed);
        QSignalSpy failed(&runner, &GrabRunner::failed);
        const QString address = m_sample.root() + QStringLiteral("/%1/results?").arg(QLatin1Char(variant)) + query;
        runner.start(address, options);
        QVERIFY(finished.wait(30000));

        const SampleDirectory::Query q = SampleDirectory::queryFrom(QUrlQuery(query));
        const QList<const SampleDirectory::Listing*> found = m_sample.search(q);
        const QList<Record> expected = expectedRecords(found, variant);
        const QList<Record> got = recordsOf(sheet);
        QCOMPARE(got.size(), expected.size());
        for (qsizetype i = 0; i < got.size(); ++i)
            QCOMPARE(got[i], expected[i]);
        QCOMPARE(runner.listingCount(), qint32(expected.size()));
        QCOMPARE(int(pages.size()), std::max(1, int((found.size() + q.perPage - 1) / q.perPage)));
        QVERIFY2(failed.isEmpty(), qPrintable(failed.isEmpty() ? QString() : failed.first().at(2).toString()));
    }
};

QTEST_GUILESS_MAIN(TestSampleDirectory)
#include "TestSampleDirectory.moc"

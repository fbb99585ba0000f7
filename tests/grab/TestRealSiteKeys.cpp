#include "LocalHttpServer.h"
#include "testsupport/TestPlatform.h"

#include "shell/AppPaths.h"
#include "shell/MainModel.h"
#include "shell/SettingsStore.h"
#include "grab/BrowserControl.h"
#include "grab/GrabRunner.h"
#include "grab/GrabSession.h"
#include "grab/KeyTable.h"
#include "grab/PageFetcher.h"
#include "sheet/RecordSheet.h"

#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;

namespace {

class StillBrowser : public BrowserControl
{
public:
    void navigate(const QUrl&) override {}
    void back() override {}
    void forward() override {}
    void reload() override {}
    void go(const QString& address) { emit locationChanged(address); }
};

/** The page without the white space a reformatting tool puts between tags. */
QByteArray withoutWhiteSpaceBetweenTags(const QByteArray& page)
{
    QString text = QString::fromUtf8(page);
    text.replace(QRegularExpression(QStringLiteral(">\\s+")), QStringLiteral(">"));
    text.replace(QRegularExpression(QStringLiteral("\\s+<")), QStringLiteral("<"));
    return text.toUtf8();
}

QByteArray fixture(const QString& name)
{
    QFile file(QStringLiteral(QUILLON_FIXTURES_DIR "/directory-pages/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

/**
 * The keys shipped for real directory sites, tried on result pages saved from those
 * sites and served from 127.0.0.1: every listing of the page must arrive in the sheet
 * with every field exact. The expected records were read from the pages through
 * their document tree, independently of the keys.
 */
class TestRealSiteKeys : public QObject
{
    Q_OBJECT

private slots:
    void pages_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("next");
        QTest::addColumn<QStringList>("panels"); // 21, 22, 23, 24
        QTest::addColumn<QString>("expected");   // records, in grab-expected
        // The saved page is a copy a tool reformatted (one tag a line): the key must
        // read the page as the site sends it too, without that white space.
        QTest::addColumn<bool>("reformatted");

        QTest::newRow("Yellow Pages US, 2017")
            << "yellowpages-1.html" << "yp2017.bin" << "Yellow Pages US (2017 pages)"
            << "/search?search_terms=supermarket&geo_location_terms=Washington%2C+DC"
            << "http://www.yellowpages.com/washington-dc/supermarkets?page=2"
            << QStringList{QStringLiteral(" supermarket"), QStringLiteral(" Washington%2C DC"), QStringLiteral(" "),
                           QStringLiteral("495")}
            << "yellowpages-1.csv" << false;
        QTest::newRow("Yellow Pages US, 2018")
            << "yellowpages-2.html" << "yp2018.bin" << "Yellow Pages US (2018 pages)"
            << "/search?search_terms=dumbbell&geo_location_terms=MI" << ""
            << QStringList{QStringLiteral(" dumbbell"), QStringLiteral(" MI"), QStringLiteral(" "), QStringLiteral("12")}
            << "yellowpages-2.csv" << false;
        QTest::newRow("Yellow Pages Australia, 2025")
            << "yellowpages-au-1.html" << "ypau2025.bin" << "Yellow Pages Australia (2025 pages)"
            << "/search/listings?clue=plumber&locationClue=cairns%2C+QLD"
            << "/search/listings?clue=plumber&locationClue=cairns%2C+QLD&pageNumber=2"
            << QStringList{QStringLiteral(" plumber"), QStringLiteral(" cairns%2C QLD"), QStringLiteral(" "),
                           QStringLiteral("97")}
            << "yellowpages-au-1.csv" << true;
        // Its listings as the page describes them in schema.org data (JSON-LD), read by
        // another HTML parser and JSON reader.
        QTest::newRow("Localsearch Australia, schema.org data")
            << "localsearch-au-1.html" << "localsearch2025.bin" << "Localsearch Australia (schema.org data)"
            << "/find/plumber/bungalow-qld" << "/find/plumber/bungalow-qld?page=2"
            << QStringList{QStringLiteral(" plumber/bungalow-qld"), QStringLiteral(" "), QStringLiteral(" "),
                           QStringLiteral("50")}
            << "localsearch-au-1-schema.csv" << true;
    }

    void pages()
    {
        QFETCH(QString, page);
        QFETCH(QString, key);
        QFETCH(QString, address);
        QFETCH(QString, next);
        QFETCH(QString, expected);
        grabAndCompare(fixture(page), key, address, next, expected);
    }

    void pagesAsTheSiteSendsThem_data() { pages_data(); }

    void pagesAsTheSiteSendsThem()
    {
        QFETCH(QString, page);
        QFETCH(QString, key);
        QFETCH(QString, address);
        QFETCH(QString, next);
        QFETCH(QString, expected);
        QFETCH(bool, reformatted);
        if (!reformatted)
            QSKIP("the saved page is as the site sent it");
        grabAndCompare(withoutWhiteSpaceBetweenTags(fixture(page)), key, address, next, expected);
    }

private:
    void grabAndCompare(const QByteArray& body, const QString& key, const QString& address, const QString& next,
                        const QString& expectedFile)
    {
        QVERIFY(!body.isEmpty());
        LocalHttpServer server([body](const LocalHttpServer::Request&) {
            LocalHttpServer::Response r = LocalHttpServer::page(body);
            r.contentType = "text/html";
            return r;
        });

        KeyTable table;
        QString error;
        QVERIFY2(table.load(AppPaths::dataFolder() + QLatin1Char('/') + key, &error), qPrintable(error));
        RecordSheet sheet;
        sheet.setCols(10);
        PageFetcher fetcher;
        GrabRunner runner(sheet, fetcher);
        GrabRunner::Options options;
        options.key = GrabKey::fromTable(table);
        options.delayMs = 0;
        options.honourRobots = false; // the one request is the page's
        // One page: the next link leads to the real site.
        options.maxPages = 1;
        QSignalSpy finished(&runner, &GrabRunner::finished);
        runner.start(server.url(address), options);
        QVERIFY(finished.wait(20000));

        KeyTable expected;
        const QString expectedPath = QStringLiteral(QUILLON_FIXTURES_DIR "/grab-expected/") + expectedFile;
        QVERIFY2(expected.load(expectedPath, &error), qPrintable(error));
        QCOMPARE(sheet.rows(), expected.rows());
        for (int r = 1; r < expected.rows(); ++r)
            for (int c = 0; c < 9; ++c)
                QCOMPARE(sheet.text(r, c), expected.text(r, c));
        QCOMPARE(runner.listingCount(), qint32(expected.rows() - 1));

        const QString resolvedNext = next.startsWith(QLatin1Char('/')) ? server.url(next) : next;
        QCOMPARE(runner.nextAddress(), resolvedNext);
        QCOMPARE(server.requests.size(), 1);
    }

private slots:
    void panels_data() { pages_data(); }

    void panels()
    {
        QFETCH(QString, page);
        QFETCH(QString, site);
        QFETCH(QString, address);
        QFETCH(QStringList, panels);

        const QByteArray body = fixture(page);
        LocalHttpServer server([body](const LocalHttpServer::Request&) { return LocalHttpServer::page(body); });
        QTemporaryDir dir;
        AppPaths::setUserDataFolder(dir.path());
        SettingsStore settings(dir.filePath(QStringLiteral("quillon.ini")));
        settings.WriteSettingText(QStringLiteral("GrabDelay"), QStringLiteral("0"));
        TestPlatform platform;
        MainModel model(settings, platform, dir.filePath(QStringLiteral("Untitled1.vty")));
        StillBrowser browser;
        GrabSession session(model, browser);
        const int index = int(session.FillCatalog().indexOf(site));
        QVERIFY(index >= 0);
        session.SelectSite(index);
        QVERIFY(platform.messages.isEmpty());

        QSignalSpy evaluated(&session, &GrabSession::addressEvaluated);
        browser.go(server.url(address));
        QVERIFY(evaluated.wait(20000));
        QVERIFY(model.commands().isEnabled(QStringLiteral("tb1.StartGrab")));
        QCOMPARE(model.panels().text(MainModel::CategoryPanel), panels[0]);
        QCOMPARE(model.panels().text(MainModel::CityPanel), panels[1]);
        QCOMPARE(model.panels().text(MainModel::StatePanel), panels[2]);
        QCOMPARE(model.panels().text(MainModel::CountPanel), panels[3]);
    }
};

QTEST_GUILESS_MAIN(TestRealSiteKeys)
#include "TestRealSiteKeys.moc"

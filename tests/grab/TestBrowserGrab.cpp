#include "LocalHttpServer.h"
#include "testsupport/TestPlatform.h"
#include "testsupport/WidgetTestMain.h"

#include "app/MainWindow.h"
#include "grab/GrabController.h"
#include "grab/GrabSession.h"
#include "grab/KeyWorkshop.h"
#include "grab/KeyWorkshopController.h"
#include "grab/UserSites.h"
#include "shell/AppPaths.h"
#include "shell/MainModel.h"
#include "shell/SettingsStore.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <memory>

using namespace quillon;

namespace {

constexpr int kPages = 3;
constexpr int kPerPage = 4;

/** Result page @p n of a directory whose listings are put in by the page's script
 *  after the load: a download sees none, the browser all. */
QByteArray scriptedPage(int n)
{
    // The script writes the listing markers in pieces, so that the page as sent does
    // not hold them.
    QByteArray cards;
    for (int i = 0; i < kPerPage; ++i)
        cards += "<div class=\"' + c + '\"><h2 class=\"name\">Shop " + QByteArray::number(n) + "-"
               + QByteArray::number(i) + "</h2><span class=\"tel\">555-0" + QByteArray::number(n * 100 + i)
               + "</span></div>";
    QByteArray page = "<html><head><title>Shops</title></head><body><div id=\"list\">Loading...</div>";
    if (n < kPages)
        page += "<a class=\"next\" href=\"/shops?page=" + QByteArray::number(n + 1) + "\">Next</a>";
    page += "<script>var c = 'ca' + 'rd'; setTimeout(function () { document.getElementById('list').innerHTML = '" + cards
          + "'; }, 600);</script></body></html>";
    return page;
}

GrabKey scriptedKey(bool fromBrowser)
{
    GrabKey key;
    key.fromBrowser = fromBrowser;
    key.listingsPerPage = 20;
    key.listingStart = "<div class=\"card\">";
    key.listingEnd = "</div>";
    key.fields = {{0, "<h2 class=\"name\">", "</h2>"}, {5, "<span class=\"tel\">", "</span>"}};
    key.lastField = 1;
    key.nextStart = "<a class=\"next\" href=\"";
    key.nextEnd = "\"";
    key.listingPageMarker = QStringLiteral("/shops?");
    return key;
}

} // namespace

/**
 * Grabbing what the built-in browser shows: a site whose key reads the browser's
 * document gets the listings a page's script puts in after the load (the browser
 * goes to each next page and waits for the listings to settle), where a download of
 * the same pages finds none; Stop ends such a grab; the key workshop previews the
 * browser's text for such a site. Through the real web view, offscreen.
 */
class TestBrowserGrab : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<LocalHttpServer> m_server;
    TestPlatform m_platform;
    std::unique_ptr<MainWindow> m_window;

    GrabSession& session() const
    {
        return m_window->findChild<GrabController*>(QStringLiteral("GrabController"))->session();
    }

    /** A window with the site "Scripted Shops" chosen, its first page shown. */
    bool openOn(bool fromBrowser)
    {
        QString file;
        QString error;
        if (!UserSites::saveNewSite(QStringLiteral("Scripted Shops"), m_server->url(QStringLiteral("/shops?page=1")),
                                    scriptedKey(fromBrowser), {}, &file, &error))
            return false;
        m_window = std::make_unique<MainWindow>(*m_settings, m_platform);
        m_window->setEndAction([] {});
        m_window->show();
        QComboBox* sites = m_window->siteList();
        const int index = sites->findText(QStringLiteral("Scripted Shops"));
        if (index < 0)
            return false;
        sites->setCurrentIndex(index);
        return QTest::qWaitFor(
            [&] {
                return session().currentSite() == index
                    && m_window->action(QStringLiteral("tb1.StartGrab"))->isEnabled()
                    && !m_window->browser()->page()->isLoading();
            },
            30000);
    }

    QStringList names() const
    {
        QStringList out;
        const RecordSheet& sheet = m_window->model().sheet();
        for (int r = 1; r < sheet.rows(); ++r)
            out << sheet.text(r, 0);
        return out;
    }

private slots:
    void initTestCase()
    {
        m_server = std::make_unique<LocalHttpServer>([](const LocalHttpServer::Request& request) {
            if (request.target.startsWith("/shops?page="))
                return LocalHttpServer::page(scriptedPage(request.target.mid(12).toInt()));
            return LocalHttpServer::status(404);
        });
        QVERIFY(m_server->isListening());
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        AppPaths::setUserDataFolder(m_dir->filePath(QStringLiteral("user")));
        m_settings = std::make_unique<SettingsStore>(m_dir->filePath(QStringLiteral("quillon.ini")));
        m_settings->WriteSettingText(QStringLiteral("GrabDelay"), QStringLiteral("0"));
        m_platform.messages.clear();
    }

    void cleanup() { m_window.reset(); }

    void grabsWhatTheBrowserShows_data()
    {
        QTest::addColumn<bool>("fromBrowser");
        QTest::addColumn<int>("records");
        QTest::newRow("browser") << true << kPages * kPerPage;
        QTest::newRow("download") << false << 0;
    }

    void grabsWhatTheBrowserShows()
    {
        QFETCH(bool, fromBrowser);
        QFETCH(int, records);
        QVERIFY(openOn(fromBrowser));

        QSignalSpy ended(&session(), &GrabSession::grabEnded);
        m_window->action(QStringLiteral("tb1.StartGrab"))->trigger();
        QVERIFY(ended.wait(90000));
        QCOMPARE(m_window->statusPanel(2)->text(), QStringLiteral(" Done"));
        const QStringList got = names();
        QCOMPARE(got.size(), records);
        for (int n = 1; n <= kPages && records > 0; ++n)
            for (int i = 0; i < kPerPage; ++i)
                QCOMPARE(got[(n - 1) * kPerPage + i], QStringLiteral("Shop %1-%2").arg(n).arg(i));
        if (fromBrowser) {
            QCOMPARE(m_window->model().sheet().text(kPerPage + 1, 5), QStringLiteral("555-0200"));
            // The browser went from page to page: it shows the last one.
            QCOMPARE(m_window->browser()->url(), QUrl(m_server->url(QStringLiteral("/shops?page=3"))));
        }
    }

    void stopEndsABrowserGrab()
    {
        QVERIFY(openOn(true));
        QSignalSpy ended(&session(), &GrabSession::grabEnded);
        QSignalSpy pages(&session().runner(), &GrabRunner::pageGrabbed);
        m_window->action(QStringLiteral("tb1.StartGrab"))->trigger();
        QVERIFY(pages.wait(30000));
        // The browser is on its way to page 2 and waits for it.
        m_window->action(QStringLiteral("tb1.Stop"))->trigger();
        QCOMPARE(m_window->statusPanel(2)->text(), QStringLiteral(" Cancel"));
        QVERIFY(!ended.isEmpty() || ended.wait(10000));
        QCOMPARE(names().size(), kPerPage);
        QVERIFY(m_window->action(QStringLiteral("tb1.StartGrab"))->isEnabled());
    }

    void workshopPreviewsTheBrowsersText()
    {
        QVERIFY(openOn(true));
        // The page's script has put its listings in once the browser shows them.
        auto filled = std::make_shared<bool>(false);
        auto asking = std::make_shared<bool>(false);
        QVERIFY(QTest::qWaitFor(
            [&] {
                if (!*asking) {
                    *asking = true;
                    m_window->browser()->page()->toHtml([filled, asking](const QString& html) {
                        *filled = html.count(QLatin1String("<div class=\"card\">")) == kPerPage;
                        *asking = false;
                    });
                }
                return *filled;
            },
            20000));
        auto* controller = m_window->findChild<KeyWorkshopController*>(QStringLiteral("KeyWorkshopController"));
        QSignalSpy loaded(controller, &KeyWorkshopController::pageLoaded);
        m_window->action(QStringLiteral("tb1.KeyWorkshop"))->trigger();
        QVERIFY(!loaded.isEmpty() || loaded.wait(20000));
        KeyWorkshop& workshop = *controller->workshop();
        workshop.refresh();
        QCOMPARE(workshop.preview().cut.listings(), kPerPage);
        QCOMPARE(workshop.value(2, 0), QStringLiteral("Shop 1-2"));

        // The same site read by download: the page as sent has no listings.
        workshop.setFromBrowser(false);
        QVERIFY(loaded.wait(20000));
        workshop.refresh();
        QCOMPARE(workshop.preview().cut.listings(), 0);
    }

    void browserKeepsCookiesInTheUserFolder()
    {
        QVERIFY(openOn(true));
        QWebEngineProfile* profile = m_window->browser()->page()->profile();
        QVERIFY(!profile->isOffTheRecord());
        QCOMPARE(QDir(profile->persistentStoragePath()).absolutePath(),
                 QDir(m_dir->filePath(QStringLiteral("user/Browser"))).absolutePath());
        QCOMPARE(profile->persistentCookiesPolicy(), QWebEngineProfile::ForcePersistentCookies);
    }
};

QUILLON_WIDGET_TEST_MAIN(TestBrowserGrab)
#include "TestBrowserGrab.moc"

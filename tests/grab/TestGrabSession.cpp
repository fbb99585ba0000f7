#include "LocalHttpServer.h"
#include "testsupport/MisbehavingDirectory.h"
#include "testsupport/SheetState.h"
#include "testsupport/TestPlatform.h"

#include "shell/AppPaths.h"
#include "shell/MainModel.h"
#include "shell/SettingsStore.h"
#include "grab/BrowserControl.h"
#include "grab/GrabJournal.h"
#include "grab/GrabSession.h"
#include "edit/EditCommands.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

using namespace quillon;

namespace {

/** The browser as the session sees it: goes where it is sent and says so. */
class FakeBrowser : public BrowserControl
{
public:
    QList<QUrl> visited;
    int backs = 0;
    int forwards = 0;
    int reloads = 0;

    void navigate(const QUrl& url) override
    {
        visited << url;
        emit locationChanged(url.toString());
    }
    void back() override { ++backs; }
    void forward() override { ++forwards; }
    void reload() override { ++reloads; }
    void go(const QString& address) { emit locationChanged(address); }
};

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

struct Commands
{
    bool grab;
    bool stop;
};

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

QStringList recordNames(const RecordSheet& sheet)
{
    QStringList out;
    for (int r = 1; r < sheet.rows(); ++r)
        out << sheet.text(r, 0);
    return out;
}

} // namespace

class TestGrabSession : public QObject
{
    Q_OBJECT

    QString m_shippedData;
    QTemporaryDir* m_dir = nullptr;
    SettingsStore* m_settings = nullptr;
    TestPlatform* m_platform = nullptr;
    MainModel* m_model = nullptr;
    FakeBrowser* m_browser = nullptr;
    GrabSession* m_session = nullptr;

    CommandStates& commands() { return m_model->commands(); }
    QString panel(int n) { return m_model->panels().text(n); }

    /** The grab command (button and menu entry agree) and the stop command (both buttons). */
    Commands state()
    {
        const bool grab = commands().isEnabled(QStringLiteral("tb1.StartGrab"));
        const bool stop = commands().isEnabled(QStringLiteral("tb0.Stop"));
        [&] {
            QCOMPARE(commands().isEnabled(QStringLiteral("mnuFileB_Grab")), grab);
            QCOMPARE(commands().isEnabled(QStringLiteral("tb1.Stop")), stop);
        }();
        return {grab, stop};
    }

    int siteIndex(const QString& name) { return int(m_session->siteNames().indexOf(name)); }

    /** Chooses a site of the shipped table and returns the sample directory's address. */
    QString chooseSample(const char* name)
    {
        m_session->FillCatalog();
        const int i = siteIndex(QString::fromLatin1(name));
        if (i < 0)
            return QString();
        m_session->SelectSite(i);
        return m_session->sampleDirectory().root();
    }

    void browseAndWait(const QString& address)
    {
        QSignalSpy evaluated(m_session, &GrabSession::addressEvaluated);
        m_browser->go(address);
        QVERIFY(evaluated.wait(10000));
    }

    void grabAndWait()
    {
        QSignalSpy ended(m_session, &GrabSession::grabEnded);
        m_session->Grab();
        QVERIFY(ended.wait(30000));
    }

    void continueAndWait()
    {
        QSignalSpy ended(m_session, &GrabSession::grabEnded);
        m_session->ContinueGrab();
        QVERIFY(ended.wait(30000));
    }

    bool continueEnabled()
    {
        const bool on = commands().isEnabled(QStringLiteral("tb1.ContinueGrab"));
        [&] { QCOMPARE(commands().isEnabled(QStringLiteral("mnuFileB_ContinueGrab")), on); }();
        return on;
    }

    /** The named listings of a search of the sample directory, in no order. */
    QStringList sampleNames(const QString& category, const QString& city = QString())
    {
        SampleDirectory::Query q;
        q.category = category;
        q.city = city;
        QStringList out;
        for (const SampleDirectory::Listing* l : m_session->sampleDirectory().search(q))
            if (!l->name.isEmpty())
                out << l->name;
        return sorted(out);
    }

    /** A site table of one site, the misbehaving directory, with its key; chosen. */
    void chooseMisbehaving(const MisbehavingDirectory& site)
    {
        AppPaths::setDataFolder(m_dir->path());
        writeFile(m_dir->filePath(QStringLiteral("misbehaving.csv")), MisbehavingDirectory::keyCsv());
        writeFile(m_dir->filePath(QStringLiteral("sites.csv")),
                  "Site,Key,Grab,Address\nMisbehaving Directory,misbehaving.csv,1," + site.root().toUtf8() + "/\n");
        m_session->FillCatalogFrom(m_dir->filePath(QStringLiteral("sites.csv")));
        m_session->SelectSite(0);
        QVERIFY(!m_session->isGrabDisabled());
        m_browser->go(site.pageUrl(1));
        QVERIFY(m_session->isListingPage(site.pageUrl(1)));
    }

    /** Stops the grab once page @p page (0 is the first) is in the sheet. */
    void stopAfterPage(int page)
    {
        connect(&m_session->runner(), &GrabRunner::pageGrabbed, m_session, [this, page](int grabbed) {
            if (grabbed == page)
                m_session->Stop();
        });
    }

private slots:
    void initTestCase() { m_shippedData = AppPaths::dataFolder(); }

    void init()
    {
        m_dir = new QTemporaryDir;
        AppPaths::setDataFolder(m_shippedData);
        AppPaths::setUserDataFolder(m_dir->path());
        m_settings = new SettingsStore(m_dir->filePath(QStringLiteral("quillon.ini")));
        m_settings->WriteSettingText(QStringLiteral("GrabDelay"), QStringLiteral("0"));
        m_platform = new TestPlatform;
        m_model = new MainModel(*m_settings, *m_platform, m_dir->filePath(QStringLiteral("Untitled1.vty")));
        m_model->document().buildNewSheet();
        m_browser = new FakeBrowser;
        m_session = new GrabSession(*m_model, *m_browser);
    }

    void cleanup()
    {
        delete m_session;
        delete m_browser;
        delete m_model;
        delete m_platform;
        delete m_settings;
        delete m_dir;
        AppPaths::setDataFolder(m_shippedData);
    }

    // ---- catalog and site selection ------------------------------------------------------

    void catalogFromTheSiteTable()
    {
        AppPaths::setDataFolder(m_dir->path());
        writeFile(m_dir->filePath(QStringLiteral("stpl88.bin.csv")),
                  "Site,Key,Grab,Address\n"
                  "First,first.csv,1,http://first.example/\n"
                  "Comment row,,1,http://skipped.example/\n"
                  "Third,third.csv,0,http://third.example/\n"
                  "Fourth,fourth.csv,2.5,http://fourth.example/\n");
        const QStringList names = m_session->FillCatalogFrom(m_dir->filePath(QStringLiteral("stpl88.bin.csv")));
        QCOMPARE(names, QStringList({QStringLiteral("First"), QStringLiteral("Third"), QStringLiteral("Fourth")}));
        colKests& sites = m_session->mKests();
        QCOMPARE(sites.Count(), 3);
        QCOMPARE(sites.Item(1)->Index(), 1);
        QCOMPARE(sites.Item(2)->Index(), 3);
        QCOMPARE(sites.Item(3)->Index(), 4);
        QCOMPARE(sites.Item(2)->ListName(), QStringLiteral("Third"));
        QVERIFY(!sites.Item(2)->Avail());
        QVERIFY(sites.Item(3)->Avail());
        QCOMPARE(sites.Item(2)->FileName(), QStringLiteral("third.csv"));
        QCOMPARE(sites.Item(2)->URL(), QStringLiteral("http://third.example/"));
        // Keys are the table row less one, after a blank.
        QCOMPARE(sites.Item(QStringLiteral(" 2"))->ListName(), QStringLiteral("Third"));
        QVERIFY(!sites.Item(QStringLiteral(" 1")));
        QVERIFY(!sites.Item(0));
        QVERIFY(!sites.Item(4));
        int n = 0;
        for (const objKest& site : sites)
            QCOMPARE(site.ListName(), names[n++]);

        sites.Remove(QStringLiteral(" 0"));
        QCOMPARE(sites.Item(1)->ListName(), QStringLiteral("Third"));
        sites.Remove(5);
        QCOMPARE(sites.Count(), 2);

        QVERIFY(m_session->FillCatalogFrom(m_dir->filePath(QStringLiteral("missing.bin"))).isEmpty());
        QCOMPARE(m_session->mKests().Count(), 0);
        QVERIFY(m_platform->messages.isEmpty());
    }

    void shippedSiteTable()
    {
        const QStringList names = m_session->FillCatalog();
        QVERIFY(names.contains(QStringLiteral("Sample Directory (site A rules)")));
        QVERIFY(names.contains(QStringLiteral("Sample Directory (site B rules)")));
        QVERIFY(names.contains(QStringLiteral("Sample Directory (key rules)")));
        // Every grabbable site ships its key.
        for (const objKest& site : m_session->mKests())
            if (site.Avail())
                QVERIFY2(QFile::exists(AppPaths::dataFolder() + QLatin1Char('/') + site.FileName()),
                         qPrintable(site.FileName()));
    }

    void savedSiteOrderComesFirst()
    {
        QFile::copy(m_shippedData + QStringLiteral("/stpl88.bin"), m_dir->filePath(QStringLiteral("stpl00.bin")));
        KeyTable table;
        QVERIFY(table.load(m_dir->filePath(QStringLiteral("stpl00.bin"))));
        QVERIFY(!m_session->FillCatalog().isEmpty());
        QCOMPARE(m_session->siteNames().first(), table.text(1, 0));
    }

    void selectSiteWarnings_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("disabled");
        QTest::newRow("not available")
            << "Browse Only,browse.csv,0,http://browse.example/"
            << "Browse Only is not available for this version. Further grabbing function will not work.\n"
               "However, you can still do searching from this site."
            << true;
        QTest::newRow("key file missing") << "No Key,nokey.csv,1,http://nokey.example/"
                                          << "Key file not found. Contact software vender. " << true;
        QTest::newRow("key file unreadable")
            << "Bad Key,bad.bin,1,http://bad.example/"
            << "Cannot load key file '%1/bad.bin'. Contact software vender for more information." << false;
    }

    void selectSiteWarnings()
    {
        QFETCH(QString, row);
        QFETCH(QString, message);
        QFETCH(bool, disabled);
        AppPaths::setDataFolder(m_dir->path());
        writeFile(m_dir->filePath(QStringLiteral("bad.bin")), "this is not a grid file");
        writeFile(m_dir->filePath(QStringLiteral("sites.csv")), "Site,Key,Grab,Address\n" + row.toUtf8() + "\n");
        m_session->FillCatalogFrom(m_dir->filePath(QStringLiteral("sites.csv")));

        // A listing page of some earlier site had made grabbing available.
        commands().setEnabled(QStringLiteral("tb1.StartGrab"), true);
        commands().setEnabled(QStringLiteral("mnuFileB_Grab"), true);
        m_model->panels().setText(MainModel::CategoryPanel, QStringLiteral(" Old"));

        m_session->SelectSite(0);
        QCOMPARE(m_platform->messages.size(), 1);
        QCOMPARE(m_platform->messages[0].caption, QStringLiteral("Select Searching Engine"));
        QCOMPARE(m_platform->messages[0].text, message.replace(QStringLiteral("%1"), m_dir->path()));
        QCOMPARE(m_platform->messages[0].icon, Platform::Warning);
        QCOMPARE(m_session->isGrabDisabled(), disabled);

        // Browsing the site still works, and grabbing stays off whatever page is shown.
        const QString start = row.section(QLatin1Char(','), 3);
        QCOMPARE(m_browser->visited, QList<QUrl>{QUrl(start)});
        QCOMPARE(m_session->address(), start);
        QCOMPARE(m_model->currentPage(), int(MainModel::BrowserPage));
        QCOMPARE(m_session->hint(), int(GrabSession::HintBrowse));
        QCOMPARE(state().grab, false);
        QCOMPARE(state().stop, false);
        QCOMPARE(panel(MainModel::CategoryPanel), QString());
        m_browser->go(start + QStringLiteral("results?cat=Any&city=X"));
        QCOMPARE(state().grab, false);
    }

    // ---- the address box and the state table ----------------------------------------------

    void browsingAndReady()
    {
        const QString root = chooseSample("Sample Directory (site A rules)");
        QVERIFY(!root.isEmpty());
        QVERIFY(m_platform->messages.isEmpty());
        QCOMPARE(m_session->address(), root + QStringLiteral("/a/"));
        QCOMPARE(m_session->currentRules(), SiteRules::BuiltInA);
        // browsing
        QCOMPARE(state().grab, false);
        QCOMPARE(state().stop, false);
        QCOMPARE(m_session->hint(), int(GrabSession::HintBrowse));

        // ready: a listing page fills the category at once, count, city and state after
        // the page was looked at
        const QString page = root + QStringLiteral("/a/results?cat=Plumbers&city=Salt+Lake+City&state=UT");
        QSignalSpy evaluated(m_session, &GrabSession::addressEvaluated);
        m_browser->go(page);
        QCOMPARE(panel(MainModel::CategoryPanel), QStringLiteral(" Plumbers"));
        QCOMPARE(state().grab, true);
        QCOMPARE(state().stop, false);
        QCOMPARE(m_session->hint(), int(GrabSession::HintReady));
        QVERIFY(evaluated.wait(10000));
        SampleDirectory::Query q;
        q.category = QStringLiteral("Plumbers");
        q.city = QStringLiteral("Salt Lake City");
        q.state = QStringLiteral("UT");
        QCOMPARE(panel(MainModel::CountPanel), QString::number(m_session->sampleDirectory().search(q).size()));
        QCOMPARE(panel(MainModel::CityPanel), QStringLiteral(" Salt Lake City"));
        QCOMPARE(panel(MainModel::StatePanel), QStringLiteral(" UT"));

        // browsing away clears it all
        m_browser->go(root + QStringLiteral("/a/"));
        QCOMPARE(state().grab, false);
        QCOMPARE(m_session->hint(), int(GrabSession::HintBrowse));
        for (int p : {2, 20, 21, 22, 23, 24})
            QCOMPARE(panel(p), QString());
    }

    void addressPanels_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("city");
        QTest::addColumn<QString>("state");
        QTest::newRow("plain") << "cat=Florists&city=Boise&state=ID&page=2" << " Florists" << " Boise" << " ID";
        QTest::newRow("at most three + in the city")
            << "cat=Pizza&city=Lake+Havasu+City+North+Side&state=AZ" << " Pizza" << " Lake Havasu City North+Side"
            << " AZ";
        QTest::newRow("+ in the category stays") << "cat=Auto+Repair&city=&state=" << " Auto+Repair" << " " << " ";
        QTest::newRow("state last in the address") << "cat=Pizza&state=AZ" << " Pizza" << " " << " AZ";
    }

    void addressPanels()
    {
        QFETCH(QString, query);
        QFETCH(QString, category);
        QFETCH(QString, city);
        QFETCH(QString, state);
        const QString root = chooseSample("Sample Directory (site B rules)");
        browseAndWait(root + QStringLiteral("/b/results?") + query);
        QCOMPARE(panel(MainModel::CategoryPanel), category);
        QCOMPARE(panel(MainModel::CityPanel), city);
        QCOMPARE(panel(MainModel::StatePanel), state);
    }

    void countFromTheSecondChoice()
    {
        // Layout K shows its count only where the key's second count markers find it.
        const QString root = chooseSample("Sample Directory (key rules)");
        browseAndWait(root + QStringLiteral("/k/results?cat=Bakeries&city=&state="));
        SampleDirectory::Query q;
        q.category = QStringLiteral("Bakeries");
        QCOMPARE(panel(MainModel::CountPanel), QString::number(m_session->sampleDirectory().search(q).size()));
    }

    void countNotFoundShowsNA()
    {
        LocalHttpServer server([](const LocalHttpServer::Request&) {
            return LocalHttpServer::page("<div class=\"listing\">\n<h3 class=\"name\">Only</h3>\n</div><!-- listing -->");
        });
        chooseSample("Sample Directory (site A rules)");
        browseAndWait(server.url(QStringLiteral("/a/results?cat=Pizza&city=X&state=Y")));
        QCOMPARE(panel(MainModel::CountPanel), QStringLiteral("N/A"));
        QCOMPARE(state().grab, true);

        // After the grab N/A gives way to the number of listings grabbed.
        grabAndWait();
        QCOMPARE(panel(MainModel::CountPanel), QStringLiteral("1"));
        QCOMPARE(m_model->sheet().text(1, 0), QStringLiteral("Only"));
    }

    // ---- grabbing ----------------------------------------------------------------------------

    void grabToTheEnd()
    {
        const QString root = chooseSample("Sample Directory (site A rules)");
        browseAndWait(root + QStringLiteral("/a/results?cat=Florists&city=&state="));
        const QString count = panel(MainModel::CountPanel);
        QSignalSpy top(m_session, &GrabSession::topRowRequested);

        QSignalSpy ended(m_session, &GrabSession::grabEnded);
        m_session->Grab();
        // grabbing
        QCOMPARE(state().grab, false);
        QCOMPARE(state().stop, true);
        QVERIFY(commands().isEnabled(QStringLiteral("mnuFileB_StopGrab")));
        QVERIFY(!commands().isEnabled(QStringLiteral("tb1.Back")));
        QVERIFY(!commands().isEnabled(QStringLiteral("tb1.Forward")));
        QCOMPARE(m_session->hint(), int(GrabSession::HintGrabbing));
        QVERIFY(m_session->isGrabbing());
        QVERIFY(ended.wait(30000));

        // done
        QCOMPARE(state().grab, true);
        QCOMPARE(state().stop, false);
        QVERIFY(!commands().isEnabled(QStringLiteral("mnuFileB_StopGrab")));
        QVERIFY(commands().isEnabled(QStringLiteral("tb1.Back")));
        QCOMPARE(m_session->hint(), int(GrabSession::HintReady));
        QCOMPARE(panel(2), QStringLiteral(" Done"));
        QCOMPARE(panel(20), QStringLiteral(" Done"));
        QCOMPARE(panel(MainModel::CountPanel), count);
        QCOMPARE(m_model->currentPage(), int(MainModel::ResultsPage));
        QVERIFY(!m_session->isGrabbing());
        QVERIFY(m_model->document().IsModified());

        // A new document was emptied first: the records are exactly the listings.
        const RecordSheet& sheet = m_model->sheet();
        SampleDirectory::Query q;
        q.category = QStringLiteral("Florists");
        int named = 0;
        for (const SampleDirectory::Listing* l : m_session->sampleDirectory().search(q))
            named += !l->name.isEmpty();
        QCOMPARE(sheet.rows() - 1, named);
        QCOMPARE(sheet.title(0), QStringLiteral("Name"));
        QVERIFY(!m_model->document().ClearBeforeGrab());
        QCOMPARE(top.last().first().toInt(), sheet.rows() - 1);
    }

    void clearBeforeGrab_data()
    {
        QTest::addColumn<bool>("clearBeforeGrab");
        QTest::addColumn<bool>("typed");
        QTest::addColumn<int>("keptRows");
        QTest::newRow("after New") << true << false << 0;
        QTest::newRow("after New, a record typed") << true << true << 20;
        QTest::newRow("after Open") << false << true << 20;
    }

    void clearBeforeGrab()
    {
        QFETCH(bool, clearBeforeGrab);
        QFETCH(bool, typed);
        QFETCH(int, keptRows);
        m_model->document().setClearBeforeGrab(clearBeforeGrab);
        if (typed)
            m_model->sheet().setText(5, 2, QStringLiteral("typed by hand"));
        const QString root = chooseSample("Sample Directory (site B rules)");
        browseAndWait(root + QStringLiteral("/b/results?cat=People&city=Dover&state="));
        grabAndWait();
        const RecordSheet& sheet = m_model->sheet();
        SampleDirectory::Query q;
        q.category = QStringLiteral("People");
        q.city = QStringLiteral("Dover");
        int named = 0;
        for (const SampleDirectory::Listing* l : m_session->sampleDirectory().search(q))
            named += !l->name.isEmpty();
        QCOMPARE(sheet.rows() - 1, keptRows + named);
        if (typed)
            QCOMPARE(sheet.text(5, 2), QStringLiteral("typed by hand"));
        QVERIFY(!sheet.text(keptRows + 1, 0).isEmpty());
        QVERIFY(!m_model->document().ClearBeforeGrab());
    }

    void failedPageEndsTheGrab_data()
    {
        QTest::addColumn<int>("failingPage");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("page");
        QTest::newRow("second page not found")
            << 2 << " Page 2 failed: the site answered with status 404" << 2 << int(MainModel::ResultsPage);
        QTest::newRow("first page not found")
            << 1 << " Page 1 failed: the site answered with status 404" << 0 << int(MainModel::BrowserPage);
    }

    void failedPageEndsTheGrab()
    {
        QFETCH(int, failingPage);
        QFETCH(QString, status);
        QFETCH(int, records);
        QFETCH(int, page);
        bool looked = false; // the address box has had its look at the first page
        LocalHttpServer server([failingPage, &looked](const LocalHttpServer::Request& r) {
            const bool first = r.target == "/k/results?cat=Florists";
            if (first && (failingPage > 1 || !looked)) {
                looked = true;
                return LocalHttpServer::page("<ul><li class=\"card\"><strong class=\"fn\">Anna Berg</strong></li>"
                                             "<li class=\"card\"><strong class=\"fn\">Bo Carr</strong></li></ul>"
                                             "<link rel=\"next\" href=\"/k/results?cat=Florists&amp;page=2\">");
            }
            return LocalHttpServer::status(404);
        });
        chooseSample("Sample Directory (key rules)");
        browseAndWait(server.url(QStringLiteral("/k/results?cat=Florists")));
        m_model->document().MakeModified(false);
        const int rowsBefore = m_model->sheet().rows();
        grabAndWait();

        QCOMPARE(panel(2), status);
        QCOMPARE(panel(20), status);
        QCOMPARE(state().grab, true);
        QCOMPARE(state().stop, false);
        QVERIFY(!commands().isEnabled(QStringLiteral("mnuFileB_StopGrab")));
        QVERIFY(commands().isEnabled(QStringLiteral("tb1.Back")));
        QVERIFY(commands().isEnabled(QStringLiteral("tb1.Forward")));
        QCOMPARE(m_session->hint(), int(GrabSession::HintReady));
        QVERIFY(!m_session->isGrabbing());
        QVERIFY(!m_session->runner().isRunning());
        QCOMPARE(m_model->currentPage(), page);
        // What was grabbed stays, and the document counts as edited.
        QVERIFY(m_model->document().IsModified());
        if (records > 0) {
            QCOMPARE(m_model->sheet().rows() - 1, records);
            QCOMPARE(m_model->sheet().text(1, 0), QStringLiteral("Anna Berg"));
            QCOMPARE(m_model->sheet().text(2, 0), QStringLiteral("Bo Carr"));
        } else {
            QCOMPARE(m_model->sheet().rows(), rowsBefore);
        }
        QVERIFY(!server.requests.contains(QStringLiteral("/k/results?cat=Florists&page=3")));
    }

    void stopMidGrab()
    {
        // Pages that take a while, so that Stop comes while the grab is on its way.
        m_settings->WriteSettingText(QStringLiteral("GrabDelay"), QStringLiteral("150"));
        const QString root = chooseSample("Sample Directory (key rules)");
        browseAndWait(root + QStringLiteral("/k/results?cat=People&city=&state=&per=5"));
        QSignalSpy ended(m_session, &GrabSession::grabEnded);
        QSignalSpy pages(&m_session->runner(), &GrabRunner::pageGrabbed);
        m_session->Grab();
        QVERIFY(pages.wait(10000));
        m_session->Stop();
        // stopped: at once in the controls
        QCOMPARE(panel(2), QStringLiteral(" Cancel"));
        QCOMPARE(panel(20), QStringLiteral(" Cancel"));
        QCOMPARE(state().grab, true);
        QCOMPARE(state().stop, false);
        QVERIFY(!commands().isEnabled(QStringLiteral("mnuFileB_StopGrab")));
        QCOMPARE(m_session->hint(), int(GrabSession::HintReady));
        QVERIFY(!m_session->isGrabbing());
        // the grab ends after the next listing it keeps
        QVERIFY(ended.wait(10000));
        const int records = m_model->sheet().rows() - 1;
        QVERIFY2(records >= 1 && records <= 6, qPrintable(QString::number(records)));
        QCOMPARE(panel(2), QStringLiteral(" Cancel"));
        QCOMPARE(m_model->currentPage(), int(MainModel::BrowserPage));
        QVERIFY(!m_session->runner().isRunning());
        QVERIFY(m_model->document().IsModified());
    }

    void addressChangeDuringAGrab()
    {
        m_settings->WriteSettingText(QStringLiteral("GrabDelay"), QStringLiteral("100"));
        const QString root = chooseSample("Sample Directory (site A rules)");
        browseAndWait(root + QStringLiteral("/a/results?cat=People&city=&state=&per=10"));
        QSignalSpy ended(m_session, &GrabSession::grabEnded);
        m_session->Grab();
        // Another listing page while grabbing: the grab command stays off, Stop on.
        browseAndWait(root + QStringLiteral("/a/results?cat=Pizza&city=&state="));
        QCOMPARE(m_session->hint(), int(GrabSession::HintGrabbing));
        QCOMPARE(state().grab, false);
        QCOMPARE(state().stop, true);
        QVERIFY(commands().isEnabled(QStringLiteral("mnuFileB_StopGrab")));
        // A page that is no listing page leaves every stop command on too.
        m_browser->go(root + QStringLiteral("/a/"));
        QCOMPARE(m_session->hint(), int(GrabSession::HintGrabbing));
        QCOMPARE(state().grab, false);
        QCOMPARE(state().stop, true);
        QVERIFY(commands().isEnabled(QStringLiteral("mnuFileB_StopGrab")));
        m_session->Stop();
        QVERIFY(ended.wait(10000));
    }

    void progressAnimation()
    {
        QSignalSpy captions(m_session, &GrabSession::progressCaptionChanged);
        QStringList seen;
        for (int i = 0; i < 10; ++i) {
            m_session->Timer1_Timer();
            seen << panel(2);
            QCOMPARE(panel(20), panel(2));
            QCOMPARE(captions.last().first().toString(), panel(2));
        }
        QCOMPARE(seen[0], QStringLiteral(" Grabbing >"));
        QCOMPARE(seen[7], QStringLiteral(" Grabbing >>>>>>>>"));
        QCOMPARE(seen[8], QString());
        QCOMPARE(seen[9], QStringLiteral(" Grabbing >"));
        QCOMPARE(m_session->hintCaption(GrabSession::HintGrabbing), seen[9]);
    }

    void hintTexts()
    {
        QCOMPARE(m_session->hintCaption(0), QStringLiteral("Fine tune your searching category until        enabled"));
        QCOMPARE(m_session->hintCaption(1), QStringLiteral("Ready to grab"));
        QCOMPARE(GrabSession::hintToolTip(0),
                 QStringLiteral("Go to the listing page and the grab button will become enabled"));
        QCOMPARE(GrabSession::hintToolTip(1), QStringLiteral("Click the grab button on the left to start grabbing"));
        QCOMPARE(GrabSession::hintToolTip(2), QStringLiteral("Click the grab button on the left to start grabbing"));
    }

    void browserCommands()
    {
        m_session->goBack();
        m_session->goForward();
        m_model->panels().setText(2, QStringLiteral(" Done"));
        m_model->panels().setText(20, QStringLiteral(" Done"));
        m_session->reload();
        QCOMPARE(m_browser->backs, 1);
        QCOMPARE(m_browser->forwards, 1);
        QCOMPARE(m_browser->reloads, 1);
        QCOMPARE(panel(2), QString());
        QCOMPARE(panel(20), QString());
    }

    void hourglassWhileLoading()
    {
        emit m_browser->loadStarted();
        emit m_browser->loadStarted();
        QCOMPARE(m_platform->busyDepth, 1);
        emit m_browser->loadFinished();
        QCOMPARE(m_platform->busyDepth, 0);
        emit m_browser->loadFinished();
        QCOMPARE(m_platform->busyDepth, 0);
    }

    // ---- the journal and Continue Grab ----------------------------------------------------------

    void journalAfterEveryPage()
    {
        const QString root = chooseSample("Sample Directory (site A rules)");
        browseAndWait(root + QStringLiteral("/a/results?cat=Florists&city=&state=&per=5"));
        QVERIFY(!continueEnabled());
        QStringList started;
        QList<GrabJournal> journals;
        GrabRunner& runner = m_session->runner();
        connect(&runner, &GrabRunner::pageStarted, this, [&](int, const QString& address) { started << address; });
        connect(&runner, &GrabRunner::pageGrabbed, this, [&] {
            GrabJournal journal;
            QString error;
            QVERIFY2(journal.load(m_session->journalPath(), &error), qPrintable(error));
            journals << journal;
            QCOMPARE(journal.done.rows, qint64(m_model->sheet().rows()));
            QVERIFY(!continueEnabled()); // not while grabbing
        });
        grabAndWait();
        QVERIFY(journals.size() >= 3);
        for (int i = 0; i < journals.size(); ++i) {
            const GrabJournal& j = journals[i];
            QCOMPARE(j.site, QStringLiteral("Sample Directory (site A rules)"));
            QCOMPARE(j.startAddress, QStringLiteral("quillon-sample:/a/results?cat=Florists&city=&state=&per=5"));
            QCOMPARE(j.done.pagesDone, i + 1);
            QCOMPARE(j.done.listings, qint64(j.done.rows - 1));
            QCOMPARE(j.firstRow, qint64(1));
            QCOMPARE(j.document, m_model->document().DocumentName());
            // The next page as the sample directory's address, whatever its port.
            if (i + 1 < started.size()) {
                QVERIFY(j.done.next.startsWith(QLatin1String("quillon-sample:/a/results?")));
                QCOMPARE(m_session->sampleDirectory().resolve(j.done.next), started[i + 1]);
            }
        }
        // The grab came to the last page: nothing is left to continue.
        QVERIFY(!QFile::exists(m_session->journalPath()));
        QVERIFY(!continueEnabled());
        QCOMPARE(sorted(recordNames(m_model->sheet())), sampleNames(QStringLiteral("Florists")));
    }

    void continueAfterStop_data()
    {
        QTest::addColumn<bool>("sortAndEdit");
        QTest::newRow("sheet as it was") << false;
        QTest::newRow("sheet sorted and edited in between") << true;
    }

    void continueAfterStop()
    {
        QFETCH(bool, sortAndEdit);
        const QString root = chooseSample("Sample Directory (site B rules)");
        browseAndWait(root + QStringLiteral("/b/results?cat=Florists&city=&state=&per=5"));
        stopAfterPage(1);
        grabAndWait();
        QCOMPARE(panel(2), QStringLiteral(" Cancel"));
        QVERIFY(m_model->sheet().rows() > 2 && m_model->sheet().rows() <= 11); // two pages of 5, some without names
        QVERIFY(continueEnabled());
        GrabJournal journal;
        QVERIFY(journal.load(m_session->journalPath()));
        QCOMPARE(journal.endedBy, QStringLiteral("stopped"));
        QCOMPARE(journal.done.pagesDone, 2);
        disconnect(&m_session->runner(), &GrabRunner::pageGrabbed, m_session, nullptr);

        RecordSheet& sheet = m_model->sheet();
        QStringList before = recordNames(sheet);
        if (sortAndEdit) {
            // Newest first, and a record changed: the grab's rows are no longer where it left them.
            std::vector<int> order;
            for (int r = sheet.rows() - 1; r >= 1; --r)
                order.push_back(r);
            sheet.applyRecordOrder(order);
            sheet.setText(1, 0, sheet.text(1, 0) + QStringLiteral(" (called)"));
            before = recordNames(sheet);
        }
        m_browser->go(root + QStringLiteral("/b/")); // the browser went elsewhere meanwhile
        QVERIFY(continueEnabled());
        continueAndWait();
        QCOMPARE(panel(2), QStringLiteral(" Done"));
        // The records before stay as they were, the pages still to come follow them.
        QCOMPARE(recordNames(sheet).mid(0, before.size()), before);
        QStringList all = recordNames(sheet);
        if (sortAndEdit)
            all[0].chop(9);
        QCOMPARE(sorted(all), sampleNames(QStringLiteral("Florists")));
        QVERIFY(!QFile::exists(m_session->journalPath()));
        QVERIFY(!continueEnabled());
    }

    void continueAfterClosing()
    {
        // Quillon closed during a grab; started again, the site chosen, the grab goes on
        // (the sample directory is now at another port).
        const QString root = chooseSample("Sample Directory (key rules)");
        browseAndWait(root + QStringLiteral("/k/results?cat=Bakeries&city=&state=&per=4"));
        QSignalSpy pages(&m_session->runner(), &GrabRunner::pageGrabbed);
        m_session->Grab();
        QTRY_VERIFY_WITH_TIMEOUT(pages.size() >= 2, 20000);
        delete m_session;
        m_session = nullptr;
        GrabJournal journal;
        QVERIFY(journal.load(GrabJournal::pathForSite(QStringLiteral("Sample Directory (key rules)"))));
        QCOMPARE(journal.endedBy, QStringLiteral("closed"));
        const QStringList kept = recordNames(m_model->sheet()).mid(0, int(journal.done.rows - 1));
        m_model->sheet().setRows(int(journal.done.rows));

        m_session = new GrabSession(*m_model, *m_browser);
        QVERIFY(chooseSample("Sample Directory (key rules)") != root);
        QVERIFY(continueEnabled());
        continueAndWait();
        QCOMPARE(recordNames(m_model->sheet()).mid(0, kept.size()), kept);
        QCOMPARE(sorted(recordNames(m_model->sheet())), sampleNames(QStringLiteral("Bakeries")));
    }

    void continueWhenTheSheetLostRecords_data()
    {
        // Six pages of three; the grab stopped after page 4 (Quillon closed or crashed
        // meanwhile), and the sheet holds the records of the pages before `pagesHeld`.
        QTest::addColumn<int>("pagesHeld");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QList<int>>("pagesInTheSheet");
        QTest::addColumn<int>("firstPageAskedAgain");
        const QList<int> all{1, 2, 3, 4, 5, 6};
        QTest::newRow("all kept: no question") << 4 << -1 << all << 0;
        QTest::newRow("none kept, grabbed again") << 0 << int(Platform::Yes) << all << 1;
        QTest::newRow("an older copy kept, grabbed again from there") << 2 << int(Platform::Yes) << all << 3;
        QTest::newRow("an older copy kept, the user goes on")
            << 2 << int(Platform::No) << QList<int>{1, 2, 5, 6} << 0;
        QTest::newRow("cancelled") << 2 << int(Platform::Cancel) << QList<int>{1, 2} << 0;
    }

    void continueWhenTheSheetLostRecords()
    {
        QFETCH(int, pagesHeld);
        QFETCH(int, answer);
        QFETCH(QList<int>, pagesInTheSheet);
        QFETCH(int, firstPageAskedAgain);
        MisbehavingDirectory site(6, 3);
        MisbehavingDirectory::Plan last;
        last.linkBack = 3; // the last page links back to page 3: grabbed again, it still ends the grab
        site.setPlan(6, last);
        chooseMisbehaving(site);
        stopAfterPage(3);
        grabAndWait();
        QCOMPARE(recordNames(m_model->sheet()),
                 site.names(1) + site.names(2) + site.names(3) + site.names(4));
        delete m_session;
        m_session = nullptr;

        if (pagesHeld == 0) {
            // A new document of blank records, as File New leaves it.
            m_model->document().buildNewSheet();
            m_model->document().setClearBeforeGrab(true);
        } else {
            m_model->sheet().setRows(1 + 3 * pagesHeld);
        }
        m_session = new GrabSession(*m_model, *m_browser);
        chooseMisbehaving(site);
        QVERIFY(continueEnabled());
        m_platform->messages.clear();
        if (answer >= 0)
            m_platform->messageAnswers.enqueue(answer);
        if (answer == int(Platform::Cancel)) {
            m_session->ContinueGrab();
            QVERIFY(!m_session->isGrabbing());
            QVERIFY(continueEnabled());
        } else {
            continueAndWait();
            QCOMPARE(panel(2), QStringLiteral(" Done"));
        }

        if (answer < 0) {
            QVERIFY(m_platform->messages.isEmpty());
        } else {
            QCOMPARE(m_platform->messages.size(), 1);
            const TestPlatform::Message& asked = m_platform->messages[0];
            QCOMPARE(asked.caption, QStringLiteral("Continue Grab"));
            QCOMPARE(asked.buttons, int(Platform::Yes | Platform::No | Platform::Cancel));
            QCOMPARE(asked.defaultButton, int(Platform::Yes));
            QVERIFY2(
                asked.text.contains(
                    QStringLiteral("filled the sheet to 12 records; it now holds %1").arg(3 * pagesHeld)),
                qPrintable(asked.text));
            QVERIFY2(asked.text.contains(QStringLiteral("Grab again from page %1").arg(pagesHeld + 1)),
                     qPrintable(asked.text));
            QVERIFY2(asked.text.contains(QStringLiteral("No goes on from page 5")), qPrintable(asked.text));
        }
        QStringList expected;
        for (int page : pagesInTheSheet)
            expected += site.names(page);
        QCOMPARE(recordNames(m_model->sheet()), expected);
        for (int page = 1; page <= 6; ++page) {
            const int asked = page > 4 ? (pagesInTheSheet.contains(page) ? 1 : 0)
                                       : 1 + (firstPageAskedAgain && page >= firstPageAskedAgain ? 1 : 0);
            QCOMPARE(site.requestCount(page), asked);
        }
        QCOMPARE(QFile::exists(m_session->journalPath()), answer == int(Platform::Cancel));
    }

    void continueAfterDeletingRecordsAsksWithNoAsDefault()
    {
        // Stopped, then records deleted in the same document: asked, but going on is
        // what Enter does.
        MisbehavingDirectory site(5, 3);
        chooseMisbehaving(site);
        stopAfterPage(2);
        grabAndWait();
        disconnect(&m_session->runner(), &GrabRunner::pageGrabbed, m_session, nullptr);
        QCOMPARE(m_model->sheet().rows(), 10);
        m_model->sheet().setRows(6);
        m_platform->messages.clear();
        continueAndWait();
        QCOMPARE(m_platform->messages.size(), 1);
        QCOMPARE(m_platform->messages[0].defaultButton, int(Platform::No));
        QVERIFY2(m_platform->messages[0].text.contains(QLatin1String("records were deleted since")),
                 qPrintable(m_platform->messages[0].text));
        QCOMPARE(recordNames(m_model->sheet()),
                 site.names(1) + site.names(2).mid(0, 2) + site.names(4) + site.names(5));
        QCOMPARE(site.requestCount(2), 1);
    }

    void continueIntoAnotherDocumentWithFewerRecords()
    {
        // The grab's sheet was never saved; another file of five records is open instead.
        MisbehavingDirectory site(4, 3);
        chooseMisbehaving(site);
        stopAfterPage(2);
        grabAndWait();
        delete m_session;
        m_session = nullptr;
        Document& document = m_model->document();
        document.setDocumentName(m_dir->filePath(QStringLiteral("customers.vty")));
        document.setClearBeforeGrab(false);
        const QStringList customers{QStringLiteral("Ann"), QStringLiteral("Bob"), QStringLiteral("Cy"),
                                    QStringLiteral("Di"), QStringLiteral("Ed")};
        m_model->sheet().setRows(1 + int(customers.size()));
        for (int r = 0; r < customers.size(); ++r)
            m_model->sheet().setText(r + 1, 0, customers[r]);

        m_session = new GrabSession(*m_model, *m_browser);
        chooseMisbehaving(site);
        m_platform->messages.clear();
        m_platform->messageAnswers.enqueue(Platform::Yes);
        continueAndWait();
        QCOMPARE(m_platform->messages.size(), 1);
        QVERIFY2(m_platform->messages[0].text.contains(QLatin1String("Grab again from page 1,")),
                 qPrintable(m_platform->messages[0].text));
        QCOMPARE(recordNames(m_model->sheet()),
                 customers + site.names(1) + site.names(2) + site.names(3) + site.names(4));
    }

    void continueAfterAFailedPage()
    {
        MisbehavingDirectory site(5, 3);
        site.setPlan(3, {MisbehavingDirectory::Trouble::ServerError, 3});
        chooseMisbehaving(site);
        PageFetcher::Limits limits;
        limits.retryWaitMs = 10;
        m_session->fetcher().setLimits(limits);
        grabAndWait();
        QCOMPARE(panel(2), QStringLiteral(" Page 3 failed: the site answered with status 500 (asked 3 times)"));
        QCOMPARE(recordNames(m_model->sheet()), site.names(1) + site.names(2));
        QVERIFY(continueEnabled());
        QVERIFY(state().grab);
        continueAndWait();
        QCOMPARE(panel(2), QStringLiteral(" Done"));
        QCOMPARE(recordNames(m_model->sheet()),
                 site.names(1) + site.names(2) + site.names(3) + site.names(4) + site.names(5));
        QCOMPARE(site.requestCount(1), 1); // the key reads no count: the address box does not look
        QCOMPARE(site.requestCount(2), 1);
    }

    void robotsTxtRefusal_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("left as it is") << int(Platform::No);
        QTest::newRow("ignored for the site from now on") << int(Platform::Yes);
    }

    void robotsTxtRefusal()
    {
        QFETCH(int, answer);
        MisbehavingDirectory site(3, 2);
        site.setRobotsTxt("User-agent: *\nDisallow: /r?p=2\n");
        chooseMisbehaving(site);
        m_platform->messageAnswers.enqueue(answer);
        QSignalSpy ended(m_session, &GrabSession::grabEnded);
        m_session->Grab();
        QVERIFY(ended.wait(20000));
        QCOMPARE(m_platform->messages.size(), 1);
        const TestPlatform::Message& asked = m_platform->messages[0];
        QCOMPARE(asked.caption, QStringLiteral("Grab Refused"));
        QVERIFY2(asked.text.contains(site.pageUrl(2)), qPrintable(asked.text));
        QVERIFY(asked.text.contains(QLatin1String("Ignore robots.txt for this site?")));
        QCOMPARE(asked.buttons, int(Platform::Yes | Platform::No));
        QCOMPARE(asked.defaultButton, int(Platform::No));
        QCOMPARE(site.requestCount(2), 0);
        if (answer == Platform::No) {
            QCOMPARE(panel(2),
                     QStringLiteral(" Page 2 refused: the site's robots.txt does not allow robots to read /r?p=2"));
            QCOMPARE(recordNames(m_model->sheet()), site.names(1));
            QVERIFY(m_session->honoursRobotsTxt(QStringLiteral("Misbehaving Directory")));
            QCOMPARE(m_settings->ReadSettingText(QStringLiteral("IgnoreRobotsTxt")), QString());
            GrabJournal journal;
            QVERIFY(journal.load(m_session->journalPath()));
            QCOMPARE(journal.endedBy, QStringLiteral("refused"));
            QVERIFY(continueEnabled());
            return;
        }
        // Yes: the setting names the site and the grab goes on at the page refused.
        QVERIFY(ended.wait(20000));
        QCOMPARE(m_settings->ReadSettingText(QStringLiteral("IgnoreRobotsTxt")),
                 QStringLiteral("Misbehaving Directory"));
        QCOMPARE(panel(2), QStringLiteral(" Done"));
        QCOMPARE(recordNames(m_model->sheet()), site.names(1) + site.names(2) + site.names(3));
        QCOMPARE(site.requests.count(QStringLiteral("/robots.txt")), 1);
    }

    void robotsTxtSetting_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<bool>("honoured");
        QTest::newRow("not set") << "" << true;
        QTest::newRow("another site") << "Yellow Pages US (2017 pages)" << true;
        QTest::newRow("this site") << "Misbehaving Directory" << false;
        QTest::newRow("this site among others") << "Other Site | Misbehaving Directory|" << false;
    }

    void robotsTxtSetting()
    {
        QFETCH(QString, setting);
        QFETCH(bool, honoured);
        m_settings->WriteSettingText(QStringLiteral("IgnoreRobotsTxt"), setting);
        MisbehavingDirectory site(2, 2);
        site.setRobotsTxt("User-agent: *\nDisallow: /\n");
        chooseMisbehaving(site);
        grabAndWait();
        QCOMPARE(m_session->honoursRobotsTxt(QStringLiteral("Misbehaving Directory")), honoured);
        QCOMPARE(site.requests.count(QStringLiteral("/robots.txt")), honoured ? 1 : 0);
        QCOMPARE(recordNames(m_model->sheet()).filter(QStringLiteral("Caf\u00e9")).size(), honoured ? 0 : 4);
    }

    void sourceColumnsSetting_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<bool>("columns");
        QTest::newRow("not set") << "" << false;
        QTest::newRow("off") << "False" << false;
        QTest::newRow("on") << "True" << true;
    }

    void sourceColumnsSetting()
    {
        QFETCH(QString, setting);
        QFETCH(bool, columns);
        m_settings->WriteSettingText(QStringLiteral("GrabSourceColumns"), setting);
        MisbehavingDirectory site(2, 2);
        chooseMisbehaving(site);
        const int before = m_model->sheet().cols();
        grabAndWait();
        const RecordSheet& sheet = m_model->sheet();
        QCOMPARE(sheet.cols(), before + (columns ? 2 : 0));
        QCOMPARE(m_model->document().ColumnComboLists().size(), sheet.cols());
        if (columns) {
            QCOMPARE(sheet.title(before), QStringLiteral("Source Page"));
            QCOMPARE(sheet.title(before + 1), QStringLiteral("Grabbed At"));
            QCOMPARE(sheet.text(1, before), site.pageUrl(1));
            QCOMPARE(sheet.text(4, before), site.pageUrl(2));
            QCOMPARE(sheet.text(4, before + 1), QStringLiteral("2026-12-08 16:24:09")); // the platform's clock
        }
    }

    void continueWithoutAJournal()
    {
        MisbehavingDirectory site(2);
        chooseMisbehaving(site);
        const int rows = m_model->sheet().rows();
        QVERIFY(!continueEnabled());
        m_session->ContinueGrab(); // nothing to continue: nothing happens
        QVERIFY(!m_session->isGrabbing());
        QVERIFY2(m_platform->messages.isEmpty(), qPrintable(m_platform->lastMessage()));

        // A journal that cannot be read says why.
        QDir().mkpath(GrabJournal::folder());
        writeFile(m_session->journalPath(), "{ this is not a journal");
        m_session->SelectSite(0);
        QVERIFY(continueEnabled());
        m_session->ContinueGrab();
        QVERIFY(!m_session->isGrabbing());
        QCOMPARE(m_platform->messages.size(), 1);
        QCOMPARE(m_platform->messages[0].caption, QStringLiteral("Continue Grab"));
        QVERIFY2(m_platform->messages[0].text.startsWith(
                     QLatin1String("The grab of Misbehaving Directory cannot be continued: ")),
                 qPrintable(m_platform->messages[0].text));
        QCOMPARE(m_model->sheet().rows(), rows);
        QVERIFY(site.requests.isEmpty());
    }

    void grabDelaySetting_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("ms");
        QTest::newRow("unset") << "" << 1000;
        QTest::newRow("set") << "250" << 250;
        QTest::newRow("not a number") << "soon" << 1000;
        QTest::newRow("negative") << "-5" << 0;
        QTest::newRow("huge") << "99999999" << 600000;
    }

    void grabDelaySetting()
    {
        QFETCH(QString, text);
        QFETCH(int, ms);
        m_settings->WriteSettingText(QStringLiteral("GrabDelay"), text);
        QCOMPARE(m_session->grabDelay(), ms);
    }

    // ---- undo ----------------------------------------------------------------------------

    void grabIsOneStepWhateverItsPages_data()
    {
        QTest::addColumn<bool>("clearBeforeGrab");
        QTest::newRow("into a new document") << true;
        QTest::newRow("below records") << false;
    }
    void grabIsOneStepWhateverItsPages()
    {
        QFETCH(bool, clearBeforeGrab);
        m_model->document().setClearBeforeGrab(clearBeforeGrab);
        if (!clearBeforeGrab)
            m_model->sheet().setText(3, 0, QStringLiteral("already here"));
        m_model->sheet().setRowHeight(4, 480);
        m_model->history().clear();
        const QString root = chooseSample("Sample Directory (site A rules)");
        browseAndWait(root + QStringLiteral("/a/results?cat=Florists&city=&state=&per=5"));
        const SheetState before = SheetState::of(*m_model);
        grabAndWait();
        QVERIFY(m_session->runner().pageCount() >= 3);
        const SheetState after = SheetState::of(*m_model);
        const int grabbed = m_model->sheet().rows() - (clearBeforeGrab ? 1 : 21);
        QCOMPARE(grabbed, m_session->runner().listingCount());
        QCOMPARE(m_model->history().count(), 1);
        QCOMPARE(m_model->history().undoText(), QStringLiteral("Grab (%1 records)").arg(grabbed));
        m_model->history().undo();
        QUILLON_COMPARE_STATE(SheetState::of(*m_model), before);
        m_model->history().redo();
        QUILLON_COMPARE_STATE(SheetState::of(*m_model), after);
        m_model->history().undo();
        QUILLON_COMPARE_STATE(SheetState::of(*m_model), before);
    }

    void anEditDuringAGrabComesBetweenItsSteps()
    {
        m_settings->WriteSettingText(QStringLiteral("GrabDelay"), QStringLiteral("50"));
        EditCommands edit(*m_model);
        m_model->history().clear();
        const QString root = chooseSample("Sample Directory (site A rules)");
        browseAndWait(root + QStringLiteral("/a/results?cat=Florists&city=&state=&per=4"));
        const SheetState before = SheetState::of(*m_model);
        QSignalSpy ended(m_session, &GrabSession::grabEnded);
        QSignalSpy pages(&m_session->runner(), &GrabRunner::pageGrabbed);
        m_session->Grab();
        QVERIFY(pages.wait(10000));
        const int firstPage = m_model->sheet().recordCount();
        QCOMPARE(m_model->history().undoText(), QStringLiteral("Grab (%1 records)").arg(firstPage));
        // The user sorts what came so far while the grab goes on.
        edit.sortByTitle(0);
        QVERIFY(ended.wait(30000));
        const int records = m_model->sheet().recordCount();
        QVERIFY(records > firstPage);
        QCOMPARE(m_model->history().count(), 3);
        QCOMPARE(m_model->history().undoText(), QStringLiteral("Grab (%1 records)").arg(records - firstPage));
        m_model->history().undo();
        QCOMPARE(m_model->sheet().recordCount(), firstPage);
        QCOMPARE(m_model->history().undoText(), QStringLiteral("Sort"));
        m_model->history().undo();
        m_model->history().undo();
        QUILLON_COMPARE_STATE(SheetState::of(*m_model), before);
    }
};

QTEST_GUILESS_MAIN(TestGrabSession)
#include "TestGrabSession.moc"

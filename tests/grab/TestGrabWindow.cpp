#include "LocalHttpServer.h"
#include "testsupport/SheetState.h"
#include "testsupport/TestPlatform.h"
#include "testsupport/WidgetTestMain.h"

#include "shell/AppPaths.h"
#include "shell/MainModel.h"
#include "app/MainWindow.h"
#include "shell/SettingsStore.h"
#include "grab/GrabController.h"
#include "grab/GrabSession.h"
#include "grab/SiteCatalog.h"
#include "grab/SiteOrder.h"
#include "ui/SheetView.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>

using namespace quillon;

class TestGrabWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_settings;
    TestPlatform m_platform;
    std::unique_ptr<MainWindow> m_window;

    GrabController* controller() const { return m_window->findChild<GrabController*>(QStringLiteral("GrabController")); }
    GrabSession& session() const { return controller()->session(); }
    bool enabled(const char* name) const { return m_window->action(QString::fromLatin1(name))->isEnabled(); }
    QString panel(int n) const { return m_window->statusPanel(n)->text(); }
    int visibleHint() const
    {
        int shown = -1;
        for (int n = 0; n < 3; ++n)
            if (controller()->hintPanel(n)->isVisible())
                shown = shown < 0 ? n : 99;
        return shown;
    }

    void openWindow()
    {
        m_window.reset();
        m_platform.messages.clear();
        m_window = std::make_unique<MainWindow>(*m_settings, m_platform);
        m_window->setEndAction([] {});
        m_window->show();
    }

    /** Waits until the web view has shown the address in the address box, so that it
     *  reports nothing more on its own. */
    bool browserSettled()
    {
        return QTest::qWaitFor(
            [this] {
                return m_window->browser()->url().toString() == m_window->addressBox()->text()
                    && !m_window->browser()->page()->isLoading();
            },
            30000);
    }

    /** A result page of the sample directory's layout A with two listings and a link
     *  to @p next. */
    static QByteArray layoutAPage(const QByteArray& next)
    {
        return "<p>1 to 2 of <b>3</b> listings</p>"
               "<div class=\"listing\"><h3 class=\"name\">Anna Berg</h3></div><!-- listing -->"
               "<div class=\"listing\"><h3 class=\"name\">Bo Carr</h3></div><!-- listing -->"
               "<a class=\"next\" href=\""
            + next + "\">Next</a>";
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        AppPaths::setUserDataFolder(m_dir->filePath(QStringLiteral("user")));
        m_settings = std::make_unique<SettingsStore>(m_dir->filePath(QStringLiteral("quillon.ini")));
        m_settings->WriteSettingText(QStringLiteral("GrabDelay"), QStringLiteral("0"));
        openWindow();
    }

    void cleanup() { m_window.reset(); }

    void loadChoosesTheFirstSite()
    {
        QComboBox* sites = m_window->siteList();
        QCOMPARE(sites->count(), int(session().siteNames().size()));
        QVERIFY(sites->count() >= 7);
        QCOMPARE(sites->currentIndex(), 0);
        QCOMPARE(sites->itemText(0), QStringLiteral("Sample Directory (site A rules)"));
        QCOMPARE(session().currentSite(), 0);
        QCOMPARE(m_window->addressBox()->text(), session().sampleDirectory().root() + QStringLiteral("/a/"));
        QCOMPARE(m_window->model().currentPage(), int(MainModel::BrowserPage));
        QVERIFY(m_platform.messages.isEmpty());

        // browsing: hint 0 with its picture of the grab button, nothing to grab or stop
        QCOMPARE(visibleHint(), 0);
        QWidget* hint0 = controller()->hintPanel(0);
        QCOMPARE(hint0->objectName(), QStringLiteral("pnlHintMsg0"));
        QCOMPARE(hint0->toolTip(), QStringLiteral("Go to the listing page and the grab button will become enabled"));
        const QList<QLabel*> labels = hint0->findChildren<QLabel*>();
        QCOMPARE(labels.size(), 3);
        QCOMPARE(labels[0]->text(), QStringLiteral("Fine tune your searching category until"));
        QVERIFY(!labels[1]->pixmap().isNull() || !labels[1]->text().isEmpty());
        QCOMPARE(labels[1]->toolTip(), hint0->toolTip());
        QCOMPARE(labels[2]->text(), QStringLiteral("enabled"));
        QVERIFY(!enabled("mnuFileB_Grab"));
        QVERIFY(!enabled("tb1.StartGrab"));
        QVERIFY(!enabled("tb1.Stop"));
        QVERIFY(!enabled("tb0.Stop"));
        QVERIFY(!enabled("mnuFileB_StopGrab"));
    }

    void grabFromTheBrowserPage()
    {
        // The browser goes to a result page; its location reaches the address box.
        const QString page = session().sampleDirectory().root() + QStringLiteral("/a/results?cat=Florists&city=&state=");
        QSignalSpy evaluated(&session(), &GrabSession::addressEvaluated);
        m_window->browser()->setUrl(QUrl(page));
        QVERIFY(QTest::qWaitFor([&] { return m_window->addressBox()->text() == page; }, 30000));
        QVERIFY(evaluated.wait(20000) || !evaluated.isEmpty());

        // ready
        QVERIFY(enabled("mnuFileB_Grab"));
        QVERIFY(enabled("tb1.StartGrab"));
        QCOMPARE(visibleHint(), 1);
        QCOMPARE(controller()->hintPanel(1)->toolTip(),
                 QStringLiteral("Click the grab button on the left to start grabbing"));
        QCOMPARE(panel(21), QStringLiteral(" Florists"));
        QVERIFY(panel(24).toInt() > 0);

        // grabbing, then done on the Results page
        QSignalSpy ended(&session(), &GrabSession::grabEnded);
        m_window->action(QStringLiteral("tb1.StartGrab"))->trigger();
        QCOMPARE(visibleHint(), 2);
        QVERIFY(enabled("tb1.Stop"));
        QVERIFY(!enabled("tb1.StartGrab"));
        QVERIFY(ended.wait(30000));
        QCOMPARE(panel(2), QStringLiteral(" Done"));
        QCOMPARE(panel(20), QStringLiteral(" Done"));
        QCOMPARE(m_window->model().currentPage(), int(MainModel::ResultsPage));
        // The site's count stays; listings without a name are not kept.
        const int records = m_window->model().sheet().rows() - 1;
        QVERIFY(records > 0 && records <= panel(24).toInt());
        QVERIFY(!m_window->model().sheet().text(records, 0).isEmpty());
        QCOMPARE(visibleHint(), -1); // the hints are on the Browser page, now hidden
        m_window->model().setCurrentPage(MainModel::BrowserPage);
        QCOMPARE(visibleHint(), 1);
    }

    void stopFromTheToolbar()
    {
        m_settings->WriteSettingText(QStringLiteral("GrabDelay"), QStringLiteral("100"));
        const QString page =
            session().sampleDirectory().root() + QStringLiteral("/a/results?cat=People&city=&state=&per=5");
        QSignalSpy evaluated(&session(), &GrabSession::addressEvaluated);
        QLineEdit* box = m_window->addressBox();
        box->clear();
        QTest::keyClicks(box, page);
        QCOMPARE(session().address(), page);
        QVERIFY(evaluated.wait(20000));

        QSignalSpy ended(&session(), &GrabSession::grabEnded);
        m_window->action(QStringLiteral("mnuFileB_Grab"))->trigger();
        QVERIFY(QTest::qWaitFor([&] { return !panel(2).isEmpty() && panel(2) != QLatin1String(" Cancel"); }, 5000));
        QVERIFY(qobject_cast<QLabel*>(controller()->hintPanel(2)->findChild<QLabel*>())->text().startsWith(
            QLatin1String(" Grabbing ")));
        m_window->action(QStringLiteral("tb1.Stop"))->trigger();
        QCOMPARE(panel(2), QStringLiteral(" Cancel"));
        QCOMPARE(visibleHint(), 1);
        QVERIFY(enabled("mnuFileB_Grab"));
        QVERIFY(!enabled("mnuFileB_StopGrab"));
        QVERIFY(ended.wait(20000));
        QCOMPARE(m_window->model().currentPage(), int(MainModel::BrowserPage));
    }

    void continueGrabFromTheWindow()
    {
        // The menu entry and the toolbar button, off until there is a grab to continue.
        QCOMPARE(m_window->action(QStringLiteral("mnuFileB_ContinueGrab"))->text(), QStringLiteral("&Continue Grab"));
        QCOMPARE(m_window->action(QStringLiteral("tb1.ContinueGrab"))->toolTip(), QStringLiteral("Continue Grab"));
        QVERIFY(!enabled("mnuFileB_ContinueGrab"));
        QVERIFY(!enabled("tb1.ContinueGrab"));

        m_settings->WriteSettingText(QStringLiteral("GrabDelay"), QStringLiteral("50"));
        QVERIFY(browserSettled());
        const QString page =
            session().sampleDirectory().root() + QStringLiteral("/a/results?cat=Florists&city=&state=&per=4");
        QSignalSpy evaluated(&session(), &GrabSession::addressEvaluated);
        m_window->browser()->setUrl(QUrl(page));
        QVERIFY(QTest::qWaitFor([&] { return m_window->addressBox()->text() == page; }, 30000));
        QVERIFY(evaluated.wait(20000) || !evaluated.isEmpty());

        // Stopped after its first page ...
        QSignalSpy ended(&session(), &GrabSession::grabEnded);
        QSignalSpy pages(&session().runner(), &GrabRunner::pageGrabbed);
        m_window->action(QStringLiteral("tb1.StartGrab"))->trigger();
        QVERIFY(!enabled("tb1.ContinueGrab"));
        QVERIFY(pages.wait(20000));
        m_window->action(QStringLiteral("tb1.Stop"))->trigger();
        QVERIFY(ended.wait(20000));
        QVERIFY(enabled("mnuFileB_ContinueGrab"));
        QVERIFY(enabled("tb1.ContinueGrab"));
        const int kept = m_window->model().sheet().rows();

        // ... continued from the toolbar to the end.
        m_window->action(QStringLiteral("tb1.ContinueGrab"))->trigger();
        QCOMPARE(visibleHint(), 2);
        QVERIFY(enabled("tb1.Stop"));
        QVERIFY(!enabled("tb1.ContinueGrab"));
        QVERIFY(!enabled("tb1.StartGrab"));
        QVERIFY(ended.wait(30000));
        QCOMPARE(panel(2), QStringLiteral(" Done"));
        QVERIFY(!enabled("tb1.ContinueGrab"));
        QVERIFY(!enabled("mnuFileB_ContinueGrab"));
        const RecordSheet& sheet = m_window->model().sheet();
        QVERIFY(sheet.rows() > kept);
        SampleDirectory::Query q;
        q.category = QStringLiteral("Florists");
        QStringList expected;
        for (const SampleDirectory::Listing* l : session().sampleDirectory().search(q))
            if (!l->name.isEmpty())
                expected << l->name;
        QStringList got;
        for (int r = 1; r < sheet.rows(); ++r)
            got << sheet.text(r, 0);
        expected.sort();
        got.sort();
        QCOMPARE(got, expected);
    }

    void choosingASiteFromTheList()
    {
        QComboBox* sites = m_window->siteList();
        const int browseOnly = sites->findText(QStringLiteral("Yell UK"));
        QVERIFY(browseOnly > 0);
        sites->setCurrentIndex(browseOnly);
        QVERIFY(QTest::qWaitFor([&] { return session().currentSite() == browseOnly; }, 5000));
        QVERIFY(session().isGrabDisabled());
        QCOMPARE(m_platform.messages.size(), 1);
        QCOMPARE(m_platform.messages[0].caption, QStringLiteral("Select Searching Engine"));
        QCOMPARE(m_window->addressBox()->text(), QStringLiteral("https://www.yell.com/"));

        // Picking the same entry again from the list chooses it again.
        emit sites->activated(browseOnly);
        QCOMPARE(m_platform.messages.size(), 2);
    }

    void failedPageIsReported()
    {
        // Site A's next links are made absolute with its base address: here the server.
        LocalHttpServer server([](const LocalHttpServer::Request& r) {
            if (r.target == "/a/results?cat=Florists&city=&state=")
                return LocalHttpServer::page(layoutAPage("/a/results?cat=Florists&amp;city=&amp;state=&amp;page=2"));
            return LocalHttpServer::status(404);
        });
        m_settings->WriteSettingText(QStringLiteral("BuiltInSiteABase"), server.root());
        QVERIFY(browserSettled());
        const QString page = server.url(QStringLiteral("/a/results?cat=Florists&city=&state="));
        QSignalSpy evaluated(&session(), &GrabSession::addressEvaluated);
        m_window->browser()->setUrl(QUrl(page));
        QVERIFY(QTest::qWaitFor([&] { return m_window->addressBox()->text() == page; }, 30000));
        QVERIFY(evaluated.wait(20000) || !evaluated.isEmpty());
        QVERIFY(enabled("tb1.StartGrab"));
        m_window->model().document().MakeModified(false);

        QSignalSpy ended(&session(), &GrabSession::grabEnded);
        m_window->action(QStringLiteral("tb1.StartGrab"))->trigger();
        QVERIFY(ended.wait(30000));
        QCOMPARE(panel(2), QStringLiteral(" Page 2 failed: the site answered with status 404"));
        QCOMPARE(panel(20), panel(2));
        QVERIFY(server.requests.contains(QStringLiteral("/a/results?cat=Florists&city=&state=&page=2")));
        // The first page's records stay, the document is edited, a grab can start again.
        const RecordSheet& sheet = m_window->model().sheet();
        QCOMPARE(sheet.rows(), 3);
        QCOMPARE(sheet.text(1, 0), QStringLiteral("Anna Berg"));
        QCOMPARE(sheet.text(2, 0), QStringLiteral("Bo Carr"));
        QVERIFY(m_window->model().document().IsModified());
        QVERIFY(enabled("tb1.StartGrab"));
        QVERIFY(enabled("mnuFileB_Grab"));
        QVERIFY(!enabled("tb0.Stop"));
        QVERIFY(!enabled("tb1.Stop"));
        QVERIFY(!enabled("mnuFileB_StopGrab"));
    }

    void choosingASiteStopsTheGrab_data()
    {
        QTest::addColumn<QString>("site");
        QTest::addColumn<bool>("grabbable");
        QTest::newRow("browse-only site") << "Yell UK" << false;
        QTest::newRow("another grabbable site") << "Sample Directory (key rules)" << true;
    }

    void choosingASiteStopsTheGrab()
    {
        QFETCH(QString, site);
        QFETCH(bool, grabbable);
        m_settings->WriteSettingText(QStringLiteral("GrabDelay"), QStringLiteral("100"));
        QVERIFY(browserSettled());
        const QString page =
            session().sampleDirectory().root() + QStringLiteral("/a/results?cat=People&city=&state=&per=5");
        QSignalSpy evaluated(&session(), &GrabSession::addressEvaluated);
        m_window->browser()->setUrl(QUrl(page));
        QVERIFY(QTest::qWaitFor([&] { return m_window->addressBox()->text() == page; }, 30000));
        QVERIFY(evaluated.wait(20000) || !evaluated.isEmpty());

        QSignalSpy ended(&session(), &GrabSession::grabEnded);
        QSignalSpy pages(&session().runner(), &GrabRunner::pageGrabbed);
        m_window->action(QStringLiteral("tb1.StartGrab"))->trigger();
        QVERIFY(pages.wait(20000));
        QVERIFY(session().runner().isRunning());

        // Another site, chosen from the list while the grab runs: the grab is stopped.
        QComboBox* sites = m_window->siteList();
        const int other = sites->findText(site);
        QVERIFY(other > 0);
        sites->setCurrentIndex(other);
        QVERIFY(QTest::qWaitFor([&] { return session().currentSite() == other; }, 5000));
        QVERIFY(session().runner().stopRequested() || !session().runner().isRunning());
        QVERIFY(!session().isGrabbing());
        QVERIFY(ended.wait(20000) || !ended.isEmpty());
        QVERIFY(!session().runner().isRunning());
        QVERIFY(!enabled("tb0.Stop"));
        QVERIFY(!enabled("tb1.Stop"));
        QVERIFY(!enabled("mnuFileB_StopGrab"));
        QCOMPARE(session().isGrabDisabled(), !grabbable);
        QCOMPARE(m_platform.messages.size(), grabbable ? 0 : 1);
        // What was grabbed before stays.
        QVERIFY(m_window->model().sheet().rows() > 1);
        QVERIFY(!m_window->model().sheet().text(1, 0).isEmpty());
        QVERIFY(m_window->model().document().IsModified());
    }

    void typingAnAddressLooksAtItOnce()
    {
        m_settings->WriteSettingText(QStringLiteral("GrabDelay"), QStringLiteral("1000"));
        LocalHttpServer server([](const LocalHttpServer::Request&) {
            return LocalHttpServer::page(layoutAPage("/a/results?cat=Florists&amp;page=2"));
        });
        QVERIFY(browserSettled());
        const QString page = server.url(QStringLiteral("/a/results?cat=Florists&city=&state="));
        QSignalSpy evaluated(&session(), &GrabSession::addressEvaluated);
        QLineEdit* box = m_window->addressBox();
        box->clear();
        // Typed as a person types, the event loop running between the keys.
        QTest::keyClicks(box, page, Qt::NoModifier, 15);
        QCOMPARE(session().address(), page);
        QCOMPARE(panel(21), QStringLiteral(" Florists"));
        QVERIFY(enabled("tb1.StartGrab"));
        QVERIFY(QTest::qWaitFor([&] { return panel(24) == QLatin1String("3"); }, 20000));
        QCOMPARE(server.requests, QStringList{QStringLiteral("/a/results?cat=Florists&city=&state=")});
        QVERIFY(!evaluated.isEmpty());
    }

    void grabFollowsTheChosenSite()
    {
        // Two sites with the same start address, a listing page: one for browsing only.
        colKests table;
        const QString start = QStringLiteral("quillon-sample:/a/results?cat=Florists&city=&state=");
        table.Add(QStringLiteral("Browse Only Sample"), QStringLiteral("samplea.bin"), false, start, 1);
        table.Add(QStringLiteral("Florists of the Sample"), QStringLiteral("samplea.bin"), true, start, 2);
        QString error;
        QVERIFY2(SaveSiteTable(table, AppPaths::userDataFolder() + QStringLiteral("/stpl00.bin"), &error),
                 qPrintable(error));
        openWindow();
        QComboBox* sites = m_window->siteList();
        // The saved sites first, then the shipped ones the saved order does not name.
        QVERIFY(QTest::qWaitFor([&] { return sites->count() > 2 && session().currentSite() == 0; }, 10000));
        QCOMPARE(sites->itemText(1), QStringLiteral("Florists of the Sample"));
        QVERIFY(session().isGrabDisabled());
        QCOMPARE(m_platform.messages.size(), 1);
        QVERIFY(!enabled("tb1.StartGrab"));
        QCOMPARE(visibleHint(), 0);
        const QString address = m_window->addressBox()->text();

        QSignalSpy evaluated(&session(), &GrabSession::addressEvaluated);
        sites->setCurrentIndex(1);
        QVERIFY(QTest::qWaitFor([&] { return session().currentSite() == 1; }, 5000));
        QCOMPARE(m_window->addressBox()->text(), address);
        QVERIFY(!session().isGrabDisabled());
        QVERIFY(enabled("tb1.StartGrab"));
        QVERIFY(enabled("mnuFileB_Grab"));
        QVERIFY(!enabled("tb1.Stop"));
        QCOMPARE(visibleHint(), 1);
        QCOMPARE(panel(21), QStringLiteral(" Florists"));
        QVERIFY(evaluated.wait(20000) || !evaluated.isEmpty());
        QVERIFY(panel(24).toInt() > 0);

        // And back: the browse-only site turns grabbing off on the same page.
        sites->setCurrentIndex(0);
        QVERIFY(QTest::qWaitFor([&] { return session().currentSite() == 0; }, 5000));
        QVERIFY(!enabled("tb1.StartGrab"));
        QCOMPARE(visibleHint(), 0);
    }

    void browserMenuEntries()
    {
        // Go Back and Go Forward reach the web view without complaint.
        m_window->model().setCurrentPage(MainModel::BrowserPage);
        m_window->action(QStringLiteral("mnuFileB_back"))->trigger();
        m_window->action(QStringLiteral("mnuFileB_forward"))->trigger();
        QVERIFY(m_platform.messages.isEmpty());
    }

    void fourUndosTakeBackSortDuplicatesPasteAndGrab()
    {
        // Three result pages of site A with two listings each, the last without a next link.
        const auto resultPage = [](int page, const QByteArray& next) {
            QByteArray body = "<p>1 to 2 of <b>6</b> listings</p>";
            for (int i = 1; i <= 2; ++i)
                body += "<div class=\"listing\"><h3 class=\"name\">Grabbed " + QByteArray::number(page * 10 + i)
                    + "</h3></div><!-- listing -->";
            if (!next.isEmpty())
                body += "<a class=\"next\" href=\"" + next + "\">Next</a>";
            return body;
        };
        LocalHttpServer server([&](const LocalHttpServer::Request& r) {
            const QByteArray first = "/a/results?cat=Florists&city=&state=";
            if (r.target == first)
                return LocalHttpServer::page(resultPage(1, "/a/results?cat=Florists&amp;city=&amp;state=&amp;page=2"));
            if (r.target == first + "&page=2")
                return LocalHttpServer::page(resultPage(2, "/a/results?cat=Florists&amp;city=&amp;state=&amp;page=3"));
            if (r.target == first + "&page=3")
                return LocalHttpServer::page(resultPage(3, QByteArray()));
            return LocalHttpServer::status(404);
        });
        m_settings->WriteSettingText(QStringLiteral("BuiltInSiteABase"), server.root());
        QVERIFY(browserSettled());
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));

        // The user's list, as opened from a file: forty records, some of them alike, one
        // cell bold and one row raised.
        MainModel& model = m_window->model();
        RecordSheet& s = model.sheet();
        s.setRows(41);
        for (int r = 1; r <= 40; ++r) {
            const int n = (r * 7) % 31;
            s.setText(r, 0, QStringLiteral("Name %1").arg(n, 2, 10, QLatin1Char('0')));
            s.setText(r, 1, QStringLiteral("%1 Elm St").arg(n * 3));
            s.setText(r, 2, n % 2 ? QStringLiteral("Austin") : QStringLiteral("Boston"));
        }
        s.setFontFlag({5, 0, 5, 0}, CellStyle::Bold, true);
        s.setRowHeight(9, 480);
        model.document().setDocumentName(m_dir->filePath(QStringLiteral("florists.vty")));
        model.document().setClearBeforeGrab(false);
        model.document().MakeModified(false);
        model.history().clear();
        model.setCurrentPage(MainModel::ResultsPage);
        SheetView* fa = m_window->sheetView();
        fa->setFocus();
        s.setCurrentCell(1, 0);
        const SheetState before = SheetState::of(model);

        // Sort by the street: a click on its title.
        QHeaderView* header = fa->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));
        QCOMPARE(s.style(0, 1).picture, uint8_t(PictureUp));
        // Delete Duplicates.
        m_platform.messageAnswers.enqueue(Platform::Yes);
        QTest::keyClick(fa, Qt::Key_D, Qt::ControlModifier);
        const int left = s.recordCount();
        QVERIFY(left < 40 && left >= 24);
        // Paste over twenty records.
        const auto click = [fa](int row, Qt::KeyboardModifiers modifiers) {
            fa->scrollTo(fa->model()->index(row - 1, 0));
            QTest::mouseClick(fa->viewport(), Qt::LeftButton, modifiers,
                              fa->visualRect(fa->model()->index(row - 1, 0)).center());
        };
        click(3, {});
        click(22, Qt::ShiftModifier);
        QCOMPARE(s.selectedRowCount(), 20);
        QStringList lines;
        for (int i = 1; i <= 20; ++i)
            lines << QStringLiteral("Pasted %1\t%1 Oak Ave\tDenver").arg(i);
        m_platform.clipboard = lines.join(QStringLiteral("\r\n"));
        QTest::keyClick(fa, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(s.text(3, 0), QStringLiteral("Pasted 1"));
        QCOMPARE(s.text(22, 2), QStringLiteral("Denver"));
        // Grab three pages.
        const QString page = server.url(QStringLiteral("/a/results?cat=Florists&city=&state="));
        QSignalSpy evaluated(&session(), &GrabSession::addressEvaluated);
        m_window->browser()->setUrl(QUrl(page));
        QVERIFY(QTest::qWaitFor([&] { return m_window->addressBox()->text() == page; }, 30000));
        QVERIFY(evaluated.wait(20000) || !evaluated.isEmpty());
        QSignalSpy ended(&session(), &GrabSession::grabEnded);
        m_window->action(QStringLiteral("tb1.StartGrab"))->trigger();
        QVERIFY(ended.wait(30000));
        QCOMPARE(panel(2), QStringLiteral(" Done"));
        QCOMPARE(s.recordCount(), left + 6);
        QCOMPARE(s.text(left + 6, 0), QStringLiteral("Grabbed 32"));
        QCOMPARE(m_window->action(QStringLiteral("mnuUndoEdit"))->text(), QStringLiteral("&Undo Grab (6 records)"));

        // Four times Ctrl+Z on the sheet: exactly the sheet before.
        QCOMPARE(model.currentPage(), int(MainModel::ResultsPage));
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        fa->setFocus();
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(fa, Qt::Key_Z, Qt::ControlModifier);
        QUILLON_COMPARE_STATE(SheetState::of(model), before);
        QVERIFY(!m_window->action(QStringLiteral("mnuUndoEdit"))->isEnabled());
        QVERIFY(!m_window->action(QStringLiteral("mnuSave"))->isEnabled());
    }
};

QUILLON_WIDGET_TEST_MAIN(TestGrabWindow)
#include "TestGrabWindow.moc"

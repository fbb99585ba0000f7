#include "LocalHttpServer.h"
#include "app/MainWindow.h"
#include "grab/GrabController.h"
#include "grab/GrabJournal.h"
#include "grab/GrabSession.h"
#include "grab/HtmlText.h"
#include "grab/KeyTable.h"
#include "grab/KeyWorkshop.h"
#include "grab/KeyWorkshopController.h"
#include "grab/KeyWorkshopWindow.h"
#include "grab/SiteOrderController.h"
#include "grab/SiteOrderDialog.h"
#include "grab/UserSites.h"
#include "shell/AppPaths.h"
#include "shell/MainModel.h"
#include "shell/SettingsStore.h"
#include "testsupport/TestPlatform.h"
#include "testsupport/WidgetTestMain.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>

using namespace quillon;

namespace {

const QString kFirstPage = QStringLiteral("/search?search_terms=supermarket&geo_location_terms=Washington%2C%20DC");

/** The saved result page as a site on 127.0.0.1 would send it: its links to the
 *  site's own pages lead to this server. */
QByteArray savedPage()
{
    QFile file(QStringLiteral(QUILLON_FIXTURES_DIR "/directory-pages/yellowpages-1.html"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().replace("http://www.yellowpages.com/", "/");
}

} // namespace

/**
 * The key workshop through its real widgets: opened from the Browser page on a saved
 * result page served on 127.0.0.1, taught one listing, its proposal accepted and
 * edited, saved as a new site; a new window on the same user data folder lists the
 * site and grabs its page.
 */
class TestKeyWorkshopWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<LocalHttpServer> m_server;
    TestPlatform m_platform;
    std::unique_ptr<MainWindow> m_window;
    KeyTable m_expected;

    GrabSession& session() const
    {
        return m_window->findChild<GrabController*>(QStringLiteral("GrabController"))->session();
    }
    KeyWorkshopController* workshopController() const
    {
        return m_window->findChild<KeyWorkshopController*>(QStringLiteral("KeyWorkshopController"));
    }
    template<typename T>
    T* part(const char* name) const
    {
        KeyWorkshopWindow* w = workshopController()->window();
        return w ? w->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    }
    void click(const char* button) const
    {
        QPushButton* b = part<QPushButton>(button);
        QVERIFY2(b, button);
        QTest::mouseClick(b, Qt::LeftButton);
    }

    void openWindow()
    {
        m_window.reset();
        m_window = std::make_unique<MainWindow>(*m_settings, m_platform);
        m_window->setEndAction([] {});
        m_window->show();
    }

    /** Sends the browser to @p address and waits until the address box shows it. */
    bool browseTo(const QString& address)
    {
        const QUrl url(address);
        m_window->browser()->setUrl(url);
        return QTest::qWaitFor(
            [&] {
                return m_window->browser()->url() == url && m_window->addressBox()->text() == url.toString()
                    && !m_window->browser()->page()->isLoading();
            },
            30000);
    }

    /** Waits for the workshop's next preview. */
    bool previewRefreshed()
    {
        QSignalSpy refreshed(workshopController()->workshop(), &KeyWorkshop::previewRefreshed);
        return refreshed.wait(10000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_expected.load(QStringLiteral(QUILLON_FIXTURES_DIR "/grab-expected/yellowpages-1.csv")));
        const QByteArray page = savedPage();
        QVERIFY(!page.isEmpty());
        m_server = std::make_unique<LocalHttpServer>([page](const LocalHttpServer::Request& request) {
            const QByteArray target = request.target;
            if (target == "/robots.txt")
                return LocalHttpServer::status(404);
            if (target.startsWith("/search?") && !target.contains("page="))
                return LocalHttpServer::page(page);
            // Every further page has no listings and no next page.
            return LocalHttpServer::page("<html><body><p>No more results.</p></body></html>");
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
        openWindow();
    }

    void cleanup() { m_window.reset(); }

    void commandsOfTheBrowserPage()
    {
        QAction* menu = m_window->action(QStringLiteral("mnuFileB_KeyWorkshop"));
        QVERIFY(menu);
        QCOMPARE(menu->text(), QStringLiteral("&Key Workshop..."));
        QVERIFY(m_window->menu(QStringLiteral("mnuFileB"))->actions().contains(menu));
        QAction* button = m_window->action(QStringLiteral("tb1.KeyWorkshop"));
        QVERIFY(button);
        QVERIFY(m_window->toolbar(1)->actions().contains(button));
        QVERIFY(!button->icon().isNull());

        // On the sample directory's start page: the site's key, no listings.
        QVERIFY(browseTo(m_window->addressBox()->text()));
        QSignalSpy loaded(workshopController(), &KeyWorkshopController::pageLoaded);
        menu->trigger();
        QVERIFY(workshopController()->window());
        QVERIFY(workshopController()->window()->isVisible());
        QVERIFY(!loaded.isEmpty() || loaded.wait(20000));
        QVERIFY(workshopController()->window()->windowTitle().contains(QLatin1String("Sample Directory (site A rules)")));
        QVERIFY(!part<QPushButton>("cmdSave")->isEnabled()); // a shipped key is not written
        QVERIFY(part<QLineEdit>("txtListingStart")->text().size() > 0);

        // Saved as a new site, a page of the sample directory keeps its name, not its
        // port of this run.
        m_platform.inputAnswers.enqueue(QStringLiteral("Sample Copy"));
        click("cmdSaveAsNew");
        QVERIFY(m_platform.messages.isEmpty());
        QCOMPARE(m_window->siteList()->currentText(), QStringLiteral("Sample Copy"));
        QCOMPARE(session().currentSiteEntry()->URL(), QStringLiteral("quillon-sample:/a/"));
        // A name in use is refused with a message; nothing more is saved.
        m_platform.inputAnswers.enqueue(QStringLiteral("sample copy"));
        click("cmdSaveAsNew");
        QCOMPARE(m_platform.messages.size(), 1);
        QVERIFY(m_platform.messages[0].text.contains(QLatin1String("already")));
        // Cancelled: nothing happens.
        m_platform.inputAnswers.enqueue(std::nullopt);
        click("cmdSaveAsNew");
        QCOMPARE(m_platform.messages.size(), 1);
    }

    void openedFromTheSiteOrderDialog()
    {
        auto* order = m_window->findChild<SiteOrderController*>(QStringLiteral("SiteOrderController"));
        QVERIFY(order);
        QTest::mouseClick(order->button(), Qt::LeftButton);
        SiteOrderDialog* dialog = order->dialog();
        QVERIFY(dialog);
        auto* workshopButton = dialog->findChild<QPushButton*>(QStringLiteral("cmdKeyWorkshop"));
        QVERIFY(workshopButton);
        const QString site = QStringLiteral("Sample Directory (key rules)");
        const int row = int(dialog->order().indexOf(site));
        QVERIFY(row > 0);
        dialog->grid()->setCurrentCell(row, 0);

        // Once the order is changed, it is saved or cancelled first.
        dialog->moveUp();
        QVERIFY(!workshopButton->isEnabled());
        dialog->reject();
        QVERIFY(QTest::qWaitFor([&] { return !order->dialog(); }, 5000));
        QTest::mouseClick(order->button(), Qt::LeftButton);
        dialog = order->dialog();
        workshopButton = dialog->findChild<QPushButton*>(QStringLiteral("cmdKeyWorkshop"));
        QVERIFY(workshopButton->isEnabled());
        dialog->grid()->setCurrentCell(row, 0);

        QSignalSpy loaded(workshopController(), &KeyWorkshopController::pageLoaded);
        QTest::mouseClick(workshopButton, Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return !order->dialog(); }, 5000));
        QCOMPARE(m_window->siteList()->currentText(), site);
        QCOMPARE(session().currentSite(), m_window->siteList()->currentIndex());
        QVERIFY(workshopController()->window());
        QVERIFY(workshopController()->window()->windowTitle().endsWith(site));
        QVERIFY(!loaded.isEmpty() || loaded.wait(20000));
        // The site's own key is in the form.
        QCOMPARE(workshopController()->workshop()->key().listingStart, session().grabKey().listingStart);
        QVERIFY(m_platform.messages.isEmpty());
    }

    void teachSaveRestartAndGrab()
    {
        const QString address = m_server->url(kFirstPage);
        QVERIFY(browseTo(address));

        // Opened from the toolbar on the page the address box shows.
        QSignalSpy loaded(workshopController(), &KeyWorkshopController::pageLoaded);
        m_window->action(QStringLiteral("tb1.KeyWorkshop"))->trigger();
        QVERIFY(!loaded.isEmpty() || loaded.wait(20000));
        QCOMPARE(loaded.first().first().toBool(), true);
        KeyWorkshop& workshop = *workshopController()->workshop();
        QCOMPARE(QUrl(workshop.address()), QUrl(address));
        QVERIFY(part<QPlainTextEdit>("txtPage")->toPlainText().contains(QLatin1String("Harris Teeter")));

        // The example: the third listing's name taken from a selection of the page
        // text, its phone typed.
        const QString name = m_expected.text(3, 0);
        const QString phone = m_expected.text(3, 5);
        QPlainTextEdit* pageView = part<QPlainTextEdit>("txtPage");
        const qsizetype at = pageView->toPlainText().indexOf(QLatin1Char('>') + name + QLatin1Char('<'));
        QVERIFY2(at > 0, qPrintable(name));
        QTextCursor selection(pageView->document());
        selection.setPosition(int(at + 1));
        selection.setPosition(int(at + 1 + name.size()), QTextCursor::KeepAnchor);
        pageView->setTextCursor(selection);
        part<QComboBox>("cboTakeAs")->setCurrentIndex(0);
        click("cmdTakeSelection");
        QTableWidget* example = part<QTableWidget>("tblExample");
        QCOMPARE(example->item(0, 0)->text(), name);
        example->item(5, 0)->setText(phone);

        click("cmdLearn");
        QListWidget* proposals = part<QListWidget>("lstProposals");
        QVERIFY2(proposals->count() > 0, qPrintable(part<QLabel>("lblProblems")->text()));
        const int listings = m_expected.rows() - 1;
        QVERIFY2(proposals->item(0)->text().contains(QStringLiteral("%1 listings").arg(listings)),
                 qPrintable(proposals->item(0)->text()));

        proposals->setCurrentRow(0);
        click("cmdAccept");
        QVERIFY(previewRefreshed());
        QLabel* summary = part<QLabel>("lblSummary");
        QVERIFY2(summary->text().startsWith(QStringLiteral("%1 listings; Name %1 of %1").arg(listings)),
                 qPrintable(summary->text()));
        QTableView* preview = part<QTableView>("tblPreview");
        QCOMPARE(preview->model()->rowCount(), listings);
        QCOMPARE(preview->model()->index(2, 0).data().toString(), name);
        // The form shows the accepted key, with a listing-page marker for these pages.
        QCOMPARE(part<QLineEdit>("txtPageMarker")->text(), QStringLiteral("/search?"));
        QVERIFY(!part<QLineEdit>("txtListingStart")->text().isEmpty());

        // The selected listing is marked in the page text: its block, markers and values.
        preview->setCurrentIndex(preview->model()->index(2, 0));
        const QList<QTextEdit::ExtraSelection> marks = pageView->extraSelections();
        QVERIFY(marks.size() >= 3);
        QStringList marked;
        for (const QTextEdit::ExtraSelection& s : marks)
            marked << s.cursor.selectedText();
        QVERIFY2(marked.contains(name), qPrintable(marked.join(QLatin1Char('|'))));

        // Edited by hand: fewer listings a page, then back; the preview follows.
        QSpinBox* perPage = part<QSpinBox>("txtListingsPerPage");
        const int wasPerPage = perPage->value();
        perPage->setValue(4);
        QVERIFY(previewRefreshed());
        QVERIFY2(summary->text().startsWith(QLatin1String("4 listings; ")), qPrintable(summary->text()));
        perPage->setValue(wasPerPage);
        QVERIFY(previewRefreshed());
        QCOMPARE(preview->model()->rowCount(), listings);

        // Saved as a new site: chosen in the site list at once.
        m_platform.inputAnswers.enqueue(QStringLiteral("Washington Supermarkets"));
        click("cmdSaveAsNew");
        QVERIFY2(m_platform.messages.isEmpty(), qPrintable(m_platform.messages.value(0).text));
        QCOMPARE(m_window->siteList()->currentText(), QStringLiteral("Washington Supermarkets"));
        QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("user/Sites/Washington Supermarkets.csv"))));
        QVERIFY(part<QPushButton>("cmdSave")->isEnabled()); // now the site's own key
        QCOMPARE(QUrl(session().currentSiteEntry()->URL()), QUrl(address));

        // A new window on the same user data folder lists the site and grabs it.
        openWindow();
        QComboBox* sites = m_window->siteList();
        const int index = sites->findText(QStringLiteral("Washington Supermarkets"));
        QVERIFY(index >= 0);
        QVERIFY(sites->findText(QStringLiteral("Sample Directory (site A rules)")) >= 0);
        sites->setCurrentIndex(index);
        QVERIFY(QTest::qWaitFor([&] { return session().currentSite() == index; }, 5000));
        QVERIFY(QTest::qWaitFor([&] { return m_window->action(QStringLiteral("tb1.StartGrab"))->isEnabled(); },
                                20000));
        QSignalSpy ended(&session(), &GrabSession::grabEnded);
        m_window->action(QStringLiteral("tb1.StartGrab"))->trigger();
        QVERIFY(ended.wait(30000));
        QCOMPARE(m_window->statusPanel(2)->text(), QStringLiteral(" Done"));
        const RecordSheet& sheet = m_window->model().sheet();
        QCOMPARE(sheet.rows() - 1, listings);
        for (int r = 1; r <= listings; ++r) {
            QCOMPARE(sheet.text(r, 0), m_expected.text(r, 0));
            QCOMPARE(sheet.text(r, 5), m_expected.text(r, 5));
        }
    }

    void editingAUserSiteSavesItsOwnKey()
    {
        // A user's site saved earlier.
        KeyTable shipped;
        QVERIFY(shipped.load(AppPaths::dataFolder() + QStringLiteral("/samplek.bin")));
        QString file;
        QString error;
        const QString start = session().sampleDirectory().root() + QStringLiteral("/k/results?cat=Florists");
        QVERIFY2(UserSites::saveNewSite(QStringLiteral("My Florists"), start, GrabKey::fromTable(shipped), {}, &file,
                                        &error),
                 qPrintable(error));
        openWindow();
        QComboBox* sites = m_window->siteList();
        const int index = sites->findText(QStringLiteral("My Florists"));
        QVERIFY(index >= 0);
        sites->setCurrentIndex(index);
        QVERIFY(QTest::qWaitFor([&] { return session().currentSite() == index; }, 5000));
        QVERIFY(browseTo(start));

        QSignalSpy loaded(workshopController(), &KeyWorkshopController::pageLoaded);
        m_window->action(QStringLiteral("mnuFileB_KeyWorkshop"))->trigger();
        QVERIFY(!loaded.isEmpty() || loaded.wait(20000));
        QVERIFY(part<QPushButton>("cmdSave")->isEnabled());
        QLineEdit* pageMarker = part<QLineEdit>("txtPageMarker");
        pageMarker->clear();
        QTest::keyClicks(pageMarker, QStringLiteral("/k/results?cat="));
        click("cmdSave");
        QVERIFY(m_platform.messages.isEmpty());
        KeyTable saved;
        QVERIFY(saved.load(UserSites::keyPath(file)));
        QCOMPARE(GrabKey::fromTable(saved).listingPageMarker, QStringLiteral("/k/results?cat="));
        // Grabbing follows the key saved.
        QCOMPARE(session().grabKey().listingPageMarker, QStringLiteral("/k/results?cat="));
    }

    void closingWhileTheWorkshopReadsAPage()
    {
        // The workshop downloads the page through the grab's session: Quillon closed
        // meanwhile ends the download before the session goes (a sanitizer build
        // reports the use of the session after it went).
        openWindow();
        QVERIFY(browseTo(session().sampleDirectory().root() + QStringLiteral("/k/results?cat=Florists")));
        m_window->action(QStringLiteral("mnuFileB_KeyWorkshop"))->trigger();
        QVERIFY(workshopController()->window());
        m_window.reset();
    }

    void userSiteRenamedAndRemovedInTheWorkshop()
    {
        KeyTable shipped;
        QVERIFY(shipped.load(AppPaths::dataFolder() + QStringLiteral("/samplek.bin")));
        QString file;
        QString error;
        const QString start = session().sampleDirectory().root() + QStringLiteral("/k/results?cat=Florists");
        QVERIFY2(UserSites::saveNewSite(QStringLiteral("My Florists"), start, GrabKey::fromTable(shipped), {},
                                        &file, &error),
                 qPrintable(error));
        openWindow();
        QComboBox* sites = m_window->siteList();
        const int count = sites->count();
        sites->setCurrentIndex(sites->findText(QStringLiteral("My Florists")));
        QVERIFY(QTest::qWaitFor([&] { return session().currentSite() == sites->currentIndex(); }, 5000));
        // An unfinished grab of the site, to follow it.
        GrabJournal journal;
        journal.site = QStringLiteral("My Florists");
        journal.startAddress = start;
        journal.done.next = start + QStringLiteral("&page=2");
        QVERIFY(journal.save(GrabJournal::pathForSite(journal.site)));
        QVERIFY(browseTo(start));
        QSignalSpy loaded(workshopController(), &KeyWorkshopController::pageLoaded);
        m_window->action(QStringLiteral("mnuFileB_KeyWorkshop"))->trigger();
        QVERIFY(!loaded.isEmpty() || loaded.wait(20000));
        QVERIFY(part<QPushButton>("cmdRenameSite")->isEnabled());
        QVERIFY(part<QPushButton>("cmdRemoveSite")->isEnabled());

        m_platform.inputAnswers.enqueue(QStringLiteral("Florists I Know"));
        click("cmdRenameSite");
        QCOMPARE(sites->count(), count);
        QCOMPARE(sites->currentText(), QStringLiteral("Florists I Know"));
        QCOMPARE(sites->findText(QStringLiteral("My Florists")), -1);
        QCOMPARE(workshopController()->window()->windowTitle(),
                 QStringLiteral("Key Workshop - Florists I Know"));
        QVERIFY(!QFile::exists(GrabJournal::pathForSite(QStringLiteral("My Florists"))));
        QVERIFY(journal.load(GrabJournal::pathForSite(QStringLiteral("Florists I Know"))));
        QCOMPARE(journal.site, QStringLiteral("Florists I Know"));
        QVERIFY(session().hasJournal());

        // Asked first; No leaves everything.
        m_platform.messageAnswers.enqueue(Platform::No);
        click("cmdRemoveSite");
        QCOMPARE(sites->count(), count);
        QVERIFY(QFile::exists(UserSites::keyPath(file)));
        m_platform.messageAnswers.enqueue(Platform::Yes);
        click("cmdRemoveSite");
        QCOMPARE(m_platform.messages.size(), 2);
        QVERIFY2(m_platform.messages.last().text.contains(
                     QLatin1String("Remove Florists I Know from the site list?")),
                 qPrintable(m_platform.messages.last().text));
        QCOMPARE(sites->count(), count - 1);
        QCOMPARE(sites->findText(QStringLiteral("Florists I Know")), -1);
        QVERIFY(!QFile::exists(UserSites::keyPath(file)));
        QVERIFY(!QFile::exists(GrabJournal::pathForSite(QStringLiteral("Florists I Know"))));
        // The workshop closes: its site is gone.
        QVERIFY(QTest::qWaitFor([&] { return !workshopController()->window(); }, 5000));

        // A site that comes with Quillon can be neither.
        sites->setCurrentIndex(0);
        QVERIFY(QTest::qWaitFor([&] { return session().currentSite() == 0; }, 5000));
        m_window->action(QStringLiteral("mnuFileB_KeyWorkshop"))->trigger();
        QVERIFY(QTest::qWaitFor(
            [&] { return workshopController()->window() && workshopController()->window()->isVisible(); },
            5000));
        QVERIFY(!part<QPushButton>("cmdRenameSite")->isEnabled());
        QVERIFY(!part<QPushButton>("cmdRemoveSite")->isEnabled());
    }
};

QUILLON_WIDGET_TEST_MAIN(TestKeyWorkshopWindow)
#include "TestKeyWorkshopWindow.moc"

#include "grab/KeyWorkshopController.h"

#include "grab/BrowserControl.h"
#include "grab/GrabController.h"
#include "grab/GrabJournal.h"
#include "grab/GrabSession.h"
#include "grab/KeyWorkshop.h"
#include "grab/KeyWorkshopWindow.h"
#include "grab/UserSites.h"
#include "shell/MainModel.h"
#include "shell/WindowParts.h"
#include "ui/Platform.h"

#include <QAction>
#include <QFile>
#include <QUrl>

namespace quillon {

namespace {

const QString kCaption = QStringLiteral("Key Workshop");

} // namespace

KeyWorkshopController* KeyWorkshopController::install(WindowParts& window)
{
    auto* grab = window.widget()->findChild<GrabController*>();
    return grab ? new KeyWorkshopController(window, *grab) : nullptr;
}

KeyWorkshopController::KeyWorkshopController(WindowParts& window, GrabController& grab)
    : QObject(window.widget()), m_window(window), m_grab(grab), m_session(grab.session())
{
    setObjectName(QStringLiteral("KeyWorkshopController"));
    m_workshop = new KeyWorkshop(this);
    for (const char* name : {"mnuFileB_KeyWorkshop", "tb1.KeyWorkshop"})
        if (QAction* a = window.action(QString::fromLatin1(name)))
            connect(a, &QAction::triggered, this, [this] { open(); });
    connect(m_workshop, &KeyWorkshop::keyChanged, this, &KeyWorkshopController::sourceMaybeChanged);
}

KeyWorkshopController::~KeyWorkshopController()
{
    if (m_fetch)
        m_session.fetcher().cancel(m_fetch);
    delete m_view;
}

KeyWorkshopWindow* KeyWorkshopController::window() const
{
    return m_view;
}

KeyWorkshopWindow* KeyWorkshopController::open()
{
    if (m_view) {
        m_view->show();
        m_view->raise();
        m_view->activateWindow();
        return m_view;
    }
    const objKest* site = m_session.currentSiteEntry();
    m_siteName = site ? site->ListName() : QString();
    m_siteFile = site ? site->FileName() : QString();

    QStringList titles;
    const RecordSheet& sheet = m_window.model().sheet();
    for (int c = 0; c < sheet.cols(); ++c)
        titles << sheet.title(c);
    m_workshop->setColumnTitles(titles);
    m_workshop->setRules(m_session.currentRules());
    m_workshop->setKey(m_session.grabKey());
    m_loadedFromBrowser = m_workshop->key().fromBrowser;

    m_view = new KeyWorkshopWindow(*m_workshop, m_window.widget());
    m_view->setAttribute(Qt::WA_DeleteOnClose);
    m_view->setSite(m_siteName, UserSites::isUserKey(m_siteFile));
    connect(m_view, &KeyWorkshopWindow::reloadRequested, this, &KeyWorkshopController::loadPage);
    connect(m_view, &KeyWorkshopWindow::saveRequested, this, &KeyWorkshopController::save);
    connect(m_view, &KeyWorkshopWindow::saveAsNewRequested, this, &KeyWorkshopController::saveAsNewSite);
    connect(m_view, &KeyWorkshopWindow::renameRequested, this, &KeyWorkshopController::renameSite);
    connect(m_view, &KeyWorkshopWindow::removeRequested, this, &KeyWorkshopController::removeSite);
    m_view->show();
    loadPage();
    return m_view;
}

void KeyWorkshopController::sourceMaybeChanged()
{
    // The preview shows the text of the source the key names.
    if (m_view && m_workshop->key().fromBrowser != m_loadedFromBrowser)
        loadPage();
}

void KeyWorkshopController::loadPage()
{
    if (m_fetch)
        m_session.fetcher().cancel(m_fetch);
    m_fetch = 0;
    const quint64 generation = ++m_generation;
    const QString address = m_session.address();
    const bool fromBrowser = m_workshop->key().fromBrowser;
    m_loadedFromBrowser = fromBrowser;
    auto status = [this](const QString& text) {
        if (m_view)
            m_view->setStatus(text);
    };
    if (address.trimmed().isEmpty()) {
        status(tr("No page to read: open a result page of the site in the browser first."));
        m_workshop->setPage(QByteArray(), QString());
        emit pageLoaded(false);
        return;
    }
    if (fromBrowser) {
        status(tr("Reading the page the browser shows: %1").arg(address));
        m_grab.browserControl().requestPageText([this, generation, address, status](const QString& html) {
            if (generation != m_generation)
                return;
            m_workshop->setPage(html.toUtf8(), address);
            status(html.isEmpty() ? tr("The browser shows no page.")
                                  : tr("The page the browser shows: %1").arg(address));
            emit pageLoaded(!html.isEmpty());
        });
        return;
    }
    status(tr("Downloading %1 ...").arg(address));
    m_fetch = m_session.fetcher().fetch(QUrl(address), [this, generation, address, status](const FetchedPage& page) {
        m_fetch = 0;
        if (generation != m_generation)
            return;
        if (!page.ok()) {
            status(tr("The page %1 could not be downloaded: %2").arg(address, page.error));
            emit pageLoaded(false);
            return;
        }
        m_workshop->setPage(page.text, address);
        status(tr("The page as a grab downloads it: %1").arg(address));
        emit pageLoaded(true);
    });
}

bool KeyWorkshopController::save()
{
    Platform& platform = m_window.model().platform();
    if (!UserSites::isUserKey(m_siteFile)) {
        platform.message(kCaption,
                         tr("%1 comes with Quillon and keeps its key. Save the key as a new site instead.")
                             .arg(m_siteName),
                         Platform::Ok, Platform::Information);
        return false;
    }
    QString error;
    if (!UserSites::saveKey(m_siteFile, m_workshop->key(), &error)) {
        platform.message(kCaption, tr("The key of %1 could not be saved. %2").arg(m_siteName, error), Platform::Ok,
                         Platform::Warning);
        return false;
    }
    // The site chosen now is the one saved: grabbing follows its key at once.
    const objKest* site = m_session.currentSiteEntry();
    if (site && site->FileName() == m_siteFile)
        m_session.reloadKey();
    if (m_view)
        m_view->setStatus(tr("The key of %1 is saved.").arg(m_siteName));
    return true;
}

bool KeyWorkshopController::saveAsNewSite()
{
    Platform& platform = m_window.model().platform();
    const QString address = m_workshop->address();
    const QString suggested = QUrl(address).host();
    const std::optional<QString> name =
        platform.inputText(tr("Save as New Site"), tr("The new site's name in the site list:"), suggested);
    if (!name)
        return false;
    QString file;
    QString error;
    if (!UserSites::saveNewSite(*name, m_session.storedAddress(address), m_workshop->key(), m_session.siteNames(),
                                &file, &error)) {
        platform.message(kCaption, tr("The site could not be saved. %1").arg(error), Platform::Ok, Platform::Warning);
        return false;
    }
    m_siteName = name->simplified();
    m_siteFile = file;
    if (m_view) {
        m_view->setSite(m_siteName, true);
        m_view->setStatus(tr("%1 is saved and chosen in the site list.").arg(m_siteName));
    }
    m_grab.refillSiteList(m_siteName);
    return true;
}

bool KeyWorkshopController::renameSite()
{
    Platform& platform = m_window.model().platform();
    if (!UserSites::isUserKey(m_siteFile) || m_session.isGrabbing()) {
        platform.message(kCaption,
                         m_session.isGrabbing()
                             ? tr("A grab is under way. Stop it before renaming a site.")
                             : tr("%1 comes with Quillon and keeps its name.").arg(m_siteName),
                         Platform::Ok, Platform::Information);
        return false;
    }
    const std::optional<QString> name =
        platform.inputText(tr("Rename Site"), tr("The site's new name in the site list:"), m_siteName);
    if (!name || name->simplified() == m_siteName)
        return false;
    QString error;
    if (!UserSites::renameSite(m_siteName, *name, m_session.siteNames(), &error)) {
        platform.message(kCaption, tr("The site could not be renamed. %1").arg(error), Platform::Ok,
                         Platform::Warning);
        return false;
    }
    // The site's unfinished grab goes on under the new name.
    const QString oldName = m_siteName;
    m_siteName = name->simplified();
    GrabJournal journal;
    if (journal.load(GrabJournal::pathForSite(oldName))) {
        journal.site = m_siteName;
        if (journal.save(GrabJournal::pathForSite(m_siteName)))
            QFile::remove(GrabJournal::pathForSite(oldName));
    }
    if (m_view) {
        m_view->setSite(m_siteName, true);
        m_view->setStatus(tr("The site is renamed %1.").arg(m_siteName));
    }
    m_grab.refillSiteList(m_siteName);
    return true;
}

bool KeyWorkshopController::removeSite()
{
    Platform& platform = m_window.model().platform();
    if (!UserSites::isUserKey(m_siteFile) || m_session.isGrabbing()) {
        platform.message(kCaption,
                         m_session.isGrabbing()
                             ? tr("A grab is under way. Stop it before removing a site.")
                             : tr("%1 comes with Quillon and stays in the site list.").arg(m_siteName),
                         Platform::Ok, Platform::Information);
        return false;
    }
    const int answer = platform.message(
        kCaption,
        tr("Remove %1 from the site list? Its key is deleted; the records grabbed from it stay in the record "
           "sheet.")
            .arg(m_siteName),
        Platform::Yes | Platform::No, Platform::Question, Platform::No);
    if (answer != Platform::Yes)
        return false;
    QString error;
    if (!UserSites::removeSite(m_siteName, &error)) {
        platform.message(kCaption, tr("The site could not be removed. %1").arg(error), Platform::Ok,
                         Platform::Warning);
        return false;
    }
    QFile::remove(GrabJournal::pathForSite(m_siteName));
    const QString selected = m_session.siteNames().value(m_session.currentSite());
    m_grab.refillSiteList(selected == m_siteName ? QString() : selected);
    m_siteName.clear();
    m_siteFile.clear();
    if (m_view)
        m_view->close();
    return true;
}

} // namespace quillon

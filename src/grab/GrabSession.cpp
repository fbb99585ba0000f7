#include "grab/GrabSession.h"

#include "shell/AppPaths.h"
#include "shell/MainModel.h"
#include "shell/SettingsStore.h"
#include "grab/BrowserControl.h"
#include "grab/CutBetween.h"
#include "grab/SiteOrder.h"
#include "grab/UserSites.h"
#include "ui/Platform.h"

#include <QFile>
#include <QFileInfo>

namespace quillon {

namespace {

const QString kStartGrab = QStringLiteral("tb1.StartGrab");
const QString kBack = QStringLiteral("tb1.Back");
const QString kForward = QStringLiteral("tb1.Forward");
const QString kStop0 = QStringLiteral("tb0.Stop");
const QString kStop1 = QStringLiteral("tb1.Stop");
const QString kGrabMenu = QStringLiteral("mnuFileB_Grab");
const QString kStopMenu = QStringLiteral("mnuFileB_StopGrab");
const QString kContinue = QStringLiteral("tb1.ContinueGrab");
const QString kContinueMenu = QStringLiteral("mnuFileB_ContinueGrab");

/** The text after @p marker in @p address up to the next "&" or the end; empty when
 *  the marker is empty or not in the address. */
QString addressValue(const QString& address, const QString& marker)
{
    if (marker.isEmpty())
        return {};
    const qsizetype at = address.indexOf(marker);
    if (at < 0)
        return {};
    const qsizetype from = at + marker.size();
    const qsizetype end = address.indexOf(QLatin1Char('&'), from);
    return end < 0 ? address.mid(from) : address.mid(from, end - from);
}

/** The listing count between two markers of the page; empty when not found. */
QString countBetween(const QByteArray& page, const QString& start, const QString& end)
{
    if (start.isEmpty() && end.isEmpty())
        return {};
    const QByteArray s = start.toUtf8();
    const QByteArray e = end.toUtf8();
    QByteArrayView text(page);
    return QString::fromUtf8(CutBetween(text, QByteArrayView(s), QByteArrayView(e)));
}

} // namespace

BuiltInSites BuiltInSites::fromSettings(const SettingsStore& settings)
{
    auto value = [&settings](const char* name, const char* fallback) {
        const QString text = settings.ReadSettingText(QString::fromLatin1(name));
        return text.isEmpty() ? QString::fromUtf8(fallback) : text;
    };
    BuiltInSites sites;
    sites.siteA = value("BuiltInSiteA", "Sample Directory (site A rules)");
    sites.siteABase = value("BuiltInSiteABase", "quillon-sample:");
    sites.siteB = value("BuiltInSiteB", "Sample Directory (site B rules)");
    return sites;
}

GrabSession::GrabSession(MainModel& model, BrowserControl& browser, QObject* parent)
    : QObject(parent), m_model(model), m_browser(browser), m_browserPages(browser), m_runner(model.sheet(), m_fetcher),
      m_undo(model, [](int records) { return QStringLiteral("Grab (%1 records)").arg(records); })
{
    m_timer1.setInterval(200);
    connect(&m_timer1, &QTimer::timeout, this, &GrabSession::Timer1_Timer);

    m_countWait.setSingleShot(true);
    connect(&m_countWait, &QTimer::timeout, this, &GrabSession::lookAtAddress);

    connect(&m_browser, &BrowserControl::locationChanged, this, &GrabSession::setAddress);
    connect(&m_browser, &BrowserControl::loadStarted, this, [this] {
        if (!m_busy) {
            m_busy = true;
            m_model.platform().setBusy(true);
        }
    });
    connect(&m_browser, &BrowserControl::loadFinished, this, [this] {
        if (m_busy) {
            m_busy = false;
            m_model.platform().setBusy(false);
        }
    });

    m_runner.beforeRows = [this] { prepareSheet(); };
    connect(&m_model, &MainModel::sheetHeldChanged, &m_runner, &GrabRunner::setSheetHeld);
    // The journal follows every page and the end before anything else hears of them.
    connect(&m_runner, &GrabRunner::pageGrabbed, this, &GrabSession::journalPage);
    connect(&m_runner, &GrabRunner::finished, this, [this](const QString& reason) {
        closeJournal(QStringLiteral("page limit"), reason);
    });
    connect(&m_runner, &GrabRunner::stopped, this, [this] { closeJournal(QStringLiteral("stopped"), QString()); });
    connect(&m_runner, &GrabRunner::failed, this,
            [this](int, const QString&, const QString& error) { closeJournal(QStringLiteral("failed"), error); });
    connect(&m_runner, &GrabRunner::refused, this,
            [this](int, const QString&, const QString& reason) { closeJournal(QStringLiteral("refused"), reason); });
    // The columns of a record's page and time may have been added.
    connect(&m_runner, &GrabRunner::pageGrabbed, this, [this] { m_model.document().resizeComboLists(true); });
    connect(&m_runner, &GrabRunner::pageGrabbed, this, &GrabSession::pageGrabbed);
    connect(&m_runner, &GrabRunner::finished, this, &GrabSession::finishGrab);
    connect(&m_runner, &GrabRunner::stopped, this, &GrabSession::grabStopped);
    connect(&m_runner, &GrabRunner::failed, this, &GrabSession::grabFailed);
    connect(&m_runner, &GrabRunner::refused, this, &GrabSession::grabRefused);

    // Until a listing page is shown there is nothing to grab or stop.
    setEnabled(kStartGrab, false);
    setEnabled(kGrabMenu, false);
    setEnabled(kStop0, false);
    setEnabled(kStop1, false);
    setEnabled(kStopMenu, false);
    setEnabled(kContinue, false);
    setEnabled(kContinueMenu, false);
}

GrabSession::~GrabSession()
{
    // Closed while grabbing: the journal keeps the place of the page under way.
    if (m_runner.isRunning())
        closeJournal(QStringLiteral("closed"), QStringLiteral("Quillon was closed during the grab"));
    m_runner.abandon();
    m_fetcher.cancelAll();
    if (m_busy)
        m_model.platform().setBusy(false);
}

void GrabSession::setEnabled(const QString& name, bool on)
{
    m_model.commands().setEnabled(name, on);
}

BuiltInSites GrabSession::builtInSites() const
{
    return BuiltInSites::fromSettings(m_model.settings());
}

int GrabSession::grabDelay() const
{
    bool ok = false;
    const int ms = m_model.settings().ReadSettingText(QStringLiteral("GrabDelay")).trimmed().toInt(&ok);
    return ok ? std::clamp(ms, 0, 600000) : 1000;
}

QString GrabSession::resolved(const QString& address)
{
    return m_sample.resolve(address);
}

// ---- site catalog ------------------------------------------------------------------------

QStringList GrabSession::FillCatalog()
{
    // The shipped sites and the user's, in the saved order when there is one; sites
    // the saved order does not know (shipped since, or saved since) follow it.
    KeyTable table;
    UserSites::BuildCatalogTable(AppPaths::dataFolder() + QStringLiteral("/stpl88.bin"), UserSites::tablePath(),
                                 AppPaths::userDataFolder() + QLatin1Char('/') + SavedSiteTableName(), table);
    m_sites.clear();
    m_siteNames = m_sites.fill(table);
    m_listIndex = -1;
    return m_siteNames;
}

QStringList GrabSession::FillCatalogFrom(const QString& path)
{
    m_sites.clear();
    m_siteNames.clear();
    m_listIndex = -1;
    KeyTable table;
    if (table.load(path))
        m_siteNames = m_sites.fill(table);
    return m_siteNames;
}

void GrabSession::reorderSites(const QStringList& names, int listIndex)
{
    ApplySiteOrder(m_sites, names);
    m_siteNames = names;
    m_listIndex = listIndex;
}

SiteRules GrabSession::currentRules() const
{
    const objKest* site = m_sites.Item(m_listIndex + 1);
    if (!site)
        return SiteRules::KeyOnly;
    const BuiltInSites builtIn = builtInSites();
    if (site->ListName() == builtIn.siteA)
        return SiteRules::BuiltInA;
    if (site->ListName() == builtIn.siteB)
        return SiteRules::BuiltInB;
    return SiteRules::KeyOnly;
}

void GrabSession::SelectSite(int listIndex)
{
    objKest* site = m_sites.Item(listIndex + 1);
    if (!site)
        return;
    // The commands below follow the new site; a grab under way would go on with none
    // of them able to stop it, so it is stopped first.
    if (isGrabbing())
        Stop();
    m_grabDisabled = false;
    m_listIndex = listIndex;
    Platform& platform = m_model.platform();
    const QString caption = QString::fromLatin1(kCaption);

    if (!site->Avail()) {
        m_grabDisabled = true;
        disableGrabCommands();
        platform.message(caption,
                         site->ListName()
                             + QStringLiteral(" is not available for this version. Further grabbing function will "
                                              "not work.\nHowever, you can still do searching from this site."),
                         Platform::Ok, Platform::Warning);
    } else {
        const QString keyPath = UserSites::keyPath(site->FileName());
        QString error;
        if (!QFileInfo::exists(keyPath)) {
            // No key: grabbing stays off, also for a listing page shown before.
            m_grabDisabled = true;
            m_key.clear();
            m_grabKey = GrabKey();
            disableGrabCommands();
            platform.message(caption, QStringLiteral("Key file not found. Contact software vender. "), Platform::Ok,
                             Platform::Warning);
        } else if (!m_key.load(keyPath, &error)) {
            // A key that cannot be read is dropped: no page counts as a listing page.
            m_key.clear();
            m_grabKey = GrabKey();
            disableGrabCommands();
            platform.message(caption,
                             QStringLiteral("Cannot load key file '") + keyPath
                                 + QStringLiteral("'. Contact software vender for more information."),
                             Platform::Ok, Platform::Warning);
        } else {
            m_grabKey = GrabKey::fromTable(m_key);
        }
        showHint(HintBrowse);
    }

    updateContinueCommand();
    const QString url = resolved(site->URL());
    // The commands follow the site chosen, also when its start address is the one the
    // address box shows already.
    const bool sameAddress = url == m_address;
    m_browser.navigate(QUrl(url));
    m_model.setCurrentPage(MainModel::BrowserPage);
    if (sameAddress)
        addressChangedSteps();
    else
        setAddress(url);
}

void GrabSession::reloadKey()
{
    const objKest* site = m_sites.Item(m_listIndex + 1);
    if (!site || !site->Avail())
        return;
    if (!m_key.load(UserSites::keyPath(site->FileName())))
        return;
    m_grabKey = GrabKey::fromTable(m_key);
    m_grabDisabled = false;
    updateContinueCommand();
    addressChangedSteps();
}

const objKest* GrabSession::currentSiteEntry() const
{
    return m_sites.Item(m_listIndex + 1);
}

// ---- address box -------------------------------------------------------------------------

bool GrabSession::isListingPage(const QString& address) const
{
    return !m_grabKey.listingPageMarker.isEmpty() && address.contains(m_grabKey.listingPageMarker);
}

void GrabSession::setAddress(const QString& address)
{
    if (address == m_address)
        return;
    m_address = address;
    emit addressChanged(address);
    addressChangedSteps();
}

void GrabSession::addressChangedSteps()
{
    // A lookup for an earlier address is of no use any more.
    if (m_countFetch)
        m_fetcher.cancel(m_countFetch);
    m_countFetch = 0;
    m_countWait.stop();

    StatusPanels& panels = m_model.panels();
    panels.clear({MainModel::GrabStatusPanel, MainModel::GrabStatusCopyPanel});
    if (m_grabDisabled)
        return;

    const QString address = m_address;
    if (!isListingPage(address)) {
        disableGrabCommands();
    } else {
        // A second grab never starts while one is under way.
        if (!isGrabbing()) {
            setEnabled(kStartGrab, true);
            setEnabled(kGrabMenu, true);
        }
        showHint(HintReady);
        panels.setText(MainModel::CategoryPanel,
                       QLatin1Char(' ') + addressValue(address, m_grabKey.listingPageMarker));

        // The count, city and state follow once the address has settled: typing an
        // address changes it with every key, and only the address the user stops at
        // is downloaded, one download at a time.
        m_countAddress = address;
        m_countWait.start(addressSettleTime());
        return;
    }
    if (isGrabbing())
        showGrabUnderWay();
    emit addressEvaluated();
}

int GrabSession::addressSettleTime() const
{
    return std::max(grabDelay(), kAddressSettleMs);
}

void GrabSession::lookAtAddress()
{
    if (!m_grabKey.readCount) {
        finishAddress(m_countAddress, QByteArray());
        return;
    }
    if (m_countFetch)
        m_fetcher.cancel(m_countFetch);
    m_countFetch = m_fetcher.fetch(QUrl(resolved(m_countAddress)), [this](const FetchedPage& page) {
        m_countFetch = 0;
        finishAddress(m_countAddress, page.text);
    });
}

void GrabSession::finishAddress(const QString& address, const QByteArray& page)
{
    StatusPanels& panels = m_model.panels();
    QString count;
    if (m_grabKey.readCount) {
        count = countBetween(page, m_grabKey.countStart, m_grabKey.countEnd);
        if (count.isEmpty())
            count = countBetween(page, m_grabKey.countStart2, m_grabKey.countEnd2);
    }
    panels.setText(MainModel::CountPanel,
                   count.isEmpty() ? QStringLiteral("N/A") : NumberText(NumericValue(count.trimmed())));

    QString city = addressValue(address, m_grabKey.cityMarker);
    for (int i = 0; i < 3; ++i) {
        const qsizetype plus = city.indexOf(QLatin1Char('+'));
        if (plus < 0)
            break;
        city[plus] = QLatin1Char(' ');
    }
    panels.setText(MainModel::CityPanel, QLatin1Char(' ') + city);
    panels.setText(MainModel::StatePanel, QLatin1Char(' ') + addressValue(address, m_grabKey.stateMarker));

    if (isGrabbing())
        showGrabUnderWay();
    emit addressEvaluated();
}

// ---- hints and status ----------------------------------------------------------------------

QString GrabSession::hintCaption(int hint) const
{
    switch (hint) {
    case HintBrowse:
        return QStringLiteral("Fine tune your searching category until        enabled");
    case HintReady:
        return QStringLiteral("Ready to grab");
    default:
        return m_model.panels().text(MainModel::GrabStatusPanel);
    }
}

QString GrabSession::hintToolTip(int hint)
{
    return hint == HintBrowse ? QStringLiteral("Go to the listing page and the grab button will become enabled")
                              : QStringLiteral("Click the grab button on the left to start grabbing");
}

void GrabSession::showHint(int hint)
{
    m_hint = hint;
    emit hintChanged(hint);
    if (hint == HintGrabbing)
        emit progressCaptionChanged(hintCaption(HintGrabbing));
}

void GrabSession::clearStatus()
{
    m_model.panels().clear({MainModel::GrabStatusPanel, MainModel::GrabStatusCopyPanel, MainModel::CategoryPanel,
                            MainModel::CityPanel, MainModel::StatePanel, MainModel::CountPanel});
}

void GrabSession::disableGrabCommands()
{
    setEnabled(kStartGrab, false);
    showHint(HintBrowse);
    setEnabled(kStop0, false);
    setEnabled(kStop1, false);
    setEnabled(kGrabMenu, false);
    setEnabled(kStopMenu, false);
    clearStatus();
}

void GrabSession::showGrabUnderWay()
{
    // Whatever page the browser shows, a grab under way can be stopped.
    showHint(HintGrabbing);
    setEnabled(kStop0, true);
    setEnabled(kStop1, true);
    setEnabled(kStopMenu, true);
}

void GrabSession::Timer1_Timer()
{
    StatusPanels& panels = m_model.panels();
    QString text = panels.text(MainModel::GrabStatusPanel);
    if (text.isEmpty())
        text = QStringLiteral(" Grabbing ");
    text += QLatin1Char('>');
    if (text.size() > 18)
        text.clear();
    panels.setText(MainModel::GrabStatusPanel, text);
    panels.setText(MainModel::GrabStatusCopyPanel, text);
    emit progressCaptionChanged(text);
}

// ---- grab and stop -------------------------------------------------------------------------

void GrabSession::Grab()
{
    if (m_grabDisabled)
        return;
    enterGrabbing();
    const GrabRunner::Options options = grabOptions();
    beginJournal(m_address, nullptr);
    m_runner.start(resolved(m_address), options);
}

void GrabSession::enterGrabbing()
{
    setEnabled(kStop0, true);
    setEnabled(kStop1, true);
    setEnabled(kStopMenu, true);
    m_model.panels().setText(MainModel::GrabStatusPanel, QString());
    showHint(HintGrabbing);
    m_timer1.start();
    setEnabled(kStartGrab, false);
    setEnabled(kBack, false);
    setEnabled(kForward, false);
    setEnabled(kGrabMenu, false);
    setEnabled(kContinue, false);
    setEnabled(kContinueMenu, false);
}

GrabRunner::Options GrabSession::grabOptions()
{
    GrabRunner::Options options;
    options.key = m_grabKey;
    options.rules = currentRules();
    options.siteABase = resolved(builtInSites().siteABase);
    options.delayMs = grabDelay();
    options.honourRobots = honoursRobotsTxt(siteName());
    options.sourceColumns = sourceColumns();
    options.browserPages = &m_browserPages;
    Platform* platform = &m_model.platform();
    options.clock = [platform] { return platform->now(); };
    return options;
}

void GrabSession::prepareSheet()
{
    m_undo.beforeRows();
    Document& document = m_model.document();
    if (!document.ClearBeforeGrab())
        return;
    // A new document is emptied first, but only while its records are all blank:
    // records typed into it are kept.
    RecordSheet& sheet = document.sheet();
    bool blank = true;
    for (int c = 0; c < sheet.cols() && blank; ++c)
        for (int r = 1; r < sheet.rows() && blank; ++r)
            blank = sheet.isCellEmpty(r, c);
    if (blank)
        m_undo.dropRecords(); // the records are dropped, as part of the grab's step
    document.setClearBeforeGrab(false);
}

void GrabSession::pageGrabbed()
{
    m_undo.afterRows();
    emit topRowRequested(m_model.sheet().rows() - 1);
    m_model.fa_Click();
}

void GrabSession::finishGrab()
{
    m_model.document().MarkEdited(true);
    m_undo.end();
    setEnabled(kStartGrab, true);
    setEnabled(kBack, true);
    setEnabled(kForward, true);
    setEnabled(kGrabMenu, true);
    m_timer1.stop();
    showHint(HintReady);
    StatusPanels& panels = m_model.panels();
    panels.setText(MainModel::GrabStatusPanel, QStringLiteral(" Done"));
    panels.setText(MainModel::GrabStatusCopyPanel, QStringLiteral(" Done"));
    const QString count = panels.text(MainModel::CountPanel);
    if (count.isEmpty() || count == QLatin1String("N/A"))
        panels.setText(MainModel::CountPanel, QString::number(m_runner.listingCount()));
    m_model.fa_Click();
    m_model.setCurrentPage(MainModel::ResultsPage);
    setEnabled(kStopMenu, false);
    setEnabled(kStop0, false);
    setEnabled(kStop1, false);
    emit grabEnded();
}

void GrabSession::grabFailed(int page, const QString& /*address*/, const QString& error)
{
    endAtPage(QStringLiteral(" Page %1 failed: %2").arg(page + 1).arg(error));
}

void GrabSession::endAtPage(const QString& status)
{
    // The grab ends at the page that failed; the records of the pages before it stay.
    m_timer1.stop();
    m_model.document().MarkEdited(true);
    m_undo.end();
    setEnabled(kStartGrab, true);
    setEnabled(kBack, true);
    setEnabled(kForward, true);
    setEnabled(kGrabMenu, true);
    setEnabled(kStopMenu, false);
    setEnabled(kStop0, false);
    setEnabled(kStop1, false);
    showHint(HintReady);
    StatusPanels& panels = m_model.panels();
    panels.setText(MainModel::GrabStatusPanel, status);
    panels.setText(MainModel::GrabStatusCopyPanel, status);
    const QString count = panels.text(MainModel::CountPanel);
    if (count.isEmpty() || count == QLatin1String("N/A"))
        panels.setText(MainModel::CountPanel, QString::number(m_runner.listingCount()));
    m_model.fa_Click();
    // The records grabbed are shown; with none, the page that failed stays in view.
    if (m_runner.listingCount() > 0)
        m_model.setCurrentPage(MainModel::ResultsPage);
    emit grabEnded();
}

void GrabSession::grabStopped()
{
    m_timer1.stop();
    m_model.document().MarkEdited(true);
    m_undo.end();
    m_model.fa_Click();
    emit grabEnded();
}

void GrabSession::Stop()
{
    setEnabled(kStartGrab, true);
    setEnabled(kBack, true);
    setEnabled(kForward, true);
    setEnabled(kGrabMenu, true);
    setEnabled(kStopMenu, false);
    setEnabled(kStop0, false);
    setEnabled(kStop1, false);
    StatusPanels& panels = m_model.panels();
    panels.setText(MainModel::GrabStatusPanel, QStringLiteral(" Cancel"));
    panels.setText(MainModel::GrabStatusCopyPanel, QStringLiteral(" Cancel"));
    showHint(HintReady);
    m_runner.requestStop();
    m_timer1.stop();
}

void GrabSession::goBack()
{
    m_browser.back();
}

void GrabSession::goForward()
{
    m_browser.forward();
}

void GrabSession::reload()
{
    m_model.panels().clear({MainModel::GrabStatusPanel, MainModel::GrabStatusCopyPanel});
    m_browser.reload();
}

// ---- the journal and Continue Grab ---------------------------------------------------------

QString GrabSession::siteName() const
{
    const objKest* site = m_sites.Item(m_listIndex + 1);
    return site ? site->ListName() : QString();
}

QString GrabSession::journalPath() const
{
    const QString name = siteName();
    return name.isEmpty() ? QString() : GrabJournal::pathForSite(name);
}

bool GrabSession::hasJournal() const
{
    const QString path = journalPath();
    return !path.isEmpty() && QFileInfo::exists(path);
}

void GrabSession::updateContinueCommand()
{
    const bool on = !m_grabDisabled && !m_runner.isRunning() && hasJournal();
    setEnabled(kContinue, on);
    setEnabled(kContinueMenu, on);
}

QString GrabSession::storedAddress(const QString& address) const
{
    // The sample directory's port changes from run to run; its name does not.
    if (m_sample.isRunning() && address.startsWith(m_sample.root() + QLatin1Char('/')))
        return SampleDirectory::addressPrefix() + address.mid(m_sample.root().size());
    return address;
}

QStringList GrabSession::storedAddresses(const QStringList& addresses) const
{
    QStringList out;
    out.reserve(addresses.size());
    for (const QString& a : addresses)
        out << storedAddress(a);
    return out;
}

qint64 GrabSession::rowsBeforeGrab() const
{
    // A new document's blank records are dropped when the grab's first page comes in.
    const Document& document = m_model.document();
    const RecordSheet& sheet = document.sheet();
    if (document.ClearBeforeGrab()) {
        bool blank = true;
        for (int c = 0; c < sheet.cols() && blank; ++c)
            for (int r = 1; r < sheet.rows() && blank; ++r)
                blank = sheet.isCellEmpty(r, c);
        if (blank)
            return std::min<qint64>(sheet.rows(), 1);
    }
    return sheet.rows();
}

void GrabSession::addMark()
{
    GrabJournal::Mark mark;
    mark.next = m_journal.done.next;
    mark.pagesDone = m_journal.done.pagesDone;
    mark.skipListings = m_journal.done.skipListings;
    mark.listings = m_journal.done.listings;
    mark.rows = m_journal.done.rows;
    QList<GrabJournal::Mark>& marks = m_journal.marks;
    if (!marks.isEmpty() && marks.last().pagesDone == mark.pagesDone &&
        marks.last().skipListings == mark.skipListings)
        marks.last() = mark;
    else
        marks.append(mark);
    if (marks.size() > GrabJournal::kMarksKept)
        marks.remove(0, marks.size() - GrabJournal::kMarksKept);
}

void GrabSession::beginJournal(const QString& start, const GrabJournal* continued)
{
    m_journalPath = journalPath();
    if (m_journalPath.isEmpty())
        return;
    const QString document = m_model.document().DocumentName();
    if (continued) {
        m_journal = *continued;
        // Marks count rows of the sheet the grab went into; in another document they
        // say nothing, and the grab's place there begins here.
        if (m_journal.document != document)
            m_journal.marks.clear();
    } else {
        m_journal = GrabJournal();
        m_journal.site = siteName();
        m_journal.startAddress = storedAddress(start);
        m_journal.done.next = storedAddress(start);
    }
    m_journalListings = m_journal.done.listings;
    m_journal.pending.reset();
    m_journal.document = document;
    m_journal.firstRow = rowsBeforeGrab();
    m_journal.done.rows = m_journal.firstRow;
    m_journal.endedBy.clear();
    m_journal.reason.clear();
    m_journal.updated = m_model.platform().now();
    addMark();
    m_journal.save(m_journalPath);
}

void GrabSession::journalPage()
{
    if (m_journalPath.isEmpty())
        return;
    const GrabRunner::ResumePoint point = m_runner.resumePoint();
    if (m_runner.pageCount() == 1) // where the records of this run begin, the sheet emptied or not
        m_journal.firstRow = m_model.sheet().rows() - m_runner.listingCount();
    m_journal.done.next = storedAddress(point.next);
    m_journal.done.pagesDone = point.pagesDone;
    m_journal.done.skipListings = point.skipListings;
    m_journal.done.listings = m_journalListings + m_runner.listingCount();
    m_journal.done.rows = m_model.sheet().rows();
    m_journal.done.visited = storedAddresses(point.visited);
    m_journal.document = m_model.document().DocumentName(); // saved under another name meanwhile
    m_journal.updated = m_model.platform().now();
    addMark();
    m_journal.save(m_journalPath);
}

void GrabSession::closeJournal(const QString& endedBy, const QString& reason)
{
    if (m_journalPath.isEmpty())
        return;
    const GrabRunner::ResumePoint point = m_runner.resumePoint();
    if (point.atEnd()) {
        // The site's last page was grabbed: nothing is left to continue.
        QFile::remove(m_journalPath);
    } else {
        m_journal.done.next = storedAddress(point.next);
        m_journal.done.pagesDone = point.pagesDone;
        m_journal.done.skipListings = point.skipListings;
        m_journal.done.listings = m_journalListings + m_runner.listingCount();
        m_journal.done.rows = m_model.sheet().rows();
        m_journal.done.visited = storedAddresses(point.visited);
        m_journal.document = m_model.document().DocumentName();
        m_journal.endedBy = endedBy;
        m_journal.reason = reason;
        m_journal.updated = m_model.platform().now();
        addMark();
        m_journal.save(m_journalPath);
        m_journalsEndedHere.insert(m_journalPath, m_journal.document);
    }
    m_journalPath.clear();
    updateContinueCommand();
}

void GrabSession::ContinueGrab()
{
    if (m_grabDisabled || m_runner.isRunning() || isGrabbing() || !hasJournal()) {
        updateContinueCommand();
        return;
    }
    const QString caption = QStringLiteral("Continue Grab");
    GrabJournal journal;
    QString error;
    if (!journal.load(journalPath(), &error)) {
        m_model.platform().message(caption, tr("The grab of %1 cannot be continued: %2").arg(siteName(), error),
                                   Platform::Ok, Platform::Warning);
        updateContinueCommand();
        return;
    }
    if (journal.site != siteName() || journal.done.next.isEmpty()) {
        m_model.platform().message(caption, tr("The grab of %1 has no page left to grab.").arg(siteName()),
                                   Platform::Ok, Platform::Information);
        QFile::remove(journalPath());
        updateContinueCommand();
        return;
    }
    // Fewer rows than the grab left: Quillon closed or crashed before they were saved,
    // or the records were deleted since. The grab can go back to the last page whose
    // records the sheet still holds.
    const qint64 rows = rowsBeforeGrab();
    if (journal.marks.isEmpty() && !journal.startAddress.isEmpty()) // a journal of an earlier release
        journal.marks.append({journal.startAddress, 0, 0, 0, journal.firstRow});
    if (rows < journal.done.rows) {
        // In another document none of the grab's records are: it can only go back to its start.
        const bool sameDocument = journal.document == m_model.document().DocumentName();
        const std::optional<GrabJournal::Mark> mark =
            sameDocument ? journal.markWithin(rows) : journal.markWithin(-1);
        if (mark && mark->pagesDone < journal.done.pagesDone) {
            // Ended in this run of Quillon, into this document that still holds some of
            // its records: the user deleted records since, most likely, and would not
            // have them grabbed again unasked.
            const bool endedHere = sameDocument && rows > journal.firstRow
                                && m_journalsEndedHere.value(journalPath()) == journal.document;
            const QString text =
                tr("The grab of %1 had filled the sheet to %2 records; it now holds %3: records were deleted "
                   "since, or Quillon closed before they were saved.\n\nGrab again from page %4, so that no "
                   "listing is missing?\n\n"
                   "Yes grabs again from page %4; No goes on from page %5, after the last page grabbed.")
                    .arg(siteName())
                    .arg(journal.done.rows - 1)
                    .arg(std::max<qint64>(rows - 1, 0))
                    .arg(mark->pagesDone + 1)
                    .arg(journal.done.pagesDone + 1);
            const int answer =
                m_model.platform().message(caption, text, Platform::Yes | Platform::No | Platform::Cancel,
                                           Platform::Question, endedHere ? Platform::No : Platform::Yes);
            if (answer == Platform::Cancel) {
                updateContinueCommand();
                return;
            }
            if (answer == Platform::Yes)
                goBackTo(journal, *mark);
        }
    }
    enterGrabbing();
    GrabRunner::Options options = grabOptions();
    options.firstPage = journal.done.pagesDone;
    options.skipListings = journal.done.skipListings;
    for (const QString& key : journal.done.visited)
        options.visited << resolved(key);
    beginJournal(journal.done.next, &journal);
    m_runner.start(resolved(journal.done.next), options);
}

void GrabSession::goBackTo(GrabJournal& journal, const GrabJournal::Mark& mark)
{
    // The pages after the mark are grabbed again: their addresses leave the pages
    // visited, which still catch a link back to a page before it.
    const QString key = storedAddress(GrabRunner::visitKey(QUrl(resolved(mark.next), QUrl::TolerantMode)));
    const qsizetype at = journal.done.visited.indexOf(key);
    journal.done.visited = at >= 0 ? journal.done.visited.mid(0, at) : QStringList();
    journal.done.next = mark.next;
    journal.done.pagesDone = mark.pagesDone;
    journal.done.skipListings = mark.skipListings;
    journal.done.listings = mark.listings;
    while (!journal.marks.isEmpty() && journal.marks.last().pagesDone > mark.pagesDone)
        journal.marks.removeLast();
    // The sheet is where the marks' rows count from whatever its name is now.
    journal.document = m_model.document().DocumentName();
}

void GrabSession::grabRefused(int page, const QString& address, const QString& reason)
{
    endAtPage(QStringLiteral(" Page %1 refused: %2").arg(page + 1).arg(reason));
    const QString site = siteName();
    if (site.isEmpty())
        return;
    const QString text =
        tr("The robots.txt of %1 asks robots not to read\n%2\nso the grab stopped there.\n\n"
           "If the site lets you grab it, Quillon can ignore robots.txt for %3 from now on and continue the "
           "grab. Ignore robots.txt for this site?")
            .arg(QUrl(address).host(), address, site);
    if (m_model.platform().message(QStringLiteral("Grab Refused"), text, Platform::Yes | Platform::No,
                                   Platform::Warning, Platform::No)
        == Platform::Yes) {
        setHonoursRobotsTxt(site, false);
        ContinueGrab();
    }
}

// ---- settings of grabbing ------------------------------------------------------------------

namespace {

QStringList ignoredRobotsSites(const SettingsStore& settings)
{
    QStringList out;
    for (const QString& name : settings.ReadSettingText(QStringLiteral("IgnoreRobotsTxt")).split(QLatin1Char('|')))
        if (!name.trimmed().isEmpty())
            out << name.trimmed();
    return out;
}

} // namespace

bool GrabSession::honoursRobotsTxt(const QString& siteName) const
{
    return !ignoredRobotsSites(m_model.settings()).contains(siteName.trimmed());
}

void GrabSession::setHonoursRobotsTxt(const QString& siteName, bool honour)
{
    QStringList sites = ignoredRobotsSites(m_model.settings());
    sites.removeAll(siteName.trimmed());
    if (!honour)
        sites << siteName.trimmed();
    m_model.settings().WriteSettingText(QStringLiteral("IgnoreRobotsTxt"), sites.join(QLatin1Char('|')));
}

bool GrabSession::sourceColumns() const
{
    return SettingToBoolean(m_model.settings().ReadSettingText(QStringLiteral("GrabSourceColumns")), false);
}

} // namespace quillon

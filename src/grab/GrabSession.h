#pragma once

#include "grab/BrowserPageSource.h"
#include "grab/GrabJournal.h"
#include "grab/GrabRunner.h"
#include "grab/KeyTable.h"
#include "grab/PageFetcher.h"
#include "grab/SampleDirectory.h"
#include "grab/SiteCatalog.h"
#include "edit/SheetSteps.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

namespace quillon {

class BrowserControl;
class MainModel;

/** The built-in sites with rules of their own, recognised by display name. */
struct BuiltInSites
{
    QString siteA;
    /** Site A's directory base address; "quillon-sample:" stands for the sample directory. */
    QString siteABase;
    QString siteB;

    /** From the settings "BuiltInSiteA", "BuiltInSiteABase" and "BuiltInSiteB"; the
     *  sample directory's layouts A and B when they are not set. */
    static BuiltInSites fromSettings(const class SettingsStore& settings);
};

/**
 * Grabbing as the Browser page offers it: the site catalog and the chosen site's
 * decoding key, the address box `txtDrop` and what it tells about the page shown
 * (listing page or not; category, city, state and listing count in status panels
 * 21 to 24), the three grab hints, the Grab and Stop commands with the progress
 * animation `Timer1`, and the browser's back, forward and reload.
 *
 * It works on MainModel (commands, status panels, page, document) and on a
 * BrowserControl, so it is driven and tested without a window. Long work (the
 * downloads of a grab and of the listing count) runs in steps driven by the
 * network and by timers; the window never waits in a nested loop.
 *
 * Every grab keeps a journal (GrabJournal) in the user data folder, one a site,
 * written after each page; Continue Grab goes on with the chosen site's grab from
 * it, after Stop, a failed or refused page, closing Quillon or a crash, appending
 * the pages still to come. A grab that comes to the site's last page removes it.
 *
 * Grabs honour the sites' robots.txt unless the setting "IgnoreRobotsTxt" names the
 * site; a page refused by it ends the grab, says so, and asks whether to ignore it
 * for the site from now on. With the setting "GrabSourceColumns" every record gets
 * its page's address and the time it was grabbed.
 *
 * Commands it sets: "tb1.StartGrab", "tb1.Back", "tb1.Forward", "tb0.Stop",
 * "tb1.Stop", "mnuFileB_Grab", "mnuFileB_StopGrab", "tb1.ContinueGrab",
 * "mnuFileB_ContinueGrab".
 */
class GrabSession : public QObject
{
    Q_OBJECT

public:
    enum Hint { HintBrowse = 0, HintReady = 1, HintGrabbing = 2 };

    static constexpr const char* kCaption = "Select Searching Engine";

    GrabSession(MainModel& model, BrowserControl& browser, QObject* parent = nullptr);
    ~GrabSession() override;

    // ---- site catalog --------------------------------------------------------------
    /** Fills the catalog from the shipped site table "stpl88.bin" and the user's sites
     *  (UserSites), in the order of a saved site order ("stpl00.bin" in the user data
     *  folder) when there is one; sites it does not know follow. Returns the display
     *  names for the site list, in order. A missing table gives none. */
    QStringList FillCatalog();
    /** The same from a given site table file. */
    QStringList FillCatalogFrom(const QString& path);
    colKests& mKests() { return m_sites; }
    QStringList siteNames() const { return m_siteNames; }
    /** The site order dialog's Save: the catalog takes the order of @p names (see
     *  ApplySiteOrder()), and the chosen site, itself unchanged, is now number
     *  @p listIndex of the site list. Nothing is loaded or shown again. */
    void reorderSites(const QStringList& names, int listIndex);
    /** Choosing site number @p listIndex (0-based, as the site list counts). A grab
     *  under way is stopped first, as by Stop. */
    void SelectSite(int listIndex);
    int currentSite() const { return m_listIndex; }
    bool isGrabDisabled() const { return m_grabDisabled; }
    /** The chosen site, or nullptr. */
    const objKest* currentSiteEntry() const;
    /** An address as the journal and the site table keep it: the sample directory's
     *  as "quillon-sample:", as its port changes from run to run. */
    QString storedAddress(const QString& address) const;
    /** Reads the chosen site's key again (after the key workshop saved it) and looks
     *  at the address box's page again by it. */
    void reloadKey();
    /** The chosen site's key as grabbing reads it. */
    const GrabKey& grabKey() const { return m_grabKey; }
    const KeyTable& keyTable() const { return m_key; }
    /** Which rules the chosen site follows. */
    SiteRules currentRules() const;

    // ---- address box -----------------------------------------------------------------
    QString address() const { return m_address; }
    /** A change of `txtDrop`: runs Address changed when the text differs. */
    void setAddress(const QString& address);
    /** Whether @p address is a listing page of the chosen site. */
    bool isListingPage(const QString& address) const;

    // ---- hints -------------------------------------------------------------------------
    int hint() const { return m_hint; }
    QString hintCaption(int hint) const;
    static QString hintToolTip(int hint);

    // ---- commands ----------------------------------------------------------------------
    void Grab();
    void Stop();
    void goBack();
    void goForward();
    void reload();
    /** Continue Grab: the chosen site's unfinished grab goes on where its journal says,
     *  its remaining pages appended at the end of the sheet. When the sheet holds fewer
     *  rows than the grab left (Quillon closed before they were saved), asks whether to
     *  grab again from the last page whose records it holds. */
    void ContinueGrab();
    /** The journal of the chosen site's grabs (there or not). */
    QString journalPath() const;
    /** Whether the chosen site has an unfinished grab to continue. */
    bool hasJournal() const;
    /** Whether grabs of @p siteName honour its robots.txt (the setting "IgnoreRobotsTxt"
     *  does not name it), and changing that. */
    bool honoursRobotsTxt(const QString& siteName) const;
    void setHonoursRobotsTxt(const QString& siteName, bool honour);
    /** Whether the setting "GrabSourceColumns" asks for the page and time columns. */
    bool sourceColumns() const;
    /** Whether a grab is under way (`Timer1` is running). */
    bool isGrabbing() const { return m_timer1.isActive(); }
    /** One tick of the progress animation `Timer1` (every 200 ms while grabbing). */
    void Timer1_Timer();

    PageFetcher& fetcher() { return m_fetcher; }
    GrabRunner& runner() { return m_runner; }
    /** The pages of sites whose key reads the browser's document. */
    BrowserPageSource& browserPages() { return m_browserPages; }
    SampleDirectory& sampleDirectory() { return m_sample; }
    BuiltInSites builtInSites() const;
    /** The wait of each page in milliseconds: the setting "GrabDelay", 1000 when unset. */
    int grabDelay() const;
    /** The least time an address stays unchanged in the address box before the page
     *  is downloaded for its listing count (the wait is "GrabDelay" when that is longer). */
    static constexpr int kAddressSettleMs = 500;

signals:
    /** The address box's text was set by the program (browser location, site chosen). */
    void addressChanged(const QString& address);
    void hintChanged(int hint);
    /** The caption of hint 2 (the progress text) changed. */
    void progressCaptionChanged(const QString& caption);
    /** End of a grabbed page: the sheet should show @p row at the top. */
    void topRowRequested(int row);
    /** The listing count of the page in the address box has been looked up. */
    void addressEvaluated();
    /** A grab ended, by its finish, by Stop or at a page that could not be downloaded. */
    void grabEnded();

private:
    void addressChangedSteps();
    int addressSettleTime() const;
    void lookAtAddress();
    void finishAddress(const QString& address, const QByteArray& page);
    void showHint(int hint);
    void showGrabUnderWay();
    void clearStatus();
    void disableGrabCommands();
    void finishGrab();
    void grabStopped();
    void grabFailed(int page, const QString& address, const QString& error);
    void endAtPage(const QString& status);
    void pageGrabbed();
    void prepareSheet();
    QString resolved(const QString& address);
    void setEnabled(const QString& name, bool on);
    void enterGrabbing();
    GrabRunner::Options grabOptions();
    QString siteName() const;
    QStringList storedAddresses(const QStringList& addresses) const;
    void beginJournal(const QString& start, const GrabJournal* continued);
    qint64 rowsBeforeGrab() const;
    void addMark();
    void goBackTo(GrabJournal& journal, const GrabJournal::Mark& mark);
    void journalPage();
    void closeJournal(const QString& endedBy, const QString& reason);
    void grabRefused(int page, const QString& address, const QString& reason);
    void updateContinueCommand();

    MainModel& m_model;
    BrowserControl& m_browser;
    SampleDirectory m_sample;
    PageFetcher m_fetcher;
    BrowserPageSource m_browserPages;
    GrabRunner m_runner;
    colKests m_sites;
    QStringList m_siteNames;
    KeyTable m_key;
    GrabKey m_grabKey;
    int m_listIndex = -1;
    bool m_grabDisabled = false;
    QString m_address;
    int m_hint = HintBrowse;
    QTimer m_timer1;
    bool m_busy = false;
    /** A grab is one step to undo, whatever its pages. */
    AppendingStep m_undo;

    // The journal of the grab under way.
    GrabJournal m_journal;
    QString m_journalPath;
    qint64 m_journalListings = 0;
    /** Journals whose grab ended in this run of Quillon, with the document it went into:
     *  fewer rows there than the grab left were deleted by the user, not lost. */
    QHash<QString, QString> m_journalsEndedHere;

    // The listing count lookup of the address box: a wait for the address to settle,
    // then one download.
    quint64 m_countFetch = 0;
    QTimer m_countWait;
    QString m_countAddress;
};

} // namespace quillon

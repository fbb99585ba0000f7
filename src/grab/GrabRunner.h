#pragma once

#include "grab/ListingParser.h"
#include "grab/PageFetcher.h"
#include "grab/RobotsTxt.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include <functional>

namespace quillon {

class RecordSheet;

/**
 * The next page's address from the link cut from a page (with the site's base before
 * it, for the built-in sites): character references decoded, white space at its ends
 * trimmed, taken relative to @p pageUrl. An empty result with @p refusal set when the
 * link is no http or https address, holds markup or line breaks, or is longer than an
 * address can sensibly be.
 */
QUrl ResolveNextLink(const QUrl& pageUrl, const QString& composed, QString* refusal);

/**
 * The page loop of a grab: downloads a result page, cuts its listings into rows,
 * appends them to the sheet in one step, follows the next-page link, and so on.
 *
 * Each page waits at least the delay between pages (its download runs meanwhile),
 * so that a site is never asked more often than that. The loop ends after the page
 * that has no next link, whose next link leads to an address already grabbed in
 * this run (also through a redirect) or to one that is not http or https, after
 * the page limit, and, for the built-in sites, by their own end tests. A page that
 * cannot be downloaded (the fetcher has tried it again where that may help) ends
 * the grab there (failed()); so does a page the site's robots.txt keeps robots
 * from (refused()), unless the grab was told not to honour it. The rows of the
 * pages before stay in the sheet. A stop request is honoured after the next
 * listing kept, between pages, and at once while a page waits to be tried again
 * or while the browser loads it.
 *
 * A page's rows reach the sheet only when the whole page was read, all at once, so
 * that resumePoint() says exactly what a grab continued later must still do.
 *
 * A page comes from one of two sources, by the key: downloaded (PageFetcher), or
 * the document the built-in browser shows once it loaded the address and settled
 * (BrowserPageSource). The loop is the same for both.
 *
 * Everything runs on the thread of the event loop, in steps driven by the download
 * and the delay timer; nothing waits in a nested loop.
 */
class GrabRunner : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        GrabKey key;
        SiteRules rules = SiteRules::KeyOnly;
        /** Built-in site A's directory base address. */
        QString siteABase;
        /** The least time a page takes, in milliseconds. */
        int delayMs = 1000;
        /** The most pages this run grabs. */
        int maxPages = kMaxPages;
        /** Honour the sites' robots.txt. */
        bool honourRobots = true;
        /** Give every record its page's address and the time it was grabbed, in the
         *  columns titled kSourcePageTitle and kGrabbedAtTitle (added when missing). */
        bool sourceColumns = false;
        /** Where the pages come from when the key says "browser": the built-in browser
         *  (see BrowserPageSource); the download when not set. robots.txt is read by
         *  download either way. */
        class BrowserPageSource* browserPages = nullptr;
        /** The time for the grabbed-at column; the system clock when not set. */
        std::function<QDateTime()> clock;

        // A grab continued where an earlier one ended (see ResumePoint).
        /** Pages grabbed before: the first page of this run is page number firstPage. */
        int firstPage = 0;
        /** Listings of the first page already taken. */
        int skipListings = 0;
        /** Pages grabbed before (their visit keys), so that a link back to one ends it. */
        QStringList visited;
    };

    /** Where a grab ended, so that it can be continued. */
    struct ResumePoint
    {
        /** The page to grab next; empty when the grab came to the site's last page. */
        QString next;
        /** Pages grabbed in all, and the listings of page `next` already taken. */
        int pagesDone = 0;
        int skipListings = 0;
        /** The visit keys of the latest pages grabbed, oldest first. */
        QStringList visited;
        bool atEnd() const { return next.isEmpty(); }
    };

    static constexpr int kMaxPages = 10000;
    /** Visit keys a resume point keeps: links back further than that are not caught. */
    static constexpr int kVisitedKept = 200;
    static constexpr const char* kSourcePageTitle = "Source Page";
    static constexpr const char* kGrabbedAtTitle = "Grabbed At";
    /** The robot's name for robots.txt. */
    static constexpr const char* kRobotName = "Quillon";

    GrabRunner(RecordSheet& sheet, PageFetcher& fetcher, QObject* parent = nullptr);
    ~GrabRunner() override;

    /** Starts a grab at @p address; a grab still under way is abandoned first. */
    void start(const QString& address, const Options& options);
    /** Sets the stop request. */
    void requestStop();
    bool stopRequested() const { return m_stopRequested; }
    bool isRunning() const { return m_running; }
    /** Ends a grab at once, with no signal. */
    void abandon();
    /** While the sheet is held (a file is being read from it or into it on another
     *  thread), a downloaded page waits; its listings are appended once it is let go. */
    void setSheetHeld(bool held);
    bool isSheetHeld() const { return m_sheetHeld; }

    /** Listings kept in this run. */
    qint32 listingCount() const { return m_listings; }
    /** Pages grabbed in this run. */
    int pageCount() const { return m_pages; }
    /** The address the grab goes on to (or would have gone on to when a page limit
     *  ended it); empty when the last page had no next page to follow. */
    QString nextAddress() const { return m_endReason.isEmpty() ? m_next.toString() : QString(); }
    /** Where the grab stands: after each page, and where it ended. */
    ResumePoint resumePoint() const;
    /** What a page's address is known by, to tell a page grabbed before. */
    static QString visitKey(const QUrl& url);

    /** Runs at every page just before its listings are appended (the place where a
     *  grab into a new document first empties the sheet). */
    std::function<void()> beforeRows;

signals:
    void pageStarted(int page, const QString& address);
    /** The end of a page: its rows are in the sheet. */
    void pageGrabbed(int page, const QString& address, int rows);
    /** The page loop ended; @p reason says why in words. */
    void finished(const QString& reason);
    /** Page number @p page (0 is the first) could not be downloaded, for the reason
     *  @p error; the grab ended there. */
    void failed(int page, const QString& address, const QString& error);
    /** The site's robots.txt keeps robots from page number @p page; the grab ended
     *  there. */
    void refused(int page, const QString& address, const QString& reason);
    /** Page number @p page failed for @p error and is asked for again in @p waitMs. */
    void retrying(int page, const QString& address, const QString& error, int waitMs);
    /** The stop request ended the grab. */
    void stopped();

private:
    void nextPass();
    void checkRobots();
    void robotsRead(const QString& site, const FetchedPage& page);
    void fetchPage();
    bool fromBrowser() const;
    void cancelPage();
    void maybeProcess();
    void processPage();
    void appendRows(const ParsedPage& parsed, int from, int count, const QString& pageAddress);
    int sourceColumn(const char* title);
    void finish(const QString& reason);
    void endByStop();
    void noteVisit(const QString& key);
    static QString siteOf(const QUrl& url);

    RecordSheet& m_sheet;
    PageFetcher& m_fetcher;
    Options m_options;
    QTimer m_delay;

    bool m_running = false;
    bool m_sheetHeld = false;
    bool m_stopRequested = false;
    /** Counts starts and abandons, so that a step of an earlier grab does nothing. */
    quint64 m_generation = 0;
    /** Passes of this run, and the number of the page under way. */
    int m_pass = 0;
    int m_pageNumber = 0;
    int m_pages = 0;
    qint32 m_listings = 0;
    /** Listings of the page under way already in the sheet. */
    int m_skip = 0;

    /** The next address as the key composes it (site A's and B's end tests compare it). */
    QString m_composed;
    QUrl m_next;
    QString m_endReason;
    QSet<QString> m_visited;
    QStringList m_recent;

    /** The robots.txt rules read in this run, by site. */
    QHash<QString, RobotsTxt> m_robots;
    quint64 m_robotsFetch = 0;

    quint64 m_fetchId = 0;
    bool m_fetched = false;
    bool m_waited = false;
    FetchedPage m_page;
};

} // namespace quillon

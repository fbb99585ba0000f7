#pragma once

#include "grab/ListingParser.h"
#include "grab/PageFetcher.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <functional>

namespace quillon {

class RecordSheet;

/**
 * The page loop of a grab: downloads a result page, cuts its listings into rows,
 * appends them to the sheet in one step, follows the next-page link, and so on.
 *
 * Each page waits at least the delay between pages (its download runs meanwhile),
 * so that a site is never asked more often than that. The loop ends after the page
 * that has no next link, whose next link leads to an address already grabbed in
 * this run or to one that is not http or https, after 10,000 pages, and, for the
 * built-in sites, by their own end tests. A page that cannot be downloaded ends
 * the grab there (failed()); the rows of the pages before it stay in the sheet. A
 * stop request is honoured after the next listing kept and between pages.
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
        int maxPages = kMaxPages;
    };

    static constexpr int kMaxPages = 10000;

    GrabRunner(RecordSheet& sheet, PageFetcher& fetcher, QObject* parent = nullptr);
    ~GrabRunner() override;

    /** Starts a grab at @p address; a grab still under way is abandoned first. */
    void start(const QString& address, const Options& options);
    /** Sets the stop request. */
    void requestStop() { m_stopRequested = true; }
    bool stopRequested() const { return m_stopRequested; }
    bool isRunning() const { return m_running; }
    /** Ends a grab at once, with no signal. */
    void abandon();
    /** While the sheet is held (a file is being read from it or into it on another
     *  thread), a downloaded page waits; its listings are appended once it is let go. */
    void setSheetHeld(bool held);
    bool isSheetHeld() const { return m_sheetHeld; }

    /** Listings kept in this grab. */
    qint32 listingCount() const { return m_listings; }
    /** Pages grabbed in this grab. */
    int pageCount() const { return m_pages; }
    /** The address the grab goes on to (or would have gone on to when a page limit
     *  ended it); empty when the last page had no next page to follow. */
    QString nextAddress() const { return m_endReason.isEmpty() ? m_next.toString() : QString(); }

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
    /** The stop request ended the grab. */
    void stopped();

private:
    void nextPass();
    void maybeProcess();
    void processPage();
    void appendRows(const ParsedPage& parsed);
    void finish(const QString& reason);
    void endByStop();
    static QString visitKey(const QUrl& url);

    RecordSheet& m_sheet;
    PageFetcher& m_fetcher;
    Options m_options;
    QTimer m_delay;

    bool m_running = false;
    bool m_sheetHeld = false;
    bool m_stopRequested = false;
    /** Counts starts and abandons, so that a step of an earlier grab does nothing. */
    quint64 m_generation = 0;
    int m_pass = 0;
    int m_pages = 0;
    qint32 m_listings = 0;

    /** The next address as the key composes it (site A's and B's end tests compare it). */
    QString m_composed;
    QUrl m_next;
    QString m_endReason;
    QSet<QString> m_visited;

    quint64 m_fetchId = 0;
    bool m_fetched = false;
    bool m_waited = false;
    FetchedPage m_page;
};

} // namespace quillon

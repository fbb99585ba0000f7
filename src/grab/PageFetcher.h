#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <map>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace quillon {

class PackedBody;

/** A downloaded page, or why there is none. */
struct FetchedPage
{
    /** The address asked for. */
    QUrl url;
    /** The address the page came from, after redirects. */
    QUrl finalUrl;
    /** The page text as UTF-8, decoded by its char set; empty when the download failed. */
    QByteArray text;
    /** The HTTP status of the last answer; 0 when there was none. */
    int status = 0;
    /** Empty when the download succeeded. */
    QString error;
    /** How many times the page was asked for. */
    int tries = 0;

    bool ok() const { return error.isEmpty(); }
};

/**
 * Downloads web pages for grabbing and for the address box. Only http and https
 * addresses are fetched, also when redirected. Every download has a time limit,
 * a size limit (on the page as unpacked, when the site sends it gzip- or
 * deflate-packed) and a limit on redirects; a page whose status is not a success
 * counts as failed. The body is decoded by its char set to UTF-8.
 *
 * A download that fails for a reason that may pass (no answer in time, a connection
 * closed or reset before the whole page came, status 408, 429, 500, 502, 503 or
 * 504) is tried again, up to Limits::tries times in all, after a wait that doubles
 * each time and is at least what the site's Retry-After asks for. A site that asks
 * for a longer wait than Limits::maxRetryAfterMs is not asked again.
 *
 * A site (scheme, host and port) is asked one thing at a time: a download waits
 * while another one from the same site is under way, so that the network keeps one
 * connection to it.
 */
class PageFetcher : public QObject
{
    Q_OBJECT

public:
    struct Limits
    {
        /** Time limit of one try, redirects included. */
        int timeoutMs = 30000;
        qint64 maxBytes = 16 * 1024 * 1024;
        int maxRedirects = 5;
        /** Tries in all, the first one included. */
        int tries = 3;
        /** The wait before the second try; each further wait is twice the one before. */
        int retryWaitMs = 2000;
        /** The longest Retry-After honoured. */
        int maxRetryAfterMs = 120000;
    };

    using Done = std::function<void(const FetchedPage&)>;

    explicit PageFetcher(QObject* parent = nullptr);
    ~PageFetcher() override;

    Limits limits() const { return m_limits; }
    void setLimits(const Limits& limits) { m_limits = limits; }

    /** Starts a download. @p done runs once, later, on this thread, unless the
     *  download is cancelled first. Returns an id for cancel(). */
    quint64 fetch(const QUrl& url, Done done);
    /** Ends a download without calling its callback. */
    void cancel(quint64 id);
    void cancelAll();
    int pending() const { return int(m_jobs.size()); }
    /** Whether download @p id is waiting to be tried again. */
    bool isWaitingToRetry(quint64 id) const;

    /** Whether grabbing follows an address: http and https only. */
    static bool isWebAddress(const QUrl& url);
    /** The seconds of a Retry-After header (a number of seconds or an HTTP date), in
     *  milliseconds from @p now; -1 when there is none or it cannot be read. */
    static qint64 retryAfterMs(const QByteArray& header, const QDateTime& now);

    QNetworkAccessManager* network() const { return m_network; }

signals:
    /** Try @p tries of @p url failed for @p error; the next try follows in @p waitMs. */
    void retrying(const QUrl& url, const QString& error, int tries, int waitMs);

private:
    struct Job
    {
        QUrl asked;
        QUrl url;
        QNetworkReply* reply = nullptr;
        QTimer* timer = nullptr;
        QTimer* wait = nullptr;
        /** The answer's head came in this try. */
        bool answered = false;
        QByteArray body;
        QByteArray contentType;
        std::shared_ptr<PackedBody> packed;
        QString error;
        bool mayPass = false;
        qint64 retryAfter = -1;
        int status = 0;
        int redirects = 0;
        int tries = 0;
        /** The site this download holds or waits for; empty when it holds none. */
        QString site;
        bool queued = false;
        Done done;
    };

    static QString siteOf(const QUrl& url);
    void enqueue(quint64 id);
    void startTry(quint64 id);
    void request(quint64 id, const QUrl& url);
    /** Takes what came of the page; the reason when it must be refused. */
    QString take(Job& job);
    void finish(quint64 id);
    void fail(quint64 id, const QString& error, bool mayPass = false);
    void release(quint64 id);
    void deliver(quint64 id);
    QString tooLarge() const;

    QNetworkAccessManager* m_network;
    Limits m_limits;
    quint64 m_nextId = 1;
    std::map<quint64, Job> m_jobs;
    /** The download that holds each site, and those waiting for it in order. */
    QHash<QString, quint64> m_siteHolder;
    QHash<QString, QList<quint64>> m_siteQueue;
};

} // namespace quillon

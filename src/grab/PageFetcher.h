#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace quillon {

/** A downloaded page, or why there is none. */
struct FetchedPage
{
    /** The address asked for. */
    QUrl url;
    /** The address the page came from, after redirects. */
    QUrl finalUrl;
    /** The page text as UTF-8, decoded by its char set; empty when the download failed. */
    QByteArray text;
    /** Empty when the download succeeded. */
    QString error;

    bool ok() const { return error.isEmpty(); }
};

/**
 * Downloads web pages for grabbing and for the address box. Only http and https
 * addresses are fetched, also when redirected. Every download has a time limit,
 * a size limit and a limit on redirects; a page whose status is not a success
 * counts as failed. The body is decoded by its char set to UTF-8.
 */
class PageFetcher : public QObject
{
    Q_OBJECT

public:
    struct Limits
    {
        int timeoutMs = 30000;
        qint64 maxBytes = 16 * 1024 * 1024;
        int maxRedirects = 5;
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

    /** Whether grabbing follows an address: http and https only. */
    static bool isWebAddress(const QUrl& url);

    QNetworkAccessManager* network() const { return m_network; }

private:
    struct Job
    {
        QUrl asked;
        QUrl url;
        QNetworkReply* reply = nullptr;
        QTimer* timer = nullptr;
        QByteArray body;
        QString error;
        int redirects = 0;
        Done done;
    };

    void request(quint64 id, const QUrl& url);
    void finish(quint64 id);
    void fail(quint64 id, const QString& error);

    QNetworkAccessManager* m_network;
    Limits m_limits;
    quint64 m_nextId = 1;
    QHash<quint64, Job> m_jobs;
};

} // namespace quillon

#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTcpServer>

class QTcpSocket;

namespace quillon {

/**
 * A directory site that misbehaves the way real ones do, served over real HTTP/1.1
 * on 127.0.0.1 (a free port) with full control over the bytes.
 *
 * Result pages are "/r?p=N" for N from 1 to pages(); each holds a few listings
 * (name, street, city, state) and links to the next page, the last page to none.
 * A page can be told to misbehave (see Trouble) for its first few requests or for
 * all of them, and to link back to an earlier page instead of the next one.
 * "/robots.txt" is answered with the text set by setRobotsTxt(), 404 without one.
 *
 * Every answer to a page is recorded, with the version of the page it carried and
 * whether the whole page was sent, so that a test can tell which listings a grab
 * had the chance to read.
 */
class MisbehavingDirectory : public QObject
{
    Q_OBJECT

public:
    enum class Trouble {
        None,
        /** The page a byte at a time, one every trickleIntervalMs(). */
        Trickle,
        /** Half the page, then nothing more; the connection stays open. */
        Stall,
        /** A Content-Length longer than the body, then the connection is closed. */
        EndEarly,
        /** 429 with "Retry-After: retryAfter" (no header when retryAfter < 0). */
        TooManyRequests,
        /** 500. */
        ServerError,
        /** 503, with "Retry-After" like TooManyRequests. */
        Unavailable,
        /** Part of the page, then the connection is reset. */
        Reset,
        /** Redirects to another address that redirects back, for ever. */
        RedirectLoop,
        /** Redirects to file:///etc/passwd. */
        RedirectToFile,
        /** Redirects to an ftp: address. */
        RedirectToFtp,
        /** A gzip body (no length given) that expands to gigabytes of blanks. */
        GzipBomb,
        /** 50 MB of page, no length given. */
        Huge,
        /** Windows-1252 bytes in a page whose header names UTF-8. */
        WrongCharset,
        /** Windows-1252 bytes and no char set named anywhere. */
        NoCharset,
        /** Other listings at every request (the version counts the requests). */
        Changing,
    };

    struct Plan
    {
        Trouble trouble = Trouble::None;
        /** How many requests of the page misbehave before it is served whole; -1: all. */
        int times = -1;
        /** Seconds of "Retry-After" for 429 and 503; -1 for none. */
        int retryAfter = 1;
        /** Links this many pages back instead of to the next page; 0: the next page. */
        int linkBack = 0;
    };

    /** One answer to a request of a result page. */
    struct Answer
    {
        int page = 0;
        int version = 0;
        Trouble trouble = Trouble::None;
        /** The whole page was sent, readable. */
        bool whole = false;
    };

    explicit MisbehavingDirectory(int pages, int listingsPerPage = 5, QObject* parent = nullptr);
    ~MisbehavingDirectory() override;

    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }
    QString root() const { return QStringLiteral("http://127.0.0.1:%1").arg(port()); }
    QString pageUrl(int page) const { return root() + QStringLiteral("/r?p=%1").arg(page); }
    int pages() const { return m_pages; }

    void setPlan(int page, const Plan& plan) { m_plans[page] = plan; }
    Plan plan(int page) const { return m_plans.value(page); }
    void setTrickleIntervalMs(int ms) { m_trickleMs = ms; }
    int trickleIntervalMs() const { return m_trickleMs; }
    /** Milliseconds every answer waits before it starts. */
    void setAnswerDelayMs(int ms) { m_answerDelayMs = ms; }
    void setRobotsTxt(const QByteArray& text) { m_robots = text; }

    /** The listing names of a version of a page (version 0 unless the page changes). */
    QStringList names(int page, int version = 0) const;
    /** The page as served whole, in UTF-8. */
    QByteArray pageText(int page, int version = 0) const;

    /** A decoding key for these pages, as comma text (the key file format's .csv). */
    static QByteArray keyCsv();

    /** Every answer to a result page, in order. */
    QList<Answer> answers;
    /** Every request target, in order ("/r?p=3", "/robots.txt"). */
    QStringList requests;
    /** Requests of @p page so far. */
    int requestCount(int page) const { return m_requestCounts.value(page); }
    /** The most connections that were open at once, and the most requests being answered
     *  at once. */
    int maxConnections() const { return m_maxConnections; }
    int maxInFlight() const { return m_maxInFlight; }
    int connections() const { return m_connections; }

private:
    struct Exchange;

    void readRequests(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const QByteArray& target);
    void answerPage(QTcpSocket* socket, int page, const QByteArray& target);
    void send(QTcpSocket* socket, int status, const QByteArray& contentType, const QByteArray& body,
              const QList<QPair<QByteArray, QByteArray>>& headers = {});
    void stream(QTcpSocket* socket, const QByteArray& head, std::function<QByteArray()> next);
    void done(QTcpSocket* socket);
    void reset(QTcpSocket* socket);

    QTcpServer m_server;
    int m_pages;
    int m_listingsPerPage;
    int m_trickleMs = 1000;
    int m_answerDelayMs = 0;
    QByteArray m_robots;
    QHash<int, Plan> m_plans;
    QHash<int, int> m_requestCounts;
    int m_connections = 0;
    int m_maxConnections = 0;
    int m_inFlight = 0;
    int m_maxInFlight = 0;
};

} // namespace quillon

#include "testsupport/MisbehavingDirectory.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

#include <sys/socket.h>
#include <zlib.h>

#include <memory>

namespace quillon {

namespace {

const char* const kStates[] = {"OR", "WA", "ID", "NV", "UT"};

/** Bytes a streamed answer keeps queued before it makes more. */
constexpr qint64 kStreamQueue = 64 * 1024;

/** A gzip stream of blanks that would expand to @p total bytes, made as it is read. */
class GzipBlanks
{
public:
    GzipBlanks(const QByteArray& prefix, qint64 total) : m_prefix(prefix), m_left(total)
    {
        m_z.zalloc = Z_NULL;
        m_z.zfree = Z_NULL;
        m_z.opaque = Z_NULL;
        deflateInit2(&m_z, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
    }
    ~GzipBlanks() { deflateEnd(&m_z); }
    GzipBlanks(const GzipBlanks&) = delete;
    GzipBlanks& operator=(const GzipBlanks&) = delete;

    /** The next piece of the compressed body; empty at its end. */
    QByteArray next()
    {
        QByteArray out;
        static const QByteArray blanks(1 << 20, ' ');
        char buffer[64 * 1024];
        while (out.isEmpty() && !m_finished) {
            QByteArray input;
            int flush = Z_NO_FLUSH;
            if (!m_prefix.isEmpty()) {
                input = m_prefix;
                m_prefix.clear();
            } else if (m_left > 0) {
                input = blanks.left(int(std::min<qint64>(m_left, blanks.size())));
                m_left -= input.size();
            } else {
                flush = Z_FINISH;
            }
            m_z.next_in = reinterpret_cast<Bytef*>(input.data());
            m_z.avail_in = uInt(input.size());
            do {
                m_z.next_out = reinterpret_cast<Bytef*>(buffer);
                m_z.avail_out = sizeof buffer;
                const int rc = deflate(&m_z, flush);
                out.append(buffer, qsizetype(sizeof buffer - m_z.avail_out));
                if (rc == Z_STREAM_END)
                    m_finished = true;
            } while (m_z.avail_out == 0);
        }
        return out;
    }

private:
    z_stream m_z{};
    QByteArray m_prefix;
    qint64 m_left;
    bool m_finished = false;
};

QByteArray reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 302:
        return "Found";
    case 404:
        return "Not Found";
    case 429:
        return "Too Many Requests";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

QByteArray head(int status, const QByteArray& contentType, const QList<QPair<QByteArray, QByteArray>>& headers)
{
    QByteArray h = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason(status) + "\r\n";
    if (!contentType.isEmpty())
        h += "Content-Type: " + contentType + "\r\n";
    for (const auto& [name, value] : headers)
        h += name + ": " + value + "\r\n";
    return h;
}

} // namespace

MisbehavingDirectory::MisbehavingDirectory(int pages, int listingsPerPage, QObject* parent)
    : QObject(parent), m_pages(pages), m_listingsPerPage(listingsPerPage)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            m_maxConnections = std::max(m_maxConnections, ++m_connections);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequests(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                --m_connections;
                done(socket);
                socket->deleteLater();
            });
        }
    });
    m_server.listen(QHostAddress::LocalHost, 0);
}

MisbehavingDirectory::~MisbehavingDirectory() = default;

QStringList MisbehavingDirectory::names(int page, int version) const
{
    QStringList out;
    const int count = m_listingsPerPage + (version % 2);
    for (int i = 1; i <= count; ++i) {
        QString name = QStringLiteral("Caf\u00e9 %1-%2").arg(page, 4, 10, QLatin1Char('0')).arg(i);
        if (version > 0)
            name += QStringLiteral(" v%1").arg(version);
        out << name;
    }
    return out;
}

QByteArray MisbehavingDirectory::pageText(int page, int version) const
{
    QByteArray text = "<html><head><title>Results, page " + QByteArray::number(page) + "</title></head>\n<body><ul>\n";
    const QStringList listings = names(page, version);
    for (int i = 0; i < listings.size(); ++i)
        text += "<li><b>" + listings[i].toUtf8() + "</b><s>" + QByteArray::number(100 + i) + " Elm St</s><c>Salem</c><t>"
              + kStates[(page + i) % 5] + "</t></li>\n";
    text += "</ul>\n";
    const Plan p = plan(page);
    if (p.linkBack > 0)
        text += "<a class=\"next\" href=\"/r?p=" + QByteArray::number(page - p.linkBack) + "\">Next</a>\n";
    else if (page < m_pages)
        text += "<a class=\"next\" href=\"/r?p=" + QByteArray::number(page + 1) + "\">Next</a>\n";
    return text + "</body></html>\n";
}

QByteArray MisbehavingDirectory::keyCsv()
{
    return "A misbehaving directory,,,,,,,,\n"
           "Page,listings,100,page marker,/r?p=,last field,3,read count,0\n"
           ",,,,,,,,\n,,,,,,,,\n,,,,,,,,\n"
           "Listing,start,<li>,,end,</li>,,,\n"
           "Field 0 Name,0,<b>,,end,</b>,,,\n"
           "Field 1 Street,1,<s>,,end,</s>,,,\n"
           "Field 2 City,2,<c>,,end,</c>,,,\n"
           "Field 3 State,3,<t>,,end,</t>,,,\n"
           ",,,,,,,,\n,,,,,,,,\n,,,,,,,,\n,,,,,,,,\n,,,,,,,,\n"
           "Next link start,,\"<a class=\"\"next\"\" href=\"\"\",,,,,,\n"
           "Next link end,,\"\"\"\",,,,,,\n";
}

void MisbehavingDirectory::readRequests(QTcpSocket* socket)
{
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    while (!socket->property("busy").toBool()) {
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            break;
        const QByteArray requestLine = buffer.left(buffer.indexOf("\r\n"));
        buffer.remove(0, end + 4);
        const QByteArray target = requestLine.split(' ').value(1);
        requests << QString::fromUtf8(target);
        socket->setProperty("busy", true);
        m_maxInFlight = std::max(m_maxInFlight, ++m_inFlight);
        QPointer<QTcpSocket> guard(socket);
        if (m_answerDelayMs > 0) {
            QTimer::singleShot(m_answerDelayMs, this, [this, guard, target] {
                if (guard)
                    answer(guard, target);
            });
        } else {
            answer(socket, target);
        }
    }
    socket->setProperty("buffer", buffer);
}

void MisbehavingDirectory::done(QTcpSocket* socket)
{
    if (!socket->property("busy").toBool())
        return;
    socket->setProperty("busy", false);
    --m_inFlight;
    if (socket->state() == QAbstractSocket::ConnectedState && socket->bytesAvailable() > 0)
        QTimer::singleShot(0, socket, [this, socket] { readRequests(socket); });
}

void MisbehavingDirectory::send(QTcpSocket* socket, int status, const QByteArray& contentType,
                                const QByteArray& body, const QList<QPair<QByteArray, QByteArray>>& headers)
{
    socket->write(head(status, contentType, headers) + "Content-Length: " + QByteArray::number(body.size())
                  + "\r\n\r\n" + body);
    done(socket);
}

void MisbehavingDirectory::stream(QTcpSocket* socket, const QByteArray& head, std::function<QByteArray()> next)
{
    socket->write(head + "Connection: close\r\n\r\n");
    QPointer<QTcpSocket> guard(socket);
    auto more = std::make_shared<std::function<void()>>();
    *more = [guard, next] {
        if (!guard || guard->state() != QAbstractSocket::ConnectedState)
            return;
        while (guard->bytesToWrite() < kStreamQueue) {
            const QByteArray piece = next();
            if (piece.isEmpty()) {
                guard->disconnectFromHost();
                return;
            }
            guard->write(piece);
        }
    };
    connect(socket, &QTcpSocket::bytesWritten, socket, [more](qint64) { (*more)(); });
    (*more)();
}

void MisbehavingDirectory::reset(QTcpSocket* socket)
{
    socket->flush();
    const linger hard{1, 0};
    ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    socket->abort();
}

void MisbehavingDirectory::answer(QTcpSocket* socket, const QByteArray& target)
{
    if (target == "/robots.txt") {
        if (m_robots.isEmpty())
            send(socket, 404, "text/plain", "Not here\n");
        else
            send(socket, 200, "text/plain", m_robots);
        return;
    }
    const QUrlQuery query(QString::fromUtf8(target.mid(target.indexOf('?') + 1)));
    bool ok = false;
    const int page = query.queryItemValue(QStringLiteral("p")).toInt(&ok);
    if (!target.startsWith("/r?") || !ok || page < 1 || page > m_pages) {
        send(socket, 404, "text/html", "<html><body>No such page</body></html>");
        return;
    }
    answerPage(socket, page, target);
}

void MisbehavingDirectory::answerPage(QTcpSocket* socket, int page, const QByteArray& target)
{
    // A redirect loop goes round between two addresses of its own.
    if (target.contains("&loop=")) {
        const QByteArray other = target.endsWith("&loop=1") ? "2" : "1";
        send(socket, 302, "text/html", "<html><body>Moved</body></html>",
             {{"Location", "/r?p=" + QByteArray::number(page) + "&loop=" + other}});
        return;
    }

    const int request = ++m_requestCounts[page];
    const Plan p = plan(page);
    const bool misbehaves = p.trouble != Trouble::None && (p.times < 0 || request <= p.times);
    const Trouble trouble = misbehaves ? p.trouble : Trouble::None;
    const int version = p.trouble == Trouble::Changing ? request : 0;
    const QByteArray text = pageText(page, version);
    const QByteArray utf8 = "text/html; charset=utf-8";
    Answer answer{page, version, trouble, false};
    auto record = [this, &answer](bool whole) {
        answer.whole = whole;
        answers << answer;
    };
    QList<QPair<QByteArray, QByteArray>> retryAfter;
    if (p.retryAfter >= 0)
        retryAfter << qMakePair(QByteArray("Retry-After"), QByteArray::number(p.retryAfter));

    switch (trouble) {
    case Trouble::None:
    case Trouble::Changing:
        record(true);
        send(socket, 200, utf8, text);
        return;
    case Trouble::WrongCharset:
        record(true);
        send(socket, 200, utf8, QString::fromUtf8(text).toLatin1());
        return;
    case Trouble::NoCharset:
        record(true);
        send(socket, 200, "text/html", QString::fromUtf8(text).toLatin1());
        return;
    case Trouble::TooManyRequests:
        record(false);
        send(socket, 429, "text/html", "<html><body>Slow down</body></html>", retryAfter);
        return;
    case Trouble::ServerError:
        record(false);
        send(socket, 500, "text/html", "<html><body>Oops</body></html>");
        return;
    case Trouble::Unavailable:
        record(false);
        send(socket, 503, "text/html", "<html><body>Busy</body></html>", retryAfter);
        return;
    case Trouble::RedirectLoop:
        record(false);
        send(socket, 302, "text/html", "<html><body>Moved</body></html>",
             {{"Location", "/r?p=" + QByteArray::number(page) + "&loop=1"}});
        return;
    case Trouble::RedirectToFile:
        record(false);
        send(socket, 302, "text/html", "<html><body>Moved</body></html>", {{"Location", "file:///etc/passwd"}});
        return;
    case Trouble::RedirectToFtp:
        record(false);
        send(socket, 302, "text/html", "<html><body>Moved</body></html>",
             {{"Location", "ftp://127.0.0.1/r?p=" + QByteArray::number(page)}});
        return;
    case Trouble::EndEarly:
        record(false);
        socket->write(head(200, utf8, {}) + "Content-Length: " + QByteArray::number(text.size() + 1000) + "\r\n\r\n"
                      + text);
        socket->disconnectFromHost();
        return;
    case Trouble::Stall:
        record(false);
        socket->write(head(200, utf8, {}) + "Content-Length: " + QByteArray::number(text.size()) + "\r\n\r\n"
                      + text.left(text.size() / 2));
        return;
    case Trouble::Reset:
        record(false);
        socket->write(head(200, utf8, {}) + "Content-Length: " + QByteArray::number(text.size()) + "\r\n\r\n"
                      + text.left(text.size() / 3));
        reset(socket);
        return;
    case Trouble::GzipBomb: {
        record(false);
        auto gzip = std::make_shared<GzipBlanks>(text.left(text.indexOf("</ul>")), qint64(4) << 30);
        stream(socket, head(200, utf8, {{"Content-Encoding", "gzip"}}), [gzip] { return gzip->next(); });
        return;
    }
    case Trouble::Huge: {
        record(false);
        auto left = std::make_shared<qint64>(50 * 1024 * 1024);
        auto first = std::make_shared<QByteArray>(text.left(text.indexOf("</ul>")));
        stream(socket, head(200, utf8, {}), [left, first] {
            if (!first->isEmpty())
                return std::exchange(*first, QByteArray());
            const qint64 n = std::min<qint64>(*left, 256 * 1024);
            *left -= n;
            return QByteArray(n, ' ');
        });
        return;
    }
    case Trouble::Trickle: {
        const qsizetype index = answers.size();
        record(false);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        socket->write(head(200, utf8, {}) + "Content-Length: " + QByteArray::number(text.size()) + "\r\n\r\n");
        QPointer<QTcpSocket> guard(socket);
        auto timer = new QTimer(socket);
        timer->setTimerType(Qt::PreciseTimer);
        auto sent = std::make_shared<qsizetype>(0);
        connect(timer, &QTimer::timeout, socket, [this, guard, timer, sent, text, index] {
            if (!guard || guard->state() != QAbstractSocket::ConnectedState) {
                timer->stop();
                return;
            }
            guard->write(text.mid((*sent)++, 1));
            if (*sent == text.size()) {
                timer->stop();
                answers[index].whole = true;
                done(guard);
            }
        });
        timer->start(m_trickleMs);
        return;
    }
    }
}

} // namespace quillon

#include "grab/PageFetcher.h"

#include "grab/HtmlText.h"

#include <QDateTime>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <zlib.h>

#include <limits>

namespace quillon {

/**
 * A gzip- or deflate-packed body, unpacked as it comes in, never past a limit: a
 * small body that unpacks to gigabytes stops at the limit.
 */
class PackedBody
{
public:
    enum Result { Ok, TooLarge, Damaged };

    PackedBody() { init(15 + 32); }
    ~PackedBody() { inflateEnd(&m_z); }
    PackedBody(const PackedBody&) = delete;
    PackedBody& operator=(const PackedBody&) = delete;

    /** Unpacks @p packed onto @p out; stops as soon as @p out is longer than @p limit. */
    Result unpack(QByteArrayView packed, QByteArray& out, qint64 limit)
    {
        if (m_ended && !packed.startsWith("\x1f\x8b"))
            return Ok; // what follows the end of the packed page is not read
        if (m_ended) {
            inflateReset(&m_z);
            m_ended = false;
        }
        const bool first = m_total == 0;
        m_total += packed.size();
        m_z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
        m_z.avail_in = uInt(packed.size());
        char buffer[64 * 1024];
        while (m_z.avail_in > 0 && !m_ended) {
            m_z.next_out = reinterpret_cast<Bytef*>(buffer);
            m_z.avail_out = sizeof buffer;
            const int rc = inflate(&m_z, Z_NO_FLUSH);
            const qsizetype made = qsizetype(sizeof buffer - m_z.avail_out);
            if (rc == Z_DATA_ERROR && first && !m_bare && out.isEmpty() && made == 0) {
                // "deflate" is sometimes sent bare, without its zlib wrapping.
                m_bare = true;
                inflateEnd(&m_z);
                init(-15);
                m_total = 0;
                return unpack(packed, out, limit);
            }
            out.append(buffer, made);
            if (out.size() > limit)
                return TooLarge;
            if (rc == Z_STREAM_END)
                m_ended = true;
            else if (rc == Z_BUF_ERROR)
                break;
            else if (rc != Z_OK)
                return Damaged;
        }
        return Ok;
    }

    /** The packed page came to its end. */
    bool ended() const { return m_ended; }

private:
    void init(int windowBits)
    {
        m_z = z_stream{};
        inflateInit2(&m_z, windowBits);
    }

    z_stream m_z{};
    bool m_ended = false;
    bool m_bare = false;
    qint64 m_total = 0;
};

namespace {

constexpr qint64 kReadAhead = 256 * 1024;

/** A page body gets room for the largest page at once when it passes this, so that
 *  it does not double past the limit as it grows. */
constexpr qint64 kRoomAt = 1024 * 1024;

/** Why a download failed, in words that name the common causes plainly. */
QString networkError(const QNetworkReply& reply)
{
    const QUrl url = reply.url();
    switch (reply.error()) {
    case QNetworkReply::HostNotFoundError:
        return PageFetcher::tr("host not found: %1").arg(url.host());
    case QNetworkReply::ConnectionRefusedError:
        return PageFetcher::tr("%1 refused the connection").arg(url.authority());
    case QNetworkReply::RemoteHostClosedError:
        return PageFetcher::tr("%1 closed the connection before the whole page came").arg(url.authority());
    default:
        return reply.errorString();
    }
}

/** Failures that may pass when the page is asked for again. */
bool mayPass(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::UnknownServerError:
        return true;
    default:
        return false;
    }
}

bool statusMayPass(int status)
{
    return status == 408 || status == 429 || status == 500 || status == 502 || status == 503 || status == 504;
}

} // namespace

PageFetcher::PageFetcher(QObject* parent) : QObject(parent), m_network(new QNetworkAccessManager(this)) {}

PageFetcher::~PageFetcher()
{
    cancelAll();
}

bool PageFetcher::isWebAddress(const QUrl& url)
{
    const QString scheme = url.scheme();
    return url.isValid() && !url.host().isEmpty()
        && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

qint64 PageFetcher::retryAfterMs(const QByteArray& header, const QDateTime& now)
{
    const QByteArray text = header.trimmed();
    if (text.isEmpty())
        return -1;
    bool ok = false;
    const qlonglong seconds = text.toLongLong(&ok);
    if (ok)
        return seconds < 0 ? -1 : std::min<qlonglong>(seconds, qlonglong(1) << 40) * 1000;
    // An HTTP date ("Tue, 08 Dec 2026 16:25:09 GMT") is an RFC 2822 date in UTC.
    QString date = QString::fromLatin1(text);
    if (date.endsWith(QLatin1String(" GMT")) || date.endsWith(QLatin1String(" UTC")))
        date = date.chopped(4) + QStringLiteral(" +0000");
    const QDateTime when = QDateTime::fromString(date, Qt::RFC2822Date);
    if (!when.isValid())
        return -1;
    return std::max<qint64>(0, now.msecsTo(when));
}

QString PageFetcher::siteOf(const QUrl& url)
{
    return url.scheme() + QStringLiteral("://") + url.host().toLower() + QLatin1Char(':')
         + QString::number(url.port(url.scheme() == QLatin1String("https") ? 443 : 80));
}

QString PageFetcher::tooLarge() const
{
    return tr("the page is larger than %1 MB").arg(m_limits.maxBytes / (1024 * 1024));
}

quint64 PageFetcher::fetch(const QUrl& url, Done done)
{
    const quint64 id = m_nextId++;
    Job& job = m_jobs[id];
    job.done = std::move(done);
    job.asked = url;
    job.url = url;
    job.tries = 1;

    if (!isWebAddress(url)) {
        job.error = tr("\"%1\" is not a web address").arg(url.toString());
        QTimer::singleShot(0, this, [this, id] {
            if (m_jobs.count(id))
                deliver(id);
        });
        return id;
    }

    // One time limit for each try, redirects included, from the moment it is sent.
    job.timer = new QTimer(this);
    job.timer->setSingleShot(true);
    connect(job.timer, &QTimer::timeout, this, [this, id] {
        auto it = m_jobs.find(id);
        if (it == m_jobs.end())
            return;
        const QString seconds = QString::number(m_limits.timeoutMs / 1000.0);
        fail(id,
             it->second.answered ? tr("the page did not come whole within %1 seconds").arg(seconds)
                                 : tr("the site did not answer within %1 seconds").arg(seconds),
             true);
    });
    enqueue(id);
    return id;
}

void PageFetcher::enqueue(quint64 id)
{
    Job& job = m_jobs.at(id);
    job.site = siteOf(job.url);
    const auto holder = m_siteHolder.constFind(job.site);
    if (holder != m_siteHolder.constEnd() && *holder != id) {
        job.queued = true;
        m_siteQueue[job.site].append(id);
        return;
    }
    startTry(id);
}

void PageFetcher::startTry(quint64 id)
{
    Job& job = m_jobs.at(id);
    job.queued = false;
    m_siteHolder.insert(job.site, id);
    if (!job.timer->isActive())
        job.timer->start(m_limits.timeoutMs);
    request(id, job.url);
}

void PageFetcher::release(quint64 id)
{
    auto it = m_jobs.find(id);
    if (it == m_jobs.end())
        return;
    Job& job = it->second;
    const QString site = job.site;
    job.site.clear();
    if (site.isEmpty())
        return;
    if (job.queued) {
        job.queued = false;
        m_siteQueue[site].removeAll(id);
        return;
    }
    if (m_siteHolder.value(site) != id)
        return;
    m_siteHolder.remove(site);
    QList<quint64>& queue = m_siteQueue[site];
    while (!queue.isEmpty()) {
        const quint64 next = queue.takeFirst();
        if (m_jobs.count(next)) {
            startTry(next);
            break;
        }
    }
    if (queue.isEmpty())
        m_siteQueue.remove(site);
}

bool PageFetcher::isWaitingToRetry(quint64 id) const
{
    const auto it = m_jobs.find(id);
    return it != m_jobs.end() && it->second.wait && it->second.wait->isActive();
}

void PageFetcher::request(quint64 id, const QUrl& url)
{
    // Redirects are followed here rather than by the network layer, so that each one
    // is checked (web addresses only) and counted. Packed bodies are unpacked here too,
    // so that what a page unpacks to is limited as it comes.
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Mozilla/5.0 (X11; Linux x86_64) Quillon/" QUILLON_VERSION_TEXT));
    request.setRawHeader("Accept", "text/html,application/xhtml+xml,*/*;q=0.8");
    request.setRawHeader("Accept-Encoding", "gzip, deflate");
    QNetworkReply* reply = m_network->get(request);
    // The network reads no further ahead than this: a page too large is refused when
    // it passes the limit, not once the network has taken in all the site sends.
    reply->setReadBufferSize(kReadAhead);
    Job& job = m_jobs.at(id);
    job.reply = reply;
    job.answered = false;
    job.body.clear();
    job.packed.reset();

    connect(reply, &QNetworkReply::metaDataChanged, this, [this, id, reply] {
        auto it = m_jobs.find(id);
        if (it == m_jobs.end() || it->second.reply != reply)
            return;
        it->second.answered = true;
        it->second.contentType = reply->rawHeader("Content-Type");
        const QByteArray encoding = reply->rawHeader("Content-Encoding").trimmed().toLower();
        if (encoding == "gzip" || encoding == "x-gzip" || encoding == "deflate") {
            it->second.packed = std::make_shared<PackedBody>();
        } else if (!encoding.isEmpty() && encoding != "identity") {
            fail(id, tr("the site sent the page packed as \"%1\", which Quillon cannot unpack")
                         .arg(QString::fromLatin1(encoding)));
            return;
        }
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > m_limits.maxBytes)
            fail(id, tooLarge());
    });
    connect(reply, &QIODevice::readyRead, this, [this, id, reply] {
        auto it = m_jobs.find(id);
        if (it == m_jobs.end() || it->second.reply != reply)
            return;
        const QString error = take(it->second);
        if (!error.isEmpty())
            fail(id, error);
    });
    connect(reply, &QNetworkReply::finished, this, [this, id, reply] {
        auto it = m_jobs.find(id);
        if (it != m_jobs.end() && it->second.reply == reply)
            finish(id);
    });
}

QString PageFetcher::take(Job& job)
{
    const QByteArray data = job.reply ? job.reply->readAll() : QByteArray();
    if (data.isEmpty())
        return {};
    // Room that is reserved costs no memory until it is written.
    if (job.body.capacity() < m_limits.maxBytes + 1 && job.body.size() + data.size() > kRoomAt)
        job.body.reserve(m_limits.maxBytes + 64 * 1024 + 1);
    if (!job.packed) {
        job.body += data;
        return job.body.size() > m_limits.maxBytes ? tooLarge() : QString();
    }
    switch (job.packed->unpack(data, job.body, m_limits.maxBytes)) {
    case PackedBody::Ok:
        break;
    case PackedBody::TooLarge:
        return tr("the page is larger than %1 MB when unpacked").arg(m_limits.maxBytes / (1024 * 1024));
    case PackedBody::Damaged:
        return tr("the page came packed, and the packing is damaged");
    }
    return {};
}

void PageFetcher::fail(quint64 id, const QString& error, bool mayPass)
{
    auto it = m_jobs.find(id);
    if (it == m_jobs.end())
        return;
    Job& job = it->second;
    if (job.error.isEmpty()) {
        job.error = error;
        job.mayPass = mayPass;
    }
    if (QNetworkReply* reply = job.reply) {
        job.reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    finish(id);
}

void PageFetcher::finish(quint64 id)
{
    Job& job = m_jobs.at(id);
    if (QNetworkReply* reply = job.reply) {
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        const int code = status.toInt();
        job.status = code;
        if (job.error.isEmpty() && code >= 300 && code <= 399 && reply->hasRawHeader("Location")) {
            const QUrl target = reply->url().resolved(QUrl::fromEncoded(reply->rawHeader("Location").trimmed()));
            job.reply = nullptr;
            reply->disconnect(this);
            reply->deleteLater();
            if (!isWebAddress(target)) {
                job.error = tr("the page redirects to \"%1\", which is not a web address").arg(target.toString());
            } else if (++job.redirects > m_limits.maxRedirects) {
                job.error = tr("the page redirects more than %1 times").arg(m_limits.maxRedirects);
            } else {
                job.url = target;
                if (siteOf(target) == job.site) {
                    request(id, target);
                } else {
                    // Another site: this one is let go and the other one waited for.
                    release(id);
                    enqueue(id);
                }
                return;
            }
        } else if (job.error.isEmpty()) {
            if (status.isValid() && (code < 200 || code > 299)) {
                job.error = tr("the site answered with status %1").arg(code);
                job.mayPass = statusMayPass(code);
                job.retryAfter = retryAfterMs(reply->rawHeader("Retry-After"), QDateTime::currentDateTimeUtc());
            } else if (reply->error() != QNetworkReply::NoError) {
                job.error = networkError(*reply);
                job.mayPass = mayPass(reply->error());
            } else {
                job.error = take(job);
            }
        }
        {
            job.reply = nullptr;
            const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
            if (job.error.isEmpty() && job.packed && !job.packed->ended()) {
                job.error = tr("the page came packed and was cut short");
                job.mayPass = true;
            } else if (job.error.isEmpty() && !job.packed && length.isValid()
                       && job.body.size() < length.toLongLong()) {
                job.error = tr("%1 closed the connection before the whole page came").arg(reply->url().authority());
                job.mayPass = true;
            }
            reply->disconnect(this);
            reply->deleteLater();
        }
    }
    if (job.timer)
        job.timer->stop();

    if (!job.error.isEmpty() && job.mayPass && job.tries < m_limits.tries) {
        qint64 wait = qint64(m_limits.retryWaitMs) << std::min(job.tries - 1, 20);
        bool again = true;
        if (job.retryAfter > m_limits.maxRetryAfterMs) {
            job.error += tr(" and asked to be asked again in %1 seconds, which is too long to wait")
                             .arg(job.retryAfter / 1000);
            again = false;
        } else if (job.retryAfter > wait) {
            wait = job.retryAfter;
        }
        if (again) {
            release(id);
            const QString error = job.error;
            const int tries = job.tries;
            job.error.clear();
            job.mayPass = false;
            job.retryAfter = -1;
            job.status = 0;
            job.redirects = 0;
            job.body.clear();
            job.packed.reset();
            job.url = job.asked;
            ++job.tries;
            if (!job.wait) {
                job.wait = new QTimer(this);
                job.wait->setSingleShot(true);
                connect(job.wait, &QTimer::timeout, this, [this, id] {
                    if (m_jobs.count(id))
                        enqueue(id);
                });
            }
            job.wait->start(int(std::min<qint64>(wait, std::numeric_limits<int>::max())));
            const QUrl url = job.asked;
            emit retrying(url, error, tries, int(wait));
            return;
        }
    }
    deliver(id);
}

void PageFetcher::deliver(quint64 id)
{
    release(id);
    auto it = m_jobs.find(id);
    if (it == m_jobs.end())
        return;
    Job job = std::move(it->second);
    m_jobs.erase(it);
    if (job.timer)
        job.timer->deleteLater();
    if (job.wait)
        job.wait->deleteLater();
    FetchedPage page;
    page.url = job.asked;
    page.finalUrl = job.url;
    page.status = job.status;
    page.tries = job.tries;
    page.error = job.error;
    if (!page.error.isEmpty() && job.tries > 1)
        page.error += tr(" (asked %1 times)").arg(job.tries);
    if (page.error.isEmpty())
        page.text = HtmlText::pageToUtf8(job.body, job.contentType);
    if (job.done)
        job.done(page);
}

void PageFetcher::cancel(quint64 id)
{
    auto it = m_jobs.find(id);
    if (it == m_jobs.end())
        return;
    release(id);
    Job job = std::move(it->second);
    m_jobs.erase(it);
    if (job.timer)
        job.timer->deleteLater();
    if (job.wait)
        job.wait->deleteLater();
    if (job.reply) {
        job.reply->disconnect(this);
        job.reply->abort();
        job.reply->deleteLater();
    }
}

void PageFetcher::cancelAll()
{
    std::vector<quint64> ids;
    for (const auto& [id, job] : m_jobs)
        ids.push_back(id);
    for (quint64 id : ids)
        cancel(id);
}

} // namespace quillon

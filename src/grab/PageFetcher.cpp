#include "grab/PageFetcher.h"

#include "grab/HtmlText.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace quillon {

namespace {

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
        return PageFetcher::tr("%1 closed the connection before the page came").arg(url.authority());
    default:
        return reply.errorString();
    }
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

quint64 PageFetcher::fetch(const QUrl& url, Done done)
{
    const quint64 id = m_nextId++;
    Job& job = m_jobs[id];
    job.done = std::move(done);
    job.asked = url;
    job.url = url;

    if (!isWebAddress(url)) {
        job.error = tr("\"%1\" is not a web address").arg(url.toString());
        QTimer::singleShot(0, this, [this, id] {
            if (m_jobs.contains(id))
                finish(id);
        });
        return id;
    }

    // One time limit for the whole download, redirects included.
    job.timer = new QTimer(this);
    job.timer->setSingleShot(true);
    connect(job.timer, &QTimer::timeout, this, [this, id] {
        fail(id, tr("the site did not answer within %1 seconds").arg(m_limits.timeoutMs / 1000.0));
    });
    job.timer->start(m_limits.timeoutMs);
    request(id, url);
    return id;
}

void PageFetcher::request(quint64 id, const QUrl& url)
{
    // Redirects are followed here rather than by the network layer, so that each one
    // is checked (web addresses only) and counted.
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(m_limits.timeoutMs);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Mozilla/5.0 (X11; Linux x86_64) Quillon/" QUILLON_VERSION_TEXT));
    request.setRawHeader("Accept", "text/html,application/xhtml+xml,*/*;q=0.8");
    QNetworkReply* reply = m_network->get(request);
    m_jobs[id].reply = reply;
    m_jobs[id].body.clear();

    connect(reply, &QNetworkReply::metaDataChanged, this, [this, id, reply] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > m_limits.maxBytes)
            fail(id, tr("the page is larger than %1 MB").arg(m_limits.maxBytes / (1024 * 1024)));
    });
    connect(reply, &QIODevice::readyRead, this, [this, id, reply] {
        auto it = m_jobs.find(id);
        if (it == m_jobs.end())
            return;
        it->body += reply->readAll();
        if (it->body.size() > m_limits.maxBytes)
            fail(id, tr("the page is larger than %1 MB").arg(m_limits.maxBytes / (1024 * 1024)));
    });
    connect(reply, &QNetworkReply::finished, this, [this, id] {
        if (m_jobs.contains(id))
            finish(id);
    });
}

void PageFetcher::fail(quint64 id, const QString& error)
{
    auto it = m_jobs.find(id);
    if (it == m_jobs.end())
        return;
    if (it->error.isEmpty())
        it->error = error;
    if (QNetworkReply* reply = it->reply) {
        if (reply->isRunning())
            reply->abort();
    }
    // abort() reports finished at once; a reply that had already finished did not.
    if (m_jobs.contains(id))
        finish(id);
}

void PageFetcher::finish(quint64 id)
{
    {
        Job& running = m_jobs[id];
        QNetworkReply* reply = running.reply;
        const int code = reply ? reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() : 0;
        if (running.error.isEmpty() && reply && code >= 300 && code <= 399 && reply->hasRawHeader("Location")) {
            const QUrl target = reply->url().resolved(QUrl::fromEncoded(reply->rawHeader("Location").trimmed()));
            reply->disconnect(this);
            reply->deleteLater();
            running.reply = nullptr;
            if (!isWebAddress(target)) {
                running.error = tr("the page redirects to \"%1\", which is not a web address").arg(target.toString());
            } else if (++running.redirects > m_limits.maxRedirects) {
                running.error = tr("the page redirects more than %1 times").arg(m_limits.maxRedirects);
            } else {
                running.url = target;
                request(id, target);
                return;
            }
        }
    }
    Job job = m_jobs.take(id);
    if (job.timer)
        job.timer->deleteLater();
    FetchedPage page;
    page.url = job.asked;
    page.finalUrl = job.url;
    QNetworkReply* reply = job.reply;
    if (reply) {
        page.finalUrl = reply->url();
        reply->disconnect(this);
        reply->deleteLater();
    }
    page.error = job.error;
    if (page.error.isEmpty() && reply) {
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        const int code = status.toInt();
        if (status.isValid() && (code < 200 || code > 299))
            page.error = tr("the site answered with status %1").arg(code);
        else if (reply->error() != QNetworkReply::NoError)
            page.error = networkError(*reply);
    }
    if (page.error.isEmpty() && reply) {
        job.body += reply->readAll();
        if (job.body.size() > m_limits.maxBytes)
            page.error = tr("the page is larger than %1 MB").arg(m_limits.maxBytes / (1024 * 1024));
        else
            page.text = HtmlText::pageToUtf8(job.body, reply->rawHeader("Content-Type"));
    }
    if (job.done)
        job.done(page);
}

void PageFetcher::cancel(quint64 id)
{
    auto it = m_jobs.find(id);
    if (it == m_jobs.end())
        return;
    Job job = std::move(*it);
    m_jobs.erase(it);
    if (job.timer)
        job.timer->deleteLater();
    if (job.reply) {
        job.reply->disconnect(this);
        job.reply->abort();
        job.reply->deleteLater();
    }
}

void PageFetcher::cancelAll()
{
    const QList<quint64> ids = m_jobs.keys();
    for (quint64 id : ids)
        cancel(id);
}

} // namespace quillon

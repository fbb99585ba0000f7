#include "grab/GrabRunner.h"

#include "grab/BrowserPageSource.h"
#include "grab/HtmlText.h"
#include "grab/PageReader.h"
#include "sheet/RecordSheet.h"

namespace quillon {

namespace {

/** The longest next-page address followed; a longer cut means the markers missed. */
constexpr qsizetype kMaxAddressLength = 8192;

} // namespace

QUrl ResolveNextLink(const QUrl& pageUrl, const QString& composed, QString* refusal)
{
    const QString decoded = HtmlText::decoded(composed).trimmed();
    const QUrl link = decoded.size() > kMaxAddressLength || decoded.contains(QLatin1Char('<'))
                          || decoded.contains(QLatin1Char('\n'))
                        ? QUrl()
                        : pageUrl.resolved(QUrl(decoded, QUrl::TolerantMode));
    if (PageFetcher::isWebAddress(link))
        return link;
    if (refusal)
        *refusal = GrabRunner::tr("the next page link \"%1\" is not a web address").arg(decoded.left(200));
    return {};
}

GrabRunner::GrabRunner(RecordSheet& sheet, PageFetcher& fetcher, QObject* parent)
    : QObject(parent), m_sheet(sheet), m_fetcher(fetcher)
{
    m_delay.setSingleShot(true);
    connect(&m_delay, &QTimer::timeout, this, [this] {
        m_waited = true;
        maybeProcess();
    });
    connect(&m_fetcher, &PageFetcher::retrying, this, [this](const QUrl& url, const QString& error, int, int waitMs) {
        if (m_running && m_fetchId && url == m_next)
            emit retrying(m_pageNumber, m_next.toString(), error, waitMs);
    });
}

GrabRunner::~GrabRunner()
{
    abandon();
}

QString GrabRunner::visitKey(const QUrl& url)
{
    return url.adjusted(QUrl::RemoveFragment | QUrl::NormalizePathSegments).toString(QUrl::FullyEncoded);
}

QString GrabRunner::siteOf(const QUrl& url)
{
    return url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo)
        .toString(QUrl::FullyEncoded);
}

void GrabRunner::start(const QString& address, const Options& options)
{
    abandon();
    ++m_generation;
    m_options = options;
    m_running = true;
    m_stopRequested = false;
    m_pass = 0;
    m_pageNumber = std::max(0, options.firstPage);
    m_pages = 0;
    m_listings = 0;
    m_skip = std::max(0, options.skipListings);
    m_composed = address;
    m_next = QUrl(address.trimmed(), QUrl::TolerantMode);
    m_endReason.clear();
    m_visited.clear();
    m_recent.clear();
    for (const QString& key : options.visited)
        noteVisit(key);
    m_robots.clear();
    nextPass();
}

bool GrabRunner::fromBrowser() const
{
    return m_options.browserPages && m_options.key.fromBrowser;
}

void GrabRunner::cancelPage()
{
    if (m_fetchId) {
        if (fromBrowser())
            m_options.browserPages->cancel(m_fetchId);
        else
            m_fetcher.cancel(m_fetchId);
    }
    m_fetchId = 0;
}

void GrabRunner::abandon()
{
    cancelPage();
    if (m_robotsFetch)
        m_fetcher.cancel(m_robotsFetch);
    m_robotsFetch = 0;
    m_delay.stop();
    m_running = false;
    ++m_generation;
}

void GrabRunner::requestStop()
{
    m_stopRequested = true;
    // A page waiting to be asked for again is given up at once: the wait may be long.
    // So is a page the browser is loading or settling: the grab is not the browser's.
    const bool waiting = (m_fetchId && (fromBrowser() || m_fetcher.isWaitingToRetry(m_fetchId)))
                      || (m_robotsFetch && m_fetcher.isWaitingToRetry(m_robotsFetch));
    if (!m_running || !waiting)
        return;
    cancelPage();
    m_fetcher.cancel(m_robotsFetch);
    m_robotsFetch = 0;
    m_delay.stop();
    const quint64 generation = m_generation;
    QTimer::singleShot(0, this, [this, generation] {
        if (generation == m_generation && m_running)
            endByStop();
    });
}

void GrabRunner::noteVisit(const QString& key)
{
    if (m_visited.contains(key))
        return;
    m_visited.insert(key);
    m_recent.append(key);
    if (m_recent.size() > 2 * kVisitedKept)
        m_recent = m_recent.mid(m_recent.size() - kVisitedKept);
}

GrabRunner::ResumePoint GrabRunner::resumePoint() const
{
    ResumePoint point;
    point.next = m_endReason.isEmpty() ? m_next.toString() : QString();
    point.pagesDone = m_pageNumber;
    point.skipListings = m_skip;
    point.visited = m_recent.mid(std::max<qsizetype>(0, m_recent.size() - kVisitedKept));
    return point;
}

void GrabRunner::nextPass()
{
    if (!m_running)
        return;
    if (m_stopRequested) {
        endByStop();
        return;
    }
    if (m_pass >= m_options.maxPages) {
        finish(tr("the page limit of %1 pages is reached").arg(m_options.maxPages));
        return;
    }
    if (m_options.rules == SiteRules::BuiltInA && m_composed == m_options.siteABase) {
        m_endReason = tr("the last page has no next page");
        finish(m_endReason);
        return;
    }
    if (m_options.rules == SiteRules::BuiltInB && m_composed == QString::fromUtf8(m_options.key.nextStart)) {
        m_endReason = tr("the last page has no next page");
        finish(m_endReason);
        return;
    }
    if (!m_endReason.isEmpty()) {
        finish(m_endReason);
        return;
    }

    noteVisit(visitKey(m_next));
    emit pageStarted(m_pageNumber, m_next.toString());
    m_fetched = false;
    m_waited = false;
    m_page = FetchedPage();
    if (m_options.honourRobots && PageFetcher::isWebAddress(m_next))
        checkRobots();
    else
        fetchPage();
}

void GrabRunner::checkRobots()
{
    const QString site = siteOf(m_next);
    const auto known = m_robots.constFind(site);
    if (known != m_robots.constEnd()) {
        if (known->allows(m_next)) {
            fetchPage();
            return;
        }
        m_running = false;
        emit refused(m_pageNumber, m_next.toString(),
                     tr("the site's robots.txt does not allow robots to read %1")
                         .arg(m_next.toString(QUrl::RemoveScheme | QUrl::RemoveAuthority)));
        return;
    }
    m_robotsFetch = m_fetcher.fetch(QUrl(site + QStringLiteral("/robots.txt")), [this, site](const FetchedPage& page) {
        m_robotsFetch = 0;
        robotsRead(site, page);
    });
}

void GrabRunner::robotsRead(const QString& site, const FetchedPage& page)
{
    if (!m_running)
        return;
    if (page.ok()) {
        m_robots.insert(site, RobotsTxt::parse(page.text, kRobotName));
    } else if ((page.status >= 400 && page.status <= 499) || (page.status >= 300 && page.status <= 399)) {
        // No robots.txt (or none to be had by following its redirects): no rules.
        m_robots.insert(site, RobotsTxt());
    } else {
        if (m_stopRequested) {
            endByStop();
            return;
        }
        m_running = false;
        emit failed(m_pageNumber, m_next.toString(), tr("the site's robots.txt could not be read: %1").arg(page.error));
        return;
    }
    checkRobots();
}

void GrabRunner::fetchPage()
{
    m_delay.start(std::max(0, m_options.delayMs));
    auto done = [this](const FetchedPage& page) {
        m_fetchId = 0;
        m_page = page;
        m_fetched = true;
        maybeProcess();
    };
    if (fromBrowser())
        m_fetchId = m_options.browserPages->fetch(m_next, m_options.key, m_options.rules, done);
    else
        m_fetchId = m_fetcher.fetch(m_next, done);
}

void GrabRunner::maybeProcess()
{
    if (m_running && m_fetched && m_waited && !m_sheetHeld)
        processPage();
}

void GrabRunner::setSheetHeld(bool held)
{
    m_sheetHeld = held;
    if (!held)
        maybeProcess();
}

void GrabRunner::processPage()
{
    m_fetched = false;
    const FetchedPage page = std::move(m_page);
    m_page = FetchedPage();
    const GrabKey& key = m_options.key;
    const QUrl pageUrl = page.finalUrl.isValid() ? page.finalUrl : m_next;
    const QString address = m_next.toString();

    if (!page.ok()) {
        // A stop asked for meanwhile is what the user wants to hear of.
        if (m_stopRequested) {
            endByStop();
            return;
        }
        m_running = false;
        emit failed(m_pageNumber, address, page.error);
        return;
    }

    // A redirect back to a page grabbed before is a link back too.
    const QString finalKey = visitKey(pageUrl);
    if (finalKey != visitKey(m_next)) {
        if (m_visited.contains(finalKey)) {
            m_endReason = tr("the next page link leads back to the address %1").arg(pageUrl.toString());
            ++m_pageNumber;
            m_skip = 0;
            finish(m_endReason);
            return;
        }
        noteVisit(finalKey);
    }

    // The next address, from the page as downloaded.
    const QString cut = QString::fromUtf8(PageNextLink(page.text, key));
    switch (m_options.rules) {
    case SiteRules::BuiltInA:
        m_composed = m_options.siteABase + cut;
        break;
    case SiteRules::BuiltInB:
        m_composed = QString::fromUtf8(key.nextStart) + cut;
        break;
    case SiteRules::KeyOnly:
        m_composed = cut;
        break;
    }
    QUrl next = m_next;
    QString endReason;
    if (cut.isEmpty()) {
        endReason = tr("the last page has no next page");
    } else {
        const QUrl link = ResolveNextLink(pageUrl, m_composed, &endReason);
        if (endReason.isEmpty()) {
            if (m_visited.contains(visitKey(link)))
                endReason = tr("the next page link repeats the address %1").arg(link.toString());
            else
                next = link;
        }
    }

    if (beforeRows) {
        const quint64 generation = m_generation;
        beforeRows();
        if (generation != m_generation)
            return;
    }

    ParseContext context;
    context.sheetColumns = m_sheet.cols();
    context.hasRecordAbove = m_sheet.rows() > 1;
    if (context.hasRecordAbove && m_sheet.cols() > kStateColumn)
        context.stateAbove = m_sheet.textUtf8(m_sheet.rows() - 1, kStateColumn).toByteArray();
    // Listings taken before (a grab stopped on this page, continued) are left out;
    // the page is read whole to find where the rest begins.
    context.stopRequested = m_stopRequested && m_skip == 0;
    const ParsedPage parsed = ParsePage(page.text, key, m_options.rules, context);
    const int from = std::min(m_skip, parsed.rowCount());
    int count = parsed.rowCount() - from;
    bool stopped = parsed.stopped;
    if (m_skip > 0 && m_stopRequested && count > 0) {
        count = 1;
        stopped = from + count < parsed.rowCount();
    }
    appendRows(parsed, from, count, pageUrl.toString());
    m_listings += count;
    if (stopped) {
        // The page stays to be grabbed; its listings taken so far are counted.
        m_skip = from + count;
        endByStop();
        return;
    }
    ++m_pages;
    const int number = m_pageNumber;
    ++m_pageNumber;
    m_skip = 0;
    m_next = next;
    m_endReason = endReason;
    const quint64 generation = m_generation;
    emit pageGrabbed(number, address, count);
    if (generation != m_generation)
        return;
    ++m_pass;
    nextPass();
}

int GrabRunner::sourceColumn(const char* title)
{
    const QString text = QString::fromLatin1(title);
    for (int c = 0; c < m_sheet.cols(); ++c)
        if (m_sheet.title(c) == text)
            return c;
    const int c = m_sheet.cols();
    m_sheet.setCols(c + 1);
    m_sheet.setTitle(c, text);
    return c;
}

void GrabRunner::appendRows(const ParsedPage& parsed, int from, int count, const QString& pageAddress)
{
    if (count <= 0)
        return;
    int pageColumn = -1;
    int timeColumn = -1;
    QByteArray when;
    if (m_options.sourceColumns) {
        pageColumn = sourceColumn(kSourcePageTitle);
        timeColumn = sourceColumn(kGrabbedAtTitle);
        const QDateTime now = m_options.clock ? m_options.clock() : QDateTime::currentDateTime();
        when = now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
    }
    const QByteArray page = pageAddress.toUtf8();
    RecordSheet::Batch batch(m_sheet);
    const int first = m_sheet.rows();
    m_sheet.setRows(first + count);
    for (int r = 0; r < count; ++r) {
        const int row = from + r;
        for (size_t c = parsed.rowBegin(row); c < parsed.rowEnds[size_t(row)]; ++c)
            m_sheet.setTextUtf8(first + r, parsed.cells[c].column, parsed.value(parsed.cells[c]));
        if (pageColumn >= 0) {
            m_sheet.setTextUtf8(first + r, pageColumn, page);
            m_sheet.setTextUtf8(first + r, timeColumn, when);
        }
    }
}

void GrabRunner::finish(const QString& reason)
{
    m_running = false;
    emit finished(reason);
}

void GrabRunner::endByStop()
{
    m_running = false;
    m_stopRequested = false;
    emit stopped();
}

} // namespace quillon

#include "grab/GrabRunner.h"

#include "grab/HtmlText.h"
#include "sheet/RecordSheet.h"

namespace quillon {

namespace {

/** The longest next-page address followed; a longer cut means the markers missed. */
constexpr qsizetype kMaxAddressLength = 8192;

} // namespace

GrabRunner::GrabRunner(RecordSheet& sheet, PageFetcher& fetcher, QObject* parent)
    : QObject(parent), m_sheet(sheet), m_fetcher(fetcher)
{
    m_delay.setSingleShot(true);
    connect(&m_delay, &QTimer::timeout, this, [this] {
        m_waited = true;
        maybeProcess();
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

void GrabRunner::start(const QString& address, const Options& options)
{
    abandon();
    ++m_generation;
    m_options = options;
    m_running = true;
    m_stopRequested = false;
    m_pass = 0;
    m_pages = 0;
    m_listings = 0;
    m_composed = address;
    m_next = QUrl(address.trimmed(), QUrl::TolerantMode);
    m_endReason.clear();
    m_visited.clear();
    nextPass();
}

void GrabRunner::abandon()
{
    if (m_fetchId)
        m_fetcher.cancel(m_fetchId);
    m_fetchId = 0;
    m_delay.stop();
    m_running = false;
    ++m_generation;
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
        finish(tr("the last page has no next page"));
        return;
    }
    if (m_options.rules == SiteRules::BuiltInB && m_composed == QString::fromUtf8(m_options.key.nextStart)) {
        finish(tr("the last page has no next page"));
        return;
    }
    if (!m_endReason.isEmpty()) {
        finish(m_endReason);
        return;
    }

    m_visited.insert(visitKey(m_next));
    emit pageStarted(m_pass, m_next.toString());
    m_fetched = false;
    m_waited = false;
    m_page = FetchedPage();
    m_delay.start(std::max(0, m_options.delayMs));
    m_fetchId = m_fetcher.fetch(m_next, [this](const FetchedPage& page) {
        m_fetchId = 0;
        m_page = page;
        m_fetched = true;
        maybeProcess();
    });
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
        emit failed(m_pass, address, page.error);
        return;
    }

    // The next address, from the page as downloaded.
    const QString cut = QString::fromUtf8(NextLink(page.text, key));
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
    m_endReason.clear();
    if (cut.isEmpty()) {
        m_endReason = tr("the last page has no next page");
    } else {
        const QString decoded = HtmlText::decoded(m_composed).trimmed();
        const QUrl next = decoded.size() > kMaxAddressLength || decoded.contains(QLatin1Char('<'))
                              || decoded.contains(QLatin1Char('\n'))
                            ? QUrl()
                            : pageUrl.resolved(QUrl(decoded, QUrl::TolerantMode));
        if (!PageFetcher::isWebAddress(next))
            m_endReason = tr("the next page link \"%1\" is not a web address").arg(decoded.left(200));
        else if (m_visited.contains(visitKey(next)))
            m_endReason = tr("the next page link repeats the address %1").arg(next.toString());
        else
            m_next = next;
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
    context.stopRequested = m_stopRequested;
    const ParsedPage parsed = ParseListings(page.text, key, m_options.rules, context);
    appendRows(parsed);
    m_listings += parsed.rowCount();
    ++m_pages;
    if (parsed.stopped) {
        endByStop();
        return;
    }
    const quint64 generation = m_generation;
    emit pageGrabbed(m_pass, address, parsed.rowCount());
    if (generation != m_generation)
        return;
    ++m_pass;
    nextPass();
}

void GrabRunner::appendRows(const ParsedPage& parsed)
{
    if (parsed.rowCount() == 0)
        return;
    RecordSheet::Batch batch(m_sheet);
    const int first = m_sheet.rows();
    m_sheet.setRows(first + parsed.rowCount());
    for (int r = 0; r < parsed.rowCount(); ++r)
        for (size_t c = parsed.rowBegin(r); c < parsed.rowEnds[size_t(r)]; ++c)
            m_sheet.setTextUtf8(first + r, parsed.cells[c].column, parsed.value(parsed.cells[c]));
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

#include "grab/BrowserPageSource.h"

#include "grab/BrowserControl.h"
#include "grab/PageReader.h"

namespace quillon {

BrowserPageSource::BrowserPageSource(BrowserControl& browser, QObject* parent) : QObject(parent), m_browser(browser)
{
    m_loadTimer.setSingleShot(true);
    connect(&m_loadTimer, &QTimer::timeout, this,
            [this] { finish(tr("the browser did not load the page within %1 seconds").arg(m_limits.loadTimeoutMs / 1000)); });
    m_settleTimer.setSingleShot(true);
    connect(&m_settleTimer, &QTimer::timeout, this, &BrowserPageSource::look);
    connect(&m_browser, &BrowserControl::pageLoaded, this, &BrowserPageSource::loaded);
}

BrowserPageSource::~BrowserPageSource() = default;

quint64 BrowserPageSource::fetch(const QUrl& url, const GrabKey& key, SiteRules rules, PageFetcher::Done done)
{
    cancel(m_id);
    m_id = m_nextId++;
    m_url = url;
    m_key = key;
    m_rules = rules;
    m_done = std::move(done);
    m_loaded = false;
    m_lastCount = -1;
    m_text.clear();
    m_loadTimer.start(m_limits.loadTimeoutMs);
    if (m_browser.currentUrl() == url && !m_browser.isLoading()) {
        // The page the user looks at, as it stands: not loaded again.
        const quint64 id = m_id;
        QTimer::singleShot(0, this, [this, id] {
            if (id == m_id)
                loaded(true);
        });
    } else {
        m_browser.navigate(url);
    }
    return m_id;
}

void BrowserPageSource::cancel(quint64 id)
{
    if (id == 0 || id != m_id)
        return;
    m_id = 0;
    m_done = nullptr;
    m_loadTimer.stop();
    m_settleTimer.stop();
}

void BrowserPageSource::loaded(bool ok)
{
    if (!m_id || m_loaded)
        return;
    if (!ok) {
        // A load that fails may be one the page replaced by its own next load (a
        // redirect by script); the browser's own answer decides once it is still.
        if (!m_browser.isLoading())
            finish(tr("the browser could not load the page"));
        return;
    }
    m_loaded = true;
    m_loadTimer.stop();
    m_settleClock.start();
    look();
}

void BrowserPageSource::look()
{
    if (!m_id)
        return;
    const quint64 id = m_id;
    m_browser.requestPageText([this, id](const QString& html) { textRead(id, html); });
}

void BrowserPageSource::textRead(quint64 id, const QString& html)
{
    if (id != m_id)
        return;
    m_text = html.toUtf8();
    ParseContext context;
    context.sheetColumns = 1000;
    const int count = ParsePage(m_text, m_key, m_rules, context).rowCount();
    // Settled: the same listings as half a second before, or waited long enough. A
    // page without listings may be one whose script has not put them in yet: it is
    // waited for to the limit.
    if ((count == m_lastCount && count > 0) || m_settleClock.elapsed() >= m_limits.settleLimitMs) {
        finish(QString());
        return;
    }
    m_lastCount = count;
    m_settleTimer.start(m_limits.settleIntervalMs);
}

void BrowserPageSource::finish(const QString& error)
{
    if (!m_id)
        return;
    FetchedPage page;
    page.url = m_url;
    page.finalUrl = m_browser.currentUrl().isValid() ? m_browser.currentUrl() : m_url;
    page.tries = 1;
    if (error.isEmpty()) {
        page.status = 200;
        page.text = m_text;
    } else {
        page.error = error;
    }
    PageFetcher::Done done = std::move(m_done);
    m_id = 0;
    m_done = nullptr;
    m_loadTimer.stop();
    m_settleTimer.stop();
    if (done)
        done(page);
}

} // namespace quillon

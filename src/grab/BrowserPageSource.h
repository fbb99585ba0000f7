#pragma once

#include "grab/ListingParser.h"
#include "grab/PageFetcher.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QUrl>

namespace quillon {

class BrowserControl;

/**
 * Result pages as the built-in browser shows them, for sites whose key says so: the
 * document after its load finished, with the browser's cookies, its scripts' work
 * and whatever the user clicked through.
 *
 * A page is had by sending the browser to its address and waiting for the load to
 * finish (the page the browser shows already, loaded, is taken as it stands, so
 * that the first page of a grab is the one the user looks at). Pages that fill
 * their listings by script after the load need a settle wait: the text is asked for
 * again every half second until the key's listing count stops changing or the
 * settle limit passes; a page on which the key finds no listing is waited for to
 * the limit, as its script may not have begun. One page at a time: the browser shows one.
 */
class BrowserPageSource : public QObject
{
    Q_OBJECT

public:
    struct Limits
    {
        /** The longest wait for a page's load. */
        int loadTimeoutMs = 30000;
        /** The wait between two looks at the page's text. */
        int settleIntervalMs = 500;
        /** The longest settle wait after the load. */
        int settleLimitMs = 10000;
    };

    explicit BrowserPageSource(BrowserControl& browser, QObject* parent = nullptr);
    ~BrowserPageSource() override;

    Limits limits() const { return m_limits; }
    void setLimits(const Limits& limits) { m_limits = limits; }

    /** Has the browser show @p url and hands its text to @p done once settled; a page
     *  under way is given up first. Returns an id for cancel(). */
    quint64 fetch(const QUrl& url, const GrabKey& key, SiteRules rules, PageFetcher::Done done);
    /** Gives up page @p id without calling its callback. */
    void cancel(quint64 id);
    bool isBusy() const { return m_id != 0; }

private:
    void loaded(bool ok);
    void look();
    void textRead(quint64 id, const QString& html);
    void finish(const QString& error);

    BrowserControl& m_browser;
    Limits m_limits;
    quint64 m_nextId = 1;
    quint64 m_id = 0;
    QUrl m_url;
    GrabKey m_key;
    SiteRules m_rules = SiteRules::KeyOnly;
    PageFetcher::Done m_done;
    bool m_loaded = false;
    int m_lastCount = -1;
    QByteArray m_text;
    QTimer m_loadTimer;
    QTimer m_settleTimer;
    QElapsedTimer m_settleClock;
};

} // namespace quillon

#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>

namespace quillon {

/**
 * What the grab session needs of the embedded web browser: go to an address, back,
 * forward, reload, and to hear where the browser is and when it is loading. The
 * windows implement it over the web view; tests with a stand-in.
 */
class BrowserControl : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void navigate(const QUrl& url) = 0;
    virtual void back() = 0;
    virtual void forward() = 0;
    virtual void reload() = 0;

    /** The address the browser shows now. */
    virtual QUrl currentUrl() const { return {}; }
    /** Whether a page is loading. */
    virtual bool isLoading() const { return false; }
    /** Asks for the document the browser shows, as HTML; @p done runs later with it
     *  (empty when the browser cannot tell). */
    virtual void requestPageText(std::function<void(const QString&)> done) { done(QString()); }

signals:
    /** The browser shows a new address. */
    void locationChanged(const QString& address);
    /** A page began to load / finished loading. */
    void loadStarted();
    void loadFinished();
    /** A page finished loading: @p ok is false when it could not be loaded. */
    void pageLoaded(bool ok);
};

} // namespace quillon

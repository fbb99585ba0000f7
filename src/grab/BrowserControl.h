#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

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

signals:
    /** The browser shows a new address. */
    void locationChanged(const QString& address);
    /** A page began to load / finished loading. */
    void loadStarted();
    void loadFinished();
};

} // namespace quillon

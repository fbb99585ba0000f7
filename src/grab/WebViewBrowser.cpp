#include "grab/WebViewBrowser.h"

#include <QPointer>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace quillon {

WebViewBrowser::WebViewBrowser(QWebEngineView* view, QObject* parent) : BrowserControl(parent), m_view(view)
{
    connect(m_view, &QWebEngineView::urlChanged, this, [this](const QUrl& url) {
        emit locationChanged(url.toString());
    });
    connect(m_view, &QWebEngineView::loadStarted, this, &BrowserControl::loadStarted);
    connect(m_view, &QWebEngineView::loadFinished, this, [this](bool ok) {
        emit loadFinished();
        emit pageLoaded(ok);
    });
}

void WebViewBrowser::navigate(const QUrl& url)
{
    m_view->setUrl(url);
}

void WebViewBrowser::back()
{
    m_view->back();
}

void WebViewBrowser::forward()
{
    m_view->forward();
}

void WebViewBrowser::reload()
{
    m_view->reload();
}

} // namespace quillon

namespace quillon {

QUrl WebViewBrowser::currentUrl() const
{
    return m_view->url();
}

bool WebViewBrowser::isLoading() const
{
    return m_view->page()->isLoading();
}

void WebViewBrowser::requestPageText(std::function<void(const QString&)> done)
{
    // The answer comes from the page's renderer; a browser gone meanwhile answers nothing.
    QPointer<WebViewBrowser> self(this);
    m_view->page()->toHtml([self, done = std::move(done)](const QString& html) {
        if (self)
            done(html);
    });
}

} // namespace quillon

#include "grab/WebViewBrowser.h"

#include <QWebEngineView>

namespace quillon {

WebViewBrowser::WebViewBrowser(QWebEngineView* view, QObject* parent) : BrowserControl(parent), m_view(view)
{
    connect(m_view, &QWebEngineView::urlChanged, this, [this](const QUrl& url) {
        emit locationChanged(url.toString());
    });
    connect(m_view, &QWebEngineView::loadStarted, this, &BrowserControl::loadStarted);
    connect(m_view, &QWebEngineView::loadFinished, this, &BrowserControl::loadFinished);
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

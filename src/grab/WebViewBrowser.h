#pragma once

#include "grab/BrowserControl.h"

class QWebEngineView;

namespace quillon {

/** The grab session's view of the Browser page's web view `WBrowser`. */
class WebViewBrowser : public BrowserControl
{
    Q_OBJECT

public:
    explicit WebViewBrowser(QWebEngineView* view, QObject* parent = nullptr);

    void navigate(const QUrl& url) override;
    void back() override;
    void forward() override;
    void reload() override;
    QUrl currentUrl() const override;
    bool isLoading() const override;
    void requestPageText(std::function<void(const QString&)> done) override;

private:
    QWebEngineView* m_view;
};

} // namespace quillon

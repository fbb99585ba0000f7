#pragma once

#include <QObject>

class QLabel;
class QWidget;

namespace quillon {

class BrowserControl;
class GrabSession;
class WindowParts;
class WebViewBrowser;

/**
 * Wires grabbing into the main window: the site list `cboKest2` (filled at load,
 * a choice runs Select site), the address box `txtDrop` (fed by the browser's
 * location; typing in it counts as a change, Enter goes there), the three grab
 * hints `pnlHintMsg` in the Browser page's hint area, the Grab and Stop commands,
 * the browser menu's Go Back and Go Forward, and keeping the last grabbed row in
 * view. The logic is GrabSession's; this is the view over it.
 */
class GrabController : public QObject
{
    Q_OBJECT

public:
    static GrabController* install(WindowParts& window);
    ~GrabController() override;

    GrabSession& session() const { return *m_session; }
    /** Hint panel @p n (0, 1, 2). */
    QWidget* hintPanel(int n) const { return m_hints[n]; }
    /** The Browser page's web view as the grab session sees it. */
    BrowserControl& browserControl() const;
    /** Fills the site list from the catalog again (sites saved since) and chooses the
     *  site named @p select, or the first. */
    void refillSiteList(const QString& select);

private:
    explicit GrabController(WindowParts& window);
    void buildHints();
    void showHint(int hint);
    void fillSiteList();

    WindowParts& m_window;
    WebViewBrowser* m_browser = nullptr;
    GrabSession* m_session = nullptr;
    QWidget* m_hints[3] = {nullptr, nullptr, nullptr};
    QLabel* m_progress = nullptr;
    /** A programmatic change of the site list waiting to run Select site. */
    int m_pendingSelect = -1;
};

} // namespace quillon

#include "grab/GrabController.h"

#include "shell/MainModel.h"
#include "shell/WindowParts.h"
#include "grab/GrabSession.h"
#include "grab/WebViewBrowser.h"
#include "ui/SheetView.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

namespace quillon {

GrabController* GrabController::install(WindowParts& window)
{
    return new GrabController(window);
}

GrabController::GrabController(WindowParts& window) : QObject(window.widget()), m_window(window)
{
    setObjectName(QStringLiteral("GrabController"));
    m_browser = new WebViewBrowser(window.browser(), this);
    m_session = new GrabSession(window.model(), *m_browser, this);
    buildHints();

    auto connectTo = [&window, this](const char* name, void (GrabSession::*command)()) {
        if (QAction* a = window.action(QString::fromLatin1(name)))
            connect(a, &QAction::triggered, m_session, command);
    };
    connectTo("mnuFileB_Grab", &GrabSession::Grab);
    connectTo("tb1.StartGrab", &GrabSession::Grab);
    connectTo("mnuFileB_ContinueGrab", &GrabSession::ContinueGrab);
    connectTo("tb1.ContinueGrab", &GrabSession::ContinueGrab);
    connectTo("mnuFileB_StopGrab", &GrabSession::Stop);
    connectTo("tb0.Stop", &GrabSession::Stop);
    connectTo("tb1.Stop", &GrabSession::Stop);
    connectTo("mnuFileB_back", &GrabSession::goBack);
    connectTo("mnuFileB_forward", &GrabSession::goForward);

    // The address box mirrors the session; what the user types is a change too.
    QLineEdit* txtDrop = window.addressBox();
    connect(m_session, &GrabSession::addressChanged, txtDrop, [txtDrop](const QString& address) {
        if (txtDrop->text() != address)
            txtDrop->setText(address);
    });
    connect(txtDrop, &QLineEdit::textEdited, m_session, &GrabSession::setAddress);
    connect(txtDrop, &QLineEdit::returnPressed, this, [this, txtDrop] {
        const QUrl url = QUrl::fromUserInput(txtDrop->text().trimmed());
        if (url.isValid())
            m_browser->navigate(url);
    });

    // The site list: a pick from the list runs Select site, also for the entry already
    // shown; a change made by the program runs it once the change is done.
    QComboBox* cboKest2 = window.siteList();
    connect(cboKest2, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_pendingSelect = index;
        QTimer::singleShot(0, this, [this, index] {
            if (m_pendingSelect == index && index >= 0) {
                m_pendingSelect = -1;
                m_session->SelectSite(index);
            }
        });
    });
    connect(cboKest2, &QComboBox::activated, this, [this](int index) {
        m_pendingSelect = -1;
        m_session->SelectSite(index);
    });

    connect(m_session, &GrabSession::hintChanged, this, &GrabController::showHint);
    connect(m_session, &GrabSession::progressCaptionChanged, m_progress, &QLabel::setText);
    connect(m_session, &GrabSession::topRowRequested, this, [this](int row) {
        SheetView* view = m_window.sheetView();
        if (row >= 1 && view && view->model())
            view->scrollTo(view->model()->index(row - 1, 0), QAbstractItemView::PositionAtTop);
    });

    // The load sequence ends with the site list filled and its first entry chosen.
    window.whenLoaded(this, [this] { fillSiteList(); });
    showHint(m_session->hint());
}

GrabController::~GrabController() = default;

BrowserControl& GrabController::browserControl() const
{
    return *m_browser;
}

void GrabController::refillSiteList(const QString& select)
{
    QComboBox* cboKest2 = m_window.siteList();
    int index = 0;
    {
        const QSignalBlocker blocker(cboKest2);
        cboKest2->clear();
        const QStringList names = m_session->FillCatalog();
        cboKest2->addItems(names);
        index = std::max(0, int(names.indexOf(select)));
        cboKest2->setCurrentIndex(cboKest2->count() > 0 ? index : -1);
    }
    if (cboKest2->count() > 0)
        m_session->SelectSite(index);
}

void GrabController::fillSiteList()
{
    QComboBox* cboKest2 = m_window.siteList();
    {
        const QSignalBlocker blocker(cboKest2);
        cboKest2->clear();
        cboKest2->addItems(m_session->FillCatalog());
        cboKest2->setCurrentIndex(cboKest2->count() > 0 ? 0 : -1);
    }
    if (cboKest2->count() > 0)
        m_session->SelectSite(0);
}

void GrabController::buildHints()
{
    QWidget* area = m_window.hintArea();
    auto* layout = qobject_cast<QHBoxLayout*>(area->layout());
    if (!layout) {
        layout = new QHBoxLayout(area);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    auto panel = [area](int n) {
        auto* w = new QWidget(area);
        w->setObjectName(QStringLiteral("pnlHintMsg%1").arg(n));
        w->setToolTip(GrabSession::hintToolTip(n));
        auto* row = new QHBoxLayout(w);
        row->setContentsMargins(4, 0, 4, 0);
        row->setSpacing(0);
        return w;
    };

    // Hint 0: the caption with a small picture of the grab button in its gap.
    m_hints[0] = panel(0);
    const QString caption = m_session->hintCaption(GrabSession::HintBrowse);
    const qsizetype gap = caption.indexOf(QLatin1String("        "));
    auto* before = new QLabel(gap < 0 ? caption : caption.left(gap), m_hints[0]);
    auto* picture = new QLabel(m_hints[0]);
    picture->setObjectName(QStringLiteral("imgGrabHint"));
    picture->setToolTip(GrabSession::hintToolTip(0));
    QIcon icon;
    if (QAction* grab = m_window.action(QStringLiteral("tb1.StartGrab")))
        icon = grab->icon();
    if (!icon.isNull())
        picture->setPixmap(icon.pixmap(16, 16));
    else
        picture->setText(QStringLiteral(" [Grab] "));
    picture->setContentsMargins(6, 0, 6, 0);
    auto* after = new QLabel(gap < 0 ? QString() : caption.mid(gap + 8), m_hints[0]);
    m_hints[0]->layout()->addWidget(before);
    m_hints[0]->layout()->addWidget(picture);
    m_hints[0]->layout()->addWidget(after);

    m_hints[1] = panel(1);
    m_hints[1]->layout()->addWidget(new QLabel(m_session->hintCaption(GrabSession::HintReady), m_hints[1]));

    m_hints[2] = panel(2);
    m_progress = new QLabel(m_hints[2]);
    m_progress->setObjectName(QStringLiteral("lblGrabProgress"));
    m_progress->setMinimumWidth(m_progress->fontMetrics().horizontalAdvance(QStringLiteral(" Grabbing >>>>>>>>")));
    m_hints[2]->layout()->addWidget(m_progress);

    for (QWidget* w : m_hints)
        layout->addWidget(w);
    layout->addStretch(1);
}

void GrabController::showHint(int hint)
{
    for (int n = 0; n < 3; ++n)
        m_hints[n]->setVisible(n == hint);
    if (hint == GrabSession::HintGrabbing)
        m_progress->setText(m_session->hintCaption(GrabSession::HintGrabbing));
}

} // namespace quillon

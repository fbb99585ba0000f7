#include "app/WindowLayout.h"

#include "shell/MainModel.h"
#include "app/MainWindow.h"
#include "shell/PanelLayout.h"
#include "ui/SheetView.h"
#include "ui/Twips.h"

#include <QAction>
#include <QEvent>
#include <QFrame>
#include <QLayout>
#include <QMouseEvent>
#include <QSplitter>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

namespace quillon {

namespace {

constexpr int kButtonSize = 16; // pixels

} // namespace

WindowLayout::WindowLayout(MainWindow& window)
    : QObject(&window), m_window(window), m_vbar(window.vbar()), m_page(window.vbar()->parentWidget())
{
    // The sheet may be narrowed to what is left right of the splitter's limit.
    window.sheetView()->setMinimumWidth(1);

    for (int i = 0; i < 2; ++i) {
        auto* bar = new QFrame(m_page);
        bar->setObjectName(QStringLiteral("VBar%1").arg(i + 1));
        bar->setFrameShape(QFrame::NoFrame);
        bar->setAutoFillBackground(true);
        QPalette pal = bar->palette();
        pal.setColor(QPalette::Window, i == 0 ? QColor(0x80, 0x80, 0x80) : QColor(0xc0, 0x40, 0x40));
        bar->setPalette(pal);
        bar->hide();
        m_ghost[i] = bar;
    }

    m_imgClose = new QToolButton(m_page);
    m_imgClose->setObjectName(QStringLiteral("imgClose"));
    m_imgClose->setAutoRaise(true);
    m_imgClose->setIcon(m_imgClose->style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    m_imgClose->setToolTip(QStringLiteral("Close Form Panel"));
    m_imgClose->setFixedSize(kButtonSize, kButtonSize);
    m_imgClose->setFocusPolicy(Qt::NoFocus);
    connect(m_imgClose, &QToolButton::clicked, this, &WindowLayout::closeFormPanel);

    if (QSplitterHandle* h = handle())
        h->installEventFilter(this);
    m_vbar->installEventFilter(this);
    window.formTab()->installEventFilter(this);
    connect(m_vbar, &QSplitter::splitterMoved, this, &WindowLayout::placeButtons);
    connect(&window.model(), &MainModel::vbarLeftChanged, this, &WindowLayout::placeButtons);

    if (QAction* a = window.action(QStringLiteral("mnuViewFb")))
        connect(a, &QAction::triggered, this, &WindowLayout::toggleFormPanel);
    if (QAction* a = window.action(QStringLiteral("mnuViewDropBox")))
        connect(a, &QAction::triggered, this, &WindowLayout::toggleAddressBox);
    placeButtons();
}

QSplitterHandle* WindowLayout::handle() const
{
    return m_vbar->count() > 1 ? m_vbar->handle(1) : nullptr;
}

int WindowLayout::toPixels(int twips) const
{
    return Twips::toPixels(twips, &m_window);
}

int WindowLayout::toTwips(int pixels) const
{
    return Twips::fromPixels(pixels, &m_window);
}

int WindowLayout::splitterLeft() const
{
    const QSplitterHandle* h = handle();
    return h ? toTwips(h->x()) : 0;
}

int WindowLayout::splitterLeftInWindow() const
{
    const QSplitterHandle* h = handle();
    return h ? h->mapTo(&m_window, QPoint(0, 0)).x() : 0;
}

int WindowLayout::confine(int candidatePixels) const
{
    // The right limit is the window's inner width less the margin; in the splitter's
    // own coordinates that is less the splitter's distance from the window's edge.
    const int origin = m_vbar->mapTo(&m_window, QPoint(0, 0)).x();
    return PanelLayout::confineSplitter(toTwips(candidatePixels), toTwips(m_window.width() - origin));
}

bool WindowLayout::atLimit(int candidatePixels) const
{
    const int origin = m_vbar->mapTo(&m_window, QPoint(0, 0)).x();
    return PanelLayout::atSplitterLimit(toTwips(candidatePixels), toTwips(m_window.width() - origin));
}

void WindowLayout::beginDrag(int globalX)
{
    const QSplitterHandle* h = handle();
    if (!h)
        return;
    m_dragging = true;
    m_pressX = globalX;
    m_startLeft = h->x();
    m_candidate = m_startLeft;
    showGhost(m_startLeft, false);
}

void WindowLayout::dragTo(int globalX)
{
    if (!m_dragging)
        return;
    m_candidate = m_startLeft + (globalX - m_pressX);
    showGhost(toPixels(confine(m_candidate)), atLimit(m_candidate));
}

void WindowLayout::drop()
{
    if (!m_dragging)
        return;
    m_dragging = false;
    hideGhosts();
    placeSplitter(confine(m_candidate));
}

void WindowLayout::showGhost(int leftPixels, bool limit)
{
    const QWidget* sheet = m_window.sheetView();
    const QPoint top = m_vbar->mapTo(m_page, QPoint(leftPixels, sheet->y()));
    QFrame* shown = m_ghost[limit ? 1 : 0];
    m_ghost[limit ? 0 : 1]->hide();
    shown->setGeometry(top.x(), top.y(), m_vbar->handleWidth(), sheet->height());
    shown->show();
    shown->raise();
}

void WindowLayout::hideGhosts()
{
    m_ghost[0]->hide();
    m_ghost[1]->hide();
}

void WindowLayout::placeSplitter(int twips)
{
    MainModel& model = m_window.model();
    const int total = m_vbar->width() - m_vbar->handleWidth();
    if (total > 1) {
        const int left = std::clamp(toPixels(twips), 1, total - 1);
        m_vbar->setSizes({left, total - left});
    }
    model.setVBarLeft(twips);
    placeButtons();
}

void WindowLayout::placeButtons()
{
    const QSplitterHandle* h = handle();
    QTabWidget* form = m_window.formTab();
    const bool shown = h && form->isVisible();
    m_imgClose->setVisible(shown);
    if (!shown)
        return;

    const int left = h->x();
    const int barHeight = form->tabBar()->isVisible() ? form->tabBar()->height() : kButtonSize;
    const QPoint origin = m_vbar->mapTo(m_page, QPoint(0, form->y()));
    const int y = origin.y() + std::max(0, (barHeight - kButtonSize) / 2);
    auto place = [&](QWidget* w, int offset) {
        if (!w)
            return;
        QWidget* parent = w->parentWidget();
        // A button that a layout places is left to it.
        if (parent && parent->layout() && parent->layout()->indexOf(w) >= 0)
            return;
        const QPoint at(origin.x() + left + toPixels(offset), y);
        w->move(parent ? parent->mapFrom(m_page, at) : at);
        w->raise();
    };
    place(m_imgClose, PanelLayout::kCloseOffset);
    place(m_window.findChild<QWidget*>(QStringLiteral("imgBtn7")), PanelLayout::kButton7Offset);
    place(m_window.findChild<QWidget*>(QStringLiteral("imgBtn6")), PanelLayout::kButton6Offset);
}

void WindowLayout::toggleFormPanel()
{
    MainModel& model = m_window.model();
    const bool show = !model.formPanelShown();
    model.setFormPanelShown(show);
    m_vbar->refresh(); // the splitter shows or hides its bar now, not on its next layout pass
    if (show) {
        // Back at the splitter's position, the sheet right of it.
        placeSplitter(model.vbarLeft());
        model.fa_Click();
    }
    placeButtons();
}

void WindowLayout::closeFormPanel()
{
    m_window.model().setFormPanelShown(false);
    m_vbar->refresh();
    placeButtons();
}

void WindowLayout::toggleAddressBox()
{
    MainModel& model = m_window.model();
    model.setAddressBoxShown(!model.addressBoxShown());
}

bool WindowLayout::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == handle()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* e = static_cast<QMouseEvent*>(event);
            if (e->button() != Qt::LeftButton)
                return false;
            beginDrag(qRound(e->globalPosition().x()));
            return true;
        }
        case QEvent::MouseMove:
            if (!m_dragging)
                return false;
            dragTo(qRound(static_cast<QMouseEvent*>(event)->globalPosition().x()));
            return true;
        case QEvent::MouseButtonRelease:
            if (!m_dragging || static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
                return false;
            dragTo(qRound(static_cast<QMouseEvent*>(event)->globalPosition().x()));
            drop();
            return true;
        case QEvent::MouseButtonDblClick:
            return true;
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
            placeButtons();
            return false;
        default:
            return false;
        }
    }
    if (watched == m_vbar && event->type() == QEvent::Show && !m_dragging) {
        // The window may open on another page: the splitter gets its place when the
        // Results page is first shown, at its size then.
        placeSplitter(m_window.model().vbarLeft());
        return false;
    }
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
        placeButtons();
        break;
    default:
        break;
    }
    return false;
}

} // namespace quillon

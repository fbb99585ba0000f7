#include "edit/ColorPalette.h"

#include "edit/EditCommands.h"

#include <QGridLayout>
#include <QMouseEvent>

namespace quillon {

ColorPalette::ColorPalette(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("PanColor"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setLineWidth(2);
    setAutoFillBackground(true);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(5, 5, 5, 5);
    grid->setSpacing(4);
    for (int i = 0; i < kSwatches; ++i) {
        auto* s = new QFrame(this);
        s->setObjectName(QStringLiteral("SSPanelColor%1").arg(i));
        s->setFrameShape(QFrame::Panel);
        s->setLineWidth(2);
        s->setFixedSize(22, 22);
        s->setAutoFillBackground(true);
        QPalette pal = s->palette();
        pal.setColor(QPalette::Window, QColor(QRgb(EditCommands::swatchColor(i))));
        s->setPalette(pal);
        s->setCursor(Qt::PointingHandCursor);
        s->installEventFilter(this);
        grid->addWidget(s, i / 4, i % 4);
        m_swatches[i] = s;
    }
    setPressedSwatch(0);
    adjustSize();
}

void ColorPalette::setPressedSwatch(int i)
{
    if (i < 0 || i >= kSwatches)
        return;
    m_pressed = i;
    for (int k = 0; k < kSwatches; ++k)
        m_swatches[k]->setFrameShadow(k == i ? QFrame::Sunken : QFrame::Raised);
}

bool ColorPalette::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        auto* me = static_cast<QMouseEvent*>(event);
        for (int i = 0; i < kSwatches; ++i) {
            if (watched == m_swatches[i] && me->button() == Qt::LeftButton) {
                emit swatchClicked(i);
                return true;
            }
        }
    }
    return QFrame::eventFilter(watched, event);
}

void ColorPalette::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    emit backgroundClicked();
}

} // namespace quillon

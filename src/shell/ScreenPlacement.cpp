#include "shell/ScreenPlacement.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace quillon {

QRect PlaceOnScreens(const QRect& window, const QList<QRect>& screens)
{
    if (screens.isEmpty() || window.isEmpty())
        return window;
    const QRect titleBar(window.left(), window.top(), window.width(), std::min(window.height(), 32));
    const int gripWidth = std::min(window.width(), 100);
    const int gripHeight = std::min(titleBar.height(), 16);
    for (const QRect& screen : screens) {
        const QRect shown = screen.intersected(titleBar);
        if (shown.width() >= gripWidth && shown.height() >= gripHeight)
            return window;
    }

    // The nearest screen: the one with the most of the window on it, else the one whose
    // centre is closest to the window's.
    const QRect* target = nullptr;
    qint64 bestArea = 0;
    qint64 bestDistance = std::numeric_limits<qint64>::max();
    for (const QRect& screen : screens) {
        const QRect on = screen.intersected(window);
        const qint64 area = on.isEmpty() ? 0 : qint64(on.width()) * on.height();
        const QPoint d = screen.center() - window.center();
        const qint64 distance = qint64(d.x()) * d.x() + qint64(d.y()) * d.y();
        if (area > bestArea || (area == bestArea && bestArea == 0 && distance < bestDistance)) {
            target = &screen;
            bestArea = area;
            bestDistance = distance;
        }
    }
    const int width = std::min(window.width(), target->width());
    const int height = std::min(window.height(), target->height());
    const int left = std::clamp(window.left(), target->left(), target->left() + target->width() - width);
    const int top = std::clamp(window.top(), target->top(), target->top() + target->height() - height);
    return {left, top, width, height};
}

} // namespace quillon

#pragma once

#include <QList>
#include <QRect>

namespace quillon {

/**
 * Where a window whose remembered geometry is @p window opens, given the available
 * areas of the screens: where it was, when a grip of its title bar (100 x 16 pixels,
 * or all of a smaller window) shows on one of them; otherwise on the screen nearest
 * to it, shrunk to that screen where it is larger and moved inside it. With no
 * screens the window stays where it was.
 */
QRect PlaceOnScreens(const QRect& window, const QList<QRect>& screens);

} // namespace quillon

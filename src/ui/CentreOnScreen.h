#pragma once

class QWidget;

namespace quillon {

/** Places @p window in the middle of its screen's available area:
 *  left = (screen width - window width) / 2, top = (screen height - window height) / 2. */
void CentreOnScreen(QWidget* window);

} // namespace quillon

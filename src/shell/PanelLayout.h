#pragma once

#include <algorithm>

namespace quillon {

/**
 * The measures of the main window's layout, in twips: the narrowest window, the
 * splitter's limits and where the small buttons on the form panel's header sit
 * relative to the splitter's left edge.
 */
namespace PanelLayout {

constexpr int kMinimumWidth = 9000;       ///< the window's inner width never goes below this
constexpr int kSplitterMinimum = 3000;    ///< the splitter's left edge never goes left of this
constexpr int kSplitterRightMargin = 600; ///< nor further right than the inner width less this
constexpr int kCloseOffset = -260;        ///< `imgClose`
constexpr int kButton7Offset = -480;      ///< `imgBtn`(7)
constexpr int kButton6Offset = -680;      ///< `imgBtn`(6)

/** Where a splitter dragged to @p candidate drops in a window @p innerWidth wide:
 *  not left of kSplitterMinimum, not right of innerWidth - kSplitterRightMargin
 *  (the minimum wins in a window too narrow for both). */
constexpr int confineSplitter(int candidate, int innerWidth)
{
    return std::max(kSplitterMinimum, std::min(candidate, innerWidth - kSplitterRightMargin));
}

/** Whether @p candidate lies outside the range confineSplitter() keeps. */
constexpr bool atSplitterLimit(int candidate, int innerWidth)
{
    return confineSplitter(candidate, innerWidth) != candidate;
}

} // namespace PanelLayout

} // namespace quillon

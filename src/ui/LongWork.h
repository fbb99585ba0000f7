#pragma once

#include "ui/Platform.h"

#include <QtGlobal>

#include <optional>

namespace quillon {

/**
 * Marks a command that may run long: for work on more than kCells cells it shows
 * the busy cursor for as long as it lives and lets the window repaint first, so
 * that the cursor shows at once.
 */
class LongWork
{
public:
    static constexpr qint64 kCells = 500'000;

    LongWork(Platform& platform, qint64 cells)
    {
        if (cells > kCells) {
            m_busy.emplace(platform);
            platform.processEvents();
        }
    }

    bool isBusy() const { return m_busy.has_value(); }

private:
    std::optional<BusyScope> m_busy;
};

} // namespace quillon

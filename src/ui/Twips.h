#pragma once

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace quillon {

/**
 * Lengths are kept in twips (1/1440 inch), as the settings and files hold them, and
 * become pixels through the screen's logical resolution only where a widget is sized.
 */
namespace Twips {

constexpr double kPerInch = 1440.0;

/** Logical dots per inch of the screen @p widget is on (the primary screen without one). */
inline double dpi(const QWidget* widget = nullptr)
{
    const QScreen* screen = widget ? widget->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const double value = screen ? screen->logicalDotsPerInchX() : 96.0;
    return value > 0 ? value : 96.0;
}

inline int toPixels(int twips, double dotsPerInch)
{
    return int(std::lround(twips * dotsPerInch / kPerInch));
}

inline int fromPixels(int pixels, double dotsPerInch)
{
    return int(std::lround(pixels * kPerInch / dotsPerInch));
}

inline int toPixels(int twips, const QWidget* widget = nullptr)
{
    return toPixels(twips, dpi(widget));
}

inline int fromPixels(int pixels, const QWidget* widget = nullptr)
{
    return fromPixels(pixels, dpi(widget));
}

} // namespace Twips

} // namespace quillon

// Layouts are given in twips (1/1440 inch), converted at the screen's
// logical DPI: 15 twips to a pixel at 96 DPI.
#pragma once

#include <QRect>
#include <QWidget>

#include <cmath>

namespace twips {

[[nodiscard]] inline int ToPixels(int twips, qreal dpi)
{
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

[[nodiscard]] inline qreal LogicalDpi(const QWidget *w)
{
    return w ? w->logicalDpiX() : 96.0;
}

// Places `child` inside its container at Left, Top, Width, Height in twips.
inline void Place(QWidget *child, int left, int top, int width, int height)
{
    const qreal dpi = LogicalDpi(child);
    child->setGeometry(ToPixels(left, dpi), ToPixels(top, dpi), ToPixels(width, dpi), ToPixels(height, dpi));
}

} // namespace twips

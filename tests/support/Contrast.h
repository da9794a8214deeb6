#pragma once

#include <QColor>
#include <QImage>
#include <QRect>

#include <algorithm>
#include <cmath>

// Contrast as the accessibility guidelines measure it: (L1 + 0.05) / (L2 + 0.05) of the
// colours' relative luminances, from 1 (the same) to 21 (black on white).
inline double relativeLuminance(const QColor &colour)
{
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF())
        + 0.0722 * linear(colour.blueF());
}

inline double contrast(const QColor &a, const QColor &b)
{
    const double one = relativeLuminance(a);
    const double other = relativeLuminance(b);
    return (std::max(one, other) + 0.05) / (std::min(one, other) + 0.05);
}

// How many pixels of the area (in logical pixels) changed between two pictures of the
// same window by at least the ratio.
inline int pixelsChangedBy(
    const QImage &before, const QImage &after, const QRect &area, double ratio)
{
    const qreal scale = after.devicePixelRatio();
    const QRect pixels = QRect(QPoint(qRound(area.left() * scale), qRound(area.top() * scale)),
        QSize(qRound(area.width() * scale), qRound(area.height() * scale)))
                             .intersected(after.rect())
                             .intersected(before.rect());
    int changed = 0;
    for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
        for (int x = pixels.left(); x <= pixels.right(); ++x) {
            if (contrast(before.pixelColor(x, y), after.pixelColor(x, y)) >= ratio)
                ++changed;
        }
    }
    return changed;
}

#include "PageComposition.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

QImage composedPages(const QList<QImage> &pages, qreal pixelRatio)
{
    const int gap = static_cast<int>(std::lround(kPageGapPixels * pixelRatio));
    int widest = 0;
    int height = gap;
    for (const QImage &page : pages) {
        widest = std::max(widest, page.width());
        height += page.height() + gap;
    }
    QImage picture(widest + 2 * gap, height, QImage::Format_RGB32);
    picture.fill(kPageBackground);
    QPainter painter(&picture);
    int top = gap;
    for (const QImage &page : pages) {
        painter.drawImage(gap + (widest - page.width()) / 2, top, page);
        top += page.height() + gap;
    }
    painter.end();
    picture.setDevicePixelRatio(pixelRatio);
    return picture;
}

QList<QRect> composedPageRects(const QImage &picture)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    const QRgb ground = kPageBackground.rgb();
    const auto line
        = [&rgb](int y) { return reinterpret_cast<const QRgb *>(rgb.constScanLine(y)); };
    const auto isGround = [ground](QRgb pixel) { return (pixel | 0xFF000000u) == ground; };
    QList<std::pair<int, int>> rows;
    int top = -1;
    for (int y = 0; y < rgb.height(); ++y) {
        const bool between = std::all_of(line(y), line(y) + rgb.width(), isGround);
        if (!between && top < 0)
            top = y;
        if (between && top >= 0) {
            rows.append({ top, y });
            top = -1;
        }
    }
    if (top >= 0)
        rows.append({ top, rgb.height() });
    QList<QRect> pages;
    for (const auto &[first, end] : rows) {
        // The page's middle row has its white margins at both edges.
        const QRgb *middle = line((first + end) / 2);
        int left = 0;
        int right = rgb.width();
        while (left < right && isGround(middle[left]))
            ++left;
        while (right > left && isGround(middle[right - 1]))
            --right;
        pages.append(QRect(left, first, right - left, end - first));
    }
    return pages;
}

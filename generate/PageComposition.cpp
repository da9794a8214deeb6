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

#include "PageComposition.h"

#include <QPainter>

#include <algorithm>

QImage textArea(const QImage &page, const PageFrame &frame)
{
    if (frame.width <= 0 || frame.height <= 0)
        return page;
    const double xScale = double(page.width()) / frame.width;
    const double yScale = double(page.height()) / frame.height;
    const QRect area(QPoint(qRound(frame.left * xScale), qRound(frame.top * yScale)),
        QPoint(qRound((frame.width - frame.right) * xScale) - 1,
            qRound((frame.height - frame.bottom) * yScale) - 1));
    const QRect kept = area.intersected(page.rect());
    return kept.isEmpty() ? page : page.copy(kept);
}

QImage stacked(const QList<QImage> &pages, qreal pixelRatio)
{
    int width = 0;
    int height = 0;
    for (const QImage &page : pages) {
        width = std::max(width, page.width());
        height += page.height();
    }
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    int top = 0;
    for (const QImage &page : pages) {
        painter.drawImage(0, top, page);
        top += page.height();
    }
    painter.end();
    picture.setDevicePixelRatio(pixelRatio);
    return picture;
}

#pragma once

#include "Form2.h"

#include <QColor>
#include <QImage>
#include <QRandomGenerator>
#include <QString>

#include <numeric>

// A page picture exactly widthTwips by heightTwips: each pixel covers as many twips
// as both sizes allow (at most 15, one screen pixel), so the logical size comes out
// whole in twips whatever the pixel grid.
inline QImage pageOfTwips(int widthTwips, int heightTwips, QColor colour = QColor(230, 230, 230))
{
    int twipsPerPixel = 15;
    while (widthTwips % twipsPerPixel != 0 || heightTwips % twipsPerPixel != 0)
        --twipsPerPixel;
    QImage page(widthTwips / twipsPerPixel, heightTwips / twipsPerPixel, QImage::Format_RGB32);
    page.setDevicePixelRatio(15.0 / twipsPerPixel);
    page.fill(colour);
    return page;
}

// A page picture of a few pixels standing for widthTwips (a power of two, at least
// 4096) by 16384 twips: beyond what a screen-sized picture can reach.
inline QImage pageOfManyTwips(int widthTwips)
{
    QImage page(4096, 1, QImage::Format_RGB32);
    page.setDevicePixelRatio(4096.0 * 15 / widthTwips);
    page.fill(QColor(230, 230, 230));
    return page;
}

// Random pixels, so that any blur or shift shows.
inline QImage noisePage(int logicalWidth, int logicalHeight, qreal ratio)
{
    QImage page(qRound(logicalWidth * ratio), qRound(logicalHeight * ratio), QImage::Format_RGB32);
    page.setDevicePixelRatio(ratio);
    QRandomGenerator random(20210831);
    for (int y = 0; y < page.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(page.scanLine(y));
        for (int x = 0; x < page.width(); ++x)
            line[x] = 0xFF000000u | (random.generate() & 0xFFFFFFu);
    }
    return page;
}

// What the generation run does: one list entry, the page picture, the document, show.
inline void fillAndShow(Form2 &form, const QImage &page, const QString &wordFile = {})
{
    form.clearPages();
    form.addPage(QStringLiteral("Page 1"));
    form.setPagePicture(0, page);
    form.setDisplayPicture(page);
    form.mWordFile = wordFile;
    form.show();
}

#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QRect>

// Around and between the pages, in the pictures' own pixels at 96 dots per inch:
// a reader sees where each page ends.
inline constexpr int kPageGapPixels = 8;
inline const QColor kPageBackground(160, 160, 160);

// Every page whole, one under the other and centred across, on a neutral ground with
// a gap around each, as one picture shown at the given pixel ratio (the pages' pixels
// per pixel at 96 dots per inch).
QImage composedPages(const QList<QImage> &pages, qreal pixelRatio);

// Where each page lies in such a picture, top to bottom, in its pixels: the rows that
// are not ground all across, and across them the page's own columns.
QList<QRect> composedPageRects(const QImage &picture);

#pragma once

#include <QImage>
#include <QList>

// A page's size and margins, in hundredths of a millimetre as the page style gives them.
struct PageFrame
{
    int width = 0;
    int height = 0;
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
};

// The page's text area, headers and footers included: in Writer they lie inside the
// page margins. A frame without a size, or one whose area misses the page, keeps the
// page whole.
QImage textArea(const QImage &page, const PageFrame &frame);

// The pages one under the other, left-aligned on white, as one picture shown at the
// given pixel ratio.
QImage stacked(const QList<QImage> &pages, qreal pixelRatio);

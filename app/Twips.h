#pragma once

#include <QRect>
#include <QSize>

// Window geometry is given in twips, 1/1440 inch: 15 to a pixel at 96 dots per inch.
inline constexpr int kTwipsPerPixel = 15;

constexpr int twipsToPixels(double twips)
{
    // Whole pixels, halves away from zero, as the layout's figures are meant.
    return static_cast<int>(
        twips >= 0 ? twips / kTwipsPerPixel + 0.5 : twips / kTwipsPerPixel - 0.5);
}

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return { twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height) };
}

constexpr QSize twipsSize(int width, int height)
{
    return { twipsToPixels(width), twipsToPixels(height) };
}

// A control's place in twips: left, top, width, height, as a layout table gives it.
struct TwipRect
{
    int left, top, width, height;
    constexpr QRect pixels() const { return twipsRect(left, top, width, height); }
};

#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPoint>

// One picture of a Windows icon file.
struct IconPicture
{
    QImage image;
    int bitsPerPixel = 32; // 24 or 32
    bool png = false; // stored PNG-compressed, the custom for 256 by 256
};

// A Windows .ico file holding the pictures in the given order.
QByteArray iconFile(const QList<IconPicture> &pictures);

// A Windows .cur file holding one 32-bit picture with its hot spot.
QByteArray cursorFile(const QImage &image, QPoint hotSpot);

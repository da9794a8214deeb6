#include "WindowsIcon.h"

#include <QBuffer>

namespace {
constexpr quint16 iconType = 1;
constexpr quint16 cursorType = 2;
constexpr int directoryHeaderSize = 6;
constexpr int directoryEntrySize = 16;
constexpr int bitmapInfoHeaderSize = 40;

// Fully transparent enough for the 1-bit mask (and the 24-bit colours) to leave it out.
constexpr int maskAlphaThreshold = 128;

void put8(QByteArray &out, int value)
{
    out.append(static_cast<char>(value & 0xff));
}

void put16(QByteArray &out, int value)
{
    put8(out, value);
    put8(out, value >> 8);
}

void put32(QByteArray &out, qint64 value)
{
    put16(out, static_cast<int>(value & 0xffff));
    put16(out, static_cast<int>((value >> 16) & 0xffff));
}

int paddedRowBytes(int width, int bitsPerPixel)
{
    return (width * bitsPerPixel + 31) / 32 * 4;
}

// A device-independent bitmap as icon files keep it: the header counts the colour
// rows and the mask rows in its height, both stored bottom-up.
QByteArray bitmapEntry(const QImage &source, int bitsPerPixel)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int width = image.width();
    const int height = image.height();
    const int colourRow = paddedRowBytes(width, bitsPerPixel);
    const int maskRow = paddedRowBytes(width, 1);

    QByteArray out;
    put32(out, bitmapInfoHeaderSize);
    put32(out, width);
    put32(out, 2 * height);
    put16(out, 1); // planes
    put16(out, bitsPerPixel);
    put32(out, 0); // uncompressed
    put32(out, static_cast<qint64>(colourRow + maskRow) * height);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);

    for (int y = height - 1; y >= 0; --y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        const qsizetype rowStart = out.size();
        for (int x = 0; x < width; ++x) {
            const QRgb pixel = line[x];
            const bool hidden = bitsPerPixel == 24 && qAlpha(pixel) < maskAlphaThreshold;
            put8(out, hidden ? 0 : qBlue(pixel));
            put8(out, hidden ? 0 : qGreen(pixel));
            put8(out, hidden ? 0 : qRed(pixel));
            if (bitsPerPixel == 32)
                put8(out, qAlpha(pixel));
        }
        out.append(colourRow - (out.size() - rowStart), '\0');
    }
    for (int y = height - 1; y >= 0; --y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        QByteArray row(maskRow, '\0');
        for (int x = 0; x < width; ++x) {
            if (qAlpha(line[x]) < maskAlphaThreshold)
                row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
        }
        out.append(row);
    }
    return out;
}

QByteArray pngEntry(const QImage &image)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.convertToFormat(QImage::Format_ARGB32).save(&buffer, "PNG");
    return out;
}

struct DirectoryEntry
{
    QSize size;
    int field4; // colour planes of an icon, hot spot x of a cursor
    int field6; // bits per pixel of an icon, hot spot y of a cursor
    QByteArray data;
};

// Sizes of 256 are written as 0, the format's way of saying 256.
QByteArray withDirectory(quint16 type, const QList<DirectoryEntry> &entries)
{
    QByteArray out;
    put16(out, 0);
    put16(out, type);
    put16(out, static_cast<int>(entries.size()));
    qint64 offset = directoryHeaderSize + directoryEntrySize * entries.size();
    for (const DirectoryEntry &entry : entries) {
        put8(out, entry.size.width() >= 256 ? 0 : entry.size.width());
        put8(out, entry.size.height() >= 256 ? 0 : entry.size.height());
        put8(out, 0); // no palette
        put8(out, 0);
        put16(out, entry.field4);
        put16(out, entry.field6);
        put32(out, entry.data.size());
        put32(out, offset);
        offset += entry.data.size();
    }
    for (const DirectoryEntry &entry : entries)
        out.append(entry.data);
    return out;
}
} // namespace

QByteArray iconFile(const QList<IconPicture> &pictures)
{
    QList<DirectoryEntry> entries;
    for (const IconPicture &picture : pictures) {
        entries.append({ picture.image.size(), 1, picture.bitsPerPixel,
            picture.png ? pngEntry(picture.image)
                        : bitmapEntry(picture.image, picture.bitsPerPixel) });
    }
    return withDirectory(iconType, entries);
}

QByteArray cursorFile(const QImage &image, QPoint hotSpot)
{
    return withDirectory(
        cursorType, { { image.size(), hotSpot.x(), hotSpot.y(), bitmapEntry(image, 32) } });
}

#include "ApplicationIcon.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPixmap>
#include <QtEndian>

namespace {
const QLatin1String applicationIconPath(":/scrivane/scrivane.ico");
// An icon file's directory: a header, then one entry per image.
constexpr int iconDirectoryHeaderSize = 6;
constexpr int iconDirectoryEntrySize = 16;

quint16 readWord(const QByteArray &bytes, qsizetype at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

quint32 readDoubleWord(const QByteArray &bytes, qsizetype at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

// Qt's icon reader drops the 1-bit mask of an image without alpha (its 24-bit
// image would show black corners), so the mask is applied here.
QImage withIconMask(QImage image, const QByteArray &icon, qsizetype entry)
{
    const int width = image.width();
    const int height = image.height();
    const qsizetype bitmap = readDoubleWord(icon, entry + 12);
    if (bitmap + 4 > icon.size())
        return image;
    const qsizetype colourRow = (width * 24 + 31) / 32 * 4;
    const qsizetype maskRow = (width + 31) / 32 * 4;
    const qsizetype mask = bitmap + readDoubleWord(icon, bitmap) + colourRow * height;
    if (mask < 0 || mask + maskRow * height > icon.size())
        return image;
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        const char *bits = icon.constData() + mask + maskRow * (height - 1 - y);
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            if (bits[x / 8] & (0x80 >> (x % 8)))
                line[x] = qRgba(0, 0, 0, 0);
        }
    }
    return image;
}
} // namespace

QIcon applicationIcon()
{
    QFile file(applicationIconPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.readAll();
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer, "ico");
    QIcon icon;
    for (int index = 0; index < reader.imageCount() && reader.jumpToImage(index); ++index) {
        QImage image = reader.read();
        const qsizetype entry = iconDirectoryHeaderSize + iconDirectoryEntrySize * index;
        if (entry + iconDirectoryEntrySize <= bytes.size() && readWord(bytes, entry + 6) == 24)
            image = withIconMask(image, bytes, entry);
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

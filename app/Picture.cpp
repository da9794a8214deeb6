#include "Picture.h"

#include "Failure.h"
#include "FileUtils.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>

#include <cmath>

namespace {
constexpr double kInchesPerMeter = 1.0 / 0.0254;
constexpr double kScreenDotsPerMeter = 96.0 * kInchesPerMeter;
} // namespace

QImage loadPicture(const QString &path)
{
    if (!QFileInfo(path).isFile())
        fail(QStringLiteral("File not found: %1").arg(path));
    QImageReader reader(path);
    // The content decides, not the name: the page picture is kept in a ".bmp" file.
    reader.setDecideFormatFromContent(true);
    QImage picture = reader.read();
    if (picture.isNull())
        fail(QStringLiteral("Invalid picture: %1 (%2)").arg(path, reader.errorString()));
    // Whole dots per meter blur the ratio a little; pictures are made at plain ratios.
    const double ratio = std::round(picture.dotsPerMeterX() / kScreenDotsPerMeter * 100) / 100;
    if (ratio > 1.01)
        picture.setDevicePixelRatio(ratio);
    return picture;
}

void savePicture(const QImage &picture, const QString &path)
{
    if (picture.isNull())
        fail(QStringLiteral("There is no picture to save to %1.").arg(path));
    QImage stored = picture;
    const int dotsPerMeter
        = static_cast<int>(std::lround(kScreenDotsPerMeter * picture.devicePixelRatio()));
    stored.setDotsPerMeterX(dotsPerMeter);
    stored.setDotsPerMeterY(dotsPerMeter);

    // Uncompressed: the page picture is written and read back at once, and a bitmap
    // of a page is a few megabytes that live only as long as one run.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "bmp");
    if (!writer.write(stored))
        fail(QStringLiteral("%1 could not be written: %2").arg(path, writer.errorString()));
    replaceFile(path, bytes);
}

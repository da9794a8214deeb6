#include "CursorFile.h"

#include "ApplicationFolder.h"
#include "Failure.h"
#include "FileUtils.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QPixmap>

namespace {
constexpr quint16 cursorFileType = 2;
// A 256 by 256 cursor of 32 bits a pixel is a quarter of this.
constexpr qint64 kMostCursorBytes = 1024 * 1024;

[[noreturn]] void failNotACursor(const QString &path, const QString &why)
{
    fail(QStringLiteral("The file %1 is not a cursor file: %2.")
             .arg(QDir::toNativeSeparators(path), why));
}
} // namespace

QString handCursorPath()
{
    return applicationFolder() + QDir::separator() + QStringLiteral("HAND-M.CUR");
}

QCursor loadCursorFile(const QString &path)
{
    QString why;
    auto read = readPlainFile(path, kMostCursorBytes + 1, Links::Follow, &why);
    if (!read)
        fail(QStringLiteral("The cursor file %1 cannot be read: %2.")
                 .arg(QDir::toNativeSeparators(path), why));
    if (read->size() > kMostCursorBytes)
        failNotACursor(path, QStringLiteral("it is larger than any cursor"));
    QByteArray &bytes = *read;

    // The hot spot lives only in the first directory entry, where an icon keeps its
    // colour planes and bit count.
    QDataStream directory(bytes);
    directory.setByteOrder(QDataStream::LittleEndian);
    quint16 reserved = 0, type = 0, count = 0;
    quint8 width = 0, height = 0, colours = 0, reservedByte = 0;
    quint16 hotX = 0, hotY = 0;
    quint32 imageSize = 0, imageOffset = 0;
    directory >> reserved >> type >> count;
    directory >> width >> height >> colours >> reservedByte >> hotX >> hotY >> imageSize
        >> imageOffset;
    if (directory.status() != QDataStream::Ok)
        failNotACursor(path, QStringLiteral("it is too short"));
    if (reserved != 0 || type != cursorFileType || count == 0)
        failNotACursor(path, QStringLiteral("it does not start with a cursor directory"));
    if (quint64(imageOffset) + imageSize > quint64(bytes.size()))
        failNotACursor(path, QStringLiteral("its picture lies beyond the end of the file"));

    QBuffer buffer(&bytes);
    QImageReader reader(&buffer, "cur");
    const QImage image = reader.read();
    if (image.isNull())
        failNotACursor(
            path, QStringLiteral("its picture cannot be read (%1)").arg(reader.errorString()));
    if (hotX >= image.width() || hotY >= image.height())
        failNotACursor(path, QStringLiteral("its hot spot lies outside its picture"));
    return QCursor(QPixmap::fromImage(image), hotX, hotY);
}

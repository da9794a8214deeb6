#include "CursorFile.h"

#include "ApplicationFolder.h"
#include "Failure.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QPixmap>

namespace {
constexpr quint16 cursorFileType = 2;

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
    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        fail(QStringLiteral("The cursor file %1 cannot be read: %2.")
                 .arg(QDir::toNativeSeparators(path), file.errorString()));
    }

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

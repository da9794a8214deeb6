#include "FileUtils.h"

#include "Failure.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
bool hasWildcards(const QString &name)
{
    return name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'));
}

// A plain delete refuses read-only files, as the desktop's does.
bool plainDelete(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return false;
    if (!info.isSymLink() && !info.isWritable())
        return false;
    return QFile::remove(path);
}

void deleteOne(const QString &path)
{
    if (!plainDelete(path)) {
        try {
            ForceDeleteFile(path);
        } catch (const Failure &) {
            // The file simply stays.
        }
    }
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}
} // namespace

bool FileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.lastModified().isValid();
}

void KillFile(const QString &path, Wildcards wildcards)
{
    QCoreApplication::processEvents();
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    if (wildcards == Wildcards::Expand && hasWildcards(info.fileName())) {
        const QDir folder = info.dir();
        const auto names
            = folder.entryList({ info.fileName() }, QDir::Files | QDir::Hidden | QDir::System);
        for (const QString &name : names)
            deleteOne(folder.filePath(name));
        return;
    }
    deleteOne(path);
}

void ForceDeleteFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        fail(QStringLiteral("File not found: %1").arg(path));
    if (!info.isSymLink() && info.isDir())
        fail(QStringLiteral("%1 is a folder, not a file.").arg(path));
    if (!info.isSymLink())
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner);
    const QByteArray name = QFile::encodeName(path);
    if (::unlink(name.constData()) != 0)
        fail(QStringLiteral("%1 could not be deleted: %2").arg(path, systemError()));
}

void WriteBytesToFile(const QByteArray &bytes, const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        fail(QStringLiteral("%1 could not be opened for writing: %2").arg(path, systemError()));
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::pwrite(
            fd, bytes.constData() + written, static_cast<size_t>(bytes.size() - written), written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const QString reason = systemError();
            ::close(fd);
            fail(QStringLiteral("%1 could not be written: %2").arg(path, reason));
        }
        written += n;
    }
    if (::close(fd) != 0)
        fail(QStringLiteral("%1 could not be written: %2").arg(path, systemError()));
}

QImage GetClipboardPicture(int /*format*/)
{
    QImage picture;
    const QClipboard *clipboard = QGuiApplication::clipboard();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const QMimeData *data = clipboard->mimeData();
        if (data && data->hasImage()) {
            picture = qvariant_cast<QImage>(data->imageData());
            if (!picture.isNull())
                break;
        }
    }
    return picture;
}

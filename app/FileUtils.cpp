#include "FileUtils.h"

#include "Failure.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
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

// The permissions a plain new file would get, so a written file is as readable as
// any other of the user's; a replaced file keeps its own.
QFileDevice::Permissions permissionsFor(const QFileInfo &destination)
{
    if (destination.exists() && !destination.isSymLink())
        return destination.permissions();
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const mode_t mode = 0666 & ~mask;
    QFileDevice::Permissions permissions;
    if (mode & S_IRUSR)
        permissions |= QFileDevice::ReadOwner | QFileDevice::ReadUser;
    if (mode & S_IWUSR)
        permissions |= QFileDevice::WriteOwner | QFileDevice::WriteUser;
    if (mode & S_IRGRP)
        permissions |= QFileDevice::ReadGroup;
    if (mode & S_IWGRP)
        permissions |= QFileDevice::WriteGroup;
    if (mode & S_IROTH)
        permissions |= QFileDevice::ReadOther;
    if (mode & S_IWOTH)
        permissions |= QFileDevice::WriteOther;
    return permissions;
}
} // namespace

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

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

void replaceFile(const QString &destination, const QByteArray &bytes)
{
    const QFileInfo target(destination);
    if (target.isDir() && !target.isSymLink())
        fail(QStringLiteral("%1 is a folder; choose a file name.").arg(destination));

    // The folder is taken as it is written: no pattern in the chosen name is expanded.
    QTemporaryFile part(target.absolutePath() + QStringLiteral("/.scrivane-XXXXXX.part"));
    if (!part.open())
        fail(QStringLiteral("%1 could not be written: %2").arg(destination, part.errorString()));
    if (part.write(bytes) != bytes.size() || !part.flush())
        fail(QStringLiteral("%1 could not be written: %2").arg(destination, part.errorString()));
    if (::fsync(part.handle()) != 0)
        fail(QStringLiteral("%1 could not be written: %2").arg(destination, systemError()));
    part.setPermissions(permissionsFor(target));

    const QByteArray from = QFile::encodeName(part.fileName());
    const QByteArray to = QFile::encodeName(target.absoluteFilePath());
    if (std::rename(from.constData(), to.constData()) != 0)
        fail(QStringLiteral("%1 could not be written: %2").arg(destination, systemError()));
    part.setAutoRemove(false);
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

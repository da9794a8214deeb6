#include "SaveCopy.h"

#include "Failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The permissions a plain new file would get, so a saved copy is as readable as
// any other document of the user's; a replaced file keeps its own.
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

void saveCopy(const QString &source, const QString &destination)
{
    QFile input(source);
    if (!input.open(QIODevice::ReadOnly))
        fail(QStringLiteral("The document %1 could not be read: %2")
                 .arg(source, input.errorString()));

    const QFileInfo target(destination);
    if (target.isDir() && !target.isSymLink())
        fail(QStringLiteral("%1 is a folder; choose a file name.").arg(destination));

    // The folder is taken as it is written: no pattern in the chosen name is expanded.
    QTemporaryFile copy(target.absolutePath() + QStringLiteral("/.scrivane-save-XXXXXX.tmp"));
    if (!copy.open())
        fail(QStringLiteral("%1 could not be written: %2").arg(destination, copy.errorString()));

    char buffer[64 * 1024];
    for (;;) {
        const qint64 got = input.read(buffer, sizeof buffer);
        if (got < 0)
            fail(QStringLiteral("The document %1 could not be read: %2")
                     .arg(source, input.errorString()));
        if (got == 0)
            break;
        if (copy.write(buffer, got) != got)
            fail(
                QStringLiteral("%1 could not be written: %2").arg(destination, copy.errorString()));
    }
    if (!copy.flush())
        fail(QStringLiteral("%1 could not be written: %2").arg(destination, copy.errorString()));
    if (::fsync(copy.handle()) != 0)
        fail(QStringLiteral("%1 could not be written: %2").arg(destination, systemError()));
    copy.setPermissions(permissionsFor(target));

    const QByteArray from = QFile::encodeName(copy.fileName());
    const QByteArray to = QFile::encodeName(target.absoluteFilePath());
    if (std::rename(from.constData(), to.constData()) != 0)
        fail(QStringLiteral("%1 could not be written: %2").arg(destination, systemError()));
    copy.setAutoRemove(false);
}

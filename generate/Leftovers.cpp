#include "Leftovers.h"

#include "Failure.h"
#include "TempFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QUrl>

#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString temporaryFolderOrNothing()
{
    try {
        return temporaryFolder();
    } catch (const Failure &) {
        return {};
    }
}

bool isOwnFolder(const QString &path)
{
    struct stat status
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode)
        && status.st_uid == ::getuid();
}

bool isRunning(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

// The profile a lock file names: "user,host,date,profile-url;".
QString lockedBy(const QString &lockFile)
{
    QFile lock(lockFile);
    if (!lock.open(QIODevice::ReadOnly))
        return {};
    QString profile
        = QString::fromUtf8(lock.read(64 * 1024)).trimmed().section(QLatin1Char(','), -1);
    if (profile.endsWith(QLatin1Char(';')))
        profile.chop(1);
    return QDir::cleanPath(QUrl(profile).toLocalFile());
}
} // namespace

QString workFolderPattern(const QString &kind)
{
    const QString folder = temporaryFolderOrNothing();
    const QString name
        = QStringLiteral("scrivane-%1-%2-XXXXXX").arg(kind).arg(QCoreApplication::applicationPid());
    return folder.isEmpty() ? QDir::temp().filePath(name) : QDir(folder).filePath(name);
}

void clearLeftoverWorkFolders()
{
    const QString folder = temporaryFolderOrNothing();
    if (folder.isEmpty())
        return;
    static const QRegularExpression ours(
        QStringLiteral("^scrivane-(work|pages)-(\\d+)-[A-Za-z0-9]{6}$"));
    const QDir temporary(folder);
    for (const QString &name :
        temporary.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch match = ours.match(name);
        const QString path = temporary.filePath(name);
        if (match.hasMatch() && !isRunning(match.captured(2).toLongLong()) && isOwnFolder(path))
            QDir(path).removeRecursively();
    }
}

QString officeTemporaryFolder(const QString &profileFolder)
{
    return profileFolder + QStringLiteral(".tmp");
}

void clearOfficeLeftovers(const QString &profileFolder)
{
    const QString officeTemporary = officeTemporaryFolder(profileFolder);
    if (isOwnFolder(officeTemporary))
        QDir(officeTemporary).removeRecursively();

    const QString folder = temporaryFolderOrNothing();
    if (folder.isEmpty())
        return;
    const QDir temporary(folder);
    const QString profile = QDir::cleanPath(profileFolder);
    for (const QString &name :
        temporary.entryList({ QStringLiteral(".~lock.*#") }, QDir::Files | QDir::Hidden)) {
        const QString path = temporary.filePath(name);
        if (lockedBy(path) == profile)
            QFile::remove(path);
    }
}

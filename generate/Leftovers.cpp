#include "Leftovers.h"

#include "Failure.h"
#include "FileUtils.h"
#include "TempFolder.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUrl>

#include <memory>
#include <mutex>
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

QString ownerLockName(const QString &owner)
{
    return QStringLiteral("scrivane-owner-%1.lock").arg(owner);
}

// What marks this process's work folders: a name of its own and a lock on a file of
// that name, held for the process's whole life and gone with it however it ends. A
// process id alone proves nothing: another process, in another process-id namespace
// sharing the home, may have the same one.
QString ownerName()
{
    static std::once_flag once;
    static QString owner;
    static std::unique_ptr<FileLock> lock;
    std::call_once(once, [] {
        owner = QStringLiteral("%1").arg(
            QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'));
        const QString folder = temporaryFolderOrNothing();
        if (folder.isEmpty())
            return;
        try {
            lock = std::make_unique<FileLock>(
                QDir(folder).filePath(ownerLockName(owner)), std::chrono::milliseconds::zero());
        } catch (const Failure &) {
            // Without the lock the folders look like anyone's and are never cleared.
        }
    });
    return owner;
}

// An owner is provably gone when its lock is free; one that has only just made the
// lock file may not have taken it yet.
bool ownerIsGone(const QString &lockFile)
{
    const QFileInfo info(lockFile);
    return FileLock::stateOf(lockFile) == FileLock::State::Free
        && info.lastModified().secsTo(QDateTime::currentDateTime()) > 60;
}

constexpr auto kMadeSuffix = ".made";

// "device inode" of what is at path, without following a link; empty when nothing.
QByteArray identity(const QString &path)
{
    struct stat status
    {
    };
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode)
        || status.st_uid != ::getuid())
        return {};
    return QByteArray::number(quint64(status.st_dev)) + ' '
        + QByteArray::number(quint64(status.st_ino));
}

// The files a gone owner noted as made go, each only while it is still the very file
// that was noted: a name drawn again by another program is another file.
void removeMadeFiles(const QString &workFolder)
{
    const QDir folder(workFolder);
    for (const QString &note : folder.entryList({ QStringLiteral("*.made") }, QDir::Files)) {
        const auto noted = readPlainFile(folder.filePath(note), 4096);
        const QList<QByteArray> lines = noted ? noted->split('\n') : QList<QByteArray>();
        if (lines.size() < 2)
            continue;
        const QString path = QFile::decodeName(lines[1]);
        if (!lines[0].isEmpty() && identity(path) == lines[0])
            removeOwn(path);
    }
}

// The profile a lock file names: "user,host,date,profile-url;".
QString lockedBy(const QString &lockFile)
{
    const auto bytes = readPlainFile(lockFile, 64 * 1024);
    if (!bytes)
        return {};
    QString profile = QString::fromUtf8(*bytes).trimmed().section(QLatin1Char(','), -1);
    if (profile.endsWith(QLatin1Char(';')))
        profile.chop(1);
    return QDir::cleanPath(QUrl(profile).toLocalFile());
}
} // namespace

QString workFolderPattern(const QString &kind)
{
    const QString folder = temporaryFolderOrNothing();
    const QString name = QStringLiteral("scrivane-%1-%2-XXXXXX").arg(kind, ownerName());
    return folder.isEmpty() ? QDir::temp().filePath(name) : QDir(folder).filePath(name);
}

void noteMadeFile(const QString &workFolder, const QString &path)
{
    const QByteArray made = identity(path);
    if (made.isEmpty())
        return;
    try {
        replaceFile(
            QDir(workFolder).filePath(QFileInfo(path).fileName() + QLatin1String(kMadeSuffix)),
            made + '\n' + QFile::encodeName(QFileInfo(path).absoluteFilePath()));
    } catch (const Failure &) {
        // Without the note the file is only not cleared after a kill.
    }
}

void clearLeftoverWorkFolders()
{
    const QString folder = temporaryFolderOrNothing();
    if (folder.isEmpty())
        return;
    static const QRegularExpression owners(
        QStringLiteral("^scrivane-owner-([0-9a-f]{16})\\.lock$"));
    const QDir temporary(folder);
    for (const QString &lockName : temporary.entryList(QDir::Files | QDir::System)) {
        const QRegularExpressionMatch owner = owners.match(lockName);
        if (!owner.hasMatch() || !ownerIsGone(temporary.filePath(lockName)))
            continue;
        const QString pattern = QStringLiteral("scrivane-*-%1-*").arg(owner.captured(1));
        for (const QString &name : temporary.entryList({ pattern }, QDir::Dirs | QDir::Hidden)) {
            const QString path = temporary.filePath(name);
            // A link named like a work folder goes as a link; nothing in it is read.
            if (!QFileInfo(path).isSymLink())
                removeMadeFiles(path);
            removeOwn(path);
        }
        removeOwn(temporary.filePath(lockName));
    }
}

QString officeTemporaryFolder(const QString &profileFolder)
{
    return profileFolder + QStringLiteral(".tmp");
}

void clearOfficeLeftovers(const QString &profileFolder)
{
    removeOwn(officeTemporaryFolder(profileFolder));

    const QString folder = temporaryFolderOrNothing();
    if (folder.isEmpty())
        return;
    const QDir temporary(folder);
    const QString profile = QDir::cleanPath(profileFolder);
    for (const QString &name :
        temporary.entryList({ QStringLiteral(".~lock.*#") }, QDir::Files | QDir::Hidden)) {
        const QString path = temporary.filePath(name);
        if (lockedBy(path) == profile)
            removeOwn(path);
    }
}

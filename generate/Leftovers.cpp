#include "Leftovers.h"

#include "Failure.h"
#include "FileUtils.h"
#include "Processes.h"
#include "TempFolder.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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

// Where the owners' locks live: the user's own cache, not the temporary folder, which
// stays as the program found it.
QString ownersFolder()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return cache.isEmpty() ? QString() : cache + QStringLiteral("/Tarnwick/Scrivane/owners");
}

struct Owner
{
    QString name;
    QString lockFile;
    std::unique_ptr<FileLock> lock;
};

// Set once owner() has made this process's mark: before that, it has made no work folder.
std::atomic<bool> gOwnerMade { false };

// What marks this process's work folders: a name of its own and a lock on a file of
// that name, held for the process's whole life and gone with it however it ends. A
// process id alone proves nothing: another process, in another process-id namespace
// sharing the home, may have the same one.
Owner &owner()
{
    static std::once_flag once;
    static Owner self;
    std::call_once(once, [] {
        self.name = QStringLiteral("%1").arg(
            QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'));
        const QString folder = ownersFolder();
        if (folder.isEmpty() || !QDir().mkpath(folder))
            return;
        self.lockFile = QDir(folder).filePath(self.name + QStringLiteral(".lock"));
        try {
            self.lock
                = std::make_unique<FileLock>(self.lockFile, std::chrono::milliseconds::zero());
        } catch (const Failure &) {
            // Without the lock the folders look like anyone's and are never cleared.
            self.lockFile.clear();
        }
        gOwnerMade = true;
    });
    return self;
}

// An owner is provably gone when its lock is free; one that has only just made the
// lock file may not have taken it yet.
bool ownerIsGone(const QString &lockFile)
{
    const QFileInfo info(lockFile);
    return FileLock::stateOf(lockFile) == FileLock::State::Free
        && info.lastModified().secsTo(QDateTime::currentDateTime()) > 60;
}

// "device inode" of what is at path, without following a link; empty when nothing.
QByteArray identity(const QString &path)
{
    struct stat status
    {
    };
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0
        || !(S_ISREG(status.st_mode) || S_ISDIR(status.st_mode)) || status.st_uid != ::getuid())
        return {};
    return QByteArray::number(quint64(status.st_dev)) + ' '
        + QByteArray::number(quint64(status.st_ino));
}

// The files a gone owner noted in its lock file go, each only while it is still the
// very file that was noted: a name drawn again by another program is another file.
void removeMadeFiles(const QString &lockFile)
{
    const auto notes = readPlainFile(lockFile, 1024 * 1024);
    if (!notes)
        return;
    for (const QByteArray &note : notes->split('\n')) {
        const QList<QByteArray> fields = note.split(' ');
        if (fields.size() < 3)
            continue;
        const QString path = QFile::decodeName(note.mid(fields[0].size() + fields[1].size() + 2));
        if (identity(path) == fields[0] + ' ' + fields[1])
            removeOwn(path);
    }
}

// The owner's work folders in the temporary folder, the files it noted as made and its
// mark.
void removeOwnersFiles(const QString &name, const QString &lockFile)
{
    const QString folder = temporaryFolderOrNothing();
    if (!folder.isEmpty()) {
        const QDir temporary(folder);
        const QString pattern = QStringLiteral("scrivane-*-%1-*").arg(name);
        for (const QString &found : temporary.entryList({ pattern }, QDir::Dirs | QDir::Hidden))
            removeOwn(temporary.filePath(found));
    }
    if (!lockFile.isEmpty()) {
        removeMadeFiles(lockFile);
        removeOwn(lockFile);
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

// Nothing listens on the socket at path: a connection to it is refused.
bool nobodyListens(const QByteArray &path)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (probe < 0)
        return false;
    const bool refused
        = ::connect(probe, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0
        && errno == ECONNREFUSED;
    ::close(probe);
    return refused;
}

// Only a socket of this user's, not a link to one, and only when nothing listens on it.
void removeDeadSocket(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status
    {
    };
    if (::lstat(name.constData(), &status) == 0 && S_ISSOCK(status.st_mode)
        && status.st_uid == ::getuid() && nobodyListens(name))
        ::unlink(name.constData());
}
} // namespace

QString workFolderPattern(const QString &kind)
{
    const QString folder = temporaryFolderOrNothing();
    const QString name = QStringLiteral("scrivane-%1-%2-XXXXXX").arg(kind, owner().name);
    return folder.isEmpty() ? QDir::temp().filePath(name) : QDir(folder).filePath(name);
}

void noteMadeFile(const QString &path)
{
    const QByteArray made = identity(path);
    if (made.isEmpty() || owner().lockFile.isEmpty())
        return;
    const QByteArray note
        = made + ' ' + QFile::encodeName(QFileInfo(path).absoluteFilePath()) + '\n';
    // Without the note the file is only not cleared after a kill.
    const int handle = ::open(QFile::encodeName(owner().lockFile).constData(),
        O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (handle >= 0) {
        (void)!::write(handle, note.constData(), size_t(note.size()));
        ::close(handle);
    }
}

void clearLeftoverWorkFolders()
{
    const QString owners = ownersFolder();
    if (owners.isEmpty())
        return;
    static const QRegularExpression names(QStringLiteral("^([0-9a-f]{16})\\.lock$"));
    const QDir ownerLocks(owners);
    for (const QString &lockName : ownerLocks.entryList(QDir::Files | QDir::System)) {
        const QRegularExpressionMatch match = names.match(lockName);
        const QString lockFile = ownerLocks.filePath(lockName);
        if (!match.hasMatch() || match.captured(1) == owner().name || !ownerIsGone(lockFile))
            continue;
        removeOwnersFiles(match.captured(1), lockFile);
    }
}

void removeOwnWorkFolders()
{
    if (!gOwnerMade)
        return;
    removeOwnersFiles(owner().name, owner().lockFile);
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

QString officePipeFolder()
{
    return QStringLiteral("/tmp");
}

QString officePipePath(const QString &name, const QString &folder)
{
    return QStringLiteral("%1/OSL_PIPE_%2_%3").arg(folder).arg(::getuid()).arg(name);
}

// Named after the MD5 of the profile's URL in UTF-16, each byte in hex without its
// leading zero.
QString profilePipeName(const QString &profileFolder)
{
    QByteArray utf16;
    for (const QChar c : QUrl::fromLocalFile(profileFolder).toString(QUrl::FullyEncoded))
        utf16.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    QString name = QStringLiteral("SingleOfficeIPC_");
    for (const char byte : QCryptographicHash::hash(utf16, QCryptographicHash::Md5))
        name += QString::number(quint8(byte), 16);
    return name;
}

void clearLeftoverPipes(const QString &profileRoot, const QString &folder)
{
    const QDir pipes(folder);
    const QString prefix = QFileInfo(officePipePath(QString(), folder)).fileName();
    static const QRegularExpression ours(QStringLiteral("^scrivane-([0-9]{1,9})-[0-9a-f]{16}$"));
    for (const QString &name : pipes.entryList({ prefix + QStringLiteral("scrivane-*") },
             QDir::AllEntries | QDir::System | QDir::Hidden)) {
        const QRegularExpressionMatch match = ours.match(name.mid(prefix.size()));
        if (match.hasMatch() && processInfo(match.captured(1).toLongLong()).hasEnded())
            removeDeadSocket(pipes.filePath(name));
    }

    if (profileRoot.isEmpty())
        return;
    static const QRegularExpression profiles(QStringLiteral("^profile-[0-9]+$"));
    const QDir root(QDir::cleanPath(profileRoot));
    for (const QString &profile :
        root.entryList(QDir::Dirs | QDir::NoSymLinks | QDir::NoDotAndDotDot)) {
        const QString profileFolder = root.filePath(profile);
        if (profiles.match(profile).hasMatch()
            && FileLock::stateOf(profileFolder + QStringLiteral(".lock")) == FileLock::State::Free)
            removeDeadSocket(officePipePath(profilePipeName(profileFolder), folder));
    }
}

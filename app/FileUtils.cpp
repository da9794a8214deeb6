#include "FileUtils.h"

#include "Failure.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>
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

// The mode a plain new file would get, so a written file is as readable as any
// other of the user's.
mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}
// Removes the folder `name` in the open folder `parent` with everything in it. Each
// entry is looked at without following it, and a folder is opened only as a folder
// and never through a link, so a link swapped in meanwhile is not followed either.
bool removeTreeAt(int parent, const char *name, dev_t device)
{
    const int handle
        = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0)
        return false;
    struct stat status
    {
    };
    if (::fstat(handle, &status) != 0 || status.st_dev != device) {
        ::close(handle);
        return false;
    }
    DIR *folder = ::fdopendir(handle);
    if (folder == nullptr) {
        ::close(handle);
        return false;
    }
    bool removed = true;
    while (const dirent *entry = ::readdir(folder)) {
        const char *entryName = entry->d_name;
        if (std::strcmp(entryName, ".") == 0 || std::strcmp(entryName, "..") == 0)
            continue;
        struct stat entryStatus
        {
        };
        if (::fstatat(handle, entryName, &entryStatus, AT_SYMLINK_NOFOLLOW) != 0)
            removed = false;
        else if (S_ISDIR(entryStatus.st_mode))
            removed = removeTreeAt(handle, entryName, device) && removed;
        else if (::unlinkat(handle, entryName, 0) != 0)
            removed = false;
    }
    ::closedir(folder);
    return ::unlinkat(parent, name, AT_REMOVEDIR) == 0 && removed;
}
} // namespace

bool removeOwn(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    const QByteArray name = QFile::encodeName(info.absoluteFilePath());
    struct stat status
    {
    };
    if (::lstat(name.constData(), &status) != 0)
        return errno == ENOENT;
    if (S_ISLNK(status.st_mode))
        return ::unlink(name.constData()) == 0;
    if (status.st_uid != ::getuid())
        return false;
    if (!S_ISDIR(status.st_mode))
        return ::unlink(name.constData()) == 0;
    const int parent = ::open(
        QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0)
        return false;
    const bool removed
        = removeTreeAt(parent, QFile::encodeName(info.fileName()).constData(), status.st_dev);
    ::close(parent);
    return removed;
}

namespace {
bool isFolderOfThisUser(const QString &path, mode_t refusedModes)
{
    struct stat status
    {
    };
    return ::lstat(encodeFileName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode)
        && status.st_uid == ::geteuid() && (status.st_mode & refusedModes) == 0;
}
} // namespace

bool isOwnFolder(const QString &path)
{
    return isFolderOfThisUser(path, 0);
}

bool isPrivateFolder(const QString &path)
{
    return isFolderOfThisUser(path, 077);
}

bool makePrivateFolder(const QString &path)
{
    ::mkdir(encodeFileName(path).constData(), 0700);
    return isPrivateFolder(path);
}

std::optional<QByteArray> readPlainFile(
    const QString &path, qint64 limit, Links links, QString *error)
{
    const auto refused = [error](const QString &why) {
        if (error != nullptr)
            *error = why;
        return std::nullopt;
    };
    const int flags
        = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (links == Links::Refuse ? O_NOFOLLOW : 0);
    const int handle = ::open(encodeFileName(path).constData(), flags);
    if (handle < 0)
        return refused(errno == ELOOP ? QStringLiteral("it is a link") : systemError());
    const auto closeHandle = qScopeGuard([handle] { ::close(handle); });
    struct stat status
    {
    };
    if (::fstat(handle, &status) != 0)
        return refused(systemError());
    if (!S_ISREG(status.st_mode))
        return refused(QStringLiteral("it is not a plain file"));
    // Read to the end rather than to the size it had: a file may grow meanwhile, and the
    // kernel's own files give no size at all.
    QByteArray bytes(qsizetype(std::min<qint64>(status.st_size, limit)), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < limit) {
        // Past the size it had in small steps: most files end there.
        if (done == bytes.size())
            bytes.resize(done + qsizetype(std::min<qint64>(4096, limit - done)));
        const ssize_t n = ::read(handle, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return refused(systemError());
        if (n == 0)
            break;
        done += n;
    }
    bytes.truncate(done);
    return bytes;
}

FileLock::FileLock(const QString &path, std::chrono::milliseconds wait, Kind kind)
{
    const auto refused = [&](const QString &why) {
        if (mHandle >= 0)
            ::close(mHandle);
        fail(QStringLiteral("the lock file %1 could not be taken: %2").arg(path, why));
    };
    const bool folder = kind == Kind::Folder;
    mHandle = ::open(encodeFileName(path).constData(),
        (folder ? O_RDONLY | O_DIRECTORY : O_RDWR | O_CREAT | O_NOFOLLOW) | O_NONBLOCK | O_NOCTTY
            | O_CLOEXEC,
        0600);
    if (mHandle < 0) {
        if (errno == ELOOP)
            refused(QStringLiteral("it is a link"));
        if (errno == EISDIR)
            refused(QStringLiteral("it is a folder"));
        refused(systemError());
    }
    struct stat status
    {
    };
    if (::fstat(mHandle, &status) != 0)
        refused(systemError());
    if (!folder && !S_ISREG(status.st_mode))
        refused(QStringLiteral("it is not a plain file"));
    if (!folder && status.st_uid != ::getuid())
        refused(QStringLiteral("it belongs to another user"));
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (::flock(mHandle, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            refused(systemError());
        if (std::chrono::steady_clock::now() >= deadline) {
            ::close(mHandle);
            const QString why = wait.count() == 0
                ? QStringLiteral("another program holds it")
                : QStringLiteral("another program still holds it after %1 seconds")
                      .arg(double(wait.count()) / 1000.0);
            throw LockHeld(
                QStringLiteral("the lock file %1 could not be taken: %2").arg(path, why));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

FileLock::~FileLock()
{
    if (mHandle >= 0)
        ::close(mHandle);
}

FileLock::State FileLock::stateOf(const QString &path)
{
    const int handle = ::open(QFile::encodeName(path).constData(),
        O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (handle < 0)
        return State::Broken;
    struct stat status
    {
    };
    State state = State::Broken;
    if (::fstat(handle, &status) == 0 && S_ISREG(status.st_mode)) {
        if (::flock(handle, LOCK_SH | LOCK_NB) == 0)
            state = State::Free;
        else if (errno == EWOULDBLOCK)
            state = State::Held;
    }
    ::close(handle);
    return state;
}

void requireFreeSpace(const QString &path, qint64 bytes)
{
    struct statvfs room
    {
    };
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    if (::statvfs(folder.constData(), &room) != 0)
        return; // The write itself says what is wrong.
    if (qint64(room.f_bavail) * qint64(room.f_frsize) < bytes)
        fail(QStringLiteral("No space left on device while writing %1").arg(path));
}

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

QByteArray encodeFileName(const QString &name)
{
    QByteArray bytes;
    qsizetype run = 0;
    for (qsizetype at = 0; at < name.size(); ++at) {
        const char16_t unit = name.at(at).unicode();
        const bool paired = at > 0 && name.at(at - 1).isHighSurrogate();
        if (unit >= 0xdc80 && unit <= 0xdcff && !paired) {
            bytes += QFile::encodeName(name.mid(run, at - run));
            bytes += char(unit - 0xdc00);
            run = at + 1;
        }
    }
    return bytes + QFile::encodeName(name.mid(run));
}

QString shownFileName(const QString &name)
{
    QString shown;
    for (qsizetype at = 0; at < name.size(); ++at) {
        const char16_t unit = name.at(at).unicode();
        const bool paired = at > 0 && name.at(at - 1).isHighSurrogate();
        if (unit >= 0xdc80 && unit <= 0xdcff && !paired)
            shown += QStringLiteral("\\x%1").arg(unit - 0xdc00, 2, 16, QLatin1Char('0'));
        else
            shown += name.at(at);
    }
    return shown;
}

namespace {
// The part file beside a destination; gone again unless it was renamed into place.
struct PartFile
{
    QByteArray name;
    int fd = -1;
    ~PartFile()
    {
        if (fd >= 0) {
            ::close(fd);
            ::unlink(name.constData());
        }
    }
};
} // namespace

void replaceFile(const QString &destination, const QByteArray &bytes, ReadOnlyFile readOnly)
{
    // The name's own bytes, never a lookalike: taken from the name as given, so a folder
    // whose name is no UTF-8 still holds it.
    // Cut from the text, not through QFileInfo, which turns such bytes into U+FFFD.
    const qsizetype slash = destination.lastIndexOf(QLatin1Char('/'));
    const QString folderName = slash < 0 ? QStringLiteral(".")
        : slash == 0                     ? QStringLiteral("/")
                                         : destination.left(slash);
    const QByteArray targetName = encodeFileName(destination);
    const QByteArray folderBytes = encodeFileName(folderName);
    const auto failed = [&](const QString &reason) {
        fail(QStringLiteral("%1 while writing %2").arg(reason, destination));
    };

    struct stat existing
    {
    };
    const bool exists = ::lstat(targetName.constData(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        fail(QStringLiteral("%1 is a folder; choose a file name.").arg(destination));
    if (exists && !S_ISREG(existing.st_mode) && !S_ISLNK(existing.st_mode))
        fail(QStringLiteral("%1 is not a plain file (a device, pipe or socket) and was left alone.")
                 .arg(destination));
    const bool regular = exists && S_ISREG(existing.st_mode);
    if (regular && readOnly == ReadOnlyFile::Refuse
        && ((existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0
            || ::access(targetName.constData(), W_OK) != 0))
        fail(QStringLiteral("%1 is read-only and was left as it is.").arg(destination));

    // The folder is taken as it is written: no pattern in the chosen name is expanded.
    PartFile part;
    part.name = folderBytes + "/.scrivane-XXXXXX.part";
    part.fd = ::mkostemps(part.name.data(), 5, O_CLOEXEC);
    if (part.fd < 0) {
        const QString reason = systemError();
        struct stat folder
        {
        };
        const bool isFolder
            = ::stat(folderBytes.constData(), &folder) == 0 && S_ISDIR(folder.st_mode);
        failed(isFolder ? reason : QStringLiteral("No such folder"));
    }
    // Written with the system's calls, so a full disk is named as such.
    const int fd = part.fd;
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n
            = ::write(fd, bytes.constData() + written, static_cast<size_t>(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            failed(n < 0 ? systemError() : QStringLiteral("Nothing could be written"));
        written += n;
    }
    if (::fsync(fd) != 0)
        failed(systemError());
    if (regular && ::geteuid() == 0)
        (void)::fchown(fd, existing.st_uid, existing.st_gid);
    // A replaced file keeps its own permissions, read-only included.
    if (::fchmod(fd, regular ? existing.st_mode & 07777 : newFileMode()) != 0)
        failed(systemError());

    if (std::rename(part.name.constData(), targetName.constData()) != 0)
        failed(systemError());
    ::close(part.fd);
    part.fd = -1;

    // The new name is durable too, not only the bytes behind it.
    const int folder = ::open(folderBytes.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
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

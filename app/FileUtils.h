#pragma once

#include "Failure.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <chrono>
#include <optional>

// True when the path names something whose modification time can be read.
bool FileExists(const QString &path);

enum class Wildcards { Literal, Expand };

// Deletes quietly: pending window events run first, failures are swallowed and a
// refused file gets a forced second try. Only the program's own temporary paths
// may ask for "*" and "?" to be expanded; a user's path is always taken literally.
void KillFile(const QString &path, Wildcards wildcards = Wildcards::Literal);

// Deletes one file, read-only or not; throws Failure when it cannot.
void ForceDeleteFile(const QString &path);

// Writes the bytes at the start of the file, creating it when missing; the file
// is never shortened. A link at the path is refused, never followed.
// Throws Failure when the file cannot be written.
void WriteBytesToFile(const QByteArray &bytes, const QString &path);

// A file name's bytes. A name may hold bytes that are no UTF-8, each kept as a
// surrogate without its partner from U+DC80 to U+DCFF (as CommandLine::argumentText
// reads them); these become their bytes again and everything else UTF-8, so such a
// name is written under exactly the bytes it was given and never under one that
// another name shares. Used for every call on a path that may hold such bytes.
QByteArray encodeFileName(const QString &name);

// The name to print: each byte kept as such a surrogate as the text "\x80".
QString shownFileName(const QString &name);

// Whether an existing read-only file may be replaced: only when the user was asked.
enum class ReadOnlyFile { Refuse, Replace };

// Makes the file at destination hold exactly the bytes, or leaves it as it was. The
// bytes go to a new file of an unforeseeable name beside it, which is renamed over
// it: a link at destination is replaced, never written through, and a replaced file
// keeps its permissions (and, for root, its owner). A folder, device, pipe or socket
// at destination is refused, and so is a read-only file unless readOnly allows it.
// QSaveFile is not used because it writes through a link.
// Throws Failure in the user's words ("No space left on device while writing ...").
void replaceFile(const QString &destination, const QByteArray &bytes,
    ReadOnlyFile readOnly = ReadOnlyFile::Refuse);

// Clears the name for the program's own use: a link, file, pipe or socket there is
// unlinked (a link's target is never touched) and a folder of this user's is removed
// with everything in it, links inside removed as links and never followed, nothing
// on another file system entered. True when nothing is left at the name; a folder
// or file of another user stays, and so does what could not be removed.
bool removeOwn(const QString &path);

// True when path is a folder of this user's, reached without a link.
bool isOwnFolder(const QString &path);
// True when it is one that nobody else may enter, too.
bool isPrivateFolder(const QString &path);

// Makes the folder, 0700, when nothing is at path (its parent is never made); true when
// a private folder is then there.
bool makePrivateFolder(const QString &path);

// The bytes of the plain file at path, at most limit of them, opened without waiting
// on a pipe and, unless links are allowed, without following a link at the path.
// Nothing when it is no plain file or cannot be read; error then says why.
enum class Links { Refuse, Follow };
std::optional<QByteArray> readPlainFile(
    const QString &path, qint64 limit, Links links = Links::Refuse, QString *error = nullptr);

// An exclusive lock on a file (made when missing) or a folder, held for the object's
// life and gone with the process however it ends. Only a plain file of this user's,
// reached without a link, is taken; a lock held by another waits at most `wait`. Throws
// LockHeld when another still holds it then, and Failure for anything else; both name
// the lock and why it could not be taken, as a phrase for the caller's own sentence.
class FileLock
{
public:
    // A folder is locked as itself: nothing is left in it.
    enum class Kind { File, Folder };

    FileLock(const QString &path, std::chrono::milliseconds wait, Kind kind = Kind::File);
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    // Free: whoever took the lock has ended. Held: its taker runs. Broken: a missing
    // lock, or anything but a plain file that can be locked, which proves neither.
    enum class State { Free, Held, Broken };
    static State stateOf(const QString &path);

    // The open lock file: a process that inherits it holds the lock as well, until
    // every copy is closed.
    int handle() const { return mHandle; }

    // Another process holds the lock.
    class LockHeld : public Failure
    {
    public:
        using Failure::Failure;
    };

private:
    int mHandle = -1;
};

// Throws Failure "No space left on device while writing <path>" when the file system
// that is to hold path has less than bytes free: a word processor saving onto a full
// disk does not say so, it stops answering.
void requireFreeSpace(const QString &path, qint64 bytes);

// The text of the last system call's error number.
QString systemError();

// The clipboard's picture, tried up to 1000 times at once; a null image when none came.
// The format code is kept for callers; 0 asks for whatever picture is there.
QImage GetClipboardPicture(int format = 0);

#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

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

// The text of the last system call's error number.
QString systemError();

// The clipboard's picture, tried up to 1000 times at once; a null image when none came.
// The format code is kept for callers; 0 asks for whatever picture is there.
QImage GetClipboardPicture(int format = 0);

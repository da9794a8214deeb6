#pragma once

#include <QString>

#include <mutex>

// Word readers that use only the compound file's big blocks (antiword, and the indexers
// and previewers built on it) refuse a file whose WordDocument stream is under 4,096
// bytes, the size below which the container keeps a stream among its small blocks.
inline constexpr qint64 kSmallStreamLimit = 4096;

// Finishes a Word 97-2003 file the office saved: rewrites its container, stream for
// stream and with its class ids, when the WordDocument stream is shorter than that
// size (zero bytes follow its end; Word ignores everything in that stream after the
// count of bytes its file header gives), when a company is given (it goes into the
// document summary's own Company property, where Word and file managers look for it),
// or when an entry of its font table carries an alternative name (cleared: one name
// per font, as every format Scrivane writes has it).
// Throws Failure, and leaves the file as it was, when it cannot be read or rewritten.
void finishWordFile(const QString &path, const QString &company);

// Held by every use of libgsf, which is not safe to use from two threads at once.
std::mutex &libgsfInUse();

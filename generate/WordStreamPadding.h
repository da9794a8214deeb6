#pragma once

#include <QString>

// Word readers that use only the compound file's big blocks (antiword, and the indexers
// and previewers built on it) refuse a file whose WordDocument stream is under 4,096
// bytes, the size below which the container keeps a stream among its small blocks.
inline constexpr qint64 kSmallStreamLimit = 4096;

// Rewrites the Word 97-2003 file at the path, stream for stream and with its class ids,
// with zero bytes after the end of a shorter WordDocument stream up to that size. Word
// ignores everything in that stream after the count of bytes its file header gives.
// Throws Failure, and leaves the file as it was, when it cannot be read or rewritten.
void padWordDocumentStream(const QString &path);

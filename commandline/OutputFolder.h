#pragma once

#include <QString>

#include <memory>

class FileLock;

// The folder a command writes into, and the names written there.
namespace CommandLine {

// A document name inside the output folder, never a path out of it; throws Failure.
void checkFileName(const QString &name);

// Throws Failure when the folder is missing, no folder, or cannot be written.
void checkWritableFolder(const QString &folder);

// The folder and those above it that are missing, as QDir::mkpath makes them but under
// the name's own bytes; false when it could not be made.
bool makeFolder(const QString &folder);

// Held while a batch writes into a folder, so that a second batch into the same folder
// is refused instead of overwriting the first one's documents. A lock that cannot be
// taken refuses the batch, whatever the reason: running without it is what let two
// batches overwrite each other. Throws Failure saying which.
std::unique_ptr<FileLock> lockOutputFolder(const QString &folder);

} // namespace CommandLine

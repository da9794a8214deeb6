#pragma once

#include <QString>

// The program's temporary folder: $TEMP when it is set and not empty; otherwise a
// folder of this user's that only they can enter, made on first use. Throws
// Failure when no such folder can be had.
QString temporaryFolder();

// A file in the temporary folder.
QString temporaryPath(const QString &fileName);

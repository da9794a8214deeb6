#pragma once

#include <QString>

// What a Scrivane that was killed leaves behind, and its clearing at the next start.
// Only Scrivane's own folders are looked at, and in them only what names Scrivane.

// A pattern for QTemporaryDir: "scrivane-<kind>-<pid>-XXXXXX" in the temporary folder,
// so that a later start knows whose it was.
QString workFolderPattern(const QString &kind);

// Notes in a work folder of this program's that it made the file at path, so that the
// file goes with the folder if the program is killed before it removes the file.
void noteMadeFile(const QString &workFolder, const QString &path);

// Removes the work folders in the temporary folder of Scrivanes that no longer run.
void clearLeftoverWorkFolders();

// For an office profile that no office uses now (its lock is held by the caller): the
// office's own temporary files, and the lock files it left beside documents in the
// temporary folder that name this profile.
void clearOfficeLeftovers(const QString &profileFolder);

// Where the office of the profile keeps its temporary files.
QString officeTemporaryFolder(const QString &profileFolder);

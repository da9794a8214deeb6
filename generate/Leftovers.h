#pragma once

#include <QString>

// What a Scrivane that was killed leaves behind, and its clearing at the next start.
// Only Scrivane's own folders are looked at, and in them only what names Scrivane.

// A pattern for QTemporaryDir: "scrivane-<kind>-<pid>-XXXXXX" in the temporary folder,
// so that a later start knows whose it was.
QString workFolderPattern(const QString &kind);

// Notes that this program made the file or folder at path, so that the next start removes it
// should this program be killed before it does.
void noteMadeFile(const QString &path);

// Removes the work folders in the temporary folder, and the files noted as made, of
// Scrivanes that provably no longer run: their owner's lock is free.
void clearLeftoverWorkFolders();

// Removes now this program's own work folders, the files and folders it noted as made
// (the style pictures' folder) and its mark: for an end that runs no destructor, once
// nothing works in them any more.
void removeOwnWorkFolders();

// For an office profile that no office uses now (its lock is held by the caller): the
// office's own temporary files, and the lock files it left beside documents in the
// temporary folder that name this profile.
void clearOfficeLeftovers(const QString &profileFolder);

// Where the office of the profile keeps its temporary files.
QString officeTemporaryFolder(const QString &profileFolder);

// Where offices make the sockets of their pipes, whatever TMPDIR says: "/tmp".
QString officePipeFolder();
// The socket of an office's pipe of that name: "<folder>/OSL_PIPE_<uid>_<name>".
QString officePipePath(const QString &name, const QString &folder = officePipeFolder());
// The pipe that the office in the profile keeps for it besides the one it accepts on.
QString profilePipeName(const QString &profileFolder);

// Removes the pipe sockets that offices of this user's Scrivanes left in the folder
// when they were killed with their Scrivane: "scrivane-<pid>-<random>" ones whose
// Scrivane is gone, and the profile pipes of the profiles in profileRoot that no
// office uses (their lock is free). Only this user's sockets, never through a link,
// and only when nothing listens on them.
void clearLeftoverPipes(const QString &profileRoot, const QString &folder = officePipeFolder());

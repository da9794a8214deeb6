#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <optional>

// The bytes of the file at path; empty when it cannot be read.
inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes the bytes to the file at path, replacing what it held; false when it cannot.
// Tests check the result, so a failed write stops the test there and then.
inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Gives a test function a new, empty temporary folder, the last one going with its
// files; false when none can be made.
inline bool renewFolder(std::optional<QTemporaryDir> &temporary, QDir &dir)
{
    temporary.emplace();
    dir.setPath(temporary->path());
    return temporary->isValid();
}

#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include <sys/stat.h>

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

// Rows of what may stand where a memo is to be written and is no plain file, with what
// the refusal says of it: the columns "kind" and "complaint", for makeInTheWay().
inline void addThingsInTheWay()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("complaint");
    QTest::newRow("folder") << QStringLiteral("folder") << QStringLiteral("is a folder");
    QTest::newRow("pipe") << QStringLiteral("fifo") << QStringLiteral("is not a plain file");
    QTest::newRow("read-only file") << QStringLiteral("readonly") << QStringLiteral("is read-only");
}

// Makes a thing of that kind at path (a read-only file holds "kept"); false when it cannot.
inline bool makeInTheWay(const QString &path, const QString &kind)
{
    const QByteArray name = QFile::encodeName(path);
    if (kind == QLatin1String("folder"))
        return QDir().mkdir(path);
    if (kind == QLatin1String("fifo"))
        return ::mkfifo(name.constData(), 0600) == 0;
    return writeFile(path, "kept") && ::chmod(name.constData(), 0444) == 0;
}

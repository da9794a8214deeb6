#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <list>
#include <vector>

struct zip;
struct zip_source;

// A zipped document held in memory (a template's DOCX or ODT form), opened to make a
// changed copy of it: some entries read and replaced, some removed, the rest copied as
// they were packed. The only file that includes libzip (Debian's libzip4: kept up,
// reads from and writes to memory, and copies unchanged entries without unpacking).
// Each one is used by one thread.
class ZipPackage
{
public:
    // `what` names the package in failures ("the DOCX template of Elegant"). Throws
    // Failure when the bytes are no zip archive.
    ZipPackage(const QByteArray &bytes, const QString &what);
    ~ZipPackage();

    ZipPackage(const ZipPackage &) = delete;
    ZipPackage &operator=(const ZipPackage &) = delete;

    // The entry's bytes; throws Failure when the package has none of that name.
    QByteArray read(const QString &name) const;
    bool contains(const QString &name) const;
    // Every entry's name, in the package's order.
    QStringList names() const;
    // The new content of an entry, packed with deflate.
    void replace(const QString &name, const QByteArray &bytes);
    void remove(const QString &name);

    // The changed package, the replaced entries dated `time`; throws Failure when it
    // cannot be made. Nothing may be done with it afterwards.
    QByteArray finished(const QDateTime &time);

private:
    qint64 indexOf(const QString &name) const;
    [[noreturn]] void failWith(const QString &doing) const;

    QByteArray mBytes;
    QString mWhat;
    zip_source *mSource = nullptr;
    zip *mArchive = nullptr;
    // What replaces entries, held until the package is written.
    std::list<QByteArray> mReplacements;
    std::vector<qint64> mReplaced;
};

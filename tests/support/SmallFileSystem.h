#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <sys/mount.h>
#include <unistd.h>

// A file system of 64 KiB (a tmpfs) mounted at a new folder, for tests of a full disk;
// unmounted when it goes. Mounting needs root and a system that allows it.
class SmallFileSystem
{
public:
    explicit SmallFileSystem(const QString &folder)
        : mPath(folder)
    {
        if (::geteuid() != 0) {
            mUnavailable = "a full file system is made as a small tmpfs, which needs root";
            return;
        }
        const QByteArray point = QFile::encodeName(folder);
        if (!QDir().mkpath(folder)
            || ::mount("scrivane-test", point.constData(), "tmpfs", 0, "size=64k") != 0)
            mUnavailable = "no tmpfs could be mounted here (a container without that right)";
    }

    ~SmallFileSystem()
    {
        if (!mUnavailable)
            ::umount2(QFile::encodeName(mPath).constData(), MNT_DETACH);
    }

    SmallFileSystem(const SmallFileSystem &) = delete;
    SmallFileSystem &operator=(const SmallFileSystem &) = delete;

    // Why it could not be mounted (the test is then skipped); null when it is.
    const char *unavailable() const { return mUnavailable; }

    // Fills it to the last byte with the file "filler"; false when that cannot be made.
    bool fill() const
    {
        QFile filler(mPath + QStringLiteral("/filler"));
        if (!filler.open(QIODevice::WriteOnly))
            return false;
        while (filler.write(QByteArray(4096, 'f')) > 0 && filler.flush()) { }
        return true;
    }

    // Makes it read-only, for root as well; false when it cannot be.
    bool makeReadOnly() const
    {
        return ::mount("scrivane-test", QFile::encodeName(mPath).constData(), "tmpfs",
                   MS_REMOUNT | MS_RDONLY, "size=64k")
            == 0;
    }

    const QString &path() const { return mPath; }

private:
    QString mPath;
    const char *mUnavailable = nullptr;
};

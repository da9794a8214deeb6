#include "FileUtils.h"
#include "Leftovers.h"
#include "TestFiles.h"

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <cstdio>
#include <cstring>
#include <optional>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
// A socket at path; listening when asked, else left as a killed office leaves it.
// The descriptor of a listening one, 0 for one left, -1 when none could be made.
int plantSocket(const QString &path, bool listening)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (size_t(name.size()) >= sizeof address.sun_path)
        return -1;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0
        || ::bind(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        return -1;
    }
    if (listening && ::listen(socket, 4) == 0)
        return socket;
    ::close(socket);
    return listening ? -1 : 0;
}

bool isThere(const QString &path)
{
    struct stat status
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0;
}
} // namespace

// What a killed Scrivane left in its own folders goes at the next start; nothing else.
class LeftoversTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(renewFolder(mTemporary, mDir));
        QVERIFY(mDir.mkdir("temp"));
        qputenv("TEMP", QFile::encodeName(mDir.filePath("temp")));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(mDir.filePath("cache")));
        QVERIFY(QDir().mkpath(owners().path()));
    }

    // A work folder goes only when its owner's lock proves the owner gone; a link
    // named like a work folder goes as a link, what it points to stays.
    void workFoldersGoOnlyWhenTheirOwnerIsProvablyGone_data()
    {
        QTest::addColumn<QString>("lock");
        QTest::addColumn<bool>("gone");
        QTest::newRow("owner ended") << "free" << true;
        QTest::newRow("owner runs") << "held" << false;
        QTest::newRow("owner just started") << "young" << false;
        QTest::newRow("no lock") << "none" << false;
        QTest::newRow("lock is a folder") << "folder" << false;
        QTest::newRow("lock is a pipe") << "fifo" << false;
    }

    void workFoldersGoOnlyWhenTheirOwnerIsProvablyGone()
    {
        QFETCH(QString, lock);
        QFETCH(bool, gone);
        const QString owner = "0123456789abcdef";
        const QString lockFile = owners().filePath(owner + ".lock");
        const QString outside = mDir.filePath("outside");
        QVERIFY(QDir().mkpath(outside) && writeFile(outside + "/precious.txt", "keep"));
        const QStringList theirs { "scrivane-work-" + owner + "-Xy12Zq",
            "scrivane-pages-" + owner + "-Xy12Zq" };
        for (const QString &name : theirs)
            QVERIFY(temp().mkdir(name) && writeFile(temp().filePath(name + "/pages.pdf"), "pdf"));
        QVERIFY(QFile::link(outside, temp().filePath("scrivane-work-" + owner + "-Link00")));
        QVERIFY(temp().mkdir("my-own-folder"));
        // The memos the owner made: one still its own, one since replaced by another's.
        const QString made = temp().filePath("kelmar11111111.doc");
        const QString redrawn = temp().filePath("kelmar22222222.doc");
        QByteArray notes;
        for (const QString &memo : { made, redrawn }) {
            QVERIFY(writeFile(memo, "memo"));
            struct stat status
            {
            };
            QCOMPARE(::lstat(QFile::encodeName(memo).constData(), &status), 0);
            notes += QByteArray::number(quint64(status.st_dev)) + ' '
                + QByteArray::number(quint64(status.st_ino)) + ' ' + QFile::encodeName(memo) + '\n';
        }
        QVERIFY(writeFile(redrawn + ".new", "another's"));
        QCOMPARE(std::rename(QFile::encodeName(redrawn + ".new").constData(),
                     QFile::encodeName(redrawn).constData()),
            0);

        std::optional<FileLock> holder;
        const auto old = [&] {
            QFile file(lockFile);
            return file.open(QIODevice::ReadWrite)
                && file.setFileTime(
                    QDateTime::currentDateTime().addSecs(-600), QFileDevice::FileModificationTime);
        };
        if (lock == "free")
            QVERIFY(writeFile(lockFile, notes) && old());
        else if (lock == "held")
            QVERIFY(writeFile(lockFile, notes)
                && (holder.emplace(lockFile, std::chrono::milliseconds::zero()), old()));
        else if (lock == "young")
            QVERIFY(writeFile(lockFile, notes));
        else if (lock == "folder")
            QVERIFY(owners().mkdir(QFileInfo(lockFile).fileName()));
        else if (lock == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(lockFile).constData(), 0600), 0);
        // This process's own folder always stays.
        const QTemporaryDir mine(workFolderPattern("work"));
        QVERIFY(mine.isValid());

        clearLeftoverWorkFolders();
        QStringList expected { "my-own-folder", QFileInfo(mine.path()).fileName() };
        if (!gone)
            expected << theirs;
        expected.sort();
        QCOMPARE(temp().entryList(QDir::Dirs | QDir::NoSymLinks | QDir::NoDotAndDotDot, QDir::Name),
            expected);
        QVERIFY(
            !QFileInfo(temp().filePath("scrivane-work-" + owner + "-Link00")).isSymLink() || !gone);
        QCOMPARE(readFile(outside + "/precious.txt"), QByteArray("keep"));
        QCOMPARE(QFile::exists(made), !gone);
        QCOMPARE(readFile(redrawn), QByteArray("another's"));
        QCOMPARE(QFileInfo::exists(lockFile), !gone && lock != "none");
    }

    void anIdleProfilesTemporaryFilesAndLocksGo()
    {
        const QString profile = mDir.filePath("profiles/profile-3");
        QVERIFY(QDir().mkpath(officeTemporaryFolder(profile)));
        QVERIFY(writeFile(officeTemporaryFolder(profile) + "/lu12345abc.tmp", "office"));
        const auto lockNaming = [](const QString &folder) {
            return "root,host,09.12.2026 06:00," + QUrl::fromLocalFile(folder).toEncoded() + ";";
        };
        QVERIFY(writeFile(temp().filePath(".~lock.kelmar11111111.doc#"), lockNaming(profile)));
        QVERIFY(writeFile(temp().filePath(".~lock.kelmar22222222.doc#"),
            lockNaming(mDir.filePath("profiles/profile-4"))));
        QVERIFY(writeFile(temp().filePath(".~lock.report.odt#"),
            lockNaming(QDir::homePath() + "/.config/libreoffice/4")));
        // A pipe is never opened for reading: it would wait for a writer forever.
        QCOMPARE(
            ::mkfifo(QFile::encodeName(temp().filePath(".~lock.pipe.doc#")).constData(), 0600), 0);

        clearOfficeLeftovers(profile);
        QVERIFY(!QFileInfo::exists(officeTemporaryFolder(profile)));
        QCOMPARE(temp().entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name),
            QStringList(
                { ".~lock.kelmar22222222.doc#", ".~lock.pipe.doc#", ".~lock.report.odt#" }));
    }

    // Of what lies in the offices' pipe folder under names like theirs, only the sockets
    // that this user's offices left when they were killed with their Scrivane go.
    void onlyPipesOfGoneOfficesGo_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("removed");
        QTest::newRow("dead Scrivane's socket") << "dead" << true;
        QTest::newRow("link to a dead socket") << "link" << false;
        QTest::newRow("regular file") << "file" << false;
        QTest::newRow("another user's name") << "other uid" << false;
        QTest::newRow("another user's socket") << "other owner" << false;
        QTest::newRow("live listener") << "listening" << false;
        QTest::newRow("running Scrivane's socket") << "running" << false;
        QTest::newRow("another program's pipe") << "foreign" << false;
        QTest::newRow("idle profile's pipe") << "idle profile" << true;
        QTest::newRow("busy profile's pipe") << "busy profile" << false;
    }

    void onlyPipesOfGoneOfficesGo()
    {
        QFETCH(QString, kind);
        QFETCH(bool, removed);
        const QString pipes = mDir.filePath("pipes");
        const QString profileRoot = mDir.filePath("profiles");
        QVERIFY(QDir().mkpath(pipes) && QDir().mkpath(profileRoot + "/profile-0"));
        QProcess ended;
        ended.start("true");
        QVERIFY(ended.waitForFinished());
        const QString dead = QStringLiteral("scrivane-%1-0123456789abcdef").arg(ended.processId());
        const QString running = QStringLiteral("scrivane-%1-0123456789abcdef")
                                    .arg(QCoreApplication::applicationPid());
        const QString profilePipe = profilePipeName(profileRoot + "/profile-0");

        QString planted = officePipePath(dead, pipes);
        int listener = 0;
        std::optional<FileLock> profileLock;
        if (kind == "dead") {
            listener = plantSocket(planted, false);
        } else if (kind == "link") {
            listener = plantSocket(pipes + "/elsewhere", false);
            QVERIFY(QFile::link(pipes + "/elsewhere", planted));
        } else if (kind == "file") {
            QVERIFY(writeFile(planted, "office"));
        } else if (kind == "other uid") {
            planted = QStringLiteral("%1/OSL_PIPE_%2_%3").arg(pipes).arg(::getuid() + 1).arg(dead);
            listener = plantSocket(planted, false);
        } else if (kind == "other owner") {
            if (::getuid() != 0)
                QSKIP("only root can give a socket to another user");
            listener = plantSocket(planted, false);
            QCOMPARE(::lchown(QFile::encodeName(planted).constData(), 65534, 65534), 0);
        } else if (kind == "listening") {
            listener = plantSocket(planted, true);
        } else if (kind == "running") {
            planted = officePipePath(running, pipes);
            listener = plantSocket(planted, false);
        } else if (kind == "foreign") {
            planted = officePipePath(
                QStringLiteral("users-own-office-%1").arg(ended.processId()), pipes);
            listener = plantSocket(planted, false);
        } else {
            planted = officePipePath(profilePipe, pipes);
            listener = plantSocket(planted, false);
            QVERIFY(writeFile(profileRoot + "/profile-0.lock", {}));
            if (kind == "busy profile")
                profileLock.emplace(
                    profileRoot + "/profile-0.lock", std::chrono::milliseconds::zero());
        }
        QVERIFY(listener >= 0);

        clearLeftoverPipes(profileRoot, pipes);
        QCOMPARE(!isThere(planted), removed);
        if (kind == "link")
            QVERIFY(isThere(pipes + "/elsewhere"));
        if (listener > 0)
            ::close(listener);
    }

private:
    QDir temp() const { return QDir(mDir.filePath("temp")); }
    QDir owners() const { return QDir(mDir.filePath("cache/Tarnwick/Scrivane/owners")); }

    std::optional<QTemporaryDir> mTemporary;
    QDir mDir;
};

QTEST_GUILESS_MAIN(LeftoversTest)
#include "tst_leftovers.moc"

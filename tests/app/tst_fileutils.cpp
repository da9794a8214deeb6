#include "Failure.h"
#include "FileUtils.h"
#include "Picture.h"
#include "TempFolder.h"
#include "TestFiles.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include <sys/stat.h>

class FileUtilsTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(renewFolder(mTemporary, mDir)); }

    void fileExists()
    {
        const QString present = mDir.filePath(QStringLiteral("present.doc"));
        QVERIFY(writeFile(present, "x"));
        QVERIFY(FileExists(present));
        QVERIFY(!FileExists(QString()));
        QVERIFY(!FileExists(mDir.filePath(QStringLiteral("absent.doc"))));
        QVERIFY(!FileExists(mDir.filePath(QStringLiteral("no-such-folder/present.doc"))));
    }

    void killFileOfAMissingFileReturnsQuietly()
    {
        KillFile(mDir.filePath(QStringLiteral("absent.bmp")));
        KillFile(QString());
    }

    void killFileDeletesAReadOnlyFileThroughTheForcedDelete()
    {
        const QString path = mDir.filePath(QStringLiteral("readonly.doc"));
        QVERIFY(writeFile(path, "x"));
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
        KillFile(path);
        QVERIFY(!QFile::exists(path));
    }

    void killFileExpandsWildcardsOnlyWhenAsked()
    {
        for (const char *name :
            { "kelmar11111111.doc", "kelmar22222222.doc", "keep.dot", "k*.doc" })
            QVERIFY(writeFile(mDir.filePath(QString::fromLatin1(name)), "x"));

        // A user's path with a star in it names that one file and nothing else.
        KillFile(mDir.filePath(QStringLiteral("k*.doc")));
        QVERIFY(!QFile::exists(mDir.filePath(QStringLiteral("k*.doc"))));
        QVERIFY(QFile::exists(mDir.filePath(QStringLiteral("kelmar11111111.doc"))));

        KillFile(mDir.filePath(QStringLiteral("kelmar????????.doc")), Wildcards::Expand);
        QVERIFY(!QFile::exists(mDir.filePath(QStringLiteral("kelmar11111111.doc"))));
        QVERIFY(!QFile::exists(mDir.filePath(QStringLiteral("kelmar22222222.doc"))));
        QVERIFY(QFile::exists(mDir.filePath(QStringLiteral("keep.dot"))));
    }

    void killFileRemovesALinkNotItsTarget()
    {
        const QString target = mDir.filePath(QStringLiteral("target.doc"));
        const QString link = mDir.filePath(QStringLiteral("template.dot"));
        QVERIFY(writeFile(target, "keep me"));
        QVERIFY(QFile::link(target, link));
        KillFile(link);
        QVERIFY(!QFileInfo(link).isSymLink());
        QCOMPARE(readFile(target), QByteArray("keep me"));
    }

    // Whatever is planted at a name the program clears, only the name goes: nothing a
    // link points to, from the name or from inside a folder, is touched.
    void removeOwnNeverStrays_data()
    {
        QTest::addColumn<QString>("planted");
        QTest::newRow("link to a folder") << "link-folder";
        QTest::newRow("link to a file") << "link-file";
        QTest::newRow("pipe") << "fifo";
        QTest::newRow("plain file") << "file";
        QTest::newRow("folder holding links and a pipe") << "folder";
    }

    void removeOwnNeverStrays()
    {
        QFETCH(QString, planted);
        const QString outside = mDir.filePath(QStringLiteral("outside"));
        QVERIFY(QDir().mkpath(outside + QStringLiteral("/inner")));
        QVERIFY(writeFile(outside + QStringLiteral("/precious.txt"), "keep"));
        const QString name = mDir.filePath(QStringLiteral("profile-0.tmp"));
        const QByteArray encoded = QFile::encodeName(name);
        if (planted == QLatin1String("link-folder"))
            QVERIFY(QFile::link(outside, name));
        else if (planted == QLatin1String("link-file"))
            QVERIFY(QFile::link(outside + QStringLiteral("/precious.txt"), name));
        else if (planted == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(encoded.constData(), 0600), 0);
        else if (planted == QLatin1String("file"))
            QVERIFY(writeFile(name, "x"));
        else {
            QVERIFY(QDir().mkpath(name + QStringLiteral("/sub")));
            QVERIFY(QFile::link(outside, name + QStringLiteral("/sub/out")));
            QVERIFY(QFile::link(outside + QStringLiteral("/precious.txt"), name + "/file"));
            QCOMPARE(::mkfifo(QFile::encodeName(name + "/pipe").constData(), 0600), 0);
        }

        QVERIFY(removeOwn(name));
        struct stat status
        {
        };
        QCOMPARE(::lstat(encoded.constData(), &status), -1);
        QCOMPARE(readFile(outside + QStringLiteral("/precious.txt")), QByteArray("keep"));
        QVERIFY(QFileInfo(outside + QStringLiteral("/inner")).isDir());
    }

    // A lock that cannot be taken is one message within the time given, never a wait.
    void lockThatCannotBeTakenIsRefusedInTime_data()
    {
        QTest::addColumn<QString>("planted");
        QTest::newRow("folder") << "folder";
        QTest::newRow("pipe") << "fifo";
        QTest::newRow("link to a pipe") << "link";
        QTest::newRow("held by another") << "held";
        if (::geteuid() != 0)
            QTest::newRow("unreadable") << "unreadable";
    }

    void lockThatCannotBeTakenIsRefusedInTime()
    {
        QFETCH(QString, planted);
        const QString name = mDir.filePath(QStringLiteral("Tarnwick.conf.lock"));
        const QString pipe = mDir.filePath(QStringLiteral("pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        std::optional<FileLock> holder;
        if (planted == QLatin1String("folder"))
            QVERIFY(QDir().mkdir(name));
        else if (planted == QLatin1String("fifo"))
            QVERIFY(QFile::rename(pipe, name));
        else if (planted == QLatin1String("link"))
            QVERIFY(QFile::link(pipe, name));
        else if (planted == QLatin1String("held"))
            holder.emplace(name, std::chrono::milliseconds::zero());
        else
            QVERIFY(writeFile(name, "") && QFile::setPermissions(name, {}));

        try {
            FileLock lock(name, std::chrono::milliseconds(200));
            QFAIL("the lock should have been refused");
        } catch (const Failure &failure) {
            QVERIFY2(failure.description().contains(name), qPrintable(failure.description()));
        }
        QCOMPARE(FileLock::stateOf(name) == FileLock::State::Held, planted == "held");
    }

    void forceDeleteFileReportsWhatItCannotDelete()
    {
        QVERIFY_THROWS_EXCEPTION(Failure, ForceDeleteFile(mDir.filePath(QStringLiteral("absent"))));
        QVERIFY_THROWS_EXCEPTION(Failure, ForceDeleteFile(mDir.path()));
    }

    void writeBytesToFileWritesExactlyTheBlock()
    {
        const QString path = mDir.filePath(QStringLiteral("three.bin"));
        WriteBytesToFile(QByteArray("\x00\x01\x02", 3), path);
        QCOMPARE(readFile(path), QByteArray("\x00\x01\x02", 3));
    }

    void writeBytesToFileNeverShortensAFile()
    {
        const QString path = mDir.filePath(QStringLiteral("longer.bin"));
        QVERIFY(writeFile(path, "abcdef"));
        WriteBytesToFile("XY", path);
        QCOMPARE(readFile(path), QByteArray("XYcdef"));
    }

    void writeBytesToFileRefusesToFollowALink()
    {
        const QString target = mDir.filePath(QStringLiteral("elsewhere.txt"));
        const QString link = mDir.filePath(QStringLiteral("template.dot"));
        QVERIFY(writeFile(target, "precious"));
        QVERIFY(QFile::link(target, link));
        QVERIFY_THROWS_EXCEPTION(Failure, WriteBytesToFile("planted", link));
        QCOMPARE(readFile(target), QByteArray("precious"));
    }

    void writeBytesToFileFailsInAMissingFolder()
    {
        try {
            WriteBytesToFile("x", mDir.filePath(QStringLiteral("missing/template.dot")));
            QFAIL("the write should have failed");
        } catch (const Failure &failure) {
            QVERIFY(failure.description().contains(QStringLiteral("missing/template.dot")));
        }
    }

    void clipboardWithoutAPictureGivesNothing()
    {
        QGuiApplication::clipboard()->setText(QStringLiteral("just words"));
        QVERIFY(GetClipboardPicture(0).isNull());
    }

    void clipboardWithAPictureGivesIt()
    {
        QImage picture(40, 20, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        QGuiApplication::clipboard()->setImage(picture);
        const QImage read = GetClipboardPicture(0);
        QCOMPARE(read.size(), QSize(40, 20));
        QCOMPARE(read.pixelColor(5, 5), QColor(Qt::blue));
    }

    void pictureKeepsItsPixelRatioThroughAFileOfAnyName()
    {
        QImage picture(200, 100, QImage::Format_RGB32);
        picture.fill(Qt::white);
        picture.setDevicePixelRatio(2);
        const QString path = mDir.filePath(QStringLiteral("temp.bmp"));
        savePicture(picture, path);
        const QImage read = loadPicture(path);
        QCOMPARE(read.size(), QSize(200, 100));
        QCOMPARE(read.devicePixelRatio(), 2.0);
    }

    void pictureFailuresNameTheFile()
    {
        QVERIFY_THROWS_EXCEPTION(Failure, loadPicture(mDir.filePath(QStringLiteral("temp.bmp"))));
        QVERIFY(writeFile(mDir.filePath(QStringLiteral("temp.bmp")), "not a picture"));
        QVERIFY_THROWS_EXCEPTION(Failure, loadPicture(mDir.filePath(QStringLiteral("temp.bmp"))));
        QVERIFY_THROWS_EXCEPTION(
            Failure, savePicture(QImage(), mDir.filePath(QStringLiteral("x.bmp"))));
    }

    void temporaryFolderIsTempWhenSet()
    {
        qputenv("TEMP", mDir.path().toLocal8Bit());
        QCOMPARE(temporaryPath(QStringLiteral("template.dot")),
            mDir.filePath(QStringLiteral("template.dot")));
    }

    void temporaryFolderWithoutTempIsPrivateToTheUser()
    {
        const QByteArray saved = qgetenv("TEMP");
        qunsetenv("TEMP");
        const QString folder = temporaryFolder();
        qputenv("TEMP", saved);

        QVERIFY(folder.startsWith(qEnvironmentVariable("XDG_CACHE_HOME")));
        struct stat status
        {
        };
        QCOMPARE(::lstat(QFile::encodeName(folder).constData(), &status), 0);
        QVERIFY(S_ISDIR(status.st_mode));
        QCOMPARE(status.st_mode & 0777, 0700u);
    }

private:
    std::optional<QTemporaryDir> mTemporary;
    QDir mDir;
};

QTEST_MAIN(FileUtilsTest)
#include "tst_fileutils.moc"

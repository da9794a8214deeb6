#include "Failure.h"
#include "FailureOf.h"
#include "FileUtils.h"
#include "SmallFileSystem.h"
#include "TestFiles.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
mode_t modeOf(const QString &path)
{
    struct stat status
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode : 0;
}
} // namespace

// The one routine that replaces a file, against what may stand at its destination.
class FileReplacementTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(renewFolder(mTemporary, mDir));
        QVERIFY(writeFile(precious(), "precious"));
    }

    void cleanup()
    {
        // Whatever happened, no part file is left beside the destination.
        const QStringList parts = mDir.entryList({ "*.part" }, QDir::AllEntries | QDir::Hidden);
        QVERIFY2(parts.isEmpty(), qPrintable(parts.join(' ')));
        QCOMPARE(readFile(precious()), QByteArray("precious"));
    }

    void replacesWithoutWritingThroughALink_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("nothing there") << "absent";
        QTest::newRow("plain file") << "file";
        QTest::newRow("symbolic link") << "symlink";
        QTest::newRow("dangling link") << "dangling";
        QTest::newRow("hard link") << "hardlink";
        QTest::newRow("link at the old part name") << "part";
    }

    void replacesWithoutWritingThroughALink()
    {
        QFETCH(QString, kind);
        const QString out = mDir.filePath("memo.doc");
        if (kind == "file")
            QVERIFY(writeFile(out, "an older memo, longer than the new one"));
        else if (kind == "symlink")
            QVERIFY(QFile::link(precious(), out));
        else if (kind == "dangling")
            QVERIFY(QFile::link(mDir.filePath("nowhere"), out));
        else if (kind == "hardlink")
            QCOMPARE(::link(QFile::encodeName(precious()).constData(),
                         QFile::encodeName(out).constData()),
                0);
        else if (kind == "part")
            QVERIFY(QFile::link(precious(), mDir.filePath(".memo.doc.part")));

        replaceFile(out, "new memo");
        QCOMPARE(readFile(out), QByteArray("new memo"));
        QVERIFY(S_ISREG(modeOf(out)));
        if (kind == "part")
            QVERIFY(QFile::remove(mDir.filePath(".memo.doc.part")));
    }

    void refusesWhatIsNoPlainFile_data()
    {
        addThingsInTheWay();
        QTest::newRow("socket") << QStringLiteral("socket")
                                << QStringLiteral("is not a plain file");
    }

    void refusesWhatIsNoPlainFile()
    {
        QFETCH(QString, kind);
        QFETCH(QString, complaint);
        const QString out = mDir.filePath("memo.doc");
        const QByteArray name = QFile::encodeName(out);
        int socketHandle = -1;
        if (kind == "socket") {
            socketHandle = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address {};
            address.sun_family = AF_UNIX;
            qstrncpy(address.sun_path, name.constData(), sizeof address.sun_path);
            QCOMPARE(
                ::bind(socketHandle, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        } else {
            QVERIFY(makeInTheWay(out, kind));
        }
        const mode_t before = modeOf(out);

        const QString message = failureOf([&] { replaceFile(out, "new memo"); });
        if (socketHandle >= 0)
            ::close(socketHandle);
        QVERIFY2(message.contains(complaint), qPrintable(message));
        QVERIFY2(message.contains(out), qPrintable(message));
        QCOMPARE(modeOf(out), before);
        if (kind == "readonly")
            QCOMPARE(readFile(out), QByteArray("kept"));
    }

    void aConfirmedReadOnlyFileIsReplacedAndStaysReadOnly()
    {
        const QString out = mDir.filePath("memo.doc");
        QVERIFY(writeFile(out, "kept"));
        QCOMPARE(::chmod(QFile::encodeName(out).constData(), 0444), 0);
        replaceFile(out, "new memo", ReadOnlyFile::Replace);
        QCOMPARE(readFile(out), QByteArray("new memo"));
        QCOMPARE(modeOf(out) & 07777, mode_t(0444));
    }

    void aReplacedFileKeepsItsPermissions()
    {
        const QString out = mDir.filePath("memo.doc");
        QVERIFY(writeFile(out, "old"));
        QCOMPARE(::chmod(QFile::encodeName(out).constData(), 0640), 0);
        replaceFile(out, "new memo");
        QCOMPARE(modeOf(out) & 07777, mode_t(0640));
    }

    void aNameAsLongAsTheFileSystemAllows()
    {
        const QString out = mDir.filePath(QString(251, 'n') + ".doc");
        replaceFile(out, "new memo");
        QCOMPARE(readFile(out), QByteArray("new memo"));
    }

    void aFullDiskIsSaidInTheUsersWordsAndLeavesTheOldFile()
    {
        const SmallFileSystem small(mDir.filePath("small"));
        if (small.unavailable())
            QSKIP(small.unavailable());
        const QString mountPoint = small.path();

        const QString out = mountPoint + "/memo-150.doc";
        QVERIFY(writeFile(out, "old memo"));
        const QString message = failureOf([&] { replaceFile(out, QByteArray(256 * 1024, 'x')); });
        QCOMPARE(message, "No space left on device while writing " + out);
        QCOMPARE(readFile(out), QByteArray("old memo"));
        QCOMPARE(QDir(mountPoint).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList({ "memo-150.doc" }));
    }

private:
    QString precious() const { return mDir.filePath("precious"); }

    std::optional<QTemporaryDir> mTemporary;
    QDir mDir;
};

QTEST_MAIN(FileReplacementTest)
#include "tst_filereplacement.moc"

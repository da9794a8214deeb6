#include "CommandLine.h"
#include "CommandLineSetUp.h"
#include "ScriptedWordProcessor.h"
#include "SettingText.h"
#include "SettingsStore.h"
#include "SmallFileSystem.h"
#include "TestFiles.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <optional>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// The command line against what an adversary or a failing system puts in its way.
class CommandLineFaultsTest : public QObject, private CommandLineSetUp
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(renewSetUp());
        mWord.picture = QImage(20, 30, QImage::Format_RGB32);
        mWord.picture.fill(Qt::white);
        mErrors.clear();
        QVERIFY(writeFile(precious(), "precious"));
    }

    void cleanup()
    {
        QCOMPARE(readFile(precious()), QByteArray("precious"));
        QCOMPARE(mWord.sessionsAlive, 0);
        const QStringList parts = mDir.entryList({ "*.part" }, QDir::AllEntries | QDir::Hidden);
        QVERIFY2(parts.filter("scrivane").isEmpty(), qPrintable(parts.join(' ')));
    }

    void aPlantedLinkIsNeverWrittenThrough_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("written");
        QTest::newRow("at the memo's old part name")
            << QStringList { "--out", "memo.doc" } << ".memo.doc.part"
            << "memo.doc";
        QTest::newRow("at the memo") << QStringList { "--out", "memo.doc" } << "memo.doc"
                                     << "memo.doc";
        QTest::newRow("at the picture")
            << QStringList { "--out", "memo.doc", "--picture", "memo.png" } << "memo.png"
            << "memo.png";
        QTest::newRow("at a batch memo's old part name")
            << QStringList { "--batch", "memos.json", "--out-dir", "." } << ".memo-001.doc.part"
            << "memo-001.doc";
    }

    void aPlantedLinkIsNeverWrittenThrough()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, link);
        QFETCH(QString, written);
        QVERIFY(writeFile(mDir.filePath("memos.json"), "[{}]"));
        QVERIFY(QFile::link(precious(), mDir.filePath(link)));
        QCOMPARE(run(arguments), 0);
        const QFileInfo result(mDir.filePath(written));
        QVERIFY(result.isFile() && !result.isSymLink());
        QVERIFY(result.size() > 0);
        QFile::remove(mDir.filePath(link));
    }

    void aDestinationThatIsNoPlainFileIsRefused_data() { addThingsInTheWay(); }

    void aDestinationThatIsNoPlainFileIsRefused()
    {
        QFETCH(QString, kind);
        QFETCH(QString, complaint);
        const QString out = mDir.filePath("memo.doc");
        QVERIFY(makeInTheWay(out, kind));
        QCOMPARE(run({ "--out", "memo.doc" }), 1);
        QVERIFY2(mErrors.contains(complaint), qPrintable(mErrors));
        if (kind == "readonly") {
            QCOMPARE(readFile(out), QByteArray("kept"));
            struct stat status
            {
            };
            QCOMPARE(::stat(QFile::encodeName(out).constData(), &status), 0);
            QCOMPARE(status.st_mode & 07777, mode_t(0444));
        }
    }

    void controlCharactersAreDroppedWithOneWarningPerMemo()
    {
        QVERIFY(writeFile(mDir.filePath("memos.json"),
            R"([{"to": "Vo\u0000zi\u0001zidi", "message": "a\u000bb\ud800"}, {"re": "clean\tand\r\nfine \ud83d\ude00"}])"));
        QCOMPARE(run({ "--batch", "memos.json", "--out-dir", ".", "--cc", "To\u001fbin" }), 0);
        const QStringList warnings = mErrors.split('\n').filter("warning");
        QCOMPARE(warnings.size(), 2);
        QVERIFY2(warnings[0].contains("memo-001.doc") && warnings[0].contains("to, cc and message"),
            qPrintable(warnings[0]));
        QVERIFY2(warnings[1].contains("memo-002.doc") && warnings[1].endsWith("out of cc"),
            qPrintable(warnings[1]));
        QVERIFY(mErrors.contains("2 of 2 memos written"));
    }

    void anUnreadableStoreIsAWarning()
    {
        QVERIFY(mDir.mkdir("Tarnwick.conf"));
        QCOMPARE(run({ "--out", "memo.doc", "--to", "Given" }), 0);
        QVERIFY2(mErrors.contains("warning: The stored memo details in " + mStore->fileName()
                     + " cannot be read (it is a folder)."),
            qPrintable(mErrors));
        QVERIFY(mWord.calls.contains("setBookmarkText bkTo=Given"));
    }

    void aStoredDateOutsideTheWindowsRangeIsNotUsed()
    {
        mStore->SaveSetting("dtpEventDate", dateToSettingText(QDate(1, 1, 1)));
        QCOMPARE(run({ "--out", "memo.doc" }), 0);
        QVERIFY2(mErrors.contains("lies outside 1601 to 9999; using today"), qPrintable(mErrors));
    }

    void oneDashOptionsAreTheCommandLines()
    {
        QVERIFY(CommandLine::isRequested({ "scrivane", "-generate" }));
        QVERIFY(CommandLine::isRequested({ "scrivane", "-out", "x.doc" }));
        QVERIFY(!CommandLine::isRequested({ "scrivane", "-style", "fusion" }));
        QVERIFY(!CommandLine::isRequested({ "scrivane", "-platform", "xcb" }));
        QCOMPARE(run({ "-out", "memo.doc" }), 0);
        QVERIFY(QFile::exists(mDir.filePath("memo.doc")));
    }

    void withoutADisplayOneDashOptionsGetTheUsage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said");
        QTest::newRow("-help") << QStringList { "-help" } << 0 << "Usage:";
        QTest::newRow("-generate") << QStringList { "-generate" } << 2 << "either --out or --batch";
        QTest::newRow("-unknown") << QStringList { "-unknown" } << 2 << "Try 'scrivane --help'";
    }

    void withoutADisplayOneDashOptionsGetTheUsage()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, said);
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
            environment.remove(name);
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(SCRIVANE_PROGRAM, arguments);
        QVERIFY(program.waitForFinished(60000));
        const QString output = QString::fromLocal8Bit(program.readAll());
        QCOMPARE(program.exitCode(), status);
        QVERIFY2(output.contains(said), qPrintable(output));
    }

    void aSecondBatchIntoTheSameFolderIsRefused()
    {
        QVERIFY(writeFile(mDir.filePath("memos.json"), "[{}]"));
        QVERIFY(mDir.mkdir("out"));
        // What a batch under way holds on its folder.
        const int held = ::open(QFile::encodeName(mDir.filePath("out")).constData(), O_RDONLY);
        QCOMPARE(::flock(held, LOCK_EX | LOCK_NB), 0);
        const int status = run({ "--batch", "memos.json", "--out-dir", "out" });
        ::close(held);
        QCOMPARE(status, 1);
        QVERIFY2(mErrors.contains("another Scrivane batch is writing into"), qPrintable(mErrors));
        QCOMPARE(QDir(mDir.filePath("out")).entryList(QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(run({ "--batch", "memos.json", "--out-dir", "out" }), 0);
    }

    void aFolderThatCannotBeLockedRefusesTheBatch()
    {
        if (::geteuid() == 0)
            QSKIP("root opens a folder it may only write into");
        QVERIFY(writeFile(mDir.filePath("memos.json"), "[{}]"));
        QVERIFY(mDir.mkdir("out"));
        QCOMPARE(::chmod(QFile::encodeName(mDir.filePath("out")).constData(), 0300), 0);
        QCOMPARE(run({ "--batch", "memos.json", "--out-dir", "out" }), 1);
        QVERIFY2(mErrors.contains("cannot be locked against a second batch"), qPrintable(mErrors));
        QCOMPARE(mWord.sessionsCreated, 0);
    }

    // Endless or oversized input is refused before it is read, and the usage is wrong.
    void aBatchFileThatIsNoPlainFileOrTooLargeIsRefused_data()
    {
        QTest::addColumn<QString>("batch");
        QTest::addColumn<QString>("said");
        QTest::newRow("endless device") << "/dev/zero"
                                        << "is not a plain file";
        QTest::newRow("pipe") << "pipe"
                              << "is not a plain file";
        QTest::newRow("folder") << "."
                                << "is not a plain file";
        QTest::newRow("larger than 512 MiB") << "huge.json"
                                             << "is larger than 512 MiB";
    }

    void aBatchFileThatIsNoPlainFileOrTooLargeIsRefused()
    {
        QFETCH(QString, batch);
        QFETCH(QString, said);
        QCOMPARE(::mkfifo(QFile::encodeName(mDir.filePath("pipe")).constData(), 0600), 0);
        {
            // Sparse: it takes no room on the disk.
            QFile huge(mDir.filePath("huge.json"));
            QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(513LL * 1024 * 1024));
        }
        QCOMPARE(run({ "--batch", batch, "--out-dir", "out" }), 2);
        QVERIFY2(mErrors.contains(said), qPrintable(mErrors));
        QCOMPARE(mWord.sessionsCreated, 0);
    }

    // Bytes that are no UTF-8 in a name are kept as they are, so no two names share a file.
    void aNameThatIsNoTextKeepsItsBytes_data()
    {
        QTest::addColumn<QList<QByteArray>>("commands");
        QTest::addColumn<QByteArray>("link");
        QTest::addColumn<int>("status");
        QTest::addColumn<QList<QByteArray>>("written");
        QTest::addColumn<QString>("shown");
        const QByteArray batch = "--batch memos.json --out-dir ";
        QTest::newRow("two --out names one byte apart")
            << QList<QByteArray> { "--out a\x80.doc", "--out a\x81.doc" } << QByteArray() << 0
            << QList<QByteArray> { "a\x80.doc", "a\x81.doc" } << QString();
        QTest::newRow("--out-dir, two memos")
            << QList<QByteArray> { batch + "\xff\x80/new" } << QByteArray() << 0
            << QList<QByteArray> { "\xff\x80/new/memo-001.doc", "\xff\x80/new/memo-002.doc" }
            << QString();
        QTest::newRow("--json") << QList<QByteArray> { "--json --out caf\xe9.doc" } << QByteArray()
                                << 0 << QList<QByteArray> { "caf\xe9.doc" }
                                << QStringLiteral("caf\\xe9.doc");
        QTest::newRow("--picture, a link planted")
            << QList<QByteArray> { "--out m.doc --picture \xc3.png" } << QByteArray("\xc3.png") << 0
            << QList<QByteArray> { "m.doc", "\xc3.png" } << QString();
        QTest::newRow("--out, UTF-8")
            << QList<QByteArray> { "--out caf\xc3\xa9.doc" } << QByteArray() << 0
            << QList<QByteArray> { "caf\xc3\xa9.doc" } << QString();
        QTest::newRow("--out, missing folder")
            << QList<QByteArray> { "--out \x80/m.doc" } << QByteArray() << 1 << QList<QByteArray> {}
            << QStringLiteral("\\x80 does not exist");
        // JSON text has no bytes, only a surrogate that no name can hold.
        QTest::newRow("batch member") << QList<QByteArray> { batch + "." } << QByteArray() << 1
                                      << QList<QByteArray> { "memo-001.doc" }
                                      << QStringLiteral("surrogate without its partner");
    }

    void aNameThatIsNoTextKeepsItsBytes()
    {
        QFETCH(QList<QByteArray>, commands);
        QFETCH(QByteArray, link);
        QFETCH(int, status);
        QFETCH(QList<QByteArray>, written);
        QFETCH(QString, shown);
        const QByteArray folder = QFile::encodeName(mDir.path()) + '/';
        QVERIFY(writeFile(mDir.filePath("memos.json"), "[{}, {\"file\": \"\\udc80.doc\"}]"));
        if (status == 0)
            QVERIFY(writeFile(mDir.filePath("memos.json"), "[{}, {}]"));
        if (!link.isEmpty())
            QVERIFY(::symlink("precious", (folder + link).constData()) == 0);
        for (const QByteArray &command : commands) {
            QStringList arguments;
            for (const QByteArray &argument : command.split(' '))
                arguments << CommandLine::argumentText(argument.constData());
            QCOMPARE(run(arguments), status);
        }
        for (const QByteArray &name : written) {
            struct stat info
            {
            };
            QVERIFY2(::lstat((folder + name).constData(), &info) == 0 && S_ISREG(info.st_mode),
                name.constData());
        }
        // Named on standard error, or in the JSON, with each such byte as "\x80".
        if (status == 0)
            QVERIFY2(!mErrors.contains("failed"), qPrintable(mErrors));
        if (!commands.first().startsWith("--json"))
            QVERIFY2(mErrors.contains(shown), qPrintable(mErrors));
        else {
            QJsonParseError error {};
            const QJsonDocument json = QJsonDocument::fromJson(mOutput.toUtf8(), &error);
            QCOMPARE(error.error, QJsonParseError::NoError);
            QCOMPARE(json.object().value("file").toString(), shown);
        }
    }

    void aNameAsLongAsTheFileSystemAllows()
    {
        const QString name = QString(251, 'n') + ".doc";
        QCOMPARE(run({ "--out", name }), 0);
        QVERIFY(QFile::exists(mDir.filePath(name)));
    }

    void aFullDiskFailsEachMemoInTheUsersWordsWithOneSession()
    {
        const SmallFileSystem full(mDir.filePath("full"));
        if (full.unavailable())
            QSKIP(full.unavailable());
        QVERIFY(full.fill());
        QVERIFY(writeFile(mDir.filePath("memos.json"), "[{}, {}, {}]"));

        QCOMPARE(run({ "--batch", "memos.json", "--out-dir", "full" }), 1);
        QVERIFY2(mErrors.contains("No space left on device while writing full/memo-003.doc"),
            qPrintable(mErrors));
        QVERIFY(mErrors.contains("0 of 3 memos written, 3 failed"));
        QCOMPARE(mWord.sessionsCreated, 1);
        QCOMPARE(QDir(mDir.filePath("full"))
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList({ "filler" }));
    }

    // An office saving onto a full temporary folder stops answering; the memo fails
    // at once in the user's words instead.
    void aNearlyFullTemporaryFolderIsNamedAsSuch()
    {
        if (::geteuid() != 0)
            QSKIP("a small file system is made as a tmpfs, which needs root");
        QVERIFY(mDir.mkdir("temp"));
        const QByteArray point = QFile::encodeName(mDir.filePath("temp"));
        if (::mount("scrivane-test", point.constData(), "tmpfs", 0, "size=1m") != 0)
            QSKIP("no tmpfs could be mounted here (a container without that right)");
        const auto unmount = qScopeGuard([&] { ::umount2(point.constData(), MNT_DETACH); });
        const QByteArray temporary = qgetenv("TEMP");
        const auto restore = qScopeGuard([&] { qputenv("TEMP", temporary); });
        qputenv("TEMP", point);

        QCOMPARE(run({ "--out", "memo.doc" }), 1);
        QVERIFY2(mErrors.contains("No space left on device while writing " + mDir.filePath("temp")),
            qPrintable(mErrors));
        QVERIFY(!QFile::exists(mDir.filePath("memo.doc")));
    }

private:
    QString precious() const { return mDir.filePath("precious"); }

    int run(const QStringList &arguments)
    {
        mOutput.clear();
        QTextStream out(&mOutput), errors(&mErrors);
        const QString current = QDir::currentPath();
        QDir::setCurrent(mDir.path());
        // One job: the scripted word processor is not for several threads.
        QStringList all = QStringList { "scrivane", "--generate" } + arguments;
        if (arguments.contains("--batch"))
            all << "--jobs"
                << "1";
        const int status = CommandLine::run(all, mWord, *mStore, out, errors);
        QDir::setCurrent(current);
        return status;
    }

    QString mErrors;
    QString mOutput;
};

QTEST_MAIN(CommandLineFaultsTest)
#include "tst_commandlinefaults.moc"

#include "Catdoc.h"
#include "Failure.h"
#include "FailureOf.h"
#include "LibreOfficeProcessor.h"
#include "TestFiles.h"
#include "TestOffice.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUrl>

#include <QScopeGuard>

#include <csignal>
#include <memory>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {
const QString kFixtures = QStringLiteral(SCRIVANE_FIXTURES);

OfficeSession &office(const std::unique_ptr<WordSession> &session)
{
    return dynamic_cast<OfficeSession &>(*session);
}

// Waits until the orphaned office, now ours, has ended, and reaps it.
bool reapedWithin(qint64 pid, std::chrono::milliseconds time)
{
    QDeadlineTimer deadline(time);
    for (;;) {
        // __WALL: Qt starts children that signal their end through a pidfd only.
        const pid_t reaped = ::waitpid(pid_t(pid), nullptr, WNOHANG | __WALL);
        if (reaped == pid_t(pid) || (reaped < 0 && !TestOffice::isRunning(pid)))
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
}

// A script that stands in for soffice.bin.
bool writeExecutable(const QString &path, const QByteArray &script)
{
    return writeFile(path, script)
        && QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
} // namespace

class LibreOfficeProcessesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void endsItsOfficeWhenDone_data();
    void endsItsOfficeWhenDone();
    void killedOfficeFailsEveryLaterCall();
    void hungOfficeIsEndedAtTheTimeout();
    void aMemoTooLongForTheTimeIsCalledSo();
    void sessionsAtOnceUseTheirOwnProfilesAndOffices();
    void aQuitOfficeIsTheNextSessionsSpare();
    void aSpareKilledOrFrozenWhileIdleIsReplacedSilently_data();
    void aSpareKilledOrFrozenWhileIdleIsReplacedSilently();
    void theSpareEndsWithTheProcessor();
    void leavesTheUsersOwnOfficeAlone();
    void startsInAFreshProfileRoot();
    void setsADamagedProfileAside();
    void missingProgramFailsNamingIt_data();
    void missingProgramFailsNamingIt();
    void officeThatNeverAnswersIsEnded();
    void officeThatEndsAtStartFailsWithItsWords_data();
    void officeThatEndsAtStartFailsWithItsWords();
    void officeLivesOnWhenItsCreatingThreadEnds();
    void officeDiesWithTheProgram();

private:
    LibreOfficeProcessor::Settings settings(const QString &profileRoot = {}) const;

    QTemporaryDir mFolder;
};

void LibreOfficeProcessesTest::initTestCase()
{
    QVERIFY(mFolder.isValid());
}

void LibreOfficeProcessesTest::cleanup()
{
    QCOMPARE(TestOffice::childOffices(), QList<qint64>());
    // Nor the pipes of our offices, killed ones included.
    const QString pipes = QStringLiteral("OSL_PIPE_%1_scrivane-%2-*")
                              .arg(::getuid())
                              .arg(QCoreApplication::applicationPid());
    QCOMPARE(QDir(QStringLiteral("/tmp")).entryList({ pipes }, QDir::System), QStringList());
}

LibreOfficeProcessor::Settings LibreOfficeProcessesTest::settings(const QString &profileRoot) const
{
    LibreOfficeProcessor::Settings settings = LibreOfficeProcessor::defaultSettings();
    settings.profileRoot
        = profileRoot.isEmpty() ? mFolder.filePath(QStringLiteral("profiles")) : profileRoot;
    settings.callTimeout = 20s;
    settings.connectTimeout = 30s;
    return settings;
}

void LibreOfficeProcessesTest::endsItsOfficeWhenDone_data()
{
    QTest::addColumn<bool>("quit");
    QTest::newRow("quit") << true;
    QTest::newRow("destroyed without quit") << false;
}

void LibreOfficeProcessesTest::endsItsOfficeWhenDone()
{
    QFETCH(bool, quit);
    LibreOfficeProcessor processor(settings());
    std::unique_ptr<WordSession> session = processor.create();
    const qint64 pid = office(session).processId();
    QVERIFY(TestOffice::isRunning(pid));
    QCOMPARE(TestOffice::childOffices(), QList<qint64>({ pid }));
    session->open(kFixtures + QStringLiteral("/memo.fodt"), true);

    if (quit) {
        session->quit();
        QVERIFY(!TestOffice::isRunning(pid));
        const QString after = failureOf([&] { session->close(); });
        QVERIFY2(after.contains(QStringLiteral("already been quit")), qPrintable(after));
        session->quit();
    }
    session.reset();
    QVERIFY(!TestOffice::isRunning(pid));

    // The profile is free again for the next session.
    session = processor.create();
    QVERIFY(office(session).profileFolder().endsWith(QStringLiteral("/profile-0")));
    session->quit();
}

void LibreOfficeProcessesTest::killedOfficeFailsEveryLaterCall()
{
    // One document is open in the user's own office, another one in ours.
    QTemporaryDir documents;
    const QString users = documents.filePath(QStringLiteral("users.fodt"));
    const QString mine = documents.filePath(QStringLiteral("mine.fodt"));
    QVERIFY(QFile::copy(kFixtures + QStringLiteral("/memo.fodt"), users));
    QVERIFY(QFile::copy(kFixtures + QStringLiteral("/memo.fodt"), mine));
    const QByteArray usersLock
        = ",someone,desk,08.12.2026 09:00,file:///home/someone/.config/libreoffice/4;";
    QFile lock(documents.filePath(QStringLiteral(".~lock.users.fodt#")));
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write(usersLock);
    lock.close();

    std::unique_ptr<WordSession> session = LibreOfficeProcessor(settings()).create();
    const qint64 pid = office(session).processId();
    session->open(users, false);
    session->open(mine, false);
    QVERIFY(QFile::exists(documents.filePath(QStringLiteral(".~lock.mine.fodt#"))));
    QCOMPARE(::kill(pid_t(pid), SIGKILL), 0);

    const QString memo = kFixtures + QStringLiteral("/memo.fodt");
    const QString first = failureOf([&] { session->open(memo, true); });
    QVERIFY2(first.contains(QStringLiteral("open \"%1\"").arg(memo)), qPrintable(first));
    QVERIFY2(
        first.contains(QStringLiteral("the word processor ended unexpectedly")), qPrintable(first));
    const QString later
        = failureOf([&] { session->setBookmarkText(QStringLiteral("bkTo"), QStringLiteral("x")); });
    QVERIFY2(
        later.contains(QStringLiteral("the word processor ended unexpectedly")), qPrintable(later));
    QVERIFY(later.contains(QStringLiteral("\"bkTo\"")));
    const QString quit = failureOf([&] { session->quit(); });
    QVERIFY2(
        quit.contains(QStringLiteral("the word processor ended unexpectedly")), qPrintable(quit));
    QVERIFY(!TestOffice::isRunning(pid));

    // Our office's lock file is gone; the user's is not ours to touch.
    QCOMPARE(QDir(documents.path()).entryList(QDir::Files | QDir::Hidden),
        QStringList({ QStringLiteral(".~lock.users.fodt#"), QStringLiteral("mine.fodt"),
            QStringLiteral("users.fodt") }));
    QVERIFY(lock.open(QIODevice::ReadOnly));
    QCOMPARE(lock.readAll(), usersLock);
}

void LibreOfficeProcessesTest::hungOfficeIsEndedAtTheTimeout()
{
    LibreOfficeProcessor::Settings hurried = settings();
    hurried.callTimeout = 2s;
    std::unique_ptr<WordSession> session = LibreOfficeProcessor(hurried).create();
    const qint64 pid = office(session).processId();
    QTemporaryDir documents;
    const QString opened = documents.filePath(QStringLiteral("memo.fodt"));
    QVERIFY(QFile::copy(kFixtures + QStringLiteral("/memo.fodt"), opened));
    session->open(opened, false);
    QCOMPARE(::kill(pid_t(pid), SIGSTOP), 0);

    const QString saved = mFolder.filePath(QStringLiteral("hung.doc"));
    const QString failure = failureOf([&] { session->saveAs(saved); });
    QVERIFY2(failure.contains(QStringLiteral("save the document as \"%1\"").arg(saved)),
        qPrintable(failure));
    QVERIFY2(failure.contains(QStringLiteral("did not answer within 2 seconds and was ended")),
        qPrintable(failure));
    QVERIFY(!TestOffice::isRunning(pid));

    const QString later = failureOf([&] { session->close(); });
    QVERIFY2(later.contains(QStringLiteral("did not answer within 2 seconds and was ended")),
        qPrintable(later));
    session.reset();
    QVERIFY(!QFile::exists(saved));
    // Nothing of the ended office is left beside the document.
    QCOMPARE(QDir(documents.path()).entryList(QDir::Files | QDir::Hidden),
        QStringList({ QStringLiteral("memo.fodt") }));
}

void LibreOfficeProcessesTest::aMemoTooLongForTheTimeIsCalledSo()
{
    LibreOfficeProcessor::Settings hurried = settings();
    hurried.callTimeout = 2s;
    std::unique_ptr<WordSession> session = LibreOfficeProcessor(hurried).create();
    session->open(kFixtures + QStringLiteral("/memo.fodt"), true);
    // Stopped, the office takes as long as a slow one with a huge message would.
    QCOMPARE(::kill(pid_t(office(session).processId()), SIGSTOP), 0);
    const QString failure = failureOf(
        [&] { session->setBookmarkText(QStringLiteral("bkMsg"), QString(1'000'000, u'm')); });
    QVERIFY2(failure.startsWith(QStringLiteral("The memo is too long for the word processor: its "
                                               "1,000,000 characters could not be written within 2 "
                                               "seconds")),
        qPrintable(failure));
    QVERIFY2(!failure.contains(QStringLiteral("bkMsg")), qPrintable(failure));
}

void LibreOfficeProcessesTest::sessionsAtOnceUseTheirOwnProfilesAndOffices()
{
    LibreOfficeProcessor processor(settings());
    std::unique_ptr<WordSession> first = processor.create();
    std::unique_ptr<WordSession> second = processor.create();
    QVERIFY(office(first).processId() != office(second).processId());
    QVERIFY(office(first).profileFolder() != office(second).profileFolder());

    const QString memo = kFixtures + QStringLiteral("/memo.fodt");
    first->open(memo, true);
    second->open(memo, true);
    first->setBookmarkText(QStringLiteral("bkTo"), QStringLiteral("First"));
    second->setBookmarkText(QStringLiteral("bkTo"), QStringLiteral("Second"));
    first->saveAs(mFolder.filePath(QStringLiteral("first.doc")));
    second->saveAs(mFolder.filePath(QStringLiteral("second.doc")));
    first->quit();
    // One office ending leaves the other at work.
    second->setBookmarkText(QStringLiteral("bkFrom"), QStringLiteral("Still here"));
    second->quit();

    QVERIFY(
        catdoc(mFolder.filePath(QStringLiteral("first.doc"))).contains(QStringLiteral("First")));
    QVERIFY(
        catdoc(mFolder.filePath(QStringLiteral("second.doc"))).contains(QStringLiteral("Second")));
}

void LibreOfficeProcessesTest::aQuitOfficeIsTheNextSessionsSpare()
{
    LibreOfficeProcessor processor(settings());
    std::unique_ptr<WordSession> first = processor.create();
    const qint64 pid = office(first).processId();
    first->open(kFixtures + QStringLiteral("/memo.fodt"), true);
    first->close();
    first->quit();
    QCOMPARE(TestOffice::childOffices(), QList<qint64>({ pid }));
    const QString after = failureOf([&] { first->close(); });
    QVERIFY2(after.contains(QStringLiteral("already been quit")), qPrintable(after));

    // Both sessions of a run share the one office: nothing starts.
    std::unique_ptr<WordSession> second = processor.create();
    QCOMPARE(office(second).processId(), pid);
    second->open(kFixtures + QStringLiteral("/memo.fodt"), true);
    second->setBookmarkText(QStringLiteral("bkTo"), QStringLiteral("Again"));
    second->saveAs(mFolder.filePath(QStringLiteral("again.doc")));
    second->close();
    second->quit();
    QVERIFY(
        catdoc(mFolder.filePath(QStringLiteral("again.doc"))).contains(QStringLiteral("Again")));
    QCOMPARE(TestOffice::childOffices(), QList<qint64>({ pid }));
}

void LibreOfficeProcessesTest::aSpareKilledOrFrozenWhileIdleIsReplacedSilently_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("killed") << int(SIGKILL);
    QTest::newRow("frozen") << int(SIGSTOP);
}

void LibreOfficeProcessesTest::aSpareKilledOrFrozenWhileIdleIsReplacedSilently()
{
    QFETCH(int, signal);
    LibreOfficeProcessor processor(settings());
    processor.create()->quit();
    const QList<qint64> spare = TestOffice::childOffices();
    QCOMPARE(spare.size(), 1);
    QCOMPARE(::kill(pid_t(spare[0]), signal), 0);

    std::unique_ptr<WordSession> session = processor.create();
    QVERIFY(office(session).processId() != spare[0]);
    QVERIFY(reapedWithin(spare[0], 10s));
    session->open(kFixtures + QStringLiteral("/memo.fodt"), true);
    session->setBookmarkText(QStringLiteral("bkTo"), QStringLiteral("Replaced"));
    session->close();
    session->quit();
    QCOMPARE(TestOffice::childOffices(), QList<qint64>({ office(session).processId() }));
}

void LibreOfficeProcessesTest::theSpareEndsWithTheProcessor()
{
    {
        LibreOfficeProcessor processor(settings());
        processor.create()->quit();
        QCOMPARE(TestOffice::childOffices().size(), 1);
    }
    QCOMPARE(TestOffice::childOffices(), QList<qint64>());

    // A session that outlives its processor ends its office at quit.
    std::unique_ptr<WordSession> session = LibreOfficeProcessor(settings()).create();
    const qint64 pid = office(session).processId();
    session->quit();
    QVERIFY(!TestOffice::isRunning(pid));
}

void LibreOfficeProcessesTest::leavesTheUsersOwnOfficeAlone()
{
    // The user's office: their default profile in their home, listening as they like.
    QTemporaryDir home;
    QVERIFY(home.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.remove(QStringLiteral("XDG_CONFIG_HOME"));
    const QStringList arguments { QStringLiteral("--headless"), QStringLiteral("--norestore"),
        QStringLiteral("--accept=pipe,name=users-own-office-%1;urp;")
            .arg(QCoreApplication::applicationPid()) };
    // A new default profile first asks for a restart.
    const TestOffice::Run firstStart = TestOffice::run(
        arguments + QStringList { QStringLiteral("--terminate_after_init") }, environment, 120s);
    QVERIFY2(firstStart.exitCode == 0, qPrintable(firstStart.output));
    QProcess users;
    TestOffice::prepare(users, arguments, environment);
    users.start();
    QVERIFY(users.waitForStarted());
    QVERIFY(QFileInfo::exists(home.filePath(QStringLiteral(".config/libreoffice/4/user"))));

    LibreOfficeProcessor processor(settings());
    for (int run = 0; run < 2; ++run) {
        std::unique_ptr<WordSession> session = processor.create();
        QVERIFY(office(session).processId() != users.processId());
        session->open(kFixtures + QStringLiteral("/memo.fodt"), true);
        session->setBookmarkText(
            QStringLiteral("bkTo"), QStringLiteral("Not for the user's office"));
        session->saveAs(mFolder.filePath(QStringLiteral("users.doc")));
        session->close();
        session->quit();
        QCOMPARE(users.state(), QProcess::Running);
    }
    QVERIFY(!users.waitForFinished(500));
    QCOMPARE(users.state(), QProcess::Running);

    users.terminate();
    if (!users.waitForFinished(10000)) {
        users.kill();
        users.waitForFinished();
    }
}

void LibreOfficeProcessesTest::startsInAFreshProfileRoot()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    // A link planted at the office's temporary folder is replaced, never emptied through.
    QTemporaryDir elsewhere;
    const QString precious = elsewhere.filePath(QStringLiteral("precious.txt"));
    QVERIFY(QFile(precious).open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(elsewhere.path(), root.filePath(QStringLiteral("profile-0.tmp"))));
    std::unique_ptr<WordSession> session = LibreOfficeProcessor(settings(root.path())).create();
    QCOMPARE(office(session).profileFolder(), root.filePath(QStringLiteral("profile-0")));
    QVERIFY(QFileInfo(root.filePath(QStringLiteral("profile-0/user"))).isDir());
    session->open(kFixtures + QStringLiteral("/memo.fodt"), true);
    session->quit();
    QVERIFY(QFile::exists(precious));
    QVERIFY(!QFileInfo(root.filePath(QStringLiteral("profile-0.tmp"))).isSymLink());
}

void LibreOfficeProcessesTest::setsADamagedProfileAside()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QFile garbage(root.filePath(QStringLiteral("profile-0")));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write("not a profile");
    garbage.close();

    std::unique_ptr<WordSession> session = LibreOfficeProcessor(settings(root.path())).create();
    QCOMPARE(office(session).profileFolder(), root.filePath(QStringLiteral("profile-0")));
    session->open(kFixtures + QStringLiteral("/memo.fodt"), true);
    session->quit();

    QVERIFY(QFileInfo(root.filePath(QStringLiteral("profile-0/user"))).isDir());
    const QStringList aside
        = QDir(root.path()).entryList({ QStringLiteral("profile-0.damaged-*") }, QDir::Files);
    QCOMPARE(aside.size(), 1);
    QFile kept(root.filePath(aside.first()));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("not a profile"));
}

void LibreOfficeProcessesTest::missingProgramFailsNamingIt_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("named");

    const QString missing = mFolder.filePath(QStringLiteral("no office here"));
    const QString empty = mFolder.filePath(QStringLiteral("empty program folder"));
    QDir().mkpath(empty);
    QTest::newRow("no folder") << missing << missing;
    QTest::newRow("no soffice.bin") << empty << empty + QStringLiteral("/soffice.bin");
}

void LibreOfficeProcessesTest::missingProgramFailsNamingIt()
{
    QFETCH(QString, folder);
    QFETCH(QString, named);
    LibreOfficeProcessor::Settings elsewhere = settings();
    elsewhere.programFolder = folder;
    const QString failure = failureOf([&] { LibreOfficeProcessor(elsewhere).create(); });
    QVERIFY2(failure.startsWith(QStringLiteral("The word processor could not be started: ")),
        qPrintable(failure));
    QVERIFY2(failure.contains(QLatin1Char('"') + named + QLatin1Char('"')), qPrintable(failure));
}

void LibreOfficeProcessesTest::officeThatNeverAnswersIsEnded()
{
    QTemporaryDir program;
    QVERIFY(program.isValid());
    const QString marker = program.filePath(QStringLiteral("pid"));
    QVERIFY(writeExecutable(program.filePath(QStringLiteral("soffice.bin")),
        QStringLiteral("#!/bin/sh\necho $$ > '%1'\nexec sleep 60\n").arg(marker).toUtf8()));
    LibreOfficeProcessor::Settings silent = settings();
    silent.programFolder = program.path();
    silent.connectTimeout = 1s;

    const QString failure = failureOf([&] { LibreOfficeProcessor(silent).create(); });
    QVERIFY2(failure.contains(QStringLiteral("did not answer within 1 second and was ended")),
        qPrintable(failure));
    QFile pidFile(marker);
    QVERIFY(pidFile.open(QIODevice::ReadOnly));
    const qint64 pid = pidFile.readAll().trimmed().toLongLong();
    QVERIFY(pid > 0);
    QVERIFY(!TestOffice::isRunning(pid));
}

void LibreOfficeProcessesTest::officeThatEndsAtStartFailsWithItsWords_data()
{
    QTest::addColumn<bool>("earlierProfile");
    QTest::addColumn<int>("starts");
    QTest::addColumn<int>("setAside");

    // Tried in its profile, then once in a fresh one after setting that aside.
    QTest::newRow("profile from an earlier start") << true << 2 << 1;
    // A profile made by this start is not what stops the office.
    QTest::newRow("no profile yet") << false << 1 << 0;
}

void LibreOfficeProcessesTest::officeThatEndsAtStartFailsWithItsWords()
{
    QFETCH(bool, earlierProfile);
    QFETCH(int, starts);
    QFETCH(int, setAside);
    QTemporaryDir program;
    QVERIFY(program.isValid());
    const QString count = program.filePath(QStringLiteral("starts"));
    QVERIFY(writeExecutable(program.filePath(QStringLiteral("soffice.bin")),
        QStringLiteral(
            "#!/bin/sh\necho start >> '%1'\necho 'Fatal Error: nothing works' >&2\nexit 77\n")
            .arg(count)
            .toUtf8()));
    QTemporaryDir root;
    QVERIFY(root.isValid());
    if (earlierProfile)
        QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("profile-0/user"))));
    LibreOfficeProcessor::Settings broken = settings(root.path());
    broken.programFolder = program.path();

    const QString failure = failureOf([&] { LibreOfficeProcessor(broken).create(); });
    QVERIFY2(failure.contains(QStringLiteral("exit code 77 (Fatal Error: nothing works)")),
        qPrintable(failure));
    QFile started(count);
    QVERIFY(started.open(QIODevice::ReadOnly));
    QCOMPARE(int(started.readAll().count("start")), starts);
    QCOMPARE(QDir(root.path())
                 .entryList({ QStringLiteral("profile-0.damaged-*") }, QDir::Dirs | QDir::Files)
                 .size(),
        setAside);
}

void LibreOfficeProcessesTest::officeLivesOnWhenItsCreatingThreadEnds()
{
    // The office's death signal is tied to the thread that forked it.
    LibreOfficeProcessor processor(settings());
    std::unique_ptr<WordSession> session;
    QString failure;
    std::thread creator([&] {
        try {
            session = processor.create();
        } catch (const Failure &error) {
            failure = error.description();
        }
    });
    while (!session && failure.isEmpty())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    creator.join();
    QVERIFY2(session, qPrintable(failure));
    const qint64 pid = office(session).processId();
    QThread::msleep(300);
    QVERIFY(TestOffice::isRunning(pid));
    session->open(kFixtures + QStringLiteral("/memo.fodt"), true);
    session->quit();
    QVERIFY(!TestOffice::isRunning(pid));
}

void LibreOfficeProcessesTest::officeDiesWithTheProgram()
{
    // The holder's office becomes ours when the holder dies, so that we can reap it.
    QCOMPARE(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    const auto notReaper = qScopeGuard([] { ::prctl(PR_SET_CHILD_SUBREAPER, 0); });
    QProcess holder;
    holder.setProgram(QStringLiteral(SCRIVANE_OFFICE_HOLDER));
    holder.setArguments({ mFolder.filePath(QStringLiteral("holder profiles")) });
    holder.start();
    QVERIFY(holder.waitForReadyRead(60000));
    const qint64 pid = holder.readLine().trimmed().toLongLong();
    QVERIFY2(pid > 0, holder.readAllStandardError().constData());
    QVERIFY(TestOffice::isRunning(pid));

    holder.kill();
    QVERIFY(holder.waitForFinished());
    QVERIFY(reapedWithin(pid, 10s));
}

QTEST_MAIN(LibreOfficeProcessesTest)
#include "tst_libreofficeprocesses.moc"

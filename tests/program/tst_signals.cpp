// The window, a single memo and a batch, each told to end by a signal while its
// offices run, end as they end by themselves: no office, work folder or office pipe
// of theirs is left, the window stores its style as a close does, and the command
// line dies of the signal as it always has, a batch saying how many memos it wrote.

#include "Leftovers.h"
#include "SettingsStore.h"
#include "TestFiles.h"
#include "TestOffice.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <vector>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
using namespace std::chrono_literals;

constexpr int kBatchMemos = 400;
// Two offices starting side by side on a machine shared with other builds.
constexpr auto kOfficesUp = 240s;
constexpr auto kEnded = 120s;

// Runs the program with only the environment given, its standard error into a file,
// as a terminal would: the three signals at their defaults, and dying with the test.
pid_t start(const QStringList &arguments, const QStringList &environment, const QString &errors)
{
    std::vector<QByteArray> argumentBytes { QByteArray(SCRIVANE_PROGRAM) };
    for (const QString &argument : arguments)
        argumentBytes.push_back(argument.toLocal8Bit());
    std::vector<QByteArray> environmentBytes;
    for (const QString &variable : environment)
        environmentBytes.push_back(variable.toLocal8Bit());
    std::vector<char *> argv, envp;
    for (QByteArray &bytes : argumentBytes)
        argv.push_back(bytes.data());
    for (QByteArray &bytes : environmentBytes)
        envp.push_back(bytes.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    const QByteArray errorFile = QFile::encodeName(errors);
    const pid_t parent = ::getpid();

    const pid_t child = ::fork();
    if (child != 0)
        return child;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent)
        ::_exit(127);
    for (const int signal : { SIGTERM, SIGHUP, SIGINT })
        ::signal(signal, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    const int nothing = ::open("/dev/null", O_RDWR);
    const int error = ::open(errorFile.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(nothing, 0);
    ::dup2(nothing, 1);
    ::dup2(error, 2);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
}

// The wait status once the process has ended, or -1 when it did not end in time (it
// is then killed).
int waitForEnd(pid_t pid, std::chrono::milliseconds time)
{
    QElapsedTimer timer;
    timer.start();
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (timer.elapsed() > time.count()) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        QThread::msleep(20);
    }
    return status;
}

// The sockets of the pipes the program's offices accept on.
QStringList acceptingPipes(pid_t pid)
{
    const QFileInfo pattern(officePipePath(QStringLiteral("scrivane-%1-").arg(pid)));
    QStringList pipes;
    for (const QString &name :
        QDir(pattern.path())
            .entryList({ pattern.fileName() + QLatin1Char('*') }, QDir::System | QDir::Hidden)) {
        pipes << pattern.dir().filePath(name);
    }
    return pipes;
}

// The pipes the offices keep for their profiles, of the profiles in the folder.
QStringList profilePipes(const QString &profileRoot)
{
    QStringList pipes;
    const QDir root(profileRoot);
    static const QRegularExpression profiles(QStringLiteral("^profile-\\d+$"));
    for (const QString &profile : root.entryList(QDir::Dirs).filter(profiles))
        pipes << officePipePath(profilePipeName(root.filePath(profile)));
    return pipes;
}

bool isThere(const QString &path)
{
    return QFileInfo(path).exists() || QFileInfo(path).isSymLink();
}
} // namespace

class SignalsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (TestOffice::program().isEmpty())
            QFAIL("LibreOffice (soffice.bin) is not installed");
    }

    void endsAsItEndsByItself_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<int>("signal");
        for (const char *program : { "window", "memo", "batch" }) {
            QTest::addRow("%s, SIGTERM", program) << program << SIGTERM;
            QTest::addRow("%s, SIGHUP", program) << program << SIGHUP;
            QTest::addRow("%s, SIGINT", program) << program << SIGINT;
        }
    }

    void endsAsItEndsByItself()
    {
        QFETCH(QString, program);
        QFETCH(int, signal);
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QDir dir(root.path());
        for (const char *folder : { "home", "config", "cache", "temp", "runtime", "out" })
            QVERIFY(dir.mkdir(QString::fromLatin1(folder)));
        QFile::setPermissions(dir.filePath("runtime"),
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QStringList environment { "HOME=" + dir.filePath("home"),
            "XDG_CONFIG_HOME=" + dir.filePath("config"), "XDG_CACHE_HOME=" + dir.filePath("cache"),
            "XDG_RUNTIME_DIR=" + dir.filePath("runtime"), "TEMP=" + dir.filePath("temp"),
            "PATH=" + qEnvironmentVariable("PATH"), "SCRIVANE_SERVICE=0" };
        if (!qEnvironmentVariableIsEmpty("SCRIVANE_OFFICE_PROGRAM"))
            environment << "SCRIVANE_OFFICE_PROGRAM="
                    + qEnvironmentVariable("SCRIVANE_OFFICE_PROGRAM");
        QStringList arguments;
        const QString memo = dir.filePath("out/memo.doc");
        int offices = 1;
        if (program == "window") {
            environment << "QT_QPA_PLATFORM=offscreen";
        } else if (program == "memo") {
            arguments = { "--generate", "--sample", "--out", memo };
        } else {
            QJsonArray memos;
            for (int i = 1; i <= kBatchMemos; ++i)
                memos.append(QJsonObject { { "to", QStringLiteral("Reader %1").arg(i) } });
            QVERIFY(writeFile(dir.filePath("batch.json"), QJsonDocument(memos).toJson()));
            arguments = { "--generate", "--batch", dir.filePath("batch.json"), "--out-dir",
                dir.filePath("out"), "--jobs", "2" };
            offices = 2;
        }
        const QString errors = dir.filePath("errors.txt");

        const pid_t pid = start(arguments, environment, errors);
        QVERIFY(pid > 0);
        int status = -1;
        // A failed check leaves no program running either.
        const auto reaped = qScopeGuard([&] {
            if (status == -1)
                waitForEnd(pid, 0ms);
        });
        QElapsedTimer timer;
        timer.start();
        while (acceptingPipes(pid).size() < offices) {
            if (::waitpid(pid, &status, WNOHANG) == pid)
                QFAIL(qPrintable("it ended before its offices ran: " + readFile(errors)));
            QVERIFY2(timer.elapsed() < std::chrono::milliseconds(kOfficesUp).count(),
                "its offices did not start in time");
            QThread::msleep(20);
        }
        const QString profileRoot = dir.filePath("cache/Tarnwick/Scrivane/office");
        const QStringList pipes = acceptingPipes(pid) + profilePipes(profileRoot);
        for (const QString &pipe : pipes)
            QVERIFY2(isThere(pipe), qPrintable(pipe));

        QCOMPARE(::kill(pid, signal), 0);
        status = waitForEnd(pid, kEnded);
        QVERIFY2(status != -1, "it did not end");
        const QString said = QString::fromLocal8Bit(readFile(errors));
        if (program == "window") {
            QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0, qPrintable(said));
            // A first start shows Contemporary, and only a close stores it.
            QCOMPARE(SettingsStore(dir.filePath("config/Tarnwick.conf")).GetSetting("Option1"),
                QStringLiteral("1"));
        } else {
            QVERIFY2(WIFSIGNALED(status) && WTERMSIG(status) == signal, qPrintable(said));
        }
        if (program == "memo")
            QCOMPARE(QFileInfo::exists(memo), !said.contains("was not written: Stopped by"));
        if (program == "batch") {
            const QRegularExpressionMatch told = QRegularExpression(
                QStringLiteral("\nStopped by %1: (\\d+) of %2 memos written(, \\d+ failed)?\n")
                    .arg(QLatin1String(signalName(signal)))
                    .arg(kBatchMemos))
                                                     .match(said);
            QVERIFY2(told.hasMatch(), qPrintable(said));
            const QStringList written = QDir(dir.filePath("out"))
                                            .entryList(QDir::AllEntries | QDir::Hidden
                                                | QDir::System | QDir::NoDotAndDotDot);
            QCOMPARE(written.size(), told.captured(1).toInt());
            QVERIFY(written.size() < kBatchMemos);
            QCOMPARE(written.filter(QRegularExpression("^memo-\\d{3}\\.doc$")), written);
        }

        timer.restart();
        while (!TestOffice::officesWithProfilesIn(QFile::encodeName(root.path())).isEmpty()
            && timer.elapsed() < 10000)
            QThread::msleep(20);
        QCOMPARE(
            TestOffice::officesWithProfilesIn(QFile::encodeName(root.path())), QList<qint64>());
        for (const QString &pipe : pipes)
            QVERIFY2(!isThere(pipe), qPrintable(pipe));
        QCOMPARE(acceptingPipes(pid), QStringList());
        QCOMPARE(
            QDir(dir.filePath("temp"))
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
            QStringList());
        QCOMPARE(QDir(profileRoot).entryList({ "*.tmp" }, QDir::AllEntries | QDir::Hidden),
            QStringList());
    }

private:
    static const char *signalName(int signal)
    {
        return signal == SIGTERM ? "SIGTERM" : signal == SIGHUP ? "SIGHUP" : "SIGINT";
    }
};

QTEST_GUILESS_MAIN(SignalsTest)
#include "tst_signals.moc"

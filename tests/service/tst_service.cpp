// The memo service as scripts meet it: the real program, real offices, and a service
// that is shared, killed, frozen, impersonated, refused, replaced and idle.

#include "Catdoc.h"
#include "TestFiles.h"

#include "TestOffice.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
struct Run
{
    int status = -1;
    QString errors;
};

bool waitUntil(const std::function<bool()> &condition, int milliseconds = 60000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QThread::msleep(50);
    }
    return true;
}

// A listening socket at path, 0600, as a service would make it; -1 when it cannot.
int listenAt(const QString &path)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const mode_t mask = ::umask(0177);
    const bool bound
        = ::bind(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::umask(mask);
    if (!bound || ::listen(socket, 8) != 0) {
        ::close(socket);
        return -1;
    }
    return socket;
}
} // namespace

class ServiceTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void commandsInARowShareOneServiceAndOneOffice();
    void aServiceThatFailsMidRequestCostsNothing_data();
    void aServiceThatFailsMidRequestCostsNothing();
    void aSocketNotThisUsersAloneIsRefused_data();
    void aSocketNotThisUsersAloneIsRefused();
    void aStaleSocketIsReplaced();
    void twoFirstCommandsAtOnceMakeOneService();
    void theServiceEndsWithItsOfficesWhenIdle();
    void withoutTheServiceNoneIsStarted_data();
    void withoutTheServiceNoneIsStarted();

private:
    QProcessEnvironment environment() const;
    std::unique_ptr<QProcess> start(const QStringList &arguments) const;
    Run scrivane(const QStringList &arguments) const;
    // A memo written as a script writes it: exit 0, nothing said, the document there.
    void writeMemo(const QString &name) const;
    QString status() const
    {
        return scrivane({ QStringLiteral("--service"), QStringLiteral("status") }).errors;
    }
    QList<qint64> services() const;
    QList<qint64> offices() const;
    QString socketPath() const { return mRuntime + QStringLiteral("/scrivane.socket"); }

    std::optional<QTemporaryDir> mHome;
    QString mRuntime;
    QMap<QString, QString> mExtra;
};

void ServiceTest::init()
{
    mHome.emplace();
    QVERIFY(mHome->isValid());
    mRuntime = mHome->filePath(QStringLiteral("run"));
    for (const char *folder : { "run", "tmp", "cache", "config" })
        QVERIFY(QDir(mHome->path()).mkdir(QString::fromLatin1(folder)));
    QCOMPARE(::chmod(QFile::encodeName(mRuntime).constData(), 0700), 0);
    mExtra.clear();
}

void ServiceTest::cleanup()
{
    scrivane({ QStringLiteral("--service"), QStringLiteral("stop") });
    // Whatever a test left frozen or refused ends here too.
    for (qint64 pid : services()) {
        ::kill(pid_t(pid), SIGKILL);
        ::kill(pid_t(pid), SIGCONT);
    }
    QVERIFY(waitUntil([&] { return services().isEmpty() && offices().isEmpty(); }, 30000));
}

QProcessEnvironment ServiceTest::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), mRuntime);
    environment.insert(QStringLiteral("TEMP"), mHome->filePath(QStringLiteral("tmp")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), mHome->filePath(QStringLiteral("cache")));
    environment.insert(
        QStringLiteral("XDG_CONFIG_HOME"), mHome->filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("SCRIVANE_SERVICE"), QStringLiteral("1"));
    environment.insert(QStringLiteral("SCRIVANE_SERVICE_IDLE_S"), QStringLiteral("300"));
    for (auto [name, value] : mExtra.asKeyValueRange())
        environment.insert(name, value);
    return environment;
}

std::unique_ptr<QProcess> ServiceTest::start(const QStringList &arguments) const
{
    auto program = std::make_unique<QProcess>();
    program->setProcessEnvironment(environment());
    program->setWorkingDirectory(mHome->path());
    program->start(QStringLiteral(SCRIVANE_PROGRAM), arguments);
    return program;
}

Run ServiceTest::scrivane(const QStringList &arguments) const
{
    const auto program = start(arguments);
    if (!program->waitForFinished(180000))
        return {};
    return { program->exitStatus() == QProcess::NormalExit ? program->exitCode() : -1,
        QString::fromLocal8Bit(
            program->readAllStandardError() + program->readAllStandardOutput()) };
}

void ServiceTest::writeMemo(const QString &name) const
{
    const Run run = scrivane({ QStringLiteral("--generate"), QStringLiteral("--sample"),
        QStringLiteral("--to"), name, QStringLiteral("--out"), name + QStringLiteral(".doc") });
    QCOMPARE(run.errors, QString());
    QCOMPARE(run.status, 0);
    QVERIFY(
        readFile(mHome->filePath(name + QStringLiteral(".doc"))).startsWith("\xD0\xCF\x11\xE0"));
}

// This test's services: the program run as "--service run" with this test's runtime folder.
QList<qint64> ServiceTest::services() const
{
    QList<qint64> found;
    const QByteArray command = QByteArray(SCRIVANE_PROGRAM) + QByteArray("\0--service\0run\0", 15);
    const QByteArray runtime = "XDG_RUNTIME_DIR=" + QFile::encodeName(mRuntime) + '\0';
    for (const ProcessInfo &process : runningProcesses()) {
        if (!process.hasEnded() && processCommandLine(process.pid) == command
            && processEnvironment(process.pid).contains(runtime))
            found.append(process.pid);
    }
    return found;
}

// This test's offices: those with a profile in its cache folder.
QList<qint64> ServiceTest::offices() const
{
    return TestOffice::officesWithProfilesIn(
        QFile::encodeName(mHome->filePath(QStringLiteral("cache"))));
}

void ServiceTest::commandsInARowShareOneServiceAndOneOffice()
{
    for (const char *name : { "first", "second", "third" })
        writeMemo(QString::fromLatin1(name));
    // The picture and another format come through it as well.
    const Run run = scrivane({ QStringLiteral("--generate"), QStringLiteral("--sample"),
        QStringLiteral("--out"), QStringLiteral("fourth.pdf"), QStringLiteral("--picture"),
        QStringLiteral("fourth.png") });
    QCOMPARE(run.status, 0);
    QVERIFY(readFile(mHome->filePath(QStringLiteral("fourth.pdf"))).startsWith("%PDF"));
    QVERIFY(QImage(mHome->filePath(QStringLiteral("fourth.png"))).width() > 100);
    // Every character arrives as typed, line breaks included.
    QCOMPARE(
        scrivane({ QStringLiteral("--generate"), QStringLiteral("--sample"), QStringLiteral("--to"),
                     QStringLiteral("Tobin V\u00e4rden \u20ac\nIlse Marrow"),
                     QStringLiteral("--out"), QStringLiteral("typed.doc") })
            .status,
        0);
    const QString typed = catdoc(mHome->filePath(QStringLiteral("typed.doc")));
    QVERIFY2(typed.contains(QStringLiteral("Tobin V\u00e4rden \u20ac"))
            && typed.contains(QStringLiteral("Ilse Marrow")),
        qPrintable(typed));
    // A command in another language words its date itself, through its own office.
    mExtra.insert(QStringLiteral("LC_ALL"), QStringLiteral("de_DE.UTF-8"));
    QCOMPARE(scrivane({ QStringLiteral("--generate"), QStringLiteral("--sample"),
                          QStringLiteral("--date"), QStringLiteral("2026-12-08"),
                          QStringLiteral("--out"), QStringLiteral("german.doc") })
                 .status,
        0);
    mExtra.clear();
    const QString german = catdoc(mHome->filePath(QStringLiteral("german.doc")));
    QVERIFY2(german.contains(QStringLiteral("Dienstag")), qPrintable(german));
    // The first command wrote through its own office and started the service.
    const QString said = status();
    QVERIFY2(said.contains(QStringLiteral("4 memos made, 1 office started")), qPrintable(said));
    QCOMPARE(services().size(), 1);
    struct stat socket
    {
    };
    QCOMPARE(::stat(QFile::encodeName(socketPath()).constData(), &socket), 0);
    QCOMPARE(socket.st_mode & 0777, mode_t(0600));
}

void ServiceTest::aServiceThatFailsMidRequestCostsNothing_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("frozen") << "frozen";
    QTest::newRow("killed") << "killed";
    QTest::newRow("answering nonsense") << "nonsense";
    QTest::newRow("hanging up") << "hanging up";
}

void ServiceTest::aServiceThatFailsMidRequestCostsNothing()
{
    QFETCH(QString, fault);
    std::thread impostor;
    qint64 service = 0;
    if (fault == QLatin1String("frozen") || fault == QLatin1String("killed")) {
        writeMemo(QStringLiteral("starting"));
        QVERIFY(waitUntil([&] { return services().size() == 1; }));
        service = services().first();
        // Stopped, it still takes the connection and the request, and answers nothing.
        QCOMPARE(::kill(pid_t(service), SIGSTOP), 0);
    } else {
        const int listening = listenAt(socketPath());
        QVERIFY(listening >= 0);
        impostor = std::thread([listening, fault] {
            const int client = ::accept(listening, nullptr, nullptr);
            char request[4096];
            (void)::recv(client, request, sizeof request, 0);
            if (fault == QLatin1String("nonsense"))
                (void)::send(client, "{\"version\":1,\"status\":\"written\",\"document\":7}\n", 46,
                    MSG_NOSIGNAL);
            ::close(client);
            ::close(listening);
        });
    }
    const auto command = start({ QStringLiteral("--generate"), QStringLiteral("--sample"),
        QStringLiteral("--out"), QStringLiteral("memo.doc") });
    if (fault == QLatin1String("killed")) {
        QThread::msleep(1000);
        QCOMPARE(::kill(pid_t(service), SIGKILL), 0);
    }
    QVERIFY(command->waitForFinished(180000));
    if (impostor.joinable())
        impostor.join();
    QCOMPARE(QString::fromLocal8Bit(command->readAllStandardError()), QString());
    QCOMPARE(command->exitCode(), 0);
    QVERIFY(readFile(mHome->filePath(QStringLiteral("memo.doc"))).startsWith("\xD0\xCF\x11\xE0"));
}

void ServiceTest::aSocketNotThisUsersAloneIsRefused_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("socket open to others") << "socket mode";
    QTest::newRow("socket of another user") << "socket owner";
    QTest::newRow("folder open to others") << "folder mode";
}

void ServiceTest::aSocketNotThisUsersAloneIsRefused()
{
    QFETCH(QString, change);
    writeMemo(QStringLiteral("starting"));
    QVERIFY(waitUntil([&] { return status().contains(QStringLiteral("is running")); }));
    const QByteArray socket = QFile::encodeName(socketPath());
    const QByteArray folder = QFile::encodeName(mRuntime);
    if (change == QLatin1String("socket mode")) {
        QCOMPARE(::chmod(socket.constData(), 0666), 0);
    } else if (change == QLatin1String("folder mode")) {
        QCOMPARE(::chmod(folder.constData(), 0755), 0);
    } else {
        const passwd *nobody = ::getpwnam("nobody");
        if (::geteuid() != 0 || nobody == nullptr)
            QSKIP("only root can give the socket to another user");
        QCOMPARE(::lchown(socket.constData(), nobody->pw_uid, nobody->pw_gid), 0);
    }
    writeMemo(QStringLiteral("refused"));
    QVERIFY(::chmod(socket.constData(), 0600) == 0 && ::chmod(folder.constData(), 0700) == 0
        && ::lchown(socket.constData(), ::geteuid(), ::getegid()) == 0);
    // The running service made no memo, and no second one was started.
    const QString said = status();
    QVERIFY2(said.contains(QStringLiteral("0 memos made")), qPrintable(said));
    QCOMPARE(services().size(), 1);
}

void ServiceTest::aStaleSocketIsReplaced()
{
    // What a killed service leaves: the socket file, with nobody listening.
    const int left = listenAt(socketPath());
    QVERIFY(left >= 0);
    ::close(left);
    writeMemo(QStringLiteral("first"));
    writeMemo(QStringLiteral("second"));
    const QString said = status();
    QVERIFY2(said.contains(QStringLiteral("1 memo made")), qPrintable(said));
}

void ServiceTest::twoFirstCommandsAtOnceMakeOneService()
{
    const auto one = start({ QStringLiteral("--generate"), QStringLiteral("--sample"),
        QStringLiteral("--out"), QStringLiteral("one.doc") });
    const auto two = start({ QStringLiteral("--generate"), QStringLiteral("--sample"),
        QStringLiteral("--out"), QStringLiteral("two.doc") });
    for (QProcess *command : { one.get(), two.get() }) {
        QVERIFY(command->waitForFinished(180000));
        QCOMPARE(command->exitCode(), 0);
    }
    QVERIFY(waitUntil([&] { return status().contains(QStringLiteral("is running")); }));
    // A second service, had one started, is gone by now or still running: neither.
    QThread::msleep(1000);
    QCOMPARE(services().size(), 1);
    writeMemo(QStringLiteral("three"));
}

void ServiceTest::theServiceEndsWithItsOfficesWhenIdle()
{
    mExtra.insert(QStringLiteral("SCRIVANE_SERVICE_IDLE_S"), QStringLiteral("3"));
    writeMemo(QStringLiteral("first"));
    writeMemo(QStringLiteral("second"));
    QCOMPARE(services().size(), 1);
    QVERIFY(waitUntil([&] { return services().isEmpty() && offices().isEmpty(); }));
    QVERIFY(!QFileInfo::exists(socketPath()));
}

void ServiceTest::withoutTheServiceNoneIsStarted_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("--no-service") << "option";
    QTest::newRow("SCRIVANE_SERVICE=0") << "variable";
}

void ServiceTest::withoutTheServiceNoneIsStarted()
{
    QFETCH(QString, how);
    QStringList arguments { QStringLiteral("--generate"), QStringLiteral("--sample"),
        QStringLiteral("--out"), QStringLiteral("memo.doc") };
    if (how == QLatin1String("option"))
        arguments << QStringLiteral("--no-service");
    else
        mExtra.insert(QStringLiteral("SCRIVANE_SERVICE"), QStringLiteral("0"));
    for (int command = 0; command < 2; ++command) {
        const Run run = scrivane(arguments);
        QCOMPARE(run.status, 0);
    }
    QVERIFY(QFileInfo::exists(mHome->filePath(QStringLiteral("memo.doc"))));
    QVERIFY(services().isEmpty());
    QVERIFY(!QFileInfo::exists(socketPath()));
}

QTEST_GUILESS_MAIN(ServiceTest)
#include "tst_service.moc"

// The memo service as scripts meet it: the real program, real offices, and a service
// that is shared, killed, frozen, impersonated, refused, replaced and idle.

#include "Catdoc.h"
#include "FileUtils.h"
#include "SmallFileSystem.h"
#include "TestFiles.h"

#include "TestOffice.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

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
    void aScriptThatCleansOrSwitchesLosesNoMemo_data();
    void aScriptThatCleansOrSwitchesLosesNoMemo();
    void theServiceAnswersWhatItCan_data();
    void theServiceAnswersWhatItCan();
    void aSocketNotThisUsersAloneIsRefused_data();
    void aSocketNotThisUsersAloneIsRefused();
    void aStaleSocketIsReplaced();
    void theServiceEndsWithItsOfficesWhenIdle();
    void withoutTheServiceNoneIsStarted_data();
    void withoutTheServiceNoneIsStarted();

private:
    QProcessEnvironment environment() const;
    // Through a shared lock on gate, when given: it runs once the gate is free.
    std::unique_ptr<QProcess> start(const QStringList &arguments, const QString &gate = {}) const;
    Run scrivane(const QStringList &arguments) const;
    // A memo written as a script writes it: exit 0, nothing said, the document there.
    void writeMemo(const QString &name) const;
    QString status() const
    {
        return scrivane({ QStringLiteral("--service"), QStringLiteral("status") }).errors;
    }
    // How many memos the running service has made; -1 when none runs.
    int memosMade() const;
    QList<qint64> services() const;
    QList<qint64> offices() const;
    QList<qint64> servicesOffices() const;
    QString socketPath() const { return mRuntime + QStringLiteral("/scrivane.socket"); }

    std::optional<QTemporaryDir> mHome;
    QString mRuntime;
    QMap<QString, QString> mExtra;
    // A service the test started itself, and a full file system; both go after the
    // service has been stopped.
    std::unique_ptr<QProcess> mService;
    std::optional<SmallFileSystem> mSmall;
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
    if (mService)
        mService->waitForFinished(10000);
    mService.reset();
    mSmall.reset();
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
    // A null value takes the variable away.
    for (auto [name, value] : mExtra.asKeyValueRange()) {
        if (value.isNull())
            environment.remove(name);
        else
            environment.insert(name, value);
    }
    return environment;
}

std::unique_ptr<QProcess> ServiceTest::start(
    const QStringList &arguments, const QString &gate) const
{
    auto program = std::make_unique<QProcess>();
    program->setProcessEnvironment(environment());
    program->setWorkingDirectory(mHome->path());
    if (gate.isEmpty())
        program->start(QStringLiteral(SCRIVANE_PROGRAM), arguments);
    else
        program->start(QStringLiteral("flock"),
            QStringList { QStringLiteral("--shared"), gate, QStringLiteral(SCRIVANE_PROGRAM) }
                + arguments);
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
    const QString text = catdoc(mHome->filePath(name + QStringLiteral(".doc")));
    QVERIFY2(text.contains(name), qPrintable(text));
}

int ServiceTest::memosMade() const
{
    static const QRegularExpression count(QStringLiteral("\\): (\\d+) memos? made"));
    const QRegularExpressionMatch match = count.match(status());
    return match.hasMatch() ? match.captured(1).toInt() : -1;
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

// This test's offices: those with a profile in its cache folder or the service's own.
QList<qint64> ServiceTest::offices() const
{
    return TestOffice::officesWithProfilesIn(
               QFile::encodeName(mHome->filePath(QStringLiteral("cache"))))
        + servicesOffices();
}

QList<qint64> ServiceTest::servicesOffices() const
{
    return TestOffice::officesWithProfilesIn(QFile::encodeName(mRuntime));
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
    // It holds nothing of the first command's: not its working folder, nor a file in its
    // temporary, cache or settings folder.
    const QString service = QStringLiteral("/proc/%1/").arg(services().first());
    QCOMPARE(QFileInfo(service + QStringLiteral("cwd")).symLinkTarget(), QStringLiteral("/"));
    for (const QFileInfo &open : QDir(service + QStringLiteral("fd")).entryInfoList(QDir::System))
        QVERIFY2(!open.symLinkTarget().startsWith(mHome->path())
                || open.symLinkTarget().startsWith(mRuntime),
            qPrintable(open.symLinkTarget()));
    struct stat socket
    {
    };
    QCOMPARE(::stat(QFile::encodeName(socketPath()).constData(), &socket), 0);
    QCOMPARE(socket.st_mode & 0777, mode_t(0600));
}

void ServiceTest::aServiceThatFailsMidRequestCostsNothing_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("said");
    QTest::newRow("frozen") << "frozen" << QByteArray() << QString();
    QTest::newRow("killed") << "killed" << QByteArray() << QString();
    QTest::newRow("answering nonsense")
        << "impostor" << QByteArray("{\"version\":2,\"status\":\"written\",\"document\":7}\n")
        << QString();
    QTest::newRow("hanging up") << "impostor" << QByteArray() << QString();
    // Its folder, office or disk failed it: the command's own office makes the memo.
    QTest::newRow("failing for its own reasons")
        << "impostor"
        << QByteArray("{\"version\":2,\"status\":\"failed\",\"error\":\"No space left on "
                      "device while writing /run/x/template-0.dot\"}\n")
        << QString();
    // What no office could make is said as the command says it.
    QTest::newRow("finding the memo itself bad")
        << "impostor"
        << QByteArray("{\"version\":2,\"status\":\"invalid\",\"error\":\"the date "
                      "1500-01-01 lies outside 1601 to 9999\"}\n")
        << QStringLiteral("scrivane: memo.doc was not written: the date 1500-01-01 lies outside "
                          "1601 to 9999\n");
}

void ServiceTest::aServiceThatFailsMidRequestCostsNothing()
{
    QFETCH(QString, fault);
    QFETCH(QByteArray, answer);
    QFETCH(QString, said);
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
        impostor = std::thread([listening, answer] {
            const int client = ::accept(listening, nullptr, nullptr);
            char request[4096];
            (void)::recv(client, request, sizeof request, 0);
            (void)::send(client, answer.constData(), size_t(answer.size()), MSG_NOSIGNAL);
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
    QCOMPARE(QString::fromLocal8Bit(command->readAllStandardError()), said);
    QCOMPARE(command->exitCode(), said.isEmpty() ? 0 : 1);
    QCOMPARE(readFile(mHome->filePath(QStringLiteral("memo.doc"))).startsWith("\xD0\xCF\x11\xE0"),
        said.isEmpty());
}

void ServiceTest::aScriptThatCleansOrSwitchesLosesNoMemo_data()
{
    QTest::addColumn<QString>("change");
    // Whether the service still makes the memos, or the commands their own.
    QTest::addColumn<bool>("served");
    QTest::newRow("work folders removed") << "work folders removed" << true;
    QTest::newRow("home removed") << "home removed" << true;
    QTest::newRow("another home") << "another home" << false;
    QTest::newRow("service started with a full TEMP") << "full TEMP" << true;
    QTest::newRow("service's own disk full") << "service disk full" << false;
    QTest::newRow("service's office frozen") << "office frozen" << true;
    QTest::newRow("20 first commands at once") << "20 at once" << true;
}

// Each command exits 0, says nothing and its memo reads back, whatever a script does
// around the service; where the service could go on, it does.
void ServiceTest::aScriptThatCleansOrSwitchesLosesNoMemo()
{
    QFETCH(QString, change);
    QFETCH(bool, served);
    if (change == QLatin1String("20 at once")) {
        // All held at a gate, then let through at the same instant.
        const QString gate = mHome->filePath(QStringLiteral("gate"));
        auto closed = std::make_unique<FileLock>(gate, std::chrono::milliseconds::zero());
        std::vector<std::unique_ptr<QProcess>> commands;
        for (int n = 1; n <= 20; ++n) {
            commands.push_back(start({ QStringLiteral("--generate"), QStringLiteral("--sample"),
                                         QStringLiteral("--to"), QStringLiteral("Reader %1").arg(n),
                                         QStringLiteral("--out"), QStringLiteral("%1.doc").arg(n) },
                gate));
        }
        QVERIFY(waitUntil([&] {
            return std::all_of(commands.cbegin(), commands.cend(),
                [](const auto &command) { return processInfo(command->processId()).state == 'S'; });
        }));
        closed.reset();
        for (int n = 1; n <= 20; ++n) {
            QProcess &command = *commands.at(size_t(n - 1));
            QVERIFY(command.waitForFinished(180000));
            QCOMPARE(QString::fromLocal8Bit(command.readAllStandardError()), QString());
            QCOMPARE(command.exitCode(), 0);
            const QString text = catdoc(mHome->filePath(QStringLiteral("%1.doc").arg(n)));
            QVERIFY2(text.contains(QStringLiteral("Reader %1\n").arg(n)), qPrintable(text));
        }
        // One of them started the service and wrote through its own office; the others
        // waited for that service rather than start nineteen more offices.
        QCOMPARE(services().size(), 1);
        QCOMPARE(memosMade(), 19);
        return;
    }

    if (change == QLatin1String("full TEMP") || change == QLatin1String("service disk full")) {
        mSmall.emplace(change == QLatin1String("full TEMP")
                ? mHome->filePath(QStringLiteral("full"))
                : mRuntime);
        if (mSmall->unavailable())
            QSKIP(mSmall->unavailable());
        QCOMPARE(::chmod(QFile::encodeName(mSmall->path()).constData(), 0700), 0);
    }
    if (change == QLatin1String("full TEMP")) {
        // Started as systemd or any command might: with a TEMP that has no room.
        QVERIFY(mSmall->fill());
        mExtra.insert(QStringLiteral("TEMP"), mSmall->path());
        mService = start({ QStringLiteral("--service"), QStringLiteral("run") });
        mExtra.clear();
    } else {
        // Without TEMP a command's files go into its cache, and so did the service's.
        if (change == QLatin1String("home removed"))
            mExtra.insert(QStringLiteral("TEMP"), QString());
        writeMemo(QStringLiteral("Starting"));
    }
    QVERIFY(waitUntil([&] { return memosMade() == 0; }));
    writeMemo(QStringLiteral("Served"));
    const int before = memosMade();

    if (change == QLatin1String("work folders removed")) {
        // What a cleaner of temporary folders does, to the commands' and the service's.
        QVERIFY(QDir(mHome->filePath(QStringLiteral("tmp"))).removeRecursively());
        QVERIFY(QDir().mkdir(mHome->filePath(QStringLiteral("tmp"))));
        QVERIFY(QDir(mRuntime + QStringLiteral("/scrivane-service")).removeRecursively());
    } else if (change == QLatin1String("home removed")) {
        for (const char *folder : { "cache", "config" })
            QVERIFY(QDir(mHome->filePath(QString::fromLatin1(folder))).removeRecursively());
    } else if (change == QLatin1String("another home")) {
        for (const char *variable : { "HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME" })
            mExtra.insert(QString::fromLatin1(variable), mHome->filePath(QStringLiteral("other")));
    } else if (change == QLatin1String("service disk full")) {
        QVERIFY(mSmall->fill());
    } else if (change == QLatin1String("office frozen")) {
        QVERIFY(waitUntil([&] { return servicesOffices().size() == 1; }));
        const qint64 office = servicesOffices().first();
        QCOMPARE(::kill(pid_t(office), SIGSTOP), 0);
        writeMemo(QStringLiteral("Frozen"));
        // The service ended the frozen office and goes on with a new one.
        QVERIFY(waitUntil([&] { return processInfo(office).hasEnded(); }, 10000));
        QVERIFY(waitUntil([&] { return servicesOffices().size() == 1; }));
    }
    writeMemo(QStringLiteral("Changed"));
    if (served)
        QCOMPARE(memosMade(), before + 1);
    else
        QVERIFY(memosMade() <= before);
}

void ServiceTest::theServiceAnswersWhatItCan_data()
{
    QTest::addColumn<QByteArray>("request");
    // The command closes its side once it has sent the request.
    QTest::addColumn<bool>("halfClosed");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("error");
    QTest::newRow("status, half-closed without a line's end")
        << QByteArray("{\"version\":2,\"request\":\"status\"}") << true << "running" << QString();
    QTest::newRow("garbage") << QByteArray("\x01\xff{{\n") << false << "declined"
                             << "not a request of this version";
    QTest::newRow("a request of an older version")
        << QByteArray("{\"version\":1,\"request\":\"status\"}\n") << false << "declined"
        << "not a request of this version";
    QTest::newRow("a memo dated 1500")
        << QByteArray("{\"version\":2,\"request\":\"memo\",\"format\":\"doc\",\"memo\":"
                      "{\"style\":0,\"date\":\"1500-01-01\"}}\n")
        << false << "invalid"
        << "the date 1500-01-01 lies outside 1601 to 9999";
    QTest::newRow("a line past the bound")
        << QByteArray(16 * 1024 * 1024 + 1, 'x') << false << "declined"
        << "a request is at most 16777216 bytes long";
}

void ServiceTest::theServiceAnswersWhatItCan()
{
    QFETCH(QByteArray, request);
    QFETCH(bool, halfClosed);
    QFETCH(QString, status);
    QFETCH(QString, error);
    mService = start({ QStringLiteral("--service"), QStringLiteral("run") });
    QVERIFY(waitUntil([&] { return memosMade() == 0; }));
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(socketPath());
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const auto closeSocket = qScopeGuard([socket] { ::close(socket); });
    QCOMPARE(::connect(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
    for (qsizetype sent = 0; sent < request.size();) {
        const ssize_t n = ::send(
            socket, request.constData() + sent, size_t(request.size() - sent), MSG_NOSIGNAL);
        // A service that refuses the rest of an overlong line may close before it is sent.
        if (n <= 0)
            break;
        sent += n;
    }
    if (halfClosed)
        QCOMPARE(::shutdown(socket, SHUT_WR), 0);
    QByteArray answer;
    char chunk[4096];
    ssize_t n = 0;
    while (!answer.contains('\n') && (n = ::recv(socket, chunk, sizeof chunk, 0)) > 0)
        answer.append(chunk, n);
    const QJsonObject said = QJsonDocument::fromJson(answer.left(answer.indexOf('\n'))).object();
    QCOMPARE(said.value(QStringLiteral("status")).toString(), status);
    QCOMPARE(said.value(QStringLiteral("error")).toString(), error);
    // It still serves the next command.
    QCOMPARE(memosMade(), 0);
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

void ServiceTest::theServiceEndsWithItsOfficesWhenIdle()
{
    mExtra.insert(QStringLiteral("SCRIVANE_SERVICE_IDLE_S"), QStringLiteral("3"));
    mService = start({ QStringLiteral("--service"), QStringLiteral("run") });
    QVERIFY(waitUntil([&] { return memosMade() == 0; }));
    writeMemo(QStringLiteral("Served"));
    QCOMPARE(memosMade(), 1);
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

#include "ServiceClient.h"

#include "Failure.h"
#include "FileUtils.h"
#include "ProgramEnd.h"
#include "ServicePlace.h"
#include "ServiceProtocol.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QTextStream>

#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
using namespace std::chrono_literals;

// The service says "working" four times a second while a memo is under way: this
// long without a word, it is taken as frozen.
constexpr auto kWatchdog = 3s;
// However much it says, a memo that takes longer than the slowest office start and
// call together is not waited for.
constexpr auto kLongestMemo = 180s;
constexpr auto kStopWait = 20s;
// A service that another command is starting listens within this, or is not waited for.
constexpr auto kStartWait = 10s;

// One connection to the service; closed when it goes.
class Connection
{
public:
    ~Connection()
    {
        if (mSocket >= 0)
            ::close(mSocket);
    }

    // Connects when the socket is this user's and a service of this user's answers.
    SocketState open(const QString &path)
    {
        const SocketState state = socketState(path);
        if (state != SocketState::Ours)
            return state;
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        if (size_t(name.size()) >= sizeof address.sun_path)
            return SocketState::Refused;
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        mSocket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (mSocket < 0)
            return SocketState::Refused;
        // A frozen service neither takes a connection off a full queue nor reads.
        const timeval patience { std::chrono::seconds(kWatchdog).count(), 0 };
        ::setsockopt(mSocket, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
        if (::connect(mSocket, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
            return errno == ECONNREFUSED || errno == ENOENT ? SocketState::Missing
                                                            : SocketState::Refused;
        return peerIsThisUser(mSocket) ? SocketState::Ours : SocketState::Refused;
    }

    bool send(const QByteArray &line)
    {
        qsizetype sent = 0;
        while (sent < line.size()) {
            const ssize_t n = ::send(
                mSocket, line.constData() + sent, size_t(line.size() - sent), MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            sent += n;
        }
        return true;
    }

    // The next message, waiting at most `wait`; nothing on silence, an end or nonsense.
    std::optional<QJsonObject> receive(std::chrono::milliseconds wait)
    {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            const qsizetype end = mBuffer.indexOf('\n');
            if (end >= 0) {
                const QByteArray line = mBuffer.left(end);
                mBuffer.remove(0, end + 1);
                return ServiceProtocol::message(line);
            }
            const auto left = wait.count() - timer.elapsed();
            pollfd ready { mSocket, POLLIN, 0 };
            const int polled = left > 0 ? ::poll(&ready, 1, int(left)) : 0;
            if (polled < 0 && errno == EINTR)
                continue;
            if (polled <= 0)
                return std::nullopt;
            char chunk[65536];
            const ssize_t n = ::recv(mSocket, chunk, sizeof chunk, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return std::nullopt;
            mBuffer.append(chunk, n);
        }
    }

private:
    int mSocket = -1;
    QByteArray mBuffer;
};

QJsonObject request(const char *what)
{
    return { { QStringLiteral("request"), QString::fromLatin1(what) } };
}

QString statusOf(const QJsonObject &answer)
{
    return answer.value(QStringLiteral("status")).toString();
}

// Started apart from this command (its own session, no inherited files, `/` as its
// working folder), so that it outlives it and a terminal's signals do not reach it. It
// is handed the start lock, and holds it until it listens.
bool startService(const QString &program, int startLock)
{
    QByteArray path = QFile::encodeName(program);
    QByteArray mode("--service"), action("run");
    char *arguments[] = { path.data(), mode.data(), action.data(), nullptr };
    // Made before the fork: after it, only calls that take no lock may run.
    QList<QByteArray> variables { QByteArray(kStartLockVariable) + '='
        + QByteArray::number(kStartLockHandle) };
    for (char **variable = environ; *variable != nullptr; ++variable) {
        if (!QByteArray(*variable).startsWith(QByteArray(kStartLockVariable) + '='))
            variables.append(*variable);
    }
    std::vector<char *> environment;
    for (QByteArray &variable : variables)
        environment.push_back(variable.data());
    environment.push_back(nullptr);
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        ::setsid();
        const pid_t service = ::fork();
        if (service != 0)
            ::_exit(service < 0 ? 1 : 0);
        if (::chdir("/") != 0)
            ::_exit(127);
        const int nothing = ::open("/dev/null", O_RDWR);
        if (nothing >= 0) {
            ::dup2(nothing, 0);
            ::dup2(nothing, 1);
            ::dup2(nothing, 2);
        }
        if (startLock == kStartLockHandle)
            ::fcntl(startLock, F_SETFD, 0);
        else
            ::dup2(startLock, kStartLockHandle);
        ::close_range(kStartLockHandle + 1, ~0U, 0);
        ::execve(path.constData(), arguments, environment.data());
        ::_exit(127);
    }
    int result = 0;
    while (::waitpid(child, &result, 0) < 0 && errno == EINTR) { }
    return true;
}
} // namespace

ServiceClient::ServiceClient(QString program)
    : mProgram(std::move(program))
{ }

bool ServiceClient::isWanted()
{
    return qEnvironmentVariable("SCRIVANE_SERVICE") != QLatin1String("0");
}

std::optional<MemoWriter::Memo> ServiceClient::make(
    const MemoDetails &memo, DocumentFormat format, bool withPicture)
{
    // The service fills the built-in templates only, and its request does not say which
    // of the user's it would be: a memo of one is written by the caller's own office.
    if (!isWanted() || memo.ownTemplate)
        return std::nullopt;
    const auto place = ServicePlace::find();
    if (!place)
        return std::nullopt;
    Connection service;
    SocketState state = service.open(place->socket);
    if (state == SocketState::Missing) {
        std::unique_ptr<FileLock> starting;
        try {
            starting = std::make_unique<FileLock>(place->startLock, 0ms);
        } catch (const FileLock::LockHeld &) {
            // Another command is starting it: this memo is made there once it listens,
            // rather than by one more office starting beside it.
            try {
                FileLock started(place->startLock, kStartWait);
            } catch (const Failure &) {
                return std::nullopt;
            }
        } catch (const Failure &) {
            return std::nullopt;
        }
        // One may have started while the lock was taken.
        state = service.open(place->socket);
        if (state == SocketState::Missing && starting) {
            // For the next command: this one goes on with its own office at once, and
            // the two offices do not start side by side.
            mStarted = startService(mProgram, starting->handle());
            return std::nullopt;
        }
    }
    if (state != SocketState::Ours)
        return std::nullopt;

    QJsonObject ask = request("memo");
    ask.insert(QStringLiteral("memo"), ServiceProtocol::memoObject(memo));
    ask.insert(QStringLiteral("format"), documentFormatName(format));
    ask.insert(QStringLiteral("picture"), withPicture);
    ask.insert(QStringLiteral("environment"), ServiceProtocol::environment());
    const QByteArray line = ServiceProtocol::line(ask);
    if (line.size() > ServiceProtocol::kLongestLine || !service.send(line))
        return std::nullopt;
    QElapsedTimer timer;
    timer.start();
    while (std::chrono::milliseconds(timer.elapsed()) < kLongestMemo) {
        // Stopped by a signal: the memo is not waited for.
        if (ProgramEnd::stopRequested())
            return std::nullopt;
        const auto answer = service.receive(kWatchdog);
        if (!answer)
            return std::nullopt;
        const QString said = statusOf(*answer);
        if (said == QLatin1String("working"))
            continue;
        // The memo itself cannot be made: the command's own office could not either.
        if (said == QLatin1String("invalid")) {
            const QString error = answer->value(QStringLiteral("error")).toString();
            if (error.isEmpty())
                return std::nullopt;
            fail(error);
        }
        // Declined, or failed for the service's own reasons: made here.
        if (said != QLatin1String("written"))
            return std::nullopt;
        MemoWriter::Memo made { ServiceProtocol::bytesFrom(
                                    answer->value(QStringLiteral("document"))),
            ServiceProtocol::bytesFrom(answer->value(QStringLiteral("picture"))) };
        if (made.document.isEmpty() || made.picture.isEmpty() == withPicture)
            return std::nullopt;
        return made;
    }
    return std::nullopt;
}

void ServiceClient::warmStarted()
{
    if (!mStarted)
        return;
    const auto place = ServicePlace::find();
    Connection service;
    if (place && service.open(place->socket) == SocketState::Ours)
        service.send(ServiceProtocol::line(request("warm")));
}

int ServiceClient::status(QTextStream &output)
{
    const auto place = ServicePlace::find();
    if (!place) {
        output << "scrivane: the service's folder is not this user's alone; no service is used\n";
        return 1;
    }
    Connection service;
    const SocketState state = service.open(place->socket);
    std::optional<QJsonObject> answer;
    if (state == SocketState::Ours && service.send(ServiceProtocol::line(request("status"))))
        answer = service.receive(kWatchdog);
    if (state == SocketState::Refused) {
        output << "scrivane: " << place->socket
               << " is not a socket of this user's alone and is not used\n";
        return 1;
    }
    if (!answer || statusOf(*answer) != QLatin1String("running")) {
        output << "scrivane: the service is not running (socket " << place->socket << ")\n";
        // A service refuses to start in anything but a folder of this user's alone.
        const QFileInfo own(place->own);
        if ((own.exists() || own.isSymLink()) && !isPrivateFolder(place->own))
            output << "scrivane: " << place->own
                   << " is not a folder of this user's alone, so no service can start there; "
                      "remove it\n";
        return 1;
    }
    const auto number
        = [&](const char *name) { return answer->value(QString::fromLatin1(name)).toInteger(); };
    const auto counted = [&](const char *name, const char *one, const char *many) {
        return QStringLiteral("%1 %2")
            .arg(number(name))
            .arg(QString::fromLatin1(number(name) == 1 ? one : many));
    };
    output << "scrivane: the service is running (process " << number("pid") << ", socket "
           << place->socket << "): " << counted("memos", "memo", "memos") << " made, "
           << counted("offices", "office", "offices") << " started, " << number("running")
           << " running; it ends after " << counted("idleLimit", "second", "seconds")
           << " without a memo to make (idle for " << number("idle") << " s)\n";
    return 0;
}

int ServiceClient::stop(QTextStream &output)
{
    const auto place = ServicePlace::find();
    Connection service;
    if (!place || service.open(place->socket) != SocketState::Ours
        || !service.send(ServiceProtocol::line(request("stop")))) {
        output << "scrivane: the service is not running\n";
        return 0;
    }
    // It closes the connection once its offices have ended.
    QElapsedTimer timer;
    timer.start();
    while (std::chrono::milliseconds(timer.elapsed()) < kStopWait) {
        if (!service.receive(kStopWait) && std::chrono::milliseconds(timer.elapsed()) < kStopWait) {
            output << "scrivane: the service has ended\n";
            return 0;
        }
    }
    output << "scrivane: the service did not end within " << kStopWait.count() << " seconds\n";
    return 1;
}

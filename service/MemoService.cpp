#include "MemoService.h"

#include "Failure.h"
#include "FileUtils.h"
#include "LibreOfficeProcessor.h"
#include "MemoWriter.h"
#include "Processes.h"
#include "ProgramEnd.h"
#include "ServicePlace.h"
#include "ServiceProtocol.h"
#include "WorkThread.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QLocalSocket>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <cstring>
#include <functional>
#include <map>
#include <optional>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace MemoService {
namespace {
using namespace std::chrono_literals;

// Often enough that a command's watchdog never mistakes a busy service for a frozen one.
constexpr auto kHeartbeat = 250ms;
// systemd hands its listening socket over as the first descriptor after the standard ones.
constexpr int kFirstHandedSocket = 3;

struct Job
{
    quint64 id = 0;
    MemoDetails memo;
    DocumentFormat format = DocumentFormat::Doc;
    bool picture = false;
    // Only start the office, for the memos to come.
    bool warm = false;
};

// The offices' own WorkThread: it starts them (forked by the application's thread,
// which they die with), watches them, writes through them and ends them. Memos are made
// one at a time, in the order they came.
class Writer
{
public:
    using Done
        = std::function<void(quint64 id, const MemoWriter::Memo &made, const QString &error)>;

    Writer(QObject *receiver, Done done, std::function<void()> finished)
        : mReceiver(receiver)
        , mDone(std::move(done))
        , mFinished(std::move(finished))
    {
        mWork.post([this] { begin(); });
    }
    // The offices end on the thread that watches them, also without stop().
    ~Writer()
    {
        mWork.post([this] {
            mMemoWriter.reset();
            mWord.reset();
        });
    }

    void add(Job job)
    {
        ++mQueued;
        mWork.post([this, job = std::move(job)] { make(job); });
    }

    // Ends the offices; `finished` is called on the receiver's thread once they are gone.
    // Memos still queued are dropped: nobody waits for them any more.
    void stop()
    {
        mStopping = true;
        mWork.post([this] { end(); });
    }

    int officesStarted() const { return mOfficesStarted; }

private:
    // Everything below runs on mWork only.
    void begin()
    {
        mWord.emplace();
        try {
            mMemoWriter.emplace(*mWord);
        } catch (const Failure &failure) {
            mCannotWrite = failure.description();
        }
    }

    void make(const Job &job)
    {
        --mQueued;
        if (mStopping)
            return;
        MemoWriter::Memo made;
        QString error = mCannotWrite;
        if (mMemoWriter) {
            try {
                if (job.warm)
                    mMemoWriter->start();
                else
                    made = mMemoWriter->make(job.memo, job.format, job.picture);
            } catch (const Failure &failure) {
                error = failure.description();
            }
            mOfficesStarted = mMemoWriter->sessionsStarted();
        }
        if (!job.warm) {
            QMetaObject::invokeMethod(
                mReceiver,
                [done = mDone, id = job.id, made = std::move(made), error] {
                    done(id, made, error);
                },
                Qt::QueuedConnection);
        }
        // An office lost or replaced after this memo is started again now, while
        // nobody waits for it.
        if (mMemoWriter && mQueued == 0 && !mStopping) {
            try {
                mMemoWriter->start();
            } catch (const Failure &) {
                // The next memo tries again and says why.
            }
            mOfficesStarted = mMemoWriter->sessionsStarted();
        }
    }

    void end()
    {
        mMemoWriter.reset();
        if (mWord)
            mWord->shutDown();
        mWord.reset();
        QMetaObject::invokeMethod(mReceiver, mFinished, Qt::QueuedConnection);
    }

    QObject *mReceiver;
    Done mDone;
    std::function<void()> mFinished;
    std::atomic<int> mQueued { 0 };
    std::atomic<bool> mStopping { false };
    std::atomic<int> mOfficesStarted { 0 };
    std::optional<LibreOfficeProcessor> mWord;
    std::optional<MemoWriter> mMemoWriter;
    QString mCannotWrite;
    // Last, so that it ends before what its tasks use.
    WorkThread mWork;
};

class Service : public QObject
{
public:
    Service(
        const ServicePlace &place, std::unique_ptr<FileLock> lock, int listening, bool ownSocket)
        : mPlace(place)
        , mLock(std::move(lock))
        , mListening(listening)
        , mOwnSocket(ownSocket)
        , mEnvironment(ServiceProtocol::environmentKey())
        , mIdleLimit(serviceIdleSeconds())
        , mAccepting(listening, QSocketNotifier::Read)
        , mWriter(
              this,
              [this](quint64 id, const MemoWriter::Memo &made, const QString &error) {
                  finishMemo(id, made, error);
              },
              [] { QCoreApplication::exit(0); })
    {
        connect(&mAccepting, &QSocketNotifier::activated, this, [this] { accept(); });
        // A signal to end (systemd's stop, the session's end) ends the offices as the
        // idle limit does, rather than leaving them to die.
        ProgramEnd::endOnSignal(this, [this] { end(); });
        mIdle.setSingleShot(true);
        connect(&mIdle, &QTimer::timeout, this, [this] {
            if (mWaiting.empty())
                end();
            else
                mIdle.start(mIdleLimit * 1000);
        });
        mIdle.start(mIdleLimit * 1000);
        mSinceActivity.start();
        connect(&mHeartbeat, &QTimer::timeout, this, [this] {
            for (const auto &[id, client] : mWaiting) {
                if (client)
                    client->write(ServiceProtocol::line(
                        { { QStringLiteral("status"), QStringLiteral("working") } }));
            }
        });
        // Only while a command waits: an idle service does not wake at all.
        mHeartbeat.setInterval(kHeartbeat);
    }

private:
    void accept()
    {
        for (;;) {
            const int socket = ::accept4(mListening, nullptr, nullptr, SOCK_CLOEXEC);
            if (socket < 0)
                return;
            // Only this user's commands are served: an office works with their files.
            if (!peerIsThisUser(socket)) {
                ::close(socket);
                continue;
            }
            auto *client = new QLocalSocket(this);
            client->setSocketDescriptor(socket);
            connect(client, &QLocalSocket::readyRead, this, [this, client] { read(client); });
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        }
    }

    void read(QLocalSocket *client)
    {
        while (client->canReadLine())
            answer(client, client->readLine());
    }

    void answer(QLocalSocket *client, const QByteArray &line)
    {
        const auto say = [client](const QJsonObject &message) {
            client->write(ServiceProtocol::line(message));
        };
        const QJsonObject declined { { QStringLiteral("status"), QStringLiteral("declined") } };
        const auto message = ServiceProtocol::message(line);
        if (!message) {
            say(declined);
            return;
        }
        const QString request = message->value(QStringLiteral("request")).toString();
        // Asking how it is keeps no service alive; only work does.
        if (request == QLatin1String("memo") || request == QLatin1String("warm")) {
            mIdle.start(mIdleLimit * 1000);
            mSinceActivity.restart();
        }
        if (request == QLatin1String("status")) {
            say({ { QStringLiteral("status"), QStringLiteral("running") },
                { QStringLiteral("pid"), qint64(::getpid()) }, { QStringLiteral("memos"), mMemos },
                { QStringLiteral("offices"), mWriter.officesStarted() },
                { QStringLiteral("running"),
                    int(childProcesses(QStringLiteral("soffice.bin")).size()) },
                { QStringLiteral("idleLimit"), mIdleLimit },
                { QStringLiteral("idle"), mSinceActivity.elapsed() / 1000 } });
        } else if (request == QLatin1String("stop")) {
            say({ { QStringLiteral("status"), QStringLiteral("stopping") } });
            end();
        } else if (request == QLatin1String("warm")) {
            if (!mEnding) {
                Job job;
                job.warm = true;
                mWriter.add(job);
            }
        } else if (request == QLatin1String("memo")) {
            const auto memo
                = ServiceProtocol::memoFrom(message->value(QStringLiteral("memo")).toObject());
            const auto format
                = documentFormatNamed(message->value(QStringLiteral("format")).toString());
            // A command that would make its memo otherwise (another office, another
            // language) makes it itself.
            if (mEnding || !memo || !format
                || message->value(QStringLiteral("environment")).toString() != mEnvironment) {
                say(declined);
                return;
            }
            const quint64 id = ++mLastId;
            mWaiting.emplace(id, client);
            mHeartbeat.start();
            Job job;
            job.id = id;
            job.memo = *memo;
            job.format = *format;
            job.picture = message->value(QStringLiteral("picture")).toBool();
            mWriter.add(job);
        } else {
            say(declined);
        }
    }

    void finishMemo(quint64 id, const MemoWriter::Memo &made, const QString &error)
    {
        const auto waiting = mWaiting.find(id);
        if (waiting == mWaiting.end())
            return;
        const QPointer<QLocalSocket> client = waiting->second;
        mWaiting.erase(waiting);
        if (mWaiting.empty())
            mHeartbeat.stop();
        mIdle.start(mIdleLimit * 1000);
        mSinceActivity.restart();
        if (!client)
            return;
        if (!error.isEmpty()) {
            client->write(
                ServiceProtocol::line({ { QStringLiteral("status"), QStringLiteral("failed") },
                    { QStringLiteral("error"), error } }));
            return;
        }
        ++mMemos;
        client->write(
            ServiceProtocol::line({ { QStringLiteral("status"), QStringLiteral("written") },
                { QStringLiteral("document"), ServiceProtocol::bytesText(made.document) },
                { QStringLiteral("picture"), ServiceProtocol::bytesText(made.picture) } }));
    }

    // No new connections; the offices end, then the program. Memos under way are
    // given up: their commands write them through their own offices.
    void end()
    {
        if (mEnding)
            return;
        mEnding = true;
        mAccepting.setEnabled(false);
        if (mOwnSocket) {
            struct stat status
            {
            };
            if (::lstat(QFile::encodeName(mPlace.socket).constData(), &status) == 0
                && S_ISSOCK(status.st_mode))
                ::unlink(QFile::encodeName(mPlace.socket).constData());
        }
        ::close(mListening);
        // A service started from now on may take over while this one ends its offices.
        mLock.reset();
        mWriter.stop();
    }

    ServicePlace mPlace;
    std::unique_ptr<FileLock> mLock;
    int mListening;
    bool mOwnSocket;
    QString mEnvironment;
    int mIdleLimit;
    QSocketNotifier mAccepting;
    QTimer mIdle;
    QTimer mHeartbeat;
    QElapsedTimer mSinceActivity;
    std::map<quint64, QPointer<QLocalSocket>> mWaiting;
    quint64 mLastId = 0;
    int mMemos = 0;
    bool mEnding = false;
    Writer mWriter;
};

// The socket systemd made and handed over, when it started this service.
int handedSocket()
{
    const bool handed = qEnvironmentVariableIntValue("LISTEN_PID") == ::getpid()
        && qEnvironmentVariableIntValue("LISTEN_FDS") >= 1;
    for (const char *name : { "LISTEN_PID", "LISTEN_FDS", "LISTEN_FDNAMES" })
        qunsetenv(name);
    if (!handed)
        return -1;
    ::fcntl(kFirstHandedSocket, F_SETFD, FD_CLOEXEC);
    ::fcntl(kFirstHandedSocket, F_SETFL, ::fcntl(kFirstHandedSocket, F_GETFL) | O_NONBLOCK);
    return kFirstHandedSocket;
}

// A socket of this user's alone at the place; one left by a service that was killed
// is replaced (the lock says none runs).
int ownSocket(const ServicePlace &place)
{
    const QByteArray path = QFile::encodeName(place.socket);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof address.sun_path)
        return -1;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    switch (socketState(place.socket)) {
    case SocketState::Refused:
        return -1;
    case SocketState::Ours:
        ::unlink(path.constData());
        break;
    case SocketState::Missing:
        break;
    }
    const int listening = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listening < 0)
        return -1;
    const mode_t mask = ::umask(0177);
    const bool bound
        = ::bind(listening, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::umask(mask);
    if (!bound || ::chmod(path.constData(), 0600) != 0 || ::listen(listening, SOMAXCONN) != 0) {
        ::close(listening);
        return -1;
    }
    return listening;
}
} // namespace

int run()
{
    ::signal(SIGPIPE, SIG_IGN);
    const int handed = handedSocket();
    const auto place = ServicePlace::find();
    if (!place)
        return 1;
    // Held while the service takes requests: a second service started at the same
    // instant finds it taken and leaves.
    std::unique_ptr<FileLock> lock;
    try {
        lock = std::make_unique<FileLock>(place->lock, std::chrono::milliseconds::zero());
    } catch (const Failure &) {
        return 0;
    }
    const int listening = handed >= 0 ? handed : ownSocket(*place);
    if (listening < 0)
        return 1;
    Service service(*place, std::move(lock), listening, handed < 0);
    return QCoreApplication::exec();
}

} // namespace MemoService

#include "MemoService.h"

#include "Failure.h"
#include "FileUtils.h"
#include "Leftovers.h"
#include "LibreOfficeProcessor.h"
#include "MemoWriter.h"
#include "Processes.h"
#include "ProgramEnd.h"
#include "ServicePlace.h"
#include "ServiceProtocol.h"
#include "ServiceSocket.h"
#include "WorkThread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileSystemWatcher>
#include <QJsonObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <functional>
#include <map>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace MemoService {
namespace {
using namespace std::chrono_literals;

// Often enough that a command's watchdog never mistakes a busy service for a frozen one.
constexpr auto kHeartbeat = 250ms;
// An office that uses no processor time for this long during a call has frozen: well
// within the 3 s of silence after which a command stops waiting for the service.
constexpr auto kFrozenOffice = 1500ms;
// After a memo failed with its office, the command that asked writes through an office
// of its own: the service starts its new one once that has had the processor.
constexpr auto kRestartAfterFailure = 5s;
// One command is read this much at a time, so that one that sends much keeps no other
// waiting.
constexpr qsizetype kReadChunk = 64 * 1024;
constexpr qsizetype kReadTurn = 1024 * 1024;

QJsonObject said(const char *status, const QString &error = {})
{
    QJsonObject message { { QStringLiteral("status"), QString::fromLatin1(status) } };
    if (!error.isEmpty())
        message.insert(QStringLiteral("error"), error);
    return message;
}

// The service's own folder, with its temporary folder and its offices' cache, made
// again when something removed it: checked before each memo. Whatever is there that
// is not a folder of this user's alone is refused, never followed.
void checkOwnFolders(const QString &own)
{
    for (const QString &folder :
        { own, own + QStringLiteral("/tmp"), own + QStringLiteral("/cache") }) {
        if (!makePrivateFolder(folder))
            fail(QStringLiteral("The service's folder %1 could not be made, or is not a "
                                "folder of this user's alone.")
                     .arg(folder));
    }
}

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
// one at a time, in the order they came. A task may outlive the Writer (an office call
// can outlast the thread's bounded drain), so every task holds the state it works on;
// what it tells reaches the application's thread as a posted call.
class Writer
{
public:
    using Done
        = std::function<void(quint64 id, const MemoWriter::Memo &made, const QString &error)>;

    // done and finished are called on the application's thread.
    Writer(QString own, Done done, std::function<void()> finished)
        : mState(std::make_shared<State>())
    {
        mState->own = std::move(own);
        mState->done = std::move(done);
        mState->finished = std::move(finished);
        mWork.post([state = mState] { begin(*state); });
    }
    // The offices end on the thread that watches them, also without stop().
    ~Writer()
    {
        mWork.post([state = std::move(mState)] {
            state->writer.reset();
            state->word.reset();
        });
    }

    void add(Job job)
    {
        ++mState->queued;
        mWork.post([state = mState, job = std::move(job)] { make(*state, job); });
    }

    // Ends the offices; `finished` is called once they are gone. Memos still queued are
    // dropped: nobody waits for them any more.
    void stop()
    {
        mState->stopping = true;
        mWork.post([state = mState] { end(*state); });
    }

    int officesStarted() const { return mState->officesStarted; }

private:
    struct State
    {
        QString own;
        Done done;
        std::function<void()> finished;
        std::atomic<int> queued { 0 };
        std::atomic<bool> stopping { false };
        std::atomic<int> officesStarted { 0 };
        // Only on the work thread.
        std::optional<LibreOfficeProcessor> word;
        std::optional<MemoWriter> writer;
    };

    static void tell(std::function<void()> call)
    {
        if (QCoreApplication *application = QCoreApplication::instance())
            QMetaObject::invokeMethod(application, std::move(call), Qt::QueuedConnection);
    }

    static void begin(State &state)
    {
        LibreOfficeProcessor::Settings settings = LibreOfficeProcessor::defaultSettings();
        settings.frozenAfter = kFrozenOffice;
        state.word.emplace(settings);
        state.writer.emplace(*state.word);
    }

    static void make(State &state, const Job &job)
    {
        --state.queued;
        if (state.stopping)
            return;
        MemoWriter::Memo made;
        QString error;
        try {
            checkOwnFolders(state.own);
            if (job.warm)
                state.writer->start();
            else
                made = state.writer->make(job.memo, job.format, job.picture);
        } catch (const Failure &failure) {
            error = failure.description();
        }
        state.officesStarted = state.writer->sessionsStarted();
        if (!job.warm)
            tell([done = state.done, id = job.id, made = std::move(made), error] {
                done(id, made, error);
            });
        // An office replaced after this memo is started again now, while nobody waits
        // for it. One lost with a failed memo is started later (the Service asks): its
        // command is starting an office of its own now.
        if (state.queued == 0 && !state.stopping && (job.warm || error.isEmpty())) {
            try {
                checkOwnFolders(state.own);
                state.writer->start();
            } catch (const Failure &) {
                // The next memo tries again and says why.
            }
            state.officesStarted = state.writer->sessionsStarted();
        }
    }

    static void end(State &state)
    {
        state.writer.reset();
        if (state.word)
            state.word->shutDown();
        state.word.reset();
        tell(state.finished);
    }

    std::shared_ptr<State> mState;
    // Last, so that it ends first: its tasks still hold their state.
    WorkThread mWork;
};

// One command's connection, driven directly: QLocalSocket closes both directions once
// the command has closed its own, and a command that has said all still waits for its
// answer. Requests are read a line at a time, at most kLongestLine bytes each; answers
// are queued and written as fast as the command takes them.
class Connection : public QObject
{
public:
    using Request = std::function<void(Connection &connection, const QByteArray &line)>;

    Connection(int socket, Request request, QObject *parent)
        : QObject(parent)
        , mSocket(socket)
        , mRequest(std::move(request))
        , mReadable(socket, QSocketNotifier::Read)
        , mWritable(socket, QSocketNotifier::Write)
    {
        mWritable.setEnabled(false);
        connect(&mReadable, &QSocketNotifier::activated, this, [this] { readMore(); });
        connect(&mWritable, &QSocketNotifier::activated, this, [this] { writeMore(); });
    }
    ~Connection() override
    {
        mReadable.setEnabled(false);
        mWritable.setEnabled(false);
        ::close(mSocket);
    }

    void say(const QJsonObject &message)
    {
        if (mDropped)
            return;
        mOut.append(ServiceProtocol::line(message));
        writeMore();
    }
    // An answer is to come later: the connection stays until it is said.
    void expect() { ++mExpected; }
    void fulfil(const QJsonObject &message)
    {
        --mExpected;
        say(message);
        closeWhenDone();
    }

private:
    void readMore()
    {
        char chunk[kReadChunk];
        for (qsizetype taken = 0; !mHeardAll && !mDropped && taken < kReadTurn;) {
            const ssize_t n = ::recv(mSocket, chunk, sizeof chunk, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return;
            if (n < 0) {
                drop();
                return;
            }
            if (n == 0) {
                // The command has said all; what it said without a line's end is its last
                // request, and is answered as any other.
                hearNoMore();
                if (!mIn.isEmpty())
                    mRequest(*this, std::exchange(mIn, {}));
                closeWhenDone();
                return;
            }
            taken += n;
            mIn.append(chunk, n);
            takeLines();
        }
    }

    void takeLines()
    {
        for (;;) {
            const qsizetype end = mIn.indexOf('\n', mScanned);
            if (end < 0)
                break;
            const QByteArray line = mIn.left(end);
            mIn.remove(0, end + 1);
            mScanned = 0;
            mRequest(*this, line);
            if (mDropped)
                return;
        }
        mScanned = mIn.size();
        if (mIn.size() > ServiceProtocol::kLongestLine) {
            hearNoMore();
            mIn.clear();
            say(said("declined",
                QStringLiteral("a request is at most %1 bytes long")
                    .arg(ServiceProtocol::kLongestLine)));
            closeWhenDone();
        }
    }

    void writeMore()
    {
        while (!mDropped && mWritten < mOut.size()) {
            const ssize_t n = ::send(mSocket, mOut.constData() + mWritten,
                size_t(mOut.size() - mWritten), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                mWritable.setEnabled(true);
                return;
            }
            if (n <= 0) {
                drop();
                return;
            }
            mWritten += n;
        }
        mOut.clear();
        mWritten = 0;
        mWritable.setEnabled(false);
        closeWhenDone();
    }

    void hearNoMore()
    {
        mHeardAll = true;
        mReadable.setEnabled(false);
    }

    void closeWhenDone()
    {
        if (mHeardAll && mExpected == 0 && mOut.isEmpty())
            drop();
    }

    void drop()
    {
        if (std::exchange(mDropped, true))
            return;
        mReadable.setEnabled(false);
        mWritable.setEnabled(false);
        deleteLater();
    }

    int mSocket;
    Request mRequest;
    QSocketNotifier mReadable;
    QSocketNotifier mWritable;
    QByteArray mIn;
    // Searched for a line's end up to here already.
    qsizetype mScanned = 0;
    QByteArray mOut;
    qsizetype mWritten = 0;
    int mExpected = 0;
    bool mHeardAll = false;
    bool mDropped = false;
};

// "device inode" of what is at path, not following a link; empty when nothing is.
QByteArray identity(const QString &path)
{
    struct stat status
    {
    };
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    return QByteArray::number(quint64(status.st_dev)) + ' '
        + QByteArray::number(quint64(status.st_ino));
}

class Service : public QObject
{
public:
    Service(const ServicePlace &place, std::unique_ptr<FileLock> lock, int listening,
        bool ownSocket, QJsonObject environment)
        : mPlace(place)
        , mLock(std::move(lock))
        , mLockIdentity(identity(mPlace.lock))
        , mListening(listening)
        , mOwnSocket(ownSocket)
        , mSocketIdentity(ownSocket ? identity(mPlace.socket) : QByteArray())
        , mEnvironment(std::move(environment))
        , mIdleLimit(serviceIdleSeconds())
        , mAccepting(listening, QSocketNotifier::Read)
        , mWriter(
              mPlace.own,
              [self = QPointer<Service>(this)](
                  quint64 id, const MemoWriter::Memo &made, const QString &error) {
                  if (self)
                      self->finishMemo(id, made, error);
              },
              [] { QCoreApplication::exit(0); })
    {
        connect(&mAccepting, &QSocketNotifier::activated, this, [this] { accept(); });
        // A signal to end (systemd's stop, the session's end) ends the offices as the
        // idle limit does, rather than leaving them to die.
        ProgramEnd::endOnSignal(this, [this] { end(); });
        // A service whose socket or lock is taken away (a cleaner of the temporary
        // folder) can no longer be reached, or would run beside a second one: it ends,
        // and the next command starts one that can.
        mPlaceWatch.addPath(mPlace.folder);
        connect(&mPlaceWatch, &QFileSystemWatcher::directoryChanged, this, [this] {
            if (identity(mPlace.lock) != mLockIdentity
                || (mOwnSocket && identity(mPlace.socket) != mSocketIdentity))
                end();
        });
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
                    client->say(said("working"));
            }
        });
        // Only while a command waits: an idle service does not wake at all.
        mHeartbeat.setInterval(kHeartbeat);
    }

    // No new connections; the offices end, then the program. Memos under way are given
    // up: their commands write them through their own offices. Safe to call at any
    // time, and more than once.
    void end()
    {
        if (mEnding)
            return;
        mEnding = true;
        mAccepting.setEnabled(false);
        if (mOwnSocket && identity(mPlace.socket) == mSocketIdentity)
            ::unlink(QFile::encodeName(mPlace.socket).constData());
        ::close(mListening);
        // A service started from now on may take over while this one ends its offices.
        mLock.reset();
        mWriter.stop();
    }

private:
    void accept()
    {
        for (;;) {
            const int socket
                = ::accept4(mListening, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (socket < 0)
                return;
            // Only this user's commands are served: an office works with their files.
            if (!peerIsThisUser(socket)) {
                ::close(socket);
                continue;
            }
            new Connection(
                socket,
                [this](Connection &client, const QByteArray &line) { answer(client, line); }, this);
        }
    }

    void answer(Connection &client, const QByteArray &line)
    {
        const auto message = ServiceProtocol::message(line);
        if (!message) {
            client.say(said("declined", QStringLiteral("not a request of this version")));
            return;
        }
        const QString request = message->value(QStringLiteral("request")).toString();
        if (request == QLatin1String("status")) {
            client.say({ { QStringLiteral("status"), QStringLiteral("running") },
                { QStringLiteral("pid"), qint64(::getpid()) }, { QStringLiteral("memos"), mMemos },
                { QStringLiteral("offices"), mWriter.officesStarted() },
                { QStringLiteral("running"),
                    int(childProcesses(QStringLiteral("soffice.bin")).size()) },
                { QStringLiteral("idleLimit"), mIdleLimit },
                { QStringLiteral("idle"), mSinceActivity.elapsed() / 1000 } });
        } else if (request == QLatin1String("stop")) {
            // Closed once the offices have ended: the command waits for that.
            client.expect();
            client.say(said("stopping"));
            end();
        } else if (request == QLatin1String("warm")) {
            stayAwake();
            warm();
        } else if (request == QLatin1String("memo")) {
            askForMemo(client, *message);
        } else {
            client.say(said("declined", QStringLiteral("no such request")));
        }
    }

    void askForMemo(Connection &client, const QJsonObject &message)
    {
        // What no office could make is said so, wherever the command runs.
        Job job;
        try {
            job.memo = ServiceProtocol::memoFrom(message.value(QStringLiteral("memo")).toObject());
            const QString format = message.value(QStringLiteral("format")).toString();
            const auto known = documentFormatNamed(format);
            if (!known)
                fail(QStringLiteral("unknown format \"%1\"").arg(format));
            job.format = *known;
        } catch (const Failure &failure) {
            client.say(said("invalid", failure.description()));
            return;
        }
        if (mEnding) {
            client.say(said("declined", QStringLiteral("the service is ending")));
            return;
        }
        // A command that would make its memo otherwise (another build, office, language
        // or home) makes it itself.
        if (message.value(QStringLiteral("environment")).toObject() != mEnvironment) {
            client.say(said("declined", QStringLiteral("another environment")));
            return;
        }
        job.id = ++mLastId;
        job.picture = message.value(QStringLiteral("picture")).toBool();
        mWaiting.emplace(job.id, &client);
        client.expect();
        mHeartbeat.start();
        mWriter.add(job);
    }

    void finishMemo(quint64 id, const MemoWriter::Memo &made, const QString &error)
    {
        const auto waiting = mWaiting.find(id);
        if (waiting == mWaiting.end())
            return;
        const QPointer<Connection> client = waiting->second;
        mWaiting.erase(waiting);
        if (mWaiting.empty())
            mHeartbeat.stop();
        // Only memos made keep the service: one that can make none ends at its limit.
        if (error.isEmpty()) {
            ++mMemos;
            stayAwake();
        }
        if (!error.isEmpty()) {
            // Two offices starting side by side on a small machine each take longer.
            QTimer::singleShot(kRestartAfterFailure, this, [this] { warm(); });
            if (client)
                client->fulfil(said("failed", error));
            return;
        }
        if (!client)
            return;
        client->fulfil({ { QStringLiteral("status"), QStringLiteral("written") },
            { QStringLiteral("document"), ServiceProtocol::bytesText(made.document) },
            { QStringLiteral("picture"), ServiceProtocol::bytesText(made.picture) } });
    }

    // Has the office started for the memos to come.
    void warm()
    {
        if (mEnding)
            return;
        Job job;
        job.warm = true;
        mWriter.add(job);
    }

    void stayAwake()
    {
        mIdle.start(mIdleLimit * 1000);
        mSinceActivity.restart();
    }

    ServicePlace mPlace;
    std::unique_ptr<FileLock> mLock;
    QByteArray mLockIdentity;
    int mListening;
    bool mOwnSocket;
    QByteArray mSocketIdentity;
    QJsonObject mEnvironment;
    int mIdleLimit;
    QSocketNotifier mAccepting;
    QFileSystemWatcher mPlaceWatch;
    QTimer mIdle;
    QTimer mHeartbeat;
    QElapsedTimer mSinceActivity;
    std::map<quint64, QPointer<Connection>> mWaiting;
    quint64 mLastId = 0;
    int mMemos = 0;
    bool mEnding = false;
    Writer mWriter;
};

// The service keeps nothing of the command that started it: its working folder, its
// temporary folder and its cache are the service's own, so a later command with other
// ones, or a cleaner of theirs, changes nothing here. Before any thread runs.
bool settleIn(const ServicePlace &place)
{
    if (::chdir("/") != 0)
        return false;
    try {
        checkOwnFolders(place.own);
    } catch (const Failure &) {
        return false;
    }
    const QByteArray temporary = QFile::encodeName(place.own + QStringLiteral("/tmp"));
    for (const char *name : { "TEMP", "TMPDIR", "TMP" })
        qputenv(name, temporary);
    qputenv("XDG_CACHE_HOME", QFile::encodeName(place.own + QStringLiteral("/cache")));
    // What a service killed before left there.
    clearLeftoverWorkFolders();
    clearLeftoverPipes(LibreOfficeProcessor::defaultSettings().profileRoot);
    return true;
}
} // namespace

int run(const std::function<std::unique_ptr<QCoreApplication>()> &makeApplication)
{
    ::signal(SIGPIPE, SIG_IGN);
    const int handed = ServiceSocket::handedSocket();
    // Closed, whatever happens, when this process ends; released early once listening.
    const int starting = ServiceSocket::handedStartLock();
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
    // What the commands' memos are compared with, before the service's own folders
    // replace the starting command's.
    const QJsonObject environment = ServiceProtocol::environment();
    if (!settleIn(*place))
        return 1;
    const int listening = handed >= 0 ? handed : ServiceSocket::ownSocket(*place);
    if (listening < 0)
        return 1;
    // Commands that waited for this start now find it listening.
    if (starting >= 0)
        ::close(starting);
    const std::unique_ptr<QCoreApplication> application = makeApplication();
    Service service(*place, std::move(lock), listening, handed < 0, environment);
    return QCoreApplication::exec();
}

} // namespace MemoService

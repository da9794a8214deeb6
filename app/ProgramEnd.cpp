#include "ProgramEnd.h"

#include "Failure.h"
#include "FileUtils.h"

#include <QFile>
#include <QObject>
#include <QSocketNotifier>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ProgramEnd {
namespace {
constexpr std::array kSignals { SIGTERM, SIGHUP, SIGINT };

std::atomic<int> gSignal { 0 };
std::atomic<bool> gEnding { false };
std::atomic<bool> gStopMode { false };
// The first signal reaches the application's thread through this pipe.
int gWake[2] = { -1, -1 };
pid_t gProgram = 0;

// Everything here is read by the signal handler: fixed places, no allocation. A note
// is published (Noted) only once it is whole.
enum NoteState { Free, Writing, Noted };
constexpr int kSockets = 2;
constexpr size_t kPathSize = 108; // sockaddr_un's sun_path
struct Child
{
    std::atomic<int> state { Free };
    pid_t pid = 0;
    std::array<std::array<char, kPathSize>, kSockets> sockets {};
    QByteArray folder;
};
std::array<Child, 64> gChildren;

void removeSocket(const char *path)
{
    struct stat status
    {
    };
    if (path[0] != '\0' && ::lstat(path, &status) == 0 && S_ISSOCK(status.st_mode)
        && status.st_uid == ::getuid())
        ::unlink(path);
}

[[noreturn]] void dieOf(int signal)
{
    ::signal(signal, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal);
    ::_exit(128 + signal);
}

void onSignal(int signal)
{
    const int savedErrno = errno;
    // A child between its fork and its exec runs this too: it only dies.
    if (::getpid() != gProgram)
        dieOf(signal);
    if (gEnding.exchange(true)) {
        endNotedChildren();
        dieOf(signal);
    }
    gSignal.store(signal);
    const char byte = 1;
    (void)!::write(gWake[1], &byte, 1);
    errno = savedErrno;
}

void install()
{
    static std::once_flag once;
    std::call_once(once, [] {
        gProgram = ::getpid();
        if (::pipe2(gWake, O_CLOEXEC | O_NONBLOCK) != 0)
            gWake[0] = gWake[1] = -1;
        struct sigaction action
        {
        };
        action.sa_handler = onSignal;
        action.sa_flags = SA_RESTART;
        sigfillset(&action.sa_mask);
        for (const int signal : kSignals) {
            struct sigaction before
            {
            };
            if (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
                ::sigaction(signal, &action, nullptr);
        }
    });
}
} // namespace

void endOnSignal(QObject *context, std::function<void()> end)
{
    install();
    if (gWake[0] < 0)
        return;
    auto *notifier = new QSocketNotifier(gWake[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [end = std::move(end)] {
        char bytes[16];
        while (::read(gWake[0], bytes, sizeof bytes) > 0) { }
        end();
    });
}

void stopOnSignal()
{
    gStopMode = true;
    install();
}

bool stopRequested()
{
    return gStopMode && gSignal != 0;
}

void failIfStopRequested()
{
    if (stopRequested())
        fail(QStringLiteral("Stopped by %1.").arg(QLatin1String(signalName(gSignal))));
}

int receivedSignal()
{
    return gSignal;
}

const char *signalName(int signal)
{
    switch (signal) {
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    case SIGINT:
        return "SIGINT";
    default:
        return "a signal";
    }
}

void beginEnding()
{
    gEnding = true;
}

void dieOfReceivedSignal()
{
    std::fflush(nullptr);
    dieOf(gSignal != 0 ? int(gSignal) : SIGTERM);
}

int noteChild(pid_t pid, std::initializer_list<QByteArray> sockets, const QByteArray &folder)
{
    for (int note = 0; note < int(gChildren.size()); ++note) {
        Child &child = gChildren[size_t(note)];
        int free = Free;
        if (!child.state.compare_exchange_strong(free, Writing))
            continue;
        child.pid = pid;
        size_t index = 0;
        for (const QByteArray &socket : sockets) {
            if (index == child.sockets.size())
                break;
            auto &path = child.sockets.at(index++);
            const bool fits = size_t(socket.size()) < path.size();
            std::memcpy(path.data(), socket.constData(), fits ? size_t(socket.size()) : 0);
            path[fits ? size_t(socket.size()) : 0] = '\0';
        }
        for (; index < child.sockets.size(); ++index)
            child.sockets.at(index)[0] = '\0';
        child.folder = folder;
        child.state.store(Noted);
        return note;
    }
    return -1;
}

void forgetChild(int note)
{
    if (note >= 0 && note < int(gChildren.size()))
        gChildren[size_t(note)].state.store(Free);
}

void endNotedChildren()
{
    for (Child &child : gChildren) {
        if (child.state.load() != Noted)
            continue;
        // Only a child that has not been waited for yet: its id cannot be another's.
        siginfo_t info {};
        if (::waitid(P_PID, id_t(child.pid), &info, WEXITED | WNOHANG | WNOWAIT | __WALL) == 0
            && info.si_pid == 0)
            ::kill(child.pid, SIGKILL);
        for (const auto &socket : child.sockets)
            removeSocket(socket.data());
    }
}

void removeNotedFolders()
{
    for (Child &child : gChildren) {
        if (child.state.load() == Noted && !child.folder.isEmpty())
            removeOwn(QFile::decodeName(child.folder));
    }
}

} // namespace ProgramEnd

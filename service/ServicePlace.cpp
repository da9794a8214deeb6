#include "ServicePlace.h"

#include "FileUtils.h"

#include <QDir>
#include <QFile>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int kDefaultIdleSeconds = 600;
// Kept within what a timer takes in milliseconds: some three weeks.
constexpr int kLongestIdleSeconds = 2'000'000;
} // namespace

std::optional<ServicePlace> ServicePlace::find()
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty()) {
        folder = QDir::tempPath() + QStringLiteral("/scrivane-%1").arg(::geteuid());
        // Made private from the start; one that exists is checked like any other.
        makePrivateFolder(folder);
    }
    if (!isPrivateFolder(folder))
        return std::nullopt;
    return ServicePlace { folder, folder + QStringLiteral("/scrivane.socket"),
        folder + QStringLiteral("/scrivane.lock"), folder + QStringLiteral("/scrivane.start"),
        folder + QStringLiteral("/scrivane-service") };
}

SocketState socketState(const QString &path)
{
    struct stat status
    {
    };
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return errno == ENOENT ? SocketState::Missing : SocketState::Refused;
    if (!S_ISSOCK(status.st_mode) || status.st_uid != ::geteuid() || (status.st_mode & 077) != 0)
        return SocketState::Refused;
    return SocketState::Ours;
}

bool peerIsThisUser(int socket)
{
    struct ucred peer
    {
    };
    socklen_t size = sizeof peer;
    return ::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && size == sizeof peer
        && peer.uid == ::geteuid();
}

int serviceIdleSeconds()
{
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("SCRIVANE_SERVICE_IDLE_S", &ok);
    return ok && seconds > 0 ? std::min(seconds, kLongestIdleSeconds) : kDefaultIdleSeconds;
}

#include "ServiceSocket.h"

#include "ServicePlace.h"

#include <QFile>
#include <QtGlobal>

#include <cstring>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace ServiceSocket {
namespace {
// systemd hands its listening socket over as the first descriptor after the standard ones.
constexpr int kFirstHandedSocket = 3;
} // namespace

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

int handedStartLock()
{
    bool given = false;
    const int handle = qEnvironmentVariableIntValue(kStartLockVariable, &given);
    qunsetenv(kStartLockVariable);
    if (!given || handle <= STDERR_FILENO || ::fcntl(handle, F_SETFD, FD_CLOEXEC) != 0)
        return -1;
    return handle;
}

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

} // namespace ServiceSocket

#pragma once

#include <QString>

#include <optional>

// Where the memo service of this user listens: a socket in $XDG_RUNTIME_DIR, or in a
// folder of this user's under the temporary folder when that is not set. Only this
// user may enter the folder or use the socket; anything else there is refused.
struct ServicePlace
{
    QString folder;
    QString socket;
    // Held by the running service, so that two started at once make one.
    QString lock;
    // Held by the command that starts a service until it listens: commands that find
    // it held wait for that service instead of starting offices of their own.
    QString startLock;
    // The service's own: its temporary files and its offices' profiles, whatever the
    // commands' TEMP and HOME are.
    QString own;

    // The place, its folder made when it is the private one and missing; nothing when
    // the folder is not this user's alone.
    static std::optional<ServicePlace> find();
};

// The command that starts a service hands it the start lock as this descriptor, named
// in this variable.
constexpr auto kStartLockVariable = "SCRIVANE_SERVICE_STARTING";
constexpr int kStartLockHandle = 3;

enum class SocketState { Missing, Ours, Refused };

// What lies at the socket's path: only a socket of this user's, 0600 or narrower, is used.
SocketState socketState(const QString &path);

// True when the other end of a connected socket runs as this user.
bool peerIsThisUser(int socket);

// The service's idle limit: $SCRIVANE_SERVICE_IDLE_S seconds, else 600.
int serviceIdleSeconds();

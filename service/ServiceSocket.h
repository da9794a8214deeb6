#pragma once

struct ServicePlace;

// Where the memo service gets the socket it listens on and the start lock it releases
// once listening: from systemd or the starting command, else made at its place.
namespace ServiceSocket {

// The socket systemd made and handed over, when it started this service; -1 otherwise.
int handedSocket();

// The start lock the starting command handed over, held until this service listens;
// -1 when there is none.
int handedStartLock();

// A socket of this user's alone at the place; one left by a service that was killed
// is replaced (the lock says none runs). -1 when none can be made.
int ownSocket(const ServicePlace &place);

} // namespace ServiceSocket

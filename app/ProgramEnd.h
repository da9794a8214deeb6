#pragma once

#include <QByteArray>

#include <functional>
#include <initializer_list>

#include <sys/types.h>

class QObject;

// Ending on SIGTERM, SIGHUP or SIGINT (a session's logout, a closed terminal, Ctrl-C,
// a service manager) the way the program ends by itself, so that its offices, work
// folders and the offices' pipes go with it. The first of these signals asks the
// program to end; a second one, or one that comes while the program already ends,
// ends it at once: the children noted here are killed, their sockets removed, and the
// program dies of that signal. A signal that was ignored when the program started
// (nohup) stays ignored.
namespace ProgramEnd {

// From now on the first signal calls `end` on the application's thread as soon as it
// takes events, unless the context is gone by then. Needs the application object.
void endOnSignal(QObject *context, std::function<void()> end);

// From now on the first signal only makes stopRequested() true, for work that stops
// between its steps and then ends the program its usual way.
void stopOnSignal();

// True once a signal asked work to stop (after stopOnSignal()).
bool stopRequested();
// Throws Failure, saying which signal stopped it, once stopRequested() is true.
void failIfStopRequested();

// The signal that asked the program to end; 0 while none has.
int receivedSignal();
// "SIGTERM", "SIGHUP", "SIGINT".
const char *signalName(int signal);

// The program has begun to end by itself: a signal from now on ends it at once.
void beginEnding();

// Ends the program as the signal received would have ended it (its parent sees that
// signal), after flushing standard output and error.
[[noreturn]] void dieOfReceivedSignal();

// A child that must not outlive the program, the sockets it listens on and the folder
// it works in (full paths), which it leaves behind when it is killed. Returns the note,
// or -1 when none could be made (the child then only dies with the program).
int noteChild(pid_t pid, std::initializer_list<QByteArray> sockets, const QByteArray &folder = {});
// The child has ended and its sockets and folder are gone.
void forgetChild(int note);
// Kills the children still noted and removes their sockets: for an end that runs no
// destructor. Safe in a signal handler.
void endNotedChildren();
// After endNotedChildren(), removes their folders too; not in a signal handler.
void removeNotedFolders();

} // namespace ProgramEnd

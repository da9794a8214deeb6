#pragma once

// The memo service: "scrivane --service run". Listens on this user's socket (or the
// one systemd hands over), keeps one office ready and makes memos for the command
// line, one at a time, until it has been idle for $SCRIVANE_SERVICE_IDLE_S seconds or
// is asked to stop; its offices end with it. The application object must exist.
namespace MemoService {

// The exit status: 0 also when another service already runs.
int run();

} // namespace MemoService

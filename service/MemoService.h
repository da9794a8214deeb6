#pragma once

#include <QCoreApplication>

#include <functional>
#include <memory>

// The memo service: "scrivane --service run". Listens on this user's socket (or the
// one systemd hands over), keeps one office ready and makes memos for the command
// line, one at a time, until it has been idle for $SCRIVANE_SERVICE_IDLE_S seconds or
// is asked to stop; its offices end with it. It works in a folder of its own beside its
// socket, never in the starting command's working, temporary or cache folder.
namespace MemoService {

// The exit status: 0 also when another service already runs. The application is made
// once the service has settled in its own folders.
int run(const std::function<std::unique_ptr<QCoreApplication>()> &makeApplication);

} // namespace MemoService

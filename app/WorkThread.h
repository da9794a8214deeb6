#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// The one way work leaves the window's thread. Which threads and processes exist, and
// who owns each:
// - The application's thread runs every window, the generation run and the command
//   line. Every office (soffice.bin, a child process that dies with this thread) is
//   forked here, and while it waits for a WorkThread it keeps taking events.
// - Each office (generate/Office.h) owns one WorkThread for its calls over UNO, so a
//   call that hangs ends at its deadline and the office is then killed. An office
//   belongs to the session that holds it, or as the spare to the LibreOfficeProcessor.
// - The settings store owns one WorkThread that writes what is typed (SaveSettingSoon).
// - A batch (generate/MemoBatch.h) owns one WorkThread per session; each session's
//   offices are watched from that thread.
// - The memo service (service/MemoService.cpp) owns one WorkThread that holds its
//   offices and makes the memos its commands ask for.
// - The style pictures (generate/StylePictures.h) own one WorkThread that draws them;
//   the spare office is handed to it for one drawing and handed back at the end, so
//   the application's thread watches it again before a run takes it.
// - Nothing else: page pictures (Poppler) are drawn on the thread that asked for them.
//
// The rule for offices: an office starts and ends on the thread that watches it (Qt
// lets only the thread that made a QProcess wait for it or end it). A spare office is
// therefore taken only by the thread that watches it (OfficeProcess::isWatchedHere),
// and an office asked for on a WorkThread is forked on the application's thread, whose
// death signal outlives it, and then handed to the WorkThread to watch.
//
// A WorkThread runs one task at a time, in order, for a caller that will not wait
// forever: a call into another process can hang, and only the caller's deadline ends it.
class WorkThread
{
public:
    using Clock = std::chrono::steady_clock;

    WorkThread();
    // Waits a bounded time for the tasks still queued; a thread that is still stuck
    // then is left to finish on its own. So a task that may outlive its owner (one that
    // calls into an office, which may hang past that time) must hold what it touches
    // itself, by shared_ptr, and never its owner's `this`.
    ~WorkThread();

    WorkThread(const WorkThread &) = delete;
    WorkThread &operator=(const WorkThread &) = delete;

    // Runs the task on the thread. False when the deadline passed first: a task that
    // had not started is dropped, one that had goes on and its outcome is lost.
    // What the task throws is rethrown. On the application's thread, events are
    // handled while it waits.
    bool run(std::function<void()> task, Clock::time_point deadline);
    // As run(), and also gives up as at the deadline once `hopeless`, asked every
    // `interval` while it waits, says the task will not end (its office has frozen).
    bool run(std::function<void()> task, Clock::time_point deadline,
        const std::function<bool()> &hopeless, std::chrono::milliseconds interval);

    // Runs a task whose outcome nobody waits for.
    void post(std::function<void()> task);

private:
    struct Call;
    struct Queue;
    static void serve(const std::shared_ptr<Queue> &queue);
    bool isDone(const Call &call, Clock::time_point until) const;

    std::shared_ptr<Queue> mQueue;
    std::thread mThread;
};

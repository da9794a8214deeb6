#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// A thread that runs one task at a time for a caller that will not wait forever:
// a call into another process can hang, and only the caller's deadline ends it.
class CallThread
{
public:
    using Clock = std::chrono::steady_clock;

    CallThread();
    // Waits a bounded time for the tasks still queued; a thread that is still stuck
    // then is left to finish on its own (its tasks own whatever they touch).
    ~CallThread();

    CallThread(const CallThread &) = delete;
    CallThread &operator=(const CallThread &) = delete;

    // Runs the task on the thread. False when the deadline passed first: a task that
    // had not started is dropped, one that had goes on and its outcome is lost.
    // What the task throws is rethrown. On the application's thread, events are
    // handled while it waits.
    bool run(std::function<void()> task, Clock::time_point deadline);

    // Runs a task whose outcome nobody waits for.
    void post(std::function<void()> task);

private:
    struct Call;
    struct Queue;
    static void serve(const std::shared_ptr<Queue> &queue);
    bool isDone(const Call &call, Clock::time_point deadline) const;

    std::shared_ptr<Queue> mQueue;
    std::thread mThread;
};

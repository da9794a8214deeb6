#include "CallThread.h"

#include <utility>

namespace {
constexpr auto kDrainTime = std::chrono::seconds(10);
}

struct CallThread::Call
{
    std::function<void()> task;
    bool done = false;
    bool abandoned = false;
    std::exception_ptr error;
};

struct CallThread::Queue
{
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::shared_ptr<Call>> calls;
    bool stopping = false;
    bool stopped = false;
};

CallThread::CallThread()
    : mQueue(std::make_shared<Queue>())
    , mThread(serve, mQueue)
{ }

CallThread::~CallThread()
{
    std::unique_lock lock(mQueue->mutex);
    mQueue->stopping = true;
    mQueue->changed.notify_all();
    const bool stopped
        = mQueue->changed.wait_for(lock, kDrainTime, [&] { return mQueue->stopped; });
    lock.unlock();
    if (stopped)
        mThread.join();
    else
        mThread.detach();
}

void CallThread::serve(const std::shared_ptr<Queue> &queue)
{
    std::unique_lock lock(queue->mutex);
    for (;;) {
        queue->changed.wait(lock, [&] { return queue->stopping || !queue->calls.empty(); });
        if (queue->calls.empty())
            break;
        const std::shared_ptr<Call> call = queue->calls.front();
        queue->calls.pop_front();
        if (call->abandoned)
            continue;
        lock.unlock();
        std::exception_ptr error;
        try {
            call->task();
        } catch (...) {
            error = std::current_exception();
        }
        // The task's captures go here, on this thread, before anyone is told.
        call->task = nullptr;
        lock.lock();
        call->error = error;
        call->done = true;
        queue->changed.notify_all();
    }
    queue->stopped = true;
    queue->changed.notify_all();
}

bool CallThread::run(std::function<void()> task, Clock::time_point deadline)
{
    auto call = std::make_shared<Call>();
    call->task = std::move(task);
    std::unique_lock lock(mQueue->mutex);
    mQueue->calls.push_back(call);
    mQueue->changed.notify_all();
    if (!mQueue->changed.wait_until(lock, deadline, [&] { return call->done; })) {
        // Not started yet: it never will be.
        call->abandoned = true;
        return false;
    }
    if (call->error)
        std::rethrow_exception(call->error);
    return true;
}

void CallThread::post(std::function<void()> task)
{
    auto call = std::make_shared<Call>();
    call->task = std::move(task);
    std::lock_guard lock(mQueue->mutex);
    mQueue->calls.push_back(call);
    mQueue->changed.notify_all();
}

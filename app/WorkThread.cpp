#include "WorkThread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <utility>

namespace {
constexpr auto kDrainTime = std::chrono::seconds(10);
}

struct WorkThread::Call
{
    std::function<void()> task;
    bool done = false;
    bool abandoned = false;
    std::exception_ptr error;
    // The waiting window thread's event loop, woken when the task is done.
    QEventLoop *wake = nullptr;
};

struct WorkThread::Queue
{
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::shared_ptr<Call>> calls;
    bool stopping = false;
    bool stopped = false;
};

WorkThread::WorkThread()
    : mQueue(std::make_shared<Queue>())
    , mThread(serve, mQueue)
{ }

WorkThread::~WorkThread()
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

void WorkThread::serve(const std::shared_ptr<Queue> &queue)
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
        if (call->wake)
            QMetaObject::invokeMethod(call->wake, &QEventLoop::quit, Qt::QueuedConnection);
        queue->changed.notify_all();
    }
    queue->stopped = true;
    queue->changed.notify_all();
}

bool WorkThread::run(std::function<void()> task, Clock::time_point deadline)
{
    return run(std::move(task), deadline, {}, {});
}

bool WorkThread::run(std::function<void()> task, Clock::time_point deadline,
    const std::function<bool()> &hopeless, std::chrono::milliseconds interval)
{
    auto call = std::make_shared<Call>();
    call->task = std::move(task);
    std::unique_lock lock(mQueue->mutex);
    mQueue->calls.push_back(call);
    mQueue->changed.notify_all();
    const QCoreApplication *application = QCoreApplication::instance();
    const bool onApplicationThread
        = application && QThread::currentThread() == application->thread();
    for (;;) {
        const Clock::time_point until
            = hopeless ? std::min(deadline, Clock::now() + interval) : deadline;
        if (onApplicationThread) {
            // The application's thread keeps taking events while it waits, so its windows
            // repaint and answer.
            QEventLoop loop;
            call->wake = &loop;
            lock.unlock();
            QTimer timer;
            timer.setSingleShot(true);
            timer.setTimerType(Qt::PreciseTimer);
            QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
            while (!isDone(*call, until)) {
                // A timer may fire a little early: it is set again for what is left.
                timer.start(std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()));
                loop.exec();
            }
            lock.lock();
            call->wake = nullptr;
        }
        if (mQueue->changed.wait_until(lock, until, [&] { return call->done; }))
            break;
        lock.unlock();
        const bool givenUp = Clock::now() >= deadline || (hopeless && hopeless());
        lock.lock();
        if (call->done)
            break;
        if (givenUp) {
            // A call not started yet is dropped, one under way goes on and its outcome
            // is lost.
            call->abandoned = true;
            return false;
        }
    }
    if (call->error)
        std::rethrow_exception(call->error);
    return true;
}

bool WorkThread::isDone(const Call &call, Clock::time_point until) const
{
    std::lock_guard lock(mQueue->mutex);
    return call.done || Clock::now() >= until;
}

void WorkThread::post(std::function<void()> task)
{
    auto call = std::make_shared<Call>();
    call->task = std::move(task);
    std::lock_guard lock(mQueue->mutex);
    mQueue->calls.push_back(call);
    mQueue->changed.notify_all();
}

#include "Failure.h"
#include "WorkThread.h"

#include <QTest>
#include <QTimer>

#include <atomic>
#include <future>
#include <thread>

using namespace std::chrono_literals;

class WorkThreadTest : public QObject
{
    Q_OBJECT

private slots:
    void runsTasksInOrderOnItsOwnThread();
    void rethrowsWhatTheTaskThrows();
    void givesUpAtTheDeadline();
    void dropsTasksThatTimedOutBeforeStarting();
    void theApplicationsThreadTakesEventsWhileItWaits();
};

void WorkThreadTest::theApplicationsThreadTakesEventsWhileItWaits()
{
    // A window waiting for its office still repaints and answers the user.
    WorkThread calls;
    std::atomic<bool> taskDone = false;
    bool eventBeforeTaskDone = false;
    QTimer::singleShot(0, this, [&] { eventBeforeTaskDone = !taskDone; });
    QVERIFY(calls.run(
        [&] {
            std::this_thread::sleep_for(300ms);
            taskDone = true;
        },
        WorkThread::Clock::now() + 10s));
    QVERIFY(eventBeforeTaskDone);

    // And a task that outlasts its deadline still gives up on time.
    const auto start = WorkThread::Clock::now();
    QVERIFY(!calls.run([] { std::this_thread::sleep_for(2s); }, start + 200ms));
    QVERIFY(WorkThread::Clock::now() - start < 1500ms);
}

void WorkThreadTest::runsTasksInOrderOnItsOwnThread()
{
    WorkThread calls;
    std::vector<int> order;
    std::thread::id worker;
    QVERIFY(calls.run(
        [&] {
            order.push_back(1);
            worker = std::this_thread::get_id();
        },
        WorkThread::Clock::now() + 10s));
    calls.post([&] { order.push_back(2); });
    QVERIFY(calls.run([&] { order.push_back(3); }, WorkThread::Clock::now() + 10s));
    QCOMPARE(order, std::vector<int>({ 1, 2, 3 }));
    QVERIFY(worker != std::this_thread::get_id());
}

void WorkThreadTest::rethrowsWhatTheTaskThrows()
{
    WorkThread calls;
    try {
        calls.run([] { fail(QStringLiteral("Could not open \"x.dot\": broken.")); },
            WorkThread::Clock::now() + 10s);
        QFAIL("nothing was thrown");
    } catch (const Failure &failure) {
        QCOMPARE(failure.description(), QStringLiteral("Could not open \"x.dot\": broken."));
    }
    // The thread serves the next task as usual.
    bool ran = false;
    QVERIFY(calls.run([&] { ran = true; }, WorkThread::Clock::now() + 10s));
    QVERIFY(ran);
}

void WorkThreadTest::givesUpAtTheDeadline()
{
    WorkThread calls;
    auto release = std::make_shared<std::promise<void>>();
    std::shared_future<void> released = release->get_future().share();
    auto finished = std::make_shared<std::atomic<bool>>(false);
    QVERIFY(!calls.run(
        [released, finished] {
            released.wait();
            *finished = true;
        },
        WorkThread::Clock::now() + 50ms));
    QVERIFY(!*finished);
    release->set_value();
    // The stuck task goes on to its end once it can.
    QVERIFY(calls.run([] {}, WorkThread::Clock::now() + 10s));
    QVERIFY(*finished);
}

void WorkThreadTest::dropsTasksThatTimedOutBeforeStarting()
{
    WorkThread calls;
    auto release = std::make_shared<std::promise<void>>();
    std::shared_future<void> released = release->get_future().share();
    calls.post([released] { released.wait(); });
    auto ran = std::make_shared<std::atomic<bool>>(false);
    QVERIFY(!calls.run([ran] { *ran = true; }, WorkThread::Clock::now() + 50ms));
    release->set_value();
    QVERIFY(calls.run([] {}, WorkThread::Clock::now() + 10s));
    QVERIFY(!*ran);
}

QTEST_GUILESS_MAIN(WorkThreadTest)
#include "tst_workthread.moc"

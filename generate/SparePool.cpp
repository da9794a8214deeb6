#include "SparePool.h"

#include "Failure.h"
#include "Office.h"

#include <utility>

namespace {
// An idle office answers a trivial call within milliseconds; one that does not hangs.
constexpr auto kSpareAnswerTime = std::chrono::seconds(3);
} // namespace

SparePool::SparePool(LibreOfficeProcessor::Settings officeSettings)
    : settings(std::move(officeSettings))
{ }

SparePool::~SparePool() = default;

std::unique_ptr<Office> SparePool::take()
{
    std::unique_ptr<Office> office;
    {
        // A spare watched from another thread stays for that thread's next session.
        std::lock_guard lock(mMutex);
        if (mSpare && mSpare->isWatchedHere())
            office = std::move(mSpare);
    }
    if (office) {
        try {
            if (!office->isConnected())
                office->connect();
            if (office->answers(kSpareAnswerTime))
                return office;
        } catch (const Failure &) {
            // Replaced below; the new office says why if it cannot start either.
        }
        office.reset();
    }
    office = std::make_unique<Office>(settings);
    office->connect();
    return office;
}

void SparePool::giveBack(std::unique_ptr<Office> office, QThread *home)
{
    const bool reusable = !office->isBroken() && !office->hasDocument();
    std::unique_lock lock(mMutex);
    if (mClosed || mSpare) {
        lock.unlock();
        return;
    }
    if (reusable) {
        if (home != nullptr)
            office->watchFrom(home);
        mSpare = std::move(office);
        return;
    }
    lock.unlock();
    office.reset();
    try {
        auto started = std::make_unique<Office>(settings);
        if (home != nullptr)
            started->watchFrom(home);
        lock.lock();
        if (!mClosed && !mSpare)
            mSpare = std::move(started);
    } catch (const Failure &) {
        // The next session starts its own, and says why if it cannot.
    }
}

std::unique_ptr<Office> SparePool::lend(QThread *worker)
{
    std::lock_guard lock(mMutex);
    if (!mSpare || !mSpare->isWatchedHere())
        return {};
    mSpare->watchFrom(worker);
    return std::move(mSpare);
}

void SparePool::close()
{
    std::unique_ptr<Office> ending;
    {
        std::lock_guard lock(mMutex);
        mClosed = true;
        ending = std::move(mSpare);
    }
}

#pragma once

#include "LibreOfficeProcessor.h"

#include <memory>
#include <mutex>

class Office;
class QThread;

// The one office kept ready between sessions, so that a session seldom waits for a
// start: the start-up check's office, and each session's office when it is done.
// Shared by the processor and its sessions, which may outlive it.
class SparePool
{
public:
    explicit SparePool(LibreOfficeProcessor::Settings officeSettings);
    ~SparePool();

    // The spare if it still answers, else a new office; a spare that died or hangs is
    // ended and replaced without a word. Throws Failure when no office starts.
    std::unique_ptr<Office> take();

    // An office that ended its session cleanly waits for the next one; any other
    // ends, and a new one starts in the background in its place.
    // `home`, when given, is the thread that is to watch the spare.
    void giveBack(std::unique_ptr<Office> office, QThread *home = nullptr);

    // The spare, handed to `worker` to watch; null when there is none here.
    std::unique_ptr<Office> lend(QThread *worker);

    // Ends the spare; nothing given back from now on is kept.
    void close();

    const LibreOfficeProcessor::Settings settings;

private:
    std::mutex mMutex;
    std::unique_ptr<Office> mSpare;
    bool mClosed = false;
};

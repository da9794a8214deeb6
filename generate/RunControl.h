#pragma once

#include "ErrorTrap.h"

#include <QString>

class MemoRunHost;
class UserInterface;

// Thrown once the user has stopped the run. It is no std::exception, so no error trap
// reports it: it unwinds the run to makeMemo, which cleans up.
struct RunStopped
{
};

// What the run tells its window as it goes, and the user's stop. The stop comes in as
// an event while the run waits for its word processor (the window's thread takes
// events then); the run's word processors are ended, so the call under way fails, and
// the run stops at that step, or at the next word to the window, without a report.
class RunControl
{
public:
    RunControl(MemoRunHost &host, UserInterface &ui);

    // A new run: it can be stopped until it hands the memo to the preview.
    void begin();
    // Tells the window what the run does now; throws RunStopped once it is stopped.
    // The window's events are taken first, as while the run waits for an office.
    void doing(const QString &words);
    // The memo goes to the preview now: a stop asked for from here on comes too late.
    void finishing() { mStoppable = false; }
    // The run is over, however it ended.
    void end() { mStoppable = mStopped = false; }
    // The reporter of the run's error traps: after a stop a failure is the stop's.
    ErrorTrap::Reporter reporter();

    // True when the run is to stop now; false when there is no run, it is finishing or
    // it was stopped already.
    bool stop();

private:
    MemoRunHost &mHost;
    UserInterface &mUi;
    bool mStoppable = false;
    bool mStopped = false;
};

// What the run says to the user as it goes, and over the pages it shows.
namespace RunWords {
// "Filling the Elegant template...", with the characters when they are many.
QString filling(int style, qint64 characters);
// "Drawing 3 pages...", "Drawing the first 8 of 40 pages...".
QString drawing(int pages);
// When the picture holds fewer pages than the memo: how many of how many; else empty.
QString firstPagesNote(int pages);
// A memo not drawn at all, and how to keep it.
QString tooLongNote(int pages);
} // namespace RunWords

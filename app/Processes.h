#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <chrono>

// What the kernel tells of running processes, read from /proc in one place for the
// program, its tests and its benchmarks.
struct ProcessInfo
{
    qint64 pid = 0;
    qint64 parent = 0;
    // The program's name as the kernel keeps it ("soffice.bin").
    QString name;
    // 'R', 'S', 'T', 'Z', ...; 0 when the process is gone.
    char state = 0;

    // Gone, or ended and not yet waited for.
    bool hasEnded() const { return state == 0 || state == 'Z' || state == 'X'; }
};

// One process; an empty one (pid 0) when there is no such process.
ProcessInfo processInfo(qint64 pid);

// Every process that can be read now.
QList<ProcessInfo> runningProcesses();

// The running children of this process with that program name.
QList<qint64> childProcesses(const QString &name);

// Its command line or its environment, NUL after each piece as the kernel keeps them;
// empty when it cannot be read.
QByteArray processCommandLine(qint64 pid);
QByteArray processEnvironment(qint64 pid);

// A memory figure of its status in MiB: "VmRSS" what it holds now, "VmHWM" its peak;
// 0 when unknown.
double processMebibytes(qint64 pid, const char *field = "VmRSS");

// The processor time it has used so far, in milliseconds; 0 when unknown.
double processorMilliseconds(qint64 pid);

// Tells when a process has stopped working: it has used no processor time, and was
// never seen running or waiting for a disk, for the time given (a stopped or
// deadlocked process; one that only waits for its turn on a busy machine runs).
class StallWatch
{
public:
    StallWatch(qint64 pid, std::chrono::milliseconds limit);
    // Asked while the process should be working; true once it has stalled that long.
    bool stalled();

private:
    qint64 mPid;
    std::chrono::milliseconds mLimit;
    double mProcessorTime = -1;
    std::chrono::steady_clock::time_point mSince;
};

#include "Processes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <unistd.h>

namespace {
// The kernel's files give their size as 0, so they are read to their end.
QByteArray procFile(qint64 pid, const char *name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The fields of /proc/<pid>/stat after the name, from the state on; the name is in
// parentheses and may hold spaces and parentheses, so it ends at the last one.
QList<QByteArray> statFields(const QByteArray &stat, QString *name)
{
    const qsizetype open = stat.indexOf('(');
    const qsizetype close = stat.lastIndexOf(')');
    if (open < 0 || close < open)
        return {};
    if (name != nullptr)
        *name = QString::fromUtf8(stat.mid(open + 1, close - open - 1));
    return stat.mid(close + 1).simplified().split(' ');
}
} // namespace

ProcessInfo processInfo(qint64 pid)
{
    ProcessInfo info;
    const QList<QByteArray> fields = statFields(procFile(pid, "stat"), &info.name);
    if (fields.size() < 2 || fields[0].isEmpty())
        return {};
    info.pid = pid;
    info.state = fields[0].at(0);
    info.parent = fields[1].toLongLong();
    return info;
}

QList<ProcessInfo> runningProcesses()
{
    QList<ProcessInfo> found;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid)
            continue;
        const ProcessInfo info = processInfo(pid);
        if (info.pid != 0)
            found.append(info);
    }
    return found;
}

QList<qint64> childProcesses(const QString &name)
{
    const qint64 self = QCoreApplication::applicationPid();
    QList<qint64> children;
    for (const ProcessInfo &process : runningProcesses()) {
        if (process.parent == self && process.name == name && !process.hasEnded())
            children.append(process.pid);
    }
    return children;
}

QByteArray processCommandLine(qint64 pid)
{
    return procFile(pid, "cmdline");
}

QByteArray processEnvironment(qint64 pid)
{
    return procFile(pid, "environ");
}

double processMebibytes(qint64 pid, const char *field)
{
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : procFile(pid, "status").split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

double processorMilliseconds(qint64 pid)
{
    // From the state on: user time is the 12th field, system time the 13th.
    const QList<QByteArray> fields = statFields(procFile(pid, "stat"), nullptr);
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    return ticks * 1000.0 / double(::sysconf(_SC_CLK_TCK));
}

StallWatch::StallWatch(qint64 pid, std::chrono::milliseconds limit)
    : mPid(pid)
    , mLimit(limit)
    , mSince(std::chrono::steady_clock::now())
{ }

bool StallWatch::stalled()
{
    const auto now = std::chrono::steady_clock::now();
    const ProcessInfo info = processInfo(mPid);
    const double time = processorMilliseconds(mPid);
    if (info.state == 'R' || info.state == 'D' || time != mProcessorTime) {
        mProcessorTime = time;
        mSince = now;
        return false;
    }
    return mLimit.count() > 0 && now - mSince >= mLimit;
}

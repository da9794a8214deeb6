#pragma once

#include "Processes.h"

#include <QCoreApplication>

// What every benchmark prints: medians of repeated timings and peak memory.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

inline double milliseconds(const std::function<void()> &action)
{
    QElapsedTimer timer;
    timer.start();
    action();
    return double(timer.nsecsElapsed()) / 1e6;
}

inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline void report(const char *what, const std::vector<double> &times)
{
    const auto [low, high] = std::minmax_element(times.begin(), times.end());
    std::printf("%-48s median %8.1f ms   min %8.1f   max %8.1f   (%zu runs)\n", what, median(times),
        times.empty() ? 0 : *low, times.empty() ? 0 : *high, times.size());
    std::fflush(stdout);
}

// A process's peak resident memory in MiB.
inline double peakMemory(qint64 pid)
{
    return processMebibytes(pid, "VmHWM");
}

// This program's resident memory now, in MiB.
inline double residentNow()
{
    return processMebibytes(QCoreApplication::applicationPid(), "VmRSS");
}

// The yardstick: one "soffice --convert-to" of the file into the format given, in a
// private profile of its own (warm from its second use), the converted file in outDir.
inline double convertOnce(
    const QString &source, const char *format, const QString &profile, const QString &outDir)
{
    QProcess soffice;
    soffice.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    soffice.setStandardOutputFile(QProcess::nullDevice());
    return milliseconds([&] {
        soffice.start(QStringLiteral("/usr/lib/libreoffice/program/soffice"),
            { QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile).toString(),
                QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                QString::fromLatin1(format), QStringLiteral("--outdir"), outDir, source });
        soffice.waitForFinished(120000);
    });
}

// The yardstick's median over the runs, after one conversion that makes the profile;
// the converted files go to outDir.
inline double conversionYardstick(const QString &source, const char *format, const QString &profile,
    const QString &outDir, int runs, const char *what)
{
    convertOnce(source, format, profile, outDir);
    std::vector<double> conversions;
    for (int run = 0; run < runs; ++run)
        conversions.push_back(convertOnce(source, format, profile, outDir));
    report(what, conversions);
    return median(conversions);
}

#pragma once

#include "Processes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <chrono>
#include <csignal>
#include <stdexcept>
#include <sys/prctl.h>

// A LibreOffice of the test's own, and the offices as a test sees them from outside.
// soffice.bin is started directly, not through the soffice launcher (which would leave
// it running if killed), dies with the test, and is killed by its own id when it hangs.
namespace TestOffice {

using namespace std::chrono_literals;

constexpr int restartWanted = 81; // a new profile's first start ends with it

// The folder of soffice.bin: SCRIVANE_OFFICE_PROGRAM as for the program, else the one
// of the soffice on the path.
inline QString programFolder()
{
    const QString configured = qEnvironmentVariable("SCRIVANE_OFFICE_PROGRAM");
    if (!configured.isEmpty())
        return configured;
    const QString launcher = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    return launcher.isEmpty() ? QStringLiteral("/usr/lib/libreoffice/program")
                              : QFileInfo(launcher).canonicalPath();
}

// soffice.bin; empty when LibreOffice is missing.
inline QString program()
{
    const QFileInfo office(programFolder() + QStringLiteral("/soffice.bin"));
    return office.isExecutable() ? office.filePath() : QString();
}

// Sets up the process to run soffice.bin with the arguments in the environment.
inline void prepare(QProcess &office, const QStringList &arguments,
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment())
{
    // Without its bootstrap file soffice.bin crashes at start.
    environment.insert(QStringLiteral("URE_BOOTSTRAP"),
        QStringLiteral("vnd.sun.star.pathname:%1/fundamentalrc").arg(programFolder()));
    office.setProgram(programFolder() + QStringLiteral("/soffice.bin"));
    office.setArguments(arguments);
    office.setProcessEnvironment(environment);
    office.setProcessChannelMode(QProcess::MergedChannels);
    office.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

// How soffice.bin ended: its exit code, or -1 when it crashed, did not start or was
// killed at the timeout; and what it wrote.
struct Run
{
    int exitCode = -1;
    QString output;
};

// Runs soffice.bin to its end, once more after a new profile's restart request.
inline Run run(const QStringList &arguments,
    const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
    std::chrono::milliseconds timeout = 180s)
{
    Run ended;
    for (int attempt = 0; attempt < 3; ++attempt) {
        QProcess office;
        prepare(office, arguments, environment);
        office.start();
        if (!office.waitForStarted())
            return { -1, office.errorString() };
        if (!office.waitForFinished(int(timeout.count()))) {
            office.kill();
            office.waitForFinished();
            return { -1,
                QStringLiteral("it did not end within %1 s and was killed")
                    .arg(double(timeout.count()) / 1000.0) };
        }
        ended.output = QString::fromLocal8Bit(office.readAll());
        ended.exitCode = office.exitStatus() == QProcess::NormalExit ? office.exitCode() : -1;
        if (ended.exitCode != restartWanted)
            break;
    }
    return ended;
}

// Converts the source into outDir with the filter ("fodt", "pdf", "dot:MS Word 97 Vorlage"),
// in the private profile, and returns the converted file's path. Throws
// std::runtime_error with the office's own words when it fails.
inline QString convert(
    const QString &source, const QString &filter, const QString &outDir, const QString &profile)
{
    if (program().isEmpty())
        throw std::runtime_error("LibreOffice (soffice.bin) is not installed");
    QDir().mkpath(outDir);
    const QString target = outDir + QLatin1Char('/') + QFileInfo(source).completeBaseName()
        + QLatin1Char('.') + filter.section(QLatin1Char(':'), 0, 0);
    QFile::remove(target);

    const Run converted = run({ QStringLiteral("--headless"), QStringLiteral("--invisible"),
        QStringLiteral("--nologo"), QStringLiteral("--norestore"), QStringLiteral("--nodefault"),
        QStringLiteral("--nolockcheck"), QStringLiteral("--nofirststartwizard"),
        QStringLiteral("-env:UserInstallation=")
            + QUrl::fromLocalFile(profile).toString(QUrl::FullyEncoded),
        QStringLiteral("--convert-to"), filter, QStringLiteral("--outdir"), outDir, source });
    if (converted.exitCode != 0 || !QFileInfo::exists(target)) {
        throw std::runtime_error(
            QStringLiteral("LibreOffice could not convert %1 (exit code %2): %3")
                .arg(source, QString::number(converted.exitCode), converted.output.trimmed())
                .toStdString());
    }
    return target;
}

// The soffice.bin processes that are children of this test and have not ended.
inline QList<qint64> childOffices()
{
    return childProcesses(QStringLiteral("soffice.bin"));
}

// True while the process exists and has not ended (a zombie has ended).
inline bool isRunning(qint64 pid)
{
    return !processInfo(pid).hasEnded();
}

// Offices whose profiles lie in the folder: a test's own, seen from outside.
inline QList<qint64> officesWithProfilesIn(const QByteArray &folder)
{
    QList<qint64> found;
    for (const ProcessInfo &process : runningProcesses()) {
        const QByteArray command = processCommandLine(process.pid);
        if (command.contains("soffice") && command.contains(folder) && !process.hasEnded())
            found.append(process.pid);
    }
    return found;
}

} // namespace TestOffice

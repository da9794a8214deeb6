// The memo service against one "soffice --convert-to doc" of a memo template, each
// measured in the same run: one command-line memo with the service warm, 100 memos
// from 100 commands, the first command after the service has ended (it starts the
// service and writes through its own office), a command whose service's office has
// frozen, twenty first commands started at the same instant, and the idle service's
// memory.
//
//   bench_service [RUNS]       each single figure the median of RUNS (default 5)
#include "BenchSupport.h"
#include "FileUtils.h"
#include "MemoStyle.h"
#include "TemplateCatalogue.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/stat.h>

namespace {
QString gWork;

// One "soffice --convert-to doc" of a memo template, in a warm private profile.
double convertTemplate()
{
    const QString source = QDir(gWork).filePath(QStringLiteral("template.dot"));
    if (!QFile::exists(source))
        WriteBytesToFile(loadResData(kMemoStyles[0].resourceId), source);
    return convertOnce(source, "doc", QDir(gWork).filePath(QStringLiteral("yardstick")),
        QDir(gWork).filePath(QStringLiteral("converted")));
}

// What every run of the program here gets: folders of the benchmark's own.
QProcessEnvironment environment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *folder : { "run", "cache", "config", "tmp" })
        QDir(gWork).mkpath(QString::fromLatin1(folder));
    ::chmod(QFile::encodeName(QDir(gWork).filePath(QStringLiteral("run"))).constData(), 0700);
    environment.insert(
        QStringLiteral("XDG_RUNTIME_DIR"), QDir(gWork).filePath(QStringLiteral("run")));
    environment.insert(
        QStringLiteral("XDG_CACHE_HOME"), QDir(gWork).filePath(QStringLiteral("cache")));
    environment.insert(
        QStringLiteral("XDG_CONFIG_HOME"), QDir(gWork).filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("TEMP"), QDir(gWork).filePath(QStringLiteral("tmp")));
    environment.insert(QStringLiteral("SCRIVANE_SERVICE"), QStringLiteral("1"));
    environment.insert(QStringLiteral("SCRIVANE_SERVICE_IDLE_S"), QStringLiteral("600"));
    return environment;
}

// The program as a script runs it; its standard output and error.
QString scrivane(const QStringList &arguments, double *took = nullptr)
{
    QProcess program;
    program.setProcessEnvironment(environment());
    program.setWorkingDirectory(gWork);
    const double time = milliseconds([&] {
        program.start(QStringLiteral(SCRIVANE_PROGRAM), arguments);
        program.waitForFinished(180000);
    });
    if (took != nullptr)
        *took = time;
    return QString::fromLocal8Bit(program.readAllStandardOutput() + program.readAllStandardError());
}

double memo(const QStringList &more = {})
{
    double took = 0;
    const QString said
        = scrivane(QStringList { QStringLiteral("--generate"), QStringLiteral("--sample"),
                       QStringLiteral("--out"), QStringLiteral("memo.doc") }
                + more,
            &took);
    if (!said.isEmpty())
        std::fprintf(stderr, "%s", qPrintable(said));
    return took;
}

QString status()
{
    return scrivane({ QStringLiteral("--service"), QStringLiteral("status") });
}

void stop()
{
    scrivane({ QStringLiteral("--service"), QStringLiteral("stop") });
}

// Until the service has its office up.
void waitUntilWarm()
{
    for (int tries = 0; tries < 600 && !status().contains(QStringLiteral("1 office started"));
         ++tries)
        QThread::msleep(100);
}

qint64 servicePid()
{
    const QString said = status();
    const qsizetype at = said.indexOf(QStringLiteral("process "));
    return at < 0 ? 0 : said.mid(at + 8).section(QLatin1Char(','), 0, 0).toLongLong();
}

// The service's offices that are not stopped.
std::vector<qint64> serviceOffices()
{
    const qint64 service = servicePid();
    std::vector<qint64> offices;
    for (const ProcessInfo &process : runningProcesses()) {
        if (process.name == QLatin1String("soffice.bin") && process.parent == service
            && process.state != 'T' && !process.hasEnded())
            offices.push_back(process.pid);
    }
    return offices;
}

// A memo right after the service's office was stopped (SIGSTOP): the service notices,
// ends it, and the command writes through its own office.
double memoAfterAFrozenOffice()
{
    for (int tries = 0; tries < 600 && serviceOffices().size() != 1; ++tries)
        QThread::msleep(100);
    const std::vector<qint64> offices = serviceOffices();
    if (offices.size() != 1)
        return 0;
    ::kill(pid_t(offices.front()), SIGSTOP);
    return memo();
}

// Twenty commands let through a gate at once, with no service running: until all are done.
double twentyFirstCommands()
{
    stop();
    const QString gate = QDir(gWork).filePath(QStringLiteral("gate"));
    auto closed = std::make_unique<FileLock>(gate, std::chrono::milliseconds::zero());
    std::vector<std::unique_ptr<QProcess>> commands;
    for (int n = 0; n < 20; ++n) {
        commands.push_back(std::make_unique<QProcess>());
        commands.back()->setProcessEnvironment(environment());
        commands.back()->setWorkingDirectory(gWork);
        commands.back()->start(QStringLiteral("flock"),
            { QStringLiteral("--shared"), gate, QStringLiteral(SCRIVANE_PROGRAM),
                QStringLiteral("--generate"), QStringLiteral("--sample"), QStringLiteral("--out"),
                QStringLiteral("at-once-%1.doc").arg(n) });
    }
    for (const auto &command : commands) {
        for (int tries = 0; tries < 600 && processInfo(command->processId()).state != 'S'; ++tries)
            QThread::msleep(10);
    }
    return milliseconds([&] {
        closed.reset();
        for (const auto &command : commands)
            command->waitForFinished(180000);
    });
}

void idleMemory()
{
    const qint64 service = servicePid();
    const std::vector<qint64> offices = serviceOffices();
    std::printf("idle service: %zu office(s) kept; the service itself %.0f MiB\n", offices.size(),
        processMebibytes(service));
    for (const qint64 office : offices)
        std::printf("  office %s: %.0f MiB now, %.0f MiB at its peak (target at most 230)\n",
            qPrintable(QString::number(office)), processMebibytes(office), peakMemory(office));
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const int runs = std::max(1, application.arguments().value(1).toInt());
    QTemporaryDir folder;
    gWork = folder.path();

    // Warm profiles for both, as on any start but the very first.
    convertTemplate();
    memo({ QStringLiteral("--no-service") });
    stop();

    std::vector<double> convert, first, own;
    for (int run = 0; run < std::max(runs, 5); ++run) {
        stop();
        convert.push_back(convertTemplate());
        own.push_back(memo({ QStringLiteral("--no-service") }));
        first.push_back(memo());
    }
    const double conversion = median(convert);
    report("one soffice --convert-to doc", convert);
    report("one memo through the command's own office", own);
    report("the first memo after the service ended", first);

    waitUntilWarm();
    std::vector<double> warm;
    for (int run = 0; run < std::max(runs, 10); ++run)
        warm.push_back(memo());
    report("one memo with the service warm", warm);

    const double hundred = milliseconds([] {
        for (int command = 0; command < 100; ++command)
            memo();
    });
    std::printf("100 memos from 100 commands: %.0f ms\n\n", hundred);

    std::printf("one memo, service warm:         %.3f x one conversion (target at most 0.15, "
                "aim 0.1)\n",
        median(warm) / conversion);
    std::printf("100 memos from 100 commands:    %.3f x 100 conversions (target at most 0.2)\n",
        hundred / (100 * conversion));
    std::printf("first memo after the service:   %.3f x one conversion (target at most 1.05; "
                "without the service %.3f)\n\n",
        median(first) / conversion, median(own) / conversion);

    std::vector<double> frozen;
    for (int run = 0; run < std::max(runs, 3); ++run)
        frozen.push_back(memoAfterAFrozenOffice());
    report("one memo when the service's office froze", frozen);
    const double atOnce = twentyFirstCommands();
    std::printf("20 first commands at once: all done in %.0f ms\n\n", atOnce);
    std::printf("service's office frozen:        %.3f x one conversion (through the command's "
                "own office alone %.3f)\n",
        median(frozen) / conversion, median(own) / conversion);
    std::printf("20 first commands at once:      %.3f x 20 conversions (%.3f x one)\n\n",
        atOnce / (20 * conversion), atOnce / conversion);

    waitUntilWarm();
    QThread::sleep(2);
    idleMemory();
    stop();
    return 0;
}

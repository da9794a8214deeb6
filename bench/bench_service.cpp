// The memo service against one "soffice --convert-to doc" of a memo template, each
// measured in the same run: one command-line memo with the service warm, 100 memos
// from 100 commands, the first command after the service has ended (it starts the
// service and writes through its own office), and the idle service's memory.
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

#include <cstdio>
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

// The program as a script runs it; its standard output and error.
QString scrivane(const QStringList &arguments, double *took = nullptr)
{
    QProcess program;
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
    program.setProcessEnvironment(environment);
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

void idleMemory()
{
    const QString said = status();
    const qsizetype at = said.indexOf(QStringLiteral("process "));
    const QString service = said.mid(at + 8).section(QLatin1Char(','), 0, 0);
    std::vector<qint64> offices;
    for (const ProcessInfo &process : runningProcesses()) {
        if (process.name == QLatin1String("soffice.bin") && process.parent == service.toLongLong())
            offices.push_back(process.pid);
    }
    std::printf("idle service: %zu office(s) kept; the service itself %.0f MiB\n", offices.size(),
        processMebibytes(service.toLongLong()));
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

    QThread::sleep(2);
    idleMemory();
    stop();
    return 0;
}

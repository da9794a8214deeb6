// Batches of memos, all five styles mixed, as "scrivane --generate --batch" writes
// them: memos per second through one office and through two at once, where a memo's
// time goes, the time to the first memo beside one "soffice --convert-to doc", and
// the peak memory of every office over a long batch.
//
//   bench_batch [COUNT...]     each count with --jobs 1, then --jobs 2 (default 100 1000)
//   bench_batch --long COUNT   one batch through two offices: each office's peak memory
#include "BenchSupport.h"
#include "FileUtils.h"
#include "LibreOfficeProcessor.h"
#include "MemoBatch.h"
#include "MemoDetails.h"
#include "MemoStyle.h"
#include "TemplateCatalogue.h"

#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <cstdio>
#include <map>
#include <mutex>
#include <unistd.h>

namespace {
// What the sessions of one batch spent, by operation, and their offices' peaks.
struct Tally
{
    std::mutex lock;
    std::map<QString, double> spent;
    std::vector<double> officePeaks;
    // Processor time the offices used, in ms: on a busy machine a steadier figure than
    // the time the calls took.
    double officeCpu = 0;
    int sessions = 0;
};

// An office session still, so that the writer sees how much memory its office holds.
class WatchedSession : public OfficeSession
{
public:
    WatchedSession(std::unique_ptr<WordSession> inner, Tally &tally)
        : mInner(std::move(inner))
        , mTally(tally)
    { }
    ~WatchedSession() override
    {
        std::lock_guard lock(mTally.lock);
        for (const auto &[what, time] : mSpent)
            mTally.spent[what] += time;
    }

    void open(const QString &path, bool readOnly) override
    {
        time("open", [&] { mInner->open(path, readOnly); });
    }
    void setBookmarkText(const QString &b, const QString &t) override
    {
        time("fill", [&] { mInner->setBookmarkText(b, t); });
    }
    void saveAs(const QString &path) override
    {
        time("save", [&] { mInner->saveAs(path); });
    }
    void exportAs(const QString &path, DocumentFormat format) override
    {
        time("save", [&] { mInner->exportAs(path, format); });
    }
    void setDisplayAlerts(bool on) override { mInner->setDisplayAlerts(on); }
    void close() override
    {
        time("close", [&] { mInner->close(); });
    }
    QImage copyAsPicture() override { return mInner->copyAsPicture(); }
    bool isRunning() const override { return mInner->isRunning(); }
    qint64 processId() const override { return office().processId(); }
    QString profileFolder() const override { return office().profileFolder(); }
    void closeActiveDocumentWithoutSaving() override { mInner->closeActiveDocumentWithoutSaving(); }
    void quit() override
    {
        tallyOffice();
        time("quit", [&] { mInner->quit(); });
    }
    void retire() override
    {
        tallyOffice();
        time("quit", [&] { dynamic_cast<OfficeSession &>(*mInner).retire(); });
    }

private:
    const OfficeSession &office() const { return dynamic_cast<const OfficeSession &>(*mInner); }
    void tallyOffice()
    {
        const double peak = peakMemory(processId());
        const double cpu = processorMilliseconds(processId());
        std::lock_guard lock(mTally.lock);
        mTally.officePeaks.push_back(peak);
        mTally.officeCpu += cpu;
    }
    void time(const char *what, const std::function<void()> &call)
    {
        mSpent[QString::fromLatin1(what)] += milliseconds(call);
    }

    std::unique_ptr<WordSession> mInner;
    Tally &mTally;
    std::map<QString, double> mSpent;
};

class WatchedProcessor : public WordProcessor
{
public:
    WatchedProcessor(WordProcessor &inner, Tally &tally)
        : mInner(inner)
        , mTally(tally)
    { }
    std::unique_ptr<WordSession> create() override
    {
        std::unique_ptr<WordSession> session;
        const double took = milliseconds([&] { session = mInner.create(); });
        std::lock_guard lock(mTally.lock);
        mTally.spent[QStringLiteral("start")] += took;
        ++mTally.sessions;
        return std::make_unique<WatchedSession>(std::move(session), mTally);
    }

private:
    WordProcessor &mInner;
    Tally &mTally;
};

QList<MemoBatch::Job> jobs(const QString &folder, int count)
{
    QList<MemoBatch::Job> list;
    for (int index = 0; index < count; ++index) {
        MemoDetails memo = withSampleData({});
        memo.style = index % int(kMemoStyles.size());
        memo.to = QStringLiteral("Recipient %1\nDepartment %2").arg(index + 1).arg(index % 7 + 1);
        memo.date = QDate(2026, 12, 8).addDays(index);
        list.append({ memo, QDir(folder).filePath(QStringLiteral("memo-%1.doc").arg(index + 1)),
            DocumentFormat::Doc, {} });
    }
    return list;
}

struct BatchFigures
{
    double seconds = 0;
    double firstMemo = 0;
    int failed = 0;
};

BatchFigures runBatch(WordProcessor &word, const QString &folder, int count, int sessions)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    BatchFigures figures;
    QElapsedTimer timer;
    timer.start();
    MemoBatch::write(word, jobs(folder, count), sessions, [&](qsizetype, const QString &failure) {
        if (figures.firstMemo == 0)
            figures.firstMemo = double(timer.nsecsElapsed()) / 1e6;
        if (!failure.isEmpty() && figures.failed++ == 0)
            std::fprintf(stderr, "%s\n", qPrintable(failure));
    });
    figures.seconds = double(timer.nsecsElapsed()) / 1e9;
    return figures;
}

// One "soffice --convert-to doc" of a memo template, in a warm private profile.
double convertTemplate(const QString &work)
{
    const QString source = QDir(work).filePath(QStringLiteral("template.dot"));
    if (!QFile::exists(source))
        WriteBytesToFile(loadResData(kMemoStyles[0].resourceId), source);
    return convertOnce(source, "doc", QDir(work).filePath(QStringLiteral("yardstick")),
        QDir(work).filePath(QStringLiteral("converted")));
}

// The whole program writing one memo, as a script starts it.
double programOnce(const QString &work)
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(
        QStringLiteral("XDG_CONFIG_HOME"), QDir(work).filePath(QStringLiteral("config")));
    environment.insert(
        QStringLiteral("XDG_CACHE_HOME"), QDir(work).filePath(QStringLiteral("cache")));
    // Each command its own office, as measured here: bench_service measures the service.
    environment.insert(QStringLiteral("SCRIVANE_SERVICE"), QStringLiteral("0"));
    program.setProcessEnvironment(environment);
    return milliseconds([&] {
        program.start(QStringLiteral(SCRIVANE_PROGRAM),
            { QStringLiteral("--generate"), QStringLiteral("--sample"), QStringLiteral("--out"),
                QDir(work).filePath(QStringLiteral("one.doc")) });
        program.waitForFinished(120000);
    });
}

void firstMemo(const QString &work)
{
    convertTemplate(work); // the profiles are warm from here on
    programOnce(work);
    std::vector<double> convert, program;
    for (int run = 0; run < 5; ++run) {
        convert.push_back(convertTemplate(work));
        program.push_back(programOnce(work));
    }
    report("one soffice --convert-to doc", convert);
    report("scrivane --generate --out, one memo", program);
    std::printf("time to the first memo: %.2f times one conversion (target at most 1.0)\n\n",
        median(program) / median(convert));
}

void printTally(Tally &tally, int memos)
{
    for (const auto &[what, time] : tally.spent)
        std::printf("  %-8s %8.1f ms per memo\n", qPrintable(what), time / memos);
    const auto peak = std::max_element(tally.officePeaks.begin(), tally.officePeaks.end());
    std::printf(
        "  office processor time %.1f ms per memo (start included)\n", tally.officeCpu / memos);
    std::printf("  %d offices, highest peak %.0f MiB\n", tally.sessions,
        peak == tally.officePeaks.end() ? 0.0 : *peak);
}
} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QStringList arguments = application.arguments().mid(1);
    QTemporaryDir folder;
    LibreOfficeProcessor::Settings settings = LibreOfficeProcessor::defaultSettings();
    settings.profileRoot = folder.filePath(QStringLiteral("profiles"));
    LibreOfficeProcessor office(settings);
    // Warm profiles, as on any start but the very first.
    {
        auto first = office.create();
        office.create()->quit();
        first->quit();
    }
    const QString out = folder.filePath(QStringLiteral("out"));

    if (arguments.value(0) == QLatin1String("--long")) {
        const int count = std::max(1, arguments.value(1).toInt());
        Tally tally;
        WatchedProcessor word(office, tally);
        const BatchFigures figures = runBatch(word, out, count, 2);
        std::printf("%d memos through 2 offices: %.1f s, %.1f memos/s, %d failed\n", count,
            figures.seconds, count / figures.seconds, figures.failed);
        printTally(tally, count);
        std::sort(tally.officePeaks.begin(), tally.officePeaks.end());
        std::printf("  every office's peak (MiB):");
        for (double peak : tally.officePeaks)
            std::printf(" %.0f", peak);
        std::printf("\n  (target: every office under 230 MiB)\n");
        return 0;
    }

    firstMemo(folder.path());
    if (arguments.isEmpty())
        arguments = QStringList { QStringLiteral("100"), QStringLiteral("1000") };
    for (const QString &argument : arguments) {
        const int count = std::max(1, argument.toInt());
        double rate[3] = {};
        for (int sessions : { 1, 2 }) {
            // A processor of its own, as each run of the program has: no spare left by
            // the run before, so both counts start their offices as a batch does.
            LibreOfficeProcessor fresh(settings);
            Tally tally;
            WatchedProcessor word(fresh, tally);
            const BatchFigures figures = runBatch(word, out, count, sessions);
            rate[sessions] = count / figures.seconds;
            std::printf("%d memos, --jobs %d: %.2f s, %.1f memos/s, first memo after %.0f ms, "
                        "%d failed\n",
                count, sessions, figures.seconds, rate[sessions], figures.firstMemo,
                figures.failed);
            printTally(tally, count);
        }
        std::printf("%d memos: --jobs 2 writes %.2f times the memos per second of --jobs 1 "
                    "(target 1.8)\n\n",
            count, rate[2] / rate[1]);
        std::fflush(stdout);
    }
    return 0;
}

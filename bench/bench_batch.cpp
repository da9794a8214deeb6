// Batches of memos, all five styles mixed, as "scrivane --generate --batch" writes
// them, each figure a ratio against one "soffice --convert-to" measured in the same run.
//
//   bench_batch                 DOCX and ODT batches through the program (no office),
//                               Word and PDF batches with the office's processor time a
//                               memo (the template kept open, and loaded for each memo
//                               as before), and the rate around office replacements;
//                               docxtemplater beside the DOCX batch when installed
//                               (npm ci in bench/peers/docxtemplater)
//   bench_batch --first         one memo from the program's start
//   bench_batch --jobs COUNT... each count with --jobs 1, then --jobs 2
//   bench_batch --long COUNT    one batch through two offices: each office's peak memory
#include "BenchSupport.h"
#include "Failure.h"
#include "FileUtils.h"
#include "LibreOfficeProcessor.h"
#include "MemoBatch.h"
#include "MemoDetails.h"
#include "MemoStyle.h"
#include "TemplateCatalogue.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

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
// `keep` false opens the template afresh for every memo, as the program did before it
// kept templates open.
class WatchedSession : public OfficeSession
{
public:
    WatchedSession(std::unique_ptr<WordSession> inner, Tally &tally, bool keep)
        : mInner(std::move(inner))
        , mTally(tally)
        , mKeep(keep)
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
    void openTemplate(const QString &path) override
    {
        time("open", [&] { mKeep ? mInner->openTemplate(path) : mInner->open(path, true); });
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
    void ready() override
    {
        time("start", [&] { mInner->ready(); });
    }
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
    bool mKeep;
    std::map<QString, double> mSpent;
};

// A processor whose sessions are watched. `keep` as for WatchedSession; `ahead` false
// starts a replacement office only when it is due, as the program did before.
class WatchedProcessor : public WordProcessor
{
public:
    WatchedProcessor(WordProcessor &inner, Tally &tally, bool keep = true, bool ahead = true)
        : mInner(inner)
        , mTally(tally)
        , mKeep(keep)
        , mAhead(ahead)
    { }
    std::unique_ptr<WordSession> create() override
    {
        std::unique_ptr<WordSession> session;
        const double took = milliseconds([&] { session = mInner.create(); });
        std::lock_guard lock(mTally.lock);
        mTally.spent[QStringLiteral("start")] += took;
        ++mTally.sessions;
        return std::make_unique<WatchedSession>(std::move(session), mTally, mKeep);
    }
    std::unique_ptr<WordSession> createAhead() override
    {
        if (!mAhead)
            fail(QStringLiteral("started when due"));
        std::lock_guard lock(mTally.lock);
        ++mTally.sessions;
        return std::make_unique<WatchedSession>(mInner.createAhead(), mTally, mKeep);
    }

private:
    WordProcessor &mInner;
    Tally &mTally;
    bool mKeep;
    bool mAhead;
};

// The memos of every batch here: the five styles in turn, To, From and the message
// of several lines.
MemoDetails memoNumber(int index)
{
    MemoDetails memo = withSampleData({});
    memo.style = index % int(kMemoStyles.size());
    memo.to = QStringLiteral("Recipient %1\nDepartment %2").arg(index + 1).arg(index % 7 + 1);
    memo.from = QStringLiteral("Ewan Varden\nFinance Office");
    memo.msg = QStringLiteral("Memo %1.\n\nWe are no longer accepting delivery of small birds "
                              "or rodents.\nThank you.")
                   .arg(index + 1);
    memo.date = QDate(2026, 12, 8).addDays(index);
    return memo;
}

QList<MemoBatch::Job> jobs(const QString &folder, int count, DocumentFormat format)
{
    QList<MemoBatch::Job> list;
    for (int index = 0; index < count; ++index) {
        list.append({ memoNumber(index),
            QDir(folder).filePath(
                QStringLiteral("memo-%1.%2").arg(index + 1).arg(documentFormatName(format))),
            format, {} });
    }
    return list;
}

struct BatchFigures
{
    double seconds = 0;
    double firstMemo = 0;
    int failed = 0;
    // When each memo was done, in seconds from the start.
    std::vector<double> done;
};

BatchFigures runBatch(WordProcessor &word, const QString &folder, int count, int sessions,
    DocumentFormat format = DocumentFormat::Doc,
    MemoWriter::Renewal renewal = MemoWriter::Renewal::fromEnvironment())
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    BatchFigures figures;
    QElapsedTimer timer;
    timer.start();
    MemoBatch::write(
        word, jobs(folder, count, format), sessions,
        [&](qsizetype, const QString &failure) {
            figures.done.push_back(double(timer.nsecsElapsed()) / 1e9);
            if (figures.firstMemo == 0)
                figures.firstMemo = double(timer.nsecsElapsed()) / 1e6;
            if (!failure.isEmpty() && figures.failed++ == 0)
                std::fprintf(stderr, "%s\n", qPrintable(failure));
        },
        renewal);
    figures.seconds = double(timer.nsecsElapsed()) / 1e9;
    return figures;
}

QString templateFile(const QString &work)
{
    const QString source = QDir(work).filePath(QStringLiteral("template.dot"));
    if (!QFile::exists(source))
        WriteBytesToFile(loadResData(kMemoStyles[0].resourceId), source);
    return source;
}

// One "soffice --convert-to" of a memo template, in a warm private profile.
double convertTemplate(const QString &work, const char *format = "doc")
{
    return convertOnce(templateFile(work), format, QDir(work).filePath(QStringLiteral("yardstick")),
        QDir(work).filePath(QStringLiteral("converted")));
}

QProcessEnvironment programEnvironment(const QString &work)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(
        QStringLiteral("XDG_CONFIG_HOME"), QDir(work).filePath(QStringLiteral("config")));
    environment.insert(
        QStringLiteral("XDG_CACHE_HOME"), QDir(work).filePath(QStringLiteral("cache")));
    // Each command its own office, as measured here: bench_service measures the service.
    environment.insert(QStringLiteral("SCRIVANE_SERVICE"), QStringLiteral("0"));
    return environment;
}

// The whole program writing one memo, as a script starts it.
double programOnce(const QString &work)
{
    QProcess program;
    program.setProcessEnvironment(programEnvironment(work));
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

// The program writing a batch file of `count` memos in the format, with --jobs left
// to it; the seconds it took. Says so when it started an office.
double programBatch(const QString &work, int count, const char *format)
{
    const QString batch = QDir(work).filePath(QStringLiteral("memos.json"));
    QJsonArray memos;
    for (int index = 0; index < count; ++index) {
        const MemoDetails memo = memoNumber(index);
        memos.append(QJsonObject {
            { QStringLiteral("style"), QString::fromLatin1(kMemoStyles[size_t(memo.style)].name) },
            { QStringLiteral("to"), memo.to }, { QStringLiteral("from"), memo.from },
            { QStringLiteral("message"), memo.msg },
            { QStringLiteral("date"), memo.date.toString(Qt::ISODate) } });
    }
    replaceFile(batch, QJsonDocument(memos).toJson(QJsonDocument::Compact));
    const QString out = QDir(work).filePath(QStringLiteral("out-") + QString::fromLatin1(format));
    QDir(out).removeRecursively();
    const QString offices = QDir(work).filePath(QStringLiteral("cache/Tarnwick/Scrivane/office"));
    QDir(offices).removeRecursively();
    QProcess program;
    program.setProcessEnvironment(programEnvironment(work));
    program.setStandardOutputFile(QProcess::nullDevice());
    program.setStandardErrorFile(QProcess::nullDevice());
    const double took = milliseconds([&] {
        program.start(QStringLiteral(SCRIVANE_PROGRAM),
            { QStringLiteral("--generate"), QStringLiteral("--batch"), batch,
                QStringLiteral("--out-dir"), out, QStringLiteral("--format"),
                QString::fromLatin1(format), QStringLiteral("--quiet") });
        program.waitForFinished(600000);
    });
    const qsizetype written = QDir(out).entryList(QDir::Files).size();
    if (program.exitCode() != 0 || written != count)
        std::printf("  the program wrote %lld of %d memos (exit status %d)\n",
            static_cast<long long>(written), count, program.exitCode());
    if (QDir(offices).exists())
        std::printf("  the program started an office\n");
    return took / 1000;
}

// docxtemplater, a Node library that fills DOCX without an office, filling a memo template
// of its own `count` times (bench/peers/docxtemplater); the seconds its process took, node's
// start included as the program's is, or 0 when node or the library is not installed.
double docxtemplaterBatch(const QString &work, int count)
{
    const QString peer = QStringLiteral(SCRIVANE_PEERS "/docxtemplater");
    const QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
    if (node.isEmpty()
        || !QFileInfo::exists(peer + QStringLiteral("/node_modules/docxtemplater"))) {
        std::printf(
            "  docxtemplater: not timed (needs node and \"npm ci\" in %s)\n", qPrintable(peer));
        return 0;
    }
    const QString out = QDir(work).filePath(QStringLiteral("out-docxtemplater"));
    QDir(out).removeRecursively();
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const double took = milliseconds([&] {
        process.start(node, { peer + QStringLiteral("/fill.js"), QString::number(count), out });
        process.waitForFinished(600000);
    });
    const qsizetype written = QDir(out).entryList(QDir::Files).size();
    if (process.exitCode() != 0 || written != count) {
        std::printf(
            "  docxtemplater wrote %lld of %d memos\n", static_cast<long long>(written), count);
        return 0;
    }
    return took / 1000;
}

// The longest wait between two memos done, from the batch's second memo on (the first
// waits for the offices' start), and the median wait, in seconds.
std::pair<double, double> waits(const std::vector<double> &done)
{
    std::vector<double> gaps;
    for (size_t index = 2; index < done.size(); ++index)
        gaps.push_back(done[index] - done[index - 1]);
    if (gaps.empty())
        return { 0, 0 };
    return { *std::max_element(gaps.begin(), gaps.end()), median(gaps) };
}

void formatsAgainstConversion(const QString &work, const LibreOfficeProcessor::Settings &settings)
{
    const int defaultJobs = std::clamp(QThread::idealThreadCount(), 1, 4);
    const double conversion
        = conversionYardstick(templateFile(work), "docx",
              QDir(work).filePath(QStringLiteral("yardstick")),
              QDir(work).filePath(QStringLiteral("converted")), 5, "one soffice --convert-to docx")
        / 1000;

    std::printf("\nDOCX and ODT, through the program (--jobs left to it: %d):\n", defaultJobs);
    double docxSeconds = 0;
    for (const char *format : { "docx", "odt" }) {
        programBatch(work, 20, format); // its files cached, as on any run but the first
        const double seconds = programBatch(work, 1000, format);
        if (std::strcmp(format, "docx") == 0)
            docxSeconds = seconds;
        std::printf("  1000 %s memos: %.2f s, %.0f memos/s, %.2f times one conversion "
                    "(target at most 2.2)\n",
            format, seconds, 1000 / seconds, seconds / conversion);
    }
    const double peer = docxtemplaterBatch(work, 1000);
    if (peer > 0)
        std::printf("  1000 DOCX memos by docxtemplater: %.2f s, %.0f memos/s, %.2f times one "
                    "conversion; the program's DOCX batch takes %.2f times its time\n",
            peer, 1000 / peer, peer / conversion, docxSeconds / peer);

    std::printf(
        "\nWord and PDF, 300 memos with --jobs %d, the offices' start included:\n", defaultJobs);
    const QString out = QDir(work).filePath(QStringLiteral("out"));
    for (const DocumentFormat format : { DocumentFormat::Doc, DocumentFormat::Pdf }) {
        double cpu[2] = {};
        for (const bool keep : { true, false }) {
            LibreOfficeProcessor fresh(settings);
            Tally tally;
            WatchedProcessor word(fresh, tally, keep);
            const BatchFigures figures = runBatch(word, out, 300, defaultJobs, format);
            cpu[keep] = tally.officeCpu / 300;
            std::printf("  %s, template %s: %.2f s, %.1f memos/s, %.2f times one conversion%s, "
                        "office processor time %.1f ms a memo%s%s\n",
                qPrintable(documentFormatName(format)),
                keep ? "kept open" : "loaded for each memo (as before)", figures.seconds,
                300 / figures.seconds, figures.seconds / conversion,
                keep ? " (target at most 5.5)" : "", cpu[keep], keep ? " (target at most 18)" : "",
                figures.failed > 0 ? " (some failed)" : "");
        }
        std::printf("  %s: the office works %.2f times what it worked before a memo\n",
            qPrintable(documentFormatName(format)), cpu[1] / cpu[0]);
    }

    std::printf(
        "\n1000 Word memos, --jobs %d, each office replaced after 150 memos:\n", defaultJobs);
    for (const bool ahead : { true, false }) {
        LibreOfficeProcessor fresh(settings);
        Tally tally;
        WatchedProcessor word(fresh, tally, true, ahead);
        const BatchFigures figures
            = runBatch(word, out, 1000, defaultJobs, DocumentFormat::Doc, { 150, 0 });
        const auto [longest, usual] = waits(figures.done);
        std::printf("  replacement started %s: %.1f memos/s, the longest wait between two "
                    "memos %.2f s (%.0f times the median wait), %d offices\n",
            ahead ? "ahead (as the program does)" : "when due (as before)", 1000 / figures.seconds,
            longest, longest / usual, tally.sessions);
        std::fflush(stdout);
    }
}
} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as soon as it is known
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
    const QString mode = arguments.value(0);

    if (mode == QLatin1String("--long")) {
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
    if (mode == QLatin1String("--first")) {
        firstMemo(folder.path());
        return 0;
    }
    if (mode != QLatin1String("--jobs")) {
        formatsAgainstConversion(folder.path(), settings);
        return 0;
    }

    arguments.removeFirst();
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

#include "MemoBatch.h"

#include "Failure.h"
#include "PackageMemo.h"
#include "ProgramEnd.h"
#include "WorkThread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace MemoBatch {
namespace {
// Writes one job; the failure's text, or nothing when it was written.
QString writeOne(MemoWriter &writer, const Job &job)
{
    if (!job.refused.isEmpty())
        return job.refused;
    try {
        writer.write(job.memo, job.path, job.format);
    } catch (const Failure &failure) {
        return failure.description();
    }
    return {};
}

void finish(MemoWriter &writer)
{
    try {
        writer.finish();
    } catch (const Failure &) {
        // Every document is already complete on disk.
    }
}
// One session of a batch: writes the next memo in order until none is left, telling
// `report` how each went; its office has ended when it returns.
void serveSession(WordProcessor &word, MemoWriter::Renewal renewal, bool first, bool office,
    const QList<Job> &jobs, std::atomic<qsizetype> &next,
    const std::function<void(qsizetype index, const QString &failure)> &report)
{
    std::optional<MemoWriter> writer;
    QString cannotStart;
    try {
        writer.emplace(word, renewal);
        // Only the first session waits for its office holding a memo: the others join
        // once theirs is up, so an office that starts slowly or not at all holds no
        // memo back (the first one reports why).
        if (!first && office)
            writer->start();
    } catch (const Failure &failure) {
        if (!first)
            writer.reset();
        else
            cannotStart = failure.description();
    }
    // A signal stops the batch between two memos; those under way are finished.
    while ((first || writer) && !ProgramEnd::stopRequested()) {
        const qsizetype index = next++;
        if (index >= jobs.size())
            break;
        report(index, writer ? writeOne(*writer, jobs.at(index)) : cannotStart);
    }
    if (writer)
        finish(*writer);
}
} // namespace

void write(WordProcessor &word, const QList<Job> &jobs, int sessions, const Done &done,
    MemoWriter::Renewal renewal)
{
    QCoreApplication *application = QCoreApplication::instance();
    const bool onApplicationThread
        = application != nullptr && QThread::currentThread() == application->thread();
    sessions = std::clamp<int>(sessions, 1, std::max<int>(1, int(jobs.size())));
    // DOCX and ODT take no office: the sessions then only share out the work.
    const bool office = std::any_of(jobs.cbegin(), jobs.cend(), [](const Job &job) {
        return job.refused.isEmpty() && !PackageMemo::isPackageFormat(job.format);
    });
    if (sessions == 1 || !onApplicationThread) {
        MemoWriter writer(word, renewal);
        for (qsizetype index = 0; index < jobs.size() && !ProgramEnd::stopRequested(); ++index)
            done(index, writeOne(writer, jobs.at(index)));
        finish(writer);
        return;
    }

    // Workers take the next memo in order; what they report reaches `done` here.
    QEventLoop loop;
    QObject receiver;
    std::atomic<qsizetype> next { 0 };
    std::mutex workersLock;
    int workersLeft = sessions;
    const auto report = [&](auto &&call) {
        QMetaObject::invokeMethod(
            &receiver, std::forward<decltype(call)>(call), Qt::QueuedConnection);
    };
    // Each session's offices are watched from its own thread.
    std::vector<std::unique_ptr<WorkThread>> workers;
    for (int worker = 0; worker < sessions; ++worker) {
        workers.push_back(std::make_unique<WorkThread>());
        workers.back()->post([&, worker] {
            serveSession(word, renewal, worker == 0, office, jobs, next,
                [&](qsizetype index, const QString &failure) {
                    report([&done, index, failure] { done(index, failure); });
                });
            std::lock_guard lock(workersLock);
            if (--workersLeft == 0)
                report([&loop] { loop.quit(); });
        });
    }
    loop.exec();
}

} // namespace MemoBatch

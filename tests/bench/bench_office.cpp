// How long the word processor's operations take on this machine: the median of
// several runs of each, printed as a table. Not a test: nothing here can fail a build.
#include "Failure.h"
#include "LibreOfficeProcessor.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {
const QString kMemo = QStringLiteral(SCRIVANE_FIXTURES "/memo.fodt");

double milliseconds(const std::function<void()> &action)
{
    QElapsedTimer timer;
    timer.start();
    action();
    return double(timer.nsecsElapsed()) / 1e6;
}

void report(const char *what, std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    const size_t n = times.size();
    const double median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
    std::printf("%-44s median %8.1f ms   min %8.1f   max %8.1f   (%zu runs)\n", what, median,
        times.front(), times.back(), n);
    std::fflush(stdout);
}

// The office's peak resident memory in MiB, from the kernel's accounting.
double peakMemory(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

void fill(WordSession &session, const QString &templatePath, const QString &saved)
{
    session.open(templatePath, true);
    session.setBookmarkText(QStringLiteral("bkTo"), QStringLiteral("Alice Example\nAccounts"));
    session.setBookmarkText(QStringLiteral("bkFrom"), QStringLiteral("Bob Sender"));
    session.setBookmarkText(QStringLiteral("bkRe"), QStringLiteral("Quarterly figures"));
    session.setBookmarkText(
        QStringLiteral("bkDate"), QStringLiteral(" Tuesday, December 8th, 2026  "));
    session.setBookmarkText(
        QStringLiteral("bkMsg"), QStringLiteral("First line\nSecond line\nThird line"));
    session.saveAs(saved);
    session.setDisplayAlerts(false);
    session.close();
}
} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    LibreOfficeProcessor::Settings settings = LibreOfficeProcessor::defaultSettings();
    settings.profileRoot = folder.filePath(QStringLiteral("profiles"));
    LibreOfficeProcessor processor(settings);

    try {
        std::unique_ptr<WordSession> session;
        report("first start in a new profile (create)",
            { milliseconds([&] { session = processor.create(); }) });
        // The generation run opens a Word template; make one from the flat ODF fixture.
        const QString templatePath = folder.filePath(QStringLiteral("template.dot"));
        session->open(kMemo, true);
        session->saveAs(templatePath);
        session->close();
        session->quit();

        std::vector<double> createQuit;
        for (int run = 0; run < runs; ++run) {
            createQuit.push_back(milliseconds([&] {
                std::unique_ptr<WordSession> s = processor.create();
                s->quit();
            }));
        }
        report("session create + quit", createQuit);

        session = processor.create();
        const qint64 pid = dynamic_cast<OfficeSession &>(*session).processId();
        const QString saved = folder.filePath(QStringLiteral("kelmar12345678.doc"));
        std::vector<double> openFillSave;
        for (int run = 0; run < runs; ++run)
            openFillSave.push_back(milliseconds([&] { fill(*session, templatePath, saved); }));
        report("open template, fill 5 bookmarks, save, close", openFillSave);

        std::vector<double> picture;
        for (int run = 0; run < runs; ++run) {
            picture.push_back(milliseconds([&] {
                session->open(saved, false);
                session->copyAsPicture();
                session->closeActiveDocumentWithoutSaving();
            }));
        }
        report("open document, copy as picture, close", picture);
        std::printf("office peak memory: %.0f MiB\n", peakMemory(pid));
        session->quit();

        std::vector<double> wholeRun;
        for (int run = 0; run < runs; ++run) {
            wholeRun.push_back(milliseconds([&] {
                std::unique_ptr<WordSession> first = processor.create();
                fill(*first, templatePath, saved);
                first->quit();
                std::unique_ptr<WordSession> second = processor.create();
                second->open(saved, false);
                second->copyAsPicture();
                second->closeActiveDocumentWithoutSaving();
                second->quit();
            }));
        }
        report("generation run: two sessions, fill, picture", wholeRun);
    } catch (const Failure &failure) {
        std::fprintf(stderr, "%s\n", qPrintable(failure.description()));
        return 1;
    }
    return 0;
}

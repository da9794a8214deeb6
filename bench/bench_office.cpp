// How long the word processor's operations take on this machine: the median of
// several runs of each, printed as a table. Not a test: nothing here can fail a build.
#include "BenchSupport.h"
#include "Failure.h"
#include "FileUtils.h"
#include "LibreOfficeProcessor.h"
#include "MemoDetails.h"
#include "MemoStyle.h"
#include "TemplateCatalogue.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {
const QString kMemo = QStringLiteral(SCRIVANE_FIXTURES "/memo.fodt");

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
        for (size_t style = 0; style < kMemoStyles.size(); ++style) {
            const QString memoTemplate = folder.filePath(QStringLiteral("memo-%1.dot").arg(style));
            WriteBytesToFile(loadResData(kMemoStyles[style].resourceId), memoTemplate);
            MemoDetails memo = withSampleData({});
            memo.style = int(style);
            memo.date = QDate(2026, 12, 8);
            std::vector<double> times;
            for (int run = 0; run < runs; ++run) {
                times.push_back(milliseconds([&] {
                    session->open(memoTemplate, true);
                    for (const auto &[bookmark, text] : bookmarkWrites(memo))
                        session->setBookmarkText(bookmark, text);
                    session->saveAs(saved);
                    session->close();
                }));
            }
            const QByteArray what = QStringLiteral("open, fill, save, close: %1")
                                        .arg(QString::fromLatin1(kMemoStyles[style].caption))
                                        .toUtf8();
            report(what.constData(), times);
        }
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

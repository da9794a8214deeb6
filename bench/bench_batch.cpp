// A batch of 100 memos, all five styles mixed, through one word processor session
// as "scrivane --generate --batch" writes them: the time to the first document and
// the median memos per second once the session has started.
#include "BenchSupport.h"
#include "Failure.h"
#include "LibreOfficeProcessor.h"
#include "MemoDetails.h"
#include "MemoStyle.h"
#include "MemoWriter.h"

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    QTemporaryDir folder;
    LibreOfficeProcessor::Settings settings = LibreOfficeProcessor::defaultSettings();
    settings.profileRoot = folder.filePath(QStringLiteral("profiles"));
    LibreOfficeProcessor office(settings);

    // A warm profile, as on any start but the very first.
    office.create()->quit();

    try {
        MemoWriter writer(office);
        std::vector<double> perMemo;
        QElapsedTimer sinceStart;
        sinceStart.start();
        double firstDocument = 0;
        for (int index = 0; index < count; ++index) {
            MemoDetails memo = withSampleData({});
            memo.style = index % int(kMemoStyles.size());
            memo.to
                = QStringLiteral("Recipient %1\nDepartment %2").arg(index + 1).arg(index % 7 + 1);
            memo.date = QDate(2026, 12, 8).addDays(index);
            const QString path = folder.filePath(
                QStringLiteral("memo-%1.doc").arg(index + 1, 3, 10, QLatin1Char('0')));
            const double took = milliseconds([&] { writer.write(memo, path); });
            if (index == 0)
                firstDocument = double(sinceStart.nsecsElapsed()) / 1e6;
            else
                perMemo.push_back(took);
        }
        const double total = double(sinceStart.nsecsElapsed()) / 1e6;
        writer.finish();
        std::printf(
            "time to the first document (session start included): %.0f ms\n", firstDocument);
        report("one memo once the session has started", perMemo);
        std::printf("median memos per second after start: %.1f (target at least 20)\n",
            1000.0 / median(perMemo));
        std::printf("%d memos in %.2f s, %.1f memos per second overall\n", count, total / 1000.0,
            count * 1000.0 / total);
    } catch (const Failure &failure) {
        std::fprintf(stderr, "%s\n", qPrintable(failure.description()));
        return 1;
    }
    return 0;
}

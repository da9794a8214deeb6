// The whole "Start Creating Template" run with the real word processor, offscreen,
// for each style: from the click to the preview shown, split into its parts, beside
// one "soffice --convert-to pdf" of the same template on this machine.
#include "BenchSupport.h"
#include "FileUtils.h"
#include "Form1.h"
#include "Form1Controls.h"
#include "Form2.h"
#include "LibreOfficeProcessor.h"
#include "MemoStyle.h"
#include "QuietUserInterface.h"
#include "SettingsStore.h"
#include "TemplateCatalogue.h"
#include "UserInterface.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QUrl>

#include <cstdio>
#include <map>
#include <memory>

namespace {
// Times every call into the word processor, by kind.
struct Clock
{
    std::map<QString, double> spent;
    double officePeak = 0;
};

class TimedSession : public WordSession
{
public:
    TimedSession(std::unique_ptr<WordSession> inner, Clock &clock, QString part)
        : mInner(std::move(inner))
        , mClock(clock)
        , mPart(std::move(part))
    { }

    void open(const QString &path, bool readOnly) override
    {
        time([&] { mInner->open(path, readOnly); });
    }
    void setBookmarkText(const QString &b, const QString &t) override
    {
        time([&] { mInner->setBookmarkText(b, t); });
    }
    void saveAs(const QString &path) override
    {
        time([&] { mInner->saveAs(path); });
    }
    void setDisplayAlerts(bool on) override
    {
        time([&] { mInner->setDisplayAlerts(on); });
    }
    void close() override
    {
        time([&] { mInner->close(); });
    }
    QImage copyAsPicture() override
    {
        QImage picture;
        time([&] { picture = mInner->copyAsPicture(); });
        return picture;
    }
    void closeActiveDocumentWithoutSaving() override
    {
        time([&] { mInner->closeActiveDocumentWithoutSaving(); });
    }
    void quit() override
    {
        // The office's own accounting goes with its process.
        if (auto *office = dynamic_cast<OfficeSession *>(mInner.get()))
            mClock.officePeak = std::max(mClock.officePeak, peakMemory(office->processId()));
        mClock.spent[QStringLiteral("office quit")] += milliseconds([&] { mInner->quit(); });
    }

private:
    void time(const std::function<void()> &call) { mClock.spent[mPart] += milliseconds(call); }

    std::unique_ptr<WordSession> mInner;
    Clock &mClock;
    QString mPart;
};

class TimedProcessor : public WordProcessor
{
public:
    TimedProcessor(WordProcessor &inner, Clock &clock)
        : mInner(inner)
        , mClock(clock)
    { }

    std::unique_ptr<WordSession> create() override
    {
        std::unique_ptr<WordSession> session;
        mClock.spent[QStringLiteral("office start")]
            += milliseconds([&] { session = mInner.create(); });
        // The run's first session fills and saves; the second renders the picture.
        const QString part
            = ++mSessions % 2 ? QStringLiteral("fill and save") : QStringLiteral("render");
        return std::make_unique<TimedSession>(std::move(session), mClock, part);
    }

    int mSessions = 0;

private:
    WordProcessor &mInner;
    Clock &mClock;
};

// Peak resident memory of every office process started by this program so far that
// still runs, in MiB.
double officesPeak()
{
    double total = 0;
    for (const qint64 office : childProcesses(QStringLiteral("soffice.bin")))
        total += peakMemory(office);
    return total;
}

void waitWithEvents(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}
} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    QTemporaryDir folder;
    qputenv("TEMP", folder.filePath(QStringLiteral("temp")).toLocal8Bit());
    QDir().mkpath(folder.filePath(QStringLiteral("temp")));

    // The yardstick: the same template converted by one soffice command, warm profile.
    const QString templatePath = folder.filePath(QStringLiteral("Professional.dot"));
    WriteBytesToFile(loadResData(kMemoStyles[0].resourceId), templatePath);
    const double yardstick = conversionYardstick(templatePath, "pdf",
        folder.filePath(QStringLiteral("convert-profile")), folder.path(), runs,
        "soffice --convert-to pdf of the template");

    LibreOfficeProcessor::Settings settings = LibreOfficeProcessor::defaultSettings();
    settings.profileRoot = folder.filePath(QStringLiteral("profiles"));
    QuietUserInterface ui;
    SettingsStore store(folder.filePath(QStringLiteral("Tarnwick.conf")));

    // Start-up to the window shown (the check starts the office that stays as the
    // spare), then the first click at once; the first round warms the profile.
    std::vector<double> startUps, firstClicks;
    for (int run = 0; run < runs + 1; ++run) {
        LibreOfficeProcessor office(settings);
        Clock clock;
        TimedProcessor word(office, clock);
        std::unique_ptr<Form1> form;
        const double startUp = milliseconds([&] {
            form = std::make_unique<Form1>(ui, store, word);
            form->Form_Load();
            form->show();
        });
        controls(*form).PushButton3->click();
        const double firstClick = milliseconds([&] { controls(*form).PushButton6->click(); });
        KillFile(form->form2().mWordFile);
        if (run == 0)
            continue;
        startUps.push_back(startUp);
        firstClicks.push_back(firstClick);
    }
    report("start-up to the main window shown", startUps);
    report("first click right after start-up, to preview", firstClicks);

    LibreOfficeProcessor office(settings);
    Clock clock;
    TimedProcessor word(office, clock);
    Form1 form(ui, store, word);
    form.Form_Load();
    controls(form).PushButton3->click();
    form.show();
    waitWithEvents(3000);

    std::map<QString, std::vector<double>> parts;
    std::vector<double> allRuns;
    for (size_t style = 0; style < kMemoStyles.size(); ++style) {
        std::vector<double> styleRuns;
        for (int run = 0; run < runs; ++run) {
            controls(form).Option1[style]->setChecked(true);
            form.show();
            clock.spent.clear();
            const double total = milliseconds([&] { controls(form).PushButton6->click(); });
            KillFile(form.form2().mWordFile);
            styleRuns.push_back(total);
            allRuns.push_back(total);
            double inOffice = 0;
            for (const auto &[part, spent] : clock.spent) {
                parts[part].push_back(spent);
                inOffice += spent;
            }
            parts[QStringLiteral("template, picture load, windows")].push_back(total - inOffice);
        }
        const QByteArray what = QStringLiteral("click to preview: %1")
                                    .arg(QString::fromLatin1(kMemoStyles[style].caption))
                                    .toUtf8();
        report(what.constData(), styleRuns);
    }
    report("click to preview: all styles", allRuns);
    for (const auto &[part, times] : parts)
        report(qPrintable(QStringLiteral("  of which ") + part), times);

    const double self = peakMemory(QCoreApplication::applicationPid());
    const double offices = officesPeak();
    std::printf("peak memory: Scrivane %.0f MiB + its running offices %.0f MiB = %.0f MiB\n", self,
        offices, self + offices);

    std::printf("click to preview / one conversion: %.2f (target at most 0.4)\n",
        median(allRuns) / yardstick);
    std::printf("first click / one conversion: %.2f (before the spare: 1.37)\n",
        median(firstClicks) / yardstick);
    std::printf(
        "start-up / one conversion: %.2f (target at most 1.2)\n", median(startUps) / yardstick);
    return ui.messages == 0 ? 0 : 1;
}

// A run the user can follow and leave, with the real word processor, offscreen: what the
// progress strip adds to a run (shown against hidden, alternating, same run), how soon
// Cancel gives the window back at each step against the run's own time, and a 2 MB
// message from the click to its preview against one "soffice --convert-to pdf" of the
// memo it makes.
#include "BenchSupport.h"
#include "Form1.h"
#include "Form1Controls.h"
#include "Form2.h"
#include "LibreOfficeProcessor.h"
#include "QuietUserInterface.h"
#include "RunStrip.h"
#include "SettingsStore.h"
#include "UserInterface.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>

namespace {
constexpr double kStripTarget = 1.02;
constexpr double kCancelTargetMs = 500;
constexpr double kLongTarget = 1.5;

// Clicks Cancel when the run starts the named operation, once it waits for the office.
class CancellingSession : public WordSession
{
public:
    CancellingSession(
        std::unique_ptr<WordSession> inner, const QString &at, const std::function<void()> &cancel)
        : mInner(std::move(inner))
        , mAt(at)
        , mCancel(cancel)
    { }
    void open(const QString &path, bool readOnly) override { mInner->open(path, readOnly); }
    void setBookmarkText(const QString &bookmark, const QString &text) override
    {
        reached(QStringLiteral("setBookmarkText ") + bookmark);
        mInner->setBookmarkText(bookmark, text);
    }
    void saveAs(const QString &path) override
    {
        reached(QStringLiteral("saveAs"));
        mInner->saveAs(path);
    }
    void setDisplayAlerts(bool on) override { mInner->setDisplayAlerts(on); }
    void close() override { mInner->close(); }
    QImage copyAsPicture() override
    {
        reached(QStringLiteral("copyAsPicture"));
        return mInner->copyAsPicture();
    }
    void closeActiveDocumentWithoutSaving() override { mInner->closeActiveDocumentWithoutSaving(); }
    void quit() override { mInner->quit(); }
    bool isRunning() const override { return mInner->isRunning(); }
    int pageCount() override { return mInner->pageCount(); }
    void abort() override { mInner->abort(); }

private:
    void reached(const QString &operation)
    {
        // A little into the operation, so that the office is at work when it comes.
        if (operation == mAt)
            QTimer::singleShot(50, mCancel);
    }

    std::unique_ptr<WordSession> mInner;
    const QString &mAt;
    const std::function<void()> &mCancel;
};

class CancellingProcessor : public WordProcessor
{
public:
    explicit CancellingProcessor(WordProcessor &inner)
        : mInner(inner)
    { }
    std::unique_ptr<WordSession> create() override
    {
        auto session = mInner.create();
        offices << dynamic_cast<OfficeSession &>(*session).processId();
        return std::make_unique<CancellingSession>(std::move(session), at, cancel);
    }
    QString at;
    std::function<void()> cancel;
    QList<qint64> offices;

private:
    WordProcessor &mInner;
};

QString linesOfMessage(int count)
{
    QStringList lines;
    for (int line = 0; line < count; ++line)
        lines << QStringLiteral("Line %1: the parcels for the second floor go to the loading bay.")
                     .arg(line, 5, 10, QLatin1Char('0'));
    return lines.join(QLatin1Char('\n'));
}

void waitWithEvents(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// What a run leaves in the temporary folder.
qsizetype runFilesLeft()
{
    return QDir(qEnvironmentVariable("TEMP"))
        .entryList({ QStringLiteral("scrivane-window-*"), QStringLiteral("kelmar*") },
            QDir::AllEntries | QDir::Hidden)
        .size();
}

double clickToPreview(Form1 &form)
{
    form.show();
    const double spent = milliseconds([&] { controls(form).PushButton6->click(); });
    QFile::remove(form.form2().mWordFile);
    return spent;
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

    LibreOfficeProcessor::Settings settings = LibreOfficeProcessor::defaultSettings();
    settings.profileRoot = folder.filePath(QStringLiteral("profiles"));
    LibreOfficeProcessor office(settings);
    CancellingProcessor word(office);
    QuietUserInterface ui;
    SettingsStore store(folder.filePath(QStringLiteral("Tarnwick.conf")));
    Form1 form(ui, store, word);
    form.Form_Load();
    controls(form).PushButton3->click();
    form.show();
    waitWithEvents(3000);
    auto *strip = dynamic_cast<RunStrip *>(form.findChild<QWidget *>(QStringLiteral("runStrip")));

    // The strip shown and hidden, alternating, so that both meet the same machine.
    std::vector<double> shown, hidden;
    clickToPreview(form);
    for (int run = 0; run < 2 * runs; ++run) {
        strip->setShown(run % 2 == 0);
        (run % 2 == 0 ? shown : hidden).push_back(clickToPreview(form));
    }
    strip->setShown(true);
    report("click to preview, the strip shown", shown);
    report("click to preview, the strip hidden", hidden);

    // Cancel a little into each step of a memo of some 45 pages.
    controls(form).txtMsg->setPlainText(linesOfMessage(2000));
    std::vector<double> ownRuns;
    for (int run = 0; run < runs; ++run)
        ownRuns.push_back(clickToPreview(form));
    report("click to preview, 45 pages (the run's own time)", ownRuns);
    QElapsedTimer sinceCancel;
    word.cancel = [&] {
        sinceCancel.start();
        form.findChild<QPushButton *>(QStringLiteral("runCancel"))->click();
    };
    std::vector<double> allCancels;
    int officesLeft = 0;
    qsizetype filesLeft = 0;
    for (const char *at : { "setBookmarkText bkMsg", "saveAs", "copyAsPicture" }) {
        word.at = QString::fromLatin1(at);
        std::vector<double> cancels;
        for (int run = 0; run < runs; ++run) {
            form.show();
            controls(form).PushButton6->click();
            cancels.push_back(double(sinceCancel.nsecsElapsed()) / 1e6);
            officesLeft += ::kill(pid_t(word.offices.last()), 0) == 0 ? 1 : 0;
            filesLeft += runFilesLeft();
            // The next run takes the fresh spare as a user would, a moment later.
            waitWithEvents(1500);
        }
        report(
            qPrintable(QStringLiteral("Cancel to the window back, at %1").arg(QLatin1String(at))),
            cancels);
        allCancels.insert(allCancels.end(), cancels.begin(), cancels.end());
    }
    word.at.clear();

    // A 2 MB message: from the click to the preview, and one conversion of the memo made.
    const QString longMemo = folder.filePath(QStringLiteral("long.doc"));
    controls(form).txtMsg->setPlainText(linesOfMessage(30000));
    const int longRuns = std::max(1, runs / 5);
    std::vector<double> longClicks;
    QString note;
    for (int run = 0; run < longRuns; ++run) {
        form.show();
        longClicks.push_back(milliseconds([&] { controls(form).PushButton6->click(); }));
        note = form.form2().findChild<QLabel *>(QStringLiteral("pagesNote"))->text();
        QFile::remove(longMemo);
        QFile::copy(form.form2().mWordFile, longMemo);
        QFile::remove(form.form2().mWordFile);
    }
    report("click to preview, 2 MB message", longClicks);
    const double conversion
        = conversionYardstick(longMemo, "pdf", folder.filePath(QStringLiteral("convert-profile")),
            folder.path(), longRuns, "soffice --convert-to pdf of that memo");

    std::printf("strip shown / hidden: %.3f (target at most %.2f)\n",
        median(shown) / median(hidden), kStripTarget);
    std::printf(
        "Cancel to the window back: median %.0f ms, slowest %.0f ms (target under %.0f ms); "
        "%.3f of the run's own time\n",
        median(allCancels), *std::max_element(allCancels.begin(), allCancels.end()),
        kCancelTargetMs, median(allCancels) / median(ownRuns));
    std::printf("after the cancels: offices still running that a run was using %d, run files left "
                "%lld\n",
        officesLeft, static_cast<long long>(filesLeft));
    std::printf("2 MB message, click to preview / one conversion: %.2f (target at most %.1f)\n",
        median(longClicks) / conversion, kLongTarget);
    std::printf("the preview said: %s\n", qPrintable(note));
    return ui.messages == 0 && officesLeft == 0 && filesLeft == 0 ? 0 : 1;
}

// The style buttons' tooltips: how soon a hover shows the memo, and what drawing in the
// background costs typing and "Start Creating Template", against one
// "soffice --convert-to pdf" of the same template on this machine.

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

#include <QApplication>
#include <QDir>
#include <QHelpEvent>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <QUrl>

#include <cstdio>
#include <memory>

namespace {

void waitWithEvents(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

void hover(QWidget *button)
{
    button->setFocus();
    const QPoint at = button->rect().center();
    QHelpEvent event(QEvent::ToolTip, at, button->mapToGlobal(at));
    QApplication::sendEvent(button, &event);
}

bool showsPicture()
{
    return QToolTip::text().contains(QStringLiteral("base64,"));
}

// From the hover to the picture in the tooltip.
double hoverToPicture(QWidget *button)
{
    return milliseconds([&] {
        hover(button);
        QElapsedTimer timer;
        timer.start();
        while (!showsPicture() && timer.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    });
}

struct Window
{
    Window(const LibreOfficeProcessor::Settings &settings, UserInterface &ui, SettingsStore &store)
        : office(settings)
        , form(std::make_unique<Form1>(ui, store, office))
        , controls(*form)
    {
        form->Form_Load();
        form->show();
        if (!QTest::qWaitForWindowActive(form.get()))
            std::printf("the window did not become active\n");
        controls.PushButton3->click();
    }
    LibreOfficeProcessor office;
    std::unique_ptr<Form1> form;
    Form1Controls controls;
};
} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    QTemporaryDir folder;
    qputenv("TEMP", folder.filePath(QStringLiteral("temp")).toLocal8Bit());
    QDir().mkpath(folder.filePath(QStringLiteral("temp")));

    const QString templatePath = folder.filePath(QStringLiteral("Elegant.dot"));
    WriteBytesToFile(loadResData(kMemoStyles[2].resourceId), templatePath);
    const double yardstick = conversionYardstick(templatePath, "pdf",
        folder.filePath(QStringLiteral("convert-profile")), folder.path(), runs,
        "soffice --convert-to pdf of the template");

    LibreOfficeProcessor::Settings settings = LibreOfficeProcessor::defaultSettings();
    settings.profileRoot = folder.filePath(QStringLiteral("profiles"));
    QuietUserInterface ui;
    SettingsStore store(folder.filePath(QStringLiteral("Tarnwick.conf")));

    // A fresh window open 3 s each time; the first round warms the profile.
    std::vector<double> firstHovers, secondHovers;
    const int windows = std::min(runs, 5);
    for (int run = 0; run < windows + 1; ++run) {
        Window window(settings, ui, store);
        waitWithEvents(3000);
        const double first = hoverToPicture(window.controls.Option1[2]);
        const double second = hoverToPicture(window.controls.Option1[2]);
        if (run == 0)
            continue;
        firstHovers.push_back(first);
        secondHovers.push_back(second);
    }
    report("first hover to picture", firstHovers);
    report("second hover, nothing changed", secondHovers);

    // A message of a megabyte, of which the picture shows a page.
    std::vector<double> longHovers;
    for (int run = 0; run < std::min(runs, 3); ++run) {
        Window window(settings, ui, store);
        window.controls.txtMsg->setPlainText(QStringLiteral("A long memo. ").repeated(80000));
        waitWithEvents(3000);
        longHovers.push_back(hoverToPicture(window.controls.Option1[size_t(run) % 5]));
    }
    report("first hover to picture, 1 MB message", longHovers);

    Window window(settings, ui, store);
    waitWithEvents(3000);
    auto &option = window.controls.Option1;

    // Keystrokes in the message, each with the events it brings, with and without drawing.
    auto typeKeys = [&](std::vector<double> &times, bool drawing) {
        for (int round = 0; round < runs; ++round) {
            if (drawing)
                hover(option[size_t(round) % option.size()]);
            for (int key = 0; key < 10; ++key) {
                times.push_back(milliseconds([&] {
                    QTest::keyClick(window.controls.txtMsg, Qt::Key_A);
                    QCoreApplication::processEvents();
                }));
                waitWithEvents(30);
            }
            waitWithEvents(drawing ? 0 : 300);
        }
    };
    std::vector<double> quietKeys, drawingKeys;
    typeKeys(quietKeys, false);
    typeKeys(drawingKeys, true);
    waitWithEvents(1500);
    report("keystroke, nothing drawn", quietKeys);
    report("keystroke while drawing", drawingKeys);

    // "Start Creating Template" at once, and while a picture is being drawn.
    auto start = [&](bool drawing, int round) {
        window.form->show();
        QTest::keyClick(window.controls.txtTo, Qt::Key_B);
        if (drawing) {
            hover(option[size_t(round) % option.size()]);
            waitWithEvents(60);
        } else {
            // Long enough for the drawing ahead after a second without keys to end.
            waitWithEvents(4000);
        }
        const double time = milliseconds([&] { window.controls.PushButton6->click(); });
        KillFile(window.form->form2().mWordFile);
        return time;
    };
    std::vector<double> quietStarts, drawingStarts;
    for (int round = 0; round < runs; ++round) {
        quietStarts.push_back(start(false, round));
        drawingStarts.push_back(start(true, round));
    }
    report("click to preview, nothing drawn", quietStarts);
    report("click to preview, while drawing", drawingStarts);

    // Five pictures kept: the memo changed, and each style hovered at once.
    window.form->show();
    QTest::keyClick(window.controls.txtTo, Qt::Key_C);
    waitWithEvents(200);
    const double before = residentNow();
    qint64 pictureBytes = 0;
    for (QRadioButton *button : option) {
        hoverToPicture(button);
        static const QRegularExpression data(QStringLiteral("base64,([^\"]+)\""));
        const QImage picture = QImage::fromData(
            QByteArray::fromBase64(data.match(QToolTip::text()).captured(1).toLatin1()), "PNG");
        pictureBytes += picture.sizeInBytes();
    }
    const double kept = residentNow() - before;

    std::printf("first hover to picture / one conversion: %.2f (target at most 0.5)\n",
        median(firstHovers) / yardstick);
    std::printf(
        "first hover, 1 MB message / one conversion: %.2f\n", median(longHovers) / yardstick);
    std::printf("second hover: %.1f ms (target under 20), / one conversion: %.4f\n",
        median(secondHovers), median(secondHovers) / yardstick);
    const auto slowest = *std::max_element(drawingKeys.begin(), drawingKeys.end());
    std::printf("keystroke median while drawing - without: %.2f ms (target within 1), slowest "
                "%.1f ms (target under 50); / one conversion: %.4f and %.4f\n",
        median(drawingKeys) - median(quietKeys), slowest,
        (median(drawingKeys) - median(quietKeys)) / yardstick, slowest / yardstick);
    std::printf("start while drawing - without / one conversion: %.3f (target at most 0.05)\n",
        (median(drawingStarts) - median(quietStarts)) / yardstick);
    std::printf("five pictures kept: %.2f MiB of pixels, %.1f MiB more resident (target at most "
                "10)\n",
        double(pictureBytes) / (1024.0 * 1024.0), kept);
    return ui.messages == 0 ? 0 : 1;
}

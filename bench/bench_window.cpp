// How long the memo entry window takes to start, and to take one keystroke, with a
// large stored message; the yardstick is the same window started with an empty store.

#include "BenchSupport.h"
#include "Form1.h"
#include "Form1Controls.h"
#include "IdleSession.h"
#include "QuietUserInterface.h"
#include "SettingsStore.h"
#include "UserInterface.h"
#include "WordSession.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
constexpr double kStartTarget = 2000;
constexpr double kKeystrokeTarget = 50;

// The start-up check only starts and quits a session; the office is not what is measured.
class IdleProcessor : public WordProcessor
{
public:
    std::unique_ptr<WordSession> create() override { return std::make_unique<IdleSession>(); }
};

// Words of six letters and a space, with a line break every 80 characters when asked.
enum class Shape { LineBreaks, OneLine, OneWord };

QString message(qsizetype size, Shape shape)
{
    // One line without a space: nothing for the box to break it at.
    if (shape == Shape::OneWord)
        return QString(size, u'm');
    const bool lineBreaks = shape == Shape::LineBreaks;
    QString text;
    text.reserve(size);
    qsizetype column = 0;
    while (text.size() < size) {
        const bool lineEnds = lineBreaks && column >= 72;
        text += lineEnds ? QStringLiteral("ends\n") : QStringLiteral("memo. ");
        column = lineEnds ? 0 : column + 6;
    }
    text.truncate(size);
    return text;
}

struct Started
{
    std::unique_ptr<Form1> form;
    double milliseconds = 0;
};

Started start(SettingsStore &store, WordProcessor &word, UserInterface &ui)
{
    Started started;
    started.milliseconds = milliseconds([&] {
        started.form = std::make_unique<Form1>(ui, store, word);
        started.form->Form_Load();
        started.form->show();
        if (!QTest::qWaitForWindowExposed(started.form.get()))
            std::fprintf(stderr, "the window was not shown\n");
        QApplication::processEvents();
        (void)started.form->grab();
    });
    return started;
}
} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    // A second argument picks the cases whose name holds it, e.g. for a profiler.
    const QString only = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    IdleProcessor word;
    QuietUserInterface ui;
    bool withinTargets = true;

    std::vector<double> empty;
    for (int run = 0; run < runs; ++run) {
        QTemporaryDir folder;
        SettingsStore store(folder.filePath(QStringLiteral("Tarnwick.conf")));
        empty.push_back(start(store, word, ui).milliseconds);
    }
    report("start-up, empty store (yardstick)", empty);
    const double yardstick = std::max(median(empty), 1.0);

    const std::pair<const char *, qsizetype> sizes[]
        = { { "10 KB", 10 * 1024 }, { "1 MB", 1024 * 1024 }, { "10 MB", 10 * 1024 * 1024 } };
    for (const auto &[name, size] : sizes) {
        for (const Shape shape : { Shape::LineBreaks, Shape::OneLine, Shape::OneWord }) {
            const QString caseName
                = QStringLiteral("%1 message%2")
                      .arg(QString::fromLatin1(name),
                          shape == Shape::LineBreaks    ? QStringLiteral(", line breaks")
                              : shape == Shape::OneLine ? QStringLiteral(", one line")
                                                        : QStringLiteral(", one word"));
            if (!caseName.contains(only))
                continue;
            const QString text = message(size, shape);
            std::vector<double> starts, keystrokes;
            double lastOnDisk = 0;
            for (int run = 0; run < runs; ++run) {
                QTemporaryDir folder;
                auto store = std::make_unique<SettingsStore>(
                    folder.filePath(QStringLiteral("Tarnwick.conf")));
                store->SaveSetting(QStringLiteral("txtMsg"), text);
                Started started = start(*store, word, ui);
                starts.push_back(started.milliseconds);

                QPlainTextEdit *box = controls(*started.form).txtMsg;
                box->setFocus();
                QTest::keyClick(box, Qt::Key_End, Qt::ControlModifier);
                for (int key = 0; key < 10; ++key) {
                    keystrokes.push_back(milliseconds([&] {
                        QTest::keyClick(box, 'x');
                        QApplication::processEvents();
                    }));
                }
                lastOnDisk = std::max(lastOnDisk, milliseconds([&] {
                    started.form->saveTyping();
                    store->flush();
                }));
                SettingsStore reread(store->fileName());
                if (reread.GetSetting(QStringLiteral("txtMsg")) != text + QString(10, u'x')) {
                    std::fprintf(stderr, "the typed text did not reach the store\n");
                    withinTargets = false;
                }
                started.form.reset();
            }
            const QByteArray what = caseName.toUtf8();
            report(("start-up, " + what).constData(), starts);
            report(("keystroke, " + what).constData(), keystrokes);
            std::printf("  start-up / yardstick %.1f; slowest keystroke %.1f ms; last keystroke "
                        "on disk %.0f ms after it\n",
                median(starts) / yardstick, *std::max_element(keystrokes.begin(), keystrokes.end()),
                lastOnDisk);
            withinTargets = withinTargets && median(starts) < kStartTarget
                && median(keystrokes) < kKeystrokeTarget;
        }
    }
    std::printf("targets (start-up under %.0f ms, keystroke under %.0f ms): %s\n", kStartTarget,
        kKeystrokeTarget, withinTargets ? "met" : "MISSED");
    return withinTargets && ui.messages == 0 ? 0 : 1;
}

// A template of the user's own: the built-in Professional saved as .docx and chosen back.
// Choosing it (open, read its bookmarks, answer) against one "soffice --convert-to pdf"
// of it; a memo of it against one of the built-in template, in the window (the whole
// "Start Creating Template" run, offscreen) and through the command line's writer (a
// Word memo through the office, a DOCX one without it), the two taken in turn so that
// both meet the same load.
#include "BenchSupport.h"
#include "Failure.h"
#include "FileUtils.h"
#include "Form1.h"
#include "Form1Controls.h"
#include "Form2.h"
#include "LibreOfficeProcessor.h"
#include "MemoStyle.h"
#include "MemoWriter.h"
#include "OwnTemplate.h"
#include "QuietUserInterface.h"
#include "SettingsStore.h"
#include "TemplateCatalogue.h"

#include <QApplication>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {
constexpr double kChooseTarget = 0.5;
constexpr double kMemoTarget = 1.1;

MemoDetails sample()
{
    MemoDetails memo = withSampleData({});
    memo.date = QDate(2026, 12, 8);
    return memo;
}

// Own against built-in: prints the ratio of the medians, says whether within target.
bool compared(const char *what, const std::vector<double> &own, const std::vector<double> &builtIn)
{
    report((std::string(what) + ", built-in Professional").c_str(), builtIn);
    report((std::string(what) + ", own template").c_str(), own);
    const double ratio = median(own) / median(builtIn);
    std::printf("  own / built-in %.2f (target: at most %.1f)\n", ratio, kMemoTarget);
    return ratio <= kMemoTarget;
}

// As the window chooses it: the spare office taken, the file checked, made safe and
// kept, the office given back; against one conversion of it.
OwnTemplatePointer choose(
    LibreOfficeProcessor &processor, const QString &file, int runs, double conversion, bool &met)
{
    const QByteArray bytes = OwnTemplates::readFile(file);
    std::vector<double> choosing;
    OwnTemplatePointer chosen;
    for (int run = 0; run < runs; ++run) {
        choosing.push_back(milliseconds([&] {
            std::unique_ptr<WordSession> checking;
            chosen = OwnTemplates::make(
                [&]() -> WordSession & {
                    checking = processor.create();
                    return *checking;
                },
                file, bytes, OwnTemplates::styleFolder(0), OwnTemplates::PackageForms::WhenNeeded);
            checking->quit();
        }));
    }
    report("choosing it (open, read bookmarks, answer)", choosing);
    const double ratio = median(choosing) / conversion;
    std::printf("  choosing / conversion %.2f (target: at most %.1f)\n", ratio, kChooseTarget);
    met = met && ratio <= kChooseTarget;
    return chosen;
}

// The command line's writer, one office, own and built-in in turn: a Word memo through
// the office, a DOCX memo filled without it.
bool writerMemos(LibreOfficeProcessor &processor, const OwnTemplatePointer &chosen,
    const QTemporaryDir &folder, int runs)
{
    MemoWriter writer(processor);
    MemoDetails own = sample();
    own.ownTemplate = chosen;
    bool met = true;
    for (const DocumentFormat format : { DocumentFormat::Doc, DocumentFormat::Docx }) {
        const QString out = folder.filePath(QStringLiteral("memo.") + documentFormatName(format));
        writer.write(sample(), out, format);
        writer.write(own, out, format);
        std::vector<double> builtInMemos, ownMemos;
        for (int run = 0; run < runs; ++run) {
            builtInMemos.push_back(milliseconds([&] { writer.write(sample(), out, format); }));
            ownMemos.push_back(milliseconds([&] { writer.write(own, out, format); }));
        }
        const std::string what
            = "command line: a " + documentFormatName(format).toUpper().toStdString() + " memo";
        met = compared(what.c_str(), ownMemos, builtInMemos) && met;
    }
    writer.finish();
    return met;
}

// The window's run of Professional, own and built-in in turn (two windows, one store
// each), from the click to the preview.
bool windowRuns(
    LibreOfficeProcessor &processor, const QString &file, const QTemporaryDir &folder, int runs)
{
    QuietUserInterface ui;
    SettingsStore ownStore(folder.filePath(QStringLiteral("own.conf")));
    ownStore.SaveSetting(QStringLiteral("Template0"), file);
    SettingsStore builtInStore(folder.filePath(QStringLiteral("built-in.conf")));
    std::vector<double> builtInRuns, ownRuns;
    Form1 ownForm(ui, ownStore, processor);
    Form1 builtInForm(ui, builtInStore, processor);
    for (Form1 *form : { &ownForm, &builtInForm })
        form->Form_Load();
    const auto run = [&](Form1 &form) {
        form.show();
        const Form1Controls controls(form);
        controls.Option1[0]->setChecked(true);
        const double time = milliseconds([&] {
            controls.PushButton6->click();
            QApplication::processEvents();
        });
        KillFile(form.form2().mWordFile);
        form.form2().hide();
        return time;
    };
    run(ownForm);
    run(builtInForm);
    for (int count = 0; count < runs; ++count) {
        builtInRuns.push_back(run(builtInForm));
        ownRuns.push_back(run(ownForm));
    }
    return compared("window: \"Start Creating Template\"", ownRuns, builtInRuns)
        && ui.messages == 0;
}
} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    // Scrivane's own folders of this run only.
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder.filePath(QStringLiteral("data"))));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(folder.filePath(QStringLiteral("cache"))));
    LibreOfficeProcessor::Settings settings = LibreOfficeProcessor::defaultSettings();
    settings.profileRoot = folder.filePath(QStringLiteral("profiles"));
    LibreOfficeProcessor processor(settings);
    bool withinTargets = true;

    try {
        // The built-in Professional, saved as .docx as a user's word processor would.
        const QString builtIn = folder.filePath(QStringLiteral("Professional.dot"));
        const QString mine = folder.filePath(QStringLiteral("letterhead.docx"));
        WriteBytesToFile(loadResData(kMemoStyles[0].resourceId), builtIn);
        std::unique_ptr<WordSession> session = processor.create();
        session->open(builtIn, true);
        session->exportAs(mine, DocumentFormat::Docx);
        session->close();
        session->quit();

        const double conversion
            = conversionYardstick(mine, "pdf", folder.filePath(QStringLiteral("yardstick-profile")),
                folder.path(), runs, "soffice --convert-to pdf of the .docx (yardstick)");
        const OwnTemplatePointer chosen = choose(processor, mine, runs, conversion, withinTargets);
        withinTargets = writerMemos(processor, chosen, folder, runs) && withinTargets;
        withinTargets = windowRuns(processor, mine, folder, runs) && withinTargets;
    } catch (const Failure &failure) {
        std::fprintf(stderr, "%s\n", qPrintable(failure.description()));
        return 1;
    }
    std::printf("targets: %s\n", withinTargets ? "met" : "MISSED");
    return withinTargets ? 0 : 1;
}

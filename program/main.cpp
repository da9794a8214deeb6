#include "ApplicationIcon.h"
#include "CommandLine.h"
#include "Failure.h"
#include "Form1.h"
#include "Leftovers.h"
#include "LibreOfficeProcessor.h"
#include "MemoService.h"
#include "ProgramEnd.h"
#include "ServiceClient.h"
#include "SettingsStore.h"
#include "UserInterface.h"

#include <QApplication>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {
QStringList argumentsOf(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << CommandLine::argumentText(argv[i]);
    return arguments;
}

void nameTheApplication()
{
    QCoreApplication::setOrganizationName(QString::fromLatin1(SettingsStore::kApplication));
    QCoreApplication::setApplicationName(QStringLiteral("Scrivane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SCRIVANE_VERSION));
}

// Scripts need no display and see no window.
int runCommandLine(int argc, char *argv[])
{
    // Taken before Qt reads them: Qt would take "--style" as its own.
    const QStringList arguments = argumentsOf(argc, argv);
    CommandLine::silenceQtMessages();
    // A signal stops the work between two memos; everything then ends as usual.
    ProgramEnd::stopOnSignal();
    // Only the page picture needs the graphical side of Qt; without it the first memo
    // comes sooner.
    const bool picture = std::any_of(arguments.cbegin(), arguments.cend(),
        [](const QString &argument) { return argument.startsWith(QLatin1String("--picture")); });
    std::unique_ptr<QCoreApplication> application;
    if (picture) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    nameTheApplication();
    QTextStream output(stdout);
    QTextStream errors(stderr);
    LibreOfficeProcessor word;
    const SettingsStore settings;
    ServiceClient service(QCoreApplication::applicationFilePath());
    return CommandLine::run(arguments, word, settings, output, errors, &service);
}

// "scrivane --service run", as the command line or systemd starts it: no display, and
// offscreen pictures for the memos that ask for one.
bool isServiceRun(int argc, char *argv[])
{
    return argc == 3 && qstrcmp(argv[1], "--service") == 0 && qstrcmp(argv[2], "run") == 0;
}

int runService(int argc, char *argv[])
{
    CommandLine::silenceQtMessages();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    nameTheApplication();
    return MemoService::run([&argc, argv]() -> std::unique_ptr<QCoreApplication> {
        return std::make_unique<QGuiApplication>(argc, argv);
    });
}

// Without one the window cannot open, and arguments then are meant for the command line.
bool hasDisplay()
{
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsSet("DISPLAY")
        || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}
} // namespace

int main(int argc, char *argv[])
{
    // The service clears its own folders and pipes, never the starting command's.
    if (isServiceRun(argc, argv))
        return runService(argc, argv);
    clearLeftoverWorkFolders();
    clearLeftoverPipes(LibreOfficeProcessor::defaultSettings().profileRoot);
    if (CommandLine::isRequested(argumentsOf(argc, argv)) || (argc > 1 && !hasDisplay())) {
        const int status = runCommandLine(argc, argv);
        // Its offices and files are gone now; its parent learns that the signal ended it.
        if (ProgramEnd::receivedSignal() != 0)
            ProgramEnd::dieOfReceivedSignal();
        return status;
    }

    QApplication application(argc, argv);
    nameTheApplication();
    QGuiApplication::setDesktopFileName(QStringLiteral("scrivane"));
    QApplication::setWindowIcon(applicationIcon());

    LibreOfficeProcessor word;
    DesktopUserInterface ui;
    SettingsStore settings;
    Form1 window(ui, settings, word);
    // The program ends through ui.endProgram(), which runs no destructor: the spare office
    // and typing still on its way to the store are ended and written here before it ends.
    ui.beforeEnd = [&settings, &window, &word] {
        word.shutDown();
        window.saveTyping();
        try {
            settings.flush();
        } catch (const Failure &) {
            // The window told the user when the write failed.
        }
        // Offices of sessions cut short (a run, a drawing), with their pipes, then the
        // folders they worked in.
        ProgramEnd::endNotedChildren();
        ProgramEnd::removeNotedFolders();
        removeOwnWorkFolders();
    };
    // The session's logout or a closed terminal ends it as a close of the window does.
    ProgramEnd::endOnSignal(&window, [&window] { window.endAsClosed(); });
    window.Form_Load();
    window.show();
    return application.exec();
}

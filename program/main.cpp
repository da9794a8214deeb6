#include "ApplicationIcon.h"
#include "CommandLine.h"
#include "Failure.h"
#include "Form1.h"
#include "Leftovers.h"
#include "LibreOfficeProcessor.h"
#include "SettingsStore.h"
#include "UserInterface.h"

#include <QApplication>
#include <QTextStream>

#include <cstdio>

namespace {
QStringList argumentsOf(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
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
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    nameTheApplication();
    QTextStream output(stdout);
    QTextStream errors(stderr);
    LibreOfficeProcessor word;
    const SettingsStore settings;
    return CommandLine::run(arguments, word, settings, output, errors);
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
    clearLeftoverWorkFolders();
    if (CommandLine::isRequested(argumentsOf(argc, argv)) || (argc > 1 && !hasDisplay()))
        return runCommandLine(argc, argv);

    QApplication application(argc, argv);
    nameTheApplication();
    QGuiApplication::setDesktopFileName(QStringLiteral("scrivane"));
    QApplication::setWindowIcon(applicationIcon());

    DesktopUserInterface ui;
    SettingsStore settings;
    LibreOfficeProcessor word;
    Form1 window(ui, settings, word);
    // Typing still on its way to the store is written before the program ends.
    ui.beforeEnd = [&settings, &window] {
        window.saveTyping();
        try {
            settings.flush();
        } catch (const Failure &) {
            // The window told the user when the write failed.
        }
    };
    window.Form_Load();
    window.show();
    return application.exec();
}

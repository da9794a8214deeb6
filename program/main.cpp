#include "ApplicationIcon.h"
#include "CommandLine.h"
#include "Form1.h"
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

// Ending the program ends the spare office first: nothing of it is left behind.
class ProgramUserInterface : public DesktopUserInterface
{
public:
    explicit ProgramUserInterface(LibreOfficeProcessor &word)
        : mWord(word)
    { }

    [[noreturn]] void endProgram() override
    {
        mWord.shutDown();
        DesktopUserInterface::endProgram();
    }

private:
    LibreOfficeProcessor &mWord;
};

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
} // namespace

int main(int argc, char *argv[])
{
    if (CommandLine::isRequested(argumentsOf(argc, argv)))
        return runCommandLine(argc, argv);

    QApplication application(argc, argv);
    nameTheApplication();
    QGuiApplication::setDesktopFileName(QStringLiteral("scrivane"));
    QApplication::setWindowIcon(applicationIcon());

    LibreOfficeProcessor word;
    ProgramUserInterface ui(word);
    SettingsStore settings;
    Form1 window(ui, settings, word);
    window.Form_Load();
    window.show();
    return application.exec();
}

#include "WordCheck.h"

#include "ErrorTrap.h"
#include "UserInterface.h"
#include "WordSession.h"

#include <QStringList>

#include <memory>

QString wordMissingMessage()
{
    return QStringList {
        QStringLiteral("Error 842001. A normal instance of Word could not be created."),
        QStringLiteral("1. Please make sure Word is installed on this computer."),
        QStringLiteral(
            "2. Please open Word normally and make sure a blank document opens immediately "
            "without any interrupting window (such as an Word file recovery window)."),
        QStringLiteral(
            "3. Please make sure that when you double-click on a DOC or DOCX file that Word "
            "opens normally without any interrupting messages."),
        QStringLiteral(
            "4. All versions of Word are supported by this software except for the rare Word "
            "Starter and Student editions."),
    }
        .join(QStringLiteral("\r\n\r\n"));
}

void CheckWordInstalled(WordProcessor &word, UserInterface &ui)
{
    // Every failure here is silent: only a word processor that cannot be started counts.
    ErrorTrap trap(
        [](const QString &, int, const QString &) {}, QStringLiteral("CheckWordInstalled"));
    std::unique_ptr<WordSession> session;
    trap.step(2, [&] { session = word.create(); });
    if (!session) {
        ui.messageBox(wordMissingMessage(), UserInterface::Buttons::Ok, UserInterface::Icon::None);
        ui.endProgram();
    }
    trap.step(4, [&] { session->quit(); });
}

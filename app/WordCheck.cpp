#include "WordCheck.h"

#include "ErrorTrap.h"
#include "UserInterface.h"
#include "WordSession.h"

#include <QStringList>

#include <memory>

QString wordMissingMessage()
{
    return QStringList {
        QStringLiteral("Error 842001. LibreOffice Writer could not be started."),
        QStringLiteral("1. Please make sure LibreOffice Writer is installed on this computer "
                       "(Debian package libreoffice-writer)."),
        QStringLiteral(
            "2. Please open LibreOffice Writer normally and make sure a blank document opens "
            "immediately without any interrupting window (such as a document recovery or "
            "first-start window)."),
        QStringLiteral("3. Scrivane starts LibreOffice Writer hidden, in a profile of its own: a "
                       "LibreOffice you have open is neither used nor closed."),
        QStringLiteral("4. If LibreOffice is installed in another folder, set the environment "
                       "variable SCRIVANE_OFFICE_PROGRAM to the folder that holds soffice.bin."),
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

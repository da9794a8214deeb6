#include "ErrorReport.h"

#include "UserInterface.h"

QString errorReportText(const QString &description, const QString &location, int line)
{
    return description + QStringLiteral("\r\n") + location + QStringLiteral("at line ")
        + QString::number(line) + QStringLiteral("\r\r")
        + QStringLiteral("Please email screenshot of this message to ")
        + QString::fromLatin1(kSupportAddress);
}

void ErrorReport(UserInterface &ui, const QString &location, int line, const QString &description)
{
    ui.messageBox(errorReportText(description, location, line), UserInterface::Buttons::Ok,
        UserInterface::Icon::Warning, QString::fromLatin1(kErrorReportCaption));
}

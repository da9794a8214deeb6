#include "MemoProperties.h"

#include "MemoStyle.h"

#include <QRegularExpression>
#include <QStringList>

namespace {
QString oneLine(const QString &text, const QString &separator)
{
    static const QRegularExpression lineBreak(QStringLiteral("[\r\n]+"));
    QStringList lines = text.split(lineBreak);
    for (QString &line : lines)
        line = line.simplified();
    lines.removeAll(QString());
    return lines.join(separator);
}
} // namespace

MemoProperties memoProperties(const QHash<QString, QString> &bookmarkTexts)
{
    MemoProperties properties;
    properties.title = oneLine(bookmarkTexts.value(QStringLiteral("bkRe")), QStringLiteral(" "));
    // Several people on the From line are several authors, as Word separates them.
    properties.author
        = oneLine(bookmarkTexts.value(QStringLiteral("bkFrom")), QStringLiteral("; "));
    const QString organisation = bookmarkTexts.value(QStringLiteral("bkOrgName"));
    // The stand-in a memo prints for a blank name is no company.
    if (organisation != organisationText(QString()))
        properties.company = oneLine(organisation, QStringLiteral(" "));
    return properties;
}

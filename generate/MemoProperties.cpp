#include "MemoProperties.h"

#include "MemoStyle.h"
#include "WordText.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace {
// The text as one line of a document property; what the text itself could not hold
// is left out here too (a surrogate without its partner ended the office at the save).
QString oneLine(const QString &text, const QString &separator)
{
    static const QRegularExpression lineBreak(QStringLiteral("[\r\n]+"));
    QStringList lines = wordText(text).split(lineBreak);
    for (QString &line : lines)
        line = line.simplified();
    lines.removeAll(QString());
    return lines.join(separator);
}

// The bookmark that takes the field's text, as the memo table names it.
QString bookmarkOf(QString MemoDetails::*text)
{
    const auto field = std::find_if(kMemoFields.cbegin(), kMemoFields.cend(),
        [&](const MemoField &candidate) { return candidate.text == text; });
    return QString::fromLatin1(field->bookmark);
}
} // namespace

MemoProperties memoProperties(const QHash<QString, QString> &bookmarkTexts)
{
    MemoProperties properties;
    properties.title
        = oneLine(bookmarkTexts.value(bookmarkOf(&MemoDetails::re)), QStringLiteral(" "));
    // Several people on the From line are several authors, as Word separates them.
    properties.author
        = oneLine(bookmarkTexts.value(bookmarkOf(&MemoDetails::from)), QStringLiteral("; "));
    const QString organisation = bookmarkTexts.value(bookmarkOf(&MemoDetails::orgName));
    // The stand-in a memo prints for a blank name is no company.
    if (organisation != organisationText(QString()))
        properties.company = oneLine(organisation, QStringLiteral(" "));
    return properties;
}

#include "Reporter.h"

#include "FileUtils.h"
#include "MemoDetails.h"
#include "MemoStyle.h"
#include "Usage.h"
#include "WordText.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace CommandLine {

void Reporter::memo(const QString &file, const QString &failure)
{
    if (!json)
        return;
    const QJsonObject object {
        { QStringLiteral("file"), shownFileName(file) },
        { QStringLiteral("status"),
            failure.isEmpty() ? QStringLiteral("written") : QStringLiteral("failed") },
        { QStringLiteral("error"),
            failure.isEmpty() ? QJsonValue() : QJsonValue(shownFileName(failure)) },
    };
    output << QJsonDocument(object).toJson(QJsonDocument::Compact) << Qt::endl;
}

void Reporter::warnOfLeftOutFields(const QString &file, const MemoDetails &memo)
{
    const QString note = leftOutNote(memo);
    if (!note.isEmpty())
        errors << "scrivane: " << shownFileName(file) << ": " << note
               << " (the values given are not in the memo)\n";
}

void Reporter::warnAboutControlCharacters(const MemoDetails &memo, const QString &file)
{
    QStringList changed;
    for (const MemoField &field : kMemoFields) {
        if (hasControlCharacters(memo.*field.text))
            changed << QString::fromLatin1(field.option);
    }
    if (!changed.isEmpty())
        errors << "scrivane: warning: " << shownFileName(file)
               << ": control characters a Word document cannot hold were left out of "
               << listed(changed, QStringLiteral(" and ")) << Qt::endl;
}

} // namespace CommandLine

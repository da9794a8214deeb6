#include "Reporter.h"

#include "FileUtils.h"
#include "MemoDetails.h"
#include "MemoStyle.h"
#include "Usage.h"
#include "WordText.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <algorithm>

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

// "Blue Sky leaves out: company name, CC (remembered from the window)", or with each
// field's origin when they differ.
void Reporter::warnOfLeftOutFields(
    const QString &file, const MemoDetails &memo, const Origins &origins)
{
    if (memo.style < 0 || memo.style >= static_cast<int>(kMemoStyles.size()))
        return;
    QList<std::pair<QString, QString>> lost;
    const auto leftOut = [&](const MemoField &field) {
        lost.append({ QString::fromLatin1(field.name),
            originWords(origins.value(QString::fromLatin1(field.option), Origin::Remembered)) });
    };
    for (const MemoField &field : kMemoFields) {
        if (!printsField(memo, field) && !(memo.*field.text).trimmed().isEmpty())
            leftOut(field);
    }
    // A template of the user's own may leave out the date too, which always has a value.
    if (!printsField(memo, kMemoDate))
        leftOut(kMemoDate);
    if (lost.isEmpty())
        return;
    const bool alike = std::all_of(lost.cbegin(), lost.cend(),
        [&](const auto &each) { return each.second == lost.first().second; });
    QStringList names;
    for (const auto &[name, origin] : lost)
        names << (alike ? name : QStringLiteral("%1 (%2)").arg(name, origin));
    errors << "scrivane: " << shownFileName(file) << ": " << styleCaption(memo)
           << " leaves out: " << names.join(QStringLiteral(", "))
           << (alike ? QStringLiteral(" (%1)").arg(lost.first().second) : QString()) << '\n';
}

void Reporter::warnOfFormatMismatch(const QString &file, DocumentFormat format)
{
    const QString extension = QFileInfo(file).suffix();
    if (extension.isEmpty()
        || extension.compare(documentFormatName(format), Qt::CaseInsensitive) == 0)
        return;
    const QString written = format == DocumentFormat::Doc
        ? QStringLiteral("a Word 97-2003 document (.doc)")
        : QStringLiteral("%1 (.%2)")
              .arg(documentFormatName(format).toUpper(), documentFormatName(format));
    errors << "scrivane: warning: " << shownFileName(file) << ": its name ends in ."
           << shownFileName(extension) << ", but it is written as " << written << '\n';
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

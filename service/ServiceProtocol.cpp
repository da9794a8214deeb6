#include "ServiceProtocol.h"

#include "LibreOfficeProcessor.h"
#include "MemoStyle.h"

#include <QJsonDocument>
#include <QLocale>

namespace ServiceProtocol {

QByteArray line(QJsonObject message)
{
    message.insert(QStringLiteral("version"), kVersion);
    return QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<QJsonObject> message(const QByteArray &line)
{
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()
        || document.object().value(QStringLiteral("version")).toInt() != kVersion)
        return std::nullopt;
    return document.object();
}

QString environmentKey()
{
    QStringList key { LibreOfficeProcessor::defaultSettings().programFolder, QLocale().name() };
    for (const char *name : { "LANG", "LANGUAGE", "LC_ALL", "LC_TIME", "LC_MESSAGES",
             "SCRIVANE_OFFICE_RENEW_MIB", "SCRIVANE_OFFICE_RENEW_MEMOS" })
        key << qEnvironmentVariable(name);
    return key.join(QChar(0));
}

QString bytesText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toBase64());
}

QByteArray bytesFrom(const QJsonValue &value)
{
    return QByteArray::fromBase64(value.toString().toLatin1());
}

QJsonObject memoObject(const MemoDetails &memo)
{
    QJsonObject object { { QStringLiteral("style"), memo.style },
        { QStringLiteral("date"), memo.date.toString(Qt::ISODate) } };
    for (const MemoField &field : kMemoFields) {
        const QString &text = memo.*field.text;
        object.insert(QString::fromLatin1(field.option),
            bytesText(QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2)));
    }
    return object;
}

std::optional<MemoDetails> memoFrom(const QJsonObject &object)
{
    MemoDetails memo;
    memo.style = object.value(QStringLiteral("style")).toInt(-1);
    memo.date = QDate::fromString(object.value(QStringLiteral("date")).toString(), Qt::ISODate);
    if (memo.style < 0 || memo.style >= int(kMemoStyles.size()) || !memo.date.isValid())
        return std::nullopt;
    for (const MemoField &field : kMemoFields) {
        const QByteArray utf16 = bytesFrom(object.value(QString::fromLatin1(field.option)));
        if (utf16.size() % 2 != 0)
            return std::nullopt;
        memo.*field.text
            = QString(reinterpret_cast<const QChar *>(utf16.constData()), utf16.size() / 2);
    }
    return memo;
}

} // namespace ServiceProtocol

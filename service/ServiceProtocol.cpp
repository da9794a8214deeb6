#include "ServiceProtocol.h"

#include "LibreOfficeProcessor.h"
#include "MemoStyle.h"

#include "Failure.h"

#include <QJsonDocument>
#include <QLocale>

#include <sys/stat.h>

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

QJsonObject environment()
{
    // The program file itself: a service of another build carries other templates.
    struct stat program
    {
    };
    const bool known = ::stat("/proc/self/exe", &program) == 0;
    QJsonObject said { { QStringLiteral("program"),
                           known ? QStringLiteral("%1 %2 %3 %4")
                                       .arg(program.st_dev)
                                       .arg(program.st_ino)
                                       .arg(program.st_size)
                                       .arg(program.st_mtim.tv_sec)
                                 : QString() },
        { QStringLiteral("office"), LibreOfficeProcessor::defaultSettings().programFolder },
        { QStringLiteral("locale"), QLocale().name() } };
    for (const char *name : { "LANG", "LANGUAGE", "LC_ALL", "LC_TIME", "LC_MESSAGES", "HOME",
             "XDG_CONFIG_HOME", "XDG_DATA_HOME", "FONTCONFIG_FILE", "FONTCONFIG_PATH",
             "SCRIVANE_OFFICE_RENEW_MIB", "SCRIVANE_OFFICE_RENEW_MEMOS" })
        said.insert(QString::fromLatin1(name), qEnvironmentVariable(name));
    return said;
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

MemoDetails memoFrom(const QJsonObject &object)
{
    MemoDetails memo;
    const QJsonValue style = object.value(QStringLiteral("style"));
    memo.style = style.toInt(-1);
    if (memo.style < 0 || memo.style >= int(kMemoStyles.size()))
        fail(QStringLiteral("unknown style \"%1\"").arg(style.toVariant().toString()));
    memo.date = memoDateFrom(object.value(QStringLiteral("date")).toString());
    for (const MemoField &field : kMemoFields) {
        const QByteArray utf16 = bytesFrom(object.value(QString::fromLatin1(field.option)));
        if (utf16.size() % 2 != 0)
            fail(QStringLiteral("\"%1\" must be text").arg(QLatin1String(field.option)));
        memo.*field.text
            = QString(reinterpret_cast<const QChar *>(utf16.constData()), utf16.size() / 2);
    }
    return memo;
}

} // namespace ServiceProtocol

#include "MemoSources.h"

#include "Failure.h"
#include "FileUtils.h"
#include "MemoStyle.h"
#include "SettingText.h"
#include "SettingsStore.h"
#include "Usage.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <optional>

namespace CommandLine {
namespace {
// A batch file larger than this is refused before it is read: well above any real
// batch (100 MB of memos are read in seconds) and far from what memory holds.
constexpr qint64 kMostBatchMebibytes = 512;

int styleFromName(const QString &name)
{
    const auto style = memoStyleByName(name);
    if (!style)
        fail(QStringLiteral("unknown style \"%1\" (use %2)").arg(name, styleNames()));
    return *style;
}

QString textMember(const QJsonObject &object, const QString &name)
{
    const QJsonValue value = object.value(name);
    if (!value.isString())
        fail(QStringLiteral("\"%1\" must be text").arg(name));
    return value.toString();
}
} // namespace

// The memo the window would make now: its fields and stored style.
MemoDetails storedMemo(const SettingsStore &settings, QTextStream &errors)
{
    MemoDetails memo;
    for (const MemoField &field : kMemoFields)
        memo.*field.text = settings.GetSetting(QString::fromLatin1(field.control));
    const QString storedDate = settings.GetSetting(QString::fromLatin1(kMemoDate.control));
    const auto date = storedDate.isEmpty() ? std::optional<QDate>(QDate::currentDate())
                                           : dateFromSettingText(storedDate);
    if (!date)
        errors << "scrivane: the stored date \"" << storedDate << "\" is no date; using today\n";
    else if (!isMemoDate(*date))
        errors << "scrivane: the stored date \"" << storedDate
               << "\" lies outside 1601 to 9999; using today\n";
    memo.date = date && isMemoDate(*date) ? *date : QDate::currentDate();

    const QString storedStyle = settings.GetSetting(
        QString::fromLatin1(kMemoStyleControl), QString::number(kFirstStartStyle));
    memo.style = 0;
    try {
        const int style = wholeNumberFromSettingText(storedStyle);
        if (style >= 0 && style < static_cast<int>(kMemoStyles.size()))
            memo.style = style;
        else
            errors << "scrivane: the stored style " << storedStyle
                   << " names no style; using professional\n";
    } catch (const Failure &) {
        errors << "scrivane: the stored style \"" << storedStyle
               << "\" is no number; using professional\n";
    }
    return memo;
}

QString originWords(Origin origin)
{
    switch (origin) {
    case Origin::Sample:
        return QStringLiteral("from --sample");
    case Origin::Given:
        return QStringLiteral("given");
    case Origin::Remembered:
        break;
    }
    return QStringLiteral("remembered from the window");
}

Origins applyOptions(const QCommandLineParser &parser, MemoDetails &memo)
{
    Origins origins;
    const bool sample = parser.isSet(QStringLiteral("sample"));
    if (sample)
        memo = withSampleData(memo);
    for (const MemoField &field : kMemoFields) {
        const QString option = QString::fromLatin1(field.option);
        if (parser.isSet(option)) {
            memo.*field.text = parser.value(option);
            origins.insert(option, Origin::Given);
        } else if (sample) {
            origins.insert(option, Origin::Sample);
        }
    }
    try {
        if (parser.isSet(QStringLiteral("style")))
            memo.style = styleFromName(parser.value(QStringLiteral("style")));
        if (parser.isSet(QString::fromLatin1(kMemoDate.option)))
            memo.date = memoDateFrom(parser.value(QString::fromLatin1(kMemoDate.option)));
    } catch (const Failure &failure) {
        throw UsageError { failure.description() };
    }
    return origins;
}

QJsonArray readBatchFile(const QString &batchFile)
{
    // Only a plain file of a bounded size is read: a device or pipe may never end.
    const QFileInfo batchInfo(batchFile);
    if (batchInfo.exists() && !batchInfo.isFile()) {
        throw UsageError {
            QStringLiteral("%1 is not a plain file; give a JSON file").arg(batchFile)
        };
    }
    if (batchInfo.size() > kMostBatchMebibytes * 1024 * 1024) {
        throw UsageError { QStringLiteral("%1 is larger than %2 MiB; split it into smaller batches")
                               .arg(batchFile)
                               .arg(kMostBatchMebibytes) };
    }
    const auto bytes
        = readPlainFile(batchFile, kMostBatchMebibytes * 1024 * 1024 + 1, Links::Follow);
    if (!bytes) {
        QFile file(batchFile);
        file.open(QIODevice::ReadOnly);
        fail(QStringLiteral("%1 cannot be read: %2").arg(batchFile, file.errorString()));
    }
    if (bytes->size() > kMostBatchMebibytes * 1024 * 1024)
        fail(QStringLiteral("%1 grew past %2 MiB while it was read")
                 .arg(batchFile)
                 .arg(kMostBatchMebibytes));
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(*bytes, &error);
    if (error.error != QJsonParseError::NoError)
        fail(QStringLiteral("%1 is not valid JSON: %2 at character %3")
                 .arg(batchFile, error.errorString())
                 .arg(error.offset));
    if (!document.isArray())
        fail(QStringLiteral("%1 must hold a JSON array of memos").arg(batchFile));
    return document.array();
}

BatchMemo batchMemo(const QJsonValue &value, MemoDetails memo, Origins &origins)
{
    if (!value.isObject())
        fail(QStringLiteral("a memo must be a JSON object"));
    const QJsonObject object = value.toObject();
    QString file;
    QString templateFile;
    for (auto member = object.begin(); member != object.end(); ++member) {
        const QString name = member.key();
        const auto field = std::find_if(kMemoFields.cbegin(), kMemoFields.cend(),
            [&](const MemoField &f) { return name == QLatin1String(f.option); });
        if (field != kMemoFields.cend()) {
            memo.*field->text = textMember(object, name);
            origins.insert(name, Origin::Given);
        } else if (name == QLatin1String("style"))
            memo.style = styleFromName(textMember(object, name));
        else if (name == QLatin1String(kMemoDate.option))
            memo.date = memoDateFrom(textMember(object, name));
        else if (name == QLatin1String("file"))
            file = textMember(object, name);
        else if (name == QLatin1String("template"))
            templateFile = textMember(object, name);
        else
            fail(QStringLiteral("unknown member \"%1\"").arg(name));
    }
    if (object.contains(QStringLiteral("template")) && templateFile.isEmpty())
        fail(QStringLiteral("\"template\" needs a file name"));
    return { memo, file, templateFile };
}

OwnTemplatePointer windowTemplate(const SettingsStore &settings, int style)
{
    const QString chosen = settings.GetSetting(QStringLiteral("Template%1").arg(style));
    if (chosen.isEmpty())
        return nullptr;
    const QString caption = QString::fromLatin1(kMemoStyles.at(size_t(style)).caption);
    const QString advice = QStringLiteral("; choose it again in the window, or give --template");
    OwnTemplatePointer kept;
    try {
        kept = OwnTemplates::kept(OwnTemplates::styleFolder(style));
    } catch (const Failure &failure) {
        fail(QStringLiteral("the template chosen in the window for %1 (%2) cannot be used: %3%4")
                 .arg(caption, chosen, failure.description(), advice));
    }
    if (!kept)
        fail(QStringLiteral("the template chosen in the window for %1 (%2) is no longer kept%3")
                 .arg(caption, chosen, advice));
    return kept;
}

} // namespace CommandLine

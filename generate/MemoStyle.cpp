#include "MemoStyle.h"

#include "OwnTemplate.h"

#include <cstring>

unsigned fieldBit(const char *control)
{
    for (size_t index = 0; index < kMemoFields.size(); ++index) {
        if (std::strcmp(kMemoFields[index].control, control) == 0)
            return 1u << index;
    }
    return std::strcmp(kMemoDate.control, control) == 0 ? 1u << kMemoFields.size() : 0;
}

bool MemoStyle::prints(const MemoField &field) const
{
    return field.isDate() || (leavesOut & fieldBit(field.control)) == 0;
}

std::optional<int> memoStyleByName(const QString &name)
{
    for (size_t index = 0; index < kMemoStyles.size(); ++index) {
        if (name.compare(QString::fromLatin1(kMemoStyles[index].name), Qt::CaseInsensitive) == 0)
            return static_cast<int>(index);
    }
    return std::nullopt;
}

std::optional<int> memoStyleByPageCaption(const QString &caption)
{
    for (size_t index = 0; index < kMemoStyles.size(); ++index) {
        if (caption == QLatin1String(kMemoStyles[index].pageCaption))
            return static_cast<int>(index);
    }
    return std::nullopt;
}

QString styleLeavesOut(int style)
{
    if (style < 0 || style >= static_cast<int>(kMemoStyles.size()))
        return {};
    return leavesOutSentence(kMemoStyles[static_cast<size_t>(style)].leavesOut);
}

QString leavesOutSentence(unsigned leavesOut)
{
    QStringList lost;
    for (const MemoField &field : kMemoFields) {
        if (leavesOut & fieldBit(field.control))
            lost << QString::fromLatin1(field.name);
    }
    if (leavesOut & fieldBit(kMemoDate.control))
        lost << QString::fromLatin1(kMemoDate.name);
    if (lost.isEmpty())
        return QStringLiteral("Prints every field.");
    return QStringLiteral("Leaves out: %1.").arg(lost.join(QStringLiteral(", ")));
}

unsigned leftOutFields(const MemoDetails &memo)
{
    if (memo.ownTemplate)
        return memo.ownTemplate->leavesOut;
    if (memo.style < 0 || memo.style >= static_cast<int>(kMemoStyles.size()))
        return 0;
    return kMemoStyles[static_cast<size_t>(memo.style)].leavesOut;
}

bool printsField(const MemoDetails &memo, const MemoField &field)
{
    return (leftOutFields(memo) & fieldBit(field.control)) == 0;
}

QString styleCaption(const MemoDetails &memo)
{
    if (memo.style < 0 || memo.style >= static_cast<int>(kMemoStyles.size()))
        return {};
    const QString caption
        = QString::fromLatin1(kMemoStyles[static_cast<size_t>(memo.style)].caption);
    if (!memo.ownTemplate)
        return caption;
    return QStringLiteral("%1 (your template %2)").arg(caption, memo.ownTemplate->fileName());
}

QString leftOutNote(const MemoDetails &memo)
{
    if (memo.style < 0 || memo.style >= static_cast<int>(kMemoStyles.size()))
        return {};
    QStringList lost;
    for (const MemoField &field : kMemoFields) {
        if (!printsField(memo, field) && !(memo.*field.text).trimmed().isEmpty())
            lost << QString::fromLatin1(field.name);
    }
    // The date always has a value.
    if (!printsField(memo, kMemoDate))
        lost << QString::fromLatin1(kMemoDate.name);
    if (lost.isEmpty())
        return {};
    return QStringLiteral("%1 leaves out: %2")
        .arg(styleCaption(memo), lost.join(QStringLiteral(", ")));
}

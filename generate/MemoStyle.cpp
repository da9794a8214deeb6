#include "MemoStyle.h"

#include <cstring>

unsigned fieldBit(const char *control)
{
    for (size_t index = 0; index < kMemoFields.size(); ++index) {
        if (std::strcmp(kMemoFields[index].control, control) == 0)
            return 1u << index;
    }
    return 0;
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
    QStringList lost;
    for (const MemoField &field : kMemoFields) {
        if (!kMemoStyles[static_cast<size_t>(style)].prints(field))
            lost << QString::fromLatin1(field.name);
    }
    if (lost.isEmpty())
        return QStringLiteral("Prints every field.");
    return QStringLiteral("Leaves out: %1.").arg(lost.join(QStringLiteral(", ")));
}

QString leftOutNote(const MemoDetails &memo)
{
    if (memo.style < 0 || memo.style >= static_cast<int>(kMemoStyles.size()))
        return {};
    const MemoStyle &style = kMemoStyles[static_cast<size_t>(memo.style)];
    QStringList lost;
    for (const MemoField &field : kMemoFields) {
        if (!style.prints(field) && !(memo.*field.text).trimmed().isEmpty())
            lost << QString::fromLatin1(field.name);
    }
    if (lost.isEmpty())
        return {};
    return QStringLiteral("%1 leaves out: %2")
        .arg(QString::fromLatin1(style.caption), lost.join(QStringLiteral(", ")));
}

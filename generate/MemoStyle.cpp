#include "MemoStyle.h"

#include <algorithm>

std::optional<int> memoStyleByName(const QString &name)
{
    for (size_t index = 0; index < kMemoStyles.size(); ++index) {
        if (name.compare(QString::fromLatin1(kMemoStyles[index].name), Qt::CaseInsensitive) == 0)
            return static_cast<int>(index);
    }
    return std::nullopt;
}

QString organisationText(const QString &orgName)
{
    // Only spaces count as blank; the name itself is used untrimmed.
    const bool blank = std::all_of(
        orgName.cbegin(), orgName.cend(), [](QChar c) { return c == QLatin1Char(' '); });
    if (blank)
        return QStringLiteral(" Your Organisation's Name");
    return QLatin1Char(' ') + orgName;
}

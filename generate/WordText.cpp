#include "WordText.h"

#include <algorithm>

namespace {
bool isDropped(QChar c)
{
    return c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\n')
        && c != QLatin1Char('\r');
}
} // namespace

bool hasControlCharacters(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), isDropped);
}

QString wordText(const QString &text)
{
    if (!hasControlCharacters(text))
        return text;
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : text) {
        if (!isDropped(c))
            kept.append(c);
    }
    return kept;
}

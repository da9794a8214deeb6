#include "WordText.h"

namespace {
bool isDroppedControl(QChar c)
{
    return c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\n')
        && c != QLatin1Char('\r');
}

// A surrogate without its partner is no character at all; the office's bridge
// cannot carry it and the office fails on it.
bool isDropped(const QString &text, qsizetype at)
{
    const QChar c = text.at(at);
    if (c.isHighSurrogate())
        return at + 1 >= text.size() || !text.at(at + 1).isLowSurrogate();
    if (c.isLowSurrogate())
        return at == 0 || !text.at(at - 1).isHighSurrogate();
    return isDroppedControl(c);
}
} // namespace

bool hasControlCharacters(const QString &text)
{
    for (qsizetype at = 0; at < text.size(); ++at) {
        if (isDropped(text, at))
            return true;
    }
    return false;
}

QString wordText(const QString &text)
{
    if (!hasControlCharacters(text))
        return text;
    QString kept;
    kept.reserve(text.size());
    for (qsizetype at = 0; at < text.size(); ++at) {
        if (!isDropped(text, at))
            kept.append(text.at(at));
    }
    return kept;
}

QStringList memoParagraphs(const QString &text)
{
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList paragraphs;
    for (const QString &line : lines.split(QLatin1Char('\n'))) {
        if (paragraphs.isEmpty())
            paragraphs.append(line);
        else if (line.isEmpty())
            paragraphs.last().append(QLatin1Char('\n'));
        else
            paragraphs.append(line);
    }
    return paragraphs;
}

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

qsizetype closingLinesStart(const QStringList &paragraphs)
{
    // Longer lines are sentences of the message, and more of them a list, which may
    // break over a page as any text does.
    constexpr qsizetype kLongest = 60;
    constexpr qsizetype kMost = 5;
    qsizetype start = paragraphs.size();
    while (start > 0 && paragraphs.size() - start < kMost) {
        QStringView line(paragraphs.at(start - 1));
        qsizetype emptyLinesAfter = 0;
        while (line.endsWith(QLatin1Char('\n'))) {
            line.chop(1);
            ++emptyLinesAfter;
        }
        const bool last = start == paragraphs.size();
        if (line.isEmpty() || line.size() > kLongest || (!last && emptyLinesAfter > 1))
            break;
        --start;
    }
    return paragraphs.size() - start >= 2 ? start : paragraphs.size();
}

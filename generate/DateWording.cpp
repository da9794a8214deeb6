#include "DateWording.h"

#include <array>

namespace {
// First letter of every word upper case, the rest lower case.
QString properCase(const QString &text, const QLocale &locale)
{
    QString result = locale.toLower(text);
    bool wordStart = true;
    for (qsizetype i = 0; i < result.size(); ++i) {
        if (result[i].isLetter()) {
            if (wordStart)
                result.replace(i, 1, locale.toUpper(result.mid(i, 1)));
            wordStart = false;
        } else if (result[i].isSpace() || result[i] == QLatin1Char('-')) {
            wordStart = true;
        }
    }
    return result;
}
// Only spaces, as the day number is written; a tab or line break is no day.
QString trimSpaces(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == QLatin1Char(' '))
        ++first;
    while (last > first && text[last - 1] == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}
} // namespace

QString fnDay(const QString &strDay)
{
    static const std::array<const char *, 31> kOrdinals = {
        "1st",
        "2nd",
        "3rd",
        "4th",
        "5th",
        "6th",
        "7th",
        "8th",
        "9th",
        "10th",
        "11th",
        "12th",
        "13th",
        "14th",
        "15th",
        "16th",
        "17th",
        "18th",
        "19th",
        "20th",
        "21st",
        "22nd",
        "23rd",
        "24th",
        "25th",
        "26th",
        "27th",
        "28th",
        "29th",
        "30th",
        "31st",
    };
    const QString day = trimSpaces(strDay);
    for (size_t i = 0; i < kOrdinals.size(); ++i) {
        if (day == QString::number(i + 1))
            return QString::fromLatin1(kOrdinals[i]);
    }
    return {};
}

QString dateText(const QDate &date, const QLocale &locale)
{
    return dateText(date, fnDay(QString::number(date.day())), locale);
}

QString dateText(const QDate &date, const QString &dayText, const QLocale &locale)
{
    const QString weekdayAndMonth
        = properCase(locale.dayName(date.dayOfWeek(), QLocale::LongFormat) + QStringLiteral(", ")
                + locale.standaloneMonthName(date.month(), QLocale::LongFormat) + QLatin1Char(' '),
            locale);
    const QString year
        = QStringLiteral(", ") + QString::number(date.year()).rightJustified(4, QLatin1Char('0'));
    return QLatin1Char(' ') + weekdayAndMonth + dayText + year + QLatin1Char(' ');
}

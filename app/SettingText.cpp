#include "SettingText.h"

#include "Failure.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace {
QString withFourDigitYear(QString format)
{
    static const QRegularExpression year(QStringLiteral("y+"));
    return format.replace(year, QStringLiteral("yyyy"));
}

bool hasTwoDigitYear(const QString &format)
{
    static const QRegularExpression twoDigits(QStringLiteral("(?<!y)yy(?!y)"));
    return twoDigits.match(format).hasMatch();
}
} // namespace

QString dateToSettingText(const QDate &date, const QLocale &locale)
{
    return locale.toString(date, withFourDigitYear(locale.dateFormat(QLocale::ShortFormat)));
}

std::optional<QDate> dateFromSettingText(const QString &text, const QLocale &locale)
{
    const QString trimmed = text.trimmed();
    const QString shortFormat = locale.dateFormat(QLocale::ShortFormat);

    QDate date = locale.toDate(trimmed, withFourDigitYear(shortFormat));
    if (date.isValid())
        return date;

    date = locale.toDate(trimmed, shortFormat);
    if (!date.isValid())
        return std::nullopt;
    if (hasTwoDigitYear(shortFormat) && date.year() < 1930)
        date = date.addYears(100);
    return date;
}

int wholeNumberFromSettingText(const QString &text)
{
    bool ok = false;
    double value = QLocale().toDouble(text.trimmed(), &ok);
    if (!ok)
        value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok)
        fail(QStringLiteral("Type mismatch: \"%1\" is not a number.").arg(text));
    const double rounded = std::nearbyint(value);
    if (rounded < std::numeric_limits<int>::min() || rounded > std::numeric_limits<int>::max())
        fail(QStringLiteral("Overflow: %1 is too large for a style number.").arg(text));
    return static_cast<int>(rounded);
}

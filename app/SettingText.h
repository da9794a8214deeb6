#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

#include <optional>

// How values that are not text are kept in the settings.

// How the event date is kept in the settings: the user's short date format, but
// always with a four-digit year, so a date never moves to another century.
QString dateToSettingText(const QDate &date, const QLocale &locale = QLocale());

// Reads both that form and the short format as the locale gives it (a two-digit
// year then falls in 1930 to 2029). Nothing when the text is no date.
std::optional<QDate> dateFromSettingText(const QString &text, const QLocale &locale = QLocale());

// The style index the way it is read back: spaces ignored, a fraction rounded to
// the even neighbour. Throws Failure for a text that is no number or too large.
int wholeNumberFromSettingText(const QString &text);

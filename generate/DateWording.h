#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

// The day of the month with its English ordinal suffix: "1st", "12th", "23rd".
// Compared as text after trimming, so "03", "0" and "32" give empty text.
QString fnDay(const QString &strDay);

// The memo's date line: " Tuesday, December 8th, 2026 ", with the weekday and
// month in the locale's names, first letters capitalised, and the given day text.
QString dateText(const QDate &date, const QString &dayText, const QLocale &locale = QLocale());

// The same with the day text of the date's own day.
QString dateText(const QDate &date, const QLocale &locale = QLocale());

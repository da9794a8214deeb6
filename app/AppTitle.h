#pragma once

#include <QString>

inline constexpr auto kProductName = "Scrivane";

// The product name cut back at word boundaries: always by its last word, then
// word by word until it is at most 40 characters. A single word stays whole.
QString titleFromProductName(const QString &productName);

// Sets the application title, the caption of message boxes that have none of their own.
void SetAppTitle();
QString applicationTitle();

#pragma once

#include <QString>

// The text as a Word document can hold it. Of the control characters U+0000 to
// U+001F only tab, line feed and carriage return have a place in a memo; every other
// one is dropped on its own, and so is a surrogate without its partner (no character
// at all); the rest of the text is kept as typed.
QString wordText(const QString &text);

// True when wordText would change the text.
bool hasControlCharacters(const QString &text);

#pragma once

#include <QString>
#include <QStringList>

// The text as a Word document can hold it. Of the control characters U+0000 to
// U+001F only tab, line feed and carriage return have a place in a memo; every other
// one is dropped on its own, and so is a surrogate without its partner (no character
// at all); the rest of the text is kept as typed.
QString wordText(const QString &text);

// True when wordText would change the text.
bool hasControlCharacters(const QString &text);

// The paragraphs a typed text makes in a memo: each line that holds text starts one,
// and an empty line is a line break ("\n") at the end of the paragraph before it
// (empty lines before any text make a first paragraph of their own). Every style spaces
// its paragraphs, so an empty line made a paragraph of its own would add that space
// twice; as a line break it adds one line, as it did when typed. Any line break (CR LF,
// CR, LF) counts.
QStringList memoParagraphs(const QString &text);

// Where the lines a message closes with begin: the short lines it ends with (a closing
// word, a name, a title), each on a line of its own and at most one empty line apart,
// which a page break should not part. paragraphs.size() when fewer than two such lines
// end it. `paragraphs` are memoParagraphs'.
qsizetype closingLinesStart(const QStringList &paragraphs);

#pragma once

#include <QString>

class QPlainTextEdit;

// Text in a multi-line box, however long its lines. The box lays out a paragraph
// whole, at every start and keystroke, which for a paragraph of megabytes takes
// seconds; so a long paragraph is held as several blocks of the box's document,
// joined again when the text is read. The joins show as line ends in the box; one
// that the user deletes joins the pieces for good. Enter starts a real paragraph.

// Sets the box's text; its textChanged is emitted once.
void setLongText(QPlainTextEdit *box, const QString &text);

// The box's text as toPlainText would give it, without the blocks' own breaks.
QString longText(const QPlainTextEdit *box);

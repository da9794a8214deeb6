#pragma once

#include <QImage>

class WordSession;

// The opened document's pages as one picture, as the word processor copies them to
// the clipboard. The clipboard is cleared first, so a failed copy never passes off
// a picture already there as this document's; a null picture when none came.
QImage copyPagePicture(WordSession &word);

#pragma once

#include "WordSession.h"

#include <QByteArray>

// What kind of word processor document the bytes of a file the user handed in are,
// read from what they hold and never from the file's name. Throws TemplateRefused
// saying why for anything else: no word processor document (a text file named .dot, a
// spreadsheet), one protected by a password, or a damaged container. Read with libgsf
// (Debian's libgsf-1, which reads both Word's compound files and zip packages and is
// already what finishes the Word files).
TemplateKind templateKindOf(const QByteArray &bytes);

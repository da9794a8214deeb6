#pragma once

#include <QCursor>
#include <QString>

// The hand cursor file beside the program.
QString handCursorPath();

// Reads a Windows cursor file, hot spot included; throws Failure when it holds no cursor.
QCursor loadCursorFile(const QString &path);

#pragma once

#include <QCursor>
#include <QIcon>
#include <QString>

class QWidget;

// The program's folder, where the optional skin and cursor files are looked for.
QString applicationFolder();

// Themes the main window with the skin beside the program, when there is one.
// Throws Failure when a step of it fails; the caller reports it.
void ApplySkin(QWidget &mainWindow);

// Gives a window and its option buttons, check boxes, group boxes and labels the
// button-face colour of the user's colour scheme.
void SetFormColors(QWidget &window);

// The hand cursor file beside the program.
QString handCursorPath();

// Reads a Windows cursor file, hot spot included; throws Failure when it holds no cursor.
QCursor LoadCursorFile(const QString &path);

// The application icon every window shows.
QIcon applicationIcon();

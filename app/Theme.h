#pragma once

#include <QCursor>
#include <QIcon>
#include <QString>

class QWidget;

// The program's folder, where the optional skin and cursor files are looked for.
// Links to the program are followed: an installed program is started through
// /usr/bin/scrivane but lives, with its files, in /usr/lib/scrivane.
QString applicationFolder();

// Themes the main window with the skin beside the program, when there is one.
// Throws Failure when a step of it fails; the caller reports it.
void ApplySkin(QWidget &mainWindow);

// The same with the skin "x/o.cjs" looked for in folder. The skin counts only as an
// ordinary file (a link to one will do) that the folder's ".hidden" list does not
// hide. When it counts, the window and its option buttons, check boxes, group boxes,
// labels and picture boxes first take the button-face colour; then the skin, a Qt
// style sheet, restyles the window. The window carries the property "skinned" = true
// while the sheet applies, so a skin can address it as *[skinned="true"].
void ApplySkin(QWidget &mainWindow, const QString &folder);

// Gives a window and its option buttons, check boxes, group boxes and labels the
// button-face colour of the user's colour scheme. Picture boxes keep their own.
void SetFormColors(QWidget &window);

// A control that shows a picture (whatever its class, a QLabel included) is a
// picture box to the theme when it carries this property set to true.
inline constexpr char pictureBoxProperty[] = "pictureBox";
void markAsPictureBox(QWidget &control);

// The hand cursor file beside the program.
QString handCursorPath();

// Reads a Windows cursor file, hot spot included; throws Failure when it holds no cursor.
QCursor LoadCursorFile(const QString &path);

// The application icon every window shows.
QIcon applicationIcon();

#pragma once

#include <QString>

class QWidget;

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

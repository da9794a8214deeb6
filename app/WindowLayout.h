#pragma once

#include <QFont>

class QWidget;

// The windows' shared look: Arial in bold at the given size, for a window and its buttons.
QFont boldArial(double points);

// Puts the window's client area in the middle of the primary screen's free area.
void centreOnScreen(QWidget &window);

#pragma once

class QWidget;

// Enter and Return press the push button that has the focus in the window, as Space
// does. A button that handles them itself (a dialog's default button) keeps doing so;
// no button's look changes.
void pressButtonsWithEnter(QWidget &window);

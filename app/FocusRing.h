#pragma once

#include <QColor>

class QWidget;

// Dark ink blue, at least 3:1 against every ground of both windows (white, the button
// face, the skin's pale blue, the grey around the preview's pages) and so against the
// unfocused look of what it covers.
inline constexpr QRgb kFocusRingInk = 0x174580;

// Draws a ring in that ink just outside whichever control of the window has the
// keyboard focus, since the styles show focus on some controls faintly or not at all.
// A control that shows its focus itself carries kDrawsOwnFocusRing = true.
void showFocusRing(QWidget &window);

inline constexpr char kDrawsOwnFocusRing[] = "drawsOwnFocusRing";

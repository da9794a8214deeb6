#pragma once

class QWidget;

// Gives a window and its option buttons, check boxes, group boxes and labels the
// button-face colour of the user's colour scheme. Picture boxes keep their own.
void SetFormColors(QWidget &window);

// The same, picture boxes included, as a skinned window has it.
void giveButtonFaceWithPictureBoxes(QWidget &window);

// A control that shows a picture (whatever its class, a QLabel included) is a
// picture box to the theme when it carries this property set to true.
inline constexpr char pictureBoxProperty[] = "pictureBox";
void markAsPictureBox(QWidget &control);

#pragma once

#include <QObject>

#include <array>

class QLabel;
class QRadioButton;
class QWidget;

// What the memo window tells assistive technology and shows of the keyboard focus:
// each caption is its field's label, each field says which it is, the date is read
// out as the memo prints it, the style buttons say what their style looks like and
// leaves out; a ring shows the focus, Enter presses the focused button, and a
// multi-line field drops its selection when the focus leaves it, as one-line fields do.
class EntryAccess : public QObject
{
public:
    // The captions and their entry controls, row by row (the date first); the style
    // buttons in the order of the styles.
    EntryAccess(QWidget &window, const std::array<QLabel *, 7> &captions,
        const std::array<QWidget *, 7> &entries, const std::array<QRadioButton *, 5> &styles);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

#pragma once

#include <QObject>
#include <QString>

class PageCommands;
class PictureBox;
class QPushButton;
class QScrollBar;
class QTreeWidget;
class QWidget;

// What the preview tells assistive technology and shows of the keyboard focus. The page
// is named "Memo, page 1 of 2" and described by its style, zoom and what the style
// leaves out, kept current as the view moves; when the window opens the focus goes to
// it, so its name is read out. The viewport, the page list and the scrollbars are named;
// a ring shows the focus, Enter presses the focused button, and the page list's
// selected row is dark enough for its white text.
class PreviewAccess : public QObject
{
public:
    struct Controls
    {
        QWidget *window;
        QTreeWidget *pages;
        PictureBox *viewport;
        PictureBox *page;
        QScrollBar *across;
        QScrollBar *down;
        QPushButton *zoomIn;
        QPushButton *zoomOut;
        QPushButton *back;
    };

    PreviewAccess(const Controls &controls, PageCommands &commands);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void describePage();

    const Controls mControls;
    PageCommands &mCommands;
    float mZoom = 0;
};

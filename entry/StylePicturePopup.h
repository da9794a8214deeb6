#pragma once

#include <QLabel>

class QImage;

// The memo drawn in a style, shown under the style's button by F1. Unlike a tooltip it
// stays until Escape, a click anywhere or a change of focus; its accessible name says
// in words what it shows, and a screen reader reads it out as a tooltip.
class StylePicturePopup : public QLabel
{
    Q_OBJECT

public:
    explicit StylePicturePopup(QWidget *window);

    // The picture, or the words while there is none; `alternative` is its text.
    void showUnder(
        QWidget *button, const QImage &picture, const QString &words, const QString &alternative);

signals:
    void dismissed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
};

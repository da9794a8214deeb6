#pragma once

#include "MemoDetails.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QTimer>

#include <array>
#include <functional>

class QRadioButton;
class StylePicturePopup;
class StylePictures;

// The style buttons' tooltips: the memo as typed, in the button's style. Shown when the
// pointer rests on a button, and for the focused button at F1 or Shift+F1 (What's
// This), where it stays until Escape, a click or a change of focus. While the picture
// is drawn the tooltip says so, and the picture replaces the words in place.
class StyleTips : public QObject
{
    Q_OBJECT

public:
    // `memo` reads the memo as typed now, in a button's style and with its template.
    StyleTips(const std::array<QRadioButton *, 5> &buttons, StylePictures &pictures,
        std::function<MemoDetails(int style)> memo, QObject *parent = nullptr);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void show(int style, const QPoint &at);
    // Shows the picture under the focused button until it is dismissed.
    void pin(int style);
    void request(int style);
    // Shows the tooltip again when it is up: the picture replaces the words.
    void refresh(int style);
    void display(int style);
    void drawOthersAhead();
    int styleOf(QObject *watched) const;
    qreal pixelRatio() const;

    std::array<QRadioButton *, 5> mButtons;
    StylePictures &mPictures;
    std::function<MemoDetails(int style)> mMemo;
    // The button whose tooltip is up, and where; the button whose picture F1 pinned.
    int mShown = -1;
    int mPinned = -1;
    StylePicturePopup *const mPopup;
    QPoint mAt;
    bool mHovered = false;
    // A second without keys before the other styles are drawn ahead.
    QTimer mIdle;
};

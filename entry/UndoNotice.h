#pragma once

#include "MemoDetails.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QGraphicsOpacityEffect;
class QLabel;
class QPropertyAnimation;
class QPushButton;
class QTimer;
class QWidget;

// A second chance after a data button has replaced the memo: a small notice ("Memo
// cleared  Undo") that fades, and Ctrl+Z, give back the memo as it was before, once.
// Any other change of the memo withdraws the offer, so an undo never drops typing.
class UndoNotice : public QObject
{
public:
    // `memo`: the fields, the date picker and the style buttons, each change of which
    // withdraws the offer. `restore` puts a memo back into them.
    UndoNotice(QWidget *window, const QList<QWidget *> &memo,
        std::function<void(const MemoDetails &)> restore);

    // After a data button: `before` is the memo it replaced, `done` says what it did.
    void offer(const QString &done, const MemoDetails &before);
    bool isOffered() const { return mBefore.has_value(); }
    void undo();

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void withdraw();
    void place();

    QWidget *const mWindow;
    const std::function<void(const MemoDetails &)> mRestore;
    QWidget *const mNotice;
    QLabel *const mSaid;
    QPushButton *const mUndo;
    QGraphicsOpacityEffect *const mOpacity;
    QPropertyAnimation *const mFade;
    QTimer *const mShown;
    std::optional<MemoDetails> mBefore;
    bool mRestoring = false;
};

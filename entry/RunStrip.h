#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

// While a run works, a strip over the style group says what it does in plain words,
// with the seconds it has taken, and offers Cancel (or Esc) once it has taken a second;
// the memo's fields, style and data buttons take no input meanwhile, as a window whose
// one thread is busy would not.
class RunStrip : public QWidget
{
public:
    // `resting`: what takes no input during a run; `cancel` asks the run to stop, and
    // says whether it will.
    RunStrip(QWidget *window, const QRect &place, QList<QWidget *> resting,
        std::function<bool()> cancel);

    // A run begins; false, and nothing changes, when one is under way already.
    bool begin();
    void say(const QString &doing);
    // The run is over, however it ended: the window is as it was before it.
    void end();
    // Measuring what the strip costs: hidden, it still lets nothing be typed.
    void setShown(bool shown) { mShown = shown; }

private:
    void tick();
    void cancelRun();

    QLabel *const mWords;
    QPushButton *const mCancel;
    const QList<QWidget *> mResting;
    const std::function<bool()> mCancelRun;
    QTimer mTicks;
    QElapsedTimer mSince;
    QString mDoing;
    QPointer<QWidget> mFocus;
    bool mRunning = false;
    bool mShown = true;
};

#include "FocusRing.h"

#include <QApplication>
#include <QFocusFrame>
#include <QPainter>
#include <QPointer>
#include <QStyleOption>

namespace {
// A focus frame: the style places it around the control and the accessibility tree
// leaves it out; it is drawn here, the same in every style.
class FocusRing : public QFocusFrame
{
public:
    using QFocusFrame::QFocusFrame;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QStyleOption option;
        option.initFrom(this);
        const int across = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, &option, this);
        const int down = style()->pixelMetric(QStyle::PM_FocusFrameVMargin, &option, this);
        QPainter painter(this);
        painter.setClipRegion(
            QRegion(rect()) - QRegion(rect().adjusted(across, down, -across, -down)));
        painter.fillRect(rect(), QColor(kFocusRingInk));
    }
};

class FocusFollower : public QObject
{
public:
    explicit FocusFollower(QWidget &window)
        : QObject(&window)
        , mWindow(window)
    {
        connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget *, QWidget *now) { follow(now); });
        follow(QApplication::focusWidget());
    }

private:
    void follow(QWidget *now)
    {
        if (now && now->window() == &mWindow && !now->property(kDrawsOwnFocusRing).toBool()) {
            // The ring lives among the control's neighbours, and goes with them.
            if (!mRing)
                mRing = new FocusRing(&mWindow);
            mRing->setWidget(now);
            // Above the neighbours it overlaps, such as the preview's scrollbars.
            mRing->raise();
        } else if (mRing) {
            mRing->setWidget(nullptr);
        }
    }

    QWidget &mWindow;
    QPointer<FocusRing> mRing;
};
} // namespace

void showFocusRing(QWidget &window)
{
    new FocusFollower(window);
}

#include "RunStrip.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {
constexpr int kTickMs = 1000;
constexpr auto kStripStyle = "#runStrip { background: #eef3f8; border: 1px solid #9fb3c8;"
                             " border-radius: 4px; }";
} // namespace

RunStrip::RunStrip(
    QWidget *window, const QRect &place, QList<QWidget *> resting, std::function<bool()> cancel)
    : QWidget(window)
    , mWords(new QLabel(this))
    , mCancel(new QPushButton(QStringLiteral("Cancel"), this))
    , mResting(std::move(resting))
    , mCancelRun(std::move(cancel))
{
    setObjectName(QStringLiteral("runStrip"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QLatin1String(kStripStyle));
    setGeometry(place);
    mWords->setObjectName(QStringLiteral("runWords"));
    mCancel->setObjectName(QStringLiteral("runCancel"));
    mCancel->setShortcut(Qt::Key_Escape);
    mCancel->setToolTip(QStringLiteral("Stop making the memo (Esc)"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(12, 0, 8, 0);
    row->addWidget(mWords, 1);
    row->addWidget(mCancel);
    hide();

    mTicks.setInterval(kTickMs);
    connect(&mTicks, &QTimer::timeout, this, &RunStrip::tick);
    connect(mCancel, &QPushButton::clicked, this, &RunStrip::cancelRun);
}

bool RunStrip::begin()
{
    if (mRunning)
        return false;
    mRunning = true;
    mFocus = QApplication::focusWidget();
    for (QWidget *control : mResting)
        control->setEnabled(false);
    mDoing.clear();
    mWords->clear();
    mCancel->hide();
    mCancel->setEnabled(true);
    mSince.start();
    mTicks.start();
    if (mShown) {
        show();
        raise();
    }
    return true;
}

void RunStrip::say(const QString &doing)
{
    mDoing = doing;
    // Once stopping, the strip says so until the run is over.
    if (mCancel->isEnabled())
        tick();
}

void RunStrip::tick()
{
    if (!mRunning)
        return;
    const qint64 seconds = mSince.elapsed() / 1000;
    mWords->setText(seconds < 1 ? mDoing : QStringLiteral("%1   %2 s").arg(mDoing).arg(seconds));
    if (seconds >= 1 && mCancel->isHidden())
        mCancel->show();
}

void RunStrip::cancelRun()
{
    // Too late once the memo goes to the preview: the run just finishes.
    if (!mRunning || !mCancel->isEnabled() || !mCancelRun())
        return;
    mCancel->setEnabled(false);
    mWords->setText(QStringLiteral("Stopping..."));
}

void RunStrip::end()
{
    if (!mRunning)
        return;
    mRunning = false;
    mTicks.stop();
    hide();
    for (QWidget *control : mResting)
        control->setEnabled(true);
    if (mFocus && mFocus->isEnabled())
        mFocus->setFocus();
}

#include "StyleTips.h"

#include "MemoStyle.h"
#include "OwnTemplate.h"
#include "StylePicturePopup.h"
#include "StylePictures.h"

#include <QApplication>
#include <QBuffer>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QRadioButton>
#include <QToolTip>

namespace {
constexpr int kIdleMilliseconds = 1000;

QString imageHtml(const QImage &picture)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    const QSizeF size = picture.deviceIndependentSize();
    return QStringLiteral("<img src=\"data:image/png;base64,%1\" width=\"%2\" height=\"%3\">")
        .arg(QString::fromLatin1(png.toBase64()))
        .arg(qRound(size.width()))
        .arg(qRound(size.height()));
}
} // namespace

StyleTips::StyleTips(const std::array<QRadioButton *, 5> &buttons, StylePictures &pictures,
    std::function<MemoDetails(int style)> memo, QObject *parent)
    : QObject(parent)
    , mButtons(buttons)
    , mPictures(pictures)
    , mMemo(std::move(memo))
    , mPopup(new StylePicturePopup(buttons[0]->window()))
{
    for (QRadioButton *button : mButtons)
        button->installEventFilter(this);
    // Keys anywhere in the program put drawing ahead off.
    qApp->installEventFilter(this);
    mIdle.setSingleShot(true);
    mIdle.setInterval(kIdleMilliseconds);
    connect(&mIdle, &QTimer::timeout, this, &StyleTips::drawOthersAhead);
    connect(&mPictures, &StylePictures::settled, this, &StyleTips::refresh);
    connect(mPopup, &StylePicturePopup::dismissed, this, [this] { mPinned = -1; });
}

int StyleTips::styleOf(QObject *watched) const
{
    for (size_t index = 0; index < mButtons.size(); ++index) {
        if (mButtons[index] == watched)
            return int(index);
    }
    return -1;
}

qreal StyleTips::pixelRatio() const
{
    return mButtons[0]->devicePixelRatioF();
}

bool StyleTips::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        if (mHovered)
            mIdle.start();
        const auto *key = static_cast<QKeyEvent *>(event);
        const int style = styleOf(watched);
        if (style >= 0 && key->key() == Qt::Key_F1
            && (key->modifiers() & ~Qt::ShiftModifier) == Qt::NoModifier) {
            pin(style);
            return true;
        }
        return false;
    }
    const int style = styleOf(watched);
    if (style < 0)
        return false;
    switch (event->type()) {
    case QEvent::ToolTip:
    case QEvent::WhatsThis:
        show(style, static_cast<QHelpEvent *>(event)->globalPos());
        return true;
    case QEvent::Leave:
    case QEvent::FocusOut:
        if (mShown == style)
            mShown = -1;
        return false;
    default:
        return false;
    }
}

void StyleTips::show(int style, const QPoint &at)
{
    mShown = style;
    mAt = at;
    request(style);
    display(style);
}

void StyleTips::pin(int style)
{
    mPinned = style;
    request(style);
    display(style);
}

void StyleTips::request(int style)
{
    mPictures.request(mMemo(style), pixelRatio());
    if (!mHovered) {
        mHovered = true;
        mIdle.start();
    }
}

void StyleTips::refresh(int style)
{
    if (style == mPinned)
        display(style);
    if (style != mShown)
        return;
    if (!QToolTip::isVisible()) {
        mShown = -1;
        return;
    }
    display(style);
}

void StyleTips::display(int style)
{
    QRadioButton *button = mButtons[size_t(style)];
    const MemoDetails memo = mMemo(style);
    const qreal ratio = pixelRatio();
    QImage picture;
    QString words;
    switch (mPictures.state(memo, ratio)) {
    case StylePictures::State::Ready:
        picture = mPictures.picture(memo, ratio);
        break;
    case StylePictures::State::Failed:
        words = memo.ownTemplate ? styleCaption(memo) : StylePictures::description(style);
        break;
    default:
        words = QStringLiteral("Drawing the memo in %1...")
                    .arg(memo.ownTemplate ? styleCaption(memo) : button->text().remove(u'&'));
        break;
    }
    if (style == mPinned) {
        mPopup->showUnder(button, picture, words,
            memo.ownTemplate ? QStringLiteral("%1. %2").arg(
                styleCaption(memo), leavesOutSentence(memo.ownTemplate->leavesOut))
                             : StylePictures::description(style) + u' ' + styleLeavesOut(style));
        return;
    }
    // Only while the tooltip is up and the pointer or focus is still on the button.
    const bool pointed = button->rect().contains(button->mapFromGlobal(QCursor::pos()));
    if (!pointed && !button->hasFocus()) {
        mShown = -1;
        return;
    }
    QToolTip::showText(mAt, picture.isNull() ? words : imageHtml(picture), button);
}

void StyleTips::drawOthersAhead()
{
    for (int style = 0; style < int(mButtons.size()); ++style)
        mPictures.drawAhead(mMemo(style), pixelRatio());
}

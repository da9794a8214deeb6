#include "StyleTips.h"

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
    std::function<MemoDetails()> memo, QObject *parent)
    : QObject(parent)
    , mButtons(buttons)
    , mPictures(pictures)
    , mMemo(std::move(memo))
{
    for (QRadioButton *button : mButtons)
        button->installEventFilter(this);
    // Keys anywhere in the program put drawing ahead off.
    qApp->installEventFilter(this);
    mIdle.setSingleShot(true);
    mIdle.setInterval(kIdleMilliseconds);
    connect(&mIdle, &QTimer::timeout, this, &StyleTips::drawOthersAhead);
    connect(&mPictures, &StylePictures::settled, this, &StyleTips::refresh);
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
            QWidget *button = mButtons[size_t(style)];
            show(style, button->mapToGlobal(QPoint(0, button->height())));
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
    MemoDetails memo = mMemo();
    memo.style = style;
    mPictures.request(memo, pixelRatio());
    if (!mHovered) {
        mHovered = true;
        mIdle.start();
    }
    display(style);
}

void StyleTips::refresh(int style)
{
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
    // Only while the tooltip is up and the pointer or focus is still on the button.
    const bool pointed = button->rect().contains(button->mapFromGlobal(QCursor::pos()));
    if (!pointed && !button->hasFocus()) {
        mShown = -1;
        return;
    }
    MemoDetails memo = mMemo();
    memo.style = style;
    const qreal ratio = pixelRatio();
    QString text;
    switch (mPictures.state(memo, ratio)) {
    case StylePictures::State::Ready:
        text = imageHtml(mPictures.picture(memo, ratio));
        break;
    case StylePictures::State::Failed:
        text = StylePictures::description(style);
        break;
    default:
        text = QStringLiteral("Drawing the memo in %1...").arg(button->text().remove(u'&'));
        break;
    }
    QToolTip::showText(mAt, text, button);
}

void StyleTips::drawOthersAhead()
{
    MemoDetails memo = mMemo();
    for (int style = 0; style < int(mButtons.size()); ++style) {
        memo.style = style;
        mPictures.drawAhead(memo, pixelRatio());
    }
}

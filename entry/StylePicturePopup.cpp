#include "StylePicturePopup.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QKeyEvent>
#include <QScreen>

#include <algorithm>

namespace {
// Its own look, whatever the window's skin says of labels.
constexpr auto kPopupStyle = "QLabel { background-color: #ffffff; color: #000000;"
                             " border: 1px solid #1f5aa3; padding: 4px; }";
constexpr int kGap = 2;

QAccessibleInterface *asToolTip(const QString &className, QObject *object)
{
    if (className == QLatin1String("StylePicturePopup") && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::ToolTip);
    return nullptr;
}
} // namespace

StylePicturePopup::StylePicturePopup(QWidget *window)
    : QLabel(window, Qt::ToolTip | Qt::BypassGraphicsProxyWidget)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(&asToolTip);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setObjectName(QStringLiteral("stylePicture"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setStyleSheet(QLatin1String(kPopupStyle));
    connect(qApp, &QApplication::focusChanged, this, [this] { hide(); });
}

void StylePicturePopup::showUnder(
    QWidget *button, const QImage &picture, const QString &words, const QString &alternative)
{
    if (picture.isNull())
        setText(words);
    else
        setPixmap(QPixmap::fromImage(picture));
    if (accessibleName() != alternative)
        setAccessibleName(alternative);
    adjustSize();
    // Under the button, or over it where the screen ends.
    const QRect screen = button->screen()->availableGeometry();
    QPoint at = button->mapToGlobal(QPoint(0, button->height() + kGap));
    if (at.y() + height() > screen.bottom())
        at.setY(button->mapToGlobal(QPoint(0, 0)).y() - kGap - height());
    at.setX(std::clamp(at.x(), screen.left(), std::max(screen.left(), screen.right() - width())));
    move(at);
    show();
}

void StylePicturePopup::showEvent(QShowEvent *event)
{
    qApp->installEventFilter(this);
    QLabel::showEvent(event);
    // Qt says so of controls, not of windows; a screen reader reads a tooltip out when
    // it hears that it shows.
    QAccessibleEvent shown(this, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

void StylePicturePopup::hideEvent(QHideEvent *event)
{
    qApp->removeEventFilter(this);
    QLabel::hideEvent(event);
    emit dismissed();
}

bool StylePicturePopup::eventFilter(QObject *, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            hide();
            return true;
        }
        return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
        hide();
        return false;
    default:
        return false;
    }
}

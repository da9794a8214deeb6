#include "MousePointer.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QWidget>

WindowPointer::WindowPointer(QWidget &window)
    : mWindow(window)
{ }

WindowPointer::~WindowPointer()
{
    if (mOverriding)
        QGuiApplication::restoreOverrideCursor();
}

void WindowPointer::set(MousePointer setting)
{
    mSetting = setting;
    apply();
}

void WindowPointer::setCustomIcon(const QCursor &icon)
{
    mCustomIcon = icon;
    apply();
}

void WindowPointer::apply()
{
    // While busy the hourglass shows over text boxes too, whose own I-beam would win otherwise.
    const bool busy = mSetting == MousePointer::Hourglass;
    if (busy && !mOverriding)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else if (!busy && mOverriding)
        QGuiApplication::restoreOverrideCursor();
    mOverriding = busy;

    switch (mSetting) {
    case MousePointer::Default:
        mWindow.unsetCursor();
        break;
    case MousePointer::Hourglass:
        mWindow.setCursor(Qt::WaitCursor);
        break;
    case MousePointer::Custom:
        mWindow.setCursor(mCustomIcon.value_or(QCursor(Qt::ArrowCursor)));
        break;
    }
}

void applyHover(WindowPointer &pointer, MousePointer wanted)
{
    if (pointer.setting() == MousePointer::Hourglass)
        return;
    pointer.set(wanted);
}

namespace {
// A control's inner parts (a text box's viewport, a date picker's line edit) are
// nameless or named by Qt; controls placed inside a group box have names of their
// own and their own handlers.
bool isInnerPart(const QWidget *widget)
{
    return widget->objectName().isEmpty() || widget->objectName().startsWith(QLatin1String("qt_"));
}

// A move that a control ignores travels on to its parents, so the window's handler
// would see every move over a push button; a handler runs only while the pointer
// is over its own control, not over a named control inside it.
bool isOverItself(QWidget *control, const QPoint &position)
{
    for (QWidget *under = control->childAt(position); under && under != control;
         under = under->parentWidget()) {
        if (!isInnerPart(under))
            return false;
    }
    return true;
}

class MouseMoveFilter : public QObject
{
public:
    MouseMoveFilter(QObject *parent, std::function<void()> handler)
        : QObject(parent)
        , mHandler(std::move(handler))
    { }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseMove
            && isOverItself(static_cast<QWidget *>(watched),
                static_cast<QMouseEvent *>(event)->position().toPoint()))
            mHandler();
        return false;
    }

private:
    std::function<void()> mHandler;
};

void watch(QWidget *widget, QObject *filter)
{
    widget->setMouseTracking(true);
    widget->installEventFilter(filter);
    for (QWidget *child : widget->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (isInnerPart(child))
            watch(child, filter);
    }
}
} // namespace

void onMouseMove(QWidget *control, std::function<void()> handler)
{
    watch(control, new MouseMoveFilter(control, std::move(handler)));
}

#include "ButtonKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>

namespace {
// A key a push button does not take goes on to its window, where this sees it.
class EnterPresses : public QObject
{
public:
    explicit EnterPresses(QWidget &window)
        : QObject(&window)
        , mWindow(window)
    {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != &mWindow || event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        auto *button = qobject_cast<QPushButton *>(QApplication::focusWidget());
        if (!button || button->window() != &mWindow || !button->isEnabled())
            return false;
        // Held down, the key presses once.
        if (!key->isAutoRepeat())
            button->click();
        return true;
    }

private:
    QWidget &mWindow;
};
} // namespace

void pressButtonsWithEnter(QWidget &window)
{
    new EnterPresses(window);
}

#include "ButtonFace.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QRadioButton>
#include <QScrollArea>
#include <QWidget>

namespace {
constexpr char colourKeeperName[] = "buttonFaceKeeper";

// Which controls take the button-face colour.
enum class ColourScope { FormControls, WithPictureBoxes };

QColor buttonFace()
{
    return QGuiApplication::palette().color(QPalette::Active, QPalette::Button);
}

bool isPictureBox(const QWidget &control)
{
    return control.property(pictureBoxProperty).toBool();
}

bool takesButtonFace(const QWidget &control, ColourScope scope)
{
    if (isPictureBox(control))
        return scope == ColourScope::WithPictureBoxes;
    return qobject_cast<const QRadioButton *>(&control) || qobject_cast<const QCheckBox *>(&control)
        || qobject_cast<const QGroupBox *>(&control) || qobject_cast<const QLabel *>(&control);
}

// Text boxes, lists, date pickers and buttons are whole controls: whatever Qt builds
// inside them is theirs, not the window's.
bool isWholeControl(const QWidget &control)
{
    if (isPictureBox(control))
        return false;
    if (qobject_cast<const QAbstractScrollArea *>(&control))
        return !qobject_cast<const QScrollArea *>(&control);
    return qobject_cast<const QAbstractSpinBox *>(&control)
        || qobject_cast<const QLineEdit *>(&control) || qobject_cast<const QComboBox *>(&control)
        || qobject_cast<const QAbstractButton *>(&control);
}

void paintButtonFace(QWidget &widget)
{
    QPalette palette = widget.palette();
    palette.setColor(widget.backgroundRole(), buttonFace());
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

void colourControls(QWidget &container, ColourScope scope)
{
    for (QWidget *control : container.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (control->isWindow())
            continue;
        if (takesButtonFace(*control, scope))
            paintButtonFace(*control);
        if (!isWholeControl(*control))
            colourControls(*control, scope);
    }
}

void colourWindow(QWidget &window, ColourScope scope)
{
    paintButtonFace(window);
    colourControls(window, scope);
}

// Button face is a reference to the system colour: when the user's colour scheme
// changes, the window and its controls take the new one. Qt tells only the
// application object, so the keeper listens there.
class ButtonFaceKeeper : public QObject
{
public:
    ButtonFaceKeeper(QWidget &window, ColourScope scope)
        : QObject(&window)
        , mWindow(window)
        , mScope(scope)
    {
        setObjectName(QLatin1String(colourKeeperName));
        QCoreApplication::instance()->installEventFilter(this);
    }

    void widen(ColourScope scope)
    {
        if (scope == ColourScope::WithPictureBoxes)
            mScope = scope;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ApplicationPaletteChange
            && watched == QCoreApplication::instance())
            colourWindow(mWindow, mScope);
        return false;
    }

private:
    QWidget &mWindow;
    ColourScope mScope;
};

void giveButtonFace(QWidget &window, ColourScope scope)
{
    colourWindow(window, scope);
    auto *keeper = window.findChild<ButtonFaceKeeper *>(
        QLatin1String(colourKeeperName), Qt::FindDirectChildrenOnly);
    if (keeper)
        keeper->widen(scope);
    else
        new ButtonFaceKeeper(window, scope);
}
} // namespace

void SetFormColors(QWidget &window)
{
    giveButtonFace(window, ColourScope::FormControls);
}

void giveButtonFaceWithPictureBoxes(QWidget &window)
{
    giveButtonFace(window, ColourScope::WithPictureBoxes);
}

void markAsPictureBox(QWidget &control)
{
    control.setProperty(pictureBoxProperty, true);
}

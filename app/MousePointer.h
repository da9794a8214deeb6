#pragma once

#include <QCursor>
#include <QObject>

#include <functional>
#include <optional>

class QWidget;

// A window's pointer setting. It belongs to the window: every control without a
// pointer of its own shows it. The values are the ones the handlers compare.
enum class MousePointer { Default = 0, Hourglass = 11, Custom = 99 };

class WindowPointer
{
public:
    explicit WindowPointer(QWidget &window);
    ~WindowPointer();

    MousePointer setting() const { return mSetting; }
    void set(MousePointer setting);

    // The picture shown while the setting is Custom; without one, Custom shows the arrow.
    void setCustomIcon(const QCursor &icon);
    bool hasCustomIcon() const { return mCustomIcon.has_value(); }

private:
    void apply();

    QWidget &mWindow;
    MousePointer mSetting = MousePointer::Default;
    std::optional<QCursor> mCustomIcon;
    bool mOverriding = false;
};

// The hover rule of every mouse-move handler: the busy pointer is never replaced.
void applyHover(WindowPointer &pointer, MousePointer wanted);

// Calls handler whenever the mouse moves over control or one of its children,
// with or without a button held.
void onMouseMove(QWidget *control, std::function<void()> handler);

#pragma once

#include <QString>

#include <functional>

// Everything that waits for the user or ends the program goes through this seam,
// so that tests can script the answers and never block or exit.
class UserInterface
{
public:
    enum class Buttons { Ok, YesNo };
    enum class Icon { None, Warning };
    // The values are the message box codes the handlers compare against.
    enum Answer { Ok = 1, Yes = 6, No = 7 };

    virtual ~UserInterface() = default;

    // An empty caption means the application title.
    virtual Answer messageBox(
        const QString &text, Buttons buttons, Icon icon, const QString &caption = {})
        = 0;

    // The Save dialog, opened in the folder; an empty result means the user cancelled.
    virtual QString saveFileName(
        const QString &title, const QString &filter, const QString &fileName, const QString &folder)
        = 0;

    // Ends the whole program at once: no window runs its closing steps and
    // nothing of the caller runs afterwards.
    [[noreturn]] virtual void endProgram() = 0;
};

// The real dialogs of the desktop.
class DesktopUserInterface : public UserInterface
{
public:
    Answer messageBox(
        const QString &text, Buttons buttons, Icon icon, const QString &caption = {}) override;
    QString saveFileName(const QString &title, const QString &filter, const QString &fileName,
        const QString &folder) override;
    [[noreturn]] void endProgram() override;

    // Runs first when the program ends.
    std::function<void()> beforeEnd;
};

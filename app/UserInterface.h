#pragma once

#include <QString>

#include <functional>

class QMenu;
class QPoint;
class QPrinter;

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

    // The Open dialog, in the folder; an empty result means the user cancelled.
    virtual QString openFileName(const QString &title, const QString &filter, const QString &folder)
    {
        (void)title;
        (void)filter;
        (void)folder;
        return {};
    }

    // The Print dialog for the printer, its page range bounded by the document's
    // pages; false when the user cancelled. With no printer set up it offers a PDF file.
    virtual bool printDialog(QPrinter &printer, int pageCount)
    {
        (void)printer;
        (void)pageCount;
        return false;
    }

    // A menu that pops up at the point of the screen and waits for a choice.
    virtual void showMenu(QMenu &menu, const QPoint &at)
    {
        (void)menu;
        (void)at;
    }

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
    QString openFileName(
        const QString &title, const QString &filter, const QString &folder) override;
    bool printDialog(QPrinter &printer, int pageCount) override;
    void showMenu(QMenu &menu, const QPoint &at) override;
    [[noreturn]] void endProgram() override;

    // Runs first when the program ends, and is the last of it that runs: what must be
    // flushed or ended (typing not yet stored, offices, work folders) is done here.
    std::function<void()> beforeEnd;
};

#pragma once

#include "UserInterface.h"

#include <QAction>
#include <QList>
#include <QMenu>
#include <QPrinter>
#include <QString>
#include <QStringList>

// Thrown where the real program would have ended; not a std::exception, so no
// error trap swallows it.
struct ProgramEnded
{
};

// Records every message and answers from a script, so no test ever blocks or exits.
class ScriptedUserInterface : public UserInterface
{
public:
    struct Message
    {
        QString text;
        Buttons buttons;
        Icon icon;
        QString caption;
    };

    Answer messageBox(
        const QString &text, Buttons buttons, Icon icon, const QString &caption = {}) override
    {
        messages.append({ text, buttons, icon, caption });
        if (buttons == Buttons::YesNo)
            return answers.isEmpty() ? No : answers.takeFirst();
        return Ok;
    }

    QString saveFileName(const QString &title, const QString &filter, const QString &fileName,
        const QString &folder) override
    {
        dialogs.append({ title, filter, fileName, folder });
        return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
    }

    QString openFileName(
        const QString &title, const QString &filter, const QString &folder) override
    {
        dialogs.append({ title, filter, QString(), folder });
        return openNames.isEmpty() ? QString() : openNames.takeFirst();
    }

    // Prints to the next PDF file of printTo, as the dialog's "Print to File" would.
    bool printDialog(QPrinter &printer, int pageCount) override
    {
        printDialogPages.append(pageCount);
        if (printTo.isEmpty())
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printTo.takeFirst());
        return true;
    }

    // Records the menu's entries ("Zoom In" or "-Zoom In" when disabled) and chooses
    // the next of menuChoices when it is there and enabled.
    void showMenu(QMenu &menu, const QPoint &at) override
    {
        menuPlaces.append(at);
        QStringList entries;
        for (const QAction *action : menu.actions()) {
            if (!action->isSeparator())
                entries << (action->isEnabled() ? QString() : QStringLiteral("-")) + action->text();
        }
        menus.append(entries);
        const QString choice = menuChoices.isEmpty() ? QString() : menuChoices.takeFirst();
        for (QAction *action : menu.actions()) {
            if (action->text() == choice && action->isEnabled())
                action->trigger();
        }
    }

    [[noreturn]] void endProgram() override
    {
        ++endings;
        throw ProgramEnded {};
    }

    // The texts of the "Application Error" reports shown so far.
    QStringList errorReports() const
    {
        QStringList texts;
        for (const Message &message : messages) {
            if (message.caption == QLatin1String("Application Error"))
                texts << message.text;
        }
        return texts;
    }

    struct Dialog
    {
        QString title;
        QString filter;
        QString fileName;
        QString folder;
    };

    QList<Message> messages;
    QList<Answer> answers; // for Yes/No questions, in order
    QStringList fileNames; // for Save dialogs, in order
    QStringList openNames; // for Open dialogs, in order
    QList<Dialog> dialogs;
    QStringList printTo; // for Print dialogs, in order; none left cancels
    QList<int> printDialogPages;
    QStringList menuChoices; // for pop-up menus, in order
    QList<QStringList> menus;
    QList<QPoint> menuPlaces; // where each opened, on the screen
    int endings = 0;
};

#pragma once

#include "UserInterface.h"

#include <QList>
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
    QList<Dialog> dialogs;
    int endings = 0;
};

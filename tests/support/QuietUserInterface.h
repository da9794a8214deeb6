#pragma once

#include "UserInterface.h"

#include <QString>

#include <cstdio>
#include <cstdlib>

// For programs that run the windows without anyone watching: every message goes to
// standard error and is counted, every question is answered OK, no file is chosen,
// and ending the program ends it with status 1.
class QuietUserInterface : public UserInterface
{
public:
    int messages = 0;

    Answer messageBox(const QString &text, Buttons, Icon, const QString &) override
    {
        ++messages;
        std::fprintf(stderr, "%s\n", qPrintable(text));
        return Ok;
    }
    QString saveFileName(
        const QString &, const QString &, const QString &, const QString &) override
    {
        return {};
    }
    [[noreturn]] void endProgram() override { std::exit(1); }
};

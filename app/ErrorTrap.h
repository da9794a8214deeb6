#pragma once

#include "Failure.h"

#include <QString>

#include <exception>
#include <functional>
#include <utility>

class UserInterface;

// The numbered-step error trap of every working routine. Each step runs with its
// line number; a step that throws is reported with the routine's location and that
// number, and the routine goes on with its next step:
//
//     ErrorTrap trap(ui, "in Scrivane2021/08/31.Form1.Form_Load ");
//     trap.step(104, [&] { setWindowTitle(...); });
//     if (trap.test(106, [&] { return FileExists(cursorFile); }))
//         trap.step(108, [&] { loadCursor(cursorFile); });
//
// A failing condition counts as true, so the routine goes on with the first step it
// guards. Whatever a trap-less callee throws inside a step is that step's failure.
// Exceptions that are not std::exception (the end of the program) pass through.
class ErrorTrap
{
public:
    using Reporter
        = std::function<void(const QString &location, int line, const QString &description)>;

    // Reports through the "Application Error" box.
    ErrorTrap(UserInterface &ui, QString location);
    // Reports to any sink; a sink that throws stops the routine at the failing step.
    ErrorTrap(Reporter reporter, QString location);

    template<typename Action> bool step(int line, Action &&action)
    {
        try {
            std::forward<Action>(action)();
            return true;
        } catch (const std::exception &error) {
            report(line, describe(error));
            return false;
        }
    }

    template<typename Condition> bool test(int line, Condition &&condition)
    {
        try {
            return std::forward<Condition>(condition)();
        } catch (const std::exception &error) {
            report(line, describe(error));
            return true;
        }
    }

private:
    void report(int line, const QString &description);

    Reporter mReporter;
    QString mLocation;
};

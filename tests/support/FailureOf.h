#pragma once

#include "Failure.h"

#include <QString>

#include <functional>

// The text of the Failure the action throws, for the checks on what a user would read;
// "(no failure)" when it throws none.
inline QString failureOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const Failure &failure) {
        return failure.description();
    }
    return QStringLiteral("(no failure)");
}

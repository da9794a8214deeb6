#pragma once

#include <QString>

#include <stdexcept>

// A failed step: the text is what the error report shows the user, so it says
// what failed and on what, in words a user can act on.
class Failure : public std::runtime_error
{
public:
    explicit Failure(const QString &description)
        : std::runtime_error(description.toStdString())
        , mDescription(description)
    { }

    QString description() const { return mDescription; }

private:
    QString mDescription;
};

// A file the user handed in that cannot be used as a template; the text says why, as a
// phrase ("it is protected by a password").
class TemplateRefused : public Failure
{
public:
    using Failure::Failure;
};

[[noreturn]] inline void fail(const QString &description)
{
    throw Failure(description);
}

// The text a caught exception shows in the error report.
inline QString describe(const std::exception &error)
{
    if (auto *failure = dynamic_cast<const Failure *>(&error))
        return failure->description();
    return QString::fromUtf8(error.what());
}

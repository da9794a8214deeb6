#include "ErrorTrap.h"

#include "ErrorReport.h"
#include "UserInterface.h"

ErrorTrap::ErrorTrap(UserInterface &ui, QString location)
    : mReporter([&ui](const QString &where, int line, const QString &description) {
        ErrorReport(ui, where, line, description);
    })
    , mLocation(std::move(location))
{ }

ErrorTrap::ErrorTrap(Reporter reporter, QString location)
    : mReporter(std::move(reporter))
    , mLocation(std::move(location))
{ }

void ErrorTrap::report(int line, const QString &description)
{
    mReporter(mLocation, line, description);
}

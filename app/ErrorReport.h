#pragma once

#include <QString>

class UserInterface;

inline constexpr auto kErrorReportCaption = "Application Error";
// Where users send the screenshot the report asks for.
inline constexpr auto kSupportAddress = "support@tarnwick.example";

// The report's text, piece by piece: description, CR LF, location, "at line " and
// the step number, two lone CRs, the request for a screenshot.
QString errorReportText(const QString &description, const QString &location, int line);

// Shows the "Application Error" box and returns once the user has closed it.
void ErrorReport(UserInterface &ui, const QString &location, int line, const QString &description);

#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;

namespace CommandLine {

// Wrong use of the options: said with a pointer to --help, exit status 2.
struct UsageError
{
    QString message;
};

// At most this many offices at once in a batch.
inline constexpr int kMostJobs = 8;

// "--help": every option, the batch's members and the service, from the memo's tables.
QString usage();

void defineOptions(QCommandLineParser &parser);
// After a parse that found an option it does not know: " Did you mean --out-dir?" for
// the option nearest to the first one mistyped, when one is near; empty otherwise.
QString nearestOption(const QCommandLineParser &parser);
// Throws UsageError for options that do not go together or values that cannot be used.
void checkUsage(const QCommandLineParser &parser);

// "a, b or c", with `last` before the last name.
QString listed(const QStringList &names, const QString &last);
// The styles' names as a script gives them: "professional, ... or blue-sky".
QString styleNames();

} // namespace CommandLine

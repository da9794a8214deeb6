#pragma once

#include "MemoSources.h"
#include "WordSession.h"

#include <QString>

class QTextStream;
struct MemoDetails;

namespace CommandLine {

// How a command reports: what the options asked for, and where it goes. Standard error
// holds only Scrivane's own lines; with --json standard output holds one object a memo.
struct Reporter
{
    QTextStream &output;
    QTextStream &errors;
    bool quiet = false;
    bool json = false;

    // A memo's outcome as a JSON line, when asked for; failure is empty when written.
    void memo(const QString &file, const QString &failure);

    // A value given or remembered for a field that the memo's style does not print is
    // not lost silently: the warning says where it came from.
    void warnOfLeftOutFields(const QString &file, const MemoDetails &memo, const Origins &origins);
    // A file whose name names another format than the one it is written in.
    void warnOfFormatMismatch(const QString &file, DocumentFormat format);
    // Once per memo: which of its texts lost characters a Word document cannot hold.
    void warnAboutControlCharacters(const MemoDetails &memo, const QString &file);
};

} // namespace CommandLine

#pragma once

#include "MemoWriter.h"

#include <QString>

#include <optional>

class QTextStream;

// The command line's end of the memo service: the service keeps an office ready
// between commands, so a memo costs a tenth of an office's start. Whatever goes
// wrong with the service (missing, killed, frozen, answering nonsense, declining,
// failing for its own reasons, not this user's) the caller hears "nothing" and writes
// the memo through its own office.
class ServiceClient
{
public:
    // program: the Scrivane executable, started as the service when none runs.
    explicit ServiceClient(QString program);

    // False when $SCRIVANE_SERVICE is 0.
    static bool isWanted();

    // The memo made by the service, for the caller to write; nothing when the service
    // cannot make it (a missing one is started for the next command, or, when another
    // command is starting it, waited for; a memo of a template of the user's own is
    // never made there). Throws Failure, in the words the command would print, when the
    // service found the memo itself bad.
    std::optional<MemoWriter::Memo> make(
        const MemoDetails &memo, DocumentFormat format, bool withPicture);

    // After a memo written through the command's own office: a service this command
    // started now starts its office, which was left alone so as not to slow that memo.
    void warmStarted();

    // "scrivane --service status|stop": the exit status.
    int status(QTextStream &output);
    int stop(QTextStream &output);

private:
    QString mProgram;
    bool mStarted = false;
};

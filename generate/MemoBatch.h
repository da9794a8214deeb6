#pragma once

#include "MemoDetails.h"
#include "MemoWriter.h"
#include "WordSession.h"

#include <QList>
#include <QString>

#include <functional>

class WordProcessor;

// A batch of memos written through several word processor sessions at once, each
// its own office. Memos are handed out in order; a failing memo, or a session whose
// office dies or hangs, costs only that memo: the session's next memo gets a new office.
namespace MemoBatch {

struct Job
{
    MemoDetails memo;
    QString path;
    DocumentFormat format = DocumentFormat::Doc;
    // Why the memo cannot be written at all; it is then reported in its turn.
    QString refused;
};

// Called on the calling thread as each memo is done, in the order they finish:
// the memo's index and why it failed (empty when it was written).
using Done = std::function<void(qsizetype index, const QString &failure)>;

// Writes every job through at most `sessions` sessions. With more than one, the
// calling thread must be the application's, which takes events meanwhile (the
// offices are started there). A signal that asks the program to stop
// (ProgramEnd::stopRequested()) leaves the memos not yet begun.
void write(WordProcessor &word, const QList<Job> &jobs, int sessions, const Done &done,
    MemoWriter::Renewal renewal = MemoWriter::Renewal::fromEnvironment());

} // namespace MemoBatch

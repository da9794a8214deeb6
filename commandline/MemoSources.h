#pragma once

#include "MemoDetails.h"
#include "OwnTemplate.h"

#include <QHash>
#include <QJsonArray>
#include <QString>

#include <utility>

class QCommandLineParser;
class QJsonValue;
class QTextStream;
class SettingsStore;

// Where a command's memos come from: what the window stored, the options, and the
// members of a batch file's memos.
namespace CommandLine {

// Where a memo's field got its text, for the warnings that quote it.
enum class Origin { Remembered, Sample, Given };
// By the field's option name; a field not named was remembered from the window.
using Origins = QHash<QString, Origin>;

// How a warning says where a text came from: "remembered from the window", ...
QString originWords(Origin origin);

// The memo the window would make now: its fields and stored style. A stored date or
// style that cannot be used is said on errors and replaced.
MemoDetails storedMemo(const SettingsStore &settings, QTextStream &errors);

// The options' values over the memo; throws UsageError for a bad style or date.
// Returns where each field's text comes from now.
Origins applyOptions(const QCommandLineParser &parser, MemoDetails &memo);

// The batch file's memos. Throws UsageError for anything but a plain file of a
// bounded size, and Failure for one that cannot be read or holds no array.
QJsonArray readBatchFile(const QString &batchFile);

// One batch memo: the base memo with the members it sets, its file name and the
// template it names (each empty when it gives none; the template as the member says).
struct BatchMemo
{
    MemoDetails memo;
    QString file;
    QString templateFile;
};
// The members' fields are marked given in `origins`. Throws Failure for a member that
// cannot be used.
BatchMemo batchMemo(const QJsonValue &value, MemoDetails memo, Origins &origins);

// The template chosen in the window for the style, if any. Throws Failure saying so when
// one was chosen and its copy can no longer be used.
OwnTemplatePointer windowTemplate(const SettingsStore &settings, int style);

} // namespace CommandLine

#pragma once

#include <QStringList>

class QTextStream;
class ServiceClient;
class SettingsStore;
class WordProcessor;

// Memos without the window: "scrivane --generate ...". The window is not shown and
// the settings are only read.
namespace CommandLine {

enum ExitStatus { Written = 0, Failed = 1, BadUsage = 2 };

// True when the arguments ask for the command line rather than the window.
bool isRequested(const QStringList &arguments);

// Keeps Qt's own diagnostics (a missing runtime folder, font notes) off standard
// error, where scripts read only Scrivane's lines. Called before the application
// object is made; fatal messages still go out.
void silenceQtMessages();

// One argument as text. Bytes that are no text in the system's encoding (UTF-8)
// become surrogates without partners (U+DC80 to U+DCFF) rather than U+FFFD, so that
// a name holding them is written under exactly its bytes (encodeFileName) instead of
// under another one that two such names share.
QString argumentText(const char *argument);

// Runs it; returns the exit status. Progress and problems go to errors. A single
// memo is made by the memo service when one is given and can, else through word.
int run(const QStringList &arguments, WordProcessor &word, const SettingsStore &settings,
    QTextStream &output, QTextStream &errors, ServiceClient *service = nullptr);

} // namespace CommandLine

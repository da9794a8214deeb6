#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

// LibreOffice as the tests see it from outside: processes, files and tools.
namespace OfficeProbe {

QString programFolder();

// The soffice.bin processes that are children of this test.
QList<qint64> childOffices();

// True while the process exists and has not ended (a zombie has ended).
bool isRunning(qint64 pid);
// True while the process is stopped by a signal.
bool isStopped(qint64 pid);

// Runs soffice.bin to its end, once more after a new profile's restart request;
// the exit code, or -1 when it did not end in time (it is then killed).
int runOffice(const QStringList &arguments, const QProcessEnvironment &environment, int timeoutMs);

// Converts a flat ODF text into a Word 97-2003 template in the folder, with an
// office and profile of the test's own; the template's path, or empty on failure.
QString makeWordTemplate(const QString &flatOdf, const QString &folder);

// The text catdoc reads from a Word document.
QString catdoc(const QString &path);

} // namespace OfficeProbe

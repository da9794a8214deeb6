#pragma once

#include <QProcess>
#include <QString>

// The text catdoc, a reader of Word files independent of the office, finds in the file.
// When catdoc cannot read it, the text says why (and *ok is false), so a check on the
// text shows the reason; catdoc comes with the Debian package of that name.
inline QString catdoc(const QString &path, bool *ok = nullptr)
{
    if (ok)
        *ok = false;
    QProcess reader;
    reader.start(QStringLiteral("catdoc"),
        { QStringLiteral("-w"), QStringLiteral("-d"), QStringLiteral("utf-8"), path });
    if (!reader.waitForStarted())
        return QStringLiteral("<catdoc could not be run: %1>").arg(reader.errorString());
    if (!reader.waitForFinished(60'000)) {
        reader.kill();
        reader.waitForFinished();
        return QStringLiteral("<catdoc did not finish reading %1>").arg(path);
    }
    if (reader.exitStatus() != QProcess::NormalExit || reader.exitCode() != 0) {
        return QStringLiteral("<catdoc could not read %1: %2>")
            .arg(path, QString::fromLocal8Bit(reader.readAllStandardError()).trimmed());
    }
    if (ok)
        *ok = true;
    return QString::fromUtf8(reader.readAllStandardOutput());
}

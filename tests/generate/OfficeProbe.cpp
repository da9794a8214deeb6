#include "OfficeProbe.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace {
constexpr int kRestartWanted = 81;

QStringList statFields(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QString line = QString::fromLatin1(stat.readAll());
    // The name is in parentheses and may hold spaces; the fields after it are plain.
    const qsizetype open = line.indexOf(QLatin1Char('('));
    const qsizetype close = line.lastIndexOf(QLatin1Char(')'));
    if (open < 0 || close < open)
        return {};
    QStringList fields { line.left(open).trimmed(), line.mid(open + 1, close - open - 1) };
    fields += line.mid(close + 1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return fields; // pid, name, state, parent, ...
}
} // namespace

namespace OfficeProbe {

QString programFolder()
{
    const QString configured = qEnvironmentVariable("SCRIVANE_OFFICE_PROGRAM");
    return configured.isEmpty() ? QStringLiteral("/usr/lib/libreoffice/program") : configured;
}

QList<qint64> childOffices()
{
    QList<qint64> offices;
    const QString self = QString::number(QCoreApplication::applicationPid());
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid)
            continue;
        const QStringList fields = statFields(pid);
        if (fields.size() > 3 && fields.at(3) == self
            && fields.at(1) == QLatin1String("soffice.bin") && fields.at(2) != QLatin1String("Z"))
            offices << pid;
    }
    return offices;
}

bool isRunning(qint64 pid)
{
    const QStringList fields = statFields(pid);
    return fields.size() > 2 && fields.at(2) != QLatin1String("Z")
        && fields.at(2) != QLatin1String("X");
}

bool isStopped(qint64 pid)
{
    const QStringList fields = statFields(pid);
    return fields.size() > 2
        && (fields.at(2) == QLatin1String("T") || fields.at(2) == QLatin1String("t"));
}

int runOffice(const QStringList &arguments, const QProcessEnvironment &environment, int timeoutMs)
{
    QProcessEnvironment office = environment;
    office.insert(QStringLiteral("URE_BOOTSTRAP"),
        QStringLiteral("vnd.sun.star.pathname:%1/fundamentalrc").arg(programFolder()));
    for (int attempt = 0; attempt < 3; ++attempt) {
        QProcess process;
        process.setProgram(programFolder() + QStringLiteral("/soffice.bin"));
        process.setArguments(arguments);
        process.setProcessEnvironment(office);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start();
        if (!process.waitForFinished(timeoutMs)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        if (process.exitStatus() != QProcess::NormalExit)
            return -1;
        if (process.exitCode() != kRestartWanted)
            return process.exitCode();
    }
    return kRestartWanted;
}

QString makeWordTemplate(const QString &flatOdf, const QString &folder)
{
    const QString profile
        = QUrl::fromLocalFile(folder + QStringLiteral("/convert-profile")).toString();
    const int code = runOffice(
        { QStringLiteral("--headless"), QStringLiteral("--norestore"),
            QStringLiteral("-env:UserInstallation=") + profile, QStringLiteral("--convert-to"),
            QStringLiteral("dot:MS Word 97 Vorlage"), QStringLiteral("--outdir"), folder, flatOdf },
        QProcessEnvironment::systemEnvironment(), 120000);
    const QString made = folder + QLatin1Char('/') + QFileInfo(flatOdf).completeBaseName()
        + QStringLiteral(".dot");
    return code == 0 && QFileInfo::exists(made) ? made : QString();
}

QString catdoc(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("catdoc"), { QStringLiteral("-w"), path });
    if (!process.waitForStarted())
        return QStringLiteral("catdoc could not be run: install it (apt-get install catdoc)");
    if (!process.waitForFinished(60000))
        return QStringLiteral("catdoc did not finish");
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

} // namespace OfficeProbe

#pragma once

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QUrl>

#include <stdexcept>

// Converts documents with a LibreOffice of the test's own: soffice.bin is started
// directly (not through the launcher, which would leave it running if killed) with a
// private profile, so no office the user runs is involved, and a conversion that
// hangs is killed by its own process id.
class OfficeConverter
{
public:
    explicit OfficeConverter(const QString &profileDir)
        : mProfileDir(profileDir)
    { }

    // soffice.bin beside the soffice on the path; empty when LibreOffice is missing.
    static QString officeProgram()
    {
        const QString launcher = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (launcher.isEmpty())
            return {};
        const QFileInfo program(
            QFileInfo(launcher).canonicalPath() + QStringLiteral("/soffice.bin"));
        return program.isExecutable() ? program.filePath() : QString();
    }

    // Converts the source into outDir with the filter ("fodt", "pdf", "doc:MS Word 97")
    // and returns the converted file's path. Throws std::runtime_error with the office's
    // own words when it fails.
    QString convert(const QString &source, const QString &filter, const QString &outDir) const
    {
        const QString program = officeProgram();
        if (program.isEmpty())
            throw std::runtime_error("LibreOffice (soffice.bin) is not installed");
        QDir().mkpath(outDir);
        const QString target = outDir + QLatin1Char('/') + QFileInfo(source).completeBaseName()
            + QLatin1Char('.') + filter.section(QLatin1Char(':'), 0, 0);
        QFile::remove(target);

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("URE_BOOTSTRAP"),
            QStringLiteral("vnd.sun.star.pathname:") + QFileInfo(program).path()
                + QStringLiteral("/fundamentalrc"));
        const QStringList arguments { QStringLiteral("--headless"), QStringLiteral("--invisible"),
            QStringLiteral("--nologo"), QStringLiteral("--norestore"),
            QStringLiteral("--nodefault"), QStringLiteral("--nolockcheck"),
            QStringLiteral("--nofirststartwizard"),
            QStringLiteral("-env:UserInstallation=")
                + QUrl::fromLocalFile(mProfileDir).toString(QUrl::FullyEncoded),
            QStringLiteral("--convert-to"), filter, QStringLiteral("--outdir"), outDir, source };

        QString output;
        // A new profile makes the first start ask for a restart (exit code 81).
        for (int attempt = 0; attempt < 3; ++attempt) {
            QProcess office;
            office.setProcessEnvironment(environment);
            office.setProcessChannelMode(QProcess::MergedChannels);
            office.start(program, arguments);
            if (!office.waitForStarted())
                throw std::runtime_error("LibreOffice did not start");
            if (!office.waitForFinished(conversionTimeoutMs)) {
                office.kill();
                office.waitForFinished();
                throw std::runtime_error((QStringLiteral("LibreOffice did not finish converting ")
                    + source + QStringLiteral(" and was stopped"))
                                             .toStdString());
            }
            output = QString::fromLocal8Bit(office.readAll());
            if (office.exitStatus() == QProcess::NormalExit && office.exitCode() == 81)
                continue;
            if (office.exitStatus() == QProcess::NormalExit && office.exitCode() == 0
                && QFileInfo::exists(target))
                return target;
            break;
        }
        throw std::runtime_error((QStringLiteral("LibreOffice could not convert ") + source
            + QStringLiteral(": ") + output)
                                     .toStdString());
    }

private:
    static constexpr int conversionTimeoutMs = 180'000;
    QString mProfileDir;
};

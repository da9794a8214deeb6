#include "Leftovers.h"
#include "TestFiles.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <optional>

// What a killed Scrivane left in its own folders goes at the next start; nothing else.
class LeftoversTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(renewFolder(mTemporary, mDir));
        QVERIFY(mDir.mkdir("temp"));
        qputenv("TEMP", QFile::encodeName(mDir.filePath("temp")));
    }

    void workFoldersOfEndedRunsGo()
    {
        const qint64 ended = endedProcessId();
        const QString mine
            = QStringLiteral("scrivane-work-%1-a1B2c3").arg(QCoreApplication::applicationPid());
        const QStringList left { QStringLiteral("scrivane-work-%1-Xy12Zq").arg(ended),
            QStringLiteral("scrivane-pages-%1-Xy12Zq").arg(ended) };
        const QStringList kept { mine, "scrivane-work-notanumber-Xy12Zq", "my-own-folder" };
        for (const QString &name : left + kept) {
            QVERIFY(temp().mkdir(name));
            QVERIFY(writeFile(temp().filePath(name + "/pages.pdf"), "pdf"));
        }
        QVERIFY(QTemporaryDir(workFolderPattern("work"))
                    .path()
                    .contains(QStringLiteral("/temp/scrivane-work-%1-")
                                  .arg(QCoreApplication::applicationPid())));

        clearLeftoverWorkFolders();
        QStringList expected = kept;
        expected.sort();
        QCOMPARE(temp().entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name), expected);
    }

    void anIdleProfilesTemporaryFilesAndLocksGo()
    {
        const QString profile = mDir.filePath("profiles/profile-3");
        QVERIFY(QDir().mkpath(officeTemporaryFolder(profile)));
        QVERIFY(writeFile(officeTemporaryFolder(profile) + "/lu12345abc.tmp", "office"));
        const auto lockNaming = [](const QString &folder) {
            return "root,host,09.12.2026 06:00," + QUrl::fromLocalFile(folder).toEncoded() + ";";
        };
        QVERIFY(writeFile(temp().filePath(".~lock.kelmar11111111.doc#"), lockNaming(profile)));
        QVERIFY(writeFile(temp().filePath(".~lock.kelmar22222222.doc#"),
            lockNaming(mDir.filePath("profiles/profile-4"))));
        QVERIFY(writeFile(temp().filePath(".~lock.report.odt#"),
            lockNaming(QDir::homePath() + "/.config/libreoffice/4")));

        clearOfficeLeftovers(profile);
        QVERIFY(!QFileInfo::exists(officeTemporaryFolder(profile)));
        QCOMPARE(temp().entryList(QDir::Files | QDir::Hidden, QDir::Name),
            QStringList({ ".~lock.kelmar22222222.doc#", ".~lock.report.odt#" }));
    }

private:
    QDir temp() const { return QDir(mDir.filePath("temp")); }

    static qint64 endedProcessId()
    {
        QProcess process;
        process.start("sleep", { "0" });
        process.waitForStarted();
        const qint64 id = process.processId();
        process.waitForFinished();
        return id;
    }

    std::optional<QTemporaryDir> mTemporary;
    QDir mDir;
};

QTEST_GUILESS_MAIN(LeftoversTest)
#include "tst_leftovers.moc"

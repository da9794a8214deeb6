#include "Failure.h"
#include "SettingsStore.h"
#include "TestFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include <sys/stat.h>

#include <QDir>

class SettingsStoreTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(renewFolder(mTemporary, mDir)); }

    void absentKeyGivesTheCallersDefault()
    {
        SettingsStore store(mDir.filePath(QStringLiteral("Tarnwick.conf")));
        QCOMPARE(
            store.GetSetting(QStringLiteral("Option1"), QStringLiteral("1")), QStringLiteral("1"));
        QCOMPARE(store.GetSetting(QStringLiteral("txtTo")), QString());
    }

    void valuesRoundTripExactly_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("empty") << QString();
        QTest::newRow("plain") << QStringLiteral("Vozizidi");
        QTest::newRow("line breaks") << QStringLiteral("line one\nline two\r\nline three\n");
        QTest::newRow("spaces kept") << QStringLiteral("  leading and trailing  ");
        QTest::newRow("ini syntax")
            << QStringLiteral("a=b; [Scrivane] \"quoted\", comma, @at #hash \\back");
        QTest::newRow("accents and rtl") << QStringLiteral("Zoë Ångström, שלום, مرحبا");
        QTest::newRow("looks like a list") << QStringLiteral("one, two");
    }

    void valuesRoundTripExactly()
    {
        QFETCH(QString, value);
        SettingsStore store(mDir.filePath(QStringLiteral("Tarnwick.conf")));
        store.SaveSetting(QStringLiteral("txtMsg"), value);
        // Another store object on the same file stands for the next start.
        SettingsStore later(store.fileName());
        QCOMPARE(later.GetSetting(QStringLiteral("txtMsg"), QStringLiteral("default")), value);
    }

    void storedEmptyTextIsNotTheDefault()
    {
        SettingsStore store(mDir.filePath(QStringLiteral("Tarnwick.conf")));
        store.SaveSetting(QStringLiteral("Option1"), QString());
        QCOMPARE(store.GetSetting(QStringLiteral("Option1"), QStringLiteral("1")), QString());
    }

    void writeIsOnDiskForAnotherProcessWhenTheCallReturns()
    {
        const QString file = mDir.filePath(QStringLiteral("Tarnwick.conf"));
        SettingsStore store(file);
        store.SaveSetting(QStringLiteral("txtTo"), QStringLiteral("Vozizidi"));

        QProcess reader;
        reader.start(QStringLiteral("cat"), { file });
        QVERIFY(reader.waitForFinished());
        const QByteArray onDisk = reader.readAllStandardOutput();
        QVERIFY(onDisk.contains("[Scrivane]"));
        QVERIFY(onDisk.contains("txtTo=Vozizidi"));
    }

    void readSeesAnotherWritersChange()
    {
        const QString file = mDir.filePath(QStringLiteral("Tarnwick.conf"));
        SettingsStore mine(file);
        QCOMPARE(mine.GetSetting(QStringLiteral("txtCC")), QString());
        SettingsStore theirs(file);
        theirs.SaveSetting(QStringLiteral("txtCC"), QStringLiteral("Tobin Varden"));
        QCOMPARE(mine.GetSetting(QStringLiteral("txtCC")), QStringLiteral("Tobin Varden"));
    }

    void unwritableStoreFailsWithItsName()
    {
        // A folder where the file should be cannot be written, even by root.
        const QString file = mDir.filePath(QStringLiteral("Tarnwick.conf"));
        QVERIFY(QDir().mkpath(file));
        SettingsStore store(file);
        try {
            store.SaveSetting(QStringLiteral("txtTo"), QStringLiteral("x"));
            QFAIL("the write should have failed");
        } catch (const Failure &failure) {
            QVERIFY(failure.description().contains(QStringLiteral("txtTo")));
        }
    }

    // Whatever is planted at the store's name or its lock's, no write goes through a
    // link and none waits without end: the store is replaced, or the write refused.
    void plantedNamesAreNeverWrittenThrough_data()
    {
        QTest::addColumn<QString>("planted");
        QTest::addColumn<bool>("written");
        QTest::newRow("store links to a file") << "store-link" << true;
        QTest::newRow("store links to a pipe") << "store-fifo" << false;
        QTest::newRow("lock is a folder") << "lock-folder" << false;
        QTest::newRow("lock is a pipe") << "lock-fifo" << false;
        QTest::newRow("lock links to a file") << "lock-link" << false;
    }

    void plantedNamesAreNeverWrittenThrough()
    {
        QFETCH(QString, planted);
        QFETCH(bool, written);
        const QString file = mDir.filePath(QStringLiteral("Tarnwick.conf"));
        const QString target = mDir.filePath(QStringLiteral("target"));
        const QByteArray kept = "[Scrivane]\ntxtTo=Vozizidi\n";
        QFile targetFile(target);
        QVERIFY(targetFile.open(QIODevice::WriteOnly) && targetFile.write(kept) == kept.size());
        targetFile.close();
        const QString pipe = mDir.filePath(QStringLiteral("pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        if (planted.startsWith(QLatin1String("lock")))
            SettingsStore(file).SaveSetting(QStringLiteral("txtTo"), QStringLiteral("Vozizidi"));
        const QString lock = file + QStringLiteral(".lock");
        QFile::remove(lock);
        if (planted == QLatin1String("store-link"))
            QVERIFY(QFile::link(target, file));
        else if (planted == QLatin1String("store-fifo"))
            QVERIFY(QFile::link(pipe, file));
        else if (planted == QLatin1String("lock-folder"))
            QVERIFY(QDir().mkdir(lock));
        else if (planted == QLatin1String("lock-fifo"))
            QVERIFY(QFile::rename(pipe, lock));
        else
            QVERIFY(QFile::link(target, lock));

        SettingsStore store(file);
        if (planted != QLatin1String("store-fifo"))
            QCOMPARE(store.GetSetting(QStringLiteral("txtTo")), QStringLiteral("Vozizidi"));
        try {
            store.SaveSetting(QStringLiteral("txtCC"), QStringLiteral("Tobin Varden"));
            QVERIFY(written);
            QVERIFY(!QFileInfo(file).isSymLink());
            QCOMPARE(store.GetSetting(QStringLiteral("txtTo")), QStringLiteral("Vozizidi"));
            QCOMPARE(store.GetSetting(QStringLiteral("txtCC")), QStringLiteral("Tobin Varden"));
        } catch (const Failure &failure) {
            QVERIFY2(!written, qPrintable(failure.description()));
            QVERIFY(failure.description().contains(file));
        }
        QFile check(target);
        QVERIFY(check.open(QIODevice::ReadOnly));
        QCOMPARE(check.readAll(), kept);
    }

    void typingOfALargeFieldIsReadAtOnceAndOnDiskAfterTheFlush()
    {
        const QString file = mDir.filePath(QStringLiteral("Tarnwick.conf"));
        const QString large(10 * 1024 * 1024, QLatin1Char('m'));
        {
            SettingsStore store(file);
            store.SaveSetting(QStringLiteral("txtTo"), QStringLiteral("Vozizidi"));
            for (int key = 0; key < 20; ++key)
                store.SaveSettingSoon(QStringLiteral("txtMsg"), large + QString::number(key));
            QCOMPARE(store.GetSetting(QStringLiteral("txtMsg")), large + QStringLiteral("19"));
            store.flush();
            QCOMPARE(SettingsStore(file).GetSetting(QStringLiteral("txtMsg")),
                large + QStringLiteral("19"));
            store.SaveSettingSoon(QStringLiteral("txtCC"), QStringLiteral("Tobin Varden"));
        }
        // What was still on its way when the store went is on disk too.
        SettingsStore later(file);
        QCOMPARE(later.GetSetting(QStringLiteral("txtCC")), QStringLiteral("Tobin Varden"));
        QCOMPARE(later.GetSetting(QStringLiteral("txtTo")), QStringLiteral("Vozizidi"));
    }

    void aStoreThatCannotBeReadSaysWhy_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("absent") << "absent" << QString();
        QTest::newRow("readable") << "file" << QString();
        QTest::newRow("folder") << "folder"
                                << "(it is a folder)";
        QTest::newRow("pipe") << "fifo"
                              << "(it is not a plain file)";
    }

    void aStoreThatCannotBeReadSaysWhy()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        const QString file = mDir.filePath(QStringLiteral("Tarnwick.conf"));
        if (kind == QLatin1String("file"))
            SettingsStore(file).SaveSetting(QStringLiteral("txtTo"), QStringLiteral("x"));
        else if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(file));
        else if (kind == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        const QString problem = SettingsStore(file).readProblem();
        if (reason.isEmpty())
            QCOMPARE(problem, QString());
        else
            QCOMPARE(problem,
                QStringLiteral("The stored memo details in %1 cannot be read %2.")
                    .arg(file, reason));
    }

    void userStoreIsTarnwickInTheConfigurationFolder()
    {
        // Tests run with XDG_CONFIG_HOME pointing into the build tree.
        const SettingsStore store;
        QVERIFY(store.fileName().endsWith(QStringLiteral("/Tarnwick.conf")));
        QVERIFY(store.fileName().startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")));
    }

private:
    std::optional<QTemporaryDir> mTemporary;
    QDir mDir;
};

QTEST_GUILESS_MAIN(SettingsStoreTest)
#include "tst_settingsstore.moc"

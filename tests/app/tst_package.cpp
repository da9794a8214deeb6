// Builds the Debian package from this build tree with CPack and checks what it
// declares and what it would install.

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>

namespace {
const QString buildDir = QStringLiteral(SCRIVANE_BUILD_DIR);
const QString programBuildDir = QStringLiteral(SCRIVANE_PROGRAM_BUILD_DIR);
const QString sourceDir = QStringLiteral(SCRIVANE_SOURCE_DIR);

struct Run
{
    int exitCode = -1;
    QString output;
};

Run run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(-1))
        return { -1, process.errorString() };
    return { process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
        QString::fromLocal8Bit(process.readAll()) };
}

// Each comma-separated group of a Depends field, its alternatives without versions.
QList<QStringList> dependencyGroups(const QString &field)
{
    QList<QStringList> groups;
    for (const QString &group : field.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        QStringList alternatives;
        for (QString alternative : group.split(QLatin1Char('|'))) {
            alternative = alternative.trimmed();
            alternatives.append(alternative.section(QLatin1Char(' '), 0, 0));
        }
        groups.append(alternatives);
    }
    return groups;
}

QMap<QString, QString> desktopEntry(const QString &path)
{
    QMap<QString, QString> entry;
    QString group;
    for (const QString &line : QString::fromUtf8(readFile(path)).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('[')))
            group = line;
        else if (group == QLatin1String("[Desktop Entry]") && line.contains(QLatin1Char('=')))
            entry.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1));
    }
    return entry;
}
} // namespace

class PackageTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void declaresWhatTheProgramNeeds_data();
    void declaresWhatTheProgramNeeds();
    void installsTheProgramBesideItsFiles();
    void linksTheCommandToTheProgram();
    void offersTheDesktopEntryAndIcons();

private:
    QTemporaryDir mWork;
    QString mPackage;
    QString mUnpacked;
};

void PackageTest::initTestCase()
{
    QVERIFY(mWork.isValid());
    const Run cpack = run(QStringLiteral("cpack"),
        { QStringLiteral("--config"), buildDir + QStringLiteral("/CPackConfig.cmake"),
            QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("-B"), mWork.path() });
    QVERIFY2(cpack.exitCode == 0, qPrintable(cpack.output));

    const QStringList packages
        = QDir(mWork.path()).entryList({ QStringLiteral("scrivane_*.deb") }, QDir::Files);
    QCOMPARE(packages.size(), 1);
    mPackage = mWork.filePath(packages.first());
    mUnpacked = mWork.filePath(QStringLiteral("unpacked"));
    const Run unpack
        = run(QStringLiteral("dpkg-deb"), { QStringLiteral("-x"), mPackage, mUnpacked });
    QVERIFY2(unpack.exitCode == 0, qPrintable(unpack.output));
}

void PackageTest::declaresWhatTheProgramNeeds_data()
{
    QTest::addColumn<QStringList>("alternatives");
    QTest::newRow("Qt widgets") << QStringList { QStringLiteral("libqt6widgets6") };
    QTest::newRow("Qt GUI") << QStringList { QStringLiteral("libqt6gui6") };
    QTest::newRow("LibreOffice Writer") << QStringList { QStringLiteral("libreoffice-writer-nogui"),
        QStringLiteral("libreoffice-writer") };
    QTest::newRow("Poppler for Qt 6") << QStringList { QStringLiteral("libpoppler-qt6-3") };
    QTest::newRow("libgsf") << QStringList { QStringLiteral("libgsf-1-114") };
    QTest::newRow("Liberation fonts") << QStringList { QStringLiteral("fonts-liberation2") };
    QTest::newRow("Carlito fonts") << QStringList { QStringLiteral("fonts-crosextra-carlito") };
    QTest::newRow("Caladea fonts") << QStringList { QStringLiteral("fonts-crosextra-caladea") };
}

void PackageTest::declaresWhatTheProgramNeeds()
{
    QFETCH(QStringList, alternatives);
    const Run depends = run(
        QStringLiteral("dpkg-deb"), { QStringLiteral("-f"), mPackage, QStringLiteral("Depends") });
    QCOMPARE(depends.exitCode, 0);

    QVERIFY2(dependencyGroups(depends.output).contains(alternatives), qPrintable(depends.output));
}

void PackageTest::installsTheProgramBesideItsFiles()
{
    const Run fields = run(QStringLiteral("dpkg-deb"),
        { QStringLiteral("-f"), mPackage, QStringLiteral("Package"),
            QStringLiteral("Architecture") });
    const Run architecture
        = run(QStringLiteral("dpkg"), { QStringLiteral("--print-architecture") });
    QCOMPARE(fields.output,
        QStringLiteral("Package: scrivane\nArchitecture: %1").arg(architecture.output));

    const QString folder = mUnpacked + QStringLiteral("/usr/lib/scrivane");
    const QFileInfo program(folder + QStringLiteral("/scrivane"));
    QVERIFY(program.isFile() && program.isExecutable());
    QCOMPARE(readFile(folder + QStringLiteral("/HAND-M.CUR")),
        readFile(programBuildDir + QStringLiteral("/HAND-M.CUR")));
    QCOMPARE(readFile(folder + QStringLiteral("/x/o.cjs")),
        readFile(sourceDir + QStringLiteral("/resources/skin/x/o.cjs")));
    QVERIFY(!readFile(folder + QStringLiteral("/x/o.cjs")).isEmpty());
}

void PackageTest::linksTheCommandToTheProgram()
{
    const QFileInfo command(mUnpacked + QStringLiteral("/usr/bin/scrivane"));
    QVERIFY(command.isSymLink());
    QCOMPARE(command.symLinkTarget(),
        QFileInfo(mUnpacked + QStringLiteral("/usr/lib/scrivane/scrivane")).absoluteFilePath());
    // Relative, so it holds wherever the tree is unpacked.
    const std::filesystem::path target
        = std::filesystem::read_symlink(QFile::encodeName(command.filePath()).toStdString());
    QVERIFY2(target.is_relative(), target.c_str());
}

void PackageTest::offersTheDesktopEntryAndIcons()
{
    const QMap<QString, QString> entry
        = desktopEntry(mUnpacked + QStringLiteral("/usr/share/applications/scrivane.desktop"));
    QCOMPARE(entry.value(QStringLiteral("Type")), QStringLiteral("Application"));
    QCOMPARE(entry.value(QStringLiteral("Name")), QStringLiteral("Scrivane"));
    QVERIFY(!entry.value(QStringLiteral("Comment")).isEmpty());
    QCOMPARE(entry.value(QStringLiteral("Exec")), QStringLiteral("scrivane"));
    QCOMPARE(entry.value(QStringLiteral("Icon")), QStringLiteral("scrivane"));
    QCOMPARE(entry.value(QStringLiteral("Categories")), QStringLiteral("Office;"));

    const QString hicolor = mUnpacked + QStringLiteral("/usr/share/icons/hicolor");
    for (int size : { 16, 22, 24, 32, 48, 64, 128, 256 }) {
        const QImage icon(QStringLiteral("%1/%2x%2/apps/scrivane.png").arg(hicolor).arg(size));
        QCOMPARE(icon.size(), QSize(size, size));
        QVERIFY(icon.hasAlphaChannel());
    }
    QVERIFY(readFile(hicolor + QStringLiteral("/scalable/apps/scrivane.svg")).contains("<svg"));
}

QTEST_GUILESS_MAIN(PackageTest)
#include "tst_package.moc"

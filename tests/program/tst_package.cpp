// Builds the Debian package from this build tree with CPack and checks what it
// declares and what it would install, and that lintian finds no error in it.

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <set>

namespace {
const QString buildDir = QStringLiteral(SCRIVANE_BUILD_DIR);
const QString programBuildDir = QStringLiteral(SCRIVANE_PROGRAM_BUILD_DIR);
const QString sourceDir = QStringLiteral(SCRIVANE_SOURCE_DIR);

struct Run
{
    int exitCode = -1;
    QString output;
};

Run run(const QString &program, const QStringList &arguments,
    QProcess::ProcessChannelMode channels = QProcess::MergedChannels)
{
    QProcess process;
    process.setProcessChannelMode(channels);
    process.start(program, arguments);
    if (!process.waitForFinished(-1))
        return { -1, process.errorString() };
    return { process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
        QString::fromLocal8Bit(process.readAll()) };
}

// The long options the help text lists, one to a line: "  --out FILE   the ...".
QStringList helpOptions(const QString &help)
{
    static const QRegularExpression option(
        QStringLiteral("^[ \\t]+(?:-\\w,[ \\t]*)?(--[a-z][a-z0-9-]*)"),
        QRegularExpression::MultilineOption);
    QStringList options;
    for (const auto &match : option.globalMatch(help))
        options.append(match.captured(1));
    options.sort();
    return options;
}

// The long options the manual page's OPTIONS section gives a paragraph of their own.
QStringList manualPageOptions(QString page)
{
    page.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    const qsizetype start = page.indexOf(QStringLiteral("\n.SH OPTIONS\n"));
    const qsizetype end = page.indexOf(QStringLiteral("\n.SH "), start + 1);
    static const QRegularExpression tag(QStringLiteral("^\\.TP\\n\\.[BIR]+ (--[a-z][a-z0-9-]*)"),
        QRegularExpression::MultilineOption);
    QStringList options;
    for (const auto &match : tag.globalMatch(page.mid(start, end - start)))
        options.append(match.captured(1));
    options.sort();
    return options;
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
    void declaresEachDependencyOnce();
    void installsTheProgramBesideItsFiles();
    void runPathHoldsOnlyTheOffice();
    void linksTheCommandToTheProgram();
    void offersTheDesktopEntryAndIcons();
    void describesItselfToSoftwareCentres();
    void offersTheServiceToSystemd();
    void carriesCopyrightAndChangelog();
    void manualPageRendersEveryOptionOfTheHelp();
    void lintianFindsNoError();

private:
    QString field(const QString &name) const;

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

QString PackageTest::field(const QString &name) const
{
    return run(QStringLiteral("dpkg-deb"), { QStringLiteral("-f"), mPackage, name })
        .output.trimmed();
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
    QTest::newRow("libzip") << QStringList { QStringLiteral("libzip4") };
    QTest::newRow("libxml2") << QStringList { QStringLiteral("libxml2") };
    QTest::newRow("Liberation fonts") << QStringList { QStringLiteral("fonts-liberation2") };
    QTest::newRow("Carlito fonts") << QStringList { QStringLiteral("fonts-crosextra-carlito") };
    QTest::newRow("Caladea fonts") << QStringList { QStringLiteral("fonts-crosextra-caladea") };
}

void PackageTest::declaresWhatTheProgramNeeds()
{
    QFETCH(QStringList, alternatives);
    const QString depends = field(QStringLiteral("Depends"));
    QVERIFY2(dependencyGroups(depends).contains(alternatives), qPrintable(depends));
}

void PackageTest::declaresEachDependencyOnce()
{
    const QString depends = field(QStringLiteral("Depends"));
    std::set<QString> named;
    for (const QStringList &group : dependencyGroups(depends)) {
        for (const QString &package : group)
            QVERIFY2(named.insert(package).second,
                qPrintable(package + QStringLiteral(" twice in ") + depends));
    }
}

void PackageTest::installsTheProgramBesideItsFiles()
{
    const Run fields = run(QStringLiteral("dpkg-deb"),
        { QStringLiteral("-f"), mPackage, QStringLiteral("Package"), QStringLiteral("Section"),
            QStringLiteral("Architecture") });
    const Run architecture
        = run(QStringLiteral("dpkg"), { QStringLiteral("--print-architecture") });
    QCOMPARE(fields.output,
        QStringLiteral("Package: scrivane\nSection: text\nArchitecture: %1")
            .arg(architecture.output));

    const QString folder = mUnpacked + QStringLiteral("/usr/lib/scrivane");
    const QFileInfo program(folder + QStringLiteral("/scrivane"));
    QVERIFY(program.isFile() && program.isExecutable());
    QCOMPARE(readFile(folder + QStringLiteral("/HAND-M.CUR")),
        readFile(programBuildDir + QStringLiteral("/HAND-M.CUR")));
    QCOMPARE(readFile(folder + QStringLiteral("/x/o.cjs")),
        readFile(sourceDir + QStringLiteral("/resources/skin/x/o.cjs")));
    QVERIFY(!readFile(folder + QStringLiteral("/x/o.cjs")).isEmpty());
}

// Only the office's program folder, where the UNO runtime's private libraries lie: a
// folder beside the program would be searched for Qt first.
void PackageTest::runPathHoldsOnlyTheOffice()
{
    const QString program = mUnpacked + QStringLiteral("/usr/lib/scrivane/scrivane");
    const Run dynamic = run(QStringLiteral("readelf"), { QStringLiteral("-d"), program });
    QCOMPARE(dynamic.exitCode, 0);
    static const QRegularExpression searchPath(QStringLiteral("\\((?:RUN|R)PATH\\).*\\[(.*)\\]"));
    QStringList paths;
    for (const auto &match : searchPath.globalMatch(dynamic.output))
        paths.append(match.captured(1));
    QCOMPARE(paths, QStringList { QStringLiteral(SCRIVANE_OFFICE_PROGRAM_DIR) });

    const Run libraries = run(QStringLiteral("ldd"), { program });
    QCOMPARE(libraries.exitCode, 0);
    QVERIFY2(!libraries.output.contains(QStringLiteral("not found")), qPrintable(libraries.output));
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

// AppStream metainfo that appstreamcli finds valid, for the desktop entry, with a
// screenshot and the package's release.
void PackageTest::describesItselfToSoftwareCentres()
{
    const QString metainfo = QString::fromUtf8(readFile(
        mUnpacked + QStringLiteral("/usr/share/metainfo/example.tarnwick.scrivane.metainfo.xml")));
    QVERIFY2(metainfo.contains(
                 QStringLiteral("<launchable type=\"desktop-id\">scrivane.desktop</launchable>")),
        qPrintable(metainfo));
    QVERIFY(
        QFileInfo::exists(mUnpacked + QStringLiteral("/usr/share/applications/scrivane.desktop")));
    static const QRegularExpression screenshot(
        QStringLiteral("<screenshot type=\"default\">\\s*<caption>[^<]+</caption>\\s*"
                       "<image>https://[^<]+\\.png</image>"));
    QVERIFY2(screenshot.match(metainfo).hasMatch(), qPrintable(metainfo));
    static const QRegularExpression release(
        QStringLiteral("<release version=\"([^\"]+)\" date=\"(\\d{4}-\\d\\d-\\d\\d)\">"));
    const QRegularExpressionMatch released = release.match(metainfo);
    QVERIFY2(released.hasMatch(), qPrintable(metainfo));
    QCOMPARE(released.captured(1), field(QStringLiteral("Version")));
    const Run changelog = run(QStringLiteral("gzip"),
        { QStringLiteral("-dc"),
            mUnpacked + QStringLiteral("/usr/share/doc/scrivane/changelog.gz") },
        QProcess::SeparateChannels);
    static const QRegularExpression trailer(
        QStringLiteral("\\n -- [^\\n]*, (\\d\\d \\w{3} \\d{4}) "));
    const QDate dated = QLocale::c().toDate(
        trailer.match(changelog.output).captured(1), QStringLiteral("dd MMM yyyy"));
    QVERIFY2(dated.isValid(), qPrintable(changelog.output));
    QCOMPARE(released.captured(2), dated.toString(Qt::ISODate));

    if (QStandardPaths::findExecutable(QStringLiteral("appstreamcli")).isEmpty())
        QSKIP("appstreamcli is not installed (./dev installs it)");
    const Run validated = run(QStringLiteral("appstreamcli"),
        { QStringLiteral("validate"), QStringLiteral("--no-net"), QStringLiteral("--pedantic"),
            mUnpacked
                + QStringLiteral("/usr/share/metainfo/example.tarnwick.scrivane.metainfo.xml") });
    QVERIFY2(validated.exitCode == 0, qPrintable(validated.output));
}

// The user units start the memo service by the socket the command line looks for.
void PackageTest::offersTheServiceToSystemd()
{
    const QString units = mUnpacked + QStringLiteral("/usr/lib/systemd/user/");
    const QString socket = QString::fromUtf8(readFile(units + QStringLiteral("scrivane.socket")));
    QVERIFY2(socket.contains(QStringLiteral("\nListenStream=%t/scrivane.socket\n"))
            && socket.contains(QStringLiteral("\nSocketMode=0600\n")),
        qPrintable(socket));
    const QString service = QString::fromUtf8(readFile(units + QStringLiteral("scrivane.service")));
    QVERIFY2(service.contains(QStringLiteral("\nExecStart=scrivane --service run\n")),
        qPrintable(service));
}

void PackageTest::carriesCopyrightAndChangelog()
{
    const QString doc = mUnpacked + QStringLiteral("/usr/share/doc/scrivane/");
    QVERIFY(readFile(doc + QStringLiteral("copyright"))
                .startsWith("Format: https://www.debian.org/doc/packaging-manuals/"
                            "copyright-format/1.0/\n"));

    const Run changelog = run(QStringLiteral("gzip"),
        { QStringLiteral("-dc"), doc + QStringLiteral("changelog.gz") },
        QProcess::SeparateChannels);
    QCOMPARE(changelog.exitCode, 0);
    QCOMPARE(changelog.output.section(QLatin1Char(' '), 0, 1),
        QStringLiteral("scrivane (%1)").arg(field(QStringLiteral("Version"))));
}

// The page is installed gzipped, renders without a warning and describes exactly the
// options the program's help lists.
void PackageTest::manualPageRendersEveryOptionOfTheHelp()
{
    const QString page = mUnpacked + QStringLiteral("/usr/share/man/man1/scrivane.1.gz");
    const Run source
        = run(QStringLiteral("gzip"), { QStringLiteral("-dc"), page }, QProcess::SeparateChannels);
    QCOMPARE(source.exitCode, 0);
    const Run help = run(programBuildDir + QStringLiteral("/scrivane"),
        { QStringLiteral("--help") }, QProcess::SeparateChannels);
    QCOMPARE(help.exitCode, 0);

    const QStringList listed = helpOptions(help.output);
    QVERIFY2(listed.size() > 2, qPrintable(help.output));
    QCOMPARE(manualPageOptions(source.output), listed);

    if (QStandardPaths::findExecutable(QStringLiteral("man")).isEmpty())
        QSKIP("man is not installed: install man-db to see the page rendered");
    QProcess man;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
    environment.insert(QStringLiteral("MANPAGER"), QStringLiteral("cat"));
    man.setProcessEnvironment(environment);
    man.start(QStringLiteral("man"), { QStringLiteral("--warnings"), QStringLiteral("-l"), page });
    QVERIFY(man.waitForFinished(-1));
    const QString warnings = QString::fromLocal8Bit(man.readAllStandardError());
    QVERIFY2(man.exitCode() == 0 && warnings.isEmpty(), qPrintable(warnings));
    QVERIFY(man.readAllStandardOutput().contains("EXIT STATUS"));
}

void PackageTest::lintianFindsNoError()
{
    if (QStandardPaths::findExecutable(QStringLiteral("lintian")).isEmpty())
        QSKIP("lintian is not installed (./dev installs it)");
    const Run lintian = run(QStringLiteral("lintian"),
        { QStringLiteral("--tag-display-limit"), QStringLiteral("0"), mPackage },
        QProcess::SeparateChannels);
    if (!lintian.output.isEmpty())
        qInfo().noquote() << lintian.output;
    QVERIFY2(lintian.exitCode == 0 && !lintian.output.contains(QStringLiteral("\nE: "))
            && !lintian.output.startsWith(QStringLiteral("E: ")),
        qPrintable(lintian.output));
}

QTEST_GUILESS_MAIN(PackageTest)
#include "tst_package.moc"

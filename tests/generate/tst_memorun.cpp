#include "MemoRun.h"
#include "MemoStyle.h"
#include "Picture.h"
#include "ScriptedUserInterface.h"
#include "ScriptedWordProcessor.h"
#include "TemplateCatalogue.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>

namespace {
// Stands in for the two windows and writes down what the run does to them.
class RecordingHost : public MemoRunHost
{
public:
    int style = 1;
    QDate date { 2026, 12, 8 };
    QMap<QString, QString> texts {
        { "txtOrgName", "Tarnwick" },
        { "txtTo", "Vozizidi" },
        { "txtCC", "Tobin Varden" },
        { "txtFrom", "Ewan Varden" },
        { "txtRe", "Memo To Cat" },
        { "txtMsg", "No more birds." },
    };
    QStringList events;
    QImage pagePicture, displayPicture;
    QString wordFile;
    bool busy = false;

    int styleButtonCount() const override { return 5; }
    bool isStyleButtonSet(int index) const override { return index == style; }
    QDate eventDate() const override { return date; }
    QString text(const MemoField &field) const override { return texts.value(field.control); }
    void setBusyPointer(bool on) override
    {
        busy = on;
        events << (on ? "hourglass" : "default pointer");
    }
    void clearPages() override { events << "clear pages"; }
    void addPage(const QString &caption) override { events << "add page " + caption; }
    void setPagePicture(int index, const QImage &picture) override
    {
        QCOMPARE(index, 0);
        pagePicture = picture;
    }
    void setDisplayPicture(const QImage &picture) override { displayPicture = picture; }
    void setWordFile(const QString &path) override
    {
        wordFile = path;
        events << "word file";
    }
    void showPreview() override { events << "show preview"; }
    void setPagesNote(const QString &note) override { pagesNote = note; }
    void showProgress(const QString &doing) override { progress << doing; }
    QString pagesNote;
    QStringList progress;
    void hideEntry() override { events << "hide entry"; }
};

QImage samplePage()
{
    QImage page(120, 160, QImage::Format_RGB32);
    page.fill(Qt::white);
    page.setDevicePixelRatio(2);
    return page;
}

QString temp(const QString &name)
{
    return QDir(qEnvironmentVariable("TEMP")).filePath(name);
}

// The run's own working folders under the temporary folder.
QStringList runFolders()
{
    return QDir(qEnvironmentVariable("TEMP")).entryList({ "scrivane-window-*" }, QDir::Dirs);
}
} // namespace

class MemoRunTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QDir temporary(qEnvironmentVariable("TEMP"));
        temporary.removeRecursively();
        QDir().mkpath(temporary.path());
        mWord = ScriptedWordProcessor();
        mWord.picture = samplePage();
        mUi = ScriptedUserInterface();
        QGuiApplication::clipboard()->setText(QStringLiteral("the user's own words"));
    }

    void everyStyleFillsItsBookmarksInOrder_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QStringList>("writes");
        const QStringList common = { "bkTo=Vozizidi", "bkFrom=Ewan Varden", "bkRe=Memo To Cat",
            "bkDate= Tuesday, December 8th, 2026  ", "bkMsg=No more birds." };
        QTest::newRow("Professional")
            << 0 << common + QStringList { "bkCC=Tobin Varden", "bkOrgName= Tarnwick" };
        QTest::newRow("Contemporary") << 1 << common + QStringList { "bkCC=Tobin Varden" };
        QTest::newRow("Elegant") << 2 << common + QStringList { "bkCC=Tobin Varden" };
        QTest::newRow("Simple") << 3
                                << common
                + QStringList { "bkCC=Tobin Varden", "bkOrgName= Tarnwick" };
        QTest::newRow("Blue Sky") << 4 << common;
    }

    void everyStyleFillsItsBookmarksInOrder()
    {
        QFETCH(int, style);
        QFETCH(QStringList, writes);
        RecordingHost host;
        host.style = style;
        QByteArray opened;
        mWord.onOpen = [&](const QString &path) {
            if (path.endsWith("template.dot")) {
                QFile file(path);
                QVERIFY(file.open(QIODevice::ReadOnly));
                opened = file.readAll();
            }
        };
        MemoRun run(host, mWord, mUi);
        run.makeMemo();

        QVERIFY2(mUi.messages.isEmpty(), qPrintable(mUi.errorReports().join("\n---\n")));
        QCOMPARE(opened, loadResData(kMemoStyles[style].resourceId));

        // The template lies in a folder of the run's own.
        QVERIFY(QRegularExpression("^open " + QRegularExpression::escape(temp("scrivane-window-"))
            + "[0-9a-f]{16}-\\w{6}/template.dot read-only$")
                    .match(mWord.calls.value(1))
                    .hasMatch());
        QStringList expected = { "create", mWord.calls.value(1) };
        for (const QString &write : writes)
            expected << "setBookmarkText " + write;
        expected << "saveAs " + host.wordFile << "pageCount"
                 << "setDisplayAlerts false"
                 << "close"
                 << "quit"
                 << "create"
                 << "open " + host.wordFile << "copyAsPicture"
                 << "closeActiveDocumentWithoutSaving"
                 << "quit";
        QCOMPARE(mWord.calls, expected);
        QCOMPARE(mWord.sessionsAlive, 0);

        QVERIFY(QRegularExpression("^kelmar[1-9]{8}\\.doc$")
                    .match(QFileInfo(host.wordFile).fileName())
                    .hasMatch());
        QCOMPARE(QFileInfo(host.wordFile).path(), QFileInfo(temp("x")).path());
        QVERIFY(QFile::exists(host.wordFile));
        QCOMPARE(runFolders(), QStringList());

        QCOMPARE(host.events,
            QStringList({ "hourglass", "clear pages",
                "add page " + QString::fromLatin1(kMemoStyles[style].pageCaption),
                "default pointer", "word file", "show preview", "hide entry" }));
        QCOMPARE(host.pagePicture.size(), QSize(120, 160));
        QCOMPARE(host.displayPicture.devicePixelRatio(), 2.0);
        QVERIFY(!run.busy());
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("the user's own words"));
    }

    void elegantPageIsCaptionedAsItsTemplate()
    {
        RecordingHost host;
        host.style = 2;
        MemoRun(host, mWord, mUi).makeMemo();
        QVERIFY(host.events.contains("add page ElegantMemo.dot"));
    }

    void withNoStyleSetTheProfessionalTemplateIsUsed()
    {
        RecordingHost host;
        host.style = -1;
        MemoRun(host, mWord, mUi).makeMemo();
        QVERIFY(mWord.calls.contains("setBookmarkText bkOrgName= Tarnwick"));
        QVERIFY(host.events.contains("add page ProfessionalMemo.dot"));
    }

    void organisationOfOnlySpacesGetsTheStandIn()
    {
        RecordingHost host;
        host.style = 0;
        host.texts["txtOrgName"] = "   ";
        MemoRun(host, mWord, mUi).makeMemo();
        QVERIFY(mWord.calls.contains("setBookmarkText bkOrgName= Your Organisation's Name"));
    }

    void multiLineTextsGoInAsTyped()
    {
        RecordingHost host;
        host.texts["txtMsg"] = "First line.\n\nThird line.";
        MemoRun(host, mWord, mUi).makeMemo();
        QVERIFY(mWord.calls.contains("setBookmarkText bkMsg=First line.\n\nThird line."));
    }

    void aTakenNameIsDrawnAgainWhole()
    {
        RecordingHost first;
        MemoRun firstRun(first, mWord, mUi);
        firstRun.timeOfDay = [] { return 43200.5f; };
        firstRun.makeMemo();
        const QString taken = first.wordFile;
        QVERIFY(QFile::exists(taken));

        // A fresh run at the same instant draws the same name first.
        RecordingHost second;
        MemoRun secondRun(second, mWord, mUi);
        secondRun.timeOfDay = [] { return 43200.5f; };
        secondRun.makeMemo();
        QVERIFY(second.wordFile != taken);
        QVERIFY(QRegularExpression("kelmar[1-9]{8}\\.doc$").match(second.wordFile).hasMatch());
        QCOMPARE(mWord.calls.filter("saveAs " + taken).size(), 1);
    }

    void aDanglingLinkTakesTheName()
    {
        RecordingHost first;
        MemoRun firstRun(first, mWord, mUi);
        firstRun.timeOfDay = [] { return 100.0f; };
        firstRun.makeMemo();
        const QString name = first.wordFile;
        QVERIFY(QFile::remove(name));
        QVERIFY(QFile::link(temp("elsewhere/victim.doc"), name));

        RecordingHost second;
        MemoRun secondRun(second, mWord, mUi);
        secondRun.timeOfDay = [] { return 100.0f; };
        secondRun.makeMemo();
        QVERIFY(second.wordFile != name);
    }

    void aSecondClickDuringARunDoesNothing()
    {
        RecordingHost host;
        MemoRun run(host, mWord, mUi);
        int reentered = 0;
        mWord.onCreate = [&] {
            if (reentered++ == 0)
                run.makeMemo();
        };
        run.makeMemo();
        QCOMPARE(mWord.calls.count("create"), 2);
        QCOMPARE(mWord.calls.filter("saveAs").size(), 1);
        QVERIFY(!run.busy());
    }

    void oneFaultIsOneMessage_data()
    {
        QTest::addColumn<QStringList>("failing");
        QTest::addColumn<QStringList>("losing");
        QTest::addColumn<bool>("tempIsAFile");
        QTest::addColumn<QString>("report");
        QTest::addColumn<bool>("preview");
        const QString run = "Form1.PushButton6_Click at line ";
        const QString render = "Form1.SaveDocAsJPG at line ";
        QTest::newRow("no word processor")
            << QStringList { "create" } << QStringList {} << false << run + "106" << false;
        QTest::newRow("TEMP is a file")
            << QStringList {} << QStringList {} << true << run + "136" << false;
        QTest::newRow("template not opened")
            << QStringList { "open" } << QStringList {} << false << run + "140" << false;
        QTest::newRow("word processor lost at a bookmark")
            << QStringList {} << QStringList { "bkRe" } << false << run + "152" << false;
        QTest::newRow("memo not saved")
            << QStringList { "saveAs" } << QStringList {} << false << run + "182" << false;
        QTest::newRow("no picture") << QStringList { "copyAsPicture" } << QStringList {} << false
                                    << render + "120" << false;
        QTest::newRow("word processor lost at the picture")
            << QStringList {} << QStringList { "copyAsPicture" } << false << render + "120"
            << false;
        QTest::newRow("word processor lost after the save")
            << QStringList {} << QStringList { "close" } << false << run + "186" << true;
    }

    void oneFaultIsOneMessage()
    {
        QFETCH(QStringList, failing);
        QFETCH(QStringList, losing);
        QFETCH(bool, tempIsAFile);
        QFETCH(QString, report);
        QFETCH(bool, preview);
        mWord.failing = QSet<QString>(failing.begin(), failing.end());
        mWord.losing = QSet<QString>(losing.begin(), losing.end());
        const QByteArray temporary = qgetenv("TEMP");
        const auto restore = qScopeGuard([&] { qputenv("TEMP", temporary); });
        if (tempIsAFile) {
            QFile file(temp("not a folder"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            qputenv("TEMP", QFile::encodeName(file.fileName()));
        }
        RecordingHost host;
        MemoRun run(host, mWord, mUi);
        run.makeMemo();

        const QStringList reports = mUi.errorReports();
        QCOMPARE(reports.size(), 1);
        QVERIFY2(reports[0].contains("in Scrivane2021/08/31." + report + "\r\r"),
            qPrintable(reports[0]));
        QCOMPARE(host.events.contains("show preview"), preview);
        QCOMPARE(host.events.contains("hide entry"), preview);
        QCOMPARE(host.events.last(), preview ? "hide entry" : "default pointer");
        QVERIFY(!run.busy());
        QCOMPARE(mWord.sessionsAlive, 0);
        // Nothing of the run is left but, with a preview, the memo it shows.
        QStringList left = QDir(QFile::decodeName(temporary)).entryList(QDir::Files);
        left.removeAll("not a folder");
        QCOMPARE(
            left, preview ? QStringList { QFileInfo(host.wordFile).fileName() } : QStringList {});
    }

    // A long memo is drawn by its first pages, and a far longer one not at all: the
    // preview says which in one note, and gets the memo either way.
    void aLongMemoIsShownByItsFirstPagesOrNotDrawn_data()
    {
        QTest::addColumn<int>("pages");
        QTest::addColumn<QString>("drawing");
        QTest::addColumn<QString>("note");
        QTest::newRow("one page") << 1 << "Drawing the page..."
                                  << "";
        QTest::newRow("a few") << 3 << "Drawing 3 pages..."
                               << "";
        QTest::newRow("more than the picture holds")
            << 40 << "Drawing the first 8 of 40 pages..."
            << "The preview shows the first 8 of the memo's 40 pages; the Word file holds all 40.";
        QTest::newRow("too long to draw")
            << 606 << ""
            << "This memo has 606 pages, too many to preview. Its Word file holds them all: "
               "\"Save Results To Word File\" keeps it.";
    }

    void aLongMemoIsShownByItsFirstPagesOrNotDrawn()
    {
        QFETCH(int, pages);
        QFETCH(QString, drawing);
        QFETCH(QString, note);
        mWord.pages = pages;
        mWord.picture.setText("pages", QString::number(pages));
        RecordingHost host;
        MemoRun(host, mWord, mUi).makeMemo();

        QVERIFY(mUi.messages.isEmpty());
        QCOMPARE(host.pagesNote, note);
        QCOMPARE(host.progress.filter("Drawing"),
            drawing.isEmpty() ? QStringList() : QStringList { drawing });
        QCOMPARE(mWord.calls.count("create"), drawing.isEmpty() ? 1 : 2);
        QCOMPARE(host.displayPicture.isNull(), drawing.isEmpty());
        QVERIFY(host.events.contains("show preview"));
        QVERIFY(QFile::exists(host.wordFile));
        QCOMPARE(runFolders(), QStringList());
    }

    void aFailedBookmarkKeepsTheRestOfTheMemo()
    {
        mWord.failing = { "bkCC" };
        RecordingHost host;
        MemoRun(host, mWord, mUi).makeMemo();
        QCOMPARE(mUi.errorReports().size(), 1);
        QVERIFY(mUi.errorReports()[0].contains("PushButton6_Click at line 160"));
        QVERIFY(QFile::exists(host.wordFile));
        QVERIFY(!host.pagePicture.isNull());
    }

    void aLeftOverTemplateIsReplacedNotUsedOrFollowed()
    {
        QVERIFY(QDir().mkpath(temp("elsewhere")));
        QFile victim(temp("elsewhere/victim.txt"));
        QVERIFY(victim.open(QIODevice::WriteOnly));
        victim.write("not a template");
        victim.close();
        QVERIFY(QFile::link(victim.fileName(), temp("template.dot")));

        RecordingHost host;
        host.style = 3;
        QByteArray opened;
        mWord.onOpen = [&](const QString &path) {
            QFile file(path);
            if (path.endsWith("template.dot") && file.open(QIODevice::ReadOnly))
                opened = file.readAll();
        };
        MemoRun(host, mWord, mUi).makeMemo();
        QCOMPARE(opened, loadResData(kMemoStyles[3].resourceId));
        QVERIFY(victim.open(QIODevice::ReadOnly));
        QCOMPARE(victim.readAll(), QByteArray("not a template"));
        QVERIFY(mUi.messages.isEmpty());
    }

private:
    ScriptedWordProcessor mWord;
    ScriptedUserInterface mUi;
};

QTEST_MAIN(MemoRunTest)
#include "tst_memorun.moc"

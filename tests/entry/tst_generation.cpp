#include "Catdoc.h"
#include "CommandLine.h"
#include "Form1.h"
#include "Form1Controls.h"
#include "Form2.h"
#include "LibreOfficeProcessor.h"
#include "PictureBox.h"
#include "ScriptedUserInterface.h"
#include "SettingsStore.h"

#include "TestOffice.h"

#include <QDateEdit>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTimer>

#include <array>
#include <memory>
#include <optional>

#include <csignal>

namespace {
// Passes every call on; when the run reaches the named operation, runs `during` as soon
// as the run waits for the office (the window's thread takes events then), as a user's
// keys and clicks reach the window in the middle of that operation.
class InterruptedSession : public WordSession
{
public:
    InterruptedSession(std::unique_ptr<WordSession> inner, QString at, std::function<void()> during)
        : mInner(std::move(inner))
        , mAt(std::move(at))
        , mDuring(std::move(during))
    { }
    void open(const QString &path, bool readOnly) override
    {
        reached(QStringLiteral("open"));
        // The memo itself, not the template: this is the picture's session.
        mPicture = !readOnly;
        mInner->open(path, readOnly);
    }
    void setBookmarkText(const QString &bookmark, const QString &text) override
    {
        reached(QStringLiteral("setBookmarkText ") + bookmark);
        mInner->setBookmarkText(bookmark, text);
    }
    void saveAs(const QString &path) override
    {
        reached(QStringLiteral("saveAs"));
        mInner->saveAs(path);
    }
    void setDisplayAlerts(bool on) override { mInner->setDisplayAlerts(on); }
    void close() override { mInner->close(); }
    QImage copyAsPicture() override
    {
        reached(QStringLiteral("copyAsPicture"));
        return mInner->copyAsPicture();
    }
    void closeActiveDocumentWithoutSaving() override { mInner->closeActiveDocumentWithoutSaving(); }
    void quit() override
    {
        mInner->quit();
        // Past the run's last wait for an office: a click then waits for the thread.
        if (mPicture)
            reached(QStringLiteral("quit the picture's session"));
    }
    bool isRunning() const override { return mInner->isRunning(); }
    int pageCount() override { return mInner->pageCount(); }
    void abort() override { mInner->abort(); }

private:
    void reached(const QString &operation)
    {
        if (operation == mAt)
            QTimer::singleShot(0, mDuring);
    }

    std::unique_ptr<WordSession> mInner;
    QString mAt;
    std::function<void()> mDuring;
    bool mPicture = false;
};

class InterruptedProcessor : public WordProcessor
{
public:
    InterruptedProcessor(WordProcessor &inner, QString at, std::function<void()> during)
        : mAt(std::move(at))
        , mInner(inner)
        , mDuring(std::move(during))
    { }
    std::unique_ptr<WordSession> create() override
    {
        if (mAt == QLatin1String("create"))
            QTimer::singleShot(0, mDuring);
        auto session = mInner.create();
        offices << dynamic_cast<OfficeSession &>(*session).processId();
        return std::make_unique<InterruptedSession>(std::move(session), mAt, mDuring);
    }
    QList<qint64> offices;
    QString mAt;

private:
    WordProcessor &mInner;
    std::function<void()> mDuring;
};

bool isRunning(qint64 process)
{
    return ::kill(pid_t(process), 0) == 0;
}

// What a run leaves in the temporary folder.
QStringList runFiles()
{
    return QDir(qEnvironmentVariable("TEMP"))
        .entryList({ QStringLiteral("scrivane-window-*"), QStringLiteral("kelmar*") },
            QDir::AllEntries | QDir::Hidden);
}

// A message of that many lines, each "Line 00001: ...".
QString linesOfMessage(int count)
{
    QStringList lines;
    for (int line = 0; line < count; ++line)
        lines << QStringLiteral("Line %1: the parcels for the second floor go to the loading bay.")
                     .arg(line, 5, 10, QLatin1Char('0'));
    return lines.join(QLatin1Char('\n'));
}

// Office processes of this test's own profiles.
QList<qint64> ownOfficeProcesses()
{
    return TestOffice::officesWithProfilesIn(qgetenv("XDG_CACHE_HOME"));
}

// The share of pixels that are clearly not paper.
double inkShare(const QImage &picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    qint64 ink = 0;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) {
            if (qGray(image.pixel(x, y)) < 160)
                ++ink;
        }
    }
    return static_cast<double>(ink) / (image.width() / 2.0 * image.height() / 2.0);
}
} // namespace

// The whole run with the real word processor, as a user starts it from the window,
// and the command line writing the same memo.
class GenerationTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY2(QFile::exists(QStringLiteral("/usr/bin/catdoc")),
            "catdoc is needed: apt-get install catdoc");
    }

    void init()
    {
        mTemporary.emplace();
        mStore.emplace(mTemporary->filePath(QStringLiteral("Tarnwick.conf")));
        mUi = ScriptedUserInterface();
    }

    void cleanup() { QCOMPARE(ownOfficeProcesses(), QList<qint64>()); }

    void everyStyleMakesItsMemo_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QStringList>("absent");
        const QStringList common = { "Vozizidi", "Second Floor", "Zoë Ångström", "Memo To Cat",
            "Tuesday, December 8th, 2026", "First paragraph.", "Second paragraph." };
        QTest::newRow("Professional")
            << 0 << common + QStringList { "Tobin Varden", "Tarnwick & Söhne" } << QStringList {};
        QTest::newRow("Contemporary")
            << 1 << common + QStringList { "Tobin Varden" } << QStringList { "Tarnwick & Söhne" };
        QTest::newRow("Elegant") << 2 << common + QStringList { "Tobin Varden" }
                                 << QStringList { "Tarnwick & Söhne" };
        QTest::newRow("Simple") << 3 << common + QStringList { "Tobin Varden", "Tarnwick & Söhne" }
                                << QStringList {};
        QTest::newRow("Blue Sky") << 4 << common
                                  << QStringList { "Tobin Varden", "Tarnwick & Söhne" };
    }

    void everyStyleMakesItsMemo()
    {
        QFETCH(int, style);
        QFETCH(QStringList, present);
        QFETCH(QStringList, absent);

        LibreOfficeProcessor word;
        Form1 form(mUi, *mStore, word);
        form.Form_Load();
        form.show();
        fill(form, style);
        controls(form).PushButton6->click();

        QVERIFY2(
            mUi.messages.isEmpty(), qPrintable(mUi.errorReports().join(QStringLiteral("\n---\n"))));
        Form2 &preview = form.form2();
        QVERIFY(preview.isVisible());
        QVERIFY(!form.isVisible());
        QCOMPARE(form.pointer().setting(), MousePointer::Default);

        const QString text = catdoc(preview.mWordFile);
        for (const QString &value : present)
            QVERIFY2(text.contains(value),
                qPrintable(value + QStringLiteral(" missing from:\n") + text));
        for (const QString &value : absent)
            QVERIFY2(!text.contains(value), qPrintable(value));
        QVERIFY2(!text.contains(QStringLiteral("[Click here")), qPrintable(text));

        // One picture of the whole page, the preview's unscaled copy: not blank, upright
        // like the page.
        const QImage picture
            = preview.findChild<PictureBox *>(QStringLiteral("Zoom_Ori"))->picture();
        QVERIFY(!picture.isNull());
        QCOMPARE(picture.devicePixelRatio(), 2.0);
        const double aspect = static_cast<double>(picture.height()) / picture.width();
        QVERIFY2(aspect > 1.3 && aspect < 1.8, qPrintable(QString::number(aspect)));
        QVERIFY(inkShare(picture) > 0.005);

        QVERIFY(!QFile::exists(
            QDir(qEnvironmentVariable("TEMP")).filePath(QStringLiteral("temp.bmp"))));
        QVERIFY(!QFile::exists(
            QDir(qEnvironmentVariable("TEMP")).filePath(QStringLiteral("template.dot"))));
        QFile::remove(preview.mWordFile);
    }

    void theCommandLineWritesWhatTheWindowWrites_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("name");
        QTest::newRow("Professional") << 0 << QStringLiteral("professional");
        QTest::newRow("Blue Sky") << 4 << QStringLiteral("blue-sky");
    }

    void theCommandLineWritesWhatTheWindowWrites()
    {
        QFETCH(int, style);
        QFETCH(QString, name);
        LibreOfficeProcessor word;
        QString fromWindow;
        {
            Form1 form(mUi, *mStore, word);
            form.Form_Load();
            form.show();
            fill(form, style);
            controls(form).PushButton6->click();
            fromWindow = catdoc(form.form2().mWordFile);
            QFile::remove(form.form2().mWordFile);
        }
        // The window's fields are in the settings now; the command line starts from them.
        const QString out = mTemporary->filePath(QStringLiteral("memo.doc"));
        QString output, errors;
        QTextStream outputStream(&output), errorStream(&errors);
        QCOMPARE(CommandLine::run({ QStringLiteral("scrivane"), QStringLiteral("--generate"),
                                      QStringLiteral("--out"), out, QStringLiteral("--style"), name,
                                      QStringLiteral("--date"), QStringLiteral("2026-12-08") },
                     word, *mStore, outputStream, errorStream),
            0);
        QCOMPARE(catdoc(out), fromWindow);
        QVERIFY(mUi.messages.isEmpty());
    }

    void aBatchWritesEveryGoodMemoThroughOneOffice()
    {
        const QString folder = mTemporary->filePath(QStringLiteral("memos"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/taken.doc")));
        QFile batch(mTemporary->filePath(QStringLiteral("memos.json")));
        QVERIFY(batch.open(QIODevice::WriteOnly));
        // The second memo's name is a folder already: it cannot be written.
        batch.write(R"([{"to": "Ada", "style": "simple"},
                        {"to": "Bea", "file": "taken.doc"},
                        {"to": "Cyd", "style": "elegant", "message": "One.\nTwo."}])");
        batch.close();
        LibreOfficeProcessor word;
        QString output, errors;
        QTextStream outputStream(&output), errorStream(&errors);
        QCOMPARE(CommandLine::run(
                     { QStringLiteral("scrivane"), QStringLiteral("--generate"),
                         QStringLiteral("--batch"), batch.fileName(), QStringLiteral("--out-dir"),
                         folder, QStringLiteral("--jobs"), QStringLiteral("1") },
                     word, *mStore, outputStream, errorStream),
            1);
        QVERIFY2(errors.contains(QStringLiteral("2/3 done: taken.doc failed (memo 2)")),
            qPrintable(errors));
        QVERIFY2(
            errors.contains(QStringLiteral("2 of 3 memos written, 1 failed")), qPrintable(errors));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
            QStringList({ QStringLiteral("memo-001.doc"), QStringLiteral("memo-003.doc") }));
        QVERIFY(catdoc(folder + QStringLiteral("/memo-001.doc")).contains(QStringLiteral("Ada")));
        const QString third = catdoc(folder + QStringLiteral("/memo-003.doc"));
        QVERIFY2(third.contains(QStringLiteral("Cyd")) && third.contains(QStringLiteral("Two.")),
            qPrintable(third));
    }

    void theProgramItselfTakesEveryOption()
    {
        const QString out = mTemporary->filePath(QStringLiteral("memo.doc"));
        const QString picture = mTemporary->filePath(QStringLiteral("memo.png"));
        QProcess program;
        program.start(QStringLiteral(SCRIVANE_PROGRAM),
            { QStringLiteral("--generate"), QStringLiteral("--out"), out, QStringLiteral("--style"),
                QStringLiteral("elegant"), QStringLiteral("--to"), QStringLiteral("Ada Lovelace"),
                QStringLiteral("--date"), QStringLiteral("2027-01-15"), QStringLiteral("--picture"),
                picture });
        QVERIFY(program.waitForFinished(120000));
        QCOMPARE(program.exitCode(), 0);
        const QString text = catdoc(out);
        QVERIFY2(text.contains(QStringLiteral("interoffice memorandum")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("Ada Lovelace")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("Friday, January 15th, 2027")), qPrintable(text));
        QImage written(picture);
        QVERIFY(!written.isNull());
        QVERIFY(written.height() > written.width());

        program.start(QStringLiteral(SCRIVANE_PROGRAM),
            { QStringLiteral("--generate"), QStringLiteral("--style"), QStringLiteral("baroque"),
                QStringLiteral("--out"), out });
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitCode(), 2);
        QVERIFY(program.readAllStandardError().contains("unknown style \"baroque\""));
    }

    // Cancel, pressed at each step of a run, with keys and clicks that the window must
    // not take meanwhile: the run stops with no word, the office it was waiting for is
    // ended, its files are gone, the window is as it was, and the next run is right.
    void cancelAtEachStepLeavesNothing_data()
    {
        QTest::addColumn<QString>("at");
        QTest::addColumn<bool>("ended"); // an office was at work, and is ended
        QTest::newRow("before the office is taken") << QStringLiteral("create") << false;
        QTest::newRow("while filling") << QStringLiteral("setBookmarkText bkMsg") << true;
        QTest::newRow("while saving") << QStringLiteral("saveAs") << true;
        QTest::newRow("while drawing") << QStringLiteral("copyAsPicture") << true;
        QTest::newRow("drawn, before the preview")
            << QStringLiteral("quit the picture's session") << false;
    }

    void cancelAtEachStepLeavesNothing()
    {
        QFETCH(QString, at);
        QFETCH(bool, ended);
        LibreOfficeProcessor office;
        Form1 *window = nullptr;
        InterruptedProcessor word(office, at, [&] {
            QTest::keyClicks(controls(*window).txtTo, QStringLiteral("Zed"));
            controls(*window).Option1[4]->click();
            controls(*window).PushButton2->click();
            window->findChild<QPushButton *>(QStringLiteral("runCancel"))->click();
        });
        const auto form = std::make_unique<Form1>(mUi, *mStore, word);
        window = form.get();
        form->Form_Load();
        form->show();
        fill(*form, 2);
        controls(*form).txtMsg->setPlainText(linesOfMessage(2000));
        controls(*form).PushButton6->click();

        QVERIFY2(mUi.messages.isEmpty(), qPrintable(mUi.messages.value(0).text));
        QVERIFY(form->isVisible());
        QVERIFY(!form->form2().isVisible());
        QCOMPARE(form->pointer().setting(), MousePointer::Default);
        QVERIFY(!form->findChild<QWidget *>(QStringLiteral("runStrip"))->isVisible());
        QVERIFY(controls(*form).txtTo->isEnabled() && controls(*form).PushButton2->isEnabled());
        QCOMPARE(controls(*form).txtTo->toPlainText(), QStringLiteral("Vozizidi\nSecond Floor"));
        QCOMPARE(form->selectedStyle(), 2);
        QCOMPARE(controls(*form).txtCC->text(), QStringLiteral("Tobin Varden"));
        QCOMPARE(runFiles(), QStringList());
        // The office a call was waiting for is ended; at most the spare is left.
        if (ended)
            QVERIFY(!isRunning(word.offices.last()));
        QVERIFY(ownOfficeProcesses().size() <= 1);

        word.mAt.clear();
        controls(*form).PushButton6->click();
        QVERIFY2(mUi.messages.isEmpty(), qPrintable(mUi.messages.value(0).text));
        QVERIFY(form->form2().isVisible());
        const QString text = catdoc(form->form2().mWordFile);
        QVERIFY2(text.contains(QStringLiteral("Vozizidi"))
                && text.contains(QStringLiteral("Line 01999")),
            qPrintable(text.left(300)));
        QFile::remove(form->form2().mWordFile);
    }

    // A message of 2 MB: the memo is made and can be saved, and the preview says how
    // much of it it shows, in one note; no error.
    void aTwoMegabyteMessageIsMadeAndSaved()
    {
        LibreOfficeProcessor word;
        Form1 form(mUi, *mStore, word);
        form.Form_Load();
        form.show();
        fill(form, 0);
        const QString message = linesOfMessage(30000);
        QVERIFY(message.size() > 2'000'000);
        controls(form).txtMsg->setPlainText(message);
        controls(form).PushButton6->click();

        QVERIFY2(mUi.messages.isEmpty(), qPrintable(mUi.messages.value(0).text));
        Form2 &preview = form.form2();
        QVERIFY(preview.isVisible());
        const auto *note = preview.findChild<QLabel *>(QStringLiteral("pagesNote"));
        QVERIFY2(note->isVisibleTo(&preview) && note->text().contains(QStringLiteral("pages")),
            qPrintable(note->text()));
        const QString saved = mTemporary->filePath(QStringLiteral("long memo.doc"));
        mUi.fileNames = QStringList { saved };
        preview.findChild<QPushButton *>(QStringLiteral("PushButton6"))->click();
        const QString text = catdoc(saved);
        QVERIFY2(text.contains(QStringLiteral("Line 00000:"))
                && text.contains(QStringLiteral("Line 29999: the parcels")),
            qPrintable(text.right(300)));
        QFile::remove(preview.mWordFile);
    }

    void closingDuringARunLeavesNothingBehind_data()
    {
        QTest::addColumn<QString>("closeAt");
        QTest::newRow("memo saved") << QStringLiteral("saveAs");
        QTest::newRow("memo open for its picture") << QStringLiteral("copyAsPicture");
    }

    void closingDuringARunLeavesNothingBehind()
    {
        QFETCH(QString, closeAt);
        const QString temporary = mTemporary->filePath(QStringLiteral("temp"));
        const QString cache = mTemporary->filePath(QStringLiteral("cache"));
        QVERIFY(QDir().mkpath(temporary) && QDir().mkpath(cache));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TEMP"), temporary);
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), cache);
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(SCRIVANE_CLOSE_DURING_RUN), { closeAt, mStore->fileName() });
        QVERIFY(program.waitForFinished(120000));
        QVERIFY2(program.exitCode() == 0, program.readAllStandardError().constData());
        const auto all = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;
        QCOMPARE(QDir(temporary).entryList(all), QStringList());
        // Nor the style pictures' folder beside the offices' profiles, nor the mark of
        // what the program made: the end that runs no destructor removed them.
        const QDir scrivane(cache + QStringLiteral("/Tarnwick/Scrivane"));
        QCOMPARE(QDir(scrivane.filePath(QStringLiteral("office")))
                     .entryList({ QStringLiteral("pictures-*") }, all),
            QStringList());
        QCOMPARE(QDir(scrivane.filePath(QStringLiteral("owners"))).entryList(all), QStringList());
        QCOMPARE(mStore->GetSetting(QStringLiteral("Option1")), QStringLiteral("3"));
    }

    // Two windows of one user, Start pressed together, each with its own office: neither
    // takes the other's template or picture.
    void twoWindowsStartedTogetherEachMakeTheirMemo()
    {
        const QString temporary = mTemporary->filePath(QStringLiteral("shared-temp"));
        QVERIFY(QDir().mkpath(temporary));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TEMP"), temporary);
        for (int round = 0; round < 2; ++round) {
            std::array<QProcess, 2> windows;
            for (QProcess &window : windows) {
                window.setProcessEnvironment(environment);
                window.start(QStringLiteral(SCRIVANE_CLOSE_DURING_RUN),
                    { QStringLiteral("copyAsPicture"), mStore->fileName() });
            }
            for (QProcess &window : windows) {
                QVERIFY(window.waitForFinished(180000));
                const QByteArray said = window.readAllStandardError();
                QVERIFY2(window.exitCode() == 0 && !said.contains("Application Error"),
                    said.constData());
            }
        }
        const QStringList left
            = QDir(temporary).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(u' ')));
        // The offices die with their windows; the system may take a moment to reap them.
        QTRY_COMPARE_WITH_TIMEOUT(ownOfficeProcesses(), QList<qint64>(), 10000);
    }

private:
    static void fill(Form1 &form, int style)
    {
        controls(form).Option1[style]->setChecked(true);
        controls(form).dtpEventDate->setDate(QDate(2026, 12, 8));
        controls(form).txtOrgName->setText(QStringLiteral("Tarnwick & Söhne"));
        controls(form).txtTo->setPlainText(QStringLiteral("Vozizidi\nSecond Floor"));
        controls(form).txtCC->setText(QStringLiteral("Tobin Varden"));
        controls(form).txtFrom->setPlainText(QStringLiteral("Zoë Ångström"));
        controls(form).txtRe->setPlainText(QStringLiteral("Memo To Cat"));
        controls(form).txtMsg->setPlainText(QStringLiteral("First paragraph.\nSecond paragraph."));
    }

    std::optional<QTemporaryDir> mTemporary;
    std::optional<SettingsStore> mStore;
    ScriptedUserInterface mUi;
};

QTEST_MAIN(GenerationTest)
#include "tst_generation.moc"

#include "CommandLine.h"
#include "CommandLineSetUp.h"
#include "ScriptedWordProcessor.h"
#include "SettingsStore.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <optional>

// The command line over a scripted word processor: what it asks the word
// processor to write, and how it answers bad input.
class CommandLineTest : public QObject, private CommandLineSetUp
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(renewSetUp());
        mOutput.clear();
        mErrors.clear();
    }

    void helpAndVersion()
    {
        QCOMPARE(run({ "--help" }), 0);
        QVERIFY(mOutput.contains("--generate --batch MEMOS.json --out-dir FOLDER"));
        QCOMPARE(run({ "--version" }), 0);
        QCOMPARE(mOutput.trimmed().section('\n', -1), QString("Scrivane " SCRIVANE_VERSION));
        QCOMPARE(mWord.calls, QStringList());
    }

    void requestedOnlyByItsOptions()
    {
        QVERIFY(!CommandLine::isRequested({ "scrivane" }));
        QVERIFY(!CommandLine::isRequested({ "scrivane", "-platform", "xcb" }));
        QVERIFY(CommandLine::isRequested({ "scrivane", "--generate" }));
        QVERIFY(CommandLine::isRequested({ "scrivane", "-h" }));
    }

    void badUsage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("complaint");
        QTest::newRow("no --generate")
            << QStringList { "--out", "x.doc" } << "options need --generate";
        QTest::newRow("nothing to write")
            << QStringList { "--generate" } << "either --out or --batch";
        QTest::newRow("both") << QStringList { "--generate", "--out", "x.doc", "--batch", "b.json",
            "--out-dir", "." } << "either --out or --batch";
        QTest::newRow("batch without folder")
            << QStringList { "--generate", "--batch", "b.json" } << "--batch needs --out-dir";
        QTest::newRow("picture in a batch") << QStringList { "--generate", "--batch", "b.json",
            "--out-dir", ".", "--picture", "p.png" }
                                            << "single memo";
        QTest::newRow("unknown option")
            << QStringList { "--generate", "--out", "x.doc", "--colour", "red" } << "colour";
        QTest::newRow("unknown style") << QStringList { "--generate", "--out", "x.doc", "--style",
            "rococo" } << "unknown style \"rococo\"";
        QTest::newRow("not a date") << QStringList { "--generate", "--out", "x.doc", "--date",
            "8/12/2026" } << "YYYY-MM-DD";
        QTest::newRow("no such day") << QStringList { "--generate", "--out", "x.doc", "--date",
            "2026-02-30" } << "YYYY-MM-DD";
        QTest::newRow("too early") << QStringList { "--generate", "--out", "x.doc", "--date",
            "1600-12-31" } << "outside 1601 to 9999";
        QTest::newRow("stray argument")
            << QStringList { "--generate", "--out", "x.doc", "extra" } << "unexpected argument";
        QTest::newRow("missing value") << QStringList { "--generate", "--out" } << "Missing value";
        QTest::newRow("unknown format") << QStringList { "--generate", "--out", "x.doc", "--format",
            "rtf" } << "unknown format \"rtf\"";
        QTest::newRow("no jobs") << QStringList { "--generate", "--out", "x.doc", "--jobs", "0" }
                                 << "--jobs needs a number from 1 to 8";
    }

    void badUsage()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, complaint);
        QCOMPARE(run(arguments), 2);
        QVERIFY2(mErrors.contains(complaint), qPrintable(mErrors));
        QVERIFY(mErrors.contains("--help"));
        QCOMPARE(mWord.sessionsCreated, 0);
    }

    // Checked before any memo is written or any office started: exit status 2 and why.
    void aTemplateThatCannotBeUsedStopsTheCommand_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("complaint");
        QTest::newRow("--template, a text file")
            << QStringList { "--out", "x.doc", "--template", "notes.dot" }
            << "notes.dot cannot be used as a template: it is no word processor "
               "document (give a .dot, .doc, .dotx, .docx, .ott or .odt file)";
        QTest::newRow("--template, a folder") << QStringList { "--out", "x.doc", "--template",
            "." } << "cannot be used as a template: it cannot be read: it is not a plain file";
        QTest::newRow("batch member, from the batch file's folder")
            << QStringList { "--batch", "memos.json", "--out-dir", "out" }
            << "memo 2: %1/missing.docx cannot be used as a template: it cannot be read: No such "
               "file or directory";
        QTest::newRow("the window's, no longer kept")
            << QStringList { "--out", "x.doc", "--style", "elegant" }
            << "the template chosen in the window for Elegant (/gone/mine.dot) is no longer kept; "
               "choose it again in the window, or give --template";
    }

    void aTemplateThatCannotBeUsedStopsTheCommand()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, complaint);
        QVERIFY(writeFile(mDir.filePath("notes.dot"), "bkTo bkMsg\n"));
        writeBatch(R"([{"to": "Ada"}, {"to": "Bea", "template": "missing.docx"}])");
        mStore->SaveSetting("Template2", "/gone/mine.dot");
        QVERIFY(QDir::setCurrent(mDir.path()));
        QCOMPARE(run(QStringList { "--generate" } + arguments), 2);
        QVERIFY2(
            mErrors.contains(QString(complaint).replace("%1", mDir.path())), qPrintable(mErrors));
        QCOMPARE(mWord.sessionsCreated, 0);
        QCOMPARE(QDir(mDir).entryList({ "*.doc" }), QStringList());
        QVERIFY(!QFileInfo::exists(mDir.filePath("out/memo-001.doc")));
    }

    void optionsSetEveryField()
    {
        const QString out = mDir.filePath("memo.doc");
        QCOMPARE(
            run({ "--generate", "--out", out, "--style", "Simple", "--company", "  Tarnwick",
                "--to", "Vozizidi\nSecond Floor", "--cc", "Tobin Varden", "--from", "Ewan Varden",
                "--re", "Memo To Cat", "--message", "No birds.", "--date", "2027-01-15" }),
            0);
        QCOMPARE(writes(),
            QStringList({ "bkTo=Vozizidi\nSecond Floor", "bkFrom=Ewan Varden", "bkRe=Memo To Cat",
                "bkDate= Friday, January 15th, 2027  ", "bkMsg=No birds.", "bkCC=Tobin Varden",
                "bkOrgName=   Tarnwick" }));
        QVERIFY(mWord.calls.contains("open " + templateOf("template-3.dot") + " read-only"));
        QVERIFY(QFile::exists(out));
        QCOMPARE(QDir(mDir).entryList(QDir::Files | QDir::Hidden), QStringList({ "memo.doc" }));
        QCOMPARE(mWord.sessionsAlive, 0);
    }

    void defaultsComeFromTheStoreWhichStaysUntouched()
    {
        mStore->SaveSetting("txtTo", "Stored To");
        mStore->SaveSetting("txtMsg", "Stored\nmessage");
        mStore->SaveSetting("dtpEventDate", "12/8/2026");
        mStore->SaveSetting("Option1", "4");
        const QByteArray before = fileBytes(mStore->fileName());
        QCOMPARE(run({ "--generate", "--out", mDir.filePath("memo.doc"), "--re", "Given" }), 0);
        QCOMPARE(writes(),
            QStringList({ "bkTo=Stored To", "bkFrom=", "bkRe=Given",
                "bkDate= Tuesday, December 8th, 2026  ", "bkMsg=Stored\nmessage" }));
        QCOMPARE(fileBytes(mStore->fileName()), before);
    }

    // What a command says beside writing: a name that names another format than the one
    // written, a value the style leaves out and where it came from, the nearest option to
    // a mistyped one, and a batch's memos counted as they are done.
    void theCommandLineSaysWhatItDoes_data()
    {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QByteArray>("batch"); // none: one memo, to the "--out" given
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("said");
        QTest::addColumn<QString>("unsaid");
        const QStringList none;
        const QStringList blueSky { "Option1=4" };
        QTest::newRow("--out names no format")
            << none << QByteArray() << QStringList { "--out", "memo.txt" }
            << "memo.txt: its name ends in .txt, but it is written as a Word 97-2003 document "
               "(.doc)"
            << "leaves out";
        QTest::newRow("--format against --out")
            << none << QByteArray() << QStringList { "--out", "memo.doc", "--format", "pdf" }
            << "memo.doc: its name ends in .doc, but it is written as PDF (.pdf)"
            << "leaves out";
        QTest::newRow("--format against a batch's file")
            << none << QByteArray(R"([{"to": "Ada", "file": "parking.doc"}])")
            << QStringList { "--format", "pdf" }
            << "parking.doc: its name ends in .doc, but it is written as PDF (.pdf)"
            << "";
        QTest::newRow("the format in capitals")
            << none << QByteArray() << QStringList { "--out", "memo.PDF" } << ""
            << "its name ends";
        QTest::newRow("remembered") << QStringList { "Option1=4", "txtCC=Stored CC" }
                                    << QByteArray() << QStringList { "--out", "memo.doc" }
                                    << "memo.doc: Blue Sky leaves out: CC (remembered from the "
                                       "window)"
                                    << "its name ends";
        QTest::newRow("given") << blueSky << QByteArray()
                               << QStringList { "--out", "memo.doc", "--cc", "Given" }
                               << "memo.doc: Blue Sky leaves out: CC (given)"
                               << "";
        QTest::newRow("remembered and given")
            << QStringList { "Option1=4", "txtOrgName=Stored Co" } << QByteArray()
            << QStringList { "--out", "memo.doc", "--cc", "Given" }
            << "Blue Sky leaves out: company name (remembered from the window), CC (given)"
            << "";
        QTest::newRow("sample") << none << QByteArray()
                                << QStringList { "--out", "memo.doc", "--sample", "--style",
                                       "blue-sky" }
                                << "memo.doc: Blue Sky leaves out: company name, CC (from --sample)"
                                << "";
        QTest::newRow("a batch's member")
            << QStringList { "txtCC=Stored CC" }
            << QByteArray(R"([{"style": "blue-sky", "company": "Co"}])") << QStringList {}
            << "memo-001.doc: Blue Sky leaves out: company name "
               "(given), CC (remembered from the window)"
            << "";
        QTest::newRow("nothing given or remembered")
            << blueSky << QByteArray() << QStringList { "--out", "memo.doc", "--cc", "  " } << ""
            << "leaves out";
        QTest::newRow("mistyped option")
            << none << QByteArray() << QStringList { "--out", "memo.doc", "--outdir", "x" }
            << "Unknown option 'outdir'. Did you mean --out-dir?"
            << "";
        QTest::newRow("no option near")
            << none << QByteArray() << QStringList { "--out", "memo.doc", "--colour", "red" }
            << "Unknown option 'colour'."
            << "Did you mean";
        QTest::newRow("progress")
            << none << QByteArray(R"([{"to": "Ada"}, {"to": 42}, {"to": "Cyd"}])") << QStringList {}
            << "1/3 done: memo-001.doc\n2/3 done: memo-002.doc failed (memo 2): \"to\" must be "
               "text\n3/3 done: memo-003.doc\n2 of 3 memos written, 1 failed"
            << "";
    }

    void theCommandLineSaysWhatItDoes()
    {
        QFETCH(QStringList, stored);
        QFETCH(QByteArray, batch);
        QFETCH(QStringList, arguments);
        QFETCH(QString, said);
        QFETCH(QString, unsaid);
        for (const QString &setting : stored)
            mStore->SaveSetting(setting.section('=', 0, 0), setting.section('=', 1));
        if (!batch.isEmpty()) {
            writeBatch(batch);
            arguments << "--batch" << mDir.filePath("memos.json") << "--out-dir" << mDir.path()
                      << "--jobs"
                      << "1";
        }
        const qsizetype out = arguments.indexOf("--out");
        if (out >= 0)
            arguments[out + 1] = mDir.filePath(arguments[out + 1]);
        run(QStringList { "--generate" } + arguments);
        QVERIFY2(mErrors.contains(said), qPrintable(mErrors));
        QVERIFY2(unsaid.isEmpty() || !mErrors.contains(unsaid), qPrintable(mErrors));
    }

    void sampleThenOptions()
    {
        QCOMPARE(run({ "--generate", "--out", mDir.filePath("memo.doc"), "--sample", "--to",
                     "Someone Else", "--date", "2026-12-08" }),
            0);
        QCOMPARE(writes(),
            QStringList({ "bkTo=Someone Else", "bkFrom=Ewan Varden", "bkRe=Memo To Cat",
                "bkDate= Tuesday, December 8th, 2026  ",
                "bkMsg=We are no longer accepting delivery of small birds or rodents. Thank you.",
                "bkCC=Tobin Varden", "bkOrgName= Tarnwick" }));
    }

    void aStoredStyleThatNamesNoneFallsBackToProfessional()
    {
        mStore->SaveSetting("Option1", "abc");
        QCOMPARE(run({ "--generate", "--out", mDir.filePath("memo.doc") }), 0);
        QVERIFY(mErrors.contains("using professional"));
        QVERIFY(writes().contains("bkOrgName= Your Organisation's Name"));
    }

    void aFailedMemoLeavesNoFile()
    {
        mWord.failing = { "close" };
        const QString out = mDir.filePath("memo.doc");
        QCOMPARE(run({ "--generate", "--out", out }), 1);
        QVERIFY(mErrors.contains(out + " was not written"));
        QCOMPARE(QDir(mDir).entryList(QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(mWord.sessionsAlive, 0);
    }

    void batchWritesEveryGoodMemoAndNamesTheBadOnes()
    {
        const QString folder = mDir.filePath("out");
        QVERIFY(QDir().mkpath(folder));
        writeBatch(R"([
            {"to": "First", "style": "blue-sky"},
            {"to": 42},
            {"to": "Third", "file": "third.doc", "date": "2026-12-08"},
            {"to": "Fourth", "subject": "typo"},
            {"to": "Fifth", "file": "../escape.doc"},
            {"to": "Sixth", "file": "third.doc"},
            "not an object",
            {"to": "Eighth", "style": "Contemporary", "cc": "Copy"}
        ])");
        QCOMPARE(run({ "--generate", "--batch", mDir.filePath("memos.json"), "--out-dir", folder,
                     "--jobs", "1" }),
            1);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
            QStringList({ "memo-001.doc", "memo-008.doc", "third.doc" }));
        for (const char *expected :
            { "memo-002.doc failed (memo 2): \"to\" must be text", "unknown member \"subject\"",
                "not a plain file name", "third.doc is already written by an earlier memo",
                "a memo must be a JSON object", "3 of 8 memos written, 5 failed" })
            QVERIFY2(mErrors.contains(expected), qPrintable(mErrors));
        QCOMPARE(mWord.sessionsCreated, 1);
        QVERIFY(writes().contains("bkCC=Copy"));
    }

    void batchAnswersForTheFileAndFolder_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("complaint");
        QTest::newRow("malformed") << QByteArray("[{\"to\": \"x\",]") << "out"
                                   << "is not valid JSON";
        QTest::newRow("not an array") << QByteArray("{\"to\": \"x\"}") << "out"
                                      << "must hold a JSON array";
        QTest::newRow("a folder under a file") << QByteArray("[]") << "memos.json/out"
                                               << "could not be created";
        QTest::newRow("a file for a folder") << QByteArray("[]") << "memos.json"
                                             << "is not a folder";
    }

    void batchAnswersForTheFileAndFolder()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, folder);
        QFETCH(QString, complaint);
        QVERIFY(QDir().mkpath(mDir.filePath("out")));
        writeBatch(json);
        QCOMPARE(run({ "--generate", "--batch", mDir.filePath("memos.json"), "--out-dir",
                     mDir.filePath(folder), "--jobs", "1" }),
            1);
        QVERIFY2(mErrors.contains(complaint), qPrintable(mErrors));
        QCOMPARE(mWord.sessionsCreated, 0);
    }

    void aMissingBatchFileIsNamed()
    {
        QCOMPARE(run({ "--generate", "--batch", mDir.filePath("absent.json"), "--out-dir",
                     mDir.path() }),
            1);
        QVERIFY(mErrors.contains("absent.json cannot be read"));
    }

    void aFailingWordProcessorFailsEveryMemoButTheBatchGoesOn()
    {
        mWord.failing = { "saveAs" };
        writeBatch(R"([{}, {}, {}])");
        QCOMPARE(run({ "--generate", "--batch", mDir.filePath("memos.json"), "--out-dir",
                     mDir.path(), "--jobs", "1" }),
            1);
        QVERIFY(mErrors.contains("0 of 3 memos written, 3 failed"));
        QCOMPARE(QDir(mDir).entryList(QDir::Files | QDir::Hidden), QStringList({ "memos.json" }));
        QCOMPARE(mWord.sessionsAlive, 0);
    }

    void theFormatComesFromTheOptionOrTheExtension_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("call");
        QTest::newRow("extension") << QStringList { "--out", "memo.PDF" } << "exportAs %1 pdf";
        QTest::newRow("option") << QStringList { "--out", "memo.doc", "--format", "pdf" }
                                << "exportAs %1 pdf";
        QTest::newRow("unknown extension") << QStringList { "--out", "memo.txt" } << "saveAs %1";
        // Filled without the word processor.
        QTest::newRow("odt") << QStringList { "--out", "memo.doc", "--format", "odt" } << "";
    }

    void theFormatComesFromTheOptionOrTheExtension()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, call);
        const QString out = mDir.filePath(options.at(1));
        options[1] = out;
        QCOMPARE(run(QStringList { "--generate" } + options), 0);
        if (call.isEmpty()) {
            QCOMPARE(mWord.sessionsCreated, 0);
            // An ODT package: its mimetype first and stored, as readers look for it.
            const QByteArray bytes = fileBytes(out);
            QVERIFY(bytes.startsWith("PK\x03\x04")
                && bytes.mid(30).startsWith("mimetypeapplication/vnd.oasis.opendocument.text"));
            return;
        }
        const QStringList saves = mWord.calls.filter(QRegularExpression("^(saveAs|exportAs) "));
        QCOMPARE(saves.size(), 1);
        QCOMPARE(saves.first().section(' ', 0, 0), call.section(' ', 0, 0));
        QVERIFY2(saves.first().endsWith(call.section(' ', 2)), qPrintable(saves.first()));
        QCOMPARE(fileBytes(out),
            QByteArray(call.startsWith("export") ? "scripted export" : "scripted memo"));
    }

    // Scripts read the JSON lines; the output folder is made with its parents; --quiet
    // leaves standard error to the failures.
    void aQuietJsonBatchIntoANewFolder()
    {
        writeBatch(R"([{"to": "Ada"}, {"to": 42}, {"file": "c.docx"}])");
        const QString folder = mDir.filePath("new/nested");
        QCOMPARE(run({ "--generate", "--batch", mDir.filePath("memos.json"), "--out-dir", folder,
                     "--format", "docx", "--quiet", "--json", "--jobs", "1" }),
            1);
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList({ "c.docx", "memo-001.docx" }));
        const QStringList lines = mOutput.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(0),
            QString(R"({"error":null,"file":"%1/memo-001.docx","status":"written"})").arg(folder));
        QVERIFY2(lines.at(1).contains("\"status\":\"failed\"")
                && lines.at(1).contains("\"error\":\"\\\"to\\\" must be text\""),
            qPrintable(lines.at(1)));
        QCOMPARE(mErrors.trimmed(),
            QString("2/3 done: memo-002.docx failed (memo 2): \"to\" must be text"));
    }

private:
    int run(const QStringList &arguments)
    {
        QTextStream output(&mOutput), errors(&mErrors);
        return CommandLine::run(
            QStringList { "scrivane" } + arguments, mWord, *mStore, output, errors);
    }

    QStringList writes() const
    {
        QStringList found;
        for (const QString &call : mWord.calls) {
            if (call.startsWith("setBookmarkText "))
                found << call.mid(16);
        }
        return found;
    }

    QString templateOf(const QString &) const
    {
        return mWord.calls.filter("open ").value(0).mid(5).section(' ', 0, 0);
    }

    void writeBatch(const QByteArray &json)
    {
        QFile file(mDir.filePath("memos.json"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(json);
    }

    static QByteArray fileBytes(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString mOutput, mErrors;
};

QTEST_MAIN(CommandLineTest)
#include "tst_commandline.moc"

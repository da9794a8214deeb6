#include "Catdoc.h"
#include "CommandLine.h"
#include "LibreOfficeProcessor.h"
#include "MemoStyle.h"
#include "MemoWriter.h"
#include "SettingsStore.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <atomic>
#include <csignal>
#include <optional>

namespace {
// LibreOffice, with every session counted; the office of whichever session saves
// first can be killed just before it saves.
class WatchedProcessor : public WordProcessor
{
public:
    std::atomic<int> created { 0 };
    std::atomic<bool> killFirstSave { false };

    std::unique_ptr<WordSession> create() override;
    std::unique_ptr<WordSession> createAhead() override;

private:
    LibreOfficeProcessor mOffice;
};

class WatchedSession : public WordSession
{
public:
    WatchedSession(std::unique_ptr<WordSession> inner, std::atomic<bool> &killFirstSave)
        : mInner(std::move(inner))
        , mKillFirstSave(killFirstSave)
    { }
    void open(const QString &path, bool readOnly) override { mInner->open(path, readOnly); }
    void openTemplate(const QString &path) override { mInner->openTemplate(path); }
    void setBookmarkText(const QString &bookmark, const QString &text) override
    {
        mInner->setBookmarkText(bookmark, text);
    }
    void saveAs(const QString &path) override
    {
        if (mKillFirstSave.exchange(false))
            ::kill(pid_t(dynamic_cast<OfficeSession &>(*mInner).processId()), SIGKILL);
        mInner->saveAs(path);
    }
    void exportAs(const QString &path, DocumentFormat format) override
    {
        mInner->exportAs(path, format);
    }
    void setDisplayAlerts(bool on) override { mInner->setDisplayAlerts(on); }
    void close() override { mInner->close(); }
    QImage copyAsPicture() override { return mInner->copyAsPicture(); }
    bool isRunning() const override { return mInner->isRunning(); }
    void closeActiveDocumentWithoutSaving() override { mInner->closeActiveDocumentWithoutSaving(); }
    void quit() override { mInner->quit(); }
    void ready() override { mInner->ready(); }

private:
    std::unique_ptr<WordSession> mInner;
    std::atomic<bool> &mKillFirstSave;
};

std::unique_ptr<WordSession> WatchedProcessor::create()
{
    ++created;
    return std::make_unique<WatchedSession>(mOffice.create(), killFirstSave);
}

std::unique_ptr<WordSession> WatchedProcessor::createAhead()
{
    ++created;
    return std::make_unique<WatchedSession>(mOffice.createAhead(), killFirstSave);
}

// The text Poppler finds in a PDF file, its white space made single spaces.
QString pdfText(const QString &path)
{
    QProcess reader;
    reader.start(QStringLiteral("pdftotext"), { path, QStringLiteral("-") });
    reader.waitForFinished(60'000);
    return QString::fromUtf8(reader.readAllStandardOutput()).simplified();
}
} // namespace

// Batches through several offices at once, offices replaced as they grow, and the
// other formats, all with the real LibreOffice.
class BatchOfficesTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        mTemporary.emplace();
        mStore.emplace(mTemporary->filePath(QStringLiteral("Tarnwick.conf")));
        QFile batch(mTemporary->filePath(QStringLiteral("memos.json")));
        QVERIFY(batch.open(QIODevice::WriteOnly));
        batch.write(R"([{"to": "Ada", "style": "professional", "company": "Ada & Co"},
            {"to": "Bea", "style": "contemporary", "cc": "Cyd"},
            {"to": "Cyd", "style": "elegant", "message": "One.\nTwo."},
            {"to": "Dot", "style": "simple", "date": "2027-01-15"},
            {"to": "Eve", "style": "blue-sky", "re": "Sky"},
            {"to": "Fay", "style": "simple", "from": "Gus"}])");
    }

    void twoOfficesWriteWhatOneWrites()
    {
        WatchedProcessor word;
        QCOMPARE(batch(word, QStringLiteral("one"), 1), 0);
        QCOMPARE(word.created, 1);
        QCOMPARE(batch(word, QStringLiteral("two"), 2), 0);
        QCOMPARE(word.created, 3);
        const QStringList names
            = QDir(mTemporary->filePath(QStringLiteral("one"))).entryList(QDir::Files);
        QCOMPARE(QDir(mTemporary->filePath(QStringLiteral("two"))).entryList(QDir::Files), names);
        const QStringList recipients { QStringLiteral("Ada"), QStringLiteral("Bea"),
            QStringLiteral("Cyd"), QStringLiteral("Dot"), QStringLiteral("Eve"),
            QStringLiteral("Fay") };
        QCOMPARE(names.size(), recipients.size());
        for (qsizetype index = 0; index < names.size(); ++index) {
            const QString one = catdoc(mTemporary->filePath(QStringLiteral("one/") + names[index]));
            QVERIFY2(one.contains(recipients[index]), qPrintable(one));
            QCOMPARE(catdoc(mTemporary->filePath(QStringLiteral("two/") + names[index])), one);
        }
    }

    void aKilledOfficeCostsOnlyItsMemo()
    {
        WatchedProcessor word;
        word.killFirstSave = true;
        QCOMPARE(batch(word, QStringLiteral("out"), 2), 1);
        QVERIFY2(mErrors.contains(QStringLiteral("5 of 6 memos written, 1 failed")),
            qPrintable(mErrors));
        QCOMPARE(mErrors.count(QStringLiteral(" failed (memo ")), 1);
        QCOMPARE(
            QDir(mTemporary->filePath(QStringLiteral("out"))).entryList(QDir::Files).size(), 5);
    }

    void anOfficeIsReplacedPastItsLimit_data()
    {
        QTest::addColumn<int>("memos");
        QTest::addColumn<int>("mebibytes");
        QTest::addColumn<int>("sessions");
        QTest::addColumn<int>("ahead"); // of them started before they were due
        QTest::newRow("after two memos") << 2 << 0 << 2 << 1;
        QTest::newRow("past 1 MiB") << 0 << 1 << 3 << 0;
        QTest::newRow("never") << 0 << 0 << 1 << 0;
    }

    void anOfficeIsReplacedPastItsLimit()
    {
        QFETCH(int, memos);
        QFETCH(int, mebibytes);
        QFETCH(int, sessions);
        QFETCH(int, ahead);
        // A replaced office must really end, not come back as the next session's spare.
        struct OfficesSeen : WordProcessor
        {
            std::unique_ptr<WordSession> create() override { return seen(processor.create()); }
            std::unique_ptr<WordSession> createAhead() override
            {
                ++ahead;
                return seen(processor.createAhead());
            }
            std::unique_ptr<WordSession> seen(std::unique_ptr<WordSession> session)
            {
                offices.insert(dynamic_cast<OfficeSession &>(*session).processId());
                return session;
            }
            LibreOfficeProcessor processor;
            QSet<qint64> offices;
            int ahead = 0;
        } word;
        MemoWriter writer(word, { memos, mebibytes });
        for (int index = 0; index < 3; ++index) {
            MemoDetails memo = withSampleData({});
            memo.to = QStringLiteral("Recipient %1").arg(index);
            const QString path = mTemporary->filePath(QStringLiteral("memo-%1.doc").arg(index));
            writer.write(memo, path);
            QVERIFY(catdoc(path).contains(memo.to));
        }
        writer.finish();
        QCOMPARE(writer.sessionsStarted(), sessions);
        QCOMPARE(word.offices.size(), sessions);
        QCOMPARE(word.ahead, ahead);
    }

    void everyFormatHoldsEveryValue_data()
    {
        QTest::addColumn<QString>("extension");
        for (const char *extension : { "doc", "docx", "odt", "pdf" })
            QTest::newRow(extension) << QString::fromLatin1(extension);
    }

    void everyFormatHoldsEveryValue()
    {
        QFETCH(QString, extension);
        LibreOfficeProcessor word;
        const QString out = mTemporary->filePath(QStringLiteral("memo.") + extension);
        QCOMPARE(run(word,
                     { QStringLiteral("--out"), out, QStringLiteral("--sample"),
                         QStringLiteral("--date"), QStringLiteral("2026-12-08") }),
            0);
        QString text;
        if (extension == QLatin1String("pdf")) {
            QVERIFY(readFile(out).startsWith("%PDF-"));
            text = pdfText(out);
        } else if (extension == QLatin1String("doc")) {
            text = catdoc(out);
        } else {
            // Read back by LibreOffice, which writes what it read as a Word document.
            const QString copy = mTemporary->filePath(QStringLiteral("read-back.doc"));
            const std::unique_ptr<WordSession> session = word.create();
            session->open(out, true);
            session->saveAs(copy);
            session->close();
            session->quit();
            text = catdoc(copy);
        }
        text = text.simplified();
        for (const char *value : { kSampleOrgName, kSampleTo, kSampleCC, kSampleFrom, kSampleRe,
                 kSampleMsg, "Tuesday, December 8th, 2026" })
            QVERIFY2(text.contains(QString::fromUtf8(value)), qPrintable(value + (": " + text)));
    }

    // The program as a script runs it: the output folder made with its parents, and
    // nothing on standard error but Scrivane's own lines, also with no runtime folder.
    void theProgramSaysOnlyItsOwnLines()
    {
        const QString folder = mTemporary->filePath(QStringLiteral("made/for/memos"));
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(SCRIVANE_PROGRAM),
            { QStringLiteral("--generate"), QStringLiteral("--batch"),
                mTemporary->filePath(QStringLiteral("memos.json")), QStringLiteral("--out-dir"),
                folder, QStringLiteral("--jobs"), QStringLiteral("2") });
        QVERIFY(program.waitForFinished(300'000));
        QCOMPARE(program.exitCode(), 0);
        QStringList lines = QString::fromUtf8(program.readAllStandardError())
                                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.takeLast(), QStringLiteral("6 of 6 memos written"));
        // Counted in the order the two offices finish them, whichever memo that is.
        QStringList names;
        for (qsizetype done = 0; done < lines.size(); ++done) {
            const QString count = QStringLiteral("%1/6 done: ").arg(done + 1);
            QVERIFY2(lines[done].startsWith(count), qPrintable(lines.join(u'\n')));
            names << lines[done].mid(count.size());
        }
        names.sort();
        QCOMPARE(names,
            QStringList({ QStringLiteral("memo-001.doc"), QStringLiteral("memo-002.doc"),
                QStringLiteral("memo-003.doc"), QStringLiteral("memo-004.doc"),
                QStringLiteral("memo-005.doc"), QStringLiteral("memo-006.doc") }));
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 6);
    }

private:
    int run(WordProcessor &word, const QStringList &arguments)
    {
        mErrors.clear();
        QString output;
        QTextStream outputStream(&output), errorStream(&mErrors);
        return CommandLine::run(
            QStringList { QStringLiteral("scrivane"), QStringLiteral("--generate") } + arguments,
            word, *mStore, outputStream, errorStream);
    }

    int batch(WordProcessor &word, const QString &folder, int jobs)
    {
        return run(word,
            { QStringLiteral("--batch"), mTemporary->filePath(QStringLiteral("memos.json")),
                QStringLiteral("--out-dir"), mTemporary->filePath(folder), QStringLiteral("--jobs"),
                QString::number(jobs) });
    }

    std::optional<QTemporaryDir> mTemporary;
    std::optional<SettingsStore> mStore;
    QString mErrors;
};

QTEST_MAIN(BatchOfficesTest)
#include "tst_batchoffices.moc"

#include "FileUtils.h"
#include "LibreOfficeProcessor.h"
#include "MemoDetails.h"
#include "MemoReaders.h"
#include "MemoStyle.h"
#include "MemoWriter.h"
#include "TemplateCatalogue.h"
#include "TestOffice.h"

#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace MemoReaders;

// The memos the program writes without the window, against the office filling the
// Word template and saving every format, as the window's run does. DOCX and ODT are
// filled without the office; Word and PDF go through a template the office keeps open,
// refilled memo after memo. For every style and format each memo of the set reads the
// same in every reader, lies the same on its pages and carries the same properties.
namespace {

enum class Kind { Sample, Empty, MultiLineTo, ControlCharacters, Megabyte, Longest };

// In the order they are written: each refills what the one before left.
const QList<std::pair<Kind, QString>> kKinds { { Kind::Sample, u"sample"_s },
    { Kind::Empty, u"empty"_s }, { Kind::MultiLineTo, u"multi-line To"_s },
    { Kind::ControlCharacters, u"control characters"_s }, { Kind::Megabyte, u"1 MB message"_s },
    { Kind::Longest, u"every field at its longest"_s } };

const QList<DocumentFormat> kFormats { DocumentFormat::Doc, DocumentFormat::Docx,
    DocumentFormat::Odt, DocumentFormat::Pdf };

constexpr double kTolerance = 1.0; // points

// The megabyte takes the office minutes in every format: one style shows it.
bool isMade(Kind kind, size_t style)
{
    return kind != Kind::Megabyte || style == 0;
}

MemoDetails memoOf(Kind kind, int style)
{
    MemoDetails memo;
    memo.date = QDate(2026, 12, 8);
    if (kind != Kind::Empty)
        memo = withSampleData(memo);
    memo.style = style;
    switch (kind) {
    case Kind::Sample:
    case Kind::Empty:
        break;
    case Kind::MultiLineTo:
        memo.to = u"Alice Marsh\nBernard Quill\r\nCarla Dent"_s;
        break;
    case Kind::ControlCharacters:
        // Dropped: C0 controls and a lone surrogate; kept: tabs and a character
        // outside the BMP, which the office counts as one.
        memo.orgName = u"Tarn\u0002wick\tHoldings"_s;
        memo.to = u"Ada\u0001 Lovelace\u001b"_s;
        memo.from = u"Ewan"_s + QChar(0xd800) + u" Varden"_s;
        memo.re = u"Budget\u0007 for Q1 \U0001F4C8 caf\u00e9"_s;
        memo.msg = u"Line\u000bone\u000c\ttabbed\r\n\u0000Line two \U0001F600 done"_s;
        break;
    case Kind::Megabyte: {
        QString message;
        for (int line = 1; message.size() < 1'000'000; ++line)
            message
                += u"Line %1 of a long message, \U0001F4C4 with words to fill the width.\n"_s.arg(
                    line);
        memo.msg = message;
        break;
    }
    case Kind::Longest: {
        const auto lines = [](const QString &word, int count) {
            QStringList made;
            for (int line = 1; line <= count; ++line)
                made << u"%1 %2, Department of Long Names and Longer Titles"_s.arg(word).arg(line);
            return made.join(u'\n');
        };
        memo.orgName = u"The Tarnwick Holdings Company of Northern Warehouses and Deliveries"_s;
        memo.to = lines(u"Recipient"_s, 6);
        memo.cc = lines(u"Copy"_s, 6);
        memo.from = lines(u"Sender"_s, 4);
        memo.re = u"Quarterly figures "_s.repeated(20).trimmed();
        memo.msg = lines(u"Paragraph"_s, 40);
        memo.date = QDate(2026, 9, 16); // Wednesday, September 16th: the longest wording
        break;
    }
    }
    return memo;
}

// Each format's readers besides Poppler on its pages. AbiWord's DOCX text is not compared:
// it prints a footer's page number as the file saved it, on every page, and the paths save
// different ones (tst_memodocuments has AbiWord find every value in every style's DOCX).
QStringList readersOf(DocumentFormat format)
{
    if (format == DocumentFormat::Doc)
        return { u"catdoc"_s, u"antiword"_s, u"wvText"_s, u"abiword"_s };
    if (format == DocumentFormat::Odt)
        return { u"abiword"_s };
    return {};
}

QString element(const QByteArray &xml, const QString &name)
{
    const QRegularExpression pattern(u"<%1(?:\\s[^>]*)?>([^<]*)</%1>"_s.arg(name));
    return pattern.match(QString::fromUtf8(xml))
        .captured(1)
        .replace(u"&lt;"_s, u"<"_s)
        .replace(u"&gt;"_s, u">"_s)
        .replace(u"&apos;"_s, u"'"_s)
        .replace(u"&quot;"_s, u"\""_s)
        .replace(u"&amp;"_s, u"&"_s);
}

// Title, subject, author and company, as a reader of the format finds them.
QStringList propertiesOf(const QString &path, DocumentFormat format, const QString &folder)
{
    switch (format) {
    case DocumentFormat::Doc: {
        const QHash<QString, QString> found = abiwordProperties(path, folder);
        return { found.value(u"dc.title"_s), found.value(u"dc.subject"_s),
            found.value(u"dc.creator"_s), found.value(u"dc.publisher"_s) };
    }
    case DocumentFormat::Docx: {
        const QByteArray core = zippedFile(path, u"docProps/core.xml"_s);
        return { element(core, u"dc:title"_s), element(core, u"dc:subject"_s),
            element(core, u"dc:creator"_s),
            element(zippedFile(path, u"docProps/app.xml"_s), u"Company"_s) };
    }
    case DocumentFormat::Odt: {
        const QByteArray meta = zippedFile(path, u"meta.xml"_s);
        return { element(meta, u"dc:title"_s), element(meta, u"dc:subject"_s),
            element(meta, u"meta:initial-creator"_s), element(meta, u"meta:user-defined"_s) };
    }
    case DocumentFormat::Pdf:
        break;
    }
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::load(path);
    if (!document)
        return { u"<unreadable>"_s };
    return { document->info(u"Title"_s), document->info(u"Subject"_s),
        document->info(u"Author"_s) };
}

// Where two texts part, shown with what follows there in each.
QString difference(const QString &ours, const QString &office)
{
    qsizetype at = 0;
    while (at < ours.size() && at < office.size() && ours[at] == office[at])
        ++at;
    return u"they part at character %1 of %2 / %3:\n ours:   %4\n office: %5"_s.arg(at)
        .arg(ours.size())
        .arg(office.size())
        .arg(ours.mid(at, 80), office.mid(at, 80));
}

} // namespace

class MemoPathsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyPathReadsAsTheOffice_data();
    void everyPathReadsAsTheOffice();
    void cleanupTestCase() { QVERIFY(TestOffice::childOffices().isEmpty()); }

private:
    // "ours" or "office"; the format's extension also names the file, as the PDF of
    // every file goes into one folder.
    QString file(const QString &path, int style, Kind kind, DocumentFormat format) const
    {
        const QString extension = documentFormatName(format);
        return mFolder.filePath(
            u"%1/%2-%3-%4.%4"_s.arg(path).arg(style).arg(int(kind)).arg(extension));
    }
    QString pdfOf(const QString &path, int style, Kind kind, DocumentFormat format) const
    {
        if (format == DocumentFormat::Pdf)
            return file(path, style, kind, format);
        return mFolder.filePath(u"%1/pdf/%2-%3-%4.pdf"_s.arg(path).arg(style).arg(int(kind)).arg(
            documentFormatName(format)));
    }

    QTemporaryDir mFolder;
};

void MemoPathsTest::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    for (const QString &reader : { u"catdoc"_s, u"antiword"_s, u"wvText"_s, u"abiword"_s }) {
        QVERIFY2(!QStandardPaths::findExecutable(reader).isEmpty(),
            qPrintable(reader + u" is needed: ./dev installs it"_s));
    }
    QVERIFY2(!TestOffice::program().isEmpty(), "LibreOffice is needed");
    QVERIFY(mFolder.isValid());
    for (const QString &path : { u"ours"_s, u"office"_s })
        QVERIFY(QDir(mFolder.path()).mkpath(path + u"/pdf"_s));

    // A megabyte takes the office a while on a busy machine; how long is not the question.
    LibreOfficeProcessor::Settings settings = LibreOfficeProcessor::defaultSettings();
    settings.callTimeout = std::chrono::minutes(10);
    LibreOfficeProcessor word(settings);
    try {
        // The office path: the Word template filled and saved in every format.
        const std::unique_ptr<WordSession> office = word.create();
        for (size_t style = 0; style < kMemoStyles.size(); ++style) {
            const QString dot = mFolder.filePath(u"template-%1.dot"_s.arg(style));
            WriteBytesToFile(loadResData(kMemoStyles[style].resourceId), dot);
            for (const auto &[kind, name] : kKinds) {
                if (!isMade(kind, style))
                    continue;
                office->open(dot, true);
                for (const auto &[bookmark, text] : bookmarkWrites(memoOf(kind, int(style))))
                    office->setBookmarkText(bookmark, text);
                // Word first: saving it lays the document out, which writes the date into
                // the fields of every page's header and footer, as memos filled without the
                // office carry it.
                for (const DocumentFormat format : kFormats)
                    office->exportAs(file(u"office"_s, int(style), kind, format), format);
                office->close();
            }
        }
        office->quit();

        // The program's paths, each style's memos one after the other.
        MemoWriter writer(word);
        for (size_t style = 0; style < kMemoStyles.size(); ++style) {
            for (const auto &[kind, name] : kKinds) {
                for (const DocumentFormat format :
                    isMade(kind, style) ? kFormats : QList<DocumentFormat>())
                    writer.write(memoOf(kind, int(style)),
                        file(u"ours"_s, int(style), kind, format), format);
            }
        }
        writer.finish();
    } catch (const std::exception &error) {
        QFAIL(error.what());
    }

    // Every file laid out by the office, as a reader of it would see it printed.
    const QString profile = mFolder.filePath(u"office-profile"_s);
    for (const QString &path : { u"ours"_s, u"office"_s }) {
        for (const DocumentFormat format :
            { DocumentFormat::Doc, DocumentFormat::Docx, DocumentFormat::Odt }) {
            QStringList arguments { u"--headless"_s, u"--invisible"_s, u"--norestore"_s,
                u"-env:UserInstallation="_s + QUrl::fromLocalFile(profile).toString(),
                u"--convert-to"_s, u"pdf"_s, u"--outdir"_s, mFolder.filePath(path + u"/pdf"_s) };
            for (size_t style = 0; style < kMemoStyles.size(); ++style) {
                for (const auto &[kind, name] : kKinds) {
                    if (isMade(kind, style))
                        arguments << file(path, int(style), kind, format);
                }
            }
            const TestOffice::Run converted = TestOffice::run(
                arguments, QProcessEnvironment::systemEnvironment(), std::chrono::minutes(20));
            QVERIFY2(converted.exitCode == 0, qPrintable(converted.output));
        }
    }
}

void MemoPathsTest::everyPathReadsAsTheOffice_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<DocumentFormat>("format");
    QTest::addColumn<Kind>("kind");
    for (size_t style = 0; style < kMemoStyles.size(); ++style) {
        for (const DocumentFormat format : kFormats) {
            for (const auto &[kind, name] : kKinds) {
                if (!isMade(kind, style))
                    continue;
                QTest::addRow("%s %s %s", kMemoStyles[style].caption,
                    qPrintable(documentFormatName(format)), qPrintable(name))
                    << int(style) << format << kind;
            }
        }
    }
}

void MemoPathsTest::everyPathReadsAsTheOffice()
{
    QFETCH(int, style);
    QFETCH(DocumentFormat, format);
    QFETCH(Kind, kind);
    const QString ours = file(u"ours"_s, style, kind, format);
    const QString office = file(u"office"_s, style, kind, format);

    const QList<QList<Word>> ourPages = pageWords(pdfOf(u"ours"_s, style, kind, format));
    const QList<QList<Word>> officePages = pageWords(pdfOf(u"office"_s, style, kind, format));
    QVERIFY(!officePages.isEmpty());
    // The office's ODT keeps the date in a header's or footer's chapter field only where
    // its layout used that header (a one-page memo leaves the later pages' one empty);
    // ours has it in all. Readers that show the saved field (AbiWord) differ there
    // alone, so the date is left out of both texts (with the spaces around it, which
    // AbiWord keeps of one and not of the other); the pages' words below still
    // compare it wherever it is laid out.
    QString date;
    for (const auto &[bookmark, text] : bookmarkWrites(memoOf(kind, style))) {
        if (bookmark == QLatin1String(kMemoDate.bookmark))
            date = text.trimmed();
    }
    const auto textOf = [&](const QString &reader, const QString &path) {
        QString text = readerText(reader, path, mFolder.path());
        if (format != DocumentFormat::Odt || date.isEmpty())
            return text;
        text.remove(QRegularExpression(u" *"_s + QRegularExpression::escape(date) + u" *"_s));
        // What is left of a line that held the date alone is spaces, or nothing; and
        // AbiWord reads one empty line more or less before the last footer of the 1 MB
        // memo (502 pages), which the pages' words below show laid out alike.
        text.remove(QRegularExpression(u"(?m)^ +$"_s));
        return text.replace(QRegularExpression(u"\n{2,}"_s), u"\n"_s);
    };
    for (const QString &reader : readersOf(format)) {
        const QString ourText = textOf(reader, ours);
        const QString officeText = textOf(reader, office);
        QVERIFY2(
            ourText == officeText, qPrintable(reader + u": "_s + difference(ourText, officeText)));
    }

    QCOMPARE(ourPages.size(), officePages.size());
    for (qsizetype page = 0; page < ourPages.size(); ++page) {
        const QList<Word> &words = ourPages[page];
        const QList<Word> &expected = officePages[page];
        QCOMPARE(words.size(), expected.size());
        for (qsizetype index = 0; index < words.size(); ++index) {
            const Word &word = words[index];
            const Word &other = expected[index];
            const QString where
                = u"page %1, word %2 \"%3\""_s.arg(page + 1).arg(index).arg(word.text);
            QVERIFY2(
                word.text == other.text, qPrintable(where + u" is \""_s + other.text + u"\""_s));
            const QPointF offset = word.box.topLeft() - other.box.topLeft();
            QVERIFY2(qAbs(offset.x()) < kTolerance && qAbs(offset.y()) < kTolerance
                    && qAbs(word.box.width() - other.box.width()) < kTolerance,
                qPrintable(where + u" lies %1, %2 pt off"_s.arg(offset.x()).arg(offset.y())));
        }
    }

    QCOMPARE(
        propertiesOf(ours, format, mFolder.path()), propertiesOf(office, format, mFolder.path()));
}

QTEST_MAIN(MemoPathsTest)
#include "tst_memopaths.moc"

#include "Catdoc.h"
#include "Failure.h"
#include "FileUtils.h"
#include "LibreOfficeProcessor.h"
#include "MemoDetails.h"
#include "MemoReaders.h"
#include "MemoStyle.h"
#include "MemoWriter.h"
#include "OwnTemplate.h"
#include "TemplateCatalogue.h"
#include "TestFiles.h"
#include "TestOffice.h"

#include <QDataStream>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

class OwnTemplatesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void aTemplateFillsWhatItHoldsOrIsRefused_data();
    void aTemplateFillsWhatItHoldsOrIsRefused();
    void nothingOutsideATemplateIsReadAndNoMacroRuns_data();
    void nothingOutsideATemplateIsReadAndNoMacroRuns();
    void aCheckedTemplateIsKeptByItsContent();
    void aStyleTemplateSavedAsDocxKeepsItsRunningDate();

private:
    QString fixture(const QString &name) const { return mFixtures.value(name); }
    void make(const QString &name, const QByteArray &source, const QString &filter);
    void makeHostileFixtures();

    QTemporaryDir mFolder;
    QHash<QString, QString> mFixtures;
};

// Templates of the user's own, each made by a real office from a flat ODF source written
// here: used with every bookmark they hold filled, or refused with the reason; and
// nothing they name outside themselves is read, nor any macro of theirs run.
namespace {

const QDate kDate(2026, 12, 8);

// A memo whose every value is a word found nowhere else.
MemoDetails distinctMemo()
{
    MemoDetails memo;
    memo.style = 0;
    memo.date = kDate;
    memo.orgName = u"Quenbury"_s;
    memo.to = u"Albemarle"_s;
    memo.cc = u"Carrowmore"_s;
    memo.from = u"Fennimore"_s;
    memo.re = u"Rushworth"_s;
    memo.msg = u"Marchbanks"_s;
    return memo;
}

QString bookmark(const char *name)
{
    return u"<text:bookmark text:name=\"%1\"/>"_s.arg(QLatin1String(name));
}

QString paragraph(const QString &content)
{
    return u"<text:p>"_s + content + u"</text:p>"_s;
}

QString allInBody()
{
    QString body;
    for (const char *name : { "bkOrgName", "bkTo", "bkFrom", "bkCC", "bkDate", "bkRe", "bkMsg" })
        body += paragraph(QLatin1String(name).mid(2) + u": "_s + bookmark(name));
    return body;
}

// A flat ODF text document: the page's header, the body after a word of its own, and
// extra styles and scripts.
QByteArray flatDocument(const QString &header, const QString &body, const QString &styles = {},
    const QString &scripts = {})
{
    return QString::fromUtf8(R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
 xmlns:xlink="http://www.w3.org/1999/xlink"
 xmlns:script="urn:oasis:names:tc:opendocument:xmlns:script:1.0"
 xmlns:ooo="http://openoffice.org/2004/office"
 office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.text">
 %4
 <office:automatic-styles>
  <style:page-layout style:name="pm1"><style:page-layout-properties fo:page-width="21cm"
   fo:page-height="29.7cm" fo:margin="2cm"/><style:header-style/></style:page-layout>
  %3
 </office:automatic-styles>
 <office:master-styles>
  <style:master-page style:name="Standard" style:page-layout-name="pm1">%1</style:master-page>
 </office:master-styles>
 <office:body><office:text><text:p>Quillfeather</text:p>%2</office:text></office:body>
</office:document>
)")
        .arg(header.isEmpty() ? QString() : u"<style:header>"_s + header + u"</style:header>"_s,
            body, styles, scripts)
        .toUtf8();
}

// Every open of the file, seen by the kernel whoever opens it.
class OpenWatch
{
public:
    explicit OpenWatch(const QString &path)
        : mHandle(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        ::inotify_add_watch(mHandle, QFile::encodeName(path).constData(), IN_OPEN | IN_ACCESS);
    }
    ~OpenWatch() { ::close(mHandle); }
    int opens() const
    {
        alignas(inotify_event) char events[4096];
        int seen = 0;
        for (ssize_t read = 0; (read = ::read(mHandle, events, sizeof events)) > 0;)
            seen += int(read / qsizetype(sizeof(inotify_event)));
        return seen;
    }

private:
    int mHandle;
};

quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xffffffffu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A white picture, one bit a pixel in grey: a few kilobytes for a picture of any size.
QByteArray whitePng(quint32 width, quint32 height)
{
    const auto chunk = [](const QByteArray &type, const QByteArray &data) {
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out << quint32(data.size());
        bytes += type + data;
        QDataStream crc(&bytes, QIODevice::Append);
        crc << crc32(type + data);
        return bytes;
    };
    QByteArray header;
    QDataStream(&header, QIODevice::WriteOnly)
        << width << height << quint8(1) << quint8(0) << quint8(0) << quint8(0) << quint8(0);
    const QByteArray row = QByteArray(1, '\0') + QByteArray(int((width + 7) / 8), char(0xff));
    // qCompress puts the length before the zlib stream.
    const QByteArray pixels = qCompress(row.repeated(int(height)), 9).mid(4);
    return QByteArray::fromHex("89504e470d0a1a0a") + chunk("IHDR", header) + chunk("IDAT", pixels)
        + chunk("IEND", {});
}

QString outsidePath(const QString &folder)
{
    return folder + u"/outside/secret.png"_s;
}

// Where a link relative to the template reaches from the copy Scrivane checks.
QString besideCopyPath()
{
    return QFileInfo(OwnTemplates::checkedFolder("any")).absolutePath() + u"/outside/secret.png"_s;
}

QString markerPath(const QString &folder)
{
    return folder + u"/outside/macro-ran"_s;
}

} // namespace

void OwnTemplatesTest::make(const QString &name, const QByteArray &source, const QString &filter)
{
    const QString flat = mFolder.filePath(name + u".fodt"_s);
    QVERIFY(writeFile(flat, source));
    try {
        mFixtures.insert(name,
            TestOffice::convert(
                flat, filter, mFolder.filePath(u"fixtures"_s), mFolder.filePath(u"profile"_s)));
    } catch (const std::exception &error) {
        QFAIL(error.what());
    }
}

void OwnTemplatesTest::initTestCase()
{
    QVERIFY2(!TestOffice::program().isEmpty(), "LibreOffice is needed");
    for (const QString &reader : { u"catdoc"_s, u"wvText"_s })
        QVERIFY2(!QStandardPaths::findExecutable(reader).isEmpty(),
            qPrintable(reader + u" is needed: ./dev installs it"_s));
    QVERIFY(mFolder.isValid());
    QVERIFY(QDir().mkpath(mFolder.filePath(u"outside"_s)));
    QImage logo(8, 8, QImage::Format_RGB32);
    logo.fill(Qt::darkRed);
    QVERIFY(logo.save(outsidePath(mFolder.path())));
    QVERIFY(QDir().mkpath(QFileInfo(besideCopyPath()).absolutePath()));
    QVERIFY(logo.save(besideCopyPath()));

    make(u"body"_s, flatDocument({}, allInBody()), u"dot:MS Word 97 Vorlage"_s);
    make(u"table"_s,
        flatDocument({},
            QString::fromUtf8(
                R"(<table:table table:name="T"><table:table-column table:number-columns-repeated="2"/>
            <table:table-row><table:table-cell><text:p>To:</text:p></table:table-cell>
            <table:table-cell><text:p>%1</text:p></table:table-cell></table:table-row>
            <table:table-row><table:table-cell><text:p>Re:</text:p></table:table-cell>
            <table:table-cell><text:p>%2</text:p></table:table-cell></table:table-row>
            </table:table>)")
                    .arg(bookmark("bkTo"), bookmark("bkRe"))
                + paragraph(bookmark("bkMsg"))),
        u"doc:MS Word 97"_s);
    make(u"header"_s,
        flatDocument(paragraph(bookmark("bkOrgName")) + paragraph(u"Date: "_s + bookmark("bkDate")),
            paragraph(u"To: "_s + bookmark("bkTo"))
                + paragraph(u"Message: "_s + bookmark("bkMsg"))),
        u"docx:MS Word 2007 XML"_s);
    make(u"frame"_s,
        flatDocument({},
            paragraph(QString::fromUtf8(R"(<draw:frame draw:name="Box" text:anchor-type="paragraph"
                svg:width="9cm" svg:height="2cm"><draw:text-box>%1%2</draw:text-box></draw:frame>)")
                          .arg(paragraph(u"From: "_s + bookmark("bkFrom")),
                              paragraph(u"CC: "_s + bookmark("bkCC"))))
                + paragraph(bookmark("bkMsg"))),
        u"odt:writer8"_s);
    make(u"message only"_s, flatDocument({}, paragraph(bookmark("bkMsg"))), u"odt:writer8"_s);
    make(u"no bookmarks"_s,
        flatDocument({}, paragraph(u"Our letterhead "_s + bookmark("Signature"))),
        u"docx:MS Word 2007 XML"_s);
    // A page break before each paragraph.
    QString pages;
    for (int page = 0; page < 2000; ++page)
        pages += u"<text:p text:style-name=\"Break\">Page</text:p>"_s;
    make(u"thousands of pages"_s,
        flatDocument({}, paragraph(bookmark("bkMsg")) + pages,
            QString::fromUtf8(R"(<style:style style:name="Break" style:family="paragraph">
            <style:paragraph-properties fo:break-before="page"/></style:style>)")),
        u"odt:writer8"_s);
    const QByteArray png = whitePng(20000, 20000);
    make(u"huge picture"_s,
        flatDocument({},
            paragraph(bookmark("bkMsg"))
                + paragraph(
                    QString::fromUtf8(R"(<draw:frame draw:name="Huge" text:anchor-type="as-char"
                    svg:width="15cm" svg:height="15cm"><draw:image><office:binary-data>%1
                    </office:binary-data></draw:image></draw:frame>)")
                        .arg(QString::fromLatin1(png.toBase64())))),
        u"odt:writer8"_s);

    makeHostileFixtures();

    const QString text = mFolder.filePath(u"fixtures/notes.dot"_s);
    QVERIFY(writeFile(text, "To: \nFrom: \nbkTo bkMsg\n"));
    mFixtures.insert(u"text named .dot"_s, text);
    // A Word file whose header says it is protected by a password (fEncrypted).
    QByteArray locked = readFile(fixture(u"table"_s));
    const qsizetype header = locked.indexOf(QByteArray::fromHex("eca5"));
    QVERIFY(header > 0);
    locked[header + 11] = char(locked[header + 11] | 0x01);
    const QString encrypted = mFolder.filePath(u"fixtures/locked.doc"_s);
    QVERIFY(writeFile(encrypted, locked));
    mFixtures.insert(u"encrypted"_s, encrypted);
}

// Templates that reach outside themselves: a picture or page background linked to a
// file, and a macro bound to the document's opening.
void OwnTemplatesTest::makeHostileFixtures()
{
    const QString linked = paragraph(
        QString::fromUtf8(R"(<draw:frame draw:name="Logo" text:anchor-type="as-char" svg:width="2cm"
        svg:height="2cm"><draw:image xlink:href="file://%1" xlink:type="simple"
        xlink:show="embed" xlink:actuate="onLoad"/></draw:frame>)")
            .arg(outsidePath(mFolder.path())));
    make(u"linked picture docx"_s, flatDocument({}, linked + allInBody()),
        u"docx:MS Word 2007 XML"_s);
    make(u"linked picture doc"_s, flatDocument({}, linked + allInBody()), u"doc:MS Word 97"_s);
    // The office writes the link relative to the file: from the copy Scrivane reads, the
    // same steps up reach a file beside its own folder, watched as the one outside.
    make(u"linked background odt"_s,
        flatDocument({}, allInBody(),
            QString::fromUtf8(R"(<style:page-layout style:name="pm2"><style:page-layout-properties
            fo:page-width="21cm" fo:page-height="29.7cm"><style:background-image
            xlink:href="file://%1" xlink:type="simple" xlink:actuate="onLoad"
            style:repeat="stretch"/></style:page-layout-properties></style:page-layout>)")
                .arg(outsidePath(mFolder.path())))
            .replace("style:page-layout-name=\"pm1\"", "style:page-layout-name=\"pm2\""),
        u"odt:writer8"_s);
    make(u"macro on open"_s,
        flatDocument({}, allInBody(), {},
            QString::fromUtf8(
                R"(<office:scripts><office:script script:language="ooo:Basic"><ooo:libraries>
            <ooo:library-embedded ooo:name="Standard"><ooo:module ooo:name="Module1">
            <ooo:source-code>Sub Main
              Open "%1" For Output As #1
              Close #1
            End Sub</ooo:source-code></ooo:module></ooo:library-embedded></ooo:libraries>
            </office:script><office:event-listeners><script:event-listener
            script:language="ooo:script" script:event-name="dom:load"
            xlink:href="vnd.sun.star.script:Standard.Module1.Main?language=Basic&amp;location=document"
            xlink:type="simple"/></office:event-listeners></office:scripts>)")
                .arg(markerPath(mFolder.path()))),
        u"odt:writer8"_s);
}

void OwnTemplatesTest::cleanup()
{
    QTRY_VERIFY_WITH_TIMEOUT(TestOffice::childOffices().isEmpty(), 10000);
}

void OwnTemplatesTest::aTemplateFillsWhatItHoldsOrIsRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("printed"); // the bookmarks filled
    QTest::addColumn<QString>("refusal");
    const QStringList all { u"bkOrgName"_s, u"bkTo"_s, u"bkCC"_s, u"bkFrom"_s, u"bkRe"_s,
        u"bkMsg"_s, u"bkDate"_s };
    QTest::newRow(".dot, in the body") << u"body"_s << all << QString();
    QTest::newRow(".doc, in a table")
        << u"table"_s << QStringList { u"bkTo"_s, u"bkRe"_s, u"bkMsg"_s } << QString();
    QTest::newRow(".docx, in the header")
        << u"header"_s << QStringList { u"bkOrgName"_s, u"bkDate"_s, u"bkTo"_s, u"bkMsg"_s }
        << QString();
    QTest::newRow(".odt, in a text frame")
        << u"frame"_s << QStringList { u"bkFrom"_s, u"bkCC"_s, u"bkMsg"_s } << QString();
    QTest::newRow("only bkMsg") << u"message only"_s << QStringList { u"bkMsg"_s } << QString();
    QTest::newRow("no bookmark") << u"no bookmarks"_s << QStringList()
                                 << u"holds none of the bookmarks"_s;
    QTest::newRow("text file named .dot")
        << u"text named .dot"_s << QStringList() << u"no word processor document"_s;
    QTest::newRow("encrypted") << u"encrypted"_s << QStringList() << u"protected by a password"_s;
    QTest::newRow("thousands of pages") << u"thousands of pages"_s << QStringList()
                                        << u"2,001 pages; a template may have at most"_s;
    QTest::newRow("huge picture") << u"huge picture"_s << QStringList()
                                  << u"20,000 × 20,000 pixels"_s;
}

void OwnTemplatesTest::aTemplateFillsWhatItHoldsOrIsRefused()
{
    QFETCH(QString, name);
    QFETCH(QStringList, printed);
    QFETCH(QString, refusal);

    LibreOfficeProcessor word;
    MemoWriter writer(word);
    MemoDetails memo = distinctMemo();
    try {
        memo.ownTemplate = writer.ownTemplate(fixture(name));
    } catch (const TemplateRefused &refused) {
        QVERIFY2(refused.description().contains(refusal), qPrintable(refused.description()));
        return;
    } catch (const Failure &failure) {
        QFAIL(qPrintable(failure.description()));
    }
    QVERIFY2(refusal.isEmpty(), "the template should have been refused");

    // The Word memo through the office; DOCX and ODT from the forms kept at the check.
    const QString document = mFolder.filePath(name + u".doc"_s);
    const QString docx = mFolder.filePath(name + u".docx"_s);
    const QString odt = mFolder.filePath(name + u".odt"_s);
    try {
        writer.write(memo, document);
        writer.write(memo, docx, DocumentFormat::Docx);
        writer.write(memo, odt, DocumentFormat::Odt);
        writer.finish();
    } catch (const Failure &failure) {
        QFAIL(qPrintable(failure.description()));
    }
    // Each package's text, headers and footers included.
    const auto packageText = [](const QString &path, const QStringList &parts) {
        QString text;
        for (const QString &part : parts)
            text += QString::fromUtf8(MemoReaders::zippedFile(path, part))
                        .remove(QRegularExpression(u"<[^>]*>"_s));
        return text;
    };
    const QHash<QString, QString> texts {
        { u"catdoc"_s, catdoc(document) },
        { u"wvText"_s, MemoReaders::readerText(u"wvText"_s, document, mFolder.path()) },
        { u"docx"_s,
            packageText(docx,
                { u"word/document.xml"_s, u"word/header1.xml"_s, u"word/header2.xml"_s,
                    u"word/header3.xml"_s }) },
        { u"odt"_s, packageText(odt, { u"content.xml"_s, u"styles.xml"_s }) },
        { u"abiword odt"_s, MemoReaders::readerText(u"abiword"_s, odt, mFolder.path()) },
        { u"abiword docx"_s, MemoReaders::readerText(u"abiword"_s, docx, mFolder.path()) },
    };
    for (auto reader = texts.cbegin(); reader != texts.cend(); ++reader) {
        QVERIFY2(reader.value().contains(u"Quillfeather"_s),
            qPrintable(reader.key() + u": "_s + reader.value()));
        for (const MemoField *field : fieldsInWritingOrder()) {
            const QString value
                = field->isDate() ? u"December 8th, 2026"_s : (distinctMemo().*field->text);
            // AbiWord's text leaves out headers.
            if (reader.key().startsWith(u"abiword"_s) && name == u"header")
                continue;
            QVERIFY2(reader.value().contains(value)
                    == printed.contains(QString::fromLatin1(field->bookmark)),
                qPrintable(u"%1 finds %2 %3 in:\n%4"_s.arg(reader.key(),
                    QString::fromLatin1(field->bookmark),
                    reader.value().contains(value) ? u"filled"_s : u"unfilled"_s, reader.value())));
        }
    }
}

void OwnTemplatesTest::nothingOutsideATemplateIsReadAndNoMacroRuns_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("picture linked from a .docx") << u"linked picture docx"_s;
    QTest::newRow("picture linked from a .doc") << u"linked picture doc"_s;
    QTest::newRow("page background linked from a .odt") << u"linked background odt"_s;
    QTest::newRow("macro run on open") << u"macro on open"_s;
}

void OwnTemplatesTest::nothingOutsideATemplateIsReadAndNoMacroRuns()
{
    QFETCH(QString, name);
    const OpenWatch watch(outsidePath(mFolder.path()));
    const OpenWatch besideCopy(besideCopyPath());
    LibreOfficeProcessor word;
    MemoWriter writer(word);
    MemoDetails memo = distinctMemo();
    try {
        memo.ownTemplate = writer.ownTemplate(fixture(name));
        for (const DocumentFormat format :
            { DocumentFormat::Doc, DocumentFormat::Docx, DocumentFormat::Odt }) {
            writer.write(memo, mFolder.filePath(u"%1.%2"_s.arg(name, documentFormatName(format))),
                format,
                format == DocumentFormat::Doc ? mFolder.filePath(name + u".png"_s) : QString());
        }
        writer.finish();
    } catch (const Failure &failure) {
        QFAIL(qPrintable(failure.description()));
    }
    QCOMPARE(watch.opens(), 0);
    QCOMPARE(besideCopy.opens(), 0);
    QVERIFY(!QFileInfo::exists(markerPath(mFolder.path())));
    // What is kept names nothing outside and holds no macro.
    for (const QString &kept : QDir(memo.ownTemplate->folder).entryList(QDir::Files)) {
        const QByteArray bytes = readFile(QDir(memo.ownTemplate->folder).filePath(kept));
        QVERIFY2(!bytes.contains("secret.png") && !bytes.contains("Module1"), qPrintable(kept));
    }
    QVERIFY(!memo.ownTemplate->removed.isEmpty());
}

// A batch checks its template once: the next check of the same content, under another
// name, needs no word processor.
void OwnTemplatesTest::aCheckedTemplateIsKeptByItsContent()
{
    const QString copy = mFolder.filePath(u"copy of body.dot"_s);
    QVERIFY(QFile::copy(fixture(u"body"_s), copy));
    LibreOfficeProcessor word;
    MemoWriter writer(word);
    try {
        const OwnTemplatePointer first = writer.ownTemplate(fixture(u"body"_s));
        int asked = 0;
        const OwnTemplatePointer second = OwnTemplates::checked(copy, [&]() -> WordSession & {
            ++asked;
            throw Failure(u"no word processor"_s);
        });
        QCOMPARE(asked, 0);
        QCOMPARE(second->folder, first->folder);
        QCOMPARE(second->fileName(), u"copy of body.dot"_s);
    } catch (const Failure &failure) {
        QFAIL(qPrintable(failure.description()));
    }
    writer.finish();
}

// The walk a user takes: a style's template saved, opened in the word processor and saved
// as DOCX, then chosen back in the window. The date's paragraph keeps its outline level
// through the trip, so the footer's running date finds it; the DOCX form the window's
// choice leaves out is made for the first DOCX memo, which AbiWord opens.
void OwnTemplatesTest::aStyleTemplateSavedAsDocxKeepsItsRunningDate()
{
    const QString folder = mFolder.filePath(u"saved"_s);
    const QString dot = folder + u"/Professional.dot"_s;
    QVERIFY(QDir().mkpath(folder));
    LibreOfficeProcessor word;
    MemoWriter writer(word);
    MemoDetails memo = distinctMemo();
    const QString pdf = folder + u"/memo.pdf"_s;
    const QString docx = folder + u"/memo.docx"_s;
    try {
        WriteBytesToFile(loadResData(kMemoStyles[0].resourceId), dot);
        const QString saved = TestOffice::convert(
            dot, u"docx:MS Word 2007 XML"_s, folder, mFolder.filePath(u"profile"_s));
        std::unique_ptr<WordSession> checking;
        memo.ownTemplate = OwnTemplates::make(
            [&]() -> WordSession & {
                checking = word.create();
                return *checking;
            },
            saved, OwnTemplates::readFile(saved), folder + u"/kept"_s,
            OwnTemplates::PackageForms::WhenNeeded);
        checking->quit();
        const QString form = OwnTemplates::formFile(*memo.ownTemplate, DocumentFormat::Docx);
        QVERIFY(!QFileInfo::exists(form));
        writer.write(memo, pdf, DocumentFormat::Pdf);
        writer.write(memo, docx, DocumentFormat::Docx);
        writer.finish();
        QVERIFY(QFileInfo::exists(form));
    } catch (const std::exception &error) {
        QFAIL(error.what());
    }
    QString page;
    for (const MemoReaders::Word &laid : MemoReaders::pageWords(pdf).value(0))
        page += laid.text + u' ';
    QVERIFY2(page.count(u"8th,"_s) == 2, qPrintable(page)); // the fields' row and the footer
    const QString text = MemoReaders::readerText(u"abiword"_s, docx, mFolder.path());
    QVERIFY2(text.contains(u"December 8th, 2026"_s), qPrintable(text));
}

QTEST_MAIN(OwnTemplatesTest)
#include "tst_owntemplates.moc"

#include "Catdoc.h"
#include "CompoundFile.h"
#include "TemplateCatalogue.h"
#include "TestFiles.h"
#include "TestOffice.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QXmlStreamReader>

#include <functional>

using namespace Qt::Literals::StringLiterals;

// Each embedded template is read back the way the program's office reads it: LibreOffice
// converts it to flat ODF (its bookmarks, fields, tables, headers) and to PDF (its
// pages); catdoc, an independent reader, checks its text.
namespace {

// One paragraph of the body, a header or a footer, as plain text (tabs kept).
struct Paragraph
{
    QString text;
    int table = -1; // the position in the body's tables, -1 outside any table
    int row = -1;
    int cell = -1;
    QList<int> drawings; // text offsets where a drawing is anchored
    QStringList fields; // "page-number", "date:<data style>", "chapter:<level>", ...
    bool isEmpty() const { return text.isEmpty() && drawings.isEmpty(); }
};

struct Bookmark
{
    QString name;
    int paragraph = -1;
    int start = -1;
    int end = -1; // == start for an insertion point
    bool point = false;
    QString macro; // the macro of the field that fills the bookmark's whole range
};

struct MacroField
{
    int start;
    int end;
    QString macro;
};

struct Document
{
    QList<Paragraph> body;
    QList<Bookmark> bookmarks;
    QHash<QString, QList<Paragraph>> headersAndFooters; // by element: "header-first", "footer", ...
    int pages = 0;
    QString plainText; // as catdoc reads it
    QString wordText; // the main text inside the Word file itself

    const Bookmark *bookmark(const QString &name) const
    {
        for (const Bookmark &mark : bookmarks) {
            if (mark.name == name)
                return &mark;
        }
        return nullptr;
    }
};

const QString officeNamespace = u"urn:oasis:names:tc:opendocument:xmlns:office:1.0"_s;

bool isDrawing(const QXmlStreamReader &xml)
{
    static const QStringList shapes { u"frame"_s, u"g"_s, u"rect"_s, u"line"_s, u"polyline"_s,
        u"polygon"_s, u"path"_s, u"circle"_s, u"ellipse"_s, u"custom-shape"_s, u"connector"_s };
    return xml.namespaceUri() == u"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"_s
        && shapes.contains(xml.name().toString());
}

class FlatOdfReader
{
public:
    explicit FlatOdfReader(Document &document)
        : mDocument(document)
    { }

    void read(const QByteArray &xml)
    {
        QXmlStreamReader reader(xml);
        while (!reader.atEnd()) {
            if (reader.readNext() != QXmlStreamReader::StartElement)
                continue;
            const QString name = reader.name().toString();
            if (name == u"master-page")
                readMasterPage(reader);
            else if (name == u"text" && reader.namespaceUri() == officeNamespace)
                readBlocks(reader, mDocument.body, Position {});
        }
        if (reader.hasError())
            throw std::runtime_error(reader.errorString().toStdString());
    }

private:
    struct Position
    {
        int table = -1, row = -1, cell = -1;
    };

    void readMasterPage(QXmlStreamReader &xml)
    {
        while (xml.readNextStartElement()) {
            readBlocks(xml, mDocument.headersAndFooters[xml.name().toString()], Position {});
        }
    }

    // Reads the paragraphs and tables inside the current element.
    void readBlocks(QXmlStreamReader &xml, QList<Paragraph> &into, Position position)
    {
        while (xml.readNextStartElement()) {
            const QString name = xml.name().toString();
            if (name == u"p" || name == u"h")
                readParagraph(xml, into, position);
            else if (name == u"table")
                readTable(xml, into);
            else if (name == u"section" || name == u"list" || name == u"list-item")
                readBlocks(xml, into, position);
            else
                xml.skipCurrentElement();
        }
    }

    void readTable(QXmlStreamReader &xml, QList<Paragraph> &into)
    {
        // Tables of headers and footers do not count among the body's.
        const int table = &into == &mDocument.body ? mTables++ : 0;
        int row = 0;
        std::function<void()> readRows = [&] {
            while (xml.readNextStartElement()) {
                if (xml.name() == u"table-row") {
                    // Cells count as they stand in their row; those a wider one covers do not.
                    int cell = 0;
                    while (xml.readNextStartElement()) {
                        if (xml.name() == u"table-cell")
                            readBlocks(xml, into, Position { table, row, cell++ });
                        else
                            xml.skipCurrentElement();
                    }
                    ++row;
                } else if (xml.name() == u"table-rows" || xml.name() == u"table-header-rows") {
                    readRows();
                } else {
                    xml.skipCurrentElement();
                }
            }
        };
        readRows();
    }

    void readParagraph(QXmlStreamReader &xml, QList<Paragraph> &into, Position position)
    {
        const bool inBody = &into == &mDocument.body;
        Paragraph paragraph;
        paragraph.table = position.table;
        paragraph.row = position.row;
        paragraph.cell = position.cell;
        const int index = int(into.size());
        QHash<QString, qsizetype> open;
        QList<MacroField> macros;
        int macroStart = -1;
        QString macroName;

        int depth = 1;
        while (depth > 0 && !xml.atEnd()) {
            xml.readNext();
            if (xml.isCharacters()) {
                paragraph.text += xml.text();
            } else if (xml.isEndElement()) {
                --depth;
                if (xml.name() == u"execute-macro") {
                    macros.append({ macroStart, int(paragraph.text.size()), macroName });
                    macroStart = -1;
                }
            } else if (xml.isStartElement()) {
                const QString name = xml.name().toString();
                const QXmlStreamAttributes attributes = xml.attributes();
                const auto offset = int(paragraph.text.size());
                if (isDrawing(xml)) {
                    paragraph.drawings << offset;
                    xml.skipCurrentElement();
                } else if (name == u"tab") {
                    paragraph.text += u'\t';
                    xml.skipCurrentElement();
                } else if (name == u"s") {
                    const int count = attributes.value(u"text:c"_s).toInt();
                    paragraph.text += QString(qMax(count, 1), u' ');
                    xml.skipCurrentElement();
                } else if (name == u"line-break") {
                    paragraph.text += u'\n';
                    xml.skipCurrentElement();
                } else if (name == u"bookmark" && inBody) {
                    mDocument.bookmarks.append({ attributes.value(u"text:name"_s).toString(), index,
                        offset, offset, true, {} });
                    xml.skipCurrentElement();
                } else if (name == u"bookmark-start" && inBody) {
                    open.insert(
                        attributes.value(u"text:name"_s).toString(), mDocument.bookmarks.size());
                    mDocument.bookmarks.append({ attributes.value(u"text:name"_s).toString(), index,
                        offset, -1, false, {} });
                    xml.skipCurrentElement();
                } else if (name == u"bookmark-end" && inBody) {
                    const QString mark = attributes.value(u"text:name"_s).toString();
                    if (open.contains(mark))
                        mDocument.bookmarks[open.take(mark)].end = offset;
                    xml.skipCurrentElement();
                } else if (name == u"execute-macro") {
                    macroStart = offset;
                    macroName = attributes.value(u"text:name"_s).toString();
                    ++depth;
                } else if (name == u"event-listener") {
                    macroName = attributes.value(u"script:macro-name"_s).toString();
                    xml.skipCurrentElement();
                } else if (name == u"page-number" || name == u"date") {
                    const QString style = attributes.value(u"style:data-style-name"_s).toString();
                    paragraph.fields << (style.isEmpty() ? name : name + u':' + style);
                    ++depth;
                } else if (name == u"chapter") {
                    paragraph.fields
                        << u"chapter:"_s + attributes.value(u"text:outline-level"_s).toString();
                    ++depth;
                } else {
                    ++depth;
                }
            }
        }
        for (Bookmark &mark : mDocument.bookmarks) {
            if (mark.paragraph != index || !inBody)
                continue;
            for (const MacroField &field : macros) {
                if (field.start == mark.start && field.end == mark.end)
                    mark.macro = field.macro;
            }
        }
        into.append(paragraph);
    }

    Document &mDocument;
    int mTables = 0;
};

struct Style
{
    QString file;
    int id;
    QStringList bookmarks;
    QStringList labels; // the words catdoc must find
};

const QList<Style> styles {
    { u"Professional"_s, 104,
        { u"bkOrgName"_s, u"bkTo"_s, u"bkFrom"_s, u"bkCC"_s, u"bkDate"_s, u"bkRe"_s, u"bkMsg"_s },
        { u"Memo"_s, u"To:"_s, u"From:"_s, u"CC:"_s, u"Date:"_s, u"Re:"_s } },
    { u"Contemporary"_s, 102,
        { u"bkTo"_s, u"bkCC"_s, u"bkFrom"_s, u"bkDate"_s, u"bkRe"_s, u"bkMsg"_s },
        { u"Memorandum"_s, u"To:"_s, u"CC:"_s, u"From:"_s, u"Date:"_s, u"Re:"_s,
            u"Confidential"_s } },
    { u"Elegant"_s, 103, { u"bkTo"_s, u"bkFrom"_s, u"bkRe"_s, u"bkDate"_s, u"bkCC"_s, u"bkMsg"_s },
        { u"interoffice memorandum"_s, u"to:"_s, u"from:"_s, u"subject:"_s, u"date:"_s,
            u"cc:"_s } },
    { u"Simple"_s, 105,
        { u"bkOrgName"_s, u"bkTo"_s, u"bkFrom"_s, u"bkCC"_s, u"bkDate"_s, u"bkRe"_s, u"bkMsg"_s },
        { u"To:"_s, u"From:"_s, u"CC:"_s, u"Date:"_s, u"Re:"_s, u"Comments:"_s } },
    { u"BlueSky"_s, 101, { u"bkTo"_s, u"bkFrom"_s, u"bkDate"_s, u"bkRe"_s, u"bkMsg"_s },
        { u"Memo"_s, u"To:"_s, u"From:"_s, u"Date:"_s, u"Re:"_s, u"Message:"_s } },
};

const QString namePlaceholder = u"[Click here and type name]"_s;
const QString subjectPlaceholder = u"[Click here and type subject]"_s;

// The paragraph in the first cell of a value's row.
const Paragraph &labelOf(const Document &read, const Paragraph &value)
{
    static const Paragraph none;
    const auto label = std::find_if(read.body.begin(), read.body.end(), [&](const Paragraph &p) {
        return p.table == value.table && p.row == value.row && p.cell == 0;
    });
    return label == read.body.end() ? none : *label;
}

int pdfPageCount(const QByteArray &pdf)
{
    static const QRegularExpression page(u"/Type\\s*/Page(?![s\\w])"_s);
    return int(QString::fromLatin1(pdf).count(page));
}

} // namespace

class TemplateContentTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void bookmarksInDocumentOrder_data();
    void bookmarksInDocumentOrder();
    void fieldsFollowTheirLabels_data();
    void fieldsFollowTheirLabels();
    void templateIsOnePage_data();
    void templateIsOnePage();
    void catdocReadsLabelsAndPlaceholders_data();
    void catdocReadsLabelsAndPlaceholders();

    void professionalOpensWithTheOrganisationBanner();
    void contemporaryHasGraphicsDateAndConfidentialMark();
    void elegantEndsWithTheMessageAfterAnEmptyParagraph();
    void simpleIsOneFormUnderAMemoHeader();
    void blueSkyHasItsGraphicAfterTo();

private:
    // initTestCase fails unless it read every style.
    const Document &document(const QString &file) const { return *mDocuments.constFind(file); }
    QHash<QString, Document> mDocuments;
};

void TemplateContentTest::initTestCase()
{
    QVERIFY2(!TestOffice::program().isEmpty(),
        "LibreOffice (soffice.bin) is needed to read the templates back");
    QVERIFY2(!QStandardPaths::findExecutable(u"catdoc"_s).isEmpty(),
        "catdoc is needed to read the templates independently");

    const QString temp = qEnvironmentVariable("TEMP", QDir::tempPath());
    const QString work = temp + u"/templates"_s;
    QDir(work).removeRecursively();
    QVERIFY(QDir().mkpath(work));
    const QString profile = temp + u"/office-profile"_s;

    for (const Style &style : styles) {
        const QString dot = work + u'/' + style.file + u".dot"_s;
        QVERIFY(writeFile(dot, loadResData(style.id)));

        Document &read = mDocuments[style.file];
        try {
            FlatOdfReader(read).read(readFile(TestOffice::convert(dot, u"fodt"_s, work, profile)));
            read.pages = pdfPageCount(readFile(TestOffice::convert(dot, u"pdf"_s, work, profile)));
        } catch (const std::exception &error) {
            QFAIL(qPrintable(style.file + u": "_s + QString::fromUtf8(error.what())));
        }

        bool catdocRead = false;
        read.plainText = catdoc(dot, &catdocRead);
        QVERIFY2(catdocRead, qPrintable(read.plainText));
        try {
            read.wordText = wordDocumentText(CompoundFile(loadResData(style.id)));
        } catch (const std::exception &error) {
            QFAIL(error.what());
        }
    }
}

void TemplateContentTest::bookmarksInDocumentOrder_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("expected");
    for (const Style &style : styles)
        QTest::newRow(qPrintable(style.file)) << style.file << style.bookmarks;
}

void TemplateContentTest::bookmarksInDocumentOrder()
{
    QFETCH(QString, file);
    QFETCH(QStringList, expected);
    QStringList names;
    for (const Bookmark &mark : document(file).bookmarks) {
        // Contemporary's graphic carries a bookmark of its own that no run writes.
        if (!(file == u"Contemporary" && mark.name == u"xgraphic"))
            names << mark.name;
    }
    QCOMPARE(names, expected);
}

// Where each bookmark stands: in the cell beside its label, so that every line of a value
// keeps to the value column; and whether it spans a placeholder field or is a point.
void TemplateContentTest::fieldsFollowTheirLabels_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("bookmark");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("placeholder"); // "" for an insertion point

    auto row = [](const QString &file, const QString &bookmark, const QString &label,
                   const QString &placeholder) {
        QTest::addRow("%s %s", qPrintable(file), qPrintable(bookmark))
            << file << bookmark << label << placeholder;
    };
    for (const QString &file : { u"Professional"_s, u"Contemporary"_s }) {
        row(file, u"bkTo"_s, u"To:"_s, namePlaceholder);
        row(file, u"bkFrom"_s, u"From:"_s, namePlaceholder);
        row(file, u"bkCC"_s, u"CC:"_s, namePlaceholder);
        row(file, u"bkDate"_s, u"Date:"_s, QString());
        row(file, u"bkRe"_s, u"Re:"_s, subjectPlaceholder);
    }
    row(u"Elegant"_s, u"bkTo"_s, u"to:"_s, namePlaceholder);
    row(u"Elegant"_s, u"bkFrom"_s, u"from:"_s, namePlaceholder);
    row(u"Elegant"_s, u"bkRe"_s, u"subject:"_s, subjectPlaceholder);
    row(u"Elegant"_s, u"bkDate"_s, u"date:"_s, QString());
    row(u"Elegant"_s, u"bkCC"_s, u"cc:"_s, namePlaceholder);
    row(u"Simple"_s, u"bkTo"_s, u"To:"_s, QString());
    row(u"Simple"_s, u"bkFrom"_s, u"From:"_s, QString());
    row(u"Simple"_s, u"bkCC"_s, u"CC:"_s, QString());
    row(u"Simple"_s, u"bkDate"_s, u"Date:"_s, QString());
    row(u"Simple"_s, u"bkRe"_s, u"Re:"_s, QString());
    row(u"Simple"_s, u"bkMsg"_s, u"Comments:"_s, QString());
    row(u"BlueSky"_s, u"bkTo"_s, u"To:"_s, QString());
    row(u"BlueSky"_s, u"bkFrom"_s, u"From:"_s, QString());
    row(u"BlueSky"_s, u"bkDate"_s, u"Date:"_s, QString());
    row(u"BlueSky"_s, u"bkRe"_s, u"Re:"_s, QString());
}

void TemplateContentTest::fieldsFollowTheirLabels()
{
    QFETCH(QString, file);
    QFETCH(QString, bookmark);
    QFETCH(QString, label);
    QFETCH(QString, placeholder);

    const Document &read = document(file);
    const Bookmark *mark = read.bookmark(bookmark);
    QVERIFY2(mark, "no such bookmark");
    const Paragraph &paragraph = read.body[mark->paragraph];

    if (placeholder.isEmpty()) {
        QVERIFY2(mark->point, "the bookmark should be an insertion point");
    } else {
        QVERIFY2(!mark->point && mark->end > mark->start, "the bookmark should span a placeholder");
        QCOMPARE(paragraph.text.mid(mark->start, mark->end - mark->start), placeholder);
        QVERIFY2(mark->macro == u"NoMacro" || mark->macro.endsWith(u".NoMacro"),
            qPrintable(u"the placeholder runs \""_s + mark->macro + u'"'));
    }
    // The bookmark is the whole value paragraph, so the memo's value is too.
    QCOMPARE(mark->start, 0);
    QCOMPARE(mark->end, int(paragraph.text.size()));
    QVERIFY2(paragraph.table >= 0 && paragraph.cell == 1, "the value belongs in a second cell");
    QCOMPARE(labelOf(read, paragraph).text, label);
}

void TemplateContentTest::templateIsOnePage_data()
{
    QTest::addColumn<QString>("file");
    for (const Style &style : styles)
        QTest::newRow(qPrintable(style.file)) << style.file;
}

void TemplateContentTest::templateIsOnePage()
{
    QFETCH(QString, file);
    QCOMPARE(document(file).pages, 1);
}

void TemplateContentTest::catdocReadsLabelsAndPlaceholders_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<int>("names");
    QTest::addColumn<int>("subjects");
    QTest::newRow("Professional") << u"Professional"_s << styles[0].labels << 3 << 1;
    QTest::newRow("Contemporary") << u"Contemporary"_s << styles[1].labels << 3 << 1;
    QTest::newRow("Elegant") << u"Elegant"_s << styles[2].labels << 3 << 1;
    QTest::newRow("Simple") << u"Simple"_s << styles[3].labels << 0 << 0;
    // catdoc drops a line's text before a drawing's anchor, so Blue Sky's "To:" is
    // checked in the Word text itself (blueSkyHasItsGraphicAfterTo).
    QStringList blueSky = styles[4].labels;
    blueSky.removeOne(u"To:"_s);
    QTest::newRow("BlueSky") << u"BlueSky"_s << blueSky << 0 << 0;
}

void TemplateContentTest::catdocReadsLabelsAndPlaceholders()
{
    QFETCH(QString, file);
    QFETCH(QStringList, labels);
    QFETCH(int, names);
    QFETCH(int, subjects);
    const QString text = document(file).plainText;
    for (const QString &label : labels)
        QVERIFY2(text.contains(label), qPrintable(label + u" is missing from:\n"_s + text));
    QCOMPARE(text.count(u"MACROBUTTON NoMacro "_s + namePlaceholder), names);
    QCOMPARE(text.count(u"MACROBUTTON NoMacro "_s + subjectPlaceholder), subjects);
    QCOMPARE(text.count(u"MACROBUTTON"_s), names + subjects);
}

void TemplateContentTest::professionalOpensWithTheOrganisationBanner()
{
    const Document &read = document(u"Professional"_s);
    const Bookmark *organisation = read.bookmark(u"bkOrgName"_s);
    QVERIFY(organisation && organisation->point);
    const Paragraph &cell = read.body[organisation->paragraph];
    QCOMPARE(cell.table, 0);
    QCOMPARE(cell.row, 0);
    QCOMPARE(cell.cell, 1);
    // Only the first cell's paragraph and the space above the name come before it.
    QCOMPARE(organisation->paragraph, 2);
    QVERIFY(read.body[1].isEmpty());
    QCOMPARE(read.body.first().table, 0);
    QVERIFY2(read.body.first().isEmpty(), "the banner's first cell is colour only");
    for (const Paragraph &paragraph : read.body) {
        if (paragraph.table == 0)
            QCOMPARE(paragraph.row, 0);
    }

    QVERIFY(std::any_of(read.body.begin(), read.body.end(),
        [](const Paragraph &p) { return p.table < 0 && p.text == u"Memo"; }));

    const Bookmark *message = read.bookmark(u"bkMsg"_s);
    QVERIFY(message && message->point);
    QCOMPARE(message->paragraph, int(read.body.size()) - 1);
    QVERIFY(read.body[message->paragraph - 1].isEmpty());
    QVERIFY(read.body[message->paragraph].text.isEmpty());
    // Re, the row drawing the rule after the fields, the space under it, the message.
    QCOMPARE(read.bookmark(u"bkRe"_s)->paragraph, message->paragraph - 3);

    const QList<Paragraph> footer = read.headersAndFooters.value(u"footer"_s);
    QVERIFY(std::any_of(footer.begin(), footer.end(),
        [](const Paragraph &p) { return p.fields.contains(u"page-number"_s); }));
}

void TemplateContentTest::contemporaryHasGraphicsDateAndConfidentialMark()
{
    const Document &read = document(u"Contemporary"_s);

    const Bookmark *graphic = read.bookmark(u"xgraphic"_s);
    QVERIFY(graphic && !graphic->point);
    const Paragraph &graphicParagraph = read.body[graphic->paragraph];
    QVERIFY(std::any_of(graphicParagraph.drawings.begin(), graphicParagraph.drawings.end(),
        [&](int at) { return at >= graphic->start && at <= graphic->end; }));
    const Bookmark *to = read.bookmark(u"bkTo"_s);
    QVERIFY(to);
    int title = -1;
    for (int i = 0; i < read.body.size(); ++i) {
        if (read.body[i].text == u"Memorandum")
            title = i;
    }
    QVERIFY2(title > graphic->paragraph && title < to->paragraph,
        "\"Memorandum\" should stand after the graphic and before the fields");

    const Bookmark *message = read.bookmark(u"bkMsg"_s);
    QVERIFY(message && message->point);
    QVERIFY(read.body[message->paragraph].text.isEmpty());
    QVERIFY(read.body[message->paragraph - 1].isEmpty());
    // Re, the two cells of the row drawing the rule, the space under it, the message.
    QCOMPARE(read.bookmark(u"bkRe"_s)->paragraph, message->paragraph - 4);
    QCOMPARE(read.body.value(message->paragraph + 1).text, u"Confidential"_s);

    int drawings = 0;
    for (const Paragraph &paragraph : read.headersAndFooters.value(u"header-first"_s))
        drawings += int(paragraph.drawings.size());
    QVERIFY2(drawings >= 2, "the first page's header should carry the graphics");

    // Later pages show the memo's own date: the text of its date line, the one heading,
    // never a date field, which shows the day the file is opened.
    QStringList headerFields;
    for (const Paragraph &paragraph : read.headersAndFooters.value(u"header"_s))
        headerFields << paragraph.fields;
    QVERIFY2(headerFields.contains(u"chapter:1"_s), qPrintable(headerFields.join(u' ')));
    QVERIFY2(!headerFields.join(u' ').contains(u"date"_s), qPrintable(headerFields.join(u' ')));

    for (const QString &footer : { u"footer"_s, u"footer-first"_s }) {
        const QList<Paragraph> paragraphs = read.headersAndFooters.value(footer);
        QVERIFY2(std::any_of(paragraphs.begin(), paragraphs.end(),
                     [](const Paragraph &p) { return p.fields.contains(u"page-number"_s); }),
            qPrintable(footer));
    }
}

void TemplateContentTest::elegantEndsWithTheMessageAfterAnEmptyParagraph()
{
    const Document &read = document(u"Elegant"_s);
    QVERIFY(std::any_of(read.body.begin(), read.body.end(),
        [](const Paragraph &p) { return p.text == u"interoffice memorandum"; }));
    const Bookmark *message = read.bookmark(u"bkMsg"_s);
    QVERIFY(message && message->point);
    QCOMPARE(message->paragraph, int(read.body.size()) - 1);
    QVERIFY(read.body[message->paragraph - 1].isEmpty());
    QCOMPARE(read.bookmark(u"bkCC"_s)->paragraph, message->paragraph - 2);

    const QList<Paragraph> footer = read.headersAndFooters.value(u"footer"_s);
    QVERIFY(std::any_of(footer.begin(), footer.end(),
        [](const Paragraph &p) { return p.fields.contains(u"page-number"_s); }));
    // Later pages open with a line that names the memo and its own date.
    const QList<Paragraph> header = read.headersAndFooters.value(u"header"_s);
    QVERIFY(std::any_of(header.begin(), header.end(),
        [](const Paragraph &p) { return p.text.contains(u"interoffice memorandum"_s); }));
    QVERIFY(std::any_of(header.begin(), header.end(),
        [](const Paragraph &p) { return p.fields.contains(u"chapter:1"_s); }));
}

void TemplateContentTest::simpleIsOneFormUnderAMemoHeader()
{
    const Document &read = document(u"Simple"_s);
    const Bookmark *organisation = read.bookmark(u"bkOrgName"_s);
    QVERIFY(organisation && organisation->point);
    const Paragraph &first = read.body[organisation->paragraph];
    QCOMPARE(first.table, 0);
    QCOMPARE(first.row, 0);
    QCOMPARE(first.cell, 0);
    for (const Paragraph &paragraph : read.body) {
        if (paragraph.table == 0 && paragraph.row == 0)
            QCOMPARE(paragraph.cell, 0); // the first row is one cell
        QVERIFY2(paragraph.table == 0 || paragraph.isEmpty(), "the form holds all the text");
    }

    const Bookmark *message = read.bookmark(u"bkMsg"_s);
    QVERIFY(message);
    int lastRow = 0;
    for (const Paragraph &paragraph : read.body)
        lastRow = qMax(lastRow, paragraph.row);
    QCOMPARE(read.body[message->paragraph].row, lastRow);

    // "memo" heads the first page and the running line of later pages.
    for (const QString &part : { u"header-first"_s, u"header"_s }) {
        QStringList header;
        for (const Paragraph &paragraph : read.headersAndFooters.value(part))
            header << paragraph.text;
        QVERIFY2(header.join(u' ').split(QRegularExpression(u"\\s+"_s)).contains(u"memo"_s),
            qPrintable(part + u": "_s + header.join(u'|')));
    }
}

void TemplateContentTest::blueSkyHasItsGraphicAfterTo()
{
    const Document &read = document(u"BlueSky"_s);
    const Bookmark *to = read.bookmark(u"bkTo"_s);
    QVERIFY(to);
    const Paragraph &label = labelOf(read, read.body[to->paragraph]);
    QVERIFY2(label.drawings.contains(int(QStringLiteral("To:").size())),
        "a graphic should be anchored right after \"To:\"");
    // In the Word file the anchor is character 8, between the label and its cell's end.
    QVERIFY2(read.wordText.contains(u"To:\u0008\u0007"_s), qPrintable(read.wordText));

    // "Memo", an empty paragraph, the row drawing the rule, then the lines.
    const qsizetype labelIndex = &label - read.body.constData();
    QVERIFY(labelIndex >= 3);
    QCOMPARE(read.body[labelIndex - 3].text, u"Memo"_s);
    QVERIFY(read.body[labelIndex - 2].isEmpty());
    QVERIFY(read.body[labelIndex - 1].isEmpty());

    const Bookmark *message = read.bookmark(u"bkMsg"_s);
    QVERIFY(message && message->point);
    QVERIFY(read.body[message->paragraph].text.isEmpty());
    QCOMPARE(read.body[message->paragraph - 1].text, u"Message:"_s);
    const Bookmark *re = read.bookmark(u"bkRe"_s);
    QVERIFY(re && re->paragraph < message->paragraph - 1);
}

QTEST_GUILESS_MAIN(TemplateContentTest)
#include "tst_templatecontent.moc"

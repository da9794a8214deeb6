#include "CompoundFile.h"
#include "DateWording.h"
#include "LibreOfficeProcessor.h"
#include "MemoDetails.h"
#include "MemoReaders.h"
#include "MemoStyle.h"
#include "MemoWriter.h"
#include "TestOffice.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <poppler-qt6.h>

#include <optional>

using namespace Qt::Literals::StringLiterals;
using namespace MemoReaders;

// Memos of every style as their readers see them: the saved Word file read by four
// independent readers, and laid out by LibreOffice into pages whose words are measured.
namespace {

enum class Kind { Empty, Example, Full };

struct Field
{
    QString bookmark;
    QString label; // as the style prints it
};

struct Style
{
    int index;
    QList<Field> fields; // in document order
    bool firstPageNumbered; // later pages are numbered in every style
};

const QList<Style> styles {
    { 0,
        { { u"bkOrgName"_s, {} }, { u"bkTo"_s, u"To:"_s }, { u"bkFrom"_s, u"From:"_s },
            { u"bkCC"_s, u"CC:"_s }, { u"bkDate"_s, u"Date:"_s }, { u"bkRe"_s, u"Re:"_s },
            { u"bkMsg"_s, {} } },
        true },
    { 1,
        { { u"bkTo"_s, u"To:"_s }, { u"bkCC"_s, u"CC:"_s }, { u"bkFrom"_s, u"From:"_s },
            { u"bkDate"_s, u"Date:"_s }, { u"bkRe"_s, u"Re:"_s }, { u"bkMsg"_s, {} } },
        true },
    { 2,
        { { u"bkTo"_s, u"to:"_s }, { u"bkFrom"_s, u"from:"_s }, { u"bkRe"_s, u"subject:"_s },
            { u"bkDate"_s, u"date:"_s }, { u"bkCC"_s, u"cc:"_s }, { u"bkMsg"_s, {} } },
        true },
    { 3,
        { { u"bkOrgName"_s, {} }, { u"bkTo"_s, u"To:"_s }, { u"bkFrom"_s, u"From:"_s },
            { u"bkCC"_s, u"CC:"_s }, { u"bkDate"_s, u"Date:"_s }, { u"bkRe"_s, u"Re:"_s },
            { u"bkMsg"_s, {} } },
        true },
    { 4,
        { { u"bkTo"_s, u"To:"_s }, { u"bkFrom"_s, u"From:"_s }, { u"bkDate"_s, u"Date:"_s },
            { u"bkRe"_s, u"Re:"_s }, { u"bkMsg"_s, {} } },
        false },
};

QString styleName(int index)
{
    return QString::fromLatin1(kMemoStyles.at(size_t(index)).caption);
}

// Every line of a two-line value starts with a word found nowhere else; the subject's
// first line is long enough to wrap in every style, and the message fills three pages.
// Its first paragraphs are typed as "A\nB\n\nC": a line break, then an empty line. It is
// dated years before any run, so a page showing the day of the run instead of the memo's
// date shows a wrong one.
const QDate kFullMemoDate(2019, 3, 4);

MemoDetails fullMemo(int style)
{
    MemoDetails memo;
    memo.style = style;
    memo.date = kFullMemoDate;
    memo.orgName = u"Tarnwick Holdings"_s;
    memo.to = u"Alice Marsh\nBernard Quill"_s;
    memo.cc = u"Carla Dent\nDmitri Oakes"_s;
    memo.from = u"Ewan Varden\nFinance Office"_s;
    memo.re = u"Quarterly figures for the northern warehouses, the delivery schedule and the new "
              "supplier contract that begins with the spring\nSecondly the parking"_s;
    QStringList paragraphs;
    for (int number = 1; number <= 24; ++number) {
        paragraphs << u"Paragraph %1. The warehouse moves its deliveries to the new loading bay "
                      "from Monday; drivers report to the gate office first, where the plan "
                      "for the week is posted. Questions go to the logistics desk, and the "
                      "whole plan is at https://intranet.example.com/logistics/plans/2026/"
                      "warehouse-move.html for anyone who wants the details."_s.arg(number);
    }
    memo.msg
        = paragraphs.at(0) + u'\n' + paragraphs.at(1) + u"\n\n"_s + paragraphs.mid(2).join(u'\n');
    return memo;
}

MemoDetails memoOf(Kind kind, int style)
{
    if (kind == Kind::Full)
        return fullMemo(style);
    MemoDetails memo;
    memo.date = QDate(2026, 12, 8);
    if (kind == Kind::Example)
        memo = withSampleData(memo);
    memo.style = style;
    return memo;
}

// What the memo prints, in document order, one line of a value at a time.
QStringList printedLines(const MemoDetails &memo, const Style &style)
{
    const QList<std::pair<QString, QString>> writes = bookmarkWrites(memo);
    QStringList lines;
    for (const Field &field : style.fields) {
        if (!field.label.isEmpty())
            lines << field.label;
        for (const auto &[bookmark, text] : writes) {
            if (bookmark == field.bookmark)
                lines += text.split(u'\n', Qt::SkipEmptyParts);
        }
    }
    for (QString &line : lines)
        line = line.simplified();
    lines.removeAll(QString());
    return lines;
}

constexpr double kTolerance = 1.5; // points

// The first word that reads as the text, whatever its case and with or without its
// colon (a letter-spaced label's colon may come as a word of its own).
std::optional<Word> find(const QList<Word> &words, QString text)
{
    text.remove(u':');
    for (const Word &word : words) {
        if (QString(word.text).remove(u':').compare(text, Qt::CaseInsensitive) == 0)
            return word;
    }
    return std::nullopt;
}

// The first word on the line of the given one.
Word lineStart(const QList<Word> &words, const Word &on)
{
    Word first = on;
    for (const Word &word : words) {
        if (qAbs(word.box.center().y() - on.box.center().y()) < 2.0
            && word.box.left() < first.box.left())
            first = word;
    }
    return first;
}

// The first word on the line below the given one's.
std::optional<Word> nextLine(const QList<Word> &words, const Word &on)
{
    std::optional<Word> next;
    for (const Word &word : words) {
        if (word.box.top() > on.box.bottom() - kTolerance / 2
            && (!next || word.box.top() < next->box.top()))
            next = word;
    }
    return next;
}

// How a memo is laid out into pages: by LibreOffice from each format Scrivane writes,
// as Scrivane's own PDF, and by AbiWord from the Word 97 file.
struct Layout
{
    const char *name;
    const char *format; // of the file laid out
};
const QList<Layout> layouts { { "doc", "doc" }, { "docx", "docx" }, { "odt", "odt" },
    { "pdf", "pdf" }, { "AbiWord doc", "doc" } };

struct LaidOut
{
    QString pdf;
    QList<QList<Word>> pages;
};

// The distance in points from y down to the first row of ink of the page, at most to limit.
double inkFreeBelow(const QString &pdf, int page, double y, double limit)
{
    constexpr double dpi = 144.0;
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::load(pdf);
    const std::unique_ptr<Poppler::Page> drawn = document ? document->page(page) : nullptr;
    if (!drawn)
        return 0;
    const QImage image = drawn->renderToImage(dpi, dpi).convertToFormat(QImage::Format_Grayscale8);
    const double scale = dpi / 72.0;
    for (int row = int(y * scale) + 1; row < qMin(int(limit * scale), image.height()); ++row) {
        const uchar *pixels = image.constScanLine(row);
        for (int column = 0; column < image.width(); ++column) {
            if (pixels[column] < 200)
                return row / scale - y;
        }
    }
    return limit - y;
}

} // namespace

class MemoDocumentsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void everyReaderFindsEveryValueInOrder_data();
    void everyReaderFindsEveryValueInOrder();
    void continuationLinesKeepToTheValueColumn_data();
    void continuationLinesKeepToTheValueColumn();
    void pagesCarryTheirNumbersAndTheMemosDate_data();
    void pagesCarryTheirNumbersAndTheMemosDate();
    void paragraphsArePartedAndAnEmptyLineAddsOneLine_data();
    void paragraphsArePartedAndAnEmptyLineAddsOneLine();
    void footersStandClearOfTheBody_data();
    void footersStandClearOfTheBody();
    void abiwordLaysOutEveryFormat_data();
    void abiwordLaysOutEveryFormat();
    void everyFontEntryHasOneName_data();
    void everyFontEntryHasOneName();
    void propertiesDescribeTheMemo_data();
    void propertiesDescribeTheMemo();
    void exportsNameTheCompany_data();
    void exportsNameTheCompany();
    void closingLinesStayOnOnePage_data();
    void closingLinesStayOnOnePage();

private:
    QString document(Kind kind, int style, const QString &format = u"doc"_s) const
    {
        return mFolder.filePath(u"%1-%2.%3"_s.arg(int(kind)).arg(style).arg(format));
    }

    // The full memo of a style as laid out.
    const LaidOut &laidOut(int style, const QString &layout) const
    {
        static const LaidOut none;
        const auto found = mLayouts.constFind(styleName(style) + u'/' + layout);
        return found == mLayouts.constEnd() ? none : *found;
    }

    QTemporaryDir mFolder;
    QHash<QString, LaidOut> mLayouts; // by "style/layout"
};

void MemoDocumentsTest::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    for (const QString &reader : { u"catdoc"_s, u"antiword"_s, u"wvText"_s, u"abiword"_s }) {
        QVERIFY2(!QStandardPaths::findExecutable(reader).isEmpty(),
            qPrintable(reader + u" is needed: ./dev installs it"_s));
    }
    QVERIFY2(!TestOffice::program().isEmpty(), "LibreOffice is needed");
    QVERIFY(mFolder.isValid());

    LibreOfficeProcessor word;
    MemoWriter writer(word);
    for (const Kind kind : { Kind::Empty, Kind::Example, Kind::Full }) {
        for (const Style &style : styles) {
            try {
                writer.write(memoOf(kind, style.index), document(kind, style.index));
            } catch (const std::exception &error) {
                QFAIL(error.what());
            }
        }
    }
    const QList<std::pair<const char *, DocumentFormat>> formats { { "docx", DocumentFormat::Docx },
        { "odt", DocumentFormat::Odt }, { "pdf", DocumentFormat::Pdf } };
    for (const Style &style : styles) {
        for (const auto &[extension, format] : formats) {
            try {
                writer.write(memoOf(Kind::Full, style.index),
                    document(Kind::Full, style.index, QString::fromLatin1(extension)), format);
            } catch (const std::exception &error) {
                QFAIL(error.what());
            }
        }
    }
    writer.finish();

    const QString profile = mFolder.filePath(u"office-profile"_s);
    for (const Style &style : styles) {
        for (const Layout &layout : layouts) {
            const QString name = QString::fromLatin1(layout.name);
            const QString source
                = document(Kind::Full, style.index, QString::fromLatin1(layout.format));
            const QString folder = mFolder.filePath(name).replace(u' ', u'-');
            QString pdf = source;
            try {
                if (name.startsWith(u"AbiWord")) {
                    QDir().mkpath(folder);
                    pdf = folder + u'/' + QFileInfo(source).completeBaseName() + u".pdf"_s;
                    QString said;
                    QVERIFY2(abiword(source, u"pdf"_s, pdf, &said) == 0, qPrintable(said));
                } else if (name != u"pdf") {
                    pdf = TestOffice::convert(source, u"pdf"_s, folder, profile);
                }
            } catch (const std::exception &error) {
                QFAIL(error.what());
            }
            const LaidOut read { pdf, pageWords(pdf) };
            QVERIFY2(read.pages.size() >= 3,
                qPrintable(u"%1 in %2: the full memo should fill three pages"_s.arg(
                    styleName(style.index), name)));
            mLayouts.insert(styleName(style.index) + u'/' + name, read);
        }
    }
}

void MemoDocumentsTest::everyReaderFindsEveryValueInOrder_data()
{
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("style");
    const QList<std::pair<Kind, const char *>> kinds { { Kind::Empty, "empty" },
        { Kind::Example, "example" }, { Kind::Full, "full" } };
    for (const char *reader : { "catdoc", "antiword", "wvText", "abiword" }) {
        for (const auto &[kind, kindName] : kinds) {
            for (const Style &style : styles) {
                QTest::addRow("%s %s %s", reader, kindName, qPrintable(styleName(style.index)))
                    << QString::fromLatin1(reader) << u"doc"_s << int(kind) << style.index;
            }
        }
    }
    for (const char *format : { "docx", "odt" }) {
        for (const Style &style : styles) {
            QTest::addRow("abiword full %s %s", qPrintable(styleName(style.index)), format)
                << u"abiword"_s << QString::fromLatin1(format) << int(Kind::Full) << style.index;
        }
    }
}

void MemoDocumentsTest::everyReaderFindsEveryValueInOrder()
{
    QFETCH(QString, reader);
    QFETCH(QString, format);
    QFETCH(int, kind);
    QFETCH(int, style);
    const QString text
        = readerText(reader, document(Kind(kind), style, format), mFolder.path()).simplified();
    QStringList lines = printedLines(memoOf(Kind(kind), style), styles.at(style));
    // catdoc drops a line's text before a drawing's anchor: Blue Sky's "To:".
    if (reader == u"catdoc" && style == 4)
        lines.removeOne(u"To:"_s);
    qsizetype at = 0;
    for (const QString &line : std::as_const(lines)) {
        const qsizetype found = text.indexOf(line, at, Qt::CaseInsensitive);
        QVERIFY2(found >= 0,
            qPrintable(
                u"\"%1\" is missing after character %2 of:\n%3"_s.arg(line).arg(at).arg(text)));
        at = found + line.size();
    }
}

// Each row: the label, the first word of its value, and the first words of later lines
// (from Enter, or where a line wrapped).
void MemoDocumentsTest::continuationLinesKeepToTheValueColumn_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QStringList>("later");
    for (const Style &style : styles) {
        for (const Field &field : style.fields) {
            QString first;
            QStringList later;
            if (field.bookmark == u"bkTo") {
                first = u"Alice"_s;
                later = QStringList { u"Bernard"_s };
            } else if (field.bookmark == u"bkCC") {
                first = u"Carla"_s;
                later = QStringList { u"Dmitri"_s };
            } else if (field.bookmark == u"bkFrom") {
                first = u"Ewan"_s;
                later = QStringList { u"Finance"_s };
            } else if (field.bookmark == u"bkRe") {
                first = u"Quarterly"_s;
                later = QStringList { u"spring"_s, u"Secondly"_s };
            } else {
                continue;
            }
            QTest::addRow("%s %s", qPrintable(styleName(style.index)), qPrintable(field.label))
                << style.index << field.label << first << later;
        }
    }
}

void MemoDocumentsTest::continuationLinesKeepToTheValueColumn()
{
    QFETCH(int, style);
    QFETCH(QString, label);
    QFETCH(QString, first);
    QFETCH(QStringList, later);
    const QList<Word> words = laidOut(style, u"doc"_s).pages.value(0);
    const std::optional<Word> labelWord = find(words, label);
    const std::optional<Word> value = find(words, first);
    QVERIFY2(labelWord && value, qPrintable(label + u" or "_s + first + u" is not on page 1"_s));
    QVERIFY2(value->box.left() > labelWord->box.right(), "the value stands right of its label");
    QVERIFY2(qAbs(value->box.bottom() - labelWord->box.bottom()) < kTolerance,
        "the label stands level with its value's first line");

    for (const QString &text : later) {
        const std::optional<Word> word = find(words, text);
        QVERIFY2(word, qPrintable(text + u" is not on page 1"_s));
        QVERIFY2(word->box.center().y() > value->box.bottom(),
            qPrintable(text + u" should be on a later line"_s));
        const Word start = lineStart(words, *word);
        QVERIFY2(qAbs(start.box.left() - value->box.left()) < kTolerance,
            qPrintable(
                u"the line of \"%1\" starts with \"%2\" at %3 pt, the value column at %4 pt"_s
                    .arg(text, start.text)
                    .arg(start.box.left())
                    .arg(value->box.left())));
    }
}

void MemoDocumentsTest::pagesCarryTheirNumbersAndTheMemosDate_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("layout");
    // AbiWord shows no chapter field's result: the date is there as text.
    for (const char *layout : { "doc", "AbiWord doc" }) {
        for (const Style &style : styles) {
            for (int page : { 1, 2, 3 }) {
                if (page > 1 || style.firstPageNumbered)
                    QTest::addRow("%s %s page %d", layout, qPrintable(styleName(style.index)), page)
                        << style.index << page << QString::fromLatin1(layout);
            }
        }
    }
}

void MemoDocumentsTest::pagesCarryTheirNumbersAndTheMemosDate()
{
    QFETCH(int, style);
    QFETCH(int, page);
    QFETCH(QString, layout);
    const QList<Word> words = laidOut(style, layout).pages.value(page - 1);
    double lowest = 0;
    for (const Word &word : words)
        lowest = qMax(lowest, word.box.bottom());
    // The number is the page's lowest word, in its footer.
    const auto number = std::find_if(words.begin(), words.end(), [&](const Word &word) {
        return word.text == QString::number(page) && word.box.bottom() > lowest - kTolerance;
    });
    QVERIFY2(number != words.end(), "the page's number is missing at its foot");

    // A later page says of which day the memo is; letter-spacing may split its words.
    if (page > 1) {
        QString text;
        for (const Word &word : words)
            text += word.text;
        const QString date = dateText(kFullMemoDate).remove(u' ');
        QVERIFY2(text.contains(date), qPrintable(date + u" is not on the page: "_s + text));
    }
}

// The full memo's first paragraphs, "A\nB\n\nC": B stands below A with about half a line
// of space more than a line, and C one line further below B, the empty line's.
void MemoDocumentsTest::paragraphsArePartedAndAnEmptyLineAddsOneLine_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("layout");
    for (const Style &style : styles) {
        for (const Layout &layout : layouts) {
            QTest::addRow("%s %s", qPrintable(styleName(style.index)), layout.name)
                << style.index << QString::fromLatin1(layout.name);
        }
    }
}

void MemoDocumentsTest::paragraphsArePartedAndAnEmptyLineAddsOneLine()
{
    QFETCH(int, style);
    QFETCH(QString, layout);
    const QList<Word> words = laidOut(style, layout).pages.value(0);
    const std::optional<Word> a = find(words, u"1."_s);
    const std::optional<Word> b = find(words, u"2."_s);
    const std::optional<Word> c = find(words, u"3."_s);
    QVERIFY2(a && b && c, "the first three paragraphs should be on page 1");
    const std::optional<Word> second = nextLine(words, *a);
    QVERIFY(second);
    const double line = second->box.top() - a->box.top();
    // A's last line is the one above B; B's paragraph has as many lines as A's.
    double lastOfA = a->box.top();
    for (const Word &word : words) {
        if (word.box.top() < b->box.top() - line / 2)
            lastOfA = qMax(lastOfA, word.box.top());
    }
    const double space = b->box.top() - lastOfA - line;
    QVERIFY2(space > 0.3 * line && space < 0.8 * line,
        qPrintable(u"paragraphs are %1 pt apart beyond a line of %2 pt"_s.arg(space).arg(line)));
    const double emptyLine = (c->box.top() - b->box.top()) - (b->box.top() - a->box.top());
    QVERIFY2(qAbs(emptyLine - line) < kTolerance,
        qPrintable(u"the empty line takes %1 pt, a line %2 pt"_s.arg(emptyLine).arg(line)));
}

// On every page the full memo fills, its footer (the page number's line, or a rule above
// it) stands at least 8 mm below the last line of the body.
void MemoDocumentsTest::footersStandClearOfTheBody_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("layout");
    for (const Style &style : styles) {
        for (const Layout &layout : layouts) {
            QTest::addRow("%s %s", qPrintable(styleName(style.index)), layout.name)
                << style.index << QString::fromLatin1(layout.name);
        }
    }
}

void MemoDocumentsTest::footersStandClearOfTheBody()
{
    QFETCH(int, style);
    QFETCH(QString, layout);
    constexpr double eightMillimetres = 8 / 25.4 * 72;
    const LaidOut &read = laidOut(style, layout);
    for (int page = 1; page < read.pages.size(); ++page) {
        if (page == 1 && !styles.at(style).firstPageNumbered)
            continue;
        const QList<Word> &words = read.pages.at(page - 1);
        double lowest = 0;
        for (const Word &word : words)
            lowest = qMax(lowest, word.box.bottom());
        const auto number = std::find_if(words.begin(), words.end(), [&](const Word &word) {
            return word.text == QString::number(page) && word.box.bottom() > lowest - kTolerance;
        });
        QVERIFY2(
            number != words.end(), qPrintable(u"page %1 has no number at its foot"_s.arg(page)));
        double footer = number->box.top();
        for (const Word &word : words) {
            if (qAbs(word.box.center().y() - number->box.center().y()) < kTolerance)
                footer = qMin(footer, word.box.top());
        }
        double body = 0;
        for (const Word &word : words) {
            if (word.box.bottom() < footer - kTolerance)
                body = qMax(body, word.box.bottom());
        }
        const double clear = inkFreeBelow(read.pdf, page - 1, body, footer);
        QVERIFY2(clear >= eightMillimetres,
            qPrintable(u"page %1: %2 mm between the body and the footer"_s.arg(page).arg(
                clear * 25.4 / 72, 0, 'f', 1)));
    }
}

// AbiWord lays out the DOCX and ODT of every style (it once refused or aborted on them),
// with every value of the memo on the pages.
void MemoDocumentsTest::abiwordLaysOutEveryFormat_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("format");
    for (const Style &style : styles) {
        for (const char *format : { "docx", "odt" }) {
            QTest::addRow("%s %s", qPrintable(styleName(style.index)), format)
                << style.index << QString::fromLatin1(format);
        }
    }
}

void MemoDocumentsTest::abiwordLaysOutEveryFormat()
{
    QFETCH(int, style);
    QFETCH(QString, format);
    const QString pdf = mFolder.filePath(u"abiword-%1-%2.pdf"_s.arg(style).arg(format));
    QString said;
    QCOMPARE(abiword(document(Kind::Full, style, format), u"pdf"_s, pdf, &said), 0);
    const QList<QList<Word>> pages = pageWords(pdf);
    QString text;
    for (const QList<Word> &page : pages) {
        for (const Word &word : page)
            text += word.text + u' ';
    }
    text = text.normalized(QString::NormalizationForm_KC); // ligatures such as "ﬁ"

    // "To:" stands level with its value: AbiWord once set it on a line of its own, below,
    // after a drawing the DOCX held before it in its paragraph (Blue Sky's).
    for (const Field &field : styles.at(style).fields) {
        if (field.bookmark != u"bkTo")
            continue;
        const std::optional<Word> label = find(pages.value(0), field.label);
        const std::optional<Word> value = find(pages.value(0), u"Alice"_s);
        QVERIFY2(label && value, "\"To:\" and its value should be on page 1");
        QVERIFY2(qAbs(label->box.bottom() - value->box.bottom()) < kTolerance,
            "\"To:\" should stand level with its value");
    }
    const MemoDetails memo = memoOf(Kind::Full, style);
    QStringList values;
    for (const auto &[bookmark, value] : bookmarkWrites(memo)) {
        if (bookmark != u"bkMsg")
            values += value.split(u'\n', Qt::SkipEmptyParts);
    }
    values << u"Paragraph 24."_s;
    for (const QString &value : std::as_const(values))
        QVERIFY2(text.contains(value.simplified()), qPrintable(value + u" is not laid out"_s));
}

// Every font entry of every format names one font: readers that take an entry's text for
// a font's name refuse a file whose entry reads "Liberation Sans;Arial".
void MemoDocumentsTest::everyFontEntryHasOneName_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("format");
    for (const Style &style : styles) {
        for (const char *format : { "doc", "docx", "odt" }) {
            QTest::addRow("%s %s", qPrintable(styleName(style.index)), format)
                << style.index << QString::fromLatin1(format);
        }
    }
}

void MemoDocumentsTest::everyFontEntryHasOneName()
{
    QFETCH(int, style);
    QFETCH(QString, format);
    const QString path = document(Kind::Full, style, format);
    QStringList names;
    if (format == u"doc") {
        names = wordFontNames(CompoundFile(readFile(path)));
    } else {
        // In a DOCX a font's name and each text's fonts; in an ODT each font family.
        static const QRegularExpression docxFont(
            u"(?:<w:font w:name|w:ascii|w:hAnsi|w:eastAsia|w:cs)=\"([^\"]*)\""_s);
        static const QRegularExpression odtFont(
            u"\\bfont-family(?:-asian|-complex)?=\"([^\"]*)\""_s);
        const bool docx = format == u"docx";
        const QStringList parts = docx
            ? QStringList { u"word/fontTable.xml"_s, u"word/styles.xml"_s, u"word/document.xml"_s }
            : QStringList { u"styles.xml"_s, u"content.xml"_s };
        for (const QString &part : parts) {
            const QString xml = QString::fromUtf8(zippedFile(path, part));
            QVERIFY2(!xml.isEmpty(), qPrintable(part));
            for (const QRegularExpressionMatch &match :
                (docx ? docxFont : odtFont).globalMatch(xml)) {
                QString font = match.captured(1);
                font.replace(u"&apos;"_s, u"'"_s);
                names << font;
            }
        }
    }
    QVERIFY2(!names.isEmpty(), "no font names were found");
    for (const QString &name : std::as_const(names)) {
        QVERIFY2(!name.contains(u';') && !name.contains(u','),
            qPrintable(u"the font entry \"%1\" names more than one font"_s.arg(name)));
    }
}

// The document properties as AbiWord reads them from the file's summary information.
void MemoDocumentsTest::propertiesDescribeTheMemo_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("author");
    QTest::addColumn<QString>("company"); // only a name the memo prints
    const QString sampleRe = QString::fromLatin1(kSampleRe);
    const QString sampleFrom = QString::fromLatin1(kSampleFrom);
    QTest::newRow("full Professional")
        << int(Kind::Full) << 0
        << u"Quarterly figures for the northern warehouses, the delivery schedule and the new "
           "supplier contract that begins with the spring Secondly the parking"_s
        << u"Ewan Varden; Finance Office"_s << u"Tarnwick Holdings"_s;
    QTest::newRow("example Simple")
        << int(Kind::Example) << 3 << sampleRe << sampleFrom << QString::fromLatin1(kSampleOrgName);
    QTest::newRow("example Elegant")
        << int(Kind::Example) << 2 << sampleRe << sampleFrom << QString();
    QTest::newRow("empty Professional")
        << int(Kind::Empty) << 0 << QString() << QString() << QString();
    QTest::newRow("empty Blue Sky") << int(Kind::Empty) << 4 << QString() << QString() << QString();
}

void MemoDocumentsTest::propertiesDescribeTheMemo()
{
    QFETCH(int, kind);
    QFETCH(int, style);
    QFETCH(QString, title);
    QFETCH(QString, author);
    QFETCH(QString, company);
    const QHash<QString, QString> properties
        = abiwordProperties(document(Kind(kind), style), mFolder.path());

    QCOMPARE(properties.value(u"dc.title"_s), title);
    QCOMPARE(properties.value(u"dc.subject"_s), title);
    QCOMPARE(properties.value(u"dc.creator"_s), author);
    QCOMPARE(properties.value(u"dc.publisher"_s), company);
    QCOMPARE(properties.value(u"dc.keywords"_s), QString());
    // Written in this run, some minutes ago at most.
    for (const QString &time : { u"dc.date"_s, u"abiword.date_last_changed"_s }) {
        const QDateTime written = QDateTime::fromString(properties.value(time), Qt::ISODate);
        QVERIFY2(written.isValid() && qAbs(written.secsTo(QDateTime::currentDateTimeUtc())) < 3600,
            qPrintable(time + u" = "_s + properties.value(time)));
    }
}

// The DOCX and ODT exports name the company where their formats keep it, as the Word
// 97 file does in its summary information.
void MemoDocumentsTest::exportsNameTheCompany_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("company"); // only a name the memo prints
    for (const char *format : { "docx", "odt" }) {
        QTest::addRow("%s Professional", format)
            << QString::fromLatin1(format) << 0 << u"Tarnwick Holdings"_s;
        QTest::addRow("%s Elegant", format) << QString::fromLatin1(format) << 2 << QString();
    }
}

void MemoDocumentsTest::exportsNameTheCompany()
{
    QFETCH(QString, format);
    QFETCH(int, style);
    QFETCH(QString, company);
    const QString path = document(Kind::Full, style, format);
    const bool docx = format == u"docx";
    const QString xml
        = QString::fromUtf8(zippedFile(path, docx ? u"docProps/app.xml"_s : u"meta.xml"_s));
    QVERIFY2(!xml.isEmpty(), "the document's properties could not be read");
    static const QRegularExpression docxCompany(u"<Company>([^<]*)</Company>"_s);
    static const QRegularExpression odtCompany(
        u"<meta:user-defined meta:name=\"Company\"[^>]*>([^<]*)<"_s);
    QCOMPARE((docx ? docxCompany : odtCompany).match(xml).captured(1), company);
}

// A message's closing lines (a greeting, a name, a title) stand on one page wherever a
// page's end falls near them: memos whose one-line sentences end one line apart around
// the last line page 2 holds, each laid out by LibreOffice from the format. Not page 1:
// LibreOffice, opening a file, keeps no lines together over the end of a first page
// that has a page style of its own.
void MemoDocumentsTest::closingLinesStayOnOnePage_data()
{
    QTest::addColumn<QString>("format");
    for (const char *format : { "doc", "docx", "odt", "pdf" })
        QTest::newRow(format) << QString::fromLatin1(format);
}

void MemoDocumentsTest::closingLinesStayOnOnePage()
{
    QFETCH(QString, format);
    const QString folder = mFolder.filePath(u"closing-"_s + format);
    const QString profile = mFolder.filePath(u"office-profile"_s);
    LibreOfficeProcessor office;
    MemoWriter writer(office);
    const auto laidOut = [&](int sentences) {
        MemoDetails memo = fullMemo(0);
        QStringList lines;
        for (int number = 1; number <= sentences; ++number) {
            lines << u"S%1 is one sentence of the message, longer than any closing line."_s.arg(
                number);
        }
        memo.msg = lines.join(u'\n') + u"\n\nKind regards,\n\nNadia Thorne\nHead of Logistics"_s;
        const QString path = folder + u"/%1.%2"_s.arg(sentences).arg(format);
        QDir().mkpath(folder);
        writer.write(memo, path,
            format == u"pdf"        ? DocumentFormat::Pdf
                : format == u"docx" ? DocumentFormat::Docx
                : format == u"odt"  ? DocumentFormat::Odt
                                    : DocumentFormat::Doc);
        return pageWords(
            format == u"pdf" ? path : TestOffice::convert(path, u"pdf"_s, folder, profile));
    };
    try {
        const QList<QList<Word>> full = laidOut(60);
        int lastOnSecondPage = 0;
        for (const Word &word : full.value(1)) {
            static const QRegularExpression sentence(u"^S(\\d+)$"_s);
            const QRegularExpressionMatch match = sentence.match(word.text);
            if (match.hasMatch())
                lastOnSecondPage = qMax(lastOnSecondPage, match.captured(1).toInt());
        }
        QVERIFY2(lastOnSecondPage > 5, "page 2 should hold some of the sentences");
        for (int sentences = lastOnSecondPage - 5; sentences <= lastOnSecondPage; ++sentences) {
            const QList<QList<Word>> pages = laidOut(sentences);
            const auto pageOf = [&](const QString &text) {
                for (int page = 0; page < pages.size(); ++page) {
                    if (find(pages.at(page), text))
                        return page;
                }
                return -1;
            };
            const int greeting = pageOf(u"regards,"_s);
            QVERIFY2(greeting >= 0 && pageOf(u"Thorne"_s) == greeting
                    && pageOf(u"Logistics"_s) == greeting,
                qPrintable(u"%1 sentences: the closing lines part over pages"_s.arg(sentences)));
        }
        writer.finish();
    } catch (const std::exception &error) {
        QFAIL(error.what());
    }
}

QTEST_MAIN(MemoDocumentsTest)
#include "tst_memodocuments.moc"

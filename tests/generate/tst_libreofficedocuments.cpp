#include "Catdoc.h"
#include "CompoundFile.h"
#include "Failure.h"
#include "LibreOfficeProcessor.h"
#include "PageComposition.h"
#include "SmallFileSystem.h"
#include "TempFolder.h"
#include "TestOffice.h"

#include <QClipboard>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

#include <unistd.h>

namespace {
const QString kFixtures = QStringLiteral(SCRIVANE_FIXTURES);

// The fixtures' pages, in centimetres: their size, top margin and text area's height.
constexpr double kPageWidthCm = 21.0;
constexpr double kPageHeightCm = 29.7;
constexpr double kTopMarginCm = 1.5;
constexpr double kTextHeightCm = 29.7 - 1.5 - 1.75;

double logicalPixels(double centimetres)
{
    return centimetres / 2.54 * 96.0;
}

int devicePixels(double centimetres)
{
    return qRound(2 * logicalPixels(centimetres));
}

QByteArray fileHash(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// The paragraphs of the saved document's main text, fields and all.
QStringList paragraphs(const QString &path)
{
    const std::optional<CompoundFile> file = CompoundFile::load(path);
    QString text = file ? wordDocumentText(*file) : QString();
    if (text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text.split(QLatin1Char('\r'));
}

QStringList lockFiles(const QString &folder)
{
    return QDir(folder).entryList({ QStringLiteral(".~lock*") }, QDir::Hidden | QDir::Files);
}

bool hasInk(const QImage &picture, const QRect &area)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (qGray(image.pixel(x, y)) < 128)
                return true;
        }
    }
    return false;
}
} // namespace

class LibreOfficeDocumentsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void fillsBookmarksAndSavesWordDocument_data();
    void fillsBookmarksAndSavesWordDocument();
    void lineBreaksStartParagraphs_data();
    void lineBreaksStartParagraphs();
    void propertiesHoldOnlyWhatTheTextCan();
    void missingBookmarkFailsNamingIt();
    void closingLeavesOpenedFileUnchanged_data();
    void closingLeavesOpenedFileUnchanged();
    void badPathsFailNamingThem();
    void aFullDiskIsSaidInTheUsersWordsAndTheOfficeGoesOn();
    void operationsWithoutDocumentFail();
    void copiesEveryPageAsOnePicture();

private:
    QString copyOf(const QString &path, const QString &name);

    QTemporaryDir mFolder;
    QString mTemplate;
    std::unique_ptr<WordSession> mSession;
};

void LibreOfficeDocumentsTest::initTestCase()
{
    QVERIFY(mFolder.isValid());
    try {
        mTemplate = TestOffice::convert(kFixtures + QStringLiteral("/memo.fodt"),
            QStringLiteral("dot:MS Word 97 Vorlage"), mFolder.path(),
            mFolder.filePath(QStringLiteral("convert-profile")));
    } catch (const std::runtime_error &error) {
        QFAIL(error.what());
    }

    LibreOfficeProcessor::Settings settings = LibreOfficeProcessor::defaultSettings();
    settings.profileRoot = mFolder.filePath(QStringLiteral("profiles"));
    LibreOfficeProcessor processor(settings);
    try {
        mSession = processor.create();
    } catch (const Failure &failure) {
        QFAIL(qPrintable(failure.description()));
    }
}

void LibreOfficeDocumentsTest::cleanupTestCase()
{
    try {
        if (mSession)
            mSession->quit();
    } catch (const Failure &failure) {
        QFAIL(qPrintable(failure.description()));
    }
    mSession.reset();
    QCOMPARE(TestOffice::childOffices(), QList<qint64>());
}

void LibreOfficeDocumentsTest::cleanup()
{
    // Leave no document open for the next case; there may be none.
    try {
        mSession->closeActiveDocumentWithoutSaving();
    } catch (const Failure &) { }
}

QString LibreOfficeDocumentsTest::copyOf(const QString &path, const QString &name)
{
    const QString copy = mFolder.filePath(name);
    QFile::remove(copy);
    return QFile::copy(path, copy) ? copy : QString();
}

void LibreOfficeDocumentsTest::fillsBookmarksAndSavesWordDocument_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("savedName");

    QTest::newRow("Word template")
        << QStringLiteral("template") << QStringLiteral("kelmar12345678.doc");
    QTest::newRow("flat ODF") << QStringLiteral("fodt") << QStringLiteral("filled.doc");
    QTest::newRow("any extension") << QStringLiteral("template") << QStringLiteral("result.bin");
}

void LibreOfficeDocumentsTest::fillsBookmarksAndSavesWordDocument()
{
    QFETCH(QString, source);
    QFETCH(QString, savedName);
    const QString opened = source == QLatin1String("template")
        ? copyOf(mTemplate, QStringLiteral("template.dot"))
        : copyOf(kFixtures + QStringLiteral("/memo.fodt"), QStringLiteral("memo.fodt"));
    const QByteArray before = fileHash(opened);
    const QString saved = mFolder.filePath(savedName);

    mSession->open(opened, true);
    mSession->setBookmarkText(QStringLiteral("bkTo"), QStringLiteral("Alice Example"));
    mSession->setBookmarkText(QStringLiteral("bkFrom"), QStringLiteral("Bob Sender"));
    mSession->setBookmarkText(
        QStringLiteral("bkDate"), QStringLiteral(" Tuesday, December 8th, 2026  "));
    mSession->setBookmarkText(QStringLiteral("bkRe"), QStringLiteral("Quarterly figures"));
    mSession->saveAs(saved);
    mSession->setDisplayAlerts(false);
    mSession->close();

    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.read(8), CompoundFile::signature());
    QString error;
    const std::optional<CompoundFile> ole = CompoundFile::load(saved, &error);
    QVERIFY2(ole, qPrintable(error));
    QVERIFY(ole->hasStream(QStringLiteral("WordDocument")));
    QVERIFY(ole->hasStream(QStringLiteral("1Table")));
    // Out of the small-stream area, where some Word readers never look; the file
    // header's count of meaningful bytes (cbMac) still ends within the stream.
    const QByteArray main = ole->stream(QStringLiteral("WordDocument"));
    QVERIFY2(main.size() >= 4096, qPrintable(QString::number(main.size())));
    QVERIFY(qFromLittleEndian<quint32>(main.constData() + 64) <= quint32(main.size()));
    QProcess antiword;
    antiword.start(QStringLiteral("antiword"), { saved });
    QVERIFY(antiword.waitForFinished(60'000));
    QVERIFY2(antiword.readAllStandardOutput().contains("Alice Example"),
        antiword.readAllStandardError().constData());
    mSession->open(saved, true);
    mSession->close();

    const QString text = catdoc(saved);
    for (const QString &value : { QStringLiteral("Alice Example"), QStringLiteral("Bob Sender"),
             QStringLiteral("Tuesday, December 8th, 2026"), QStringLiteral("Quarterly figures"),
             QStringLiteral("End of memo") })
        QVERIFY2(text.contains(value), qPrintable(value + QStringLiteral(" missing in:\n") + text));
    for (const QString &placeholder : { QStringLiteral("[Click here"),
             QStringLiteral("MACROBUTTON"), QStringLiteral("[Subject]") })
        QVERIFY2(!text.contains(placeholder),
            qPrintable(placeholder + QStringLiteral(" left in:\n") + text));

    const QStringList lines = paragraphs(saved);
    QVERIFY2(lines.contains(QStringLiteral("To: Alice Example")),
        qPrintable(lines.join(QLatin1Char('|'))));
    QVERIFY(lines.contains(QStringLiteral("Date: Tuesday, December 8th, 2026  ")));
    QCOMPARE(fileHash(opened), before);
}

void LibreOfficeDocumentsTest::lineBreaksStartParagraphs_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("firstParagraph"); // "Line one" but for empty lines after it

    const QString lineOne = QStringLiteral("Line one");
    QTest::newRow("LF") << QStringLiteral("Line one\nLine two\nLine three") << lineOne;
    QTest::newRow("CR LF") << QStringLiteral("Line one\r\nLine two\r\nLine three") << lineOne;
    QTest::newRow("CR") << QStringLiteral("Line one\rLine two\rLine three") << lineOne;
    QTest::newRow("mixed") << QStringLiteral("Line one\r\nLine two\rLine three") << lineOne;
    // An empty line ends the paragraph before it as a line break (Word's character 11):
    // every style spaces its paragraphs, and an empty one would add that space twice.
    QTest::newRow("empty line") << QStringLiteral("Line one\n\nLine two\nLine three")
                                << QStringLiteral("Line one\x0b");
    QTest::newRow("empty lines, CR LF")
        << QStringLiteral("Line one\r\n\r\n\r\nLine two\r\nLine three")
        << QStringLiteral("Line one\x0b\x0b");
    // Each control character a Word document cannot hold goes alone, never the field.
    QTest::newRow("control characters")
        << QStringLiteral("Line\x01 one\x1f\nLine two\x0b\x0c\nLine\x7f three")
               .replace(QChar(0x7f), QChar(0))
        << lineOne;
    // So does a surrogate without its partner, which the office's bridge cannot carry.
    QTest::newRow("lone surrogates") << QStringLiteral("Line one\nLine two\nLine three")
                                            .insert(4, QChar(0xd800))
                                            .insert(10, QChar(0xdc00))
                                            .append(QChar(0xd83d))
                                     << lineOne;
}

void LibreOfficeDocumentsTest::lineBreaksStartParagraphs()
{
    QFETCH(QString, value);
    QFETCH(QString, firstParagraph);
    const QString saved = mFolder.filePath(QStringLiteral("lines.doc"));

    mSession->open(mTemplate, true);
    mSession->setBookmarkText(QStringLiteral("bkMsg"), value);
    mSession->saveAs(saved);
    mSession->close();

    const QStringList lines = paragraphs(saved);
    const qsizetype first = lines.indexOf(firstParagraph);
    QVERIFY2(first >= 0, qPrintable(lines.join(QLatin1Char('|'))));
    QCOMPARE(lines.mid(first, 4),
        QStringList({ firstParagraph, QStringLiteral("Line two"), QStringLiteral("Line three"),
            QStringLiteral("End of memo") }));
}

// Re and From are the document's title and author too: what the text could not hold is
// left out of them as well, and the memo is saved.
void LibreOfficeDocumentsTest::propertiesHoldOnlyWhatTheTextCan()
{
    const QString saved = mFolder.filePath(QStringLiteral("properties.doc"));
    const QString value
        = QStringLiteral("Budget\x01 for ") + QChar(0xd800) + QStringLiteral("Q1") + QChar(0xdc80);
    mSession->open(mTemplate, true);
    mSession->setBookmarkText(QStringLiteral("bkRe"), value);
    mSession->setBookmarkText(QStringLiteral("bkFrom"), value);
    mSession->saveAs(saved);
    mSession->close();
    const QString text = catdoc(saved);
    QVERIFY2(text.contains(QStringLiteral("Budget for Q1")), qPrintable(text));
}

void LibreOfficeDocumentsTest::missingBookmarkFailsNamingIt()
{
    mSession->open(mTemplate, true);
    try {
        mSession->setBookmarkText(QStringLiteral("bkOrgName"), QStringLiteral("Tarnwick"));
        QFAIL("a missing bookmark was filled");
    } catch (const Failure &failure) {
        QVERIFY2(failure.description().contains(QStringLiteral("\"bkOrgName\"")),
            qPrintable(failure.description()));
        QVERIFY(failure.description().contains(QStringLiteral("no bookmark")));
    }
    // The session goes on working.
    mSession->setBookmarkText(QStringLiteral("bkTo"), QStringLiteral("Still fine"));
}

void LibreOfficeDocumentsTest::closingLeavesOpenedFileUnchanged_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("discard");

    QTest::newRow("read-only, close") << true << false;
    QTest::newRow("editable, close without saving") << false << true;
    QTest::newRow("editable, close") << false << false;
}

void LibreOfficeDocumentsTest::closingLeavesOpenedFileUnchanged()
{
    QFETCH(bool, readOnly);
    QFETCH(bool, discard);
    const QString opened = copyOf(mTemplate, QStringLiteral("opened.doc"));
    const QByteArray before = fileHash(opened);

    mSession->open(opened, readOnly);
    mSession->setBookmarkText(QStringLiteral("bkTo"), QStringLiteral("Changed in memory"));
    if (discard)
        mSession->closeActiveDocumentWithoutSaving();
    else
        mSession->close();

    QCOMPARE(fileHash(opened), before);
    QCOMPARE(lockFiles(mFolder.path()), QStringList());
}

void LibreOfficeDocumentsTest::aFullDiskIsSaidInTheUsersWordsAndTheOfficeGoesOn()
{
    const SmallFileSystem small(mFolder.filePath(QStringLiteral("full")));
    if (small.unavailable())
        QSKIP(small.unavailable());
    QVERIFY(small.fill());
    const QString full = small.path();

    const QString saved = full + QStringLiteral("/memo-150.doc");
    mSession->open(mTemplate, true);
    try {
        mSession->saveAs(saved);
        QFAIL("a memo was saved on a full disk");
    } catch (const Failure &failure) {
        QCOMPARE(failure.description(),
            QStringLiteral("No space left on device while writing ") + saved);
    }
    // The same office saves the same document where there is room.
    mSession->saveAs(mFolder.filePath(QStringLiteral("room.doc")));
    mSession->close();
    QVERIFY(QFileInfo(mFolder.filePath(QStringLiteral("room.doc"))).size() > 0);
    QCOMPARE(QDir(full).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList({ QStringLiteral("filler") }));
}

void LibreOfficeDocumentsTest::badPathsFailNamingThem()
{
    const QString missing = mFolder.filePath(QStringLiteral("no such template.dot"));
    try {
        mSession->open(missing, true);
        QFAIL("a missing file was opened");
    } catch (const Failure &failure) {
        QVERIFY2(failure.description().contains(missing), qPrintable(failure.description()));
    }

    const QString notADocument = mFolder.filePath(QStringLiteral("garbage.dot"));
    QFile garbage(notADocument);
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write(CompoundFile::signature() + "this is not a document");
    garbage.close();
    try {
        mSession->open(notADocument, true);
        // The office may read anything as text; then saving still has to work.
        mSession->closeActiveDocumentWithoutSaving();
    } catch (const Failure &failure) {
        QVERIFY2(failure.description().contains(notADocument), qPrintable(failure.description()));
    }

    // A folder can be made where there is none, but not inside a file.
    QFile plainFile(mFolder.filePath(QStringLiteral("plain file")));
    QVERIFY(plainFile.open(QIODevice::WriteOnly));
    plainFile.close();
    const QString unwritable = plainFile.fileName() + QStringLiteral("/memo.doc");
    mSession->open(mTemplate, true);
    try {
        mSession->saveAs(unwritable);
        QFAIL("a document was saved into a missing folder");
    } catch (const Failure &failure) {
        QVERIFY2(failure.description().contains(unwritable), qPrintable(failure.description()));
    }
}

void LibreOfficeDocumentsTest::operationsWithoutDocumentFail()
{
    const QList<std::function<void()>> operations {
        [&] { mSession->setBookmarkText(QStringLiteral("bkTo"), QStringLiteral("x")); },
        [&] { mSession->saveAs(mFolder.filePath(QStringLiteral("nothing.doc"))); },
        [&] { mSession->close(); },
        [&] { mSession->copyAsPicture(); },
    };
    for (const auto &operation : operations) {
        try {
            operation();
            QFAIL("an operation without a document succeeded");
        } catch (const Failure &failure) {
            QVERIFY2(failure.description().contains(QStringLiteral("no document is open")),
                qPrintable(failure.description()));
        }
    }
    QVERIFY(!QFileInfo::exists(mFolder.filePath(QStringLiteral("nothing.doc"))));
}

void LibreOfficeDocumentsTest::copiesEveryPageAsOnePicture()
{
    QGuiApplication::clipboard()->setText(QStringLiteral("the user's own words"));
    const QString opened
        = copyOf(kFixtures + QStringLiteral("/two-pages.fodt"), QStringLiteral("two-pages.fodt"));
    const QByteArray before = fileHash(opened);

    mSession->open(opened, false);
    const QImage picture = mSession->copyAsPicture();
    mSession->closeActiveDocumentWithoutSaving();

    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("the user's own words"));
    QVERIFY(!picture.isNull());
    QCOMPARE(picture.devicePixelRatio(), 2.0);
    // Both pages whole, margins and all, with the ground around and between them.
    const QSizeF logical = picture.deviceIndependentSize();
    QVERIFY2(qAbs(logical.width() - logicalPixels(kPageWidthCm) - 2 * kPageGapPixels) <= 1.0,
        qPrintable(QString::number(logical.width())));
    QVERIFY2(qAbs(logical.height() - 2 * logicalPixels(kPageHeightCm) - 3 * kPageGapPixels) <= 2.0,
        qPrintable(QString::number(logical.height())));
    const int gap = 2 * kPageGapPixels;
    const int pageHeight = (picture.height() - 3 * gap) / 2;
    QCOMPARE(picture.pixelColor(gap / 2, gap / 2), kPageBackground);
    QCOMPARE(picture.pixelColor(gap + 2, gap + 2), QColor(Qt::white));
    QCOMPARE(picture.pixelColor(gap + 2, gap + pageHeight + gap / 2), kPageBackground);

    // Each page has its header at the top of its text area and, 5 cm below the
    // header, its text; nothing else.
    auto band = [&](int page, double fromCm, double toCm) {
        const int top = gap + page * (pageHeight + gap) + devicePixels(kTopMarginCm);
        return QRect(gap, top + devicePixels(fromCm), picture.width() - 2 * gap,
            devicePixels(toCm - fromCm));
    };
    for (int page = 0; page < 2; ++page) {
        QVERIFY2(!hasInk(picture, band(page, -kTopMarginCm, 0.0)), "ink in the top margin");
        QVERIFY2(hasInk(picture, band(page, 0.0, 2.0)), "no header");
        QVERIFY2(!hasInk(picture, band(page, 2.0, 5.5)), "ink between header and text");
        QVERIFY2(hasInk(picture, band(page, 5.5, 8.5)), "no text");
        QVERIFY2(!hasInk(picture, band(page, 8.5, kTextHeightCm)), "ink below the text");
    }
    QCOMPARE(fileHash(opened), before);
    QCOMPARE(
        QDir(temporaryFolder()).entryList({ QStringLiteral("scrivane-pages-*") }, QDir::AllEntries),
        QStringList());
    if (!qEnvironmentVariableIsEmpty("SCRIVANE_KEEP_PICTURE"))
        picture.save(qEnvironmentVariable("SCRIVANE_KEEP_PICTURE"));
}

QTEST_MAIN(LibreOfficeDocumentsTest)
#include "tst_libreofficedocuments.moc"

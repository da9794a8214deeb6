#include "CompoundFile.h"
#include "Failure.h"
#include "TemplateCatalogue.h"
#include "TestFiles.h"

#include <QFile>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

struct Style
{
    QString file;
    int id;
};

const QList<Style> styles {
    { u"Professional"_s, 104 },
    { u"Contemporary"_s, 102 },
    { u"Elegant"_s, 103 },
    { u"Simple"_s, 105 },
    { u"BlueSky"_s, 101 },
};

QByteArray builtTemplate(const QString &file)
{
    return readFile(QStringLiteral(SCRIVANE_TEMPLATE_DIR "/") + file + u".dot"_s);
}

} // namespace

class TemplateCatalogueTest : public QObject
{
    Q_OBJECT

private slots:
    void embeddedTemplateIsTheBuiltWordTemplate_data();
    void embeddedTemplateIsTheBuiltWordTemplate();
    void programFileCarriesEveryTemplate();
    void unknownResourceFailsClearly_data();
    void unknownResourceFailsClearly();
    void containerCheckCatchesDamage_data();
    void containerCheckCatchesDamage();
};

void TemplateCatalogueTest::embeddedTemplateIsTheBuiltWordTemplate_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("id");
    for (const Style &style : styles)
        QTest::newRow(qPrintable(style.file)) << style.file << style.id;
}

void TemplateCatalogueTest::embeddedTemplateIsTheBuiltWordTemplate()
{
    QFETCH(QString, file);
    QFETCH(int, id);

    const QByteArray bytes = loadResData(id);
    QVERIFY(bytes.startsWith(CompoundFile::signature()));
    const CompoundFile container(bytes);

    QStringList streams;
    for (const CompoundFile::Entry &entry : container.entries()) {
        if (entry.type == CompoundFile::Entry::Stream && entry.size > 0)
            streams << entry.name;
    }
    QVERIFY2(streams.contains(u"WordDocument"_s), qPrintable(streams.join(u", "_s)));
    QVERIFY2(streams.contains(u"1Table"_s), qPrintable(streams.join(u", "_s)));

    // The Word file's own header: its magic number and the flag that makes it a template.
    const QByteArray word = container.stream(u"WordDocument"_s);
    QVERIFY(word.size() > 12);
    QCOMPARE(qFromLittleEndian<quint16>(word.constData()), quint16(0xA5EC));
    QVERIFY2(qFromLittleEndian<quint16>(word.constData() + 10) & 0x0001, "not a template");

    const QByteArray built = builtTemplate(file);
    QVERIFY2(!built.isEmpty(), "the build wrote no template");
    QCOMPARE(bytes.size(), built.size());
    QVERIFY(bytes == built);
}

// The library's resources reach a program that links it only when their object file is
// linked in whole; the templates are stored uncompressed, so their bytes show there.
void TemplateCatalogueTest::programFileCarriesEveryTemplate()
{
    const QByteArray program = readFile(QStringLiteral(SCRIVANE_PROGRAM));
    QVERIFY2(!program.isEmpty(), SCRIVANE_PROGRAM " cannot be read");
    for (const Style &style : styles) {
        const QByteArray built = builtTemplate(style.file);
        QVERIFY2(!built.isEmpty(), qPrintable(style.file));
        QVERIFY2(program.contains(built), qPrintable(style.file + u" is not in the program"_s));
    }
}

void TemplateCatalogueTest::unknownResourceFailsClearly_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("type");
    QTest::newRow("below the templates") << 100 << u"CUSTOM"_s;
    QTest::newRow("above the templates") << 106 << u"CUSTOM"_s;
    QTest::newRow("negative") << -104 << u"CUSTOM"_s;
    QTest::newRow("another type") << 104 << u"BITMAP"_s;
}

void TemplateCatalogueTest::unknownResourceFailsClearly()
{
    QFETCH(int, id);
    QFETCH(QString, type);
    try {
        loadResData(id, type);
        QFAIL("an unknown resource gave bytes");
    } catch (const Failure &failure) {
        const QString text = failure.description();
        QVERIFY2(text.contains(u"resource %1 "_s.arg(id)), qPrintable(text));
        QVERIFY2(text.contains(u"\"%1\""_s.arg(type)), qPrintable(text));
    }
}

void TemplateCatalogueTest::containerCheckCatchesDamage_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray good = loadResData(104);
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("header only") << good.left(512);
    QByteArray unsigned_ = good;
    unsigned_[0] = 'P';
    QTest::newRow("no signature") << unsigned_;
    QByteArray lostDirectory = good;
    qToLittleEndian<quint32>(0x7FFFFFF0, lostDirectory.data() + 48);
    QTest::newRow("directory outside the file") << lostDirectory;
}

void TemplateCatalogueTest::containerCheckCatchesDamage()
{
    QFETCH(QByteArray, bytes);
    auto open = [&] { CompoundFile container(bytes); };
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, open());
}

QTEST_GUILESS_MAIN(TemplateCatalogueTest)
#include "tst_templatecatalogue.moc"

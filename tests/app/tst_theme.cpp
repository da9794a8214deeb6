#include "ApplicationFolder.h"
#include "ApplicationIcon.h"
#include "ButtonFace.h"
#include "CursorFile.h"
#include "FailureOf.h"
#include "MousePointer.h"
#include "Skin.h"
#include "TestFiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <sys/stat.h>
#include <unistd.h>

namespace {
const QColor layoutWhite(255, 255, 255);
// A button face no style would pick by itself, so a match proves the theme set it.
const QColor schemeButtonFace(0xd4, 0xd0, 0xc8);
const QColor laterButtonFace(0xb8, 0xc8, 0xe0);

const QString builtCursor = QStringLiteral(SCRIVANE_BUILD_DIR "/HAND-M.CUR");
const QString handDrawing = QStringLiteral(SCRIVANE_HAND_DRAWING);
const QString iconResource = QStringLiteral(":/scrivane/scrivane.ico");

// A window with one control of every kind the theme tells apart, laid out by hand
// so each has a spot that shows nothing but its background.
struct ThemedWindow
{
    ThemedWindow()
    {
        window.setObjectName(QStringLiteral("Form1"));
        window.setFixedSize(460, 520);
        QPalette white = window.palette();
        white.setColor(QPalette::Window, layoutWhite);
        window.setPalette(white);

        option = place<QRadioButton>(&window, "Option1", QRect(10, 10, 200, 22));
        option->setText(QStringLiteral("Elegant"));
        check = place<QCheckBox>(&window, "Check1", QRect(220, 10, 200, 22));
        check->setText(QStringLiteral("Check"));
        label = place<QLabel>(&window, "Label1", QRect(10, 40, 200, 20));
        label->setText(QStringLiteral("To:"));
        button = place<QPushButton>(&window, "PushButton6", QRect(220, 40, 200, 28));
        button->setText(QStringLiteral("Start"));

        group = place<QGroupBox>(&window, "Frame1", QRect(10, 80, 440, 120));
        group->setTitle(QStringLiteral("Memo details"));
        groupLabel = place<QLabel>(group, "Label4", QRect(10, 30, 150, 20));
        groupLabel->setText(QStringLiteral("CC:"));
        text = place<QLineEdit>(group, "txtCC", QRect(170, 30, 250, 24));

        memo = place<QPlainTextEdit>(&window, "txtMsg", QRect(10, 210, 200, 80));
        date = place<QDateEdit>(&window, "dtpEventDate", QRect(220, 210, 230, 26));
        list = place<QListWidget>(&window, "ListView1", QRect(220, 250, 230, 60));

        // Like the preview's viewport: a picture box with a white background that
        // holds the page, another picture box.
        picture = place<QWidget>(&window, "Picture2", QRect(10, 300, 200, 200));
        QPalette pictureWhite = picture->palette();
        pictureWhite.setColor(QPalette::Window, layoutWhite);
        picture->setPalette(pictureWhite);
        picture->setAutoFillBackground(true);
        markAsPictureBox(*picture);
        page = place<QLabel>(picture, "Picture1", QRect(0, 0, 60, 60));
        markAsPictureBox(*page);
    }

    template<typename Control>
    Control *place(QWidget *parent, const char *name, const QRect &geometry)
    {
        auto *control = new Control(parent);
        control->setObjectName(QLatin1String(name));
        control->setGeometry(geometry);
        return control;
    }

    // The spot of each control that shows only its background.
    QPoint backgroundSpot(const QWidget *control) const
    {
        const QRect area = control->rect();
        QPoint spot(area.width() - 4, area.height() / 2);
        if (control == group)
            spot = QPoint(area.width() - 4, 2); // beside the caption, outside the frame
        else if (control == memo || control == list || control == page)
            spot = area.center();
        else if (control == button)
            spot = QPoint(8, 6);
        else if (control == date)
            spot = QPoint(area.width() * 2 / 3, area.height() / 2);
        else if (control == picture)
            spot = QPoint(area.width() - 10, area.height() - 10);
        return control->mapTo(&window, spot);
    }

    QMap<QString, QColor> shownColours()
    {
        const QImage shot = window.grab().toImage();
        QMap<QString, QColor> colours;
        colours.insert(
            window.objectName(), shot.pixelColor(window.width() - 5, window.height() - 5));
        for (QWidget *control : controls())
            colours.insert(control->objectName(), shot.pixelColor(backgroundSpot(control)));
        return colours;
    }

    QList<QWidget *> controls() const
    {
        return { option, check, label, button, group, groupLabel, text, memo, date, list, picture,
            page };
    }

    QWidget window;
    QRadioButton *option;
    QCheckBox *check;
    QLabel *label;
    QPushButton *button;
    QGroupBox *group;
    QLabel *groupLabel;
    QLineEdit *text;
    QPlainTextEdit *memo;
    QDateEdit *date;
    QListWidget *list;
    QWidget *picture;
    QLabel *page;
};

bool hasButtonFace(const QWidget *control, const QColor &face = schemeButtonFace)
{
    return control->autoFillBackground()
        && control->palette().color(control->backgroundRole()) == face;
}

// The hot spot as the drawing's XPM values line gives it.
QPoint drawnHotSpot()
{
    static const QRegularExpression values(
        QStringLiteral(R"("\s*32\s+32\s+\d+\s+\d+\s+(\d+)\s+(\d+)\s*")"));
    const QRegularExpressionMatch match = values.match(QString::fromUtf8(readFile(handDrawing)));
    return match.hasMatch() ? QPoint(match.captured(1).toInt(), match.captured(2).toInt())
                            : QPoint(-1, -1);
}

quint32 number(const QByteArray &bytes, qsizetype at, int size, bool bigEndian = false)
{
    quint32 value = 0;
    for (int i = 0; i < size; ++i)
        value = value << 8 | quint8(bytes.at(at + (bigEndian ? i : size - 1 - i)));
    return value;
}

quint16 word(const QByteArray &bytes, qsizetype at)
{
    return quint16(number(bytes, at, 2));
}

quint32 doubleWord(const QByteArray &bytes, qsizetype at)
{
    return number(bytes, at, 4);
}

quint32 bigEndianDoubleWord(const QByteArray &bytes, qsizetype at)
{
    return number(bytes, at, 4, true);
}

enum class SkinPlace {
    Missing,
    OrdinaryFile,
    LinkToFile,
    ListedHidden,
    HiddenAmongOthers,
    Folder,
    Pipe,
    DanglingLink
};

// Records, at the first restyling of anything in the window, which controls had
// the button face by then.
class SkinMoment : public QObject
{
public:
    SkinMoment(QWidget &window, QList<QWidget *> expected)
        : mExpected(std::move(expected))
    {
        window.installEventFilter(this);
        for (QWidget *widget : window.findChildren<QWidget *>())
            widget->installEventFilter(this);
    }

    bool happened() const { return mHappened; }
    QStringList withoutButtonFace() const { return mWithout; }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::StyleChange && !mHappened) {
            mHappened = true;
            for (QWidget *control : mExpected) {
                if (!hasButtonFace(control))
                    mWithout.append(control->objectName());
            }
        }
        return false;
    }

private:
    QList<QWidget *> mExpected;
    bool mHappened = false;
    QStringList mWithout;
};
} // namespace

Q_DECLARE_METATYPE(SkinPlace)

class ThemeTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void skinIsUsedOnlyAsAnOrdinaryFile_data();
    void skinIsUsedOnlyAsAnOrdinaryFile();
    void buttonFaceGoesToTheNamedKinds_data();
    void buttonFaceGoesToTheNamedKinds();
    void buttonFaceComesBeforeTheSkin();
    void buttonFaceFollowsTheColourScheme();
    void badSkinFails_data();
    void badSkinFails();
    void shippedSkinAppliesAndKeepsTheLayoutFonts();
    void shippedSkinFindsItsPictures();

    void pointerFollowsTheHoverRule();

    void shippedCursorIsTheDrawnHand();
    void badCursorFileFails_data();
    void badCursorFileFails();

    void iconFileHoldsFourImages();
    void applicationIconOffersEverySize();

    void applicationFolderFollowsLinks();

private:
    QTemporaryDir mFolder;
};

void ThemeTest::initTestCase()
{
    QPalette scheme = QApplication::palette();
    scheme.setColor(QPalette::Button, schemeButtonFace);
    QApplication::setPalette(scheme);
    QVERIFY(mFolder.isValid());
}

void ThemeTest::init()
{
    QDir(mFolder.path()).removeRecursively();
    QVERIFY(QDir().mkpath(mFolder.filePath(QStringLiteral("x"))));
}

void ThemeTest::skinIsUsedOnlyAsAnOrdinaryFile_data()
{
    QTest::addColumn<SkinPlace>("place");
    QTest::addColumn<bool>("used");
    QTest::newRow("no skin") << SkinPlace::Missing << false;
    QTest::newRow("ordinary file") << SkinPlace::OrdinaryFile << true;
    QTest::newRow("link to an ordinary file") << SkinPlace::LinkToFile << true;
    QTest::newRow("hidden by the folder's .hidden list") << SkinPlace::ListedHidden << false;
    QTest::newRow(".hidden list naming other files") << SkinPlace::HiddenAmongOthers << true;
    QTest::newRow("a folder of that name") << SkinPlace::Folder << false;
    QTest::newRow("a pipe of that name") << SkinPlace::Pipe << false;
    QTest::newRow("a link to nothing") << SkinPlace::DanglingLink << false;
}

void ThemeTest::skinIsUsedOnlyAsAnOrdinaryFile()
{
    QFETCH(SkinPlace, place);
    QFETCH(bool, used);
    const QByteArray sheet("QLineEdit { color: #102030; }\n");
    const QString skin = mFolder.filePath(QStringLiteral("x/o.cjs"));
    const QString elsewhere = mFolder.filePath(QStringLiteral("skin.qss"));
    QVERIFY(writeFile(elsewhere, sheet));

    switch (place) {
    case SkinPlace::Missing:
        break;
    case SkinPlace::OrdinaryFile:
        QVERIFY(writeFile(skin, sheet));
        break;
    case SkinPlace::LinkToFile:
        QVERIFY(QFile::link(elsewhere, skin));
        break;
    case SkinPlace::ListedHidden:
        QVERIFY(writeFile(skin, sheet));
        QVERIFY(writeFile(mFolder.filePath(QStringLiteral("x/.hidden")), "o.cjs\n"));
        break;
    case SkinPlace::HiddenAmongOthers:
        QVERIFY(writeFile(skin, sheet));
        QVERIFY(writeFile(mFolder.filePath(QStringLiteral("x/.hidden")), "o.cjs.bak\nold\n"));
        break;
    case SkinPlace::Folder:
        QVERIFY(QDir().mkpath(skin));
        break;
    case SkinPlace::Pipe:
        QCOMPARE(mkfifo(QFile::encodeName(skin).constData(), 0644), 0);
        break;
    case SkinPlace::DanglingLink:
        QVERIFY(QFile::link(mFolder.filePath(QStringLiteral("gone.qss")), skin));
        break;
    }

    ThemedWindow themed;
    themed.window.show();
    ApplySkin(themed.window, mFolder.path());

    QCOMPARE(themed.window.styleSheet(), used ? QString::fromUtf8(sheet) : QString());
    QCOMPARE(themed.window.property("skinned").toBool(), used);
    const QMap<QString, QColor> shown = themed.shownColours();
    QCOMPARE(shown.value(QStringLiteral("Form1")), used ? schemeButtonFace : layoutWhite);
    QCOMPARE(shown.value(QStringLiteral("Label1")), used ? schemeButtonFace : layoutWhite);
}

void ThemeTest::buttonFaceGoesToTheNamedKinds_data()
{
    QTest::addColumn<bool>("throughSkin");
    QTest::newRow("ApplySkin") << true;
    QTest::newRow("SetFormColors") << false;
}

void ThemeTest::buttonFaceGoesToTheNamedKinds()
{
    QFETCH(bool, throughSkin);
    // An empty skin restyles nothing, so what shows is the colouring alone.
    QVERIFY(writeFile(mFolder.filePath(QStringLiteral("x/o.cjs")), ""));

    ThemedWindow themed;
    themed.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&themed.window));
    const QMap<QString, QColor> before = themed.shownColours();
    if (throughSkin)
        ApplySkin(themed.window, mFolder.path());
    else
        SetFormColors(themed.window);
    const QMap<QString, QColor> after = themed.shownColours();

    QStringList coloured
        = { QStringLiteral("Form1"), QStringLiteral("Option1"), QStringLiteral("Check1"),
              QStringLiteral("Label1"), QStringLiteral("Frame1"), QStringLiteral("Label4") };
    if (throughSkin)
        coloured << QStringLiteral("Picture2") << QStringLiteral("Picture1");
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        const QString &name = it.key();
        if (coloured.contains(name)) {
            QVERIFY2(it.value() == schemeButtonFace,
                qPrintable(name + QStringLiteral(" shows ") + it.value().name()));
        } else {
            QVERIFY2(it.value() == before.value(name),
                qPrintable(name + QStringLiteral(" changed from ") + before.value(name).name()
                    + QStringLiteral(" to ") + it.value().name()));
        }
    }
    for (QWidget *control : { static_cast<QWidget *>(themed.text),
             static_cast<QWidget *>(themed.memo), static_cast<QWidget *>(themed.date),
             static_cast<QWidget *>(themed.button), static_cast<QWidget *>(themed.list) }) {
        QVERIFY2(!control->testAttribute(Qt::WA_SetPalette), qPrintable(control->objectName()));
        QVERIFY2(!control->autoFillBackground(), qPrintable(control->objectName()));
    }
}

void ThemeTest::buttonFaceComesBeforeTheSkin()
{
    QVERIFY(writeFile(mFolder.filePath(QStringLiteral("x/o.cjs")),
        "QLabel { color: #203040; }\nQRadioButton { color: #203040; }\n"));
    ThemedWindow themed;
    const QList<QWidget *> expected = { &themed.window, themed.option, themed.check, themed.label,
        themed.group, themed.groupLabel, themed.picture, themed.page };
    SkinMoment moment(themed.window, expected);

    ApplySkin(themed.window, mFolder.path());

    QVERIFY(moment.happened());
    QVERIFY2(moment.withoutButtonFace().isEmpty(),
        qPrintable(QStringLiteral("restyled before their colour: ")
            + moment.withoutButtonFace().join(QStringLiteral(", "))));
}

void ThemeTest::buttonFaceFollowsTheColourScheme()
{
    QVERIFY(writeFile(mFolder.filePath(QStringLiteral("x/o.cjs")), ""));
    ThemedWindow skinned;
    ApplySkin(skinned.window, mFolder.path());
    ThemedWindow preview;
    SetFormColors(preview.window);

    QPalette scheme = QApplication::palette();
    scheme.setColor(QPalette::Button, laterButtonFace);
    QApplication::setPalette(scheme);
    const auto restore = qScopeGuard([] {
        QPalette original = QApplication::palette();
        original.setColor(QPalette::Button, schemeButtonFace);
        QApplication::setPalette(original);
    });

    for (QWidget *control : { &skinned.window, static_cast<QWidget *>(skinned.label),
             static_cast<QWidget *>(skinned.page), &preview.window,
             static_cast<QWidget *>(preview.group) })
        QVERIFY2(hasButtonFace(control, laterButtonFace), qPrintable(control->objectName()));
    QVERIFY(!hasButtonFace(preview.page, laterButtonFace));
}

void ThemeTest::badSkinFails_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("linkTarget");
    QTest::addColumn<bool>("unreadable");
    QTest::addColumn<QString>("expected");
    QTest::newRow("not a style sheet") << QByteArray("QLabel { color: red; ") << QString() << false
                                       << QStringLiteral("is not a valid style sheet");
    QTest::newRow("braces out of order") << QByteArray("}} QLabel {") << QString() << false
                                         << QStringLiteral("is not a valid style sheet");
    QTest::newRow("not UTF-8") << QByteArray("QLabel { color: \xff\xfe; }") << QString() << false
                               << QStringLiteral("is not a style sheet: it is not UTF-8 text");
    QTest::newRow("a picture") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << QString()
                               << false
                               << QStringLiteral("is not a style sheet: it is not UTF-8 text");
    // Its open succeeds and its read fails, for root as for anyone.
    QTest::newRow("read fails") << QByteArray() << QStringLiteral("/proc/self/mem") << false
                                << QStringLiteral("cannot be read: ");
    QTest::newRow("no read permission")
        << QByteArray("QLabel { }") << QString() << true << QStringLiteral("cannot be read: ");
}

void ThemeTest::badSkinFails()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, linkTarget);
    QFETCH(bool, unreadable);
    QFETCH(QString, expected);
    if (unreadable && geteuid() == 0)
        QSKIP("root reads any file; the failing read stands in for it");

    const QString skin = mFolder.filePath(QStringLiteral("x/o.cjs"));
    if (linkTarget.isEmpty())
        QVERIFY(writeFile(skin, content));
    else
        QVERIFY(QFile::link(linkTarget, skin));
    if (unreadable)
        QVERIFY(QFile::setPermissions(skin, QFileDevice::WriteOwner));

    ThemedWindow themed;
    const QString failure = failureOf([&] { ApplySkin(themed.window, mFolder.path()); });

    QVERIFY2(failure.startsWith(QStringLiteral("The skin ") + QDir::toNativeSeparators(skin)),
        qPrintable(failure));
    QVERIFY2(failure.contains(expected), qPrintable(failure));
    QVERIFY(themed.window.styleSheet().isEmpty());
    QVERIFY(!themed.window.property("skinned").toBool());
    // The colours come first and stay when the skin then fails.
    QVERIFY(hasButtonFace(&themed.window));
    QVERIFY(hasButtonFace(themed.groupLabel));
}

void ThemeTest::shippedSkinAppliesAndKeepsTheLayoutFonts()
{
    ThemedWindow themed;
    QFont layoutFont(QStringLiteral("Arial"));
    layoutFont.setPointSizeF(9);
    layoutFont.setBold(true);
    themed.window.setFont(layoutFont);
    QFont buttonFont = layoutFont;
    buttonFont.setPointSizeF(11.25);
    themed.button->setFont(buttonFont);
    themed.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&themed.window));
    QMap<QString, QFont> fontsBefore;
    for (QWidget *control : themed.controls())
        fontsBefore.insert(control->objectName(), control->font());

    ApplySkin(themed.window, QStringLiteral(SCRIVANE_BUILD_DIR));

    QCOMPARE(themed.window.styleSheet(),
        QString::fromUtf8(readFile(QStringLiteral(SCRIVANE_BUILD_DIR "/x/o.cjs"))));
    QVERIFY(!themed.window.styleSheet().isEmpty());
    for (QWidget *control : themed.controls()) {
        control->ensurePolished();
        QCOMPARE(control->font(), fontsBefore.value(control->objectName()));
    }
    // The skin gives the window its own background.
    const QColor shown = themed.shownColours().value(QStringLiteral("Form1"));
    QVERIFY2(shown != layoutWhite && shown != schemeButtonFace, qPrintable(shown.name()));
}

void ThemeTest::shippedSkinFindsItsPictures()
{
    const QString skin = QString::fromUtf8(readFile(QStringLiteral(SCRIVANE_BUILD_DIR "/x/o.cjs")));
    static const QRegularExpression picture(QStringLiteral(R"(url\(([^)]*)\))"));
    int pictures = 0;
    for (const QRegularExpressionMatch &match : picture.globalMatch(skin)) {
        const QString path = match.captured(1).trimmed();
        QVERIFY2(path.startsWith(QStringLiteral(":/")),
            qPrintable(path + QStringLiteral(" is not built in")));
        QVERIFY2(!QImage(path).isNull(), qPrintable(path));
        ++pictures;
    }
    QVERIFY(pictures > 0);
}

void ThemeTest::pointerFollowsTheHoverRule()
{
    ThemedWindow themed;
    WindowPointer pointer(themed.window);
    const QCursor hand = loadCursorFile(builtCursor);
    pointer.setCustomIcon(hand);
    onMouseMove(&themed.window, [&] { applyHover(pointer, MousePointer::Default); });
    onMouseMove(themed.group, [&] { applyHover(pointer, MousePointer::Default); });
    onMouseMove(themed.text, [&] { applyHover(pointer, MousePointer::Default); });
    onMouseMove(themed.button, [&] { applyHover(pointer, MousePointer::Custom); });
    themed.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&themed.window));

    const auto moveOnto = [&](QWidget *control) {
        QTest::mouseMove(&themed.window, themed.backgroundSpot(control));
    };
    const auto showsHand = [&] {
        return pointer.setting() == MousePointer::Custom
            && themed.window.cursor().shape() == Qt::BitmapCursor
            && themed.window.cursor().hotSpot() == hand.hotSpot();
    };

    moveOnto(themed.button);
    QVERIFY(showsHand());
    moveOnto(themed.text);
    QCOMPARE(pointer.setting(), MousePointer::Default);
    QCOMPARE(themed.window.cursor().shape(), Qt::ArrowCursor);

    moveOnto(themed.button);
    QVERIFY(showsHand());
    moveOnto(themed.option);
    QVERIFY2(showsHand(), "an option button has no handler and leaves the hand");
    moveOnto(themed.label);
    QVERIFY(showsHand());
    QTest::mouseMove(&themed.window, QPoint(440, 505));
    QCOMPARE(pointer.setting(), MousePointer::Default);

    pointer.set(MousePointer::Hourglass);
    moveOnto(themed.button);
    QCOMPARE(pointer.setting(), MousePointer::Hourglass);
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    moveOnto(themed.text);
    QCOMPARE(pointer.setting(), MousePointer::Hourglass);
    pointer.set(MousePointer::Default);
    QVERIFY(!QApplication::overrideCursor());
}

void ThemeTest::shippedCursorIsTheDrawnHand()
{
    const QImage drawing(handDrawing, "XPM");
    QVERIFY(!drawing.isNull());
    const QPoint hotSpot = drawnHotSpot();
    QVERIFY2(
        QRect(QPoint(0, 0), drawing.size()).contains(hotSpot), "the drawing names its hot spot");

    const QCursor cursor = loadCursorFile(builtCursor);

    QCOMPARE(cursor.hotSpot(), hotSpot);
    QCOMPARE(cursor.pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
        drawing.convertToFormat(QImage::Format_ARGB32));
    // The fingertip itself is drawn, so the click lands where the hand points.
    QCOMPARE(qAlpha(drawing.pixel(hotSpot)), 255);
}

void ThemeTest::badCursorFileFails_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");

    const QByteArray shipped = readFile(builtCursor);
    QVERIFY(shipped.size() > 100);
    QByteArray hotSpotOutside = shipped;
    qToLittleEndian<quint16>(32, hotSpotOutside.data() + 6 + 4);
    QByteArray scrambled = shipped;
    const quint32 pictureAt = doubleWord(shipped, 6 + 12);
    scrambled.replace(pictureAt, 40, QByteArray(40, '\x7f'));

    QTest::newRow("missing") << false << QByteArray() << QStringLiteral("cannot be read: ");
    QTest::newRow("empty") << true << QByteArray()
                           << QStringLiteral("is not a cursor file: it is too short");
    QTest::newRow("text") << true << QByteArray("this is a plain text file, not a cursor")
                          << QStringLiteral("does not start with a cursor directory");
    QTest::newRow("an icon") << true << readFile(iconResource)
                             << QStringLiteral("does not start with a cursor directory");
    QTest::newRow("cut short") << true << shipped.left(200)
                               << QStringLiteral("its picture lies beyond the end of the file");
    QTest::newRow("scrambled picture")
        << true << scrambled << QStringLiteral("its picture cannot be read");
    QTest::newRow("hot spot outside")
        << true << hotSpotOutside << QStringLiteral("its hot spot lies outside its picture");
}

void ThemeTest::badCursorFileFails()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    const QString path = mFolder.filePath(QStringLiteral("HAND-M.CUR"));
    if (exists)
        QVERIFY(writeFile(path, content));

    const QString failure = failureOf([&] { loadCursorFile(path); });

    QVERIFY2(failure.contains(QDir::toNativeSeparators(path)), qPrintable(failure));
    QVERIFY2(failure.contains(expected), qPrintable(failure));
}

void ThemeTest::iconFileHoldsFourImages()
{
    const QByteArray icon = readFile(iconResource);
    QVERIFY(icon.size() > 6 + 4 * 16);
    QCOMPARE(word(icon, 0), 0);
    QCOMPARE(word(icon, 2), 1);
    QCOMPARE(word(icon, 4), 4);

    struct Expected
    {
        int size;
        int bitsPerPixel;
        bool png;
    };
    const Expected expected[]
        = { { 32, 24, false }, { 48, 32, false }, { 128, 32, false }, { 256, 32, true } };
    quint32 end = 6 + 4 * 16;
    for (int i = 0; i < 4; ++i) {
        const qsizetype entry = 6 + 16 * i;
        const Expected &image = expected[i];
        const QString which = QStringLiteral("image %1").arg(image.size);
        QCOMPARE(quint8(icon[entry]), image.size % 256);
        QCOMPARE(quint8(icon[entry + 1]), image.size % 256);
        QCOMPARE(word(icon, entry + 6), image.bitsPerPixel);
        const quint32 size = doubleWord(icon, entry + 8);
        const quint32 offset = doubleWord(icon, entry + 12);
        QVERIFY2(offset >= end && offset + size <= quint32(icon.size()), qPrintable(which));
        end = offset + size;
        const QByteArray data = icon.mid(offset, size);

        if (image.png) {
            QVERIFY2(data.startsWith("\x89PNG\r\n\x1a\n"), qPrintable(which));
            QCOMPARE(data.mid(12, 4), QByteArray("IHDR"));
            QCOMPARE(bigEndianDoubleWord(data, 16), quint32(image.size));
            QCOMPARE(bigEndianDoubleWord(data, 20), quint32(image.size));
            QCOMPARE(int(data[24]), 8); // bits per channel
            QCOMPARE(int(data[25]), 6); // red, green, blue and alpha
            continue;
        }
        const int colourRow = (image.size * image.bitsPerPixel + 31) / 32 * 4;
        const int maskRow = (image.size + 31) / 32 * 4;
        QCOMPARE(doubleWord(data, 0), 40u);
        QCOMPARE(doubleWord(data, 4), quint32(image.size));
        QCOMPARE(doubleWord(data, 8), quint32(2 * image.size));
        QCOMPARE(word(data, 12), 1);
        QCOMPARE(word(data, 14), image.bitsPerPixel);
        QCOMPARE(doubleWord(data, 16), 0u);
        QCOMPARE(data.size(), 40 + (colourRow + maskRow) * image.size);
    }
}

void ThemeTest::applicationIconOffersEverySize()
{
    const QIcon icon = applicationIcon();
    QVERIFY(!icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    for (int size : { 32, 48, 128, 256 })
        QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(size)));

    // Each image is a drawing: clear at its corner, solid where the sheet is.
    for (int size : { 32, 48, 128, 256 }) {
        const QImage image = icon.pixmap(QSize(size, size)).toImage();
        QCOMPARE(image.size(), QSize(size, size));
        QCOMPARE(qAlpha(image.pixel(0, size - 1)), 0);
        QCOMPARE(qAlpha(image.pixel(size / 4, size / 2)), 255);
    }
}

void ThemeTest::applicationFolderFollowsLinks()
{
    const QString program = QStringLiteral(SCRIVANE_FOLDER_PRINTER);
    const QString link = mFolder.filePath(QStringLiteral("scrivane"));
    QVERIFY(QFile::link(program, link));

    QProcess printer;
    printer.start(link, {});
    QVERIFY(printer.waitForFinished());
    QCOMPARE(printer.exitCode(), 0);

    QCOMPARE(QString::fromLocal8Bit(printer.readAllStandardOutput()).trimmed(),
        QFileInfo(program).canonicalPath());
}

QTEST_MAIN(ThemeTest)
#include "tst_theme.moc"

#include "Theme.h"

#include "Failure.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDataStream>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QRadioButton>
#include <QScrollArea>
#include <QStringDecoder>
#include <QWidget>
#include <QtEndian>

#include <algorithm>

namespace {
const QLatin1String skinFolderName("x");
const QLatin1String skinFileName("o.cjs");
const QLatin1String hiddenListName(".hidden");
const QLatin1String applicationIconPath(":/scrivane/scrivane.ico");
constexpr char skinnedProperty[] = "skinned";
constexpr char colourKeeperName[] = "buttonFaceKeeper";

// Icon and cursor files share their directory layout.
constexpr quint16 cursorFileType = 2;
constexpr int iconDirectoryHeaderSize = 6;
constexpr int iconDirectoryEntrySize = 16;

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// Which controls take the button-face colour.
enum class ColourScope { FormControls, WithPictureBoxes };

QColor buttonFace()
{
    return QGuiApplication::palette().color(QPalette::Active, QPalette::Button);
}

bool isPictureBox(const QWidget &control)
{
    return control.property(pictureBoxProperty).toBool();
}

bool takesButtonFace(const QWidget &control, ColourScope scope)
{
    if (isPictureBox(control))
        return scope == ColourScope::WithPictureBoxes;
    return qobject_cast<const QRadioButton *>(&control) || qobject_cast<const QCheckBox *>(&control)
        || qobject_cast<const QGroupBox *>(&control) || qobject_cast<const QLabel *>(&control);
}

// Text boxes, lists, date pickers and buttons are whole controls: whatever Qt builds
// inside them is theirs, not the window's.
bool isWholeControl(const QWidget &control)
{
    if (isPictureBox(control))
        return false;
    if (qobject_cast<const QAbstractScrollArea *>(&control))
        return !qobject_cast<const QScrollArea *>(&control);
    return qobject_cast<const QAbstractSpinBox *>(&control)
        || qobject_cast<const QLineEdit *>(&control) || qobject_cast<const QComboBox *>(&control)
        || qobject_cast<const QAbstractButton *>(&control);
}

void paintButtonFace(QWidget &widget)
{
    QPalette palette = widget.palette();
    palette.setColor(widget.backgroundRole(), buttonFace());
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

void colourControls(QWidget &container, ColourScope scope)
{
    for (QWidget *control : container.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (control->isWindow())
            continue;
        if (takesButtonFace(*control, scope))
            paintButtonFace(*control);
        if (!isWholeControl(*control))
            colourControls(*control, scope);
    }
}

void colourWindow(QWidget &window, ColourScope scope)
{
    paintButtonFace(window);
    colourControls(window, scope);
}

// Button face is a reference to the system colour: when the user's colour scheme
// changes, the window and its controls take the new one. Qt tells only the
// application object, so the keeper listens there.
class ButtonFaceKeeper : public QObject
{
public:
    ButtonFaceKeeper(QWidget &window, ColourScope scope)
        : QObject(&window)
        , mWindow(window)
        , mScope(scope)
    {
        setObjectName(QLatin1String(colourKeeperName));
        QCoreApplication::instance()->installEventFilter(this);
    }

    void widen(ColourScope scope)
    {
        if (scope == ColourScope::WithPictureBoxes)
            mScope = scope;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ApplicationPaletteChange
            && watched == QCoreApplication::instance())
            colourWindow(mWindow, mScope);
        return false;
    }

private:
    QWidget &mWindow;
    ColourScope mScope;
};

void giveButtonFace(QWidget &window, ColourScope scope)
{
    colourWindow(window, scope);
    auto *keeper = window.findChild<ButtonFaceKeeper *>(
        QLatin1String(colourKeeperName), Qt::FindDirectChildrenOnly);
    if (keeper)
        keeper->widen(scope);
    else
        new ButtonFaceKeeper(window, scope);
}

// The desktop's file managers hide the names listed in a folder's ".hidden" file
// (GIO and KIO both honour it); dot-names cannot be used, the skin's name is fixed.
bool isListedAsHidden(const QFileInfo &file)
{
    QFile list(file.dir().filePath(hiddenListName));
    if (!list.open(QIODevice::ReadOnly))
        return false;
    while (!list.atEnd()) {
        if (QString::fromUtf8(list.readLine()).trimmed() == file.fileName())
            return true;
    }
    return false;
}

// An ordinary file in a directory listing: a regular file or a link to one, neither
// hidden nor a system file (a folder, device, pipe or socket of that name).
bool isOrdinaryFile(const QString &path)
{
    const QFileInfo file(path);
    return file.isFile() && !isListedAsHidden(file);
}

QString readSkin(const QString &path)
{
    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        fail(QStringLiteral("The skin %1 cannot be read: %2.")
                 .arg(nativePath(path), file.errorString()));

    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString sheet = decoder(bytes);
    const bool binary = std::any_of(sheet.cbegin(), sheet.cend(), [](QChar c) {
        return c.unicode() < 0x20 && c != u'\t' && c != u'\n' && c != u'\r' && c != u'\f';
    });
    if (decoder.hasError() || binary)
        fail(QStringLiteral("The skin %1 is not a style sheet: it is not UTF-8 text.")
                 .arg(nativePath(path)));
    return sheet;
}

// Qt's only word on a style sheet it cannot parse is a warning when a widget is
// polished with it, so a scratch widget is polished first while warnings are caught.
class ParseWarningCatcher
{
public:
    ParseWarningCatcher()
    {
        sCaught = false;
        sPrevious = qInstallMessageHandler(&ParseWarningCatcher::handle);
    }
    ~ParseWarningCatcher() { qInstallMessageHandler(sPrevious); }
    ParseWarningCatcher(const ParseWarningCatcher &) = delete;
    ParseWarningCatcher &operator=(const ParseWarningCatcher &) = delete;

    bool caught() const { return sCaught; }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (message.startsWith(QLatin1String("Could not parse"))) {
            sCaught = true;
            return;
        }
        if (sPrevious)
            sPrevious(type, context, message);
    }

    static inline QtMessageHandler sPrevious = nullptr;
    static inline bool sCaught = false;
};

bool isValidStyleSheet(const QString &sheet)
{
    ParseWarningCatcher catcher;
    QWidget scratch;
    scratch.setStyleSheet(sheet);
    scratch.ensurePolished();
    return !catcher.caught();
}

[[noreturn]] void failNotACursor(const QString &path, const QString &why)
{
    fail(QStringLiteral("The file %1 is not a cursor file: %2.").arg(nativePath(path), why));
}

quint16 readWord(const QByteArray &bytes, qsizetype at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

quint32 readDoubleWord(const QByteArray &bytes, qsizetype at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

// Qt's icon reader drops the 1-bit mask of an image without alpha (its 24-bit
// image would show black corners), so the mask is applied here.
QImage withIconMask(QImage image, const QByteArray &icon, qsizetype entry)
{
    const int width = image.width();
    const int height = image.height();
    const qsizetype bitmap = readDoubleWord(icon, entry + 12);
    if (bitmap + 4 > icon.size())
        return image;
    const qsizetype colourRow = (width * 24 + 31) / 32 * 4;
    const qsizetype maskRow = (width + 31) / 32 * 4;
    const qsizetype mask = bitmap + readDoubleWord(icon, bitmap) + colourRow * height;
    if (mask < 0 || mask + maskRow * height > icon.size())
        return image;
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        const char *bits = icon.constData() + mask + maskRow * (height - 1 - y);
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            if (bits[x / 8] & (0x80 >> (x % 8)))
                line[x] = qRgba(0, 0, 0, 0);
        }
    }
    return image;
}
} // namespace

QString applicationFolder()
{
    // Qt resolves the program file through /proc/self/exe, so links are followed.
    return QCoreApplication::applicationDirPath();
}

void ApplySkin(QWidget &mainWindow)
{
    ApplySkin(mainWindow, applicationFolder());
}

void ApplySkin(QWidget &mainWindow, const QString &folder)
{
    const QString path = QDir(folder).filePath(skinFolderName + u'/' + skinFileName);
    if (!isOrdinaryFile(path))
        return;
    giveButtonFace(mainWindow, ColourScope::WithPictureBoxes);

    const QString sheet = readSkin(path);
    if (!isValidStyleSheet(sheet))
        fail(QStringLiteral("The skin %1 is not a valid style sheet.").arg(nativePath(path)));
    mainWindow.setProperty(skinnedProperty, true);
    mainWindow.setStyleSheet(sheet);
}

void SetFormColors(QWidget &window)
{
    giveButtonFace(window, ColourScope::FormControls);
}

void markAsPictureBox(QWidget &control)
{
    control.setProperty(pictureBoxProperty, true);
}

QString handCursorPath()
{
    return applicationFolder() + QDir::separator() + QStringLiteral("HAND-M.CUR");
}

QCursor LoadCursorFile(const QString &path)
{
    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        fail(QStringLiteral("The cursor file %1 cannot be read: %2.")
                 .arg(nativePath(path), file.errorString()));
    }

    // The hot spot lives only in the first directory entry, where an icon keeps its
    // colour planes and bit count.
    QDataStream directory(bytes);
    directory.setByteOrder(QDataStream::LittleEndian);
    quint16 reserved = 0, type = 0, count = 0;
    quint8 width = 0, height = 0, colours = 0, reservedByte = 0;
    quint16 hotX = 0, hotY = 0;
    quint32 imageSize = 0, imageOffset = 0;
    directory >> reserved >> type >> count;
    directory >> width >> height >> colours >> reservedByte >> hotX >> hotY >> imageSize
        >> imageOffset;
    if (directory.status() != QDataStream::Ok)
        failNotACursor(path, QStringLiteral("it is too short"));
    if (reserved != 0 || type != cursorFileType || count == 0)
        failNotACursor(path, QStringLiteral("it does not start with a cursor directory"));
    if (quint64(imageOffset) + imageSize > quint64(bytes.size()))
        failNotACursor(path, QStringLiteral("its picture lies beyond the end of the file"));

    QBuffer buffer(&bytes);
    QImageReader reader(&buffer, "cur");
    const QImage image = reader.read();
    if (image.isNull())
        failNotACursor(
            path, QStringLiteral("its picture cannot be read (%1)").arg(reader.errorString()));
    if (hotX >= image.width() || hotY >= image.height())
        failNotACursor(path, QStringLiteral("its hot spot lies outside its picture"));
    return QCursor(QPixmap::fromImage(image), hotX, hotY);
}

QIcon applicationIcon()
{
    QFile file(applicationIconPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.readAll();
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer, "ico");
    QIcon icon;
    for (int index = 0; index < reader.imageCount() && reader.jumpToImage(index); ++index) {
        QImage image = reader.read();
        const qsizetype entry = iconDirectoryHeaderSize + iconDirectoryEntrySize * index;
        if (entry + iconDirectoryEntrySize <= bytes.size() && readWord(bytes, entry + 6) == 24)
            image = withIconMask(image, bytes, entry);
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

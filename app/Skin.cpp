#include "Skin.h"

#include "ApplicationFolder.h"
#include "ButtonFace.h"
#include "Failure.h"
#include "FileUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QWidget>

namespace {
const QLatin1String skinFolderName("x");
const QLatin1String skinFileName("o.cjs");
const QLatin1String hiddenListName(".hidden");
constexpr char skinnedProperty[] = "skinned";
// Far above any style sheet of a window; a larger file is no skin.
constexpr qint64 kMostSkinBytes = 4 * 1024 * 1024;

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
    QString why;
    const auto read = readPlainFile(path, kMostSkinBytes + 1, Links::Follow, &why);
    if (!read)
        fail(QStringLiteral("The skin %1 cannot be read: %2.")
                 .arg(QDir::toNativeSeparators(path), why));
    if (read->size() > kMostSkinBytes)
        fail(QStringLiteral("The skin %1 cannot be read: it is larger than %2 MiB.")
                 .arg(QDir::toNativeSeparators(path))
                 .arg(kMostSkinBytes / (1024 * 1024)));
    const QByteArray &bytes = *read;

    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString sheet = decoder(bytes);
    const bool binary = std::any_of(sheet.cbegin(), sheet.cend(), [](QChar c) {
        return c.unicode() < 0x20 && c != u'\t' && c != u'\n' && c != u'\r' && c != u'\f';
    });
    if (decoder.hasError() || binary)
        fail(QStringLiteral("The skin %1 is not a style sheet: it is not UTF-8 text.")
                 .arg(QDir::toNativeSeparators(path)));
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
} // namespace

void ApplySkin(QWidget &mainWindow)
{
    ApplySkin(mainWindow, applicationFolder());
}

void ApplySkin(QWidget &mainWindow, const QString &folder)
{
    const QString path = QDir(folder).filePath(skinFolderName + u'/' + skinFileName);
    if (!isOrdinaryFile(path))
        return;
    giveButtonFaceWithPictureBoxes(mainWindow);

    const QString sheet = readSkin(path);
    if (!isValidStyleSheet(sheet))
        fail(QStringLiteral("The skin %1 is not a valid style sheet.")
                 .arg(QDir::toNativeSeparators(path)));
    mainWindow.setProperty(skinnedProperty, true);
    mainWindow.setStyleSheet(sheet);
}

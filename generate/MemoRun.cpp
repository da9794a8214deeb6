#include "MemoRun.h"

#include "ErrorTrap.h"
#include "Failure.h"
#include "FileUtils.h"
#include "Leftovers.h"
#include "MemoStyle.h"
#include "OwnTemplate.h"
#include "Picture.h"
#include "TempFolder.h"
#include "TemplateCatalogue.h"
#include "WordSession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTime>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr auto kRunLocation = "in Scrivane2021/08/31.Form1.PushButton6_Click ";
constexpr auto kRenderLocation = "in Scrivane2021/08/31.Form1.SaveDocAsJPG ";

constexpr auto kTemplateFile = "template.dot";
constexpr auto kPictureFile = "temp.bmp";

// The style selection: each style's test line, and the line that takes its template.
constexpr std::array<int, 5> kStyleTestLine { 114, 118, 122, 128, 132 };
constexpr std::array<int, 5> kTemplateLine { 116, 120, 126, 130, 134 };
constexpr int kElegant = 2;

// A memo of more pages than this is not drawn: opening it again to draw its first
// pages would take as long as making it, for a few of its hundreds of pages.
constexpr int kMostDrawnMemoPages = 100;

// A name is taken by anything there, a dangling link included. A free name is claimed
// at once with an empty file of this run's, so that another window drawing the same
// name in the same instant finds it taken; the save then writes over it.
bool isTaken(const QString &path)
{
    if (FileExists(path) || QFileInfo(path).isSymLink())
        return true;
    const int claimed = ::open(QFile::encodeName(path).constData(),
        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (claimed >= 0)
        ::close(claimed);
    // Any other failure is the save's to report.
    return claimed < 0 && errno == EEXIST;
}

WordSession &running(const std::unique_ptr<WordSession> &session)
{
    if (!session)
        fail(QStringLiteral("The word processor is not running."));
    return *session;
}

// After a failed call: whether the word processor itself is gone, so that nothing
// more can be done in it.
bool isLost(const std::unique_ptr<WordSession> &session)
{
    return !session || !session->isRunning();
}

// Ends a session whose failure has been reported already, or that is no longer
// wanted: nothing more is said about it.
void endQuietly(std::unique_ptr<WordSession> &session)
{
    if (!session)
        return;
    try {
        session->quit();
    } catch (const std::exception &) { }
    session.reset();
}

const MemoField &fieldWithBookmark(const QString &bookmark)
{
    const QList<const MemoField *> &fields = fieldsInWritingOrder();
    return **std::find_if(fields.cbegin(), fields.cend(),
        [&](const MemoField *field) { return bookmark == QLatin1String(field->bookmark); });
}

// How many pages the saved memo has; 0 when the word processor cannot say, which
// only costs the progress its count.
int pageCountOf(const std::unique_ptr<WordSession> &session)
{
    try {
        return session ? session->pageCount() : 0;
    } catch (const std::exception &) {
        return 0;
    }
}

qint64 charactersOf(const MemoDetails &memo)
{
    qint64 characters = 0;
    for (const MemoField &field : kMemoFields)
        characters += (memo.*field.text).size();
    return characters;
}

float secondsSinceMidnight()
{
    return static_cast<float>(QTime::currentTime().msecsSinceStartOfDay()) / 1000.0f;
}
} // namespace

MemoRun::MemoRun(MemoRunHost &host, WordProcessor &word, UserInterface &ui)
    : timeOfDay(secondsSinceMidnight)
    , mHost(host)
    , mWord(word)
    , mUi(ui)
    , mControl(host, ui)
{ }

MemoRun::~MemoRun() = default;

QString MemoRun::temporary(const char *fileName)
{
    if (!mRunFolder) {
        auto folder = std::make_unique<QTemporaryDir>(workFolderPattern(QStringLiteral("window")));
        if (!folder->isValid())
            fail(
                QStringLiteral("No temporary folder could be made: %1").arg(folder->errorString()));
        // Removed without following anything planted in it.
        folder->setAutoRemove(false);
        mRunFolder = std::move(folder);
    }
    return QDir(mRunFolder->path()).filePath(QString::fromLatin1(fileName));
}

void MemoRun::removeRunFolder()
{
    if (mRunFolder)
        removeOwn(std::exchange(mRunFolder, nullptr)->path());
}

// One fault, one message: a failed step that everything after it needs (the word
// processor, the template, the saved memo, the picture) is reported once; the run
// then cleans up and stops, and the entry window stays with the user's details.
void MemoRun::makeMemo()
{
    ErrorTrap trap(mControl.reporter(), QString::fromLatin1(kRunLocation));
    if (trap.test(100, [&] { return mBusy; }))
        return;
    trap.step(102, [&] { mBusy = true; });
    mControl.begin();
    try {
        generateMemo(trap);
    } catch (const RunStopped &) {
        stopRun();
    }
}

namespace {
// The Word template kept for a template of the user's own, read without following a link.
QByteArray keptTemplate(const OwnTemplate &ownTemplate, int style)
{
    QString why;
    const auto kept = readPlainFile(
        ownTemplate.wordTemplate(), OwnTemplates::kMostBytes * 4, Links::Refuse, &why);
    if (!kept)
        fail(QStringLiteral("Your template for %1, kept in \"%2\", cannot be read: %3")
                 .arg(QString::fromLatin1(kMemoStyles[static_cast<size_t>(style)].caption),
                     ownTemplate.wordTemplate(), why));
    return *kept;
}
} // namespace

void MemoRun::generateMemo(ErrorTrap &trap)
{
    trap.step(104, [&] { mHost.setBusyPointer(true); });

    std::unique_ptr<WordSession> &word = mSession;
    mControl.doing(QStringLiteral("Starting the word processor..."));
    if (!trap.step(106, [&] { word = mWord.create(); }))
        return stopRun();

    quint8 style = 0;
    int buttons = 0;
    trap.step(108, [&] { buttons = mHost.styleButtonCount(); });
    for (int index = 0; index < buttons; ++index) {
        if (trap.test(110, [&] { return mHost.isStyleButtonSet(index); }))
            trap.step(110, [&] { style = static_cast<quint8>(index); });
    }

    QByteArray templateBytes;
    QString pageCaption;
    bool templateTaken = false;
    std::shared_ptr<const OwnTemplate> ownTemplate;
    for (int index = 0; index < static_cast<int>(kMemoStyles.size()); ++index) {
        if (trap.test(kStyleTestLine[index], [&] { return style == index; })) {
            if (index == kElegant)
                trap.step(124,
                    [&] { pageCaption = QString::fromLatin1(kMemoStyles[index].pageCaption); });
            templateTaken = trap.step(kTemplateLine[index], [&] {
                pageCaption = QString::fromLatin1(kMemoStyles[index].pageCaption);
                // A template of the user's own, kept made safe, stands in for the built-in one.
                ownTemplate = mHost.ownTemplate(index);
                if (!ownTemplate) {
                    templateBytes = loadResData(kMemoStyles[index].resourceId);
                    return;
                }
                templateBytes = keptTemplate(*ownTemplate, index);
                pageCaption = ownTemplate->fileName();
            });
            break;
        }
    }
    if (!templateTaken)
        return stopRun();

    mControl.doing(RunWords::filling(style, 0));
    if (!trap.step(136, [&] { replaceFile(temporary(kTemplateFile), templateBytes); }))
        return stopRun();
    QString templatePath;
    trap.step(138, [&] { templatePath = temporary(kTemplateFile); });
    if (!trap.step(140, [&] { running(word).open(templatePath, true); }))
        return stopRun();

    // The memo as the window holds it, worded for its bookmarks as every memo is.
    MemoDetails memo;
    memo.style = style;
    memo.ownTemplate = ownTemplate;
    trap.step(142, [&] { memo.date = mHost.eventDate(); });
    trap.step(144, [&] {
        for (const MemoField &field : kMemoFields) {
            if (printsField(memo, field))
                memo.*field.text = mHost.text(field);
        }
    });
    mControl.doing(RunWords::filling(style, charactersOf(memo)));
    for (const auto &[bookmark, text] : bookmarkWrites(memo)) {
        const bool written = trap.step(fieldWithBookmark(bookmark).runLine,
            [&] { running(word).setBookmarkText(bookmark, text); });
        // A bookmark the template lacks keeps its placeholder; a lost word processor
        // can write nothing more.
        if (!written && isLost(word))
            return stopRun();
    }

    QString documentPath;
    do {
        QString name;
        trap.step(166, [&] { name = drawDocumentName(); });
        trap.step(178, [&] { documentPath = temporaryPath(name + QStringLiteral(".doc")); });
    } while (trap.test(180, [&] { return isTaken(documentPath); }));

    mDocumentPath = documentPath;
    mControl.doing(QStringLiteral("Saving the memo..."));
    if (!trap.step(182, [&] {
            qint64 characters = 0;
            for (const MemoField &field : kMemoFields)
                characters += mHost.text(field).size();
            requireFreeSpace(documentPath, 4 * 1024 * 1024 + 4 * characters);
            running(word).saveAs(documentPath);
        }))
        return stopRun();
    // Should the program be killed, the next start removes the memo once it is sure
    // that this program is gone.
    noteMadeFile(documentPath);
    const int pages = pageCountOf(word);
    trap.step(184, [&] { running(word).setDisplayAlerts(false); });
    // The memo is saved: a word processor lost now is only this session's loss.
    if (!trap.step(186, [&] { running(word).close(); }) && isLost(word))
        endQuietly(word);
    else
        trap.step(188, [&] { running(word).quit(); });
    trap.step(190, [&] { word.reset(); });

    // Far longer than the picture holds: opening the memo again to draw its first
    // pages would take as long as making it.
    const bool tooLong = pages > kMostDrawnMemoPages;
    if (!tooLong) {
        mControl.doing(RunWords::drawing(pages));
        bool pictured = false;
        trap.step(194, [&] { pictured = SaveDocAsJPG(documentPath); });
        if (!pictured)
            return stopRun();
    }
    mControl.doing(QStringLiteral("Opening the preview..."));
    mControl.finishing();
    const auto picture = [&] { return tooLong ? QImage() : loadPicture(temporary(kPictureFile)); };
    trap.step(196, [&] { mHost.clearPages(); });
    trap.step(198, [&] { mHost.addPage(pageCaption); });
    if (!trap.step(200, [&] { mHost.setPagePicture(0, picture()); }))
        return stopRun();
    if (!trap.step(202, [&] { mHost.setDisplayPicture(picture()); }))
        return stopRun();
    mHost.setPagesNote(
        tooLong ? RunWords::tooLongNote(pages) : RunWords::firstPagesNote(mPicturePages));
    trap.step(204, [&] { mHost.setBusyPointer(false); });
    trap.step(206, [&] {
        mHost.setWordFile(documentPath);
        // The preview owns the memo from here on.
        mDocumentPath.clear();
    });
    trap.step(208, [&] { mHost.showPreview(); });
    trap.step(210, [&] { mHost.hideEntry(); });
    trap.step(212, [&] { KillFile(temporary(kPictureFile)); });
    trap.step(214, [&] { KillFile(temporary(kTemplateFile)); });
    removeRunFolder();
    mControl.end();
    trap.step(216, [&] { mBusy = false; });
}

void MemoRun::stopRun()
{
    mControl.end();
    abandon();
    try {
        mHost.setBusyPointer(false);
    } catch (const std::exception &) { }
    mBusy = false;
}

bool MemoRun::cancel()
{
    if (!mControl.stop())
        return false;
    for (const std::unique_ptr<WordSession> *session : { &mSession, &mRenderSession }) {
        if (*session)
            (*session)->abort();
    }
    return true;
}

bool MemoRun::SaveDocAsJPG(const QString &inFile)
{
    ErrorTrap trap(mControl.reporter(), QString::fromLatin1(kRenderLocation));
    std::unique_ptr<WordSession> &word = mRenderSession;
    mPicturePages = 0;
    const auto stop = [&] {
        endQuietly(word);
        return false;
    };
    if (!trap.step(116, [&] { word = mWord.create(); }))
        return false;
    if (!trap.step(118, [&] { running(word).open(inFile, false); }))
        return stop();
    QImage picture;
    if (!trap.step(120, [&] {
            picture = running(word).copyAsPicture();
            if (picture.isNull())
                fail(QStringLiteral("The word processor gave no picture of the memo."));
            mPicturePages = picture.text(QStringLiteral("pages")).toInt();
        }))
        return stop();
    if (!trap.step(122, [&] {
            const QString picturePath = temporary(kPictureFile);
            QFile::remove(picturePath);
            savePicture(picture, picturePath);
        }))
        return stop();
    // The picture is saved: a word processor lost now is only this session's loss.
    if (!trap.step(124, [&] { running(word).closeActiveDocumentWithoutSaving(); }) && isLost(word))
        endQuietly(word);
    else
        trap.step(126, [&] { running(word).quit(); });
    word.reset();
    return true;
}

void MemoRun::abandon()
{
    endQuietly(mRenderSession);
    endQuietly(mSession);
    // The template and the picture go with the run's folder.
    removeRunFolder();
    if (!mDocumentPath.isEmpty())
        KillFile(std::exchange(mDocumentPath, QString()));
}

// "kelmar" and eight digits from 1 to 9. The generator is re-seeded from the time
// of day before each digit; the seed mixes into what it held, so digits drawn in
// the same instant still differ.
QString MemoRun::drawDocumentName()
{
    std::uint32_t &state = mRandomState;
    QString name = QStringLiteral("kelmar");
    for (quint8 counter = 1; counter <= 8; ++counter) {
        state ^= std::bit_cast<std::uint32_t>(timeOfDay()) * 2654435761u;
        state = state * 1103515245u + 12345u;
        const double fraction = static_cast<double>(state >> 8) / static_cast<double>(1u << 24);
        name += QString::number(static_cast<int>(fraction * 9) + 1);
    }
    return name;
}

#include "MemoWriter.h"

#include "Failure.h"
#include "FileUtils.h"
#include "Leftovers.h"
#include "LibreOfficeProcessor.h"
#include "MemoStyle.h"
#include "OwnTemplate.h"
#include "PackageMemo.h"
#include "Processes.h"
#include "TemplateCatalogue.h"
#include "WordSession.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>

#include <algorithm>
#include <utility>

#include <sys/stat.h>

namespace {
// An office's first memos each add templates and fonts; after these it grows slowly.
constexpr int kSettlingMemos = 10;

QByteArray pngBytes(const QImage &picture)
{
    if (picture.isNull())
        fail(QStringLiteral("The word processor gave no picture of the memo."));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!QImageWriter(&buffer, "png").write(picture))
        fail(QStringLiteral("The memo's picture could not be made into a PNG file."));
    return bytes;
}

int environmentNumber(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value >= 0 ? value : fallback;
}

// "device inode" of the plain file at path, not following a link; empty when none is.
QByteArray identityOf(const QString &path)
{
    struct stat status
    {
    };
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return {};
    return QByteArray::number(quint64(status.st_dev)) + ' '
        + QByteArray::number(quint64(status.st_ino));
}

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("%1 could not be read: %2").arg(path, file.errorString()));
    return file.readAll();
}
} // namespace

MemoWriter::Renewal MemoWriter::Renewal::fromEnvironment()
{
    // An office settles at about 135 MiB and then grows by about 0.11 MiB a memo,
    // while its peak, from its first documents on, lies up to some 45 MiB above what
    // it holds between memos. Replaced at 180 MiB, it peaks under 230 MiB.
    constexpr int kDefaultMebibytes = 180;
    return { environmentNumber("SCRIVANE_OFFICE_RENEW_MEMOS", 0),
        environmentNumber("SCRIVANE_OFFICE_RENEW_MIB", kDefaultMebibytes) };
}

MemoWriter::MemoWriter(WordProcessor &word, Renewal renewal)
    : mWord(word)
    , mRenewal(renewal)
{ }

MemoWriter::~MemoWriter()
{
    discardSession();
    if (mWorkFolder) {
        // Removed without following anything planted in it.
        mWorkFolder->setAutoRemove(false);
        removeOwn(mWorkFolder->path());
    }
}

void MemoWriter::finish()
{
    if (mNext)
        quitSession(std::move(mNext));
    if (mSession) {
        auto session = std::move(mSession);
        session->quit();
    }
}

WordSession &MemoWriter::session()
{
    if (!mSession) {
        // The replacement started ahead is normally up by now.
        if (mNext) {
            try {
                mNext->ready();
                mSession = std::move(mNext);
            } catch (const Failure &) {
                quitSession(std::move(mNext));
            }
        }
        if (!mSession) {
            try {
                mSession = mWord.create();
            } catch (const Failure &) {
                // A replacement is this writer's own doing and must not cost the memo
                // that meets it: its office gets a second chance to start.
                if (!std::exchange(mRenewing, false))
                    throw;
                mSession = mWord.create();
            }
        }
        mRenewing = false;
        mSessionMemos = 0;
        ++mSessionsStarted;
    }
    return *mSession;
}

void MemoWriter::quitSession(std::unique_ptr<WordSession> session)
{
    try {
        session->quit();
    } catch (const Failure &) {
        // Releasing the session ends its process whatever quit said.
    }
}

void MemoWriter::discardSession()
{
    if (mNext)
        quitSession(std::move(mNext));
    if (mSession)
        quitSession(std::move(mSession));
}

double MemoWriter::officeMebibytes() const
{
    const auto *office = dynamic_cast<const OfficeSession *>(mSession.get());
    return office != nullptr ? processMebibytes(office->processId()) : 0.0;
}

bool MemoWriter::renewalDue(int memosAhead) const
{
    const int memos = mRenewal.memos;
    if (memos > 0 && mSessionMemos + memosAhead >= memos)
        return true;
    if (mRenewal.mebibytes <= 0 || dynamic_cast<OfficeSession *>(mSession.get()) == nullptr)
        return false;
    // Judged by what the office has grown a memo since it settled.
    constexpr double kLeastAheadMebibytes = 4;
    const double held = officeMebibytes();
    const int settled = mSessionMemos - kSettlingMemos;
    const double growth = settled > 0 ? (held - mSettledMebibytes) / settled : 0;
    const double ahead = memosAhead > 0 ? std::max(kLeastAheadMebibytes, growth * memosAhead) : 0;
    return held + ahead > mRenewal.mebibytes;
}

void MemoWriter::startReplacementIfSoon()
{
    // An office takes a few seconds to start: its replacement starts this many memos
    // before it is due and takes over between two memos when it is, so a batch never
    // waits for a start. Checked before a memo, so none starts after the last.
    constexpr int kAheadMemos = 40;
    if (!mSession || mNext || !renewalDue(std::clamp(mRenewal.memos / 4, 1, kAheadMemos)))
        return;
    try {
        mNext = mWord.createAhead();
    } catch (const Failure &) {
        // The replacement starts when it is due, and says then why it cannot.
    }
}

void MemoWriter::renewIfDue()
{
    if (!mSession || !renewalDue(0))
        return;
    // Between two memos, so no memo is lost: the next one takes the new office.
    if (auto *office = dynamic_cast<OfficeSession *>(mSession.get())) {
        // Not kept as a spare, or the next session would take it back.
        office->retire();
        mSession.reset();
    } else {
        quitSession(std::move(mSession));
    }
    mRenewing = true;
}

QString MemoWriter::workFolder()
{
    if (mWorkFolder && isOwnFolder(mWorkFolder->path()))
        return mWorkFolder->path();
    // Removed, or never made: a new one, under a new name. Whatever took the old name's
    // place goes only when it is this user's own.
    mTemplates.clear();
    if (mWorkFolder) {
        mWorkFolder->setAutoRemove(false);
        removeOwn(mWorkFolder->path());
    }
    auto folder = std::make_unique<QTemporaryDir>(workFolderPattern(QStringLiteral("work")));
    if (!folder->isValid())
        fail(QStringLiteral("No temporary folder could be made: %1").arg(folder->errorString()));
    mWorkFolder = std::move(folder);
    return mWorkFolder->path();
}

QString MemoWriter::templateFile(const MemoDetails &memo)
{
    const QString name = memo.ownTemplate
        ? QStringLiteral("own-%1.dot").arg(QString::fromLatin1(memo.ownTemplate->hash.left(32)))
        : QStringLiteral("template-%1.dot").arg(memo.style);
    const QString path = QDir(workFolder()).filePath(name);
    // Only the very file written here is taken again.
    if (mTemplates.count(name) != 0 && identityOf(path) == mTemplates.at(name))
        return path;
    mTemplates.erase(name);
    if (memo.ownTemplate) {
        QString why;
        const auto bytes = readPlainFile(
            memo.ownTemplate->wordTemplate(), OwnTemplates::kMostBytes * 4, Links::Refuse, &why);
        if (!bytes)
            fail(QStringLiteral("The template %1, kept in \"%2\", cannot be read: %3")
                     .arg(memo.ownTemplate->fileName(), memo.ownTemplate->folder, why));
        replaceFile(path, *bytes);
    } else {
        replaceFile(path, loadResData(kMemoStyles.at(static_cast<size_t>(memo.style)).resourceId));
    }
    mTemplates.emplace(name, identityOf(path));
    return path;
}

// An office whose profile or temporary folder was removed under it cannot save: the
// next memo gets a new one.
void MemoWriter::dropSessionWithoutFolders()
{
    auto *office = dynamic_cast<OfficeSession *>(mSession.get());
    if (office != nullptr
        && (!isOwnFolder(office->profileFolder())
            || !isOwnFolder(officeTemporaryFolder(office->profileFolder())))) {
        // Ended, not kept as the spare the new session would take back.
        office->retire();
        mSession.reset();
    }
}

namespace {
// What a saved memo may take at most: the template's pages and each character of its
// texts several times over (UTF-16 in the document, and its tables).
qint64 roomForMemo(const MemoDetails &memo)
{
    qint64 characters = 0;
    for (const MemoField &field : kMemoFields)
        characters += (memo.*field.text).size();
    return 4 * 1024 * 1024 + 4 * characters;
}
} // namespace

OwnTemplatePointer MemoWriter::ownTemplate(const QString &file)
{
    return OwnTemplates::checked(file, [this]() -> WordSession & { return session(); });
}

void MemoWriter::write(const MemoDetails &memo, const QString &documentPath, DocumentFormat format,
    const QString &picturePath)
{
    place(make(memo, format, !picturePath.isEmpty()), documentPath, picturePath);
}

void MemoWriter::place(const Memo &made, const QString &documentPath, const QString &picturePath)
{
    if (!picturePath.isEmpty())
        replaceFile(picturePath, made.picture);
    replaceFile(documentPath, made.document);
}

MemoWriter::Memo MemoWriter::make(const MemoDetails &memo, DocumentFormat format, bool withPicture)
{
    // DOCX and ODT are filled without the office, which then only draws a picture.
    const bool package = PackageMemo::isPackageFormat(format);
    // Its forms are made when it is checked; one missing is made again here.
    if (package && memo.ownTemplate)
        OwnTemplates::form(
            *memo.ownTemplate, format, [this]() -> WordSession & { return session(); });
    if (package && !withPicture)
        return { PackageMemo::make(memo, format), {} };
    // The word processor saves into the work folder; only the finished memo reaches
    // the destination, so a failure leaves nothing there and nothing is written
    // through a name someone else placed beside it.
    dropSessionWithoutFolders();
    const QString source = templateFile(memo);
    const QDir folder(workFolder());
    const QString saved = folder.filePath(QStringLiteral("memo.doc"));
    const QString exported = folder.filePath(QStringLiteral("memo.") + documentFormatName(format));
    QImage picture;
    try {
        startReplacementIfSoon();
        WordSession &word = session();
        word.openTemplate(source);
        for (const auto &[bookmark, text] : bookmarkWrites(memo))
            word.setBookmarkText(bookmark, text);
        // The picture is always of the Word document, as the window shows it.
        const bool wordDocument = format == DocumentFormat::Doc || withPicture;
        requireFreeSpace(saved, roomForMemo(memo));
        if (wordDocument) {
            QFile::remove(saved);
            word.saveAs(saved);
        }
        if (format == DocumentFormat::Pdf) {
            QFile::remove(exported);
            word.exportAs(exported, format);
        }
        word.close();
        if (withPicture) {
            word.open(saved, false);
            picture = word.copyAsPicture();
            word.closeActiveDocumentWithoutSaving();
        }
        if (++mSessionMemos == kSettlingMemos)
            mSettledMebibytes = officeMebibytes();
    } catch (const Failure &) {
        // A file the office could not read or write leaves it working: only the
        // document goes. When the session itself is why (ended, hung), the next memo
        // gets a new one.
        try {
            if (mSession)
                mSession->closeActiveDocumentWithoutSaving();
        } catch (const Failure &) {
            if (mSession)
                quitSession(std::move(mSession));
        }
        throw;
    }
    renewIfDue();
    Memo made;
    if (withPicture)
        made.picture = pngBytes(picture);
    made.document = package ? PackageMemo::make(memo, format) : contentsOf(exported);
    QFile::remove(saved);
    QFile::remove(exported);
    return made;
}

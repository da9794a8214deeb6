#include "MemoWriter.h"

#include "Failure.h"
#include "FileUtils.h"
#include "Leftovers.h"
#include "MemoStyle.h"
#include "PagePicture.h"
#include "TemplateCatalogue.h"
#include "WordSession.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>

namespace {
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

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("%1 could not be read: %2").arg(path, file.errorString()));
    return file.readAll();
}
} // namespace

MemoWriter::MemoWriter(WordProcessor &word)
    : mWord(word)
    , mWorkFolder(workFolderPattern(QStringLiteral("work")))
{
    if (!mWorkFolder.isValid())
        fail(
            QStringLiteral("No temporary folder could be made: %1").arg(mWorkFolder.errorString()));
}

MemoWriter::~MemoWriter()
{
    discardSession();
}

void MemoWriter::finish()
{
    if (mSession) {
        auto session = std::move(mSession);
        session->quit();
    }
}

WordSession &MemoWriter::session()
{
    if (!mSession)
        mSession = mWord.create();
    return *mSession;
}

void MemoWriter::discardSession()
{
    if (!mSession)
        return;
    try {
        mSession->quit();
    } catch (const Failure &) {
        // Releasing the session ends its process whatever quit said.
    }
    mSession.reset();
}

QString MemoWriter::templateFile(int style)
{
    auto known = mTemplates.find(style);
    if (known != mTemplates.end())
        return known->second;
    const QString path = mWorkFolder.filePath(QStringLiteral("template-%1.dot").arg(style));
    WriteBytesToFile(loadResData(kMemoStyles.at(static_cast<size_t>(style)).resourceId), path);
    mTemplates.emplace(style, path);
    return path;
}

void MemoWriter::write(
    const MemoDetails &memo, const QString &documentPath, const QString &picturePath)
{
    // The word processor saves into the work folder; only the finished memo reaches
    // the destination, so a failure leaves nothing there and nothing is written
    // through a name someone else placed beside it.
    const QString saved = mWorkFolder.filePath(QStringLiteral("memo.doc"));
    const QString source = templateFile(memo.style);
    QImage picture;
    try {
        WordSession &word = session();
        word.open(source, true);
        for (const auto &[bookmark, text] : bookmarkWrites(memo))
            word.setBookmarkText(bookmark, text);
        QFile::remove(saved);
        word.saveAs(saved);
        word.close();
        if (!picturePath.isEmpty()) {
            word.open(saved, false);
            picture = copyPagePicture(word);
            word.closeActiveDocumentWithoutSaving();
        }
    } catch (const Failure &) {
        // A file the office could not read or write leaves it working: only the
        // document goes. When the session itself is why (ended, hung), the next memo
        // gets a new one.
        try {
            if (mSession)
                mSession->closeActiveDocumentWithoutSaving();
        } catch (const Failure &) {
            discardSession();
        }
        throw;
    }
    if (!picturePath.isEmpty())
        replaceFile(picturePath, pngBytes(picture));
    replaceFile(documentPath, contentsOf(saved));
    QFile::remove(saved);
}

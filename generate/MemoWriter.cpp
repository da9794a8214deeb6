#include "MemoWriter.h"

#include "Failure.h"
#include "FileUtils.h"
#include "MemoStyle.h"
#include "Picture.h"
#include "TemplateCatalogue.h"
#include "WordSession.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QSaveFile>

#include <cstdio>

namespace {
// The document is made under a hidden name beside its final one and renamed
// when complete, so a failure never leaves a partial file under the final name.
QString partPath(const QString &path)
{
    const QFileInfo info(path);
    return info.dir().filePath(QStringLiteral(".%1.part").arg(info.fileName()));
}

void moveInto(const QString &from, const QString &to)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        fail(QStringLiteral("%1 could not be written.").arg(to));
}

void writePng(const QImage &picture, const QString &path)
{
    if (picture.isNull())
        fail(QStringLiteral("The word processor gave no picture of the memo."));
    QSaveFile file(path);
    QImageWriter writer(&file, "png");
    if (!file.open(QIODevice::WriteOnly) || !writer.write(picture) || !file.commit())
        fail(QStringLiteral("%1 could not be written: %2").arg(path, file.errorString()));
}
} // namespace

MemoWriter::MemoWriter(WordProcessor &word)
    : mWord(word)
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
    WriteBytesToFile(LoadResData(kMemoStyles.at(static_cast<size_t>(style)).resourceId), path);
    mTemplates.emplace(style, path);
    return path;
}

void MemoWriter::write(
    const MemoDetails &memo, const QString &documentPath, const QString &picturePath)
{
    const QString part = partPath(documentPath);
    try {
        const QString source = templateFile(memo.style);
        try {
            WordSession &word = session();
            word.open(source, true);
            for (const auto &[bookmark, text] : bookmarkWrites(memo))
                word.setBookmarkText(bookmark, text);
            word.saveAs(part);
            word.close();
            if (!picturePath.isEmpty())
                render(part, picturePath);
        } catch (const Failure &) {
            // The session may be why (ended, hung): the next memo gets a new one.
            discardSession();
            throw;
        }
        moveInto(part, documentPath);
    } catch (const Failure &) {
        QFile::remove(part);
        throw;
    }
}

void MemoWriter::render(const QString &documentPath, const QString &picturePath)
{
    WordSession &word = session();
    word.open(documentPath, false);
    QGuiApplication::clipboard()->clear();
    word.copyAsPicture();
    word.closeActiveDocumentWithoutSaving();
    writePng(GetClipboardPicture(0), picturePath);
}

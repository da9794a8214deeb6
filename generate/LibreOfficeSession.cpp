#include "LibreOfficeSession.h"

#include "Failure.h"
#include "Office.h"
#include "SparePool.h"

#include <utility>

LibreOfficeSession::LibreOfficeSession(
    std::shared_ptr<SparePool> pool, std::unique_ptr<Office> office, QThread *home)
    : mPool(std::move(pool))
    , mOffice(std::move(office))
    , mHome(home)
    , mProcessId(mOffice->processId())
    , mProfileFolder(mOffice->profileFolder())
{ }

LibreOfficeSession::~LibreOfficeSession() = default;

void LibreOfficeSession::open(const QString &path, bool readOnly)
{
    office().open(path, readOnly);
}

void LibreOfficeSession::openTemplate(const QString &path)
{
    office().openTemplate(path);
}

void LibreOfficeSession::setBookmarkText(const QString &bookmark, const QString &text)
{
    office(QStringLiteral("fill the bookmark \"%1\"").arg(bookmark))
        .setBookmarkText(bookmark, text);
}

void LibreOfficeSession::saveAs(const QString &path)
{
    exportAs(path, DocumentFormat::Doc);
}

void LibreOfficeSession::exportAs(const QString &path, DocumentFormat format)
{
    office(QStringLiteral("save the document as \"%1\"").arg(path)).exportAs(path, format);
}

void LibreOfficeSession::close()
{
    office(QStringLiteral("close the document")).close();
}

TemplateFindings LibreOfficeSession::makeTemplateSafe(const QString &source, TemplateKind kind,
    const QString &destination, const TemplateLimits &limits)
{
    return office(QStringLiteral("check the template \"%1\"").arg(source))
        .makeTemplateSafe(source, kind, destination, limits);
}

QImage LibreOfficeSession::copyAsPicture()
{
    return office(QStringLiteral("copy the document as a picture")).copyAsPicture();
}

void LibreOfficeSession::closeActiveDocumentWithoutSaving()
{
    office(QStringLiteral("close the document without saving")).closeActiveDocumentWithoutSaving();
}

void LibreOfficeSession::quit()
{
    if (!mOffice)
        return;
    std::unique_ptr<Office> office = std::move(mOffice);
    // The next session fills templates of its own.
    if (office->isConnected() && !office->isBroken()) {
        try {
            office->closeKeptDocuments();
        } catch (const Failure &) {
            // The office is broken now, and the pool ends it.
        }
    }
    const QString broken = office->brokenReason();
    mPool->giveBack(std::move(office), mHome);
    if (!broken.isEmpty())
        fail(QStringLiteral("Could not quit the word processor: %1.").arg(broken));
}

bool LibreOfficeSession::isRunning() const
{
    return mOffice && !mOffice->isBroken();
}

int LibreOfficeSession::pageCount()
{
    return office(QStringLiteral("count the document's pages")).pageCount();
}

// The office is ended, not given back: the pool then starts a fresh spare.
void LibreOfficeSession::abort()
{
    if (mOffice && !mOffice->isBroken())
        mOffice->kill();
}

void LibreOfficeSession::retire()
{
    mOffice.reset();
}

Office &LibreOfficeSession::office(const QString &what)
{
    if (!mOffice)
        fail(QStringLiteral("Could not %1: the word processor has already been quit.")
                 .arg(what.isEmpty() ? QStringLiteral("do that") : what));
    // A lent spare may not have been waited for yet.
    if (!mOffice->isConnected())
        mOffice->connect();
    return *mOffice;
}

// The office over UNO: with OfficeTemplates.cpp (their shared part in OfficeUno.h) the
// only files that include the office's API, and where its exceptions become
// "Could not ...: ..." messages.
#include "Office.h"

#include "Leftovers.h"
#include "MemoProperties.h"
#include "OfficeProcess.h"
#include "OfficeUno.h"
#include "PageComposition.h"
#include "PageRenderer.h"
#include "Processes.h"
#include "WordContainer.h"
#include "WordText.h"
#include "WorkThread.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <com/sun/star/beans/PropertyAttribute.hpp>
#include <com/sun/star/beans/XPropertyContainer.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/container/NoSuchElementException.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/document/XDocumentProperties.hpp>
#include <com/sun/star/document/XDocumentPropertiesSupplier.hpp>
#include <com/sun/star/document/XUndoManager.hpp>
#include <com/sun/star/document/XUndoManagerSupplier.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XFrames.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/text/XBookmarksSupplier.hpp>
#include <com/sun/star/text/XPageCursor.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextContent.hpp>
#include <com/sun/star/text/XTextCursor.hpp>
#include <com/sun/star/text/XTextRange.hpp>
#include <com/sun/star/text/XTextViewCursorSupplier.hpp>
#include <com/sun/star/util/DateTime.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XModifiable.hpp>
#include <com/sun/star/util/XRefreshable.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <rtl/bootstrap.hxx>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <mutex>
#include <utility>

using namespace OfficeUno;

namespace {
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

// After terminate() the office normally is gone within a few hundredths of a second.
constexpr auto kTerminateWait = std::chrono::seconds(5);
// From this length on, a memo the office cannot finish in time is called too long.
constexpr qsizetype kLongMemoCharacters = 1'000'000;
// How often an office working on a call is looked at for having frozen.
constexpr auto kFrozenCheckInterval = std::chrono::milliseconds(250);
// 192 dots per inch, shown at 96: sharp when the preview zooms in.
constexpr double kPictureResolution = 192.0;
constexpr qreal kPicturePixelRatio = 2.0;

} // namespace

// A template kept open between memos, with a cursor over what the last memo wrote
// into each bookmark.
struct KeptDocument
{
    Reference<css::lang::XComponent> document;
    std::map<OUString, Reference<css::text::XTextCursor>> values;
    // It held a memo of several pages: closed after it, as layOut() says.
    bool spansPages = false;
};

// The UNO objects of one session. Tasks hold them too, so a task that outlives its
// session's wait never touches freed memory.
struct UnoObjects
{
    Reference<css::uno::XComponentContext> local;
    Reference<css::uno::XComponentContext> remote;
    Reference<css::frame::XDesktop2> desktop;
    Reference<css::lang::XComponent> document;
    // The open document's bookmarks, asked for once per document.
    Reference<css::container::XNameAccess> bookmarks;
    // Kept templates by URL; `kept` is the open one when it is one of them.
    std::map<OUString, KeptDocument> keptDocuments;
    KeptDocument *kept = nullptr;

    Reference<css::lang::XComponent> requireDocument() const
    {
        if (!document.is())
            throw OfficeError { QStringLiteral("no document is open") };
        return document;
    }

    // The open document's bookmark of that name, where its text goes.
    Reference<css::text::XTextRange> bookmarkAnchor(const OUString &name)
    {
        const OfficeError noSuchBookmark { QStringLiteral(
            "the document has no bookmark of that name") };
        if (!bookmarks.is()) {
            const Reference<css::text::XBookmarksSupplier> supplier(requireDocument(), UNO_QUERY);
            if (!supplier.is())
                throw noSuchBookmark;
            bookmarks = supplier->getBookmarks();
        }
        // Each call crosses to the office and back; a batch makes thousands of them.
        Reference<css::text::XTextContent> content;
        try {
            content.set(bookmarks->getByName(name), UNO_QUERY_THROW);
        } catch (const css::container::NoSuchElementException &) {
            throw noSuchBookmark;
        }
        return content->getAnchor();
    }

    void forgetOpenDocument()
    {
        document.clear();
        bookmarks.clear();
        kept = nullptr;
    }

    void closeKeptDocuments()
    {
        std::map<OUString, KeptDocument> closing;
        closing.swap(keptDocuments);
        if (kept != nullptr)
            forgetOpenDocument();
        for (auto &[url, closed] : closing)
            closeWithoutSaving(closed.document);
    }

    static void closeWithoutSaving(const Reference<css::lang::XComponent> &document)
    {
        if (const Reference<css::util::XModifiable> modifiable { document, UNO_QUERY };
            modifiable.is())
            modifiable->setModified(false);
        const Reference<css::util::XCloseable> closeable(document, UNO_QUERY_THROW);
        closeable->close(true);
    }

    void release()
    {
        document.clear();
        bookmarks.clear();
        kept = nullptr;
        keptDocuments.clear();
        desktop.clear();
        remote.clear();
        if (const Reference<css::lang::XComponent> component { local, UNO_QUERY }; component.is())
            component->dispose();
        local.clear();
    }
};

namespace {
// Our own end of UNO reads the installed office's type libraries.
Reference<css::uno::XComponentContext> localContext()
{
    static std::mutex bootstrapping;
    std::lock_guard lock(bootstrapping);
    rtl::Bootstrap::set(OUString("URE_BOOTSTRAP"),
        OUString("vnd.sun.star.pathname:" SCRIVANE_UNO_PROGRAM_DIR "/fundamentalrc"));
    return cppu::defaultBootstrap_InitialComponentContext();
}

css::util::DateTime officeDateTime(const QDateTime &local)
{
    const QDate date = local.date();
    const QTime time = local.time();
    return css::util::DateTime(sal_uInt32(time.msec()) * 1000000u, sal_uInt16(time.second()),
        sal_uInt16(time.minute()), sal_uInt16(time.hour()), sal_uInt16(date.day()),
        sal_uInt16(date.month()), sal_Int16(date.year()), false);
}

// The document properties of a memo saved now: title and subject from Re, author from
// From, no keywords; created and modified at this moment. The office's Word 97 filter
// has no place for the company but a user-defined property: it is added after the save.
// The DOCX and ODT filters write a user-defined "Company" where their formats keep the
// company (a DOCX's docProps/app.xml), so those formats get it here; the others none.
void setMemoProperties(const Reference<css::lang::XComponent> &document, const MemoProperties &memo,
    const QDateTime &now, bool withCompany)
{
    const Reference<css::document::XDocumentPropertiesSupplier> supplier(document, UNO_QUERY_THROW);
    const Reference<css::document::XDocumentProperties> properties
        = supplier->getDocumentProperties();
    properties->setTitle(toOUString(memo.title));
    properties->setSubject(toOUString(memo.title));
    properties->setAuthor(toOUString(memo.author));
    properties->setModifiedBy(toOUString(memo.author));
    properties->setKeywords({});
    properties->setDescription(OUString());
    properties->setCreationDate(officeDateTime(now));
    properties->setModificationDate(officeDateTime(now));

    const OUString company("Company");
    const Reference<css::beans::XPropertyContainer> custom = properties->getUserDefinedProperties();
    const Reference<css::beans::XPropertySet> customValues(custom, UNO_QUERY_THROW);
    if (customValues->getPropertySetInfo()->hasPropertyByName(company))
        custom->removeProperty(company);
    if (withCompany && !memo.company.isEmpty())
        custom->addProperty(
            company, css::beans::PropertyAttribute::REMOVABLE, Any(toOUString(memo.company)));
}

// Writer's export filter for each format.
const char *exportFilter(DocumentFormat format)
{
    switch (format) {
    case DocumentFormat::Docx:
        return "MS Word 2007 XML";
    case DocumentFormat::Odt:
        return "writer8";
    case DocumentFormat::Pdf:
        return "writer_pdf_Export";
    case DocumentFormat::Doc:
        break;
    }
    return "MS Word 97";
}

OfficeProcess::Options processOptions(const LibreOfficeProcessor::Settings &settings)
{
    return { settings.programFolder, settings.profileRoot, settings.connectTimeout };
}

// Lays the filled document out whole before it is saved: the fields of headers and
// footers (the date's chapter field, page numbers) then hold this memo's values in the
// file, not those of the layout made at the load. A kept template holding more than one
// page has laid out footers that a memo of one page never shows, whose fields would keep
// this memo's values: it is not kept.
void layOut(UnoObjects &uno)
{
    const Reference<css::util::XRefreshable> refreshable(uno.requireDocument(), UNO_QUERY_THROW);
    refreshable->refresh();
    const Reference<css::frame::XModel> model(refreshable, UNO_QUERY_THROW);
    const Reference<css::beans::XPropertySet> view(model->getCurrentController(), UNO_QUERY_THROW);
    sal_Int32 pages = 0;
    view->getPropertyValue(OUString("PageCount")) >>= pages;
    if (uno.kept != nullptr && pages > 1)
        uno.kept->spansPages = true;
}

// The file itself, hidden, also when it is a template; its macros never run.
Reference<css::lang::XComponent> load(UnoObjects &uno, const OUString &url, bool readOnly)
{
    const Sequence<css::beans::PropertyValue> arguments = properties({
        property("Hidden", Any(true)),
        property("ReadOnly", Any(readOnly)),
        property("AsTemplate", Any(false)),
        property("MacroExecutionMode", Any(css::document::MacroExecMode::NEVER_EXECUTE)),
        property("UpdateDocMode", Any(css::document::UpdateDocMode::NO_UPDATE)),
    });
    const Reference<css::lang::XComponent> document
        = uno.desktop->loadComponentFromURL(url, OUString("_blank"), 0, arguments);
    if (!document.is())
        throw OfficeError { QStringLiteral("the word processor cannot read it as a document") };
    return document;
}
} // namespace

Office::Office(const LibreOfficeProcessor::Settings &settings)
    : mSettings(settings)
    , mUno(std::make_shared<UnoObjects>())
    , mProcess(std::make_unique<OfficeProcess>(processOptions(settings)))
{ }

bool Office::hasDocument() const
{
    return mUno->document.is();
}

void Office::connect()
{
    try {
        mProcess->connect([this](const QString &pipeName, std::chrono::milliseconds timeLeft) {
            return tryConnect(pipeName, timeLeft);
        });
        mConnected = true;
    } catch (const Failure &failure) {
        mBroken = failure.description();
        throw;
    }
}

bool Office::answers(std::chrono::milliseconds time)
{
    if (!mBroken.isEmpty() || mProcess->waitForEnd(std::chrono::milliseconds::zero()))
        return false;
    std::shared_ptr<UnoObjects> uno = mUno;
    bool answered = false;
    try {
        answered = mCalls.run([uno] { translated([&] { uno->desktop->getFrames()->getCount(); }); },
            WorkThread::Clock::now() + time);
    } catch (const OfficeError &) { }
    if (!answered) {
        killOffice();
        mBroken = QStringLiteral("the word processor did not answer and was ended");
    }
    return answered;
}

Office::~Office()
{
    if (mConnected && mBroken.isEmpty() && !mCalling) {
        std::shared_ptr<UnoObjects> uno = mUno;
        try {
            mCalls.run(
                [uno] {
                    // The office may go before it answers.
                    try {
                        uno->document.clear();
                        uno->closeKeptDocuments();
                        uno->desktop->terminate();
                    } catch (const css::uno::Exception &) { }
                },
                WorkThread::Clock::now()
                    + std::min<std::chrono::milliseconds>(mSettings.callTimeout, kTerminateWait));
        } catch (...) { }
    }
    const bool asked = mConnected && mBroken.isEmpty() && !mCalling;
    if (!mProcess->waitForEnd(asked ? kTerminateWait : std::chrono::milliseconds::zero()))
        killOffice();
    else
        removeLockFiles();
    mCalls.post([uno = std::move(mUno)] { uno->release(); });
}

bool Office::tryConnect(const QString &pipeName, std::chrono::milliseconds timeLeft)
{
    // A starting office works without a pause until it answers: one that stops (or is
    // stopped) is not waited for until the connect timeout.
    bool frozen = false;
    std::function<bool()> hasFrozen;
    if (mSettings.frozenAfter.count() > 0) {
        if (!mStartWatch || mStartWatch->first != mProcess->processId())
            mStartWatch.emplace(
                mProcess->processId(), StallWatch(mProcess->processId(), mSettings.frozenAfter));
        hasFrozen = [&] { return frozen = mStartWatch->second.stalled(); };
    }
    const auto stoppedWorking = [&] {
        fail(QStringLiteral("The word processor could not be started: it stopped working (it "
                            "used no processor time for %1) and was ended.")
                 .arg(secondsText(mSettings.frozenAfter)));
    };
    if (hasFrozen && hasFrozen())
        stoppedWorking();
    const OUString url = toOUString(
        QStringLiteral("uno:pipe,name=%1;urp;StarOffice.ComponentContext").arg(pipeName));
    std::shared_ptr<UnoObjects> uno = mUno;
    const auto deadline = WorkThread::Clock::now() + timeLeft;
    const bool answered = mCalls.run(
        [uno, url] {
            try {
                if (!uno->local.is())
                    uno->local = localContext();
                const Reference<css::bridge::XUnoUrlResolver> resolver
                    = css::bridge::UnoUrlResolver::create(uno->local);
                const Reference<css::uno::XComponentContext> remote(
                    resolver->resolve(url), UNO_QUERY_THROW);
                secureOffice(remote);
                uno->desktop = css::frame::Desktop::create(remote);
                uno->remote = remote;
            } catch (const css::uno::Exception &) {
                // Not listening yet, or not ready for a bridge: the next try tells.
            }
        },
        deadline, hasFrozen, kFrozenCheckInterval);
    if (frozen)
        stoppedWorking();
    return answered && uno->desktop.is();
}

void Office::call(const QString &what, std::function<void(UnoObjects &)> operation)
{
    auto failed
        = [&](const QString &why) { fail(QStringLiteral("Could not %1: %2.").arg(what, why)); };
    if (!mBroken.isEmpty())
        mTooLong ? fail(mBroken) : failed(mBroken);

    std::shared_ptr<UnoObjects> uno = mUno;
    bool answered = false;
    StallWatch office(mProcess->processId(), mSettings.frozenAfter);
    bool frozen = false;
    std::function<bool()> hasFrozen;
    if (mSettings.frozenAfter.count() > 0)
        hasFrozen = [&] { return frozen = office.stalled(); };
    try {
        mCalling = true;
        const auto done = qScopeGuard([this] { mCalling = false; });
        answered = mCalls.run(
            [uno, operation = std::move(operation)] { translated([&] { operation(*uno); }); },
            WorkThread::Clock::now() + mSettings.callTimeout, hasFrozen, kFrozenCheckInterval);
    } catch (const OfficeError &error) {
        if (error.refused)
            throw TemplateRefused(error.message);
        if (error.gone || mProcess->waitForEnd(std::chrono::milliseconds::zero())) {
            killOffice();
            mBroken = QStringLiteral("the word processor ended unexpectedly");
            failed(mBroken);
        }
        failed(error.message.isEmpty() ? QStringLiteral("the word processor gave no reason")
                                       : error.message);
    }
    if (!answered) {
        killOffice();
        if (frozen) {
            mBroken = QStringLiteral("the word processor stopped working (it used no processor "
                                     "time for %1) and was ended")
                          .arg(secondsText(mSettings.frozenAfter));
            failed(mBroken);
        }
        // A memo of millions of characters is what keeps a healthy office that long.
        qsizetype characters = mFillingCharacters;
        for (const QString &text : std::as_const(mBookmarkTexts))
            characters += text.size();
        if (characters >= kLongMemoCharacters) {
            mBroken = QStringLiteral("The memo is too long for the word processor: its %L1 "
                                     "characters could not be written within %2, and the word "
                                     "processor was ended. Shorten the message or split the memo.")
                          .arg(characters)
                          .arg(secondsText(mSettings.callTimeout));
            mTooLong = true;
            fail(mBroken);
        }
        mBroken = QStringLiteral("the word processor did not answer within %1 and was ended")
                      .arg(secondsText(mSettings.callTimeout));
        failed(mBroken);
    }
}

void Office::kill()
{
    killOffice();
    mBroken = QStringLiteral("the word processor was stopped");
}

void Office::killOffice()
{
    mProcess->kill();
    removeLockFiles();
}

// An office asked to end with a document still open ends without removing the
// document's lock file, as a killed one does.
void Office::removeLockFiles()
{
    for (const QString &document : std::as_const(mDocuments))
        removeLockFileOf(document, mProcess->profileFolder());
}

void Office::open(const QString &path, bool readOnly)
{
    const QString what = QStringLiteral("open \"%1\"").arg(path);
    if (!QFileInfo(path).isFile())
        fail(QStringLiteral("Could not %1: there is no such file.").arg(what));
    const OUString url = fileUrl(path);
    if (!readOnly)
        mDocuments.append(path);
    mBookmarkTexts.clear();
    call(what, [url, readOnly](UnoObjects &uno) {
        uno.forgetOpenDocument();
        uno.document = load(uno, url, readOnly);
    });
}

void Office::openTemplate(const QString &path)
{
    const QString what = QStringLiteral("open \"%1\"").arg(path);
    if (!QFileInfo(path).isFile())
        fail(QStringLiteral("Could not %1: there is no such file.").arg(what));
    const OUString url = fileUrl(path);
    mBookmarkTexts.clear();
    call(what, [url](UnoObjects &uno) {
        uno.forgetOpenDocument();
        KeptDocument &kept = uno.keptDocuments[url];
        if (!kept.document.is()) {
            try {
                kept.document = load(uno, url, true);
                // Refilled memo after memo: an undo stack would only grow.
                const Reference<css::document::XUndoManagerSupplier> undo(
                    kept.document, UNO_QUERY_THROW);
                undo->getUndoManager()->lock();
            } catch (...) {
                if (kept.document.is())
                    UnoObjects::closeWithoutSaving(kept.document);
                uno.keptDocuments.erase(url);
                throw;
            }
        }
        uno.document = kept.document;
        uno.kept = &kept;
    });
}

void Office::closeKeptDocuments()
{
    call(QStringLiteral("close the documents kept open"),
        [](UnoObjects &uno) { uno.closeKeptDocuments(); });
}

void Office::setBookmarkText(const QString &bookmark, const QString &text)
{
    // Writer takes "\r" as a paragraph break and "\n" as a line break within one.
    // A control character that a Word document cannot hold would empty the whole
    // bookmark in the saved file: it alone goes.
    const QString lines = memoParagraphs(wordText(text)).join(QLatin1Char('\r'));
    const OUString name = toOUString(bookmark);
    const OUString value = toOUString(lines);
    // Unpaired surrogates are gone: each high one begins one character.
    const qsizetype characters = lines.size()
        - std::count_if(lines.cbegin(), lines.cend(), [](QChar c) { return c.isHighSurrogate(); });
    mFillingCharacters = text.size();
    const auto filled = qScopeGuard([this] { mFillingCharacters = 0; });
    call(QStringLiteral("fill the bookmark \"%1\"").arg(bookmark),
        [name, value, characters](UnoObjects &uno) {
            if (uno.kept == nullptr) {
                uno.bookmarkAnchor(name)->setString(value);
                return;
            }
            // A kept template: the cursor holds what the last memo wrote there.
            Reference<css::text::XTextCursor> &cursor = uno.kept->values[name];
            if (!cursor.is()) {
                const Reference<css::text::XTextRange> anchor = uno.bookmarkAnchor(name);
                cursor = anchor->getText()->createTextCursorByRange(anchor);
            }
            cursor->setString(value);
            // Writer selects what it inserted by counting back UTF-16 units, but steps
            // over whole characters: each one outside the BMP would take one too many.
            if (characters != value.getLength()) {
                cursor->collapseToEnd();
                for (qsizetype left = characters; left > 0; left -= SAL_MAX_INT16)
                    cursor->goLeft(sal_Int16(std::min<qsizetype>(left, SAL_MAX_INT16)), true);
            }
        });
    mBookmarkTexts.insert(bookmark, text);
}

void Office::exportAs(const QString &path, DocumentFormat format)
{
    const OUString url = fileUrl(path);
    const MemoProperties memo = memoProperties(mBookmarkTexts);
    // A document exported as it was opened keeps the properties it was saved with.
    const bool filled = !mBookmarkTexts.isEmpty();
    const QDateTime now = QDateTime::currentDateTime();
    const OUString filter = OUString::createFromAscii(exportFilter(format));
    const QFileInfo target(path);
    const QString lock
        = target.absolutePath() + QStringLiteral("/.~lock.") + target.fileName() + QLatin1Char('#');
    const bool lockedBefore = QFileInfo(lock).exists();
    try {
        call(QStringLiteral("save the document as \"%1\"").arg(path),
            [url, filter, memo, now, format, filled](UnoObjects &uno) {
                const bool package
                    = format == DocumentFormat::Docx || format == DocumentFormat::Odt;
                if (filled) {
                    setMemoProperties(uno.requireDocument(), memo, now, package);
                    // A DOCX or ODT keeps the fields as they were laid out at the load,
                    // as one filled without the office has them.
                    if (!package)
                        layOut(uno);
                }
                // A copy: the document stays where it was loaded from, so the office
                // keeps no lock file beside the saved one.
                const Reference<css::frame::XStorable> storable(
                    uno.requireDocument(), UNO_QUERY_THROW);
                storable->storeToURL(url,
                    properties({
                        property("FilterName", Any(filter)),
                        property("Overwrite", Any(true)),
                    }));
            });
    } catch (const Failure &) {
        // A save that fails half-way leaves the office's lock file beside the document;
        // on a full disk an empty one, which says nothing of whose it is.
        removeLockFileOf(path, mProcess->profileFolder());
        if (!lockedBefore && QFileInfo(lock).size() == 0)
            QFile::remove(lock);
        const QString why = mBroken.isEmpty() ? storeFailure(path) : QString();
        if (why.isEmpty())
            throw;
        fail(why);
    }
    if (format == DocumentFormat::Doc)
        finishWordFile(path, memo.company);
}

TemplateFindings Office::makeTemplateSafe(const QString &source, TemplateKind kind,
    const QString &destination, const TemplateLimits &limits)
{
    const OUString sourceUrl = fileUrl(source);
    const OUString destinationUrl = fileUrl(destination);
    mBookmarkTexts.clear();
    auto findings = std::make_shared<TemplateFindings>();
    call(QStringLiteral("check the template \"%1\"").arg(source),
        [sourceUrl, destinationUrl, kind, limits, findings](UnoObjects &uno) {
            *findings = madeSafe(uno.desktop, sourceUrl, destinationUrl, kind, limits);
        });
    return *findings;
}

void Office::close()
{
    call(QStringLiteral("close the document"), [](UnoObjects &uno) {
        const Reference<css::util::XCloseable> closeable(uno.requireDocument(), UNO_QUERY_THROW);
        // A kept template stays open for the next memo.
        KeptDocument *kept = uno.kept;
        uno.forgetOpenDocument();
        if (kept == nullptr) {
            closeable->close(true);
        } else if (kept->spansPages) {
            const Reference<css::lang::XComponent> document = kept->document;
            std::erase_if(
                uno.keptDocuments, [&](const auto &entry) { return &entry.second == kept; });
            UnoObjects::closeWithoutSaving(document);
        }
    });
}

void Office::closeActiveDocumentWithoutSaving()
{
    call(QStringLiteral("close the document without saving"), [](UnoObjects &uno) {
        const Reference<css::lang::XComponent> document = uno.requireDocument();
        // A kept template left half-filled is loaded afresh for the next memo.
        if (uno.kept != nullptr)
            std::erase_if(uno.keptDocuments,
                [&](const auto &entry) { return entry.second.document == document; });
        uno.forgetOpenDocument();
        UnoObjects::closeWithoutSaving(document);
    });
}

QImage Office::copyAsPicture()
{
    const QString what = QStringLiteral("copy the document as a picture");
    QTemporaryDir folder(workFolderPattern(QStringLiteral("pages")));
    if (!folder.isValid())
        fail(QStringLiteral("Could not %1: no temporary folder could be made (%2).")
                 .arg(what, folder.errorString()));
    const QString pdfPath = folder.filePath(QStringLiteral("pages.pdf"));
    const OUString pdfUrl = fileUrl(pdfPath);
    call(what, [pdfUrl](UnoObjects &uno) {
        const Reference<css::lang::XComponent> document = uno.requireDocument();
        const Reference<css::frame::XStorable> storable(document, UNO_QUERY_THROW);
        storable->storeToURL(
            pdfUrl, properties({ property("FilterName", Any(OUString("writer_pdf_Export"))) }));
    });

    const QList<QImage> pages = RenderPdfPages(pdfPath, kPictureResolution, kMostPicturePages);
    if (pages.isEmpty())
        fail(QStringLiteral("Could not %1: the document has no pages.").arg(what));
    QImage picture = composedPages(pages, kPicturePixelRatio);
    picture.setText(QStringLiteral("pages"), QString::number(PdfPageCount(pdfPath)));
    return picture;
}

int Office::pageCount()
{
    // The call may outlive this wait: it writes into what it holds.
    const auto pages = std::make_shared<int>(0);
    call(QStringLiteral("count the document's pages"), [pages](UnoObjects &uno) {
        const Reference<css::frame::XModel> model(uno.requireDocument(), UNO_QUERY_THROW);
        const Reference<css::text::XTextViewCursorSupplier> view(
            model->getCurrentController(), UNO_QUERY);
        if (!view.is())
            return;
        const Reference<css::text::XPageCursor> cursor(view->getViewCursor(), UNO_QUERY_THROW);
        cursor->jumpToLastPage();
        *pages = cursor->getPage();
    });
    return *pages;
}

#if defined(__SANITIZE_ADDRESS__)
// The UNO runtime keeps type information it builds on first use until the process
// ends (a fixed 7.5 KB here, however many documents); that is not ours to free.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libuno_cppu.so\nleak:libuno_sal.so\n";
}
#endif

#include "LibreOfficeProcessor.h"

#include "CallThread.h"
#include "Failure.h"
#include "FileUtils.h"
#include "Leftovers.h"
#include "OfficeProcess.h"
#include "PageRenderer.h"
#include "TempFolder.h"
#include "WordText.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/container/NoSuchElementException.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/text/XBookmarksSupplier.hpp>
#include <com/sun/star/text/XPageCursor.hpp>
#include <com/sun/star/text/XTextContent.hpp>
#include <com/sun/star/text/XTextRange.hpp>
#include <com/sun/star/text/XTextViewCursorSupplier.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XModifiable.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <osl/file.hxx>
#include <rtl/bootstrap.hxx>

#include <initializer_list>
#include <mutex>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utility>

namespace {
using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using rtl::OUString;

constexpr auto kDefaultProgramFolder = "/usr/lib/libreoffice/program";
constexpr auto kDefaultCallTimeout = std::chrono::seconds(60);
constexpr auto kDefaultConnectTimeout = std::chrono::seconds(30);
// After terminate() the office normally is gone within a few hundredths of a second.
constexpr auto kTerminateWait = std::chrono::seconds(5);
// 192 dots per inch, shown at 96: sharp when the preview zooms in.
constexpr double kPictureResolution = 192.0;
constexpr qreal kPicturePixelRatio = 2.0;
constexpr double kHundredthMillimetresPerInch = 2540.0;

OUString toOUString(const QString &text)
{
    return OUString(reinterpret_cast<const sal_Unicode *>(text.utf16()), sal_Int32(text.size()));
}

QString toQString(const OUString &text)
{
    return QString(reinterpret_cast<const QChar *>(text.getStr()), qsizetype(text.getLength()));
}

OUString fileUrl(const QString &path)
{
    OUString url;
    const OUString systemPath = toOUString(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    if (osl::FileBase::getFileURLFromSystemPath(systemPath, url) != osl::FileBase::E_None)
        fail(QStringLiteral("The path \"%1\" cannot be given to the word processor.").arg(path));
    return url;
}

css::beans::PropertyValue property(const char *name, const Any &value)
{
    css::beans::PropertyValue property;
    property.Name = OUString::createFromAscii(name);
    property.Value = value;
    return property;
}

Sequence<css::beans::PropertyValue> properties(
    std::initializer_list<css::beans::PropertyValue> list)
{
    return Sequence<css::beans::PropertyValue>(list.begin(), sal_Int32(list.size()));
}

// The office's own words about a failed call; `gone` when the office itself is lost.
struct OfficeError
{
    QString message;
    bool gone = false;
};

template<typename Action> void translated(Action &&action)
{
    try {
        action();
    } catch (const css::lang::DisposedException &error) {
        throw OfficeError { toQString(error.Message), true };
    } catch (const css::uno::Exception &error) {
        throw OfficeError { toQString(error.Message), false };
    }
}

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

    Reference<css::lang::XComponent> requireDocument() const
    {
        if (!document.is())
            throw OfficeError { QStringLiteral("no document is open") };
        return document;
    }

    void release()
    {
        document.clear();
        bookmarks.clear();
        desktop.clear();
        remote.clear();
        if (const Reference<css::lang::XComponent> component { local, UNO_QUERY }; component.is())
            component->dispose();
        local.clear();
    }
};

// Our own end of UNO reads the installed office's type libraries.
Reference<css::uno::XComponentContext> localContext()
{
    static std::mutex bootstrapping;
    std::lock_guard lock(bootstrapping);
    rtl::Bootstrap::set(OUString("URE_BOOTSTRAP"),
        OUString("vnd.sun.star.pathname:" SCRIVANE_UNO_PROGRAM_DIR "/fundamentalrc"));
    return cppu::defaultBootstrap_InitialComponentContext();
}

struct PageFrame
{
    // In hundredths of a millimetre, as the page style has them.
    sal_Int32 width = 0;
    sal_Int32 height = 0;
    sal_Int32 left = 0;
    sal_Int32 right = 0;
    sal_Int32 top = 0;
    sal_Int32 bottom = 0;
};

sal_Int32 intProperty(const Reference<css::beans::XPropertySet> &set, const char *name)
{
    sal_Int32 value = 0;
    set->getPropertyValue(OUString::createFromAscii(name)) >>= value;
    return value;
}

// Each page's size and margins from its page style, laid out as the office shows it.
QList<PageFrame> pageFrames(const Reference<css::lang::XComponent> &document)
{
    const Reference<css::frame::XModel> model(document, UNO_QUERY_THROW);
    const Reference<css::text::XTextViewCursorSupplier> supplier(
        model->getCurrentController(), UNO_QUERY_THROW);
    const Reference<css::text::XTextViewCursor> viewCursor = supplier->getViewCursor();
    const Reference<css::text::XPageCursor> pageCursor(viewCursor, UNO_QUERY_THROW);
    const Reference<css::beans::XPropertySet> cursorProperties(viewCursor, UNO_QUERY_THROW);
    const Reference<css::style::XStyleFamiliesSupplier> families(document, UNO_QUERY_THROW);
    const Reference<css::container::XNameAccess> pageStyles(
        families->getStyleFamilies()->getByName(OUString("PageStyles")), UNO_QUERY_THROW);

    pageCursor->jumpToLastPage();
    const int pageCount = pageCursor->getPage();
    QList<PageFrame> frames;
    for (int page = 1; page <= pageCount; ++page) {
        pageCursor->jumpToPage(sal_Int16(page));
        OUString styleName;
        cursorProperties->getPropertyValue(OUString("PageStyleName")) >>= styleName;
        const Reference<css::beans::XPropertySet> style(
            pageStyles->getByName(styleName), UNO_QUERY_THROW);
        frames.append({ intProperty(style, "Width"), intProperty(style, "Height"),
            intProperty(style, "LeftMargin"), intProperty(style, "RightMargin"),
            intProperty(style, "TopMargin"), intProperty(style, "BottomMargin") });
    }
    pageCursor->jumpToFirstPage();
    return frames;
}

// The page's text area, headers and footers included: in Writer they lie inside
// the page margins.
QImage textArea(const QImage &page, const PageFrame &frame)
{
    if (frame.width <= 0 || frame.height <= 0)
        return page;
    const double xScale = double(page.width()) / frame.width;
    const double yScale = double(page.height()) / frame.height;
    const QRect area(QPoint(qRound(frame.left * xScale), qRound(frame.top * yScale)),
        QPoint(qRound((frame.width - frame.right) * xScale) - 1,
            qRound((frame.height - frame.bottom) * yScale) - 1));
    const QRect kept = area.intersected(page.rect());
    return kept.isEmpty() ? page : page.copy(kept);
}

QImage stacked(const QList<QImage> &pages)
{
    int width = 0;
    int height = 0;
    for (const QImage &page : pages) {
        width = std::max(width, page.width());
        height += page.height();
    }
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    int top = 0;
    for (const QImage &page : pages) {
        painter.drawImage(0, top, page);
        top += page.height();
    }
    painter.end();
    picture.setDevicePixelRatio(kPicturePixelRatio);
    return picture;
}

// The clipboard belongs to the GUI thread.
void putOnClipboard(const QImage &picture)
{
    auto *application = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (application == nullptr)
        fail(QStringLiteral("Could not copy the document as a picture: there is no clipboard."));
    auto put = [&] { QGuiApplication::clipboard()->setImage(picture); };
    if (QThread::currentThread() == application->thread())
        put();
    else
        QMetaObject::invokeMethod(application, put, Qt::BlockingQueuedConnection);
}

// The lock file that the office keeps beside a document open for editing, if it is
// the one of the office in this profile: "user,host,date,profile-url;".
void removeLockFileOf(const QString &document, const QString &profileFolder)
{
    const QFileInfo info(document);
    QFile lock(
        info.absolutePath() + QStringLiteral("/.~lock.") + info.fileName() + QLatin1Char('#'));
    if (!lock.open(QIODevice::ReadOnly))
        return;
    const QString content = QString::fromUtf8(lock.read(64 * 1024)).trimmed();
    lock.close();
    QString profile = content.section(QLatin1Char(','), -1);
    if (profile.endsWith(QLatin1Char(';')))
        profile.chop(1);
    if (QDir::cleanPath(QUrl(profile).toLocalFile()) == QDir::cleanPath(profileFolder))
        lock.remove();
}

OfficeProcess::Options processOptions(const LibreOfficeProcessor::Settings &settings)
{
    return { settings.programFolder, settings.profileRoot, settings.connectTimeout };
}

class LibreOfficeSession : public OfficeSession
{
public:
    // Connects to the office already started, or starts one.
    LibreOfficeSession(const LibreOfficeProcessor::Settings &settings,
        std::unique_ptr<OfficeProcess> started = nullptr);
    ~LibreOfficeSession() override;

    void open(const QString &path, bool readOnly) override;
    void setBookmarkText(const QString &bookmark, const QString &text) override;
    void saveAs(const QString &path) override;
    void store(const QString &path, const OUString &url);
    void setDisplayAlerts(bool displayAlerts) override;
    void close() override;
    void copyAsPicture() override;
    void closeActiveDocumentWithoutSaving() override;
    void quit() override;

    qint64 processId() const override { return mProcess->processId(); }
    QString profileFolder() const override { return mProcess->profileFolder(); }

private:
    bool tryConnect(const QString &pipeName, std::chrono::milliseconds timeLeft);
    // Runs one operation in the office within the call timeout; `what` names it in
    // the failure text ("open \"/tmp/template.dot\"").
    void call(const QString &what, std::function<void(UnoObjects &)> operation);
    // Ends the office at once, and clears what it leaves behind beside documents.
    void killOffice();
    void end();

    LibreOfficeProcessor::Settings mSettings;
    std::shared_ptr<UnoObjects> mUno = std::make_shared<UnoObjects>();
    CallThread mCalls;
    std::unique_ptr<OfficeProcess> mProcess;
    // Documents the office may hold a lock file for: opened or saved in this session.
    QStringList mDocuments;
    // Why the session can do nothing more; empty while it works.
    QString mBroken;
    bool mQuit = false;
};

LibreOfficeSession::LibreOfficeSession(
    const LibreOfficeProcessor::Settings &settings, std::unique_ptr<OfficeProcess> started)
    : mSettings(settings)
{
    try {
        if (!started)
            started = std::make_unique<OfficeProcess>(processOptions(mSettings));
        started->connect([this](const QString &pipeName, std::chrono::milliseconds timeLeft) {
            return tryConnect(pipeName, timeLeft);
        });
        mProcess = std::move(started);
    } catch (...) {
        mCalls.post([uno = std::move(mUno)] { uno->release(); });
        throw;
    }
}

LibreOfficeSession::~LibreOfficeSession()
{
    if (!mQuit)
        end();
}

bool LibreOfficeSession::tryConnect(const QString &pipeName, std::chrono::milliseconds timeLeft)
{
    const OUString url = toOUString(
        QStringLiteral("uno:pipe,name=%1;urp;StarOffice.ComponentContext").arg(pipeName));
    std::shared_ptr<UnoObjects> uno = mUno;
    const auto deadline = CallThread::Clock::now() + timeLeft;
    const bool answered = mCalls.run(
        [uno, url] {
            try {
                if (!uno->local.is())
                    uno->local = localContext();
                const Reference<css::bridge::XUnoUrlResolver> resolver
                    = css::bridge::UnoUrlResolver::create(uno->local);
                const Reference<css::uno::XComponentContext> remote(
                    resolver->resolve(url), UNO_QUERY_THROW);
                uno->desktop = css::frame::Desktop::create(remote);
                uno->remote = remote;
            } catch (const css::uno::Exception &) {
                // Not listening yet, or not ready for a bridge: the next try tells.
            }
        },
        deadline);
    return answered && uno->desktop.is();
}

void LibreOfficeSession::call(const QString &what, std::function<void(UnoObjects &)> operation)
{
    auto failed
        = [&](const QString &why) { fail(QStringLiteral("Could not %1: %2.").arg(what, why)); };
    if (mQuit)
        failed(QStringLiteral("the word processor has already been quit"));
    if (!mBroken.isEmpty())
        failed(mBroken);

    std::shared_ptr<UnoObjects> uno = mUno;
    bool answered = false;
    try {
        answered = mCalls.run(
            [uno, operation = std::move(operation)] { translated([&] { operation(*uno); }); },
            CallThread::Clock::now() + mSettings.callTimeout);
    } catch (const OfficeError &error) {
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
        mBroken = QStringLiteral("the word processor did not answer within %1 and was ended")
                      .arg(secondsText(mSettings.callTimeout));
        failed(mBroken);
    }
}

void LibreOfficeSession::killOffice()
{
    mProcess->kill();
    for (const QString &document : std::as_const(mDocuments))
        removeLockFileOf(document, mProcess->profileFolder());
}

void LibreOfficeSession::open(const QString &path, bool readOnly)
{
    const QString what = QStringLiteral("open \"%1\"").arg(path);
    if (!QFileInfo(path).isFile())
        fail(QStringLiteral("Could not %1: there is no such file.").arg(what));
    const OUString url = fileUrl(path);
    if (!readOnly)
        mDocuments.append(path);
    call(what, [url, readOnly](UnoObjects &uno) {
        // The file itself, also when it is a template; its macros never run.
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
        uno.document = document;
        uno.bookmarks.clear();
    });
}

void LibreOfficeSession::setBookmarkText(const QString &bookmark, const QString &text)
{
    // Writer takes "\r" as a paragraph break and "\n" as a line break within one, so
    // "\r\n" would leave an empty line: every kind of line break becomes one "\r".
    // A control character that a Word document cannot hold would empty the whole
    // bookmark in the saved file: it alone goes.
    QString lines = wordText(text);
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\r"));
    lines.replace(QLatin1Char('\n'), QLatin1Char('\r'));
    const OUString name = toOUString(bookmark);
    const OUString value = toOUString(lines);
    call(QStringLiteral("fill the bookmark \"%1\"").arg(bookmark), [name, value](UnoObjects &uno) {
        const OfficeError noSuchBookmark { QStringLiteral(
            "the document has no bookmark of that name") };
        if (!uno.bookmarks.is()) {
            const Reference<css::text::XBookmarksSupplier> supplier(
                uno.requireDocument(), UNO_QUERY);
            if (!supplier.is())
                throw noSuchBookmark;
            uno.bookmarks = supplier->getBookmarks();
        }
        // Each call crosses to the office and back; a batch makes thousands of them.
        Reference<css::text::XTextContent> content;
        try {
            content.set(uno.bookmarks->getByName(name), UNO_QUERY_THROW);
        } catch (const css::container::NoSuchElementException &) {
            throw noSuchBookmark;
        }
        content->getAnchor()->setString(value);
    });
}

// The office says "access denied" (0x507) also for a full disk: the folder tells which.
QString storeFailure(const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    const QByteArray name = QFile::encodeName(folder);
    struct statvfs space
    {
    };
    constexpr unsigned long long kNearlyFull = 1024 * 1024;
    if (::statvfs(name.constData(), &space) == 0
        && static_cast<unsigned long long>(space.f_bavail) * space.f_frsize < kNearlyFull)
        return QStringLiteral("No space left on device while writing %1").arg(path);
    if (::access(name.constData(), W_OK) != 0)
        return QStringLiteral("%1 while writing %2").arg(systemError(), path);
    return {};
}

void LibreOfficeSession::saveAs(const QString &path)
{
    const OUString url = fileUrl(path);
    const QFileInfo target(path);
    const QString lock
        = target.absolutePath() + QStringLiteral("/.~lock.") + target.fileName() + QLatin1Char('#');
    const bool lockedBefore = QFileInfo(lock).exists();
    try {
        store(path, url);
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
}

void LibreOfficeSession::store(const QString &path, const OUString &url)
{
    call(QStringLiteral("save the document as \"%1\"").arg(path), [url](UnoObjects &uno) {
        // A copy: the document stays where it was loaded from, so the office keeps no
        // lock file beside the saved one.
        const Reference<css::frame::XStorable> storable(uno.requireDocument(), UNO_QUERY_THROW);
        storable->storeToURL(url,
            properties({
                property("FilterName", Any(OUString("MS Word 97"))),
                property("Overwrite", Any(true)),
            }));
    });
}

void LibreOfficeSession::setDisplayAlerts(bool /*displayAlerts*/)
{
    // The office runs headless and never asks anything: there is nothing to turn off.
}

void LibreOfficeSession::close()
{
    call(QStringLiteral("close the document"), [](UnoObjects &uno) {
        const Reference<css::util::XCloseable> closeable(uno.requireDocument(), UNO_QUERY_THROW);
        uno.document.clear();
        uno.bookmarks.clear();
        closeable->close(true);
    });
}

void LibreOfficeSession::closeActiveDocumentWithoutSaving()
{
    call(QStringLiteral("close the document without saving"), [](UnoObjects &uno) {
        const Reference<css::lang::XComponent> document = uno.requireDocument();
        uno.bookmarks.clear();
        if (const Reference<css::util::XModifiable> modifiable { document, UNO_QUERY };
            modifiable.is())
            modifiable->setModified(false);
        const Reference<css::util::XCloseable> closeable(document, UNO_QUERY_THROW);
        uno.document.clear();
        closeable->close(true);
    });
}

void LibreOfficeSession::copyAsPicture()
{
    const QString what = QStringLiteral("copy the document as a picture");
    QTemporaryDir folder(workFolderPattern(QStringLiteral("pages")));
    if (!folder.isValid())
        fail(QStringLiteral("Could not %1: no temporary folder could be made (%2).")
                 .arg(what, folder.errorString()));
    const QString pdfPath = folder.filePath(QStringLiteral("pages.pdf"));
    const OUString pdfUrl = fileUrl(pdfPath);
    auto frames = std::make_shared<QList<PageFrame>>();
    call(what, [pdfUrl, frames](UnoObjects &uno) {
        const Reference<css::lang::XComponent> document = uno.requireDocument();
        const Reference<css::frame::XStorable> storable(document, UNO_QUERY_THROW);
        storable->storeToURL(
            pdfUrl, properties({ property("FilterName", Any(OUString("writer_pdf_Export"))) }));
        *frames = pageFrames(document);
    });

    QList<QImage> pages = RenderPdfPages(pdfPath, kPictureResolution);
    if (pages.isEmpty())
        fail(QStringLiteral("Could not %1: the document has no pages.").arg(what));
    for (qsizetype index = 0; index < pages.size(); ++index) {
        if (!frames->isEmpty())
            pages[index] = textArea(pages[index], frames->at(std::min(index, frames->size() - 1)));
    }
    putOnClipboard(stacked(pages));
}

void LibreOfficeSession::quit()
{
    if (mQuit)
        return;
    end();
    if (!mBroken.isEmpty())
        fail(QStringLiteral("Could not quit the word processor: %1.").arg(mBroken));
}

void LibreOfficeSession::end()
{
    mQuit = true;
    if (mBroken.isEmpty()) {
        std::shared_ptr<UnoObjects> uno = mUno;
        try {
            mCalls.run(
                [uno] {
                    // The office may go before it answers.
                    try {
                        uno->document.clear();
                        uno->desktop->terminate();
                    } catch (const css::uno::Exception &) { }
                },
                CallThread::Clock::now()
                    + std::min<std::chrono::milliseconds>(mSettings.callTimeout, kTerminateWait));
        } catch (...) { }
    }
    if (!mProcess->waitForEnd(kTerminateWait))
        killOffice();
    mCalls.post([uno = std::move(mUno)] { uno->release(); });
}
} // namespace

LibreOfficeProcessor::Settings LibreOfficeProcessor::defaultSettings()
{
    QString programFolder = qEnvironmentVariable("SCRIVANE_OFFICE_PROGRAM");
    if (programFolder.isEmpty())
        programFolder = QString::fromLatin1(kDefaultProgramFolder);
    // No cache folder known: an empty root, which the start refuses with a reason.
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    const QString profileRoot
        = cache.isEmpty() ? QString() : cache + QStringLiteral("/Tarnwick/Scrivane/office");
    return { programFolder, profileRoot, kDefaultCallTimeout, kDefaultConnectTimeout };
}

LibreOfficeProcessor::LibreOfficeProcessor()
    : mSettings(defaultSettings())
{ }

LibreOfficeProcessor::LibreOfficeProcessor(Settings settings)
    : mSettings(std::move(settings))
{ }

LibreOfficeProcessor::~LibreOfficeProcessor() = default;

void LibreOfficeProcessor::expectSessions(int count)
{
    mExpectedSessions = count;
}

std::unique_ptr<WordSession> LibreOfficeProcessor::create()
{
    std::unique_ptr<OfficeProcess> started = std::move(mSpare);
    if (mExpectedSessions > 1) {
        // The next session's office starts now, beside this one's, on the other core.
        try {
            mSpare = std::make_unique<OfficeProcess>(processOptions(mSettings));
        } catch (const Failure &) {
            // The next session then starts its own, and says why if it cannot.
        }
    }
    mExpectedSessions = std::max(0, mExpectedSessions - 1);
    return std::make_unique<LibreOfficeSession>(mSettings, std::move(started));
}

#if defined(__SANITIZE_ADDRESS__)
// The UNO runtime keeps type information it builds on first use until the process
// ends (a fixed 7.5 KB here, however many documents); that is not ours to free.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libuno_cppu.so\nleak:libuno_sal.so\n";
}
#endif

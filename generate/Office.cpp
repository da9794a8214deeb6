// The office over UNO: the only file that includes the office's API, and where its
// exceptions become "Could not ...: ..." messages.
#include "Office.h"

#include "Failure.h"
#include "Leftovers.h"
#include "MemoProperties.h"
#include "OfficeProcess.h"
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

#include <com/sun/star/beans/NamedValue.hpp>
#include <com/sun/star/beans/PropertyAttribute.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertyContainer.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/beans/XPropertySetInfo.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/configuration/theDefaultProvider.hpp>
#include <com/sun/star/container/NoSuchElementException.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/container/XNameContainer.hpp>
#include <com/sun/star/container/XNameReplace.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/document/XDocumentProperties.hpp>
#include <com/sun/star/document/XDocumentPropertiesSupplier.hpp>
#include <com/sun/star/document/XEmbeddedObjectSupplier2.hpp>
#include <com/sun/star/document/XEmbeddedScripts.hpp>
#include <com/sun/star/document/XEventsSupplier.hpp>
#include <com/sun/star/document/XUndoManager.hpp>
#include <com/sun/star/document/XUndoManagerSupplier.hpp>
#include <com/sun/star/drawing/FillStyle.hpp>
#include <com/sun/star/drawing/XDrawPagesSupplier.hpp>
#include <com/sun/star/drawing/XShape.hpp>
#include <com/sun/star/drawing/XShapes.hpp>
#include <com/sun/star/embed/XLinkageSupport.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XFrames.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/graphic/GraphicType.hpp>
#include <com/sun/star/graphic/XGraphic.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/script/XLibraryContainer.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/text/SectionFileLink.hpp>
#include <com/sun/star/text/XBookmarksSupplier.hpp>
#include <com/sun/star/text/XPageCursor.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextContent.hpp>
#include <com/sun/star/text/XTextCursor.hpp>
#include <com/sun/star/text/XTextDocument.hpp>
#include <com/sun/star/text/XTextEmbeddedObjectsSupplier.hpp>
#include <com/sun/star/text/XTextField.hpp>
#include <com/sun/star/text/XTextFieldsSupplier.hpp>
#include <com/sun/star/text/XTextFramesSupplier.hpp>
#include <com/sun/star/text/XTextGraphicObjectsSupplier.hpp>
#include <com/sun/star/text/XTextRange.hpp>
#include <com/sun/star/text/XTextSectionsSupplier.hpp>
#include <com/sun/star/text/XTextViewCursorSupplier.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <com/sun/star/util/DateTime.hpp>
#include <com/sun/star/util/XChangesBatch.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XModifiable.hpp>
#include <com/sun/star/util/XRefreshable.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <osl/file.hxx>
#include <rtl/bootstrap.hxx>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <mutex>
#include <utility>

namespace {
using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using rtl::OUString;

// After terminate() the office normally is gone within a few hundredths of a second.
constexpr auto kTerminateWait = std::chrono::seconds(5);
// From this length on, a memo the office cannot finish in time is called too long.
constexpr qsizetype kLongMemoCharacters = 1'000'000;
// How often an office working on a call is looked at for having frozen.
constexpr auto kFrozenCheckInterval = std::chrono::milliseconds(250);
// 192 dots per inch, shown at 96: sharp when the preview zooms in.
constexpr double kPictureResolution = 192.0;
constexpr qreal kPicturePixelRatio = 2.0;

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

// The office's own words about a failed call; `gone` when the office itself is lost,
// `refused` when the message says why a file of the user's is no template.
struct OfficeError
{
    QString message;
    bool gone = false;
    bool refused = false;
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

// Every office of ours: no macro of any document runs, Word's macros are neither read
// nor kept, and no link of a document is updated or followed, so that a template of the
// user's cannot have it run or read anything.
void secureOffice(const Reference<css::uno::XComponentContext> &remote)
{
    const Reference<css::lang::XMultiServiceFactory> provider
        = css::configuration::theDefaultProvider::get(remote);
    const auto set = [&](const char *node,
                         std::initializer_list<std::pair<const char *, Any>> values) {
        const Any path(
            css::beans::NamedValue(OUString("nodepath"), Any(OUString::createFromAscii(node))));
        const Reference<css::container::XNameReplace> access(
            provider->createInstanceWithArguments(
                OUString("com.sun.star.configuration.ConfigurationUpdateAccess"),
                Sequence<Any>(&path, 1)),
            UNO_QUERY_THROW);
        for (const auto &[name, value] : values)
            access->replaceByName(OUString::createFromAscii(name), value);
        Reference<css::util::XChangesBatch>(access, UNO_QUERY_THROW)->commitChanges();
    };
    set("/org.openoffice.Office.Common/Security/Scripting",
        { { "BlockUntrustedRefererLinks", Any(true) }, { "DisableMacrosExecution", Any(true) },
            { "MacroSecurityLevel", Any(sal_Int32(3)) } });
    set("/org.openoffice.Office.Writer/Filter/Import/VBA",
        { { "Load", Any(false) }, { "Executable", Any(false) }, { "Save", Any(false) } });
    // 0: never.
    set("/org.openoffice.Office.Writer/Content/Update", { { "Link", Any(sal_Int32(0)) } });
}

// The import filter for each kind of template: named, so that the office never guesses
// from what the file holds.
const char *importFilter(TemplateKind kind)
{
    switch (kind) {
    case TemplateKind::WordXml:
        return "MS Word 2007 XML";
    case TemplateKind::OpenDocument:
        return "writer8";
    case TemplateKind::Word97:
        break;
    }
    return "MS Word 97";
}

[[noreturn]] void refuse(const QString &why)
{
    throw OfficeError { why, false, true };
}

bool supports(const Reference<css::uno::XInterface> &object, const char *service)
{
    const Reference<css::lang::XServiceInfo> info(object, UNO_QUERY);
    return info.is() && info->supportsService(OUString::createFromAscii(service));
}

// What a template's picture is: taken out when it is linked (or came empty, its link
// refused), refused when it is too large for a memo's page.
enum class Picture { Kept, Linked };
Picture checkedPicture(const Reference<css::beans::XPropertySet> &holder, qint64 mostPixels)
{
    Reference<css::beans::XPropertySet> graphic;
    try {
        graphic.set(holder->getPropertyValue(OUString("Graphic")), UNO_QUERY);
    } catch (const css::uno::Exception &) { }
    if (!graphic.is())
        return Picture::Linked;
    bool linked = false;
    graphic->getPropertyValue(OUString("Linked")) >>= linked;
    sal_Int8 type = css::graphic::GraphicType::EMPTY;
    graphic->getPropertyValue(OUString("GraphicType")) >>= type;
    if (linked || type == css::graphic::GraphicType::EMPTY)
        return Picture::Linked;
    css::awt::Size size;
    graphic->getPropertyValue(OUString("SizePixel")) >>= size;
    if (qint64(size.Width) * size.Height > mostPixels)
        refuse(QStringLiteral("it holds a picture of %L1 × %L2 pixels, more than the %L3 million "
                              "a template's pictures may have")
                   .arg(size.Width)
                   .arg(size.Height)
                   .arg(mostPixels / 1'000'000));
    return Picture::Kept;
}

// Whether a background of `holder` is a picture the document does not hold: linked, or
// left empty by the blocked link.
bool linkedBackground(const Reference<css::beans::XPropertySet> &holder)
{
    const Reference<css::beans::XPropertySetInfo> info = holder->getPropertySetInfo();
    if (!info->hasPropertyByName(OUString("FillStyle"))
        || !info->hasPropertyByName(OUString("FillBitmap")))
        return false;
    css::drawing::FillStyle fill = css::drawing::FillStyle_NONE;
    holder->getPropertyValue(OUString("FillStyle")) >>= fill;
    if (fill != css::drawing::FillStyle_BITMAP)
        return false;
    const Reference<css::beans::XPropertySet> graphic(
        holder->getPropertyValue(OUString("FillBitmap")), UNO_QUERY);
    if (!graphic.is())
        return true;
    bool linked = false;
    graphic->getPropertyValue(OUString("Linked")) >>= linked;
    sal_Int8 type = css::graphic::GraphicType::EMPTY;
    graphic->getPropertyValue(OUString("GraphicType")) >>= type;
    return linked || type == css::graphic::GraphicType::EMPTY;
}

// Takes out the pictures of pages, paragraphs and frames that come from a file outside:
// the office would read that file when it saves or draws the memo. Returns whether any.
bool removeLinkedBackgrounds(const Reference<css::lang::XComponent> &document)
{
    std::vector<Reference<css::beans::XPropertySet>> holders;
    const Reference<css::container::XNameAccess> families
        = Reference<css::style::XStyleFamiliesSupplier>(document, UNO_QUERY_THROW)
              ->getStyleFamilies();
    for (const OUString &family : families->getElementNames()) {
        const Reference<css::container::XNameAccess> styles(
            families->getByName(family), UNO_QUERY_THROW);
        for (const OUString &name : styles->getElementNames())
            holders.emplace_back(styles->getByName(name), UNO_QUERY);
    }
    const Reference<css::container::XNameAccess> frames
        = Reference<css::text::XTextFramesSupplier>(document, UNO_QUERY_THROW)->getTextFrames();
    for (const OUString &name : frames->getElementNames())
        holders.emplace_back(frames->getByName(name), UNO_QUERY);
    bool removed = false;
    for (const Reference<css::beans::XPropertySet> &holder : holders) {
        if (holder.is() && linkedBackground(holder)) {
            holder->setPropertyValue(OUString("FillStyle"), Any(css::drawing::FillStyle_NONE));
            removed = true;
        }
    }
    return removed;
}

// Takes out of the loaded document everything that reaches outside it: linked pictures
// and objects, the links of sections, DDE and database fields, and its macros. Returns
// what was taken out, in words.
QStringList removeLinksAndMacros(
    const Reference<css::lang::XComponent> &document, qint64 mostPixels)
{
    QStringList removed;
    const auto note = [&](const char *what) {
        if (!removed.contains(QLatin1String(what)))
            removed << QString::fromLatin1(what);
    };

    const Reference<css::container::XNameAccess> graphics
        = Reference<css::text::XTextGraphicObjectsSupplier>(document, UNO_QUERY_THROW)
              ->getGraphicObjects();
    for (const OUString &name : graphics->getElementNames()) {
        const Reference<css::beans::XPropertySet> frame(graphics->getByName(name), UNO_QUERY_THROW);
        if (checkedPicture(frame, mostPixels) == Picture::Linked) {
            Reference<css::lang::XComponent>(frame, UNO_QUERY_THROW)->dispose();
            note("a picture linked to a file");
        }
    }
    const Reference<css::drawing::XShapes> shapes(
        Reference<css::drawing::XDrawPagesSupplier>(document, UNO_QUERY_THROW)
            ->getDrawPages()
            ->getByIndex(0),
        UNO_QUERY_THROW);
    for (sal_Int32 index = shapes->getCount() - 1; index >= 0; --index) {
        const Reference<css::drawing::XShape> shape(shapes->getByIndex(index), UNO_QUERY);
        if (shape.is() && supports(shape, "com.sun.star.drawing.GraphicObjectShape")
            && checkedPicture(
                   Reference<css::beans::XPropertySet>(shape, UNO_QUERY_THROW), mostPixels)
                == Picture::Linked) {
            shapes->remove(shape);
            note("a picture linked to a file");
        }
    }

    if (removeLinkedBackgrounds(document))
        note("a background picture linked to a file");

    const Reference<css::container::XNameAccess> objects
        = Reference<css::text::XTextEmbeddedObjectsSupplier>(document, UNO_QUERY_THROW)
              ->getEmbeddedObjects();
    for (const OUString &name : objects->getElementNames()) {
        const Reference<css::document::XEmbeddedObjectSupplier2> object(
            objects->getByName(name), UNO_QUERY);
        const Reference<css::embed::XLinkageSupport> linkage(
            object.is() ? object->getExtendedControlOverEmbeddedObject() : nullptr, UNO_QUERY);
        if (!object.is() || (linkage.is() && linkage->isLink())) {
            Reference<css::lang::XComponent>(objects->getByName(name), UNO_QUERY_THROW)->dispose();
            note("an object linked to a file");
        }
    }

    const Reference<css::container::XNameAccess> sections
        = Reference<css::text::XTextSectionsSupplier>(document, UNO_QUERY_THROW)->getTextSections();
    for (const OUString &name : sections->getElementNames()) {
        const Reference<css::beans::XPropertySet> section(
            sections->getByName(name), UNO_QUERY_THROW);
        css::text::SectionFileLink link;
        section->getPropertyValue(OUString("FileLink")) >>= link;
        OUString dde;
        section->getPropertyValue(OUString("DDECommandFile")) >>= dde;
        if (!link.FileURL.isEmpty() || !dde.isEmpty()) {
            // The section keeps the text it showed.
            section->setPropertyValue(OUString("FileLink"), Any(css::text::SectionFileLink()));
            for (const char *property : { "DDECommandType", "DDECommandFile", "DDECommandElement" })
                section->setPropertyValue(OUString::createFromAscii(property), Any(OUString()));
            note("a section linked to a file");
        }
    }

    const Reference<css::text::XTextFieldsSupplier> fieldsSupplier(document, UNO_QUERY_THROW);
    std::vector<Reference<css::text::XTextField>> outward;
    const Reference<css::container::XEnumeration> fields
        = fieldsSupplier->getTextFields()->createEnumeration();
    while (fields->hasMoreElements()) {
        const Reference<css::text::XTextField> field(fields->nextElement(), UNO_QUERY);
        for (const char *kind : { "DDE", "Database", "DatabaseName", "DatabaseNextSet",
                 "DatabaseNumberOfSet", "DatabaseSetNumber" }) {
            if (field.is()
                && supports(field, (std::string("com.sun.star.text.TextField.") + kind).c_str())) {
                outward.push_back(field);
                break;
            }
        }
    }
    for (const Reference<css::text::XTextField> &field : outward) {
        // The field becomes the text it showed.
        const OUString shown = field->getPresentation(false);
        const Reference<css::text::XTextRange> anchor = field->getAnchor();
        anchor->getText()->insertString(anchor, shown, true);
        note("a field that reads data from outside");
    }
    const Reference<css::container::XNameAccess> masters = fieldsSupplier->getTextFieldMasters();
    for (const OUString &name : masters->getElementNames()) {
        if (name.startsWithIgnoreAsciiCase("com.sun.star.text.fieldmaster.DDE."))
            Reference<css::lang::XComponent>(masters->getByName(name), UNO_QUERY_THROW)->dispose();
    }

    const Reference<css::document::XEmbeddedScripts> scripts(document, UNO_QUERY);
    for (const Reference<css::script::XLibraryContainer> &libraries :
        { scripts.is()
                ? Reference<css::script::XLibraryContainer>(scripts->getBasicLibraries(), UNO_QUERY)
                : nullptr,
            scripts.is() ? Reference<css::script::XLibraryContainer>(
                scripts->getDialogLibraries(), UNO_QUERY)
                         : nullptr }) {
        const Reference<css::container::XNameAccess> names(libraries, UNO_QUERY);
        if (!names.is())
            continue;
        for (const OUString &name : names->getElementNames()) {
            libraries->loadLibrary(name);
            const Reference<css::container::XNameContainer> library(
                names->getByName(name), UNO_QUERY);
            if (library.is() && library->hasElements()) {
                // The standard library cannot go, only what it holds.
                for (const OUString &module : library->getElementNames())
                    library->removeByName(module);
                note("macros");
            }
            if (name != "Standard")
                libraries->removeLibrary(name);
        }
    }
    const Reference<css::document::XEventsSupplier> eventsSupplier(document, UNO_QUERY);
    if (eventsSupplier.is()) {
        const Reference<css::container::XNameReplace> events = eventsSupplier->getEvents();
        for (const OUString &name : events->getElementNames()) {
            Sequence<css::beans::PropertyValue> binding;
            if ((events->getByName(name) >>= binding) && binding.hasElements()) {
                events->replaceByName(name, Any(Sequence<css::beans::PropertyValue>()));
                note("macros");
            }
        }
    }
    return removed;
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
    const OUString filter = OUString::createFromAscii(importFilter(kind));
    mBookmarkTexts.clear();
    auto findings = std::make_shared<TemplateFindings>();
    call(QStringLiteral("check the template \"%1\"").arg(source),
        [sourceUrl, destinationUrl, filter, limits, findings](UnoObjects &uno) {
            Reference<css::lang::XComponent> document;
            try {
                document = uno.desktop->loadComponentFromURL(sourceUrl, OUString("_blank"), 0,
                    properties({
                        property("Hidden", Any(true)),
                        property("ReadOnly", Any(true)),
                        property("AsTemplate", Any(false)),
                        property("FilterName", Any(filter)),
                        property(
                            "MacroExecutionMode", Any(css::document::MacroExecMode::NEVER_EXECUTE)),
                        property("UpdateDocMode", Any(css::document::UpdateDocMode::NO_UPDATE)),
                    }));
            } catch (const css::lang::DisposedException &) {
                throw;
            } catch (const css::uno::Exception &) { }
            if (!document.is())
                refuse(QStringLiteral("the word processor cannot read it: it is damaged, or "
                                      "protected by a password"));
            const auto closed = qScopeGuard([&] {
                try {
                    Reference<css::util::XCloseable>(document, UNO_QUERY_THROW)->close(true);
                } catch (const css::uno::Exception &) { }
            });
            if (!Reference<css::text::XTextDocument>(document, UNO_QUERY).is())
                refuse(QStringLiteral("it is no text document"));
            const Reference<css::frame::XModel> model(document, UNO_QUERY_THROW);
            const Reference<css::beans::XPropertySet> view(
                model->getCurrentController(), UNO_QUERY);
            sal_Int32 pages = 0;
            if (view.is())
                view->getPropertyValue(OUString("PageCount")) >>= pages;
            if (pages > limits.pages)
                refuse(QStringLiteral("it has %L1 pages; a template may have at most %2")
                           .arg(pages)
                           .arg(limits.pages));
            for (const OUString &name :
                Reference<css::text::XBookmarksSupplier>(document, UNO_QUERY_THROW)
                    ->getBookmarks()
                    ->getElementNames())
                findings->bookmarks << toQString(name);
            findings->removed = removeLinksAndMacros(document, limits.picturePixels);
            Reference<css::frame::XStorable>(document, UNO_QUERY_THROW)
                ->storeToURL(destinationUrl,
                    properties({
                        property("FilterName", Any(OUString("MS Word 97 Vorlage"))),
                        property("Overwrite", Any(true)),
                    }));
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

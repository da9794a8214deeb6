// Templates of the user's own made safe in the office: loaded with macros off and links
// blocked, judged, and saved with everything that reaches outside them taken out.
#include "OfficeUno.h"

#include <QScopeGuard>
#include <QStringList>

#include <com/sun/star/awt/Size.hpp>
#include <com/sun/star/beans/NamedValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/beans/XPropertySetInfo.hpp>
#include <com/sun/star/configuration/theDefaultProvider.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/container/XNameContainer.hpp>
#include <com/sun/star/container/XNameReplace.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/document/XEmbeddedObjectSupplier2.hpp>
#include <com/sun/star/document/XEmbeddedScripts.hpp>
#include <com/sun/star/document/XEventsSupplier.hpp>
#include <com/sun/star/drawing/FillStyle.hpp>
#include <com/sun/star/drawing/XDrawPagesSupplier.hpp>
#include <com/sun/star/drawing/XShape.hpp>
#include <com/sun/star/drawing/XShapes.hpp>
#include <com/sun/star/embed/XLinkageSupport.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/graphic/GraphicType.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/script/XLibraryContainer.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/text/SectionFileLink.hpp>
#include <com/sun/star/text/XBookmarksSupplier.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextDocument.hpp>
#include <com/sun/star/text/XTextEmbeddedObjectsSupplier.hpp>
#include <com/sun/star/text/XTextField.hpp>
#include <com/sun/star/text/XTextFieldsSupplier.hpp>
#include <com/sun/star/text/XTextFramesSupplier.hpp>
#include <com/sun/star/text/XTextGraphicObjectsSupplier.hpp>
#include <com/sun/star/text/XTextRange.hpp>
#include <com/sun/star/text/XTextSectionsSupplier.hpp>
#include <com/sun/star/util/XChangesBatch.hpp>
#include <com/sun/star/util/XCloseable.hpp>

#include <string>
#include <vector>

using namespace OfficeUno;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace {
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

// What was taken out of a template, in words, each said once.
struct Removed
{
    QStringList words;
    void note(const char *what)
    {
        if (!words.contains(QLatin1String(what)))
            words << QString::fromLatin1(what);
    }
};

// Pictures and drawn pictures whose picture is a file outside; a picture past the
// limit refuses the template.
void removeLinkedPictures(
    const Reference<css::lang::XComponent> &document, qint64 mostPixels, Removed &removed)
{
    const Reference<css::container::XNameAccess> graphics
        = Reference<css::text::XTextGraphicObjectsSupplier>(document, UNO_QUERY_THROW)
              ->getGraphicObjects();
    for (const OUString &name : graphics->getElementNames()) {
        const Reference<css::beans::XPropertySet> frame(graphics->getByName(name), UNO_QUERY_THROW);
        if (checkedPicture(frame, mostPixels) == Picture::Linked) {
            Reference<css::lang::XComponent>(frame, UNO_QUERY_THROW)->dispose();
            removed.note("a picture linked to a file");
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
            removed.note("a picture linked to a file");
        }
    }
}

// Objects linked to a file, and those the office could not even load.
void removeLinkedObjects(const Reference<css::lang::XComponent> &document, Removed &removed)
{
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
            removed.note("an object linked to a file");
        }
    }
}

// Sections that show a file or a DDE link keep the text they showed.
void unlinkSections(const Reference<css::lang::XComponent> &document, Removed &removed)
{
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
            removed.note("a section linked to a file");
        }
    }
}

// DDE and database fields become the text they showed.
void removeOutwardFields(const Reference<css::lang::XComponent> &document, Removed &removed)
{
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
        removed.note("a field that reads data from outside");
    }
    const Reference<css::container::XNameAccess> masters = fieldsSupplier->getTextFieldMasters();
    for (const OUString &name : masters->getElementNames()) {
        if (name.startsWithIgnoreAsciiCase("com.sun.star.text.fieldmaster.DDE."))
            Reference<css::lang::XComponent>(masters->getByName(name), UNO_QUERY_THROW)->dispose();
    }
}

// Basic and dialog libraries, and every event bound to a macro.
void removeMacros(const Reference<css::lang::XComponent> &document, Removed &removed)
{
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
                removed.note("macros");
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
                removed.note("macros");
            }
        }
    }
}

// Takes out of the loaded document everything that reaches outside it: linked pictures
// and objects, the links of sections, DDE and database fields, and its macros. Returns
// what was taken out, in words.
QStringList removeLinksAndMacros(
    const Reference<css::lang::XComponent> &document, qint64 mostPixels)
{
    Removed removed;
    removeLinkedPictures(document, mostPixels, removed);
    if (removeLinkedBackgrounds(document))
        removed.note("a background picture linked to a file");
    removeLinkedObjects(document, removed);
    unlinkSections(document, removed);
    removeOutwardFields(document, removed);
    removeMacros(document, removed);
    return removed.words;
}

// The template loaded hidden and read-only, with macros off and no update of links;
// refused when the office cannot read it.
Reference<css::lang::XComponent> loadedTemplate(
    const Reference<css::frame::XDesktop2> &desktop, const OUString &url, TemplateKind kind)
{
    Reference<css::lang::XComponent> document;
    try {
        document = desktop->loadComponentFromURL(url, OUString("_blank"), 0,
            properties({
                property("Hidden", Any(true)),
                property("ReadOnly", Any(true)),
                property("AsTemplate", Any(false)),
                property("FilterName", Any(OUString::createFromAscii(importFilter(kind)))),
                property("MacroExecutionMode", Any(css::document::MacroExecMode::NEVER_EXECUTE)),
                property("UpdateDocMode", Any(css::document::UpdateDocMode::NO_UPDATE)),
            }));
    } catch (const css::lang::DisposedException &) {
        throw;
    } catch (const css::uno::Exception &) { }
    if (!document.is())
        refuse(QStringLiteral("the word processor cannot read it: it is damaged, or "
                              "protected by a password"));
    return document;
}
} // namespace

void OfficeUno::secureOffice(const Reference<css::uno::XComponentContext> &remote)
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

TemplateFindings OfficeUno::madeSafe(const Reference<css::frame::XDesktop2> &desktop,
    const OUString &sourceUrl, const OUString &destinationUrl, TemplateKind kind,
    const TemplateLimits &limits)
{
    const Reference<css::lang::XComponent> document = loadedTemplate(desktop, sourceUrl, kind);
    const auto closed = qScopeGuard([&] {
        try {
            Reference<css::util::XCloseable>(document, UNO_QUERY_THROW)->close(true);
        } catch (const css::uno::Exception &) { }
    });
    if (!Reference<css::text::XTextDocument>(document, UNO_QUERY).is())
        refuse(QStringLiteral("it is no text document"));
    const Reference<css::frame::XModel> model(document, UNO_QUERY_THROW);
    const Reference<css::beans::XPropertySet> view(model->getCurrentController(), UNO_QUERY);
    sal_Int32 pages = 0;
    if (view.is())
        view->getPropertyValue(OUString("PageCount")) >>= pages;
    if (pages > limits.pages)
        refuse(QStringLiteral("it has %L1 pages; a template may have at most %2")
                   .arg(pages)
                   .arg(limits.pages));
    TemplateFindings findings;
    for (const OUString &name : Reference<css::text::XBookmarksSupplier>(document, UNO_QUERY_THROW)
                                    ->getBookmarks()
                                    ->getElementNames())
        findings.bookmarks << toQString(name);
    findings.removed = removeLinksAndMacros(document, limits.picturePixels);
    Reference<css::frame::XStorable>(document, UNO_QUERY_THROW)
        ->storeToURL(destinationUrl,
            properties({
                property("FilterName", Any(OUString("MS Word 97 Vorlage"))),
                property("Overwrite", Any(true)),
            }));
    return findings;
}

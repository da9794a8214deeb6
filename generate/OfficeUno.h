#pragma once

// What the files speaking to the office over UNO share: the office's API, its
// strings, and a session's UNO objects. Included by Office.cpp (documents),
// OfficeConnection.cpp (the connection and calls) and OfficeTemplates.cpp (making a
// template of the user's own safe) only.

#include "Failure.h"
#include "WordSession.h"

#include <QDir>
#include <QFileInfo>
#include <QString>

#include <com/sun/star/beans/PropertyAttribute.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
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
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XFrames.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/text/XBookmarksSupplier.hpp>
#include <com/sun/star/text/XPageCursor.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextContent.hpp>
#include <com/sun/star/text/XTextCursor.hpp>
#include <com/sun/star/text/XTextRange.hpp>
#include <com/sun/star/text/XTextViewCursorSupplier.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <com/sun/star/util/DateTime.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XModifiable.hpp>
#include <com/sun/star/util/XRefreshable.hpp>
#include <osl/file.hxx>

#include <initializer_list>
#include <map>

namespace OfficeUno {
using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using rtl::OUString;

inline OUString toOUString(const QString &text)
{
    return OUString(reinterpret_cast<const sal_Unicode *>(text.utf16()), sal_Int32(text.size()));
}

inline QString toQString(const OUString &text)
{
    return QString(reinterpret_cast<const QChar *>(text.getStr()), qsizetype(text.getLength()));
}

inline OUString fileUrl(const QString &path)
{
    OUString url;
    const OUString systemPath = toOUString(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    if (osl::FileBase::getFileURLFromSystemPath(systemPath, url) != osl::FileBase::E_None)
        fail(QStringLiteral("The path \"%1\" cannot be given to the word processor.").arg(path));
    return url;
}

inline css::beans::PropertyValue property(const char *name, const Any &value)
{
    css::beans::PropertyValue property;
    property.Name = OUString::createFromAscii(name);
    property.Value = value;
    return property;
}

inline Sequence<css::beans::PropertyValue> properties(
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

// Every office of ours: no macro of any document runs, Word's macros are neither read
// nor kept, and no link of a document is updated or followed, so that a template of the
// user's cannot have it run or read anything.
void secureOffice(const Reference<css::uno::XComponentContext> &remote);

// The template at sourceUrl, loaded with macros off and links blocked, checked against
// the limits and saved at destinationUrl as a Word 97-2003 template with every link and
// macro taken out. Throws OfficeError (refused, saying why it is no template) or the
// office's exceptions.
TemplateFindings madeSafe(const Reference<css::frame::XDesktop2> &desktop,
    const OUString &sourceUrl, const OUString &destinationUrl, TemplateKind kind,
    const TemplateLimits &limits);

} // namespace OfficeUno

using namespace OfficeUno;

// A template kept open between memos, with a cursor over what the last memo wrote
// into each bookmark.
struct KeptDocument
{
    Reference<css::lang::XComponent> document;
    std::map<OUString, Reference<css::text::XTextCursor>> values;
    // Not refilled: it held a memo of several pages, as layOut() says, or could not
    // take its date fields back after a Word save.
    bool closeAfterMemo = false;
    // Some paragraph of the message it holds keeps with the next: the next memo's
    // paragraphs, which take their look from it, get their style's back.
    bool keepsLines = false;
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

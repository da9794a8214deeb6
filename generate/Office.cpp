// The office's documents over UNO: opening, filling, saving, drawing. With
// OfficeConnection.cpp and OfficeTemplates.cpp the only files that include the office's
// API (through OfficeUno.h), and where its exceptions become "Could not ...: ..."
// messages.
#include "Office.h"

#include "OfficeUno.h"

#include "Failure.h"
#include "Leftovers.h"
#include "MemoDetails.h"
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

#include <com/sun/star/beans/XPropertyState.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/text/XParagraphCursor.hpp>
#include <com/sun/star/text/XTextField.hpp>
#include <com/sun/star/text/XTextFieldsSupplier.hpp>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace {
// 192 dots per inch, shown at 96: sharp when the preview zooms in.
constexpr double kPictureResolution = 192.0;
constexpr qreal kPicturePixelRatio = 2.0;

// Sets "keep with next" on the paragraphs written, one flag each, and gives the others
// back their style's. From the end: Writer's selection of what it wrote may start too
// early (see setBookmarkText), never end so.
void keepWithNext(const Reference<css::text::XTextCursor> &written, const std::vector<bool> &kept)
{
    const Reference<css::text::XParagraphCursor> paragraph(
        written->getText()->createTextCursorByRange(written->getEnd()), UNO_QUERY_THROW);
    const Reference<css::beans::XPropertySet> properties(paragraph, UNO_QUERY_THROW);
    const Reference<css::beans::XPropertyState> state(paragraph, UNO_QUERY_THROW);
    const OUString keep("ParaKeepTogether");
    for (size_t index = kept.size(); index-- > 0;) {
        if (index + 1 < kept.size() && !paragraph->gotoPreviousParagraph(false))
            break;
        if (kept[index])
            properties->setPropertyValue(keep, Any(true));
        else
            state->setPropertyToDefault(keep);
    }
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

// What a save hands the filter. A memo's PDF has no outline: its one heading is the date,
// kept a heading for the footers' running date, which is no chapter to jump to.
Sequence<css::beans::PropertyValue> storeArguments(const OUString &filter)
{
    if (filter != "writer_pdf_Export")
        return properties(
            { property("FilterName", Any(filter)), property("Overwrite", Any(true)) });
    return properties({ property("FilterName", Any(filter)), property("Overwrite", Any(true)),
        property("FilterData", Any(properties({ property("ExportBookmarks", Any(false)) }))) });
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
        uno.kept->closeAfterMemo = true;
}

// Readers of Word files other than the office (AbiWord among them) show nothing for a
// chapter field, so headers and footers lost the memo's running date there. A Word save
// holds the date as text in every level-1 chapter field that shows it; the fields come
// back after the save, for the next memo of a kept template. A field showing anything
// else (a template of the user's with headings of its own) is left a field.
class DatesAsText
{
public:
    DatesAsText(UnoObjects &uno, const OUString &date)
    {
        if (date.isEmpty())
            return;
        mDocument = uno.requireDocument();
        mKept = uno.kept;
        const Reference<css::text::XTextFieldsSupplier> supplier(mDocument, UNO_QUERY_THROW);
        const Reference<css::container::XEnumeration> fields
            = supplier->getTextFields()->createEnumeration();
        std::vector<Reference<css::text::XTextField>> chapters;
        while (fields->hasMoreElements()) {
            const Reference<css::text::XTextField> field(fields->nextElement(), UNO_QUERY);
            const Reference<css::lang::XServiceInfo> kind(field, UNO_QUERY);
            if (!kind.is()
                || !kind->supportsService(OUString("com.sun.star.text.TextField.Chapter")))
                continue;
            const Reference<css::beans::XPropertySet> values(field, UNO_QUERY_THROW);
            sal_Int8 level = -1;
            values->getPropertyValue(OUString("Level")) >>= level;
            if (level == 0 && field->getPresentation(false) == date)
                chapters.push_back(field);
        }
        // Written after the walk: the enumeration does not outlive a change. A field left
        // half-way is put back before the failure goes on.
        try {
            writeDates(chapters, date);
        } catch (...) {
            restore();
            throw;
        }
    }
    DatesAsText(const DatesAsText &) = delete;
    DatesAsText &operator=(const DatesAsText &) = delete;
    ~DatesAsText() { restore(); }

private:
    void writeDates(
        const std::vector<Reference<css::text::XTextField>> &chapters, const OUString &date)
    {
        for (const Reference<css::text::XTextField> &field : chapters) {
            sal_Int16 format = 0;
            Reference<css::beans::XPropertySet>(field, UNO_QUERY_THROW)
                ->getPropertyValue(OUString("ChapterFormat"))
                >>= format;
            const Reference<css::text::XTextRange> anchor = field->getAnchor();
            const Reference<css::text::XText> text = anchor->getText();
            const Reference<css::text::XTextCursor> written = text->createTextCursorByRange(anchor);
            text->insertString(written.get(), date, true);
            mWritten.push_back({ written, format });
        }
    }

    void restore() noexcept
    {
        try {
            const Reference<css::lang::XMultiServiceFactory> factory(mDocument, UNO_QUERY);
            for (const auto &[written, format] : mWritten) {
                const Reference<css::text::XTextContent> field(
                    factory->createInstance(OUString("com.sun.star.text.TextField.Chapter")),
                    UNO_QUERY_THROW);
                const Reference<css::beans::XPropertySet> values(field, UNO_QUERY_THROW);
                values->setPropertyValue(OUString("Level"), Any(sal_Int8(0)));
                values->setPropertyValue(OUString("ChapterFormat"), Any(format));
                written->getText()->insertTextContent(written.get(), field, true);
            }
        } catch (...) {
            // A kept template that cannot take its fields back is closed after this memo.
            if (mKept != nullptr)
                mKept->closeAfterMemo = true;
        }
        mWritten.clear();
    }

    Reference<css::lang::XComponent> mDocument;
    KeptDocument *mKept = nullptr;
    std::vector<std::pair<Reference<css::text::XTextCursor>, sal_Int16>> mWritten;
};

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

bool Office::hasDocument() const
{
    return mUno->document.is();
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
    const QStringList paragraphs = memoParagraphs(wordText(text));
    const QString lines = paragraphs.join(QLatin1Char('\r'));
    // The message's closing lines keep with the next, so that a page break leaves them
    // together; the others take their style's keeping, also where a kept template's
    // last memo set it.
    std::vector<bool> keptWithNext;
    if (bookmark == QLatin1String(kMemoMessage.bookmark)) {
        const qsizetype closing = closingLinesStart(paragraphs);
        for (qsizetype index = 0; index < paragraphs.size(); ++index)
            keptWithNext.push_back(index >= closing && index + 1 < paragraphs.size());
    }
    const OUString name = toOUString(bookmark);
    const OUString value = toOUString(lines);
    // Unpaired surrogates are gone: each high one begins one character.
    const qsizetype characters = lines.size()
        - std::count_if(lines.cbegin(), lines.cend(), [](QChar c) { return c.isHighSurrogate(); });
    mFillingCharacters = text.size();
    const auto filled = qScopeGuard([this] { mFillingCharacters = 0; });
    call(QStringLiteral("fill the bookmark \"%1\"").arg(bookmark),
        [name, value, characters, keptWithNext](UnoObjects &uno) {
            const bool keeps
                = std::find(keptWithNext.begin(), keptWithNext.end(), true) != keptWithNext.end();
            if (uno.kept == nullptr) {
                const Reference<css::text::XTextRange> anchor = uno.bookmarkAnchor(name);
                if (!keeps) {
                    anchor->setString(value);
                    return;
                }
                const Reference<css::text::XTextCursor> cursor
                    = anchor->getText()->createTextCursorByRange(anchor);
                cursor->setString(value);
                keepWithNext(cursor, keptWithNext);
                return;
            }
            // A kept template: the cursor holds what the last memo wrote there.
            Reference<css::text::XTextCursor> &cursor = uno.kept->values[name];
            if (!cursor.is()) {
                const Reference<css::text::XTextRange> anchor = uno.bookmarkAnchor(name);
                cursor = anchor->getText()->createTextCursorByRange(anchor);
            }
            cursor->setString(value);
            if (!keptWithNext.empty() && (keeps || uno.kept->keepsLines)) {
                keepWithNext(cursor, keptWithNext);
                uno.kept->keepsLines = keeps;
            }
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
    const OUString date = format == DocumentFormat::Doc
        ? toOUString(
            memoParagraphs(wordText(mBookmarkTexts.value(QString::fromLatin1(kMemoDate.bookmark))))
                .join(QLatin1Char('\r')))
        : OUString();
    const QFileInfo target(path);
    const QString lock
        = target.absolutePath() + QStringLiteral("/.~lock.") + target.fileName() + QLatin1Char('#');
    const bool lockedBefore = QFileInfo(lock).exists();
    try {
        call(QStringLiteral("save the document as \"%1\"").arg(path),
            [url, filter, memo, now, format, filled, date](UnoObjects &uno) {
                const bool package
                    = format == DocumentFormat::Docx || format == DocumentFormat::Odt;
                if (filled) {
                    setMemoProperties(uno.requireDocument(), memo, now, package);
                    // A DOCX or ODT keeps the fields as they were laid out at the load,
                    // as one filled without the office has them.
                    if (!package)
                        layOut(uno);
                }
                const DatesAsText dates(uno, filled ? date : OUString());
                // A copy: the document stays where it was loaded from, so the office
                // keeps no lock file beside the saved one.
                const Reference<css::frame::XStorable> storable(
                    uno.requireDocument(), UNO_QUERY_THROW);
                storable->storeToURL(url, storeArguments(filter));
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
        } else if (kept->closeAfterMemo) {
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
        storable->storeToURL(pdfUrl, storeArguments(OUString("writer_pdf_Export")));
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

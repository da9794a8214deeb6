#include "DocumentXml.h"

#include "Failure.h"
#include "MemoDetails.h"
#include "WordText.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <QStringList>

#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace DocumentXml {
namespace {
constexpr auto kText = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";
constexpr auto kStyle = "urn:oasis:names:tc:opendocument:xmlns:style:1.0";
constexpr auto kFo = "urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0";
constexpr auto kOffice = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr auto kMeta = "urn:oasis:names:tc:opendocument:xmlns:meta:1.0";
constexpr auto kManifest = "urn:oasis:names:tc:opendocument:xmlns:manifest:1.0";
constexpr auto kWord = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr auto kCore = "http://schemas.openxmlformats.org/package/2006/metadata/core-properties";
constexpr auto kApp = "http://schemas.openxmlformats.org/officeDocument/2006/extended-properties";
constexpr auto kDc = "http://purl.org/dc/elements/1.1/";
constexpr auto kDcTerms = "http://purl.org/dc/terms/";
constexpr auto kXsi = "http://www.w3.org/2001/XMLSchema-instance";
constexpr auto kXml = "http://www.w3.org/XML/1998/namespace";
constexpr auto kDrawingPlace
    = "http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing";

const xmlChar *chars(const char *text)
{
    return reinterpret_cast<const xmlChar *>(text);
}

// The text as XML can hold it: besides what wordText drops, two non-characters.
QByteArray xmlText(QString text)
{
    text.remove(QChar(0xfffe));
    text.remove(QChar(0xffff));
    return text.toUtf8();
}

struct FreeDocument
{
    void operator()(xmlDoc *document) const { xmlFreeDoc(document); }
};
using Document = std::unique_ptr<xmlDoc, FreeDocument>;

struct FreeNode
{
    void operator()(xmlNode *node) const { xmlFreeNode(node); }
};

Document parsed(const QByteArray &bytes, const QString &what)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { xmlInitParser(); });
    // Nothing is fetched from the network, and entities are not expanded.
    Document document(xmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, nullptr,
        XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!document || xmlDocGetRootElement(document.get()) == nullptr) {
        const xmlError *error = xmlGetLastError();
        fail(QStringLiteral("%1 is no XML document: %2")
                 .arg(what,
                     error != nullptr && error->message != nullptr
                         ? QString::fromUtf8(error->message).trimmed()
                         : QStringLiteral("it is empty")));
    }
    return document;
}

QByteArray serialised(xmlDoc *document, const QString &what)
{
    xmlChar *bytes = nullptr;
    int size = 0;
    xmlDocDumpMemoryEnc(document, &bytes, &size, "UTF-8");
    if (bytes == nullptr)
        fail(QStringLiteral("%1 could not be written out as XML").arg(what));
    QByteArray serialisedBytes(reinterpret_cast<const char *>(bytes), size);
    xmlFree(bytes);
    return serialisedBytes;
}

bool isElement(const xmlNode *node, const char *ns, const char *name)
{
    return node != nullptr && node->type == XML_ELEMENT_NODE && node->ns != nullptr
        && xmlStrEqual(node->ns->href, chars(ns)) && xmlStrEqual(node->name, chars(name));
}

bool isAnyOf(const xmlNode *node, const char *ns, std::initializer_list<const char *> names)
{
    for (const char *name : names) {
        if (isElement(node, ns, name))
            return true;
    }
    return false;
}

QString attribute(const xmlNode *node, const char *ns, const char *name)
{
    xmlChar *value = xmlGetNsProp(node, chars(name), chars(ns));
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(value));
    xmlFree(value);
    return text;
}

void removeAttribute(xmlNode *node, const char *ns, const char *name)
{
    if (xmlAttr *found = xmlHasNsProp(node, chars(name), chars(ns)))
        xmlRemoveProp(found);
}

void removeNode(xmlNode *node)
{
    xmlUnlinkNode(node);
    xmlFreeNode(node);
}

xmlNode *child(xmlNode *parent, const char *ns, const char *name)
{
    for (xmlNode *node = parent->children; node != nullptr; node = node->next) {
        if (isElement(node, ns, name))
            return node;
    }
    return nullptr;
}

void removeChildren(xmlNode *parent, const std::function<bool(const xmlNode *)> &unwanted)
{
    for (xmlNode *node = parent->children; node != nullptr;) {
        xmlNode *next = node->next;
        if (node->type == XML_ELEMENT_NODE && unwanted(node))
            removeNode(node);
        node = next;
    }
}

// Every element below the node, in document order.
void forEachElement(xmlNode *node, const std::function<void(xmlNode *)> &visit)
{
    for (; node != nullptr; node = node->next) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        visit(node);
        forEachElement(node->children, visit);
    }
}

xmlNs *namespaceOf(xmlDoc *document, const char *href, const char *prefix)
{
    xmlNode *root = xmlDocGetRootElement(document);
    if (xmlNs *found = xmlSearchNsByHref(document, root, chars(href)))
        return found;
    return xmlNewNs(root, chars(href), chars(prefix));
}

// The element's text replaced, or the element added at the parent's end.
xmlNode *setText(xmlNode *parent, xmlNs *ns, const char *name, const QString &text)
{
    xmlNode *element = nullptr;
    for (xmlNode *node = parent->children; node != nullptr && element == nullptr;
         node = node->next) {
        if (node->type == XML_ELEMENT_NODE && node->ns == ns
            && xmlStrEqual(node->name, chars(name)))
            element = node;
    }
    if (element == nullptr)
        element = xmlNewChild(parent, ns, chars(name), nullptr);
    while (element->children != nullptr)
        removeNode(element->children);
    const QByteArray bytes = xmlText(text);
    if (!bytes.isEmpty())
        xmlAddChild(
            element, xmlNewDocTextLen(parent->doc, chars(bytes.constData()), int(bytes.size())));
    return element;
}

// The paragraphs a bookmark's text makes, as the office gets them (memoParagraphs):
// every line break ends one, but an empty line is a line break ("\n") closing the
// paragraph before it, so it adds one line and not a paragraph's space.
QStringList linesOf(const QString &typed)
{
    return memoParagraphs(wordText(typed));
}

xmlNode *textNode(xmlDoc *document, const QString &text)
{
    const QByteArray bytes = xmlText(text);
    return xmlNewDocTextLen(document, chars(bytes.constData()), int(bytes.size()));
}

// A copy of the element, with its content when `deep`, made where `place` puts it, so
// that it takes the namespaces declared there rather than declaring its own again.
xmlNode *copyElement(const xmlNode *source, bool deep, const std::function<void(xmlNode *)> &place)
{
    xmlNode *copy = xmlNewDocNode(source->doc, source->ns, source->name, nullptr);
    place(copy);
    copy->properties = xmlCopyPropList(copy, source->properties);
    for (const xmlNode *node = deep ? source->children : nullptr; node != nullptr;
         node = node->next) {
        if (node->type == XML_ELEMENT_NODE)
            copyElement(node, true, [copy](xmlNode *made) { xmlAddChild(copy, made); });
        else if (node->type == XML_TEXT_NODE)
            xmlAddChild(copy, xmlNewDocText(source->doc, node->content));
    }
    return copy;
}

// One line as ODF holds text: a run of spaces is one space and <text:s/> for the rest
// (all of them at a line's start, where a space would be dropped), a tab <text:tab/>,
// a line break <text:line-break/>.
void addOpenDocumentLine(
    xmlDoc *document, xmlNs *ns, const QString &line, const std::function<void(xmlNode *)> &add)
{
    QString chunk;
    int spaces = 0;
    bool afterText = false;
    const auto flushText = [&] {
        if (!chunk.isEmpty())
            add(textNode(document, chunk));
        chunk.clear();
    };
    const auto flushSpaces = [&] {
        if (spaces == 0)
            return;
        flushText();
        xmlNode *space = xmlNewDocNode(document, ns, chars("s"), nullptr);
        if (spaces > 1)
            xmlNewNsProp(space, ns, chars("c"), chars(QByteArray::number(spaces).constData()));
        add(space);
        spaces = 0;
    };
    for (const QChar c : line) {
        if (c == QLatin1Char(' ')) {
            if (afterText)
                chunk += c;
            else
                ++spaces;
            afterText = false;
        } else if (c == QLatin1Char('\t') || c == QLatin1Char('\n')) {
            flushSpaces();
            flushText();
            add(xmlNewDocNode(
                document, ns, chars(c == QLatin1Char('\t') ? "tab" : "line-break"), nullptr));
            afterText = false;
        } else {
            flushSpaces();
            chunk += c;
            afterText = true;
        }
    }
    flushSpaces();
    flushText();
}

// One line as a Word run in the look `runProperties` gives (tabs and line breaks as
// Word holds them); none for an empty line.
void addWordRun(xmlDoc *document, xmlNs *ns, const QString &line, const xmlNode *runProperties,
    const std::function<void(xmlNode *)> &add)
{
    if (line.isEmpty())
        return;
    xmlNode *run = xmlNewDocNode(document, ns, chars("r"), nullptr);
    add(run);
    if (runProperties != nullptr)
        copyElement(runProperties, true, [run](xmlNode *made) { xmlAddChild(run, made); });
    QString chunk;
    const auto flush = [&] {
        if (chunk.isEmpty())
            return;
        xmlNode *text = xmlNewChild(run, ns, chars("t"), nullptr);
        xmlNodeSetSpacePreserve(text, 1);
        xmlAddChild(text, textNode(document, chunk));
        chunk.clear();
    };
    for (const QChar c : line) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n')) {
            flush();
            xmlNewChild(run, ns, chars(c == QLatin1Char('\t') ? "tab" : "br"), nullptr);
        } else {
            chunk += c;
        }
    }
    flush();
}

class BodyFiller
{
public:
    BodyFiller(xmlDoc *document, Dialect dialect, const QString &what)
        : mDocument(document)
        , mDialect(dialect)
        , mWhat(what)
    {
        forEachElement(xmlDocGetRootElement(document), [this](xmlNode *node) {
            if (mDialect == Dialect::OpenDocument) {
                if (isAnyOf(node, kText, { "bookmark", "bookmark-start" }))
                    mStarts[attribute(node, kText, "name")].push_back(node);
                else if (isElement(node, kText, "bookmark-end"))
                    mEnds[attribute(node, kText, "name")] = node;
            } else {
                if (isElement(node, kWord, "bookmarkStart"))
                    mStarts[attribute(node, kWord, "name")].push_back(node);
                else if (isElement(node, kWord, "bookmarkEnd"))
                    mEnds[attribute(node, kWord, "id")] = node;
            }
        });
    }

    bool holds(const QString &bookmark) const
    {
        const auto found = mStarts.find(bookmark);
        return found != mStarts.end() && !found->second.empty();
    }

    void fill(const QString &bookmark, const QString &typed)
    {
        for (const auto &[start, end] : ranges(bookmark))
            fillRange(bookmark, start, end, typed);
    }

private:
    void fillRange(const QString &bookmark, xmlNode *start, xmlNode *end, const QString &typed)
    {
        xmlNode *paragraph = start->parent;
        const bool inParagraph = mDialect == Dialect::OpenDocument
            ? isAnyOf(paragraph, kText, { "p", "h" })
            : isElement(paragraph, kWord, "p");
        if (end->parent != paragraph || !inParagraph)
            fail(QStringLiteral("%1: the bookmark \"%2\" does not begin and end in one paragraph")
                     .arg(mWhat, bookmark));

        // The placeholder goes; the text takes its look.
        std::vector<std::unique_ptr<xmlNode, FreeNode>> removed;
        const xmlNode *look = nullptr;
        for (xmlNode *node = start->next; node != end;) {
            if (node == nullptr)
                fail(QStringLiteral("%1: the bookmark \"%2\" ends before it begins")
                         .arg(mWhat, bookmark));
            xmlNode *next = node->next;
            if (look == nullptr && isElement(node, kWord, "r"))
                look = child(node, kWord, "rPr");
            xmlUnlinkNode(node);
            removed.emplace_back(node);
            node = next;
        }

        const QStringList lines = linesOf(typed);
        // The message's closing lines keep with the next, as the office keeps them.
        const qsizetype closing = bookmark == QLatin1String(kMemoMessage.bookmark)
            ? closingLinesStart(lines)
            : lines.size();
        xmlNode *last = paragraph;
        for (qsizetype index = 0; index < lines.size(); ++index) {
            if (index > 0)
                last = paragraphLike(paragraph, last);
            if (index >= closing && index + 1 < lines.size())
                keepWithNext(last);
            // The first line goes before the bookmark's end, the others into their own
            // paragraphs; the end and what followed it then move to the last one.
            const auto add = [&](xmlNode *node) {
                if (index == 0)
                    xmlAddPrevSibling(end, node);
                else
                    xmlAddChild(last, node);
            };
            if (mDialect == Dialect::OpenDocument) {
                addOpenDocumentLine(mDocument, start->ns, lines.at(index), add);
            } else {
                addWordRun(mDocument, start->ns, lines.at(index), look, add);
            }
        }
        if (last != paragraph)
            moveTail(end, paragraph, last);
    }

    void keepWithNext(xmlNode *paragraph)
    {
        if (mDialect == Dialect::Wordprocessing) {
            // <w:keepNext/> follows the style, if any, as the schema orders them.
            xmlNode *properties = child(paragraph, kWord, "pPr");
            if (properties == nullptr) {
                properties = xmlNewDocNode(mDocument, paragraph->ns, chars("pPr"), nullptr);
                if (paragraph->children != nullptr)
                    xmlAddPrevSibling(paragraph->children, properties);
                else
                    xmlAddChild(paragraph, properties);
            }
            if (child(properties, kWord, "keepNext") != nullptr)
                return;
            xmlNode *keep = xmlNewDocNode(mDocument, paragraph->ns, chars("keepNext"), nullptr);
            xmlNode *style = child(properties, kWord, "pStyle");
            if (style != nullptr)
                xmlAddNextSibling(style, keep);
            else if (properties->children != nullptr)
                xmlAddPrevSibling(properties->children, keep);
            else
                xmlAddChild(properties, keep);
            return;
        }
        const QString style = attribute(paragraph, kText, "style-name");
        xmlSetNsProp(paragraph, namespaceOf(mDocument, kText, "text"), chars("style-name"),
            chars(keepingStyle(style).toUtf8().constData()));
    }

    // An automatic paragraph style like `style` that keeps with the next paragraph,
    // made once: a copy of `style` when it is automatic itself (an automatic style has
    // no automatic parent), else one that inherits it.
    QString keepingStyle(const QString &style)
    {
        const auto made = mKeepingStyles.find(style);
        if (made != mKeepingStyles.end())
            return made->second;
        xmlNode *root = xmlDocGetRootElement(mDocument);
        xmlNode *automatic = child(root, kOffice, "automatic-styles");
        if (automatic == nullptr) {
            automatic = xmlNewDocNode(mDocument, namespaceOf(mDocument, kOffice, "office"),
                chars("automatic-styles"), nullptr);
            xmlNode *body = child(root, kOffice, "body");
            if (body == nullptr)
                fail(QStringLiteral("%1 has no body").arg(mWhat));
            xmlAddPrevSibling(body, automatic);
        }
        xmlNs *styleNs = namespaceOf(mDocument, kStyle, "style");
        const xmlNode *own = automaticStyle(automatic, style);
        QString name = style + QStringLiteral("_keep");
        while (automaticStyle(automatic, name) != nullptr)
            name += QLatin1Char('_');
        xmlNode *keeping = nullptr;
        if (own != nullptr) {
            keeping = copyElement(
                own, true, [automatic](xmlNode *node) { xmlAddChild(automatic, node); });
        } else {
            keeping = xmlNewChild(automatic, styleNs, chars("style"), nullptr);
            xmlSetNsProp(keeping, styleNs, chars("family"), chars("paragraph"));
            if (!style.isEmpty()) {
                xmlSetNsProp(keeping, styleNs, chars("parent-style-name"),
                    chars(style.toUtf8().constData()));
            }
        }
        xmlSetNsProp(keeping, styleNs, chars("name"), chars(name.toUtf8().constData()));
        xmlNode *properties = child(keeping, kStyle, "paragraph-properties");
        if (properties == nullptr) {
            properties = xmlNewDocNode(mDocument, styleNs, chars("paragraph-properties"), nullptr);
            if (keeping->children != nullptr)
                xmlAddPrevSibling(keeping->children, properties);
            else
                xmlAddChild(keeping, properties);
        }
        xmlSetNsProp(properties, namespaceOf(mDocument, kFo, "fo"), chars("keep-with-next"),
            chars("always"));
        mKeepingStyles[style] = name;
        return name;
    }

    static const xmlNode *automaticStyle(const xmlNode *automatic, const QString &name)
    {
        for (const xmlNode *node = automatic->children; node != nullptr; node = node->next) {
            if (isElement(node, kStyle, "style") && attribute(node, kStyle, "name") == name)
                return node;
        }
        return nullptr;
    }

    // The bookmark's start and end, a point made into a range. Word's may come more than
    // once: a drawing's text is saved twice, for readers of shapes and, as a fallback,
    // for the others, each copy with its bookmarks; every copy with an end is filled,
    // and a start without an end (the office writes such a copy too) is dropped.
    std::vector<std::pair<xmlNode *, xmlNode *>> ranges(const QString &bookmark)
    {
        const auto found = mStarts.find(bookmark);
        if (found == mStarts.end() || found->second.empty())
            fail(QStringLiteral("%1 has no bookmark \"%2\"").arg(mWhat, bookmark));
        if (mDialect == Dialect::OpenDocument) {
            xmlNode *start = found->second.front();
            if (isElement(start, kText, "bookmark")) {
                xmlNodeSetName(start, chars("bookmark-start"));
                xmlNode *end = xmlNewDocNode(mDocument, start->ns, chars("bookmark-end"), nullptr);
                xmlNewNsProp(end, start->ns, chars("name"), chars(bookmark.toUtf8().constData()));
                xmlAddNextSibling(start, end);
                mEnds[bookmark] = end;
                return { { start, end } };
            }
            const auto end = mEnds.find(bookmark);
            if (end == mEnds.end())
                fail(QStringLiteral("%1: the bookmark \"%2\" has no end").arg(mWhat, bookmark));
            return { { start, end->second } };
        }
        std::vector<std::pair<xmlNode *, xmlNode *>> complete;
        std::vector<xmlNode *> kept;
        for (xmlNode *candidate : found->second) {
            const auto ending = mEnds.find(attribute(candidate, kWord, "id"));
            if (ending != mEnds.end()) {
                complete.emplace_back(candidate, ending->second);
                kept.push_back(candidate);
            } else {
                removeNode(candidate);
            }
        }
        found->second = kept;
        if (complete.empty())
            fail(QStringLiteral("%1: the bookmark \"%2\" has no end").arg(mWhat, bookmark));
        return complete;
    }

    // A new paragraph after `after` in the style and layout of this one (a Word
    // section's end stays with the last), with no identity of its own.
    xmlNode *paragraphLike(xmlNode *paragraph, xmlNode *after)
    {
        xmlNode *copy = copyElement(
            paragraph, false, [after](xmlNode *made) { xmlAddNextSibling(after, made); });
        if (mDialect == Dialect::OpenDocument) {
            removeAttribute(copy, kXml, "id");
            removeAttribute(copy, kText, "id");
        } else if (xmlNode *properties = child(paragraph, kWord, "pPr")) {
            xmlNode *copied
                = copyElement(properties, true, [copy](xmlNode *made) { xmlAddChild(copy, made); });
            removeChildren(copied, [](const xmlNode *node) {
                return isAnyOf(node, kWord, { "sectPr", "pPrChange" });
            });
        }
        return copy;
    }

    void moveTail(xmlNode *from, xmlNode *paragraph, xmlNode *last)
    {
        for (xmlNode *node = from; node != nullptr;) {
            xmlNode *next = node->next;
            xmlUnlinkNode(node);
            xmlAddChild(last, node);
            node = next;
        }
        if (mDialect == Dialect::Wordprocessing) {
            xmlNode *properties = child(paragraph, kWord, "pPr");
            xmlNode *section = properties != nullptr ? child(properties, kWord, "sectPr") : nullptr;
            if (section != nullptr) {
                xmlUnlinkNode(section);
                xmlAddChild(child(last, kWord, "pPr"), section);
            }
        }
    }

    xmlDoc *mDocument;
    Dialect mDialect;
    QString mWhat;
    std::map<QString, std::vector<xmlNode *>> mStarts;
    // By name for ODF, by id for Word.
    std::map<QString, xmlNode *> mEnds;
    // Automatic styles that keep with the next paragraph, by the style they stand for.
    std::map<QString, QString> mKeepingStyles;
};

// A run that holds nothing but a drawing placed on the page (not beside a character or
// a line), whose place in its paragraph's text therefore changes nothing.
bool isPlacedDrawingRun(xmlNode *run)
{
    if (!isElement(run, kWord, "r"))
        return false;
    bool drawing = false;
    for (xmlNode *node = run->children; node != nullptr; node = node->next) {
        if (node->type != XML_ELEMENT_NODE || isElement(node, kWord, "rPr"))
            continue;
        if (!isElement(node, kWord, "drawing"))
            return false;
        xmlNode *anchor = child(node, kDrawingPlace, "anchor");
        if (anchor == nullptr)
            return false;
        for (const auto &[axis, byText] :
            { std::pair { "positionH", "character" }, std::pair { "positionV", "line" } }) {
            xmlNode *position = child(anchor, kDrawingPlace, axis);
            if (position == nullptr
                || attribute(position, nullptr, "relativeFrom") == QLatin1String(byText))
                return false;
        }
        drawing = true;
    }
    return drawing;
}

} // namespace

QByteArray withPlacedDrawingsAfterText(const QByteArray &xml, const QString &what)
{
    const Document document = parsed(xml, what);
    std::vector<xmlNode *> runs;
    forEachElement(xmlDocGetRootElement(document.get()), [&](xmlNode *node) {
        if (isPlacedDrawingRun(node))
            runs.push_back(node);
    });
    for (xmlNode *run : runs) {
        xmlNode *last = run;
        for (xmlNode *next = run->next; next != nullptr; next = next->next) {
            if (next->type != XML_ELEMENT_NODE)
                continue;
            if (!isElement(next, kWord, "r") || isPlacedDrawingRun(next))
                break;
            last = next;
        }
        if (last != run) {
            xmlUnlinkNode(run);
            xmlAddNextSibling(last, run);
        }
    }
    return serialised(document.get(), what);
}

QByteArray filledBody(const QByteArray &xml, Dialect dialect,
    const QList<std::pair<QString, QString>> &writes, const QString &what)
{
    const Document document = parsed(xml, what);
    BodyFiller filler(document.get(), dialect, what);
    for (const auto &[bookmark, text] : writes)
        filler.fill(bookmark, text);
    return serialised(document.get(), what);
}

QByteArray filledWhereHeld(const QByteArray &xml, Dialect dialect,
    const QList<std::pair<QString, QString>> &writes, const QString &what, QSet<QString> &filled)
{
    const Document document = parsed(xml, what);
    BodyFiller filler(document.get(), dialect, what);
    bool changed = false;
    for (const auto &[bookmark, text] : writes) {
        if (filled.contains(bookmark) || !filler.holds(bookmark))
            continue;
        filler.fill(bookmark, text);
        filled.insert(bookmark);
        changed = true;
    }
    return changed ? serialised(document.get(), what) : xml;
}

QByteArray withChapterText(
    const QByteArray &xml, Dialect dialect, const QString &text, const QString &what)
{
    const Document document = parsed(xml, what);
    const QString line = linesOf(text).constFirst();
    if (dialect == Dialect::OpenDocument) {
        std::vector<xmlNode *> chapters;
        forEachElement(xmlDocGetRootElement(document.get()), [&](xmlNode *node) {
            if (isElement(node, kText, "chapter")
                && attribute(node, kText, "outline-level") == QLatin1String("1"))
                chapters.push_back(node);
        });
        // Plain text, spaces as they are: the office writes a field's result so.
        for (xmlNode *chapter : chapters) {
            while (chapter->children != nullptr)
                removeNode(chapter->children);
            xmlAddChild(chapter, textNode(document.get(), line));
        }
        return serialised(document.get(), what);
    }

    // A field's runs: its instruction between begin and separate, its saved result
    // between separate and end. Only a STYLEREF of level 1 gets the text.
    struct Field
    {
        QString instruction;
        xmlNode *separator = nullptr; // the run holding the separate mark
        std::vector<xmlNode *> result; // the runs after it
    };
    std::vector<Field> open;
    std::vector<Field> styleRefs;
    std::vector<xmlNode *> simple;
    const auto isLevelOne = [](const QString &instruction) {
        const QStringList words = instruction.simplified().split(QLatin1Char(' '));
        return words.size() >= 2
            && words.at(0).compare(QLatin1String("STYLEREF"), Qt::CaseInsensitive) == 0
            && words.at(1) == QLatin1String("1");
    };
    forEachElement(xmlDocGetRootElement(document.get()), [&](xmlNode *node) {
        if (isElement(node, kWord, "fldSimple")) {
            if (isLevelOne(attribute(node, kWord, "instr")))
                simple.push_back(node);
        } else if (isElement(node, kWord, "fldChar")) {
            const QString type = attribute(node, kWord, "fldCharType");
            if (type == QLatin1String("begin")) {
                open.emplace_back();
            } else if (type == QLatin1String("separate") && !open.empty()) {
                open.back().separator = node->parent;
            } else if (type == QLatin1String("end") && !open.empty()) {
                if (isLevelOne(open.back().instruction) && open.back().separator != nullptr)
                    styleRefs.push_back(open.back());
                open.pop_back();
            }
        } else if (isElement(node, kWord, "instrText") && !open.empty()) {
            xmlChar *content = xmlNodeGetContent(node);
            open.back().instruction += QString::fromUtf8(reinterpret_cast<const char *>(content));
            xmlFree(content);
        } else if (isElement(node, kWord, "r") && !open.empty() && open.back().separator != nullptr
            && node != open.back().separator && node->parent == open.back().separator->parent) {
            open.back().result.push_back(node);
        }
    });
    for (xmlNode *field : simple) {
        while (field->children != nullptr)
            removeNode(field->children);
        addWordRun(document.get(), field->ns, line, nullptr,
            [field](xmlNode *made) { xmlAddChild(field, made); });
    }
    for (const Field &field : styleRefs) {
        // The last result run holds the end mark: the others are the old result.
        for (xmlNode *run : field.result) {
            if (child(run, kWord, "fldChar") == nullptr)
                removeNode(run);
        }
        addWordRun(document.get(), field.separator->ns, line, child(field.separator, kWord, "rPr"),
            [&field](xmlNode *made) { xmlAddNextSibling(field.separator, made); });
    }
    return serialised(document.get(), what);
}

QByteArray openDocumentMeta(const QByteArray &xml, const MemoProperties &memo, const QDateTime &now)
{
    const QString what = QStringLiteral("the ODT template's meta.xml");
    const Document document = parsed(xml, what);
    xmlNode *meta = child(xmlDocGetRootElement(document.get()), kOffice, "meta");
    if (meta == nullptr)
        fail(QStringLiteral("%1 holds no properties").arg(what));
    removeChildren(meta, [](const xmlNode *node) {
        return isAnyOf(node, kDc, { "title", "subject", "description", "creator", "date" })
            || isAnyOf(node, kMeta,
                { "keyword", "initial-creator", "creation-date", "document-statistic", "template",
                    "auto-reload", "hyperlink-behaviour", "print-date", "printed-by",
                    "editing-cycles", "editing-duration" })
            || (isElement(node, kMeta, "user-defined")
                && attribute(node, kMeta, "name") == QLatin1String("Company"));
    });
    xmlNs *dc = namespaceOf(document.get(), kDc, "dc");
    xmlNs *metaNs = namespaceOf(document.get(), kMeta, "meta");
    // Written as the office writes a document's local time.
    const QString time = now.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz"));
    // The office leaves out what is empty.
    const auto add = [&](xmlNs *ns, const char *name, const QString &text) -> xmlNode * {
        if (text.isEmpty())
            return nullptr;
        xmlNode *element = xmlNewChild(meta, ns, chars(name), nullptr);
        xmlAddChild(element, textNode(document.get(), text));
        return element;
    };
    add(dc, "title", memo.title);
    add(dc, "subject", memo.title);
    add(metaNs, "creation-date", time);
    add(dc, "date", time);
    add(metaNs, "initial-creator", memo.author);
    add(dc, "creator", memo.author);
    if (xmlNode *company = add(metaNs, "user-defined", memo.company))
        xmlNewNsProp(company, metaNs, chars("name"), chars("Company"));
    return serialised(document.get(), what);
}

QByteArray coreProperties(const QByteArray &xml, const MemoProperties &memo, const QDateTime &now)
{
    const QString what = QStringLiteral("the DOCX template's docProps/core.xml");
    const Document document = parsed(xml, what);
    xmlNode *root = xmlDocGetRootElement(document.get());
    if (!isElement(root, kCore, "coreProperties"))
        fail(QStringLiteral("%1 holds no properties").arg(what));
    removeChildren(root, [](const xmlNode *node) {
        return isAnyOf(node, kCore, { "keywords", "category", "contentStatus", "lastPrinted" });
    });
    xmlNs *cp = namespaceOf(document.get(), kCore, "cp");
    xmlNs *dc = namespaceOf(document.get(), kDc, "dc");
    xmlNs *terms = namespaceOf(document.get(), kDcTerms, "dcterms");
    xmlNs *xsi = namespaceOf(document.get(), kXsi, "xsi");
    const QString time = now.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
    for (const char *name : { "created", "modified" }) {
        xmlNode *date = setText(root, terms, name, time);
        xmlSetNsProp(date, xsi, chars("type"), chars("dcterms:W3CDTF"));
    }
    setText(root, dc, "title", memo.title);
    setText(root, dc, "subject", memo.title);
    setText(root, dc, "creator", memo.author);
    setText(root, cp, "lastModifiedBy", memo.author);
    setText(root, dc, "description", QString());
    return serialised(document.get(), what);
}

QByteArray appProperties(const QByteArray &xml, const QString &company)
{
    const QString what = QStringLiteral("the DOCX template's docProps/app.xml");
    const Document document = parsed(xml, what);
    xmlNode *root = xmlDocGetRootElement(document.get());
    if (!isElement(root, kApp, "Properties"))
        fail(QStringLiteral("%1 holds no properties").arg(what));
    removeChildren(root, [](const xmlNode *node) {
        return isAnyOf(node, kApp,
            { "Company", "Pages", "Words", "Characters", "CharactersWithSpaces", "Lines",
                "Paragraphs", "DocSecurity" });
    });
    if (!company.isEmpty())
        setText(root, root->ns, "Company", company);
    return serialised(document.get(), what);
}

QByteArray withoutManifestEntry(const QByteArray &xml, const QString &path)
{
    const QString what = QStringLiteral("the ODT template's META-INF/manifest.xml");
    const Document document = parsed(xml, what);
    removeChildren(xmlDocGetRootElement(document.get()), [&](const xmlNode *node) {
        return isElement(node, kManifest, "file-entry")
            && attribute(node, kManifest, "full-path") == path;
    });
    return serialised(document.get(), what);
}

} // namespace DocumentXml

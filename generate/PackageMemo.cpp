#include "PackageMemo.h"

#include "DocumentXml.h"
#include "Failure.h"
#include "FileUtils.h"
#include "MemoProperties.h"
#include "MemoStyle.h"
#include "OwnTemplate.h"
#include "TemplateCatalogue.h"
#include "WordSession.h"
#include "ZipPackage.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

namespace PackageMemo {
namespace {
// Where an ODT keeps the picture of its first page: the template's, which a memo
// filled without the office cannot redraw, so it goes.
constexpr auto kThumbnail = "Thumbnails/thumbnail.png";

// A template's form and the parts a memo changes, unpacked once.
struct TemplateForm
{
    QByteArray package;
    std::map<QString, QByteArray> parts;
    // Those parts that hold the headers and footers.
    QStringList pageParts;
};

bool isPagePart(const QString &name, bool docx)
{
    static const QRegularExpression wordPart(QStringLiteral("^word/(header|footer)[0-9]*\\.xml$"));
    return docx ? wordPart.match(name).hasMatch() : name == QLatin1String("styles.xml");
}

TemplateForm unpacked(QByteArray bytes, bool docx, const QString &what)
{
    TemplateForm form;
    form.package = std::move(bytes);
    const ZipPackage package(form.package, what);
    for (const QString &name : package.names()) {
        if (isPagePart(name, docx))
            form.pageParts.append(name);
    }
    const QStringList parts = form.pageParts
        + (docx ? QStringList { QStringLiteral("word/document.xml"),
               QStringLiteral("docProps/core.xml"), QStringLiteral("docProps/app.xml") }
                : QStringList { QStringLiteral("content.xml"), QStringLiteral("meta.xml"),
                    QStringLiteral("META-INF/manifest.xml") });
    for (const QString &part : parts)
        form.parts.emplace(part, package.read(part));
    if (docx) {
        QByteArray &body = form.parts.at(QStringLiteral("word/document.xml"));
        body = DocumentXml::withPlacedDrawingsAfterText(
            body, what + QStringLiteral(" word/document.xml"));
    }
    return form;
}

// The form of a built-in template, unpacked once; or of the memo's own template, kept
// by its content for the next memos of it.
std::shared_ptr<const TemplateForm> templateForm(
    const MemoDetails &memo, bool docx, const QString &what)
{
    static std::mutex lock;
    static std::map<std::pair<int, bool>, std::shared_ptr<const TemplateForm>> forms;
    static std::map<std::pair<QByteArray, bool>, std::shared_ptr<const TemplateForm>> ownForms;
    const MemoStyle &style = kMemoStyles.at(static_cast<size_t>(memo.style));
    const OwnTemplate *own = memo.ownTemplate.get();
    std::lock_guard guard(lock);
    if (own == nullptr) {
        auto &form = forms[{ style.resourceId, docx }];
        if (!form)
            form = std::make_shared<const TemplateForm>(
                unpacked(loadResData(style.resourceId,
                             docx ? QStringLiteral("DOCX") : QStringLiteral("ODT")),
                    docx, what));
        return form;
    }
    const auto known = ownForms.find({ own->hash, docx });
    if (known != ownForms.end())
        return known->second;
    const QString file
        = OwnTemplates::formFile(*own, docx ? DocumentFormat::Docx : DocumentFormat::Odt);
    QString why;
    const auto bytes = readPlainFile(file, OwnTemplates::kMostBytes, Links::Refuse, &why);
    if (!bytes)
        fail(QStringLiteral("%1 cannot be read: %2").arg(what, why));
    // A few templates at most are used at once: the oldest goes.
    constexpr size_t kMostOwnForms = 8;
    if (ownForms.size() >= kMostOwnForms)
        ownForms.clear();
    auto form = std::make_shared<const TemplateForm>(unpacked(*bytes, docx, what));
    ownForms.emplace(std::pair { own->hash, docx }, form);
    return form;
}

// An own template's bookmarks may be anywhere: each is filled in the part that holds
// it, the body first, and each must be found.
void fillOwnTemplate(std::map<QString, QByteArray> &parts, const TemplateForm &form, bool docx,
    const QList<std::pair<QString, QString>> &writes, const QString &what)
{
    const auto dialect
        = docx ? DocumentXml::Dialect::Wordprocessing : DocumentXml::Dialect::OpenDocument;
    QSet<QString> filled;
    const QString body = docx ? QStringLiteral("word/document.xml") : QStringLiteral("content.xml");
    for (const QString &part : QStringList { body } + form.pageParts) {
        QByteArray &xml = parts.at(part);
        // Only a part that names a bookmark still to fill is parsed.
        const bool named = std::any_of(writes.cbegin(), writes.cend(), [&](const auto &write) {
            return !filled.contains(write.first) && xml.contains(write.first.toUtf8());
        });
        if (named)
            xml = DocumentXml::filledWhereHeld(
                xml, dialect, writes, what + QLatin1Char(' ') + part, filled);
    }
    for (const auto &[bookmark, text] : writes) {
        if (!filled.contains(bookmark))
            fail(QStringLiteral("%1 has no bookmark \"%2\"").arg(what, bookmark));
    }
}
} // namespace

bool isPackageFormat(DocumentFormat format)
{
    return format == DocumentFormat::Docx || format == DocumentFormat::Odt;
}

QByteArray make(const MemoDetails &memo, DocumentFormat format, const QDateTime &now)
{
    const bool docx = format == DocumentFormat::Docx;
    const QString what
        = QStringLiteral("The %1 template of %2")
              .arg(docx ? QStringLiteral("DOCX") : QStringLiteral("ODT"), styleCaption(memo));
    const std::shared_ptr<const TemplateForm> form = templateForm(memo, docx, what);
    ZipPackage package(form->package, what);
    const auto dialect
        = docx ? DocumentXml::Dialect::Wordprocessing : DocumentXml::Dialect::OpenDocument;

    const QList<std::pair<QString, QString>> writes = bookmarkWrites(memo);
    QHash<QString, QString> texts;
    for (const auto &[bookmark, text] : writes)
        texts.insert(bookmark, text);
    const MemoProperties properties = memoProperties(texts);

    std::map<QString, QByteArray> parts = form->parts;
    const QString body = docx ? QStringLiteral("word/document.xml") : QStringLiteral("content.xml");
    if (memo.ownTemplate)
        fillOwnTemplate(parts, *form, docx, writes, what);
    else
        parts.at(body) = DocumentXml::filledBody(
            parts.at(body), dialect, writes, what + QLatin1Char(' ') + body);
    const QString date = texts.value(QString::fromLatin1(kMemoDate.bookmark));
    for (const QString &part : form->pageParts)
        parts.at(part) = DocumentXml::withChapterText(
            parts.at(part), dialect, date, what + QLatin1Char(' ') + part);
    const auto change = [&](const char *name, const auto &changed) {
        const QString part = QString::fromLatin1(name);
        parts.at(part) = changed(parts.at(part));
    };
    if (docx) {
        change("docProps/core.xml", [&](const QByteArray &xml) {
            return DocumentXml::coreProperties(xml, properties, now);
        });
        change("docProps/app.xml", [&](const QByteArray &xml) {
            return DocumentXml::appProperties(xml, properties.company);
        });
    } else {
        change("meta.xml", [&](const QByteArray &xml) {
            return DocumentXml::openDocumentMeta(xml, properties, now);
        });
        const QString thumbnail = QString::fromLatin1(kThumbnail);
        if (package.contains(thumbnail)) {
            package.remove(thumbnail);
            change("META-INF/manifest.xml", [&](const QByteArray &xml) {
                return DocumentXml::withoutManifestEntry(xml, thumbnail);
            });
        }
    }
    for (const auto &[part, xml] : parts) {
        if (!xml.isSharedWith(form->parts.at(part)))
            package.replace(part, xml);
    }
    return package.finished(now);
}

} // namespace PackageMemo

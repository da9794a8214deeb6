#include "PackageMemo.h"

#include "DocumentXml.h"
#include "MemoProperties.h"
#include "MemoStyle.h"
#include "TemplateCatalogue.h"
#include "WordSession.h"
#include "ZipPackage.h"

#include <QHash>
#include <QRegularExpression>

#include <map>
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

const TemplateForm &templateForm(const MemoStyle &style, bool docx)
{
    static std::mutex lock;
    static std::map<std::pair<int, bool>, TemplateForm> forms;
    std::lock_guard guard(lock);
    const auto known = forms.find({ style.resourceId, docx });
    if (known != forms.end())
        return known->second;
    TemplateForm form;
    form.package
        = loadResData(style.resourceId, docx ? QStringLiteral("DOCX") : QStringLiteral("ODT"));
    const ZipPackage package(form.package, QString());
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
    return forms.emplace(std::pair { style.resourceId, docx }, std::move(form)).first->second;
}
} // namespace

bool isPackageFormat(DocumentFormat format)
{
    return format == DocumentFormat::Docx || format == DocumentFormat::Odt;
}

QByteArray make(const MemoDetails &memo, DocumentFormat format, const QDateTime &now)
{
    const MemoStyle &style = kMemoStyles.at(static_cast<size_t>(memo.style));
    const bool docx = format == DocumentFormat::Docx;
    const QString what = QStringLiteral("The %1 template of %2")
                             .arg(docx ? QStringLiteral("DOCX") : QStringLiteral("ODT"),
                                 QString::fromLatin1(style.caption));
    const TemplateForm &form = templateForm(style, docx);
    ZipPackage package(form.package, what);

    const QList<std::pair<QString, QString>> writes = bookmarkWrites(memo);
    QHash<QString, QString> texts;
    for (const auto &[bookmark, text] : writes)
        texts.insert(bookmark, text);
    const MemoProperties properties = memoProperties(texts);

    const auto change = [&](const char *name, const auto &changed) {
        const QString part = QString::fromLatin1(name);
        package.replace(part, changed(form.parts.at(part), what + QLatin1Char(' ') + part));
    };
    const QString date = texts.value(QString::fromLatin1(kMemoDate.bookmark));
    for (const QString &part : form.pageParts) {
        package.replace(part,
            DocumentXml::withChapterText(form.parts.at(part),
                docx ? DocumentXml::Dialect::Wordprocessing : DocumentXml::Dialect::OpenDocument,
                date, what + QLatin1Char(' ') + part));
    }
    if (docx) {
        change("word/document.xml", [&](const QByteArray &xml, const QString &part) {
            return DocumentXml::filledBody(xml, DocumentXml::Dialect::Wordprocessing, writes, part);
        });
        change("docProps/core.xml", [&](const QByteArray &xml, const QString &) {
            return DocumentXml::coreProperties(xml, properties, now);
        });
        change("docProps/app.xml", [&](const QByteArray &xml, const QString &) {
            return DocumentXml::appProperties(xml, properties.company);
        });
    } else {
        change("content.xml", [&](const QByteArray &xml, const QString &part) {
            return DocumentXml::filledBody(xml, DocumentXml::Dialect::OpenDocument, writes, part);
        });
        change("meta.xml", [&](const QByteArray &xml, const QString &) {
            return DocumentXml::openDocumentMeta(xml, properties, now);
        });
        const QString thumbnail = QString::fromLatin1(kThumbnail);
        if (package.contains(thumbnail)) {
            package.remove(thumbnail);
            change("META-INF/manifest.xml", [&](const QByteArray &xml, const QString &) {
                return DocumentXml::withoutManifestEntry(xml, thumbnail);
            });
        }
    }
    return package.finished(now);
}

} // namespace PackageMemo

#include "OwnTemplate.h"

#include "Failure.h"
#include "FileUtils.h"
#include "MemoDetails.h"
#include "MemoStyle.h"
#include "TemplateFile.h"
#include "WordContainer.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

namespace {
constexpr auto kWordTemplate = "template.dot";
constexpr auto kAbout = "about.json";
constexpr qint64 kMostAboutBytes = 1024 * 1024;

QString scrivaneFolder(QStandardPaths::StandardLocation location)
{
    const QString root = QStandardPaths::writableLocation(location);
    if (root.isEmpty())
        fail(QStringLiteral("No folder for Scrivane's own files is known: HOME is not set."));
    return root + QStringLiteral("/Tarnwick/Scrivane/templates");
}

// Every field, the date included, in the order of the entry window.
QList<const MemoField *> allFields()
{
    QList<const MemoField *> fields { &kMemoDate };
    for (const MemoField &field : kMemoFields)
        fields.append(&field);
    return fields;
}

QString bookmarkNames()
{
    QStringList names;
    for (const MemoField *field : allFields())
        names << QString::fromLatin1(field->bookmark);
    return names.join(QStringLiteral(", "));
}

// Puts the made folder where the old one was, in one rename; the old one goes after.
void putInPlace(const QString &made, const QString &folder)
{
    const QFileInfo place(folder);
    QString aside;
    if (place.exists() || place.isSymLink()) {
        aside = made + QStringLiteral(".old");
        if (std::rename(encodeFileName(folder).constData(), encodeFileName(aside).constData()) != 0)
            fail(QStringLiteral("The template kept in \"%1\" could not be replaced: %2")
                     .arg(folder, systemError()));
    }
    if (std::rename(encodeFileName(made).constData(), encodeFileName(folder).constData()) != 0) {
        const QString why = systemError();
        if (!aside.isEmpty())
            std::rename(encodeFileName(aside).constData(), encodeFileName(folder).constData());
        fail(QStringLiteral("The template could not be kept in \"%1\": %2").arg(folder, why));
    }
    if (!aside.isEmpty())
        removeOwn(aside);
}
// Saves the Word template at `wordTemplate` in the formats given, each at its path, as
// the build makes the built-in templates' DOCX and ODT forms.
void writePackageForms(WordSession &session, const QString &wordTemplate,
    const QList<std::pair<DocumentFormat, QString>> &forms)
{
    session.open(wordTemplate, true);
    try {
        for (const auto &[format, path] : forms)
            session.exportAs(path, format);
        session.close();
    } catch (const Failure &) {
        try {
            session.closeActiveDocumentWithoutSaving();
        } catch (const Failure &) {
            // The session's owner ends a word processor that cannot even close it.
        }
        throw;
    }
}
} // namespace

QString OwnTemplate::fileName() const
{
    return QFileInfo(source).fileName();
}

QString OwnTemplate::wordTemplate() const
{
    return QDir(folder).filePath(QString::fromLatin1(kWordTemplate));
}

namespace OwnTemplates {

QByteArray readFile(const QString &file)
{
    const QString tooLarge = QStringLiteral("it is larger than %1 MiB, the most a template may be")
                                 .arg(kMostBytes / 1024 / 1024);
    QString why;
    const auto bytes = readPlainFile(file, kMostBytes + 1, Links::Follow, &why);
    if (!bytes)
        throw TemplateRefused(QStringLiteral("it cannot be read: %1").arg(why));
    if (bytes->size() > kMostBytes)
        throw TemplateRefused(tooLarge);
    return *bytes;
}

OwnTemplatePointer make(const std::function<WordSession &()> &word, const QString &source,
    const QByteArray &bytes, const QString &folder, PackageForms forms)
{
    const TemplateKind kind = templateKindOf(bytes);
    const QString parent = QFileInfo(folder).absolutePath();
    if (!QDir().mkpath(parent))
        fail(QStringLiteral("The folder \"%1\" for templates could not be made.").arg(parent));
    // Made beside its place, so that it takes it in one rename.
    QTemporaryDir made(parent + QStringLiteral("/.new-XXXXXX"));
    if (!made.isValid())
        fail(QStringLiteral("A folder for the template could not be made in \"%1\": %2")
                 .arg(parent, made.errorString()));
    made.setAutoRemove(false);
    const auto cleanUp = [&] { removeOwn(made.path()); };
    try {
        // The word processor reads a copy of Scrivane's own, never the user's path.
        const QString copy = made.filePath(QStringLiteral("source"));
        replaceFile(copy, bytes);
        WordSession &session = word();
        const QString wordTemplate = made.filePath(QString::fromLatin1(kWordTemplate));
        const TemplateFindings findings = session.makeTemplateSafe(
            copy, kind, wordTemplate, { kMostPages, kMostPicturePixels });
        QFile::remove(copy);
        // A user's template often names its fonts with the office's substitutes beside
        // them; cleared here, its DOCX and ODT forms saved from it name one font each,
        // which readers that take a font's name literally (AbiWord) need to open them.
        finishWordFile(wordTemplate, QString());

        auto ownTemplate = std::make_shared<OwnTemplate>();
        ownTemplate->source = source;
        ownTemplate->hash = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
        ownTemplate->removed = findings.removed;
        QJsonArray present;
        for (const MemoField *field : allFields()) {
            const QString bookmark = QString::fromLatin1(field->bookmark);
            if (findings.bookmarks.contains(bookmark))
                present.append(bookmark);
            else
                ownTemplate->leavesOut |= fieldBit(field->control);
        }
        if (present.isEmpty())
            throw TemplateRefused(
                QStringLiteral("it holds none of the bookmarks a memo is written into (%1)")
                    .arg(bookmarkNames()));
        const QJsonObject about {
            { QStringLiteral("source"), source },
            { QStringLiteral("sha256"), QString::fromLatin1(ownTemplate->hash) },
            { QStringLiteral("bookmarks"), present },
            { QStringLiteral("removed"), QJsonArray::fromStringList(findings.removed) },
        };
        // In the same visit of the word processor: a DOCX or ODT memo of it needs none.
        if (forms == PackageForms::Made)
            writePackageForms(session, wordTemplate,
                { { DocumentFormat::Docx, made.filePath(QStringLiteral("template.docx")) },
                    { DocumentFormat::Odt, made.filePath(QStringLiteral("template.odt")) } });
        replaceFile(made.filePath(QString::fromLatin1(kAbout)), QJsonDocument(about).toJson());
        putInPlace(made.path(), folder);
        ownTemplate->folder = folder;
        return ownTemplate;
    } catch (...) {
        cleanUp();
        throw;
    }
}

OwnTemplatePointer kept(const QString &folder)
{
    const QFileInfo place(folder);
    if (!place.exists() && !place.isSymLink())
        return nullptr;
    const auto damaged = [&](const QString &why) {
        fail(QStringLiteral("The template kept in \"%1\" cannot be used: %2.").arg(folder, why));
    };
    QString why;
    const auto bytes = readPlainFile(
        QDir(folder).filePath(QString::fromLatin1(kAbout)), kMostAboutBytes, Links::Refuse, &why);
    if (!bytes)
        damaged(QStringLiteral("its description cannot be read (%1)").arg(why));
    const QJsonObject about = QJsonDocument::fromJson(*bytes).object();
    const QJsonArray present = about.value(QStringLiteral("bookmarks")).toArray();
    if (present.isEmpty() || !about.value(QStringLiteral("source")).isString())
        damaged(QStringLiteral("its description is damaged"));
    auto ownTemplate = std::make_shared<OwnTemplate>();
    ownTemplate->folder = folder;
    ownTemplate->source = about.value(QStringLiteral("source")).toString();
    ownTemplate->hash = about.value(QStringLiteral("sha256")).toString().toLatin1();
    for (const QJsonValue &removed : about.value(QStringLiteral("removed")).toArray())
        ownTemplate->removed << removed.toString();
    for (const MemoField *field : allFields()) {
        if (!present.contains(QString::fromLatin1(field->bookmark)))
            ownTemplate->leavesOut |= fieldBit(field->control);
    }
    const QFileInfo wordTemplate(ownTemplate->wordTemplate());
    if (!wordTemplate.isFile() || wordTemplate.isSymLink())
        damaged(QStringLiteral("its Word template is missing"));
    return ownTemplate;
}

OwnTemplatePointer checked(const QString &file, const std::function<WordSession &()> &word)
{
    const QByteArray bytes = readFile(file);
    const QString folder
        = checkedFolder(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    try {
        if (OwnTemplatePointer known = kept(folder)) {
            // Known by its content; said by the name it was given this time.
            auto named = std::make_shared<OwnTemplate>(*known);
            named->source = file;
            return named;
        }
    } catch (const Failure &) {
        // Checked again, and kept anew.
    }
    return make(word, file, bytes, folder, PackageForms::Made);
}

QString formFile(const OwnTemplate &ownTemplate, DocumentFormat format)
{
    if (format == DocumentFormat::Doc || format == DocumentFormat::Pdf)
        return ownTemplate.wordTemplate();
    return QDir(ownTemplate.folder)
        .filePath(QStringLiteral("template.") + documentFormatName(format));
}

QString form(const OwnTemplate &ownTemplate, DocumentFormat format,
    const std::function<WordSession &()> &word)
{
    const QString path = formFile(ownTemplate, format);
    if (QFileInfo(path).isFile())
        return path;
    // Made beside it and renamed into place: another command may make it at once.
    QTemporaryDir made(ownTemplate.folder + QStringLiteral("/.form-XXXXXX"));
    if (!made.isValid())
        fail(QStringLiteral("The %1 form of the template could not be made: %2")
                 .arg(documentFormatName(format).toUpper(), made.errorString()));
    const QString written = made.filePath(QFileInfo(path).fileName());
    writePackageForms(word(), ownTemplate.wordTemplate(), { { format, written } });
    if (std::rename(encodeFileName(written).constData(), encodeFileName(path).constData()) != 0)
        fail(QStringLiteral("The %1 form of the template could not be kept in \"%2\": %3")
                 .arg(documentFormatName(format).toUpper(), path, systemError()));
    return path;
}

QString styleFolder(int style)
{
    return scrivaneFolder(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/style-%1").arg(style);
}

QString checkedFolder(const QByteArray &hash)
{
    return scrivaneFolder(QStandardPaths::GenericCacheLocation) + QLatin1Char('/')
        + QString::fromLatin1(hash);
}

QString findingsText(const OwnTemplate &ownTemplate)
{
    QStringList printed;
    for (const MemoField *field : allFields()) {
        if ((ownTemplate.leavesOut & fieldBit(field->control)) == 0)
            printed << QString::fromLatin1(field->name);
    }
    QString text = QStringLiteral("It prints: %1.").arg(printed.join(QStringLiteral(", ")));
    if (ownTemplate.leavesOut != 0)
        text += QLatin1Char(' ') + leavesOutSentence(ownTemplate.leavesOut);
    if (!ownTemplate.removed.isEmpty())
        text += QStringLiteral(" Taken out of it, as Scrivane never follows a template's links "
                               "or runs its macros: %1.")
                    .arg(ownTemplate.removed.join(QStringLiteral(", ")));
    return text;
}

} // namespace OwnTemplates

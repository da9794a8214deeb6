#pragma once

#include "WordSession.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// A template of the user's own, made safe and kept in a folder of Scrivane's: from then
// on a memo of it is made as one of a built-in template, from its Word 97-2003 form, and
// the user's file is never read again. A later change or move of that file changes
// nothing until it is chosen again.
struct OwnTemplate
{
    // Holds "template.dot", its "template.docx" and "template.odt" forms, and "about.json".
    QString folder;
    // The user's file as it was chosen, and its SHA-256 (hex): what it is known by.
    QString source;
    QByteArray hash;
    // The fields whose bookmark it lacks, as the bits of fieldBit().
    unsigned leavesOut = 0;
    // What was taken out of it when it was made safe, in words.
    QStringList removed;

    // The name of the user's file, to show.
    QString fileName() const;
    // Its Word 97-2003 form, for the word processor.
    QString wordTemplate() const;
};

using OwnTemplatePointer = std::shared_ptr<const OwnTemplate>;

namespace OwnTemplates {

// What a template may be at most. A letterhead is a page or two with a logo; these are
// far above that and far below what would keep the word processor busy for long.
inline constexpr qint64 kMostBytes = 20 * 1024 * 1024;
inline constexpr int kMostPages = 10;
inline constexpr qint64 kMostPicturePixels = 40'000'000;

// The bytes of the user's file, read once: a plain file of at most kMostBytes, never a
// pipe or device. Throws TemplateRefused saying why not.
QByteArray readFile(const QString &file);

// Checks the bytes of the user's file `source` and keeps them, made safe, in the folder,
// replacing what was there: the kind taken from the content, opened by the word
// processor `word` gives (asked for only then) from a copy of Scrivane's own with macros
// off and links blocked, every link and macro taken out, and saved as a Word 97-2003
// template. Throws TemplateRefused saying why it cannot be a template (including "it
// holds none of the bookmarks"), Failure when the word processor or the folder fails;
// the folder is then as it was. With PackageForms::Made its DOCX and ODT forms are made
// at the same visit (the command line, whose memos follow at once); the window answers
// sooner without them, and form() makes one when a memo first needs it.
enum class PackageForms { Made, WhenNeeded };
OwnTemplatePointer make(const std::function<WordSession &()> &word, const QString &source,
    const QByteArray &bytes, const QString &folder, PackageForms forms);

// The template in the file, for the command line: checked once per content, through the
// word processor `word` gives only when it was not checked before, and kept by its
// SHA-256 under checkedFolder(). Throws as readFile and make do.
OwnTemplatePointer checked(const QString &file, const std::function<WordSession &()> &word);

// The template kept in the folder; null when none is kept there. Throws Failure when
// what is there is damaged.
OwnTemplatePointer kept(const QString &folder);

// Where the template's form for a memo in that format is kept: its Word template for
// Word documents and PDF, its DOCX or ODT form (filled without the word processor) for
// those.
QString formFile(const OwnTemplate &ownTemplate, DocumentFormat format);

// formFile(), made first from the Word template by the word processor `word` gives when
// it is missing (not made at the check, kept by an earlier version, or removed by a
// cleaner).
// Throws Failure.
QString form(const OwnTemplate &ownTemplate, DocumentFormat format,
    const std::function<WordSession &()> &word);

// The user's own folder of Scrivane's data ($XDG_DATA_HOME/Tarnwick/Scrivane), where
// the window keeps each style's template: "templates/style-0" to "templates/style-4".
QString styleFolder(int style);
// Where the command line keeps the templates it checked, each under its file's SHA-256
// ($XDG_CACHE_HOME/Tarnwick/Scrivane/templates/<hash>), so that a batch or the next
// command checks a template only once.
QString checkedFolder(const QByteArray &hash);

// Which fields the template prints and which it leaves out, in one sentence each.
QString findingsText(const OwnTemplate &ownTemplate);

} // namespace OwnTemplates

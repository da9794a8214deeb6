#pragma once

#include "MemoProperties.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>

#include <utility>

// The XML parts of a zipped document (DOCX or ODT) changed the way the office changes
// them when it fills a template's bookmarks and saves it in that format. The only file
// that includes libxml2 (Debian's libxml2: the parser the office's own filters build
// on, kept up, with a tree to edit and a serialiser that writes what it read). Every
// function throws Failure saying what is wrong with the part it was given.
namespace DocumentXml {

enum class Dialect {
    OpenDocument, // an ODT's content.xml
    Wordprocessing, // a DOCX's word/document.xml
};

// The body with each bookmark's range replaced by its text, as the office writes it:
// each line of the text after the first starts a paragraph like the bookmark's own
// (so continuation lines keep to its column), tabs stay tabs, and what a Word document
// cannot hold is left out (wordText, and U+FFFE and U+FFFF, which XML cannot hold).
// The bookmark then spans its text. `what` names the part in failures.
QByteArray filledBody(const QByteArray &xml, Dialect dialect,
    const QList<std::pair<QString, QString>> &writes, const QString &what);

// The part with each of the writes whose bookmark it holds filled as filledBody fills
// it, unless `filled` names it already; those it filled are added to `filled`. For a
// template of the user's own, whose bookmarks may be in its body, headers or footers.
QByteArray filledWhereHeld(const QByteArray &xml, Dialect dialect,
    const QList<std::pair<QString, QString>> &writes, const QString &what, QSet<QString> &filled);

// A DOCX part whose drawings placed on the page stand after the text of the runs that
// follow them in their paragraph: the office writes such a drawing before its line's
// text, and AbiWord then sets that text on a line of its own without its look.
QByteArray withPlacedDrawingsAfterText(const QByteArray &xml, const QString &what);

// A header, footer or styles part whose chapter fields (Word's STYLEREF 1, ODF's
// text:chapter of level 1) show `text`, the memo's heading (its date), as the office's
// layout leaves them when it saves: a reader that shows a field's saved result, rather
// than laying the memo out again, then finds the date on every page.
QByteArray withChapterText(
    const QByteArray &xml, Dialect dialect, const QString &text, const QString &what);

// An ODT's meta.xml describing the memo: title, subject, author and company as the
// office sets them, created and modified `now`; the template's own description,
// statistics and links gone.
QByteArray openDocumentMeta(
    const QByteArray &xml, const MemoProperties &memo, const QDateTime &now);

// A DOCX's docProps/core.xml likewise.
QByteArray coreProperties(const QByteArray &xml, const MemoProperties &memo, const QDateTime &now);

// A DOCX's docProps/app.xml with the memo's company, and no statistics of the template.
QByteArray appProperties(const QByteArray &xml, const QString &company);

// An ODT's META-INF/manifest.xml without the entry of the part at that path.
QByteArray withoutManifestEntry(const QByteArray &xml, const QString &path);

} // namespace DocumentXml

#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QThread;

// A picture of a document shows at most this many pages: eight pages at the preview's
// sharpness are some 120 MB, under the 128 MB that Qt reads back of a picture file, and
// a memo of hundreds would not fit in memory.
inline constexpr int kMostPicturePages = 8;

// The kinds of file a session can write: the Word 97-2003 document is the memo itself,
// the others are the same document through the word processor's export filters.
enum class DocumentFormat { Doc, Docx, Odt, Pdf };

// "doc", "docx", "odt", "pdf": the format's name and its files' extension.
QString documentFormatName(DocumentFormat format);
// The format of that name, any case; none for another name.
std::optional<DocumentFormat> documentFormatNamed(const QString &name);

// The kinds of document a template of the user's may be: Word 97-2003 (.doc, .dot),
// Word's XML (.docx, .dotx) and OpenDocument text (.odt, .ott).
enum class TemplateKind { Word97, WordXml, OpenDocument };

// What a template of the user's may hold at most, beyond which it is refused.
struct TemplateLimits
{
    int pages = 0;
    qint64 picturePixels = 0;
};

// What a template of the user's held once it was made safe to use.
struct TemplateFindings
{
    // Every bookmark it holds, in the body, tables, headers, footers or frames.
    QStringList bookmarks;
    // What was taken out of it, in words ("a picture linked to a file"), once each.
    QStringList removed;
};

// One word processor application of Scrivane's own, from create to quit. Every
// operation is one call; a failed call throws Failure with a text for the error
// report (what failed, on which file or bookmark, and the word processor's words).
class WordSession
{
public:
    virtual ~WordSession() = default;

    // Opens the file; the document becomes the active document.
    virtual void open(const QString &path, bool readOnly) = 0;
    // Opens a template read-only to fill it, as open(path, true) does. A word processor
    // may keep it open after close() for the next memo of the same file, whose
    // bookmark writes then replace exactly what this one wrote.
    virtual void openTemplate(const QString &path) { open(path, true); }
    // Replaces the whole range of the active document's bookmark; a line break
    // in the text starts a new paragraph.
    virtual void setBookmarkText(const QString &bookmark, const QString &text) = 0;
    // Saves the opened document as a Word 97-2003 document at the path.
    virtual void saveAs(const QString &path) = 0;
    // Writes the opened document at the path in the format given; the document
    // stays open and unchanged. A word processor that writes only Word documents
    // refuses the other formats.
    virtual void exportAs(const QString &path, DocumentFormat format);
    virtual void setDisplayAlerts(bool displayAlerts) = 0;
    // Closes the opened document.
    virtual void close() = 0;
    // One picture of the opened document's first pages, at most kMostPicturePages of
    // them, handed to the caller: the user's clipboard is never touched. The picture's
    // text "pages" says how many pages the document has.
    virtual QImage copyAsPicture() = 0;
    // Closes the active document, discarding any change, without a prompt.
    virtual void closeActiveDocumentWithoutSaving() = 0;
    // Done with the word processor: it ends, or waits hidden for the next session.
    virtual void quit() = 0;
    // False once the word processor has ended or hung: nothing more can be done in it.
    virtual bool isRunning() const { return true; }
    // How many pages the opened document has as the word processor lays it out; 0 when
    // it cannot say.
    virtual int pageCount() { return 0; }
    // Ends the word processor at once, also while a call into it waits on this thread's
    // stack, which then fails: for a run the user stops. quit still follows.
    virtual void abort() { }
    // Waits until the word processor of a session started ahead answers; throws Failure
    // when it could not start.
    virtual void ready() { }
    // Opens a template the user handed in, which nobody vouches for: none of its macros
    // runs and nothing it names outside itself is read. Takes out every link and macro,
    // and saves what is left as a Word 97-2003 template at destination. Throws
    // TemplateRefused saying why the file cannot be a template (not a text document,
    // damaged, past a limit), and Failure when the word processor fails. One that cannot
    // do this refuses every template.
    virtual TemplateFindings makeTemplateSafe(const QString &source, TemplateKind kind,
        const QString &destination, const TemplateLimits &limits);
};

// Creates sessions: each one a new word processor application, never one the user runs.
class WordProcessor
{
public:
    virtual ~WordProcessor() = default;

    // Throws Failure when the word processor cannot be started.
    virtual std::unique_ptr<WordSession> create() = 0;
    // A session whose word processor starts in the background, for one that will be
    // needed soon; its first operation, or ready(), waits for it. A word processor that
    // cannot start in the background starts it now.
    virtual std::unique_ptr<WordSession> createAhead() { return create(); }
};

// What a word processor may have beside WordProcessor: one started, hidden, between
// sessions, lent for short work on another thread (the style buttons' pictures). One
// without it gives words where the pictures would be.
class SpareLending
{
public:
    virtual ~SpareLending() = default;

    // The spare, watched from this thread, lent to work on the WorkThread `worker`:
    // the session's quit hands it back to this thread. Null when there is none now.
    virtual std::unique_ptr<WordSession> lendSpare(QThread *worker) = 0;
    // A folder of the word processor's own for work files, never the temporary folder
    // or the user's; empty when it has none.
    virtual QString workRoot() const = 0;
};

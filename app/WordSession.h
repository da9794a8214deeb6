#pragma once

#include <QString>

#include <memory>

// One word processor application of Scrivane's own, from create to quit. Every
// operation is one call; a failed call throws Failure with a text for the error
// report (what failed, on which file or bookmark, and the word processor's words).
class WordSession
{
public:
    virtual ~WordSession() = default;

    // Opens the file; the document becomes the active document.
    virtual void open(const QString &path, bool readOnly) = 0;
    // Replaces the whole range of the active document's bookmark; a line break
    // in the text starts a new paragraph.
    virtual void setBookmarkText(const QString &bookmark, const QString &text) = 0;
    // Saves the opened document as a Word 97-2003 document at the path.
    virtual void saveAs(const QString &path) = 0;
    virtual void setDisplayAlerts(bool displayAlerts) = 0;
    // Closes the opened document.
    virtual void close() = 0;
    // Puts one picture of the opened document's pages on the clipboard.
    virtual void copyAsPicture() = 0;
    // Closes the active document, discarding any change, without a prompt.
    virtual void closeActiveDocumentWithoutSaving() = 0;
    // Ends the word processor; nothing of it outlives this call.
    virtual void quit() = 0;
};

// Creates sessions: each one a new word processor application, never one the user runs.
class WordProcessor
{
public:
    virtual ~WordProcessor() = default;

    // Throws Failure when the word processor cannot be started.
    virtual std::unique_ptr<WordSession> create() = 0;

    // A hint that the next `count` sessions will be created one after the other, so
    // that they may be started together. Ignoring it is always right.
    virtual void expectSessions(int count) { (void)count; }
};

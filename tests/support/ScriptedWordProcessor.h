#pragma once

#include "Failure.h"
#include "WordSession.h"

#include <QFile>
#include <QImage>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// A word processor that writes down every call and fails on request, for the
// routines that drive one. Operation names: create, open, setBookmarkText,
// saveAs, exportAs, setDisplayAlerts, close, copyAsPicture, closeActiveDocumentWithoutSaving,
// quit; a bookmark name fails only that bookmark's write. An operation named in
// `losing` fails and takes the word processor with it: every later call fails too.
class ScriptedWordProcessor : public WordProcessor
{
public:
    QStringList calls;
    QSet<QString> failing;
    QSet<QString> losing;
    // What copyAsPicture gives, and how many pages pageCount says the memo has.
    QImage picture;
    int pages = 0;
    // Runs at create, e.g. to click the button again while a run is under way.
    std::function<void()> onCreate;
    // Runs at open with the path, e.g. to look at the file being opened.
    std::function<void(const QString &)> onOpen;
    bool lost = false;
    int sessionsCreated = 0;
    int sessionsAlive = 0;

    std::unique_ptr<WordSession> create() override;

    void check(const QString &operation, const QString &detail = {})
    {
        if (losing.contains(operation) || (!detail.isEmpty() && losing.contains(detail)))
            lost = true;
        if (lost)
            fail(QStringLiteral("The word processor ended unexpectedly."));
        if (failing.contains(operation) || (!detail.isEmpty() && failing.contains(detail)))
            fail(QStringLiteral("The word processor refused %1 %2")
                     .arg(operation, detail)
                     .trimmed());
    }
};

class ScriptedWordSession : public WordSession
{
public:
    explicit ScriptedWordSession(ScriptedWordProcessor &processor)
        : mProcessor(processor)
    {
        ++mProcessor.sessionsAlive;
    }
    ~ScriptedWordSession() override { --mProcessor.sessionsAlive; }

    void open(const QString &path, bool readOnly) override
    {
        record(QStringLiteral("open %1%2")
                   .arg(path, readOnly ? QStringLiteral(" read-only") : QString()));
        mProcessor.check(QStringLiteral("open"));
        if (mProcessor.onOpen)
            mProcessor.onOpen(path);
        if (!QFile::exists(path))
            fail(QStringLiteral("%1 could not be opened: no such file").arg(path));
        mOpen = true;
    }
    void setBookmarkText(const QString &bookmark, const QString &text) override
    {
        record(QStringLiteral("setBookmarkText %1=%2").arg(bookmark, text));
        mProcessor.check(QStringLiteral("setBookmarkText"), bookmark);
        requireDocument();
    }
    void saveAs(const QString &path) override
    {
        record(QStringLiteral("saveAs %1").arg(path));
        mProcessor.check(QStringLiteral("saveAs"));
        requireDocument();
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            fail(QStringLiteral("%1 could not be saved").arg(path));
        file.write("scripted memo");
    }
    void exportAs(const QString &path, DocumentFormat format) override
    {
        if (format == DocumentFormat::Doc)
            return saveAs(path);
        record(QStringLiteral("exportAs %1 %2").arg(path, documentFormatName(format)));
        mProcessor.check(QStringLiteral("exportAs"));
        requireDocument();
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            fail(QStringLiteral("%1 could not be exported").arg(path));
        file.write("scripted export");
    }
    void setDisplayAlerts(bool on) override
    {
        record(QStringLiteral("setDisplayAlerts %1")
                   .arg(on ? QStringLiteral("true") : QStringLiteral("false")));
        mProcessor.check(QStringLiteral("setDisplayAlerts"));
    }
    void close() override
    {
        record(QStringLiteral("close"));
        mProcessor.check(QStringLiteral("close"));
        requireDocument();
        mOpen = false;
    }
    QImage copyAsPicture() override
    {
        record(QStringLiteral("copyAsPicture"));
        mProcessor.check(QStringLiteral("copyAsPicture"));
        requireDocument();
        return mProcessor.picture;
    }
    void closeActiveDocumentWithoutSaving() override
    {
        record(QStringLiteral("closeActiveDocumentWithoutSaving"));
        mProcessor.check(QStringLiteral("closeActiveDocumentWithoutSaving"));
        requireDocument();
        mOpen = false;
    }
    void quit() override
    {
        record(QStringLiteral("quit"));
        mProcessor.check(QStringLiteral("quit"));
    }
    bool isRunning() const override { return !mProcessor.lost; }
    int pageCount() override
    {
        record(QStringLiteral("pageCount"));
        return mProcessor.pages;
    }

private:
    void record(const QString &call) { mProcessor.calls << call; }
    void requireDocument()
    {
        if (!mOpen)
            fail(QStringLiteral("No document is open."));
    }

    ScriptedWordProcessor &mProcessor;
    bool mOpen = false;
};

inline std::unique_ptr<WordSession> ScriptedWordProcessor::create()
{
    calls << QStringLiteral("create");
    if (onCreate)
        onCreate();
    // A lost word processor is replaced by the next one started.
    lost = false;
    check(QStringLiteral("create"));
    ++sessionsCreated;
    return std::make_unique<ScriptedWordSession>(*this);
}

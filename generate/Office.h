#pragma once

#include "LibreOfficeProcessor.h"
#include "OfficeProcess.h"
#include "Processes.h"
#include "WorkThread.h"

#include <QHash>
#include <QImage>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

struct UnoObjects;

// One office process of ours and our end of UNO to it. Sessions borrow it one at a
// time; between them it waits as the processor's spare. Its calls run on its own
// WorkThread, against a deadline. Defined in Office.cpp (documents) and
// OfficeConnection.cpp (connection and calls), which with OfficeTemplates.cpp are the
// only files that include the office's API.
class Office
{
public:
    // Starts the office without waiting for it.
    explicit Office(const LibreOfficeProcessor::Settings &settings);
    // Ends the office: asked to end, then killed if it will not.
    ~Office();

    Office(const Office &) = delete;
    Office &operator=(const Office &) = delete;

    // Waits until the office answers; throws Failure saying why it could not start.
    void connect();
    bool isConnected() const { return mConnected; }
    bool isWatchedHere() const { return mProcess->isWatchedHere(); }
    void watchFrom(QThread *thread) { mProcess->watchFrom(thread); }
    // True when the office answers a trivial call within the time; one that does not
    // is ended at once.
    bool answers(std::chrono::milliseconds time);
    bool isBroken() const { return !mBroken.isEmpty(); }
    const QString &brokenReason() const { return mBroken; }
    bool hasDocument() const;

    void open(const QString &path, bool readOnly);
    // Opens the template for a memo, read-only, and keeps it open for the next memo of
    // the same file: its bookmarks are then refilled, each with exactly what the last
    // memo wrote replaced, so the office neither loads nor lays out the template again.
    // close() keeps it; closeActiveDocumentWithoutSaving() ends it.
    void openTemplate(const QString &path);
    // Closes the templates kept open.
    void closeKeptDocuments();
    void setBookmarkText(const QString &bookmark, const QString &text);
    void exportAs(const QString &path, DocumentFormat format);
    void close();
    TemplateFindings makeTemplateSafe(const QString &source, TemplateKind kind,
        const QString &destination, const TemplateLimits &limits);
    QImage copyAsPicture();
    void closeActiveDocumentWithoutSaving();
    // The opened document's pages as laid out; 0 when the office cannot say.
    int pageCount();
    // Ends the office at once, also while a call waits for it on this thread's stack:
    // the call then fails, and nothing more can be done in this office.
    void kill();

    qint64 processId() const { return mProcess->processId(); }
    QString profileFolder() const { return mProcess->profileFolder(); }

private:
    bool tryConnect(const QString &pipeName, std::chrono::milliseconds timeLeft);
    // Runs one operation in the office within the call timeout; `what` names it in
    // the failure text ("open \"/tmp/template.dot\"").
    void call(const QString &what, std::function<void(UnoObjects &)> operation);
    // Ends the office at once, and clears what it leaves behind beside documents.
    void killOffice();
    // Removes the lock files this office left beside the documents it held.
    void removeLockFiles();

    LibreOfficeProcessor::Settings mSettings;
    std::shared_ptr<UnoObjects> mUno;
    WorkThread mCalls;
    std::unique_ptr<OfficeProcess> mProcess;
    // Documents the office may hold a lock file for: opened for editing or saved.
    QStringList mDocuments;
    // What the open document's bookmarks were given, for its properties at the save.
    QHash<QString, QString> mBookmarkTexts;
    // The length of the text being filled in now.
    qsizetype mFillingCharacters = 0;
    // mBroken says all, in the user's words, with no operation before it.
    bool mTooLong = false;
    // Why the office can do nothing more; empty while it works.
    QString mBroken;
    bool mConnected = false;
    // Whether the starting office (by its process id) still works, when frozenAfter asks.
    std::optional<std::pair<qint64, StallWatch>> mStartWatch;
    // A call waiting for the office: asking it to end would only queue behind it.
    bool mCalling = false;
};

#pragma once

class QThread;

#include "WordSession.h"

#include <QString>

#include <chrono>
#include <memory>
#include <mutex>

class SparePool;

// A session of LibreOffice, with what tests and diagnostics may ask of it beyond
// the word processor's own operations.
class OfficeSession : public WordSession
{
public:
    // The soffice.bin process the session started (its id stays known after it ended).
    virtual qint64 processId() const = 0;
    virtual QString profileFolder() const = 0;
    // Quits and ends the office instead of keeping it as the next session's spare:
    // for an office that has grown too large.
    virtual void retire() = 0;
};

// Word processing by LibreOffice Writer, driven over UNO, in office processes of
// Scrivane's own with private profiles, so a LibreOffice the user runs is never
// reached, given work or ended. The office a session quits stays running, hidden, as
// the spare that the next session takes; so does the start-up check's.
class LibreOfficeProcessor : public WordProcessor, public SpareLending
{
public:
    struct Settings
    {
        // soffice.bin and its type libraries.
        QString programFolder;
        // Profiles are kept here between sessions, so later starts are fast.
        QString profileRoot;
        // Longest wait for one operation before the office is taken as hung and ended.
        std::chrono::milliseconds callTimeout;
        // Longest wait for a starting office to answer.
        std::chrono::milliseconds connectTimeout;
        // An office that uses no processor time for this long while it works on a call
        // is taken as frozen and ended at once; 0 leaves it to the call timeout.
        std::chrono::milliseconds frozenAfter {};
    };

    // $SCRIVANE_OFFICE_PROGRAM or Debian's LibreOffice; profiles in the user's cache.
    static Settings defaultSettings();

    LibreOfficeProcessor();
    explicit LibreOfficeProcessor(Settings settings);
    // Ends the spare office.
    ~LibreOfficeProcessor() override;

    // Takes the spare office, or starts one when there is none or it died or hangs.
    // Throws Failure when no office could be started within the connect timeout.
    // Called on a WorkThread, it has the application's thread start the office (the
    // rule in WorkThread.h), so that thread must be taking events.
    std::unique_ptr<WordSession> create() override;
    // A new office, forked now and waited for at its first use; never the spare, which
    // another thread may be watching.
    std::unique_ptr<WordSession> createAhead() override;

    std::unique_ptr<WordSession> lendSpare(QThread *worker) override;
    // The offices' profiles' folder.
    QString workRoot() const override { return mSettings.profileRoot; }

    // Ends the spare office now, for a program that ends without destructors; sessions
    // still out end their offices at quit.
    void shutDown();

    const Settings &settings() const { return mSettings; }

private:
    Settings mSettings;
    std::shared_ptr<SparePool> mPool;
};

#pragma once

#include "WordSession.h"

#include <QString>

#include <chrono>
#include <memory>
#include <mutex>

class OfficeProcess;

// A session of LibreOffice, with what tests and diagnostics may ask of it beyond
// the word processor's own operations.
class OfficeSession : public WordSession
{
public:
    // The soffice.bin process the session started (its id stays known after it ended).
    virtual qint64 processId() const = 0;
    virtual QString profileFolder() const = 0;
};

// Word processing by LibreOffice Writer, driven over UNO: every session starts an
// office process of its own in a private profile and ends it at quit, so a
// LibreOffice the user runs is never reached, given work or ended.
class LibreOfficeProcessor : public WordProcessor
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
    };

    // $SCRIVANE_OFFICE_PROGRAM or Debian's LibreOffice; profiles in the user's cache.
    static Settings defaultSettings();

    LibreOfficeProcessor();
    explicit LibreOfficeProcessor(Settings settings);
    // Ends an office started ahead that no session took.
    ~LibreOfficeProcessor() override;

    // Throws Failure when no office could be started within the connect timeout.
    // Called on another thread, it has the application's thread start the office (the
    // office dies with the thread that started it), so that thread must be taking events.
    std::unique_ptr<WordSession> create() override;

    // With more than one session expected, the first create() also starts the next
    // session's office, which the next create() takes.
    void expectSessions(int count) override;

    const Settings &settings() const { return mSettings; }

private:
    Settings mSettings;
    // Sessions may be created on several threads at once.
    std::mutex mSpareLock;
    int mExpectedSessions = 0;
    std::unique_ptr<OfficeProcess> mSpare;
};

#pragma once

class QThread;

#include <QString>

#include <chrono>
#include <functional>
#include <memory>

class FileLock;
class QProcess;

// One soffice.bin of Scrivane's own: a child of this program that dies with it, in a
// private profile that no other office uses at the same time, listening on a pipe
// of its own. Nothing here speaks UNO; the caller's connect function does.
class OfficeProcess
{
public:
    struct Options
    {
        QString programFolder;
        QString profileRoot;
        std::chrono::milliseconds connectTimeout;
    };

    // Tries once to reach the office on the pipe within the time given: true when
    // connected, false when the office does not answer yet. Throws to give up.
    using Connect
        = std::function<bool(const QString &pipeName, std::chrono::milliseconds timeLeft)>;

    // Starts the office and waits until connect succeeds; throws Failure saying why
    // the office could not be started.
    OfficeProcess(const Options &options, const Connect &connect);
    // Starts the office without waiting for it; connect() waits for it later.
    explicit OfficeProcess(const Options &options);
    // Ends the office if it still runs, and frees its profile.
    ~OfficeProcess();

    OfficeProcess(const OfficeProcess &) = delete;
    OfficeProcess &operator=(const OfficeProcess &) = delete;

    // Waits until connect succeeds, starting the office again when a new profile asks
    // for it and once in a fresh profile when this one will not start; throws Failure.
    void connect(const Connect &connect);

    qint64 processId() const { return mProcessId; }
    QString profileFolder() const { return mProfileFolder; }

    // Whether the process is watched from the calling thread: Qt lets only that thread
    // wait for it and end it.
    bool isWatchedHere() const;
    // Hands the watching to another thread; called on the thread that watches it now.
    void watchFrom(QThread *thread);

    // True when the office has ended within the time given.
    bool waitForEnd(std::chrono::milliseconds time);
    // Ends the office at once and waits until it is gone, its pipes with it.
    void kill();

private:
    enum class Start { Connected, Restart, Ended };

    void lockProfile();
    void setProfileAside();
    void launch();
    Start waitUntilConnected(const Connect &connect);
    QString endDescription() const;
    void stopProcess();
    QString profileUrl() const;
    QString temporaryFolder() const;
    // An office that was killed or crashed leaves its pipes behind as files.
    void removePipesLeftBehind() const;

    Options mOptions;
    QString mProfileFolder;
    QString mPipeName;
    std::unique_ptr<FileLock> mProfileLock;
    std::unique_ptr<QProcess> mProcess;
    qint64 mProcessId = 0;
    // Its note for an end of the program that runs no destructor.
    int mNote = -1;
    // Only a profile from an earlier start can be what stops the office; one made now
    // cannot, and setting it aside would only pile up copies when the office is broken.
    bool mProfileSetAside = false;
};

// "1 second", "2.5 seconds", "60 seconds".
QString secondsText(std::chrono::milliseconds time);

// Removes the lock file that the office keeps beside a document open for editing, if it
// is the one of the office in this profile.
void removeLockFileOf(const QString &document, const QString &profileFolder);

// Why the office could not store to path, when the folder tells (a full disk, a folder
// that cannot be written); empty when it does not.
QString storeFailure(const QString &path);

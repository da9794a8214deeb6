#pragma once

#include <QString>

#include <functional>
#include <memory>

// The per-user settings: application "Tarnwick", section "Scrivane", one text per key.
// Every read sees the file as it is now (another running copy's writes included) and
// every SaveSetting is on disk when the call returns.
class SettingsStore
{
public:
    static constexpr auto kApplication = "Tarnwick";
    static constexpr auto kSection = "Scrivane";

    // The user's own store.
    SettingsStore();
    // A store in the given file; tests point this at a temporary folder.
    explicit SettingsStore(QString fileName);
    // Writes what was saved soon before it goes.
    ~SettingsStore();

    SettingsStore(const SettingsStore &) = delete;
    SettingsStore &operator=(const SettingsStore &) = delete;

    // The stored text, or defaultValue when the key was never written.
    QString GetSetting(const QString &key, const QString &defaultValue = {}) const;
    // Throws Failure when the value cannot be made durable.
    void SaveSetting(const QString &key, const QString &value);

    // For every keystroke: the value goes to disk on the store's own thread within
    // moments, and values saved while a write is under way go together in the next
    // one, so a large field costs the typist nothing. Reads see it at once.
    void SaveSettingSoon(const QString &key, const QString &value);
    // Called on the store's thread after each write of SaveSettingSoon, with the reason
    // when it failed and empty text when it succeeded.
    void onSoonWritten(std::function<void(const QString &failure)> handler);
    // True while values saved soon are still on their way to disk.
    bool isWritingSoon() const;
    // Waits until everything saved soon is on disk; throws Failure when it is not.
    void flush();

    // Why the stored values cannot be read, in the user's words; empty when they can
    // (or when nothing has been stored yet).
    QString readProblem() const;

    const QString &fileName() const { return mFileName; }

private:
    struct Snapshot;
    struct Writer;

    std::shared_ptr<const Snapshot> snapshot() const;

    QString mFileName;
    mutable std::shared_ptr<const Snapshot> mSnapshot;
    std::function<void(const QString &)> mOnSoonWritten;
    std::unique_ptr<Writer> mWriter;
};

#pragma once

#include <QString>

// The per-user settings: application "Tarnwick", section "Scrivane", one text per key.
// Every read goes to the file and every write is on disk when the call returns,
// so another running copy sees it at once.
class SettingsStore
{
public:
    static constexpr auto kApplication = "Tarnwick";
    static constexpr auto kSection = "Scrivane";

    // The user's own store.
    SettingsStore();
    // A store in the given file; tests point this at a temporary folder.
    explicit SettingsStore(QString fileName);

    // The stored text, or defaultValue when the key was never written.
    QString GetSetting(const QString &key, const QString &defaultValue = {}) const;
    // Throws Failure when the value cannot be made durable.
    void SaveSetting(const QString &key, const QString &value);

    const QString &fileName() const { return mFileName; }

private:
    QString mFileName;
};

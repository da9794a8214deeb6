#pragma once

#include <QString>

class SettingsStore;

// Where the Save dialog opens: the folder of the last save while it exists, else the
// user's Documents folder, else home. Without a store, never the last save's.
QString saveDialogFolder(const SettingsStore *settings);

// Remembers the saved file's folder for the next Save dialog; a store that cannot
// be written only costs the user that convenience.
void rememberSaveFolder(SettingsStore *settings, const QString &savedFile);

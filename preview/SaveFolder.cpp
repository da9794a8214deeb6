#include "SaveFolder.h"

#include "SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <exception>

namespace {
constexpr auto kLastSaveFolder = "lastSaveFolder";

bool isFolder(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}
} // namespace

QString saveDialogFolder(const SettingsStore *settings)
{
    if (settings) {
        const QString last = settings->GetSetting(QString::fromLatin1(kLastSaveFolder));
        if (isFolder(last))
            return last;
    }
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    // Without a Documents folder Qt names home itself; either way it must exist.
    if (isFolder(documents))
        return documents;
    return QDir::homePath();
}

void rememberSaveFolder(SettingsStore *settings, const QString &savedFile)
{
    if (!settings)
        return;
    try {
        settings->SaveSetting(
            QString::fromLatin1(kLastSaveFolder), QFileInfo(savedFile).absolutePath());
    } catch (const std::exception &) { }
}

#pragma once

#include "ScriptedWordProcessor.h"
#include "SettingsStore.h"
#include "TestFiles.h"

#include <QDir>
#include <QLocale>
#include <QTemporaryDir>

#include <optional>

// What each command-line test starts from: English month names, a new temporary folder
// with the settings file in it, and a fresh scripted word processor.
class CommandLineSetUp
{
protected:
    // Called from init(); false when no temporary folder can be made.
    bool renewSetUp()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        if (!renewFolder(mTemporary, mDir))
            return false;
        mStore.emplace(mDir.filePath(QStringLiteral("Tarnwick.conf")));
        mWord = ScriptedWordProcessor();
        return true;
    }

    std::optional<QTemporaryDir> mTemporary;
    QDir mDir;
    std::optional<SettingsStore> mStore;
    ScriptedWordProcessor mWord;
};

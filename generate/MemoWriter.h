#pragma once

#include "MemoDetails.h"

#include <QString>
#include <QTemporaryDir>

#include <map>
#include <memory>

class WordProcessor;
class WordSession;

// Writes memos without the windows, all through one word processor session: the
// same template, bookmark writes and texts as "Start Creating Template". A memo
// either is written whole or fails with a Failure and leaves no file behind.
class MemoWriter
{
public:
    explicit MemoWriter(WordProcessor &word);
    ~MemoWriter();

    // Writes the memo as a Word document at documentPath and, when picturePath is
    // given, its page picture as a PNG file there.
    void write(
        const MemoDetails &memo, const QString &documentPath, const QString &picturePath = {});

    // Ends the word processor; the destructor does it too.
    void finish();

private:
    WordSession &session();
    QString templateFile(int style);
    void discardSession();

    WordProcessor &mWord;
    std::unique_ptr<WordSession> mSession;
    QTemporaryDir mWorkFolder;
    std::map<int, QString> mTemplates;
};

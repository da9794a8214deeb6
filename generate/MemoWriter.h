#pragma once

#include "MemoDetails.h"
#include "OwnTemplate.h"
#include "WordSession.h"

#include <QString>
#include <QTemporaryDir>

#include <map>
#include <memory>

class WordProcessor;

// Writes memos without the windows, all through one word processor session: the
// same template, bookmark writes and texts as "Start Creating Template". DOCX and ODT
// are filled without it (PackageMemo), so a writer of those starts no word processor
// unless a picture is asked for. A memo either is written whole or fails with a
// Failure and leaves no file behind. Its work folder in the temporary folder, and its
// office's folders, are looked at before each memo and made again when something (a
// cleaner of the temporary folder) removed them.
class MemoWriter
{
public:
    // When the session's office is replaced by a new one, between two memos: an
    // office grows with every document it has held and never gives the memory back.
    // The new one is started some memos ahead, so that it is ready when it is due.
    struct Renewal
    {
        // After this many memos; 0 for no limit.
        int memos = 0;
        // Once its resident memory has passed this many MiB; 0 for no limit.
        int mebibytes = 0;

        // 180 MiB, or what $SCRIVANE_OFFICE_RENEW_MIB and $SCRIVANE_OFFICE_RENEW_MEMOS say.
        static Renewal fromEnvironment();
    };

    explicit MemoWriter(WordProcessor &word, Renewal renewal = Renewal::fromEnvironment());
    ~MemoWriter();

    // Writes the memo at documentPath in the format given and, when picturePath is
    // given, its page picture as a PNG file there.
    void write(const MemoDetails &memo, const QString &documentPath,
        DocumentFormat format = DocumentFormat::Doc, const QString &picturePath = {});

    // A finished memo's files, not yet written anywhere.
    struct Memo
    {
        QByteArray document;
        // The page picture as PNG, when it was asked for.
        QByteArray picture;
    };

    // Makes the memo without writing it: for a caller that writes it itself.
    Memo make(const MemoDetails &memo, DocumentFormat format, bool withPicture);

    // Writes a made memo as write() does: the picture first, then the document.
    static void place(const Memo &made, const QString &documentPath, const QString &picturePath);

    // The user's template in the file, checked and made safe through this writer's word
    // processor unless it was before (OwnTemplates::checked). Throws TemplateRefused
    // saying why it cannot be a template, Failure when it could not be checked.
    OwnTemplatePointer ownTemplate(const QString &file);

    // Starts the word processor now rather than at the first memo.
    void start() { session(); }

    // Ends the word processor; the destructor does it too.
    void finish();

    // How many sessions this writer has started so far.
    int sessionsStarted() const { return mSessionsStarted; }

private:
    WordSession &session();
    QString workFolder();
    // The memo's Word template, copied into the work folder under a name of its own: the
    // style's, or for a template of the user's own its content's, as the office may keep
    // the file of that name open for the next memo.
    QString templateFile(const MemoDetails &memo);
    void dropSessionWithoutFolders();
    static void quitSession(std::unique_ptr<WordSession> session);
    void discardSession();
    double officeMebibytes() const;
    // Whether the office is past its limit, or will be within that many memos.
    bool renewalDue(int memosAhead) const;
    void startReplacementIfSoon();
    void renewIfDue();

    WordProcessor &mWord;
    Renewal mRenewal;
    std::unique_ptr<WordSession> mSession;
    // The session that replaces it, started ahead.
    std::unique_ptr<WordSession> mNext;
    int mSessionMemos = 0;
    // What its office held once its first memos were written.
    double mSettledMebibytes = 0;
    // The session was ended to be replaced, not for a failure.
    bool mRenewing = false;
    int mSessionsStarted = 0;
    std::unique_ptr<QTemporaryDir> mWorkFolder;
    // The templates written into the work folder: each one's file, as "device inode", by
    // its name.
    std::map<QString, QByteArray> mTemplates;
};

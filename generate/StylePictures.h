#pragma once

#include "MemoDetails.h"
#include "WorkThread.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

#include <array>
#include <atomic>
#include <memory>
#include <optional>

class SpareLending;
class QThread;

// Pictures of the memo as typed in each style, drawn one at a time on a WorkThread by
// the processor's spare office, and kept while the memo stays as it was drawn.
class StylePictures : public QObject
{
    Q_OBJECT

public:
    explicit StylePictures(SpareLending *office, QObject *parent = nullptr);
    // Abandons a drawing and waits a bounded time for its office to go back.
    ~StylePictures() override;

    enum class State { None, Drawing, Ready, Failed };
    // How the picture of exactly this memo (details, date and style) stands.
    State state(const MemoDetails &memo, qreal pixelRatio) const;
    // The picture of the memo: its page, the style's caption above and what the
    // style leaves out below; null unless state() is Ready.
    QImage picture(const MemoDetails &memo, qreal pixelRatio) const;

    // Has the memo drawn, before any drawing ahead; nothing when it is drawn already.
    void request(const MemoDetails &memo, qreal pixelRatio);
    // Has the memo drawn after what was asked for, when nothing else waits.
    void drawAhead(const MemoDetails &memo, qreal pixelRatio);
    // Makes way for a generation run: a drawing under way is abandoned at its next
    // office call, and its office is back as the spare when this returns.
    void giveWay();

    // The style's name and its look in a line, for when no picture can be had.
    static QString description(int style);
    // The style's look in a sentence.
    static QString look(int style);

signals:
    // A picture of the style was drawn, or could not be.
    void settled(int style);

private:
    struct Entry
    {
        std::optional<MemoDetails> memo;
        qreal pixelRatio = 1;
        QImage picture;
        State state = State::None;
    };
    void drawNext();
    void finished(int style, const QImage &picture);

    SpareLending *mOffice;
    std::array<Entry, 5> mEntries;
    // Asked for, latest first; drawn ahead, in order.
    std::optional<MemoDetails> mWanted;
    qreal mWantedRatio = 1;
    std::array<std::optional<MemoDetails>, 5> mAhead;
    qreal mAheadRatio = 1;
    bool mDrawing = false;
    QTimer mSlow;
    // A generation run goes first: nothing is drawn until the next request.
    bool mPaused = false;
    std::shared_ptr<std::atomic_bool> mCancel;
    std::shared_ptr<QTemporaryDir> mFolder;
    WorkThread mWork;
    QThread *mWorker = nullptr;
};

// The memo's first page in its style as a picture at the pixel ratio, with the caption
// and the "Leaves out" words; drawn through the session, in the folder given. Throws
// Failure, and a drawing that `cancel` stops throws it too.
QImage drawStylePicture(class WordSession &word, const MemoDetails &memo, qreal pixelRatio,
    const QString &folder, const std::atomic_bool &cancel);

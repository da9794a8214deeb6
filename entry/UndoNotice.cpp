#include "UndoNotice.h"

#include <QDateEdit>
#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QShortcut>
#include <QTimer>

namespace {
// Long enough to read and reach for; the pointer over it keeps it.
constexpr int kShownMs = 8000;
constexpr int kFadeMs = 600;
constexpr int kBottomMargin = 12;
constexpr auto kNoticeStyle
    = "#undoNotice { background: rgba(40, 40, 40, 225); border-radius: 4px; }"
      " QLabel { color: white; }"
      " QPushButton { color: #9fd0ff; background: transparent; border: none;"
      " font-weight: bold; padding: 2px 4px; }";

// Whether the control would take Ctrl+Z back for itself: only what was typed into it
// since the program last set its text.
bool hasOwnUndo(const QObject *control)
{
    if (const auto *line = qobject_cast<const QLineEdit *>(control))
        return line->isUndoAvailable();
    if (const auto *box = qobject_cast<const QPlainTextEdit *>(control))
        return box->document()->isUndoAvailable();
    return false;
}
} // namespace

UndoNotice::UndoNotice(
    QWidget *window, const QList<QWidget *> &memo, std::function<void(const MemoDetails &)> restore)
    : QObject(window)
    , mWindow(window)
    , mRestore(std::move(restore))
    , mNotice(new QWidget(window))
    , mSaid(new QLabel(mNotice))
    , mUndo(new QPushButton(QStringLiteral("Undo"), mNotice))
    , mOpacity(new QGraphicsOpacityEffect(mNotice))
    , mFade(new QPropertyAnimation(mOpacity, "opacity", this))
    , mShown(new QTimer(this))
{
    mNotice->setObjectName(QStringLiteral("undoNotice"));
    mNotice->setAttribute(Qt::WA_StyledBackground);
    mNotice->setStyleSheet(QLatin1String(kNoticeStyle));
    mNotice->setGraphicsEffect(mOpacity);
    mNotice->installEventFilter(this);
    mUndo->setObjectName(QStringLiteral("undoButton"));
    mUndo->setToolTip(QStringLiteral("Give back the memo as it was (Ctrl+Z)"));
    mUndo->setCursor(Qt::PointingHandCursor);
    auto *row = new QHBoxLayout(mNotice);
    row->setContentsMargins(10, 4, 6, 4);
    row->setSpacing(12);
    row->addWidget(mSaid);
    row->addWidget(mUndo);
    mNotice->hide();

    mFade->setDuration(kFadeMs);
    mFade->setStartValue(1.0);
    mFade->setEndValue(0.0);
    connect(mFade, &QPropertyAnimation::finished, mNotice, &QWidget::hide);
    mShown->setSingleShot(true);
    mShown->setInterval(kShownMs);
    connect(mShown, &QTimer::timeout, mFade, [this] { mFade->start(); });
    connect(mUndo, &QPushButton::clicked, this, &UndoNotice::undo);
    connect(
        new QShortcut(QKeySequence::Undo, window), &QShortcut::activated, this, &UndoNotice::undo);

    for (QWidget *control : memo) {
        const auto changed = [this] {
            if (!mRestoring)
                withdraw();
        };
        if (auto *line = qobject_cast<QLineEdit *>(control))
            connect(line, &QLineEdit::textChanged, this, changed);
        else if (auto *box = qobject_cast<QPlainTextEdit *>(control))
            connect(box, &QPlainTextEdit::textChanged, this, changed);
        else if (auto *date = qobject_cast<QDateEdit *>(control))
            connect(date, &QDateEdit::dateChanged, this, changed);
        else if (auto *style = qobject_cast<QRadioButton *>(control))
            connect(style, &QRadioButton::toggled, this, changed);
        control->installEventFilter(this);
    }
}

void UndoNotice::offer(const QString &done, const MemoDetails &before)
{
    mBefore = before;
    mSaid->setText(done);
    mNotice->adjustSize();
    place();
    mFade->stop();
    mOpacity->setOpacity(1.0);
    mNotice->show();
    mNotice->raise();
    mShown->start();
}

void UndoNotice::undo()
{
    if (!mBefore)
        return;
    const MemoDetails before = *std::exchange(mBefore, std::nullopt);
    withdraw();
    mRestoring = true;
    const auto restored = qScopeGuard([this] { mRestoring = false; });
    mRestore(before);
}

void UndoNotice::withdraw()
{
    mBefore.reset();
    mShown->stop();
    mFade->stop();
    mNotice->hide();
}

// At the foot of the window, over the message's last lines, where a toast is looked for.
void UndoNotice::place()
{
    mNotice->move((mWindow->width() - mNotice->width()) / 2,
        mWindow->height() - mNotice->height() - kBottomMargin);
}

bool UndoNotice::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == mNotice) {
        // The pointer over the notice keeps it until it leaves.
        if (event->type() == QEvent::Enter) {
            mShown->stop();
            mFade->stop();
            mOpacity->setOpacity(1.0);
        } else if (event->type() == QEvent::Leave && mBefore) {
            mShown->start();
        }
        return false;
    }
    // A field with nothing of its own to undo lets Ctrl+Z reach the window's undo.
    if (event->type() == QEvent::ShortcutOverride && mBefore
        && static_cast<QKeyEvent *>(event)->matches(QKeySequence::Undo) && !hasOwnUndo(watched))
        return true;
    return false;
}

#include "EntryAccess.h"

#include "ButtonKeys.h"
#include "DateWording.h"
#include "FocusRing.h"
#include "MemoStyle.h"
#include "StylePictures.h"

#include <QDateEdit>
#include <QFocusEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>

namespace {
// The captions as a voice says them, row by row.
constexpr std::array<const char *, 7> kFieldNames { "Date", "Company name", "To", "CC", "From",
    "Re (subject)", "Message" };
} // namespace

EntryAccess::EntryAccess(QWidget &window, const std::array<QLabel *, 7> &captions,
    const std::array<QWidget *, 7> &entries, const std::array<QRadioButton *, 5> &styles)
    : QObject(&window)
{
    for (size_t row = 0; row < entries.size(); ++row) {
        captions[row]->setBuddy(entries[row]);
        entries[row]->setAccessibleName(QString::fromLatin1(kFieldNames[row]));
        if (qobject_cast<QPlainTextEdit *>(entries[row]))
            entries[row]->installEventFilter(this);
    }
    // The picker shows "17-Jan-2010"; it is read as the memo prints it.
    if (auto *date = qobject_cast<QDateEdit *>(entries[0])) {
        const auto describe
            = [date] { date->setAccessibleDescription(dateText(date->date()).trimmed()); };
        connect(date, &QDateEdit::dateChanged, this, describe);
        describe();
    }
    for (size_t style = 0; style < styles.size(); ++style)
        styles[style]->setAccessibleDescription(
            StylePictures::look(int(style)) + u' ' + styleLeavesOut(int(style)));
    showFocusRing(window);
    pressButtonsWithEnter(window);
}

// As a one-line field does: the selection goes with the focus, except to a menu or
// another window, from which the focus comes back to it.
bool EntryAccess::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        auto *box = qobject_cast<QPlainTextEdit *>(watched);
        if (box && reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason
            && box->textCursor().hasSelection()) {
            // Dropping it moves nothing into view.
            const int across = box->horizontalScrollBar()->value();
            const int down = box->verticalScrollBar()->value();
            QTextCursor cursor = box->textCursor();
            cursor.clearSelection();
            box->setTextCursor(cursor);
            box->horizontalScrollBar()->setValue(across);
            box->verticalScrollBar()->setValue(down);
        }
    }
    return false;
}

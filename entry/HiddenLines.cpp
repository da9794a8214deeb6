#include "HiddenLines.h"

#include "LongText.h"

#include <QEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextBlock>

#include <algorithm>

namespace {
constexpr int kMarkMargin = 3;
constexpr double kMarkPoints = 7.5;
constexpr auto kMarkStyle = "QLabel { color: #5a5a5a; background: #e8e8e8; border-radius: 3px;"
                            " padding: 0px 4px; }";
// A tooltip of a megabyte would cover the screen: this much of the text is shown.
constexpr int kMostTipLines = 20;
constexpr int kMostTipLineLength = 120;

QString tipText(const QString &text)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    QStringList shown;
    for (const QString &line : lines.first(std::min<qsizetype>(lines.size(), kMostTipLines)))
        shown << (line.size() > kMostTipLineLength ? line.left(kMostTipLineLength) + QChar(0x2026)
                                                   : line);
    if (lines.size() > kMostTipLines)
        shown << QStringLiteral("(%1 more lines)").arg(lines.size() - kMostTipLines);
    return shown.join(QLatin1Char('\n'));
}
} // namespace

HiddenLines::HiddenLines(QPlainTextEdit *box)
    : QObject(box)
    , mBox(box)
    , mMark(new QLabel(box))
{
    mMark->setObjectName(box->objectName() + QStringLiteral("HiddenLines"));
    QFont font = mMark->font();
    font.setPointSizeF(kMarkPoints);
    mMark->setFont(font);
    mMark->setStyleSheet(QLatin1String(kMarkStyle));
    // The box under it still takes the clicks.
    mMark->setAttribute(Qt::WA_TransparentForMouseEvents);
    mMark->hide();
    // The program sets a long text with the box's signals blocked, and then says
    // textChanged alone.
    connect(box, &QPlainTextEdit::blockCountChanged, this, &HiddenLines::update);
    connect(box, &QPlainTextEdit::textChanged, this, &HiddenLines::update);
    box->installEventFilter(this);
    box->viewport()->installEventFilter(this);
}

// The box's lines are its text blocks: a long paragraph is held as several (LongText)
// and shows as several lines too.
int HiddenLines::hiddenLines() const
{
    const int shown = std::max(1, mBox->viewport()->height() / mBox->fontMetrics().lineSpacing());
    return std::max(0, mBox->blockCount() - shown);
}

void HiddenLines::update()
{
    const int hidden = hiddenLines();
    mMark->setVisible(hidden > 0);
    if (hidden == 0)
        return;
    mMark->setText(
        hidden == 1 ? QStringLiteral("+1 line") : QStringLiteral("+%1 lines").arg(hidden));
    mMark->adjustSize();
    mMark->move(
        mBox->width() - mMark->width() - kMarkMargin, (mBox->height() - mMark->height()) / 2);
}

bool HiddenLines::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize && watched == mBox)
        update();
    // Made when asked for: the text may be megabytes, and typing must not wait for it.
    // The box itself then shows it.
    if (event->type() == QEvent::ToolTip && watched == mBox->viewport())
        mBox->setToolTip(hiddenLines() > 0 ? tipText(longText(mBox)) : QString());
    return false;
}

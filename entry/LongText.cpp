#include "LongText.h"

#include <QPlainTextEdit>
#include <QSet>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {
// Long enough that ordinary text is never split; short enough to lay out at once.
constexpr qsizetype kBlockLength = 4096;

// The block breaks that only split a long paragraph, each selected by a cursor that
// the document moves along with every edit.
class SoftBreaks : public QObject
{
public:
    static constexpr auto kName = "softBreaks";

    explicit SoftBreaks(QObject *document)
        : QObject(document)
    {
        setObjectName(QLatin1String(kName));
    }

    // Not a Q_OBJECT, so found by its name.
    static SoftBreaks *of(const QTextDocument *document)
    {
        return dynamic_cast<SoftBreaks *>(
            document->findChild<QObject *>(QLatin1String(kName), Qt::FindDirectChildrenOnly));
    }

    QList<QTextCursor> cursors;

    // Each cursor selects its break; once the user removes the break, nothing.
    QSet<int> positions() const
    {
        QSet<int> found;
        for (const QTextCursor &cursor : cursors) {
            if (cursor.selectionEnd() - cursor.selectionStart() == 1)
                found.insert(cursor.selectionStart());
        }
        return found;
    }
};
bool hasLongWord(const QString &text)
{
    constexpr qsizetype kLongWord = 1000;
    qsizetype run = 0;
    for (const QChar c : text) {
        run = c.isSpace() ? 0 : run + 1;
        if (run >= kLongWord)
            return true;
    }
    return false;
}
} // namespace

void setLongText(QPlainTextEdit *box, const QString &text)
{
    QTextDocument *document = box->document();
    delete SoftBreaks::of(document);

    QString display;
    display.reserve(text.size() + text.size() / kBlockLength + 1);
    QList<int> softBreaks;
    bool firstPiece = true;
    for (const QStringView paragraph : QStringView(text).split(QLatin1Char('\n'))) {
        qsizetype start = 0;
        do {
            if (!firstPiece) {
                if (start > 0)
                    softBreaks.append(int(display.size()));
                display += QLatin1Char('\n');
            }
            firstPiece = false;
            display += paragraph.mid(start, kBlockLength);
            start += kBlockLength;
        } while (start < paragraph.size());
    }
    {
        const QSignalBlocker quiet(box);
        // The box looks for a word boundary all along a word of megabytes, for
        // seconds; text that holds such a word is broken anywhere instead.
        box->setWordWrapMode(hasLongWord(text) ? QTextOption::WrapAnywhere
                                               : QTextOption::WrapAtWordBoundaryOrAnywhere);
        box->setPlainText(display);
        if (!softBreaks.isEmpty()) {
            auto *breaks = new SoftBreaks(document);
            // Inside an edit block a cursor set at a position does not lay out its
            // block to find its x; outside one, these cursors laid out the whole text.
            QTextCursor quietLayout(document);
            quietLayout.beginEditBlock();
            for (const int position : std::as_const(softBreaks)) {
                QTextCursor cursor(document);
                cursor.setPosition(position);
                cursor.setPosition(position + 1, QTextCursor::KeepAnchor);
                breaks->cursors.append(cursor);
            }
            quietLayout.endEditBlock();
        }
    }
    emit box->textChanged();
}

QString longText(const QPlainTextEdit *box)
{
    const QTextDocument *document = box->document();
    const SoftBreaks *breaks = SoftBreaks::of(document);
    const QSet<int> soft = breaks ? breaks->positions() : QSet<int>();
    QString text;
    text.reserve(document->characterCount());
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        // A block's position is one past the break that ends the block before it.
        if (block != document->begin() && !soft.contains(block.position() - 1))
            text += QLatin1Char('\n');
        text += block.text();
    }
    // As toPlainText gives it.
    for (QChar &c : text) {
        if (c == QChar::Nbsp)
            c = QLatin1Char(' ');
        else if (c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = QLatin1Char('\n');
    }
    return text;
}

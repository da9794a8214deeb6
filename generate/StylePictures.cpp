#include "StylePictures.h"

#include "Failure.h"
#include "FileUtils.h"
#include "Leftovers.h"
#include "MemoStyle.h"
#include "OwnTemplate.h"
#include "PageComposition.h"
#include "PageRenderer.h"
#include "TemplateCatalogue.h"
#include "WordSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QPointer>
#include <QThread>

#include <algorithm>
#include <utility>

namespace {
// The page is drawn this wide, in pixels at a ratio of 1: a letter page of 8.5 inches.
constexpr double kPageDotsPerInch = 26.0;
constexpr int kCaptionGap = 4;
// An office call lasts well under a second; one that has not ended by then hangs, and
// the run starts an office of its own.
constexpr auto kGiveWayTime = std::chrono::seconds(3);
// A picture not drawn by then is told in words; the office's own deadline ends the call.
constexpr int kSlowMilliseconds = 5000;
// More characters than a page can hold in any style; a field longer than that runs on
// past the first page, the only one drawn.
constexpr qsizetype kMoreThanAPage = 20000;

bool sameMemo(const MemoDetails &a, const MemoDetails &b)
{
    return a.orgName == b.orgName && a.to == b.to && a.cc == b.cc && a.from == b.from
        && a.re == b.re && a.msg == b.msg && a.date == b.date && a.style == b.style
        && (a.ownTemplate ? a.ownTemplate->folder + QLatin1String(a.ownTemplate->hash) : QString())
        == (b.ownTemplate ? b.ownTemplate->folder + QLatin1String(b.ownTemplate->hash) : QString());
}

const char *const kLooks[] = {
    "A formal memo under the company's name, with ruled headings.",
    "A modern memo with bold headings and a wide margin.",
    "A graceful memo set in a light serif type.",
    "A plain memo with no ornament.",
    "A memo with a blue sky banner across the top.",
};

// The caption above the page and the "Leaves out" words below it.
QImage framed(const QImage &page, const MemoDetails &memo, qreal pixelRatio)
{
    const QFont font = QGuiApplication::font();
    const QFontMetrics metrics(font);
    const QString caption = styleCaption(memo);
    const QString note = leftOutNote(memo);
    const int width = int(page.width() / pixelRatio);
    const QRect noteRect = note.isEmpty()
        ? QRect()
        : metrics.boundingRect(QRect(0, 0, width, 1000), Qt::TextWordWrap, note);
    QFont bold = font;
    bold.setBold(true);
    // A caption that names the user's template may take more than a line.
    const QRect captionRect
        = QFontMetrics(bold).boundingRect(QRect(0, 0, width, 1000), Qt::TextWordWrap, caption);
    const int pageTop = std::max(metrics.height(), captionRect.height()) + kCaptionGap;
    const int pageHeight = int(page.height() / pixelRatio);
    const int height
        = pageTop + pageHeight + (note.isEmpty() ? 0 : kCaptionGap + noteRect.height());
    QImage out(QSize(width, height) * pixelRatio, QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(pixelRatio);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    painter.setFont(font);
    painter.setPen(QGuiApplication::palette().color(QPalette::ToolTipText));
    painter.setFont(bold);
    painter.drawText(
        QRect(0, 0, width, pageTop - kCaptionGap), Qt::AlignLeft | Qt::TextWordWrap, caption);
    painter.setFont(font);
    QImage shown = page;
    shown.setDevicePixelRatio(pixelRatio);
    painter.drawImage(QPoint(0, pageTop), shown);
    if (!note.isEmpty())
        painter.drawText(QRect(0, pageTop + pageHeight + kCaptionGap, width, noteRect.height()),
            Qt::TextWordWrap, note);
    return out;
}
} // namespace

QImage drawStylePicture(WordSession &word, const MemoDetails &memo, qreal pixelRatio,
    const QString &folder, const std::atomic_bool &cancel)
{
    const auto check = [&] {
        if (cancel)
            fail(QStringLiteral("The picture was abandoned."));
    };
    const QString source = memo.ownTemplate
        ? memo.ownTemplate->wordTemplate()
        : QDir(folder).filePath(QStringLiteral("template-%1.dot").arg(memo.style));
    if (!memo.ownTemplate && !QFile::exists(source))
        WriteBytesToFile(loadResData(kMemoStyles.at(size_t(memo.style)).resourceId), source);
    const QString pdf = QDir(folder).filePath(QStringLiteral("page.pdf"));
    check();
    // The office lays out all it is given: a megabyte message took longer than a
    // tooltip waits, for a page that only its first characters fill.
    MemoDetails firstPage = memo;
    for (const MemoField &field : kMemoFields) {
        QString &text = firstPage.*field.text;
        if (text.size() > kMoreThanAPage)
            text.truncate(text.at(kMoreThanAPage - 1).isHighSurrogate() ? kMoreThanAPage - 1
                                                                        : kMoreThanAPage);
    }
    word.open(source, true);
    try {
        for (const auto &[bookmark, text] : bookmarkWrites(firstPage)) {
            check();
            word.setBookmarkText(bookmark, text);
        }
        check();
        QFile::remove(pdf);
        word.exportAs(pdf, DocumentFormat::Pdf);
        word.closeActiveDocumentWithoutSaving();
    } catch (const Failure &) {
        try {
            word.closeActiveDocumentWithoutSaving();
        } catch (const Failure &) {
            // The session's quit ends an office that cannot even close a document.
        }
        throw;
    }
    QList<QImage> pages = RenderPdfPages(pdf, kPageDotsPerInch * pixelRatio);
    QFile::remove(pdf);
    if (pages.isEmpty())
        fail(QStringLiteral("The memo has no pages."));
    pages.resize(1);
    return framed(composedPages(pages, pixelRatio * kPageDotsPerInch / 96.0), memo, pixelRatio);
}

StylePictures::StylePictures(SpareLending *office, QObject *parent)
    : QObject(parent)
    , mOffice(office)
    , mCancel(std::make_shared<std::atomic_bool>(false))
{
    mSlow.setSingleShot(true);
    mSlow.setInterval(kSlowMilliseconds);
    connect(&mSlow, &QTimer::timeout, this, [this] {
        for (size_t style = 0; style < mEntries.size(); ++style) {
            if (mEntries[style].state == State::Drawing) {
                mEntries[style].state = State::Failed;
                emit settled(int(style));
            }
        }
    });
    mWork.run([this] { mWorker = QThread::currentThread(); },
        WorkThread::Clock::now() + std::chrono::seconds(10));
    // Beside the offices' profiles, never in the temporary folder or the user's.
    if (mOffice != nullptr && !mOffice->workRoot().isEmpty()
        && QDir().mkpath(mOffice->workRoot())) {
        mFolder = std::make_shared<QTemporaryDir>(
            mOffice->workRoot() + QStringLiteral("/pictures-XXXXXX"));
        if (!mFolder->isValid())
            mFolder.reset();
        else
            noteMadeFile(mFolder->path());
    }
}

StylePictures::~StylePictures()
{
    giveWay();
}

QString StylePictures::description(int style)
{
    if (style < 0 || style >= int(kMemoStyles.size()))
        return {};
    return QStringLiteral("%1: %2").arg(
        QString::fromLatin1(kMemoStyles.at(size_t(style)).caption), look(style));
}

QString StylePictures::look(int style)
{
    if (style < 0 || style >= int(kMemoStyles.size()))
        return {};
    return QString::fromLatin1(kLooks[style]);
}

StylePictures::State StylePictures::state(const MemoDetails &memo, qreal pixelRatio) const
{
    const Entry &entry = mEntries.at(size_t(memo.style));
    if (!entry.memo || !sameMemo(*entry.memo, memo) || entry.pixelRatio != pixelRatio)
        return State::None;
    return entry.state;
}

QImage StylePictures::picture(const MemoDetails &memo, qreal pixelRatio) const
{
    return state(memo, pixelRatio) == State::Ready ? mEntries.at(size_t(memo.style)).picture
                                                   : QImage();
}

void StylePictures::request(const MemoDetails &memo, qreal pixelRatio)
{
    mPaused = false;
    const State now = state(memo, pixelRatio);
    if (now == State::Ready || now == State::Drawing)
        return;
    mWanted = memo;
    mWantedRatio = pixelRatio;
    drawNext();
}

void StylePictures::drawAhead(const MemoDetails &memo, qreal pixelRatio)
{
    const State now = state(memo, pixelRatio);
    if (now != State::None)
        return;
    mAhead.at(size_t(memo.style)) = memo;
    mAheadRatio = pixelRatio;
    drawNext();
}

void StylePictures::giveWay()
{
    mPaused = true;
    mWanted.reset();
    mAhead = {};
    if (!mDrawing)
        return;
    *mCancel = true;
    // Queued behind the drawing: done once its office is back.
    mWork.run([] {}, WorkThread::Clock::now() + kGiveWayTime);
}

void StylePictures::drawNext()
{
    if (mDrawing || mPaused)
        return;
    std::optional<MemoDetails> memo = std::exchange(mWanted, std::nullopt);
    qreal ratio = mWantedRatio;
    for (auto &ahead : mAhead) {
        if (memo)
            break;
        memo = std::exchange(ahead, std::nullopt);
        ratio = mAheadRatio;
    }
    if (!memo)
        return;
    Entry &entry = mEntries.at(size_t(memo->style));
    entry = { memo, ratio, {}, State::Drawing };
    std::shared_ptr<WordSession> session;
    if (mOffice != nullptr && mFolder)
        session = mOffice->lendSpare(mWorker);
    if (!session) {
        finished(memo->style, {});
        return;
    }
    mDrawing = true;
    *mCancel = false;
    mSlow.start();
    QPointer<StylePictures> self(this);
    mWork.post([self, session, memo = *memo, ratio, folder = mFolder->path(), cancel = mCancel,
                   keep = mFolder]() mutable {
        QImage picture;
        try {
            picture = drawStylePicture(*session, memo, ratio, folder, *cancel);
        } catch (const Failure &) {
            // Told as the style's description.
        }
        try {
            session->quit();
        } catch (const Failure &) {
            // The office is replaced as the spare.
        }
        session.reset();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, style = memo.style, picture] {
                if (self)
                    self->finished(style, picture);
            },
            Qt::QueuedConnection);
    });
}

void StylePictures::finished(int style, const QImage &picture)
{
    mDrawing = false;
    mSlow.stop();
    Entry &entry = mEntries.at(size_t(style));
    if (entry.state == State::Drawing) {
        entry.picture = picture;
        // An abandoned drawing is no fault: the next hover draws it again.
        entry.state = !picture.isNull() ? State::Ready : *mCancel ? State::None : State::Failed;
    }
    emit settled(style);
    drawNext();
}

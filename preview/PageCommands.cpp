#include "PageCommands.h"

#include "ErrorTrap.h"
#include "Failure.h"
#include "FileUtils.h"
#include "Leftovers.h"
#include "MemoPdf.h"
#include "MousePointer.h"
#include "PageComposition.h"
#include "PageRenderer.h"
#include "PictureBox.h"
#include "SaveFolder.h"
#include "Twips.h"
#include "UserInterface.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPrinter>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QShortcut>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>

#include <cmath>

namespace {
constexpr auto kPicture1MouseWheelLocation = "in Scrivane2021/08/31.Form2.Picture1_MouseWheel ";

constexpr int kWheelNotch = 120;

// The indicator stays this long after the last move, then fades out.
constexpr int kWhereYouAreShownMs = 1200;
constexpr int kWhereYouAreFadeMs = 300;
constexpr int kWhereYouAreMargin = 8;
constexpr auto kWhereYouAreStyle
    = "QLabel { background: rgba(40, 40, 40, 200); color: white; border-radius: 4px;"
      " padding: 3px 8px; }";

constexpr auto kNoteStyle = "QLabel { background: #fff4c8; color: #3a3000;"
                            " border: 1px solid #d8c27a; border-radius: 4px; padding: 4px 8px; }";

// Scrolls a bar by a wheel turn: 120 to a notch, as many arrow clicks a notch as the
// desktop scrolls lines.
void scrollByWheel(QScrollBar &bar, int angle)
{
    if (!bar.isEnabled() || angle == 0)
        return;
    const double clicks = -double(angle) / kWheelNotch * QApplication::wheelScrollLines();
    const int by = static_cast<int>(std::lround(clicks * bar.singleStep()));
    bar.setValue(bar.value() + (by != 0 ? by : (clicks < 0 ? -1 : 1)));
}

// What a file name cannot hold, in the names of this desktop and of the others the
// file may travel to.
QString fileNameFrom(const QString &text)
{
    QString name = text.simplified();
    for (QChar &c : name) {
        if (c.category() == QChar::Other_Control || QStringLiteral("/\\:*?\"<>|").contains(c))
            c = QLatin1Char('_');
    }
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    name.truncate(120);
    return name.trimmed().isEmpty() ? QStringLiteral("memo") : name.trimmed();
}

int percentOf(float zoom)
{
    return int(std::lround(zoom * 100));
}
} // namespace

PageCommands::PageCommands(PageView &view, const Controls &controls, UserInterface &ui,
    WindowPointer &pointer, SettingsStore *settings, WordProcessor *word,
    std::function<QString()> memoSubject)
    : QObject(controls.window)
    , mView(view)
    , mControls(controls)
    , mUi(ui)
    , mPointer(pointer)
    , mSettings(settings)
    , mWord(word)
    , mMemoSubject(std::move(memoSubject))
    , mNote(new QLabel(controls.viewport))
    , mWhereYouAre(new QLabel(controls.viewport))
    , mWhereYouAreOpacity(new QGraphicsOpacityEffect(mWhereYouAre))
    , mWhereYouAreFade(new QPropertyAnimation(mWhereYouAreOpacity, "opacity", this))
    , mWhereYouAreShown(new QTimer(this))
{
    const auto key = [this](const QKeySequence &sequence, auto &&action) {
        auto *shortcut = new QShortcut(sequence, mControls.window);
        connect(shortcut, &QShortcut::activated, this, std::forward<decltype(action)>(action));
    };
    key(QKeySequence(Qt::CTRL | Qt::Key_Plus), [this] { mControls.zoomIn->click(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Equal), [this] { mControls.zoomIn->click(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Minus), [this] { mControls.zoomOut->click(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_0), [this] { zoomToOne(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_P), [this] { printMemo(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_S), [this] { mControls.save->click(); });
    key(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), [this] { saveAsPdf(); });
    key(QKeySequence(Qt::Key_Menu), [this] {
        showPageMenu(mControls.viewport->mapToGlobal(mControls.viewport->rect().center()));
    });

    mNote->setObjectName(QStringLiteral("pagesNote"));
    mNote->setStyleSheet(QLatin1String(kNoteStyle));
    mNote->setWordWrap(true);
    mNote->setAttribute(Qt::WA_TransparentForMouseEvents);
    mNote->hide();

    mWhereYouAre->setObjectName(QStringLiteral("whereYouAre"));
    mWhereYouAre->setStyleSheet(QLatin1String(kWhereYouAreStyle));
    mWhereYouAre->setAttribute(Qt::WA_TransparentForMouseEvents);
    mWhereYouAre->setGraphicsEffect(mWhereYouAreOpacity);
    mWhereYouAre->hide();
    mWhereYouAreFade->setDuration(kWhereYouAreFadeMs);
    mWhereYouAreFade->setStartValue(1.0);
    mWhereYouAreFade->setEndValue(0.0);
    connect(mWhereYouAreFade, &QPropertyAnimation::finished, mWhereYouAre, &QWidget::hide);
    mWhereYouAreShown->setSingleShot(true);
    mWhereYouAreShown->setInterval(kWhereYouAreShownMs);
    connect(mWhereYouAreShown, &QTimer::timeout, mWhereYouAreFade,
        [this] { mWhereYouAreFade->start(); });

    // The window connects the buttons' own handlers first.
    for (QPushButton *zoom : { mControls.zoomIn, mControls.zoomOut }) {
        connect(zoom, &QPushButton::clicked, this, [this] {
            updateZoomTips();
            showWhereYouAre();
        });
    }
    connect(mControls.across, &QScrollBar::valueChanged, this, &PageCommands::showWhereYouAre);
    connect(mControls.down, &QScrollBar::valueChanged, this, &PageCommands::showWhereYouAre);
    connect(mControls.page, &PictureBox::mouseMove, this, [this](std::int16_t button) {
        if (button != 0)
            showWhereYouAre();
    });
    updateZoomTips();
}

void PageCommands::pageWheel(const QWheelEvent &event, QWidget &over)
{
    const QPoint angle = event.angleDelta();
    if (event.modifiers() & Qt::ControlModifier) {
        mZoomWheel += angle.y() != 0 ? angle.y() : angle.x();
        const QPointF at = over.mapTo(mControls.viewport, event.position());
        while (std::abs(mZoomWheel) >= kWheelNotch) {
            const bool out = mZoomWheel < 0;
            mZoomWheel += out ? kWheelNotch : -kWheelNotch;
            zoomAbout(at, out);
        }
        showWhereYouAre();
    } else if (event.modifiers() & Qt::ShiftModifier) {
        scrollByWheel(*mControls.across, angle.y() != 0 ? angle.y() : angle.x());
    } else {
        scrollByWheel(*mControls.down, angle.y());
        scrollByWheel(*mControls.across, angle.x());
    }
}

bool PageCommands::pageKey(const QKeyEvent &event)
{
    const auto act = [](QScrollBar &bar, QAbstractSlider::SliderAction action) {
        if (bar.isEnabled())
            bar.triggerAction(action);
        return true;
    };
    QScrollBar &across = *mControls.across;
    QScrollBar &down = *mControls.down;
    switch (event.key()) {
    case Qt::Key_Left:
        return act(across, QAbstractSlider::SliderSingleStepSub);
    case Qt::Key_Right:
        return act(across, QAbstractSlider::SliderSingleStepAdd);
    case Qt::Key_Up:
        return act(down, QAbstractSlider::SliderSingleStepSub);
    case Qt::Key_Down:
        return act(down, QAbstractSlider::SliderSingleStepAdd);
    case Qt::Key_PageUp:
        return act(down, QAbstractSlider::SliderPageStepSub);
    case Qt::Key_PageDown:
        return act(down, QAbstractSlider::SliderPageStepAdd);
    case Qt::Key_Home:
        return act(down, QAbstractSlider::SliderToMinimum);
    case Qt::Key_End:
        return act(down, QAbstractSlider::SliderToMaximum);
    default:
        return false;
    }
}

// One zoom step that keeps the point of the page under the pointer (in pixels of the
// viewport) where it is, as far as the page's range allows.
void PageCommands::zoomAbout(const QPointF &at, bool out)
{
    ErrorTrap trap(mUi, QString::fromLatin1(kPicture1MouseWheelLocation));
    trap.step(100, [&] {
        PictureBox &page = *mControls.page;
        const double x = at.x() * kTwipsPerPixel;
        const double y = at.y() * kTwipsPerPixel;
        const double across = (x - page.left()) / page.boxWidth();
        const double down = (y - page.top()) / page.boxHeight();
        const float before = mView.zoomState().zoom;
        mView.stepZoom(out);
        const ZoomState now = mView.zoomState();
        if (now.zoom == before)
            return;
        if (now.hStep != 0)
            mControls.across->setValue(
                static_cast<int>(std::nearbyint((across * page.boxWidth() - x) / now.hStep)));
        if (now.vStep != 0)
            mControls.down->setValue(
                static_cast<int>(std::nearbyint((down * page.boxHeight() - y) / now.vStep)));
    });
}

void PageCommands::setZoomStep(float zoom)
{
    mView.showAtZoom(zoom);
    updateZoomTips();
    showWhereYouAre();
}

void PageCommands::zoomToOne()
{
    setZoomStep(1.0f);
}

// The largest of the zoom's own steps at which the page's width fits the viewport.
void PageCommands::fitWidth()
{
    const ZoomState state = mView.zoomState();
    float zoom = kLowestZoom;
    for (float step = kLowestZoom; step <= kHighestZoom; step += kZoomStep) {
        if (std::floor(double(state.baseWidth) * step) <= mControls.viewport->innerWidth())
            zoom = step;
    }
    setZoomStep(zoom);
}

// The largest step at which a whole page, its width and its height, fits the
// viewport; the view then starts at the page that was shown.
void PageCommands::wholePage()
{
    const int page = currentPage();
    const QImage &picture = mControls.unscaled->picture();
    const QList<QRect> &found = pages();
    const int pictureHeight = std::max(1, picture.height());
    int tallest = pictureHeight;
    if (!found.isEmpty()) {
        tallest = 0;
        for (const QRect &each : found)
            tallest = std::max(tallest, each.height());
    }
    ZoomState state = mView.zoomState();
    const double pageHeight = double(state.baseHeight) * tallest / pictureHeight;
    float zoom = kLowestZoom;
    for (float step = kLowestZoom; step <= kHighestZoom; step += kZoomStep) {
        if (std::floor(double(state.baseWidth) * step) <= mControls.viewport->innerWidth()
            && pageHeight * step <= mControls.viewport->innerHeight())
            zoom = step;
    }
    setZoomStep(zoom);
    state = mView.zoomState();
    if (page > 1 && page <= found.size() && state.vStep != 0) {
        const double top = double(found[page - 1].top()) / pictureHeight * state.zoomHeight;
        mControls.down->setValue(static_cast<int>(std::nearbyint(top / state.vStep)));
    }
}

void PageCommands::updateZoomTips()
{
    const QString now = QStringLiteral(" (now %1 %)").arg(percentOf(mView.zoomState().zoom));
    mControls.zoomIn->setToolTip(QStringLiteral("Zoom in (Ctrl++)") + now);
    mControls.zoomOut->setToolTip(QStringLiteral("Zoom out (Ctrl+-)") + now);
    emit viewChanged();
}

int PageCommands::currentPage() const
{
    const QImage &picture = mControls.unscaled->picture();
    const QList<QRect> &found = pages();
    const ZoomState state = mView.zoomState();
    if (found.isEmpty() || state.zoomHeight <= 0)
        return 1;
    const double middle = (mControls.viewport->innerHeight() / 2.0 - mControls.page->top())
        / state.zoomHeight * picture.height();
    for (int page = 0; page < found.size(); ++page) {
        if (middle < found[page].bottom() + 1)
            return page + 1;
    }
    return int(found.size());
}

int PageCommands::pageCount() const
{
    return std::max<int>(1, int(pages().size()));
}

void PageCommands::setNote(const QString &note)
{
    mNote->setText(note);
    mNote->setVisible(!note.isEmpty());
    if (note.isEmpty())
        return;
    const int width = mControls.viewport->width() - 2 * kWhereYouAreMargin;
    mNote->setFixedWidth(width);
    mNote->setFixedHeight(mNote->heightForWidth(width));
    mNote->move(kWhereYouAreMargin, kWhereYouAreMargin);
    mNote->raise();
}

QString PageCommands::whereYouAreText() const
{
    return QStringLiteral("Page %1 of %2 \u00b7 %3 %")
        .arg(currentPage())
        .arg(pageCount())
        .arg(percentOf(mView.zoomState().zoom));
}

void PageCommands::showWhereYouAre()
{
    emit viewChanged();
    if (mControls.unscaled->picture().isNull())
        return;
    QWidget &viewport = *mControls.viewport;
    mWhereYouAre->setText(whereYouAreText());
    mWhereYouAre->adjustSize();
    mWhereYouAre->move(viewport.width() - mWhereYouAre->width() - kWhereYouAreMargin,
        viewport.height() - mWhereYouAre->height() - kWhereYouAreMargin);
    mWhereYouAreFade->stop();
    mWhereYouAreOpacity->setOpacity(1.0);
    mWhereYouAre->show();
    mWhereYouAre->raise();
    mWhereYouAreShown->start();
}

const QList<QRect> &PageCommands::pages() const
{
    const QImage &picture = mControls.unscaled->picture();
    if (picture.cacheKey() != mPagesOf) {
        mPagesOf = picture.cacheKey();
        mPages = composedPageRects(picture);
    }
    return mPages;
}

bool PageCommands::hasDocument() const
{
    return mWord != nullptr && FileExists(mView.wordFile());
}

// The desktop turns the Menu key into a request for the menu at the focused control's
// middle, which for a zoomed page lies far outside the window, besides the key itself.
void PageCommands::contextMenu(const QContextMenuEvent &event)
{
    if (event.reason() != QContextMenuEvent::Keyboard)
        showPageMenu(event.globalPos());
}

void PageCommands::showPageMenu(const QPoint &globalPosition)
{
    QMenu menu(mControls.window);
    menu.setObjectName(QStringLiteral("pageMenu"));
    const auto add
        = [&menu](const QString &text, const QKeySequence &keys, bool enabled, auto &&action) {
              QAction *entry = menu.addAction(text);
              entry->setShortcut(keys);
              entry->setEnabled(enabled);
              QObject::connect(entry, &QAction::triggered, std::forward<decltype(action)>(action));
              return entry;
          };
    const bool hasPage = !mControls.unscaled->picture().isNull();
    const float zoom = mView.zoomState().zoom;
    add(QStringLiteral("Zoom In"), QKeySequence(Qt::CTRL | Qt::Key_Plus),
        hasPage && zoom + kZoomStep <= kHighestZoom, [this] { mControls.zoomIn->click(); });
    add(QStringLiteral("Zoom Out"), QKeySequence(Qt::CTRL | Qt::Key_Minus),
        hasPage && zoom - kZoomStep >= kLowestZoom, [this] { mControls.zoomOut->click(); });
    add(QStringLiteral("Actual Size"), QKeySequence(Qt::CTRL | Qt::Key_0), hasPage && zoom != 1,
        [this] { zoomToOne(); });
    add(QStringLiteral("Fit Width"), {}, hasPage, [this] { fitWidth(); });
    add(QStringLiteral("Whole Page"), {}, hasPage, [this] { wholePage(); });
    menu.addSeparator();
    add(QStringLiteral("Print..."), QKeySequence(Qt::CTRL | Qt::Key_P), hasDocument(),
        [this] { printMemo(); });
    add(QStringLiteral("Save as PDF..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
        hasDocument(), [this] { saveAsPdf(); });
    add(QStringLiteral("Copy Page"), {}, hasPage, [this] { copyPage(); });
    mUi.showMenu(menu, globalPosition);
}

void PageCommands::copyPage()
{
    const QImage &picture = mControls.unscaled->picture();
    const QList<QRect> &found = pages();
    const int page = currentPage();
    // The page alone, without the ground on either side of it.
    QGuiApplication::clipboard()->setImage(
        page >= 1 && page <= found.size() ? picture.copy(found[page - 1]) : picture);
}

void PageCommands::printMemo()
{
    if (!hasDocument())
        return;
    try {
        mPointer.set(MousePointer::Hourglass);
        QTemporaryDir work(workFolderPattern(QStringLiteral("print")));
        work.setAutoRemove(false);
        const auto removeWork = qScopeGuard([&] { removeOwn(work.path()); });
        if (!work.isValid())
            fail(QStringLiteral("No temporary folder could be made for printing: %1")
                     .arg(work.errorString()));
        const QString pdf = QDir(work.path()).filePath(QStringLiteral("memo.pdf"));
        replaceFile(pdf, memoAsPdf(*mWord, mView.wordFile()));
        mPointer.set(MousePointer::Default);
        QPrinter printer(QPrinter::PrinterResolution);
        printer.setDocName(mMemoSubject ? fileNameFrom(mMemoSubject()) : QStringLiteral("memo"));
        if (!mUi.printDialog(printer, PdfPageCount(pdf)))
            return;
        mPointer.set(MousePointer::Hourglass);
        printPdf(pdf, printer);
        mPointer.set(MousePointer::Default);
    } catch (const std::exception &error) {
        mPointer.set(MousePointer::Default);
        mUi.messageBox(QStringLiteral("The memo could not be printed. ") + describe(error),
            UserInterface::Buttons::Ok, UserInterface::Icon::Warning);
    }
}

void PageCommands::saveAsPdf()
{
    if (!hasDocument())
        return;
    try {
        const QString suggested
            = fileNameFrom(mMemoSubject ? mMemoSubject() : QString()) + QStringLiteral(".pdf");
        QString chosen = mUi.saveFileName(QStringLiteral("Save as PDF"),
            QStringLiteral("PDF Files (*.pdf)|*.pdf"), suggested, saveDialogFolder(mSettings));
        if (chosen.isEmpty())
            return;
        if (QFileInfo(chosen).suffix().isEmpty())
            chosen += QStringLiteral(".pdf");
        if (FileExists(chosen)
            && mUi.messageBox(QStringLiteral("Are you sure you wish to overwrite ") + chosen
                       + QStringLiteral(" ?"),
                   UserInterface::Buttons::YesNo, UserInterface::Icon::None)
                != UserInterface::Yes)
            return;
        mPointer.set(MousePointer::Hourglass);
        replaceFile(chosen, memoAsPdf(*mWord, mView.wordFile()));
        rememberSaveFolder(mSettings, chosen);
        mPointer.set(MousePointer::Default);
    } catch (const std::exception &error) {
        mPointer.set(MousePointer::Default);
        mUi.messageBox(QStringLiteral("The memo could not be saved as PDF. ") + describe(error),
            UserInterface::Buttons::Ok, UserInterface::Icon::Warning);
    }
}

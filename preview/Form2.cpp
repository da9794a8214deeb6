#include "Form2.h"

#include "ApplicationIcon.h"
#include "ButtonFace.h"
#include "CursorFile.h"
#include "ErrorTrap.h"
#include "Failure.h"
#include "FileUtils.h"
#include "PageCommands.h"
#include "PictureBox.h"
#include "PreviewAccess.h"
#include "SaveCopy.h"
#include "SaveFolder.h"
#include "TempFolder.h"
#include "Twips.h"
#include "UserInterface.h"
#include "WindowLayout.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGraphicsOpacityEffect>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPrinter>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QShortcut>
#include <QShowEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// Where error reports say a failure happened: the routine, as the reports have
// always named it (the two drag handlers with a small "p").
constexpr auto kFormLoadLocation = "in Scrivane2021/08/31.Form2.Form_Load ";
constexpr auto kFormActivateLocation = "in Scrivane2021/08/31.Form2.Form_Activate ";
constexpr auto kFormQueryUnloadLocation = "in Scrivane2021/08/31.Form2.Form_QueryUnload ";
constexpr auto kPushButton1ClickLocation = "in Scrivane2021/08/31.Form2.PushButton1_Click ";
constexpr auto kPushButton2ClickLocation = "in Scrivane2021/08/31.Form2.PushButton2_Click ";
constexpr auto kRedrawImageLocation = "in Scrivane2021/08/31.Form2.RedrawImage ";
constexpr auto kPicture1MouseDownLocation = "in Scrivane2021/08/31.Form2.picture1_MouseDown ";
constexpr auto kPicture1MouseMoveLocation = "in Scrivane2021/08/31.Form2.picture1_MouseMove ";
constexpr auto kPicture1MouseUpLocation = "in Scrivane2021/08/31.Form2.Picture1_MouseUp ";
constexpr auto kPushButton6ClickLocation = "in Scrivane2021/08/31.Form2.PushButton6_Click ";
constexpr auto kPushButton8ClickLocation = "in Scrivane2021/08/31.Form2.PushButton8_Click ";

constexpr int kClientWidth = 9840;
constexpr int kClientHeight = 8685;
constexpr TwipRect kListView1 { 120, 120, 9600, 1575 };
constexpr int kPageColumnWidth = 7500;
constexpr TwipRect kPicture2 { 120, 1800, 9330, 5055 };
constexpr TwipRect kPicture1 { 0, 0, 2340, 3435 };
constexpr TwipRect kVScroll1 { 9450, 1800, 255, 5055 };
constexpr TwipRect kHScroll1 { 120, 6855, 9330, 255 };
constexpr TwipRect kFrame1 { 120, 7170, 9600, 855 };
constexpr TwipRect kPushButton1 { 240, 300, 4440, 405 };
constexpr TwipRect kPushButton2 { 4800, 300, 4560, 405 };
constexpr TwipRect kPushButton8 { 120, 8160, 4680, 405 };
constexpr TwipRect kPushButton6 { 4920, 8160, 4800, 405 };
constexpr TwipRect kZoom_Ori { 10320, 480, 735, 375 };
constexpr TwipRect kImage1 { 10920, 120, 855, 900 };

// The page is painted to exactly its box's size, so a border would cut off its right
// and bottom edges.
constexpr float kPageBorder = 0;
// The scrollbars' ranges come from the viewport's outer width and the drag limits
// from its inner width; without a border both reach the page's far edge.
constexpr float kViewportBorder = 0;
// Never shown; the unscaled page fills it.
constexpr float kHolderBorder = 0;

// The largest box Qt lays out. The box keeps no pixels of its own and each repaint
// scales only what shows, so memory sets no lower limit: any zoom of a page up to
// this size costs the same.
constexpr std::int32_t kMaximumZoomWidth = QWIDGETSIZE_MAX * kTwipsPerPixel;
constexpr std::int32_t kMaximumZoomHeight = QWIDGETSIZE_MAX * kTwipsPerPixel;
constexpr std::int16_t kInitialScrollMaximum = 32767;

constexpr QRgb kWhite = 0xFFFFFF;
// The window's own lettering, its buttons' and the page boxes'.
constexpr double kWindowFontPoints = 9;
constexpr double kButtonFontPoints = 11.25;
constexpr auto kBoxFontFamily = "MS Sans Serif";
constexpr double kBoxFontPoints = 8.25;
constexpr std::int16_t kFromControlMenu = 0;

[[noreturn]] void overflow(double value, const char *kind)
{
    fail(QStringLiteral("Overflow: %1 does not fit in a %2.").arg(value).arg(QLatin1String(kind)));
}

// Halves to even, as the rounding mode in force rounds.
std::int32_t roundToInt32(double value)
{
    const double rounded = std::nearbyint(value);
    if (!(rounded >= std::numeric_limits<std::int32_t>::min()
            && rounded <= std::numeric_limits<std::int32_t>::max()))
        overflow(value, "32-bit whole number");
    return static_cast<std::int32_t>(rounded);
}

std::int32_t floorToInt32(double value)
{
    const double floored = std::floor(value);
    if (!(floored >= std::numeric_limits<std::int32_t>::min()
            && floored <= std::numeric_limits<std::int32_t>::max()))
        overflow(value, "32-bit whole number");
    return static_cast<std::int32_t>(floored);
}

// How far along its scroll range the page lies, in percent, unrounded so that a long
// page lands on its own place; a page exactly as wide as the viewport lies at 0.
double percentAlong(float position, float pageSize, float viewportSize)
{
    const double range = double(pageSize) - viewportSize;
    if (range == 0)
        return 0;
    return std::fabs(position) / range * 100.0;
}

QScrollBar *scrollBar(
    Qt::Orientation orientation, const QString &name, const TwipRect &place, QWidget *parent)
{
    auto *bar = new QScrollBar(orientation, parent);
    bar->setObjectName(name);
    bar->setGeometry(place.pixels());
    bar->setRange(0, kInitialScrollMaximum);
    bar->setSingleStep(1);
    bar->setPageStep(1);
    // The page follows a dragged thumb only once it is released.
    bar->setTracking(false);
    bar->setFocusPolicy(Qt::StrongFocus);
    bar->setAttribute(Qt::WA_NoMousePropagation);
    return bar;
}

QPushButton *pushButton(
    const QString &name, const QString &caption, const TwipRect &place, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(place.pixels());
    button->setFont(boldArial(kButtonFontPoints));
    // A button ignores a plain move, which would otherwise reach its container's handler.
    button->setAttribute(Qt::WA_NoMousePropagation);
    return button;
}
} // namespace

Form2::Form2(UserInterface &ui, QWidget *mainWindow, SettingsStore *settings, WordProcessor *word,
    std::function<QString()> memoSubject)
    : QWidget(nullptr,
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , mUi(ui)
    , mMainWindow(mainWindow)
    , ListView1(new QTreeWidget(this))
    , Picture2(new PictureBox(QStringLiteral("Picture2"), kViewportBorder, this))
    , Picture1(new PictureBox(QStringLiteral("Picture1"), kPageBorder, Picture2))
    , VScroll1(scrollBar(Qt::Vertical, QStringLiteral("VScroll1"), kVScroll1, this))
    , HScroll1(scrollBar(Qt::Horizontal, QStringLiteral("HScroll1"), kHScroll1, this))
    , Frame1(new QGroupBox(QStringLiteral("Zoom:"), this))
    , PushButton1(pushButton(
          QStringLiteral("PushButton1"), QStringLiteral("Zoom In"), kPushButton1, Frame1))
    , PushButton2(pushButton(
          QStringLiteral("PushButton2"), QStringLiteral("Zoom Out"), kPushButton2, Frame1))
    , PushButton8(
          pushButton(QStringLiteral("PushButton8"), QStringLiteral("< Back"), kPushButton8, this))
    , PushButton6(pushButton(QStringLiteral("PushButton6"),
          QStringLiteral("Save Results To Word File"), kPushButton6, this))
    , Zoom_Ori(new PictureBox(QStringLiteral("Zoom_Ori"), kHolderBorder, this))
    , mSettings(settings)
    , mPointer(*this)

{
    setObjectName(QStringLiteral("Form2"));
    // Character set 204 of the layout has no meaning to Qt's fonts, which are Unicode.
    setFont(boldArial(kWindowFontPoints));
    setFixedSize(twipsSize(kClientWidth, kClientHeight));

    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setGeometry(kListView1.pixels());
    ListView1->setRootIsDecorated(false);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->header()->setStretchLastSection(false);
    ListView1->viewport()->installEventFilter(this);
    ListView1->installEventFilter(this);

    QFont boxFont(QString::fromLatin1(kBoxFontFamily));
    boxFont.setPointSizeF(kBoxFontPoints);
    Picture2->place(kPicture2.left, kPicture2.top, kPicture2.width, kPicture2.height);
    Picture2->setBackColor(QColor::fromRgb(kWhite));
    Picture2->setFont(boxFont);
    Picture2->setFocusPolicy(Qt::StrongFocus);
    // The viewport and the page leave the pointer alone.
    Picture2->setAttribute(Qt::WA_NoMousePropagation);
    Picture1->place(kPicture1.left, kPicture1.top, kPicture1.width, kPicture1.height);
    Picture1->setAutoSize(true);
    Picture1->setFont(boxFont);
    Picture1->setFocusPolicy(Qt::StrongFocus);
    Picture1->setAttribute(Qt::WA_NoMousePropagation);

    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(kFrame1.pixels());

    Zoom_Ori->place(kZoom_Ori.left, kZoom_Ori.top, kZoom_Ori.width, kZoom_Ori.height);
    Zoom_Ori->setBackColor(QColor::fromRgb(kWhite));
    Zoom_Ori->setVisible(false);
    setPagePicture(0, QImage());

    setTabOrder(HScroll1, VScroll1);
    setTabOrder(VScroll1, Picture2);
    setTabOrder(Picture2, Picture1);
    setTabOrder(Picture1, PushButton1);
    setTabOrder(PushButton1, PushButton2);
    setTabOrder(PushButton2, PushButton6);
    setTabOrder(PushButton6, PushButton8);
    setTabOrder(PushButton8, ListView1);

    connect(PushButton1, &QPushButton::clicked, this, &Form2::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form2::PushButton2_Click);
    connect(PushButton6, &QPushButton::clicked, this, &Form2::PushButton6_Click);
    connect(PushButton8, &QPushButton::clicked, this, &Form2::PushButton8_Click);
    connect(HScroll1, &QScrollBar::valueChanged, this, &Form2::HScroll1_Change);
    connect(VScroll1, &QScrollBar::valueChanged, this, &Form2::VScroll1_Change);
    connect(Picture1, &PictureBox::mouseDown, this, &Form2::Picture1_MouseDown);
    connect(Picture1, &PictureBox::mouseMove, this, &Form2::Picture1_MouseMove);
    connect(Picture1, &PictureBox::mouseUp, this, &Form2::Picture1_MouseUp);
    Picture1->installEventFilter(this);
    Picture2->installEventFilter(this);

    onMouseMove(this, [this] { Form_MouseMove(); });
    onMouseMove(ListView1, [this] { ListView1_MouseMove(); });
    onMouseMove(Frame1, [this] { Frame1_MouseMove(); });
    onMouseMove(PushButton1, [this] { PushButton1_MouseMove(); });
    onMouseMove(PushButton2, [this] { PushButton2_MouseMove(); });
    onMouseMove(PushButton6, [this] { PushButton6_MouseMove(); });
    onMouseMove(PushButton8, [this] { PushButton8_MouseMove(); });

    centreOnScreen(*this);
    Form_Load();
    // After the buttons' own handlers, which its zoom indicator follows.
    mCommands = new PageCommands(*this,
        { this, PushButton1, PushButton2, PushButton6, Picture2, Picture1, Zoom_Ori, HScroll1,
            VScroll1 },
        ui, mPointer, settings, word, std::move(memoSubject));
    new PreviewAccess({ this, ListView1, Picture2, Picture1, HScroll1, VScroll1, PushButton1,
                          PushButton2, PushButton8 },
        *mCommands);
}

void Form2::clearPages()
{
    ListView1->clear();
}

void Form2::addPage(const QString &caption)
{
    auto *entry = new QTreeWidgetItem(ListView1, { caption });
    // The first page is the one the window shows on loading.
    if (ListView1->topLevelItemCount() == 1)
        entry->setSelected(true);
}

void Form2::setPagePicture(int index, const QImage &picture)
{
    if (index < 0)
        fail(QStringLiteral("There is no page picture %1: pages count from 0.").arg(index));
    while (Image1.size() <= index) {
        const auto element = Image1.size();
        auto *holder = new PictureBox(
            element == 0 ? QStringLiteral("Image1") : QStringLiteral("Image1_%1").arg(element),
            kHolderBorder, this);
        holder->place(kImage1.left, kImage1.top, kImage1.width, kImage1.height);
        holder->setAutoSize(true);
        holder->setVisible(false);
        Image1.append(holder);
    }
    Image1[index]->setPicture(picture);
}

void Form2::setDisplayPicture(const QImage &picture)
{
    Picture1->setPicture(picture);
}

void Form2::setPagesNote(const QString &note)
{
    mCommands->setNote(note);
}

void Form2::showEvent(QShowEvent *event)
{
    // Only the program's own show reloads the page: a restore must keep the user's zoom.
    if (!event->spontaneous()) {
        Form_Activate();
        mCommands->updateZoomTips();
    }
    QWidget::showEvent(event);
}

void Form2::closeEvent(QCloseEvent *event)
{
    std::int16_t cancel = 0;
    Form_QueryUnload(cancel, kFromControlMenu);
    if (cancel != 0) {
        event->ignore();
        return;
    }
    Form_Unload(cancel);
}

bool Form2::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ListView1->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton
            && ListView1->viewport()->rect().contains(mouse->position().toPoint()))
            ListView1_Click();
    } else if (watched == ListView1 && event->type() == QEvent::KeyRelease
        && !static_cast<QKeyEvent *>(event)->isAutoRepeat()) {
        ListView1_KeyUp();
    } else if (watched == Picture1 || watched == Picture2) {
        if (event->type() == QEvent::Wheel) {
            mCommands->pageWheel(
                *static_cast<QWheelEvent *>(event), *static_cast<QWidget *>(watched));
            return true;
        }
        if (event->type() == QEvent::KeyPress
            && mCommands->pageKey(*static_cast<QKeyEvent *>(event)))
            return true;
        if (event->type() == QEvent::ContextMenu) {
            mCommands->contextMenu(*static_cast<QContextMenuEvent *>(event));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form2::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        PushButton8_Click();
    else
        QWidget::keyPressEvent(event);
}

void Form2::Form_Load()
{
    ErrorTrap trap(mUi, QString::fromLatin1(kFormLoadLocation));
    trap.step(102, [&] { SetFormColors(*this); });
    trap.step(104, [&] {
        setWindowTitle(QStringLiteral("Scrivane"));
        setWindowIcon(applicationIcon());
    });
    if (trap.test(108, [&] { return FileExists(handCursorPath()); }))
        trap.step(110, [&] { mPointer.setCustomIcon(loadCursorFile(handCursorPath())); });
    trap.step(112, [&] { ListView1->setHeaderLabels({ QStringLiteral("Page(s)") }); });
    trap.step(114, [&] { ListView1->setColumnWidth(0, twipsToPixels(kPageColumnWidth)); });
}

void Form2::Form_Activate()
{
    ErrorTrap trap(mUi, QString::fromLatin1(kFormActivateLocation));
    trap.step(102, [&] { Picture1->setAutoRedraw(true); });
    trap.step(104, [&] { Picture1->setAutoSize(true); });
    trap.step(106, [&] { Picture1->setBackColor(QColor::fromRgb(kWhite)); });
    trap.step(112, [&] { Zoom_Ori->setAutoRedraw(true); });
    trap.step(114, [&] { Zoom_Ori->setVisible(false); });
    trap.step(116, [&] { Zoom_Ori->setBoxWidth(Picture1->boxWidth()); });
    trap.step(118, [&] { Zoom_Ori->setBoxHeight(Picture1->boxHeight()); });
    trap.step(120, [&] { Zoom_Ori->setPicture(Picture1->picture()); });
    resetZoomToOne(trap);
    trap.step(134, [&] { RedrawImage(); });
    trap.step(136, [&] { ResetScrollbars(); });
}

void Form2::Form_QueryUnload(std::int16_t &, std::int16_t)
{
    ErrorTrap trap(mUi, QString::fromLatin1(kFormQueryUnloadLocation));
    trap.step(100, [&] { KillFile(mWordFile); });
    trap.step(102, [&] { QCoreApplication::processEvents(); });
    trap.step(104, [&] { QCoreApplication::processEvents(); });
}

void Form2::Form_Unload(std::int16_t &)
{
    mUi.endProgram();
}

void Form2::ListView1_Click()
{
    loadSelectedPage();
}

void Form2::ListView1_KeyUp()
{
    loadSelectedPage();
}

void Form2::loadSelectedPage()
{
    if (ListView1->topLevelItemCount() == 0)
        return;
    const QList<QTreeWidgetItem *> selected = ListView1->selectedItems();
    if (selected.isEmpty())
        return;
    const auto element = ListView1->indexOfTopLevelItem(selected.first());
    // A page whose picture never came is shown empty.
    const QImage picture = element < Image1.size() ? Image1[element]->picture() : QImage();

    // Neither list handler has a trap, and no routine above an event could report.
    try {
        mPointer.set(MousePointer::Hourglass);
        Picture1->setPicture(picture);
        Zoom_Ori->setAutoRedraw(true);
        Zoom_Ori->setVisible(false);
        Zoom_Ori->setBoxWidth(Picture1->boxWidth());
        Zoom_Ori->setBoxHeight(Picture1->boxHeight());
        Zoom_Ori->setPicture(picture);
        // No trap of its own: the first failing step ends the load.
        ErrorTrap reset(
            [](const QString &, int, const QString &description) { fail(description); }, {});
        resetZoomToOne(reset);
        RedrawImage();
        ResetScrollbars();
        mPointer.set(MousePointer::Default);
    } catch (const std::exception &error) {
        mPointer.set(MousePointer::Default);
        mUi.messageBox(describe(error), UserInterface::Buttons::Ok, UserInterface::Icon::Warning);
    }
}

// The unscaled page's size from its holder, shown at zoom 1: every page load and the
// fall-back of a page too large to show end here.
void Form2::resetZoomToOne(ErrorTrap &trap)
{
    trap.step(124, [&] { mZoom = 1; });
    trap.step(126, [&] { mBaseWidth = roundToInt32(Zoom_Ori->innerWidth() - 2.0); });
    trap.step(128, [&] { mBaseHeight = roundToInt32(Zoom_Ori->innerHeight() - 2.0); });
    trap.step(130, [&] { mZoomWidth = floorToInt32(mBaseWidth * double(1)); });
    trap.step(132, [&] { mZoomHeight = floorToInt32(mBaseHeight * double(1)); });
}

void Form2::PushButton1_Click()
{
    ErrorTrap trap(mUi, QString::fromLatin1(kPushButton1ClickLocation));
    trap.step(100, [&] {
        std::int32_t zoomOut = 0;
        StepZoom(zoomOut);
    });
}

void Form2::PushButton2_Click()
{
    ErrorTrap trap(mUi, QString::fromLatin1(kPushButton2ClickLocation));
    trap.step(100, [&] {
        std::int32_t zoomOut = 1;
        StepZoom(zoomOut);
    });
}

void Form2::StepZoom(std::int32_t &zoomOut)
{
    float candidate = zoomOut == 0 ? mZoom + kZoomStep : mZoom - kZoomStep;
    SetZoom(candidate);
}

void Form2::SetZoom(float &newZoom)
{
    if (newZoom >= kLowestZoom && newZoom <= kHighestZoom) {
        mZoom = newZoom;
        RedrawImage();
        // The bars follow the zoomed page; a page that fell back stays as it was.
        if (mZoom == newZoom)
            ResetScrollbars();
    }
}

void Form2::RedrawImage()
{
    ErrorTrap trap(mUi, QString::fromLatin1(kRedrawImageLocation));
    trap.step(100, [&] { mZoomWidth = floorToInt32(double(mBaseWidth) * mZoom); });
    trap.step(102, [&] { mZoomHeight = floorToInt32(double(mBaseHeight) * mZoom); });
    if (trap.test(104,
            [&] { return mZoomWidth >= kMaximumZoomWidth || mZoomHeight >= kMaximumZoomHeight; })) {
        // Too large to show: back to zoom 1, leaving the page as it is on screen.
        resetZoomToOne(trap);
        return;
    }
    trap.step(106, [&] { Picture1->setPicture(QImage()); });
    trap.step(108, [&] { Picture1->setBoxWidth(mZoomWidth); });
    trap.step(110, [&] { Picture1->setBoxHeight(mZoomHeight); });
    trap.step(112, [&] {
        Picture1->paintPicture(
            Zoom_Ori->picture(), 0, 0, mZoomWidth, mZoomHeight, 0, 0, mBaseWidth, mBaseHeight);
    });
    trap.step(114, [&] { mPointer.set(MousePointer::Default); });
    trap.step(116, [&] { HScroll1->setValue(0); });
    trap.step(118, [&] { VScroll1->setValue(0); });
    trap.step(120, [&] { HScroll1->setEnabled(Picture2->innerWidth() < mZoomWidth); });
    trap.step(122, [&] { VScroll1->setEnabled(Picture2->innerHeight() < mZoomHeight); });
}

void Form2::ResetScrollbars()
{
    Picture1->setTop(0);
    Picture1->setLeft(0);
    resetScrollAxis(*HScroll1, mHStep, double(Picture1->boxWidth()) - Picture2->boxWidth(),
        Picture2->innerWidth());
    resetScrollAxis(*VScroll1, mVStep, double(Picture1->boxHeight()) - Picture2->boxHeight(),
        Picture2->innerHeight());
}

// How far the page overhangs the viewport decides the scrollbar's range: one twip per
// unit up to 100 twips, ten twips per unit beyond. An arrow click moves about a tenth
// of the viewport, a click in the trough about a viewport.
void Form2::resetScrollAxis(
    QScrollBar &scrollBar, std::int16_t &step, double overhang, double viewport)
{
    if (overhang <= 0) {
        scrollBar.setEnabled(false);
        step = 0;
        return;
    }
    const bool fine = static_cast<float>(overhang) <= 100;
    step = fine ? 1 : 10;
    scrollBar.setEnabled(true);
    scrollBar.setMaximum(roundToInt32(overhang / step));
    scrollBar.setSingleStep(std::max(1, roundToInt32(viewport / 10 / step)));
    scrollBar.setPageStep(std::max(1, roundToInt32(viewport / step)));
    scrollBar.setValue(0);
}

void Form2::HScroll1_Change()
{
    Picture1->setLeft(static_cast<float>(-(double(mHStep) * HScroll1->value())));
}

void Form2::VScroll1_Change()
{
    Picture1->setTop(static_cast<float>(-(double(mVStep) * VScroll1->value())));
}

void Form2::Picture1_MouseDown(std::int16_t, std::int16_t, float x, float y)
{
    ErrorTrap trap(mUi, QString::fromLatin1(kPicture1MouseDownLocation));
    trap.step(100, [&] { mDragX = x; });
    trap.step(102, [&] { mDragY = y; });
}

void Form2::Picture1_MouseMove(std::int16_t button, std::int16_t, float x, float y)
{
    ErrorTrap trap(mUi, QString::fromLatin1(kPicture1MouseMoveLocation));
    if (!trap.test(100, [&] { return button != 0; }))
        return;
    // The grabbed point stays under the pointer, and the page never leaves a gap
    // on the side it is pulled from.
    float newLeft = 0;
    float newTop = 0;
    trap.step(104, [&] { newLeft = Picture1->left() - mDragX + x; });
    if (trap.test(106, [&] { return newLeft > 0; }))
        trap.step(108, [&] { newLeft = 0; });
    else if (trap.test(
                 110, [&] { return Picture2->innerWidth() - Picture1->boxWidth() > newLeft; }))
        trap.step(112, [&] { newLeft = Picture2->innerWidth() - Picture1->boxWidth(); });
    trap.step(114, [&] { newTop = Picture1->top() - mDragY + y; });
    if (trap.test(116, [&] { return newTop > 0; }))
        trap.step(118, [&] { newTop = 0; });
    else if (trap.test(
                 120, [&] { return Picture2->innerHeight() - Picture1->boxHeight() > newTop; }))
        trap.step(122, [&] { newTop = Picture2->innerHeight() - Picture1->boxHeight(); });
    trap.step(124, [&] { Picture1->moveTo(newLeft, newTop); });
}

void Form2::Picture1_MouseUp(std::int16_t, std::int16_t, float, float)
{
    ErrorTrap trap(mUi, QString::fromLatin1(kPicture1MouseUpLocation));
    double horizontal = 0;
    double vertical = 0;
    trap.step(100, [&] {
        horizontal = percentAlong(Picture1->left(), Picture1->boxWidth(), Picture2->boxWidth());
    });
    trap.step(102, [&] {
        vertical = percentAlong(Picture1->top(), Picture1->boxHeight(), Picture2->boxHeight());
    });
    trap.step(104, [&] {
        double percent = horizontal;
        SetHScrollbarByPercent(*HScroll1, percent);
    });
    trap.step(106, [&] {
        double percent = vertical;
        SetVScrollbarByPercent(*VScroll1, percent);
    });
}

void Form2::SetHScrollbarByPercent(QScrollBar &HScrollbar, double &percent)
{
    if (percent < 0 || percent > 100)
        return;
    HScrollbar.setValue(roundToInt32(percent / 100.0 * HScrollbar.maximum()));
}

void Form2::SetVScrollbarByPercent(QScrollBar &VScrollbar, double &percent)
{
    if (percent < 0 || percent > 100)
        return;
    VScrollbar.setValue(roundToInt32(percent / 100.0 * VScrollbar.maximum()));
}

void Form2::PushButton6_Click()
{
    ErrorTrap trap(mUi, QString::fromLatin1(kPushButton6ClickLocation));
    std::int16_t answer = 0;
    QString chosenName;
    trap.step(106, [&] { CommonDialog1.FileName.clear(); });
    trap.step(108, [&] { CommonDialog1.DialogTitle = QStringLiteral("Save File"); });
    trap.step(110, [&] { CommonDialog1.Filter = QStringLiteral("Word Files (*.doc)|*.doc"); });
    trap.step(112, [&] {
        CommonDialog1.InitDir = saveDialogFolder(mSettings);
        CommonDialog1.FileName = mUi.saveFileName(CommonDialog1.DialogTitle, CommonDialog1.Filter,
            CommonDialog1.FileName, CommonDialog1.InitDir);
    });
    trap.step(114, [&] { chosenName = CommonDialog1.FileName; });
    if (trap.test(116, [&] { return !chosenName.isEmpty(); })) {
        if (trap.test(118, [&] { return FileExists(chosenName); })) {
            trap.step(120, [&] {
                answer = mUi.messageBox(QStringLiteral("Are you sure you wish to overwrite ")
                        + chosenName + QStringLiteral(" ?"),
                    UserInterface::Buttons::YesNo, UserInterface::Icon::None);
            });
            // The old file is replaced by the finished copy, never deleted ahead of it.
        } else {
            trap.step(126, [&] { answer = UserInterface::Yes; });
        }
    }
    bool saved = false;
    if (trap.test(128, [&] { return answer == UserInterface::Yes; }))
        saved = trap.step(130, [&] {
            saveCopy(mWordFile, chosenName);
            rememberSaveFolder(mSettings, chosenName);
        });
    if (saved)
        trap.step(132, [&] {
            mUi.messageBox(
                QStringLiteral("Done."), UserInterface::Buttons::Ok, UserInterface::Icon::None);
        });
}

void Form2::PushButton8_Click()
{
    ErrorTrap trap(mUi, QString::fromLatin1(kPushButton8ClickLocation));
    trap.step(102, [&] { KillFile(mWordFile); });
    trap.step(104, [&] {
        if (mMainWindow)
            mMainWindow->show();
    });
    trap.step(106, [&] { hide(); });
}

void Form2::stepZoom(bool out)
{
    std::int32_t zoomOut = out ? 1 : 0;
    StepZoom(zoomOut);
}

void Form2::showAtZoom(float zoom)
{
    SetZoom(zoom);
}

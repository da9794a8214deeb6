#include "Form2.h"
#include "PictureBox.h"
#include "PreviewPages.h"
#include "ScriptedUserInterface.h"
#include "Twips.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QSpontaneKeyEvent>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTreeWidget>

#include <memory>

using namespace Qt::StringLiterals;

// The preview window's view: layout, page list, zoom, panning and scrollbars.
namespace {
QRect partOf(const QScrollBar &bar, QStyle::SubControl part)
{
    QStyleOptionSlider option;
    option.initFrom(&bar);
    option.subControls = QStyle::SC_All;
    option.orientation = bar.orientation();
    option.minimum = bar.minimum();
    option.maximum = bar.maximum();
    option.sliderPosition = bar.sliderPosition();
    option.sliderValue = bar.value();
    option.singleStep = bar.singleStep();
    option.pageStep = bar.pageStep();
    option.upsideDown = bar.invertedAppearance();
    return bar.style()->subControlRect(QStyle::CC_ScrollBar, &option, part, &bar);
}
} // namespace

class PreviewWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowIsFixedCentredAndTitled();
    void focusMovesInTabOrder();

    void zoomStepsBetweenTheLimits();
    void zoomFallsBackWhenThePageWouldBeTooWide();
    void pageAtTheCapZoomsOutOnly();
    void zoomingRecomputesTheRanges();
    void paintingIsSharpAtEveryDensity();

    void loadSetsRangesAndSteps_data();
    void loadSetsRangesAndSteps();
    void scrollValuePlacesThePage_data();
    void scrollValuePlacesThePage();
    void scrollArrowAndTroughMoveByPartsOfTheViewport();
    void draggedThumbMovesThePageOnRelease();
    void longPageScrollsToItsEnd_data();
    void longPageScrollsToItsEnd();

    void dragKeepsThePageInsideTheViewport_data();
    void dragKeepsThePageInsideTheViewport();
    void dragNeedsAButton();
    void narrowPageJumpsBetweenTheSides();
    void releaseFeedsThePositionToTheScrollbars_data();
    void releaseFeedsThePositionToTheScrollbars();
    void releaseUsesTheRangesOfTheZoom();

    void activationReloadsAtZoomOneTopLeft();
    void onlyTheProgramsShowActivates();

    void choosingAPageLoadsItAtZoomOne();
    void keyReleaseReloadsTheSelectedPage();
    void emptyListIgnoresClicksAndKeys();
    void listWithoutSelectionIgnoresClicks();

    void hoverSetsThePointer();
    void hoverLeavesTheHourglass();

private:
    void load(const QImage &page);
    void zoomIn(int times = 1);
    void zoomOut(int times = 1);
    // Presses on the page at a point of the viewport, moves and releases there.
    void pressAt(QPoint viewportPoint);
    void moveTo(QPoint viewportPoint);
    void releaseAt(QPoint viewportPoint);
    QSizeF pageSize() const { return { picture1->boxWidth(), picture1->boxHeight() }; }
    QPointF pagePlace() const { return { picture1->left(), picture1->top() }; }

    std::unique_ptr<ScriptedUserInterface> ui;
    std::unique_ptr<QWidget> mainWindow;
    std::unique_ptr<Form2> form;
    PictureBox *picture1 = nullptr;
    PictureBox *picture2 = nullptr;
    QScrollBar *hScroll = nullptr;
    QScrollBar *vScroll = nullptr;
    QTreeWidget *list = nullptr;
};

void PreviewWindowTest::init()
{
    ui = std::make_unique<ScriptedUserInterface>();
    mainWindow = std::make_unique<QWidget>();
    form = std::make_unique<Form2>(*ui, mainWindow.get());
    picture1 = form->findChild<PictureBox *>(QStringLiteral("Picture1"));
    picture2 = form->findChild<PictureBox *>(QStringLiteral("Picture2"));
    hScroll = form->findChild<QScrollBar *>(QStringLiteral("HScroll1"));
    vScroll = form->findChild<QScrollBar *>(QStringLiteral("VScroll1"));
    list = form->findChild<QTreeWidget *>(QStringLiteral("ListView1"));
    QVERIFY(picture1 && picture2 && hScroll && vScroll && list);
}

void PreviewWindowTest::cleanup()
{
    QVERIFY2(ui->errorReports().isEmpty(), qPrintable(ui->errorReports().join(u'\n')));
    form.reset();
    mainWindow.reset();
    ui.reset();
}

void PreviewWindowTest::load(const QImage &page)
{
    fillAndShow(*form, page);
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void PreviewWindowTest::zoomIn(int times)
{
    auto *button = form->findChild<QPushButton *>(QStringLiteral("PushButton1"));
    for (int i = 0; i < times; ++i)
        QTest::mouseClick(button, Qt::LeftButton);
}

void PreviewWindowTest::zoomOut(int times)
{
    auto *button = form->findChild<QPushButton *>(QStringLiteral("PushButton2"));
    for (int i = 0; i < times; ++i)
        QTest::mouseClick(button, Qt::LeftButton);
}

// The page keeps the mouse while a button is held, wherever the pointer goes; the
// events are given to it directly, at the viewport point seen from where it lies now.
void PreviewWindowTest::pressAt(QPoint viewportPoint)
{
    QTest::mousePress(picture1, Qt::LeftButton, {}, viewportPoint - picture1->pos());
}

void PreviewWindowTest::moveTo(QPoint viewportPoint)
{
    QTest::mouseMove(picture1, viewportPoint - picture1->pos());
}

void PreviewWindowTest::releaseAt(QPoint viewportPoint)
{
    QTest::mouseRelease(picture1, Qt::LeftButton, {}, viewportPoint - picture1->pos());
}

void PreviewWindowTest::windowIsFixedCentredAndTitled()
{
    load(pageOfTwips(3000, 2000));
    QCOMPARE(form->windowTitle(), QStringLiteral("Scrivane"));
    QCOMPARE(form->size(), twipsSize(9840, 8685));
    QCOMPARE(form->minimumSize(), form->maximumSize());
    const Qt::WindowFlags flags = form->windowFlags();
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    const QRect screen = form->screen()->availableGeometry();
    QVERIFY(qAbs(form->geometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(form->geometry().center().y() - screen.center().y()) <= 1);
    QCOMPARE(form->font().family(), QStringLiteral("Arial"));
    QCOMPARE(form->font().pointSizeF(), 9.0);
    QVERIFY(form->font().bold());

    QCOMPARE(list->headerItem()->text(0), QStringLiteral("Page(s)"));
    QCOMPARE(list->columnCount(), 1);
    QCOMPARE(list->columnWidth(0), twipsToPixels(7500));
    QVERIFY(!list->rootIsDecorated());
    QCOMPARE(
        form->findChild<QGroupBox *>(QStringLiteral("Frame1"))->title(), QStringLiteral("Zoom:"));

    // The hidden holders lie beyond the client area and are never shown.
    auto *zoomOri = form->findChild<PictureBox *>(QStringLiteral("Zoom_Ori"));
    auto *image1 = form->findChild<PictureBox *>(QStringLiteral("Image1"));
    QVERIFY(zoomOri && image1);
    QVERIFY(!zoomOri->isVisible());
    QVERIFY(!image1->isVisible());
    QVERIFY(zoomOri->x() >= form->width());
    QVERIFY(image1->x() >= form->width());
}

void PreviewWindowTest::focusMovesInTabOrder()
{
    // Wide and tall, so that both scrollbars are enabled and take the focus.
    load(pageOfTwips(12000, 7500));
    const QStringList expected { u"HScroll1"_s, u"VScroll1"_s, u"Picture2"_s, u"Picture1"_s,
        u"PushButton1"_s, u"PushButton2"_s, u"PushButton6"_s, u"PushButton8"_s, u"ListView1"_s };
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    hScroll->setFocus();
    QStringList visited { QApplication::focusWidget()->objectName() };
    for (int i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, expected);
}

void PreviewWindowTest::zoomStepsBetweenTheLimits()
{
    load(pageOfTwips(2002, 1502));
    QCOMPARE(form->zoomState().zoom, 1.0f);
    QCOMPARE(form->zoomState().baseWidth, 2000);
    QCOMPARE(form->zoomState().baseHeight, 1500);
    QCOMPARE(pageSize(), QSizeF(2000, 1500));

    const auto expectZoom = [this](float zoom) {
        QCOMPARE(form->zoomState().zoom, zoom);
        QCOMPARE(form->zoomState().zoomWidth, static_cast<std::int32_t>(std::floor(2000.0 * zoom)));
        QCOMPARE(pageSize(), QSizeF(std::floor(2000.0 * zoom), std::floor(1500.0 * zoom)));
        QCOMPARE(picture1->surface().size(),
            QSize(qRound(std::floor(2000.0 * zoom) / 15), qRound(std::floor(1500.0 * zoom) / 15)));
    };
    for (const float zoom : { 0.75f, 0.5f, 0.25f, 0.25f, 0.25f }) {
        zoomOut();
        expectZoom(zoom);
    }
    for (int level = 2; level <= 15; ++level) {
        zoomIn();
        expectZoom(0.25f * level);
    }
    zoomIn(2);
    expectZoom(3.75f);
}

void PreviewWindowTest::zoomFallsBackWhenThePageWouldBeTooWide()
{
    // 67108862 twips wide: at 3.5 under the largest box Qt lays out, at 3.75 beyond.
    load(pageOfManyTwips(67108864));
    QCOMPARE(form->zoomState().baseWidth, 67108862);
    zoomIn(10);
    QCOMPARE(form->zoomState().zoom, 3.5f);
    QCOMPARE(float(pageSize().width()), float(234881017));

    zoomIn();
    QCOMPARE(form->zoomState().zoom, 1.0f);
    QCOMPARE(form->zoomState().zoomWidth, 67108862);
    QCOMPARE(float(pageSize().width()), float(234881017));

    zoomIn();
    QCOMPARE(form->zoomState().zoom, 1.25f);
    QCOMPARE(float(pageSize().width()), float(83886077));
}

void PreviewWindowTest::pageAtTheCapZoomsOutOnly()
{
    const QImage page = pageOfManyTwips(268435456);
    load(page);
    // Shown as loaded: the picture is still the box's own, never repainted.
    QCOMPARE(float(pageSize().width()), float(268435456));
    QCOMPARE(picture1->picture(), page);

    for (int press = 0; press < 3; ++press) {
        zoomIn();
        QCOMPARE(form->zoomState().zoom, 1.0f);
        QCOMPARE(picture1->picture(), page);
    }
    zoomOut();
    QCOMPARE(form->zoomState().zoom, 0.75f);
    QVERIFY(picture1->picture().isNull());
    QCOMPARE(float(pageSize().width()), float(201326590));
}

void PreviewWindowTest::zoomingRecomputesTheRanges()
{
    load(pageOfTwips(6002, 4002));
    QVERIFY(!hScroll->isEnabled());
    QVERIFY(!vScroll->isEnabled());
    zoomIn(2);
    QCOMPARE(pageSize(), QSizeF(9000, 6000));
    QVERIFY(!hScroll->isEnabled());
    QVERIFY(vScroll->isEnabled());
    QCOMPARE(vScroll->maximum(), 94);
    QCOMPARE(form->zoomState().vStep, 10);
    vScroll->setValue(vScroll->maximum());
    QCOMPARE(pagePlace(), QPointF(0, -940));

    // Back at the size of the load, the ranges are the load's again.
    zoomOut(2);
    QVERIFY(!vScroll->isEnabled());
    QCOMPARE(form->zoomState().vStep, 0);
    QCOMPARE(pagePlace(), QPointF(0, 0));
}

void PreviewWindowTest::paintingIsSharpAtEveryDensity()
{
    // At the zoom where one picture pixel meets one screen pixel, the page shows the
    // picture's own pixels.
    const QImage page = noisePage(150, 100, 2);
    load(page);
    const float sharpZoom = static_cast<float>(2 / form->devicePixelRatio());
    while (form->zoomState().zoom < sharpZoom)
        zoomIn();
    QCOMPARE(form->zoomState().zoom, sharpZoom);
    QCOMPARE(picture1->surface().devicePixelRatio(), form->devicePixelRatio());
    QCOMPARE(picture1->surface().convertToFormat(QImage::Format_RGB32).size(), page.size());
    QVERIFY(picture1->surface().convertToFormat(QImage::Format_RGB32) == page);
}

void PreviewWindowTest::loadSetsRangesAndSteps_data()
{
    QTest::addColumn<int>("pageWidth");
    QTest::addColumn<int>("pageHeight");
    QTest::addColumn<bool>("hEnabled");
    QTest::addColumn<int>("hMaximum");
    QTest::addColumn<int>("hStep");
    QTest::addColumn<bool>("vEnabled");
    QTest::addColumn<int>("vMaximum");
    QTest::addColumn<int>("vStep");

    // The viewport is 9330 x 5055 twips. A page is shown 2 twips narrower and lower
    // than its picture.
    QTest::newRow("50 wider") << 9382 << 3002 << true << 50 << 1 << false << 32767 << 0;
    QTest::newRow("100 wider") << 9432 << 302 << true << 100 << 1 << false << 32767 << 0;
    QTest::newRow("105 wider, 10.5 to even")
        << 9437 << 302 << true << 10 << 10 << false << 32767 << 0;
    QTest::newRow("915 wider, 91.5 to even")
        << 10247 << 3000 << true << 92 << 10 << false << 32767 << 0;
    QTest::newRow("as wide and as high")
        << 9332 << 5057 << false << 32767 << 0 << false << 32767 << 0;
    QTest::newRow("50 higher") << 3002 << 5107 << false << 32767 << 0 << true << 50 << 1;
    QTest::newRow("915 higher") << 3002 << 5972 << false << 32767 << 0 << true << 92 << 10;
    QTest::newRow("945 higher, 94.5 to even")
        << 10247 << 6002 << true << 92 << 10 << true << 94 << 10;
}

void PreviewWindowTest::loadSetsRangesAndSteps()
{
    QFETCH(int, pageWidth);
    QFETCH(int, pageHeight);
    QFETCH(bool, hEnabled);
    QFETCH(int, hMaximum);
    QFETCH(int, hStep);
    QFETCH(bool, vEnabled);
    QFETCH(int, vMaximum);
    QFETCH(int, vStep);

    load(pageOfTwips(pageWidth, pageHeight));
    QCOMPARE(hScroll->isEnabled(), hEnabled);
    QCOMPARE(hScroll->maximum(), hMaximum);
    QCOMPARE(form->zoomState().hStep, hStep);
    QCOMPARE(vScroll->isEnabled(), vEnabled);
    QCOMPARE(vScroll->maximum(), vMaximum);
    QCOMPARE(form->zoomState().vStep, vStep);
    QCOMPARE(hScroll->minimum(), 0);
    QCOMPARE(hScroll->value(), 0);
    QCOMPARE(vScroll->value(), 0);
    QCOMPARE(pagePlace(), QPointF(0, 0));
}

void PreviewWindowTest::scrollValuePlacesThePage_data()
{
    QTest::addColumn<int>("pageWidth");
    QTest::addColumn<int>("pageHeight");
    QTest::addColumn<int>("hValue");
    QTest::addColumn<int>("vValue");
    QTest::addColumn<QPointF>("place");

    QTest::newRow("50 wider, value 20") << 9382 << 3002 << 20 << 0 << QPointF(-20, 0);
    QTest::newRow("915 wider, value 92") << 10247 << 3000 << 92 << 0 << QPointF(-920, 0);
    QTest::newRow("no wider, value 10") << 9332 << 3002 << 10 << 0 << QPointF(0, 0);
    QTest::newRow("915 higher, value 92") << 3002 << 5972 << 0 << 92 << QPointF(0, -920);
    QTest::newRow("both ways") << 10247 << 6002 << 7 << 3 << QPointF(-70, -30);
}

void PreviewWindowTest::scrollValuePlacesThePage()
{
    QFETCH(int, pageWidth);
    QFETCH(int, pageHeight);
    QFETCH(int, hValue);
    QFETCH(int, vValue);
    QFETCH(QPointF, place);

    load(pageOfTwips(pageWidth, pageHeight));
    hScroll->setValue(hValue);
    vScroll->setValue(vValue);
    QCOMPARE(pagePlace(), place);
    QCOMPARE(picture1->pos(), QPoint(twipsToPixels(place.x()), twipsToPixels(place.y())));
}

void PreviewWindowTest::scrollArrowAndTroughMoveByPartsOfTheViewport()
{
    // 20683 twips beyond the 9330-twip viewport: 2068 units of 10 twips; an arrow
    // moves 93 units, a tenth of the viewport, the trough 933, a viewport.
    load(pageOfTwips(30015, 3015));
    const auto click = [this](QStyle::SubControl part) {
        QTest::mouseClick(hScroll, Qt::LeftButton, {}, partOf(*hScroll, part).center());
    };
    click(QStyle::SC_ScrollBarAddLine);
    QCOMPARE(hScroll->value(), 93);
    QCOMPARE(pagePlace(), QPointF(-930, 0));
    click(QStyle::SC_ScrollBarAddPage);
    QCOMPARE(hScroll->value(), 93 + 933);
    QCOMPARE(pagePlace(), QPointF(-10260, 0));
    click(QStyle::SC_ScrollBarSubLine);
    QCOMPARE(hScroll->value(), 933);
    QCOMPARE(pagePlace(), QPointF(-9330, 0));
}

void PreviewWindowTest::draggedThumbMovesThePageOnRelease()
{
    load(pageOfTwips(10247, 3000));
    const QRect thumb = partOf(*hScroll, QStyle::SC_ScrollBarSlider);
    QTest::mousePress(hScroll, Qt::LeftButton, {}, thumb.center());
    QTest::mouseMove(hScroll, thumb.center() + QPoint(200, 0));
    QVERIFY(hScroll->sliderPosition() > 0);
    QCOMPARE(hScroll->value(), 0);
    QCOMPARE(pagePlace(), QPointF(0, 0));

    QTest::mouseRelease(hScroll, Qt::LeftButton, {}, thumb.center() + QPoint(200, 0));
    QVERIFY(hScroll->value() > 0);
    QCOMPARE(pagePlace(), QPointF(-10.0 * hScroll->value(), 0));
}

void PreviewWindowTest::longPageScrollsToItsEnd_data()
{
    QTest::addColumn<int>("pageHeight");
    QTest::addColumn<int>("maximum");
    // Shown 2 twips lower than the picture, beyond the 5055-twip viewport.
    QTest::newRow("beyond 16 bits of twips") << 45000 << 3994;
    QTest::newRow("beyond 16 bits of units") << 345000 << 33994;
}

void PreviewWindowTest::longPageScrollsToItsEnd()
{
    QFETCH(int, pageHeight);
    QFETCH(int, maximum);
    load(pageOfTwips(3000, pageHeight));
    QCOMPARE(vScroll->maximum(), maximum);
    vScroll->setValue(vScroll->maximum());
    QCOMPARE(pagePlace(), QPointF(0, -10.0 * maximum));
    QVERIFY(ui->messages.isEmpty());
}

void PreviewWindowTest::dragKeepsThePageInsideTheViewport_data()
{
    QTest::addColumn<QPoint>("by");
    QTest::addColumn<QPointF>("place");

    // A page of 10247 x 6002 twips, shown 2 twips smaller, overhangs the 9330 x 5055 viewport by
    // 915 x 945.
    QTest::newRow("within the range") << QPoint(-10, -20) << QPointF(-150, -300);
    QTest::newRow("beyond the far edges") << QPoint(-200, -300) << QPointF(-915, -945);
    QTest::newRow("beyond the near edges") << QPoint(30, 40) << QPointF(0, 0);
    QTest::newRow("beyond one edge only") << QPoint(-100, 5) << QPointF(-915, 0);
}

void PreviewWindowTest::dragKeepsThePageInsideTheViewport()
{
    QFETCH(QPoint, by);
    QFETCH(QPointF, place);

    load(pageOfTwips(10247, 6002));
    const QPoint start(300, 150);
    pressAt(start);
    moveTo(start + by / 2);
    moveTo(start + by);
    QCOMPARE(pagePlace(), place);
    QCOMPARE(picture1->pos(), QPoint(twipsToPixels(place.x()), twipsToPixels(place.y())));
    releaseAt(start + by);
}

void PreviewWindowTest::dragNeedsAButton()
{
    load(pageOfTwips(10247, 6002));
    picture1->setMouseTracking(true);
    QTest::mouseMove(picture2, QPoint(300, 150));
    QTest::mouseMove(picture2, QPoint(200, 100));
    QCOMPARE(pagePlace(), QPointF(0, 0));
}

void PreviewWindowTest::narrowPageJumpsBetweenTheSides()
{
    // Inside the viewport there are 6330 x 3055 twips to spare.
    load(pageOfTwips(3002, 2002));
    pressAt(QPoint(10, 10));
    moveTo(QPoint(11, 11));
    QCOMPARE(pagePlace(), QPointF(0, 0));
    moveTo(QPoint(9, 9));
    QCOMPARE(pagePlace(), QPointF(6330, 3055));
    moveTo(QPoint(10, 10));
    QCOMPARE(pagePlace(), QPointF(6330, 3055));
    moveTo(QPoint(11, 11));
    QCOMPARE(pagePlace(), QPointF(0, 0));

    // Even a move of no distance from the top-left corner jumps to the far side.
    QTest::mouseMove(picture1, QPoint(10, 10));
    QCOMPARE(pagePlace(), QPointF(6330, 3055));
    releaseAt(QPoint(11, 11));
}

void PreviewWindowTest::releaseFeedsThePositionToTheScrollbars_data()
{
    QTest::addColumn<int>("pageWidth");
    QTest::addColumn<int>("pageHeight");
    QTest::addColumn<QPoint>("by");
    QTest::addColumn<int>("hValue");
    QTest::addColumn<int>("vValue");
    QTest::addColumn<QPointF>("place");

    // 30 of 50 twips: 60 %, value 30 of 50.
    QTest::newRow("fine steps") << 9382 << 5057 << QPoint(-2, 0) << 30 << 0 << QPointF(-30, 0);
    // 450 of 915: 49 %, 45.08 of 92.
    QTest::newRow("coarse steps, down")
        << 10247 << 5057 << QPoint(-30, 0) << 45 << 0 << QPointF(-450, 0);
    // 465 of 915: 51 %, 46.92 of 92.
    QTest::newRow("coarse steps, up")
        << 10247 << 5057 << QPoint(-31, 0) << 47 << 0 << QPointF(-470, 0);
    // 915 of 915: 100 %, value 92 lies a half step beyond the drag limit.
    QTest::newRow("far edge") << 10247 << 5057 << QPoint(-100, 0) << 92 << 0 << QPointF(-920, 0);
    // 300 of 945: 32 %, 30.08 of 94.
    QTest::newRow("vertical") << 10247 << 6002 << QPoint(0, -20) << 0 << 30 << QPointF(0, -300);
    QTest::newRow("no move") << 10247 << 6002 << QPoint(0, 0) << 0 << 0 << QPointF(0, 0);
}

void PreviewWindowTest::releaseFeedsThePositionToTheScrollbars()
{
    QFETCH(int, pageWidth);
    QFETCH(int, pageHeight);
    QFETCH(QPoint, by);
    QFETCH(int, hValue);
    QFETCH(int, vValue);
    QFETCH(QPointF, place);

    load(pageOfTwips(pageWidth, pageHeight));
    const QPoint start(300, 150);
    pressAt(start);
    if (!by.isNull())
        moveTo(start + by);
    releaseAt(start + by);
    QCOMPARE(hScroll->value(), hValue);
    QCOMPARE(vScroll->value(), vValue);
    QCOMPARE(pagePlace(), place);
}

void PreviewWindowTest::releaseUsesTheRangesOfTheZoom()
{
    // A page exactly as wide and as high as the viewport has no range: 0 % on release.
    load(pageOfTwips(9332, 5057));
    hScroll->setValue(7);
    vScroll->setValue(9);
    pressAt(QPoint(300, 150));
    moveTo(QPoint(250, 100));
    releaseAt(QPoint(250, 100));
    QCOMPARE(hScroll->value(), 0);
    QCOMPARE(vScroll->value(), 0);

    // A page that fitted at load, zoomed to 1.25, can be dragged up to -576; the
    // release sets the bar from the zoomed range, on its 10-twip grid.
    form->hide();
    load(pageOfTwips(6002, 4507));
    zoomIn();
    QCOMPARE(pageSize(), QSizeF(7500, 5631));
    QVERIFY(vScroll->isEnabled());
    pressAt(QPoint(300, 150));
    moveTo(QPoint(300, 50));
    QCOMPARE(pagePlace(), QPointF(1830, -576));
    releaseAt(QPoint(300, 50));
    QCOMPARE(vScroll->value(), 58);
    QCOMPARE(pagePlace(), QPointF(1830, -580));
}

void PreviewWindowTest::activationReloadsAtZoomOneTopLeft()
{
    load(pageOfTwips(6000, 4000));
    zoomIn(2);
    pressAt(QPoint(300, 150));
    moveTo(QPoint(200, 100));
    releaseAt(QPoint(200, 100));
    QVERIFY(pagePlace() != QPointF(0, 0));

    // Back, then a new run fills the window and shows it again.
    form->hide();
    load(pageOfTwips(10247, 6002));
    QCOMPARE(form->zoomState().zoom, 1.0f);
    QCOMPARE(pageSize(), QSizeF(10245, 6000));
    QCOMPARE(pagePlace(), QPointF(0, 0));
    QCOMPARE(hScroll->value(), 0);
    QCOMPARE(vScroll->value(), 0);
    QCOMPARE(hScroll->maximum(), 92);
}

void PreviewWindowTest::onlyTheProgramsShowActivates()
{
    load(pageOfTwips(6000, 4000));
    zoomIn(2);
    QCOMPARE(form->zoomState().zoom, 1.5f);

    // The window system showing the window again (a restore) or activating it leaves
    // the zoom; notify delivers the events as the window system does, spontaneous.
    QShowEvent restored;
    QSpontaneKeyEvent::setSpontaneous(&restored);
    QApplication::instance()->notify(form.get(), &restored);
    QEvent activated(QEvent::WindowActivate);
    QSpontaneKeyEvent::setSpontaneous(&activated);
    QApplication::instance()->notify(form.get(), &activated);
    form->showMinimized();
    form->showNormal();
    form->activateWindow();
    QCOMPARE(form->zoomState().zoom, 1.5f);
    QCOMPARE(pageSize(), QSizeF(8997, 5997));

    // While a message box is up and after it, the zoom stays too.
    auto *box
        = new QMessageBox(QMessageBox::NoIcon, QString(), u"Done."_s, QMessageBox::Ok, form.get());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
    QVERIFY(QTest::qWaitForWindowExposed(box));
    box->close();
    form->activateWindow();
    QCOMPARE(form->zoomState().zoom, 1.5f);
}

void PreviewWindowTest::choosingAPageLoadsItAtZoomOne()
{
    load(pageOfTwips(4002, 2002, Qt::yellow));
    form->addPage(QStringLiteral("Page 2"));
    form->setPagePicture(1, pageOfTwips(6002, 3002, Qt::cyan));
    zoomIn(2);

    const QRect second = list->visualItemRect(list->topLevelItem(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(form->zoomState().zoom, 1.0f);
    QCOMPARE(form->zoomState().baseWidth, 6000);
    QCOMPARE(form->zoomState().baseHeight, 3000);
    QCOMPARE(pageSize(), QSizeF(6000, 3000));
    QCOMPARE(picture1->surface().pixelColor(10, 10), QColor(Qt::cyan));
    QCOMPARE(form->pointer().setting(), MousePointer::Default);

    const QRect first = list->visualItemRect(list->topLevelItem(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first.center());
    QCOMPARE(pageSize(), QSizeF(4000, 2000));
    QCOMPARE(picture1->surface().pixelColor(10, 10), QColor(Qt::yellow));
}

void PreviewWindowTest::keyReleaseReloadsTheSelectedPage()
{
    load(pageOfTwips(10247, 3000));
    zoomOut();
    hScroll->setValue(0);
    QCOMPARE(form->zoomState().zoom, 0.75f);

    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(form->zoomState().zoom, 1.0f);
    QCOMPARE(pageSize(), QSizeF(10245, 2998));
    QCOMPARE(hScroll->maximum(), 92);

    hScroll->setValue(40);
    QCOMPARE(pagePlace(), QPointF(-400, 0));
    QTest::keyClick(list, Qt::Key_Shift);
    QCOMPARE(pagePlace(), QPointF(0, 0));
    QCOMPARE(hScroll->value(), 0);
}

void PreviewWindowTest::emptyListIgnoresClicksAndKeys()
{
    load(pageOfTwips(4002, 2002));
    zoomIn();
    hScroll->setValue(0);
    form->clearPages();
    QCOMPARE(list->topLevelItemCount(), 0);

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_A);
    QCOMPARE(form->zoomState().zoom, 1.25f);
    QCOMPARE(pageSize(), QSizeF(5000, 2500));
}

void PreviewWindowTest::listWithoutSelectionIgnoresClicks()
{
    load(pageOfTwips(4002, 2002));
    zoomIn();
    list->clearSelection();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(20, 90));
    QCOMPARE(list->selectedItems().size(), 0);
    QCOMPARE(form->zoomState().zoom, 1.25f);
    QCOMPARE(pageSize(), QSizeF(5000, 2500));
}

void PreviewWindowTest::hoverSetsThePointer()
{
    load(pageOfTwips(4002, 2002));
    const auto over = [this](const char *name, QPoint at = QPoint(5, 5)) {
        QTest::mouseMove(form->findChild<QWidget *>(QLatin1String(name)), at);
        return form->pointer().setting();
    };
    for (const char *button : { "PushButton1", "PushButton2", "PushButton6", "PushButton8" }) {
        QCOMPARE(over("ListView1"), MousePointer::Default);
        QCOMPARE(over(button), MousePointer::Custom);
        // Without the hand cursor file the custom pointer is the ordinary arrow.
        QVERIFY(!form->pointer().hasCustomIcon());
        QCOMPARE(form->cursor().shape(), Qt::ArrowCursor);
    }
    QCOMPARE(over("Frame1", QPoint(5, 50)), MousePointer::Default);
    QCOMPARE(over("PushButton6"), MousePointer::Custom);
    QTest::mouseMove(form.get(), QPoint(650, 540));
    QCOMPARE(form->pointer().setting(), MousePointer::Default);

    // The viewport, the page and the scrollbars leave the pointer as it is.
    QCOMPARE(over("PushButton1"), MousePointer::Custom);
    QCOMPARE(over("Picture2", QPoint(600, 300)), MousePointer::Custom);
    QCOMPARE(over("Picture1"), MousePointer::Custom);
    QCOMPARE(over("HScroll1"), MousePointer::Custom);
}

void PreviewWindowTest::hoverLeavesTheHourglass()
{
    load(pageOfTwips(4002, 2002));
    form->pointer().set(MousePointer::Hourglass);
    for (const char *name : { "PushButton1", "ListView1", "PushButton8", "Frame1" }) {
        QTest::mouseMove(form->findChild<QWidget *>(QLatin1String(name)), QPoint(5, 5));
        QCOMPARE(form->pointer().setting(), MousePointer::Hourglass);
    }
    form->pointer().set(MousePointer::Default);
}

QTEST_MAIN(PreviewWindowTest)
#include "tst_previewwindow.moc"

#include "PictureBox.h"
#include "PreviewPages.h"

#include <QSignalSpy>
#include <QTest>

// The twip picture box: sizes inside and outside its border, sizing itself to a
// picture, and what its drawing surface keeps.
class PictureBoxTest : public QObject
{
    Q_OBJECT

private slots:
    void autoSizeWrapsThePictureInTheBorder_data();
    void autoSizeWrapsThePictureInTheBorder();
    void placeIsKeptInTwips();
    void paintingFillsTheDestination();
    void drawingLastsUntilTheNextPicture();
    void withoutAutoRedrawNothingIsKept();
    void mouseIsReportedInTwipsInsideTheBorder();
};

void PictureBoxTest::autoSizeWrapsThePictureInTheBorder_data()
{
    QTest::addColumn<float>("border");
    QTest::newRow("no border") << 0.0f;
    QTest::newRow("two-pixel border") << 30.0f;
}

void PictureBoxTest::autoSizeWrapsThePictureInTheBorder()
{
    QFETCH(float, border);
    QWidget window;
    PictureBox box(QStringLiteral("box"), border, &window);
    box.place(0, 0, 600, 300);
    box.setAutoSize(true);
    box.setPicture(pageOfTwips(4002, 2002));
    QCOMPARE(box.boxWidth(), 4002 + 2 * border);
    QCOMPARE(box.boxHeight(), 2002 + 2 * border);
    QCOMPARE(box.innerWidth(), 4002.0f);
    QCOMPARE(box.innerHeight(), 2002.0f);

    // No picture is nothing to size to.
    box.setPicture(QImage());
    QCOMPARE(box.innerWidth(), 4002.0f);

    box.setAutoSize(false);
    box.setPicture(pageOfTwips(300, 150));
    QCOMPARE(box.innerWidth(), 4002.0f);
}

void PictureBoxTest::placeIsKeptInTwips()
{
    QWidget window;
    PictureBox box(QStringLiteral("box"), 0, &window);
    box.place(-920.5f, 7, 10245, 6000);
    QCOMPARE(box.left(), -920.5f);
    QCOMPARE(box.top(), 7.0f);
    QCOMPARE(box.geometry(), QRect(-61, 0, 683, 400));
    box.moveTo(-7.5f, -22.5f);
    QCOMPARE(box.pos(), QPoint(-1, -2));
}

void PictureBoxTest::paintingFillsTheDestination()
{
    QWidget window;
    PictureBox box(QStringLiteral("box"), 0, &window);
    box.setBackColor(Qt::white);
    box.setAutoRedraw(true);
    box.place(0, 0, 3000, 1500);

    // The whole source rectangle lands on the whole destination rectangle.
    const QImage blue = pageOfTwips(600, 300, Qt::blue);
    box.paintPicture(blue, 150, 150, 1500, 750, 0, 0, 600, 300);
    const QImage surface = box.surface();
    QCOMPARE(surface.size(), QSize(200, 100));
    QCOMPARE(surface.pixelColor(9, 9), QColor(Qt::white));
    QCOMPARE(surface.pixelColor(10, 10), QColor(Qt::blue));
    QCOMPARE(surface.pixelColor(109, 59), QColor(Qt::blue));
    QCOMPARE(surface.pixelColor(110, 60), QColor(Qt::white));

    // A null picture paints nothing.
    box.paintPicture(QImage(), 0, 0, 3000, 1500, 0, 0, 600, 300);
    QCOMPARE(box.surface(), surface);
}

void PictureBoxTest::drawingLastsUntilTheNextPicture()
{
    QWidget window;
    PictureBox box(QStringLiteral("box"), 0, &window);
    box.setBackColor(Qt::white);
    box.setAutoRedraw(true);
    box.place(0, 0, 1500, 1500);
    box.paintPicture(pageOfTwips(300, 300, Qt::red), 0, 0, 1500, 1500, 0, 0, 300, 300);

    // Growing keeps the drawing where it fits and shows background beyond it.
    box.setBoxWidth(3000);
    QCOMPARE(box.surface().size(), QSize(200, 100));
    QCOMPARE(box.surface().pixelColor(50, 50), QColor(Qt::red));
    QCOMPARE(box.surface().pixelColor(150, 50), QColor(Qt::white));

    // A new picture, or none, clears the drawing.
    box.setPicture(QImage());
    QCOMPARE(box.surface().pixelColor(50, 50), QColor(Qt::white));
    box.setPicture(pageOfTwips(750, 750, Qt::green));
    QCOMPARE(box.surface().pixelColor(20, 20), QColor(Qt::green));
    QCOMPARE(box.surface().pixelColor(60, 60), QColor(Qt::white));
}

void PictureBoxTest::withoutAutoRedrawNothingIsKept()
{
    QWidget window;
    PictureBox box(QStringLiteral("box"), 0, &window);
    box.setBackColor(Qt::white);
    box.place(0, 0, 1500, 1500);
    box.paintPicture(pageOfTwips(300, 300, Qt::red), 0, 0, 1500, 1500, 0, 0, 300, 300);
    QCOMPARE(box.surface().pixelColor(50, 50), QColor(Qt::white));
}

void PictureBoxTest::mouseIsReportedInTwipsInsideTheBorder()
{
    QWidget window;
    window.resize(400, 300);
    PictureBox box(QStringLiteral("box"), 15, &window);
    box.place(-300, 150, 6000, 3000);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy downs(&box, &PictureBox::mouseDown);
    QSignalSpy moves(&box, &PictureBox::mouseMove);
    QSignalSpy ups(&box, &PictureBox::mouseUp);

    QTest::mousePress(&box, Qt::RightButton, Qt::ShiftModifier | Qt::AltModifier, QPoint(21, 11));
    QTest::mouseMove(&box, QPoint(31, 11));
    QTest::mouseRelease(&box, Qt::RightButton, {}, QPoint(31, 11));

    // 21 pixels from the box's pixel edge at -20, which lies at -300 twips, border 15.
    QCOMPARE(downs.size(), 1);
    QCOMPARE(downs[0][0].value<std::int16_t>(), 2);
    QCOMPARE(downs[0][1].value<std::int16_t>(), 5);
    QCOMPARE(downs[0][2].toFloat(), (21 - 20) * 15.0f + 300 - 15);
    QCOMPARE(downs[0][3].toFloat(), 11 * 15.0f - 15);
    QCOMPARE(moves.size(), 1);
    QCOMPARE(moves[0][0].value<std::int16_t>(), 2);
    QCOMPARE(moves[0][2].toFloat(), (31 - 20) * 15.0f + 300 - 15);
    QCOMPARE(ups.size(), 1);
    QCOMPARE(ups[0][0].value<std::int16_t>(), 2);
}

QTEST_MAIN(PictureBoxTest)
#include "tst_picturebox.moc"

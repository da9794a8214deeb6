#include "PageComposition.h"

#include <QTest>

namespace {
QImage filled(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}
} // namespace

// How page pictures become the one picture of a memo, without an office.
class PageCompositionTest : public QObject
{
    Q_OBJECT

private slots:
    void pagesStandWholeOnTheGround_data();
    void pagesStandWholeOnTheGround();
};

void PageCompositionTest::pagesStandWholeOnTheGround_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::newRow("96 dots per inch") << qreal(1);
    QTest::newRow("192 dots per inch") << qreal(2);
}

void PageCompositionTest::pagesStandWholeOnTheGround()
{
    QFETCH(qreal, ratio);
    const int gap = qRound(kPageGapPixels * ratio);
    const QImage picture = composedPages(
        { filled(100, 50, Qt::red), filled(60, 30, Qt::blue), filled(100, 20, Qt::green) }, ratio);
    QCOMPARE(picture.devicePixelRatio(), ratio);
    QCOMPARE(picture.size(), QSize(100 + 2 * gap, 100 + 4 * gap));

    // The ground shows around every page, each page whole, the narrow one centred.
    QCOMPARE(picture.pixelColor(gap - 1, gap), kPageBackground);
    QCOMPARE(picture.pixelColor(gap, gap - 1), kPageBackground);
    QCOMPARE(picture.pixelColor(gap, gap), QColor(Qt::red));
    QCOMPARE(picture.pixelColor(gap + 99, gap + 49), QColor(Qt::red));
    QCOMPARE(picture.pixelColor(gap + 99, gap + 50), kPageBackground);
    const int second = 2 * gap + 50;
    QCOMPARE(picture.pixelColor(gap + 19, second), kPageBackground);
    QCOMPARE(picture.pixelColor(gap + 20, second), QColor(Qt::blue));
    QCOMPARE(picture.pixelColor(gap + 79, second + 29), QColor(Qt::blue));
    QCOMPARE(picture.pixelColor(gap + 80, second + 29), kPageBackground);
    const int third = second + 30 + gap;
    QCOMPARE(picture.pixelColor(gap, third - 1), kPageBackground);
    QCOMPARE(picture.pixelColor(gap + 99, third + 19), QColor(Qt::green));
    QCOMPARE(picture.pixelColor(gap + 100, third + 19), kPageBackground);
    QCOMPARE(picture.pixelColor(gap, third + 20), kPageBackground);
}

QTEST_MAIN(PageCompositionTest)
#include "tst_pagecomposition.moc"

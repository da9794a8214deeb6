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
class TestPageComposition : public QObject
{
    Q_OBJECT

private slots:
    void textAreaKeepsInsideTheMargins_data();
    void textAreaKeepsInsideTheMargins();
    void pagesStackTopToBottom();
};

void TestPageComposition::textAreaKeepsInsideTheMargins_data()
{
    QTest::addColumn<PageFrame>("frame");
    QTest::addColumn<QRect>("kept");

    // A 200 x 300 pixel page drawn from a 20000 x 30000 frame: 1 pixel a millimetre.
    QTest::newRow("margins") << PageFrame { 20000, 30000, 1000, 2000, 3000, 4000 }
                             << QRect(10, 30, 170, 230);
    QTest::newRow("no frame") << PageFrame {} << QRect(0, 0, 200, 300);
    QTest::newRow("area beyond the page")
        << PageFrame { 20000, 30000, 25000, 0, 0, 0 } << QRect(0, 0, 200, 300);
}

void TestPageComposition::textAreaKeepsInsideTheMargins()
{
    QFETCH(PageFrame, frame);
    QFETCH(QRect, kept);
    QImage page = filled(200, 300, Qt::white);
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            page.setPixel(x, y, qRgb(x, y % 256, 0));
    QCOMPARE(textArea(page, frame), page.copy(kept));
}

void TestPageComposition::pagesStackTopToBottom()
{
    const QImage picture = stacked(
        { filled(100, 50, Qt::red), filled(60, 30, Qt::blue), filled(80, 20, Qt::green) }, 2);
    QCOMPARE(picture.size(), QSize(100, 100));
    QCOMPARE(picture.devicePixelRatio(), 2.0);
    QCOMPARE(picture.pixelColor(99, 49), QColor(Qt::red));
    QCOMPARE(picture.pixelColor(0, 50), QColor(Qt::blue));
    QCOMPARE(picture.pixelColor(59, 79), QColor(Qt::blue));
    QCOMPARE(picture.pixelColor(60, 79), QColor(Qt::white));
    QCOMPARE(picture.pixelColor(79, 99), QColor(Qt::green));
}

QTEST_MAIN(TestPageComposition)
#include "tst_pagecomposition.moc"

// The preview's repaint of a ten-page memo at every zoom: each repaint scales only
// what shows, so it should cost the same at 3.75 as at 1 and hold no page-sized copy.
// Yardstick, measured in the same run: scaling the whole page once at that zoom, what
// a box that keeps a full-size surface does on every zoom step.
#include "BenchSupport.h"
#include "Form2.h"
#include "PageComposition.h"
#include "PictureBox.h"
#include "QuietUserInterface.h"
#include "UserInterface.h"

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>

#include <cstdio>
#include <cstdlib>

namespace {
// An A4 page at 192 dots per inch, as the renderer draws it, with lines of text.
QImage textPage(int number)
{
    QImage page(1588, 2245, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    QFont font(QStringLiteral("Liberation Serif"));
    font.setPixelSize(32);
    painter.setFont(font);
    for (int line = 0; line < 45; ++line)
        painter.drawText(190, 200 + line * 42,
            QStringLiteral("Page %1, line %2: the quick brown fox jumps over the lazy dog.")
                .arg(number)
                .arg(line + 1));
    return page;
}
} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

    QList<QImage> pages;
    for (int number = 1; number <= 10; ++number)
        pages << textPage(number);
    const QImage memo = composedPages(pages, 2);
    pages.clear();
    const double memoMiB = memo.sizeInBytes() / 1048576.0;

    QuietUserInterface ui;
    Form2 form(ui, nullptr);
    form.clearPages();
    form.addPage(QStringLiteral("Page 1"));
    form.setPagePicture(0, memo);
    form.setDisplayPicture(memo);
    form.show();
    QApplication::processEvents();
    auto *viewport = form.findChild<PictureBox *>(QStringLiteral("Picture2"));
    auto *page = form.findChild<PictureBox *>(QStringLiteral("Picture1"));
    auto *bar = form.findChild<QScrollBar *>(QStringLiteral("VScroll1"));
    auto *zoomIn = form.findChild<QPushButton *>(QStringLiteral("PushButton1"));
    auto *zoomOut = form.findChild<QPushButton *>(QStringLiteral("PushButton2"));
    std::printf("ten-page memo: %d x %d pixels, unscaled copy %.0f MiB\n", memo.width(),
        memo.height(), memoMiB);

    const double residentBefore = residentNow();
    double residentMost = residentBefore;
    for (int press = 0; press < 3; ++press)
        zoomOut->click();
    struct Level
    {
        double zoom;
        double repaint;
    };
    std::vector<Level> levels;
    for (int level = 1; level <= 15; ++level) {
        const double zoom = 0.25 * level;
        if (level > 1)
            zoomIn->click();
        // The middle of the memo, then one arrow step on between repaints: each
        // repaint draws a new part of the page.
        bar->setValue(bar->maximum() / 2);
        std::vector<double> times;
        for (int run = 0; run < runs; ++run) {
            bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            times.push_back(milliseconds([&] { viewport->repaint(); }));
            residentMost = std::max(residentMost, residentNow());
        }
        if (level % 3 == 0 || level == 1 || level == 4)
            report(qPrintable(QStringLiteral("repaint of the viewport at %1").arg(zoom)), times);
        levels.push_back({ zoom, median(times) });
        if (page->boxWidth() <= 0)
            return 1;
    }
    const double growth = residentMost - residentBefore;

    // The yardstick: the whole page scaled once at 1 and at 3.75.
    for (const double zoom : { 1.0, 3.75 }) {
        const QSize full(qRound(memo.width() / 2.0 * zoom), qRound(memo.height() / 2.0 * zoom));
        const double once = milliseconds([&] {
            const QImage scaled
                = memo.scaled(full, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            if (scaled.isNull())
                std::exit(1);
        });
        const auto level = std::find_if(
            levels.begin(), levels.end(), [zoom](const Level &l) { return l.zoom == zoom; });
        std::printf("at %.2f: repaint %.1f ms against %.0f ms to scale the whole page once "
                    "(%.0f MiB): ratio %.4f (target: under 50 ms)\n",
            zoom, level->repaint, once, full.width() * double(full.height()) * 4 / 1048576.0,
            level->repaint / once);
    }
    double slowest = 0;
    for (const Level &level : levels)
        slowest = std::max(slowest, level.repaint);
    std::printf("slowest median repaint over the 15 levels: %.1f ms\n", slowest);
    std::printf("resident memory growth over the 15 levels: %.1f MiB, %.3f of the unscaled "
                "copy (a full-size copy at 3.75 would be %.0f MiB)\n",
        growth, growth / memoMiB, memoMiB * 3.75 * 3.75 / 4);
    return 0;
}

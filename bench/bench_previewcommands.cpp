// The preview's print and PDF copy of a three-page memo, each against one warm
// "soffice --convert-to pdf" of the same memo in the same run (targets: printing at
// most 1.0 times, the PDF copy at most 0.5 times), and what the "where you are"
// indicator adds to a repaint of the page at every zoom step (target: under 2 ms).
#include "BenchSupport.h"
#include "FileUtils.h"
#include "Form2.h"
#include "LibreOfficeProcessor.h"
#include "MemoPdf.h"
#include "MemoWriter.h"
#include "PictureBox.h"
#include "QuietUserInterface.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    QTemporaryDir folder;

    MemoDetails memo = withSampleData({});
    QStringList message;
    for (int line = 1; line <= 110; ++line)
        message << QStringLiteral("Line %1 of a memo long enough for three pages.").arg(line);
    memo.msg = message.join(u'\n');
    const QString document = folder.filePath(QStringLiteral("memo.doc"));
    const QString picture = folder.filePath(QStringLiteral("memo.png"));
    LibreOfficeProcessor word;
    {
        MemoWriter writer(word);
        writer.write(memo, document, DocumentFormat::Doc, picture);
    }

    // The yardstick: the same memo converted by one soffice command, warm profile.
    const double yardstick
        = conversionYardstick(document, "pdf", folder.filePath(QStringLiteral("convert-profile")),
            folder.filePath(QStringLiteral("converted")), runs,
            "one soffice --convert-to pdf (yardstick)");

    std::vector<double> prints;
    std::vector<double> copies;
    for (int run = 0; run < runs; ++run) {
        prints.push_back(milliseconds([&] {
            const QString pdf = folder.filePath(QStringLiteral("exported.pdf"));
            replaceFile(pdf, memoAsPdf(word, document));
            QPrinter printer(QPrinter::PrinterResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(folder.filePath(QStringLiteral("printed.pdf")));
            printPdf(pdf, printer);
        }));
        copies.push_back(milliseconds([&] {
            replaceFile(folder.filePath(QStringLiteral("copy.pdf")), memoAsPdf(word, document));
        }));
    }
    report("print three pages to a PDF file", prints);
    report("save as PDF", copies);
    std::printf(
        "  print / yardstick %.2f (target 1.0); save as PDF / yardstick %.2f (target 0.5)\n",
        median(prints) / yardstick, median(copies) / yardstick);

    QuietUserInterface ui;
    Form2 form(ui, nullptr);
    form.clearPages();
    form.addPage(QStringLiteral("Page 1"));
    const QImage pages(picture);
    form.setPagePicture(0, pages);
    form.setDisplayPicture(pages);
    form.show();
    QApplication::processEvents();
    auto *viewport = form.findChild<PictureBox *>(QStringLiteral("Picture2"));
    auto *indicator = form.findChild<QLabel *>(QStringLiteral("whereYouAre"));
    auto *zoomIn = form.findChild<QPushButton *>(QStringLiteral("PushButton1"));
    auto *zoomOut = form.findChild<QPushButton *>(QStringLiteral("PushButton2"));
    for (int step = 0; step < 4; ++step)
        zoomOut->click();
    double most = 0;
    double slowestWithout = 0;
    for (int level = 0; level < 15; ++level) {
        std::vector<double> without;
        std::vector<double> with;
        for (int run = 0; run < 20; ++run) {
            indicator->hide();
            without.push_back(milliseconds([&] { viewport->repaint(); }));
            indicator->show();
            with.push_back(milliseconds([&] { viewport->repaint(); }));
        }
        most = std::max(most, median(with) - median(without));
        slowestWithout = std::max(slowestWithout, median(without));
        zoomIn->click();
    }
    std::printf("the indicator adds at most %.2f ms to a repaint over the 15 zoom steps "
                "(target under 2 ms): %.3f of the slowest repaint without it (%.2f ms)\n",
        most, most / slowestWithout, slowestWithout);
    word.shutDown();
    return 0;
}

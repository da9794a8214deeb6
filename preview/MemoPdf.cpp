#include "MemoPdf.h"

#include "Failure.h"
#include "FileUtils.h"
#include "Leftovers.h"
#include "PageRenderer.h"
#include "WordSession.h"

#include <QBuffer>
#include <QDir>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>

namespace {
// Removed without following anything planted in it.
struct OwnFolder
{
    OwnFolder()
        : folder(workFolderPattern(QStringLiteral("pdf")))
    {
        folder.setAutoRemove(false);
        if (!folder.isValid())
            fail(QStringLiteral("No temporary folder could be made for the PDF: %1")
                     .arg(folder.errorString()));
    }
    ~OwnFolder() { removeOwn(folder.path()); }
    QTemporaryDir folder;
};
} // namespace

QByteArray memoAsPdf(WordProcessor &word, const QString &document)
{
    OwnFolder work;
    const QString pdf = QDir(work.folder.path()).filePath(QStringLiteral("memo.pdf"));
    std::unique_ptr<WordSession> session = word.create();
    try {
        session->open(document, true);
        session->exportAs(pdf, DocumentFormat::Pdf);
        session->close();
        session->quit();
    } catch (...) {
        try {
            session->quit();
        } catch (const std::exception &) {
            // The first failure says what went wrong.
        }
        throw;
    }
    const auto bytes = readPlainFile(pdf, 1024LL * 1024 * 1024);
    if (!bytes)
        fail(QStringLiteral("The word processor wrote no PDF of the memo."));
    return *bytes;
}

namespace {
// The pages first to last, copies times, each at its own size or smaller to fit, centred
// on the paper; device names the printer or file in a failure.
void drawPages(const QString &pdfPath, QPagedPaintDevice &target, const QRectF &paper,
    double dotsPerInch, int first, int last, int copies, const QString &device)
{
    QPainter painter;
    if (!painter.begin(&target))
        fail(QStringLiteral("Could not print to %1: it could not be started.").arg(device));
    bool firstSheet = true;
    for (int copy = 0; copy < copies; ++copy) {
        for (int page = first; page <= last; ++page) {
            if (!firstSheet && !target.newPage()) {
                painter.end();
                fail(QStringLiteral("Could not print to %1: it took no further page.").arg(device));
            }
            firstSheet = false;
            const QSizeF size = PdfPageSize(pdfPath, page - 1) / 72.0 * dotsPerInch;
            const double scale
                = std::min({ 1.0, paper.width() / size.width(), paper.height() / size.height() });
            painter.save();
            painter.translate((paper.width() - size.width() * scale) / 2,
                (paper.height() - size.height() * scale) / 2);
            painter.scale(scale, scale);
            DrawPdfPage(pdfPath, page - 1, painter, dotsPerInch);
            painter.restore();
        }
    }
    if (!painter.end())
        fail(QStringLiteral("Could not print to %1.").arg(device));
}
} // namespace

void printPdf(const QString &pdfPath, QPrinter &printer)
{
    const int pages = PdfPageCount(pdfPath);
    int first = 1;
    int last = pages;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = printer.fromPage();
        last = std::min(pages, printer.toPage() > 0 ? printer.toPage() : pages);
    }
    if (first > last)
        fail(QStringLiteral("Pages %1 to %2 are not in the memo, which has %3 page(s).")
                 .arg(printer.fromPage())
                 .arg(printer.toPage())
                 .arg(pages));
    const QString file = printer.outputFileName();
    if (file.isEmpty()) {
        // A printer that cannot make copies itself gets each page as often as asked.
        const int copies = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
        printer.setFullPage(true);
        drawPages(pdfPath, printer, printer.paperRect(QPrinter::DevicePixel), printer.resolution(),
            first, last, copies, QStringLiteral("the printer \"%1\"").arg(printer.printerName()));
        return;
    }
    // Printed to a file, the pages are drawn in memory and the file is then written as
    // every other output is: whole or not at all, never through a link at its name, its
    // permissions kept. Qt's own print engine would write through a link, and leave an
    // empty file on a full disk without a word.
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    QPdfWriter writer(&pdf);
    QPageLayout layout = printer.pageLayout();
    layout.setMinimumMargins({});
    layout.setMargins({});
    writer.setPageLayout(layout);
    writer.setResolution(printer.resolution());
    writer.setTitle(printer.docName());
    writer.setCreator(printer.creator());
    drawPages(pdfPath, writer, layout.fullRectPixels(writer.resolution()), writer.resolution(),
        first, last, std::max(1, printer.copyCount()), QStringLiteral("\"%1\"").arg(file));
    pdf.close();
    replaceFile(file, pdf.data());
}

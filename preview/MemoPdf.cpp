#include "MemoPdf.h"

#include "Failure.h"
#include "FileUtils.h"
#include "PageRenderer.h"
#include "TempFolder.h"
#include "WordSession.h"

#include <QDir>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>

namespace {
// Removed without following anything planted in it.
struct OwnFolder
{
    OwnFolder()
        : folder(QDir(temporaryFolder()).filePath(QStringLiteral("scrivane-pdf-XXXXXX")))
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
    // A printer that cannot make copies itself gets each page as often as asked.
    const int copies = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
    const QString device = printer.outputFileName().isEmpty()
        ? QStringLiteral("the printer \"%1\"").arg(printer.printerName())
        : QStringLiteral("\"%1\"").arg(printer.outputFileName());

    printer.setFullPage(true);
    QPainter painter;
    if (!painter.begin(&printer))
        fail(QStringLiteral("Could not print to %1: it could not be started.").arg(device));
    const double dotsPerInch = printer.resolution();
    const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
    bool firstSheet = true;
    for (int copy = 0; copy < copies; ++copy) {
        for (int page = first; page <= last; ++page) {
            if (!firstSheet && !printer.newPage()) {
                painter.end();
                fail(QStringLiteral("Could not print to %1: it took no further page.").arg(device));
            }
            firstSheet = false;
            // The page at its own size, or smaller to fit, centred on the paper.
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

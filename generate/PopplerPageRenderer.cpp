#include "PageRenderer.h"

#include "Failure.h"

#include <QFontMetricsF>
#include <QPainter>

#include <poppler-qt6.h>

#include <algorithm>
#include <memory>
#include <mutex>

namespace {
// Poppler sets up some of its process-wide state (colour management among it) on first
// use without a lock; the style pictures' thread and the window's may both draw pages.
// One document at a time: pages are drawn one after the other anyway.
std::mutex gPopplerInUse;

std::unique_ptr<Poppler::Document> loadPdf(const QString &pdfPath)
{
    std::unique_ptr<Poppler::Document> document = Poppler::Document::load(pdfPath);
    if (!document || document->isLocked())
        fail(QStringLiteral("The PDF file \"%1\" could not be read.").arg(pdfPath));
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    document->setPaperColor(Qt::white);
    return document;
}

QImage renderPage(Poppler::Document &document, const QString &pdfPath, int index, double dpi)
{
    const std::unique_ptr<Poppler::Page> page
        = index >= 0 && index < document.numPages() ? document.page(index) : nullptr;
    QImage picture = page ? page->renderToImage(dpi, dpi) : QImage();
    if (picture.isNull())
        fail(QStringLiteral("Page %1 of the PDF file \"%2\" could not be drawn.")
                 .arg(index + 1)
                 .arg(pdfPath));
    return picture;
}
} // namespace

QList<QImage> RenderPdfPages(const QString &pdfPath, double dotsPerInch, int mostPages)
{
    const std::lock_guard lock(gPopplerInUse);
    const std::unique_ptr<Poppler::Document> document = loadPdf(pdfPath);
    const int count
        = mostPages < 0 ? document->numPages() : std::min(mostPages, document->numPages());
    QList<QImage> pictures;
    for (int index = 0; index < count; ++index)
        pictures.append(renderPage(*document, pdfPath, index, dotsPerInch));
    return pictures;
}

int PdfPageCount(const QString &pdfPath)
{
    const std::lock_guard lock(gPopplerInUse);
    return loadPdf(pdfPath)->numPages();
}

QSizeF PdfPageSize(const QString &pdfPath, int page)
{
    const std::lock_guard lock(gPopplerInUse);
    const std::unique_ptr<Poppler::Document> document = loadPdf(pdfPath);
    const std::unique_ptr<Poppler::Page> found
        = page >= 0 && page < document->numPages() ? document->page(page) : nullptr;
    if (!found)
        fail(QStringLiteral("The PDF file \"%1\" has no page %2.").arg(pdfPath).arg(page + 1));
    return found->pageSizeF();
}

void DrawPdfPage(const QString &pdfPath, int page, QPainter &painter, double dotsPerInch)
{
    const std::lock_guard lock(gPopplerInUse);
    const std::unique_ptr<Poppler::Document> document = loadPdf(pdfPath);
    // Drawn, not pictured: sharp at any resolution.
    document->setRenderBackend(Poppler::Document::QPainterBackend);
    const std::unique_ptr<Poppler::Page> found
        = page >= 0 && page < document->numPages() ? document->page(page) : nullptr;
    if (!found || !found->renderToPainter(&painter, dotsPerInch, dotsPerInch))
        fail(QStringLiteral("Page %1 of the PDF file \"%2\" could not be drawn.")
                 .arg(page + 1)
                 .arg(pdfPath));
    // The drawing gives the words as shapes; each word is laid over its shape again
    // as invisible text, so a PDF printed from it can still be searched and read.
    const double scale = dotsPerInch / 72.0;
    painter.save();
    painter.setPen(QColor(0, 0, 0, 0));
    QFont font(QStringLiteral("DejaVu Sans"));
    // Letters one by one: a ligature would be read back as one character.
    font.setStyleStrategy(QFont::PreferNoShaping);
    for (const std::unique_ptr<Poppler::TextBox> &word : found->textList()) {
        const QRectF box(word->boundingBox().topLeft() * scale, word->boundingBox().size() * scale);
        // As a reader searches it: ligatures such as "ﬁ" in their letters.
        const QString text = word->text().normalized(QString::NormalizationForm_KC);
        if (box.isEmpty() || text.isEmpty())
            continue;
        font.setPixelSize(std::max(1, int(box.height() * 0.8)));
        painter.setFont(font);
        const double width = QFontMetricsF(font).horizontalAdvance(text);
        painter.save();
        painter.translate(box.left(), box.bottom() - box.height() * 0.2);
        if (width > 0)
            painter.scale(box.width() / width, 1.0);
        painter.drawText(QPointF(0, 0), text);
        painter.restore();
    }
    painter.restore();
}

#include "PageRenderer.h"

#include "Failure.h"

#include <poppler-qt6.h>

#include <memory>

QList<QImage> RenderPdfPages(const QString &pdfPath, double dotsPerInch)
{
    std::unique_ptr<Poppler::Document> document = Poppler::Document::load(pdfPath);
    if (!document || document->isLocked())
        fail(QStringLiteral("The PDF file \"%1\" could not be read.").arg(pdfPath));
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    document->setPaperColor(Qt::white);

    QList<QImage> pictures;
    for (int index = 0; index < document->numPages(); ++index) {
        const std::unique_ptr<Poppler::Page> page = document->page(index);
        QImage picture = page ? page->renderToImage(dotsPerInch, dotsPerInch) : QImage();
        if (picture.isNull())
            fail(QStringLiteral("Page %1 of the PDF file \"%2\" could not be drawn.")
                     .arg(index + 1)
                     .arg(pdfPath));
        pictures.append(picture);
    }
    return pictures;
}

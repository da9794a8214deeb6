#pragma once

#include <QImage>
#include <QList>
#include <QSizeF>
#include <QString>

class QPainter;

// The pages of a PDF file as pictures at the given resolution, first page first, on a
// white ground: every page, or the first mostPages when that is not negative. Throws
// Failure when the file cannot be read as a PDF.
QList<QImage> RenderPdfPages(const QString &pdfPath, double dotsPerInch, int mostPages = -1);

// The number of pages of a PDF file. Throws Failure when it cannot be read as a PDF.
int PdfPageCount(const QString &pdfPath);

// The size of a page of a PDF file, counted from 0, in points (1/72 inch).
QSizeF PdfPageSize(const QString &pdfPath, int page);

// Draws a page of a PDF file, counted from 0, with the painter at the resolution of
// its device, its top-left corner at the painter's origin; text stays text, as a
// printer or a PDF file wants it. Throws Failure.
void DrawPdfPage(const QString &pdfPath, int page, QPainter &painter, double dotsPerInch);

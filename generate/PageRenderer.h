#pragma once

#include <QImage>
#include <QList>
#include <QString>

// Every page of a PDF file as a picture at the given resolution, first page first,
// on a white ground. Throws Failure when the file cannot be read as a PDF.
QList<QImage> RenderPdfPages(const QString &pdfPath, double dotsPerInch);

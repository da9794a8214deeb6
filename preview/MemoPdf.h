#pragma once

#include <QByteArray>
#include <QString>

class QPrinter;
class WordProcessor;

// The generated document as PDF, exported by the word processor from the document
// itself, so its text stays text and its properties are the document's. Nothing is
// left behind, whatever fails. Throws Failure saying what failed.
QByteArray memoAsPdf(WordProcessor &word, const QString &document);

// Prints the pages of the PDF file that the printer's range asks for, as many copies
// as it asks, each page drawn afresh at the printer's resolution. Printed to a file, the
// file is written as replaceFile writes it. Throws Failure.
void printPdf(const QString &pdfPath, QPrinter &printer);

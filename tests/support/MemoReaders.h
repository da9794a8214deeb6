#pragma once

#include "Catdoc.h"
#include "TestFiles.h"

#include <QFile>
#include <QHash>
#include <QList>
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QString>

#include <gsf/gsf-infile-zip.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <poppler-qt6.h>

#include <memory>

// What independent readers make of a memo: the Word readers' text, Poppler's words on
// laid-out pages, the parts of a zipped document and AbiWord's document properties.
namespace MemoReaders {

// AbiWord's conversion of the file to `to` ("txt", "pdf", "abw") at `out`: its exit
// code, -1 when it crashed or hung, and what it said in *said.
inline int abiword(
    const QString &path, const QString &to, const QString &out, QString *said = nullptr)
{
    QFile::remove(out);
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("abiword"),
        { QStringLiteral("--to=") + to, QStringLiteral("--to-name=") + out, path });
    const bool ended = process.waitForFinished(300'000);
    if (!ended)
        process.kill();
    if (said)
        *said = QString::fromLocal8Bit(process.readAll());
    return ended && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// A reader's text of the file (catdoc, antiword, wvText, abiword); a failure's text
// says why. `folder` takes the reader's output file.
inline QString readerText(const QString &reader, const QString &path, const QString &folder)
{
    if (reader == QLatin1String("catdoc"))
        return catdoc(path);
    const QString out = folder + QStringLiteral("/read.txt");
    if (reader == QLatin1String("abiword")) {
        QString said;
        if (abiword(path, QStringLiteral("txt"), out, &said) != 0)
            return QStringLiteral("<abiword failed: %1>").arg(said);
        return QString::fromUtf8(readFile(out));
    }
    QFile::remove(out);
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (reader == QLatin1String("antiword"))
        process.start(reader,
            { QStringLiteral("-w"), QStringLiteral("0"), QStringLiteral("-m"),
                QStringLiteral("UTF-8.txt"), path });
    else
        process.start(reader, { path, out });
    if (!process.waitForFinished(300'000) || process.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>")
            .arg(reader, QString::fromLocal8Bit(process.readAll()));
    // antiword draws tables with bars and wraps a cell's text within its column.
    if (reader == QLatin1String("antiword"))
        return QString::fromUtf8(process.readAllStandardOutput()).remove(QLatin1Char('|'));
    return QString::fromUtf8(readFile(out));
}

// A word of a laid-out page with its box, in points from the page's top left.
struct Word
{
    QString text;
    QRectF box;
};

inline QList<QList<Word>> pageWords(const QString &pdf)
{
    QList<QList<Word>> pages;
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::load(pdf);
    if (!document)
        return pages;
    for (int index = 0; index < document->numPages(); ++index) {
        QList<Word> words;
        const std::unique_ptr<Poppler::Page> page = document->page(index);
        for (const std::unique_ptr<Poppler::TextBox> &box : page->textList())
            words.append({ box->text(), box->boundingBox() });
        pages.append(words);
    }
    return pages;
}

// One part of a zipped document (a DOCX or ODT), empty when it cannot be read.
inline QByteArray zippedFile(const QString &path, const QString &part)
{
    QByteArray content;
    GError *error = nullptr;
    GsfInput *input = gsf_input_stdio_new(QFile::encodeName(path).constData(), &error);
    GsfInfile *zip = input ? gsf_infile_zip_new(input, &error) : nullptr;
    g_clear_error(&error);
    GsfInput *file = nullptr;
    if (zip) {
        const QStringList names = part.split(QLatin1Char('/'));
        file = names.size() == 2 ? gsf_infile_child_by_vname(
                   zip, names[0].toUtf8().constData(), names[1].toUtf8().constData(), nullptr)
                                 : gsf_infile_child_by_name(zip, part.toUtf8().constData());
    }
    if (file) {
        const auto size = gsf_input_size(file);
        if (const guint8 *data = gsf_input_read(file, size, nullptr))
            content = QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
        g_object_unref(file);
    }
    if (zip)
        g_object_unref(zip);
    if (input)
        g_object_unref(input);
    return content;
}

// The document properties AbiWord reads from a file ("dc.title", "dc.creator", ...).
inline QHash<QString, QString> abiwordProperties(const QString &path, const QString &folder)
{
    const QString abw = folder + QStringLiteral("/properties.abw");
    abiword(path, QStringLiteral("abw"), abw);
    QHash<QString, QString> properties;
    static const QRegularExpression entry(QStringLiteral("<m key=\"([^\"]+)\">([^<]*)</m>"));
    for (const QRegularExpressionMatch &match : entry.globalMatch(QString::fromUtf8(readFile(abw))))
        properties.insert(match.captured(1), match.captured(2));
    return properties;
}

} // namespace MemoReaders

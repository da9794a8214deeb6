#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// A reader for the OLE compound files that Word 97-2003 documents are, so tests can
// look inside a saved document without the office that wrote it.
class OleFile
{
public:
    static constexpr char kSignature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";

    // Reads the whole file; isValid() tells whether it is a compound file.
    explicit OleFile(const QString &path);

    bool isValid() const { return mError.isEmpty(); }
    QString error() const { return mError; }
    // The streams anywhere in the file by name, with their contents.
    const QMap<QString, QByteArray> &streams() const { return mStreams; }

private:
    QByteArray chain(quint32 start, const QList<quint32> &table, const QByteArray &sectors,
        int sectorSize, quint64 size) const;

    QMap<QString, QByteArray> mStreams;
    QString mError;
};

// The main text of a Word 97-2003 document: paragraphs end in '\r', and fields
// keep their marks (0x13 begin, 0x14 separator, 0x15 end). Empty when unreadable.
QString wordDocumentText(const OleFile &file);

#include "OleFile.h"

#include <QFile>

namespace {
constexpr quint32 kLastSectorNumber = 0xFFFFFFFA;
constexpr int kHeaderSize = 512;
constexpr int kDirectoryEntrySize = 128;

// Little-endian numbers; past the end of the bytes they read as 0.
quint32 littleEndian(const QByteArray &bytes, qsizetype at, int size)
{
    if (at < 0 || at + size > bytes.size())
        return 0;
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | quint8(bytes.at(at + i));
    return value;
}

quint16 u16(const QByteArray &bytes, qsizetype at)
{
    return quint16(littleEndian(bytes, at, 2));
}

quint32 u32(const QByteArray &bytes, qsizetype at)
{
    return littleEndian(bytes, at, 4);
}
} // namespace

OleFile::OleFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        mError = QStringLiteral("cannot read %1").arg(path);
        return;
    }
    const QByteArray bytes = file.readAll();
    if (!bytes.startsWith(QByteArray(kSignature, 8)) || bytes.size() < kHeaderSize) {
        mError = QStringLiteral("no compound file signature");
        return;
    }
    const int sectorSize = 1 << u16(bytes, 0x1E);
    const int miniSectorSize = 1 << u16(bytes, 0x20);
    const quint32 fatSectors = u32(bytes, 0x2C);
    const quint32 firstDirectory = u32(bytes, 0x30);
    const quint32 miniCutoff = u32(bytes, 0x38);
    const quint32 firstMiniFat = u32(bytes, 0x3C);
    quint32 difatSector = u32(bytes, 0x44);
    const QByteArray sectors = bytes.mid(sectorSize); // sector n starts at n * sectorSize

    QList<quint32> fatSectorList;
    for (int i = 0; i < 109 && quint32(fatSectorList.size()) < fatSectors; ++i)
        fatSectorList << u32(bytes, 0x4C + 4 * i);
    for (int guard = 0; difatSector <= kLastSectorNumber && guard < 1000; ++guard) {
        const qsizetype at = qsizetype(difatSector) * sectorSize;
        for (int i = 0; i < sectorSize / 4 - 1 && quint32(fatSectorList.size()) < fatSectors; ++i)
            fatSectorList << u32(sectors, at + 4 * i);
        difatSector = u32(sectors, at + sectorSize - 4);
    }
    QList<quint32> fat;
    for (quint32 sector : fatSectorList) {
        for (int i = 0; i < sectorSize / 4; ++i)
            fat << u32(sectors, qsizetype(sector) * sectorSize + 4 * i);
    }

    const QByteArray directory = chain(firstDirectory, fat, sectors, sectorSize, 0);
    if (directory.size() < kDirectoryEntrySize) {
        mError = QStringLiteral("no directory");
        return;
    }
    // The root entry holds the mini stream that small streams live in.
    const quint32 rootStart = u32(directory, 116);
    const QByteArray miniStream = chain(rootStart, fat, sectors, sectorSize, 0);
    QList<quint32> miniFat;
    const QByteArray miniFatBytes = chain(firstMiniFat, fat, sectors, sectorSize, 0);
    for (qsizetype at = 0; at + 4 <= miniFatBytes.size(); at += 4)
        miniFat << u32(miniFatBytes, at);

    for (qsizetype at = 0; at + kDirectoryEntrySize <= directory.size();
         at += kDirectoryEntrySize) {
        if (directory.at(at + 66) != 2) // streams only
            continue;
        const int nameBytes = std::max(0, int(u16(directory, at + 64)) - 2);
        const QString name = QString::fromUtf16(
            reinterpret_cast<const char16_t *>(directory.constData() + at), nameBytes / 2);
        const quint32 start = u32(directory, at + 116);
        const quint64 size = u32(directory, at + 120);
        mStreams.insert(name,
            size < miniCutoff ? chain(start, miniFat, miniStream, miniSectorSize, size)
                              : chain(start, fat, sectors, sectorSize, size));
    }
}

QByteArray OleFile::chain(quint32 start, const QList<quint32> &table, const QByteArray &sectors,
    int sectorSize, quint64 size) const
{
    // A chain ends at a mark past the table; the length guard stops a looping one.
    QByteArray data;
    for (quint32 sector = start; sector < quint32(table.size()) && data.size() < 64 * 1024 * 1024;
         sector = table.at(sector))
        data += sectors.mid(qsizetype(sector) * sectorSize, sectorSize);
    if (size > 0)
        data.truncate(qsizetype(size));
    return data;
}

QString wordDocumentText(const OleFile &file)
{
    const QByteArray word = file.streams().value(QStringLiteral("WordDocument"));
    if (u16(word, 0) != 0xA5EC)
        return {};
    const bool table1 = (u16(word, 0x0A) & 0x0200) != 0;
    const QByteArray table
        = file.streams().value(table1 ? QStringLiteral("1Table") : QStringLiteral("0Table"));
    const quint32 textLength = u32(word, 76); // ccpText
    const quint32 clxOffset = u32(word, 0x1A2); // fcClx
    const quint32 clxLength = u32(word, 0x1A6);

    // The piece table: where each run of characters is kept, 8-bit or UTF-16.
    qsizetype at = clxOffset;
    const qsizetype end = qsizetype(clxOffset) + clxLength;
    while (at < end && table.at(at) == 0x01)
        at += 3 + u16(table, at + 1);
    if (at >= end || table.at(at) != 0x02)
        return {};
    const quint32 pieceTableSize = u32(table, at + 1);
    const qsizetype pieces = (qsizetype(pieceTableSize) - 4) / 12;
    const qsizetype cps = at + 5;
    const qsizetype descriptors = cps + 4 * (pieces + 1);

    QString text;
    for (qsizetype piece = 0; piece < pieces && quint32(text.size()) < textLength; ++piece) {
        const quint32 first = u32(table, cps + 4 * piece);
        const quint32 last = u32(table, cps + 4 * (piece + 1));
        const quint32 fc = u32(table, descriptors + 8 * piece + 2);
        const bool compressed = (fc & 0x40000000) != 0;
        const quint32 offset = fc & 0x3FFFFFFF;
        for (quint32 cp = first; cp < last && quint32(text.size()) < textLength; ++cp) {
            if (compressed)
                text += QChar::fromLatin1(word.at(offset / 2 + (cp - first)));
            else
                text += QChar(u16(word, offset + 2 * (cp - first)));
        }
    }
    return text;
}

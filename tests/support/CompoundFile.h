#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QtEndian>

#include <algorithm>
#include <optional>
#include <stdexcept>

// Reads an OLE compound file (the container of Word 97-2003 files): the storages and
// streams of its directory and the bytes of a stream, small ones in the mini stream
// included, so tests look inside a saved document without the office that wrote it.
// The constructor throws std::runtime_error with the reason when the bytes are not such a file.
class CompoundFile
{
public:
    struct Entry
    {
        enum Type { Storage = 1, Stream = 2, Root = 5 };
        QString name;
        int type = 0;
        quint64 size = 0;
        quint32 start = 0;
    };

    static const QByteArray &signature()
    {
        static const QByteArray bytes = QByteArray::fromHex("d0cf11e0a1b11ae1");
        return bytes;
    }

    explicit CompoundFile(const QByteArray &file)
        : mFile(file)
    {
        if (file.size() < headerSize || !file.startsWith(signature()))
            fault("no compound file signature");
        const int sectorShift = number<quint16>(30);
        if (sectorShift != 9 && sectorShift != 12)
            fault("unknown sector size");
        mSectorSize = qsizetype(1) << sectorShift;
        mMiniSectorSize = qsizetype(1) << number<quint16>(32);
        mMiniStreamCutoff = number<quint32>(56);

        // The allocation table's sectors: 109 in the header, the rest in a chain of DIFAT sectors.
        QList<quint32> fatSectors;
        for (int i = 0; i < 109; ++i)
            fatSectors.append(number<quint32>(76 + 4 * i));
        const qsizetype perDifatSector = mSectorSize / 4 - 1;
        QSet<quint32> visited;
        for (quint32 difat = number<quint32>(68); difat < lastRegularSector;) {
            if (visited.contains(difat))
                fault("the DIFAT chain loops");
            visited.insert(difat);
            const qsizetype at = sectorOffset(difat);
            for (qsizetype i = 0; i < perDifatSector; ++i)
                fatSectors.append(number<quint32>(at + 4 * i));
            difat = number<quint32>(at + 4 * perDifatSector);
        }
        for (quint32 index : fatSectors) {
            if (index >= lastRegularSector)
                continue;
            const qsizetype at = sectorOffset(index);
            for (qsizetype i = 0; i < mSectorSize / 4; ++i)
                mFat.append(number<quint32>(at + 4 * i));
        }

        const QByteArray directory = chain(mFat, number<quint32>(48), mSectorSize, {});
        for (qsizetype at = 0; at + entrySize <= directory.size(); at += entrySize) {
            const auto *entry = reinterpret_cast<const uchar *>(directory.constData()) + at;
            const int type = entry[66];
            if (type == 0)
                continue;
            const int nameBytes = qFromLittleEndian<quint16>(entry + 64);
            if (nameBytes < 2 || nameBytes > 64 || nameBytes % 2)
                fault("a directory entry has a bad name length");
            QString name;
            for (int i = 0; i < nameBytes / 2 - 1; ++i)
                name.append(QChar(qFromLittleEndian<quint16>(entry + 2 * i)));
            quint64 size = qFromLittleEndian<quint64>(entry + 120);
            if (sectorShift == 9)
                size &= 0xFFFFFFFF; // version 3 files leave the high half undefined
            mEntries.append({ name, type, size, qFromLittleEndian<quint32>(entry + 116) });
        }
        if (mEntries.isEmpty() || mEntries.first().type != Entry::Root)
            fault("the directory has no root entry");
    }

    // The compound file at path, or nothing with the reason in error.
    static std::optional<CompoundFile> load(const QString &path, QString *error = nullptr)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            if (error)
                *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
            return std::nullopt;
        }
        try {
            return CompoundFile(file.readAll());
        } catch (const std::runtime_error &fault) {
            if (error)
                *error = path + QStringLiteral(": ") + QString::fromUtf8(fault.what());
            return std::nullopt;
        }
    }

    const QList<Entry> &entries() const { return mEntries; }

    bool hasStream(const QString &name) const
    {
        return std::any_of(mEntries.begin(), mEntries.end(),
            [&](const Entry &entry) { return entry.type == Entry::Stream && entry.name == name; });
    }

    // The bytes of the named stream; throws std::runtime_error when there is none.
    QByteArray stream(const QString &name) const
    {
        for (const Entry &entry : mEntries) {
            if (entry.type != Entry::Stream || entry.name != name)
                continue;
            if (entry.size >= mMiniStreamCutoff)
                return chain(mFat, entry.start, mSectorSize, {}).left(qsizetype(entry.size));
            // Small streams live in the mini stream, itself a stream of the root entry.
            QList<quint32> miniFat;
            const QByteArray table = chain(mFat, number<quint32>(60), mSectorSize, {});
            for (qsizetype at = 0; at + 4 <= table.size(); at += 4)
                miniFat.append(qFromLittleEndian<quint32>(table.constData() + at));
            const QByteArray container = chain(mFat, mEntries.first().start, mSectorSize, {});
            return chain(miniFat, entry.start, mMiniSectorSize, container)
                .left(qsizetype(entry.size));
        }
        fault("no such stream");
    }

private:
    static constexpr quint32 endOfChain = 0xFFFFFFFE;
    static constexpr quint32 lastRegularSector = 0xFFFFFFFA;
    static constexpr qsizetype headerSize = 512;
    static constexpr qsizetype entrySize = 128;

    [[noreturn]] static void fault(const char *what) { throw std::runtime_error(what); }

    template<typename T> T number(qsizetype offset) const
    {
        if (offset < 0 || offset + qsizetype(sizeof(T)) > mFile.size())
            fault("a number lies outside the file");
        return qFromLittleEndian<T>(mFile.constData() + offset);
    }

    qsizetype sectorOffset(quint32 index) const
    {
        const qsizetype offset = (qsizetype(index) + 1) * mSectorSize;
        if (index >= lastRegularSector || offset + mSectorSize > mFile.size())
            fault("a sector lies outside the file");
        return offset;
    }

    // Follows a chain of sectors through its table: regular sectors of the file, or mini
    // sectors of the mini stream when a container is given.
    QByteArray chain(const QList<quint32> &table, quint32 first, qsizetype size,
        const QByteArray &container) const
    {
        QByteArray bytes;
        QSet<quint32> visited;
        for (quint32 index = first; index != endOfChain;) {
            if (index >= quint32(table.size()) || visited.contains(index))
                fault("a sector chain is broken");
            visited.insert(index);
            if (container.isNull()) {
                bytes += mFile.mid(sectorOffset(index), size);
            } else {
                if ((qsizetype(index) + 1) * size > container.size())
                    fault("a mini sector lies outside the mini stream");
                bytes += container.mid(qsizetype(index) * size, size);
            }
            index = table[index];
        }
        return bytes;
    }

    QByteArray mFile;
    qsizetype mSectorSize = 512;
    qsizetype mMiniSectorSize = 64;
    quint32 mMiniStreamCutoff = 4096;
    QList<quint32> mFat;
    QList<Entry> mEntries;
};

// The main text of a Word 97-2003 document: paragraphs end in '\r', and fields keep their
// marks (0x13 begin, 0x14 separator, 0x15 end). Empty when the file holds no such text.
inline QString wordDocumentText(const CompoundFile &file)
{
    // Little-endian numbers; past the end of the bytes they read as 0.
    const auto number = [](const QByteArray &bytes, qsizetype at, int size) {
        quint32 value = 0;
        if (at < 0 || at + size > bytes.size())
            return value;
        for (int i = size - 1; i >= 0; --i)
            value = (value << 8) | quint8(bytes.at(at + i));
        return value;
    };
    const auto u16 = [&](const QByteArray &bytes, qsizetype at) { return number(bytes, at, 2); };
    const auto u32 = [&](const QByteArray &bytes, qsizetype at) { return number(bytes, at, 4); };

    if (!file.hasStream(QStringLiteral("WordDocument")))
        return {};
    const QByteArray word = file.stream(QStringLiteral("WordDocument"));
    if (u16(word, 0) != 0xA5EC)
        return {};
    const QString tableName
        = (u16(word, 0x0A) & 0x0200) ? QStringLiteral("1Table") : QStringLiteral("0Table");
    if (!file.hasStream(tableName))
        return {};
    const QByteArray table = file.stream(tableName);
    const quint32 textLength = u32(word, 76); // ccpText
    const quint32 clxOffset = u32(word, 0x1A2); // fcClx
    const quint32 clxLength = u32(word, 0x1A6);

    // The piece table: where each run of characters is kept, 8-bit or UTF-16.
    qsizetype at = clxOffset;
    const qsizetype end = qMin(qsizetype(clxOffset) + clxLength, table.size());
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
                text += QChar::fromLatin1(char(number(word, offset / 2 + (cp - first), 1)));
            else
                text += QChar(u16(word, offset + 2 * (cp - first)));
        }
    }
    return text;
}

// The font names of a Word 97-2003 file's font table, one per entry; an entry's
// alternative name follows its name after a ';', as readers that join the two see it.
inline QStringList wordFontNames(const CompoundFile &file)
{
    const auto number = [](const QByteArray &bytes, qsizetype at, int size) {
        quint32 value = 0;
        if (at < 0 || at + size > bytes.size())
            return value;
        for (int i = size - 1; i >= 0; --i)
            value = (value << 8) | quint8(bytes.at(at + i));
        return value;
    };
    if (!file.hasStream(QStringLiteral("WordDocument")))
        return {};
    const QByteArray word = file.stream(QStringLiteral("WordDocument"));
    const QString tableName
        = (number(word, 0x0A, 2) & 0x0200) ? QStringLiteral("1Table") : QStringLiteral("0Table");
    if (!file.hasStream(tableName))
        return {};
    const QByteArray table = file.stream(tableName);
    const qsizetype offset = number(word, 0x112, 4); // fcSttbfFfn
    const qsizetype end = qMin(offset + qsizetype(number(word, 0x116, 4)), table.size());
    // A count, extra data's size, then entries led by their size less one; an entry's name
    // starts 40 bytes in, and byte 5 gives the character its alternative name starts at.
    const quint32 count = number(table, offset, 2);
    QStringList names;
    qsizetype entry = offset + 4;
    for (quint32 index = 0; index < count && entry < end; ++index) {
        const qsizetype next = entry + qsizetype(quint8(table.at(entry))) + 1;
        const auto nameAt = [&](qsizetype at) {
            QString name;
            for (; at + 1 < next && number(table, at, 2) != 0; at += 2)
                name += QChar(char16_t(number(table, at, 2)));
            return name;
        };
        QString name = nameAt(entry + 40);
        if (const quint32 alternative = number(table, entry + 5, 1); alternative != 0)
            name += u';' + nameAt(entry + 40 + 2 * qsizetype(alternative));
        names << name;
        entry = next;
    }
    return names;
}

#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QtEndian>

#include <stdexcept>

// Reads an OLE compound file (the container of Word 97-2003 files): the storages and
// streams of its directory and the bytes of a stream. The constructor throws
// std::runtime_error with the reason when the bytes are not such a file.
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

    const QList<Entry> &entries() const { return mEntries; }

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

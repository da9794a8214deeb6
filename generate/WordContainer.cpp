#include "WordContainer.h"

#include "Failure.h"

#include <gsf/gsf-doc-meta-data.h>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-meta-names.h>
#include <gsf/gsf-msole-utils.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-output.h>

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QtEndian>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>

namespace {
constexpr auto kWordDocument = "WordDocument";
constexpr auto kTable0 = "0Table";
constexpr auto kTable1 = "1Table";
constexpr auto kDocumentSummary = "\005DocumentSummaryInformation";
constexpr size_t kClassIdSize = 16;

struct Unref
{
    void operator()(gpointer object) const { g_object_unref(object); }
};
template<typename T> using Owned = std::unique_ptr<T, Unref>;

QString why(GError *error)
{
    const QString text = error ? QString::fromUtf8(error->message) : QStringLiteral("unknown");
    if (error)
        g_error_free(error);
    return text;
}

// The stream's bytes, read whole.
QByteArray contents(GsfInput *stream)
{
    const gsf_off_t size = gsf_input_size(stream);
    QByteArray bytes(qsizetype(size), '\0');
    if (size > 0 && !gsf_input_read(stream, size_t(size), reinterpret_cast<guint8 *>(bytes.data())))
        fail(QStringLiteral("a stream ends early"));
    return bytes;
}

void write(GsfOutput *stream, const QByteArray &bytes)
{
    if (!bytes.isEmpty()
        && !gsf_output_write(
            stream, size_t(bytes.size()), reinterpret_cast<const guint8 *>(bytes.constData())))
        fail(QStringLiteral("a stream could not be written"));
}

void copyClassId(GsfInfile *from, GsfOutfile *to)
{
    guint8 classId[kClassIdSize] = {};
    if (gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(from), classId))
        gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(to), classId);
}

// The document summary with the company in its own property, and without the
// user-defined one of that name.
void writeDocumentSummary(GsfInput *from, GsfOutput *to, const QString &company)
{
    const Owned<GsfDocMetaData> summary(gsf_doc_meta_data_new());
    if (from) {
        if (GError *error = gsf_doc_meta_data_read_from_msole(summary.get(), from))
            fail(QStringLiteral("its document summary cannot be read (%1)").arg(why(error)));
    }
    gsf_doc_meta_data_remove(summary.get(), "Company");
    auto *value = g_new0(GValue, 1);
    g_value_init(value, G_TYPE_STRING);
    g_value_set_string(value, company.toUtf8().constData());
    gsf_doc_meta_data_insert(summary.get(), g_strdup(GSF_META_NAME_COMPANY), value);
    if (!gsf_doc_meta_data_write_to_msole(summary.get(), to, true))
        fail(QStringLiteral("its document summary cannot be written"));
}

// A little-endian number of the bytes, or nothing when it lies outside them.
template<typename T> std::optional<T> numberAt(const QByteArray &bytes, qsizetype at)
{
    if (at < 0 || at + qsizetype(sizeof(T)) > bytes.size())
        return std::nullopt;
    return qFromLittleEndian<T>(bytes.constData() + at);
}

// The name of the table stream the file header of a WordDocument stream points to.
const char *tableStreamOf(const QByteArray &wordDocument)
{
    constexpr quint16 whichTableStream = 0x0200;
    return numberAt<quint16>(wordDocument, 0x0A).value_or(0) & whichTableStream ? kTable1 : kTable0;
}

// The font table with every entry's alternative name cleared. The office gives a font it
// knows a Microsoft substitute for (its own default among them) that substitute as a
// second name; readers that join the two into one name ("Liberation Serif;Times New
// Roman") carry it into every file they save from the memo, and other readers refuse
// such a file. The entries keep their sizes: the cleared name becomes zeros after the
// first name's end, and nothing else in the file moves.
QByteArray withoutAlternativeFontNames(const QByteArray &wordDocument, QByteArray table)
{
    // The file header: its fixed part, then counted arrays of 16-bit and 32-bit values,
    // then the (offset, size) pairs of the tables, the font table being pair 15.
    constexpr qsizetype shortsCountAt = 32;
    constexpr int fontTablePair = 15;
    const auto shorts = numberAt<quint16>(wordDocument, shortsCountAt);
    if (!shorts)
        return table;
    const qsizetype longsCountAt = shortsCountAt + 2 + 2 * qsizetype(*shorts);
    const auto longs = numberAt<quint16>(wordDocument, longsCountAt);
    if (!longs)
        return table;
    const qsizetype pairsCountAt = longsCountAt + 2 + 4 * qsizetype(*longs);
    const auto pairs = numberAt<quint16>(wordDocument, pairsCountAt);
    if (!pairs || *pairs <= fontTablePair)
        return table;
    const qsizetype pairAt = pairsCountAt + 2 + 8 * fontTablePair;
    const auto offset = numberAt<quint32>(wordDocument, pairAt);
    const auto size = numberAt<quint32>(wordDocument, pairAt + 4);
    if (!offset || !size || qint64(*offset) + qint64(*size) > table.size())
        return table;

    // A count, the size of extra data (none), then the entries, each led by its size
    // less one. An entry's name starts 40 bytes in; a non-zero byte 5 says at which
    // character of it its alternative name starts.
    constexpr qsizetype alternativeAt = 5;
    constexpr qsizetype nameAt = 40;
    const qsizetype end = qsizetype(*offset) + qsizetype(*size);
    const quint16 count = numberAt<quint16>(table, *offset).value_or(0);
    qsizetype entry = qsizetype(*offset) + 4;
    for (quint16 index = 0; index < count && entry < end; ++index) {
        const qsizetype entrySize = qsizetype(quint8(table.at(entry))) + 1;
        if (entry + entrySize > end)
            break;
        const qsizetype alternative = quint8(table.at(entry + alternativeAt));
        const qsizetype from = entry + nameAt + 2 * alternative;
        if (alternative != 0 && from < entry + entrySize) {
            table[entry + alternativeAt] = '\0';
            std::fill(table.begin() + from, table.begin() + entry + entrySize, '\0');
        }
        entry += entrySize;
    }
    return table;
}

// The streams of the root storage that are written with other bytes than they hold.
using Replacements = QHash<QByteArray, QByteArray>;

void copyStorage(GsfInfile *from, GsfOutfile *to, bool isRoot, const QString &company,
    const Replacements &replacements)
{
    copyClassId(from, to);
    bool summaryWritten = false;
    for (int index = 0; index < gsf_infile_num_children(from); ++index) {
        const char *name = gsf_infile_name_by_index(from, index);
        const Owned<GsfInput> child(gsf_infile_child_by_index(from, index));
        if (!child)
            fail(QStringLiteral("the entry \"%1\" cannot be read").arg(QString::fromUtf8(name)));
        const bool isStorage
            = GSF_IS_INFILE(child.get()) && gsf_infile_num_children(GSF_INFILE(child.get())) >= 0;
        const Owned<GsfOutput> copy(gsf_outfile_new_child(to, name, isStorage));
        if (!copy)
            fail(QStringLiteral("the entry \"%1\" cannot be written").arg(QString::fromUtf8(name)));
        if (isStorage) {
            copyStorage(
                GSF_INFILE(child.get()), GSF_OUTFILE(copy.get()), false, company, replacements);
        } else if (isRoot && !company.isEmpty() && qstrcmp(name, kDocumentSummary) == 0) {
            writeDocumentSummary(child.get(), copy.get(), company);
            summaryWritten = true;
        } else if (isRoot && replacements.contains(name)) {
            write(copy.get(), replacements.value(name));
        } else {
            QByteArray bytes = contents(child.get());
            if (isRoot && qstrcmp(name, kWordDocument) == 0 && bytes.size() < kSmallStreamLimit)
                bytes.append(QByteArray(kSmallStreamLimit - bytes.size(), '\0'));
            write(copy.get(), bytes);
        }
        if (!gsf_output_close(copy.get()))
            fail(
                QStringLiteral("the entry \"%1\" cannot be finished").arg(QString::fromUtf8(name)));
    }
    if (isRoot && !company.isEmpty() && !summaryWritten) {
        const Owned<GsfOutput> summary(gsf_outfile_new_child(to, kDocumentSummary, false));
        if (!summary)
            fail(QStringLiteral("its document summary cannot be written"));
        writeDocumentSummary(nullptr, summary.get(), company);
        if (!gsf_output_close(summary.get()))
            fail(QStringLiteral("its document summary cannot be finished"));
    }
}

QByteArray rootStream(GsfInfile *root, const char *name)
{
    const Owned<GsfInput> stream(gsf_infile_child_by_name(root, name));
    if (!stream)
        fail(QStringLiteral("it holds no stream \"%1\"").arg(QString::fromLatin1(name)));
    return contents(stream.get());
}
} // namespace

std::mutex &libgsfInUse()
{
    // libgsf registers its types and fills its property tables lazily, without locks: two
    // batch workers finishing files at once crashed the program.
    static std::mutex inUse;
    return inUse;
}

void finishWordFile(const QString &path, const QString &company)
{
    // One file at a time; it takes a few milliseconds.
    const std::lock_guard lock(libgsfInUse());
    const QByteArray fileName = QFile::encodeName(path);
    const QByteArray padded = QFile::encodeName(path + QStringLiteral(".padded"));
    try {
        GError *error = nullptr;
        const Owned<GsfInput> input(gsf_input_stdio_new(fileName.constData(), &error));
        if (!input)
            fail(why(error));
        const Owned<GsfInfile> source(gsf_infile_msole_new(input.get(), &error));
        if (!source)
            fail(why(error));
        const QByteArray wordDocument = rootStream(source.get(), kWordDocument);
        const char *tableName = tableStreamOf(wordDocument);
        const QByteArray table = rootStream(source.get(), tableName);
        Replacements replacements;
        if (QByteArray fonts = withoutAlternativeFontNames(wordDocument, table); fonts != table)
            replacements.insert(tableName, fonts);
        if (wordDocument.size() >= kSmallStreamLimit && company.isEmpty() && replacements.isEmpty())
            return;

        const Owned<GsfOutput> output(gsf_output_stdio_new(padded.constData(), &error));
        if (!output)
            fail(why(error));
        const Owned<GsfOutfile> target(gsf_outfile_msole_new(output.get()));
        copyStorage(source.get(), target.get(), true, company, replacements);
        if (!gsf_output_close(GSF_OUTPUT(target.get()))
            || (!gsf_output_is_closed(output.get()) && !gsf_output_close(output.get())))
            fail(QStringLiteral("the new file could not be finished"));
        if (std::rename(padded.constData(), fileName.constData()) != 0)
            fail(QStringLiteral("the new file could not take the old one's place"));
    } catch (const Failure &failure) {
        std::remove(padded.constData());
        fail(QStringLiteral("Could not finish the Word file \"%1\": %2.")
                 .arg(path, failure.description()));
    }
}

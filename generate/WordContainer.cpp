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

#include <cstdio>
#include <memory>
#include <mutex>

namespace {
constexpr auto kWordDocument = "WordDocument";
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

void copyStorage(GsfInfile *from, GsfOutfile *to, bool isRoot, const QString &company)
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
            copyStorage(GSF_INFILE(child.get()), GSF_OUTFILE(copy.get()), false, company);
        } else if (isRoot && !company.isEmpty() && qstrcmp(name, kDocumentSummary) == 0) {
            writeDocumentSummary(child.get(), copy.get(), company);
            summaryWritten = true;
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

gsf_off_t wordDocumentSize(GsfInfile *root)
{
    const Owned<GsfInput> stream(gsf_infile_child_by_name(root, kWordDocument));
    if (!stream)
        fail(QStringLiteral("it holds no Word document"));
    return gsf_input_size(stream.get());
}
} // namespace

void finishWordFile(const QString &path, const QString &company)
{
    // libgsf registers its types and fills its property tables lazily, without locks: two
    // batch workers finishing files at once crashed the program. One file at a time; it
    // takes a few milliseconds.
    static std::mutex gsfInUse;
    const std::lock_guard lock(gsfInUse);
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
        if (wordDocumentSize(source.get()) >= kSmallStreamLimit && company.isEmpty())
            return;

        const Owned<GsfOutput> output(gsf_output_stdio_new(padded.constData(), &error));
        if (!output)
            fail(why(error));
        const Owned<GsfOutfile> target(gsf_outfile_msole_new(output.get()));
        copyStorage(source.get(), target.get(), true, company);
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

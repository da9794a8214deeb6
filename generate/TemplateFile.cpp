#include "TemplateFile.h"

#include "Failure.h"
#include "WordContainer.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile-zip.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input.h>

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <vector>

namespace {
// What a package's small parts may take at most to be read: a zip entry of gigabytes
// made from a few bytes is never unpacked.
constexpr gsf_off_t kMostPartBytes = 1024 * 1024;

struct Unref
{
    void operator()(gpointer object) const { g_object_unref(object); }
};
template<typename T> using Owned = std::unique_ptr<T, Unref>;

QString kinds()
{
    return QStringLiteral("a .dot, .doc, .dotx, .docx, .ott or .odt file");
}

[[noreturn]] void notAWordDocument()
{
    throw TemplateRefused(
        QStringLiteral("it is no word processor document (give %1)").arg(kinds()));
}

[[noreturn]] void damaged()
{
    throw TemplateRefused(QStringLiteral("it is damaged: its container cannot be read"));
}

[[noreturn]] void encrypted()
{
    throw TemplateRefused(
        QStringLiteral("it is protected by a password; save it without one and choose it again"));
}

// The part at the path ("META-INF", "manifest.xml"), at most kMostPartBytes of it; empty
// when the package has no such part.
QByteArray part(GsfInfile *package, std::initializer_list<const char *> path)
{
    GsfInfile *folder = package;
    std::vector<Owned<GsfInput>> held;
    GsfInput *found = nullptr;
    for (const char *name : path) {
        if (folder == nullptr)
            return {};
        found = gsf_infile_child_by_name(folder, name);
        if (found == nullptr)
            return {};
        held.emplace_back(found);
        folder = GSF_IS_INFILE(found) ? GSF_INFILE(found) : nullptr;
    }
    const gsf_off_t size = std::min(gsf_input_size(found), kMostPartBytes);
    QByteArray bytes(qsizetype(size), '\0');
    if (size > 0 && !gsf_input_read(found, size_t(size), reinterpret_cast<guint8 *>(bytes.data())))
        damaged();
    return bytes;
}

bool hasStream(GsfInfile *file, const char *name)
{
    const Owned<GsfInput> stream(gsf_infile_child_by_name(file, name));
    return stream != nullptr;
}

TemplateKind compoundFileKind(GsfInput *input)
{
    GError *error = nullptr;
    const Owned<GsfInfile> file(gsf_infile_msole_new(input, &error));
    if (!file) {
        g_clear_error(&error);
        damaged();
    }
    // Word's XML documents protected by a password come in a compound file.
    if (hasStream(file.get(), "EncryptedPackage") || hasStream(file.get(), "EncryptionInfo"))
        encrypted();
    const QByteArray header = part(file.get(), { "WordDocument" });
    if (header.isEmpty())
        notAWordDocument();
    // The file information block: its magic number, then fEncrypted among its flags.
    constexpr quint16 kWordMagic = 0xa5ec;
    constexpr quint16 kEncrypted = 0x0100;
    if (header.size() < 12)
        damaged();
    const auto word
        = [&](int at) { return quint16(quint8(header[at]) | (quint8(header[at + 1]) << 8)); };
    if (word(0) != kWordMagic)
        notAWordDocument();
    if (word(10) & kEncrypted)
        encrypted();
    return TemplateKind::Word97;
}

TemplateKind packageKind(GsfInput *input)
{
    GError *error = nullptr;
    const Owned<GsfInfile> package(gsf_infile_zip_new(input, &error));
    if (!package) {
        g_clear_error(&error);
        damaged();
    }
    const QByteArray mimeType = part(package.get(), { "mimetype" }).trimmed();
    if (!mimeType.isEmpty()) {
        if (mimeType != "application/vnd.oasis.opendocument.text"
            && mimeType != "application/vnd.oasis.opendocument.text-template")
            notAWordDocument();
        if (part(package.get(), { "META-INF", "manifest.xml" }).contains("encryption-data"))
            encrypted();
        return TemplateKind::OpenDocument;
    }
    const QByteArray types = part(package.get(), { "[Content_Types].xml" });
    for (const char *main : { "wordprocessingml.document.main+xml",
             "wordprocessingml.template.main+xml", "ms-word.document.macroEnabled.main+xml",
             "ms-word.template.macroEnabledTemplate.main+xml" }) {
        if (types.contains(main))
            return TemplateKind::WordXml;
    }
    notAWordDocument();
}
} // namespace

TemplateKind templateKindOf(const QByteArray &bytes)
{
    static const QByteArray compoundFile = QByteArray::fromHex("d0cf11e0a1b11ae1");
    static const QByteArray zip = QByteArrayLiteral("PK\x03\x04");
    const bool compound = bytes.startsWith(compoundFile);
    if (!compound && !bytes.startsWith(zip))
        notAWordDocument();
    const std::lock_guard lock(libgsfInUse());
    const Owned<GsfInput> input(gsf_input_memory_new(
        reinterpret_cast<const guint8 *>(bytes.constData()), gsf_off_t(bytes.size()), false));
    return compound ? compoundFileKind(input.get()) : packageKind(input.get());
}

#include "ZipPackage.h"

#include "Failure.h"

#include <zip.h>

#include <cstdio>

namespace {
// The fastest deflate: a memo's parts are small, and many memos are made at once.
constexpr zip_uint32_t kDeflateLevel = 1;

QString errorText(zip_error_t *error)
{
    return QString::fromLocal8Bit(zip_error_strerror(error));
}
} // namespace

ZipPackage::ZipPackage(const QByteArray &bytes, const QString &what)
    : mBytes(bytes)
    , mWhat(what)
{
    zip_error_t error;
    zip_error_init(&error);
    // The archive is written back into its source, which keeps the bytes it was given.
    mSource = zip_source_buffer_create(mBytes.constData(), zip_uint64_t(mBytes.size()), 0, &error);
    if (mSource != nullptr)
        mArchive = zip_open_from_source(mSource, 0, &error);
    if (mArchive == nullptr) {
        const QString why = errorText(&error);
        zip_error_fini(&error);
        if (mSource != nullptr)
            zip_source_free(mSource);
        fail(QStringLiteral("%1 cannot be read as a zip archive: %2").arg(mWhat, why));
    }
    zip_error_fini(&error);
    // Kept past the archive's end: the finished package is read from it.
    zip_source_keep(mSource);
}

ZipPackage::~ZipPackage()
{
    if (mArchive != nullptr)
        zip_discard(mArchive);
    zip_source_free(mSource);
}

void ZipPackage::failWith(const QString &doing) const
{
    fail(QStringLiteral("%1 could not be %2: %3")
             .arg(mWhat, doing, QString::fromLocal8Bit(zip_strerror(mArchive))));
}

qint64 ZipPackage::indexOf(const QString &name) const
{
    return zip_name_locate(mArchive, name.toUtf8().constData(), ZIP_FL_ENC_UTF_8);
}

bool ZipPackage::contains(const QString &name) const
{
    return indexOf(name) >= 0;
}

QStringList ZipPackage::names() const
{
    QStringList names;
    const zip_int64_t count = zip_get_num_entries(mArchive, 0);
    for (zip_int64_t index = 0; index < count; ++index) {
        if (const char *name = zip_get_name(mArchive, zip_uint64_t(index), ZIP_FL_ENC_GUESS))
            names.append(QString::fromUtf8(name));
    }
    return names;
}

QByteArray ZipPackage::read(const QString &name) const
{
    const qint64 index = indexOf(name);
    if (index < 0)
        fail(QStringLiteral("%1 has no part %2").arg(mWhat, name));
    zip_stat_t status;
    zip_stat_init(&status);
    if (zip_stat_index(mArchive, zip_uint64_t(index), 0, &status) != 0
        || !(status.valid & ZIP_STAT_SIZE))
        failWith(QStringLiteral("read (%1)").arg(name));
    QByteArray bytes(qsizetype(status.size), Qt::Uninitialized);
    zip_file_t *file = zip_fopen_index(mArchive, zip_uint64_t(index), 0);
    if (file == nullptr)
        failWith(QStringLiteral("read (%1)").arg(name));
    const zip_int64_t read = zip_fread(file, bytes.data(), zip_uint64_t(bytes.size()));
    zip_fclose(file);
    if (read != zip_int64_t(bytes.size()))
        failWith(QStringLiteral("read (%1)").arg(name));
    return bytes;
}

void ZipPackage::replace(const QString &name, const QByteArray &bytes)
{
    const qint64 index = indexOf(name);
    if (index < 0)
        fail(QStringLiteral("%1 has no part %2").arg(mWhat, name));
    const QByteArray &kept = mReplacements.emplace_back(bytes);
    zip_source_t *source
        = zip_source_buffer(mArchive, kept.constData(), zip_uint64_t(kept.size()), 0);
    if (source == nullptr)
        failWith(QStringLiteral("changed (%1)").arg(name));
    if (zip_file_replace(mArchive, zip_uint64_t(index), source, ZIP_FL_ENC_UTF_8) != 0) {
        zip_source_free(source);
        failWith(QStringLiteral("changed (%1)").arg(name));
    }
    zip_set_file_compression(mArchive, zip_uint64_t(index), ZIP_CM_DEFLATE, kDeflateLevel);
    mReplaced.push_back(index);
}

void ZipPackage::remove(const QString &name)
{
    const qint64 index = indexOf(name);
    if (index >= 0 && zip_delete(mArchive, zip_uint64_t(index)) != 0)
        failWith(QStringLiteral("changed (%1)").arg(name));
}

QByteArray ZipPackage::finished(const QDateTime &time)
{
    for (const qint64 index : mReplaced)
        zip_file_set_mtime(mArchive, zip_uint64_t(index), time_t(time.toSecsSinceEpoch()), 0);
    if (zip_close(mArchive) != 0)
        failWith(QStringLiteral("written"));
    mArchive = nullptr;

    QByteArray bytes;
    if (zip_source_open(mSource) == 0) {
        if (zip_source_seek(mSource, 0, SEEK_END) == 0) {
            const zip_int64_t size = zip_source_tell(mSource);
            if (size >= 0 && zip_source_seek(mSource, 0, SEEK_SET) == 0) {
                bytes.resize(qsizetype(size));
                if (zip_source_read(mSource, bytes.data(), zip_uint64_t(size)) != size)
                    bytes.clear();
            }
        }
        zip_source_close(mSource);
    }
    if (bytes.isEmpty())
        fail(QStringLiteral("%1 could not be written: %2")
                 .arg(mWhat, errorText(zip_source_error(mSource))));
    return bytes;
}

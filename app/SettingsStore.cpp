#include "SettingsStore.h"

#include "Failure.h"
#include "FileUtils.h"
#include "WorkThread.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <chrono>
#include <condition_variable>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

#include <sys/stat.h>

namespace {
QString userSettingsFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QLatin1Char('/') + QString::fromLatin1(SettingsStore::kApplication)
        + QStringLiteral(".conf");
}

QString fullKey(const QString &key)
{
    return QString::fromLatin1(SettingsStore::kSection) + QLatin1Char('/') + key;
}

// What tells one version of the file from the next: a write replaces the file.
struct FileVersion
{
    bool exists = false;
    bool regular = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified {};

    static FileVersion of(const QString &path)
    {
        FileVersion version;
        struct stat status
        {
        };
        if (::stat(QFile::encodeName(path).constData(), &status) != 0)
            return version;
        version = { true, S_ISREG(status.st_mode), status.st_dev, status.st_ino, status.st_size,
            status.st_mtim };
        return version;
    }

    bool operator==(const FileVersion &other) const
    {
        return exists == other.exists && device == other.device && inode == other.inode
            && size == other.size && modified.tv_sec == other.modified.tv_sec
            && modified.tv_nsec == other.modified.tv_nsec;
    }
};

// How long a write waits for another running copy's write to end.
constexpr auto kLockWait = std::chrono::seconds(5);

// The file is changed in a copy under a new name, which then replaces it as every file
// the program writes is replaced: a link at the store's name is replaced by a plain
// file with the values it led to, and whatever it pointed to is never written.
void writeValues(const QString &fileName, const std::map<QString, QString> &values)
{
    const auto failed = [&](const QString &why) {
        fail(QStringLiteral("The setting \"%1\" could not be written to %2: %3.")
                 .arg(values.begin()->first, fileName, why));
    };
    const QFileInfo store(fileName);
    if (!QDir().mkpath(store.absolutePath()))
        failed(QStringLiteral("its folder could not be made"));
    // Two running copies change the file one after the other, so neither loses a value.
    std::optional<FileLock> lock;
    try {
        lock.emplace(fileName + QStringLiteral(".lock"), kLockWait);
    } catch (const Failure &failure) {
        failed(failure.description());
    }
    const auto current
        = readPlainFile(fileName, std::numeric_limits<qsizetype>::max(), Links::Follow);
    if (!current && store.exists())
        failed(store.isDir() ? QStringLiteral("it is a folder")
                             : QStringLiteral("it is not a plain file that can be read"));

    QTemporaryFile copy(store.absolutePath() + QStringLiteral("/.scrivane-XXXXXX.conf"));
    if (!copy.open() || (current && copy.write(*current) != current->size()) || !copy.flush())
        failed(copy.errorString());
    copy.close();
    {
        QSettings settings(copy.fileName(), QSettings::IniFormat);
        for (const auto &[key, value] : values)
            settings.setValue(fullKey(key), value);
        settings.sync();
        if (settings.status() != QSettings::NoError)
            failed(QStringLiteral("its copy %1 could not be written").arg(copy.fileName()));
    }
    const auto changed
        = readPlainFile(copy.fileName(), std::numeric_limits<qsizetype>::max(), Links::Refuse);
    if (!changed)
        failed(QStringLiteral("its copy %1 could not be read back").arg(copy.fileName()));
    replaceFile(fileName, *changed);
}
} // namespace

// The file's values as one read found them; read again only when the file changes,
// so a start with a large stored field reads it once, not once per key.
struct SettingsStore::Snapshot
{
    FileVersion version;
    QHash<QString, QString> values;
    QSettings::Status status = QSettings::NoError;
};

// Values saved soon go to disk in order on the store's own WorkThread; a write takes
// everything saved while the one before it was under way.
struct SettingsStore::Writer
{
    std::mutex mutex;
    std::condition_variable idle;
    std::map<QString, QString> pending;
    std::map<QString, QString> writing;
    QString failure;
    std::function<void(const QString &)> onFailure;
    // A write is queued or under way.
    bool busy = false;
    const QString fileName;
    WorkThread thread;

    Writer(QString file, std::function<void(const QString &)> handler)
        : onFailure(std::move(handler))
        , fileName(std::move(file))
    { }

    // Everything saved soon is written before the store goes.
    ~Writer()
    {
        std::unique_lock lock(mutex);
        idle.wait(lock, [&] { return !busy; });
    }

    void save(const QString &key, const QString &value)
    {
        std::lock_guard lock(mutex);
        pending[key] = value;
        if (!std::exchange(busy, true))
            thread.post([this] { run(); });
    }

    void run()
    {
        std::unique_lock lock(mutex);
        while (!pending.empty()) {
            writing = std::move(pending);
            pending.clear();
            const auto handler = onFailure;
            lock.unlock();
            QString failed;
            try {
                writeValues(fileName, writing);
            } catch (const Failure &error) {
                failed = error.description();
            }
            if (handler)
                handler(failed);
            lock.lock();
            writing.clear();
            if (!failed.isEmpty())
                failure = failed;
        }
        busy = false;
        idle.notify_all();
    }

    // A value saved soon and not yet written, if any.
    std::optional<QString> unwritten(const QString &key)
    {
        std::lock_guard lock(mutex);
        for (const auto *values : { &pending, &writing }) {
            const auto found = values->find(key);
            if (found != values->end())
                return found->second;
        }
        return std::nullopt;
    }
};

SettingsStore::SettingsStore()
    : mFileName(userSettingsFile())
{ }

SettingsStore::SettingsStore(QString fileName)
    : mFileName(std::move(fileName))
{ }

SettingsStore::~SettingsStore() = default;

std::shared_ptr<const SettingsStore::Snapshot> SettingsStore::snapshot() const
{
    const FileVersion version = FileVersion::of(mFileName);
    if (mSnapshot && mSnapshot->version == version)
        return mSnapshot;
    auto read = std::make_shared<Snapshot>();
    read->version = version;
    // A pipe or device is never opened: reading it could wait for ever or never end.
    if (version.exists && !version.regular) {
        read->status = QSettings::AccessError;
        mSnapshot = read;
        return mSnapshot;
    }
    QSettings settings(mFileName, QSettings::IniFormat);
    settings.beginGroup(QString::fromLatin1(kSection));
    for (const QString &key : settings.childKeys())
        read->values.insert(key, settings.value(key).toString());
    settings.endGroup();
    read->status = settings.status();
    // A file that changed while it was read is read again next time.
    if (!(FileVersion::of(mFileName) == version))
        read->version = {};
    mSnapshot = read;
    return mSnapshot;
}

QString SettingsStore::GetSetting(const QString &key, const QString &defaultValue) const
{
    if (mWriter) {
        if (auto value = mWriter->unwritten(key))
            return *value;
    }
    const auto values = snapshot();
    const auto found = values->values.constFind(key);
    return found != values->values.cend() ? *found : defaultValue;
}

void SettingsStore::SaveSetting(const QString &key, const QString &value)
{
    // A later value must not be overtaken by an earlier one still on its way.
    flush();
    writeValues(mFileName, { { key, value } });
}

void SettingsStore::SaveSettingSoon(const QString &key, const QString &value)
{
    if (!mWriter)
        mWriter = std::make_unique<Writer>(mFileName, mOnSoonWritten);
    mWriter->save(key, value);
}

bool SettingsStore::isWritingSoon() const
{
    if (!mWriter)
        return false;
    std::lock_guard lock(mWriter->mutex);
    return !mWriter->pending.empty() || !mWriter->writing.empty();
}

void SettingsStore::onSoonWritten(std::function<void(const QString &failure)> handler)
{
    mOnSoonWritten = std::move(handler);
    if (mWriter) {
        std::lock_guard lock(mWriter->mutex);
        mWriter->onFailure = mOnSoonWritten;
    }
}

void SettingsStore::flush()
{
    if (!mWriter)
        return;
    std::unique_lock lock(mWriter->mutex);
    mWriter->idle.wait(lock, [&] { return !mWriter->busy; });
    if (const QString failure = std::exchange(mWriter->failure, QString()); !failure.isEmpty())
        fail(failure);
}

QString SettingsStore::readProblem() const
{
    const QFileInfo file(mFileName);
    if (!file.exists() && !file.isSymLink())
        return {};
    QString why;
    if (file.isDir())
        why = QStringLiteral("it is a folder");
    else if (!file.isFile())
        why = QStringLiteral("it is not a plain file");
    else if (QFile probe(mFileName); !probe.open(QIODevice::ReadOnly))
        why = probe.errorString();
    else if (snapshot()->status != QSettings::NoError)
        why = QStringLiteral("it is not a settings file");
    if (why.isEmpty())
        return {};
    return QStringLiteral("The stored memo details in %1 cannot be read (%2).").arg(mFileName, why);
}

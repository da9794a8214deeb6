#include "OutputFolder.h"

#include "Failure.h"
#include "FileUtils.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace CommandLine {
namespace {
bool isFolder(const QByteArray &name)
{
    struct stat status
    {
    };
    return ::stat(name.constData(), &status) == 0 && S_ISDIR(status.st_mode);
}
} // namespace

// A document name inside the output folder, never a path out of it.
void checkFileName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")
        || name.contains(QLatin1Char('/')) || name.contains(QChar(0)))
        fail(QStringLiteral("\"%1\" is not a plain file name").arg(name));
    if (!name.isValidUtf16())
        fail(QStringLiteral("\"%1\" holds a surrogate without its partner, which no file name "
                            "can hold")
                 .arg(name));
}

void checkWritableFolder(const QString &folder)
{
    const QByteArray name = encodeFileName(folder);
    if (::access(name.constData(), F_OK) != 0)
        fail(QStringLiteral("the output folder %1 does not exist").arg(folder));
    if (!isFolder(name))
        fail(QStringLiteral("%1 is not a folder").arg(folder));
    QByteArray probe = name + "/.scrivane-XXXXXX";
    const int handle = ::mkostemp(probe.data(), O_CLOEXEC);
    if (handle < 0)
        fail(QStringLiteral("the output folder %1 cannot be written").arg(folder));
    ::close(handle);
    ::unlink(probe.constData());
}

// The folder and those above it that are missing, as QDir::mkpath makes them but under
// the name's own bytes.
bool makeFolder(const QString &folder)
{
    const QByteArray name = encodeFileName(folder);
    if (::access(name.constData(), F_OK) == 0)
        return true;
    for (qsizetype end = 1; end <= name.size(); ++end) {
        if (end < name.size() && name.at(end) != '/')
            continue;
        const QByteArray above = name.left(end);
        if (::mkdir(above.constData(), 0777) != 0 && errno != EEXIST)
            return false;
    }
    return isFolder(name);
}

std::unique_ptr<FileLock> lockOutputFolder(const QString &folder)
{
    try {
        return std::make_unique<FileLock>(
            folder, std::chrono::milliseconds::zero(), FileLock::Kind::Folder);
    } catch (const FileLock::LockHeld &) {
        fail(QStringLiteral("another Scrivane batch is writing into %1; wait until it has "
                            "finished or choose another folder")
                 .arg(folder));
    } catch (const Failure &failure) {
        fail(QStringLiteral("the output folder %1 cannot be locked against a second batch "
                            "(%2); give a folder that can be read too")
                 .arg(folder, failure.description()));
    }
}

} // namespace CommandLine

#include "TempFolder.h"

#include "Failure.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace {
// Never a shared folder: another user could plant a template or a link there.
QString privateFolder()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty() || QDir(cache).isRoot())
        fail(QStringLiteral("No folder for temporary files could be found: set TEMP to one."));
    const QString folder = cache + QStringLiteral("/Tarnwick/Scrivane/tmp");
    if (!QDir().mkpath(folder))
        fail(QStringLiteral("The folder for temporary files %1 could not be created.").arg(folder));

    const QByteArray name = QFile::encodeName(folder);
    struct stat status
    {
    };
    if (::lstat(name.constData(), &status) != 0 || !S_ISDIR(status.st_mode)
        || status.st_uid != ::getuid())
        fail(QStringLiteral("The folder for temporary files %1 is not this user's own.")
                 .arg(folder));
    if ((status.st_mode & 077) != 0 && ::chmod(name.constData(), 0700) != 0)
        fail(QStringLiteral("The folder for temporary files %1 could not be made private.")
                 .arg(folder));
    return folder;
}
} // namespace

QString temporaryFolder()
{
    const QString fromEnvironment = qEnvironmentVariable("TEMP");
    if (!fromEnvironment.isEmpty())
        return QDir::cleanPath(fromEnvironment);
    return privateFolder();
}

QString temporaryPath(const QString &fileName)
{
    const QString folder = temporaryFolder();
    return folder.endsWith(QDir::separator()) ? folder + fileName
                                              : folder + QDir::separator() + fileName;
}

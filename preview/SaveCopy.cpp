#include "SaveCopy.h"

#include "Failure.h"
#include "FileUtils.h"

#include <QFile>

void saveCopy(const QString &source, const QString &destination)
{
    QFile input(source);
    if (!input.open(QIODevice::ReadOnly))
        fail(QStringLiteral("The document %1 could not be read: %2")
                 .arg(source, input.errorString()));
    const QByteArray document = input.readAll();
    if (input.error() != QFileDevice::NoError)
        fail(QStringLiteral("The document %1 could not be read: %2")
                 .arg(source, input.errorString()));
    // The overwrite question has been answered: a read-only file may go too.
    replaceFile(destination, document, ReadOnlyFile::Replace);
}

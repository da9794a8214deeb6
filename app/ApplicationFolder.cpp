#include "ApplicationFolder.h"

#include <QCoreApplication>

QString applicationFolder()
{
    // Qt resolves the program file through /proc/self/exe, so links are followed.
    return QCoreApplication::applicationDirPath();
}

// Prints applicationFolder(), so a test can start it through a link as the
// installed program is started through /usr/bin/scrivane.

#include "ApplicationFolder.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    std::printf("%s\n", applicationFolder().toLocal8Bit().constData());
    return 0;
}

#pragma once

#include <QString>

// The program's folder, where the optional skin and cursor files are looked for.
// Links to the program are followed: an installed program is started through
// /usr/bin/scrivane but lives, with its files, in /usr/lib/scrivane.
QString applicationFolder();

#pragma once

#include <QIcon>

// The application icon every window shows.
QIcon applicationIcon();

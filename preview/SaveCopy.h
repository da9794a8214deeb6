#pragma once

#include <QString>

// Copies the file at source to destination, taking destination literally. A file
// already there is replaced only by the finished copy: the copy is written beside
// it and renamed over it, so a failure leaves the old file exactly as it was and no
// partial file behind. Throws Failure, saying what could not be done, when it fails.
void saveCopy(const QString &source, const QString &destination);

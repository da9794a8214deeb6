#pragma once

#include <QImage>
#include <QString>

// Pictures carry more pixels than their logical size (the device pixel ratio), so
// that a zoomed page stays sharp. On disk the ratio travels as the image's
// resolution: 96 dots per inch is a ratio of 1.

// Loads a picture file whatever its name says its format is; throws Failure when the
// file is missing or holds no picture.
QImage loadPicture(const QString &path);

// Writes the picture with its resolution, replacing any file of that name; throws
// Failure when it cannot. A null picture is no picture and fails as well.
void savePicture(const QImage &picture, const QString &path);

#include "Theme.h"

#include "Failure.h"

#include <QCoreApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>

// Placeholder until the look is built: no skin, no colours, the arrow cursor.

QString applicationFolder()
{
    return QCoreApplication::applicationDirPath();
}

void ApplySkin(QWidget &) { }

void SetFormColors(QWidget &) { }

QString handCursorPath()
{
    return applicationFolder() + QDir::separator() + QStringLiteral("HAND-M.CUR");
}

QCursor LoadCursorFile(const QString &path)
{
    const QPixmap picture(path);
    if (picture.isNull())
        fail(QStringLiteral("Invalid picture: %1").arg(path));
    return QCursor(picture);
}

QIcon applicationIcon()
{
    return {};
}

#include "WindowLayout.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>

QFont boldArial(double points)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

void centreOnScreen(QWidget &window)
{
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        window.setGeometry(QStyle::alignedRect(
            Qt::LeftToRight, Qt::AlignCenter, window.size(), screen->availableGeometry()));
}

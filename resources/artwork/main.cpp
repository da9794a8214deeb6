// Draws the program's icon and hand cursor from their sources at build time:
//   scrivane_artwork icon SMALL.svg LARGE.svg OUT.ico
//   scrivane_artwork hicolor SMALL.svg LARGE.svg OUTDIR NAME
//   scrivane_artwork cursor HAND.xpm OUT.cur
//   scrivane_artwork picture DRAWING.svg SIZE OUT.png

#include "WindowsIcon.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>

#include <cstdio>
#include <cstdlib>

namespace {
// Up to this size the simplified drawing, made on a 32-pixel grid, reads better.
constexpr int largestSmallSize = 32;

struct IconSize
{
    int pixels;
    int bitsPerPixel;
    bool png;
};
constexpr IconSize iconSizes[]
    = { { 32, 24, false }, { 48, 32, false }, { 128, 32, false }, { 256, 32, true } };
constexpr int hicolorSizes[] = { 16, 22, 24, 32, 48, 64, 128, 256 };

[[noreturn]] void die(const QString &text)
{
    std::fprintf(stderr, "scrivane_artwork: %s\n", qPrintable(text));
    std::exit(1);
}

QImage render(const QString &svgPath, int size)
{
    QSvgRenderer renderer(svgPath);
    if (!renderer.isValid())
        die(QStringLiteral("cannot read the drawing %1").arg(svgPath));
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(0, 0, size, size));
    painter.end();
    return image;
}

QImage renderFor(int size, const QString &smallSvg, const QString &largeSvg)
{
    return render(size <= largestSmallSize ? smallSvg : largeSvg, size);
}

void write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        die(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
}

// The hot spot is the XPM values line's optional fifth and sixth number.
QPoint xpmHotSpot(const QString &xpmPath)
{
    QFile file(xpmPath);
    if (!file.open(QIODevice::ReadOnly))
        die(QStringLiteral("cannot read %1").arg(xpmPath));
    static const QRegularExpression values(
        QStringLiteral(R"("\s*\d+\s+\d+\s+\d+\s+\d+\s+(\d+)\s+(\d+)\s*")"));
    const QRegularExpressionMatch match = values.match(QString::fromUtf8(file.readAll()));
    if (!match.hasMatch())
        die(QStringLiteral("%1 names no hot spot").arg(xpmPath));
    return { match.captured(1).toInt(), match.captured(2).toInt() };
}
} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);
    const QString command = arguments.value(0);

    if (command == QLatin1String("icon") && arguments.size() == 4) {
        QList<IconPicture> pictures;
        for (const IconSize &size : iconSizes) {
            pictures.append({ renderFor(size.pixels, arguments[1], arguments[2]), size.bitsPerPixel,
                size.png });
        }
        write(arguments[3], iconFile(pictures));
    } else if (command == QLatin1String("hicolor") && arguments.size() == 5) {
        for (int size : hicolorSizes) {
            const QString path = QStringLiteral("%1/%2x%2/apps/%3.png")
                                     .arg(arguments[3])
                                     .arg(size)
                                     .arg(arguments[4]);
            QDir().mkpath(QFileInfo(path).absolutePath());
            if (!renderFor(size, arguments[1], arguments[2]).save(path, "PNG"))
                die(QStringLiteral("cannot write %1").arg(path));
        }
    } else if (command == QLatin1String("cursor") && arguments.size() == 3) {
        const QImage hand(arguments[1], "XPM");
        if (hand.isNull())
            die(QStringLiteral("cannot read the drawing %1").arg(arguments[1]));
        write(arguments[2], cursorFile(hand, xpmHotSpot(arguments[1])));
    } else if (command == QLatin1String("picture") && arguments.size() == 4) {
        if (!render(arguments[1], arguments[2].toInt()).save(arguments[3], "PNG"))
            die(QStringLiteral("cannot write %1").arg(arguments[3]));
    } else {
        die(QStringLiteral(
            "usage: icon SMALL.svg LARGE.svg OUT.ico | hicolor SMALL.svg LARGE.svg "
            "OUTDIR NAME | cursor HAND.xpm OUT.cur | picture DRAWING.svg SIZE OUT.png"));
    }
    return 0;
}

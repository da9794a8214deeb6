#include "PictureBox.h"

#include "ButtonFace.h"
#include "FocusRing.h"
#include "Twips.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <qdrawutil.h>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kFocusRingInset = 3;
constexpr int kFocusRingWidth = 3;

std::int16_t buttonMask(Qt::MouseButtons buttons)
{
    std::int16_t mask = 0;
    if (buttons & Qt::LeftButton)
        mask |= 1;
    if (buttons & Qt::RightButton)
        mask |= 2;
    if (buttons & Qt::MiddleButton)
        mask |= 4;
    return mask;
}

std::int16_t shiftMask(Qt::KeyboardModifiers modifiers)
{
    std::int16_t mask = 0;
    if (modifiers & Qt::ShiftModifier)
        mask |= 1;
    if (modifiers & Qt::ControlModifier)
        mask |= 2;
    if (modifiers & Qt::AltModifier)
        mask |= 4;
    return mask;
}

// Whole pixels of a twip rectangle at the given pixels per twip; the edges are
// rounded, so neighbouring rectangles neither overlap nor leave gaps.
QRect pixelRect(double left, double top, double width, double height, double pixelsPerTwip)
{
    const auto edge = [pixelsPerTwip](double twips) {
        return static_cast<int>(std::lround(twips * pixelsPerTwip));
    };
    return QRect(
        QPoint(edge(left), edge(top)), QPoint(edge(left + width) - 1, edge(top + height) - 1));
}

QRect pixelRect(const QRectF &twips, double pixelsPerTwip)
{
    return pixelRect(twips.x(), twips.y(), twips.width(), twips.height(), pixelsPerTwip);
}

// Pieces of a picture start on a grid of its pixels, so that two repaints of
// neighbouring parts scale the same pixels to the same places; a grid cell covers
// at most this many pixels of the picture or of the screen.
constexpr int kPieceGrid = 64;

int gridCell(double scale)
{
    return std::clamp(static_cast<int>(kPieceGrid / std::max(scale, 1.0)), 1, kPieceGrid);
}

int gridBelow(double position, int origin, int cell)
{
    return origin + static_cast<int>(std::floor((position - origin) / cell)) * cell;
}

int gridAbove(double position, int origin, int cell)
{
    return origin + static_cast<int>(std::ceil((position - origin) / cell)) * cell;
}

// The picture's pixels of a rectangle, one to a device pixel, without copying them
// where the format allows.
QImage pixelsOf(const QImage &picture, const QRect &piece)
{
    if (picture.depth() % 8 != 0 || picture.format() == QImage::Format_Indexed8)
        return picture.copy(piece);
    const uchar *first = picture.constBits() + qsizetype(piece.top()) * picture.bytesPerLine()
        + qsizetype(piece.left()) * (picture.depth() / 8);
    return QImage(first, piece.width(), piece.height(), picture.bytesPerLine(), picture.format());
}

// Paints the source rectangle of the picture stretched or shrunk onto the destination
// rectangle (both in pixels, the painter's in device pixels), but scales only the part
// that lands inside `visible`, plus a little around it for the filter. Shrinking
// averages the picture's pixels, which keeps small text legible.
void drawScaledPart(QPainter &painter, const QImage &picture, const QRect &source,
    const QRect &destination, const QRect &visible)
{
    const QRect shown = destination.intersected(visible);
    if (shown.isEmpty() || source.isEmpty())
        return;
    if (source.size() == destination.size()) {
        painter.drawImage(shown.topLeft(),
            pixelsOf(picture, shown.translated(source.topLeft() - destination.topLeft())));
        return;
    }
    const double xScale = double(destination.width()) / source.width();
    const double yScale = double(destination.height()) / source.height();
    if (xScale >= 1 && yScale >= 1) {
        // Enlarging: the painter fills just the shown pixels, each from its own place.
        painter.save();
        painter.setClipRect(shown);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(destination), pixelsOf(picture, source));
        painter.restore();
        return;
    }
    const auto sourceX
        = [&](double x) { return source.left() + (x - destination.left()) / xScale; };
    const auto sourceY = [&](double y) { return source.top() + (y - destination.top()) / yScale; };
    const int across = gridCell(xScale);
    const int down = gridCell(yScale);
    const int left
        = std::max(source.left(), gridBelow(sourceX(shown.left()) - 2, source.left(), across));
    const int top = std::max(source.top(), gridBelow(sourceY(shown.top()) - 2, source.top(), down));
    const int right = std::min(source.left() + source.width(),
        gridAbove(sourceX(shown.right() + 1) + 2, source.left(), across));
    const int bottom = std::min(source.top() + source.height(),
        gridAbove(sourceY(shown.bottom() + 1) + 2, source.top(), down));
    const auto destX = [&](int x) {
        return static_cast<int>(std::lround(destination.left() + (x - source.left()) * xScale));
    };
    const auto destY = [&](int y) {
        return static_cast<int>(std::lround(destination.top() + (y - source.top()) * yScale));
    };
    const QRect placed(
        QPoint(destX(left), destY(top)), QPoint(destX(right) - 1, destY(bottom) - 1));
    if (right <= left || bottom <= top || placed.isEmpty())
        return;
    const QImage piece
        = pixelsOf(picture, QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)))
              .scaled(placed.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    painter.drawImage(shown.topLeft(), piece, shown.translated(-placed.topLeft()));
}
} // namespace

PictureBox::PictureBox(const QString &name, float borderTwips, QWidget *parent)
    : QWidget(parent)
    , mBorder(borderTwips)
    , mBackColor(palette().color(QPalette::Button))
{
    setObjectName(name);
    setAttribute(Qt::WA_OpaquePaintEvent);
    markAsPictureBox(*this);
}

void PictureBox::setLeft(float left)
{
    mLeft = left;
    applyGeometry();
}

void PictureBox::setTop(float top)
{
    mTop = top;
    applyGeometry();
}

void PictureBox::setBoxWidth(float width)
{
    mWidth = width;
    applyGeometry();
}

void PictureBox::setBoxHeight(float height)
{
    mHeight = height;
    applyGeometry();
}

void PictureBox::moveTo(float left, float top)
{
    mLeft = left;
    mTop = top;
    applyGeometry();
}

void PictureBox::place(float left, float top, float width, float height)
{
    mLeft = left;
    mTop = top;
    mWidth = width;
    mHeight = height;
    applyGeometry();
}

void PictureBox::setPicture(const QImage &picture)
{
    mPicture = picture;
    mDrawings.clear();
    if (mAutoSize && !picture.isNull()) {
        mWidth = twipsWidth(picture) + 2 * mBorder;
        mHeight = twipsHeight(picture) + 2 * mBorder;
        applyGeometry();
    }
    update();
}

void PictureBox::setAutoSize(bool autoSize)
{
    mAutoSize = autoSize;
    if (mAutoSize && !mPicture.isNull()) {
        mWidth = twipsWidth(mPicture) + 2 * mBorder;
        mHeight = twipsHeight(mPicture) + 2 * mBorder;
        applyGeometry();
    }
}

void PictureBox::setFocusRingInside(bool inside)
{
    mFocusRingInside = inside;
    setProperty(kDrawsOwnFocusRing, inside);
    update();
}

void PictureBox::setAutoRedraw(bool autoRedraw)
{
    if (!autoRedraw)
        mDrawings.clear();
    mAutoRedraw = autoRedraw;
    update();
}

void PictureBox::setBackColor(const QColor &color)
{
    mBackColor = color;
    // Like a repaint of the background: the picture stays, drawings go.
    mDrawings.clear();
    update();
}

void PictureBox::paintPicture(const QImage &picture, float destLeft, float destTop, float destWidth,
    float destHeight, float sourceLeft, float sourceTop, float sourceWidth, float sourceHeight)
{
    if (!mAutoRedraw || picture.isNull())
        return;
    const QRectF destination(destLeft, destTop, destWidth, destHeight);
    const QRectF source(sourceLeft, sourceTop, sourceWidth, sourceHeight);
    const double picturePixelsPerTwip = picture.devicePixelRatio() / kTwipsPerPixel;
    if (pixelRect(source, picturePixelsPerTwip).intersected(picture.rect()).isEmpty()
        || pixelRect(destination, 1.0 / kTwipsPerPixel).isEmpty())
        return;
    // A drawing over the whole box hides every earlier one.
    if (destination.contains(QRectF(0, 0, innerWidth(), innerHeight())))
        mDrawings.clear();
    mDrawings.append({ picture, destination, source });
    update();
}

QImage PictureBox::surface(const QRect &part) const
{
    const qreal ratio = devicePixelRatio();
    const QRect whole(0, 0, static_cast<int>(std::lround(innerWidth() * ratio / kTwipsPerPixel)),
        static_cast<int>(std::lround(innerHeight() * ratio / kTwipsPerPixel)));
    const QRect area = part.isNull()
        ? whole
        : QRectF(QPointF(part.topLeft()) * ratio, QSizeF(part.size()) * ratio)
              .toAlignedRect()
              .intersected(whole);
    QImage image(std::max(0, area.width()), std::max(0, area.height()), QImage::Format_RGB32);
    image.fill(mBackColor);
    if (!image.isNull()) {
        QPainter painter(&image);
        painter.translate(-area.topLeft());
        drawInside(painter, area, ratio);
    }
    image.setDevicePixelRatio(ratio);
    return image;
}

float PictureBox::twipsWidth(const QImage &picture)
{
    return static_cast<float>(
        picture.width() * double(kTwipsPerPixel) / picture.devicePixelRatio());
}

float PictureBox::twipsHeight(const QImage &picture)
{
    return static_cast<float>(
        picture.height() * double(kTwipsPerPixel) / picture.devicePixelRatio());
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), mBackColor);
    const int border = twipsToPixels(mBorder);
    if (border > 0)
        qDrawShadePanel(&painter, rect(), palette(), true, border);
    // Only what the container lets show is drawn.
    QRect visible = event->rect().intersected(rect().adjusted(border, border, -border, -border));
    visible = visible.intersected(shownPart());
    if (visible.isEmpty())
        return;
    const qreal ratio = devicePixelRatio();
    painter.save();
    painter.setClipRect(visible);
    painter.translate(border, border);
    painter.scale(1 / ratio, 1 / ratio);
    visible.translate(-border, -border);
    drawInside(painter,
        QRectF(QPointF(visible.topLeft()) * ratio, QSizeF(visible.size()) * ratio).toAlignedRect(),
        ratio);
    painter.restore();
    if (mFocusRingInside && hasFocus()) {
        // A band of ink between two white lines, a little inside the edge that shows:
        // apart from the ring around the viewport, and clear on the page and its ground.
        QRect ring = shownPart().adjusted(
            kFocusRingInset, kFocusRingInset, -kFocusRingInset, -kFocusRingInset);
        for (const auto &[width, colour] : { std::pair { 1, QColor(Qt::white) },
                 std::pair { kFocusRingWidth, QColor(kFocusRingInk) },
                 std::pair { 1, QColor(Qt::white) } }) {
            const QRect inside = ring.adjusted(width, width, -width, -width);
            painter.setClipRegion(QRegion(ring).subtracted(QRegion(inside)));
            painter.fillRect(ring, colour);
            ring = inside;
        }
    }
}

// A moved box may be scrolled on screen as it was, ring and all.
void PictureBox::moveEvent(QMoveEvent *event)
{
    if (mFocusRingInside && hasFocus())
        update();
    QWidget::moveEvent(event);
}

QRect PictureBox::shownPart() const
{
    if (!parentWidget() || isWindow())
        return rect();
    return rect().intersected(parentWidget()->rect().translated(-pos()));
}

void PictureBox::mousePressEvent(QMouseEvent *event)
{
    const QPointF at = twipsAt(event->position());
    emit mouseDown(buttonMask(event->button()), shiftMask(event->modifiers()),
        static_cast<float>(at.x()), static_cast<float>(at.y()));
}

void PictureBox::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF at = twipsAt(event->position());
    emit mouseMove(buttonMask(event->buttons()), shiftMask(event->modifiers()),
        static_cast<float>(at.x()), static_cast<float>(at.y()));
}

void PictureBox::mouseReleaseEvent(QMouseEvent *event)
{
    const QPointF at = twipsAt(event->position());
    emit mouseUp(buttonMask(event->button()), shiftMask(event->modifiers()),
        static_cast<float>(at.x()), static_cast<float>(at.y()));
}

void PictureBox::applyGeometry()
{
    setGeometry(
        twipsToPixels(mLeft), twipsToPixels(mTop), twipsToPixels(mWidth), twipsToPixels(mHeight));
}

// Paints, in device pixels from the inner corner, the part of the picture and of the
// drawings over it that lies inside `visible`.
void PictureBox::drawInside(QPainter &painter, const QRect &visible, qreal pixelRatio) const
{
    const double pixelsPerTwip = pixelRatio / kTwipsPerPixel;
    if (!mPicture.isNull())
        drawScaledPart(painter, mPicture, mPicture.rect(),
            pixelRect(0, 0, twipsWidth(mPicture), twipsHeight(mPicture), pixelsPerTwip), visible);
    for (const Drawing &drawing : mDrawings) {
        const double picturePixelsPerTwip = drawing.picture.devicePixelRatio() / kTwipsPerPixel;
        drawScaledPart(painter, drawing.picture,
            pixelRect(drawing.source, picturePixelsPerTwip).intersected(drawing.picture.rect()),
            pixelRect(drawing.destination, pixelsPerTwip), visible);
    }
}

// Where the pointer is, in twips from the inner corner of the box as it is placed in
// twips: its pixel position is only the rounded placement.
QPointF PictureBox::twipsAt(const QPointF &position) const
{
    return { (pos().x() + position.x()) * kTwipsPerPixel - (mLeft + mBorder),
        (pos().y() + position.y()) * kTwipsPerPixel - (mTop + mBorder) };
}

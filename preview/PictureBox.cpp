#include "PictureBox.h"

#include "ButtonFace.h"
#include "Twips.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <qdrawutil.h>

#include <cmath>

namespace {
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

// Draws in device pixels, whatever density the target carries.
void drawAtPixel(QImage &target, const QPoint &at, QImage piece)
{
    const qreal ratio = target.devicePixelRatio();
    target.setDevicePixelRatio(1);
    piece.setDevicePixelRatio(1);
    {
        QPainter painter(&target);
        painter.drawImage(at, piece);
    }
    target.setDevicePixelRatio(ratio);
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
    resizeSurface();
    applyGeometry();
}

void PictureBox::setBoxHeight(float height)
{
    mHeight = height;
    resizeSurface();
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
    resizeSurface();
    applyGeometry();
}

void PictureBox::setPicture(const QImage &picture)
{
    mPicture = picture;
    mSurface = QImage();
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
        resizeSurface();
        applyGeometry();
    }
}

void PictureBox::setAutoRedraw(bool autoRedraw)
{
    if (!autoRedraw)
        mSurface = QImage();
    mAutoRedraw = autoRedraw;
    update();
}

void PictureBox::setBackColor(const QColor &color)
{
    mBackColor = color;
    // Like a repaint of the background: the picture stays, drawings go.
    mSurface = QImage();
    update();
}

void PictureBox::paintPicture(const QImage &picture, float destLeft, float destTop, float destWidth,
    float destHeight, float sourceLeft, float sourceTop, float sourceWidth, float sourceHeight)
{
    if (!mAutoRedraw || picture.isNull())
        return;
    ensureSurface();

    const double picturePixelsPerTwip = picture.devicePixelRatio() / kTwipsPerPixel;
    const QRect source
        = pixelRect(sourceLeft, sourceTop, sourceWidth, sourceHeight, picturePixelsPerTwip)
              .intersected(picture.rect());
    const double surfacePixelsPerTwip = mSurface.devicePixelRatio() / kTwipsPerPixel;
    const QRect destination
        = pixelRect(destLeft, destTop, destWidth, destHeight, surfacePixelsPerTwip);
    if (source.isEmpty() || destination.isEmpty())
        return;

    QImage piece = source == picture.rect() ? picture : picture.copy(source);
    if (piece.size() != destination.size())
        piece = piece.scaled(destination.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    drawAtPixel(mSurface, destination.topLeft(), piece);
    update();
}

QImage PictureBox::surface() const
{
    if (!mSurface.isNull())
        return mSurface;
    return freshSurface();
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
    painter.setClipRect(rect().adjusted(border, border, -border, -border));
    if (!mSurface.isNull()) {
        painter.drawImage(QPoint(border, border), mSurface);
    } else if (!mPicture.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(border, border, twipsWidth(mPicture) / kTwipsPerPixel,
                              twipsHeight(mPicture) / kTwipsPerPixel),
            mPicture);
    }
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

QSize PictureBox::surfacePixels() const
{
    const double pixelsPerTwip = devicePixelRatio() / double(kTwipsPerPixel);
    return { std::max(0, static_cast<int>(std::lround(innerWidth() * pixelsPerTwip))),
        std::max(0, static_cast<int>(std::lround(innerHeight() * pixelsPerTwip))) };
}

QImage PictureBox::freshSurface() const
{
    QImage fresh(surfacePixels(), QImage::Format_RGB32);
    fresh.setDevicePixelRatio(devicePixelRatio());
    fresh.fill(mBackColor);
    if (!mPicture.isNull() && !fresh.isNull()) {
        QPainter painter(&fresh);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(0, 0, twipsWidth(mPicture) / kTwipsPerPixel,
                              twipsHeight(mPicture) / kTwipsPerPixel),
            mPicture);
    }
    return fresh;
}

void PictureBox::ensureSurface()
{
    if (mSurface.isNull())
        mSurface = freshSurface();
}

// A new size keeps what is drawn where it still fits.
void PictureBox::resizeSurface()
{
    if (mSurface.isNull() || mSurface.size() == surfacePixels())
        return;
    QImage resized(surfacePixels(), QImage::Format_RGB32);
    resized.setDevicePixelRatio(mSurface.devicePixelRatio());
    resized.fill(mBackColor);
    if (!resized.isNull())
        drawAtPixel(resized, QPoint(0, 0), mSurface);
    mSurface = resized;
}

// Where the pointer is, in twips from the inner corner of the box as it is placed in
// twips: its pixel position is only the rounded placement.
QPointF PictureBox::twipsAt(const QPointF &position) const
{
    return { (pos().x() + position.x()) * kTwipsPerPixel - (mLeft + mBorder),
        (pos().y() + position.y()) * kTwipsPerPixel - (mTop + mBorder) };
}

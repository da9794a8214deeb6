#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QWidget>

#include <cstdint>

class QPainter;

// A picture box laid out in twips. Its place and size are single-precision twips
// relative to its container; width and height are the outer size, inner width and
// inner height the drawable area inside the border.
//
// With AutoSize the box takes the size of each picture it is given. With AutoRedraw
// what paintPicture draws stays until the picture is replaced: the box keeps what to
// draw, not the drawn pixels, and each repaint scales from the picture only the part
// that shows, so a box far larger than the screen costs no more than the screen.
class PictureBox : public QWidget
{
    Q_OBJECT

public:
    PictureBox(const QString &name, float borderTwips, QWidget *parent);

    float left() const { return mLeft; }
    float top() const { return mTop; }
    float boxWidth() const { return mWidth; }
    float boxHeight() const { return mHeight; }
    float innerWidth() const { return mWidth - 2 * mBorder; }
    float innerHeight() const { return mHeight - 2 * mBorder; }

    void setLeft(float left);
    void setTop(float top);
    void setBoxWidth(float width);
    void setBoxHeight(float height);
    void moveTo(float left, float top);
    void place(float left, float top, float width, float height);

    // A null image is no picture.
    const QImage &picture() const { return mPicture; }
    void setPicture(const QImage &picture);

    // The box shows it has the focus by a ring inside the part of it its container
    // shows, for a page that may be far larger than its viewport.
    void setFocusRingInside(bool inside);

    void setAutoSize(bool autoSize);
    void setAutoRedraw(bool autoRedraw);
    void setBackColor(const QColor &color);

    // Stretches or shrinks the source rectangle of the picture (twips of the picture)
    // onto the destination rectangle of the drawing surface (twips inside the border),
    // scaling from the picture's own pixels.
    void paintPicture(const QImage &picture, float destLeft, float destTop, float destWidth,
        float destHeight, float sourceLeft, float sourceTop, float sourceWidth, float sourceHeight);

    // What the box shows inside its border, at the screen's pixel density: the part
    // given in pixels of the box, by default all of it.
    QImage surface(const QRect &part = {}) const;

    // A picture's size in twips: its logical pixels at 96 dots per inch.
    static float twipsWidth(const QImage &picture);
    static float twipsHeight(const QImage &picture);

signals:
    // Button and shift masks as 1 left, 2 right, 4 middle and 1 Shift, 2 Ctrl, 4 Alt;
    // x and y in twips from the inner top-left corner.
    void mouseDown(std::int16_t button, std::int16_t shift, float x, float y);
    void mouseMove(std::int16_t button, std::int16_t shift, float x, float y);
    void mouseUp(std::int16_t button, std::int16_t shift, float x, float y);

protected:
    void paintEvent(QPaintEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    // One paintPicture: rectangles in twips, the source's of the picture, the
    // destination's inside the border.
    struct Drawing
    {
        QImage picture;
        QRectF destination;
        QRectF source;
    };

    void applyGeometry();
    void drawInside(QPainter &painter, const QRect &visible, qreal pixelRatio) const;
    QPointF twipsAt(const QPointF &position) const;
    // The part of the box its container shows, in the box's pixels.
    QRect shownPart() const;

    float mLeft = 0;
    float mTop = 0;
    float mWidth = 0;
    float mHeight = 0;
    const float mBorder;
    QImage mPicture;
    bool mAutoSize = false;
    bool mAutoRedraw = false;
    bool mFocusRingInside = false;
    QColor mBackColor;
    // Empty until something is drawn: until then the box shows its background and picture.
    QList<Drawing> mDrawings;
};

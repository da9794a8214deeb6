#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

#include <cstdint>

// A picture box laid out in twips. Its place and size are single-precision twips
// relative to its container; width and height are the outer size, inner width and
// inner height the drawable area inside the border.
//
// With AutoSize the box takes the size of each picture it is given. With AutoRedraw
// it keeps a drawing surface at the screen's pixel density: paintPicture draws onto
// it and what is drawn stays until the picture is replaced. Without AutoRedraw a
// drawing would not outlive the next repaint, so nothing is kept.
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

    void setAutoSize(bool autoSize);
    void setAutoRedraw(bool autoRedraw);
    void setBackColor(const QColor &color);

    // Stretches or shrinks the source rectangle of the picture (twips of the picture)
    // onto the destination rectangle of the drawing surface (twips inside the border),
    // scaling from the picture's own pixels.
    void paintPicture(const QImage &picture, float destLeft, float destTop, float destWidth,
        float destHeight, float sourceLeft, float sourceTop, float sourceWidth, float sourceHeight);

    // What the box shows inside its border, at the screen's pixel density.
    QImage surface() const;

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
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void applyGeometry();
    QSize surfacePixels() const;
    QImage freshSurface() const;
    void ensureSurface();
    void resizeSurface();
    QPointF twipsAt(const QPointF &position) const;

    float mLeft = 0;
    float mTop = 0;
    float mWidth = 0;
    float mHeight = 0;
    const float mBorder;
    QImage mPicture;
    bool mAutoSize = false;
    bool mAutoRedraw = false;
    QColor mBackColor;
    // Null until something is drawn: until then the box shows its background and picture.
    QImage mSurface;
};

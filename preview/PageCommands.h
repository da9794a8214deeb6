#pragma once

#include "PageView.h"

#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointF>
#include <QRect>

#include <functional>

class PictureBox;
class QContextMenuEvent;
class QGraphicsOpacityEffect;
class QKeyEvent;
class QLabel;
class QPropertyAnimation;
class QPushButton;
class QScrollBar;
class QTimer;
class QWheelEvent;
class QWidget;
class SettingsStore;
class UserInterface;
class WindowPointer;
class WordProcessor;

// What a page viewer offers beside the preview's buttons: keys, the wheel, the page's
// menu, printing, a PDF copy, copying the page, and where the view is in a corner.
class PageCommands : public QObject
{
    Q_OBJECT

public:
    // The preview's controls the commands work with.
    struct Controls
    {
        QWidget *window;
        QPushButton *zoomIn;
        QPushButton *zoomOut;
        QPushButton *save;
        PictureBox *viewport;
        PictureBox *page;
        PictureBox *unscaled;
        QScrollBar *across;
        QScrollBar *down;
    };

    // The word processor, when given, exports the memo for printing and for a PDF copy;
    // memoSubject gives the Re the memo was made with, for the suggested names.
    PageCommands(PageView &view, const Controls &controls, UserInterface &ui,
        WindowPointer &pointer, SettingsStore *settings, WordProcessor *word,
        std::function<QString()> memoSubject);

    // Over the page the wheel scrolls it down and up, with Shift across, and with Ctrl
    // zooms one step a notch about the pointer.
    void pageWheel(const QWheelEvent &event, QWidget &over);
    // With the page focused the arrow keys move the view a little, Page Up and Page
    // Down a viewport, Home and End to the top and the end. False for other keys.
    bool pageKey(const QKeyEvent &event);
    // The page's menu where the mouse asked for it; the Menu key opens it in the middle
    // of the viewport, wherever the page lies.
    void contextMenu(const QContextMenuEvent &event);
    void showPageMenu(const QPoint &globalPosition);

    void zoomToOne();
    void fitWidth();
    void wholePage();
    void printMemo();
    void saveAsPdf();
    void copyPage();

    // A note across the top of the viewport, above the page; empty for none.
    void setNote(const QString &note);

    // After the page was loaded or zoomed: the zoom buttons' tips say the zoom.
    void updateZoomTips();
    void showWhereYouAre();

    // The page under the middle of the viewport, from 1; the next one in a gap.
    int currentPage() const;
    int pageCount() const;
    float zoom() const { return mView.zoomState().zoom; }

signals:
    // The page was loaded, zoomed or moved.
    void viewChanged();

private:
    void setZoomStep(float zoom);
    void zoomAbout(const QPointF &at, bool out);
    // Where each page lies in the unscaled picture, found once for each picture.
    const QList<QRect> &pages() const;
    QString whereYouAreText() const;
    bool hasDocument() const;

    PageView &mView;
    const Controls mControls;
    UserInterface &mUi;
    WindowPointer &mPointer;
    SettingsStore *const mSettings;
    WordProcessor *const mWord;
    const std::function<QString()> mMemoSubject;
    QLabel *const mNote;
    QLabel *const mWhereYouAre;
    QGraphicsOpacityEffect *const mWhereYouAreOpacity;
    QPropertyAnimation *const mWhereYouAreFade;
    QTimer *const mWhereYouAreShown;
    mutable QList<QRect> mPages;
    mutable qint64 mPagesOf = 0;
    // Wheel turns with Ctrl not yet a whole notch, as fine wheels and touchpads give.
    int mZoomWheel = 0;
};

#pragma once

#include "MousePointer.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <utility>

class ErrorTrap;
class PictureBox;
class QGroupBox;
class QGraphicsOpacityEffect;
class QKeyEvent;
class QLabel;
class QPropertyAnimation;
class QPushButton;
class QScrollBar;
class QTimer;
class QTreeWidget;
class QWheelEvent;
class SettingsStore;
class UserInterface;
class WordProcessor;

// The preview window: the page list, the page in its viewport with zoom, panning
// and scrollbars, saving a copy of the generated document and going back.
class Form2 : public QWidget
{
    Q_OBJECT

public:
    // Loads the window; mainWindow is shown again by "< Back". The folder of the last
    // save is remembered in the settings, when given.
    // The word processor, when given, exports the memo for printing and for a PDF copy;
    // memoSubject gives the Re the memo was made with, for the PDF's suggested name.
    Form2(UserInterface &ui, QWidget *mainWindow, SettingsStore *settings = nullptr,
        WordProcessor *word = nullptr, std::function<QString()> memoSubject = {});

    // Filled by the generation run before it shows the window; showing it loads the
    // page held by setDisplayPicture at zoom 1, at the top-left corner.
    void clearPages();
    void addPage(const QString &caption);
    void setPagePicture(int index, const QImage &picture);
    void setDisplayPicture(const QImage &picture);

    WindowPointer &pointer() { return mPointer; }

    // The zoom the page is shown at (1 for its own size) and the sizes it works from,
    // in twips, with the twips each scrollbar unit moves the page (0 when disabled).
    struct ZoomState
    {
        float zoom;
        std::int32_t baseWidth;
        std::int32_t baseHeight;
        std::int32_t zoomWidth;
        std::int32_t zoomHeight;
        std::int16_t hStep;
        std::int16_t vStep;
    };
    ZoomState zoomState() const
    {
        return { mZoom, mBaseWidth, mBaseHeight, mZoomWidth, mZoomHeight, mHStep, mVStep };
    }

    // The generated document: the source of every save, deleted on going back or closing.
    QString mWordFile;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Form_Load();
    void Form_Activate();
    void Form_QueryUnload(std::int16_t &cancel, std::int16_t unloadMode);
    void Form_Unload(std::int16_t &cancel);

    void ListView1_Click();
    void ListView1_KeyUp();
    void loadSelectedPage();
    void resetZoomToOne(ErrorTrap &trap);

    void PushButton1_Click();
    void PushButton2_Click();
    void StepZoom(std::int32_t &zoomOut);
    void SetZoom(float &newZoom);
    void RedrawImage();

    void ResetScrollbars();
    void resetScrollAxis(
        QScrollBar &scrollBar, std::int16_t &step, double overhang, double viewport);
    void HScroll1_Change();
    void VScroll1_Change();
    void Picture1_MouseDown(std::int16_t button, std::int16_t shift, float x, float y);
    void Picture1_MouseMove(std::int16_t button, std::int16_t shift, float x, float y);
    void Picture1_MouseUp(std::int16_t button, std::int16_t shift, float x, float y);
    void SetHScrollbarByPercent(QScrollBar &HScrollbar, double &percent);
    void SetVScrollbarByPercent(QScrollBar &VScrollbar, double &percent);
    void pageWheel(const QWheelEvent &event, QWidget &over);
    bool pageKey(const QKeyEvent &event);
    void zoomAbout(const QPointF &at, std::int32_t zoomOut);

    void PushButton6_Click();
    void PushButton8_Click();

    // What a page viewer offers beside the buttons (Form2Commands.cpp): keys, the
    // page's menu, printing, a PDF copy and where the view is.
    void addPageCommands();
    void zoomToOne();
    void fitWidth();
    void wholePage();
    void setZoomStep(float zoom);
    void printMemo();
    void saveAsPdf();
    void copyPage();
    void showPageMenu(const QPoint &globalPosition);
    void showWhereYouAre();
    void updateZoomTips();
    // The rows of the unscaled picture that each page takes, top to bottom.
    const QList<std::pair<int, int>> &pageRows();
    int currentPage();
    QString whereYouAreText();

    void Form_MouseMove();
    void ListView1_MouseMove();
    void Frame1_MouseMove();
    void PushButton1_MouseMove();
    void PushButton2_MouseMove();
    void PushButton6_MouseMove();
    void PushButton8_MouseMove();

    UserInterface &mUi;
    QWidget *const mMainWindow;

    QTreeWidget *const ListView1;
    PictureBox *const Picture2;
    PictureBox *const Picture1;
    QScrollBar *const VScroll1;
    QScrollBar *const HScroll1;
    QGroupBox *const Frame1;
    QPushButton *const PushButton1;
    QPushButton *const PushButton2;
    QPushButton *const PushButton8;
    QPushButton *const PushButton6;
    PictureBox *const Zoom_Ori;
    QList<PictureBox *> Image1;

    // The Save dialog's settings, kept between presses as the dialog control keeps them.
    struct SaveDialog
    {
        QString FileName;
        QString DialogTitle;
        QString Filter;
        QString InitDir;
    } CommonDialog1;
    SettingsStore *const mSettings;

    WindowPointer mPointer;

    WordProcessor *const mWord;
    const std::function<QString()> mMemoSubject;
    QLabel *const mWhereYouAre;
    QGraphicsOpacityEffect *const mWhereYouAreOpacity;
    QPropertyAnimation *const mWhereYouAreFade;
    QTimer *const mWhereYouAreShown;
    QList<std::pair<int, int>> mPageRows;
    qint64 mPageRowsOf = 0;

    float mZoom = 0;
    std::int32_t mBaseWidth = 0;
    std::int32_t mBaseHeight = 0;
    std::int32_t mZoomWidth = 0;
    std::int32_t mZoomHeight = 0;
    std::int16_t mHStep = 0;
    std::int16_t mVStep = 0;
    float mDragX = 0;
    float mDragY = 0;
    // Wheel turns with Ctrl not yet a whole notch, as fine wheels and touchpads give.
    int mZoomWheel = 0;
};

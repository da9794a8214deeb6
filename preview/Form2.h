#pragma once

#include "MousePointer.h"
#include "PageView.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <utility>

class ErrorTrap;
class PageCommands;
class PictureBox;
class QGroupBox;
class QKeyEvent;
class QPushButton;
class QScrollBar;
class QTreeWidget;
class SettingsStore;
class UserInterface;
class WordProcessor;

// The preview window: the page list, the page in its viewport with zoom, panning
// and scrollbars, saving a copy of the generated document and going back.
class Form2 : public QWidget, private PageView
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
    // A note over the page: how many of the memo's pages the picture shows, or that it
    // shows none; empty for none.
    void setPagesNote(const QString &note);

    WindowPointer &pointer() { return mPointer; }

    // The zoom the page is shown at and the sizes it works from.
    ZoomState zoomState() const override
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

    void PushButton6_Click();
    void PushButton8_Click();

    // What the page commands (PageCommands.cpp) ask of the window.
    void stepZoom(bool out) override;
    void showAtZoom(float zoom) override;
    QString wordFile() const override { return mWordFile; }

    void Form_MouseMove() { applyHover(mPointer, MousePointer::Default); }
    void ListView1_MouseMove() { applyHover(mPointer, MousePointer::Default); }
    void Frame1_MouseMove() { applyHover(mPointer, MousePointer::Default); }
    void PushButton1_MouseMove() { applyHover(mPointer, MousePointer::Custom); }
    void PushButton2_MouseMove() { applyHover(mPointer, MousePointer::Custom); }
    void PushButton6_MouseMove() { applyHover(mPointer, MousePointer::Custom); }
    void PushButton8_MouseMove() { applyHover(mPointer, MousePointer::Custom); }

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

    PageCommands *mCommands = nullptr;

    float mZoom = 0;
    std::int32_t mBaseWidth = 0;
    std::int32_t mBaseHeight = 0;
    std::int32_t mZoomWidth = 0;
    std::int32_t mZoomHeight = 0;
    std::int16_t mHStep = 0;
    std::int16_t mVStep = 0;
    float mDragX = 0;
    float mDragY = 0;
};

#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

class UserInterface;

// The preview window. (Being built: only what the generation run relies on so far.)
class Form2 : public QWidget
{
    Q_OBJECT

public:
    Form2(UserInterface &ui, QWidget *mainWindow);

    // ListView1.ListItems.Clear and .Add
    void clearPages();
    void addPage(const QString &caption);
    // Image1(index).Picture and Picture1.Picture
    void setPagePicture(int index, const QImage &picture);
    void setDisplayPicture(const QImage &picture);

    QString mWordFile;

private:
    UserInterface &mUi;
    QWidget *mMainWindow;
};

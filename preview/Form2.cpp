#include "Form2.h"

Form2::Form2(UserInterface &ui, QWidget *mainWindow) : mUi(ui), mMainWindow(mainWindow) { }

void Form2::clearPages() { }
void Form2::addPage(const QString &) { }
void Form2::setPagePicture(int, const QImage &) { }
void Form2::setDisplayPicture(const QImage &) { }

#include "PagePicture.h"

#include "FileUtils.h"
#include "WordSession.h"

#include <QClipboard>
#include <QGuiApplication>

QImage copyPagePicture(WordSession &word)
{
    QGuiApplication::clipboard()->clear();
    word.copyAsPicture();
    return GetClipboardPicture(0);
}

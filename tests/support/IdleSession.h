#pragma once

#include "WordSession.h"

#include <QImage>
#include <QString>

// A word processor session that does nothing and never fails; a test derives from it
// to change the one operation it is about.
class IdleSession : public WordSession
{
public:
    void open(const QString &, bool) override { }
    void setBookmarkText(const QString &, const QString &) override { }
    void saveAs(const QString &) override { }
    void setDisplayAlerts(bool) override { }
    void close() override { }
    QImage copyAsPicture() override { return {}; }
    void closeActiveDocumentWithoutSaving() override { }
    void quit() override { }
};

#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include <utility>

// One memo's details and style, as the entry window holds them.
struct MemoDetails
{
    QString orgName;
    QString to;
    QString cc;
    QString from;
    QString re;
    QString msg;
    QDate date;
    int style = 1;
};

// The example memo of "Load Sample/Example Data": its texts and the Professional
// style; the date stays as it was.
MemoDetails withSampleData(MemoDetails memo);

// The bookmark writes that make the memo, in the order the generation run makes them.
QList<std::pair<QString, QString>> bookmarkWrites(const MemoDetails &memo);

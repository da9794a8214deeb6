#pragma once

#include <QHash>
#include <QString>

// What a saved memo's document properties say about it.
struct MemoProperties
{
    QString title; // also the subject
    QString author;
    QString company; // empty unless a company name was given
};

// The properties of a memo, from the texts written into its bookmarks by name: the
// title from bkRe, the author from bkFrom, the company from bkOrgName. A property
// is one line: the lines of a text are joined.
MemoProperties memoProperties(const QHash<QString, QString> &bookmarkTexts);

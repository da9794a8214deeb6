#pragma once

#include "MemoDetails.h"
#include "WordSession.h"

#include <QByteArray>
#include <QDateTime>

// Memos as DOCX or ODT without the office. The program carries each template in those
// forms too, made by the office from the same source when the program is built; a memo
// is its form with every bookmark filled in the XML as the office fills the Word
// template (the same bookmark writes and texts), and the memo's properties set as the
// office sets them. Safe to call from several threads at once; throws Failure.
namespace PackageMemo {

// DOCX and ODT.
bool isPackageFormat(DocumentFormat format);

QByteArray make(const MemoDetails &memo, DocumentFormat format,
    const QDateTime &now = QDateTime::currentDateTime());

} // namespace PackageMemo

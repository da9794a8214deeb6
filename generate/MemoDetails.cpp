#include "MemoDetails.h"

#include "DateWording.h"
#include "MemoStyle.h"

MemoDetails withSampleData(MemoDetails memo)
{
    memo.style = 0;
    memo.orgName = QString::fromLatin1(kSampleOrgName);
    memo.to = QString::fromLatin1(kSampleTo);
    memo.cc = QString::fromLatin1(kSampleCC);
    memo.from = QString::fromLatin1(kSampleFrom);
    memo.re = QString::fromLatin1(kSampleRe);
    memo.msg = QString::fromLatin1(kSampleMsg);
    return memo;
}

QList<std::pair<QString, QString>> bookmarkWrites(const MemoDetails &memo)
{
    const MemoStyle &style = kMemoStyles.at(static_cast<size_t>(memo.style));
    QList<std::pair<QString, QString>> writes = {
        { QStringLiteral("bkTo"), memo.to },
        { QStringLiteral("bkFrom"), memo.from },
        { QStringLiteral("bkRe"), memo.re },
        { QStringLiteral("bkDate"), dateText(memo.date) + QLatin1Char(' ') },
        { QStringLiteral("bkMsg"), memo.msg },
    };
    if (style.fillsCC)
        writes.append({ QStringLiteral("bkCC"), memo.cc });
    if (style.fillsOrgName)
        writes.append({ QStringLiteral("bkOrgName"), organisationText(memo.orgName) });
    return writes;
}

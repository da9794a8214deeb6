#include "MemoDetails.h"

#include "DateWording.h"
#include "Failure.h"
#include "MemoStyle.h"

#include <QRegularExpression>

#include <algorithm>

QString organisationText(const QString &orgName)
{
    // Only spaces count as blank; the name itself is used untrimmed.
    const bool blank = std::all_of(
        orgName.cbegin(), orgName.cend(), [](QChar c) { return c == QLatin1Char(' '); });
    if (blank)
        return QStringLiteral(" Your Organisation's Name");
    return QLatin1Char(' ') + orgName;
}

const QList<const MemoField *> &fieldsInWritingOrder()
{
    static const QList<const MemoField *> order = [] {
        QList<const MemoField *> fields { &kMemoDate };
        for (const MemoField &field : kMemoFields)
            fields.append(&field);
        std::sort(fields.begin(), fields.end(),
            [](const MemoField *a, const MemoField *b) { return a->runLine < b->runLine; });
        return fields;
    }();
    return order;
}

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
    QList<std::pair<QString, QString>> writes;
    for (const MemoField *field : fieldsInWritingOrder()) {
        if (!printsField(memo, *field))
            continue;
        QString text;
        if (field->isDate())
            text = dateText(memo.date) + QLatin1Char(' ');
        else
            text = field->bookmarkText ? field->bookmarkText(memo.*field->text) : memo.*field->text;
        writes.append({ QString::fromLatin1(field->bookmark), text });
    }
    return writes;
}

bool isMemoDate(const QDate &date)
{
    return date >= QDate(1601, 1, 1) && date <= QDate(9999, 12, 31);
}

QDate memoDateFrom(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    const QDate date = QDate::fromString(text, Qt::ISODate);
    if (!form.match(text).hasMatch() || !date.isValid())
        fail(QStringLiteral("\"%1\" is not a date of the form YYYY-MM-DD").arg(text));
    if (!isMemoDate(date))
        fail(QStringLiteral("the date %1 lies outside 1601 to 9999").arg(text));
    return date;
}

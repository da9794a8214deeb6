#include "AppTitle.h"

namespace {
QString gApplicationTitle = QString::fromLatin1(kProductName);

QString cutAtLastSpace(const QString &text)
{
    const auto lastSpace = text.lastIndexOf(QLatin1Char(' '));
    return lastSpace < 0 ? text : text.left(lastSpace);
}
} // namespace

QString titleFromProductName(const QString &productName)
{
    QString title = cutAtLastSpace(productName);
    while (title.size() > 40 && title.contains(QLatin1Char(' ')))
        title = cutAtLastSpace(title);
    return title;
}

void SetAppTitle()
{
    gApplicationTitle = titleFromProductName(QString::fromLatin1(kProductName));
}

QString applicationTitle()
{
    return gApplicationTitle;
}

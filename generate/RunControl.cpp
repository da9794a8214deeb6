#include "RunControl.h"

#include "ErrorReport.h"
#include "MemoRun.h"
#include "MemoStyle.h"
#include "WordSession.h"

#include <QCoreApplication>

namespace {
// From this length on the progress says how much is being filled: it takes a while.
constexpr qint64 kLongFillCharacters = 100'000;
} // namespace

RunControl::RunControl(MemoRunHost &host, UserInterface &ui)
    : mHost(host)
    , mUi(ui)
{ }

void RunControl::begin()
{
    mStoppable = true;
    mStopped = false;
}

void RunControl::doing(const QString &words)
{
    // A Cancel clicked while this thread drew pages (and took no events) counts here.
    QCoreApplication::processEvents();
    if (mStopped)
        throw RunStopped {};
    mHost.showProgress(words);
}

ErrorTrap::Reporter RunControl::reporter()
{
    return [this](const QString &location, int line, const QString &description) {
        if (mStopped)
            throw RunStopped {};
        ErrorReport(mUi, location, line, description);
    };
}

bool RunControl::stop()
{
    if (!mStoppable || mStopped)
        return false;
    mStopped = true;
    return true;
}

QString RunWords::filling(int style, qint64 characters)
{
    const QString filling = QStringLiteral("Filling the %1 template")
                                .arg(QString::fromLatin1(kMemoStyles[size_t(style)].caption));
    return characters < kLongFillCharacters
        ? filling + QStringLiteral("...")
        : filling + QStringLiteral(" with %L1 characters...").arg(characters);
}

QString RunWords::drawing(int pages)
{
    if (pages <= 0)
        return QStringLiteral("Drawing the pages...");
    if (pages > kMostPicturePages)
        return QStringLiteral("Drawing the first %1 of %2 pages...")
            .arg(kMostPicturePages)
            .arg(pages);
    return pages == 1 ? QStringLiteral("Drawing the page...")
                      : QStringLiteral("Drawing %1 pages...").arg(pages);
}

QString RunWords::firstPagesNote(int pages)
{
    if (pages <= kMostPicturePages)
        return {};
    return QStringLiteral("The preview shows the first %1 of the memo's %2 pages; the Word file "
                          "holds all %2.")
        .arg(kMostPicturePages)
        .arg(pages);
}

QString RunWords::tooLongNote(int pages)
{
    return QStringLiteral("This memo has %1 pages, too many to preview. Its Word file holds them "
                          "all: \"Save Results To Word File\" keeps it.")
        .arg(pages);
}

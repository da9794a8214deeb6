#include "LibreOfficeProcessor.h"

#include "LibreOfficeSession.h"
#include "Office.h"
#include "SparePool.h"

#include <QStandardPaths>
#include <QThread>

#include <utility>

namespace {
constexpr auto kDefaultProgramFolder = "/usr/lib/libreoffice/program";
constexpr auto kDefaultCallTimeout = std::chrono::seconds(60);
constexpr auto kDefaultConnectTimeout = std::chrono::seconds(30);
} // namespace

LibreOfficeProcessor::Settings LibreOfficeProcessor::defaultSettings()
{
    QString programFolder = qEnvironmentVariable("SCRIVANE_OFFICE_PROGRAM");
    if (programFolder.isEmpty())
        programFolder = QString::fromLatin1(kDefaultProgramFolder);
    // No cache folder known: an empty root, which the start refuses with a reason.
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    const QString profileRoot
        = cache.isEmpty() ? QString() : cache + QStringLiteral("/Tarnwick/Scrivane/office");
    return { programFolder, profileRoot, kDefaultCallTimeout, kDefaultConnectTimeout };
}

LibreOfficeProcessor::LibreOfficeProcessor()
    : LibreOfficeProcessor(defaultSettings())
{ }

LibreOfficeProcessor::LibreOfficeProcessor(Settings settings)
    : mSettings(std::move(settings))
    , mPool(std::make_shared<SparePool>(mSettings))
{ }

LibreOfficeProcessor::~LibreOfficeProcessor()
{
    shutDown();
}

void LibreOfficeProcessor::shutDown()
{
    mPool->close();
}

std::unique_ptr<WordSession> LibreOfficeProcessor::lendSpare(QThread *worker)
{
    std::unique_ptr<Office> office = mPool->lend(worker);
    if (!office)
        return {};
    return std::make_unique<LibreOfficeSession>(mPool, std::move(office), QThread::currentThread());
}

std::unique_ptr<WordSession> LibreOfficeProcessor::createAhead()
{
    return std::make_unique<LibreOfficeSession>(mPool, std::make_unique<Office>(mSettings));
}

std::unique_ptr<WordSession> LibreOfficeProcessor::create()
{
    return std::make_unique<LibreOfficeSession>(mPool, mPool->take());
}

#include "LibreOfficeProcessor.h"

#include "Failure.h"
#include "Office.h"

#include <QStandardPaths>
#include <QThread>

#include <mutex>
#include <utility>

// The processor keeps one spare office and lends offices to sessions; none of it
// speaks UNO (Office does).
namespace {
constexpr auto kDefaultProgramFolder = "/usr/lib/libreoffice/program";
constexpr auto kDefaultCallTimeout = std::chrono::seconds(60);
constexpr auto kDefaultConnectTimeout = std::chrono::seconds(30);
// An idle office answers a trivial call within milliseconds; one that does not hangs.
constexpr auto kSpareAnswerTime = std::chrono::seconds(3);
} // namespace

// The one office kept ready between sessions, so that a session seldom waits for a
// start: the start-up check's office, and each session's office when it is done.
struct SparePool
{
    explicit SparePool(LibreOfficeProcessor::Settings officeSettings)
        : settings(std::move(officeSettings))
    { }

    // The spare if it still answers, else a new office; a spare that died or hangs is
    // ended and replaced without a word.
    std::unique_ptr<Office> take()
    {
        std::unique_ptr<Office> office;
        {
            // A spare watched from another thread stays for that thread's next session.
            std::lock_guard lock(mutex);
            if (spare && spare->isWatchedHere())
                office = std::move(spare);
        }
        if (office) {
            try {
                if (!office->isConnected())
                    office->connect();
                if (office->answers(kSpareAnswerTime))
                    return office;
            } catch (const Failure &) {
                // Replaced below; the new office says why if it cannot start either.
            }
            office.reset();
        }
        office = std::make_unique<Office>(settings);
        office->connect();
        return office;
    }

    // An office that ended its session cleanly waits for the next one; any other
    // ends, and a new one starts in the background in its place.
    // `home`, when given, is the thread that is to watch the spare.
    void giveBack(std::unique_ptr<Office> office, QThread *home = nullptr)
    {
        const bool reusable = !office->isBroken() && !office->hasDocument();
        std::unique_lock lock(mutex);
        if (closed || spare) {
            lock.unlock();
            return;
        }
        if (reusable) {
            if (home != nullptr)
                office->watchFrom(home);
            spare = std::move(office);
            return;
        }
        lock.unlock();
        office.reset();
        try {
            auto started = std::make_unique<Office>(settings);
            if (home != nullptr)
                started->watchFrom(home);
            lock.lock();
            if (!closed && !spare)
                spare = std::move(started);
        } catch (const Failure &) {
            // The next session starts its own, and says why if it cannot.
        }
    }

    // The spare, handed to `worker` to watch; null when there is none here.
    std::unique_ptr<Office> lend(QThread *worker)
    {
        std::lock_guard lock(mutex);
        if (!spare || !spare->isWatchedHere())
            return {};
        spare->watchFrom(worker);
        return std::move(spare);
    }

    void close()
    {
        std::unique_ptr<Office> ending;
        {
            std::lock_guard lock(mutex);
            closed = true;
            ending = std::move(spare);
        }
    }

    const LibreOfficeProcessor::Settings settings;
    std::mutex mutex;
    std::unique_ptr<Office> spare;
    bool closed = false;
};

namespace {
// A session borrows one office from the pool and gives it back at quit.
class LibreOfficeSession : public OfficeSession
{
public:
    LibreOfficeSession(
        std::shared_ptr<SparePool> pool, std::unique_ptr<Office> office, QThread *home = nullptr)
        : mPool(std::move(pool))
        , mOffice(std::move(office))
        , mHome(home)
        , mProcessId(mOffice->processId())
        , mProfileFolder(mOffice->profileFolder())
    { }

    // Without quit the office may hold anything: it ends.
    ~LibreOfficeSession() override = default;

    void open(const QString &path, bool readOnly) override { office().open(path, readOnly); }
    void setBookmarkText(const QString &bookmark, const QString &text) override
    {
        office(QStringLiteral("fill the bookmark \"%1\"").arg(bookmark))
            .setBookmarkText(bookmark, text);
    }
    void saveAs(const QString &path) override { exportAs(path, DocumentFormat::Doc); }
    void exportAs(const QString &path, DocumentFormat format) override
    {
        office(QStringLiteral("save the document as \"%1\"").arg(path)).exportAs(path, format);
    }
    void setDisplayAlerts(bool /*displayAlerts*/) override
    {
        // The office runs headless and never asks anything: there is nothing to turn off.
    }
    void close() override { office(QStringLiteral("close the document")).close(); }
    QImage copyAsPicture() override
    {
        return office(QStringLiteral("copy the document as a picture")).copyAsPicture();
    }
    void closeActiveDocumentWithoutSaving() override
    {
        office(QStringLiteral("close the document without saving"))
            .closeActiveDocumentWithoutSaving();
    }

    void quit() override
    {
        if (!mOffice)
            return;
        std::unique_ptr<Office> office = std::move(mOffice);
        const QString broken = office->brokenReason();
        mPool->giveBack(std::move(office), mHome);
        if (!broken.isEmpty())
            fail(QStringLiteral("Could not quit the word processor: %1.").arg(broken));
    }

    void retire() override { mOffice.reset(); }

    bool isRunning() const override { return mOffice && !mOffice->isBroken(); }

    qint64 processId() const override { return mProcessId; }
    QString profileFolder() const override { return mProfileFolder; }

private:
    Office &office(const QString &what = {})
    {
        if (!mOffice)
            fail(QStringLiteral("Could not %1: the word processor has already been quit.")
                     .arg(what.isEmpty() ? QStringLiteral("do that") : what));
        // A lent spare may not have been waited for yet.
        if (!mOffice->isConnected())
            mOffice->connect();
        return *mOffice;
    }

    std::shared_ptr<SparePool> mPool;
    std::unique_ptr<Office> mOffice;
    // The thread a lent office goes back to.
    QThread *mHome;
    qint64 mProcessId;
    QString mProfileFolder;
};
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

std::unique_ptr<WordSession> LibreOfficeProcessor::create()
{
    return std::make_unique<LibreOfficeSession>(mPool, mPool->take());
}

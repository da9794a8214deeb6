// The office's connection over UNO: starting the bridge, calls with their deadlines,
// ending the office. Documents are Office.cpp.
#include "Office.h"

#include "OfficeUno.h"

#include "Failure.h"
#include "Leftovers.h"
#include "OfficeProcess.h"
#include "Processes.h"
#include "WorkThread.h"

#include <QScopeGuard>

#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <rtl/bootstrap.hxx>

#include <algorithm>
#include <mutex>
#include <utility>

namespace {
// After terminate() the office normally is gone within a few hundredths of a second.
constexpr auto kTerminateWait = std::chrono::seconds(5);
// From this length on, a memo the office cannot finish in time is called too long.
constexpr qsizetype kLongMemoCharacters = 1'000'000;
// How often an office working on a call is looked at for having frozen.
constexpr auto kFrozenCheckInterval = std::chrono::milliseconds(250);

// Our own end of UNO reads the installed office's type libraries.
Reference<css::uno::XComponentContext> localContext()
{
    static std::mutex bootstrapping;
    std::lock_guard lock(bootstrapping);
    rtl::Bootstrap::set(OUString("URE_BOOTSTRAP"),
        OUString("vnd.sun.star.pathname:" SCRIVANE_UNO_PROGRAM_DIR "/fundamentalrc"));
    return cppu::defaultBootstrap_InitialComponentContext();
}

OfficeProcess::Options processOptions(const LibreOfficeProcessor::Settings &settings)
{
    return { settings.programFolder, settings.profileRoot, settings.connectTimeout };
}
} // namespace

Office::Office(const LibreOfficeProcessor::Settings &settings)
    : mSettings(settings)
    , mUno(std::make_shared<UnoObjects>())
    , mProcess(std::make_unique<OfficeProcess>(processOptions(settings)))
{ }

void Office::connect()
{
    try {
        mProcess->connect([this](const QString &pipeName, std::chrono::milliseconds timeLeft) {
            return tryConnect(pipeName, timeLeft);
        });
        mConnected = true;
    } catch (const Failure &failure) {
        mBroken = failure.description();
        throw;
    }
}

bool Office::answers(std::chrono::milliseconds time)
{
    if (!mBroken.isEmpty() || mProcess->waitForEnd(std::chrono::milliseconds::zero()))
        return false;
    std::shared_ptr<UnoObjects> uno = mUno;
    bool answered = false;
    try {
        answered = mCalls.run([uno] { translated([&] { uno->desktop->getFrames()->getCount(); }); },
            WorkThread::Clock::now() + time);
    } catch (const OfficeError &) { }
    if (!answered) {
        killOffice();
        mBroken = QStringLiteral("the word processor did not answer and was ended");
    }
    return answered;
}

Office::~Office()
{
    if (mConnected && mBroken.isEmpty() && !mCalling) {
        std::shared_ptr<UnoObjects> uno = mUno;
        try {
            mCalls.run(
                [uno] {
                    // The office may go before it answers.
                    try {
                        uno->document.clear();
                        uno->closeKeptDocuments();
                        uno->desktop->terminate();
                    } catch (const css::uno::Exception &) { }
                },
                WorkThread::Clock::now()
                    + std::min<std::chrono::milliseconds>(mSettings.callTimeout, kTerminateWait));
        } catch (...) { }
    }
    const bool asked = mConnected && mBroken.isEmpty() && !mCalling;
    if (!mProcess->waitForEnd(asked ? kTerminateWait : std::chrono::milliseconds::zero()))
        killOffice();
    else
        removeLockFiles();
    mCalls.post([uno = std::move(mUno)] { uno->release(); });
}

bool Office::tryConnect(const QString &pipeName, std::chrono::milliseconds timeLeft)
{
    // A starting office works without a pause until it answers: one that stops (or is
    // stopped) is not waited for until the connect timeout.
    bool frozen = false;
    std::function<bool()> hasFrozen;
    if (mSettings.frozenAfter.count() > 0) {
        if (!mStartWatch || mStartWatch->first != mProcess->processId())
            mStartWatch.emplace(
                mProcess->processId(), StallWatch(mProcess->processId(), mSettings.frozenAfter));
        hasFrozen = [&] { return frozen = mStartWatch->second.stalled(); };
    }
    const auto stoppedWorking = [&] {
        fail(QStringLiteral("The word processor could not be started: it stopped working (it "
                            "used no processor time for %1) and was ended.")
                 .arg(secondsText(mSettings.frozenAfter)));
    };
    if (hasFrozen && hasFrozen())
        stoppedWorking();
    const OUString url = toOUString(
        QStringLiteral("uno:pipe,name=%1;urp;StarOffice.ComponentContext").arg(pipeName));
    std::shared_ptr<UnoObjects> uno = mUno;
    const auto deadline = WorkThread::Clock::now() + timeLeft;
    const bool answered = mCalls.run(
        [uno, url] {
            try {
                if (!uno->local.is())
                    uno->local = localContext();
                const Reference<css::bridge::XUnoUrlResolver> resolver
                    = css::bridge::UnoUrlResolver::create(uno->local);
                const Reference<css::uno::XComponentContext> remote(
                    resolver->resolve(url), UNO_QUERY_THROW);
                secureOffice(remote);
                uno->desktop = css::frame::Desktop::create(remote);
                uno->remote = remote;
            } catch (const css::uno::Exception &) {
                // Not listening yet, or not ready for a bridge: the next try tells.
            }
        },
        deadline, hasFrozen, kFrozenCheckInterval);
    if (frozen)
        stoppedWorking();
    return answered && uno->desktop.is();
}

void Office::call(const QString &what, std::function<void(UnoObjects &)> operation)
{
    auto failed
        = [&](const QString &why) { fail(QStringLiteral("Could not %1: %2.").arg(what, why)); };
    if (!mBroken.isEmpty())
        mTooLong ? fail(mBroken) : failed(mBroken);

    std::shared_ptr<UnoObjects> uno = mUno;
    bool answered = false;
    StallWatch office(mProcess->processId(), mSettings.frozenAfter);
    bool frozen = false;
    std::function<bool()> hasFrozen;
    if (mSettings.frozenAfter.count() > 0)
        hasFrozen = [&] { return frozen = office.stalled(); };
    try {
        mCalling = true;
        const auto done = qScopeGuard([this] { mCalling = false; });
        answered = mCalls.run(
            [uno, operation = std::move(operation)] { translated([&] { operation(*uno); }); },
            WorkThread::Clock::now() + mSettings.callTimeout, hasFrozen, kFrozenCheckInterval);
    } catch (const OfficeError &error) {
        if (error.refused)
            throw TemplateRefused(error.message);
        if (error.gone || mProcess->waitForEnd(std::chrono::milliseconds::zero())) {
            killOffice();
            mBroken = QStringLiteral("the word processor ended unexpectedly");
            failed(mBroken);
        }
        failed(error.message.isEmpty() ? QStringLiteral("the word processor gave no reason")
                                       : error.message);
    }
    if (!answered) {
        killOffice();
        if (frozen) {
            mBroken = QStringLiteral("the word processor stopped working (it used no processor "
                                     "time for %1) and was ended")
                          .arg(secondsText(mSettings.frozenAfter));
            failed(mBroken);
        }
        // A memo of millions of characters is what keeps a healthy office that long.
        qsizetype characters = mFillingCharacters;
        for (const QString &text : std::as_const(mBookmarkTexts))
            characters += text.size();
        if (characters >= kLongMemoCharacters) {
            mBroken = QStringLiteral("The memo is too long for the word processor: its %L1 "
                                     "characters could not be written within %2, and the word "
                                     "processor was ended. Shorten the message or split the memo.")
                          .arg(characters)
                          .arg(secondsText(mSettings.callTimeout));
            mTooLong = true;
            fail(mBroken);
        }
        mBroken = QStringLiteral("the word processor did not answer within %1 and was ended")
                      .arg(secondsText(mSettings.callTimeout));
        failed(mBroken);
    }
}

void Office::kill()
{
    killOffice();
    mBroken = QStringLiteral("the word processor was stopped");
}

void Office::killOffice()
{
    mProcess->kill();
    removeLockFiles();
}

// An office asked to end with a document still open ends without removing the
// document's lock file, as a killed one does.
void Office::removeLockFiles()
{
    for (const QString &document : std::as_const(mDocuments))
        removeLockFileOf(document, mProcess->profileFolder());
}

#if defined(__SANITIZE_ADDRESS__)
// The UNO runtime keeps type information it builds on first use until the process
// ends (a fixed 7.5 KB here, however many documents); that is not ours to free.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libuno_cppu.so\nleak:libuno_sal.so\n";
}
#endif

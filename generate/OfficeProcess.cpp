#include "OfficeProcess.h"

#include "Failure.h"
#include "FileUtils.h"
#include "Leftovers.h"
#include "ProgramEnd.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <climits>
#include <csignal>
#include <mutex>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utility>

namespace {
constexpr int kProfileSlots = 16;
// The office asks for this when it has just made a new profile.
constexpr int kRestartWanted = 81;
constexpr int kRestartsAllowed = 2;
constexpr auto kPollInterval = std::chrono::milliseconds(25);
constexpr auto kKillWait = std::chrono::seconds(10);

QString cannotStart(const QString &why)
{
    return QStringLiteral("The word processor could not be started: %1.").arg(why);
}

// The office's own temporary files go beside its profile, not into the user's folder:
// an office that is killed cannot remove them, and the next start here does. What
// could not be removed in it stays; what matters is that the folder is ours.
QString freshTemporaryFolder(const QString &temporary)
{
    removeOwn(temporary);
    QDir().mkdir(temporary);
    struct stat status
    {
    };
    if (::lstat(QFile::encodeName(temporary).constData(), &status) != 0 || !S_ISDIR(status.st_mode)
        || status.st_uid != ::getuid())
        fail(cannotStart(QStringLiteral("its folder for temporary files \"%1\" is not a folder "
                                        "of this user's; remove it and try again")
                             .arg(temporary)));
    return temporary;
}

int toMilliseconds(std::chrono::milliseconds time)
{
    return int(std::min<std::chrono::milliseconds::rep>(time.count(), INT_MAX));
}

QString lastLines(const QString &path, int count)
{
    const auto bytes = readPlainFile(path, 1024 * 1024);
    if (!bytes)
        return {};
    const QList<QByteArray> lines = bytes->split('\n');
    QStringList kept;
    for (auto line = lines.crbegin(); line != lines.crend() && kept.size() < count; ++line) {
        const QString text = QString::fromLocal8Bit(*line).trimmed();
        if (!text.isEmpty())
            kept.prepend(text);
    }
    return kept.join(QLatin1Char(' '));
}

// The office's bridge writes to its pipe with plain send(): an office that dies
// between our check and the write would take the whole program down with
// SIGPIPE. A failed write is reported as an error instead.
void ignoreBrokenPipes()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Also over a handler that calls the signal fatal, as the test library's does.
        ::signal(SIGPIPE, SIG_IGN);
    });
}
} // namespace

QString secondsText(std::chrono::milliseconds time)
{
    if (time == std::chrono::seconds(1))
        return QStringLiteral("1 second");
    return QStringLiteral("%1 seconds").arg(double(time.count()) / 1000.0, 0, 'g', 6);
}

OfficeProcess::OfficeProcess(const Options &options, const Connect &connect)
    : OfficeProcess(options)
{
    this->connect(connect);
}

OfficeProcess::OfficeProcess(const Options &options)
    : mOptions(options)
{
    const QFileInfo folder(mOptions.programFolder);
    if (mOptions.programFolder.isEmpty() || !folder.isDir())
        fail(cannotStart(QStringLiteral("the LibreOffice program folder \"%1\" does not exist")
                             .arg(mOptions.programFolder)));
    const QFileInfo program(folder.absoluteFilePath() + QStringLiteral("/soffice.bin"));
    if (!program.isFile() || !program.isExecutable())
        fail(cannotStart(QStringLiteral("LibreOffice's program \"%1\" was not found")
                             .arg(program.absoluteFilePath())));

    ignoreBrokenPipes();
    lockProfile();
    const QFileInfo profile(mProfileFolder);
    mProfileSetAside = !profile.exists() && !profile.isSymLink();
    launch();
}

void OfficeProcess::connect(const Connect &connect)
{
    try {
        int restarts = 0;
        for (;;) {
            const Start start = waitUntilConnected(connect);
            if (start == Start::Connected)
                return;
            if (start == Start::Restart && ++restarts <= kRestartsAllowed) {
                launch();
                continue;
            }
            // An office that will not start in this profile gets a fresh one, once.
            const QString why = endDescription();
            if (mProfileSetAside)
                fail(cannotStart(why));
            setProfileAside();
            mProfileSetAside = true;
            restarts = 0;
            launch();
        }
    } catch (...) {
        stopProcess();
        throw;
    }
}

OfficeProcess::~OfficeProcess()
{
    stopProcess();
}

void OfficeProcess::lockProfile()
{
    if (mOptions.profileRoot.isEmpty())
        fail(cannotStart(
            QStringLiteral("no folder for its profiles is known (the user's cache folder)")));
    const QString root = QDir::cleanPath(mOptions.profileRoot);
    if (!QDir().mkpath(root))
        fail(cannotStart(QStringLiteral("the folder for its profiles \"%1\" could not be created")
                             .arg(mOptions.profileRoot)));
    // One office per profile: a second one would hand its work to the first.
    for (int slot = 0; slot < kProfileSlots; ++slot) {
        const QString folder = QStringLiteral("%1/profile-%2").arg(root).arg(slot);
        // A lock held by an office's owner goes with it however it ends, so a free
        // lock proves that no office uses the profile, whatever process ids say.
        const QString lockName = folder + QStringLiteral(".lock");
        std::unique_ptr<FileLock> lock;
        try {
            lock = std::make_unique<FileLock>(lockName, std::chrono::milliseconds::zero());
        } catch (const Failure &failure) {
            if (FileLock::stateOf(lockName) != FileLock::State::Held)
                fail(cannotStart(failure.description()));
            continue;
        }
        mProfileFolder = folder;
        mProfileLock = std::move(lock);
        // No office uses the profile now: what an office killed in it left goes.
        clearOfficeLeftovers(mProfileFolder);
        return;
    }
    fail(cannotStart(QStringLiteral("all %1 of its profiles in \"%2\" are in use")
                         .arg(kProfileSlots)
                         .arg(root)));
}

void OfficeProcess::setProfileAside()
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = QStringLiteral("%1.damaged-%2").arg(mProfileFolder, stamp);
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = QStringLiteral("%1.damaged-%2-%3").arg(mProfileFolder, stamp).arg(n);
    if (!QFile::rename(mProfileFolder, aside))
        fail(cannotStart(QStringLiteral("its damaged profile \"%1\" could not be set aside")
                             .arg(mProfileFolder)));
}

void OfficeProcess::launch()
{
    // An office started now would only be ended again.
    ProgramEnd::failIfStopRequested();
    stopProcess();
    mPipeName = QStringLiteral("scrivane-%1-%2")
                    .arg(QCoreApplication::applicationPid())
                    .arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'));
    const QString programFolder = QFileInfo(mOptions.programFolder).absoluteFilePath();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // soffice.bin run directly needs what the soffice script would have set.
    environment.insert(QStringLiteral("URE_BOOTSTRAP"),
        QStringLiteral("vnd.sun.star.pathname:%1/fundamentalrc").arg(programFolder));
    environment.remove(QStringLiteral("CRASH_DUMP_ENABLE"));
    const QString temporary = freshTemporaryFolder(temporaryFolder());
    for (const char *name : { "TMPDIR", "TMP", "TEMP" })
        environment.insert(QString::fromLatin1(name), temporary);
    const QStringList arguments {
        QStringLiteral("--headless"),
        QStringLiteral("--invisible"),
        QStringLiteral("--nologo"),
        QStringLiteral("--norestore"),
        QStringLiteral("--nodefault"),
        QStringLiteral("--nolockcheck"),
        QStringLiteral("--nofirststartwizard"),
        QStringLiteral("-env:CrashDumpEnable=false"),
        QStringLiteral("-env:UserInstallation=") + profileUrl(),
        QStringLiteral("--accept=pipe,name=%1;urp;").arg(mPipeName),
    };

    auto start = [&] {
        mProcess = std::make_unique<QProcess>();
        mProcess->setProgram(programFolder + QStringLiteral("/soffice.bin"));
        mProcess->setArguments(arguments);
        mProcess->setProcessEnvironment(environment);
        mProcess->setStandardInputFile(QProcess::nullDevice());
        mProcess->setStandardOutputFile(QProcess::nullDevice());
        mProcess->setStandardErrorFile(mProfileFolder + QStringLiteral(".log"));
        const pid_t parent = ::getpid();
        // The office dies with Scrivane, however Scrivane ends; a terminal's Ctrl-C or
        // hang-up reaches Scrivane alone, which then ends its offices itself.
        mProcess->setChildProcessModifier([parent] {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent)
                ::_exit(127);
            ::setpgid(0, 0);
        });
        mProcess->start();
    };
    // The death signal follows the thread that forks, so fork on the one that lasts.
    QCoreApplication *application = QCoreApplication::instance();
    QThread *caller = QThread::currentThread();
    if (application != nullptr && caller != application->thread()) {
        QMetaObject::invokeMethod(
            application,
            [&] {
                start();
                mProcess->moveToThread(caller);
            },
            Qt::BlockingQueuedConnection);
    } else {
        start();
    }
    if (!mProcess->waitForStarted(toMilliseconds(mOptions.connectTimeout)))
        fail(cannotStart(QStringLiteral("%1 could not be run (%2)")
                             .arg(mProcess->program(), mProcess->errorString())));
    mProcessId = mProcess->processId();
    // Should Scrivane end without ending it, its pipes and files go all the same.
    mNote = ProgramEnd::noteChild(pid_t(mProcessId),
        { QFile::encodeName(officePipePath(mPipeName)),
            QFile::encodeName(officePipePath(profilePipeName(mProfileFolder))) },
        QFile::encodeName(temporary));
}

OfficeProcess::Start OfficeProcess::waitUntilConnected(const Connect &connect)
{
    const auto deadline = std::chrono::steady_clock::now() + mOptions.connectTimeout;
    for (;;) {
        const auto timeLeft = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (timeLeft <= std::chrono::milliseconds::zero())
            break;
        ProgramEnd::failIfStopRequested();
        if (connect(mPipeName, timeLeft))
            return Start::Connected;
        if (mProcess->state() == QProcess::NotRunning
            || mProcess->waitForFinished(toMilliseconds(kPollInterval))) {
            const bool restart = mProcess->exitStatus() == QProcess::NormalExit
                && mProcess->exitCode() == kRestartWanted;
            return restart ? Start::Restart : Start::Ended;
        }
    }
    kill();
    fail(cannotStart(QStringLiteral("LibreOffice did not answer within %1 and was ended")
                         .arg(secondsText(mOptions.connectTimeout))));
}

QString OfficeProcess::endDescription() const
{
    QString why = mProcess->exitStatus() == QProcess::NormalExit
        ? QStringLiteral("LibreOffice ended at start with exit code %1").arg(mProcess->exitCode())
        : QStringLiteral("LibreOffice crashed at start");
    const QString said = lastLines(mProfileFolder + QStringLiteral(".log"), 2);
    if (!said.isEmpty())
        why += QStringLiteral(" (%1)").arg(said);
    return why;
}

bool OfficeProcess::isWatchedHere() const
{
    return !mProcess || mProcess->thread() == QThread::currentThread();
}

void OfficeProcess::watchFrom(QThread *thread)
{
    if (mProcess)
        mProcess->moveToThread(thread);
}

bool OfficeProcess::waitForEnd(std::chrono::milliseconds time)
{
    if (!mProcess || mProcess->state() == QProcess::NotRunning)
        return true;
    return mProcess->waitForFinished(toMilliseconds(time))
        || mProcess->state() == QProcess::NotRunning;
}

void OfficeProcess::kill()
{
    if (!mProcess || mProcess->state() == QProcess::NotRunning)
        return;
    mProcess->kill();
    mProcess->waitForFinished(toMilliseconds(kKillWait));
    // Its pipes go at once, not only when this is destroyed.
    if (mProcess->state() == QProcess::NotRunning)
        removePipesLeftBehind();
}

void OfficeProcess::stopProcess()
{
    kill();
    if (mProcess && mProcess->state() == QProcess::NotRunning) {
        removePipesLeftBehind();
        removeOwn(temporaryFolder());
    }
    mProcess.reset();
    ProgramEnd::forgetChild(std::exchange(mNote, -1));
}

QString OfficeProcess::temporaryFolder() const
{
    return mProfileFolder + QStringLiteral(".tmp");
}

QString OfficeProcess::profileUrl() const
{
    return QUrl::fromLocalFile(mProfileFolder).toString(QUrl::FullyEncoded);
}

void OfficeProcess::removePipesLeftBehind() const
{
    // Nothing else uses them: the profile is ours alone. Besides the pipe it accepts us
    // on, the office keeps one for its profile.
    for (const QString &name : { mPipeName, profilePipeName(mProfileFolder) }) {
        const QByteArray path = QFile::encodeName(officePipePath(name));
        struct stat status
        {
        };
        if (::lstat(path.constData(), &status) == 0 && S_ISSOCK(status.st_mode)
            && status.st_uid == ::getuid())
            ::unlink(path.constData());
    }
}

// The lock file that the office keeps beside a document open for editing, if it is
// the one of the office in this profile: "user,host,date,profile-url;".
void removeLockFileOf(const QString &document, const QString &profileFolder)
{
    const QFileInfo info(document);
    QFile lock(
        info.absolutePath() + QStringLiteral("/.~lock.") + info.fileName() + QLatin1Char('#'));
    // Never a pipe planted at the name, which would wait for a writer for ever.
    const auto bytes = readPlainFile(lock.fileName(), 64 * 1024);
    if (!bytes)
        return;
    const QString content = QString::fromUtf8(*bytes).trimmed();
    QString profile = content.section(QLatin1Char(','), -1);
    if (profile.endsWith(QLatin1Char(';')))
        profile.chop(1);
    if (QDir::cleanPath(QUrl(profile).toLocalFile()) == QDir::cleanPath(profileFolder))
        lock.remove();
}

// The office says "access denied" (0x507) also for a full disk: the folder tells which.
QString storeFailure(const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    const QByteArray name = QFile::encodeName(folder);
    struct statvfs space
    {
    };
    constexpr unsigned long long kNearlyFull = 1024 * 1024;
    if (::statvfs(name.constData(), &space) == 0
        && static_cast<unsigned long long>(space.f_bavail) * space.f_frsize < kNearlyFull)
        return QStringLiteral("No space left on device while writing %1").arg(path);
    if (::access(name.constData(), W_OK) != 0)
        return QStringLiteral("%1 while writing %2").arg(systemError(), path);
    return {};
}

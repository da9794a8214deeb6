#include "CommandLine.h"

#include "Failure.h"
#include "FileUtils.h"
#include "MemoBatch.h"
#include "MemoDetails.h"
#include "MemoSources.h"
#include "MemoWriter.h"
#include "OutputFolder.h"
#include "OwnTemplate.h"
#include "PackageMemo.h"
#include "ProgramEnd.h"
#include "Reporter.h"
#include "ServiceClient.h"
#include "SettingsStore.h"
#include "Usage.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QStringDecoder>
#include <QTextStream>
#include <QThread>

#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <set>

namespace CommandLine {
namespace {
// A batch's offices when --jobs does not say: one a core, at most this many.
constexpr int kMostDefaultJobs = 4;

DocumentFormat formatOf(const QCommandLineParser &parser)
{
    if (parser.isSet(QStringLiteral("format")))
        return *documentFormatNamed(parser.value(QStringLiteral("format")));
    const QString extension = QFileInfo(parser.value(QStringLiteral("out"))).suffix();
    return documentFormatNamed(extension).value_or(DocumentFormat::Doc);
}

int jobsOf(const QCommandLineParser &parser)
{
    if (parser.isSet(QStringLiteral("jobs")))
        return parser.value(QStringLiteral("jobs")).toInt();
    return std::clamp(QThread::idealThreadCount(), 1, kMostDefaultJobs);
}

// Why the template cannot be used, said as the command's usage error.
int refusedTemplate(
    Reporter &reporter, const QString &where, const QString &file, const QString &why)
{
    reporter.errors << "scrivane: " << where << shownFileName(file)
                    << " cannot be used as a template: " << shownFileName(why) << '\n';
    return BadUsage;
}

int runSingle(const QCommandLineParser &parser, WordProcessor &word, const SettingsStore &settings,
    MemoDetails memo, const Origins &origins, Reporter &reporter, ServiceClient *service)
{
    const QString out = parser.value(QStringLiteral("out"));
    const QString templateFile = parser.value(QStringLiteral("template"));
    const auto notWritten = [&](const Failure &failure) {
        reporter.errors << "scrivane: " << shownFileName(out)
                        << " was not written: " << shownFileName(failure.description()) << '\n';
        reporter.memo(out, failure.description());
        return Failed;
    };
    std::optional<MemoWriter> writer;
    try {
        writer.emplace(word);
    } catch (const Failure &failure) {
        return notWritten(failure);
    }
    try {
        memo.ownTemplate = templateFile.isEmpty() ? windowTemplate(settings, memo.style)
                                                  : writer->ownTemplate(templateFile);
    } catch (const TemplateRefused &refused) {
        return refusedTemplate(reporter, {}, templateFile, refused.description());
    } catch (const Failure &failure) {
        if (templateFile.isEmpty()) {
            reporter.errors << "scrivane: " << shownFileName(failure.description()) << '\n';
            return BadUsage;
        }
        return refusedTemplate(reporter, {}, templateFile, failure.description());
    }
    // The service knows the built-in templates only.
    if (memo.ownTemplate)
        service = nullptr;
    try {
        // Cut from the text: QFileInfo turns bytes that are no UTF-8 into U+FFFD.
        const QString folder = out.left(std::max<qsizetype>(out.lastIndexOf(QLatin1Char('/')), 0));
        checkWritableFolder(out.startsWith(QLatin1Char('/'))
                ? (folder.isEmpty() ? QStringLiteral("/") : folder)
                : QDir::cleanPath(QDir::currentPath() + QLatin1Char('/') + folder));
        reporter.warnOfLeftOutFields(out, memo, origins);
        reporter.warnAboutControlCharacters(memo, out);
        reporter.warnOfFormatMismatch(out, formatOf(parser));
        // Made by the service when it can; written here either way, by the same routine.
        // A DOCX or ODT without a picture needs no office, so no service either.
        const QString picture = parser.value(QStringLiteral("picture"));
        if (PackageMemo::isPackageFormat(formatOf(parser)) && picture.isEmpty())
            service = nullptr;
        const auto made = service != nullptr
            ? service->make(memo, formatOf(parser), !picture.isEmpty())
            : std::nullopt;
        if (made) {
            MemoWriter::place(*made, out, picture);
        } else {
            writer->write(memo, out, formatOf(parser), picture);
            writer->finish();
            if (service != nullptr)
                service->warmStarted();
        }
    } catch (const Failure &failure) {
        return notWritten(failure);
    }
    reporter.memo(out, {});
    return Written;
}

// The batch's last line: how many memos were written of how many; its exit status.
int batchEnd(Reporter &reporter, qsizetype written, qsizetype done, qsizetype count)
{
    QTextStream &errors = reporter.errors;
    const qsizetype failed = done - written;
    // A stopped batch says so even when told to be quiet: the memos left are missing.
    const bool stopped = done < count && ProgramEnd::stopRequested();
    if (!reporter.quiet || stopped) {
        if (stopped)
            errors << "Stopped by " << ProgramEnd::signalName(ProgramEnd::receivedSignal()) << ": ";
        errors << written << " of " << count << (count == 1 ? " memo" : " memos") << " written";
        if (failed > 0)
            errors << ", " << failed << " failed";
        errors << Qt::endl;
    }
    return written == count ? Written : Failed;
}

// The templates a batch's memos name, each checked once: a member's file from the batch
// file's folder, else --template, else the window's for the memo's style. Throws
// TemplateRefused or Failure naming the memo and the file.
class BatchTemplates
{
public:
    BatchTemplates(WordProcessor &word, const SettingsStore &settings, const QString &batchFile,
        const QString &option)
        : mWord(word)
        , mSettings(settings)
        , mFolder(QFileInfo(batchFile).absolutePath())
        , mOption(option)
    { }
    ~BatchTemplates() { finish(); }

    OwnTemplatePointer of(const BatchMemo &memo, qsizetype index)
    {
        const QString file
            = !memo.templateFile.isEmpty() ? QDir(mFolder).filePath(memo.templateFile) : mOption;
        if (file.isEmpty()) {
            const auto known = mWindow.find(memo.memo.style);
            if (known != mWindow.end())
                return known->second;
            try {
                return mWindow[memo.memo.style] = windowTemplate(mSettings, memo.memo.style);
            } catch (const Failure &failure) {
                throw TemplateRefused(
                    QStringLiteral("memo %1: %2").arg(index + 1).arg(failure.description()));
            }
        }
        const auto known = mChecked.find(file);
        if (known != mChecked.end())
            return known->second;
        try {
            return mChecked[file] = OwnTemplates::checked(file, [this]() -> WordSession & {
                if (!mSession)
                    mSession = mWord.create();
                return *mSession;
            });
        } catch (const TemplateRefused &refused) {
            throw TemplateRefused(QStringLiteral("memo %1: %2 cannot be used as a template: %3")
                                      .arg(index + 1)
                                      .arg(shownFileName(file), refused.description()));
        } catch (const Failure &failure) {
            throw TemplateRefused(QStringLiteral("memo %1: %2 cannot be used as a template: %3")
                                      .arg(index + 1)
                                      .arg(shownFileName(file), failure.description()));
        }
    }

    // The office that checked them becomes the batch's spare.
    void finish()
    {
        try {
            if (mSession)
                mSession->quit();
        } catch (const Failure &) {
            // Released below.
        }
        mSession.reset();
    }

private:
    WordProcessor &mWord;
    const SettingsStore &mSettings;
    QString mFolder;
    QString mOption;
    std::unique_ptr<WordSession> mSession;
    std::map<QString, OwnTemplatePointer> mChecked;
    std::map<int, OwnTemplatePointer> mWindow;
};

int runBatch(const QCommandLineParser &parser, WordProcessor &word, const SettingsStore &settings,
    const MemoDetails &base, const Origins &baseOrigins, Reporter &reporter)
{
    QTextStream &errors = reporter.errors;
    const QString batchFile = parser.value(QStringLiteral("batch"));
    const QString folder = parser.value(QStringLiteral("out-dir"));
    QJsonArray memos;
    std::unique_ptr<FileLock> folderLock;
    try {
        memos = readBatchFile(batchFile);
        if (!makeFolder(folder))
            fail(QStringLiteral("the output folder %1 could not be created").arg(folder));
        checkWritableFolder(folder);
        folderLock = lockOutputFolder(folder);
    } catch (const UsageError &error) {
        errors << "scrivane: " << error.message << '\n';
        return BadUsage;
    } catch (const Failure &failure) {
        errors << "scrivane: " << shownFileName(failure.description()) << '\n';
        return Failed;
    }

    const DocumentFormat format = formatOf(parser);
    const qsizetype count = memos.size();
    const int width = std::max(3, static_cast<int>(QString::number(count).size()));
    std::set<QString> taken;
    QList<MemoBatch::Job> jobs;
    QStringList names;
    BatchTemplates templates(word, settings, batchFile, parser.value(QStringLiteral("template")));
    for (qsizetype index = 0; index < count; ++index) {
        MemoBatch::Job job;
        QString name = QStringLiteral("memo-%1.%2")
                           .arg(index + 1, width, 10, QLatin1Char('0'))
                           .arg(documentFormatName(format));
        try {
            Origins origins = baseOrigins;
            BatchMemo memo = batchMemo(memos.at(index), base, origins);
            if (!memo.file.isEmpty()) {
                checkFileName(memo.file);
                name = memo.file;
            }
            if (!taken.insert(name).second)
                fail(QStringLiteral("%1 is already written by an earlier memo").arg(name));
            // Every template is checked before a memo is written: one that cannot be used
            // stops the batch.
            memo.memo.ownTemplate = templates.of(memo, index);
            reporter.warnOfLeftOutFields(name, memo.memo, origins);
            reporter.warnAboutControlCharacters(memo.memo, name);
            reporter.warnOfFormatMismatch(name, format);
            job.memo = memo.memo;
        } catch (const TemplateRefused &refused) {
            errors << "scrivane: " << shownFileName(refused.description()) << '\n';
            return BadUsage;
        } catch (const Failure &failure) {
            job.refused = failure.description();
        }
        job.path = QDir(folder).filePath(name);
        job.format = format;
        jobs.append(job);
        names.append(name);
    }

    templates.finish();
    int written = 0;
    qsizetype done = 0;
    // One line a memo as it is done, counted in the order they finish.
    MemoBatch::write(word, jobs, jobsOf(parser), [&](qsizetype index, const QString &failure) {
        const QString position = QStringLiteral("%1/%2 done:").arg(++done).arg(count);
        if (failure.isEmpty()) {
            ++written;
            if (!reporter.quiet && !reporter.json)
                errors << position << ' ' << shownFileName(names.at(index)) << Qt::endl;
        } else {
            errors << position << ' ' << shownFileName(names.at(index)) << " failed (memo "
                   << index + 1 << "): " << shownFileName(failure) << Qt::endl;
        }
        reporter.memo(jobs.at(index).path, failure);
    });
    return batchEnd(reporter, written, done, count);
}

// "--service status|stop", alone.
int runServiceAction(const QCommandLineParser &parser, ServiceClient *service, QTextStream &output)
{
    const QString action = parser.value(QStringLiteral("service"));
    if (parser.optionNames().size() != 1 || !parser.positionalArguments().isEmpty())
        throw UsageError { QStringLiteral("--service takes no other options") };
    if (action != QLatin1String("status") && action != QLatin1String("stop"))
        throw UsageError {
            QStringLiteral("unknown --service action \"%1\" (use status or stop)").arg(action)
        };
    if (service == nullptr) {
        output << "scrivane: no service is used here\n";
        return Failed;
    }
    return action == QLatin1String("status") ? service->status(output) : service->stop(output);
}
} // namespace

void silenceQtMessages()
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type == QtFatalMsg)
            std::fprintf(stderr, "scrivane: %s\n", qPrintable(message));
    });
}

QString argumentText(const char *argument)
{
    const QByteArray bytes(argument);
    QString text = QString::fromLocal8Bit(bytes);
    if (text.toLocal8Bit() == bytes)
        return text;
    // Each byte that is no text becomes a lone surrogate, as Python's
    // "surrogateescape" does.
    text.clear();
    QStringDecoder decoder(QStringDecoder::System, QStringDecoder::Flag::Stateless);
    for (qsizetype at = 0; at < bytes.size();) {
        qsizetype length = 1;
        const auto lead = quint8(bytes[at]);
        if (lead >= 0xc0)
            length = lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : 2;
        const QByteArray piece = bytes.mid(at, length);
        const QString decoded = decoder.decode(piece);
        if (lead >= 0x80 && (decoded.toLocal8Bit() != piece || piece.size() != length)) {
            text += QChar(0xdc00 + lead);
            ++at;
        } else {
            text += decoded;
            at += length;
        }
    }
    return text;
}

bool isRequested(const QStringList &arguments)
{
    const auto isOurs = [&](const QString &argument) {
        QCommandLineParser parser;
        defineOptions(parser);
        parser.parse({ arguments.value(0), argument, QStringLiteral("value") });
        return !parser.optionNames().isEmpty();
    };
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument.startsWith(QLatin1String("--")) || argument == QLatin1String("-h")
            || argument == QLatin1String("-v"))
            return true;
        // The parser takes "-generate" as "--generate"; Qt's own "-style" and
        // "-platform" stay the window's.
        if (argument.startsWith(QLatin1Char('-')) && argument != QLatin1String("-style")
            && isOurs(argument))
            return true;
    }
    return false;
}

int run(const QStringList &arguments, WordProcessor &word, const SettingsStore &settings,
    QTextStream &output, QTextStream &errors, ServiceClient *service)
{
    QCommandLineParser parser;
    defineOptions(parser);
    try {
        if (!parser.parse(arguments))
            throw UsageError { parser.errorText() + nearestOption(parser) };
        if (parser.isSet(QStringLiteral("help"))) {
            output << usage();
            return Written;
        }
        if (parser.isSet(QStringLiteral("version"))) {
            output << "Scrivane " << SCRIVANE_VERSION << '\n';
            return Written;
        }
        if (parser.isSet(QStringLiteral("service")))
            return runServiceAction(parser, service, output);
        checkUsage(parser);
        if (parser.isSet(QStringLiteral("no-service")))
            service = nullptr;
        if (const QString problem = settings.readProblem(); !problem.isEmpty())
            errors << "scrivane: warning: " << problem
                   << " Fields that no option gives are left empty.\n";
        MemoDetails memo = storedMemo(settings, errors);
        const Origins origins = applyOptions(parser, memo);

        Reporter reporter { output, errors, parser.isSet(QStringLiteral("quiet")),
            parser.isSet(QStringLiteral("json")) };
        try {
            return parser.isSet(QStringLiteral("batch"))
                ? runBatch(parser, word, settings, memo, origins, reporter)
                : runSingle(parser, word, settings, memo, origins, reporter, service);
        } catch (const Failure &failure) {
            errors << "scrivane: " << shownFileName(failure.description()) << '\n';
            return Failed;
        }
    } catch (const UsageError &error) {
        errors << "scrivane: " << shownFileName(error.message) << "\nTry 'scrivane --help'.\n";
        return BadUsage;
    }
}

} // namespace CommandLine

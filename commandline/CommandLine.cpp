#include "CommandLine.h"

#include "Failure.h"
#include "FileUtils.h"
#include "MemoBatch.h"
#include "MemoDetails.h"
#include "MemoStyle.h"
#include "MemoWriter.h"
#include "ServiceClient.h"
#include "SettingText.h"
#include "SettingsStore.h"
#include "WordText.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTextStream>
#include <QThread>

#include <cstdio>
#include <optional>
#include <set>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace CommandLine {
namespace {

constexpr auto kUsageHead = R"(Usage:
  scrivane --generate --out FILE.doc [options]
  scrivane --generate --batch MEMOS.json --out-dir FOLDER [options]

Writes memos as Word 97-2003 documents, or as DOCX, ODT or PDF, without opening
the window. Every field starts from what was last typed in the window, in the
style stored there.

Options:
  --generate           write memos instead of opening the window
  --out FILE           the document to write
  --batch FILE         a JSON array of memos, one document each
  --out-dir FOLDER     where the batch's documents go
)";
constexpr auto kUsageTail
    = R"(  --sample             start from the example memo (Professional style)
  --picture FILE.png   also write the memo's page picture (single memo only)
  --format FORMAT      doc, docx, odt or pdf (default: from --out, else doc)
  --jobs N             offices at once in a batch, 1-8 (default: cores, max 4)
  --quiet              no progress lines or summary, only the failures
  --json               one JSON object per memo on standard output
  --no-service         use an office of this command's own, not the service's
  --service ACTION     status: whether the service runs; stop: end it
  --help               show this text
  --version            show the version

)";
constexpr int kMostJobs = 8;
// A batch file larger than this is refused before it is read: well above any real
// batch (100 MB of memos are read in seconds) and far from what memory holds.
constexpr qint64 kMostBatchMebibytes = 512;
constexpr int kMostDefaultJobs = 4;

constexpr auto kUsageExit
    = "Exit status: 0 when every memo was written, 1 when any failed, 2 for bad usage.\n";

// "a, b or c"
QString listed(const QStringList &names, const QString &last)
{
    if (names.size() < 2)
        return names.join(QString());
    return names.first(names.size() - 1).join(QStringLiteral(", ")) + last + names.last();
}

QString styleNames()
{
    QStringList names;
    for (const MemoStyle &style : kMemoStyles)
        names << QString::fromLatin1(style.name);
    return listed(names, QStringLiteral(" or "));
}

QString optionLine(const QString &option, const QString &help)
{
    return QStringLiteral("  %1 %2\n").arg(option, -20).arg(help);
}

// Words filled into lines of at most 80 characters.
QString wrapped(const QString &text)
{
    QString result, line;
    for (const QString &word : text.split(QLatin1Char(' '))) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > 80) {
            result += line + QLatin1Char('\n');
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    return result + line + QLatin1Char('\n');
}

// The options and members come from the memo's tables, so a new field or style is
// described here without a word changed.
QString usage()
{
    QString text = QString::fromLatin1(kUsageHead);
    text += optionLine(QStringLiteral("--style NAME"), styleNames());
    QStringList members { QStringLiteral("\"style\"") };
    for (const MemoField &field : kMemoFields) {
        text += optionLine(QStringLiteral("--%1 TEXT").arg(QString::fromLatin1(field.option)),
            QString::fromLatin1(field.help));
        members << QStringLiteral("\"%1\"").arg(QString::fromLatin1(field.option));
    }
    text += optionLine(QStringLiteral("--%1 YYYY-MM-DD").arg(QString::fromLatin1(kMemoDate.option)),
        QString::fromLatin1(kMemoDate.help));
    members << QStringLiteral("\"%1\"").arg(QString::fromLatin1(kMemoDate.option));
    text += QString::fromLatin1(kUsageTail);
    text += wrapped(QStringLiteral("A batch memo is an object with any of %1 (texts as above) and "
                                   "\"file\" (the document's name in the output folder; otherwise "
                                   "memo-001.doc, memo-002.doc, ...). Missing fields take the "
                                   "values given by the options and the window. With --json, "
                                   "each memo's object holds \"file\", \"status\" "
                                   "(\"written\" or \"failed\") and \"error\" (null or "
                                   "why it failed).")
                        .arg(listed(members, QStringLiteral(", "))));
    text += QLatin1Char('\n')
        + wrapped(QStringLiteral(
            "A single memo is made by a service of this user's that keeps an office ready "
            "between commands: the first command starts it and writes through an office "
            "of its own, the next ones take a fraction of the time. The service listens "
            "on $XDG_RUNTIME_DIR/scrivane.socket (in a private folder of the temporary "
            "folder when that is not set) and ends, with its offices, after "
            "$SCRIVANE_SERVICE_IDLE_S seconds without a request (600 when not set). "
            "SCRIVANE_SERVICE=0 does without it, as --no-service does; --service status "
            "exits with 1 when none runs. Batches start offices of their own."));
    return text + QLatin1Char('\n') + QString::fromLatin1(kUsageExit);
}

struct UsageError
{
    QString message;
};

int styleFromName(const QString &name)
{
    const auto style = memoStyleByName(name);
    if (!style)
        fail(QStringLiteral("unknown style \"%1\" (use %2)").arg(name, styleNames()));
    return *style;
}

// The window's date picker takes the same range.
bool isMemoDate(const QDate &date)
{
    return date >= QDate(1601, 1, 1) && date <= QDate(9999, 12, 31);
}

QDate dateFromIso(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    const QDate date = QDate::fromString(text, Qt::ISODate);
    if (!form.match(text).hasMatch() || !date.isValid())
        fail(QStringLiteral("\"%1\" is not a date of the form YYYY-MM-DD").arg(text));
    if (!isMemoDate(date))
        fail(QStringLiteral("the date %1 lies outside 1601 to 9999").arg(text));
    return date;
}

// The memo the window would make now: its fields and stored style.
MemoDetails storedMemo(const SettingsStore &settings, QTextStream &errors)
{
    MemoDetails memo;
    for (const MemoField &field : kMemoFields)
        memo.*field.text = settings.GetSetting(QString::fromLatin1(field.control));
    const QString storedDate = settings.GetSetting(QString::fromLatin1(kMemoDate.control));
    const auto date = storedDate.isEmpty() ? std::optional<QDate>(QDate::currentDate())
                                           : dateFromSettingText(storedDate);
    if (!date)
        errors << "scrivane: the stored date \"" << storedDate << "\" is no date; using today\n";
    else if (!isMemoDate(*date))
        errors << "scrivane: the stored date \"" << storedDate
               << "\" lies outside 1601 to 9999; using today\n";
    memo.date = date && isMemoDate(*date) ? *date : QDate::currentDate();

    const QString storedStyle = settings.GetSetting(
        QString::fromLatin1(kMemoStyleControl), QString::number(kFirstStartStyle));
    memo.style = 0;
    try {
        const int style = wholeNumberFromSettingText(storedStyle);
        if (style >= 0 && style < static_cast<int>(kMemoStyles.size()))
            memo.style = style;
        else
            errors << "scrivane: the stored style " << storedStyle
                   << " names no style; using professional\n";
    } catch (const Failure &) {
        errors << "scrivane: the stored style \"" << storedStyle
               << "\" is no number; using professional\n";
    }
    return memo;
}

void applyOptions(const QCommandLineParser &parser, MemoDetails &memo)
{
    if (parser.isSet(QStringLiteral("sample")))
        memo = withSampleData(memo);
    for (const MemoField &field : kMemoFields) {
        if (parser.isSet(QString::fromLatin1(field.option)))
            memo.*field.text = parser.value(QString::fromLatin1(field.option));
    }
    try {
        if (parser.isSet(QStringLiteral("style")))
            memo.style = styleFromName(parser.value(QStringLiteral("style")));
        if (parser.isSet(QString::fromLatin1(kMemoDate.option)))
            memo.date = dateFromIso(parser.value(QString::fromLatin1(kMemoDate.option)));
    } catch (const Failure &failure) {
        throw UsageError { failure.description() };
    }
}

QString textMember(const QJsonObject &object, const QString &name)
{
    const QJsonValue value = object.value(name);
    if (!value.isString())
        fail(QStringLiteral("\"%1\" must be text").arg(name));
    return value.toString();
}

// One batch memo: the base memo with the members it sets, and its file name.
std::pair<MemoDetails, QString> batchMemo(const QJsonValue &value, MemoDetails memo)
{
    if (!value.isObject())
        fail(QStringLiteral("a memo must be a JSON object"));
    const QJsonObject object = value.toObject();
    QString file;
    for (auto member = object.begin(); member != object.end(); ++member) {
        const QString name = member.key();
        const auto field = std::find_if(kMemoFields.cbegin(), kMemoFields.cend(),
            [&](const MemoField &f) { return name == QLatin1String(f.option); });
        if (field != kMemoFields.cend())
            memo.*field->text = textMember(object, name);
        else if (name == QLatin1String("style"))
            memo.style = styleFromName(textMember(object, name));
        else if (name == QLatin1String(kMemoDate.option))
            memo.date = dateFromIso(textMember(object, name));
        else if (name == QLatin1String("file"))
            file = textMember(object, name);
        else
            fail(QStringLiteral("unknown member \"%1\"").arg(name));
    }
    return { memo, file };
}

// A document name inside the output folder, never a path out of it.
void checkFileName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")
        || name.contains(QLatin1Char('/')) || name.contains(QChar(0)))
        fail(QStringLiteral("\"%1\" is not a plain file name").arg(name));
    if (!name.isValidUtf16())
        fail(QStringLiteral("\"%1\" holds a surrogate without its partner, which no file name "
                            "can hold")
                 .arg(name));
}

bool isFolder(const QByteArray &name)
{
    struct stat status
    {
    };
    return ::stat(name.constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

void checkWritableFolder(const QString &folder)
{
    const QByteArray name = encodeFileName(folder);
    if (::access(name.constData(), F_OK) != 0)
        fail(QStringLiteral("the output folder %1 does not exist").arg(folder));
    if (!isFolder(name))
        fail(QStringLiteral("%1 is not a folder").arg(folder));
    QByteArray probe = name + "/.scrivane-XXXXXX";
    const int handle = ::mkostemp(probe.data(), O_CLOEXEC);
    if (handle < 0)
        fail(QStringLiteral("the output folder %1 cannot be written").arg(folder));
    ::close(handle);
    ::unlink(probe.constData());
}

// The folder and those above it that are missing, as QDir::mkpath makes them but under
// the name's own bytes.
bool makeFolder(const QString &folder)
{
    const QByteArray name = encodeFileName(folder);
    if (::access(name.constData(), F_OK) == 0)
        return true;
    for (qsizetype end = 1; end <= name.size(); ++end) {
        if (end < name.size() && name.at(end) != '/')
            continue;
        const QByteArray above = name.left(end);
        if (::mkdir(above.constData(), 0777) != 0 && errno != EEXIST)
            return false;
    }
    return isFolder(name);
}

// A value given for a field that the memo's style does not print is not lost silently.
void warnOfLeftOutFields(QTextStream &errors, const QString &file, const MemoDetails &memo)
{
    const QString note = leftOutNote(memo);
    if (!note.isEmpty())
        errors << "scrivane: " << shownFileName(file) << ": " << note
               << " (the values given are not in the memo)\n";
}

// Once per memo: which of its texts lost characters a Word document cannot hold.
void warnAboutControlCharacters(const MemoDetails &memo, const QString &name, QTextStream &errors)
{
    QStringList changed;
    for (const MemoField &field : kMemoFields) {
        if (hasControlCharacters(memo.*field.text))
            changed << QString::fromLatin1(field.option);
    }
    if (!changed.isEmpty())
        errors << "scrivane: warning: " << shownFileName(name)
               << ": control characters a Word document cannot hold were left out of "
               << listed(changed, QStringLiteral(" and ")) << Qt::endl;
}

// Held while a batch writes into a folder, so that a second batch into the same folder
// is refused instead of overwriting the first one's documents. A lock on the folder
// itself: nothing is left in it, and the lock goes with the process however it ends.
// A lock that cannot be taken refuses the batch, whatever the reason: running
// without it is what let two batches overwrite each other.
class FolderLock
{
public:
    explicit FolderLock(const QString &folder)
        : mHandle(::open(
            encodeFileName(folder).constData(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC))
    {
        if (mHandle < 0)
            fail(QStringLiteral("the output folder %1 cannot be locked against a second batch "
                                "(%2); give a folder that can be read too")
                     .arg(folder, systemError()));
        if (::flock(mHandle, LOCK_EX | LOCK_NB) == 0)
            return;
        const int error = errno;
        ::close(mHandle);
        if (error == EWOULDBLOCK)
            fail(QStringLiteral("another Scrivane batch is writing into %1; wait until it has "
                                "finished or choose another folder")
                     .arg(folder));
        errno = error;
        fail(QStringLiteral("the output folder %1 cannot be locked against a second batch (%2)")
                 .arg(folder, systemError()));
    }
    ~FolderLock()
    {
        if (mHandle >= 0)
            ::close(mHandle);
    }
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

private:
    int mHandle;
};

// How the run reports: what the options asked for, and where it goes.
struct Reporter
{
    QTextStream &output;
    QTextStream &errors;
    bool quiet = false;
    bool json = false;

    void memo(const QString &file, const QString &failure)
    {
        if (!json)
            return;
        const QJsonObject object {
            { QStringLiteral("file"), shownFileName(file) },
            { QStringLiteral("status"),
                failure.isEmpty() ? QStringLiteral("written") : QStringLiteral("failed") },
            { QStringLiteral("error"),
                failure.isEmpty() ? QJsonValue() : QJsonValue(shownFileName(failure)) },
        };
        output << QJsonDocument(object).toJson(QJsonDocument::Compact) << Qt::endl;
    }
};

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

int runSingle(const QCommandLineParser &parser, WordProcessor &word, const MemoDetails &memo,
    Reporter &reporter, ServiceClient *service)
{
    const QString out = parser.value(QStringLiteral("out"));
    try {
        MemoWriter writer(word);
        // Cut from the text: QFileInfo turns bytes that are no UTF-8 into U+FFFD.
        const QString folder = out.left(std::max<qsizetype>(out.lastIndexOf(QLatin1Char('/')), 0));
        checkWritableFolder(out.startsWith(QLatin1Char('/'))
                ? (folder.isEmpty() ? QStringLiteral("/") : folder)
                : QDir::cleanPath(QDir::currentPath() + QLatin1Char('/') + folder));
        warnOfLeftOutFields(reporter.errors, out, memo);
        warnAboutControlCharacters(memo, out, reporter.errors);
        // Made by the service when it can; written here either way, by the same routine.
        const QString picture = parser.value(QStringLiteral("picture"));
        const auto made = service != nullptr
            ? service->make(memo, formatOf(parser), !picture.isEmpty())
            : std::nullopt;
        if (made) {
            MemoWriter::place(*made, out, picture);
        } else {
            writer.write(memo, out, formatOf(parser), picture);
            writer.finish();
            if (service != nullptr)
                service->warmStarted();
        }
    } catch (const Failure &failure) {
        reporter.errors << "scrivane: " << shownFileName(out)
                        << " was not written: " << shownFileName(failure.description()) << '\n';
        reporter.memo(out, failure.description());
        return Failed;
    }
    reporter.memo(out, {});
    return Written;
}

int runBatch(const QCommandLineParser &parser, WordProcessor &word, const MemoDetails &base,
    Reporter &reporter)
{
    QTextStream &errors = reporter.errors;
    const QString batchFile = parser.value(QStringLiteral("batch"));
    const QString folder = parser.value(QStringLiteral("out-dir"));
    QJsonArray memos;
    std::optional<FolderLock> folderLock;
    // Only a plain file of a bounded size is read: a device or pipe may never end.
    const QFileInfo batchInfo(batchFile);
    if (batchInfo.exists() && !batchInfo.isFile()) {
        errors << "scrivane: " << batchFile << " is not a plain file; give a JSON file\n";
        return BadUsage;
    }
    if (batchInfo.size() > kMostBatchMebibytes * 1024 * 1024) {
        errors << "scrivane: " << batchFile << " is larger than " << kMostBatchMebibytes
               << " MiB; split it into smaller batches\n";
        return BadUsage;
    }
    try {
        const auto bytes
            = readPlainFile(batchFile, kMostBatchMebibytes * 1024 * 1024 + 1, Links::Follow);
        if (!bytes) {
            QFile file(batchFile);
            file.open(QIODevice::ReadOnly);
            fail(QStringLiteral("%1 cannot be read: %2").arg(batchFile, file.errorString()));
        }
        if (bytes->size() > kMostBatchMebibytes * 1024 * 1024)
            fail(QStringLiteral("%1 grew past %2 MiB while it was read")
                     .arg(batchFile)
                     .arg(kMostBatchMebibytes));
        QJsonParseError error {};
        const QJsonDocument document = QJsonDocument::fromJson(*bytes, &error);
        if (error.error != QJsonParseError::NoError)
            fail(QStringLiteral("%1 is not valid JSON: %2 at character %3")
                     .arg(batchFile, error.errorString())
                     .arg(error.offset));
        if (!document.isArray())
            fail(QStringLiteral("%1 must hold a JSON array of memos").arg(batchFile));
        memos = document.array();
        if (!makeFolder(folder))
            fail(QStringLiteral("the output folder %1 could not be created").arg(folder));
        checkWritableFolder(folder);
        folderLock.emplace(folder);
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
    for (qsizetype index = 0; index < count; ++index) {
        MemoBatch::Job job;
        QString name = QStringLiteral("memo-%1.%2")
                           .arg(index + 1, width, 10, QLatin1Char('0'))
                           .arg(documentFormatName(format));
        try {
            auto [memo, file] = batchMemo(memos.at(index), base);
            if (!file.isEmpty()) {
                checkFileName(file);
                name = file;
            }
            if (!taken.insert(name).second)
                fail(QStringLiteral("%1 is already written by an earlier memo").arg(name));
            warnOfLeftOutFields(errors, name, memo);
            warnAboutControlCharacters(memo, name, errors);
            job.memo = memo;
        } catch (const Failure &failure) {
            job.refused = failure.description();
        }
        job.path = QDir(folder).filePath(name);
        job.format = format;
        jobs.append(job);
        names.append(name);
    }

    int written = 0;
    MemoBatch::write(word, jobs, jobsOf(parser), [&](qsizetype index, const QString &failure) {
        const QString position = QStringLiteral("%1/%2").arg(index + 1).arg(count);
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
    const qsizetype failed = count - written;
    if (!reporter.quiet) {
        errors << written << " of " << count << (count == 1 ? " memo" : " memos") << " written";
        if (failed > 0)
            errors << ", " << failed << " failed";
        errors << Qt::endl;
    }
    return failed == 0 ? Written : Failed;
}

void defineOptions(QCommandLineParser &parser)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const auto flag = [&](const char *name) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));
    };
    const auto valued = [&](const char *name, const char *value) {
        parser.addOption(
            QCommandLineOption(QString::fromLatin1(name), QString(), QString::fromLatin1(value)));
    };
    flag("generate");
    flag("sample");
    flag("quiet");
    flag("json");
    flag("no-service");
    parser.addOption(
        QCommandLineOption(QStringList { QStringLiteral("help"), QStringLiteral("h") }));
    parser.addOption(
        QCommandLineOption(QStringList { QStringLiteral("version"), QStringLiteral("v") }));
    valued("out", "FILE");
    valued("batch", "FILE");
    valued("out-dir", "FOLDER");
    valued("style", "NAME");
    valued(kMemoDate.option, "DATE");
    valued("picture", "FILE");
    valued("format", "FORMAT");
    valued("jobs", "N");
    valued("service", "ACTION");
    for (const MemoField &field : kMemoFields)
        valued(field.option, "TEXT");
}

void checkUsage(const QCommandLineParser &parser)
{
    const auto has = [&](const char *name) { return parser.isSet(QString::fromLatin1(name)); };
    if (!parser.positionalArguments().isEmpty())
        throw UsageError {
            QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first())
        };
    if (!has("generate"))
        throw UsageError { QStringLiteral("options need --generate") };
    if (has("batch") == has("out"))
        throw UsageError { QStringLiteral("give either --out or --batch") };
    if (has("batch") && !has("out-dir"))
        throw UsageError { QStringLiteral("--batch needs --out-dir") };
    if (has("out-dir") && !has("batch"))
        throw UsageError { QStringLiteral("--out-dir goes with --batch") };
    if (has("picture") && has("batch"))
        throw UsageError { QStringLiteral("--picture is for a single memo") };
    if (has("format") && !documentFormatNamed(parser.value(QStringLiteral("format"))))
        throw UsageError { QStringLiteral("unknown format \"%1\" (use doc, docx, odt or pdf)")
                               .arg(parser.value(QStringLiteral("format"))) };
    if (has("jobs")) {
        bool number = false;
        const int jobs = parser.value(QStringLiteral("jobs")).toInt(&number);
        if (!number || jobs < 1 || jobs > kMostJobs)
            throw UsageError {
                QStringLiteral("--jobs needs a number from 1 to %1").arg(kMostJobs)
            };
    }
    for (const char *name : { "out", "batch", "out-dir", "picture" }) {
        const QString value = parser.value(QString::fromLatin1(name));
        if (has(name) && value.isEmpty())
            throw UsageError { QStringLiteral("--%1 needs a name").arg(QString::fromLatin1(name)) };
        // Names that are written keep bytes that are no UTF-8 (encodeFileName); the
        // batch file is read through Qt, which would read another file under a
        // lookalike name.
        if (has(name) && QByteArrayView(name) == "batch" && !value.isValidUtf16())
            throw UsageError { QStringLiteral("the name given to --%1 is not UTF-8 text, which "
                                              "the file system's names are here; rename it")
                                   .arg(QString::fromLatin1(name)) };
    }
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
            throw UsageError { parser.errorText() };
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
        applyOptions(parser, memo);

        Reporter reporter { output, errors, parser.isSet(QStringLiteral("quiet")),
            parser.isSet(QStringLiteral("json")) };
        try {
            return parser.isSet(QStringLiteral("batch"))
                ? runBatch(parser, word, memo, reporter)
                : runSingle(parser, word, memo, reporter, service);
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

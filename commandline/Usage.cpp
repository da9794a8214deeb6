#include "Usage.h"

#include "MemoDetails.h"
#include "MemoStyle.h"
#include "WordSession.h"

#include <QCommandLineParser>

#include <algorithm>
#include <array>
#include <limits>

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
  --template FILE      a template of your own for the memos (.dot, .doc, .dotx,
                       .docx, .ott or .odt), instead of the style's
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
constexpr auto kUsageExit
    = "Exit status: 0 when every memo was written, 1 when any failed, 2 for bad usage.\n";
constexpr auto kUsageExamples = R"(
Examples:
  scrivane --generate --out memo.doc --style elegant --to "Tobin Varden"
  scrivane --generate --sample --out memo.pdf --picture memo.png
  scrivane --generate --batch memos.json --out-dir memos/ --jobs 2
)";

constexpr std::array kFlags { "generate", "sample", "quiet", "json", "no-service" };

// Options with a value, and the value's name.
QList<std::pair<const char *, const char *>> valuedOptions()
{
    QList<std::pair<const char *, const char *>> options { { "out", "FILE" }, { "batch", "FILE" },
        { "out-dir", "FOLDER" }, { "style", "NAME" }, { kMemoDate.option, "DATE" },
        { "picture", "FILE" }, { "template", "FILE" }, { "format", "FORMAT" }, { "jobs", "N" },
        { "service", "ACTION" } };
    for (const MemoField &field : kMemoFields)
        options.append(std::pair { field.option, "TEXT" });
    return options;
}

// Letters to add, drop or change, or neighbours to swap, to turn one word into the other.
int editDistance(const QString &from, const QString &to)
{
    const qsizetype rows = from.size() + 1;
    const qsizetype columns = to.size() + 1;
    QList<int> cost(rows * columns);
    const auto at
        = [&](qsizetype row, qsizetype column) -> int & { return cost[row * columns + column]; };
    for (qsizetype row = 0; row < rows; ++row)
        at(row, 0) = int(row);
    for (qsizetype column = 0; column < columns; ++column)
        at(0, column) = int(column);
    for (qsizetype row = 1; row < rows; ++row) {
        for (qsizetype column = 1; column < columns; ++column) {
            const int change = from[row - 1] == to[column - 1] ? 0 : 1;
            at(row, column) = std::min({ at(row - 1, column) + 1, at(row, column - 1) + 1,
                at(row - 1, column - 1) + change });
            if (row > 1 && column > 1 && from[row - 1] == to[column - 2]
                && from[row - 2] == to[column - 1])
                at(row, column) = std::min(at(row, column), at(row - 2, column - 2) + 1);
        }
    }
    return at(rows - 1, columns - 1);
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
} // namespace

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

// The options and members come from the memo's tables, so a new field or style is
// described here without a word changed.
QString usage()
{
    QString text = QString::fromLatin1(kUsageHead);
    text += optionLine(QStringLiteral("--style NAME"), styleNames());
    QStringList members { QStringLiteral("\"style\""), QStringLiteral("\"template\"") };
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
                                   "memo-001.doc, memo-002.doc, ...); a \"template\" is named "
                                   "from the batch file's folder. Missing fields take the "
                                   "values given by the options and the window. With --json, "
                                   "each memo's object holds \"file\", \"status\" "
                                   "(\"written\" or \"failed\") and \"error\" (null or "
                                   "why it failed).")
                        .arg(listed(members, QStringLiteral(", "))));
    text += QLatin1Char('\n')
        + wrapped(QStringLiteral(
            "A template of your own holds any of the bookmarks bkOrgName, bkTo, bkCC, bkFrom, "
            "bkDate, bkRe and bkMsg where its memo's values go. It is checked once (its macros "
            "never run and nothing it links to is read) and kept by its content; one that "
            "cannot be used is refused with the reason and exit status 2. Without --template "
            "a style uses the template chosen for it in the window, if any."));
    text += QLatin1Char('\n')
        + wrapped(QStringLiteral(
            "A single memo is made by a service of this user's that keeps an office ready "
            "between commands: the first command starts it and writes through an office "
            "of its own, the next ones take a fraction of the time. The service listens "
            "on $XDG_RUNTIME_DIR/scrivane.socket (in a private folder of the temporary "
            "folder when that is not set) and ends, with its offices, after "
            "$SCRIVANE_SERVICE_IDLE_S seconds without a memo to make (600 when not set). "
            "SCRIVANE_SERVICE=0 does without it, as --no-service does; --service status "
            "exits with 1 when none runs. Batches start offices of their own."));
    return text + QLatin1Char('\n') + QString::fromLatin1(kUsageExit)
        + QString::fromLatin1(kUsageExamples);
}

void defineOptions(QCommandLineParser &parser)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const char *name : kFlags)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));
    parser.addOption(
        QCommandLineOption(QStringList { QStringLiteral("help"), QStringLiteral("h") }));
    parser.addOption(
        QCommandLineOption(QStringList { QStringLiteral("version"), QStringLiteral("v") }));
    for (const auto &[name, value] : valuedOptions())
        parser.addOption(
            QCommandLineOption(QString::fromLatin1(name), QString(), QString::fromLatin1(value)));
}

QString nearestOption(const QCommandLineParser &parser)
{
    const QStringList unknown = parser.unknownOptionNames();
    if (unknown.isEmpty())
        return {};
    const QString &typed = unknown.first();
    QStringList known { QStringLiteral("help"), QStringLiteral("version") };
    for (const char *name : kFlags)
        known << QString::fromLatin1(name);
    for (const auto &[name, value] : valuedOptions())
        known << QString::fromLatin1(name);
    QString nearest;
    int fewest = std::numeric_limits<int>::max();
    for (const QString &name : std::as_const(known)) {
        const int edits = editDistance(typed, name);
        if (edits < fewest) {
            fewest = edits;
            nearest = name;
        }
    }
    // Two slips at most, and no more than half of what was typed: "--to" is no "--out".
    if (fewest > 2 || fewest * 2 > typed.size())
        return {};
    return QStringLiteral(" Did you mean --%1?").arg(nearest);
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
    for (const char *name : { "out", "batch", "out-dir", "picture", "template" }) {
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

} // namespace CommandLine

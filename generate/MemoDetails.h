#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include <array>
#include <memory>
#include <utility>

struct OwnTemplate;

// One memo's details and style, as the entry window holds them.
struct MemoDetails
{
    QString orgName;
    QString to;
    QString cc;
    QString from;
    QString re;
    QString msg;
    QDate date;
    int style = 1; // Contemporary, as at the first start
    // The user's own template that stands in for the style's built-in one, if any.
    std::shared_ptr<const OwnTemplate> ownTemplate;
};

// Everything that names one field of a memo. A new field is a row here, its bookmark
// in the templates and its control in the entry window.
struct MemoField
{
    const char *control; // the entry control, whose name is also the settings key
    const char *bookmark; // where the templates take it
    const char *option; // the command line's option and a batch memo's member
    const char *help; // what the option sets, in the command line's help
    const char *name; // how a short message names it
    int runLine; // the generation run's step that writes the bookmark
    QString MemoDetails::*text; // null for the date, which is no text
    // What the bookmark receives for the typed text; null when it is the text itself.
    QString (*bookmarkText)(const QString &typed);

    bool isDate() const { return text == nullptr; }
};

// What bkOrgName receives: a space, then the name, or a stand-in when the name is blank.
QString organisationText(const QString &orgName);

// The text fields in the entry window's order.
inline const std::array<MemoField, 6> kMemoFields { {
    { "txtOrgName", "bkOrgName", "company", "the company name", "company name", 164,
        &MemoDetails::orgName, organisationText },
    { "txtTo", "bkTo", "to", "To", "To", 148, &MemoDetails::to, nullptr },
    { "txtCC", "bkCC", "cc", "CC", "CC", 160, &MemoDetails::cc, nullptr },
    { "txtFrom", "bkFrom", "from", "From", "From", 150, &MemoDetails::from, nullptr },
    { "txtRe", "bkRe", "re", "Re (the subject)", "Re", 152, &MemoDetails::re, nullptr },
    { "txtMsg", "bkMsg", "message", "the message", "message", 156, &MemoDetails::msg, nullptr },
} };
// The message's field, the last of the text fields.
inline const MemoField &kMemoMessage = kMemoFields.back();
inline const MemoField kMemoDate { "dtpEventDate", "bkDate", "date",
    "the memo's date, 1601-01-01 to 9999-12-31", "date", 154, nullptr, nullptr };

// Every field, the date included, in the order the generation run writes them.
const QList<const MemoField *> &fieldsInWritingOrder();

// The example memo of "Load Sample/Example Data": its texts and the Professional
// style; the date stays as it was.
MemoDetails withSampleData(MemoDetails memo);

// The bookmark writes that make the memo, in the order the generation run makes them.
QList<std::pair<QString, QString>> bookmarkWrites(const MemoDetails &memo);

// A date the window's date picker takes: 1601-01-01 to 9999-12-31.
bool isMemoDate(const QDate &date);

// The date written YYYY-MM-DD; throws Failure saying why it is none a memo takes.
QDate memoDateFrom(const QString &text);

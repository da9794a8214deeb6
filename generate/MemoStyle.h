#pragma once

#include "MemoDetails.h"

#include <QString>

#include <array>
#include <optional>

// The five memo styles in the order of the style buttons.
struct MemoStyle
{
    const char *caption; // the style button's caption
    const char *name; // how a script names it
    int resourceId; // its template among the "CUSTOM" resources
    // The text fields whose bookmark the template lacks, as bits of their index in
    // kMemoFields; every other field is printed.
    unsigned leavesOut;
    const char *pageCaption; // the preview's page list entry

    bool prints(const MemoField &field) const;
};

// The bit of a field in MemoStyle::leavesOut and OwnTemplate::leavesOut; the date's
// follows the text fields' (no built-in style leaves it out).
unsigned fieldBit(const char *control);

inline const std::array<MemoStyle, 5> kMemoStyles { {
    { "Professional", "professional", 104, 0, "ProfessionalMemo.dot" },
    { "Contemporary", "contemporary", 102, fieldBit("txtOrgName"), "ContemporaryMemo.dot" },
    { "Elegant", "elegant", 103, fieldBit("txtOrgName"), "ElegantMemo.dot" },
    { "Simple", "simple", 105, 0, "SimpleMemo.dot" },
    { "Blue Sky", "blue-sky", 101, fieldBit("txtOrgName") | fieldBit("txtCC"), "BlueSkyMemo.dot" },
} };

// The style buttons' control, whose name is also the settings key of the chosen
// style, and the style chosen at the first start (Contemporary).
inline constexpr auto kMemoStyleControl = "Option1";
inline constexpr int kFirstStartStyle = 1;

// The example memo's texts.
inline constexpr auto kSampleOrgName = "Tarnwick";
inline constexpr auto kSampleTo = "Vozizidi";
inline constexpr auto kSampleCC = "Tobin Varden";
inline constexpr auto kSampleFrom = "Ewan Varden";
inline constexpr auto kSampleRe = "Memo To Cat";
inline constexpr auto kSampleMsg
    = "We are no longer accepting delivery of small birds or rodents. Thank you.";

// The style a script names (case does not matter), if any.
std::optional<int> memoStyleByName(const QString &name);

// The style whose page list entry this is, if any.
std::optional<int> memoStyleByPageCaption(const QString &caption);

// What the style never prints, in a sentence: "Leaves out: company name, CC." or
// "Prints every field."; empty for no style.
QString styleLeavesOut(int style);
// The same sentence for the fields of those bits.
QString leavesOutSentence(unsigned leavesOut);

// The fields the memo's template leaves out: its own template's, else its style's.
unsigned leftOutFields(const MemoDetails &memo);
bool printsField(const MemoDetails &memo, const MemoField &field);

// The memo's style as the user knows it: "Blue Sky", or "Blue Sky (your template
// letterhead.dot)" when a template of the user's own stands in for the built-in one.
QString styleCaption(const MemoDetails &memo);

// What the memo's template leaves out of what was typed, such as "Blue Sky leaves out:
// company name, CC"; empty when nothing is lost.
QString leftOutNote(const MemoDetails &memo);

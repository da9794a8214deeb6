#pragma once

#include <QString>

#include <array>
#include <optional>

// The five memo styles in the order of the style buttons.
struct MemoStyle
{
    const char *caption; // the style button's caption
    const char *name; // how a script names it
    int resourceId; // its template among the "CUSTOM" resources
    bool fillsCC; // the template has bkCC
    bool fillsOrgName; // the template has bkOrgName
    const char *pageCaption; // the preview's page list entry
};

inline constexpr std::array<MemoStyle, 5> kMemoStyles { {
    { "Professional", "professional", 104, true, true, "ProfessionalMemo.dot" },
    { "Contemporary", "contemporary", 102, true, false, "ContemporaryMemo.dot" },
    { "Elegant", "elegant", 103, true, false, "ElegantMemo.dot" },
    { "Simple", "simple", 105, true, true, "SimpleMemo.dot" },
    { "Blue Sky", "blue-sky", 101, false, false, "BlueSkyMemo.dot" },
} };

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

// What bkOrgName receives: a space, then the name, or a stand-in when the name is blank.
QString organisationText(const QString &orgName);

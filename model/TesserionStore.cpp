#include "model/TesserionStore.h"

#include "model/ColorText.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <string_view>
#include <vector>

namespace tesser::model {

namespace {

constexpr std::string_view ListSection = "Tesserions";
constexpr std::string_view SectionPrefix = "Tesserion_";
constexpr std::string_view UnitsWords[] = {"Points", "Inches", "CM"};
constexpr std::string_view JustifyHWords[] = {"Left", "Center", "Right"};
constexpr std::string_view JustifyVWords[] = {"Top", "Center", "Bottom"};
constexpr std::string_view LayerWords[] = {"Foreground", "Background"};
constexpr std::string_view OddEvenWords[] = {"OddAndEven", "OddOnly", "EvenOnly"};

// The word of an enumeration value; any value other than 0 and 1 is the last word.
template <typename Enum, std::size_t N>
std::string_view WordOf(Enum value, const std::string_view (&words)[N]) {
    const auto index = static_cast<std::int32_t>(value);
    return words[index == 0 || index == 1 ? index : N - 1];
}

// Sets value to the enumeration member of word when it is one of words.
template <typename Enum, std::size_t N>
void ReadWord(const std::string& word, const std::string_view (&words)[N], Enum& value) {
    for (std::size_t i = 0; i < N; ++i) {
        if (word == words[i]) {
            value = static_cast<Enum>(i);
            return;
        }
    }
}

// The numbers k in 1..count that have a key written as "%d" in the list section, ascending. The
// keys that exist are walked, not every number up to Count: a Count of billions costs nothing.
std::vector<std::int32_t> ListedNumbers(Profile& profile, std::int32_t count) {
    std::vector<std::int32_t> numbers;
    const ProfileSections& sections = profile.Sections();
    const auto section = sections.find(ListSection);
    if (section == sections.end()) {
        return numbers;
    }
    for (const auto& [key, value] : section->second) {
        std::int32_t k = 0;
        const auto result = std::from_chars(key.data(), key.data() + key.size(), k);
        if (result.ec == std::errc() && result.ptr == key.data() + key.size() && k >= 1 &&
            k <= count && key == std::to_string(k)) {
            numbers.push_back(k);
        }
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

} // namespace

void LoadTesserions(Profile& profile, TesserionList& list) {
    const std::int32_t count = profile.GetInt(ListSection, "Count", 0);
    for (const std::int32_t k : ListedNumbers(profile, count)) {
        const std::string name = profile.GetTrimmedString(ListSection, std::to_string(k));
        if (name.empty()) {
            continue;
        }
        Tesserion t;
        t.Name = name;
        const std::string section = std::string(SectionPrefix) + name;
        t.Text = profile.GetEscapedString(section, "Text");
        ReadWord(profile.GetTrimmedString(section, "Units"), UnitsWords, t.Units);
        const std::string align = profile.GetString(section, "Align");
        ReadWord(profile.GetTrimmedString(section, "JustifyH", align), JustifyHWords, t.JustifyH);
        ReadWord(profile.GetTrimmedString(section, "JustifyV"), JustifyVWords, t.JustifyV);
        ReadWord(profile.GetTrimmedString(section, "Layer"), LayerWords, t.Layer);
        t.PosX = profile.GetDoubleInRange(section, "PosX", 0, -1000000, 1000000);
        t.PosY = profile.GetDoubleInRange(section, "PosY", 0, -1000000, 1000000);
        t.PosAngle = profile.GetDoubleInRange(section, "PosAngle", 0, -360, 360);
        t.FontFace = profile.GetTrimmedString(section, "FontFace", "Helvetica");
        t.FontSize = profile.GetDoubleInRange(section, "FontSize", 12, 1, 1000);
        t.FontLeading = profile.GetDoubleInRange(section, "FontLeading", 14, -1000, 1000);
        t.ColorName = profile.GetTrimmedString(section, "ColorName", "Black");
        t.ColorText = profile.GetEscapedString(section, "ColorText", "0.00");
        if (const ColorPreset* preset = FindColorPreset(t.ColorName)) {
            t.ColorSpace = preset->ColorSpace;
        }
        ParseColorText(t);
        t.Pages.PagesAll = profile.GetBool(section, "PagesAll", true);
        t.Pages.PagesRange = profile.GetEscapedString(section, "PagesRange");
        ReadWord(profile.GetTrimmedString(section, "PagesOddEven"), OddEvenWords,
                 t.Pages.PagesOddEven);
        list.Insert(t);
    }
}

int SaveTesserions(Profile& profile, const TesserionList& list) {
    int written = 0;
    int skipped = 0;
    for (const auto& [name, t] : list) {
        if (!IsStorableName(name)) {
            ++skipped;
            continue;
        }
        ++written;
        profile.SetString(ListSection, std::to_string(written), name);
        const std::string section = std::string(SectionPrefix) + name;
        profile.SetEscapedString(section, "Text", t.Text);
        profile.SetString(section, "Units", WordOf(t.Units, UnitsWords));
        profile.SetString(section, "JustifyH", WordOf(t.JustifyH, JustifyHWords));
        profile.SetString(section, "JustifyV", WordOf(t.JustifyV, JustifyVWords));
        profile.SetString(section, "Layer", WordOf(t.Layer, LayerWords));
        profile.SetDouble(section, "PosX", t.PosX);
        profile.SetDouble(section, "PosY", t.PosY);
        profile.SetDouble(section, "PosAngle", t.PosAngle);
        profile.SetString(section, "FontFace", t.FontFace);
        profile.SetDouble(section, "FontSize", t.FontSize);
        profile.SetDouble(section, "FontLeading", t.FontLeading);
        profile.SetString(section, "ColorName", t.ColorName);
        profile.SetEscapedString(section, "ColorText", t.ColorText);
        profile.SetBool(section, "PagesAll", t.Pages.PagesAll);
        profile.SetEscapedString(section, "PagesRange", t.Pages.PagesRange);
        profile.SetString(section, "PagesOddEven", WordOf(t.Pages.PagesOddEven, OddEvenWords));
    }
    profile.SetInt(ListSection, "Count", written);
    return skipped;
}

CustomColors LoadCustomColors(Profile& profile) {
    CustomColors colors{};
    for (std::size_t i = 0; i < colors.size(); ++i) {
        colors[i] = profile.GetIntInRange("Colors", std::to_string(i), 0, 0, 16777215);
    }
    return colors;
}

void SaveCustomColors(Profile& profile, const CustomColors& colors) {
    for (std::size_t i = 0; i < colors.size(); ++i) {
        profile.SetInt("Colors", std::to_string(i), std::clamp(colors[i], 0, 16777215));
    }
}

} // namespace tesser::model

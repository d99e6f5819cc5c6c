#include "model/TesserionStore.h"

#include "model/ColorText.h"
#include "model/TesserionFields.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <string_view>
#include <vector>

namespace tesser::model {

namespace {

constexpr std::string_view ListSection = "Tesserions";
constexpr std::string_view SectionPrefix = "Tesserion_";

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

// The Tesserion's fields from its section; a value that is missing or out of its range keeps the
// field's default, an unknown word too. The colour's space and values follow its name and text.
void ReadFields(Profile& profile, const std::string& section, Tesserion& t) {
    using Kind = TesserionField::FieldKind;
    for (const TesserionField& field : TesserionFields()) {
        if (field.Key.empty()) {
            continue;
        }
        switch (field.Kind) {
        case Kind::Text:
            field.TextOf(t) = profile.GetEscapedString(section, field.Key, field.TextOf(t));
            break;
        case Kind::Name:
            field.TextOf(t) = profile.GetTrimmedString(section, field.Key, field.TextOf(t));
            break;
        case Kind::Choice: {
            const std::string legacy = field.LegacyKey.empty()
                                           ? std::string()
                                           : profile.GetString(section, field.LegacyKey);
            field.ReadWord(t, profile.GetTrimmedString(section, field.Key, legacy));
            break;
        }
        case Kind::Number:
            field.NumberOf(t) = profile.GetDoubleInRange(section, field.Key, field.NumberOf(t),
                                                         field.Minimum, field.Maximum);
            break;
        case Kind::Flag:
            field.FlagOf(t) = profile.GetBool(section, field.Key, field.FlagOf(t));
            break;
        }
    }
    if (const ColorPreset* preset = FindColorPreset(t.ColorName)) {
        t.ColorSpace = preset->ColorSpace;
    }
    ParseColorText(t);
}

void WriteFields(Profile& profile, const std::string& section, const Tesserion& t) {
    using Kind = TesserionField::FieldKind;
    for (const TesserionField& field : TesserionFields()) {
        if (field.Key.empty()) {
            continue;
        }
        switch (field.Kind) {
        case Kind::Text:
            profile.SetEscapedString(section, field.Key, field.TextIn(t));
            break;
        case Kind::Name:
            profile.SetString(section, field.Key, field.TextIn(t));
            break;
        case Kind::Choice:
            profile.SetString(section, field.Key, field.WordIn(t));
            break;
        case Kind::Number:
            profile.SetDouble(section, field.Key, field.NumberIn(t));
            break;
        case Kind::Flag:
            profile.SetBool(section, field.Key, field.FlagIn(t));
            break;
        }
    }
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
        ReadFields(profile, section, t);
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
        WriteFields(profile, std::string(SectionPrefix) + name, t);
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

#include "cli/ProfileAccess.h"

#include "model/TesserionStore.h"
#include "model/TextEncoding.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

namespace tesser::cli {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kSectionPrefix = "Tesserion_";

bool HasHighBytes(std::string_view bytes) {
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// Whether bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool IsUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        char32_t minimum = 0;
        char32_t code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            length = 2, minimum = 0x80, code = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3, minimum = 0x800, code = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4, minimum = 0x10000, code = c & 0x07;
        } else {
            return false;
        }
        if (i + length > bytes.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3F);
        }
        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] =
                std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

} // namespace

LoadedProfile LoadProfile(model::Profile& profile, const std::optional<std::string>& given) {
    LoadedProfile loaded;
    loaded.Path = given ? fs::path(*given) : model::DefaultProfilePath();
    if (given) {
        profile.SetPath(loaded.Path);
    } else {
        profile.SetFileName(model::ProfileFileName);
    }
    std::error_code error;
    loaded.Exists = fs::exists(loaded.Path, error);
    if (!loaded.Exists) {
        if (given) {
            throw ProfileError("no profile at " + loaded.Path.string() + " (no such file)");
        }
        profile.LoadText({});
        return loaded;
    }
    std::ifstream in(loaded.Path, std::ios::binary);
    if (!in || fs::is_directory(loaded.Path, error)) {
        throw ProfileError("cannot read the profile " + loaded.Path.string());
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const bool bom = bytes.rfind(kBom, 0) == 0;
    if (bom || (HasHighBytes(bytes) && IsUtf8(bytes))) {
        const std::string_view text = std::string_view(bytes).substr(bom ? kBom.size() : 0);
        try {
            bytes = model::Utf8ToWindows1252(text);
        } catch (const model::TextEncodingError& e) {
            throw ProfileError(
                "the profile " + loaded.Path.string() +
                " is written in UTF-8 and cannot be read as Windows-1252: " + e.what() +
                "; remove that character, or save the file as "
                "Windows-1252 (iconv -f UTF-8 -t WINDOWS-1252)");
        }
        loaded.WasUtf8 = true;
        loaded.Notes.push_back(loaded.Path.string() +
                               ": read as UTF-8; a profile is Windows-1252, and tesser writes "
                               "it back so when it saves");
    }
    profile.LoadText(bytes);
    model::LoadTesserions(profile, loaded.Tesserions);

    const model::ProfileSections sections = model::ParseProfileText(bytes);
    for (const auto& [section, keys] : sections) {
        if (section.rfind(kSectionPrefix, 0) != 0) {
            continue;
        }
        const std::string name = section.substr(kSectionPrefix.size());
        if (!loaded.Tesserions.Contains(name)) {
            loaded.Notes.push_back(
                loaded.Path.string() + ": the section [" + model::Windows1252ToUtf8(section) +
                "] is not listed in [Tesserions] and is ignored; list it there (a key N=" +
                model::Windows1252ToUtf8(name) + " and Count raised to N)");
        }
    }
    return loaded;
}

void SaveProfile(model::Profile& profile, const model::TesserionList& list,
                 const model::TesserionList& old) {
    std::set<std::string, std::less<>> replaced = {"Tesserions"};
    for (const auto& [name, t] : old) {
        replaced.insert(std::string(kSectionPrefix) + name);
    }
    for (const auto& [name, t] : list) {
        replaced.insert(std::string(kSectionPrefix) + name);
    }
    const model::ProfileSections kept = profile.Sections();
    profile.Clear();
    for (const auto& [section, keys] : kept) {
        if (replaced.count(section) != 0) {
            continue;
        }
        profile.GetString(section, {}); // an empty section stays, as its header
        for (const auto& [key, value] : keys) {
            profile.SetString(section, key, value);
        }
    }
    model::SaveTesserions(profile, list);
    std::string failure;
    const model::ProfileMessageSink previous = model::SetProfileMessageSink(
        [&failure](const std::string&, const std::string& text) { failure = text; });
    const bool saved = profile.Save();
    model::SetProfileMessageSink(previous);
    if (!saved) {
        throw ProfileError(failure.empty() ? "the profile could not be written" : failure);
    }
}

const model::Tesserion& FindTesserion(const LoadedProfile& loaded, const std::string& name) {
    if (const model::Tesserion* found = loaded.Tesserions.Find(name)) {
        return *found;
    }
    const std::string shown = model::Windows1252ToUtf8(name);
    if (!loaded.Exists) {
        throw ProfileError("no Tesserion named \"" + shown + "\": there is no profile at " +
                           loaded.Path.string() +
                           " (define one with --text ... --save-as NAME, or give -p FILE)");
    }
    // The nearest name: the same but for letter case first, else one a typing slip away.
    std::string best;
    std::size_t bestDistance = 3;
    for (const auto& [candidate, t] : loaded.Tesserions) {
        const std::size_t distance =
            Lower(candidate) == Lower(name) ? 0 : EditDistance(Lower(candidate), Lower(name));
        if (distance < bestDistance && distance <= std::max<std::size_t>(1, name.size() / 3)) {
            best = candidate;
            bestDistance = distance;
        }
    }
    std::string message = "no Tesserion named \"" + shown + "\" in " + loaded.Path.string();
    message += best.empty() ? " (see tesser --list)"
                            : "; did you mean \"" + model::Windows1252ToUtf8(best) + "\"?";
    throw ProfileError(message);
}

} // namespace tesser::cli

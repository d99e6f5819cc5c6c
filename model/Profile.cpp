#include "model/Profile.h"

#include "fileio/UniqueFd.h"
#include "model/AtomicFile.h"
#include "model/NumberText.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <iostream>
#include <pwd.h>
#include <unistd.h>

namespace tesser::model {

namespace fs = std::filesystem;

namespace {

ProfileMessageSink& Sink() {
    static ProfileMessageSink sink;
    return sink;
}

void Tell(const std::string& title, const std::string& text) {
    if (Sink()) {
        Sink()(title, text);
    } else {
        std::cerr << title << ": " << text << std::endl;
    }
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsWhiteSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsWhiteSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'a' && x <= 'z') {
            x = static_cast<char>(x - 'a' + 'A');
        }
        if (y >= 'a' && y <= 'z') {
            y = static_cast<char>(y - 'a' + 'A');
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

std::int32_t ReadInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsWhiteSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulated as a magnitude up to one past INT32_MAX, so both ends saturate exactly.
    constexpr std::int64_t limit = std::int64_t{INT32_MAX} + 1;
    std::int64_t magnitude = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        magnitude = std::min<std::int64_t>(limit, magnitude * 10 + (text[i] - '0'));
        ++i;
    }
    if (negative) {
        return static_cast<std::int32_t>(-magnitude);
    }
    return static_cast<std::int32_t>(std::min<std::int64_t>(magnitude, INT32_MAX));
}

// False when the file cannot be opened or read to its end (a folder, say).
bool ReadWholeFile(const fs::path& path, std::string& bytes) {
    const fileio::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        return false;
    }
    char buffer[65536];
    bool ok = true;
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return ok;
}

fs::path HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
        return entry->pw_dir;
    }
    return ".";
}

} // namespace

fs::path DefaultProfileFolder() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr) {
        const fs::path folder(config);
        if (folder.is_absolute()) {
            return folder;
        }
    }
    return HomeFolder() / ".config";
}

fs::path DefaultProfilePath() {
    return DefaultProfileFolder() / ProfileFileName;
}

ProfileMessageSink SetProfileMessageSink(ProfileMessageSink sink) {
    ProfileMessageSink previous = std::move(Sink());
    Sink() = std::move(sink);
    return previous;
}

ProfileSections ParseProfileText(std::string_view bytes) {
    ProfileSections sections;
    ProfileKeys* current = nullptr;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            continue;
        }
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            if (close != std::string_view::npos) {
                current = &sections[std::string(line.substr(1, close - 1))];
            }
        }
        const std::size_t equals = line.find('=');
        if (equals != std::string_view::npos && current != nullptr) {
            (*current)[std::string(line.substr(0, equals))] = std::string(line.substr(equals + 1));
        }
    }
    return sections;
}

std::string FormatProfileText(const ProfileSections& sections) {
    std::string text;
    for (const auto& [name, keys] : sections) {
        text += '[';
        text += name;
        text += "]\r\n";
        for (const auto& [key, value] : keys) {
            text += key;
            text += '=';
            text += value;
            text += "\r\n";
        }
        text += "\r\n";
    }
    return text;
}

std::string EscapeProfileText(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        if (c == '\\') {
            escaped += "\\\\";
        } else if (c == '\n') {
            escaped += "\\n";
        } else if (c == '\r') {
            escaped += "\\r";
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::string UnescapeProfileText(std::string_view text) {
    std::string plain;
    plain.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            plain += text[i];
        } else if (i + 1 < text.size()) {
            const char next = text[++i];
            plain += next == 'n' ? '\n' : (next == 'r' ? '\r' : next);
        }
    }
    return plain;
}

Profile::Profile(fs::path path) : path_(std::move(path)) {}

Profile::~Profile() {
    try {
        Save();
    } catch (...) {
        // A destructor must not throw; Save reports its own failures.
    }
}

void Profile::SetFileName(std::string_view name) {
    path_ = DefaultProfileFolder() / fs::path(name).filename();
    createFolder_ = true;
}

void Profile::SetPath(fs::path path) {
    path_ = std::move(path);
    createFolder_ = false;
}

void Profile::LoadText(std::string_view bytes) {
    sections_ = ParseProfileText(bytes);
    loaded_ = true;
}

void Profile::LoadIfNeeded() {
    if (loaded_) {
        return;
    }
    loaded_ = true;
    if (path_.empty()) {
        return;
    }
    std::string bytes;
    if (ReadWholeFile(path_, bytes)) {
        sections_ = ParseProfileText(bytes);
    }
}

const ProfileSections& Profile::Sections() {
    LoadIfNeeded();
    return sections_;
}

ProfileKeys& Profile::SectionFor(std::string_view section) {
    LoadIfNeeded();
    auto it = sections_.find(section);
    if (it == sections_.end()) {
        it = sections_.emplace(std::string(section), ProfileKeys{}).first;
    }
    return it->second;
}

const std::string* Profile::Find(std::string_view section, std::string_view key) {
    const ProfileKeys& keys = SectionFor(section);
    const auto it = keys.find(key);
    return it == keys.end() ? nullptr : &it->second;
}

std::string Profile::GetString(std::string_view section, std::string_view key,
                               std::string_view fallback) {
    const std::string* value = Find(section, key);
    return value != nullptr ? *value : std::string(fallback);
}

std::string Profile::GetTrimmedString(std::string_view section, std::string_view key,
                                      std::string_view fallback) {
    const std::string* value = Find(section, key);
    return std::string(Trim(value != nullptr ? std::string_view(*value) : fallback));
}

std::string Profile::GetEscapedString(std::string_view section, std::string_view key,
                                      std::string_view fallback) {
    const std::string* value = Find(section, key);
    return UnescapeProfileText(value != nullptr ? std::string_view(*value) : fallback);
}

bool Profile::GetBool(std::string_view section, std::string_view key, bool fallback) {
    const std::string* value = Find(section, key);
    if (value == nullptr) {
        return fallback;
    }
    const std::string_view text = Trim(*value);
    if (EqualsIgnoringCase(text, "TRUE")) {
        return true;
    }
    if (EqualsIgnoringCase(text, "FALSE")) {
        return false;
    }
    return fallback;
}

std::int32_t Profile::GetInt(std::string_view section, std::string_view key,
                             std::int32_t fallback) {
    const std::string* value = Find(section, key);
    return value != nullptr ? ReadInt(Trim(*value)) : fallback;
}

std::int32_t Profile::GetIntInRange(std::string_view section, std::string_view key,
                                    std::int32_t fallback, std::int32_t minimum,
                                    std::int32_t maximum) {
    const std::int32_t value = GetInt(section, key, fallback);
    if (value < minimum) {
        return minimum;
    }
    if (value > maximum) {
        return maximum;
    }
    return value;
}

double Profile::GetDouble(std::string_view section, std::string_view key, double fallback) {
    const std::string* value = Find(section, key);
    return value != nullptr ? ReadNumber(Trim(*value)).Value : fallback;
}

double Profile::GetDoubleInRange(std::string_view section, std::string_view key, double fallback,
                                 double minimum, double maximum) {
    const double value = GetDouble(section, key, fallback);
    if (!(value >= minimum)) {
        return minimum;
    }
    if (value > maximum) {
        return maximum;
    }
    return value;
}

void Profile::SetString(std::string_view section, std::string_view key, std::string_view value) {
    ProfileKeys& keys = SectionFor(section);
    auto it = keys.find(key);
    if (it == keys.end()) {
        it = keys.emplace(std::string(key), std::string()).first;
    }
    it->second.assign(value);
    changed_ = true;
}

void Profile::SetEscapedString(std::string_view section, std::string_view key,
                               std::string_view value) {
    SetString(section, key, EscapeProfileText(value));
}

void Profile::SetBool(std::string_view section, std::string_view key, bool value) {
    SetString(section, key, value ? "TRUE" : "FALSE");
}

void Profile::SetInt(std::string_view section, std::string_view key, std::int32_t value) {
    SetString(section, key, std::to_string(value));
}

void Profile::SetDouble(std::string_view section, std::string_view key, double value) {
    SetString(section, key, FormatFixed6(value));
}

void Profile::Clear() {
    sections_.clear();
    loaded_ = true;
    changed_ = false;
}

bool Profile::Save() {
    if (!changed_) {
        return true;
    }
    changed_ = false;
    if (createFolder_ && !path_.parent_path().empty()) {
        std::error_code ignored; // a folder that cannot be made shows up as the open failure
        fs::create_directories(path_.parent_path(), ignored);
    }
    const AtomicWriteResult result =
        path_.empty() ? AtomicWriteResult{AtomicWriteStatus::CannotOpen, "no path"}
                      : WriteFileAtomically(path_, FormatProfileText(sections_));
    if (result) {
        return true;
    }
    const std::string prefix = result.Status == AtomicWriteStatus::CannotOpen
                                   ? "File could not be opened for writing: "
                                   : "File could not be written: ";
    Tell("Error saving profile", prefix + path_.string());
    return false;
}

} // namespace tesser::model

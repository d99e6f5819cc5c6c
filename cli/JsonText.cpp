#include "cli/JsonText.h"

#include <cstdio>

namespace tesser::cli {

// The length of the valid UTF-8 sequence at text[at], or 0 (a stray byte, an overlong form, a
// surrogate, a value beyond U+10FFFF, a cut sequence).
std::size_t Utf8SequenceAt(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        return 1;
    }
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || at + length > text.size()) {
        return 0;
    }
    char32_t value = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (byte(at + i) & 0x3F);
    }
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < least[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    return length;
}

bool IsUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t n = Utf8SequenceAt(text, at);
        if (n == 0) {
            return false;
        }
        at += n;
    }
    return true;
}

// A JSON string of text: valid UTF-8 as it is, control characters escaped, and each byte that
// is not part of valid UTF-8 as U+FFFD (the JSON output says so with the bytes beside it).
std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t n = Utf8SequenceAt(text, at);
        if (n == 0) {
            out += "\uFFFD";
            ++at;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(text[at]);
        if (n > 1) {
            out.append(text, at, n);
        } else if (c == '"') {
            out += "\\\"";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else {
            out += static_cast<char>(c);
        }
        at += n;
    }
    return out + "\"";
}

// A path as JSON members: "path", and for a name that is not UTF-8 also "path_bytes", its
// bytes in hexadecimal, from which a script gets the name exactly.
std::string JsonPath(const std::string& path) {
    std::string members = "\"path\": " + JsonString(path);
    if (!IsUtf8(path)) {
        members += ", \"path_bytes\": \"";
        for (const char c : path) {
            char buffer[4];
            std::snprintf(buffer, sizeof buffer, "%02x", static_cast<unsigned char>(c));
            members += buffer;
        }
        members += "\"";
    }
    return members;
}

// Texts as a JSON array's elements.
std::string JsonList(const std::vector<std::string>& texts) {
    std::string list;
    for (const std::string& text : texts) {
        list += (list.empty() ? "" : ", ") + JsonString(text);
    }
    return list;
}

std::string JsonStart(const std::string& mode) {
    return "{\"tesser_json\": 1, \"version\": " + JsonString(kVersionText) +
           ", \"mode\": " + JsonString(mode);
}

} // namespace tesser::cli

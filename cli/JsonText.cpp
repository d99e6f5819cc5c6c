#include "cli/JsonText.h"

#include "model/TextEncoding.h"

#include <cstdio>

namespace tesser::cli {

// The length of the valid UTF-8 sequence at text[at], or 0 (a stray byte, an overlong form, a
// surrogate, a value beyond U+10FFFF, a cut sequence).
std::size_t Utf8SequenceAt(std::string_view text, std::size_t at) {
    const std::optional<model::Utf8Sequence> sequence = model::DecodeUtf8(text.substr(at));
    return sequence ? sequence->Length : 0;
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

// JSON text for tesser's --json output: strings that are valid UTF-8 whatever the bytes given,
// paths with their exact bytes beside, and the members every object starts with.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tesser::cli {

// The version, from the project's (CMake sets TESSER_VERSION).
inline constexpr const char* kVersionText = TESSER_VERSION;

// The length of the valid UTF-8 sequence at text[at], or 0.
std::size_t Utf8SequenceAt(std::string_view text, std::size_t at);
bool IsUtf8(std::string_view text);

// A JSON string: valid UTF-8 kept, control characters escaped, a stray byte as U+FFFD.
std::string JsonString(const std::string& text);
// "path": ..., and "path_bytes": HEX for a path that is not UTF-8.
std::string JsonPath(const std::string& path);
// The elements of a JSON array of strings, without the brackets.
std::string JsonList(const std::vector<std::string>& texts);
// The members every object of --json starts with: "tesser_json": 1, "version", "mode".
std::string JsonStart(const std::string& mode);

} // namespace tesser::cli

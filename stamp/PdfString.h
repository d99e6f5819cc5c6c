// PDF literal strings for the text operators of a stamp.
#pragma once

#include <string>
#include <string_view>

namespace tesser::stamp {

// The literal string for text, parentheses included: "(", ")" and backslash get a backslash in
// front; 0x20-0x7E and 0xA0-0xFF stay as they are; every other byte (controls, 0x7F, 0x80-0x9F)
// is written as a backslash and three octal digits. So a tab gives \011, 0x80 gives \200, and
// 0xE9 stays 0xE9. No host is involved.
std::string EscapePdfLiteral(std::string_view text);

// EscapePdfLiteral, then passed through the host's TranslateText in place; the result ends at
// its first NUL byte. TranslateText is not guarded: a host error there throws HostError.
std::string EscapePdfString(std::string_view text);

} // namespace tesser::stamp

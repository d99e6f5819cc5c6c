#include "cli/TerminalText.h"

namespace tesser::cli {

std::string Shown(std::string_view text, bool keepLineBreaks) {
    static const char* const kHex = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            out += c;
            continue;
        }
        switch (c) {
        case '\n':
            out += keepLineBreaks ? "\n" : "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\x1b':
            out += "\\e";
            break;
        default:
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        }
    }
    return out;
}

} // namespace tesser::cli

#include "stamp/PdfString.h"

#include "hostcalls/HostCalls.h"

namespace tesser::stamp {

std::string EscapePdfLiteral(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('(');
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '(' || c == ')' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if ((b >= 0x20 && b <= 0x7E) || b >= 0xA0) {
            out.push_back(c);
        } else {
            out.push_back('\\');
            out.push_back(static_cast<char>('0' + ((b >> 6) & 7)));
            out.push_back(static_cast<char>('0' + ((b >> 3) & 7)));
            out.push_back(static_cast<char>('0' + (b & 7)));
        }
    }
    out.push_back(')');
    return out;
}

std::string EscapePdfString(std::string_view text) {
    std::string out = EscapePdfLiteral(text);
    hostcalls::TranslateText(out.data(), out.data(), out.size());
    const auto nul = out.find('\0');
    if (nul != std::string::npos) {
        out.resize(nul);
    }
    return out;
}

} // namespace tesser::stamp

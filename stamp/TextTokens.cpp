#include "stamp/TextTokens.h"

#include "hostcalls/Guarded.h"
#include "model/TextEncoding.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>

namespace tesser::stamp {

bool HostFieldSource::PageNumber(std::int64_t& number) {
    int32_t index = 0;
    if (!hostcalls::guarded::GetPageNumber(page_, index)) {
        return false;
    }
    number = static_cast<std::int64_t>(index) + 1;
    return true;
}

bool HostFieldSource::PageCount(std::int64_t& count) {
    int32_t n = 0;
    if (!hostcalls::guarded::GetPageCount(doc_, n)) {
        return false;
    }
    count = n;
    return true;
}

void HostFieldSource::Alert(const std::string& message) {
    if (shown_ != nullptr && !shown_->insert(message).second) {
        return;
    }
    hostcalls::ShowAlert(kHAlertError, message, "OK");
}

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The whole of text as a decimal integer in the manner of strtol; false when it is empty, has
// no digits or has anything after them. Values beyond the 64-bit range saturate, as strtol does.
bool ReadWholeInteger(std::string_view text, std::int64_t& value) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t digitsStart = i;
    std::int64_t v = 0;
    bool saturated = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int d = text[i] - '0';
        if (!saturated && (__builtin_mul_overflow(v, 10, &v) || __builtin_add_overflow(v, d, &v))) {
            saturated = true;
        }
    }
    if (i == digitsStart || i != text.size()) {
        return false;
    }
    if (saturated) {
        value = negative ? INT64_MIN : INT64_MAX;
    } else {
        value = negative ? -v : v;
    }
    return true;
}

std::int64_t SaturatingAdd(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) {
        return b > 0 ? INT64_MAX : INT64_MIN;
    }
    return sum;
}

std::string ExpandTime(const std::string& name, std::string format, FieldSource& fields,
                       std::time_t runTime, bool& ok) {
    const bool utc = name.size() >= 3 && name.compare(name.size() - 3, 3, "UTC") == 0;
    std::tm broken{};
    if (utc) {
        if (gmtime_r(&runTime, &broken) == nullptr) {
            fields.Alert("Coordinated Universal Time is not available");
            ok = false;
            return {};
        }
    } else if (localtime_r(&runTime, &broken) == nullptr) {
        // The local breakdown has no message of its own; a run time too far out for it cannot
        // be shown, which is what the length message says best.
        fields.Alert("Time value too long");
        ok = false;
        return {};
    }
    if (format.empty()) {
        format = name.rfind("Time", 0) == 0 ? "%X" : "%x";
    }
    std::array<char, 1000> buffer{};
    const std::size_t length = std::strftime(buffer.data(), buffer.size(), format.c_str(), &broken);
    if (length == 0) {
        fields.Alert("Time value too long");
        ok = false;
        return {};
    }
    // strftime writes in the character set of the time locale, which need not be the one of
    // LC_CTYPE.
    const std::string_view formatted(buffer.data(), length);
    const char* charset = nl_langinfo(_NL_TIME_CODESET);
    if (charset == nullptr || *charset == '\0') {
        charset = "ANSI_X3.4-1968";
    }
    std::string converted;
    if (std::strcmp(charset, "UTF-8") == 0) {
        try {
            converted = model::Utf8ToWindows1252(formatted);
        } catch (const model::TextEncodingError& e) {
            // The alert is Windows-1252 text: the character itself cannot be in it.
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(e.CodePoint()));
            fields.Alert("The " + name + " field cannot be written into the page: the character " +
                         code + " of the locale's text has no Windows-1252 form");
            ok = false;
            return {};
        }
    } else if (!ConvertToWindows1252(formatted, charset, converted)) {
        fields.Alert("The " + name +
                     " field cannot be written into the page: it has characters "
                     "with no Windows-1252 form");
        ok = false;
        return {};
    }
    return converted;
}

} // namespace

bool ConvertToWindows1252(std::string_view bytes, const char* charset, std::string& out) {
    out.clear();
    if (bytes.empty()) {
        return true;
    }
    iconv_t cd = iconv_open("WINDOWS-1252", charset);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    std::string input(bytes);
    out.resize(bytes.size()); // Windows-1252 never needs more bytes than any source set
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* o = out.data();
    std::size_t outLeft = out.size();
    const std::size_t result = iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    if (result == static_cast<std::size_t>(-1) || inLeft != 0) {
        out.clear();
        return false;
    }
    out.resize(out.size() - outLeft);
    return true;
}

std::string ExpandToken(std::string_view text, std::size_t& pos, FieldSource& fields,
                        std::time_t runTime, bool& ok) {
    std::string name;
    bool hasFormat = false;
    while (pos < text.size()) {
        const char c = text[pos++];
        if (c == ':') {
            hasFormat = true;
            break;
        }
        if (c == '>' || c == '\n' || c == '\r') {
            break;
        }
        name.push_back(c);
    }

    std::string format;
    if (hasFormat) {
        while (pos < text.size()) {
            const char c = text[pos++];
            if (c == '>' || c == '\n' || c == '\r') {
                break;
            }
            if (c == '\\' && pos < text.size()) {
                format.push_back(text[pos++]);
            } else {
                format.push_back(c);
            }
        }
    }

    if (name == "PageNumber" || name == "PageCount") {
        std::int64_t number = 0;
        if (ok) {
            ok = name == "PageNumber" ? fields.PageNumber(number) : fields.PageCount(number);
        }
        std::int64_t offset = 0;
        if (ReadWholeInteger(format, offset)) {
            number = SaturatingAdd(number, offset);
        }
        return std::to_string(number);
    }
    if (name == "Date" || name == "Time" || name == "DateUTC" || name == "TimeUTC") {
        return ExpandTime(name, std::move(format), fields, runTime, ok);
    }
    return {};
}

} // namespace tesser::stamp

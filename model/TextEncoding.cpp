#include "model/TextEncoding.h"

#include <cerrno>
#include <cstdio>
#include <iconv.h>
#include <optional>
#include <system_error>

namespace tesser::model {

namespace {

bool IsUndefinedWindows1252(unsigned value) {
    return value == 0x81 || value == 0x8D || value == 0x8F || value == 0x90 || value == 0x9D;
}

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw std::system_error(errno, std::generic_category(),
                                    std::string("iconv cannot convert from ") + from + " to " + to);
        }
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts as much of input as it can, appending to output. Returns the number of input bytes
    // consumed; error is 0 when all were, else the iconv errno (EILSEQ, EINVAL).
    std::size_t Convert(std::string_view input, std::string& output, int& error) {
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        error = 0;
        while (inLeft > 0) {
            char buffer[1024];
            char* out = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t result = iconv(cd_, &in, &inLeft, &out, &outLeft);
            output.append(buffer, static_cast<std::size_t>(out - buffer));
            if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
                error = errno;
                break;
            }
        }
        return input.size() - inLeft;
    }

private:
    iconv_t cd_;
};

} // namespace

std::optional<Utf8Sequence> DecodeUtf8(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    const auto b0 = static_cast<unsigned char>(text[0]);
    std::size_t length;
    char32_t cp;
    if (b0 < 0x80) {
        return Utf8Sequence{b0, 1};
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        cp = b0 & 0x07;
    } else {
        return std::nullopt;
    }
    if (text.size() < length) {
        return std::nullopt;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if ((b & 0xC0) != 0x80) {
            return std::nullopt;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    const bool overlong = (length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000);
    if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return std::nullopt;
    }
    return Utf8Sequence{cp, length};
}

namespace {

std::string CodePointName(char32_t cp) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(cp));
    return buffer;
}

} // namespace

std::string Utf8ToWindows1252(std::string_view utf8) {
    Converter converter("WINDOWS-1252", "UTF-8");
    std::string output;
    output.reserve(utf8.size());
    std::size_t offset = 0;
    while (offset < utf8.size()) {
        int error = 0;
        offset += converter.Convert(utf8.substr(offset), output, error);
        if (error == 0) {
            break;
        }
        const std::optional<Utf8Sequence> decoded = DecodeUtf8(utf8.substr(offset));
        if (!decoded) {
            throw TextEncodingError(
                "The text is not valid UTF-8 at byte " + std::to_string(offset + 1), 0, offset);
        }
        if (!IsUndefinedWindows1252(decoded->CodePoint)) {
            throw TextEncodingError("The character " + CodePointName(decoded->CodePoint) +
                                        " \u201C" +
                                        std::string(utf8.substr(offset, decoded->Length)) +
                                        "\u201D has no Windows-1252 form",
                                    decoded->CodePoint, offset);
        }
        output += static_cast<char>(decoded->CodePoint);
        offset += decoded->Length;
    }
    return output;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
    Converter converter("UTF-8", "WINDOWS-1252");
    std::string output;
    output.reserve(bytes.size() + bytes.size() / 2);
    std::size_t offset = 0;
    while (offset < bytes.size()) {
        int error = 0;
        offset += converter.Convert(bytes.substr(offset), output, error);
        if (error == 0) {
            break;
        }
        // Only the five undefined bytes stop the conversion; keep them as the C1 controls of the
        // same value, so that nothing is lost.
        const auto byte = static_cast<unsigned char>(bytes[offset]);
        output += static_cast<char>(0xC0 | (byte >> 6));
        output += static_cast<char>(0x80 | (byte & 0x3F));
        ++offset;
    }
    return output;
}

} // namespace tesser::model

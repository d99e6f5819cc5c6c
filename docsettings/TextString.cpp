#include "docsettings/TextString.h"

#include "model/TextEncoding.h"

#include <array>
#include <cstdint>
#include <vector>

namespace tesser::docsettings {

namespace {

// Windows-1252 0x80-0x9F. The five undefined bytes stand for the C1 controls of the same value.
constexpr std::array<char32_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98
};

// PDFDocEncoding where it differs from Latin-1: 0x18-0x1F and 0x80-0xA0. 0x9F is undefined.
constexpr std::array<char32_t, 8> kPdfDocAccents = {
    0x02D8, 0x02C7, 0x02C6, 0x02D9, 0x02DD, 0x02DB, 0x02DA, 0x02DC, // 18
};
constexpr std::array<char32_t, 33> kPdfDocHigh = {
    0x2022, 0x2020, 0x2021, 0x2026, 0x2014, 0x2013, 0x0192, 0x2044, // 80
    0x2039, 0x203A, 0x2212, 0x2030, 0x201E, 0x201C, 0x201D, 0x2018, // 88
    0x2019, 0x201A, 0x2122, 0xFB01, 0xFB02, 0x0141, 0x0152, 0x0160, // 90
    0x0178, 0x017D, 0x0131, 0x0142, 0x0153, 0x0161, 0x017E, 0x009F, // 98
    0x20AC,                                                         // A0
};

char32_t FromWindows1252(unsigned char byte) {
    return byte >= 0x80 && byte <= 0x9F ? kWindows1252High[byte - 0x80] : byte;
}

// The Windows-1252 byte of a character, or -1.
int ToWindows1252(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<int>(c);
    }
    for (std::size_t i = 0; i < kWindows1252High.size(); ++i) {
        if (kWindows1252High[i] == c) {
            return static_cast<int>(0x80 + i);
        }
    }
    return -1;
}

// The character a reader takes a PDFDocEncoding byte for; undefined codes as Latin-1.
char32_t FromPdfDoc(unsigned char byte) {
    if (byte >= 0x18 && byte <= 0x1F) {
        return kPdfDocAccents[byte - 0x18];
    }
    if (byte >= 0x80 && byte <= 0xA0) {
        return kPdfDocHigh[byte - 0x80];
    }
    return byte;
}

// The PDFDocEncoding byte of a character, or -1 (also for the codes the encoding leaves undefined).
int ToPdfDoc(char32_t c) {
    if (c == 0x09 || c == 0x0A || c == 0x0D || (c >= 0x20 && c <= 0x7E) ||
        (c >= 0xA1 && c <= 0xFF && c != 0xAD)) {
        return static_cast<int>(c);
    }
    for (std::size_t i = 0; i < kPdfDocAccents.size(); ++i) {
        if (kPdfDocAccents[i] == c) {
            return static_cast<int>(0x18 + i);
        }
    }
    for (std::size_t i = 0; i < kPdfDocHigh.size(); ++i) {
        if (kPdfDocHigh[i] == c && c != 0x009F) {
            return static_cast<int>(0x80 + i);
        }
    }
    return -1;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

constexpr std::string_view kUtf16Mark = "\xFE\xFF";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

std::optional<std::vector<char32_t>> DecodeUtf16(std::string_view bytes) {
    if (bytes.size() % 2 != 0) {
        return std::nullopt;
    }
    std::vector<char32_t> text;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        const char32_t unit =
            (static_cast<unsigned char>(bytes[i]) << 8) | static_cast<unsigned char>(bytes[i + 1]);
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return std::nullopt;
        }
        if (unit < 0xD800 || unit > 0xDBFF) {
            text.push_back(unit);
            continue;
        }
        if (i + 3 >= bytes.size()) {
            return std::nullopt;
        }
        const char32_t low = (static_cast<unsigned char>(bytes[i + 2]) << 8) |
                             static_cast<unsigned char>(bytes[i + 3]);
        if (low < 0xDC00 || low > 0xDFFF) {
            return std::nullopt;
        }
        text.push_back(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
    }
    return text;
}

} // namespace

std::string EncodeTextString(std::string_view windows1252) {
    std::string pdfDoc;
    bool fits = true;
    for (const char byte : windows1252) {
        const int code = ToPdfDoc(FromWindows1252(static_cast<unsigned char>(byte)));
        if (code < 0) {
            fits = false;
            break;
        }
        pdfDoc.push_back(static_cast<char>(code));
    }
    if (fits && !StartsWith(pdfDoc, kUtf16Mark) && !StartsWith(pdfDoc, kUtf8Mark)) {
        return pdfDoc;
    }
    // Every Windows-1252 character is in the Basic Multilingual Plane: one unit each.
    std::string utf16(kUtf16Mark);
    for (const char byte : windows1252) {
        const char32_t c = FromWindows1252(static_cast<unsigned char>(byte));
        utf16.push_back(static_cast<char>(c >> 8));
        utf16.push_back(static_cast<char>(c & 0xFF));
    }
    return utf16;
}

std::optional<std::string> DecodeTextString(std::string_view bytes) {
    if (StartsWith(bytes, kUtf8Mark)) {
        try {
            return model::Utf8ToWindows1252(bytes.substr(kUtf8Mark.size()));
        } catch (const model::TextEncodingError&) {
            return std::nullopt;
        }
    }
    std::vector<char32_t> text;
    if (StartsWith(bytes, kUtf16Mark)) {
        std::optional<std::vector<char32_t>> decoded = DecodeUtf16(bytes.substr(kUtf16Mark.size()));
        if (!decoded) {
            return std::nullopt;
        }
        text = std::move(*decoded);
    } else {
        for (const char byte : bytes) {
            text.push_back(FromPdfDoc(static_cast<unsigned char>(byte)));
        }
    }
    std::string windows1252;
    windows1252.reserve(text.size());
    for (const char32_t c : text) {
        const int code = ToWindows1252(c);
        if (code < 0) {
            return std::nullopt;
        }
        windows1252.push_back(static_cast<char>(code));
    }
    return windows1252;
}

} // namespace tesser::docsettings

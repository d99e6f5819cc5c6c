#include "app/TextConversion.h"

#include <array>

namespace tesser::app {

namespace {

// 0x80..0x9F; 0 where Windows-1252 leaves the byte undefined (shown as the C1 control).
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

} // namespace

QString FromWindows1252(const std::string& bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        char16_t u = b;
        if (b >= 0x80 && b <= 0x9F && kHigh[b - 0x80] != 0) {
            u = kHigh[b - 0x80];
        }
        text.append(QChar(u));
    }
    return text;
}

std::string ToWindows1252(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<size_t>(text.size()));
    for (QChar ch : text) {
        char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            bytes.push_back(static_cast<char>(u));
            continue;
        }
        char out = '?';
        for (size_t i = 0; i < kHigh.size(); ++i) {
            if (kHigh[i] == u && u != 0) {
                out = static_cast<char>(0x80 + i);
            }
        }
        bytes.push_back(out);
    }
    return bytes;
}

} // namespace tesser::app

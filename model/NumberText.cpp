#include "model/NumberText.h"

#include <array>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <stdexcept>
#include <system_error>

namespace tesser::model {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

locale_t ClassicLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

std::string FormatFixed(double value, int precision) {
    // The largest double needs 309 integer digits; a sign, a point and the decimals fit too.
    std::array<char, 400> buffer;
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed, precision);
    if (result.ec != std::errc()) {
        throw std::logic_error("number formatting buffer too small");
    }
    return std::string(buffer.data(), result.ptr);
}

} // namespace

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

NumberRead ReadNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsWhiteSpace(text[i])) {
        ++i;
    }
    const std::size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return {};
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            ++j;
        }
        if (j < text.size() && IsDigit(text[j])) {
            while (j < text.size() && IsDigit(text[j])) {
                ++j;
            }
            i = j;
        }
    }
    // The prefix now holds only what the grammar allows, so the C library's reader in the "C"
    // locale gives the correctly rounded value (and +-HUGE_VAL on overflow).
    const std::string number(text.substr(start, i - start));
    return {strtod_l(number.c_str(), nullptr, ClassicLocale()), i};
}

std::string FormatNumber(double value) {
    if (!std::isfinite(value)) {
        return std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf");
    }
    if (value == 0) {
        return "0";
    }
    std::string text = FormatFixed(value, 5);
    while (!text.empty() && text.back() == '0') {
        text.pop_back();
    }
    if (!text.empty() && text.back() == '.') {
        text.pop_back();
    }
    return text;
}

std::string FormatLength(double points, Units unit) {
    double value = points;
    if (unit == Units::Inches) {
        value *= InchesPerPoint;
    } else if (unit == Units::CM) {
        value *= CentimetresPerPoint;
    }
    const double r = std::floor(value + 0.5);
    if (std::fabs(value - r) < 0.001) {
        value = r;
    }
    return FormatNumber(value);
}

ParsedLength ParseLength(std::string_view text, Units unit) {
    const NumberRead read = ReadNumber(text);
    double value = read.Value;
    if (unit == Units::Inches) {
        value *= PointsPerInch;
    } else if (unit == Units::CM) {
        value *= PointsPerCentimetre;
    }
    std::size_t i = read.Length;
    if (read.Length > 0) {
        while (i < text.size() && IsWhiteSpace(text[i])) {
            ++i;
        }
    }
    return {value, i == text.size() && std::isfinite(value)};
}

std::string FormatFixed6(double value) {
    if (!std::isfinite(value)) {
        return std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf");
    }
    return FormatFixed(value, 6);
}

} // namespace tesser::model

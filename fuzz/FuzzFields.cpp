// The length, colour and page-range parsers, and the number formatter, on any text.
#include "FuzzTarget.h"

#include "model/ColorText.h"
#include "model/NumberText.h"
#include "model/PageRange.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <string_view>

using namespace tesser::model;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const auto unit = static_cast<Units>(data[0] % 3);
    const auto space = static_cast<ColorSpace>((data[0] / 3) % 3);
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    const ParsedLength length = ParseLength(text, unit);
    (void)length;
    std::array<double, 4> values{};
    if (ParseColorText(text, space, values)) {
        for (double v : values) {
            if (std::isnan(v)) {
                std::abort(); // an accepted colour has numbers
            }
        }
    }
    (void)ColorTextToRgbValue(text);
    const bool valid = CheckPageRange(text);
    for (int n : {1, 2, 3, 7, 100, 2147483647}) {
        const bool matched = MatchPageRange(text, n);
        (void)matched;
    }
    (void)valid;
    const NumberRead read = ReadNumber(text);
    (void)read;
    if (size >= 9) {
        double value = 0;
        __builtin_memcpy(&value, data + 1, sizeof value);
        (void)FormatNumber(value);
        (void)FormatLength(value, unit);
        (void)FormatFixed6(value);
    }
    return 0;
}

#include "model/ColorText.h"

#include "model/NumberText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace tesser::model {

bool ParseColorText(std::string_view text, ColorSpace space, std::array<double, 4>& values) {
    values = {0, 0, 0, 0};
    const std::size_t components =
        space == ColorSpace::Gray ? 1 : (space == ColorSpace::RGB ? 3 : 4);
    std::size_t pos = 0;
    for (std::size_t i = 0;;) {
        const NumberRead read = ReadNumber(text.substr(pos));
        if (read.Length == 0) {
            return false;
        }
        if (!(read.Value >= 0 && read.Value <= 1)) {
            return false;
        }
        values[i] = read.Value;
        pos += read.Length;
        while (pos < text.size() && IsWhiteSpace(text[pos])) {
            ++pos;
        }
        ++i;
        if (space == ColorSpace::Gray) {
            values[1] = values[2] = values[3] = values[0];
        }
        if (i == components) {
            return pos == text.size();
        }
        if (pos >= text.size() || text[pos] != ',') {
            return false;
        }
        ++pos;
    }
}

bool ParseColorText(Tesserion& tesserion) {
    return ParseColorText(tesserion.ColorText, tesserion.ColorSpace, tesserion.ColorValues);
}

void ChooseColour(Tesserion& tesserion, const std::string& colour) {
    const ColorPreset* preset = nullptr;
    for (const ColorPreset& p : ColorPresets) {
        if (SameIgnoringCase(p.Name, colour)) {
            preset = &p;
        }
    }
    if (preset != nullptr) {
        tesserion.ColorName = preset->Name;
        tesserion.ColorText = preset->Text;
    } else if (!colour.empty() &&
               (std::isdigit(static_cast<unsigned char>(colour[0])) || colour[0] == '.')) {
        const auto commas = std::count(colour.begin(), colour.end(), ',');
        tesserion.ColorName = commas == 0   ? "Custom (Gray)"
                              : commas == 2 ? "Custom (R,G,B)"
                                            : "Custom (C,M,Y,K)";
        tesserion.ColorText = colour;
    } else {
        tesserion.ColorName = colour;
    }
}

bool ColourTextIsThePresets(const Tesserion& tesserion) {
    const ColorPreset* preset = FindColorPreset(tesserion.ColorName);
    return preset != nullptr && !preset->Editable && preset->Text == tesserion.ColorText;
}

std::uint32_t ColorTextToRgbValue(std::string_view text) {
    std::array<double, 4> values{};
    if (!ParseColorText(text, ColorSpace::RGB, values)) {
        return 0;
    }
    std::uint32_t rgb = 0;
    for (int i = 0; i < 3; ++i) {
        rgb |= static_cast<std::uint32_t>(std::floor(values[i] * 255 + 0.5)) << (8 * i);
    }
    return rgb;
}

std::string RgbValueToColorText(std::uint32_t rgb) {
    std::string text;
    for (int i = 0; i < 3; ++i) {
        const double component = static_cast<double>((rgb >> (8 * i)) & 0xFFu) / 255.0;
        char buffer[16];
        const auto result =
            std::to_chars(buffer, buffer + sizeof buffer, component, std::chars_format::fixed, 2);
        if (i > 0) {
            text += ',';
        }
        text.append(buffer, result.ptr);
    }
    return text;
}

} // namespace tesser::model

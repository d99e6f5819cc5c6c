#include "model/Validation.h"

#include "model/ColorText.h"
#include "model/PageRange.h"

namespace tesser::model {

namespace {

bool InRange(double value, double minimum, double maximum) {
    return value >= minimum && value <= maximum; // false for NaN
}

} // namespace

std::optional<std::string> ValidateTesserion(Tesserion& tesserion) {
    if (!InRange(tesserion.PosAngle, -360, 360)) {
        return "position angle";
    }
    if (!IsBaseFontName(tesserion.FontFace)) {
        return "font face";
    }
    if (!InRange(tesserion.FontSize, 1, 1000)) {
        return "font size";
    }
    if (!InRange(tesserion.FontLeading, -1000, 1000)) {
        return "font leading";
    }
    const ColorPreset* preset = FindColorPreset(tesserion.ColorName);
    if (preset == nullptr) {
        return "colour";
    }
    tesserion.ColorSpace = preset->ColorSpace;
    std::array<double, 4> values{};
    if (!ParseColorText(tesserion.ColorText, tesserion.ColorSpace, values)) {
        return "colour";
    }
    if (!tesserion.Pages.PagesAll && !CheckPageRange(tesserion.Pages.PagesRange)) {
        return "page range";
    }
    return std::nullopt;
}

std::string InvalidTesserionMessage(std::string_view name, std::string_view word) {
    std::string message = "Tesserion: ";
    message += name;
    message += "\nThe ";
    message += word;
    message += " is invalid\n\n";
    return message;
}

} // namespace tesser::model

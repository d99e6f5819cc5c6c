// The fixed vocabularies of a Tesserion: its enumerations, the 14 base font names, the 11 colour
// presets and the factors between points and the display units.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace tesser::model {

// The enumerations keep these numeric values: they are what the record holds as 32-bit
// integers. A stored value outside the named members is possible; where a record is written
// out, any value other than 0 and 1 counts as the last member.
enum class Units : std::int32_t { Points = 0, Inches = 1, CM = 2 };
enum class JustifyH : std::int32_t { Left = 0, Center = 1, Right = 2 };
enum class JustifyV : std::int32_t { Top = 0, Center = 1, Bottom = 2 };
enum class Layer : std::int32_t { Foreground = 0, Background = 1 };
enum class ColorSpace : std::int32_t { Gray = 0, RGB = 1, CMYK = 2 };
enum class PagesOddEven : std::int32_t { OddAndEven = 0, OddOnly = 1, EvenOnly = 2 };

// Lengths are held in PDF points; inches and centimetres are display units only.
inline constexpr double PointsPerInch = 72.0;
inline constexpr double PointsPerCentimetre = 28.346456692913385;   // 72 / 2.54
inline constexpr double InchesPerPoint = 0.013888888888888888;      // 1 / 72
inline constexpr double CentimetresPerPoint = 0.035277777777777776; // 2.54 / 72

// The 14 standard Type 1 fonts, in the order of the font list.
inline constexpr std::array<std::string_view, 14> BaseFontNames = {
    "Courier",          "Courier-Bold",   "Courier-Oblique",   "Courier-BoldOblique",
    "Helvetica",        "Helvetica-Bold", "Helvetica-Oblique", "Helvetica-BoldOblique",
    "Symbol",           "Times-Roman",    "Times-Bold",        "Times-Italic",
    "Times-BoldItalic", "ZapfDingbats"};

// True when name is one of BaseFontNames (case-sensitive).
bool IsBaseFontName(std::string_view name);

// Whether a and b are the same text but for the letter case of ASCII letters.
bool SameIgnoringCase(std::string_view a, std::string_view b);

struct ColorPreset {
    std::string_view Name;
    ::tesser::model::ColorSpace ColorSpace;
    std::string_view Text; // the colour text set when the preset is chosen
    bool Editable;         // whether the user may edit the text afterwards
};

// The colour list; the list index is the row number less one.
inline constexpr std::array<ColorPreset, 11> ColorPresets = {{
    {"Black", ColorSpace::Gray, "0.00", false},
    {"Gray (50%)", ColorSpace::Gray, "0.50", false},
    {"Gray (70%)", ColorSpace::Gray, "0.70", false},
    {"Gray (85%)", ColorSpace::Gray, "0.85", false},
    {"Gray (94%)", ColorSpace::Gray, "0.94", false},
    {"Red", ColorSpace::RGB, "1.00,0.00,0.00", false},
    {"Green", ColorSpace::RGB, "0.00,1.00,0.00", false},
    {"Blue", ColorSpace::RGB, "0.00,0.00,1.00", false},
    {"Custom (Gray)", ColorSpace::Gray, "0.00", true},
    {"Custom (R,G,B)", ColorSpace::RGB, "0.00,0.00,0.00", true},
    {"Custom (C,M,Y,K)", ColorSpace::CMYK, "0.00,0.00,0.00,1.00", true},
}};

// The preset of that name (case-sensitive), or nullptr.
const ColorPreset* FindColorPreset(std::string_view name);

} // namespace tesser::model

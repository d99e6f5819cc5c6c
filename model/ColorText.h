// The colour text of a Tesserion: one, three or four numbers from 0 to 1 separated by commas.
#pragma once

#include "model/Tesserion.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tesser::model {

// Reads text under space into values. All four values are first set to 0; components are read
// in turn (ReadNumber), each must lie in 0..1 and be followed, after optional white space, by a
// comma or, after the last component, by the end of the text. Gray takes one component and
// copies it into all four values; RGB takes three, CMYK four. Components read before a failure
// stay in values. An unknown space is read as CMYK.
// "0.66 , 0.80,1.00" is valid RGB; "1.00,0.00,0.00" under Gray stores 1 everywhere and fails.
bool ParseColorText(std::string_view text, ColorSpace space, std::array<double, 4>& values);

// The same on a record: reads its colour text under its colour space into its values.
bool ParseColorText(Tesserion& tesserion);

// Sets the record's colour from a name or components: a preset's name in any letter case (its
// text comes with it), or components (one, three or four numbers: a custom gray, RGB or CMYK
// colour with them), or else the name as given, for validation to refuse.
void ChooseColour(Tesserion& tesserion, const std::string& colour);
// Whether the record's colour text is its preset's own (a fixed preset's text unchanged), so
// that naming the preset says it all.
bool ColourTextIsThePresets(const Tesserion& tesserion);

// The colour chooser's value of RGB components (red in the low byte, then green, then blue),
// each floor(component * 255 + 0.5); black when the text is not valid RGB.
std::uint32_t ColorTextToRgbValue(std::string_view text);
// The colour text of a colour chooser's value: "%.2f,%.2f,%.2f" of red/255, green/255, blue/255.
std::string RgbValueToColorText(std::uint32_t rgb);

} // namespace tesser::model

// Validation of a whole Tesserion before it is applied.
#pragma once

#include "model/Tesserion.h"

#include <optional>
#include <string>
#include <string_view>

namespace tesser::model {

// Checks the fields in the order of TesserionFields (the checked ranges and each field's own
// check) and returns the word of the first failure, or nothing when valid; today that is:
// PosAngle in -360..360 ("position angle"), FontFace one of BaseFontNames ("font face"),
// FontSize in 1..1000 ("font size"), FontLeading in -1000..1000 ("font leading"), ColorName one
// of ColorPresets ("colour"; when found, tesserion.ColorSpace is set from the preset), ColorText
// valid under that space ("colour"; ColorValues are left unchanged), and PagesAll or a PagesRange
// that passes CheckPageRange ("page range"). A NaN fails any range. PosX, PosY, the enumerations,
// Text and Name are not checked.
std::optional<std::string> ValidateTesserion(Tesserion& tesserion);

// The message shown for an invalid Tesserion:
// "Tesserion: " + name + "\nThe " + word + " is invalid\n\n".
std::string InvalidTesserionMessage(std::string_view name, std::string_view word);

} // namespace tesser::model

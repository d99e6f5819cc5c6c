// Validation of a whole Tesserion before it is applied.
#pragma once

#include "model/Tesserion.h"

#include <optional>
#include <string>
#include <string_view>

namespace tesser::model {

// Checks the fields in the order of TesserionFields (TesserionFields.h): a checked number must
// lie in its field's range (a NaN fails), and a field with a check of its own must pass it (the
// font face is a standard font, the colour's name a preset, whose space is then set, and its
// text readable in that space, the page range readable unless all pages are chosen). Returns
// the refused field's word ("font size"), or nothing when valid.
std::optional<std::string> ValidateTesserion(Tesserion& tesserion);

// The message shown for an invalid Tesserion:
// "Tesserion: " + name + "\nThe " + word + " is invalid\n\n".
std::string InvalidTesserionMessage(std::string_view name, std::string_view word);

} // namespace tesser::model

// The Tesserion list and the custom colours in the profile.
#pragma once

#include "model/Profile.h"
#include "model/TesserionList.h"

#include <array>
#include <cstdint>

namespace tesser::model {

// Adds the Tesserions listed in section "Tesserions" (keys "Count", "1".."Count") to list, in
// the order of the numbers; only keys present are looked at, so a huge Count costs nothing.
// Each listed name (trimmed; empty ones skipped) is read from section "Tesserion_" + name,
// starting from a default Tesserion, field by field as TesserionFields (TesserionFields.h)
// declares them: texts unescaped, names trimmed, a choice's word (any other word keeps the
// default; a legacy key is read when the key is missing), numbers clamped to the field's range
// (a value that is not a number reads as 0 before clamping), flags TRUE or FALSE. The colour's
// space comes from its preset (Gray when the name is not a preset) and its values from
// ParseColorText, whose failure is left to validation.
// A name already in list keeps the entry that is there. Nothing else is validated.
void LoadTesserions(Profile& profile, TesserionList& list);

// Writes list into profile in Name order: "Tesserions"/"Count" and "1", "2", ... with the names,
// and each Tesserion's keys in its section (never "Align", ColorSpace or ColorValues);
// enumeration values other than 0 and 1 write the last word. Entries whose Name is not
// storable (IsStorableName) are skipped, so everything written loads back under the same Name;
// the number skipped is returned. FontFace and ColorName are written as they are and must not
// hold CR or LF. The caller clears the profile first and saves it afterwards.
int SaveTesserions(Profile& profile, const TesserionList& list);

// The 16 custom colours of the colour chooser (red in the low byte, then green, then blue), in
// section "Colors", keys "0" to "15", each in 0..16777215 (default 0).
using CustomColors = std::array<std::int32_t, 16>;
CustomColors LoadCustomColors(Profile& profile);
// Values outside 0..16777215 are clamped into it.
void SaveCustomColors(Profile& profile, const CustomColors& colors);

} // namespace tesser::model

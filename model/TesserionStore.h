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
// starting from a default Tesserion: Text, ColorText and PagesRange unescaped; the words of
// Units, JustifyH (falling back to the key "Align"), JustifyV, Layer and PagesOddEven, where any
// other word keeps the default; PosX and PosY clamped to -1000000..1000000, PosAngle to
// -360..360, FontSize to 1..1000, FontLeading to -1000..1000 (a value that is not a number
// reads as 0 before clamping). ColorSpace comes from the ColorName's preset (Gray when the name
// is not a preset) and ColorValues from ParseColorText, whose failure is left to validation.
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

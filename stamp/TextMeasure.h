// The width of a line of text in a page font.
#pragma once

#include "hostapi/HostTypes.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace tesser::stamp {

using GlyphWidths = std::array<std::int16_t, 256>;

// Sum over the bytes of text of widths[byte] * size / 1000, plus spacing between consecutive
// bytes (not after the last). Widths are in thousandths of the font size, indexed by byte value.
double MeasureWithWidths(std::string_view text, const GlyphWidths& widths, double size,
                         double spacing);

// MeasureWithWidths with the font's widths from the host. On a host failure shows
// "Failed to get string width", answers false and leaves width at 0.
bool MeasureText(std::string_view text, HFont font, double size, double spacing, double& width);

} // namespace tesser::stamp

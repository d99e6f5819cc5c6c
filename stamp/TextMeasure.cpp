#include "stamp/TextMeasure.h"

#include "hostcalls/Guarded.h"

#include <algorithm>

namespace tesser::stamp {

double MeasureWithWidths(std::string_view text, const GlyphWidths& widths, double size,
                         double spacing) {
    double width = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        width += widths[static_cast<unsigned char>(text[i])] * size * 0.001;
        if (i + 1 < text.size()) {
            width += spacing;
        }
    }
    return width;
}

bool MeasureText(std::string_view text, HFont font, double size, double spacing, double& width) {
    width = 0;
    GlyphWidths widths{};
    const bool ok = hostcalls::guarded::Guard("Failed to get string width", [&] {
        const std::vector<std::int16_t> table = hostcalls::GetFontWidths(font);
        std::copy_n(table.begin(), std::min(table.size(), widths.size()), widths.begin());
    });
    if (!ok) {
        return false;
    }
    width = MeasureWithWidths(text, widths, size, spacing);
    return true;
}

} // namespace tesser::stamp

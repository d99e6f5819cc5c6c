// PDF literal strings, glyph-width sums and the crop-box question: pure functions, no host.
#include "stamp/PdfString.h"
#include "stamp/StampingPass.h"
#include "stamp/TextMeasure.h"

#include <gtest/gtest.h>

namespace tesser::stamp {
namespace {

TEST(EscapePdfLiteral, DelimitersAndBackslashGetABackslash) {
    EXPECT_EQ(EscapePdfLiteral("a(b)c\\d"), "(a\\(b\\)c\\\\d)");
    EXPECT_EQ(EscapePdfLiteral(""), "()");
}

TEST(EscapePdfLiteral, ControlAndC1BytesBecomeThreeOctalDigits) {
    EXPECT_EQ(EscapePdfLiteral("\t"), "(\\011)");
    EXPECT_EQ(EscapePdfLiteral(std::string(1, '\0')), "(\\000)");
    EXPECT_EQ(EscapePdfLiteral("\x1f\x7f"), "(\\037\\177)");
    EXPECT_EQ(EscapePdfLiteral("\x80\x9f"), "(\\200\\237)");
}

TEST(EscapePdfLiteral, PrintableAndHighLatinBytesStayAsTheyAre) {
    EXPECT_EQ(EscapePdfLiteral(" ~\xA0\xE9\xFF"), "( ~\xA0\xE9\xFF)");
}

TEST(MeasureWithWidths, SumsScaledWidthsAndSpacingBetweenBytes) {
    GlyphWidths widths{};
    widths['A'] = 667;
    widths[0xE9] = 556;
    EXPECT_DOUBLE_EQ(MeasureWithWidths("A\xE9", widths, 12, 0), (667 + 556) * 12 * 0.001);
    EXPECT_DOUBLE_EQ(MeasureWithWidths("AAA", widths, 10, 2), 3 * 6.67 + 2 * 2);
    EXPECT_DOUBLE_EQ(MeasureWithWidths("", widths, 10, 2), 0);
}

TEST(CropWarningText, ListsSidesInFixedOrderJoinedByAnd) {
    CropOverflow o;
    EXPECT_EQ(CropWarningText(o), "");
    o.Left = true;
    o.Bottom = true;
    EXPECT_EQ(CropWarningText(o),
              "Some text may not be visible because it is outside the crop box\n\nThe affected "
              "text is to the left and bottom of the page.\n\nDo you wish to continue or cancel?");
    o.Right = true;
    o.Top = true;
    EXPECT_NE(CropWarningText(o).find("to the left and right and top and bottom of the page."),
              std::string::npos);
}

} // namespace
} // namespace tesser::stamp

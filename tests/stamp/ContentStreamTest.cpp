// The content text of a stamp, built against a fake page: exact operator bytes, line reading,
// justification, rotation, the crop-box test and what a failure stops.
#include "FakeSurface.h"

#include "model/Tesserion.h"

#include <gtest/gtest.h>

#include <clocale>

namespace tesser::stamp {
namespace {

using test::FakeSurface;

model::Tesserion WorkedExample() {
    model::Tesserion t;
    t.Text = "Page <PageNumber>";
    t.PosX = 72;
    t.PosY = 36;
    return t;
}

struct Built {
    std::string content;
    bool ok = true;
    CropOverflow overflow;
};

Built Build(const model::Tesserion& t, FakeSurface& surface) {
    Built b;
    b.content = BuildStampContent(t, surface, 0, b.overflow, b.ok);
    return b;
}

TEST(StampContent, WorkedExampleOnThirdPageIsByteExact) {
    FakeSurface surface;
    surface.fields.pageNumber = 3;
    const Built b = Build(WorkedExample(), surface);
    EXPECT_TRUE(b.ok);
    EXPECT_EQ(b.content,
              "0 g \r\nBT\r\n/F1 12 Tf 1 0 0 1 72 756 Tm 0 0 TD (Page 3) Tj 0 -14 TD\r\nET\r\n");
}

TEST(StampContent, ResourceNameAndMediaTopComeFromThePage) {
    FakeSurface surface;
    surface.resourceName = "R7";
    surface.media = PageBox{0, 842, 595, 0};
    surface.fields.pageNumber = 1;
    const Built b = Build(WorkedExample(), surface);
    EXPECT_EQ(b.content,
              "0 g \r\nBT\r\n/R7 12 Tf 1 0 0 1 72 806 Tm 0 0 TD (Page 1) Tj 0 -14 TD\r\nET\r\n");
}

TEST(StampContent, Rotation90WritesQuarterTurnMatrix) {
    FakeSurface surface;
    surface.fields.pageNumber = 3;
    auto t = WorkedExample();
    t.PosAngle = 90;
    const Built b = Build(t, surface);
    EXPECT_NE(b.content.find("/F1 12 Tf 0 1 -1 0 72 756 Tm 0 0 TD (Page 3)"), std::string::npos)
        << b.content;
}

TEST(StampContent, Rotation180KeepsMinusOnNegatedTinySine) {
    FakeSurface surface;
    surface.fields.pageNumber = 3;
    auto t = WorkedExample();
    t.PosAngle = 180;
    const Built b = Build(t, surface);
    EXPECT_EQ(b.content, "0 g \r\nBT\r\n/F1 12 Tf -1 0 -0 -1 72 756 Tm 0 0 TD (Page 3) Tj 0 -14 "
                         "TD\r\nET\r\n");
}

TEST(StampContent, CenteredLineShiftsByHalfItsMeasuredWidth) {
    FakeSurface surface;
    surface.fields.pageNumber = 3;
    surface.widths.fill(1000);
    surface.widths['P'] = 5000; // "Page 3" at size 10: (5000 + 5 * 1000) / 1000 * 10 = 100
    auto t = WorkedExample();
    t.FontSize = 10;
    t.JustifyH = model::JustifyH::Center;
    const Built b = Build(t, surface);
    EXPECT_EQ(b.content, "0 g \r\nBT\r\n/F1 10 Tf 1 0 0 1 72 756 Tm -50 0 TD (Page 3) Tj 50 -14 "
                         "TD\r\nET\r\n");
}

TEST(StampContent, RightJustificationShiftsEachLineByItsOwnWidth) {
    FakeSurface surface; // 500 per glyph: 6 points per byte at size 12
    auto t = WorkedExample();
    t.Text = "AB\nABCD";
    t.JustifyH = model::JustifyH::Right;
    const Built b = Build(t, surface);
    EXPECT_NE(b.content.find("Tm -12 0 TD (AB) Tj 12 -14 TD\r\n-24 0 TD (ABCD) Tj 24 -14 TD\r\n"),
              std::string::npos)
        << b.content;
}

TEST(StampContent, JustificationOutsideTheNamedValuesCountsAsRight) {
    FakeSurface surface;
    auto t = WorkedExample();
    t.Text = "AB";
    t.JustifyH = static_cast<model::JustifyH>(7);
    const Built b = Build(t, surface);
    EXPECT_NE(b.content.find("-12 0 TD (AB) Tj 12 -14 TD"), std::string::npos) << b.content;
}

TEST(StampContent, EmptyTextHasNoLineAndNoCropTest) {
    FakeSurface surface;
    auto t = WorkedExample();
    t.Text.clear();
    t.PosX = -500; // would overflow if tested
    const Built b = Build(t, surface);
    EXPECT_TRUE(b.ok);
    EXPECT_EQ(b.content, "0 g \r\nBT\r\n/F1 12 Tf 1 0 0 1 -500 756 Tm ET\r\n");
    EXPECT_EQ(surface.cropCalls, 0);
    EXPECT_FALSE(b.overflow.Any());
}

TEST(StampContent, LineBreaksGiveTheDocumentedNumberOfLines) {
    struct Case {
        const char* text;
        const char* lines;
    } cases[] = {
        {"A\n", "0 0 TD (A) Tj 0 -14 TD\r\n"},
        {"A\r\nB", "0 0 TD (A) Tj 0 -14 TD\r\n0 0 TD (B) Tj 0 -14 TD\r\n"},
        {"A\nB", "0 0 TD (A) Tj 0 -14 TD\r\n0 0 TD (B) Tj 0 -14 TD\r\n"},
        {"A\rB", "0 0 TD (A) Tj 0 -14 TD\r\n0 0 TD (B) Tj 0 -14 TD\r\n"},
        {"A\n\nB", "0 0 TD (A) Tj 0 -14 TD\r\n0 0 TD () Tj 0 -14 TD\r\n0 0 TD (B) Tj 0 -14 TD\r\n"},
        {"\n", "0 0 TD () Tj 0 -14 TD\r\n"},
        {"A\r\n\r\n", "0 0 TD (A) Tj 0 -14 TD\r\n0 0 TD () Tj 0 -14 TD\r\n"},
    };
    for (const auto& c : cases) {
        FakeSurface surface;
        auto t = WorkedExample();
        t.Text = c.text;
        const Built b = Build(t, surface);
        EXPECT_EQ(b.content,
                  std::string("0 g \r\nBT\r\n/F1 12 Tf 1 0 0 1 72 756 Tm ") + c.lines + "ET\r\n")
            << "text: " << c.text;
    }
}

TEST(StampContent, SpecialBytesAreEscapedAndHighLatinKept) {
    FakeSurface surface;
    auto t = WorkedExample();
    t.Text = std::string("a(b)c\td\x80"
                         "e\xE9");
    const Built b = Build(t, surface);
    EXPECT_NE(b.content.find("0 0 TD (a\\(b\\)c\\011d\\200e\xE9) Tj"), std::string::npos)
        << b.content;
}

TEST(StampContent, BackslashInTextTakesTheNextByteLiterally) {
    FakeSurface surface;
    auto t = WorkedExample();
    t.Text = "\\<PageNumber> x\\";
    const Built b = Build(t, surface);
    // The escaped "<" is no token; the trailing backslash stays and is escaped for PDF.
    EXPECT_NE(b.content.find("(<PageNumber> x\\\\) Tj"), std::string::npos) << b.content;
    EXPECT_EQ(surface.fields.pageNumberCalls, 0);
}

TEST(StampContent, ColourOperatorFollowsColorSpace) {
    FakeSurface surface;
    auto t = WorkedExample();
    t.Text.clear();

    t.ColorSpace = model::ColorSpace::RGB;
    t.ColorValues = {1, 0, 0, 0};
    EXPECT_EQ(Build(t, surface).content.substr(0, 15), "1 0 0 rg \r\nBT\r\n");

    t.ColorSpace = model::ColorSpace::CMYK;
    t.ColorValues = {0.1, 0.25, 0, 1};
    EXPECT_EQ(Build(t, surface).content.substr(0, 21), "0.1 0.25 0 1 k \r\nBT\r\n");

    t.ColorSpace = model::ColorSpace::Gray;
    t.ColorValues = {0.5, 0.5, 0.5, 0.5};
    EXPECT_EQ(Build(t, surface).content.substr(0, 12), "0.5 g \r\nBT\r\n");

    t.ColorSpace = static_cast<model::ColorSpace>(9);
    EXPECT_EQ(Build(t, surface).content.substr(0, 6), "\r\nBT\r\n");
}

TEST(StampContent, NegativeLeadingRunsLinesUpwards) {
    FakeSurface surface;
    auto t = WorkedExample();
    t.Text = "A\nB";
    t.FontLeading = -14;
    const Built b = Build(t, surface);
    EXPECT_NE(b.content.find("0 0 TD (A) Tj 0 14 TD\r\n0 0 TD (B) Tj 0 14 TD\r\n"),
              std::string::npos)
        << b.content;
}

TEST(StampContent, NumbersIgnoreTheNumericLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    }
    FakeSurface surface;
    auto t = WorkedExample();
    t.Text.clear();
    t.PosX = 72.5;
    t.FontSize = 10.25;
    const Built b = Build(t, surface);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(b.content, "0 g \r\nBT\r\n/F1 10.25 Tf 1 0 0 1 72.5 756 Tm ET\r\n");
}

TEST(StampContent, NulInTextEndsIt) {
    FakeSurface surface;
    auto t = WorkedExample();
    t.Text = std::string("AB\0CD", 5);
    const Built b = Build(t, surface);
    EXPECT_NE(b.content.find("(AB) Tj 0 -14 TD\r\nET\r\n"), std::string::npos) << b.content;
}

TEST(StampCropTest, LineEndingOnTheRightEdgeDoesNotOverflowOnePointFurtherDoes) {
    auto t = WorkedExample();
    t.Text = "AB"; // 12 points wide
    t.PosX = 600;
    {
        FakeSurface surface;
        const Built b = Build(t, surface);
        EXPECT_FALSE(b.overflow.Any());
    }
    t.PosX = 601;
    {
        FakeSurface surface;
        const Built b = Build(t, surface);
        EXPECT_TRUE(b.overflow.Right);
        EXPECT_FALSE(b.overflow.Left || b.overflow.Top || b.overflow.Bottom);
    }
}

TEST(StampCropTest, GlyphHeightAboveBaselineCountsForTheTop) {
    auto t = WorkedExample();
    t.Text = "A";
    t.FontSize = 10;
    t.PosY = 8; // 0.8 x 10 above the baseline reaches the top exactly
    FakeSurface surface;
    EXPECT_FALSE(Build(t, surface).overflow.Top);
    t.PosY = 7.5;
    FakeSurface again;
    EXPECT_TRUE(Build(t, again).overflow.Top);
}

TEST(StampCropTest, LaterLinesBelowTheCropBoxSetBottom) {
    auto t = WorkedExample();
    t.Text = "A\nB\nC";
    t.PosY = 770; // baselines at 22, 8, -6
    FakeSurface surface;
    const Built b = Build(t, surface);
    EXPECT_TRUE(b.overflow.Bottom);
    EXPECT_FALSE(b.overflow.Top || b.overflow.Left || b.overflow.Right);
    EXPECT_EQ(surface.cropCalls, 3);
}

TEST(StampCropTest, HalfTurnNearTheLeftEdgeSetsLeftNotRight) {
    auto t = WorkedExample();
    t.Text = "ABCD"; // 24 points, drawn leftwards from x = 10
    t.PosX = 10;
    t.PosAngle = 180;
    FakeSurface surface;
    const Built b = Build(t, surface);
    EXPECT_TRUE(b.overflow.Left);
    EXPECT_FALSE(b.overflow.Right);
}

TEST(StampCropTest, CropBoxSmallerThanMediaBoxIsTheOneTested) {
    auto t = WorkedExample();
    t.Text = "AB";
    FakeSurface surface;
    surface.crop = PageBox{100, 700, 500, 100};
    const Built b = Build(t, surface); // x 72..84, baseline 756
    EXPECT_TRUE(b.overflow.Left);
    EXPECT_TRUE(b.overflow.Top);
    EXPECT_FALSE(b.overflow.Right || b.overflow.Bottom);
}

TEST(StampFailure, ProcSetFailureSkipsFontLookupButBuildsToTheEnd) {
    FakeSurface surface;
    surface.failProcSet = true;
    auto t = WorkedExample();
    t.PosX = -100;
    const Built b = Build(t, surface);
    EXPECT_FALSE(b.ok);
    EXPECT_NE(b.content.find("/ 12 Tf"), std::string::npos);
    EXPECT_EQ(b.content.substr(b.content.size() - 4), "ET\r\n");
    EXPECT_EQ(surface.measureCalls, 0);
    EXPECT_EQ(surface.cropCalls, 0);
    EXPECT_FALSE(b.overflow.Any());
}

TEST(StampFailure, MediaBoxFailureStopsMeasuringAndCropTests) {
    FakeSurface surface;
    surface.failMedia = true;
    auto t = WorkedExample();
    t.JustifyH = model::JustifyH::Right;
    const Built b = Build(t, surface);
    EXPECT_FALSE(b.ok);
    EXPECT_EQ(surface.measureCalls, 0);
    EXPECT_EQ(surface.cropCalls, 0);
}

TEST(StampFailure, CropBoxFailureEndsCropTestsForTheRestOfThePage) {
    FakeSurface surface;
    surface.failCrop = true;
    auto t = WorkedExample();
    t.Text = "A\nB\nC";
    const Built b = Build(t, surface);
    EXPECT_FALSE(b.ok);
    EXPECT_EQ(surface.cropCalls, 1);
    EXPECT_EQ(surface.measureCalls, 1);
}

TEST(StampFailure, PageNumberIsAskedOnceAfterItFails) {
    FakeSurface surface;
    surface.fields.failPageNumber = true;
    auto t = WorkedExample();
    t.Text = "<PageNumber>\n<PageNumber> of <PageCount>";
    const Built b = Build(t, surface);
    EXPECT_FALSE(b.ok);
    EXPECT_EQ(surface.fields.pageNumberCalls, 1);
    EXPECT_EQ(surface.fields.pageCountCalls, 0);
    EXPECT_EQ(surface.fields.alerts, std::vector<std::string>{"Failed to get page number"});
}

} // namespace
} // namespace tesser::stamp

#include "model/ColorText.h"
#include "model/NumberText.h"
#include "model/PageRange.h"
#include "model/Profile.h"
#include "model/Validation.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale>
#include <string>
#include <vector>

using namespace tesser::model;
using tesser::test::TempDir;

namespace {

// Switches the C library's locale to a German one (decimal comma) for the lifetime of the
// object, compiling it into a temporary folder when the system has none installed.
class CommaLocale {
public:
    CommaLocale() {
        saved_ = std::setlocale(LC_ALL, nullptr);
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8"}) {
            if (TrySet(name)) {
                return;
            }
        }
        const auto result = tesser::test::Run("localedef -c -i de_DE -f UTF-8 " +
                                              tesser::test::Quote((dir_ / "de_DE.UTF-8").string()) +
                                              " >/dev/null 2>&1");
        if (result.exitCode == 0) {
            setenv("LOCPATH", dir_.path().c_str(), 1);
            usedLocPath_ = true;
            TrySet("de_DE.UTF-8");
        }
    }
    ~CommaLocale() {
        std::setlocale(LC_ALL, saved_.c_str());
        if (usedLocPath_) {
            unsetenv("LOCPATH");
        }
    }
    bool Active() const { return active_; }

private:
    bool TrySet(const char* name) {
        if (std::setlocale(LC_ALL, name) != nullptr &&
            std::string(std::localeconv()->decimal_point) == ",") {
            active_ = true;
        }
        return active_;
    }

    TempDir dir_;
    std::string saved_;
    bool usedLocPath_ = false;
    bool active_ = false;
};

struct CommaPunct : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
};

} // namespace

TEST(FormatNumber, TrimsTrailingZerosAndPoint) {
    EXPECT_EQ(FormatNumber(12), "12");
    EXPECT_EQ(FormatNumber(0.5), "0.5");
    EXPECT_EQ(FormatNumber(1.0 / 3), "0.33333");
    EXPECT_EQ(FormatNumber(1.234567), "1.23457");
    EXPECT_EQ(FormatNumber(-14), "-14");
    EXPECT_EQ(FormatNumber(0.1 + 0.2), "0.3");
    EXPECT_EQ(FormatNumber(100), "100");
    EXPECT_EQ(FormatNumber(10.5), "10.5");
}

TEST(FormatNumber, ZeroAndTinyValues) {
    EXPECT_EQ(FormatNumber(0.0), "0");
    EXPECT_EQ(FormatNumber(-0.0), "0");
    EXPECT_EQ(FormatNumber(0.000004), "0");
    EXPECT_EQ(FormatNumber(-0.000004), "-0");
    EXPECT_EQ(FormatNumber(0.000006), "0.00001");
}

TEST(FormatNumber, LargeValuesAreWrittenWhole) {
    EXPECT_EQ(FormatNumber(1e30), "1000000000000000019884624838656");
    const std::string largest = FormatNumber(DBL_MAX);
    EXPECT_EQ(largest.size(), 309u);
    EXPECT_EQ(largest.substr(0, 6), "179769");
    EXPECT_EQ(FormatNumber(-DBL_MAX).size(), 310u);
}

TEST(FormatNumber, IgnoresACommaLocale) {
    CommaLocale locale;
    if (!locale.Active()) {
        GTEST_SKIP() << "no locale with a decimal comma could be made";
    }
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    ASSERT_STREQ(probe, "1,5"); // the C library really uses the comma now
    EXPECT_EQ(FormatNumber(1.5), "1.5");
    EXPECT_EQ(FormatNumber(-1234.56789), "-1234.56789");
    EXPECT_EQ(FormatLength(36, Units::Inches), "0.5");
    EXPECT_EQ(FormatFixed6(12.5), "12.500000");
    const ParsedLength dot = ParseLength("2.5", Units::Points);
    EXPECT_TRUE(dot.Acceptable);
    EXPECT_EQ(dot.Value, 2.5);
    EXPECT_FALSE(ParseLength("2,5", Units::Points).Acceptable);
    std::array<double, 4> values{};
    EXPECT_TRUE(ParseColorText("0.25,0.5,1", ColorSpace::RGB, values));
    EXPECT_EQ(values[0], 0.25);

    Profile profile;
    profile.LoadText("[s]\r\nd=0.75\r\n");
    EXPECT_EQ(profile.GetDouble("s", "d", 0), 0.75);
    profile.SetDouble("s", "e", 2.25);
    EXPECT_EQ(profile.GetString("s", "e"), "2.250000");
    profile.Clear();
}

TEST(FormatNumber, IgnoresTheGlobalStreamLocale) {
    const std::locale saved =
        std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
    const std::string text = FormatNumber(2.75);
    const std::string six = FormatFixed6(2.75);
    std::locale::global(saved);
    EXPECT_EQ(text, "2.75");
    EXPECT_EQ(six, "2.750000");
}

TEST(FormatLength, ConvertsAndSnapsToWholeNumbers) {
    EXPECT_EQ(FormatLength(72, Units::Inches), "1");
    EXPECT_EQ(FormatLength(36, Units::Inches), "0.5");
    EXPECT_EQ(FormatLength(100, Units::CM), "3.52778");
    EXPECT_EQ(FormatLength(28.3464, Units::CM), "1");
    EXPECT_EQ(FormatLength(12.3, Units::Points), "12.3");
    EXPECT_EQ(FormatLength(12.9995, Units::Points), "13");
    EXPECT_EQ(FormatLength(12.998, Units::Points), "12.998");
    EXPECT_EQ(FormatLength(-71.99, Units::Inches), "-1"); // -0.99986 is within 0.001 of -1
    EXPECT_EQ(FormatLength(50, static_cast<Units>(7)), "50");
}

TEST(ParseLength, AcceptsOneNumberWithWhiteSpaceAround) {
    const ParsedLength inches = ParseLength(" 2.5 ", Units::Inches);
    EXPECT_TRUE(inches.Acceptable);
    EXPECT_EQ(inches.Value, 180);
    const ParsedLength cm = ParseLength("1", Units::CM);
    EXPECT_TRUE(cm.Acceptable);
    EXPECT_DOUBLE_EQ(cm.Value, 28.346456692913385);
    EXPECT_EQ(ParseLength("-1.5e2", Units::Points).Value, -150);
    EXPECT_EQ(ParseLength("+.5", Units::Points).Value, 0.5);
    EXPECT_EQ(ParseLength("3.", Units::Points).Value, 3);
}

TEST(ParseLength, EmptyTextIsZero) {
    const ParsedLength empty = ParseLength("", Units::Inches);
    EXPECT_TRUE(empty.Acceptable);
    EXPECT_EQ(empty.Value, 0);
}

TEST(ParseLength, RefusesAnythingAfterTheNumber) {
    EXPECT_FALSE(ParseLength("2.5cm", Units::Inches).Acceptable);
    EXPECT_EQ(ParseLength("2.5cm", Units::Points).Value, 2.5);
    EXPECT_FALSE(ParseLength(" ", Units::Inches).Acceptable);
    EXPECT_FALSE(ParseLength("abc", Units::Inches).Acceptable);
    EXPECT_FALSE(ParseLength("1 2", Units::Inches).Acceptable);
    EXPECT_FALSE(ParseLength("-", Units::Inches).Acceptable);
    EXPECT_FALSE(ParseLength(".", Units::Inches).Acceptable);
}

TEST(ParseLength, RefusesWhatTheNumberGrammarLacks) {
    EXPECT_FALSE(ParseLength("0x10", Units::Points).Acceptable);
    EXPECT_FALSE(ParseLength("inf", Units::Points).Acceptable);
    EXPECT_FALSE(ParseLength("nan", Units::Points).Acceptable);
    EXPECT_FALSE(ParseLength("1e", Units::Points).Acceptable);
    EXPECT_EQ(ParseLength("1e", Units::Points).Value, 1);
}

TEST(ParseLength, RefusesNumbersBeyondADouble) {
    EXPECT_FALSE(ParseLength("1e400", Units::Points).Acceptable);
    EXPECT_FALSE(ParseLength("1e307", Units::CM).Acceptable);
    const ParsedLength tiny = ParseLength("1e-400", Units::Points);
    EXPECT_TRUE(tiny.Acceptable);
    EXPECT_EQ(tiny.Value, 0);
}

TEST(ParseColorText, ThreeComponentsUnderRgb) {
    std::array<double, 4> v{};
    EXPECT_TRUE(ParseColorText("1.00,0.00,0.00", ColorSpace::RGB, v));
    EXPECT_EQ(v, (std::array<double, 4>{1, 0, 0, 0}));
    EXPECT_TRUE(ParseColorText(" 0.66 , 0.80 ,\t1.00 ", ColorSpace::RGB, v));
    EXPECT_EQ(v, (std::array<double, 4>{0.66, 0.80, 1.00, 0}));
}

TEST(ParseColorText, GrayCopiesTheLevelAndTakesOneComponent) {
    std::array<double, 4> v{};
    EXPECT_TRUE(ParseColorText("0.75", ColorSpace::Gray, v));
    EXPECT_EQ(v, (std::array<double, 4>{0.75, 0.75, 0.75, 0.75}));
    EXPECT_FALSE(ParseColorText("1.00,0.00,0.00", ColorSpace::Gray, v));
    EXPECT_EQ(v, (std::array<double, 4>{1, 1, 1, 1}));
}

TEST(ParseColorText, FourComponentsUnderCmyk) {
    std::array<double, 4> v{};
    EXPECT_TRUE(ParseColorText("1.00,0.33,0.00,0.10", ColorSpace::CMYK, v));
    EXPECT_EQ(v, (std::array<double, 4>{1, 0.33, 0, 0.10}));
    EXPECT_FALSE(ParseColorText("1,0,0", ColorSpace::CMYK, v));
}

TEST(ParseColorText, RefusesOutOfRangeAndWrongCounts) {
    std::array<double, 4> v{};
    for (ColorSpace space : {ColorSpace::Gray, ColorSpace::RGB, ColorSpace::CMYK}) {
        EXPECT_FALSE(ParseColorText("1.5", space, v));
        EXPECT_FALSE(ParseColorText("-0.1", space, v));
        EXPECT_FALSE(ParseColorText("", space, v));
    }
    EXPECT_FALSE(ParseColorText("0.5,0.5", ColorSpace::Gray, v));
    EXPECT_FALSE(ParseColorText("0.5,0.5", ColorSpace::RGB, v));
    EXPECT_FALSE(ParseColorText("0.5,0.5,0.5,", ColorSpace::RGB, v));
    EXPECT_FALSE(ParseColorText("0.5;0.5;0.5", ColorSpace::RGB, v));
    EXPECT_FALSE(ParseColorText("0.5,,0.5", ColorSpace::RGB, v));
}

TEST(ParseColorText, KeepsComponentsReadBeforeAFailure) {
    std::array<double, 4> v{9, 9, 9, 9};
    EXPECT_FALSE(ParseColorText("0.25,0.5,2", ColorSpace::RGB, v));
    EXPECT_EQ(v, (std::array<double, 4>{0.25, 0.5, 0, 0}));
}

TEST(ParseColorText, OnARecordUsesItsSpace) {
    Tesserion t;
    t.ColorSpace = ColorSpace::RGB;
    t.ColorText = "0.2,0.4,0.6";
    EXPECT_TRUE(ParseColorText(t));
    EXPECT_EQ(t.ColorValues, (std::array<double, 4>{0.2, 0.4, 0.6, 0}));
}

TEST(ColorChooser, ConvertsBetweenTextAndScreenColour) {
    EXPECT_EQ(ColorTextToRgbValue("1.00,0.50,0.00"), 0x0080FFu);
    EXPECT_EQ(ColorTextToRgbValue("0,0,1"), 0xFF0000u);
    EXPECT_EQ(ColorTextToRgbValue("bad"), 0u);
    EXPECT_EQ(RgbValueToColorText(0x0080FF), "1.00,0.50,0.00");
    EXPECT_EQ(RgbValueToColorText(0xFFFFFF), "1.00,1.00,1.00");
}

TEST(CheckPageRange, AcceptsTheDocumentedForms) {
    for (const char* text : {"-3,5-7,10,20-", "", ",", "1,,2", "-", "7-3", "1 2", " 1 - 3,5",
                             "1 ,5", "12", "3-", "99999999999999999999"}) {
        EXPECT_TRUE(CheckPageRange(text)) << '"' << text << '"';
    }
}

TEST(CheckPageRange, RefusesZeroLettersAndStraySeparators) {
    for (const char* text :
         {"0", "3-0", "1,0", "a", "1;2", "1-3 ,5", "1-2-3", "1 2 3", "1,a", "00", "5-00"}) {
        EXPECT_FALSE(CheckPageRange(text)) << '"' << text << '"';
    }
}

TEST(MatchPageRange, MatchesTheHintExample) {
    std::vector<int> matched;
    for (int n = 1; n <= 25; ++n) {
        if (MatchPageRange("-3,5-7,10,20-", n)) {
            matched.push_back(n);
        }
    }
    EXPECT_EQ(matched, (std::vector<int>{1, 2, 3, 5, 6, 7, 10, 20, 21, 22, 23, 24, 25}));
    EXPECT_TRUE(MatchPageRange("-3,5-7,10,20-", INT_MAX));
}

TEST(MatchPageRange, EdgeForms) {
    EXPECT_FALSE(MatchPageRange("", 1));
    for (int n = 1; n <= 10; ++n) {
        EXPECT_FALSE(MatchPageRange("7-3", n)) << n;
    }
    EXPECT_TRUE(MatchPageRange("-", 123456));
    EXPECT_TRUE(MatchPageRange("1 2", 1));
    EXPECT_FALSE(MatchPageRange("1 2", 2));
    EXPECT_TRUE(MatchPageRange(",,4", 4));
    EXPECT_TRUE(MatchPageRange(" 4 - 6", 5));
}

TEST(MatchPageRange, HugeNumbersSaturateInsteadOfOverflowing) {
    EXPECT_TRUE(CheckPageRange("5-99999999999999999999999999"));
    EXPECT_TRUE(MatchPageRange("5-99999999999999999999999999", INT_MAX));
    EXPECT_FALSE(MatchPageRange("5-99999999999999999999999999", 4));
    EXPECT_TRUE(MatchPageRange("2147483648", INT_MAX));
    EXPECT_FALSE(MatchPageRange("4294967297", 1)); // a wrapped reading would give 1
    EXPECT_FALSE(MatchPageRange("99999999999999999999-", 1000));
}

TEST(MatchPageRange, EndsOnInvalidText) {
    EXPECT_FALSE(MatchPageRange("abc", 1));
    EXPECT_FALSE(MatchPageRange(";;;", 1));
    EXPECT_TRUE(MatchPageRange("1-3 ,5", 5));
    EXPECT_TRUE(MatchPageRange("x,2", 2));
}

namespace {

Tesserion Valid() {
    Tesserion t;
    t.Name = "Logo";
    return t;
}

} // namespace

TEST(ValidateTesserion, DefaultRecordIsValid) {
    Tesserion t = Valid();
    EXPECT_EQ(ValidateTesserion(t), std::nullopt);
}

TEST(ValidateTesserion, ReportsTheFirstInvalidFieldInOrder) {
    Tesserion t = Valid();
    t.PosAngle = 400;
    t.FontFace = "Arial";
    EXPECT_EQ(ValidateTesserion(t), "position angle");
    t.PosAngle = -360;
    EXPECT_EQ(ValidateTesserion(t), "font face");
    t.FontFace = "Courier";
    t.FontSize = 0.5;
    EXPECT_EQ(ValidateTesserion(t), "font size");
    t.FontSize = 1000;
    t.FontLeading = -1000.5;
    EXPECT_EQ(ValidateTesserion(t), "font leading");
    t.FontLeading = 1000;
    t.ColorName = "Purple";
    EXPECT_EQ(ValidateTesserion(t), "colour");
    t.ColorName = "Black";
    t.Pages.PagesAll = false;
    t.Pages.PagesRange = "0";
    EXPECT_EQ(ValidateTesserion(t), "page range");
    t.Pages.PagesAll = true;
    EXPECT_EQ(ValidateTesserion(t), std::nullopt);
}

TEST(ValidateTesserion, NaNFailsRangeChecks) {
    Tesserion t = Valid();
    t.FontSize = std::nan("");
    EXPECT_EQ(ValidateTesserion(t), "font size");
    t = Valid();
    t.PosAngle = std::nan("");
    EXPECT_EQ(ValidateTesserion(t), "position angle");
}

TEST(ValidateTesserion, ColourTextMustSuitThePresetSpace) {
    Tesserion t = Valid();
    t.ColorName = "Red";
    t.ColorText = "0.5";
    t.ColorValues = {0.1, 0.2, 0.3, 0.4};
    EXPECT_EQ(ValidateTesserion(t), "colour");
    EXPECT_EQ(t.ColorSpace, ColorSpace::RGB);
    t.ColorName = "Custom (Gray)";
    EXPECT_EQ(ValidateTesserion(t), std::nullopt);
    EXPECT_EQ(t.ColorSpace, ColorSpace::Gray);
    EXPECT_EQ(t.ColorValues, (std::array<double, 4>{0.1, 0.2, 0.3, 0.4})); // left unchanged
}

TEST(ValidateTesserion, UncheckedFieldsDoNotMatter) {
    Tesserion t = Valid();
    t.PosX = 1e300;
    t.PosY = std::nan("");
    t.Units = static_cast<Units>(9);
    t.Name = "";
    t.Text = "<Nonsense";
    EXPECT_EQ(ValidateTesserion(t), std::nullopt);
}

TEST(ValidateTesserion, MessageText) {
    EXPECT_EQ(InvalidTesserionMessage("Logo", "page range"),
              "Tesserion: Logo\nThe page range is invalid\n\n");
}

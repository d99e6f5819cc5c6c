#include "model/Tesserion.h"
#include "model/TesserionList.h"
#include "model/Vocabulary.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tesser::model;

namespace {

std::vector<std::string> NamesInOrder(const TesserionList& list) {
    std::vector<std::string> names;
    for (const auto& [name, t] : list) {
        EXPECT_EQ(name, t.Name);
        names.push_back(name);
    }
    return names;
}

Tesserion Named(const std::string& name, const std::string& text = {}) {
    Tesserion t;
    t.Name = name;
    t.Text = text;
    return t;
}

} // namespace

TEST(TesserionDefaults, NewRecordHasDocumentedDefaults) {
    const Tesserion t;
    EXPECT_EQ(t.Name, "");
    EXPECT_EQ(t.Text, "");
    EXPECT_EQ(t.Units, Units::Inches);
    EXPECT_EQ(t.JustifyH, JustifyH::Left);
    EXPECT_EQ(t.JustifyV, JustifyV::Top);
    EXPECT_EQ(t.Layer, Layer::Foreground);
    EXPECT_EQ(t.PosX, 0);
    EXPECT_EQ(t.PosY, 0);
    EXPECT_EQ(t.PosAngle, 0);
    EXPECT_EQ(t.FontFace, "Helvetica");
    EXPECT_EQ(t.FontSize, 12);
    EXPECT_EQ(t.FontLeading, 14);
    EXPECT_EQ(t.ColorName, "Black");
    EXPECT_EQ(t.ColorText, "0.00");
    EXPECT_EQ(t.ColorSpace, ColorSpace::Gray);
    EXPECT_EQ(t.ColorValues, (std::array<double, 4>{0, 0, 0, 0}));
    EXPECT_TRUE(t.Pages.PagesAll);
    EXPECT_EQ(t.Pages.PagesOddEven, PagesOddEven::OddAndEven);
    EXPECT_EQ(t.Pages.PagesRange, "");
}

TEST(TesserionDefaults, EnumerationsKeepTheirStoredNumbers) {
    EXPECT_EQ(static_cast<int>(Units::Points), 0);
    EXPECT_EQ(static_cast<int>(Units::CM), 2);
    EXPECT_EQ(static_cast<int>(JustifyV::Bottom), 2);
    EXPECT_EQ(static_cast<int>(Layer::Background), 1);
    EXPECT_EQ(static_cast<int>(ColorSpace::CMYK), 2);
    EXPECT_EQ(static_cast<int>(PagesOddEven::EvenOnly), 2);
    EXPECT_EQ(sizeof(Units), 4u);
}

TEST(TesserionCopy, CopyIsIndependentOfItsSource) {
    Tesserion a = Named("Logo", "Page");
    a.ColorSpace = ColorSpace::RGB;
    a.ColorValues = {1, 0.5, 0, 0};
    Tesserion b = a;
    EXPECT_EQ(a, b);
    b.Text += "X";
    b.Pages.PagesRange = "1-2";
    EXPECT_EQ(a.Text, "Page");
    EXPECT_EQ(a.Pages.PagesRange, "");
    EXPECT_EQ(b.ColorSpace, ColorSpace::RGB);
    EXPECT_EQ(b.ColorValues[1], 0.5);
}

TEST(Vocabulary, BaseFontsInListOrder) {
    ASSERT_EQ(BaseFontNames.size(), 14u);
    EXPECT_EQ(BaseFontNames.front(), "Courier");
    EXPECT_EQ(BaseFontNames[4], "Helvetica");
    EXPECT_EQ(BaseFontNames[9], "Times-Roman");
    EXPECT_EQ(BaseFontNames.back(), "ZapfDingbats");
    EXPECT_TRUE(IsBaseFontName("Times-BoldItalic"));
    EXPECT_FALSE(IsBaseFontName("helvetica"));
    EXPECT_FALSE(IsBaseFontName("Arial"));
}

TEST(Vocabulary, ColorPresetsGiveSpaceTextAndEditability) {
    ASSERT_EQ(ColorPresets.size(), 11u);
    const ColorPreset* gray = FindColorPreset("Gray (94%)");
    ASSERT_NE(gray, nullptr);
    EXPECT_EQ(gray->ColorSpace, ColorSpace::Gray);
    EXPECT_EQ(gray->Text, "0.94");
    EXPECT_FALSE(gray->Editable);
    const ColorPreset* red = FindColorPreset("Red");
    ASSERT_NE(red, nullptr);
    EXPECT_EQ(red->ColorSpace, ColorSpace::RGB);
    EXPECT_EQ(red->Text, "1.00,0.00,0.00");
    const ColorPreset* cmyk = FindColorPreset("Custom (C,M,Y,K)");
    ASSERT_NE(cmyk, nullptr);
    EXPECT_EQ(cmyk->ColorSpace, ColorSpace::CMYK);
    EXPECT_EQ(cmyk->Text, "0.00,0.00,0.00,1.00");
    EXPECT_TRUE(cmyk->Editable);
    EXPECT_EQ(&ColorPresets[9], FindColorPreset("Custom (R,G,B)"));
    EXPECT_EQ(FindColorPreset("red"), nullptr);
}

TEST(Vocabulary, UnitFactorsAreInverse) {
    EXPECT_DOUBLE_EQ(PointsPerInch * InchesPerPoint, 1.0);
    EXPECT_DOUBLE_EQ(PointsPerCentimetre * CentimetresPerPoint, 1.0);
    EXPECT_DOUBLE_EQ(PointsPerCentimetre, 72 / 2.54);
}

TEST(IncludesPage, AllPagesOddOnlyKeepsOddPages) {
    PageSelection s;
    s.PagesOddEven = PagesOddEven::OddOnly;
    EXPECT_TRUE(s.IncludesPage(1));
    EXPECT_TRUE(s.IncludesPage(3));
    EXPECT_TRUE(s.IncludesPage(5));
    EXPECT_FALSE(s.IncludesPage(2));
    EXPECT_FALSE(s.IncludesPage(4));
}

TEST(IncludesPage, AllPagesEvenOnlyKeepsEvenPages) {
    PageSelection s;
    s.PagesOddEven = PagesOddEven::EvenOnly;
    EXPECT_TRUE(s.IncludesPage(2));
    EXPECT_FALSE(s.IncludesPage(1));
}

TEST(IncludesPage, EmptyRangeSelectsNothing) {
    PageSelection s;
    s.PagesAll = false;
    for (int n = 1; n < 10; ++n) {
        EXPECT_FALSE(s.IncludesPage(n)) << n;
    }
}

TEST(IncludesPage, RangeCombinesWithOddOnly) {
    PageSelection s;
    s.PagesAll = false;
    s.PagesRange = "2-5";
    s.PagesOddEven = PagesOddEven::OddOnly;
    std::vector<int> included;
    for (int n = 1; n <= 8; ++n) {
        if (s.IncludesPage(n)) {
            included.push_back(n);
        }
    }
    EXPECT_EQ(included, (std::vector<int>{3, 5}));
}

TEST(IncludesPage, RangeIgnoredWhenAllPagesSelected) {
    PageSelection s;
    s.PagesRange = "2";
    EXPECT_TRUE(s.IncludesPage(7));
}

TEST(TesserionListOrder, WalksByteWiseCaseSensitiveOrder) {
    TesserionList list;
    for (const char* name : {"b", "T2", "B", "a", "T10", "\xE9t\xE9", "Z"}) {
        EXPECT_TRUE(list.Insert(Named(name)));
    }
    EXPECT_EQ(NamesInOrder(list),
              (std::vector<std::string>{"B", "T10", "T2", "Z", "a", "b", "\xE9t\xE9"}));
    EXPECT_EQ(list.Count(), 7u);
}

TEST(TesserionListOrder, NamesDifferingInCaseAreDistinct) {
    TesserionList list;
    list.Insert(Named("b", "lower"));
    list.Insert(Named("B", "upper"));
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.Find("b")->Text, "lower");
    EXPECT_EQ(list.Find("B")->Text, "upper");
}

TEST(TesserionListChanges, InsertKeepsTheExistingEntry) {
    TesserionList list;
    EXPECT_TRUE(list.Insert(Named("Logo", "first")));
    EXPECT_FALSE(list.Insert(Named("Logo", "second")));
    EXPECT_EQ(list.Count(), 1u);
    EXPECT_EQ(list.Find("Logo")->Text, "first");
}

TEST(TesserionListChanges, InsertOrReplaceAndErase) {
    TesserionList list;
    list.Insert(Named("Logo", "first"));
    list.InsertOrReplace(Named("Logo", "second"));
    EXPECT_EQ(list.Find("Logo")->Text, "second");
    EXPECT_TRUE(list.Erase("Logo"));
    EXPECT_FALSE(list.Erase("Logo"));
    EXPECT_EQ(list.Find("Logo"), nullptr);
    EXPECT_TRUE(list.Empty());
}

TEST(StorableName, RefusesNamesThatCannotBeStored) {
    EXPECT_FALSE(IsStorableName(""));
    EXPECT_FALSE(IsStorableName("a[b"));
    EXPECT_FALSE(IsStorableName("a]b"));
    EXPECT_FALSE(IsStorableName("a\tb"));
    EXPECT_FALSE(IsStorableName("a\nb"));
    EXPECT_FALSE(IsStorableName("a\rb"));
    EXPECT_FALSE(IsStorableName(std::string("a\0b", 3)));
    EXPECT_FALSE(IsStorableName("a\x7F"));
    EXPECT_FALSE(IsStorableName("a\x80"));
    EXPECT_FALSE(IsStorableName("a\x9F"));
    EXPECT_FALSE(IsStorableName(" Logo"));
    EXPECT_FALSE(IsStorableName("Logo "));
}

TEST(StorableName, AcceptsSpacesInsideAndHighBytes) {
    EXPECT_TRUE(IsStorableName("Page numbers"));
    EXPECT_TRUE(IsStorableName("x=y"));
    EXPECT_TRUE(IsStorableName("Caf\xE9 \xA0\xFF"));
    EXPECT_TRUE(IsStorableName("A"));
}

#include "model/TesserionStore.h"
#include "model/ColorText.h"
#include "model/NumberText.h"
#include "model/Validation.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

using namespace tesser::model;
using tesser::test::ReadFile;
using tesser::test::TempDir;
using tesser::test::WriteFile;

namespace {

TesserionList LoadFrom(const std::string& text) {
    Profile profile;
    profile.LoadText(text);
    TesserionList list;
    LoadTesserions(profile, list);
    return list;
}

std::string SavedText(const TesserionList& list) {
    Profile profile;
    profile.Clear();
    SaveTesserions(profile, list);
    const std::string text = FormatProfileText(profile.Sections());
    profile.Clear();
    return text;
}

std::vector<std::string> Names(const TesserionList& list) {
    std::vector<std::string> names;
    for (const auto& [name, t] : list) {
        names.push_back(name);
    }
    return names;
}

Tesserion Named(const std::string& name) {
    Tesserion t;
    t.Name = name;
    return t;
}

} // namespace

TEST(SaveTesserions, DefaultRecordWritesTheDocumentedSection) {
    Tesserion logo = Named("Logo");
    logo.Text = "Page\r\n";
    TesserionList list;
    list.Insert(logo);
    EXPECT_EQ(SavedText(list), "[Tesserion_Logo]\r\n"
                               "ColorName=Black\r\n"
                               "ColorText=0.00\r\n"
                               "FontFace=Helvetica\r\n"
                               "FontLeading=14.000000\r\n"
                               "FontSize=12.000000\r\n"
                               "JustifyH=Left\r\n"
                               "JustifyV=Top\r\n"
                               "Layer=Foreground\r\n"
                               "PagesAll=TRUE\r\n"
                               "PagesOddEven=OddAndEven\r\n"
                               "PagesRange=\r\n"
                               "PosAngle=0.000000\r\n"
                               "PosX=0.000000\r\n"
                               "PosY=0.000000\r\n"
                               "Text=Page\\r\\n\r\n"
                               "Units=Inches\r\n"
                               "\r\n"
                               "[Tesserions]\r\n"
                               "1=Logo\r\n"
                               "Count=1\r\n"
                               "\r\n");
}

TEST(SaveTesserions, OutOfRangeEnumerationsWriteTheLastWord) {
    Tesserion t = Named("T");
    t.Units = static_cast<Units>(7);
    t.JustifyH = static_cast<JustifyH>(-1);
    t.JustifyV = static_cast<JustifyV>(3);
    t.Layer = static_cast<Layer>(5);
    t.Pages.PagesOddEven = static_cast<PagesOddEven>(9);
    TesserionList list;
    list.Insert(t);
    const std::string text = SavedText(list);
    for (const char* line : {"Units=CM\r\n", "JustifyH=Right\r\n", "JustifyV=Bottom\r\n",
                             "Layer=Background\r\n", "PagesOddEven=EvenOnly\r\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }
}

TEST(SaveTesserions, TwelveEntriesAreListedInNameOrder) {
    TesserionList list;
    for (int i = 1; i <= 12; ++i) {
        list.Insert(Named("T" + std::to_string(i)));
    }
    const std::string text = SavedText(list);
    const std::size_t section = text.find("[Tesserions]");
    ASSERT_NE(section, std::string::npos);
    EXPECT_LT(text.find("10=T7\r\n", section), text.find("2=T10\r\n", section));
    EXPECT_NE(text.find("1=T1\r\n", section), std::string::npos);
    EXPECT_NE(text.find("12=T9\r\n", section), std::string::npos);
    EXPECT_NE(text.find("Count=12\r\n", section), std::string::npos);
    EXPECT_EQ(LoadFrom(text), list);
}

TEST(SaveTesserions, SkipsNamesThatWouldNotLoadBack) {
    TesserionList list;
    for (const char* name : {" padded", "ok", "tab\there", "br[ack]et", "fine too"}) {
        list.Insert(Named(name));
    }
    Profile profile;
    profile.Clear();
    EXPECT_EQ(SaveTesserions(profile, list), 3);
    EXPECT_EQ(profile.GetInt("Tesserions", "Count", -1), 2);
    const TesserionList loaded = LoadFrom(FormatProfileText(profile.Sections()));
    EXPECT_EQ(Names(loaded), (std::vector<std::string>{"fine too", "ok"}));
    profile.Clear();
}

TEST(LoadTesserions, AlignIsTheFallbackForJustifyH) {
    const TesserionList list = LoadFrom("[Tesserions]\r\nCount=1\r\n1=A\r\n"
                                        "[Tesserion_A]\r\nAlign=Center\r\n");
    ASSERT_EQ(list.Count(), 1u);
    EXPECT_EQ(list.Find("A")->JustifyH, JustifyH::Center);
    const std::string saved = SavedText(list);
    EXPECT_NE(saved.find("JustifyH=Center\r\n"), std::string::npos);
    EXPECT_EQ(saved.find("Align"), std::string::npos);
}

TEST(LoadTesserions, JustifyHWinsOverAlign) {
    const TesserionList list = LoadFrom("[Tesserions]\r\nCount=1\r\n1=A\r\n"
                                        "[Tesserion_A]\r\nAlign=Center\r\nJustifyH=Right\r\n");
    EXPECT_EQ(list.Find("A")->JustifyH, JustifyH::Right);
}

TEST(LoadTesserions, NumbersAreClampedToTheirRanges) {
    const TesserionList list =
        LoadFrom("[Tesserions]\r\nCount=2\r\n1=A\r\n2=B\r\n"
                 "[Tesserion_A]\r\nPosAngle=-90.000000\r\nFontSize=5000\r\nFontLeading=-2000\r\n"
                 "PosX=1000000000000000019884624838656.000000\r\nPosY=-3e7\r\n"
                 "[Tesserion_B]\r\nPosAngle=400\r\nFontSize=letters\r\n");
    const Tesserion& a = *list.Find("A");
    EXPECT_EQ(a.PosAngle, -90); // the angle range of the Tesserion page, not 0..360
    EXPECT_EQ(a.FontSize, 1000);
    EXPECT_EQ(a.FontLeading, -1000);
    EXPECT_EQ(a.PosX, 1000000);
    EXPECT_EQ(a.PosY, -1000000);
    const Tesserion& b = *list.Find("B");
    EXPECT_EQ(b.PosAngle, 360);
    EXPECT_EQ(b.FontSize, 1);
}

TEST(LoadTesserions, NegativeAngleSurvivesSaveAndLoad) {
    Tesserion t = Named("Diagonal");
    t.PosAngle = -45;
    TesserionList list;
    list.Insert(t);
    EXPECT_EQ(LoadFrom(SavedText(list)).Find("Diagonal")->PosAngle, -45);
}

TEST(LoadTesserions, WordsAreCaseSensitiveAndUnknownOnesKeepDefaults) {
    const TesserionList list =
        LoadFrom("[Tesserions]\r\nCount=2\r\n1=A\r\n2=B\r\n"
                 "[Tesserion_A]\r\nUnits=cm\r\nJustifyV=bottom\r\nLayer=Back\r\n"
                 "PagesOddEven=evenonly\r\n"
                 "[Tesserion_B]\r\nUnits= CM \r\nJustifyV=Bottom\r\nLayer=Background\r\n"
                 "PagesOddEven=EvenOnly\r\nJustifyH=Right\r\n");
    const Tesserion& a = *list.Find("A");
    EXPECT_EQ(a.Units, Units::Inches);
    EXPECT_EQ(a.JustifyV, JustifyV::Top);
    EXPECT_EQ(a.Layer, Layer::Foreground);
    EXPECT_EQ(a.Pages.PagesOddEven, PagesOddEven::OddAndEven);
    const Tesserion& b = *list.Find("B");
    EXPECT_EQ(b.Units, Units::CM);
    EXPECT_EQ(b.JustifyV, JustifyV::Bottom);
    EXPECT_EQ(b.Layer, Layer::Background);
    EXPECT_EQ(b.Pages.PagesOddEven, PagesOddEven::EvenOnly);
    EXPECT_EQ(b.JustifyH, JustifyH::Right);
}

TEST(LoadTesserions, ColourSpaceAndValuesAreDerived) {
    const TesserionList list =
        LoadFrom("[Tesserions]\r\nCount=3\r\n1=R\r\n2=U\r\n3=Bad\r\n"
                 "[Tesserion_R]\r\nColorName=Red\r\nColorText=1.00,0.00,0.00\r\n"
                 "[Tesserion_U]\r\nColorName=Mauve\r\nColorText=0.25\r\n"
                 "[Tesserion_Bad]\r\nColorName=Custom (C,M,Y,K)\r\nColorText=0.1,0.2\r\n");
    const Tesserion& r = *list.Find("R");
    EXPECT_EQ(r.ColorSpace, ColorSpace::RGB);
    EXPECT_EQ(r.ColorValues, (std::array<double, 4>{1, 0, 0, 0}));
    const Tesserion& u = *list.Find("U");
    EXPECT_EQ(u.ColorName, "Mauve"); // loaded unchanged; validation refuses it later
    EXPECT_EQ(u.ColorSpace, ColorSpace::Gray);
    EXPECT_EQ(u.ColorValues, (std::array<double, 4>{0.25, 0.25, 0.25, 0.25}));
    const Tesserion& bad = *list.Find("Bad");
    EXPECT_EQ(bad.ColorSpace, ColorSpace::CMYK);
    EXPECT_EQ(bad.ColorText, "0.1,0.2");
}

TEST(LoadTesserions, EmptyNamesDuplicatesAndMissingSections) {
    const TesserionList list = LoadFrom("[Tesserions]\r\nCount=4\r\n1=A\r\n2= \r\n3=A\r\n"
                                        "4=Ghost\r\n[Tesserion_A]\r\nText=first\r\n");
    EXPECT_EQ(Names(list), (std::vector<std::string>{"A", "Ghost"}));
    EXPECT_EQ(list.Find("A")->Text, "first");
    Tesserion ghost = Named("Ghost");
    EXPECT_EQ(*list.Find("Ghost"), ghost);
    const std::string saved = SavedText(list);
    EXPECT_NE(saved.find("1=A\r\n2=Ghost\r\nCount=2\r\n"), std::string::npos);
}

TEST(LoadTesserions, NothingListedLoadsNothing) {
    EXPECT_TRUE(LoadFrom("").Empty());
    EXPECT_TRUE(LoadFrom("[Tesserions]\r\nCount=-3\r\n1=A\r\n").Empty());
    EXPECT_TRUE(LoadFrom("[Tesserions]\r\nCount=zero\r\n1=A\r\n").Empty());
}

TEST(LoadTesserions, ListedNamesAreTrimmed) {
    const TesserionList list =
        LoadFrom("[Tesserions]\r\nCount=1\r\n1=  Logo \r\n[Tesserion_Logo]\r\nText=t\r\n");
    ASSERT_NE(list.Find("Logo"), nullptr);
    EXPECT_EQ(list.Find("Logo")->Text, "t");
}

TEST(LoadTesserions, TextKeepsSpacesWhileFontFaceIsTrimmed) {
    Tesserion t = Named("S");
    t.Text = "  spaced \\ text\r\nline two\n\\n ";
    TesserionList list;
    list.Insert(t);
    std::string saved = SavedText(list);
    const std::string font = "FontFace=Helvetica\r\n";
    saved.replace(saved.find(font), font.size(), "FontFace=  Courier \t\r\n");
    const TesserionList list2 = LoadFrom(saved);
    const Tesserion& loaded = *list2.Find("S");
    EXPECT_EQ(loaded.Text, t.Text);
    EXPECT_EQ(loaded.FontFace, "Courier");
}

TEST(LoadTesserions, LongTextSurvivesWhole) {
    Tesserion t = Named("Long");
    for (int i = 0; i < 2000; ++i) {
        t.Text += "Row " + std::to_string(i) + "\\\r\n";
    }
    TesserionList list;
    list.Insert(t);
    EXPECT_EQ(LoadFrom(SavedText(list)).Find("Long")->Text, t.Text);
}

TEST(CustomColors, SavedAndLoadedWithRange) {
    Profile profile;
    profile.Clear();
    CustomColors colors{};
    for (std::size_t i = 0; i < colors.size(); ++i) {
        colors[i] = static_cast<std::int32_t>(i * 1000003);
    }
    colors[3] = -5;
    colors[4] = 0x7FFFFFFF;
    SaveCustomColors(profile, colors);
    EXPECT_EQ(profile.GetString("Colors", "15"), "15000045");
    EXPECT_EQ(profile.GetString("Colors", "3"), "0");
    EXPECT_EQ(profile.GetString("Colors", "4"), "16777215");
    Profile reread;
    reread.LoadText(FormatProfileText(profile.Sections()) + "[Colors]\r\n7=99999999\r\n");
    const CustomColors loaded = LoadCustomColors(reread);
    EXPECT_EQ(loaded[0], 0);
    EXPECT_EQ(loaded[1], 1000003);
    EXPECT_EQ(loaded[7], 16777215);
    EXPECT_EQ(loaded[15], 15000045);
    profile.Clear();
}

TEST(CustomColors, MissingKeysAreBlack) {
    Profile profile;
    profile.LoadText("");
    EXPECT_EQ(LoadCustomColors(profile), CustomColors{});
}

namespace {

// Random Tesserions whose stored fields all survive the file: texts hold any byte (CR, LF,
// backslash, "=", "[", "]", NUL, 0xA0-0xFF...), numbers are multiples of 1/64 inside their
// ranges (exact in "%f"), and names are storable.
class RandomTesserions {
public:
    explicit RandomTesserions(unsigned seed) : rng_(seed) {}

    Tesserion Next() {
        Tesserion t;
        t.Name = Name();
        t.Text = AnyBytes(Pick(0, 3) == 0 ? Pick(0, 2000) : Pick(0, 40));
        t.Units = static_cast<Units>(Pick(0, 2));
        t.JustifyH = static_cast<JustifyH>(Pick(0, 2));
        t.JustifyV = static_cast<JustifyV>(Pick(0, 2));
        t.Layer = static_cast<Layer>(Pick(0, 1));
        t.PosX = Sixty4ths(-1000000, 1000000);
        t.PosY = Sixty4ths(-1000000, 1000000);
        t.PosAngle = Sixty4ths(-360, 360);
        t.FontFace = Pick(0, 5) == 0 ? Word() : std::string(BaseFontNames[Pick(0, 13)]);
        t.FontSize = Sixty4ths(1, 1000);
        t.FontLeading = Sixty4ths(-1000, 1000);
        if (Pick(0, 5) == 0) {
            t.ColorName = Word();
            t.ColorText = AnyBytes(Pick(0, 20));
        } else {
            const ColorPreset& preset = ColorPresets[Pick(0, 10)];
            t.ColorName = std::string(preset.Name);
            t.ColorText = Pick(0, 1) ? std::string(preset.Text) : AnyBytes(Pick(0, 20));
        }
        t.Pages.PagesAll = Pick(0, 1) == 1;
        t.Pages.PagesOddEven = static_cast<PagesOddEven>(Pick(0, 2));
        t.Pages.PagesRange = Pick(0, 1) ? PageRange() : AnyBytes(Pick(0, 20));
        // What the loader derives, for comparison.
        if (const ColorPreset* preset = FindColorPreset(t.ColorName)) {
            t.ColorSpace = preset->ColorSpace;
        }
        ParseColorText(t);
        return t;
    }

private:
    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }

    double Sixty4ths(int low, int high) {
        return static_cast<double>(
                   std::uniform_int_distribution<long long>(low * 64LL, high * 64LL)(rng_)) /
               64.0;
    }

    std::string AnyBytes(int length) {
        static const std::string special = "\r\n\\=[]\t ";
        std::string text;
        for (int i = 0; i < length; ++i) {
            const int kind = Pick(0, 3);
            if (kind == 0) {
                text += special[static_cast<std::size_t>(Pick(0, 7))];
            } else if (kind == 1) {
                text += static_cast<char>(Pick(0xA0, 0xFF));
            } else {
                text += static_cast<char>(Pick(0, 255));
            }
        }
        return text;
    }

    // One line without white space at either end (the reader trims these fields).
    std::string Word() {
        std::string word;
        const int length = Pick(1, 12);
        for (int i = 0; i < length; ++i) {
            char c;
            do {
                c = static_cast<char>(Pick(1, 255));
            } while (c == '\r' || c == '\n');
            word += c;
        }
        while (!word.empty() && IsWhiteSpace(word.front())) {
            word.erase(0, 1);
        }
        while (!word.empty() && IsWhiteSpace(word.back())) {
            word.pop_back();
        }
        return word.empty() ? "w" : word;
    }

    std::string Name() {
        std::string name;
        do {
            name.clear();
            const int length = Pick(1, 16);
            for (int i = 0; i < length; ++i) {
                name += static_cast<char>(Pick(32, 255));
            }
        } while (!IsStorableName(name));
        return name;
    }

    std::string PageRange() {
        std::string text;
        const int items = Pick(0, 4);
        for (int i = 0; i < items; ++i) {
            if (i > 0) {
                text += ',';
            }
            if (Pick(0, 1)) {
                text += std::to_string(Pick(1, 500));
            }
            if (Pick(0, 1)) {
                text += '-';
                text += std::to_string(Pick(1, 500));
            }
        }
        return text;
    }

    std::mt19937 rng_;
};

} // namespace

TEST(TesserionRoundTrip, ThousandRandomTesserionsComeBackEqualFromARealFile) {
    RandomTesserions random(20240611);
    TesserionList saved;
    while (saved.Count() < 1000) {
        saved.Insert(random.Next());
    }
    TempDir dir;
    const auto path = dir / "Quorel.ini";
    {
        Profile profile(path);
        profile.Clear();
        SaveTesserions(profile, saved);
        ASSERT_TRUE(profile.Save());
    }
    Profile profile(path);
    TesserionList loaded;
    LoadTesserions(profile, loaded);
    ASSERT_EQ(loaded.Count(), saved.Count());
    auto it = loaded.begin();
    for (const auto& [name, expected] : saved) {
        const Tesserion& actual = it->second;
        ++it;
        ASSERT_EQ(actual.Name, expected.Name);
        // Field by field, so that a failure names the field; then the whole record.
        EXPECT_EQ(actual.Text, expected.Text) << name;
        EXPECT_EQ(actual.Units, expected.Units) << name;
        EXPECT_EQ(actual.JustifyH, expected.JustifyH) << name;
        EXPECT_EQ(actual.JustifyV, expected.JustifyV) << name;
        EXPECT_EQ(actual.Layer, expected.Layer) << name;
        EXPECT_EQ(actual.PosX, expected.PosX) << name;
        EXPECT_EQ(actual.PosY, expected.PosY) << name;
        EXPECT_EQ(actual.PosAngle, expected.PosAngle) << name;
        EXPECT_EQ(actual.FontFace, expected.FontFace) << name;
        EXPECT_EQ(actual.FontSize, expected.FontSize) << name;
        EXPECT_EQ(actual.FontLeading, expected.FontLeading) << name;
        EXPECT_EQ(actual.ColorName, expected.ColorName) << name;
        EXPECT_EQ(actual.ColorText, expected.ColorText) << name;
        EXPECT_EQ(actual.ColorSpace, expected.ColorSpace) << name;
        EXPECT_EQ(actual.ColorValues, expected.ColorValues) << name;
        EXPECT_EQ(actual.Pages.PagesAll, expected.Pages.PagesAll) << name;
        EXPECT_EQ(actual.Pages.PagesOddEven, expected.Pages.PagesOddEven) << name;
        EXPECT_EQ(actual.Pages.PagesRange, expected.Pages.PagesRange) << name;
        EXPECT_EQ(actual, expected) << name;
    }
    // Saving what was loaded writes the same bytes again.
    const auto again = dir / "again.ini";
    {
        Profile profile2(again);
        profile2.Clear();
        SaveTesserions(profile2, loaded);
    }
    EXPECT_EQ(ReadFile(again), ReadFile(path));
}

TEST(TesserionRoundTrip, ArbitraryNumbersComeBackAsTheirSixDecimalRounding) {
    // "%f" keeps six decimals: a value comes back as its rounding, not bit for bit.
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> any(-1000, 1000);
    TesserionList list;
    std::vector<double> values;
    for (int i = 0; i < 200; ++i) {
        Tesserion t = Named("N" + std::to_string(1000 + i));
        t.PosX = any(rng);
        values.push_back(t.PosX);
        list.Insert(t);
    }
    const TesserionList loaded = LoadFrom(SavedText(list));
    int i = 0;
    for (const auto& [name, t] : loaded) {
        const double expected =
            ReadNumber(FormatFixed6(values[static_cast<std::size_t>(i++)])).Value;
        EXPECT_EQ(t.PosX, expected) << name;
        EXPECT_NEAR(t.PosX, values[static_cast<std::size_t>(i - 1)], 5e-7);
    }
}

TEST(SampleProfile, LoadsValidTesserionsAndIsWrittenAsTheSaverWritesIt) {
    const auto path = std::filesystem::path(TESSER_SOURCE_DIR) / "samples" / "Quorel.ini";
    const std::string bytes = ReadFile(path);
    ASSERT_FALSE(bytes.empty());
    Profile profile(path);
    TesserionList list;
    LoadTesserions(profile, list);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"Confidential", "Draft", "Page numbers"}));
    for (const auto& [name, t] : list) {
        Tesserion copy = t;
        EXPECT_EQ(ValidateTesserion(copy), std::nullopt) << name;
    }
    EXPECT_EQ(list.Find("Page numbers")->Text, "Page <PageNumber> of <PageCount>");
    EXPECT_EQ(list.Find("Draft")->PosAngle, 45);
    // Windows-1252 text (an em dash is byte 0x97) and CR LF line ends, exactly as saved.
    EXPECT_NE(list.Find("Confidential")->Text.find('\x97'), std::string::npos);
    Profile again;
    again.Clear();
    SaveCustomColors(again, LoadCustomColors(profile));
    SaveTesserions(again, list);
    EXPECT_EQ(FormatProfileText(again.Sections()), bytes);
    again.Clear();
}

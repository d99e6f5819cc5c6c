#include "model/TesserionFields.h"

#include "model/ColorText.h"
#include "model/PageRange.h"
#include "model/Vocabulary.h"

#include <algorithm>
#include <array>

namespace tesser::model {

namespace {

using Field = TesserionField;
using Kind = Field::FieldKind;
using Form = Field::CommandForm;
using Word = Field::CommandWord;

// Accessors of a member, for the table.
#define TEXT(member) [](Tesserion& t) -> std::string& { return t.member; }
#define NUMBER(member) [](Tesserion& t) -> double& { return t.member; }
#define FLAG(member) [](Tesserion& t) -> bool& { return t.member; }
#define CHOICE(member)                                                                             \
    .ChoiceOf = [](const Tesserion& t) { return static_cast<std::int32_t>(t.member); },            \
    .SetChoice = [](Tesserion& t, std::int32_t v) {                                                \
        t.member = static_cast<decltype(t.member)>(v);                                             \
    }

constexpr std::string_view kUnitsWords[] = {"Points", "Inches", "CM"};
constexpr std::string_view kJustifyHWords[] = {"Left", "Center", "Right"};
constexpr std::string_view kJustifyVWords[] = {"Top", "Center", "Bottom"};
constexpr std::string_view kLayerWords[] = {"Foreground", "Background"};
constexpr std::string_view kColorSpaceWords[] = {"Gray", "RGB", "CMYK"};
constexpr std::string_view kOddEvenWords[] = {"OddAndEven", "OddOnly", "EvenOnly"};

constexpr Word kUnitsOptions[] = {{"points", 0}, {"inches", 1}, {"cm", 2}};
constexpr Word kJustifyOptions[] = {{"left", 0}, {"center", 1}, {"right", 2}, {"centre", 1}};
constexpr Word kValignOptions[] = {{"top", 0}, {"center", 1}, {"bottom", 2}, {"centre", 1}};
constexpr Word kLayerOptions[] = {{"foreground", 0}, {"background", 1}};
constexpr Word kOddEvenOptions[] = {{"all", 0}, {"odd", 1}, {"even", 2}};

bool KnownFace(Tesserion& t) {
    return IsBaseFontName(t.FontFace);
}

// The colour's preset decides its space, which the components are then read in.
bool KnownColour(Tesserion& t) {
    const ColorPreset* preset = FindColorPreset(t.ColorName);
    if (preset == nullptr) {
        return false;
    }
    t.ColorSpace = preset->ColorSpace;
    return true;
}

bool ReadableColourText(Tesserion& t) {
    std::array<double, 4> values{};
    return ParseColorText(t.ColorText, t.ColorSpace, values);
}

bool ReadableRange(Tesserion& t) {
    return t.Pages.PagesAll || CheckPageRange(t.Pages.PagesRange);
}

// The profile's order: a new section is written in it.
const Field kFields[] = {
    {.Kind = Kind::Text,
     .Key = "Text",
     .TextOf = TEXT(Text),
     .Form = Form::StampText,
     .Option = "text",
     .ValueName = "TEXT",
     .Help = "the text; \\n starts a new line, \\\\ is a backslash; fields: <PageNumber>, "
             "<PageCount>,\n<Date:FORMAT> and <Time:FORMAT> (strftime), e.g. \"Page <PageNumber> "
             "of <PageCount>\"",
     .CommandOrder = 1,
     .JournalOrder = 1},
    {.Kind = Kind::Choice,
     .Key = "Units",
     CHOICE(Units),
     .Words = kUnitsWords,
     .Form = Form::Word,
     .Option = "units",
     .ValueName = "UNIT",
     .Help = "points, inches (default) or cm: the unit of --x and --y (1 inch = 72 points)",
     .CommandWords = kUnitsOptions,
     .CommandOrder = 7,
     .Noun = "the units",
     .JournalOrder = 2},
    {.Kind = Kind::Choice,
     .Key = "JustifyH",
     .LegacyKey = "Align",
     CHOICE(JustifyH),
     .Words = kJustifyHWords,
     .Form = Form::Word,
     .Option = "justify",
     .ValueName = "H",
     .Help = "left (default), center or right",
     .CommandWords = kJustifyOptions,
     .CommandOrder = 11,
     .Noun = "the horizontal justification",
     .JournalOrder = 3},
    {.Kind = Kind::Choice,
     .Key = "JustifyV",
     CHOICE(JustifyV),
     .Words = kJustifyVWords,
     .Form = Form::Word,
     .Option = "valign",
     .ValueName = "V",
     .Help = "top (default), center or bottom",
     .CommandWords = kValignOptions,
     .CommandOrder = 12,
     .Noun = "the vertical justification",
     .JournalOrder = 4},
    {.Kind = Kind::Choice,
     .Key = "Layer",
     CHOICE(Layer),
     .Words = kLayerWords,
     .Form = Form::Word,
     .Option = "layer",
     .ValueName = "LAYER",
     .Help = "foreground (over the page, default) or background (under it)",
     .CommandWords = kLayerOptions,
     .CommandOrder = 13,
     .Noun = "the layer",
     .JournalOrder = 5},
    {.Kind = Kind::Number,
     .Key = "PosX",
     .NumberOf = NUMBER(PosX),
     .Minimum = -1000000,
     .Maximum = 1000000,
     .Form = Form::Length,
     .Option = "x",
     .ValueName = "LENGTH",
     .Help = "the text's distance from the left edge of the page (default 0); --justify center "
             "or\nright centres or ends each line there",
     .NumberIs = "a number",
     .CommandOrder = 8,
     .Noun = "the x position",
     .JournalOrder = 6},
    {.Kind = Kind::Number,
     .Key = "PosY",
     .NumberOf = NUMBER(PosY),
     .Minimum = -1000000,
     .Maximum = 1000000,
     .Form = Form::Length,
     .Option = "y",
     .ValueName = "LENGTH",
     .Help = "the first baseline's distance below the top edge of the page (default 0)",
     .NumberIs = "a number",
     .CommandOrder = 9,
     .Noun = "the y position",
     .JournalOrder = 7},
    {.Kind = Kind::Number,
     .Key = "PosAngle",
     .NumberOf = NUMBER(PosAngle),
     .Minimum = -360,
     .Maximum = 360,
     .Checked = true,
     .Invalid = "position angle",
     .Form = Form::Number,
     .Option = "angle",
     .ValueName = "DEGREES",
     .Help = "rotation, -360 to 360 (default 0)",
     .NumberIs = "a number of degrees",
     .CommandOrder = 10,
     .Noun = "the angle",
     .JournalOrder = 8},
    {.Kind = Kind::Name,
     .Key = "FontFace",
     .TextOf = TEXT(FontFace),
     .Check = KnownFace,
     .Invalid = "font face",
     .Form = Form::Font,
     .Option = "font",
     .ValueName = "FONT",
     .Help = "one of the 14 standard fonts: Helvetica (default), Helvetica-Bold, Times-Roman,\n"
             "Courier, Symbol, ZapfDingbats, ... (-Bold, -Oblique, -Italic, -BoldOblique, "
             "-BoldItalic)",
     .CommandOrder = 2,
     .JournalOrder = 9},
    {.Kind = Kind::Number,
     .Key = "FontSize",
     .NumberOf = NUMBER(FontSize),
     .Minimum = 1,
     .Maximum = 1000,
     .Checked = true,
     .Invalid = "font size",
     .Form = Form::Number,
     .Option = "size",
     .ValueName = "PT",
     .Help = "font size in points, 1 to 1000 (default 12)",
     .NumberIs = "a number of points",
     .CommandOrder = 3,
     .Noun = "the font size",
     .JournalOrder = 10},
    {.Kind = Kind::Number,
     .Key = "FontLeading",
     .NumberOf = NUMBER(FontLeading),
     .Minimum = -1000,
     .Maximum = 1000,
     .Checked = true,
     .Invalid = "font leading",
     .Form = Form::Number,
     .Option = "leading",
     .ValueName = "PT",
     .Help = "distance between baselines in points, -1000 to 1000 (default 14)",
     .NumberIs = "a number of points",
     .CommandOrder = 4,
     .Noun = "the leading",
     .JournalOrder = 11},
    {.Kind = Kind::Name,
     .Key = "ColorName",
     .TextOf = TEXT(ColorName),
     .Check = KnownColour,
     .Invalid = "colour",
     .Form = Form::Colour,
     .Option = "colour",
     .Aliases = "color",
     .ValueName = "COLOUR",
     .Help = "Black (default), \"Gray (50%)\", \"Gray (70%)\", \"Gray (85%)\", \"Gray (94%)\", "
             "Red, Green,\nBlue, \"Custom (Gray)\", \"Custom (R,G,B)\", \"Custom (C,M,Y,K)\"; or "
             "1, 3 or 4 numbers from 0\nto 1 (\"0.5\", \"1,0.5,0\", \"0,0,0,1\") for a custom "
             "gray, RGB or CMYK",
     .CommandOrder = 5,
     .JournalOrder = 12},
    {.Kind = Kind::Text,
     .Key = "ColorText",
     .TextOf = TEXT(ColorText),
     .Check = ReadableColourText,
     .Invalid = "colour",
     .Form = Form::ColourText,
     .Option = "colour-text",
     .Aliases = "color-text",
     .ValueName = "N,...",
     .Help = "the colour's components, as the profile's ColorText",
     .CommandOrder = 6,
     .JournalOrder = 13},
    // Derived from the two above (ParseColorText), never stored in the profile.
    {.Kind = Kind::Choice,
     CHOICE(ColorSpace),
     .Words = kColorSpaceWords,
     .Noun = "the colour space",
     .JournalOrder = 14},
    {.Kind = Kind::Number,
     .NumberOf = NUMBER(ColorValues[0]),
     .Noun = "a colour value",
     .JournalOrder = 15},
    {.Kind = Kind::Number,
     .NumberOf = NUMBER(ColorValues[1]),
     .Noun = "a colour value",
     .JournalOrder = 16},
    {.Kind = Kind::Number,
     .NumberOf = NUMBER(ColorValues[2]),
     .Noun = "a colour value",
     .JournalOrder = 17},
    {.Kind = Kind::Number,
     .NumberOf = NUMBER(ColorValues[3]),
     .Noun = "a colour value",
     .JournalOrder = 18},
    {.Kind = Kind::Flag,
     .Key = "PagesAll",
     .FlagOf = FLAG(Pages.PagesAll),
     .Form = Form::Pages,
     .Option = "pages",
     .ValueName = "RANGE",
     .Help = "all (default) or a page range such as \"-3,5-7,10,20-\"",
     .CommandOrder = 14,
     .Noun = "the all-pages flag",
     .JournalOrder = 19},
    {.Kind = Kind::Text,
     .Key = "PagesRange",
     .TextOf = TEXT(Pages.PagesRange),
     .Check = ReadableRange,
     .Invalid = "page range",
     .JournalOrder = 21},
    {.Kind = Kind::Choice,
     .Key = "PagesOddEven",
     CHOICE(Pages.PagesOddEven),
     .Words = kOddEvenWords,
     .Form = Form::Word,
     .Option = "odd-even",
     .ValueName = "WHICH",
     .Help = "all (default), odd or even pages",
     .CommandWords = kOddEvenOptions,
     .CommandOrder = 15,
     .Noun = "the odd/even choice",
     .JournalOrder = 20},
};

#undef TEXT
#undef NUMBER
#undef FLAG
#undef CHOICE

std::vector<const Field*> Ordered(int Field::*order) {
    std::vector<const Field*> fields;
    for (const Field& field : kFields) {
        if (field.*order > 0) {
            fields.push_back(&field);
        }
    }
    std::stable_sort(fields.begin(), fields.end(),
                     [order](const Field* a, const Field* b) { return a->*order < b->*order; });
    return fields;
}

} // namespace

std::string_view TesserionField::WordIn(const Tesserion& t) const {
    const std::int32_t value = ChoiceOf(t);
    // Any value other than 0 and 1 counts as the last word.
    return Words[value == 0 || value == 1 ? static_cast<std::size_t>(value) : Words.size() - 1];
}

void TesserionField::ReadWord(Tesserion& t, std::string_view word) const {
    for (std::size_t i = 0; i < Words.size(); ++i) {
        if (word == Words[i]) {
            SetChoice(t, static_cast<std::int32_t>(i));
            return;
        }
    }
}

std::span<const TesserionField> TesserionFields() {
    return kFields;
}

const std::vector<const TesserionField*>& CommandFields() {
    static const std::vector<const Field*> fields = Ordered(&Field::CommandOrder);
    return fields;
}

const std::vector<const TesserionField*>& JournalFields() {
    static const std::vector<const Field*> fields = Ordered(&Field::JournalOrder);
    return fields;
}

const TesserionField* FindFieldByOption(std::string_view option) {
    for (const Field& field : kFields) {
        if (!option.empty() && field.Option == option) {
            return &field;
        }
    }
    return nullptr;
}

} // namespace tesser::model

// The Tesserion: one named stamp definition, a plain value type.
#pragma once

#include "model/Vocabulary.h"

#include <array>
#include <string>
#include <string_view>

namespace tesser::model {

// Which pages of a document receive a Tesserion.
struct PageSelection {
    bool PagesAll = true;
    ::tesser::model::PagesOddEven PagesOddEven = ::tesser::model::PagesOddEven::OddAndEven;
    std::string PagesRange; // used when PagesAll is false; grammar of CheckPageRange

    // n is the 1-based page number. OddOnly keeps odd n, EvenOnly keeps even n (a negative odd n
    // counts as neither odd nor even here, as its remainder is -1); then PagesAll selects the
    // page, or else PagesRange decides with MatchPageRange (an empty range selects nothing).
    bool IncludesPage(int n) const;

    bool operator==(const PageSelection&) const = default;
};

// Fields in their defined order. Lengths are in points, the angle in degrees. ColorSpace and
// ColorValues are derived from ColorName and ColorText (see FindColorPreset and ParseColorText)
// and are never stored in the profile; whoever sets ColorName or ColorText keeps them current.
struct Tesserion {
    std::string Name;
    std::string Text; // may hold CR/LF line breaks and text tokens
    ::tesser::model::Units Units = ::tesser::model::Units::Inches;
    ::tesser::model::JustifyH JustifyH = ::tesser::model::JustifyH::Left;
    ::tesser::model::JustifyV JustifyV = ::tesser::model::JustifyV::Top;
    ::tesser::model::Layer Layer = ::tesser::model::Layer::Foreground;
    double PosX = 0;
    double PosY = 0;
    double PosAngle = 0;
    std::string FontFace = "Helvetica";
    double FontSize = 12;
    double FontLeading = 14;
    std::string ColorName = "Black";
    std::string ColorText = "0.00";
    ::tesser::model::ColorSpace ColorSpace = ::tesser::model::ColorSpace::Gray;
    // Gray: all four hold the gray level (0 black, 1 white); RGB: the first three;
    // CMYK: cyan, magenta, yellow, black.
    std::array<double, 4> ColorValues = {0, 0, 0, 0};
    PageSelection Pages;

    bool operator==(const Tesserion&) const = default;
};

// Whether a Name can be stored in the profile and read back as the same Name: non-empty, free of
// the bytes 0-31, 127 and 128-159 and of "[" and "]", and without white space (space, tab, LF,
// VT, FF, CR) at either end. The store reads listed names trimmed, so a name with white space at
// an end would come back as another name.
bool IsStorableName(std::string_view name);

} // namespace tesser::model

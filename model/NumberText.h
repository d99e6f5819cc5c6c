// Numbers as text: the one formatter for numbers written into pages and shown in fields, and the
// reader of typed numbers. None of these depends on the process's locale: the decimal
// separator is always ".", whatever LC_NUMERIC says.
#pragma once

#include "model/Vocabulary.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tesser::model {

// White space in number texts and profile values: space, tab, LF, VT, FF, CR.
bool IsWhiteSpace(char c);

struct NumberRead {
    double Value = 0;       // 0 when nothing was read; +-infinity when the text overflows a double
    std::size_t Length = 0; // characters consumed, leading white space included; 0 when none
};

// Reads the longest prefix of text that is a decimal floating-point number: leading white
// space, an optional sign, digits with an optional decimal point (at least one digit), and an
// optional exponent (e or E, optional sign, digits). No hexadecimal, "inf" or "nan".
NumberRead ReadNumber(std::string_view text);

// "%.5f", then trailing zeros and a trailing point removed: 12 -> "12", 1/3 -> "0.33333",
// 1.234567 -> "1.23457", -14 -> "-14". A zero of either sign gives "0"; a negative value that
// rounds to zero keeps its sign ("-0"). Never cut: 1e300 gives all its digits. Non-finite
// values give "nan", "inf" or "-inf".
std::string FormatNumber(double value);

// Converts points to unit (Inches or CM; any other value, Points included, converts nothing),
// snaps to the nearest whole number when within 0.001 of it, then formats as FormatNumber:
// 72 points in Inches -> "1", 100 points in CM -> "3.52778", 28.3464 points in CM -> "1".
std::string FormatLength(double points, Units unit);

struct ParsedLength {
    double Value = 0;        // in points (or unconverted for other units)
    bool Acceptable = false; // the whole text is one number with white space around it
};

// Reads a number (ReadNumber), multiplies it by 72 for Inches or 28.346456692913385 for CM, and
// accepts the text when nothing but white space follows the number. An empty text is acceptable
// with 0; white space alone is not; nor is a number too large for a double (the value is then
// infinite).
ParsedLength ParseLength(std::string_view text, Units unit = Units::Points);

// "%f" (six decimals), independent of the locale; never cut.
std::string FormatFixed6(double value);

} // namespace tesser::model

// Page ranges such as "-3,5-7,10,20-": comma-separated items, each a page, a span with a dash
// (open at either end), or empty.
#pragma once

#include <string_view>

namespace tesser::model {

// Validity of a page-range text. Empty is valid. Each item: optional white space, an optional
// number, optional white space, an optional "-", optional white space, an optional number; then
// a comma or the end. A number 0 anywhere is invalid, and so is anything else where a comma
// should be (white space after a second number included: "1-3 ,5" is invalid while "1 ,5" is
// valid). Valid: "", ",", "1,,2", "-", "7-3", "1 2". Numbers have no upper limit: digit runs too
// long for an int are read as INT_MAX.
bool CheckPageRange(std::string_view text);

// Whether the 1-based page n is in the range. An item with a dash matches first <= n <= second
// (a missing end is open: "-3" is 1..3, "20-" is 20 onward, "-" every page); an item without a
// dash matches only its first number ("1 2" matches 1). The empty text matches nothing, and a
// reversed span ("7-3") matches nothing. Meant for texts that pass CheckPageRange; on other
// texts it still ends, treating a character where a comma should be as that comma.
bool MatchPageRange(std::string_view text, int n);

} // namespace tesser::model

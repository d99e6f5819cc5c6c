#include "model/PageRange.h"

#include "model/NumberText.h"

#include <climits>
#include <cstddef>
#include <optional>

namespace tesser::model {

namespace {

struct Item {
    std::optional<int> First;
    bool Dash = false;
    std::optional<int> Second;
    bool HasZero = false;
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

void SkipWhiteSpace(std::string_view text, std::size_t& pos) {
    while (pos < text.size() && IsWhiteSpace(text[pos])) {
        ++pos;
    }
}

// A digit run, saturated at INT_MAX.
std::optional<int> ReadWholeNumber(std::string_view text, std::size_t& pos) {
    if (pos >= text.size() || !IsDigit(text[pos])) {
        return std::nullopt;
    }
    int value = 0;
    while (pos < text.size() && IsDigit(text[pos])) {
        const int digit = text[pos] - '0';
        value = value > (INT_MAX - digit) / 10 ? INT_MAX : value * 10 + digit;
        ++pos;
    }
    return value;
}

Item ReadItem(std::string_view text, std::size_t& pos) {
    Item item;
    SkipWhiteSpace(text, pos);
    item.First = ReadWholeNumber(text, pos);
    SkipWhiteSpace(text, pos);
    if (pos < text.size() && text[pos] == '-') {
        item.Dash = true;
        ++pos;
    }
    SkipWhiteSpace(text, pos);
    item.Second = ReadWholeNumber(text, pos);
    item.HasZero = item.First == 0 || item.Second == 0;
    return item;
}

} // namespace

bool CheckPageRange(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const Item item = ReadItem(text, pos);
        if (item.HasZero) {
            return false;
        }
        if (pos == text.size()) {
            break;
        }
        if (text[pos] != ',') {
            return false;
        }
        ++pos;
    }
    return true;
}

bool MatchPageRange(std::string_view text, int n) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const Item item = ReadItem(text, pos);
        const bool matches =
            item.Dash ? (!item.First || n >= *item.First) && (!item.Second || n <= *item.Second)
                      : item.First == n;
        if (matches) {
            return true;
        }
        // Every pass consumes at least this one character, so the walk ends.
        if (pos < text.size()) {
            ++pos;
        }
    }
    return false;
}

} // namespace tesser::model

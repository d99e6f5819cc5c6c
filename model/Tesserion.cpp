#include "model/Tesserion.h"

#include "model/NumberText.h"
#include "model/PageRange.h"

namespace tesser::model {

bool PageSelection::IncludesPage(int n) const {
    const int r = n % 2;
    if (PagesOddEven == ::tesser::model::PagesOddEven::OddOnly && r != 1) {
        return false;
    }
    if (PagesOddEven == ::tesser::model::PagesOddEven::EvenOnly && r != 0) {
        return false;
    }
    if (PagesAll) {
        return true;
    }
    return MatchPageRange(PagesRange, n);
}

bool IsStorableName(std::string_view name) {
    if (name.empty()) {
        return false;
    }
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 32 || c == 127 || (c >= 128 && c <= 159) || c == '[' || c == ']') {
            return false;
        }
    }
    return !IsWhiteSpace(name.front()) && !IsWhiteSpace(name.back());
}

} // namespace tesser::model

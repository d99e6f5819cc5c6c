#include "model/Vocabulary.h"

#include <algorithm>
#include <cctype>

namespace tesser::model {

bool IsBaseFontName(std::string_view name) {
    return std::find(BaseFontNames.begin(), BaseFontNames.end(), name) != BaseFontNames.end();
}

const ColorPreset* FindColorPreset(std::string_view name) {
    for (const ColorPreset& preset : ColorPresets) {
        if (preset.Name == name) {
            return &preset;
        }
    }
    return nullptr;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace tesser::model

#include "model/Vocabulary.h"

#include <algorithm>

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

} // namespace tesser::model

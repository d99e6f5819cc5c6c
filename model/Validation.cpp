#include "model/Validation.h"

#include "model/TesserionFields.h"

namespace tesser::model {

namespace {

bool InRange(double value, double minimum, double maximum) {
    return value >= minimum && value <= maximum; // false for NaN
}

} // namespace

std::optional<std::string> ValidateTesserion(Tesserion& tesserion) {
    for (const TesserionField& field : TesserionFields()) {
        const bool refused =
            (field.Checked && !InRange(field.NumberOf(tesserion), field.Minimum, field.Maximum)) ||
            (field.Check != nullptr && !field.Check(tesserion));
        if (refused) {
            return std::string(field.Invalid);
        }
    }
    return std::nullopt;
}

std::string InvalidTesserionMessage(std::string_view name, std::string_view word) {
    std::string message = "Tesserion: ";
    message += name;
    message += "\nThe ";
    message += word;
    message += " is invalid\n\n";
    return message;
}

} // namespace tesser::model

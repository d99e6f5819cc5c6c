#include "cli/StampOptions.h"

#include "model/ColorText.h"
#include "model/NumberText.h"
#include "model/PageRange.h"
#include "model/Profile.h"
#include "model/TesserionFields.h"
#include "model/TextEncoding.h"
#include "model/Validation.h"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace tesser::cli {

namespace {

std::string Convert(const std::string& option, const std::string& utf8) {
    try {
        return model::Utf8ToWindows1252(utf8);
    } catch (const model::TextEncodingError& e) {
        throw UsageError(option + ": " + e.what());
    }
}

double Number(const std::string& option, const std::string& text, model::Units unit,
              const char* what) {
    const model::ParsedLength parsed = model::ParseLength(text, unit);
    const model::NumberRead read = model::ReadNumber(text);
    if (read.Length != 0 && (std::isinf(read.Value) || std::isinf(read.Value * 72))) {
        throw UsageError(option + ": \"" + text + "\" is out of range");
    }
    if (!parsed.Acceptable || text.empty()) {
        throw UsageError(option + ": \"" + text + "\" is not " + what);
    }
    return parsed.Value;
}

// A position: what PDF readers accept as a coordinate, 32767 points either way.
double Position(const std::string& option, const std::string& text, model::Units unit) {
    const double points = Number(option, text, unit, "a number");
    if (std::fabs(points) > 32767) {
        throw UsageError(option + ": \"" + text +
                         "\" is out of range (at most 32767 points, 455 inches or 1155 cm "
                         "either way)");
    }
    return points;
}

// The value of one of a field's command-line words, in any letter case.
std::int32_t Word(const std::string& option, const std::string& value,
                  const model::TesserionField& field) {
    std::string list;
    for (const model::TesserionField::CommandWord& word : field.CommandWords) {
        if (model::SameIgnoringCase(word.Text, value)) {
            return word.Value;
        }
        list += (list.empty() ? "" : ", ") + std::string(word.Text);
    }
    throw UsageError(option + ": unknown value \"" + value + "\" (one of: " + list + ")");
}

// The first command-line word of the field's value; a value beyond the named ones counts as the
// last, as in the profile.
std::string WordOf(const model::Tesserion& t, const model::TesserionField& field) {
    std::int32_t value = field.ChoiceOf(t);
    const auto last = static_cast<std::int32_t>(field.Words.size()) - 1;
    if (value != 0 && value != 1) {
        value = last;
    }
    for (const model::TesserionField::CommandWord& word : field.CommandWords) {
        if (word.Value == value) {
            return std::string(word.Text);
        }
    }
    return {};
}

// The Text's own escapes are kept: in a Text a backslash makes the next byte plain ("\\" draws
// one backslash, "\<" a "<" that starts no field), so --text passes them through. Only "\n",
// "\r" and a backslash before a line break are the command line's own.
std::string EscapeText(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out += "\\n";
            ++i;
        } else if (c == '\n') {
            out += "\\\n"; // a lone LF: "\" followed by a line break reads back as LF
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\\' && i + 1 < text.size() && text[i + 1] != '\r' && text[i + 1] != '\n') {
            const char next = text[++i];
            if (next == 'n' || next == 'r') {
                out += next; // drawn as the letter itself
            } else {
                out += '\\';
                out += next;
            }
        } else if (c == '\\') {
            out += "\\\\"; // a backslash before a line break or at the end draws itself
        } else {
            out += c;
        }
    }
    return out;
}

std::string UnescapeText(const std::string& text) {
    // "\n" (and a typed line break) is a line break, CR LF as the dialog keeps it.
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            const char next = text[++i];
            if (next == 'n') {
                out += "\r\n";
            } else if (next == 'r') {
                out += '\r';
            } else if (next == '\n') {
                out += '\n';
            } else {
                out += '\\';
                out += next;
            }
        } else if (c == '\\') {
            // a backslash at the very end is dropped, as in the profile
        } else if (c == '\n' && (out.empty() || out.back() != '\r')) {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

// A length in the units, with enough digits to read back the same points.
std::string ShownLength(double points, model::Units units) {
    std::string shown = model::FormatLength(points, units);
    if (model::ParseLength(shown, units).Value != points) {
        // Not exact at five decimals.
        const double factor = units == model::Units::Inches ? model::InchesPerPoint
                              : units == model::Units::CM   ? model::CentimetresPerPoint
                                                            : 1.0;
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.17g", points * factor);
        shown = buffer;
    }
    return shown;
}

// Sets the field from its option's value, as the field's form reads it.
void ReadOption(const model::TesserionField& field, const std::string& value, model::Tesserion& t) {
    using Form = model::TesserionField::CommandForm;
    const std::string option = "--" + std::string(field.Option);
    switch (field.Form) {
    case Form::None:
        break;
    case Form::StampText:
        field.TextOf(t) = UnescapeText(Convert(option, value));
        break;
    case Form::Font:
        field.TextOf(t) = Convert(option, value);
        for (std::string_view base : model::BaseFontNames) {
            if (model::SameIgnoringCase(base, field.TextOf(t))) {
                field.TextOf(t) = base;
            }
        }
        break;
    case Form::Number:
        field.NumberOf(t) = Number(option, value, model::Units::Points, field.NumberIs.data());
        break;
    case Form::Length:
        field.NumberOf(t) = Position(option, value, t.Units);
        break;
    case Form::Word:
        field.SetChoice(t, Word(option, value, field));
        break;
    case Form::Colour:
        model::ChooseColour(t, Convert(option, value));
        break;
    case Form::ColourText:
        field.TextOf(t) = Convert(option, value);
        break;
    case Form::Pages:
        if (model::SameIgnoringCase(value, "all")) {
            t.Pages.PagesAll = true;
        } else {
            t.Pages.PagesAll = false;
            t.Pages.PagesRange = Convert(option, value);
        }
        break;
    }
}

// The option's value that gives the field as t has it; nothing for an option that need not be
// given (the colour's components when they are its preset's).
std::optional<std::string> ShownOption(const model::TesserionField& field,
                                       const model::Tesserion& t) {
    using Form = model::TesserionField::CommandForm;
    switch (field.Form) {
    case Form::None:
        return std::nullopt;
    case Form::StampText:
        return model::Windows1252ToUtf8(EscapeText(field.TextIn(t)));
    case Form::Font:
    case Form::Colour:
        return model::Windows1252ToUtf8(field.TextIn(t));
    case Form::Number:
        return model::FormatNumber(field.NumberIn(t));
    case Form::Length:
        return ShownLength(field.NumberIn(t), t.Units);
    case Form::Word:
        return WordOf(t, field);
    case Form::ColourText:
        if (model::ColourTextIsThePresets(t)) {
            return std::nullopt;
        }
        return model::Windows1252ToUtf8(field.TextIn(t));
    case Form::Pages:
        return t.Pages.PagesAll ? std::string("all") : model::Windows1252ToUtf8(t.Pages.PagesRange);
    }
    return std::nullopt;
}

} // namespace

model::Tesserion BuildTesserion(const StampFields& f, const std::string& name) {
    model::Tesserion t;
    t.Name = name;
    // In the table's order: the units before the lengths, the colour before its components.
    for (const model::TesserionField& field : model::TesserionFields()) {
        if (const auto given = f.Values.find(field.Option);
            !field.Option.empty() && given != f.Values.end()) {
            ReadOption(field, given->second, t);
        }
    }
    if (const model::ColorPreset* preset = model::FindColorPreset(t.ColorName)) {
        t.ColorSpace = preset->ColorSpace;
    }
    model::ParseColorText(t);
    model::Tesserion checked = t;
    if (const std::optional<std::string> word = model::ValidateTesserion(checked)) {
        std::string message =
            model::Windows1252ToUtf8(model::InvalidTesserionMessage(t.Name, *word));
        while (!message.empty() && message.back() == '\n') {
            message.pop_back();
        }
        for (std::size_t at = message.find('\n'); at != std::string::npos;
             at = message.find('\n', at)) {
            message.replace(at, 1, ": ");
        }
        throw UsageError(message);
    }
    return t;
}

std::string ShellQuote(const std::string& text) {
    if (!text.empty() &&
        text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                               "-_.,/+:%=@") == std::string::npos) {
        return text;
    }
    std::string out = "'";
    for (char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

std::vector<std::pair<std::string, std::string>> ShownOptions(const model::Tesserion& t) {
    std::vector<std::pair<std::string, std::string>> options;
    for (const model::TesserionField* field : model::CommandFields()) {
        if (std::optional<std::string> value = ShownOption(*field, t)) {
            options.emplace_back(std::string(field->Option), std::move(*value));
        }
    }
    return options;
}

std::string ShowTesserion(const model::Tesserion& t) {
    const std::vector<std::pair<std::string, std::string>> options = ShownOptions(t);
    std::string out;
    for (std::size_t i = 0; i < options.size(); ++i) {
        out += "--" + options[i].first + " " + ShellQuote(options[i].second);
        out += i + 1 < options.size() ? " \\\n" : "\n";
    }
    return out;
}

} // namespace tesser::cli

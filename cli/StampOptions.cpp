#include "cli/StampOptions.h"

#include "model/ColorText.h"
#include "model/NumberText.h"
#include "model/PageRange.h"
#include "model/Profile.h"
#include "model/TextEncoding.h"
#include "model/Validation.h"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace tesser::cli {

namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

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

template <typename Enum, std::size_t N>
Enum Word(const std::string& option, const std::string& value,
          const std::array<std::pair<std::string_view, Enum>, N>& words) {
    std::string list;
    for (const auto& [word, member] : words) {
        if (SameIgnoringCase(word, value)) {
            return member;
        }
        list += (list.empty() ? "" : ", ") + std::string(word);
    }
    throw UsageError(option + ": unknown value \"" + value + "\" (one of: " + list + ")");
}

constexpr std::array<std::pair<std::string_view, model::Units>, 3> kUnits = {
    {{"points", model::Units::Points}, {"inches", model::Units::Inches}, {"cm", model::Units::CM}}};
constexpr std::array<std::pair<std::string_view, model::JustifyH>, 4> kJustify = {
    {{"left", model::JustifyH::Left},
     {"center", model::JustifyH::Center},
     {"right", model::JustifyH::Right},
     {"centre", model::JustifyH::Center}}};
constexpr std::array<std::pair<std::string_view, model::JustifyV>, 4> kValign = {
    {{"top", model::JustifyV::Top},
     {"center", model::JustifyV::Center},
     {"bottom", model::JustifyV::Bottom},
     {"centre", model::JustifyV::Center}}};
constexpr std::array<std::pair<std::string_view, model::Layer>, 2> kLayer = {
    {{"foreground", model::Layer::Foreground}, {"background", model::Layer::Background}}};
constexpr std::array<std::pair<std::string_view, model::PagesOddEven>, 3> kOddEven = {
    {{"all", model::PagesOddEven::OddAndEven},
     {"odd", model::PagesOddEven::OddOnly},
     {"even", model::PagesOddEven::EvenOnly}}};

template <typename Enum, std::size_t N>
std::string_view WordOf(Enum value, const std::array<std::pair<std::string_view, Enum>, N>& words) {
    for (const auto& [word, member] : words) {
        if (member == value) {
            return word;
        }
    }
    return words[N - 1].first; // values beyond the named ones count as the last member
}

// The components of a colour text: 1, 3 or 4 numbers separated by commas.
int Components(std::string_view text) {
    int commas = 0;
    for (char c : text) {
        commas += c == ',' ? 1 : 0;
    }
    return commas + 1;
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
        } else if (c == '\\' && i + 1 < text.size() && text[i + 1] != '\r' &&
                   text[i + 1] != '\n') {
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

} // namespace

model::Tesserion BuildTesserion(const StampFields& f, const std::string& name) {
    model::Tesserion t;
    t.Name = name;
    if (f.text) {
        t.Text = UnescapeText(Convert("--text", *f.text));
    }
    if (f.units) {
        t.Units = Word("--units", *f.units, kUnits);
    }
    if (f.x) {
        t.PosX = Position("--x", *f.x, t.Units);
    }
    if (f.y) {
        t.PosY = Position("--y", *f.y, t.Units);
    }
    if (f.angle) {
        t.PosAngle = Number("--angle", *f.angle, model::Units::Points, "a number of degrees");
    }
    if (f.font) {
        t.FontFace = Convert("--font", *f.font);
        for (std::string_view base : model::BaseFontNames) {
            if (SameIgnoringCase(base, t.FontFace)) {
                t.FontFace = base;
            }
        }
    }
    if (f.size) {
        t.FontSize = Number("--size", *f.size, model::Units::Points, "a number of points");
    }
    if (f.leading) {
        t.FontLeading = Number("--leading", *f.leading, model::Units::Points, "a number of points");
    }
    if (f.colour) {
        const std::string colour = Convert("--colour", *f.colour);
        const model::ColorPreset* preset = nullptr;
        for (const model::ColorPreset& p : model::ColorPresets) {
            if (SameIgnoringCase(p.Name, colour)) {
                preset = &p;
            }
        }
        if (preset != nullptr) {
            t.ColorName = preset->Name;
            t.ColorText = preset->Text;
        } else if (!colour.empty() && (std::isdigit(static_cast<unsigned char>(colour[0])) ||
                                       colour[0] == '.')) {
            const int n = Components(colour);
            t.ColorName = n == 1 ? "Custom (Gray)" : n == 3 ? "Custom (R,G,B)" : "Custom (C,M,Y,K)";
            t.ColorText = colour;
        } else {
            t.ColorName = colour; // refused by the validation below, with its message
        }
    }
    if (f.colourText) {
        t.ColorText = Convert("--colour-text", *f.colourText);
    }
    if (f.justify) {
        t.JustifyH = Word("--justify", *f.justify, kJustify);
    }
    if (f.valign) {
        t.JustifyV = Word("--valign", *f.valign, kValign);
    }
    if (f.layer) {
        t.Layer = Word("--layer", *f.layer, kLayer);
    }
    if (f.pages) {
        if (SameIgnoringCase(*f.pages, "all")) {
            t.Pages.PagesAll = true;
        } else {
            t.Pages.PagesAll = false;
            t.Pages.PagesRange = Convert("--pages", *f.pages);
        }
    }
    if (f.oddEven) {
        t.Pages.PagesOddEven = Word("--odd-even", *f.oddEven, kOddEven);
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

std::string ShowTesserion(const model::Tesserion& t) {
    auto length = [&](double points) {
        std::string shown = model::FormatLength(points, t.Units);
        if (model::ParseLength(shown, t.Units).Value != points) {
            // Not exact at five decimals: enough digits to read back the same points.
            const double factor = t.Units == model::Units::Inches ? model::InchesPerPoint
                                  : t.Units == model::Units::CM   ? model::CentimetresPerPoint
                                                                  : 1.0;
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%.17g", points * factor);
            shown = buffer;
        }
        return shown;
    };
    std::vector<std::pair<std::string, std::string>> options = {
        {"--text", model::Windows1252ToUtf8(EscapeText(t.Text))},
        {"--font", model::Windows1252ToUtf8(t.FontFace)},
        {"--size", model::FormatNumber(t.FontSize)},
        {"--leading", model::FormatNumber(t.FontLeading)},
        {"--colour", model::Windows1252ToUtf8(t.ColorName)},
    };
    const model::ColorPreset* preset = model::FindColorPreset(t.ColorName);
    if (preset == nullptr || preset->Editable || preset->Text != t.ColorText) {
        options.emplace_back("--colour-text", model::Windows1252ToUtf8(t.ColorText));
    }
    options.insert(options.end(),
                   {{"--units", std::string(WordOf(t.Units, kUnits))},
                    {"--x", length(t.PosX)},
                    {"--y", length(t.PosY)},
                    {"--angle", model::FormatNumber(t.PosAngle)},
                    {"--justify", std::string(WordOf(t.JustifyH, kJustify))},
                    {"--valign", std::string(WordOf(t.JustifyV, kValign))},
                    {"--layer", std::string(WordOf(t.Layer, kLayer))},
                    {"--pages", t.Pages.PagesAll ? std::string("all")
                                                 : model::Windows1252ToUtf8(t.Pages.PagesRange)},
                    {"--odd-even", std::string(WordOf(t.Pages.PagesOddEven, kOddEven))}});
    std::string out;
    for (std::size_t i = 0; i < options.size(); ++i) {
        out += options[i].first + " " + ShellQuote(options[i].second);
        out += i + 1 < options.size() ? " \\\n" : "\n";
    }
    return out;
}

} // namespace tesser::cli

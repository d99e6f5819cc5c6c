// Every field of a Tesserion, declared once: how the profile holds it, the range a read keeps it
// in, how validation names it, its command-line option and its journal form. The profile's reader
// and writer, validation, the journal and the command line walk this table; a new field is one
// entry here plus the code that draws it.
#pragma once

#include "model/Tesserion.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tesser::model {

struct TesserionField {
    enum class FieldKind {
        Text,   // text the profile holds escaped (it may hold line breaks)
        Name,   // a name the profile holds trimmed
        Choice, // an enumeration, held as one of its words
        Number, // a double
        Flag,   // a bool
    };
    // How the command line reads and shows the field's value.
    enum class CommandForm {
        None,       // no option of its own
        StampText,  // the Text: "\n" breaks the line, the Text's own escapes are kept
        Font,       // a standard font's name, in any letter case
        Number,     // a number (points or degrees)
        Length,     // a length in the Tesserion's units, within what readers accept
        Word,       // one of CommandWords
        Colour,     // a colour preset's name, or components that choose a custom preset
        ColourText, // the colour's components, shown only when they are not the preset's
        Pages,      // "all" (the PagesAll flag) or a page range (PagesRange)
    };
    struct CommandWord {
        std::string_view Text;
        std::int32_t Value;
    };

    FieldKind Kind = FieldKind::Text;
    std::string_view Key{};       // the profile key; empty for a field derived from others
    std::string_view LegacyKey{}; // read in place of Key when Key is missing

    // The value, by Kind: exactly one of these is set.
    std::string& (*TextOf)(Tesserion&) = nullptr;
    double& (*NumberOf)(Tesserion&) = nullptr;
    bool& (*FlagOf)(Tesserion&) = nullptr;
    std::int32_t (*ChoiceOf)(const Tesserion&) = nullptr;
    void (*SetChoice)(Tesserion&, std::int32_t) = nullptr;

    // Choice: the profile's words by value (a value beyond them counts as the last).
    std::span<const std::string_view> Words{};
    // Number: a profile value outside [Minimum, Maximum] reads as the default; with Checked,
    // validation refuses such a value too.
    double Minimum = 0, Maximum = 0;
    bool Checked = false;
    // A check of its own (font face, colour, page range); false refuses the field.
    bool (*Check)(Tesserion&) = nullptr;
    std::string_view Invalid{}; // validation's word for a refused field: "The font size is invalid"

    // The command line.
    CommandForm Form = CommandForm::None;
    std::string_view Option{};    // the long option, without dashes
    std::string_view Aliases{};   // further long names, separated by spaces
    std::string_view ValueName{}; // "PT", "LENGTH", ...
    std::string_view Help{};      // the --help line(s)
    std::string_view NumberIs{};  // Number, Length: what a bad value is not ("a number of points")
    std::span<const CommandWord>
        CommandWords{};   // Word: the option's words (the first of a value is shown)
    int CommandOrder = 0; // options are listed and shown in this order

    // The journal: its fields in JournalOrder; Noun names a refused value ("the font size").
    // JournalSince is the journal version that added the field: an older journal's record has
    // no value for it, and the field keeps its default there.
    std::string_view Noun{};
    int JournalOrder = 0;
    int JournalSince = 1;

    // Read and write through the accessors of any kind.
    const std::string& TextIn(const Tesserion& t) const {
        return TextOf(const_cast<Tesserion&>(t));
    }
    double NumberIn(const Tesserion& t) const { return NumberOf(const_cast<Tesserion&>(t)); }
    bool FlagIn(const Tesserion& t) const { return FlagOf(const_cast<Tesserion&>(t)); }
    std::string_view WordIn(const Tesserion& t) const; // Choice: the profile's word
    void ReadWord(Tesserion& t,
                  std::string_view word) const; // Choice: unknown words change nothing
};

// The fields in the profile's order (the order a new section is written in).
std::span<const TesserionField> TesserionFields();

// The fields that have an option, in CommandOrder; and those the journal records, in
// JournalOrder.
const std::vector<const TesserionField*>& CommandFields();
const std::vector<const TesserionField*>& JournalFields();

// The field of that long option (not an alias), or nullptr.
const TesserionField* FindFieldByOption(std::string_view option);

} // namespace tesser::model

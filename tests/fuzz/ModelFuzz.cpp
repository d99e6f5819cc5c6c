// Feeds random, truncated and mutated inputs to the model's readers and checks their
// invariants. Usage: model_fuzz [--seconds N] [--iterations N] [--seed N]
// Runs for 20 seconds by default; exits 1 on the first broken invariant, naming the input.

#include "model/ColorText.h"
#include "model/NumberText.h"
#include "model/PageRange.h"
#include "model/Profile.h"
#include "model/TesserionStore.h"
#include "model/TextEncoding.h"

#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

using namespace tesser::model;

namespace {

std::string Printable(const std::string& bytes) {
    std::string out;
    for (const unsigned char c : bytes) {
        if (c >= 32 && c < 127 && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

[[noreturn]] void Broken(const char* what, const std::string& input) {
    std::fprintf(stderr, "model_fuzz: %s\ninput: \"%s\"\n", what, Printable(input).c_str());
    std::exit(1);
}

class Generator {
public:
    explicit Generator(unsigned seed) : rng_(seed) {}

    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }

    // Text built from pieces the readers care about, with some random bytes between them.
    std::string Text(const std::vector<std::string>& pieces, int maxPieces) {
        std::string text;
        const int count = Pick(0, maxPieces);
        for (int i = 0; i < count; ++i) {
            if (Pick(0, 4) == 0) {
                text += static_cast<char>(Pick(0, 255));
            } else {
                text +=
                    pieces[static_cast<std::size_t>(Pick(0, static_cast<int>(pieces.size()) - 1))];
            }
        }
        return text;
    }

    // Truncates, flips, inserts, deletes or duplicates parts of input.
    std::string Mutate(std::string input) {
        const int rounds = Pick(1, 8);
        for (int r = 0; r < rounds; ++r) {
            const int size = static_cast<int>(input.size());
            const int at = size == 0 ? 0 : Pick(0, size - 1);
            switch (Pick(0, 5)) {
            case 0:
                input.resize(static_cast<std::size_t>(Pick(0, size)));
                break;
            case 1:
                if (size > 0) {
                    input[static_cast<std::size_t>(at)] ^= static_cast<char>(1 << Pick(0, 7));
                }
                break;
            case 2:
                input.insert(input.begin() + at, static_cast<char>(Pick(0, 255)));
                break;
            case 3:
                if (size > 0) {
                    input.erase(static_cast<std::size_t>(at),
                                static_cast<std::size_t>(Pick(1, std::min(16, size - at))));
                }
                break;
            case 4:
                if (size > 0) {
                    const int length = Pick(1, std::min(64, size - at));
                    input.insert(static_cast<std::size_t>(at),
                                 input.substr(static_cast<std::size_t>(at),
                                              static_cast<std::size_t>(length)));
                }
                break;
            default:
                input.insert(static_cast<std::size_t>(at), Pick(0, 1) ? "\r\n" : "=");
                break;
            }
        }
        return input;
    }

private:
    std::mt19937 rng_;
};

const std::vector<std::string> NumberPieces = {"0",
                                               "1",
                                               "9",
                                               "12",
                                               ".",
                                               "-",
                                               "+",
                                               "e",
                                               "E",
                                               "e-",
                                               "e+",
                                               " ",
                                               "\t",
                                               ",",
                                               "x",
                                               "inf",
                                               "nan",
                                               "0x",
                                               "999999999999999999999",
                                               "1e308",
                                               "1e-320",
                                               "00",
                                               "\n",
                                               "\r"};

const std::vector<std::string> RangePieces = {
    "1",          "2",          "0", "7", "-",  ",",  " ",  "\t", "99999999999999999999",
    "2147483647", "2147483648", "a", ";", "\n", "10", "3-", "-5"};

const std::vector<std::string> ProfilePieces = {"[",
                                                "]",
                                                "=",
                                                "\r\n",
                                                "\n",
                                                "\r",
                                                "Tesserions",
                                                "Count=",
                                                "1=",
                                                "2=",
                                                "Tesserion_",
                                                "Text=",
                                                "\\",
                                                "\\n",
                                                "\\r",
                                                "PosAngle=",
                                                "-90",
                                                "FontSize=",
                                                "5000",
                                                "Align=Center",
                                                "Units=CM",
                                                "ColorName=Red",
                                                "ColorText=1,0,0",
                                                "PagesRange=1-3",
                                                "A",
                                                "B",
                                                " ",
                                                "x"};

// A page-range matcher written independently of the library: items split at commas; within an
// item, digit runs and dashes are the tokens (white space separates them).
bool ReferenceMatch(const std::string& text, int n) {
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(',', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::vector<long long> numbers;
        bool dash = false;
        std::optional<long long> first;
        std::optional<long long> second;
        for (std::size_t i = start; i < end;) {
            if (text[i] >= '0' && text[i] <= '9') {
                long long value = 0;
                while (i < end && text[i] >= '0' && text[i] <= '9') {
                    value = std::min<long long>(INT_MAX, value * 10 + (text[i] - '0'));
                    ++i;
                }
                (dash || first ? second : first) = value;
            } else {
                dash = dash || text[i] == '-';
                ++i;
            }
        }
        const bool matches =
            dash ? (!first || n >= *first) && (!second || n <= *second) : (first && *first == n);
        if (matches && !(start == text.size() && text.empty())) {
            return true;
        }
        if (end == text.size()) {
            break;
        }
        start = end + 1;
    }
    return false;
}

void CheckNumbers(Generator& g) {
    const std::string text = g.Text(NumberPieces, 12);
    for (Units unit : {Units::Points, Units::Inches, Units::CM, static_cast<Units>(99)}) {
        const ParsedLength parsed = ParseLength(text, unit);
        if (parsed.Acceptable && !std::isfinite(parsed.Value)) {
            Broken("ParseLength accepted a non-finite value", text);
        }
        if (text.empty() && !(parsed.Acceptable && parsed.Value == 0)) {
            Broken("ParseLength refused the empty text", text);
        }
        if (parsed.Acceptable) {
            // What FormatLength shows must read back as an acceptable length.
            const std::string shown = FormatLength(parsed.Value, unit);
            if (!ParseLength(shown, unit).Acceptable) {
                Broken("FormatLength gave a text ParseLength refuses", text);
            }
        }
    }
    const NumberRead read = ReadNumber(text);
    if (read.Length > text.size()) {
        Broken("ReadNumber consumed more than the text", text);
    }
    const std::string formatted = FormatNumber(read.Value);
    if (formatted.find(',') != std::string::npos || formatted.empty()) {
        Broken("FormatNumber gave a malformed text", text);
    }
}

void CheckColors(Generator& g) {
    const std::string text = g.Text(NumberPieces, 16);
    for (ColorSpace space : {ColorSpace::Gray, ColorSpace::RGB, ColorSpace::CMYK}) {
        std::array<double, 4> values{};
        const bool ok = ParseColorText(text, space, values);
        for (const double v : values) {
            if (!(v >= 0 && v <= 1)) {
                Broken("ParseColorText stored a value outside 0..1", text);
            }
        }
        if (ok && space == ColorSpace::Gray &&
            !(values[0] == values[1] && values[1] == values[2] && values[2] == values[3])) {
            Broken("ParseColorText gave unequal gray values", text);
        }
    }
}

void CheckPageRanges(Generator& g) {
    const std::string text =
        g.Pick(0, 3) == 0 ? g.Mutate(g.Text(RangePieces, 10)) : g.Text(RangePieces, 10);
    const bool valid = CheckPageRange(text);
    for (int n : {1, 2, 3, 5, 7, 10, 100, INT_MAX, 0, -1, g.Pick(1, 1000)}) {
        const bool matched = MatchPageRange(text, n); // must end whatever the text
        if (valid && n > 0 && matched != ReferenceMatch(text, n)) {
            Broken("MatchPageRange disagrees with the reference matcher", text);
        }
    }
}

TesserionList SaveAndLoad(const TesserionList& list) {
    Profile saved;
    saved.Clear();
    SaveTesserions(saved, list);
    Profile reread;
    reread.LoadText(FormatProfileText(saved.Sections()));
    saved.Clear();
    TesserionList loaded;
    LoadTesserions(reread, loaded);
    return loaded;
}

void CheckProfileText(Generator& g, const std::string& seedProfile) {
    const std::string bytes = g.Pick(0, 1) ? g.Mutate(seedProfile) : g.Text(ProfilePieces, 60);
    const ProfileSections sections = ParseProfileText(bytes);
    bool wellFormed = true;
    for (const auto& [name, keys] : sections) {
        if (name.find('\n') != std::string::npos || name.find(']') != std::string::npos) {
            Broken("a section name holds a line feed or a bracket", bytes);
        }
        wellFormed = wellFormed && name.find('=') == std::string::npos;
        for (const auto& [key, value] : keys) {
            if (key.find('=') != std::string::npos || key.find('\n') != std::string::npos ||
                value.find('\n') != std::string::npos) {
                Broken("a key or value holds a line feed or a key an equals sign", bytes);
            }
            if (!value.empty() && value.back() == '\r') {
                Broken("a value ends in a carriage return", bytes);
            }
            wellFormed = wellFormed && (key.empty() || key.front() != '[');
        }
    }
    // Sections whose names cannot be mistaken for anything else are written and read back as
    // they are.
    if (wellFormed && ParseProfileText(FormatProfileText(sections)) != sections) {
        Broken("profile text does not read back as written", bytes);
    }

    Profile profile;
    profile.LoadText(bytes);
    TesserionList list;
    LoadTesserions(profile, list);
    for (const auto& [name, t] : list) {
        const bool inRange = t.Name == name && !name.empty() && t.PosAngle >= -360 &&
                             t.PosAngle <= 360 && t.FontSize >= 1 && t.FontSize <= 1000 &&
                             t.FontLeading >= -1000 && t.FontLeading <= 1000 &&
                             std::fabs(t.PosX) <= 1000000 && std::fabs(t.PosY) <= 1000000 &&
                             static_cast<int>(t.Units) >= 0 && static_cast<int>(t.Units) <= 2;
        if (!inRange) {
            Broken("a loaded Tesserion is outside its ranges", bytes);
        }
    }
    // Whatever loaded, saved and loaded again, keeps its names; numbers may move once to their
    // six-decimal rounding, after which a further save and load changes nothing.
    const TesserionList second = SaveAndLoad(list);
    const TesserionList third = SaveAndLoad(second);
    if (third != second) {
        Broken("a loaded list does not survive a save and load", bytes);
    }
    std::size_t storable = 0;
    for (const auto& [name, t] : list) {
        if (IsStorableName(name) && second.Contains(name)) {
            ++storable;
        } else if (IsStorableName(name) && t.FontFace.find_first_of("\r\n") == std::string::npos &&
                   t.ColorName.find_first_of("\r\n") == std::string::npos) {
            Broken("a storable name was lost on saving", bytes);
        }
    }
    if (second.Count() > storable) {
        Broken("saving made up a Tesserion", bytes);
    }

    const std::string escaped = EscapeProfileText(bytes);
    if (escaped.find_first_of("\r\n") != std::string::npos ||
        UnescapeProfileText(escaped) != bytes) {
        Broken("escaping does not round-trip", bytes);
    }
    (void)UnescapeProfileText(bytes);
}

void CheckEncoding(Generator& g) {
    std::string bytes;
    const int length = g.Pick(0, 40);
    for (int i = 0; i < length; ++i) {
        bytes += static_cast<char>(g.Pick(0, 255));
    }
    const std::string utf8 = Windows1252ToUtf8(bytes);
    if (Utf8ToWindows1252(utf8) != bytes) {
        Broken("Windows-1252 bytes do not survive UTF-8 and back", bytes);
    }
    try {
        (void)Utf8ToWindows1252(g.Mutate(utf8));
    } catch (const TextEncodingError&) {
        // Refusing is fine; crashing or throwing anything else is not.
    }
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 20;
    long long iterations = -1;
    unsigned seed = std::random_device{}();
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--seconds") == 0) {
            seconds = std::atof(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--iterations") == 0) {
            iterations = std::atoll(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--seed") == 0) {
            seed = static_cast<unsigned>(std::strtoul(argv[i + 1], nullptr, 10));
        } else {
            std::fprintf(stderr, "usage: model_fuzz [--seconds N] [--iterations N] [--seed N]\n");
            return 2;
        }
    }
    std::printf("model_fuzz: seed %u\n", seed);

    // A realistic profile to mutate: what the saver writes for a few Tesserions.
    std::string seedProfile;
    {
        Profile profile;
        profile.Clear();
        TesserionList list;
        for (const char* name : {"Page numbers", "Draft", "Confidential"}) {
            Tesserion t;
            t.Name = name;
            t.Text = "Page <PageNumber> of <PageCount>\r\nline\\two";
            t.PosAngle = -45;
            t.ColorName = "Red";
            t.ColorText = "1.00,0.00,0.00";
            t.Pages.PagesAll = false;
            t.Pages.PagesRange = "-3,5-7";
            list.Insert(t);
        }
        SaveTesserions(profile, list);
        seedProfile = FormatProfileText(profile.Sections());
        profile.Clear();
    }

    Generator g(seed);
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(seconds));
    long long done = 0;
    while (iterations < 0 ? std::chrono::steady_clock::now() < deadline : done < iterations) {
        CheckNumbers(g);
        CheckColors(g);
        CheckPageRanges(g);
        CheckProfileText(g, seedProfile);
        if (done % 8 == 0) {
            CheckEncoding(g);
        }
        ++done;
    }
    std::printf("model_fuzz: %lld rounds, no invariant broken\n", done);
    return 0;
}

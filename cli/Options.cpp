#include "cli/Options.h"

#include "cli/JobJson.h"
#include "model/TesserionFields.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <iostream>
#include <sstream>

namespace tesser::cli {

namespace {

using Arg = OptionSpec::Argument;
using Value = std::optional<std::string>;

struct Row {
    std::string_view word;
    std::int32_t row;
};

constexpr std::array<Row, 5> kViewRows = {
    {{"keep", 0}, {"default", 1}, {"page-only", 2}, {"bookmarks", 3}, {"thumbnails", 4}}};

constexpr std::array<Row, 13> kZoomRows = {{{"keep", 0},
                                            {"50", 1},
                                            {"75", 2},
                                            {"100", 3},
                                            {"125", 4},
                                            {"150", 5},
                                            {"200", 6},
                                            {"400", 7},
                                            {"800", 8},
                                            {"fit-page", 9},
                                            {"fit-width", 10},
                                            {"fit-visible", 11},
                                            {"default", 12}}};

constexpr std::array<Row, 5> kLayoutRows = {
    {{"keep", 0}, {"default", 1}, {"single-page", 2}, {"continuous", 3}, {"facing", 4}}};

template <std::size_t N>
std::int32_t FindRow(const std::array<Row, N>& rows, const std::string& option,
                     const std::string& value) {
    std::string words;
    for (const Row& row : rows) {
        if (row.word == value) {
            return row.row;
        }
        words += words.empty() ? "" : ", ";
        words += row.word;
    }
    throw UsageError(option + ": unknown value \"" + value + "\" (one of: " + words + ")");
}

std::int32_t ParseTriState(const std::string& option, const Value& value) {
    if (!value || *value == "yes") {
        return 1;
    }
    if (*value == "no") {
        return 0;
    }
    if (*value == "keep") {
        return 2;
    }
    throw UsageError(option + ": the value must be yes, no or keep, not \"" + *value + "\"");
}

std::int32_t ParsePageNumber(const std::string& option, const std::string& value) {
    // As the Open page accepts it: up to nine digits.
    if (value.empty() || value.size() > 9 ||
        value.find_first_not_of("0123456789") != std::string::npos) {
        throw UsageError(option + ": \"" + value +
                         "\" is not a page number (a positive integer not greater than "
                         "999999999)");
    }
    return static_cast<std::int32_t>(std::strtol(value.c_str(), nullptr, 10));
}

int ParseJobs(const std::string& option, const std::string& value) {
    constexpr int kMostJobs = 1024;
    if (value.empty() || value.size() > 4 ||
        value.find_first_not_of("0123456789") != std::string::npos ||
        std::strtol(value.c_str(), nullptr, 10) > kMostJobs) {
        throw UsageError(option + ": \"" + value + "\" is not a number of worker processes (0 to " +
                         std::to_string(kMostJobs) + "; 0 is one per core)");
    }
    return static_cast<int>(std::strtol(value.c_str(), nullptr, 10));
}

void SetMode(CliOptions& o, Mode mode, const std::string& option) {
    if (o.mode != Mode::Apply && o.mode != mode) {
        throw UsageError(option +
                         " cannot be combined with --list, --show, --delete, --history, --undo "
                         "or --print");
    }
    o.mode = mode;
}

// Shorthands for the table's setters.
#define SET(body)                                                                                  \
    [](const OptionSpec& spec, CliOptions& o, const std::string& option, const Value& v) {         \
        (void)spec;                                                                                \
        (void)o;                                                                                   \
        (void)option;                                                                              \
        (void)v;                                                                                   \
        body;                                                                                      \
    }

const std::vector<OptionSpec> kOwnOptions = {
    // Tesserions from the profile.
    {'p', "profile", "", Arg::Required, "FILE", "Tesserions",
     "the profile holding the Tesserions\n(default: $XDG_CONFIG_HOME/Quorel.ini, i.e. "
     "~/.config/Quorel.ini)",
     SET(o.profile = *v)},
    {'t', "tesserion", "", Arg::Required, "NAME", "Tesserions",
     "apply the Tesserion NAME; repeat to apply several, in the order given",
     SET(o.tesserions.push_back(*v))},
    {0, "list", "", Arg::None, "", "Tesserions",
     "list the profile's Tesserions with their validation result",
     SET(SetMode(o, Mode::List, option))},
    {0, "show", "", Arg::Required, "NAME", "Tesserions",
     "print the Tesserion NAME as the options that define it",
     SET(SetMode(o, Mode::Show, option); o.showName = *v)},
    {0, "delete", "", Arg::Required, "NAME", "Tesserions",
     "remove the Tesserion NAME from the profile",
     SET(SetMode(o, Mode::Delete, option); o.deleteName = *v)},

    // A Tesserion defined on the command line: the field table's options come first.
    {0, "save-as", "", Arg::Required, "NAME", "A stamp defined here (applied after any -t)",
     "store the stamp in the profile as the Tesserion NAME (replacing one of that name);\n"
     "without a PATH nothing else is done",
     SET(o.saveAs = *v)},

    // Document information.
    {0, "title", "", Arg::Required, "TEXT", "Document information", "set the Title",
     SET(o.title = *v)},
    {0, "subject", "", Arg::Required, "TEXT", "Document information", "set the Subject",
     SET(o.subject = *v)},
    {0, "author", "", Arg::Required, "TEXT", "Document information", "set the Author",
     SET(o.author = *v)},
    {0, "keywords", "", Arg::Required, "TEXT", "Document information", "set the Keywords",
     SET(o.keywords = *v)},
    {0, "index", "", Arg::Required, "FILE", "Document information",
     "attach the search index FILE (\".pdx\")", SET(o.indexFile = *v)},
    {0, "base-url", "", Arg::Required, "URL", "Document information", "set the base URL",
     SET(o.baseUrl = *v)},

    // Initial view.
    {0, "view", "page-mode", Arg::Required, "MODE", "Initial view",
     "keep, default, page-only, bookmarks, thumbnails",
     SET(o.view = FindRow(kViewRows, option, *v))},
    {0, "zoom", "", Arg::Required, "ZOOM", "Initial view",
     "keep, 50, 75, 100, 125, 150, 200, 400, 800, fit-page, fit-width,\nfit-visible, default",
     SET(o.zoom = FindRow(kZoomRows, option, *v))},
    {0, "layout", "", Arg::Required, "LAYOUT", "Initial view",
     "keep, default, single-page, continuous, facing",
     SET(o.layout = FindRow(kLayoutRows, option, *v))},
    {0, "open-page", "", Arg::Required, "N", "Initial view",
     "open at page N (with a --zoom other than keep and default)",
     SET(o.openPage = ParsePageNumber(option, *v))},
    {0, "fit-window", "", Arg::Optional, "yes|no|keep", "Initial view",
     "resize the window to the first page", SET(o.fitWindow = ParseTriState(option, v))},
    {0, "center-window", "centre-window", Arg::Optional, "yes|no|keep", "Initial view",
     "centre the window on the screen", SET(o.centerWindow = ParseTriState(option, v))},
    {0, "full-screen", "", Arg::Optional, "yes|no|keep", "Initial view", "open in full-screen mode",
     SET(o.fullScreen = ParseTriState(option, v))},
    {0, "hide-toolbar", "", Arg::Optional, "yes|no|keep", "Initial view",
     "hide the viewer's tool bar", SET(o.hideToolBar = ParseTriState(option, v))},
    {0, "hide-menubar", "", Arg::Optional, "yes|no|keep", "Initial view",
     "hide the viewer's menu bar", SET(o.hideMenuBar = ParseTriState(option, v))},
    {0, "hide-window-ui", "hide-windowbar", Arg::Optional, "yes|no|keep", "Initial view",
     "hide the window's controls\n(the six window options: without a value yes; not given: "
     "left as it is)",
     SET(o.hideWindowUI = ParseTriState(option, v))},

    // Security.
    {0, "current-password", "", Arg::Required, "PW",
     "Security (standard security handler, AES-256)",
     "password of the files as they are now (also for --print and --undo)",
     SET(o.currentPassword = *v)},
    {0, "user-password", "open-password", Arg::Required, "PW",
     "Security (standard security handler, AES-256)", "new password to open the files",
     SET(o.openPassword = *v; o.changeSecurity = true)},
    {0, "owner-password", "", Arg::Required, "PW", "Security (standard security handler, AES-256)",
     "new password to change the security options\n(without one, the open password is the "
     "owner password too)",
     SET(o.ownerPassword = *v; o.changeSecurity = true)},
    {0, "no-print", "", Arg::None, "", "Security (standard security handler, AES-256)",
     "do not allow printing", SET(o.permissions &= ~4; o.changeSecurity = true)},
    {0, "no-modify", "", Arg::None, "", "Security (standard security handler, AES-256)",
     "do not allow changing the document", SET(o.permissions &= ~8; o.changeSecurity = true)},
    {0, "no-copy", "", Arg::None, "", "Security (standard security handler, AES-256)",
     "do not allow selecting text and graphics",
     SET(o.permissions &= ~16; o.changeSecurity = true)},
    {0, "no-annotate", "", Arg::None, "", "Security (standard security handler, AES-256)",
     "do not allow adding or changing notes and form fields",
     SET(o.permissions &= ~32; o.changeSecurity = true)},
    {0, "change-security", "", Arg::None, "", "Security (standard security handler, AES-256)",
     "change the security (implied by the four options above and by a new\npassword); without "
     "new passwords the files open without one",
     SET(o.changeSecurity = true)},
    {0, "ask-passwords", "", Arg::None, "", "Security (standard security handler, AES-256)",
     "ask on the terminal, without echo, for the current password and, when the\nsecurity "
     "changes, for the new ones (twice)",
     SET(o.askPasswords = true)},
    {0, "password-stdin", "", Arg::None, "", "Security (standard security handler, AES-256)",
     "read the current password from the first line of standard input and, when\nthe "
     "security changes, the new open and owner passwords from the second and\nthird lines "
     "(passwords given as options are visible to other users in ps)",
     SET(o.passwordStdin = true)},

    // Files, questions and output.
    {'o', "", "", Arg::Required, "PATH", "Files, questions and output",
     "with one input file and PATH not an existing folder (nor ending in \"/\"): write\n"
     "the result to the file PATH; otherwise as --output-dir",
     SET(o.output = *v)},
    {0, "output", "", Arg::Required, "FILE", "Files, questions and output",
     "write the result of the one input file to FILE; the input is not changed",
     SET(o.outputFile = *v)},
    {0, "output-dir", "", Arg::Required, "DIR", "Files, questions and output",
     "write each result into DIR (created if missing) under the file's own name;\nthe "
     "originals are not changed (DIR may not hold an input)",
     SET(o.outputDir = *v)},
    {0, "no-optimise", "no-optimize", Arg::None, "", "Files, questions and output",
     "save without the optimised (linearised) layout", SET(o.optimise = false)},
    {0, "incremental", "", Arg::None, "", "Files, questions and output",
     "append the changes to each file instead of rewriting it: the file's bytes stay\n"
     "as they were (signed files keep valid signatures); implies --no-optimise; the\n"
     "run's undo appends too",
     SET(o.incremental = true; o.optimise = false)},
    {'j', "jobs", "", Arg::Required, "N", "Files, questions and output",
     "process the documents in N worker processes at once (default 1; 0: one per\ncore); "
     "one journal record and one summary as with one; questions are asked\nhere, one at a "
     "time, as without -j",
     SET(o.jobs = ParseJobs(option, *v))},
    {0, "files-from", "", Arg::Required, "FILE", "Files, questions and output",
     "also take the PATHs listed in FILE, one a line (\"-\": standard input)",
     SET(o.filesFrom = *v)},
    {0, "null", "", Arg::None, "", "Files, questions and output",
     "the names of --files-from end with a NUL byte instead (find -print0)",
     SET(o.nullSeparated = true)},
    {0, "job-json", "", Arg::Required, "FILE", "Files, questions and output",
     "take options and PATHs from FILE (- for standard input): one JSON object whose keys\n"
     "are the long options' names and \"paths\" (see tesser(1))",
     SET()}, // read by ParseOptions, which puts the file's options in its place
    {0, "dry-run", "", Arg::None, "", "Files, questions and output",
     "say what would be done to each document; write nothing, record nothing",
     SET(o.dryRun = true)},
    {'y', "yes", "", Arg::None, "", "Files, questions and output",
     "when no terminal can be asked: go on after a document's error, and continue\nafter the "
     "warning about text outside the crop box",
     SET(o.answer = Answer::Yes)},
    {'n', "no", "", Arg::None, "", "Files, questions and output",
     "when no terminal can be asked: stop (the default); -n is to mean --dry-run in the\n"
     "next release, so write --no",
     SET(o.answer = Answer::No; if (option == "-n") {
         std::cerr << "tesser: warning: -n is to mean --dry-run in the next release, as in "
                      "most tools; write --no"
                   << std::endl;
     })},
    {'q', "quiet", "", Arg::None, "", "Files, questions and output", "no progress lines",
     SET(o.quiet = true)},
    {'v', "verbose", "", Arg::None, "", "Files, questions and output",
     "also the full texts of the error boxes", SET(o.verbose = true)},
    {0, "json", "", Arg::None, "", "Files, questions and output",
     "print a summary of the run as one JSON object on standard output", SET(o.json = true)},

    // Undo and print.
    {0, "history", "", Arg::None, "", "Undo and print",
     "list the recorded runs that can be undone, newest last",
     SET(SetMode(o, Mode::History, option))},
    {0, "undo", "", Arg::Optional, "ID", "Undo and print",
     "undo the newest recorded run, or the run ID of --history: take its stamps off\nand put "
     "back the information, initial view and security its files had before",
     SET(SetMode(o, Mode::Undo, option); o.undoId = v)},
    {0, "print", "", Arg::None, "", "Undo and print",
     "print the files with the Tesserions stamped on for the print only (no file is\n"
     "changed), through CUPS",
     SET(SetMode(o, Mode::Print, option))},
    {0, "printer", "", Arg::Required, "NAME", "Undo and print",
     "the CUPS queue (default: the default destination)", SET(o.printer = *v)},
    {0, "print-to-file", "", Arg::Required, "FILE", "Undo and print",
     "write the PDF that would be printed to FILE instead", SET(o.printToFile = *v)},

    {'h', "help", "", Arg::None, "", "", "this text", SET(o.mode = Mode::Help)},
    {0, "version", "", Arg::None, "", "", "the version", SET(o.mode = Mode::Version)},
};

#undef SET

constexpr std::string_view kStampGroup = "A stamp defined here (applied after any -t)";

// The options of the field table, listed where the stamp's own options begin.
const std::vector<OptionSpec>& Options() {
    static const std::vector<OptionSpec> options = [] {
        std::vector<OptionSpec> all;
        for (const OptionSpec& spec : kOwnOptions) {
            if (spec.longName == "save-as") {
                for (const model::TesserionField* field : model::CommandFields()) {
                    all.push_back(
                        {0, field->Option, field->Aliases, Arg::Required, field->ValueName,
                         kStampGroup, field->Help,
                         [](const OptionSpec& spec, CliOptions& o, const std::string&,
                            const Value& v) { o.stamp.Values[std::string(spec.longName)] = *v; }});
                }
            }
            all.push_back(spec);
        }
        return all;
    }();
    return options;
}

const OptionSpec* FindLong(std::string_view name) {
    for (const OptionSpec& spec : Options()) {
        if (spec.longName == name) {
            return &spec;
        }
        std::istringstream aliases{std::string(spec.aliases)};
        std::string alias;
        while (aliases >> alias) {
            if (alias == name) {
                return &spec;
            }
        }
    }
    return nullptr;
}

// The edit distance between two words (insertions, deletions, substitutions).
std::size_t Distance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// "unknown option --NAME", with the nearest long option when one is close enough to be meant:
// one that begins with NAME, or one a few edits away.
std::string UnknownLongOption(const std::string& option) {
    const std::string_view name = std::string_view(option).substr(2);
    std::string_view best;
    std::size_t bestDistance = std::max<std::size_t>(2, name.size() / 3) + 1;
    for (const OptionSpec& spec : Options()) {
        if (spec.longName.empty()) {
            continue;
        }
        const std::size_t distance =
            spec.longName.rfind(name, 0) == 0 && !name.empty() ? 0 : Distance(name, spec.longName);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = spec.longName;
        }
    }
    std::string message = "unknown option " + option;
    if (!best.empty()) {
        message += " (did you mean --" + std::string(best) + "?)";
    }
    return message;
}

const OptionSpec* FindShort(char letter) {
    for (const OptionSpec& spec : Options()) {
        if (spec.shortName != 0 && spec.shortName == letter) {
            return &spec;
        }
    }
    return nullptr;
}

void CheckCombination(CliOptions& o) {
    if (o.askPasswords && o.passwordStdin) {
        throw UsageError("--ask-passwords and --password-stdin cannot be combined");
    }
    const int outputs = (o.output ? 1 : 0) + (o.outputDir ? 1 : 0) + (o.outputFile ? 1 : 0);
    if (outputs > 1) {
        throw UsageError("-o, --output and --output-dir cannot be combined");
    }
    if (o.nullSeparated && !o.filesFrom) {
        throw UsageError("--null describes the list of --files-from");
    }
    if (o.jobFromStdin && (o.passwordStdin || (o.filesFrom && *o.filesFrom == "-"))) {
        throw UsageError("--job-json - cannot share standard input with --password-stdin or "
                         "--files-from -");
    }
    if (o.filesFrom && *o.filesFrom == "-" && o.passwordStdin) {
        throw UsageError("--files-from - and --password-stdin cannot both read standard input");
    }
    const bool settings = o.HasInfoSettings() || o.HasOpenSettings() || o.HasSecuritySettings();
    const bool stamp = o.stamp.Any();
    const bool anyOutput = outputs > 0;
    if (o.saveAs && !stamp) {
        throw UsageError("--save-as needs the stamp to store: give at least --text");
    }
    if (stamp && o.mode != Mode::Apply && o.mode != Mode::Print) {
        throw UsageError("the stamp options (--text, --font, ...) define a stamp to apply, "
                         "print or --save-as");
    }
    switch (o.mode) {
    case Mode::List:
    case Mode::History:
    case Mode::Show:
    case Mode::Delete:
        if (o.HasDocuments() || !o.tesserions.empty() || settings || anyOutput || o.dryRun) {
            throw UsageError("--list, --show, --delete and --history take no files, "
                             "Tesserions, settings or output");
        }
        break;
    case Mode::Undo:
        if (o.HasDocuments() || !o.tesserions.empty() || settings || anyOutput || o.dryRun) {
            throw UsageError("--undo takes no files, Tesserions, settings or output: it "
                             "undoes a recorded run where that run saved its files");
        }
        break;
    case Mode::Print:
        if (settings || anyOutput || o.saveAs || o.dryRun) {
            throw UsageError("--print stamps for the print only: Info, Open, Security settings, "
                             "output, --save-as and --dry-run do not apply");
        }
        if (o.tesserions.empty() && !stamp) {
            throw UsageError("--print needs at least one -t NAME or a stamp (--text ...)");
        }
        if (!o.HasDocuments()) {
            throw UsageError("no PDF file or folder given");
        }
        break;
    case Mode::Apply:
        if (!o.HasDocuments()) {
            if (o.saveAs && o.tesserions.empty() && !settings && !anyOutput && !o.dryRun) {
                break; // only store the stamp
            }
            throw UsageError("no PDF file or folder given");
        }
        if (o.tesserions.empty() && !stamp && !settings) {
            throw UsageError("nothing to apply: give -t NAME, a stamp (--text ...) or an Info, "
                             "Open or Security setting");
        }
        break;
    default:
        break;
    }
    if (o.mode != Mode::Print && (o.printer || o.printToFile)) {
        throw UsageError("--printer and --print-to-file need --print");
    }
    if (o.printer && o.printToFile) {
        throw UsageError("--printer and --print-to-file cannot be combined");
    }
    if (o.incremental && o.mode != Mode::Apply && o.mode != Mode::Undo) {
        throw UsageError("--incremental applies to runs that save files (and to --undo)");
    }
    if (o.incremental && o.HasSecuritySettings()) {
        throw UsageError("--incremental cannot change security: a file's new security needs "
                         "every object written again (leave out --incremental)");
    }
}

} // namespace

const std::vector<OptionSpec>& OptionTable() {
    return Options();
}

CliOptions ParseOptions(const std::vector<std::string>& given) {
    CliOptions o;
    std::vector<std::string> arguments = given;
    bool jobRead = false;
    std::size_t index = 0;
    auto nextValue = [&](const std::string& option) {
        if (index >= arguments.size()) {
            throw UsageError(option + " needs a value");
        }
        return arguments[index++];
    };
    auto apply = [&](const OptionSpec& spec, const std::string& option, const Value& value) {
        spec.set(spec, o, option, value);
    };

    bool onlyPaths = false;
    while (index < arguments.size()) {
        const std::string argument = arguments[index++];
        if (onlyPaths || argument == "-" || argument.empty() || argument[0] != '-') {
            o.paths.push_back(argument);
            continue;
        }
        if (argument == "--") {
            onlyPaths = true;
            continue;
        }
        if (argument.rfind("--", 0) == 0) {
            const std::size_t equals = argument.find('=');
            const std::string option = argument.substr(0, equals);
            if (option == "--job-json") {
                // The job's options take its place, so later ones still override them.
                if (jobRead) {
                    throw UsageError("--job-json can be given once");
                }
                jobRead = true;
                const std::string file =
                    equals != std::string::npos ? argument.substr(equals + 1) : nextValue(option);
                o.jobFromStdin = file == "-";
                JobArguments job = ReadJobJson(file);
                arguments.insert(arguments.begin() + static_cast<std::ptrdiff_t>(index),
                                 job.Options.begin(), job.Options.end());
                o.paths.insert(o.paths.end(), job.Paths.begin(), job.Paths.end());
                continue;
            }
            const OptionSpec* spec = FindLong(std::string_view(option).substr(2));
            if (spec == nullptr || spec->longName.empty()) {
                throw UsageError(UnknownLongOption(option));
            }
            Value value;
            if (equals != std::string::npos) {
                if (spec->argument == Arg::None) {
                    throw UsageError(option + " takes no value");
                }
                value = argument.substr(equals + 1);
            } else if (spec->argument == Arg::Required) {
                value = nextValue(option);
            }
            apply(*spec, option, value);
        } else {
            // One or more short options: "-qy", "-tNAME", "-qt NAME".
            for (std::size_t k = 1; k < argument.size(); ++k) {
                const std::string option = std::string("-") + argument[k];
                const OptionSpec* spec = FindShort(argument[k]);
                if (spec == nullptr) {
                    throw UsageError("unknown option " + option);
                }
                if (spec->argument == Arg::None) {
                    apply(*spec, option, std::nullopt);
                    continue;
                }
                const std::string rest = argument.substr(k + 1);
                apply(*spec, option, rest.empty() ? nextValue(option) : rest);
                break;
            }
        }
        if (o.mode == Mode::Help || o.mode == Mode::Version) {
            return o;
        }
    }
    CheckCombination(o);
    return o;
}

// The words of text (line breaks count as spaces) laid out in lines of at most kHelpWidth
// columns, the first after column "at" of the line in hand, the others after indent spaces.
constexpr std::size_t kHelpWidth = 79;
std::string Wrapped(std::string_view text, std::size_t at, std::size_t indent) {
    std::string out;
    std::size_t column = at;
    std::istringstream words{std::string(text)};
    bool first = true;
    for (std::string word; words >> word;) {
        if (!first && column + 1 + word.size() > kHelpWidth) {
            out += "\n" + std::string(indent, ' ');
            column = indent;
        } else if (!first) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        first = false;
    }
    return out;
}

// Each paragraph (separated by a blank line) of text wrapped to kHelpWidth.
std::string WrappedParagraphs(std::string_view text) {
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find("\n\n", at);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        out += Wrapped(text.substr(at, end - at), 0, 0) + "\n";
        at = end + 2;
        if (at < text.size()) {
            out += "\n";
        }
    }
    return out;
}

std::string UsageText() {
    std::string text = R"(Usage: tesser [options] PATH...   (with -t NAME... or a stamp)
       tesser [options] --text TEXT [stamp options] [--save-as NAME] [PATH...]
       tesser --list | --show NAME | --delete NAME [-p FILE]
       tesser --history | --undo[=ID] [options]
       tesser --print -t NAME... [--printer QUEUE | --print-to-file FILE] PATH

)";
    text += WrappedParagraphs(
        R"(Stamps text onto the pages of PDF files (a Tesserion from the profile, or a stamp defined
with the options below) and changes their document information, initial view and security.
A PATH is a PDF file, or a folder standing for the "*.pdf" files directly in it (the
extension in any letter case; subfolders are not entered), or "-" for standard input; a file
reached more than once is processed once. Each file is saved over itself (atomically: a
failure leaves it as it was), or to -o. tesser(1) has the whole text.)");
    std::string group = "\x01";
    for (const OptionSpec& spec : Options()) {
        if (spec.group != group) {
            group = spec.group;
            text += "\n" + (group.empty() ? std::string() : group + ":\n");
        }
        std::string left = "  ";
        left += spec.shortName != 0 ? std::string("-") + spec.shortName : "  ";
        if (!spec.longName.empty()) {
            left += spec.shortName != 0 ? ", --" : "  --";
            left += spec.longName;
        }
        if (spec.argument == Arg::Required) {
            left += " " + std::string(spec.valueName);
        } else if (spec.argument == Arg::Optional) {
            left += "[=" + std::string(spec.valueName) + "]";
        }
        if (!spec.aliases.empty()) {
            std::istringstream aliases{std::string(spec.aliases)};
            std::string alias;
            std::string also;
            while (aliases >> alias) {
                also += (also.empty() ? "" : ", ") + std::string("--") + alias;
            }
            left += " (also " + also + ")";
        }
        constexpr std::size_t kColumn = 29;
        if (left.size() + 1 > kColumn) {
            text += left + "\n" + std::string(kColumn, ' ');
        } else {
            text += left + std::string(kColumn - left.size(), ' ');
        }
        text += Wrapped(spec.help, kColumn, kColumn) + "\n";
    }
    text +=
        "\n" +
        WrappedParagraphs(
            R"(The profile is a text file in Windows-1252 (a profile written in UTF-8 is recognised and read);
see tesser(1) for its format. The undo history is kept in $XDG_STATE_HOME/tesser/journal
(~/.local/state/tesser/journal); it holds the passwords a run set or used, so it is created
readable and writable by its owner only (folder 0700, file 0600). A run that cannot write it touches no file; a damaged journal is moved aside to
journal.damaged-<time>; an undo that fails for some files keeps them for the next --undo. It
keeps the newest 20 runs (the passwords of older ones are dropped with them).

Progress ("[2/5] FILE: stamped") and errors ("tesser: FILE: message") go to standard error.
Ctrl-C stops the run after the file in hand is finished.

Exit status: 0 every document was processed, 1 some were not (an error, a No), 2 bad usage
(nothing is touched), 3 an internal error (a fault of tesser, told in one line), 130 stopped by
Ctrl-C (or SIGTERM).

Texts, names and passwords are given in UTF-8 and converted to Windows-1252; a character that
has no Windows-1252 form is refused.)");
    return text;
}

} // namespace tesser::cli

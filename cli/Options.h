// The command line of `tesser`: one table of options drives both the parsing and --help.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tesser::cli {

// Bad usage: the message says what is wrong; the program exits with status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class Mode { Apply, List, Undo, Print, Help, Version, Show, Delete, History };
// How questions (error boxes, the crop-box warning) are answered when nobody can be asked.
enum class Answer { Ask, Yes, No };

// The fields of a Tesserion given on the command line, as typed (UTF-8), by their long option
// (the field table's Option); each one not given keeps the value of a new Tesserion. Converted
// and checked by BuildTesserion (StampOptions.h).
struct StampFields {
    std::map<std::string, std::string, std::less<>> Values;
    bool Any() const { return !Values.empty(); }
};

// Everything as given (UTF-8); the conversion to Windows-1252 happens when the run is set up.
struct CliOptions {
    Mode mode = Mode::Apply;
    std::optional<std::string> profile;
    std::vector<std::string> tesserions; // in the order given
    StampFields stamp;                   // a Tesserion defined on the command line
    std::optional<std::string> saveAs;   // store that Tesserion in the profile under this name
    std::optional<std::string> showName, deleteName;
    std::optional<std::string> undoId; // --undo=ID; none: the newest run

    // Info.
    std::optional<std::string> title, subject, author, keywords, indexFile, baseUrl;

    // Open: rows of the Open page's lists, the page number, and the six options
    // (0 off, 1 on, 2 leave alone).
    std::int32_t view = 0;
    std::int32_t zoom = 0;
    std::int32_t layout = 0;
    std::int32_t openPage = 0;
    std::int32_t fitWindow = 2, centerWindow = 2, fullScreen = 2;
    std::int32_t hideToolBar = 2, hideMenuBar = 2, hideWindowUI = 2;

    // Security.
    std::optional<std::string> currentPassword, openPassword, ownerPassword;
    bool changeSecurity = false; // set by any of the options that change security
    std::int32_t permissions = 60;
    bool askPasswords = false;
    bool passwordStdin = false;

    // -o: a file when the run has one input file and the name is not a folder, else a folder.
    std::optional<std::string> output;
    std::optional<std::string> outputDir;  // --output-dir: always a folder
    std::optional<std::string> outputFile; // --output: always a file (one input)
    bool optimise = true;
    bool incremental = false; // append the changes (implies optimise = false)
    std::optional<std::string> printer;
    std::optional<std::string> printToFile;
    Answer answer = Answer::Ask;
    bool quiet = false;
    bool verbose = false;
    bool json = false;
    bool jobFromStdin = false; // --job-json - read the job from standard input
    bool dryRun = false;

    // -j: worker processes for the documents of an apply run (0: one per core).
    int jobs = 1;
    std::optional<std::string> filesFrom; // --files-from: further paths, "-" standard input
    bool nullSeparated = false;           // --null: the list's names end with NUL bytes

    std::vector<std::string> paths;
    // Whether the run has documents: paths given, or a list to read them from.
    bool HasDocuments() const { return !paths.empty() || filesFrom.has_value(); }

    bool HasInfoSettings() const {
        return title || subject || author || keywords || indexFile || baseUrl;
    }
    bool HasOpenSettings() const {
        return view != 0 || zoom != 0 || layout != 0 || openPage != 0 || fitWindow != 2 ||
               centerWindow != 2 || fullScreen != 2 || hideToolBar != 2 || hideMenuBar != 2 ||
               hideWindowUI != 2;
    }
    bool HasSecuritySettings() const { return changeSecurity; }
};

// One option of the table: its short letter (0 for none), its long name and aliases, whether it
// takes a value, how --help shows it, and what it sets.
struct OptionSpec {
    enum class Argument { None, Required, Optional }; // Optional: only as --name=value
    char shortName = 0;
    std::string_view longName; // without the dashes
    std::string_view aliases;  // further long names, separated by spaces
    Argument argument = Argument::None;
    std::string_view valueName; // "NAME", "yes|no|keep", ...
    std::string_view group;     // the --help section it is listed under
    std::string_view help;      // may hold line breaks
    // option: as typed ("--color"); spec: this entry.
    void (*set)(const OptionSpec& spec, CliOptions& o, const std::string& option,
                const std::optional<std::string>& value);
};

// Every option, in the order --help lists them.
const std::vector<OptionSpec>& OptionTable();

// Parses the arguments after the program name: GNU conventions (bundled short options "-qy",
// "-tNAME", "--name=value", "--" ends the options). Throws UsageError.
CliOptions ParseOptions(const std::vector<std::string>& arguments);

// The --help text.
std::string UsageText();

} // namespace tesser::cli

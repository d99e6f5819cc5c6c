#include "cli/Options.h"

#include <array>
#include <cstdlib>
#include <string_view>

namespace tesser::cli {

namespace {

struct Row {
    std::string_view word;
    std::int32_t row;
};

constexpr std::array<Row, 5> kViewRows = {{
    {"keep", 0}, {"default", 1}, {"page-only", 2}, {"bookmarks", 3}, {"thumbnails", 4}}};

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

std::int32_t ParseTriState(const std::string& option, const std::optional<std::string>& value) {
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

class ArgumentReader {
public:
    explicit ArgumentReader(const std::vector<std::string>& arguments) : args_(arguments) {}

    bool Done() const { return index_ >= args_.size(); }
    const std::string& Next() { return args_[index_++]; }

    // The value of an option that needs one: "--opt=value", "--opt value", "-x value" or
    // "-xvalue".
    std::string Value(const std::string& option, const std::optional<std::string>& inlineValue) {
        if (inlineValue) {
            return *inlineValue;
        }
        if (Done()) {
            throw UsageError(option + " needs a value");
        }
        return Next();
    }

private:
    const std::vector<std::string>& args_;
    std::size_t index_ = 0;
};

} // namespace

CliOptions ParseOptions(const std::vector<std::string>& arguments) {
    CliOptions o;
    ArgumentReader reader(arguments);
    bool onlyPaths = false;
    bool modeSet = false;
    auto setMode = [&](Mode mode, const std::string& option) {
        if (modeSet && o.mode != mode) {
            throw UsageError(option + " cannot be combined with --list, --undo or --print");
        }
        o.mode = mode;
        modeSet = true;
    };

    while (!reader.Done()) {
        const std::string argument = reader.Next();
        if (onlyPaths || argument == "-" || argument.empty() || argument[0] != '-') {
            o.paths.push_back(argument);
            continue;
        }
        if (argument == "--") {
            onlyPaths = true;
            continue;
        }
        std::string option = argument;
        std::optional<std::string> inlineValue;
        if (argument.rfind("--", 0) == 0) {
            const std::size_t equals = argument.find('=');
            if (equals != std::string::npos) {
                option = argument.substr(0, equals);
                inlineValue = argument.substr(equals + 1);
            }
        } else if (argument.size() > 2) {
            option = argument.substr(0, 2);
            inlineValue = argument.substr(2);
        }
        auto value = [&]() { return reader.Value(option, inlineValue); };
        auto noValue = [&]() {
            if (inlineValue) {
                throw UsageError(option + " takes no value");
            }
        };

        if (option == "-h" || option == "--help") {
            noValue();
            o.mode = Mode::Help;
            return o;
        } else if (option == "--version") {
            noValue();
            o.mode = Mode::Version;
            return o;
        } else if (option == "-p" || option == "--profile") {
            o.profile = value();
        } else if (option == "-t" || option == "--tesserion") {
            o.tesserions.push_back(value());
        } else if (option == "--list") {
            noValue();
            setMode(Mode::List, option);
        } else if (option == "--undo") {
            noValue();
            setMode(Mode::Undo, option);
        } else if (option == "--print") {
            noValue();
            setMode(Mode::Print, option);
        } else if (option == "--printer") {
            o.printer = value();
        } else if (option == "--print-to-file") {
            o.printToFile = value();
        } else if (option == "--title") {
            o.title = value();
        } else if (option == "--subject") {
            o.subject = value();
        } else if (option == "--author") {
            o.author = value();
        } else if (option == "--keywords") {
            o.keywords = value();
        } else if (option == "--index") {
            o.indexFile = value();
        } else if (option == "--base-url") {
            o.baseUrl = value();
        } else if (option == "--view" || option == "--page-mode") {
            o.view = FindRow(kViewRows, option, value());
        } else if (option == "--zoom") {
            o.zoom = FindRow(kZoomRows, option, value());
        } else if (option == "--layout") {
            o.layout = FindRow(kLayoutRows, option, value());
        } else if (option == "--open-page") {
            o.openPage = ParsePageNumber(option, value());
        } else if (option == "--fit-window") {
            o.fitWindow = ParseTriState(option, inlineValue);
        } else if (option == "--center-window" || option == "--centre-window") {
            o.centerWindow = ParseTriState(option, inlineValue);
        } else if (option == "--full-screen") {
            o.fullScreen = ParseTriState(option, inlineValue);
        } else if (option == "--hide-toolbar") {
            o.hideToolBar = ParseTriState(option, inlineValue);
        } else if (option == "--hide-menubar") {
            o.hideMenuBar = ParseTriState(option, inlineValue);
        } else if (option == "--hide-window-ui" || option == "--hide-windowbar") {
            o.hideWindowUI = ParseTriState(option, inlineValue);
        } else if (option == "--current-password") {
            o.currentPassword = value();
        } else if (option == "--user-password" || option == "--open-password") {
            o.openPassword = value();
            o.changeSecurity = true;
        } else if (option == "--owner-password") {
            o.ownerPassword = value();
            o.changeSecurity = true;
        } else if (option == "--change-security") {
            noValue();
            o.changeSecurity = true;
        } else if (option == "--no-print") {
            noValue();
            o.permissions &= ~4;
            o.changeSecurity = true;
        } else if (option == "--no-modify") {
            noValue();
            o.permissions &= ~8;
            o.changeSecurity = true;
        } else if (option == "--no-copy") {
            noValue();
            o.permissions &= ~16;
            o.changeSecurity = true;
        } else if (option == "--no-annotate") {
            noValue();
            o.permissions &= ~32;
            o.changeSecurity = true;
        } else if (option == "--ask-passwords") {
            noValue();
            o.askPasswords = true;
        } else if (option == "--password-stdin") {
            noValue();
            o.passwordStdin = true;
        } else if (option == "-o" || option == "--output-dir") {
            o.outputDir = value();
        } else if (option == "--no-optimise" || option == "--no-optimize") {
            noValue();
            o.optimise = false;
        } else if (option == "-y" || option == "--yes") {
            noValue();
            o.answer = Answer::Yes;
        } else if (option == "-n" || option == "--no") {
            noValue();
            o.answer = Answer::No;
        } else if (option == "-q" || option == "--quiet") {
            noValue();
            o.quiet = true;
        } else {
            throw UsageError("unknown option " + option);
        }
    }

    if (o.askPasswords && o.passwordStdin) {
        throw UsageError("--ask-passwords and --password-stdin cannot be combined");
    }
    const bool settings = o.HasInfoSettings() || o.HasOpenSettings() || o.HasSecuritySettings();
    switch (o.mode) {
    case Mode::List:
        if (!o.paths.empty() || !o.tesserions.empty() || settings) {
            throw UsageError("--list takes no files, Tesserions or settings");
        }
        break;
    case Mode::Undo:
        if (!o.paths.empty() || !o.tesserions.empty() || settings || o.outputDir) {
            throw UsageError("--undo takes no files, Tesserions, settings or --output-dir: it "
                             "undoes the newest recorded run where that run saved its files");
        }
        break;
    case Mode::Print:
        if (settings || o.outputDir) {
            throw UsageError("--print stamps for the print only: Info, Open, Security settings "
                             "and --output-dir do not apply");
        }
        if (o.tesserions.empty()) {
            throw UsageError("--print needs at least one -t NAME");
        }
        if (o.paths.empty()) {
            throw UsageError("no PDF file or folder given");
        }
        break;
    case Mode::Apply:
        if (o.paths.empty()) {
            throw UsageError("no PDF file or folder given");
        }
        if (o.tesserions.empty() && !settings) {
            throw UsageError("nothing to apply: give -t NAME or an Info, Open or Security "
                             "setting");
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
    return o;
}

std::string UsageText() {
    return R"(Usage: tesser [options] PATH...
       tesser --list [-p FILE]
       tesser --undo [options]
       tesser --print -t NAME... [--printer NAME | --print-to-file FILE] PATH...

Stamps the Tesserions of a profile onto PDF files and changes their document information,
initial view and security. A PATH is a PDF file, or a folder standing for the "*.pdf" files
directly in it (the extension in any letter case; subfolders are not entered); a file reached
more than once (named again, through its folder or a link) is processed once. Each file is
saved over itself (atomically: a failure leaves it as it was), or into --output-dir.

Tesserions:
  -p, --profile FILE       the profile holding the Tesserions
                           (default: $XDG_CONFIG_HOME/Quorel.ini, i.e. ~/.config/Quorel.ini)
  -t, --tesserion NAME     apply the Tesserion NAME; repeat to apply several, in the order given
      --list               list the profile's Tesserions with their validation result

Document information:
      --title TEXT, --subject TEXT, --author TEXT, --keywords TEXT
      --index FILE         attach the search index FILE (".pdx")
      --base-url URL       set the base URL

Initial view:
      --view MODE          keep, default, page-only, bookmarks, thumbnails (alias --page-mode)
      --zoom ZOOM          keep, 50, 75, 100, 125, 150, 200, 400, 800, fit-page, fit-width,
                           fit-visible, default
      --layout LAYOUT      keep, default, single-page, continuous, facing
      --open-page N        open at page N (with a --zoom other than keep and default)
      --fit-window[=yes|no|keep]      --center-window[=yes|no|keep]
      --full-screen[=yes|no|keep]     --hide-toolbar[=yes|no|keep]
      --hide-menubar[=yes|no|keep]    --hide-window-ui[=yes|no|keep]
                           without a value: yes; not given: left as it is

Security (standard security handler, AES-256):
      --current-password PW      password of the files as they are now (also for --print
                                 and --undo)
      --user-password PW         new password to open the files (alias --open-password)
      --owner-password PW        new password to change the security options
                                 (without one, the open password is the owner password too)
      --no-print, --no-modify, --no-copy, --no-annotate
                                 do not allow printing, changing the document, selecting
                                 text and graphics, adding or changing notes and form fields
      --change-security          change the security (implied by the four options above and
                                 by a new password); without new passwords the files open
                                 without one
      --ask-passwords            ask on the terminal, without echo, for the current password
                                 and, when the security changes, for the new ones (twice)
      --password-stdin           read the current password from the first line of standard
                                 input and, when the security changes, the new open and owner
                                 passwords from the second and third lines
                           Passwords given as options are visible to other users of this
                           machine (ps); prefer --ask-passwords or --password-stdin.

Files and questions:
  -o, --output-dir DIR     write each result into DIR (created if missing) under the file's own
                           name; the originals are not changed (DIR may not hold an input)
      --no-optimise        save without the optimised (linearised) layout
  -y, --yes                when no terminal can be asked: go on after a document's error,
                           and continue after the warning about text outside the crop box
  -n, --no                 when no terminal can be asked: stop (the default)
  -q, --quiet              no progress lines

Undo and print:
      --undo               undo the newest recorded run: take its stamps off and put back the
                           information, initial view and security its files had before
      --print              print the files with the Tesserions stamped on for the print only
                           (no file is changed), through CUPS
      --printer NAME       the CUPS queue (default: the default destination)
      --print-to-file FILE write the PDF that would be printed to FILE instead

  -h, --help               this text
      --version            the version

The undo history is kept in $XDG_STATE_HOME/tesser/journal (~/.local/state/tesser/journal).
It holds the passwords a run set or used, so it is created readable and writable by its owner
only (folder 0700, file 0600). A run that cannot write it touches no file; a damaged journal is
moved aside to journal.damaged-<time>. An undo that fails for some files keeps them for the
next --undo.

Progress ("Current file: ...", "Files processed: N") and errors ("Error processing document:
...") go to standard error. Ctrl-C stops the run after the file in hand is finished.

Exit status: 0 every document was processed, 1 some were not (an error, a No, Ctrl-C),
2 bad usage (nothing is touched).

Texts, names and passwords are given in UTF-8 and converted to Windows-1252; a character
that has no Windows-1252 form is refused.
)";
}

} // namespace tesser::cli

// The command line of `tesser`: parsing and the usage text.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tesser::cli {

// Bad usage: the message says what is wrong; the program exits with status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class Mode { Apply, List, Undo, Print, Help, Version };
// How questions (error boxes, the crop-box warning) are answered when nobody can be asked.
enum class Answer { Ask, Yes, No };

// Everything as given (UTF-8); the conversion to Windows-1252 happens when the run is set up.
struct CliOptions {
    Mode mode = Mode::Apply;
    std::optional<std::string> profile;
    std::vector<std::string> tesserions; // in the order given

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

    std::optional<std::string> outputDir;
    bool optimise = true;
    std::optional<std::string> printer;
    std::optional<std::string> printToFile;
    Answer answer = Answer::Ask;
    bool quiet = false;

    std::vector<std::string> paths;

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

// Parses the arguments after the program name. Throws UsageError.
CliOptions ParseOptions(const std::vector<std::string>& arguments);

// The --help text.
std::string UsageText();

} // namespace tesser::cli

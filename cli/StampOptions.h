// A Tesserion defined on the command line, and a Tesserion shown as the options that define it.
#pragma once

#include "cli/Options.h"
#include "model/Tesserion.h"

#include <string>
#include <utility>
#include <vector>

namespace tesser::cli {

// The Tesserion of the given fields, starting from a new Tesserion's defaults, named name
// (Windows-1252). Texts are converted from UTF-8; --text takes the profile's escapes ("\n" a
// line break, "\\" a backslash) and a line break becomes CR LF as the dialog's text field has
// it. Numbers are read as the Tesserion page reads them (--x and --y in --units). Throws
// UsageError naming the option for a value that does not read, and the model's validation message
// for a Tesserion that is not valid.
model::Tesserion BuildTesserion(const StampFields& fields, const std::string& name);

// The options that define tesserion (UTF-8), one per line, shell-quoted and joined with " \"
// line continuations, so that the text pasted after "tesser" gives the same Tesserion.
std::string ShowTesserion(const model::Tesserion& tesserion);
// The same as (long option without dashes, value, UTF-8) pairs, in the order shown: the
// options of a --job-json file that defines the Tesserion.
std::vector<std::pair<std::string, std::string>> ShownOptions(const model::Tesserion& tesserion);

// text quoted for a POSIX shell ('...' when needed).
std::string ShellQuote(const std::string& text);

} // namespace tesser::cli

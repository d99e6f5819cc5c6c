// Text from outside (file names, host messages) as it may be shown in line-oriented output: a
// control character in a file name must not recolour the terminal, move its cursor or forge a
// line of its own.
#pragma once

#include <string>
#include <string_view>

namespace tesser::cli {

// text with its control characters (0x00-0x1F and DEL) written as escapes, as ls -b and git
// show them: "\t", "\n", "\r", "\e", otherwise "\xNN". With keepLineBreaks, LF stays a line break
// (for a message whose lines are its own). Every other byte, UTF-8 included, is kept.
std::string Shown(std::string_view text, bool keepLineBreaks = false);

} // namespace tesser::cli

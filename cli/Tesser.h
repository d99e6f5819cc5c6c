// The `tesser` command line: runs the apply, undo and print runs over files through the host.
#pragma once

#include <string>
#include <vector>

namespace tesser::cli {

// Runs one invocation with the arguments after the program name; answers the exit status
// (0 every document processed, 1 some were not, 2 bad usage).
int RunTesser(const std::vector<std::string>& arguments);

} // namespace tesser::cli

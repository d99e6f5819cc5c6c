// --job-json FILE: a run's options as one JSON object, whose keys are the long options' names
// and "paths": {"text": "Page <PageNumber>", "y": "1", "tesserion": ["Foot"], "yes": true,
// "paths": ["a.pdf"]}. A string is an option's value, true gives a flag (false leaves it out),
// an array repeats the option once per value.
#pragma once

#include <string>
#include <vector>

namespace tesser::cli {

struct JobArguments {
    std::vector<std::string> Options; // "--name" and "--name=value", in the object's order
    std::vector<std::string> Paths;
};

// Reads FILE ("-" for standard input). Throws UsageError naming the file and what is wrong:
// not JSON, not an object, a value of the wrong kind, "job-json" inside.
JobArguments ReadJobJson(const std::string& file);

// The same from the text of the object, as read from source (for messages).
JobArguments ParseJobJson(const std::string& text, const std::string& source);

} // namespace tesser::cli

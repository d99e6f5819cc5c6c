// Runs a fuzz target over files: each argument is a file, or a folder whose files (recursively,
// in name order) are all run; a missing argument is passed over. Exits 0 when every input ran
// (2 when there was none); a crash or sanitizer report ends the process as it would under the
// fuzzer.
#include "FuzzTarget.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        const fs::path arg = argv[i];
        std::error_code error;
        if (fs::is_directory(arg, error)) {
            for (const auto& item : fs::recursive_directory_iterator(arg)) {
                if (item.is_regular_file()) {
                    files.push_back(item.path());
                }
            }
        } else if (fs::is_regular_file(arg, error)) {
            files.push_back(arg);
        } else {
            // A target's regressions folder exists only once something was found.
            std::fprintf(stderr, "replay: no such file or folder (passed over): %s\n", argv[i]);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "replay: no inputs\n");
        return 2;
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        std::fprintf(stderr, "replay: %s (%zu bytes)\n", file.c_str(), bytes.size());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::fprintf(stderr, "replay: %zu inputs ran\n", files.size());
    return 0;
}

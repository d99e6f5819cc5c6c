// Helpers for tests: temporary folders and the independent PDF tools (qpdf, poppler-utils).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tesser::test {

// A fresh folder under $TMPDIR, removed with its content by the destructor.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

struct CommandResult {
    int exitCode = -1;  // -1 when the command could not be run or was killed
    std::string output; // standard output
    std::string errors; // standard error
};

// Runs a shell command line; the caller quotes its arguments with Quote().
CommandResult Run(const std::string& commandLine);
std::string Quote(const std::string& argument);

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);
// The names of the entries of a folder, sorted.
std::vector<std::string> FilesIn(const std::filesystem::path& folder);

} // namespace tesser::test

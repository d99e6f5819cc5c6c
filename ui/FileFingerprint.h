// What identifies a file a run wrote: its size and a hash of its bytes. An undo compares the
// file under the recorded name with it before touching anything.
#pragma once

#include <cstdint>
#include <string>

namespace tesser::ui {

struct FileFingerprint {
    std::uint64_t Size = 0;
    std::uint64_t Hash = 0; // 64-bit FNV-1a of the bytes; 0 with Size 0 means "none taken"
    bool Empty() const { return Size == 0 && Hash == 0; }
    bool operator==(const FileFingerprint&) const = default;
};

// Reads the file whole. Answers an empty fingerprint and sets error when it cannot be read.
FileFingerprint TakeFingerprint(const std::string& path, std::string& error);

// The fingerprint of the file's first length bytes (fewer when the file is shorter).
FileFingerprint TakePrefixFingerprint(const std::string& path, std::uint64_t length,
                                      std::string& error);

// Replaces the file by its first length bytes, atomically (fileio::AtomicFileWriter: mode and
// owner kept, a failure leaves the file as it was). Throws fileio::FileError.
void CutFileBack(const std::string& path, std::uint64_t length);

} // namespace tesser::ui

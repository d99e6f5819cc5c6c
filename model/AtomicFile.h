// Replacing a file's content so that a failure at any point leaves the old file byte for byte.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tesser::model {

enum class AtomicWriteStatus {
    Written,
    CannotOpen,  // the temporary file could not be created (missing folder, no permission)
    CannotWrite, // a write, flush, sync, close or the final rename failed
};

struct AtomicWriteResult {
    AtomicWriteStatus Status = AtomicWriteStatus::Written;
    std::string Reason; // the failed step and the system's text; empty when written
    explicit operator bool() const { return Status == AtomicWriteStatus::Written; }
};

// Writes bytes to a new temporary file in the target's folder (every write checked, then fsync
// and close checked), renames it over the target and syncs the folder. An existing target keeps
// its permission bits and, where allowed, its owner; a new one gets newFileMode less the umask.
// When path is a symbolic link (or a chain of them), the file it finally names is replaced and
// the link stays a link. On failure the temporary file is removed and the target is untouched.
AtomicWriteResult WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                      unsigned newFileMode = 0666);

} // namespace tesser::model

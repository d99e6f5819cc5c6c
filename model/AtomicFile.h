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
    std::string Reason; // the failed step, its file and the system's text; empty when written
    explicit operator bool() const { return Status == AtomicWriteStatus::Written; }
};

// Writes bytes over path with the one policy of fileio/AtomicFileWriter.h (temporary file in
// the same folder, checked writes, fsync and close, mode and owner kept, a link stays a link,
// rename, folder synced); a new file gets newFileMode less the umask. The failure is answered,
// not thrown: on failure the target is untouched and no temporary file is left.
AtomicWriteResult WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                      unsigned newFileMode = 0666);

} // namespace tesser::model

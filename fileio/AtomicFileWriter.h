// Replacing a file's content so that a failure at any point leaves the old file byte for byte.
//
// One policy for every file the system writes over (the profile, the undo journal, saved PDFs):
//   - the new content goes to a temporary file ".NAME.tesser-save-..." in the target's folder;
//   - every write is checked, then the file is fsynced and closed, the close checked too;
//   - an existing target gives the new file its permission bits and, where the process may set
//     it, its owner and group; a new target gets the mode asked for less the umask;
//   - when the path is a symbolic link (or a chain of them) the file it finally names is
//     replaced and the link stays a link; a dangling link makes its target;
//   - the temporary file is renamed over the target and the folder fsynced;
//   - on any failure the temporary file is removed and the target is untouched.
// A target that exists and is not a regular file (a folder, a device) is refused; so is one this
// process may not write (read-only for its user; for a privileged process, without any write
// permission), one with other hard links (replacing it would split them off), and one whose
// owner and group the new file could not keep. Temporary names are at most 135 bytes whatever
// the target's name; temporary files of the same name left by a process that is gone (killed
// mid-save) are removed when a save of that name is next prepared.

//
//     AtomicFileWriter writer(path);          // throws FileError
//     writer.Write(bytes.data(), bytes.size());
//     writer.Finish();                        // fsync and close
//     ... check the temporary file (TemporaryFile()) ...
//     writer.Commit();                        // rename over the target, fsync the folder
//
// A writer destroyed before Commit removes its temporary file.
#pragma once

#include "fileio/UniqueFd.h"

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace tesser::fileio {

class FileError : public std::runtime_error {
public:
    // Opening: the target's folder or links could not be read, or the temporary file could not
    // be made there. Writing: anything after that.
    enum class Stage { Opening, Writing };

    // "STEP FILE: the system's text for error", as QPDF words its system errors.
    FileError(Stage stage, const std::string& step, const std::string& file, int error);
    // A failure that is no system error; text says it all.
    FileError(Stage stage, const std::string& text);
    Stage stage() const { return stage_; }

private:
    Stage stage_;
};

class AtomicFileWriter {
public:
    // Resolves links, looks at the target and makes the temporary file, with the target's mode
    // and owner. newFileMode applies when the target does not exist yet.
    explicit AtomicFileWriter(const std::string& path, unsigned newFileMode = 0666);
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
    ~AtomicFileWriter();

    // The file that Commit replaces (the final target of a link) and the temporary file.
    const std::string& TargetFile() const { return target_; }
    const std::string& TemporaryFile() const { return temporary_; }

    // Writes all of the bytes (a short write is continued, an interrupted one retried).
    void Write(const void* data, size_t size);
    // fsync and close, both checked; no Write after it.
    void Finish();
    // Finish when that was not done, then renames the temporary file over the target and syncs
    // the folder (a folder that cannot be synced does not undo the replacement).
    void Commit();

private:
    [[noreturn]] void Failed(const std::string& step, int error) const;

    std::string target_;
    std::string folder_;
    std::string temporary_;
    UniqueFd fd_;
    bool finished_ = false;
    bool committed_ = false;
};

// The checks a writer of path makes before it writes anything (the target may be changed and
// replaced keeping its mode, owner, group and links; its folder takes a new file), without
// touching anything: throws what the writer would.
void CheckReplaceable(const std::string& path);

// The whole sequence for bytes in memory.
void WriteFileAtomically(const std::string& path, std::string_view bytes,
                         unsigned newFileMode = 0666);

} // namespace tesser::fileio

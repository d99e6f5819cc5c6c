#include "fileio/AtomicFileWriter.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace tesser::fileio {

namespace {

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a chain of symbolic links finally names; it need not exist.
std::string ResolveLinks(const std::string& path) {
    std::string file = path;
    for (int hops = 0;; ++hops) {
        struct stat info {};
        if (::lstat(file.c_str(), &info) != 0) {
            if (errno == ENOENT) {
                return file;
            }
            throw FileError(FileError::Stage::Opening, "stat", file, errno);
        }
        if (!S_ISLNK(info.st_mode)) {
            return file;
        }
        if (hops >= 40) {
            throw FileError(FileError::Stage::Opening, "readlink", path, ELOOP);
        }
        std::vector<char> buffer(4096);
        const ssize_t n = ::readlink(file.c_str(), buffer.data(), buffer.size() - 1);
        if (n <= 0) {
            throw FileError(FileError::Stage::Opening, "readlink", file, n < 0 ? errno : ENOENT);
        }
        const std::string link(buffer.data(), static_cast<size_t>(n));
        file = link.front() == '/' ? link : FolderOf(file) + "/" + link;
    }
}

} // namespace

FileError::FileError(Stage stage, const std::string& step, const std::string& file, int error)
    : std::runtime_error(step + " " + file + ": " + std::strerror(error)), stage_(stage) {}

FileError::FileError(Stage stage, const std::string& text)
    : std::runtime_error(text), stage_(stage) {}

AtomicFileWriter::AtomicFileWriter(const std::string& path, unsigned newFileMode)
    : target_(ResolveLinks(path)), folder_(FolderOf(target_)) {
    struct stat old {};
    bool exists = false;
    if (::stat(target_.c_str(), &old) == 0) {
        if (!S_ISREG(old.st_mode)) {
            throw FileError(FileError::Stage::Writing, target_ + " is not a regular file");
        }
        exists = true;
    } else if (errno != ENOENT) {
        throw FileError(FileError::Stage::Opening, "stat", target_, errno);
    }

    // O_EXCL with a name of our own rather than mkstemp: open applies the umask to a new
    // file's mode, which mkstemp's fixed 0600 would not.
    static std::atomic<unsigned> counter{0};
    const std::string prefix = folder_ + "/." + BaseOf(target_) + ".tesser-save-" +
                               std::to_string(::getpid()) + "-";
    int error = 0;
    for (int attempt = 0; attempt < 100 && !fd_; ++attempt) {
        temporary_ = prefix + std::to_string(counter++);
        fd_ = UniqueFd(::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                              static_cast<mode_t>(newFileMode & 0777)));
        error = errno;
        if (!fd_ && error != EEXIST) {
            break;
        }
    }
    if (!fd_) {
        temporary_.clear();
        throw FileError(FileError::Stage::Opening, "create a temporary file in", folder_, error);
    }
    if (exists) {
        if (::fchmod(fd_.get(), old.st_mode & 07777) != 0) {
            const int error = errno;
            // The destructor does not run for a writer whose constructor throws.
            (void)fd_.Close();
            ::unlink(temporary_.c_str());
            Failed("chmod", error);
        }
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            // Only a privileged process may give the file to another user; otherwise the new
            // file is ours, as any editor's would be, and keeps the group where we are in it.
            if (::fchown(fd_.get(), old.st_uid, old.st_gid) != 0) {
                (void)::fchown(fd_.get(), static_cast<uid_t>(-1), old.st_gid);
            }
        }
    }
}

AtomicFileWriter::~AtomicFileWriter() {
    if (!committed_ && !temporary_.empty()) {
        (void)fd_.Close();
        ::unlink(temporary_.c_str());
    }
}

void AtomicFileWriter::Failed(const std::string& step, int error) const {
    throw FileError(FileError::Stage::Writing, step, temporary_, error);
}

void AtomicFileWriter::Write(const void* data, size_t size) {
    if (finished_) {
        Failed("write", EBADF);
    }
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd_.get(), p, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            Failed("write", errno);
        }
        if (written == 0) {
            Failed("write", ENOSPC);
        }
        p += written;
        size -= static_cast<size_t>(written);
    }
}

void AtomicFileWriter::Finish() {
    if (finished_) {
        return;
    }
    finished_ = true;
    if (::fsync(fd_.get()) != 0) {
        Failed("fsync", errno);
    }
    if (const int error = fd_.Close(); error != 0) {
        Failed("close", error);
    }
}

void AtomicFileWriter::Commit() {
    Finish();
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        throw FileError(FileError::Stage::Writing, "rename", temporary_ + " to " + target_,
                        errno);
    }
    committed_ = true;
    // The new content is in place; a folder that cannot be synced (some file systems refuse)
    // does not make the replacement a failure.
    UniqueFd folder(::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder) {
        (void)::fsync(folder.get());
    }
}

void WriteFileAtomically(const std::string& path, std::string_view bytes, unsigned newFileMode) {
    AtomicFileWriter writer(path, newFileMode);
    writer.Write(bytes.data(), bytes.size());
    writer.Commit();
}

} // namespace tesser::fileio

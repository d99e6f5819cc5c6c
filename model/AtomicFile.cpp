#include "model/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tesser::model {

namespace fs = std::filesystem;

namespace {

std::string SystemText(const char* step, int error) {
    return std::string(step) + ": " + std::strerror(error);
}

// Follows symbolic links to the file they finally name (which need not exist yet).
fs::path ResolveLinks(fs::path path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return path;
        }
        std::error_code error;
        const fs::path target = fs::read_symlink(path, error);
        if (error) {
            return path;
        }
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path;
}

bool WriteAll(int fd, std::string_view bytes, int& error) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = errno;
            return false;
        }
        if (written == 0) {
            error = EIO;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

void SyncFolder(const fs::path& folder) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        // The new content is already in place; a folder that cannot be synced changes nothing.
        (void)::fsync(fd);
        ::close(fd);
    }
}

} // namespace

AtomicWriteResult WriteFileAtomically(const fs::path& path, std::string_view bytes,
                                      unsigned newFileMode) {
    const fs::path target = ResolveLinks(path);
    const fs::path folder = target.parent_path();

    struct stat old {};
    const bool hadOld = ::stat(target.c_str(), &old) == 0;

    static std::atomic<unsigned> counter{0};
    fs::path temporary;
    int fd = -1;
    int error = 0;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = folder / ("." + target.filename().string() + ".tmp-" +
                              std::to_string(::getpid()) + "-" + std::to_string(counter++));
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                    static_cast<mode_t>(newFileMode & 0777));
        error = errno;
        if (fd < 0 && error != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        return {AtomicWriteStatus::CannotOpen, SystemText("create temporary file", error)};
    }

    auto fail = [&](const char* step, int stepError) {
        if (fd >= 0) {
            ::close(fd);
        }
        ::unlink(temporary.c_str());
        return AtomicWriteResult{AtomicWriteStatus::CannotWrite, SystemText(step, stepError)};
    };

    if (hadOld) {
        if (::fchmod(fd, old.st_mode & 07777) != 0) {
            return fail("set permissions", errno);
        }
        // Only the owner's own files or root can change the owner; a different owner is kept
        // where that is allowed and otherwise left to the one who saves.
        (void)::fchown(fd, old.st_uid, old.st_gid);
    }
    if (!WriteAll(fd, bytes, error)) {
        return fail("write", error);
    }
    if (::fsync(fd) != 0) {
        return fail("sync", errno);
    }
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0) {
        return fail("close", errno);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        return fail("rename", errno);
    }
    SyncFolder(folder);
    return {};
}

} // namespace tesser::model

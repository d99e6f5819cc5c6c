#include "fileio/AtomicFileWriter.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <set>
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

// The bytes of a name kept in the name of its temporary file: enough to tell whose it is, and
// short enough that the temporary name fits where the name itself fits (255 bytes).
constexpr std::size_t kKeptNameBytes = 100;

// The start of the temporary names for base: "." + base (cut to kKeptNameBytes at a character
// boundary) + ".tesser-save-"; the process number and a counter follow.
std::string TemporaryPrefix(const std::string& base) {
    std::size_t keep = std::min(base.size(), kKeptNameBytes);
    while (keep > 0 && keep < base.size() &&
           (static_cast<unsigned char>(base[keep]) & 0xC0) == 0x80) {
        --keep; // not inside a UTF-8 sequence
    }
    return "." + base.substr(0, keep) + ".tesser-save-";
}

// The process that made a temporary name prefix + "PID-N", or 0 when the name is not one.
pid_t TemporaryOwner(const std::string& name, const std::string& prefix) {
    if (name.compare(0, prefix.size(), prefix) != 0) {
        return 0;
    }
    const std::string rest = name.substr(prefix.size());
    const auto dash = rest.find('-');
    if (dash == std::string::npos || dash == 0 || dash + 1 == rest.size() ||
        rest.find_first_not_of("0123456789-") != std::string::npos ||
        rest.find('-', dash + 1) != std::string::npos || dash > 9) {
        return 0;
    }
    return static_cast<pid_t>(std::stol(rest.substr(0, dash)));
}

// Removes the temporary files of base in folder whose process is gone (killed mid-save); a
// process that still runs may be saving. Once per folder and name in this process.
void RemoveStaleTemporaries(const std::string& folder, const std::string& base) {
    static std::mutex lock;
    static std::set<std::string> done;
    const std::string prefix = TemporaryPrefix(base);
    {
        const std::lock_guard<std::mutex> guard(lock);
        if (!done.insert(folder + "/" + prefix).second) {
            return;
        }
    }
    DIR* listing = ::opendir(folder.c_str());
    if (listing == nullptr) {
        return;
    }
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(listing)) {
        const pid_t owner = TemporaryOwner(entry->d_name, prefix);
        if (owner > 0 && owner != ::getpid() && ::kill(owner, 0) != 0 && errno == ESRCH) {
            stale.emplace_back(entry->d_name);
        }
    }
    ::closedir(listing);
    for (const std::string& name : stale) {
        const std::string path = folder + "/" + name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            (void)::unlink(path.c_str());
        }
    }
}

// Whether this process may change the file: a write permission of the class it falls in, or
// for a privileged process, any write permission at all (a file made read-only stays so).
bool MayWrite(const std::string& path, const struct stat& info) {
    if (::geteuid() == 0) {
        return (info.st_mode & 0222) != 0;
    }
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

// The checks before anything is written: the target is a regular file this process may change
// and replace without losing its links or its owner. Fills info and answers true when the
// target exists.
bool LookAtTarget(const std::string& target, struct stat& old) {
    if (::stat(target.c_str(), &old) != 0) {
        if (errno != ENOENT) {
            throw FileError(FileError::Stage::Opening, "stat", target, errno);
        }
        return false;
    }
    if (!S_ISREG(old.st_mode)) {
        throw FileError(FileError::Stage::Writing, target + " is not a regular file");
    }
    if (!MayWrite(target, old)) {
        throw FileError(FileError::Stage::Opening,
                        target + " may not be changed: it is read-only for this user");
    }
    if (old.st_nlink > 1) {
        throw FileError(FileError::Stage::Opening,
                        target + " has other hard links, which replacing it would split "
                                 "off; it was left as it is (write a copy instead)");
    }
    if (old.st_uid != ::geteuid() && ::geteuid() != 0) {
        throw FileError(FileError::Stage::Opening,
                        target + " belongs to another user, and replacing it would make it "
                                 "this user's; it was left as it is (write a copy instead)");
    }
    return true;
}

} // namespace

void CheckReplaceable(const std::string& path) {
    const std::string target = ResolveLinks(path);
    const std::string folder = FolderOf(target);
    struct stat old {};
    const bool exists = LookAtTarget(target, old);
    if (exists && old.st_gid != ::getegid() && ::geteuid() != 0) {
        std::vector<gid_t> groups(static_cast<size_t>(std::max(0, ::getgroups(0, nullptr))));
        const int n = ::getgroups(static_cast<int>(groups.size()), groups.data());
        groups.resize(static_cast<size_t>(std::max(0, n)));
        if (std::find(groups.begin(), groups.end(), old.st_gid) == groups.end()) {
            throw FileError(FileError::Stage::Opening,
                            target + " belongs to a group this user is not in, which replacing "
                                     "it would not keep; it was left as it is (write a copy "
                                     "instead)");
        }
    }
    const long longest = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (longest > 0 && BaseOf(target).size() > static_cast<size_t>(longest)) {
        throw FileError(FileError::Stage::Opening, "create", target, ENAMETOOLONG);
    }
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
        throw FileError(FileError::Stage::Opening, "create a temporary file in", folder, errno);
    }
}

FileError::FileError(Stage stage, const std::string& step, const std::string& file, int error)
    : std::runtime_error(step + " " + file + ": " + std::strerror(error)), stage_(stage) {}

FileError::FileError(Stage stage, const std::string& text)
    : std::runtime_error(text), stage_(stage) {}

AtomicFileWriter::AtomicFileWriter(const std::string& path, unsigned newFileMode)
    : target_(ResolveLinks(path)), folder_(FolderOf(target_)) {
    struct stat old {};
    const bool exists = LookAtTarget(target_, old);

    // O_EXCL with a name of our own rather than mkstemp: open applies the umask to a new
    // file's mode, which mkstemp's fixed 0600 would not.
    RemoveStaleTemporaries(folder_, BaseOf(target_));
    static std::atomic<unsigned> counter{0};
    const std::string prefix =
        folder_ + "/" + TemporaryPrefix(BaseOf(target_)) + std::to_string(::getpid()) + "-";
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
            // The owner is ours (or we may give it away) by now; the group is kept where we are
            // in it, otherwise the file is not replaced.
            if (::fchown(fd_.get(), old.st_uid, old.st_gid) != 0) {
                const int error = errno;
                (void)fd_.Close();
                ::unlink(temporary_.c_str());
                throw FileError(FileError::Stage::Opening,
                                target_ +
                                    " belongs to a group this user is not in, and "
                                    "replacing it would change its group (" +
                                    std::string(std::strerror(error)) +
                                    "); it was left as it is (write a copy instead)");
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
        throw FileError(FileError::Stage::Writing, "rename", temporary_ + " to " + target_, errno);
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

#include "ui/FileFingerprint.h"

#include "fileio/AtomicFileWriter.h"
#include "fileio/UniqueFd.h"

#include <algorithm>
#include <cstdint>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace tesser::ui {

FileFingerprint TakeFingerprint(const std::string& path, std::string& error) {
    return TakePrefixFingerprint(path, UINT64_MAX, error);
}

FileFingerprint TakePrefixFingerprint(const std::string& path, std::uint64_t length,
                                      std::string& error) {
    error.clear();
    const fileio::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        error = std::strerror(errno);
        return {};
    }
    FileFingerprint print;
    std::uint64_t hash = 1469598103934665603ULL;
    std::vector<unsigned char> buffer(1 << 16);
    for (;;) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), length - print.Size));
        if (want == 0) {
            break;
        }
        const ssize_t n = ::read(fd.get(), buffer.data(), want);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = std::strerror(errno);
            return {};
        }
        if (n == 0) {
            break;
        }
        for (ssize_t i = 0; i < n; ++i) {
            hash = (hash ^ buffer[static_cast<std::size_t>(i)]) * 1099511628211ULL;
        }
        print.Size += static_cast<std::uint64_t>(n);
    }
    print.Hash = hash;
    return print;
}

void CutFileBack(const std::string& path, std::uint64_t length) {
    const fileio::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        throw fileio::FileError(fileio::FileError::Stage::Opening, "open", path, errno);
    }
    fileio::AtomicFileWriter writer(path);
    std::vector<unsigned char> buffer(1 << 16);
    for (std::uint64_t done = 0; done < length;) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), length - done));
        const ssize_t n = ::pread(fd.get(), buffer.data(), want, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            throw fileio::FileError(fileio::FileError::Stage::Writing, "read", path,
                                    n < 0 ? errno : EIO);
        }
        writer.Write(buffer.data(), static_cast<std::size_t>(n));
        done += static_cast<std::uint64_t>(n);
    }
    writer.Commit();
}

} // namespace tesser::ui

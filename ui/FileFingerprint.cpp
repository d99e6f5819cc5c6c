#include "ui/FileFingerprint.h"

#include "fileio/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace tesser::ui {

FileFingerprint TakeFingerprint(const std::string& path, std::string& error) {
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
        const ssize_t n = ::read(fd.get(), buffer.data(), buffer.size());
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

} // namespace tesser::ui

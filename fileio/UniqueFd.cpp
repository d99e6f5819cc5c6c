#include "fileio/UniqueFd.h"

#include <cerrno>
#include <unistd.h>

namespace tesser::fileio {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        (void)Close();
        fd_ = other.Release();
    }
    return *this;
}

UniqueFd::~UniqueFd() {
    (void)Close();
}

int UniqueFd::Close() noexcept {
    const int fd = Release();
    if (fd < 0) {
        return 0;
    }
    // Linux frees the descriptor even when close fails, also on EINTR: never close it twice.
    return ::close(fd) == 0 ? 0 : errno;
}

} // namespace tesser::fileio

// The owner of one open file descriptor.
//
//     UniqueFd fd(::open(name, O_RDONLY | O_CLOEXEC));
//     if (!fd) { ... errno ... }
//     ... read(fd.get(), ...) ...          // closed at the end of the scope
//
// The destructor closes without looking at the result (nothing was written, or the writing
// already failed); where a close must be checked, Close() answers 0 or the errno value.
#pragma once

#include <utility>

namespace tesser::fileio {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    ~UniqueFd();

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

    // Closes now: 0, or the errno value of a failed close. The owner is empty afterwards
    // either way (the descriptor is gone even when close fails).
    int Close() noexcept;
    // Hands the descriptor to the caller, who closes it.
    int Release() noexcept { return std::exchange(fd_, -1); }

private:
    int fd_ = -1;
};

} // namespace tesser::fileio

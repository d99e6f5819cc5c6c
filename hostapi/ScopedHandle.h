// An owner of one host handle that gives it back when it goes out of scope, in the way of a
// std::unique_ptr with a deleter: the handle type and the function that gives it back are the
// template's parameters, and each kind of handle has one alias (hostcalls/HostCalls.h).
//
//     using PageHandle = tesser::ScopedHandle<HPage, &ReleasePage>;
//     PageHandle page(AcquirePage(doc, 0)); // released at the end of the scope, error or not
//
// The destructor ignores a failure to give the handle back (a destructor must not throw); where
// that failure must be seen, Close() gives the handle back at once and lets the error through.
// A handle made of several values (a path and its file system) is a small struct with ==; the
// constructor takes its values in order. The empty handle is the value-initialised one.
#pragma once

#include <utility>

namespace tesser {

template <typename Handle, void (*Release)(Handle)> class ScopedHandle {
public:
    ScopedHandle() = default;
    explicit ScopedHandle(Handle handle) noexcept : handle_(handle) {}
    template <typename First, typename Second, typename... Rest>
    ScopedHandle(First&& first, Second&& second, Rest&&... rest)
        : handle_{std::forward<First>(first), std::forward<Second>(second),
                  std::forward<Rest>(rest)...} {}
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Take()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other) {
            Reset(other.Take());
        }
        return *this;
    }
    ~ScopedHandle() { Reset(); }

    const Handle& get() const { return handle_; }
    explicit operator bool() const { return !(handle_ == Handle{}); }

    // Gives the handle back now; what Release throws reaches the caller. The owner is empty
    // afterwards either way.
    void Close() {
        if (*this) {
            Release(Take());
        }
    }
    // Gives back the handle held, ignoring a failure, and holds the one given.
    void Reset(Handle handle = Handle{}) noexcept {
        Handle old = std::exchange(handle_, handle);
        if (!(old == Handle{})) {
            try {
                Release(old);
            } catch (...) {
            }
        }
    }
    // Hands the handle to the caller, who gives it back.
    Handle Take() noexcept { return std::exchange(handle_, Handle{}); }

private:
    Handle handle_{};
};

} // namespace tesser

#include "host/CupsLibrary.h"

#include "host/HostError.h"

#include <dlfcn.h>

#include <string>

namespace tesser::host {

namespace {

// The soname of CUPS 2, whose programming interface these functions belong to.
constexpr const char* kLibrary = "libcups.so.2";

template <class Function>
void Resolve(void* library, const char* name, Function& function, std::string& missing) {
    function = reinterpret_cast<Function>(::dlsym(library, name));
    if (function == nullptr) {
        missing += missing.empty() ? name : std::string(", ") + name;
    }
}

// The functions, or why they cannot be had.
struct Loaded {
    CupsLibrary cups;
    std::string failure;
};

Loaded Load() {
    Loaded loaded;
    const std::string needs = std::string("Printing needs the CUPS library (") + kLibrary + "), ";
    // Never unloaded: its functions may be called until the process ends.
    void* library = ::dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* why = ::dlerror();
        loaded.failure = needs + "which cannot be loaded: " + (why != nullptr ? why : "not found");
        return loaded;
    }
    std::string missing;
    Resolve(library, "cupsGetDefault", loaded.cups.GetDefault, missing);
    Resolve(library, "cupsPrintFile", loaded.cups.PrintFile, missing);
    Resolve(library, "cupsLastErrorString", loaded.cups.LastErrorString, missing);
    if (!missing.empty()) {
        loaded.failure = needs + "which lacks " + missing;
    }
    return loaded;
}

} // namespace

const CupsLibrary& Cups() {
    static const Loaded loaded = Load(); // once, whichever thread asks first
    if (!loaded.failure.empty()) {
        Fail(loaded.failure);
    }
    return loaded.cups;
}

} // namespace tesser::host

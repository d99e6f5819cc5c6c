#include "host/CupsLibrary.h"

#include "host/HostError.h"

#include <dlfcn.h>

#include <mutex>
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

} // namespace

const CupsLibrary& Cups() {
    static std::mutex lock;
    static CupsLibrary cups;
    static std::string failure;
    static bool tried = false;
    const std::lock_guard<std::mutex> guard(lock);
    if (!tried) {
        tried = true;
        // Never unloaded: its functions may be called until the process ends.
        void* library = ::dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            const char* why = ::dlerror();
            failure = std::string("Printing needs the CUPS library (") + kLibrary +
                      "), which cannot be loaded: " + (why != nullptr ? why : "not found");
        } else {
            std::string missing;
            Resolve(library, "cupsGetDefault", cups.GetDefault, missing);
            Resolve(library, "cupsPrintFile", cups.PrintFile, missing);
            Resolve(library, "cupsLastErrorString", cups.LastErrorString, missing);
            if (!missing.empty()) {
                failure = std::string("Printing needs the CUPS library (") + kLibrary +
                          "), which lacks " + missing;
            }
        }
    }
    if (!failure.empty()) {
        Fail(failure);
    }
    return cups;
}

} // namespace tesser::host

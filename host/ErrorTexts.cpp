#include "host/FaultPoint.h"
#include "host/HostState.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace tesser::host {

namespace {

const char* FixedErrorText(HErrorCode code) {
    switch (code) {
    case kHErrGeneral:
        return "An internal error occurred.";
    case kHErrBadParameter:
        return "Bad parameter.";
    case kHErrNoMemory:
        return "Out of memory.";
    case kHErrBadObject:
        return "The object is not of the expected type.";
    case kHErrNotFound:
        return "The requested item was not found.";
    case kHErrFault:
        return "Injected fault.";
    default:
        return nullptr;
    }
}

constexpr HErrorCode kDynamicCodes = 4096;

} // namespace

namespace detail {
FaultProbe g_faultProbe = nullptr;
} // namespace detail

void SetFaultProbe(FaultProbe probe) {
    detail::g_faultProbe = probe;
}

[[noreturn]] void Fail(const std::string& text) {
    throw HostException(kHErrGeneral, text);
}
[[noreturn]] void FailCode(HErrorCode code) {
    throw HostException(code, "");
}

HErrorCode ErrorTexts::Allocate(const std::string& text) {
    HErrorCode code = next_;
    next_ = next_ + 1 >= kHErrFirstDynamic + kDynamicCodes ? kHErrFirstDynamic : next_ + 1;
    texts_[code] = text;
    return code;
}

std::string ErrorTexts::Text(HErrorCode code) const {
    if (const char* fixed = FixedErrorText(code)) {
        return fixed;
    }
    if (code == kHErrNone) {
        return "No error.";
    }
    if (auto it = texts_.find(code); it != texts_.end()) {
        return it->second;
    }
    return "Unknown host error " + std::to_string(code) + ".";
}

void GetErrorText(HErrorCode code, char* buffer, size_t bufferSize) {
    if (buffer == nullptr || bufferSize == 0) {
        return;
    }
    Host* host = Host::Current();
    const std::string text =
        host != nullptr ? host->state().errors.Text(code) : ErrorTexts().Text(code);
    size_t n = std::min(text.size(), bufferSize - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

HErrorCode EntryAllowed(const char* operation) {
    if (Host::Current() == nullptr) {
        return kHErrGeneral;
    }
    if (FaultAt(operation)) {
        return kHErrFault;
    }
    return kHErrNone;
}

HErrorCode EntryFailure() noexcept {
    auto fail = [](HErrorCode code, const char* text) -> HErrorCode {
        Host* host = Host::Current();
        if (text == nullptr || *text == '\0' || host == nullptr) {
            return code;
        }
        try {
            return host->state().errors.Allocate(text);
        } catch (...) {
            return code;
        }
    };
    try {
        throw;
    } catch (const HostException& e) {
        return fail(e.code(), e.what());
    } catch (const std::bad_alloc&) {
        return kHErrNoMemory;
    } catch (const std::exception& e) {
        return fail(kHErrGeneral, e.what());
    } catch (...) {
        return kHErrGeneral;
    }
}

} // namespace tesser::host

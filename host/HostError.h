// How a failure inside the host becomes the code a table function answers, and the texts of
// those codes. Internal to host/.
#pragma once

#include "hostapi/HostTypes.h"

#include <cstddef>
#include <map>
#include <stdexcept>
#include <string>

namespace tesser::host {

// A failure inside the host; the table entry turns it into its code.
class HostException : public std::runtime_error {
public:
    HostException(HErrorCode code, const std::string& text)
        : std::runtime_error(text), code_(code) {}
    HErrorCode code() const { return code_; }

private:
    HErrorCode code_;
};

// Throws with a text of its own (a dynamic code is allocated at the table entry).
[[noreturn]] void Fail(const std::string& text);
[[noreturn]] void FailCode(HErrorCode code);

// The texts of the codes the host hands out: a fixed text for each code of HostTypes.h, and a
// text of its own for each code allocated at run time. Dynamic codes are reused in a ring, so
// that a long run cannot grow the table without bound.
class ErrorTexts {
public:
    HErrorCode Allocate(const std::string& text);
    // "No error." for kHErrNone; a text that says so for a code never handed out.
    std::string Text(HErrorCode code) const;

private:
    std::map<HErrorCode, std::string> texts_;
    HErrorCode next_ = kHErrFirstDynamic;
};

// The core table's GetErrorText: the text of the code, cut to size - 1 bytes. Without a host
// only the fixed texts are known.
void GetErrorText(HErrorCode code, char* buffer, size_t bufferSize);

// Whether a table operation may run: kHErrGeneral without a host, kHErrFault when a test's
// fault switch trips for it (host/FaultPoint.h), else kHErrNone.
HErrorCode EntryAllowed(const char* operation);
// The code of the exception being handled (its text kept for GetErrorText).
HErrorCode EntryFailure() noexcept;

// Runs one table operation: lets a test's fault switch refuse it, turns every exception into a
// code. A template rather than a std::function so that the body costs no allocation per call.
template <typename Body> HErrorCode Entry(const char* operation, Body&& body) {
    if (HErrorCode refused = EntryAllowed(operation); refused != kHErrNone) {
        return refused;
    }
    try {
        body();
        return kHErrNone;
    } catch (...) {
        return EntryFailure();
    }
}

} // namespace tesser::host

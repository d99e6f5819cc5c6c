// The fault switch of test builds: makes a chosen call of a host operation fail, so that tests
// can see what the plug-in and the host do on the way out. It is built as the object library
// tesser_fault_switch, which only test programs link; quorel-host, tesser and the module carry
// no switch (see host/FaultPoint.h).
#pragma once

#include <string>

namespace tesser::host {

// Makes the n-th call (counted from 1, from the arming on) of the named operation answer
// kHErrFault ("Injected fault.") without doing anything. The names are the table function names
// ("AcquirePage", "DictPut", ...) plus these inner points of SaveDocument: "SaveDocument.write"
// (a write of the temporary file fails), "SaveDocument.fsync", "SaveDocument.verify" and
// "SaveDocument.rename".
class FaultSwitch {
public:
    static void Arm(const std::string& operation, int callNumber);
    static void Disarm(const std::string& operation);
    static void DisarmAll();
    // Counts a call of the operation; true when this call must fail.
    static bool Trips(const std::string& operation);
};

} // namespace tesser::host

#include "host/FaultSwitch.h"

#include "host/FaultPoint.h"

#include <map>

namespace tesser::host {

namespace {

std::map<std::string, int>& Armed() { // operation -> calls left until the failing one
    static std::map<std::string, int> armed;
    return armed;
}

bool Probe(const char* operation) {
    return FaultSwitch::Trips(operation);
}

// The host asks only while something is armed.
void Update() {
    SetFaultProbe(Armed().empty() ? nullptr : &Probe);
}

} // namespace

void FaultSwitch::Arm(const std::string& operation, int callNumber) {
    Armed()[operation] = callNumber;
    Update();
}

void FaultSwitch::Disarm(const std::string& operation) {
    Armed().erase(operation);
    Update();
}

void FaultSwitch::DisarmAll() {
    Armed().clear();
    Update();
}

bool FaultSwitch::Trips(const std::string& operation) {
    auto& armed = Armed();
    auto it = armed.find(operation);
    if (it == armed.end()) {
        return false;
    }
    if (--it->second > 0) {
        return false;
    }
    armed.erase(it);
    Update();
    return true;
}

} // namespace tesser::host

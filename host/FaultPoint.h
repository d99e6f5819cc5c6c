// Where a host operation asks whether it must fail for a test. Internal to host/.
//
// The host itself has no fault switch: the probe is null and FaultAt answers false. The test
// programs link the switch (host/FaultSwitch.h), which sets the probe while a fault is armed.
#pragma once

namespace tesser::host {

using FaultProbe = bool (*)(const char* operation);

// Null switches the probe off.
void SetFaultProbe(FaultProbe probe);

namespace detail {
extern FaultProbe g_faultProbe;
} // namespace detail

// True when this call of the operation must fail.
inline bool FaultAt(const char* operation) {
    return detail::g_faultProbe != nullptr && detail::g_faultProbe(operation);
}

} // namespace tesser::host

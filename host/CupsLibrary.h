// The CUPS client library, loaded the first time something is printed.
//
// libcups brings some twenty libraries of its own (Kerberos, Avahi, D-Bus, GnuTLS...): linked
// into the program they cost every start of tesser about 5 ms and 2 MB of memory, printing or
// not. Loaded on demand only a print run pays for them.
#pragma once

#include <cups/cups.h>

namespace tesser::host {

struct CupsLibrary {
    decltype(&::cupsGetDefault) GetDefault = nullptr;
    decltype(&::cupsPrintFile) PrintFile = nullptr;
    decltype(&::cupsLastErrorString) LastErrorString = nullptr;
};

// The library's functions, loaded once. Fails (HostException) saying why when the library or one
// of its functions cannot be loaded.
const CupsLibrary& Cups();

} // namespace tesser::host

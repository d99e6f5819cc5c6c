// The module's entry into the dialog: the runner the "Tesser Pro..." command calls.
#pragma once

#include "hostapi/HostApi.h"

namespace tesser::dialog {

// Runs CTesserDialog modally for the view (or none) with the host's main window (a QWidget, or
// null) as parent, and destroys it when it has closed. Never throws.
void RunTesserDialog(HView view, void* parentWindow);

} // namespace tesser::dialog

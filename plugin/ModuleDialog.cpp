// In the desktop build the module carries the dialog: from the moment the host loads the module,
// the main dialog command runs it.
#include "dialog/TesserDialogRunner.h"
#include "plugin/PluginEntry.h"

namespace {

[[maybe_unused]] const bool kRegistered =
    (tesser::plugin::SetMainDialogRunner(&tesser::dialog::RunTesserDialog), true);

} // namespace

// Windows-1252 bytes (host alerts, menu titles) to and from the QString of the widgets.
#pragma once

#include <QString>

#include <string>

namespace tesser::app {

QString FromWindows1252(const std::string& bytes);
// Characters with no Windows-1252 form become "?".
std::string ToWindows1252(const QString& text);

} // namespace tesser::app

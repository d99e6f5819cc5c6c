// CTesserSecurityPage: tab 3 ("Security") of the main dialog.
#pragma once

#include "dialog/TesserPage.h"

namespace tesser::dialog {

class CTesserSecurityPage : public CTesserPage {
    Q_OBJECT
public:
    explicit CTesserSecurityPage(CTesserDialog* dialog);
};

} // namespace tesser::dialog

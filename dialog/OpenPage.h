// CTesserOpenPage: tab 2 ("Open") of the main dialog.
#pragma once

#include "dialog/TesserPage.h"

namespace tesser::dialog {

class CTesserOpenPage : public CTesserPage {
    Q_OBJECT
public:
    explicit CTesserOpenPage(CTesserDialog* dialog);
};

} // namespace tesser::dialog

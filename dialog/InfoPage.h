// CTesserInfoPage: tab 1 ("Info") of the main dialog.
#pragma once

#include "dialog/TesserPage.h"

namespace tesser::dialog {

class CTesserInfoPage : public CTesserPage {
    Q_OBJECT
public:
    explicit CTesserInfoPage(CTesserDialog* dialog);
};

} // namespace tesser::dialog

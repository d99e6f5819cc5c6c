// CTesserInfoPage: tab 1 ("Info") of the main dialog. Edits the dialog's InfoSettings: which of
// Title, Subject, Author, Keywords, the search index and the base URL a run changes, and their
// texts. A text box is usable only while its box is checked; the tab shows the tick while any
// box is checked. Leaving the page stores every box and text as they are (no checks, no
// trimming), except that a character with no Windows-1252 form is refused and the page stays.
#pragma once

#include "dialog/TesserPage.h"

#include <array>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace tesser::docsettings {
struct InfoSettings;
}

namespace tesser::dialog {

// The open-file dialog of "Browse...".
inline constexpr const char* kIndexFileFilter = "Acrobat Index Files (*.pdx);;All Files (*)";

class CTesserInfoPage : public CTesserPage {
    Q_OBJECT
public:
    explicit CTesserInfoPage(CTesserDialog* dialog);

    void OnSetActive() override;
    bool OnKillActive() override;

private:
    void Show();
    void TabState();
    bool Store();
    void Browse();

    docsettings::InfoSettings& settings_;
    bool initialised_ = false;
    // Title, Subject, Author, Keywords, Index, Base URL.
    std::array<QCheckBox*, 6> boxes_{};
    std::array<QLineEdit*, 6> texts_{};
    QPushButton* browse_ = nullptr;
};

} // namespace tesser::dialog

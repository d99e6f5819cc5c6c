// CTesserSecurityPage: tab 3 ("Security") of the main dialog. Edits the dialog's
// SecuritySettings: the password of the documents as they are now, whether a run changes their
// security, the two new passwords and the four "Do not allow" permissions. The new passwords and
// permissions are usable only while "Change security settings" is checked, which is also when
// the tab shows the tick; their contents are stored in any case when the page is left. Password
// fields are masked. No checks are made on the passwords, except that a character with no
// Windows-1252 form is refused and the page stays.
#pragma once

#include "dialog/TesserPage.h"

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace tesser::docsettings {
struct SecuritySettings;
}

namespace tesser::dialog {

// What a run does with a new open password given without an owner password.
inline constexpr const char* kOwnerPasswordNote =
    "Without a password to change security options, the password to open the document is "
    "used for both.";

class CTesserSecurityPage : public CTesserPage {
    Q_OBJECT
public:
    explicit CTesserSecurityPage(CTesserDialog* dialog);

    void OnSetActive() override;
    bool OnKillActive() override;

private:
    void Show();
    void TabState();
    bool Store();

    docsettings::SecuritySettings& settings_;
    bool initialised_ = false;
    QLineEdit* current_;
    QCheckBox* change_;
    QLabel* openLabel_;
    QLineEdit* open_;
    QLabel* ownerLabel_;
    QLineEdit* owner_;
    QLabel* note_;
    // Printing, Changing the document, Selecting text and graphics, Adding or changing notes and
    // form fields.
    std::array<QCheckBox*, 4> denied_{};
};

} // namespace tesser::dialog

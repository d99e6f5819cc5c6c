// "Confirm passwords": the small modal dialog a run shows before it changes the security of any
// document, asking for the new passwords again.
//
// A box is usable only when its password is set. "OK" is usable exactly while each box holds
// its password (byte for byte in Windows-1252, letter case counting; an empty box matches an
// empty password), so the dialog ends with OK only when both given passwords were typed again.
// The dialog changes no setting.
#pragma once

#include <QDialog>

#include <string>

class QLineEdit;
class QPushButton;

namespace tesser::dialog {

class CConfirmPasswordsDialog : public QDialog {
    Q_OBJECT
public:
    // The passwords are the security settings' OpenPassword and OwnerPassword (Windows-1252);
    // they are referred to, not copied.
    CConfirmPasswordsDialog(const std::string& openPassword, const std::string& ownerPassword,
                            QWidget* parent);

    // Runs the dialog; true when it ended with OK.
    static bool Confirm(const std::string& openPassword, const std::string& ownerPassword,
                        QWidget* parent);

private:
    void Compare();

    const std::string& openPassword_;
    const std::string& ownerPassword_;
    QLineEdit* open_;
    QLineEdit* owner_;
    QPushButton* ok_;
};

} // namespace tesser::dialog

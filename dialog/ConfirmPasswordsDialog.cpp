#include "dialog/ConfirmPasswordsDialog.h"

#include "dialog/FieldText.h"
#include "dialog/TesserPage.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tesser::dialog {

namespace {

bool Matches(const QLineEdit* field, const std::string& password) {
    const std::optional<std::string> typed = TryToRecord(field->text());
    return typed && *typed == password;
}

} // namespace

CConfirmPasswordsDialog::CConfirmPasswordsDialog(const std::string& openPassword,
                                                 const std::string& ownerPassword, QWidget* parent)
    : QDialog(parent), openPassword_(openPassword), ownerPassword_(ownerPassword) {
    setObjectName(QStringLiteral("confirmPasswordsDialog"));
    setProperty("controlId", 143);
    setWindowTitle(QStringLiteral("Confirm passwords"));
    setAccessibleName(windowTitle());

    auto* text = new QLabel(QStringLiteral("Please confirm the password(s)"), this);
    auto* group = new QGroupBox(QStringLiteral("Specify password to"), this);
    group->setAccessibleName(group->title());
    auto* form = new QFormLayout(group);
    open_ = AddPasswordField(group, form, QStringLiteral("Open &the document"), 1053,
                             QStringLiteral("confirmOpenPassword"));
    owner_ = AddPasswordField(group, form, QStringLiteral("Change security opt&ions"), 1054,
                              QStringLiteral("confirmOwnerPassword"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    NameControl(ok_, 1, QStringLiteral("okButton"), QStringLiteral("OK"));
    QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel);
    NameControl(cancel, 2, QStringLiteral("cancelButton"), QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(group);
    layout->addWidget(buttons);

    open_->setEnabled(!openPassword_.empty());
    owner_->setEnabled(!ownerPassword_.empty());
    connect(open_, &QLineEdit::textChanged, this, &CConfirmPasswordsDialog::Compare);
    connect(owner_, &QLineEdit::textChanged, this, &CConfirmPasswordsDialog::Compare);
    // Both boxes start empty, so OK waits until the given passwords are typed.
    Compare();
}

void CConfirmPasswordsDialog::Compare() {
    ok_->setEnabled(Matches(open_, openPassword_) && Matches(owner_, ownerPassword_));
}

bool CConfirmPasswordsDialog::Confirm(const std::string& openPassword,
                                      const std::string& ownerPassword, QWidget* parent) {
    CConfirmPasswordsDialog dialog(openPassword, ownerPassword, parent);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace tesser::dialog

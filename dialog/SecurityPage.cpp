#include "dialog/SecurityPage.h"

#include "dialog/FieldText.h"
#include "dialog/TesserDialog.h"
#include "docsettings/SecuritySettings.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace tesser::dialog {

namespace {

struct DenyItem {
    const char* caption; // with its mnemonic
    int id;
    const char* name;
    uint32_t bit;
};

const DenyItem kDenied[] = {
    {"P&rinting", 1055, "denyPrinting", docsettings::kPermitPrint},
    {"Changing the &document", 1056, "denyChanging", docsettings::kPermitChange},
    {"&Selecting text and graphics", 1057, "denySelecting", docsettings::kPermitCopy},
    {"Adding or changing &notes and form fields", 1058, "denyNotes", docsettings::kPermitNotes},
};

QString Plain(const char* caption) {
    return QString::fromLatin1(caption).remove(QLatin1Char('&'));
}

} // namespace

CTesserSecurityPage::CTesserSecurityPage(CTesserDialog* dialog)
    : CTesserPage(dialog, 3, 135, QStringLiteral("Security")),
      settings_(dialog->Engine().Security()) {
    auto* currentGroup = new QGroupBox(QStringLiteral("Current security settings"), this);
    currentGroup->setObjectName(QStringLiteral("currentSecurityGroup"));
    currentGroup->setAccessibleName(currentGroup->title());
    auto* currentForm = new QFormLayout(currentGroup);
    current_ = AddPasswordField(currentGroup, currentForm, QStringLiteral("P&assword"), 1059,
                                QStringLiteral("currentPassword"), nullptr);

    change_ = new QCheckBox(QStringLiteral("C&hange security settings"), this);
    NameControl(change_, 1072, QStringLiteral("changeSecurity"),
                QStringLiteral("Change security settings"));

    auto* newGroup = new QGroupBox(QStringLiteral("Specify password to"), this);
    newGroup->setObjectName(QStringLiteral("newPasswordsGroup"));
    newGroup->setAccessibleName(newGroup->title());
    auto* newForm = new QFormLayout(newGroup);
    open_ = AddPasswordField(newGroup, newForm, QStringLiteral("Open &the document"), 1053,
                             QStringLiteral("openPassword"), &openLabel_);
    owner_ = AddPasswordField(newGroup, newForm, QStringLiteral("Change security opt&ions"), 1054,
                              QStringLiteral("ownerPassword"), &ownerLabel_);
    owner_->setToolTip(QString::fromLatin1(kOwnerPasswordNote));
    note_ = new QLabel(QString::fromLatin1(kOwnerPasswordNote), newGroup);
    note_->setObjectName(QStringLiteral("ownerPasswordNote"));
    note_->setWordWrap(true);
    newForm->addRow(note_);

    auto* denyGroup = new QGroupBox(QStringLiteral("Do not allow"), this);
    denyGroup->setObjectName(QStringLiteral("doNotAllowGroup"));
    denyGroup->setAccessibleName(denyGroup->title());
    auto* denyLayout = new QVBoxLayout(denyGroup);
    for (size_t i = 0; i < std::size(kDenied); ++i) {
        denied_[i] = new QCheckBox(QString::fromLatin1(kDenied[i].caption), denyGroup);
        NameControl(denied_[i], kDenied[i].id, QString::fromLatin1(kDenied[i].name),
                    Plain(kDenied[i].caption));
        denyLayout->addWidget(denied_[i]);
    }

    // The state, not the click: a screen reader's Toggle action and setChecked count too.
    connect(change_, &QCheckBox::toggled, this, &CTesserSecurityPage::TabState);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(currentGroup);
    layout->addWidget(change_);
    layout->addWidget(newGroup);
    layout->addWidget(denyGroup);
    layout->addStretch(1);
}

void CTesserSecurityPage::OnSetActive() {
    if (!initialised_) {
        initialised_ = true;
        Show();
        TabState();
    }
}

bool CTesserSecurityPage::OnKillActive() {
    return !initialised_ || Store();
}

void CTesserSecurityPage::Show() {
    current_->setText(FromRecord(settings_.CurrentPassword));
    open_->setText(FromRecord(settings_.OpenPassword));
    owner_->setText(FromRecord(settings_.OwnerPassword));
    change_->setChecked(settings_.ChangeSecurity);
    for (size_t i = 0; i < std::size(kDenied); ++i) {
        denied_[i]->setChecked((settings_.Permissions & kDenied[i].bit) == 0);
    }
}

void CTesserSecurityPage::TabState() {
    const bool change = change_->isChecked();
    for (QWidget* w :
         std::initializer_list<QWidget*>{openLabel_, open_, ownerLabel_, owner_, note_}) {
        w->setEnabled(change);
    }
    for (QCheckBox* box : denied_) {
        box->setEnabled(change);
    }
    Dialog()->SetTabImage(TabIndex(), change ? kImageTick : kImageCross);
}

bool CTesserSecurityPage::Store() {
    struct Field {
        QLineEdit* control;
        const char* caption;
        std::string docsettings::SecuritySettings::*target;
    };
    const Field fields[] = {
        {current_, "Password", &docsettings::SecuritySettings::CurrentPassword},
        {open_, "Open the document", &docsettings::SecuritySettings::OpenPassword},
        {owner_, "Change security options", &docsettings::SecuritySettings::OwnerPassword},
    };
    std::array<std::string, 3> passwords;
    for (size_t i = 0; i < std::size(fields); ++i) {
        auto bytes =
            ToRecord(fields[i].control->text(), QString::fromLatin1(fields[i].caption), this);
        if (!bytes) {
            fields[i].control->setFocus();
            return false;
        }
        passwords[i] = std::move(*bytes);
    }
    for (size_t i = 0; i < std::size(fields); ++i) {
        settings_.*fields[i].target = std::move(passwords[i]);
    }
    settings_.ChangeSecurity = change_->isChecked();
    uint32_t permissions = 0;
    for (size_t i = 0; i < std::size(kDenied); ++i) {
        if (!denied_[i]->isChecked()) {
            permissions += kDenied[i].bit;
        }
    }
    settings_.Permissions = permissions;
    return true;
}

} // namespace tesser::dialog

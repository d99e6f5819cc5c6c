#include "dialog/SecurityPage.h"

#include <QLabel>
#include <QVBoxLayout>

namespace tesser::dialog {

CTesserSecurityPage::CTesserSecurityPage(CTesserDialog* dialog)
    : CTesserPage(dialog, 3, 135, QStringLiteral("Security")) {
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(QStringLiteral("Passwords and permissions of the standard security "
                                           "handler."),
                            this);
    text->setWordWrap(true);
    layout->addWidget(text);
    layout->addStretch(1);
}

} // namespace tesser::dialog

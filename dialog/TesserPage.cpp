#include "dialog/TesserPage.h"

#include <QVariant>

namespace tesser::dialog {

CTesserPage::CTesserPage(CTesserDialog* dialog, int tabIndex, int templateId,
                         const QString& title)
    : dialog_(dialog), tabIndex_(tabIndex), title_(title) {
    NameControl(this, templateId, QStringLiteral("page%1").arg(tabIndex), title);
}

void NameControl(QWidget* control, int id, const QString& objectName,
                 const QString& accessibleName) {
    control->setObjectName(objectName);
    control->setProperty("controlId", id);
    if (!accessibleName.isEmpty()) {
        control->setAccessibleName(accessibleName);
    }
}

} // namespace tesser::dialog

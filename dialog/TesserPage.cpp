#include "dialog/TesserPage.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVariant>

namespace tesser::dialog {

CTesserPage::CTesserPage(CTesserDialog* dialog, int tabIndex, int templateId, const QString& title)
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

QLineEdit* AddPasswordField(QWidget* parent, QFormLayout* form, const QString& caption, int id,
                            const QString& objectName, QLabel** labelOut) {
    auto* field = new QLineEdit(parent);
    NameControl(field, id, objectName, QString(caption).remove(QLatin1Char('&')));
    field->setEchoMode(QLineEdit::Password);
    auto* label = new QLabel(caption, parent);
    label->setBuddy(field);
    form->addRow(label, field);
    if (labelOut != nullptr) {
        *labelOut = label;
    }
    return field;
}

} // namespace tesser::dialog

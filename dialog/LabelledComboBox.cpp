#include "dialog/LabelledComboBox.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>

namespace tesser::dialog {

namespace {

class LabelledComboBox : public QAccessibleWidget {
public:
    explicit LabelledComboBox(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        switch (t) {
        case QAccessible::Name:
            return Box()->accessibleName();
        case QAccessible::Value:
            return Box()->isEditable() ? Box()->lineEdit()->text() : Box()->currentText();
        default:
            return QAccessibleWidget::text(t);
        }
    }

    // The list of entries, and the line edit of an editable list.
    int childCount() const override { return Box()->isEditable() ? 2 : 1; }
    QAccessibleInterface* child(int index) const override {
        if (index == 0) {
            return QAccessible::queryAccessibleInterface(Box()->view());
        }
        if (index == 1 && Box()->isEditable()) {
            return QAccessible::queryAccessibleInterface(Box()->lineEdit());
        }
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface* c) const override {
        if (c == nullptr) {
            return -1;
        }
        if (c->object() == Box()->view()) {
            return 0;
        }
        return Box()->isEditable() && c->object() == Box()->lineEdit() ? 1 : -1;
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = Box()->view()->isVisible();
        s.editable = Box()->isEditable();
        return s;
    }

    QStringList actionNames() const override {
        return {QAccessibleActionInterface::showMenuAction(),
                QAccessibleActionInterface::pressAction()};
    }
    void doAction(const QString& action) override {
        if (action == QAccessibleActionInterface::showMenuAction() ||
            action == QAccessibleActionInterface::pressAction()) {
            Box()->showPopup();
        }
    }

private:
    QComboBox* Box() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (className != QLatin1String("QComboBox") || object == nullptr || !object->isWidgetType()) {
        return nullptr;
    }
    auto* box = qobject_cast<QComboBox*>(object);
    if (box == nullptr || !box->property("controlId").isValid() ||
        box->accessibleName().isEmpty()) {
        return nullptr;
    }
    return new LabelledComboBox(box);
}

int g_installed = 0;

} // namespace

LabelledComboBoxes::LabelledComboBoxes() {
    if (g_installed++ == 0) {
        QAccessible::installFactory(&Factory);
    }
}

LabelledComboBoxes::~LabelledComboBoxes() {
    if (--g_installed == 0) {
        QAccessible::removeFactory(&Factory);
    }
}

} // namespace tesser::dialog

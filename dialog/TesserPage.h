// What the dialog asks of each of its five pages.
#pragma once

#include <QWidget>

class QFormLayout;
class QLabel;
class QLineEdit;

namespace tesser::dialog {

class CTesserDialog;

class CTesserPage : public QWidget {
    Q_OBJECT
public:
    CTesserPage(CTesserDialog* dialog, int tabIndex, int templateId, const QString& title);

    int TabIndex() const { return tabIndex_; }
    const QString& Title() const { return title_; }

    // The page has become the shown one.
    virtual void OnSetActive() {}
    // The user leaves the page: it stores its controls into the records it edits. False keeps
    // the page shown (a field is not valid; the page has told the user why).
    virtual bool OnKillActive() { return true; }

protected:
    CTesserDialog* Dialog() const { return dialog_; }

private:
    CTesserDialog* dialog_;
    int tabIndex_;
    QString title_;
};

// Gives a control its numeric id (property "controlId") and object name, and, when the
// control shows no text of its own, the accessible name a screen reader announces.
void NameControl(QWidget* control, int id, const QString& objectName,
                 const QString& accessibleName = {});

// Adds a masked password field with its label (the caption, with its mnemonic) as a row of form;
// the label is handed back through labelOut when given.
QLineEdit* AddPasswordField(QWidget* parent, QFormLayout* form, const QString& caption, int id,
                            const QString& objectName, QLabel** labelOut = nullptr);

} // namespace tesser::dialog

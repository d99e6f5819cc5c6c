// CTesserDefinePage: tab 0 ("Tesserion") of the main dialog: the current Tesserion's colour,
// with the colour chooser and its 16 custom colours.
#pragma once

#include "dialog/TesserPage.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tesser::dialog {

class CTesserDefinePage : public CTesserPage {
    Q_OBJECT
public:
    explicit CTesserDefinePage(CTesserDialog* dialog);

    void OnSetActive() override;
    bool OnKillActive() override;

private:
    void LoadControls();
    void StoreColor();
    void PresetChosen(int row);
    void ChooseColor();

    QComboBox* colorList_;
    QLineEdit* colorText_;
    QPushButton* chooser_;
};

} // namespace tesser::dialog

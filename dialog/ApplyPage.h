// CTesserApplyPage: tab 4 ("Apply") of the main dialog: which Tesserions a run applies and to
// which documents, and the commands behind "Print...", "Apply" and "Undo".
#pragma once

#include "dialog/TesserPage.h"

class QCheckBox;
class QRadioButton;

namespace tesser::dialog {

class CTesserApplyPage : public CTesserPage {
    Q_OBJECT
public:
    explicit CTesserApplyPage(CTesserDialog* dialog);

    void OnSetActive() override;
    bool OnKillActive() override;

    void RunApply();
    void RunUndo();
    void PrintDocuments();

private:
    void LoadControls();
    void StoreControls();
    void UpdateControlStates();
    bool SettingsToApply();

    QRadioButton* none_;
    QRadioButton* currentTesserion_;
    QRadioButton* selectedTesserions_;
    QRadioButton* currentDocument_;
    QRadioButton* multipleDocuments_;
    QCheckBox* optimise_;
};

} // namespace tesser::dialog

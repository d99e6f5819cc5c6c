// Drop-down lists named by their labels for assistive technology.
//
// On Linux, Qt's own accessible combo box answers its current value as its name (it leaves the
// label to the "labelled by" relation), so a screen reader announces "Helvetica" or "[Do not
// change]" three times instead of "Face" or "View". While a dialog of this plug-in is open, the
// dialog's drop-down lists (a QComboBox with a control id and an accessible name) get an
// interface whose name is their accessible name and whose value is their current text.
#pragma once

namespace tesser::dialog {

// Installs the accessible factory for as long as the object lives (counted: nested dialogs
// share one installation). The module may be unloaded after the last dialog closes, so the
// factory never outlives the dialogs.
class LabelledComboBoxes {
public:
    LabelledComboBoxes();
    ~LabelledComboBoxes();
    LabelledComboBoxes(const LabelledComboBoxes&) = delete;
    LabelledComboBoxes& operator=(const LabelledComboBoxes&) = delete;
};

} // namespace tesser::dialog

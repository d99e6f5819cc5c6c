// CTesserDefinePage: tab 0 ("Tesserion") of the main dialog.
//
// It shows and edits the dialog's current Tesserion and keeps the named Tesserions through the
// Name box with "Save" and "Delete". The fields are stored into the current Tesserion whenever
// the page is left, and checked then: the first field that does not hold an acceptable value is
// reported in the host's alert and the page stays shown. Fields stored before the failing one
// keep their new values.
//
// Lengths are shown in the Tesserion's Units and kept in points; choosing another unit stores
// the fields unchecked in the old unit and shows them again in the new one. Text is held as
// Windows-1252 with CR LF line breaks; a character with no Windows-1252 form is refused before
// anything is stored.
//
// Every control carries its numeric id in the property "controlId" and an object name (listed
// in the constructor), and its caption or label as its accessible name.
#pragma once

#include "dialog/TesserPage.h"

#include "model/TesserionFields.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace tesser::dialog {

// The page's messages, as the host's alert shows them.
inline constexpr const char* kBadPosX = "The position X coordinate is not a number!";
inline constexpr const char* kBadPosY = "The position Y coordinate is not a number!";
inline constexpr const char* kBadAngle =
    "The position angle is not a number in the range (-360 - +360) degrees!";
inline constexpr const char* kBadFontSize =
    "The font size is not a number in the range (1 - 1000) points!";
inline constexpr const char* kBadFontLeading =
    "The font leading is not a number in the range (-1000 - +1000) points!";
inline constexpr const char* kBadGray =
    "The custom color value is not valid\nTry something like \"0.75\".";
inline constexpr const char* kBadRgb =
    "The custom color value is not valid\nTry something like \"0.66,0.80,1.00\".";
inline constexpr const char* kBadCmyk =
    "The custom color value is not valid\nTry something like \"1.00,0.33,0.00,0.10\".";
inline constexpr const char* kBadPageRange =
    "The page range is not valid!\nTry something like \"-3,5-7,10,20-\".";

// Entry 0 of the Name box: no named Tesserion.
inline constexpr const char* kUntitled = "[Untitled]";

class CTesserDefinePage : public CTesserPage {
    Q_OBJECT
public:
    explicit CTesserDefinePage(CTesserDialog* dialog);

    void OnSetActive() override;
    bool OnKillActive() override;

    // Whether the fields shown differ from what was last chosen or saved under the Name.
    bool TesserionEdited() const { return edited_; }

private:
    // How the page holds one field of the table (TesserionFields): the field's controls, the
    // caption its conversion errors name, and the alert for a value it does not accept.
    struct FieldControl {
        enum class ControlKind {
            TextBox,    // the Text box, with display line breaks
            Length,     // a number field in the Tesserion's units
            Number,     // a number field in points or degrees, within the field's range
            Radios,     // one radio button per value
            Fixed,      // no control: the page stores Value
            UnitsList,  // the Units list, shown here and changed by UnitsChange
            NameList,   // a list whose entry starting with the field's text is shown
            ColourList, // the colour list: the preset's name and space
            ColourText, // the colour's components, refused with the space's own alert
            LineText,   // a text field, checked by the field's own check
        };
        const model::TesserionField* Field = nullptr;
        ControlKind Kind = ControlKind::Fixed;
        QWidget* Control = nullptr;
        std::vector<QRadioButton*> Radios{}; // by value; for a flag, false then true
        const char* Caption = nullptr;       // for a text converted before anything is stored
        const char* Bad = nullptr;
        std::int32_t Value = 0; // Fixed
        std::string Text{};     // read by ReadFieldTexts
    };

    void Initialise();
    void Show();
    // Controls into the current Tesserion; with checks, the first bad field is reported and
    // false returned. A character with no Windows-1252 form fails both forms, before anything
    // is stored.
    bool Store(bool checks);
    // The text fields' Windows-1252 forms into their FieldControls, and the Name's into name;
    // false (the field focused) when one cannot be converted.
    bool ReadFieldTexts(std::string& name);
    void Bind(std::string_view key, FieldControl control);
    void Enable();
    void Edited();
    void ColorChoice(int row);
    void ColorChooser();
    void NameChoice(int index);
    void Save();
    void Delete();
    void UnitsChange(int row);

    bool initialised_ = false;
    bool edited_ = false;

    QPlainTextEdit* text_;
    QLineEdit* posX_;
    QLineEdit* posY_;
    QLineEdit* angle_;
    QRadioButton* left_;
    QRadioButton* centre_;
    QRadioButton* right_;
    QRadioButton* foreground_;
    QRadioButton* background_;
    QComboBox* face_;
    QLineEdit* size_;
    QLineEdit* leading_;
    QComboBox* colorList_;
    QLineEdit* colorText_;
    QPushButton* chooser_;
    QRadioButton* allPages_;
    QRadioButton* specifiedPages_;
    QLineEdit* range_;
    QRadioButton* oddAndEven_;
    QRadioButton* oddOnly_;
    QRadioButton* evenOnly_;
    QComboBox* name_;
    QPushButton* save_;
    QPushButton* delete_;
    QComboBox* units_;
    // In the table's order.
    std::vector<FieldControl> fields_;
};

} // namespace tesser::dialog

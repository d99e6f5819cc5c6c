#include "dialog/DefinePage.h"

#include "dialog/FieldText.h"
#include "dialog/TesserDialog.h"
#include "hostapi/HostTypes.h"
#include "hostcalls/HostCalls.h"
#include "model/ColorText.h"
#include "model/NumberText.h"
#include "model/PageRange.h"
#include "model/Vocabulary.h"

#include <QColorDialog>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace tesser::dialog {

namespace {

QString Plain(const QString& caption) {
    return QString(caption).remove(QLatin1Char('&'));
}

QString FromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QGroupBox* Group(QWidget* parent, const QString& title, const QString& objectName) {
    auto* group = new QGroupBox(title, parent);
    group->setObjectName(objectName);
    group->setAccessibleName(Plain(title));
    return group;
}

QRadioButton* Radio(QWidget* parent, const QString& caption, int id, const QString& objectName) {
    auto* radio = new QRadioButton(caption, parent);
    NameControl(radio, id, objectName, Plain(caption));
    return radio;
}

QPushButton* Button(QWidget* parent, const QString& caption, int id, const QString& objectName,
                    const QString& accessibleName) {
    auto* button = new QPushButton(caption, parent);
    NameControl(button, id, objectName, accessibleName);
    // Enter in a field must not press a button of the page.
    button->setAutoDefault(false);
    return button;
}

// A right-aligned number field with its label, the label being its mnemonic and accessible name.
QLineEdit* NumberField(QWidget* parent, QGridLayout* layout, int row, const QString& caption,
                       int id, const QString& objectName) {
    auto* label = new QLabel(caption, parent);
    auto* field = new QLineEdit(parent);
    NameControl(field, id, objectName, Plain(caption));
    field->setAlignment(Qt::AlignRight);
    label->setBuddy(field);
    layout->addWidget(label, row, 0);
    layout->addWidget(field, row, 1);
    return field;
}

QComboBox* DropDownList(QWidget* parent, int id, const QString& objectName,
                        const QString& accessibleName) {
    auto* list = new QComboBox(parent);
    NameControl(list, id, objectName, accessibleName);
    return list;
}

// The first entry whose text begins with prefix, ignoring letter case; -1 for none.
int FirstStartingWith(const QComboBox* list, const QString& prefix) {
    for (int i = 0; i < list->count(); ++i) {
        if (list->itemText(i).startsWith(prefix, Qt::CaseInsensitive)) {
            return i;
        }
    }
    return -1;
}

bool InRange(double value, double low, double high) {
    return value >= low && value <= high;
}

QColor FromWindowsColor(std::uint32_t value) {
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

std::int32_t ToWindowsColor(const QColor& color) {
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

} // namespace

CTesserDefinePage::CTesserDefinePage(CTesserDialog* dialog)
    : CTesserPage(dialog, 0, 132, QStringLiteral("Tesserion")) {
    // Created group by group, so that the keyboard order follows the groups.
    auto* textGroup = Group(this, QStringLiteral("&Text"), QStringLiteral("textGroup"));
    text_ = new QPlainTextEdit(textGroup);
    NameControl(text_, 1004, QStringLiteral("textBox"), QStringLiteral("Text"));
    text_->setTabChangesFocus(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    (new QVBoxLayout(textGroup))->addWidget(text_);

    auto* position = Group(this, QStringLiteral("Position"), QStringLiteral("positionGroup"));
    auto* positionLayout = new QGridLayout(position);
    posX_ = NumberField(position, positionLayout, 0, QStringLiteral("&X"), 1017,
                        QStringLiteral("posX"));
    posY_ = NumberField(position, positionLayout, 1, QStringLiteral("&Y"), 1018,
                        QStringLiteral("posY"));
    angle_ = NumberField(position, positionLayout, 2, QStringLiteral("A&ngle"), 1008,
                         QStringLiteral("angle"));

    auto* justification =
        Group(this, QStringLiteral("Justification"), QStringLiteral("justificationGroup"));
    // Left, Centre, All pages and Odd and even pages have no mnemonic of their own: the page
    // uses all but four letters, which the dialog's buttons take. Each is reached with Tab,
    // where its group's checked button takes the focus, and the arrow keys.
    left_ = Radio(justification, QStringLiteral("Left"), 1033, QStringLiteral("justifyLeft"));
    centre_ = Radio(justification, QStringLiteral("Centre"), 1034, QStringLiteral("justifyCentre"));
    right_ = Radio(justification, QStringLiteral("Rig&ht"), 1035, QStringLiteral("justifyRight"));
    auto* justificationLayout = new QHBoxLayout(justification);
    for (QRadioButton* r : {left_, centre_, right_}) {
        justificationLayout->addWidget(r);
    }

    auto* layer = Group(this, QStringLiteral("Layer"), QStringLiteral("layerGroup"));
    foreground_ = Radio(layer, QStringLiteral("Fo&reground"), 1023, QStringLiteral("foreground"));
    background_ = Radio(layer, QStringLiteral("&Background"), 1024, QStringLiteral("background"));
    auto* layerLayout = new QHBoxLayout(layer);
    layerLayout->addWidget(foreground_);
    layerLayout->addWidget(background_);

    auto* font = Group(this, QStringLiteral("Font"), QStringLiteral("fontGroup"));
    auto* fontLayout = new QGridLayout(font);
    auto* faceLabel = new QLabel(QStringLiteral("&Face"), font);
    face_ = DropDownList(font, 1022, QStringLiteral("fontFace"), QStringLiteral("Face"));
    for (std::string_view name : model::BaseFontNames) {
        face_->addItem(FromView(name));
    }
    faceLabel->setBuddy(face_);
    fontLayout->addWidget(faceLabel, 0, 0);
    fontLayout->addWidget(face_, 0, 1);
    size_ =
        NumberField(font, fontLayout, 1, QStringLiteral("Si&ze"), 1021, QStringLiteral("fontSize"));
    leading_ = NumberField(font, fontLayout, 2, QStringLiteral("Le&ading"), 1020,
                           QStringLiteral("fontLeading"));

    auto* colour = Group(this, QStringLiteral("&Colour"), QStringLiteral("colourGroup"));
    colorList_ = DropDownList(colour, 1025, QStringLiteral("colorList"), QStringLiteral("Colour"));
    for (const auto& preset : model::ColorPresets) {
        colorList_->addItem(FromView(preset.Name));
    }
    colorText_ = new QLineEdit(colour);
    NameControl(colorText_, 1026, QStringLiteral("colorText"), QStringLiteral("Colour text"));
    chooser_ = Button(colour, QStringLiteral("..."), 1031, QStringLiteral("colorChooserButton"),
                      QStringLiteral("Choose colour"));
    auto* colourLayout = new QHBoxLayout(colour);
    colourLayout->addWidget(colorList_);
    colourLayout->addWidget(colorText_, 1);
    colourLayout->addWidget(chooser_);

    auto* pageRange = Group(this, QStringLiteral("Page range"), QStringLiteral("pageRangeGroup"));
    allPages_ = Radio(pageRange, QStringLiteral("All pages"), 1013, QStringLiteral("allPages"));
    specifiedPages_ = Radio(pageRange, QStringLiteral("Spec&ified pages only"), 1014,
                            QStringLiteral("specifiedPages"));
    range_ = new QLineEdit(pageRange);
    NameControl(range_, 1016, QStringLiteral("pageRange"), QStringLiteral("Page range"));
    range_->setPlaceholderText(QStringLiteral("-3,5-7,10,20-"));
    auto* rangeLayout = new QGridLayout(pageRange);
    rangeLayout->addWidget(allPages_, 0, 0);
    rangeLayout->addWidget(specifiedPages_, 1, 0);
    rangeLayout->addWidget(range_, 1, 1);

    auto* spread = Group(this, QStringLiteral("Page spread"), QStringLiteral("pageSpreadGroup"));
    oddAndEven_ = Radio(spread, QStringLiteral("Odd and even pages"), 1028,
                        QStringLiteral("oddAndEvenPages"));
    oddOnly_ =
        Radio(spread, QStringLiteral("Odd pa&ges only"), 1011, QStringLiteral("oddPagesOnly"));
    evenOnly_ =
        Radio(spread, QStringLiteral("E&ven pages only"), 1012, QStringLiteral("evenPagesOnly"));
    auto* spreadLayout = new QVBoxLayout(spread);
    for (QRadioButton* r : {oddAndEven_, oddOnly_, evenOnly_}) {
        spreadLayout->addWidget(r);
    }

    auto* nameGroup = Group(this, QStringLiteral("Na&me"), QStringLiteral("nameGroup"));
    name_ = new QComboBox(nameGroup);
    NameControl(name_, 1003, QStringLiteral("nameBox"), QStringLiteral("Name"));
    name_->setEditable(true);
    // What is typed stays typed: no completion from the list, no entry added by Enter.
    name_->setCompleter(nullptr);
    name_->setInsertPolicy(QComboBox::NoInsert);
    name_->lineEdit()->setAccessibleName(QStringLiteral("Name"));
    save_ = Button(nameGroup, QStringLiteral("&Save"), 1000, QStringLiteral("saveButton"),
                   QStringLiteral("Save"));
    delete_ = Button(nameGroup, QStringLiteral("&Delete"), 1002, QStringLiteral("deleteButton"),
                     QStringLiteral("Delete"));
    auto* nameLayout = new QHBoxLayout(nameGroup);
    nameLayout->addWidget(name_, 1);
    nameLayout->addWidget(save_);
    nameLayout->addWidget(delete_);

    auto* unitsGroup = Group(this, QStringLiteral("&Units"), QStringLiteral("unitsGroup"));
    units_ = DropDownList(unitsGroup, 1019, QStringLiteral("unitsList"), QStringLiteral("Units"));
    units_->addItems({QStringLiteral("Points"), QStringLiteral("Inches"), QStringLiteral("cm")});
    (new QVBoxLayout(unitsGroup))->addWidget(units_);

    auto* layout = new QGridLayout(this);
    auto* leftColumn = new QVBoxLayout;
    leftColumn->addWidget(textGroup, 1);
    leftColumn->addWidget(position);
    leftColumn->addWidget(justification);
    leftColumn->addWidget(layer);
    auto* rightColumn = new QVBoxLayout;
    rightColumn->addWidget(font);
    rightColumn->addWidget(colour);
    rightColumn->addWidget(pageRange);
    rightColumn->addWidget(spread);
    rightColumn->addWidget(nameGroup);
    rightColumn->addWidget(unitsGroup);
    rightColumn->addStretch(1);
    layout->addLayout(leftColumn, 0, 0);
    layout->addLayout(rightColumn, 0, 1);
    layout->setColumnStretch(0, 1);

    QWidget* order[] = {text_,     posX_,           posY_,       angle_,      left_,
                        centre_,   right_,          foreground_, background_, face_,
                        size_,     leading_,        colorList_,  colorText_,  chooser_,
                        allPages_, specifiedPages_, range_,      oddAndEven_, oddOnly_,
                        evenOnly_, name_,           save_,       delete_,     units_};
    for (size_t i = 1; i < std::size(order); ++i) {
        QWidget::setTabOrder(order[i - 1], order[i]);
    }

    using Kind = FieldControl::ControlKind;
    Bind("Text", {.Kind = Kind::TextBox, .Control = text_, .Caption = "Text"});
    Bind("Units", {.Kind = Kind::UnitsList, .Control = units_});
    Bind("JustifyH", {.Kind = Kind::Radios, .Radios = {left_, centre_, right_}});
    // The page has no control of its own for the vertical justification.
    Bind("JustifyV",
         {.Kind = Kind::Fixed, .Value = static_cast<std::int32_t>(model::JustifyV::Bottom)});
    Bind("Layer", {.Kind = Kind::Radios, .Radios = {foreground_, background_}});
    Bind("PosX", {.Kind = Kind::Length, .Control = posX_, .Caption = "X", .Bad = kBadPosX});
    Bind("PosY", {.Kind = Kind::Length, .Control = posY_, .Caption = "Y", .Bad = kBadPosY});
    Bind("PosAngle",
         {.Kind = Kind::Number, .Control = angle_, .Caption = "Angle", .Bad = kBadAngle});
    Bind("FontFace", {.Kind = Kind::NameList, .Control = face_});
    Bind("FontSize",
         {.Kind = Kind::Number, .Control = size_, .Caption = "Size", .Bad = kBadFontSize});
    Bind("FontLeading",
         {.Kind = Kind::Number, .Control = leading_, .Caption = "Leading", .Bad = kBadFontLeading});
    Bind("ColorName", {.Kind = Kind::ColourList, .Control = colorList_});
    Bind("ColorText", {.Kind = Kind::ColourText, .Control = colorText_, .Caption = "Colour"});
    Bind("PagesAll", {.Kind = Kind::Radios, .Radios = {specifiedPages_, allPages_}});
    Bind(
        "PagesRange",
        {.Kind = Kind::LineText, .Control = range_, .Caption = "Page range", .Bad = kBadPageRange});
    Bind("PagesOddEven", {.Kind = Kind::Radios, .Radios = {oddAndEven_, oddOnly_, evenOnly_}});
    // In the table's order, which Store checks them in.
    std::stable_sort(
        fields_.begin(), fields_.end(),
        [](const FieldControl& a, const FieldControl& b) { return a.Field < b.Field; });

    connect(text_, &QPlainTextEdit::textChanged, this, &CTesserDefinePage::Edited);
    for (QLineEdit* field : {posX_, posY_, angle_, size_, leading_, colorText_, range_}) {
        connect(field, &QLineEdit::textChanged, this, &CTesserDefinePage::Edited);
    }
    for (QRadioButton* radio : {left_, centre_, right_, foreground_, background_, oddAndEven_,
                                oddOnly_, evenOnly_, allPages_, specifiedPages_}) {
        connect(radio, &QRadioButton::clicked, this, &CTesserDefinePage::Edited);
    }
    connect(face_, &QComboBox::activated, this, &CTesserDefinePage::Edited);
    connect(name_->lineEdit(), &QLineEdit::textEdited, this, &CTesserDefinePage::Edited);
    connect(colorList_, &QComboBox::activated, this, &CTesserDefinePage::ColorChoice);
    connect(chooser_, &QPushButton::clicked, this, &CTesserDefinePage::ColorChooser);
    connect(name_, &QComboBox::activated, this, &CTesserDefinePage::NameChoice);
    connect(save_, &QPushButton::clicked, this, &CTesserDefinePage::Save);
    connect(delete_, &QPushButton::clicked, this, &CTesserDefinePage::Delete);
    connect(units_, &QComboBox::activated, this, &CTesserDefinePage::UnitsChange);
}

void CTesserDefinePage::OnSetActive() {
    if (!initialised_) {
        Initialise();
    }
}

bool CTesserDefinePage::OnKillActive() {
    return !initialised_ || Store(true);
}

void CTesserDefinePage::Initialise() {
    initialised_ = true;
    edited_ = false;
    name_->clear();
    name_->addItem(QString::fromLatin1(kUntitled));
    for (const auto& [name, tesserion] : Dialog()->Engine().Tesserions()) {
        name_->addItem(FromRecord(name));
    }
    name_->setCurrentIndex(0);
    Show();
    Enable();
}

void CTesserDefinePage::Bind(std::string_view key, FieldControl control) {
    for (const model::TesserionField& field : model::TesserionFields()) {
        if (field.Key == key) {
            control.Field = &field;
            fields_.push_back(std::move(control));
            return;
        }
    }
}

void CTesserDefinePage::Show() {
    using Kind = FieldControl::ControlKind;
    const model::Tesserion& t = Dialog()->Engine().CurrentTesserion();
    for (const FieldControl& c : fields_) {
        const model::TesserionField& field = *c.Field;
        switch (c.Kind) {
        case Kind::TextBox:
            static_cast<QPlainTextEdit*>(c.Control)->setPlainText(
                ToDisplayLineBreaks(FromRecord(field.TextIn(t))));
            break;
        case Kind::Length:
            static_cast<QLineEdit*>(c.Control)->setText(
                QString::fromStdString(model::FormatLength(field.NumberIn(t), t.Units)));
            break;
        case Kind::Number:
            static_cast<QLineEdit*>(c.Control)->setText(QString::fromStdString(
                model::FormatLength(field.NumberIn(t), model::Units::Points)));
            break;
        case Kind::Radios: {
            // A value beyond the buttons shows as the last one.
            const std::int32_t value = field.Kind == model::TesserionField::FieldKind::Flag
                                           ? (field.FlagIn(t) ? 1 : 0)
                                           : field.ChoiceOf(t);
            const auto last = static_cast<std::int32_t>(c.Radios.size()) - 1;
            c.Radios[static_cast<size_t>(value == 0 || value == 1 ? value : last)]->setChecked(
                true);
            break;
        }
        case Kind::Fixed:
            break;
        case Kind::UnitsList: {
            const std::int32_t value = field.ChoiceOf(t);
            static_cast<QComboBox*>(c.Control)->setCurrentIndex(value == 0 || value == 1 ? value
                                                                                         : 2);
            break;
        }
        case Kind::NameList:
        case Kind::ColourList: {
            auto* list = static_cast<QComboBox*>(c.Control);
            if (int row = FirstStartingWith(list, FromRecord(field.TextIn(t))); row >= 0) {
                list->setCurrentIndex(row);
            }
            break;
        }
        case Kind::ColourText:
        case Kind::LineText:
            static_cast<QLineEdit*>(c.Control)->setText(FromRecord(field.TextIn(t)));
            break;
        }
    }
}

bool CTesserDefinePage::ReadFieldTexts(std::string& name) {
    auto convert = [this](const QString& text, const char* caption, QWidget* control,
                          std::string& into) {
        auto bytes = ToRecord(text, QString::fromLatin1(caption), this);
        if (!bytes) {
            control->setFocus();
            return false;
        }
        into = std::move(*bytes);
        return true;
    };
    if (!convert(name_->currentText(), "Name", name_, name)) {
        return false;
    }
    for (FieldControl& c : fields_) {
        if (c.Caption == nullptr) {
            continue;
        }
        // The raw text keeps no-break spaces, which toPlainText would turn into spaces.
        const QString text =
            c.Kind == FieldControl::ControlKind::TextBox
                ? ToRecordLineBreaks(
                      static_cast<QPlainTextEdit*>(c.Control)->document()->toRawText())
                : static_cast<QLineEdit*>(c.Control)->text();
        if (!convert(text, c.Caption, c.Control, c.Text)) {
            return false;
        }
    }
    return true;
}

bool CTesserDefinePage::Store(bool checks) {
    using Kind = FieldControl::ControlKind;
    std::string name;
    if (!ReadFieldTexts(name)) {
        return false;
    }
    auto refuse = [](const char* message, QWidget* field) {
        hostcalls::ShowAlert(kHAlertError, message, "OK");
        field->setFocus();
        return false;
    };
    model::Tesserion& t = Dialog()->Engine().CurrentTesserion();
    t.Name = name;
    for (const FieldControl& c : fields_) {
        const model::TesserionField& field = *c.Field;
        switch (c.Kind) {
        case Kind::TextBox:
            field.TextOf(t) = c.Text;
            break;
        case Kind::Length:
        case Kind::Number: {
            const model::ParsedLength read =
                model::ParseLength(c.Text, c.Kind == Kind::Length ? t.Units : model::Units::Points);
            field.NumberOf(t) = read.Value;
            const bool inRange =
                !field.Checked || InRange(read.Value, field.Minimum, field.Maximum);
            if (checks && (!read.Acceptable || !inRange)) {
                return refuse(c.Bad, c.Control);
            }
            break;
        }
        case Kind::Radios: {
            std::int32_t value = 0;
            for (std::size_t i = 0; i < c.Radios.size(); ++i) {
                if (c.Radios[i]->isChecked()) {
                    value = static_cast<std::int32_t>(i);
                }
            }
            if (field.Kind == model::TesserionField::FieldKind::Flag) {
                field.FlagOf(t) = value != 0;
            } else {
                field.SetChoice(t, value);
            }
            break;
        }
        case Kind::Fixed:
            field.SetChoice(t, c.Value);
            break;
        case Kind::UnitsList:
            break; // changed by UnitsChange, when the lengths are shown anew
        case Kind::NameList:
            field.TextOf(t) = static_cast<QComboBox*>(c.Control)->currentText().toStdString();
            break;
        case Kind::ColourList: {
            auto* list = static_cast<QComboBox*>(c.Control);
            if (const int row = list->currentIndex(); row >= 0) {
                t.ColorSpace = model::ColorPresets[static_cast<size_t>(row)].ColorSpace;
            }
            field.TextOf(t) = list->currentText().toStdString();
            break;
        }
        case Kind::ColourText:
            field.TextOf(t) = c.Text;
            if (!model::ParseColorText(t) && checks) {
                return refuse(t.ColorSpace == model::ColorSpace::Gray  ? kBadGray
                              : t.ColorSpace == model::ColorSpace::RGB ? kBadRgb
                                                                       : kBadCmyk,
                              c.Control);
            }
            break;
        case Kind::LineText:
            field.TextOf(t) = c.Text;
            if (checks && field.Check != nullptr && !field.Check(t)) {
                return refuse(c.Bad, c.Control);
            }
            break;
        }
    }
    return true;
}

void CTesserDefinePage::Enable() {
    range_->setEnabled(specifiedPages_->isChecked());

    const int row = colorList_->currentIndex();
    const model::ColorPreset* preset =
        row >= 0 ? &model::ColorPresets[static_cast<size_t>(row)] : nullptr;
    colorText_->setEnabled(preset != nullptr && preset->Editable);
    chooser_->setEnabled(preset != nullptr && preset->Editable &&
                         preset->ColorSpace == model::ColorSpace::RGB);

    const std::optional<std::string> name = TryToRecord(name_->currentText());
    delete_->setEnabled(name && Dialog()->Engine().Tesserions().Contains(*name));
    save_->setEnabled(name && model::IsStorableName(*name) && edited_);
}

void CTesserDefinePage::Edited() {
    edited_ = true;
    Enable();
}

void CTesserDefinePage::ColorChoice(int row) {
    if (row >= 0) {
        colorText_->setText(FromView(model::ColorPresets[static_cast<size_t>(row)].Text));
    }
    Edited();
}

void CTesserDefinePage::ColorChooser() {
    std::optional<std::string> colorText =
        ToRecord(colorText_->text(), QStringLiteral("Colour"), this);
    if (!colorText) {
        colorText_->setFocus();
        return;
    }
    model::Tesserion& t = Dialog()->Engine().CurrentTesserion();
    if (const int row = colorList_->currentIndex(); row >= 0) {
        t.ColorSpace = model::ColorPresets[static_cast<size_t>(row)].ColorSpace;
    }
    t.ColorName = colorList_->currentText().toStdString();
    t.ColorText = *colorText;
    model::ParseColorText(t);
    if (t.ColorSpace != model::ColorSpace::RGB) {
        return;
    }

    model::CustomColors& custom = Dialog()->CustomColors();
    for (int i = 0; i < 16; ++i) {
        QColorDialog::setCustomColor(
            i, FromWindowsColor(static_cast<std::uint32_t>(custom[static_cast<size_t>(i)])));
    }
    QColorDialog chooser(FromWindowsColor(model::ColorTextToRgbValue(t.ColorText)), this);
    chooser.setObjectName(QStringLiteral("colorChooser"));
    chooser.setOption(QColorDialog::DontUseNativeDialog);
    const bool chosen = chooser.exec() == QDialog::Accepted;
    if (chosen) {
        const QColor c = chooser.selectedColor();
        t.ColorText = model::RgbValueToColorText(static_cast<std::uint32_t>(ToWindowsColor(c)));
        model::ParseColorText(t);
        colorText_->setText(FromRecord(t.ColorText));
    }
    // The chooser may have changed its custom slots, whichever way it ended.
    for (int i = 0; i < 16; ++i) {
        custom[static_cast<size_t>(i)] = ToWindowsColor(QColorDialog::customColor(i));
    }
    Dialog()->SetProfileChanged();
}

void CTesserDefinePage::NameChoice(int index) {
    model::Tesserion& current = Dialog()->Engine().CurrentTesserion();
    const model::Tesserion* entry = nullptr;
    if (index > 0) {
        const QString shown = name_->itemText(index);
        name_->setEditText(shown);
        if (std::optional<std::string> key = TryToRecord(shown)) {
            entry = Dialog()->Engine().Tesserions().Find(*key);
        }
    } else {
        name_->setEditText(QString::fromLatin1(kUntitled));
    }
    current = entry != nullptr ? *entry : model::Tesserion{};
    Show();
    edited_ = false;
    Enable();
}

void CTesserDefinePage::Save() {
    if (!Store(true)) {
        return;
    }
    const model::Tesserion& current = Dialog()->Engine().CurrentTesserion();
    if (!model::IsStorableName(current.Name)) {
        return;
    }
    model::TesserionList& list = Dialog()->Engine().Tesserions();
    if (!list.Contains(current.Name)) {
        list.Insert(current);
        int position = 0;
        for (auto it = list.begin(); it != list.end() && it->first != current.Name; ++it) {
            ++position;
        }
        // The new name goes to its place in list order; what the box shows stays.
        const QString shown = name_->currentText();
        QSignalBlocker block(name_);
        name_->insertItem(position + 1, FromRecord(current.Name));
        name_->setEditText(shown);
    } else {
        list.InsertOrReplace(current);
    }
    edited_ = false;
    Dialog()->SetProfileChanged();
    Enable();
}

void CTesserDefinePage::Delete() {
    const QString shown = name_->currentText();
    const std::optional<std::string> name = TryToRecord(shown);
    if (!name) {
        return;
    }
    // The entry of that name, wherever the selection is: a name typed over "[Untitled]" deletes
    // its own entry, never "[Untitled]".
    for (int i = 1; i < name_->count(); ++i) {
        if (name_->itemText(i) == shown) {
            name_->removeItem(i);
            break;
        }
    }
    Dialog()->Engine().Tesserions().Erase(*name);
    name_->setCurrentIndex(0);
    Dialog()->SetProfileChanged();
    NameChoice(0);
}

void CTesserDefinePage::UnitsChange(int row) {
    model::Tesserion& current = Dialog()->Engine().CurrentTesserion();
    if (!Store(false)) {
        const int units = static_cast<int>(current.Units);
        units_->setCurrentIndex(units == 0 ? 0 : units == 1 ? 1 : 2);
        return;
    }
    current.Units = static_cast<model::Units>(row);
    Show();
    Edited();
}

} // namespace tesser::dialog

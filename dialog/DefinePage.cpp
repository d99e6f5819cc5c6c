#include "dialog/DefinePage.h"

#include "dialog/FieldText.h"
#include "dialog/TesserDialog.h"
#include "hostapi/HostTypes.h"
#include "model/ColorText.h"
#include "model/NumberText.h"
#include "model/PageRange.h"
#include "model/Vocabulary.h"
#include "plugin/HostCalls.h"

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

#include <iterator>

namespace tesser::dialog {

namespace {

QString Plain(const QString& caption) { return QString(caption).remove(QLatin1Char('&')); }

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

bool InRange(double value, double low, double high) { return value >= low && value <= high; }

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
    centre_ = Radio(justification, QStringLiteral("Centre"), 1034,
                    QStringLiteral("justifyCentre"));
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
    size_ = NumberField(font, fontLayout, 1, QStringLiteral("Si&ze"), 1021,
                        QStringLiteral("fontSize"));
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
    oddOnly_ = Radio(spread, QStringLiteral("Odd pa&ges only"), 1011,
                     QStringLiteral("oddPagesOnly"));
    evenOnly_ = Radio(spread, QStringLiteral("E&ven pages only"), 1012,
                      QStringLiteral("evenPagesOnly"));
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

    QWidget* order[] = {text_,      posX_,      posY_,           angle_,   left_,     centre_,
                        right_,     foreground_, background_,    face_,    size_,     leading_,
                        colorList_, colorText_, chooser_,        allPages_, specifiedPages_,
                        range_,     oddAndEven_, oddOnly_,       evenOnly_, name_,    save_,
                        delete_,    units_};
    for (size_t i = 1; i < std::size(order); ++i) {
        QWidget::setTabOrder(order[i - 1], order[i]);
    }

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

bool CTesserDefinePage::OnKillActive() { return !initialised_ || Store(true); }

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

void CTesserDefinePage::Show() {
    const model::Tesserion& t = Dialog()->Engine().CurrentTesserion();
    const int units = static_cast<int>(t.Units);
    units_->setCurrentIndex(units == 0 ? 0 : units == 1 ? 1 : 2);
    text_->setPlainText(ToDisplayLineBreaks(FromRecord(t.Text)));
    const int justify = static_cast<int>(t.JustifyH);
    (justify == 0 ? left_ : justify == 1 ? centre_ : right_)->setChecked(true);

    posX_->setText(QString::fromStdString(model::FormatLength(t.PosX, t.Units)));
    posY_->setText(QString::fromStdString(model::FormatLength(t.PosY, t.Units)));
    angle_->setText(QString::fromStdString(model::FormatLength(t.PosAngle, model::Units::Points)));

    (t.Layer == model::Layer::Foreground ? foreground_ : background_)->setChecked(true);

    if (int row = FirstStartingWith(face_, FromRecord(t.FontFace)); row >= 0) {
        face_->setCurrentIndex(row);
    }
    size_->setText(QString::fromStdString(model::FormatLength(t.FontSize, model::Units::Points)));
    leading_->setText(
        QString::fromStdString(model::FormatLength(t.FontLeading, model::Units::Points)));

    if (int row = FirstStartingWith(colorList_, FromRecord(t.ColorName)); row >= 0) {
        colorList_->setCurrentIndex(row);
    }
    colorText_->setText(FromRecord(t.ColorText));

    (t.Pages.PagesAll ? allPages_ : specifiedPages_)->setChecked(true);
    range_->setText(FromRecord(t.Pages.PagesRange));

    const int spread = static_cast<int>(t.Pages.PagesOddEven);
    (spread == 0 ? oddAndEven_ : spread == 1 ? oddOnly_ : evenOnly_)->setChecked(true);
}

std::optional<CTesserDefinePage::FieldTexts> CTesserDefinePage::ReadFieldTexts() {
    FieldTexts texts;
    struct Field {
        std::string* target;
        QString text;
        const char* caption;
        QWidget* control;
    };
    const Field fields[] = {
        {&texts.name, name_->currentText(), "Name", name_},
        // The raw text keeps no-break spaces, which toPlainText would turn into spaces.
        {&texts.text, ToRecordLineBreaks(text_->document()->toRawText()), "Text", text_},
        {&texts.x, posX_->text(), "X", posX_},
        {&texts.y, posY_->text(), "Y", posY_},
        {&texts.angle, angle_->text(), "Angle", angle_},
        {&texts.size, size_->text(), "Size", size_},
        {&texts.leading, leading_->text(), "Leading", leading_},
        {&texts.colorText, colorText_->text(), "Colour", colorText_},
        {&texts.range, range_->text(), "Page range", range_},
    };
    for (const Field& field : fields) {
        auto bytes = ToRecord(field.text, QString::fromLatin1(field.caption), this);
        if (!bytes) {
            field.control->setFocus();
            return std::nullopt;
        }
        *field.target = std::move(*bytes);
    }
    return texts;
}

bool CTesserDefinePage::Store(bool checks) {
    std::optional<FieldTexts> texts = ReadFieldTexts();
    if (!texts) {
        return false;
    }
    auto refuse = [](const char* message, QWidget* field) {
        plugin::ShowAlert(kHAlertError, message, "OK");
        field->setFocus();
        return false;
    };
    model::Tesserion& t = Dialog()->Engine().CurrentTesserion();

    t.Name = texts->name;
    t.Text = texts->text;
    t.JustifyH = right_->isChecked()    ? model::JustifyH::Right
                 : centre_->isChecked() ? model::JustifyH::Center
                                        : model::JustifyH::Left;
    t.JustifyV = model::JustifyV::Bottom;

    const model::ParsedLength x = model::ParseLength(texts->x, t.Units);
    t.PosX = x.Value;
    if (checks && !x.Acceptable) {
        return refuse(kBadPosX, posX_);
    }
    const model::ParsedLength y = model::ParseLength(texts->y, t.Units);
    t.PosY = y.Value;
    if (checks && !y.Acceptable) {
        return refuse(kBadPosY, posY_);
    }
    const model::ParsedLength angle = model::ParseLength(texts->angle);
    t.PosAngle = angle.Value;
    if (checks && (!angle.Acceptable || !InRange(angle.Value, -360, 360))) {
        return refuse(kBadAngle, angle_);
    }

    t.Layer = background_->isChecked() ? model::Layer::Background : model::Layer::Foreground;
    t.FontFace = face_->currentText().toStdString();

    const model::ParsedLength size = model::ParseLength(texts->size);
    t.FontSize = size.Value;
    if (checks && (!size.Acceptable || !InRange(size.Value, 1, 1000))) {
        return refuse(kBadFontSize, size_);
    }
    const model::ParsedLength leading = model::ParseLength(texts->leading);
    t.FontLeading = leading.Value;
    if (checks && (!leading.Acceptable || !InRange(leading.Value, -1000, 1000))) {
        return refuse(kBadFontLeading, leading_);
    }

    if (const int row = colorList_->currentIndex(); row >= 0) {
        t.ColorSpace = model::ColorPresets[static_cast<size_t>(row)].ColorSpace;
    }
    t.ColorName = colorList_->currentText().toStdString();
    t.ColorText = texts->colorText;
    if (!model::ParseColorText(t) && checks) {
        return refuse(t.ColorSpace == model::ColorSpace::Gray  ? kBadGray
                      : t.ColorSpace == model::ColorSpace::RGB ? kBadRgb
                                                               : kBadCmyk,
                      colorText_);
    }

    t.Pages.PagesAll = allPages_->isChecked();
    t.Pages.PagesRange = texts->range;
    if (checks && !t.Pages.PagesAll && !model::CheckPageRange(t.Pages.PagesRange)) {
        return refuse(kBadPageRange, range_);
    }
    t.Pages.PagesOddEven = oddAndEven_->isChecked() ? model::PagesOddEven::OddAndEven
                           : oddOnly_->isChecked()  ? model::PagesOddEven::OddOnly
                                                    : model::PagesOddEven::EvenOnly;
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

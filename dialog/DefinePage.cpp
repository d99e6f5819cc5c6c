#include "dialog/DefinePage.h"

#include "dialog/TesserDialog.h"
#include "model/ColorText.h"
#include "model/TextEncoding.h"
#include "model/Vocabulary.h"

#include <QColorDialog>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tesser::dialog {

namespace {

QString FromModel(const std::string& bytes) {
    return QString::fromStdString(model::Windows1252ToUtf8(bytes));
}

} // namespace

CTesserDefinePage::CTesserDefinePage(CTesserDialog* dialog)
    : CTesserPage(dialog, 0, 132, QStringLiteral("Tesserion")) {
    auto* layout = new QGridLayout(this);
    auto* label = new QLabel(QStringLiteral("&Colour"), this);
    colorList_ = new QComboBox(this);
    NameControl(colorList_, 1025, QStringLiteral("colorList"), QStringLiteral("Colour"));
    for (const auto& preset : model::ColorPresets) {
        colorList_->addItem(QString::fromUtf8(preset.Name.data(),
                                              static_cast<qsizetype>(preset.Name.size())));
    }
    colorText_ = new QLineEdit(this);
    NameControl(colorText_, 1026, QStringLiteral("colorText"), QStringLiteral("Colour value"));
    chooser_ = new QPushButton(QStringLiteral("..."), this);
    NameControl(chooser_, 1031, QStringLiteral("colorChooserButton"),
                QStringLiteral("Choose colour"));
    chooser_->setAutoDefault(false);
    label->setBuddy(colorList_);
    layout->addWidget(label, 0, 0);
    layout->addWidget(colorList_, 0, 1);
    layout->addWidget(colorText_, 0, 2);
    layout->addWidget(chooser_, 0, 3);
    layout->setRowStretch(1, 1);
    layout->setColumnStretch(2, 1);

    connect(colorList_, &QComboBox::activated, this, &CTesserDefinePage::PresetChosen);
    connect(chooser_, &QPushButton::clicked, this, &CTesserDefinePage::ChooseColor);
    LoadControls();
}

void CTesserDefinePage::LoadControls() {
    const model::Tesserion& current = Dialog()->Engine().CurrentTesserion();
    colorList_->setCurrentIndex(colorList_->findText(FromModel(current.ColorName)));
    colorText_->setText(FromModel(current.ColorText));
    colorText_->setReadOnly(colorList_->currentIndex() >= 0 &&
                            !model::ColorPresets[static_cast<size_t>(colorList_->currentIndex())]
                                 .Editable);
}

void CTesserDefinePage::OnSetActive() { LoadControls(); }

bool CTesserDefinePage::OnKillActive() {
    StoreColor();
    return true;
}

void CTesserDefinePage::StoreColor() {
    model::Tesserion& current = Dialog()->Engine().CurrentTesserion();
    int row = colorList_->currentIndex();
    if (row >= 0) {
        current.ColorSpace = model::ColorPresets[static_cast<size_t>(row)].ColorSpace;
    }
    current.ColorName = model::Utf8ToWindows1252(colorList_->currentText().toStdString());
    current.ColorText = model::Utf8ToWindows1252(colorText_->text().toStdString());
    model::ParseColorText(current);
}

void CTesserDefinePage::PresetChosen(int row) {
    const auto& preset = model::ColorPresets[static_cast<size_t>(row)];
    colorText_->setText(QString::fromUtf8(preset.Text.data(),
                                          static_cast<qsizetype>(preset.Text.size())));
    colorText_->setReadOnly(!preset.Editable);
}

void CTesserDefinePage::ChooseColor() {
    StoreColor();
    const model::Tesserion& current = Dialog()->Engine().CurrentTesserion();
    if (current.ColorSpace != model::ColorSpace::RGB) {
        return;
    }
    model::CustomColors& custom = Dialog()->CustomColors();
    for (int i = 0; i < 16; ++i) {
        std::int32_t v = custom[static_cast<size_t>(i)];
        QColorDialog::setCustomColor(i, QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF));
    }
    std::uint32_t start = model::ColorTextToRgbValue(current.ColorText);
    QColorDialog chooser(QColor(start & 0xFF, (start >> 8) & 0xFF, (start >> 16) & 0xFF), this);
    chooser.setObjectName(QStringLiteral("colorChooser"));
    chooser.setOption(QColorDialog::DontUseNativeDialog);
    bool chosen = chooser.exec() == QDialog::Accepted;
    // The chooser may have changed its custom slots, whichever way it ended.
    for (int i = 0; i < 16; ++i) {
        QColor c = QColorDialog::customColor(i);
        custom[static_cast<size_t>(i)] = c.red() | (c.green() << 8) | (c.blue() << 16);
    }
    Dialog()->SetProfileChanged();
    if (chosen) {
        QColor c = chooser.selectedColor();
        std::uint32_t rgb = static_cast<std::uint32_t>(c.red() | (c.green() << 8) |
                                                       (c.blue() << 16));
        colorText_->setText(QString::fromStdString(model::RgbValueToColorText(rgb)));
        StoreColor();
    }
}

} // namespace tesser::dialog

#include "dialog/ApplyPage.h"

#include "dialog/TesserDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tesser::dialog {

namespace {

QRadioButton* Radio(QWidget* parent, const QString& text, int id, const QString& name) {
    auto* radio = new QRadioButton(text, parent);
    NameControl(radio, id, name, QString(text).remove(QLatin1Char('&')));
    return radio;
}

} // namespace

CTesserApplyPage::CTesserApplyPage(CTesserDialog* dialog)
    : CTesserPage(dialog, 4, 133, QStringLiteral("Apply")) {
    auto* tesserions = new QGroupBox(QStringLiteral("Tesserions (select those to be applied)"),
                                     this);
    tesserions->setObjectName(QStringLiteral("tesserionsGroup"));
    none_ = Radio(tesserions, QStringLiteral("&None"), 1071, QStringLiteral("noTesserion"));
    currentTesserion_ = Radio(tesserions, QStringLiteral("C&urrent tesserion"), 1069,
                              QStringLiteral("currentTesserion"));
    selectedTesserions_ = Radio(tesserions, QStringLiteral("&Selected tesserions"), 1070,
                                QStringLiteral("selectedTesserions"));
    auto* tesserionLayout = new QVBoxLayout(tesserions);
    for (QRadioButton* r : {none_, currentTesserion_, selectedTesserions_}) {
        tesserionLayout->addWidget(r);
    }
    auto* tesserionGroup = new QButtonGroup(this);
    tesserionGroup->addButton(none_);
    tesserionGroup->addButton(currentTesserion_);
    tesserionGroup->addButton(selectedTesserions_);

    auto* documents = new QGroupBox(
        QStringLiteral("Documents (the directories and files to be processed)"), this);
    documents->setObjectName(QStringLiteral("documentsGroup"));
    currentDocument_ = Radio(documents, QStringLiteral("Current &document"), 1067,
                             QStringLiteral("currentDocument"));
    multipleDocuments_ = Radio(documents, QStringLiteral("&Multiple documents"), 1068,
                               QStringLiteral("multipleDocuments"));
    optimise_ = new QCheckBox(QStringLiteral("&Optimise"), documents);
    NameControl(optimise_, 1055, QStringLiteral("optimise"), QStringLiteral("Optimise"));
    auto* documentLayout = new QVBoxLayout(documents);
    documentLayout->addWidget(currentDocument_);
    documentLayout->addWidget(multipleDocuments_);
    documentLayout->addWidget(optimise_);
    auto* documentGroup = new QButtonGroup(this);
    documentGroup->addButton(currentDocument_);
    documentGroup->addButton(multipleDocuments_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tesserions);
    layout->addWidget(documents);
    layout->addStretch(1);

    for (QRadioButton* r :
         {none_, currentTesserion_, selectedTesserions_, currentDocument_, multipleDocuments_}) {
        connect(r, &QRadioButton::clicked, this, [this] {
            StoreControls();
            UpdateControlStates();
        });
    }
    LoadControls();
}

void CTesserApplyPage::LoadControls() {
    const ui::ApplySettings& apply = Dialog()->Engine().Apply();
    none_->setChecked(apply.SelectionMode == ui::kSelectNone);
    currentTesserion_->setChecked(apply.SelectionMode == ui::kSelectCurrent);
    selectedTesserions_->setChecked(apply.SelectionMode == ui::kSelectNamed);
    currentDocument_->setChecked(!apply.MultipleDocuments);
    multipleDocuments_->setChecked(apply.MultipleDocuments);
    optimise_->setChecked(apply.Optimise);
}

void CTesserApplyPage::StoreControls() {
    ui::ApplySettings& apply = Dialog()->Engine().Apply();
    apply.SelectionMode = currentTesserion_->isChecked()     ? ui::kSelectCurrent
                          : selectedTesserions_->isChecked() ? ui::kSelectNamed
                                                             : ui::kSelectNone;
    apply.MultipleDocuments = multipleDocuments_->isChecked();
    apply.Optimise = optimise_->isChecked();
}

void CTesserApplyPage::OnSetActive() { UpdateControlStates(); }

bool CTesserApplyPage::OnKillActive() {
    StoreControls();
    Dialog()->EnableCommandButtons(false, false, false);
    return true;
}

bool CTesserApplyPage::SettingsToApply() {
    ui::RunEngine& engine = Dialog()->Engine();
    const auto& info = engine.Info();
    const auto& open = engine.Open();
    const int keep = docsettings::kOptionKeep;
    return info.SetTitle || info.SetSubject || info.SetAuthor || info.SetKeywords ||
           info.SetIndex || info.SetBaseURL || open.Page != 0 || open.View != 0 ||
           open.Zoom != 0 || open.Layout != 0 || open.FitWindow != keep ||
           open.CenterWindow != keep || open.FullScreen != keep || open.HideToolBar != keep ||
           open.HideMenuBar != keep || open.HideWindowUI != keep ||
           engine.Security().ChangeSecurity;
}

void CTesserApplyPage::UpdateControlStates() {
    const ui::ApplySettings& apply = Dialog()->Engine().Apply();
    optimise_->setEnabled(multipleDocuments_->isChecked());
    bool tesserionsToApply =
        currentTesserion_->isChecked() ||
        (selectedTesserions_->isChecked() && !apply.NamesToApply.empty());
    bool documentsToProcess =
        (currentDocument_->isChecked() && Dialog()->ActiveView() != nullptr) ||
        (multipleDocuments_->isChecked() && !apply.DocumentEntries.empty());
    Dialog()->EnableCommandButtons(documentsToProcess && tesserionsToApply,
                                   documentsToProcess && (tesserionsToApply || SettingsToApply()),
                                   !apply.UndoHistory.empty());
}

void CTesserApplyPage::RunApply() {
    StoreControls();
    Dialog()->RunLocked([this] { Dialog()->Engine().RunApply(); });
    UpdateControlStates();
}

void CTesserApplyPage::RunUndo() {
    Dialog()->RunLocked([this] { Dialog()->Engine().RunUndo(); });
    UpdateControlStates();
}

void CTesserApplyPage::PrintDocuments() {
    StoreControls();
    Dialog()->RunLocked([this] { Dialog()->Engine().PrintDocuments(); });
    UpdateControlStates();
}

} // namespace tesser::dialog

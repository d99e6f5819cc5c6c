#include "dialog/ApplyPage.h"

#include "dialog/FieldText.h"
#include "dialog/TesserDialog.h"
#include "hostcalls/HostCalls.h"
#include "model/Validation.h"
#include "ui/DocumentEntries.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>
#include <QVBoxLayout>

namespace tesser::dialog {

namespace {

// The record bytes of a Tesserion name, kept with its list item.
constexpr int kRecordRole = Qt::UserRole;

QString Plain(const QString& caption) {
    return QString(caption).remove(QLatin1Char('&'));
}

QRadioButton* Radio(QWidget* parent, const QString& text, int id, const QString& name) {
    auto* radio = new QRadioButton(text, parent);
    NameControl(radio, id, name, Plain(text));
    return radio;
}

QPushButton* Button(QWidget* parent, const QString& text, int id, const QString& name,
                    const QString& accessibleName) {
    auto* button = new QPushButton(text, parent);
    NameControl(button, id, name, accessibleName);
    button->setAutoDefault(false);
    return button;
}

// A list box with extended selection and, when a label is given, that label as its buddy.
QListWidget* List(QWidget* parent, int id, const QString& name, QLabel* label,
                  const QString& accessibleName) {
    auto* list = new QListWidget(parent);
    NameControl(list, id, name, accessibleName);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setDragDropMode(QAbstractItemView::NoDragDrop);
    if (label != nullptr) {
        label->setBuddy(list);
    }
    return list;
}

// The row of the item whose text equals text ignoring letter case, or -1.
int FindExact(const QListWidget* list, const QString& text) {
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->text().compare(text, Qt::CaseInsensitive) == 0) {
            return row;
        }
    }
    return -1;
}

// Inserts item into a list kept in order ignoring letter case, after the items it equals.
void InsertSorted(QListWidget* list, QListWidgetItem* item) {
    int row = 0;
    while (row < list->count() &&
           list->item(row)->text().compare(item->text(), Qt::CaseInsensitive) <= 0) {
        ++row;
    }
    list->insertItem(row, item);
}

QListWidgetItem* NameItem(const std::string& name) {
    auto* item = new QListWidgetItem(FromRecord(name));
    item->setData(kRecordRole, QByteArray::fromStdString(name));
    return item;
}

std::string RecordName(const QListWidgetItem* item) {
    return item->data(kRecordRole).toByteArray().toStdString();
}

// The first selected row, or -1.
int FirstSelected(const QListWidget* list) {
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->isSelected()) {
            return row;
        }
    }
    return -1;
}

bool HasSelection(const QListWidget* list) {
    return FirstSelected(list) >= 0;
}

QString EntryText(const std::string& entry) {
    return QFile::decodeName(entry.c_str());
}
std::string EntryBytes(const QString& entry) {
    return QFile::encodeName(entry).toStdString();
}

} // namespace

CTesserApplyPage::CTesserApplyPage(CTesserDialog* dialog)
    : CTesserPage(dialog, 4, 133, QStringLiteral("Apply")) {
    // Tesserions.
    auto* tesserions =
        new QGroupBox(QStringLiteral("Tesserions (select those to be applied)"), this);
    tesserions->setObjectName(QStringLiteral("tesserionsGroup"));
    tesserions->setAccessibleName(tesserions->title());
    none_ = Radio(tesserions, QStringLiteral("&None"), 1071, QStringLiteral("noTesserion"));
    currentTesserion_ = Radio(tesserions, QStringLiteral("C&urrent tesserion"), 1069,
                              QStringLiteral("currentTesserion"));
    selectedTesserions_ = Radio(tesserions, QStringLiteral("&Selected tesserions"), 1070,
                                QStringLiteral("selectedTesserions"));
    auto* tesserionGroup = new QButtonGroup(this);
    for (QRadioButton* r : {none_, currentTesserion_, selectedTesserions_}) {
        tesserionGroup->addButton(r);
    }
    auto* toApplyLabel = new QLabel(QStringLiteral("&To be applied"), tesserions);
    auto* notAppliedLabel = new QLabel(QStringLiteral("Not to be &applied"), tesserions);
    toApply_ = List(tesserions, 1036, QStringLiteral("toBeApplied"), toApplyLabel,
                    QStringLiteral("To be applied"));
    notApplied_ = List(tesserions, 1045, QStringLiteral("notToBeApplied"), notAppliedLabel,
                       QStringLiteral("Not to be applied"));
    // Named by what they do: a screen reader would read the arrows as symbols.
    moveIn_ = Button(tesserions, QStringLiteral("<-"), 1046, QStringLiteral("moveToApplied"),
                     QStringLiteral("Move into To be applied"));
    moveOut_ = Button(tesserions, QStringLiteral("->"), 1047, QStringLiteral("moveToNotApplied"),
                      QStringLiteral("Move into Not to be applied"));

    auto* radios = new QVBoxLayout;
    for (QRadioButton* r : {none_, currentTesserion_, selectedTesserions_}) {
        radios->addWidget(r);
    }
    radios->addStretch(1);
    auto* moves = new QVBoxLayout;
    moves->addStretch(1);
    moves->addWidget(moveIn_);
    moves->addWidget(moveOut_);
    moves->addStretch(1);
    auto* tesserionGrid = new QGridLayout(tesserions);
    tesserionGrid->addLayout(radios, 0, 0, 2, 1);
    tesserionGrid->addWidget(toApplyLabel, 0, 1);
    tesserionGrid->addWidget(notAppliedLabel, 0, 3);
    tesserionGrid->addWidget(toApply_, 1, 1);
    tesserionGrid->addLayout(moves, 1, 2);
    tesserionGrid->addWidget(notApplied_, 1, 3);

    // Documents.
    auto* documents = new QGroupBox(
        QStringLiteral("Documents (the directories and files to be processed)"), this);
    documents->setObjectName(QStringLiteral("documentsGroup"));
    documents->setAccessibleName(documents->title());
    currentDocument_ = Radio(documents, QStringLiteral("Current &document"), 1067,
                             QStringLiteral("currentDocument"));
    multipleDocuments_ = Radio(documents, QStringLiteral("&Multiple documents"), 1068,
                               QStringLiteral("multipleDocuments"));
    auto* documentGroup = new QButtonGroup(this);
    documentGroup->addButton(currentDocument_);
    documentGroup->addButton(multipleDocuments_);
    optimise_ = new QCheckBox(QStringLiteral("Opt&imise"), documents);
    NameControl(optimise_, 1055, QStringLiteral("optimise"), QStringLiteral("Optimise"));
    // Never shown: folder entries do not descend into subfolders from the dialog.
    recurse_ = new QCheckBox(QStringLiteral("Recurse to subfolders"), documents);
    NameControl(recurse_, 1095, QStringLiteral("recurse"), QStringLiteral("Recurse to subfolders"));
    recurse_->setVisible(false);
    recurse_->setEnabled(false);
    documents_ = List(documents, 1037, QStringLiteral("documentsList"), nullptr,
                      QStringLiteral("Documents"));
    browse_ = Button(documents, QStringLiteral("&Browse..."), 1049,
                     QStringLiteral("browseDocumentsButton"), QStringLiteral("Browse..."));
    addFolder_ = Button(documents, QStringLiteral("Add &folder..."), 1051,
                        QStringLiteral("addFolderButton"), QStringLiteral("Add folder..."));
    remove_ = Button(documents, QStringLiteral("&Remove"), 1050, QStringLiteral("removeButton"),
                     QStringLiteral("Remove"));

    auto* documentOptions = new QVBoxLayout;
    documentOptions->addWidget(currentDocument_);
    documentOptions->addWidget(multipleDocuments_);
    documentOptions->addWidget(optimise_);
    documentOptions->addWidget(recurse_);
    documentOptions->addStretch(1);
    auto* documentButtons = new QVBoxLayout;
    documentButtons->addWidget(browse_);
    documentButtons->addWidget(addFolder_);
    documentButtons->addWidget(remove_);
    documentButtons->addStretch(1);
    auto* documentRow = new QHBoxLayout(documents);
    documentRow->addLayout(documentOptions);
    documentRow->addWidget(documents_, 1);
    documentRow->addLayout(documentButtons);

    runStatus_ = new QLabel(this);
    runStatus_->setObjectName(QStringLiteral("runStatus"));
    runStatus_->setWordWrap(true);
    runStatus_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    runStatus_->setAccessibleName(QStringLiteral("Last run"));
    runStatus_->setVisible(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tesserions, 1);
    layout->addWidget(documents, 1);
    layout->addWidget(runStatus_);

    // Keyboard order follows the page from top left to bottom right.
    QWidget* order[] = {none_,
                        currentTesserion_,
                        selectedTesserions_,
                        toApply_,
                        moveIn_,
                        moveOut_,
                        notApplied_,
                        currentDocument_,
                        multipleDocuments_,
                        optimise_,
                        documents_,
                        browse_,
                        addFolder_,
                        remove_};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        QWidget::setTabOrder(order[i], order[i + 1]);
    }

    for (QRadioButton* r :
         {none_, currentTesserion_, selectedTesserions_, currentDocument_, multipleDocuments_}) {
        connect(r, &QRadioButton::toggled, this, [this](bool on) {
            if (on) {
                UpdateControlStates();
            }
        });
    }
    for (QListWidget* list : {toApply_, notApplied_, documents_}) {
        connect(list, &QListWidget::itemSelectionChanged, this,
                &CTesserApplyPage::UpdateControlStates);
    }
    connect(moveIn_, &QPushButton::clicked, this, &CTesserApplyPage::MoveToApplied);
    connect(moveOut_, &QPushButton::clicked, this, &CTesserApplyPage::MoveToNotApplied);
    connect(browse_, &QPushButton::clicked, this, &CTesserApplyPage::BrowseDocuments);
    connect(addFolder_, &QPushButton::clicked, this, &CTesserApplyPage::AddFolder);
    connect(remove_, &QPushButton::clicked, this, &CTesserApplyPage::RemoveDocuments);

    setAcceptDrops(true);
    LoadControls();
}

void CTesserApplyPage::LoadControls() {
    const ui::ApplySettings& apply = Dialog()->Engine().Apply();
    none_->setChecked(apply.SelectionMode == ui::kSelectNone);
    currentTesserion_->setChecked(apply.SelectionMode == ui::kSelectCurrent);
    selectedTesserions_->setChecked(apply.SelectionMode == ui::kSelectNamed);
    currentDocument_->setChecked(!apply.MultipleDocuments);
    multipleDocuments_->setChecked(apply.MultipleDocuments);
    recurse_->setChecked(apply.Recurse);
    optimise_->setChecked(apply.Optimise);
    toApply_->clear();
    for (const std::string& name : apply.NamesToApply) {
        toApply_->addItem(NameItem(name));
    }
    documents_->clear();
    for (const std::string& entry : apply.DocumentEntries) {
        AddDocumentEntry(EntryText(entry));
    }
    SyncTesserionLists();
    UpdateControlStates();
}

void CTesserApplyPage::StoreControls() {
    ui::ApplySettings& apply = Dialog()->Engine().Apply();
    apply.SelectionMode = none_->isChecked()               ? ui::kSelectNone
                          : currentTesserion_->isChecked() ? ui::kSelectCurrent
                                                           : ui::kSelectNamed;
    apply.MultipleDocuments = multipleDocuments_->isChecked();
    apply.Recurse = recurse_->isChecked();
    apply.Optimise = optimise_->isChecked();
    apply.NamesToApply.clear();
    for (int row = 0; row < toApply_->count(); ++row) {
        apply.NamesToApply.push_back(RecordName(toApply_->item(row)));
    }
    apply.DocumentEntries.clear();
    for (int row = 0; row < documents_->count(); ++row) {
        apply.DocumentEntries.push_back(EntryBytes(documents_->item(row)->text()));
    }
}

void CTesserApplyPage::SyncTesserionLists() {
    const model::TesserionList& named = Dialog()->Engine().Tesserions();
    for (QListWidget* list : {toApply_, notApplied_}) {
        for (int row = list->count() - 1; row >= 0; --row) {
            if (!named.Contains(RecordName(list->item(row)))) {
                delete list->takeItem(row);
            }
        }
    }
    for (const auto& [name, tesserion] : named) {
        const QString shown = FromRecord(name);
        if (FindExact(toApply_, shown) < 0 && FindExact(notApplied_, shown) < 0) {
            InsertSorted(notApplied_, NameItem(name));
        }
    }
}

void CTesserApplyPage::OnSetActive() {
    SyncTesserionLists();
    UpdateControlStates();
}

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
           info.SetIndex || info.SetBaseURL || open.Page != 0 || open.View != 0 || open.Zoom != 0 ||
           open.Layout != 0 || open.FitWindow != keep || open.CenterWindow != keep ||
           open.FullScreen != keep || open.HideToolBar != keep || open.HideMenuBar != keep ||
           open.HideWindowUI != keep || engine.Security().ChangeSecurity;
}

void CTesserApplyPage::UpdateControlStates() {
    const bool selected = selectedTesserions_->isChecked();
    toApply_->setEnabled(selected);
    notApplied_->setEnabled(selected);
    moveIn_->setEnabled(selected && HasSelection(notApplied_));
    moveOut_->setEnabled(selected && HasSelection(toApply_));

    const bool multiple = multipleDocuments_->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(documents_), static_cast<QWidget*>(optimise_),
                       static_cast<QWidget*>(browse_), static_cast<QWidget*>(addFolder_),
                       static_cast<QWidget*>(remove_)}) {
        w->setEnabled(multiple);
    }
    // "Recurse to subfolders" is never offered.
    recurse_->setEnabled(false);

    const bool tesserionsToApply =
        currentTesserion_->isChecked() || (selected && toApply_->count() > 0);
    const bool documentsToProcess =
        (currentDocument_->isChecked() && Dialog()->ActiveView() != nullptr) ||
        (multiple && documents_->count() > 0);
    // Only the shown page commands the dialog's buttons.
    if (Dialog()->IsShownPage(this)) {
        Dialog()->EnableCommandButtons(documentsToProcess && tesserionsToApply,
                                       documentsToProcess &&
                                           (tesserionsToApply || SettingsToApply()),
                                       !Dialog()->Engine().Apply().UndoHistory.empty());
    }
}

void CTesserApplyPage::MoveToApplied() {
    for (int row = FirstSelected(notApplied_); row >= 0; row = FirstSelected(notApplied_)) {
        QListWidgetItem* item = notApplied_->item(row);
        const std::string name = RecordName(item);
        const model::Tesserion* found = Dialog()->Engine().Tesserions().Find(name);
        std::optional<std::string> invalid;
        if (found != nullptr) {
            model::Tesserion checked = *found;
            invalid = model::ValidateTesserion(checked);
        }
        if (found == nullptr || invalid) {
            if (invalid) {
                hostcalls::ShowAlert(kHAlertError, model::InvalidTesserionMessage(name, *invalid),
                                     "OK");
            }
            item->setSelected(false);
            continue;
        }
        toApply_->addItem(notApplied_->takeItem(row));
    }
    for (int row = 0; row < toApply_->count(); ++row) {
        toApply_->item(row)->setSelected(false);
    }
    UpdateControlStates();
}

void CTesserApplyPage::MoveToNotApplied() {
    for (int row = FirstSelected(toApply_); row >= 0; row = FirstSelected(toApply_)) {
        QListWidgetItem* item = toApply_->takeItem(row);
        item->setSelected(false);
        InsertSorted(notApplied_, item);
    }
    UpdateControlStates();
}

void CTesserApplyPage::AddDocumentEntry(const QString& entry) {
    if (entry.isEmpty() || FindExact(documents_, entry) >= 0) {
        return;
    }
    InsertSorted(documents_, new QListWidgetItem(entry));
}

void CTesserApplyPage::BrowseDocuments() {
    QFileDialog chooser(this, QStringLiteral("Open"));
    chooser.setObjectName(QString::fromLatin1(kBrowseDialogName));
    chooser.setFileMode(QFileDialog::ExistingFiles);
    chooser.setAcceptMode(QFileDialog::AcceptOpen);
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    chooser.setOption(QFileDialog::ReadOnly);
    chooser.setDefaultSuffix(QStringLiteral("pdf"));
    chooser.setNameFilters({QStringLiteral("PDF Files (*.pdf)"), QStringLiteral("All Files (*)")});
    if (chooser.exec() == QDialog::Accepted) {
        for (const QString& file : chooser.selectedFiles()) {
            AddDocumentEntry(QFileInfo(file).absoluteFilePath());
        }
    }
    UpdateControlStates();
}

void CTesserApplyPage::AddFolder() {
    QFileDialog chooser(this, QStringLiteral("Add folder"));
    chooser.setObjectName(QString::fromLatin1(kFolderDialogName));
    chooser.setFileMode(QFileDialog::Directory);
    chooser.setOption(QFileDialog::ShowDirsOnly);
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    if (chooser.exec() == QDialog::Accepted) {
        for (QString folder : chooser.selectedFiles()) {
            folder = QFileInfo(folder).absoluteFilePath();
            if (!folder.endsWith(QLatin1Char('/'))) {
                folder += QLatin1Char('/');
            }
            AddDocumentEntry(folder);
        }
    }
    UpdateControlStates();
}

void CTesserApplyPage::RemoveDocuments() {
    for (int row = FirstSelected(documents_); row >= 0; row = FirstSelected(documents_)) {
        delete documents_->takeItem(row);
    }
    UpdateControlStates();
}

QStringList CTesserApplyPage::AcceptedDrop(const QMimeData* data, const QPoint& pos) const {
    if (!documents_->isEnabled() ||
        !documents_->geometry().contains(documents_->parentWidget()->mapFrom(this, pos)) ||
        data == nullptr || !data->hasUrls()) {
        return {};
    }
    QStringList entries;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) {
            return {};
        }
        QString path = url.toLocalFile();
        const bool folder = path.endsWith(QLatin1Char('/')) || QFileInfo(path).isDir();
        if (folder) {
            if (!path.endsWith(QLatin1Char('/'))) {
                path += QLatin1Char('/');
            }
        } else if (!ui::IsPdfFileName(EntryBytes(path))) {
            return {};
        }
        entries.append(path);
    }
    return entries;
}

void CTesserApplyPage::dragEnterEvent(QDragEnterEvent* event) {
    // The decision is made as the pointer moves over the documents list; entering the page must
    // be accepted for the moves to arrive.
    if (event->mimeData() == nullptr || !event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void CTesserApplyPage::dragMoveEvent(QDragMoveEvent* event) {
    if (AcceptedDrop(event->mimeData(), event->position().toPoint()).isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void CTesserApplyPage::dropEvent(QDropEvent* event) {
    const QStringList entries = AcceptedDrop(event->mimeData(), event->position().toPoint());
    if (entries.isEmpty()) {
        event->ignore();
        return;
    }
    for (const QString& entry : entries) {
        AddDocumentEntry(entry);
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    UpdateControlStates();
}

void CTesserApplyPage::RunApply() {
    StoreControls();
    Dialog()->RunLocked([this] { Dialog()->Engine().RunApply(); });
    ShowRunOutcome(QStringLiteral("Apply"), QStringLiteral("processed"));
    UpdateControlStates();
}

void CTesserApplyPage::RunUndo() {
    Dialog()->RunLocked([this] { Dialog()->Engine().RunUndo(); });
    ShowRunOutcome(QStringLiteral("Undo"), QStringLiteral("restored"));
    UpdateControlStates();
}

void CTesserApplyPage::PrintDocuments() {
    StoreControls();
    Dialog()->RunLocked([this] { Dialog()->Engine().PrintDocuments(); });
    ShowRunOutcome(QStringLiteral("Print"), QStringLiteral("printed"));
    UpdateControlStates();
}

void CTesserApplyPage::ShowRunOutcome(const QString& what, const QString& doneWord) {
    const ui::RunCounts& counts = Dialog()->Engine().LastRun();
    QString text;
    if (counts.NotStarted) {
        text = what + QStringLiteral(": not started, the passwords were not confirmed.");
    } else {
        text = what + QStringLiteral(": %1 %2, %3 failed")
                          .arg(counts.Processed)
                          .arg(doneWord)
                          .arg(counts.Failed);
        if (counts.NotTouched > 0) {
            text += QStringLiteral(", %1 not touched").arg(counts.NotTouched);
        }
        if (counts.Aborted) {
            text += QStringLiteral("; aborted after %1")
                        .arg(counts.Processed + counts.Failed + counts.NotTouched);
        }
        if (counts.Cancelled) {
            text += QStringLiteral("; cancelled at the crop-box warning");
        }
        for (const std::string& name : counts.SelectedNothing) {
            text += QStringLiteral("; \"%1\" selected no page").arg(QString::fromStdString(name));
        }
        text += QLatin1Char('.');
    }
    runStatus_->setText(text);
    runStatus_->setAccessibleDescription(text);
    runStatus_->setVisible(true);
}

} // namespace tesser::dialog

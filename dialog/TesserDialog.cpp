#include "dialog/TesserDialog.h"

#include "dialog/ApplyPage.h"
#include "dialog/DefinePage.h"
#include "dialog/InfoPage.h"
#include "dialog/OpenPage.h"
#include "dialog/SecurityPage.h"
#include "hostcalls/HostCalls.h"
#include "model/TesserionStore.h"

#include <QCloseEvent>
#include <QColorDialog>
#include <QHBoxLayout>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace tesser::dialog {

namespace {

// The host's registration of the dialog window: layer 3 with these flags.
constexpr std::int32_t kHostWindowLayer = 3;
constexpr std::int32_t kHostWindowFlags = 0x42000000;

QColor FromWindowsColor(std::int32_t value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

} // namespace

CTesserDialog::CTesserDialog(HView view, QWidget* parent)
    : QDialog(parent), engine_(runUi_), view_(view) {
    runUi_.SetOwner(this);
    setObjectName(QStringLiteral("CTesserDialog"));
    setWindowTitle(QStringLiteral("Tesser Pro"));
    setAccessibleName(windowTitle());
    setModal(true);
    engine_.SetActiveView(view_);
    // "Abort" stops a run after the document in hand, also between the files of a folder.
    engine_.SetStopWithinFolders(true);

    if (view_ != nullptr) {
        try {
            documentFlagsAtOpen_ = hostcalls::GetDocumentFlags(hostcalls::GetViewDocument(view_));
        } catch (const hostcalls::HostError&) {
            documentFlagsAtOpen_ = 1;
        }
    }

    profile_.SetFileName(model::ProfileFileName);
    customColors_ = model::LoadCustomColors(profile_);
    model::LoadTesserions(profile_, engine_.Tesserions());
    for (int i = 0; i < 16; ++i) {
        QColorDialog::setCustomColor(i, FromWindowsColor(customColors_[static_cast<size_t>(i)]));
    }

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("tabs"));
    tabs_->setAccessibleName(windowTitle());
    tabs_->setIconSize(QSize(16, 16));
    pages_ = {new CTesserDefinePage(this), new CTesserInfoPage(this), new CTesserOpenPage(this),
              new CTesserSecurityPage(this), new CTesserApplyPage(this)};
    for (CTesserPage* page : pages_) {
        tabs_->addTab(page, page->Title());
    }
    for (int tab : {1, 2, 3}) {
        SetTabImage(tab, kImageCross);
    }

    printButton_ =
        AddButton(QStringLiteral("&Print..."), kPrintButtonId, QStringLiteral("printButton"));
    applyButton_ =
        AddButton(QStringLiteral("App&ly"), kApplyButtonId, QStringLiteral("applyButton"));
    undoButton_ = AddButton(QStringLiteral("Und&o"), kUndoButtonId, QStringLiteral("undoButton"));
    closeButton_ =
        AddButton(QStringLiteral("Clos&e"), kCloseButtonId, QStringLiteral("closeButton"));
    EnableCommandButtons(false, false, false);

    auto* apply = static_cast<CTesserApplyPage*>(pages_[4]);
    connect(printButton_, &QPushButton::clicked, this, [apply] { apply->PrintDocuments(); });
    connect(applyButton_, &QPushButton::clicked, this, [apply] { apply->RunApply(); });
    connect(undoButton_, &QPushButton::clicked, this, [apply] { apply->RunUndo(); });
    connect(closeButton_, &QPushButton::clicked, this, &CTesserDialog::reject);

    // The standard property-sheet places: "Print..." one button pitch left of OK, "Apply" at
    // OK, "Undo" at Cancel, "Close" at Apply Now.
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* button : {printButton_, applyButton_, undoButton_, closeButton_}) {
        buttons->addWidget(button);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_, 1);
    layout->addLayout(buttons);

    // Keyboard order: the pages' controls, then the buttons left to right.
    QWidget::setTabOrder(tabs_, printButton_);
    QWidget::setTabOrder(printButton_, applyButton_);
    QWidget::setTabOrder(applyButton_, undoButton_);
    QWidget::setTabOrder(undoButton_, closeButton_);

    connect(tabs_, &QTabWidget::currentChanged, this, &CTesserDialog::TabChanged);
    tabs_->setCurrentIndex(0);
    pages_[0]->OnSetActive();

    try {
        hostWindow_ =
            hostcalls::CreateHostWindow(kHostWindowLayer, kHostWindowFlags, nullptr, this);
    } catch (const hostcalls::HostError&) {
        hostWindow_ = nullptr;
    }
}

CTesserDialog::~CTesserDialog() {
    try {
        hostcalls::EndHostWindow();
    } catch (const hostcalls::HostError&) {
    }
    if (profileChanged_) {
        profile_.Clear();
        model::SaveCustomColors(profile_, customColors_);
        model::SaveTesserions(profile_, engine_.Tesserions());
    }
    if (engine_.Apply().UndoHistory.empty() && (documentFlagsAtOpen_ & kHDocNeedsSave) == 0 &&
        view_ != nullptr) {
        try {
            hostcalls::ClearDocumentFlags(hostcalls::GetViewDocument(view_), kHDocNeedsSave);
        } catch (const hostcalls::HostError&) {
        }
    }
    // profile_ is released with the members and writes its file then, if it was refilled.
}

QPushButton* CTesserDialog::AddButton(const QString& text, int id, const QString& objectName) {
    auto* button = new QPushButton(text, this);
    NameControl(button, id, objectName, QString(text).remove(QLatin1Char('&')));
    button->setAutoDefault(false);
    return button;
}

void CTesserDialog::EnableCommandButtons(bool print, bool apply, bool undo) {
    printButton_->setEnabled(print);
    applyButton_->setEnabled(apply);
    undoButton_->setEnabled(undo);
}

void CTesserDialog::BeginRun() {
    running_ = true;
    tabs_->setEnabled(false);
    for (QPushButton* button : {printButton_, applyButton_, undoButton_, closeButton_}) {
        button->setEnabled(false);
    }
}

void CTesserDialog::EndRun() {
    running_ = false;
    tabs_->setEnabled(true);
    closeButton_->setEnabled(true);
    // The Apply page enables "Print...", "Apply" and "Undo" again for the state the run left.
}

bool CTesserDialog::IsShownPage(const QWidget* page) const {
    return tabs_->currentWidget() == page;
}

void CTesserDialog::SetTabImage(int tab, int image) {
    static const QIcon cross(QStringLiteral(":/tesser/cross.png"));
    static const QIcon tick(QStringLiteral(":/tesser/tick.png"));
    tabs_->setTabIcon(tab, image == kImageCross ? cross : image == kImageTick ? tick : QIcon());
    tabs_->widget(tab)->setProperty("tabImage", image);
}

void CTesserDialog::TabChanged(int index) {
    if (switching_ || index == shownTab_) {
        return;
    }
    if (!pages_[static_cast<size_t>(shownTab_)]->OnKillActive()) {
        switching_ = true;
        tabs_->setCurrentIndex(shownTab_);
        switching_ = false;
        return;
    }
    shownTab_ = index;
    pages_[static_cast<size_t>(index)]->OnSetActive();
}

void CTesserDialog::reject() {
    if (running_) {
        return;
    }
    done(kCloseResult);
}

void CTesserDialog::closeEvent(QCloseEvent* event) {
    if (running_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void RunTesserDialog(HView view, void* parentWindow) {
    auto* parent = static_cast<QWidget*>(parentWindow);
    // The profile is written when the dialog is released; its failures reach the user here.
    model::ProfileMessageSink previous =
        model::SetProfileMessageSink([parent](const std::string& title, const std::string& text) {
            QMessageBox::critical(parent, QString::fromStdString(title),
                                  QString::fromStdString(text));
        });
    try {
        CTesserDialog dialog(view, parent);
        dialog.exec();
    } catch (const std::exception& e) {
        hostcalls::ShowAlert(kHAlertError, e.what());
    } catch (...) {
        hostcalls::ShowAlert(kHAlertError, "An unexpected error ended the Tesser Pro dialog.");
    }
    model::SetProfileMessageSink(previous);
}

} // namespace tesser::dialog

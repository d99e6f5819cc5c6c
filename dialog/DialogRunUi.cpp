#include "dialog/DialogRunUi.h"

#include "dialog/ConfirmPasswordsDialog.h"
#include "dialog/TesserPage.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace tesser::dialog {

ProgressWindow::ProgressWindow(QWidget* owner) : QWidget(owner, Qt::Tool) {
    setObjectName(QStringLiteral("progressWindow"));
    setWindowTitle(QString::fromUtf8(ui::kProgressCaption));
    setAccessibleName(windowTitle());
    auto* layout = new QVBoxLayout(this);
    file_ = new QLabel(this);
    count_ = new QLabel(this);
    file_->setObjectName(QStringLiteral("progressFile"));
    count_->setObjectName(QStringLiteral("progressCount"));
    auto* abort = new QPushButton(QString::fromUtf8(ui::kAbortButton), this);
    NameControl(abort, 2, QStringLiteral("abortButton"), abort->text());
    connect(abort, &QPushButton::clicked, this, [this] { goOn_ = false; });
    layout->addWidget(file_);
    layout->addWidget(count_);
    layout->addWidget(abort, 0, Qt::AlignRight);
    setMinimumWidth(360);
}

void ProgressWindow::Show(const QString& currentFile, const QString& filesProcessed) {
    file_->setText(currentFile);
    count_->setText(filesProcessed);
}

void DialogRunUi::OpenProgress() {
    progress_ = new ProgressWindow(owner_);
    progress_->show();
}

void* DialogRunUi::ProgressWindowHandle() { return progress_.data(); }

void DialogRunUi::ShowProgress(const std::string& currentFile,
                               const std::string& filesProcessed) {
    if (progress_) {
        progress_->Show(QString::fromStdString(currentFile),
                        QString::fromStdString(filesProcessed));
    }
    // The window is painted and "Abort" is taken between files; nothing else of the dialog
    // reacts while a run holds it (see CTesserDialog::RunLocked).
    QApplication::processEvents();
}

bool DialogRunUi::ProgressGoOn() {
    QApplication::processEvents();
    return !progress_ || progress_->GoOn();
}

void DialogRunUi::CloseProgress() { delete progress_.data(); }

bool DialogRunUi::AskYesNo(const std::string& text, const std::string& title) {
    return QMessageBox::critical(owner_, QString::fromStdString(title),
                                 QString::fromStdString(text),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool DialogRunUi::ConfirmPasswords(const std::string& openPassword,
                                   const std::string& ownerPassword) {
    return CConfirmPasswordsDialog::Confirm(openPassword, ownerPassword, owner_);
}

} // namespace tesser::dialog

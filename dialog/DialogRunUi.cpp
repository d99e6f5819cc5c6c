#include "dialog/DialogRunUi.h"

#include "dialog/ConfirmPasswordsDialog.h"
#include "dialog/TesserPage.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tesser::dialog {

ProgressWindow::ProgressWindow(QWidget* owner) : QDialog(owner, Qt::Tool) {
    setObjectName(QString::fromLatin1(kProgressWindowName));
    setProperty("controlId", 145);
    setWindowTitle(QString::fromUtf8(ui::kProgressCaption));
    setAccessibleName(windowTitle());
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(this);
    file_ = new QLabel(this);
    count_ = new QLabel(this);
    NameControl(file_, 1105, QStringLiteral("progressFile"));
    NameControl(count_, 1109, QStringLiteral("progressCount"));
    file_->setTextFormat(Qt::PlainText);
    file_->setMinimumWidth(320);
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("progressBar"));
    bar_->setAccessibleName(QStringLiteral("Files processed"));
    bar_->setRange(0, 0);
    stopping_ = new QLabel(this);
    stopping_->setObjectName(QStringLiteral("progressStopping"));
    stopping_->hide();
    abort_ = new QPushButton(QString::fromUtf8(ui::kAbortButton), this);
    NameControl(abort_, 2, QStringLiteral("abortButton"), abort_->text());
    connect(abort_, &QPushButton::clicked, this, &ProgressWindow::Stop);
    layout->addWidget(file_);
    layout->addWidget(count_);
    layout->addWidget(stopping_);
    layout->addWidget(bar_);
    layout->addWidget(abort_, 0, Qt::AlignRight);
    abort_->setFocus();
}

void ProgressWindow::Show(const QString& currentFile, int filesProcessed, int total) {
    file_->setText(QStringLiteral("Current file: ") + currentFile);
    count_->setText(QStringLiteral("Files processed: %1").arg(filesProcessed));
    bar_->setRange(0, std::max(total, filesProcessed));
    bar_->setValue(filesProcessed);
}

void ProgressWindow::Stop() {
    if (!goOn_) {
        return;
    }
    goOn_ = false;
    stopping_->setText(QStringLiteral("Stopping after the document in hand"));
    stopping_->setAccessibleName(stopping_->text());
    stopping_->show();
    abort_->setEnabled(false);
    repaint();
}

void ProgressWindow::closeEvent(QCloseEvent* event) {
    // Closing the window asks the run to stop; the run closes it.
    Stop();
    event->ignore();
}

void ProgressWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Stop();
        return;
    }
    QDialog::keyPressEvent(event);
}

void DialogRunUi::Progress(const ui::ProgressEvent& event) {
    using Kind = ui::ProgressEvent::Kind;
    switch (event.What) {
    case Kind::Started:
        currentFile_ = QString::fromStdString(event.Name);
        filesProcessed_ = event.Index;
        break;
    case Kind::Processed:
    case Kind::Failed:
    case Kind::NotTouched:
        filesProcessed_ = event.Index + 1;
        break;
    case Kind::Aborted:
        currentFile_ = QString::fromStdString(event.Name);
        filesProcessed_ = event.Index + 1;
        break;
    }
    total_ = event.Total;
    ShowLastEvent();
    Breathe();
}

void DialogRunUi::PageProgress(const std::string&, int, int) {
    // A long document: the window repaints and takes an Abort click (honoured after it) now and
    // then while its pages are stamped.
    if (!sinceBreath_.isValid() || sinceBreath_.elapsed() >= 100) {
        Breathe();
        sinceBreath_.restart();
    }
}

void DialogRunUi::ShowLastEvent() {
    if (progress_) {
        progress_->Show(currentFile_, filesProcessed_, total_);
    }
}

void DialogRunUi::Breathe() {
    if (progress_) {
        QApplication::processEvents();
    }
}

void DialogRunUi::OpenProgress() {
    delete progress_.data();
    progress_ = new ProgressWindow(owner_);
    ShowLastEvent();
    progress_->show();
    progress_->activateWindow();
}

void* DialogRunUi::ProgressWindowHandle() {
    return progress_.data();
}

void DialogRunUi::ShowProgress(const std::string&, const std::string&) {
    // The texts were set from the progress events; this is the announcement's turn to paint.
    ShowLastEvent();
    Breathe();
}

bool DialogRunUi::ProgressGoOn() {
    Breathe();
    return !progress_ || progress_->GoOn();
}

void DialogRunUi::CloseProgress() {
    delete progress_.data();
    currentFile_.clear();
    filesProcessed_ = 0;
    total_ = 0;
}

bool DialogRunUi::AskYesNo(const std::string& text, const std::string& title) {
    QMessageBox box(QMessageBox::Critical, QString::fromStdString(title),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No, owner_);
    box.setObjectName(QString::fromLatin1(kRunErrorBoxName));
    box.setDefaultButton(QMessageBox::Yes);
    box.setAccessibleName(box.windowTitle());
    return box.exec() == QMessageBox::Yes;
}

bool DialogRunUi::ConfirmPasswords(const std::string& openPassword,
                                   const std::string& ownerPassword) {
    return CConfirmPasswordsDialog::Confirm(openPassword, ownerPassword, owner_);
}

} // namespace tesser::dialog

// The run engine's person-facing part in the desktop dialog: the modeless progress window, the
// error box and "Confirm passwords".
#pragma once

#include "ui/RunUi.h"

#include <QPointer>
#include <QWidget>

class QLabel;

namespace tesser::dialog {

// The modeless window a run over files shows: the current file, the count and "Abort".
class ProgressWindow : public QWidget {
    Q_OBJECT
public:
    explicit ProgressWindow(QWidget* owner);
    void Show(const QString& currentFile, const QString& filesProcessed);
    bool GoOn() const { return goOn_; }

private:
    QLabel* file_;
    QLabel* count_;
    bool goOn_ = true;
};

class DialogRunUi : public ui::RunUi {
public:
    // owner: the dialog; message boxes and the progress window belong to it.
    void SetOwner(QWidget* owner) { owner_ = owner; }

    void OpenProgress() override;
    void* ProgressWindowHandle() override;
    void ShowProgress(const std::string& currentFile, const std::string& filesProcessed) override;
    bool ProgressGoOn() override;
    void CloseProgress() override;
    bool AskYesNo(const std::string& text, const std::string& title) override;
    bool ConfirmPasswords(const std::string& openPassword,
                          const std::string& ownerPassword) override;

private:
    QWidget* owner_ = nullptr;
    QPointer<ProgressWindow> progress_;
};

} // namespace tesser::dialog

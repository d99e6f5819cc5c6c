// The run engine's person-facing part in the desktop dialog: the modeless progress window, the
// error box and "Confirm passwords".
//
// The run holds the user-interface thread from its start to its end. Between documents (at each
// progress event and each look at the go-on flag) it hands the event loop one turn, so the
// progress window repaints and takes a click on "Abort"; the dialog behind it is disabled for
// the run (CTesserDialog::RunLocked), and the host's windows are behind the modal dialog. One
// document, however large, is worked on without a turn: "Abort" is honoured after it.
#pragma once

#include "ui/RunUi.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace tesser::dialog {

// Object names of the run's windows.
inline constexpr const char* kProgressWindowName = "progressWindow";
inline constexpr const char* kRunErrorBoxName = "runErrorBox";

// The modeless window a run over files shows: "Current file: " and the file's name, "Files
// processed: " and the number of documents finished, a progress bar of that number against
// the documents the run expects, and "Abort". "Abort" (also Escape, or the window's close box)
// clears the go-on flag and nothing else; the run closes the window. A dialog, so that a screen
// reader presents it as one.
class ProgressWindow : public QDialog {
    Q_OBJECT
public:
    explicit ProgressWindow(QWidget* owner);
    void Show(const QString& currentFile, int filesProcessed, int total);
    bool GoOn() const { return goOn_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Abort, the close button or Escape: the run is to stop after the document in hand, and
    // the window says so at once (the button disabled, "Stopping after the document in hand").
    void Stop();

    QLabel* file_;
    QLabel* count_;
    QLabel* stopping_;
    QProgressBar* bar_;
    QPushButton* abort_;
    bool goOn_ = true;
};

class DialogRunUi : public ui::RunUi {
public:
    // owner: the dialog; message boxes and the progress window belong to it.
    void SetOwner(QWidget* owner) { owner_ = owner; }

    // The window's texts follow the events: a document taken up is named with the number
    // finished before it; once it is finished (processed or failed) the number counts it.
    void Progress(const ui::ProgressEvent& event) override;
    void PageProgress(const std::string& name, int page, int count) override;
    void OpenProgress() override;
    void* ProgressWindowHandle() override;
    void ShowProgress(const std::string& currentFile, const std::string& filesProcessed) override;
    bool ProgressGoOn() override;
    void CloseProgress() override;
    bool AskYesNo(const std::string& text, const std::string& title) override;
    bool ConfirmPasswords(const std::string& openPassword,
                          const std::string& ownerPassword) override;

private:
    void ShowLastEvent();
    // One turn of the event loop while the progress window is open.
    void Breathe();

    QWidget* owner_ = nullptr;
    QPointer<ProgressWindow> progress_;
    QString currentFile_;
    int filesProcessed_ = 0;
    int total_ = 0;
    QElapsedTimer sinceBreath_;
};

} // namespace tesser::dialog

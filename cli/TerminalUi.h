// The terminal as the run's user interface and as the host's message sink.
//
// Progress lines and messages go to standard error. Questions (the error box, the crop-box
// warning) are asked on the terminal when there is one and no --yes/--no was given; otherwise the
// configured answer decides, and the default is to stop. Ctrl-C (SIGINT) and SIGTERM stand for
// the progress window's "Abort": they clear the go-on flag, read between files.
#pragma once

#include "cli/Options.h"
#include "host/Host.h"
#include "ui/RunUi.h"

#include <functional>
#include <string>

namespace tesser::cli {

// Installs the SIGINT/SIGTERM handlers that set the abort request.
void InstallAbortHandlers();
bool AbortRequested();
// For tests and for a fresh run.
void ResetAbortRequest();

class TerminalUi : public ui::RunUi, public host::MessageSink {
public:
    TerminalUi(Answer answer, bool quiet);

    // Called with each file name announced (print to a folder uses it).
    void SetAnnounceHook(std::function<void(const std::string&)> hook) {
        announceHook_ = std::move(hook);
    }

    // RunUi.
    void OpenProgress() override;
    void ShowProgress(const std::string& currentFile, const std::string& filesProcessed) override;
    bool ProgressGoOn() override;
    void CloseProgress() override {}
    bool AskYesNo(const std::string& text, const std::string& title) override;
    bool ConfirmPasswords(const std::string&, const std::string&) override { return true; }

    // host::MessageSink (texts are Windows-1252).
    int32_t ShowAlert(int32_t iconKind, const std::string& message,
                      const std::vector<std::string>& buttons) override;
    int32_t ConfirmAlert(const std::string& message) override;
    void ShowNote(const std::string& message) override;

private:
    // Asks question on the terminal; answers the configured default when nobody can be asked.
    bool Ask(const std::string& question, const std::string& yesWord, const std::string& noWord);

    Answer answer_;
    bool quiet_;
    bool interactive_;
    std::function<void(const std::string&)> announceHook_;
    std::string lastFile_;
};

// Reads a line from the terminal without echo; throws std::runtime_error without a terminal.
std::string ReadPasswordFromTerminal(const std::string& prompt);

} // namespace tesser::cli

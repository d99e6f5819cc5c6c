// The terminal as the run's user interface and as the host's message sink.
//
// Progress lines and messages go to standard error: one line per document, "[i/n] FILE: stamped"
// or "[i/n] FILE: failed: reason", from the run's progress events. Questions (the error box, the
// crop-box warning) are asked on the terminal when there is one and no --yes/--no was given;
// otherwise the configured answer decides, and the default is to stop. Ctrl-C (SIGINT) and SIGTERM
// stand for the progress window's "Abort": they clear the go-on flag, read between files.
#pragma once

#include "cli/Options.h"
#include "host/Host.h"
#include "ui/RunUi.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tesser::cli {

// Installs the SIGINT/SIGTERM handlers that set the abort request.
void InstallAbortHandlers();
bool AbortRequested();
// The handlers also set bit in word (a lock-free atomic, so a handler may change it), until
// called again with null: a run in several processes stops taking up files at once.
void SetAbortWord(std::atomic<std::uint32_t>* word, std::uint32_t bit);
// For tests and for a fresh run.
void ResetAbortRequest();

// The outcome of one document of a run, as the progress events told it.
struct DocumentOutcome {
    std::string Name; // the path (UTF-8)
    bool Failed = false;
    bool NotTouched = false; // nothing was to be done to it
    std::string Reason;      // why it failed or was not touched; a note when processed
};

class TerminalUi : public ui::RunUi, public host::MessageSink {
public:
    TerminalUi(Answer answer, bool quiet, bool verbose = false);

    // The word a processed document's line ends with: "stamped", "restored", "printed", ...
    void SetDoneWord(std::string word) { doneWord_ = std::move(word); }
    // Every document the run took up, in order, with its outcome.
    const std::vector<DocumentOutcome>& Outcomes() const { return outcomes_; }
    // Documents the run expected but never took up (not reached after a stop).
    int Skipped() const;

    // Called with each file name announced (print to a folder uses it).
    void SetAnnounceHook(std::function<void(const std::string&)> hook) {
        announceHook_ = std::move(hook);
    }

    // Hands the run's progress events to hook instead of showing them (a worker process sends
    // them to the process that shows the run); page progress is then not shown either.
    void SetProgressHook(std::function<void(const ui::ProgressEvent&)> hook) {
        progressHook_ = std::move(hook);
    }
    // Hands each question to hook (question, yes word, no word) for its answer instead of asking
    // here (a worker process has the process that started it ask).
    void SetQuestionHook(
        std::function<bool(const std::string&, const std::string&, const std::string&)> hook) {
        questionHook_ = std::move(hook);
    }
    // Asks question on the terminal; answers the configured default when nobody can be asked.
    bool Ask(const std::string& question, const std::string& yesWord, const std::string& noWord);

    // RunUi.
    void Progress(const ui::ProgressEvent& event) override;
    void PageProgress(const std::string& name, int page, int count) override;
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
    // Takes the page progress line off the terminal before another line is written.
    void ClearPageProgress();

    Answer answer_;
    bool pageProgressShown_ = false;
    std::chrono::steady_clock::time_point lastPageProgress_{};
    bool quiet_;
    bool verbose_;
    std::string doneWord_ = "done";
    std::vector<DocumentOutcome> outcomes_;
    int total_ = 0;
    bool failedTheLast_ = false; // the newest failure was of the run's last document
    bool interactive_;
    std::function<void(const std::string&)> announceHook_;
    std::function<void(const ui::ProgressEvent&)> progressHook_;
    std::function<bool(const std::string&, const std::string&, const std::string&)> questionHook_;
};

// Reads a line from the terminal without echo; throws std::runtime_error without a terminal.
std::string ReadPasswordFromTerminal(const std::string& prompt);

} // namespace tesser::cli

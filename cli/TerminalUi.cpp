#include "cli/TerminalUi.h"

#include "cli/TerminalText.h"

#include "fileio/UniqueFd.h"
#include "model/TextEncoding.h"

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <iostream>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace tesser::cli {

namespace {

volatile std::sig_atomic_t g_abort = 0;
std::atomic<std::atomic<std::uint32_t>*> g_abortWord{nullptr};
std::atomic<std::uint32_t> g_abortBit{0};

extern "C" void OnAbortSignal(int) {
    if (std::atomic<std::uint32_t>* word = g_abortWord.load()) {
        word->fetch_or(g_abortBit.load());
    }
    if (g_abort == 0) {
        static const char text[] = "\ntesser: stopping after the file in hand\n";
        const ssize_t ignored = ::write(STDERR_FILENO, text, sizeof text - 1);
        (void)ignored;
    }
    g_abort = 1;
}

// Reads one line from fd, without its line end. False at end of input or on an error (an
// interrupted read counts as no answer).
bool ReadLine(int fd, std::string& line) {
    line.clear();
    char c = 0;
    for (;;) {
        const ssize_t n = ::read(fd, &c, 1);
        if (n <= 0) {
            return !line.empty() && n == 0;
        }
        if (c == '\n') {
            return true;
        }
        if (c != '\r') {
            line += c;
        }
    }
}

} // namespace

void InstallAbortHandlers() {
    struct sigaction action {};
    action.sa_handler = OnAbortSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a question waiting for an answer is given up
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool AbortRequested() {
    return g_abort != 0;
}

void SetAbortWord(std::atomic<std::uint32_t>* word, std::uint32_t bit) {
    g_abortBit.store(bit);
    g_abortWord.store(word);
}
void ResetAbortRequest() {
    g_abort = 0;
}

TerminalUi::TerminalUi(Answer answer, bool quiet, bool verbose)
    : answer_(answer), quiet_(quiet), verbose_(verbose),
      interactive_(answer == Answer::Ask && ::isatty(STDIN_FILENO) && ::isatty(STDERR_FILENO)) {}

void TerminalUi::OpenProgress() {}

void TerminalUi::Progress(const ui::ProgressEvent& event) {
    using Kind = ui::ProgressEvent::Kind;
    if (progressHook_) {
        progressHook_(event);
        return;
    }
    total_ = std::max(total_, event.Total);
    if (event.What == Kind::Failed) {
        failedTheLast_ = event.Index + 1 >= event.Total;
    }
    if (event.What == Kind::Started) {
        return;
    }
    if (event.What == Kind::Aborted) {
        std::cerr << "tesser: " << Shown(event.Name) << std::endl;
        return;
    }
    // A failure reported for a document already counted (a save that failed after the
    // document was processed) replaces its outcome; a folder that cannot be read is one of its
    // own.
    DocumentOutcome* outcome = nullptr;
    if (!outcomes_.empty() && outcomes_.back().Name == event.Name &&
        static_cast<int>(outcomes_.size()) == event.Index + 1) {
        outcome = &outcomes_.back();
    } else {
        outcome = &outcomes_.emplace_back();
        outcome->Name = event.Name;
    }
    outcome->Failed = event.What == Kind::Failed;
    outcome->NotTouched = event.What == Kind::NotTouched;
    outcome->Reason = event.Reason;
    if (quiet_ && event.What == Kind::Processed && event.Reason.empty()) {
        return; // failures and what was not done are told also when quiet
    }
    std::string line = "[" + std::to_string(event.Index + 1) + "/" +
                       std::to_string(std::max(event.Total, event.Index + 1)) + "] " +
                       Shown(event.Name) + ": ";
    if (event.What == Kind::Processed) {
        line += doneWord_;
        if (event.Pages > 0) {
            line += ", " + std::to_string(event.Pages) + (event.Pages == 1 ? " page" : " pages");
        }
        if (!event.Reason.empty()) {
            line += "; " + Shown(event.Reason);
        }
    } else if (event.What == Kind::NotTouched) {
        line += "not touched: " + Shown(event.Reason);
    } else {
        std::string reason = event.Reason;
        if (reason.rfind(event.Name + ": ", 0) == 0) {
            reason.erase(0, event.Name.size() + 2); // the host's text names the file too
        }
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' ')) {
            reason.pop_back();
        }
        for (std::size_t at = reason.find('\n'); at != std::string::npos;
             at = reason.find('\n', at)) {
            reason.replace(at, 1, "; ");
        }
        line += "failed: " + Shown(reason);
    }
    ClearPageProgress();
    std::cerr << line << std::endl;
}

void TerminalUi::PageProgress(const std::string& name, int page, int count) {
    // On a terminal only, and at most every tenth of a second: a long document shows it advancing.
    if (quiet_ || progressHook_ || (!pageProgressShown_ && count < 200)) {
        return;
    }
    if (!::isatty(STDERR_FILENO)) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (page < count && now - lastPageProgress_ < std::chrono::milliseconds(100)) {
        return;
    }
    lastPageProgress_ = now;
    std::cerr << "\r" << Shown(name) << ": page " << page << " of " << count << "\x1b[K"
              << std::flush;
    pageProgressShown_ = true;
}

void TerminalUi::ClearPageProgress() {
    if (pageProgressShown_) {
        std::cerr << "\r\x1b[K" << std::flush;
        pageProgressShown_ = false;
    }
}

int TerminalUi::Skipped() const {
    return std::max(0, total_ - static_cast<int>(outcomes_.size()));
}

void TerminalUi::ShowProgress(const std::string& currentFile, const std::string& filesProcessed) {
    static const std::string prefix = "Current file: ";
    const std::string name =
        currentFile.rfind(prefix, 0) == 0 ? currentFile.substr(prefix.size()) : currentFile;
    if (announceHook_ && name != ui::kProcessAborted && name != ui::kPrintingAborted) {
        announceHook_(name);
    }
    (void)filesProcessed; // the progress events give the lines
}

bool TerminalUi::ProgressGoOn() {
    return !AbortRequested();
}

bool TerminalUi::Ask(const std::string& question, const std::string& yesWord,
                     const std::string& noWord) {
    if (questionHook_) {
        return questionHook_(question, yesWord, noWord);
    }
    if (!interactive_ || AbortRequested()) {
        const bool answer = answer_ == Answer::Yes;
        std::cerr << question << ' ' << (answer ? yesWord : noWord)
                  << (answer_ == Answer::Ask ? " (no terminal to ask; --yes would go on)" : "")
                  << std::endl;
        return answer;
    }
    auto matches = [](const std::string& line, const std::string& word) {
        if (line.empty() || line.size() > word.size()) {
            return false;
        }
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(line[i])) != word[i]) {
                return false;
            }
        }
        return true;
    };
    for (;;) {
        std::cerr << question << " [" << yesWord << '/' << noWord << "] " << std::flush;
        std::string line;
        if (!ReadLine(STDIN_FILENO, line)) {
            std::cerr << std::endl;
            return false;
        }
        if (matches(line, yesWord)) {
            return true;
        }
        if (matches(line, noWord)) {
            return false;
        }
    }
}

bool TerminalUi::AskYesNo(const std::string& text, const std::string& title) {
    // The document's line already said what failed; the error box's own text only on request.
    if (verbose_) {
        std::cerr << title << ": " << Shown(text, true) << std::endl;
    }
    if (failedTheLast_ && !questionHook_) {
        return true; // after the last document there is nothing to go on with
    }
    return Ask("Go on with the run?", "yes", "no");
}

int32_t TerminalUi::ShowAlert(int32_t /*iconKind*/, const std::string& message,
                              const std::vector<std::string>& /*buttons*/) {
    std::cerr << Shown(model::Windows1252ToUtf8(message), true) << std::endl;
    return 1;
}

int32_t TerminalUi::ConfirmAlert(const std::string& message) {
    std::cerr << Shown(model::Windows1252ToUtf8(message), true) << std::endl;
    const bool goOn = Ask("Continue or cancel?", "continue", "cancel");
    if (!goOn) {
        std::cerr << "Cancelled: the run stops; the document in hand is left as it was."
                  << std::endl;
    }
    return goOn ? 1 : 0;
}

void TerminalUi::ShowNote(const std::string& message) {
    std::cerr << Shown(model::Windows1252ToUtf8(message), true) << std::endl;
}

std::string ReadPasswordFromTerminal(const std::string& prompt) {
    const fileio::UniqueFd tty(::open("/dev/tty", O_RDWR | O_CLOEXEC));
    const int fd = tty.get();
    if (!tty) {
        throw std::runtime_error("--ask-passwords needs a terminal; use --password-stdin");
    }
    const ssize_t written = ::write(fd, prompt.data(), prompt.size());
    (void)written;
    termios saved{};
    const bool haveTerm = ::tcgetattr(fd, &saved) == 0;
    if (haveTerm) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    std::string line;
    const bool ok = ReadLine(fd, line);
    if (haveTerm) {
        ::tcsetattr(fd, TCSAFLUSH, &saved);
    }
    if (!ok && line.empty() && AbortRequested()) {
        throw std::runtime_error("interrupted");
    }
    return line;
}

} // namespace tesser::cli

#include "cli/Workers.h"

#include "cli/Journal.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace tesser::cli {

namespace {

// The messages between this process and a worker: a list of byte strings. On the pipe: the total
// length, then each string as its length and its bytes (lengths as 4 bytes, host order: both
// ends are the same program on the same machine).
using Message = std::vector<std::string>;

constexpr std::uint32_t kLargestMessage = 1U << 30;

// Moves size bytes with step (read or write) until all are moved; false at the end of the pipe
// or on an error.
template <class Byte, class Step>
bool Whole(Byte* data, std::size_t size, Step step) {
    while (size > 0) {
        const ssize_t n = step(data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    return Whole(data, size,
                 [fd](const char* at, std::size_t left) { return ::write(fd, at, left); });
}

bool ReadAll(int fd, char* data, std::size_t size) {
    return Whole(data, size, [fd](char* at, std::size_t left) { return ::read(fd, at, left); });
}

void AppendLength(std::string& out, std::size_t length) {
    const auto value = static_cast<std::uint32_t>(length);
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

bool Send(int fd, const Message& message) {
    std::string body;
    for (const std::string& part : message) {
        AppendLength(body, part.size());
        body += part;
    }
    std::string frame;
    AppendLength(frame, body.size());
    frame += body;
    return WriteAll(fd, frame.data(), frame.size());
}

// False at the end of the pipe or for a frame that is not a message.
bool Receive(int fd, Message& message) {
    message.clear();
    std::uint32_t size = 0;
    if (!ReadAll(fd, reinterpret_cast<char*>(&size), sizeof size) || size > kLargestMessage) {
        return false;
    }
    std::string body(size, '\0');
    if (!ReadAll(fd, body.data(), body.size())) {
        return false;
    }
    std::size_t at = 0;
    while (at < body.size()) {
        std::uint32_t length = 0;
        if (body.size() - at < sizeof length) {
            return false;
        }
        std::memcpy(&length, body.data() + at, sizeof length);
        at += sizeof length;
        if (body.size() - at < length) {
            return false;
        }
        message.emplace_back(body, at, length);
        at += length;
    }
    return true;
}

void Close(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

// The words of the messages.
constexpr const char* kFile = "file";         // index, path
constexpr const char* kAnswer = "answer";     // "1" yes, "0" no
constexpr const char* kQuestion = "question"; // question, yes word, no word
constexpr const char* kEvent = "event";       // "1" failed or "0" processed, name, reason, pages
// index, processed, failed, "1" cancelled, "1" the run goes on, the journal of the file's
// record (empty for none), why the record could not be made (empty when it could)
constexpr const char* kDone = "done";
constexpr std::size_t kDoneFields = 8;

std::string Flag(bool value) { return value ? "1" : "0"; }

// A worker: applies the run to each file it is handed, until its command pipe ends.
[[noreturn]] void WorkerMain(ui::RunEngine& engine, TerminalUi& terminal, int commands,
                             int results) {
    // The process that started the run decides when to stop; the file in hand is finished.
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGTERM, SIG_IGN);
    std::signal(SIGPIPE, SIG_DFL);

    terminal.SetProgressHook([results](const ui::ProgressEvent& event) {
        if (event.What == ui::ProgressEvent::Kind::Processed ||
            event.What == ui::ProgressEvent::Kind::Failed) {
            Send(results, {kEvent, Flag(event.What == ui::ProgressEvent::Kind::Failed),
                           event.Name, event.Reason, std::to_string(event.Pages)});
        }
    });
    terminal.SetQuestionHook([&](const std::string& question, const std::string& yesWord,
                                 const std::string& noWord) {
        Message answer;
        return Send(results, {kQuestion, question, yesWord, noWord}) &&
               Receive(commands, answer) && answer.size() == 2 && answer[0] == kAnswer &&
               answer[1] == "1";
    });

    ui::ApplySettings& apply = engine.Apply();
    int status = 0;
    try {
        Message message;
        while (Receive(commands, message) && message.size() == 3 && message[0] == kFile) {
            apply.DocumentEntries = {message[2]};
            apply.UndoHistory.clear();
            engine.RunApply();
            const ui::RunCounts& counts = engine.LastRun();
            std::string journal;
            std::string journalError;
            if (!apply.UndoHistory.empty()) {
                JournalRecord record;
                record.Record = std::move(apply.UndoHistory.back());
                try {
                    KeepSecurityOf(record);
                    journal = FormatJournal({record});
                } catch (const std::exception& e) {
                    journalError = e.what();
                }
            }
            Message done = {kDone,
                            message[1],
                            std::to_string(counts.Processed),
                            std::to_string(counts.Failed),
                            Flag(counts.Cancelled),
                            Flag(engine.ContinueFlag()),
                            journal,
                            journalError};
            if (!Send(results, done)) {
                break;
            }
        }
    } catch (const std::exception& e) {
        std::cerr << "tesser: worker process: " << e.what() << std::endl;
        status = 3;
    }
    // No destructors: the objects belong to the process that forked this one (its journal lock
    // among them), and what it buffered is its own to write.
    ::_exit(status);
}

struct Worker {
    pid_t pid = -1;
    int commands = -1; // to the worker
    int results = -1;  // from it
    long file = -1;    // the index of the file in hand, -1 for none
    // The file in hand as shown: its number among the documents shown (-1 not yet shown), and
    // its Processed event, shown when the file is done unless a failure comes first.
    int shownIndex = -1;
    std::optional<ui::ProgressEvent> processed;
};

std::string HowItEnded(int status) {
    if (WIFSIGNALED(status)) {
        return "killed by signal " + std::to_string(WTERMSIG(status));
    }
    return "exit status " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
}

int ToInt(const std::string& text) {
    try {
        return std::stoi(text);
    } catch (const std::exception&) {
        return 0;
    }
}

// The run as this process sees it: hands out files, shows events, gathers records.
class Dispatcher {
public:
    Dispatcher(TerminalUi& terminal, const std::vector<std::string>& files)
        : terminal_(terminal), files_(files) {}

    void Start(ui::RunEngine& engine, int count) {
        std::cout.flush();
        std::cerr.flush();
        for (int i = 0; i < count; ++i) {
            int commands[2];
            int results[2];
            if (::pipe(commands) != 0) {
                break;
            }
            if (::pipe(results) != 0) {
                ::close(commands[0]);
                ::close(commands[1]);
                break;
            }
            const pid_t pid = ::fork();
            if (pid == 0) {
                for (Worker& other : workers_) {
                    Close(other.commands);
                    Close(other.results);
                }
                ::close(commands[1]);
                ::close(results[0]);
                WorkerMain(engine, terminal_, commands[0], results[1]);
            }
            ::close(commands[0]);
            ::close(results[1]);
            if (pid < 0) {
                ::close(commands[1]);
                ::close(results[0]);
                break;
            }
            Worker& worker = workers_.emplace_back();
            worker.pid = pid;
            worker.commands = commands[1];
            worker.results = results[0];
        }
        for (Worker& worker : workers_) {
            HandOut(worker);
        }
    }

    bool Started() const { return !workers_.empty(); }

    void Run() {
        for (;;) {
            if (AbortRequested() && !stopped_) {
                stopped_ = true;
                counts_.Aborted = true;
                ui::ProgressEvent event;
                event.What = ui::ProgressEvent::Kind::Aborted;
                event.Name = ui::kProcessAborted;
                terminal_.Progress(event);
            }
            std::vector<pollfd> polled;
            std::vector<Worker*> owners;
            for (Worker& worker : workers_) {
                if (worker.results >= 0) {
                    polled.push_back({worker.results, POLLIN, 0});
                    owners.push_back(&worker);
                }
            }
            if (polled.empty()) {
                return;
            }
            if (::poll(polled.data(), polled.size(), -1) < 0) {
                continue; // interrupted by Ctrl-C: seen at the top
            }
            for (std::size_t i = 0; i < polled.size(); ++i) {
                if (polled[i].revents != 0) {
                    Serve(*owners[i]);
                }
            }
        }
    }

    // The counts, and the record joined from the workers' records in the order of the list.
    ui::RunCounts Finish(ui::RunEngine& engine) {
        std::sort(records_.begin(), records_.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        if (!records_.empty()) {
            ui::UndoRecord joined = records_.front().second;
            joined.Entries.clear();
            for (auto& [index, record] : records_) {
                for (ui::UndoEntry& entry : record.Entries) {
                    joined.Entries.push_back(std::move(entry));
                }
            }
            engine.Apply().UndoHistory.push_back(std::move(joined));
        }
        return counts_;
    }

private:
    void HandOut(Worker& worker) {
        if (worker.commands < 0) {
            return;
        }
        if (!stopped_ && !AbortRequested() && next_ < files_.size() &&
            Send(worker.commands, {kFile, std::to_string(next_), files_[next_]})) {
            worker.file = static_cast<long>(next_++);
            return;
        }
        Close(worker.commands); // the worker ends
    }

    void Serve(Worker& worker) {
        Message message;
        if (!Receive(worker.results, message)) {
            Ended(worker);
            return;
        }
        if (message.size() == 4 && message[0] == kQuestion) {
            // Once the run stops, a question of another worker's document gets No unasked, as
            // no document after a No would be taken up in a run of one process.
            bool yes = false;
            if (stopped_) {
                std::cerr << message[1] << ' ' << message[3] << " (the run is stopping)"
                          << std::endl;
            } else {
                yes = terminal_.Ask(message[1], message[2], message[3]);
            }
            stopped_ = stopped_ || !yes;
            if (worker.commands < 0 || !Send(worker.commands, {kAnswer, Flag(yes)})) {
                Close(worker.commands);
            }
            return;
        }
        if (message.size() == 5 && message[0] == kEvent) {
            ui::ProgressEvent event;
            event.What = message[1] == "1" ? ui::ProgressEvent::Kind::Failed
                                           : ui::ProgressEvent::Kind::Processed;
            event.Name = message[2];
            event.Reason = message[3];
            event.Pages = ToInt(message[4]);
            if (event.What == ui::ProgressEvent::Kind::Processed) {
                worker.processed = std::move(event);
            } else if (worker.shownIndex < 0) { // a document's failure is told once
                worker.processed.reset();
                Show(worker, std::move(event));
            }
            return;
        }
        if (message.size() != kDoneFields || message[0] != kDone) {
            Ended(worker);
            return;
        }
        const std::size_t index = static_cast<std::size_t>(ToInt(message[1]));
        counts_.Processed += ToInt(message[2]);
        counts_.Failed += ToInt(message[3]);
        counts_.Cancelled = counts_.Cancelled || message[4] == "1";
        if (message[5] != "1") {
            stopped_ = true; // a No or a Cancel: the run stops
        }
        Record(worker, index, message[6], message[7]);
        if (worker.processed) {
            Show(worker, std::move(*worker.processed));
        }
        worker.processed.reset();
        worker.shownIndex = -1;
        worker.file = -1;
        HandOut(worker);
    }

    // A worker's record, with its kept security handed to this process's host.
    void Record(Worker& worker, std::size_t index, const std::string& journal,
                std::string error) {
        if (journal.empty() && error.empty()) {
            return;
        }
        if (error.empty()) {
            try {
                std::vector<JournalRecord> parsed = ParseJournal(journal);
                for (JournalRecord& record : parsed) {
                    RestoreKeptSecurity(record);
                    records_.emplace_back(index, std::move(record.Record));
                }
                return;
            } catch (const std::exception& e) {
                error = e.what();
            }
        }
        // Saved, but it cannot be undone: not a document processed as asked.
        if (worker.processed) {
            worker.processed.reset();
            counts_.Processed = std::max(0, counts_.Processed - 1);
            ++counts_.Failed;
        }
        ui::ProgressEvent event;
        event.What = ui::ProgressEvent::Kind::Failed;
        event.Name = files_[index];
        event.Reason = "it was saved, but its undo cannot be recorded: " + error;
        Show(worker, std::move(event));
    }

    // Shows an event of the worker's file: the file's first event gets the next number among the
    // documents shown; a later one (a failure after the file was counted) replaces its outcome.
    void Show(Worker& worker, ui::ProgressEvent event) {
        if (worker.shownIndex < 0) {
            worker.shownIndex = shown_++;
        }
        event.Index = worker.shownIndex;
        event.Total = static_cast<int>(files_.size());
        event.Processed = counts_.Processed;
        event.Failed = counts_.Failed;
        terminal_.Progress(event);
    }

    void Ended(Worker& worker) {
        Close(worker.results);
        Close(worker.commands);
        int status = 0;
        while (::waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (worker.file >= 0) {
            ui::ProgressEvent event;
            event.What = ui::ProgressEvent::Kind::Failed;
            event.Name = files_[static_cast<std::size_t>(worker.file)];
            event.Reason = "the worker process ended before the document was finished (" +
                           HowItEnded(status) + ")";
            ++counts_.Failed;
            worker.processed.reset();
            Show(worker, std::move(event));
            worker.file = -1;
        }
        worker.pid = -1;
    }

    TerminalUi& terminal_;
    const std::vector<std::string>& files_;
    std::vector<Worker> workers_;
    std::size_t next_ = 0;
    int shown_ = 0;
    bool stopped_ = false;
    ui::RunCounts counts_;
    std::vector<std::pair<std::size_t, ui::UndoRecord>> records_;
};

} // namespace

int WorkerCount(int jobs, std::size_t documents) {
    long count = jobs;
    if (count <= 0) {
        count = std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN));
    }
    return static_cast<int>(std::max(1L, std::min(count, static_cast<long>(documents))));
}

ui::RunCounts ApplyInWorkers(ui::RunEngine& engine, TerminalUi& terminal,
                             const std::vector<std::string>& files, int workers) {
    // A worker gone while this process writes to it must not end this process.
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, &previous);

    Dispatcher dispatcher(terminal, files);
    dispatcher.Start(engine, workers);
    ui::RunCounts counts;
    if (dispatcher.Started()) {
        dispatcher.Run();
        counts = dispatcher.Finish(engine);
    } else {
        // No process could be started: the run goes on in this one.
        engine.Apply().DocumentEntries = files;
        engine.RunApply();
        counts = engine.LastRun();
    }
    ::sigaction(SIGPIPE, &previous, nullptr);
    return counts;
}

} // namespace tesser::cli

#include "cli/Workers.h"

#include "cli/Journal.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <iostream>
#include <new>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/mman.h>
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
template <class Byte, class Step> bool Whole(Byte* data, std::size_t size, Step step) {
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
constexpr const char* kAnswer = "answer";     // "1" yes, "0" no
constexpr const char* kQuestion = "question"; // question, yes word, no word
constexpr const char* kFailed = "failed";     // the file's failure as it happens: reason
// The file is finished: index, processed, failed, "1" cancelled, "1" the run goes on, pages
// stamped (-1: no Processed event), the journal of the file's record (empty for none), why the
// record could not be made (empty when it could), not touched, the note of its Processed or
// NotTouched event, "1" the file was opened; then the names of the Tesserions that selected no
// page of it.
constexpr const char* kDone = "done";
constexpr std::size_t kDoneFields = 12;

std::string Flag(bool value) {
    return value ? "1" : "0";
}

// What the processes of a run share, in an anonymous shared mapping made before the workers are
// forked. words[0] is the list's next file: a worker takes up a file by incrementing it, never
// waiting for this process. The stop bit, set by this process (also from its Ctrl-C handler),
// ends the taking; both are changes of the one word, so a file taken after the stop sees it.
// words[1 + w] is the file worker w has in hand, plus one (0: none), for telling which file a
// worker that ended unexpectedly left.
using Word = std::atomic<std::uint32_t>;
constexpr std::uint32_t kStopBit = 1U << 31;
// Set while a worker's question is open: as in a run of one process, no further file is taken
// up until it is answered (and none after a No).
constexpr std::uint32_t kPauseBit = 1U << 30;
constexpr std::uint32_t kIndexMask = kPauseBit - 1;
static_assert(Word::is_always_lock_free);

class SharedWords {
public:
    explicit SharedWords(std::size_t count) : count_(count) {
        void* memory =
            ::mmap(nullptr, Bytes(), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) {
            return;
        }
        words_ = static_cast<Word*>(memory);
        for (std::size_t i = 0; i < count_; ++i) {
            new (&words_[i]) Word(0);
        }
    }
    ~SharedWords() {
        if (words_ != nullptr) {
            ::munmap(words_, Bytes());
        }
    }
    SharedWords(const SharedWords&) = delete;
    SharedWords& operator=(const SharedWords&) = delete;

    bool Mapped() const { return words_ != nullptr; }
    Word& Next() { return words_[0]; }
    Word& InHand(std::size_t worker) { return words_[1 + worker]; }

private:
    std::size_t Bytes() const { return count_ * sizeof(Word); }
    std::size_t count_;
    Word* words_ = nullptr;
};

// A worker: takes up the list's files one by one and applies the run to each, until the list
// ends or the run stops.
[[noreturn]] void WorkerMain(ui::RunEngine& engine, TerminalUi& terminal,
                             const std::vector<std::string>& files, SharedWords& shared,
                             std::size_t self, int commands, int results) {
    // The process that started the run decides when to stop; the file in hand is finished.
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGTERM, SIG_IGN);
    std::signal(SIGPIPE, SIG_DFL);

    // The file's outcome: a failure is sent at once (before the question that follows it), once;
    // the pages of a Processed event go with the done message.
    int pages = -1;
    bool failed = false;
    std::string note;
    terminal.SetProgressHook([&](const ui::ProgressEvent& event) {
        if (event.What == ui::ProgressEvent::Kind::Processed) {
            pages = event.Pages;
            note = event.Reason;
        } else if (event.What == ui::ProgressEvent::Kind::NotTouched) {
            note = event.Reason;
        } else if (event.What == ui::ProgressEvent::Kind::Failed && !failed) {
            failed = true;
            pages = -1;
            Send(results, {kFailed, event.Reason});
        }
    });
    terminal.SetQuestionHook([&](const std::string& question, const std::string& yesWord,
                                 const std::string& noWord) {
        Message answer;
        return Send(results, {kQuestion, question, yesWord, noWord}) && Receive(commands, answer) &&
               answer.size() == 2 && answer[0] == kAnswer && answer[1] == "1";
    });

    ui::ApplySettings& apply = engine.Apply();
    // Without the process that records the run nothing more is taken up (the file in hand is
    // finished; telling it then ends this process, as the pipe has no reader).
    const pid_t parent = ::getppid();
    int status = 0;
    try {
        for (;;) {
            if (::getppid() != parent) {
                break;
            }
            std::uint32_t word = shared.Next().fetch_add(1);
            while ((word & kPauseBit) != 0 && (word & kStopBit) == 0 && ::getppid() == parent) {
                ::usleep(5000);
                word = (word & kIndexMask) | (shared.Next().load() & (kPauseBit | kStopBit));
            }
            const std::uint32_t taken = word & kIndexMask;
            if ((word & kStopBit) != 0 || ::getppid() != parent || taken >= files.size()) {
                break;
            }
            shared.InHand(self).store(taken + 1);
            pages = -1;
            failed = false;
            note.clear();
            apply.DocumentEntries = {files[taken]};
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
                            std::to_string(taken),
                            std::to_string(counts.Processed),
                            std::to_string(counts.Failed),
                            Flag(counts.Cancelled),
                            Flag(engine.ContinueFlag()),
                            std::to_string(pages),
                            journal,
                            journalError,
                            std::to_string(counts.NotTouched),
                            note,
                            Flag(counts.OpenedAny)};
            done.insert(done.end(), counts.SelectedNothing.begin(), counts.SelectedNothing.end());
            const bool sent = Send(results, done);
            shared.InHand(self).store(0);
            if (!sent) {
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
    // The number the file in hand got among the documents shown (-1: not shown yet), and the
    // index of the last file the worker finished.
    int shownIndex = -1;
    long lastDone = -1;
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

// The run as this process sees it: starts the workers, shows the events, asks the questions,
// gathers the records.
class Dispatcher {
public:
    // files is copied: a worker's run replaces the engine's list, which the caller may pass.
    Dispatcher(TerminalUi& terminal, std::vector<std::string> files, int count)
        : terminal_(terminal), files_(std::move(files)), shared_(1 + count), count_(count) {}
    ~Dispatcher() { SetAbortWord(nullptr, 0); }
    Dispatcher(const Dispatcher&) = delete;
    Dispatcher& operator=(const Dispatcher&) = delete;

    void Start(ui::RunEngine& engine) {
        if (!shared_.Mapped()) {
            return;
        }
        // Ctrl-C ends the taking at once, also while this process waits for its turn.
        SetAbortWord(&shared_.Next(), kStopBit);
        std::cout.flush();
        std::cerr.flush();
        for (int i = 0; i < count_; ++i) {
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
                WorkerMain(engine, terminal_, files_, shared_, workers_.size(), commands[0],
                           results[1]);
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
    }

    bool Started() const { return !workers_.empty(); }

    void Run() {
        bool draining = false;
        for (;;) {
            if (AbortRequested() && !counts_.Aborted) {
                Stop();
                counts_.Aborted = true;
                ui::ProgressEvent event;
                event.What = ui::ProgressEvent::Kind::Aborted;
                event.Name = ui::kProcessAborted;
                terminal_.Progress(event);
            }
            std::vector<pollfd> polled;
            std::vector<std::size_t> owners;
            for (std::size_t w = 0; w < workers_.size(); ++w) {
                if (workers_[w].results >= 0) {
                    polled.push_back({workers_[w].results, POLLIN, 0});
                    owners.push_back(w);
                }
            }
            if (polled.empty()) {
                return;
            }
            // Every message read, this process waits a moment before it reads again while files
            // are left to take up: one wake-up serves the files finished meanwhile instead of one
            // each, which leaves the cores to the workers. A worker that asks a question waits
            // that moment at most; the last files of the list are seen as they finish.
            const int ready = ::poll(polled.data(), polled.size(), draining ? 0 : -1);
            if (ready < 0) {
                continue; // interrupted by Ctrl-C: seen at the top
            }
            if (ready == 0) {
                draining = false;
                if (FilesLeft()) {
                    timespec pause{0, kGatherNanoseconds};
                    ::nanosleep(&pause, nullptr); // Ctrl-C ends it early
                }
                continue;
            }
            draining = true;
            for (std::size_t i = 0; i < polled.size(); ++i) {
                if (polled[i].revents != 0) {
                    Serve(owners[i]);
                }
            }
        }
    }

    // The counts, and the record joined from the workers' records in the order of the list.
    ui::RunCounts Finish(ui::RunEngine& engine) {
        std::sort(records_.begin(), records_.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        if (!records_.empty()) {
            std::vector<ui::UndoEntry> entries;
            for (auto& [index, record] : records_) {
                for (ui::UndoEntry& entry : record.Entries) {
                    entries.push_back(std::move(entry));
                }
            }
            ui::UndoRecord joined = std::move(records_.front().second);
            joined.Entries = std::move(entries);
            engine.Apply().UndoHistory.push_back(std::move(joined));
        }
        return counts_;
    }

private:
    static constexpr long kGatherNanoseconds = 10'000'000;
    static constexpr int kMeanwhileReads = 64;

    // Whether the list has files no worker has taken up yet (none once the run stops).
    bool FilesLeft() {
        const std::uint32_t next = shared_.Next().load();
        return (next & kStopBit) == 0 && (next & kIndexMask) < files_.size();
    }

    // No file is taken up after this.
    void Stop() {
        shared_.Next().fetch_or(kStopBit);
        stopped_ = true;
    }

    // The file worker w has in hand, or -1.
    long InHand(std::size_t w) { return static_cast<long>(shared_.InHand(w).load()) - 1; }

    // Before a question is put, what the other workers have sent meanwhile (read late, as this
    // process gathers messages) is shown, so that the files finished before it come before it.
    // Bounded: a worker that keeps finishing files does not keep the question waiting.
    void ShowFinishedMeanwhile(std::size_t asking) {
        for (std::size_t w = 0; w < workers_.size(); ++w) {
            if (w == asking) {
                continue;
            }
            for (int read = 0; read < kMeanwhileReads && workers_[w].results >= 0; ++read) {
                pollfd ready{workers_[w].results, POLLIN, 0};
                if (::poll(&ready, 1, 0) != 1) {
                    break;
                }
                Serve(w);
            }
        }
    }

    void Serve(std::size_t w) {
        Worker& worker = workers_[w];
        Message message;
        if (!Receive(worker.results, message)) {
            Ended(w);
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
                ShowFinishedMeanwhile(w);
                shared_.Next().fetch_or(kPauseBit);
                yes = terminal_.Ask(message[1], message[2], message[3]);
            }
            if (!yes) {
                Stop(); // before the answer: the asking worker takes up nothing more
            } else {
                shared_.Next().fetch_and(~kPauseBit);
            }
            if (worker.commands < 0 || !Send(worker.commands, {kAnswer, Flag(yes)})) {
                Close(worker.commands);
            }
            return;
        }
        if (message.size() == 2 && message[0] == kFailed) {
            const long file = InHand(w);
            if (file >= 0) {
                Show(worker, ui::ProgressEvent::Kind::Failed, files_[file], message[1]);
            }
            return;
        }
        if (message.size() < kDoneFields || message[0] != kDone) {
            Ended(w);
            return;
        }
        const auto index = static_cast<std::size_t>(ToInt(message[1]));
        if (index >= files_.size()) {
            Ended(w);
            return;
        }
        counts_.Processed += ToInt(message[2]);
        counts_.Failed += ToInt(message[3]);
        counts_.Cancelled = counts_.Cancelled || message[4] == "1";
        if (message[5] != "1") {
            Stop(); // a No or a Cancel: the run stops
        }
        const int pages = ToInt(message[6]);
        const int notTouched = ToInt(message[9]);
        counts_.NotTouched += notTouched;
        if (notTouched > 0) {
            Show(worker, ui::ProgressEvent::Kind::NotTouched, files_[index], message[10]);
        } else if (Record(worker, index, message[7], message[8]) && pages >= 0) {
            Show(worker, ui::ProgressEvent::Kind::Processed, files_[index], message[10], pages);
        }
        if (message[11] == "1") {
            // A Tesserion selected nothing in the run when it selected nothing in every file.
            const std::vector<std::string> none(message.begin() + kDoneFields, message.end());
            if (!counts_.OpenedAny) {
                counts_.OpenedAny = true;
                counts_.SelectedNothing = none;
            } else {
                std::erase_if(counts_.SelectedNothing, [&](const std::string& name) {
                    return std::find(none.begin(), none.end(), name) == none.end();
                });
            }
        }
        worker.lastDone = static_cast<long>(index);
        worker.shownIndex = -1;
    }

    // A worker's record, with its kept security handed to this process's host. False when the
    // file was saved but its record cannot be kept (told as the file's failure).
    bool Record(Worker& worker, std::size_t index, const std::string& journal, std::string error) {
        if (journal.empty() && error.empty()) {
            return true;
        }
        if (error.empty()) {
            try {
                std::vector<JournalRecord> parsed = ParseJournal(journal);
                for (JournalRecord& record : parsed) {
                    RestoreKeptSecurity(record);
                    records_.emplace_back(index, std::move(record.Record));
                }
                return true;
            } catch (const std::exception& e) {
                error = e.what();
            }
        }
        // Saved, but it cannot be undone: not a document processed as asked.
        if (counts_.Processed > 0) {
            --counts_.Processed;
        }
        ++counts_.Failed;
        Show(worker, ui::ProgressEvent::Kind::Failed, files_[index],
             "it was saved, but its undo cannot be recorded: " + error);
        return false;
    }

    // Shows an event of the worker's file in hand: the file's first event gets the next number
    // among the documents shown, a later one the same.
    void Show(Worker& worker, ui::ProgressEvent::Kind what, const std::string& name,
              const std::string& reason, int pages = 0) {
        if (worker.shownIndex < 0) {
            worker.shownIndex = shown_++;
        }
        ui::ProgressEvent event;
        event.What = what;
        event.Name = name;
        event.Reason = reason;
        event.Pages = pages;
        event.Index = worker.shownIndex;
        event.Total = static_cast<int>(files_.size());
        event.Processed = counts_.Processed;
        event.Failed = counts_.Failed;
        event.NotTouched = counts_.NotTouched;
        terminal_.Progress(event);
    }

    void Ended(std::size_t w) {
        Worker& worker = workers_[w];
        Close(worker.results);
        Close(worker.commands);
        int status = 0;
        while (::waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
        }
        worker.pid = -1;
        const long file = InHand(w);
        if (file >= 0 && file != worker.lastDone) {
            ++counts_.Failed;
            Show(worker, ui::ProgressEvent::Kind::Failed, files_[file],
                 "the worker process ended before the document was finished (" +
                     HowItEnded(status) + ")");
        }
    }

    TerminalUi& terminal_;
    const std::vector<std::string> files_;
    SharedWords shared_;
    int count_;
    std::vector<Worker> workers_;
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

    Dispatcher dispatcher(terminal, files, workers);
    dispatcher.Start(engine);
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

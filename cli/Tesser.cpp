#include "cli/Tesser.h"

#include "cli/Journal.h"
#include "cli/JsonText.h"
#include "cli/Options.h"
#include "cli/ProfileAccess.h"
#include "cli/StampOptions.h"
#include "cli/TerminalText.h"
#include "cli/TerminalUi.h"
#include "cli/Workers.h"
#include "docsettings/DocumentInfo.h"
#include "docsettings/InitialView.h"
#include "docsettings/SecuritySettings.h"
#include "host/Host.h"
#include "hostcalls/HostCalls.h"
#include "model/Profile.h"
#include "model/TesserionStore.h"
#include "model/TextEncoding.h"
#include "model/Validation.h"
#include "stamp/ContentStream.h"
#include "ui/DocumentEntries.h"
#include "ui/RunEngine.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace tesser::cli {

namespace fs = std::filesystem;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitSomeFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInternal = 3;
constexpr int kExitInterrupted = 130; // 128 + SIGINT, as shells report it

// A failure found before anything was touched.
class SetupError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string ToWindows1252(const std::string& what, const std::string& utf8) {
    try {
        return model::Utf8ToWindows1252(utf8);
    } catch (const model::TextEncodingError& e) {
        throw SetupError(what + ": " + e.what());
    }
}

std::vector<std::string> FilesOfEntry(const std::string& entry) {
    if (!ui::IsFolderEntry(entry)) {
        return {entry};
    }
    std::vector<std::string> files;
    for (const std::string& name : ui::ListFolder(entry).PdfFiles) {
        files.push_back(entry + name);
    }
    return files;
}

// A file or folder as the file system knows it: whatever path or link names it, the same device
// and inode is the same file.
struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    auto operator<=>(const FileId&) const = default;
};

std::optional<FileId> IdOf(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return FileId{st.st_dev, st.st_ino};
}

// The files the entries stand for, each once, in the order the run takes them: a file reached
// again (named twice, through its folder, through a link) is dropped. A folder that cannot be
// listed and a file that cannot be looked at stay as they are, for the run to report.
// A folder that holds no PDF file is added to empty.
std::vector<std::string> DistinctFiles(const std::vector<std::string>& entries,
                                       std::vector<std::string>& empty) {
    std::vector<std::string> files;
    std::set<FileId> seen;
    auto add = [&](const std::string& file) {
        const std::optional<FileId> id = IdOf(file);
        if (!id || seen.insert(*id).second) {
            files.push_back(file);
        }
    };
    for (const std::string& entry : entries) {
        if (!ui::IsFolderEntry(entry)) {
            add(entry);
            continue;
        }
        const ui::FolderListing listing = ui::ListFolder(entry);
        if (listing.Error) {
            files.push_back(entry);
            continue;
        }
        if (listing.PdfFiles.empty()) {
            empty.push_back(entry);
        }
        for (const std::string& name : listing.PdfFiles) {
            add(entry + name);
        }
    }
    return files;
}

// Refuses a place the run writes to (the output folder, the print file or folder) that would
// replace one of the run's own files.
void RefuseWritingOverInputs(const std::vector<std::string>& entries, const fs::path& target,
                             const std::string& what) {
    const std::optional<FileId> targetId = IdOf(target);
    if (!targetId) {
        return; // not there yet: it cannot be one of the inputs
    }
    std::error_code error;
    const bool folder = fs::is_directory(target, error);
    for (const std::string& entry : entries) {
        for (const std::string& file : FilesOfEntry(entry)) {
            const fs::path source(file);
            const std::optional<FileId> sourceId = IdOf(source);
            if (!sourceId) {
                continue; // the run reports it
            }
            if (sourceId == targetId) {
                throw SetupError(what + " " + target.string() + " is the input " + file +
                                 ": the result would replace it");
            }
            if (folder && (IdOf(source.parent_path()) == targetId ||
                           IdOf(target / source.filename()) == sourceId)) {
                throw SetupError(what + " " + target.string() + " is the folder of the input " +
                                 file + ": its result would replace it");
            }
        }
    }
}

// Absolute paths; a folder gets its trailing "/".
std::vector<std::string> DocumentEntries(const std::vector<std::string>& paths) {
    std::vector<std::string> entries;
    for (const std::string& path : paths) {
        std::error_code error;
        const fs::file_status status = fs::status(path, error);
        if (error || !fs::exists(status)) {
            throw SetupError("no such file or folder: " + path);
        }
        std::string absolute = fs::absolute(path).lexically_normal().string();
        if (fs::is_directory(status)) {
            if (absolute.empty() || absolute.back() != '/') {
                absolute += '/';
            }
        } else {
            while (absolute.size() > 1 && absolute.back() == '/') {
                absolute.pop_back();
            }
        }
        if (std::find(entries.begin(), entries.end(), absolute) == entries.end()) {
            entries.push_back(absolute);
        }
    }
    return entries;
}

std::string ReadStdinLine() {
    std::string line;
    if (!std::getline(std::cin, line)) {
        return {};
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

std::string AskNewPassword(const std::string& what) {
    const std::string first = ReadPasswordFromTerminal("New password to " + what + ": ");
    const std::string second = ReadPasswordFromTerminal("The same again: ");
    if (first != second) {
        throw SetupError("the two entries of the password to " + what + " differ");
    }
    return first;
}

struct Passwords {
    std::string current, open, owner; // UTF-8
};

Passwords GatherPasswords(const CliOptions& o) {
    Passwords p;
    p.current = o.currentPassword.value_or("");
    p.open = o.openPassword.value_or("");
    p.owner = o.ownerPassword.value_or("");
    if (o.passwordStdin) {
        const std::string current = ReadStdinLine();
        if (!o.currentPassword) {
            p.current = current;
        }
        if (o.changeSecurity) {
            const std::string open = ReadStdinLine();
            const std::string owner = ReadStdinLine();
            if (!o.openPassword) {
                p.open = open;
            }
            if (!o.ownerPassword) {
                p.owner = owner;
            }
        }
    } else if (o.askPasswords) {
        try {
            if (!o.currentPassword) {
                p.current = ReadPasswordFromTerminal("Current password (empty for none): ");
            }
            if (o.changeSecurity && !o.openPassword) {
                p.open = AskNewPassword("open the documents (empty for none)");
            }
            if (o.changeSecurity && !o.ownerPassword) {
                p.owner = AskNewPassword("change the security options (empty for none)");
            }
        } catch (const SetupError&) {
            throw;
        } catch (const std::exception& e) {
            throw SetupError(e.what());
        }
    }
    return p;
}

void FillSettings(const CliOptions& o, const Passwords& passwords, ui::RunEngine& engine) {
    using docsettings::InfoItem;
    docsettings::InfoSettings& info = engine.Info();
    auto setInfo = [&](const std::optional<std::string>& value, bool& flag, InfoItem item) {
        if (!value) {
            return;
        }
        try {
            docsettings::SetInfoTextFromUtf8(info, item, *value);
        } catch (const std::exception& e) {
            throw SetupError(e.what());
        }
        flag = true;
    };
    setInfo(o.title, info.SetTitle, InfoItem::Title);
    setInfo(o.subject, info.SetSubject, InfoItem::Subject);
    setInfo(o.author, info.SetAuthor, InfoItem::Author);
    setInfo(o.keywords, info.SetKeywords, InfoItem::Keywords);
    setInfo(o.indexFile, info.SetIndex, InfoItem::IndexFile);
    setInfo(o.baseUrl, info.SetBaseURL, InfoItem::BaseURL);

    docsettings::OpenSettings& open = engine.Open();
    open.Page = o.openPage;
    open.View = o.view;
    open.Zoom = o.zoom;
    open.Layout = o.layout;
    open.FitWindow = o.fitWindow;
    open.CenterWindow = o.centerWindow;
    open.FullScreen = o.fullScreen;
    open.HideToolBar = o.hideToolBar;
    open.HideMenuBar = o.hideMenuBar;
    open.HideWindowUI = o.hideWindowUI;

    docsettings::SecuritySettings& security = engine.Security();
    using docsettings::PasswordItem;
    try {
        docsettings::SetPasswordFromUtf8(security, PasswordItem::Current, passwords.current);
        docsettings::SetPasswordFromUtf8(security, PasswordItem::Open, passwords.open);
        docsettings::SetPasswordFromUtf8(security, PasswordItem::Owner, passwords.owner);
    } catch (const std::exception& e) {
        throw SetupError(e.what());
    }
    security.ChangeSecurity = o.changeSecurity;
    security.Permissions = static_cast<std::uint32_t>(o.permissions);
}

int ListTesserions(const CliOptions& o, const LoadedProfile& loaded) {
    if (o.json) {
        std::string json =
            JsonStart("list") + ", \"profile\": " + JsonString(loaded.Path.string()) +
            ", \"exists\": " + (loaded.Exists ? "true" : "false") + ", \"tesserions\": [";
        bool first = true;
        for (const auto& [name, stored] : loaded.Tesserions) {
            model::Tesserion copy = stored;
            const std::optional<std::string> word = model::ValidateTesserion(copy);
            json += std::string(first ? "\n  " : ",\n  ") +
                    "{\"name\": " + JsonString(model::Windows1252ToUtf8(name)) +
                    ", \"valid\": " + (word ? "false, \"invalid\": " + JsonString(*word) : "true") +
                    "}";
            first = false;
        }
        std::cout << json << (first ? "]}\n" : "\n]}\n") << std::flush;
        return loaded.Exists ? kExitOk : kExitSomeFailed;
    }
    if (!loaded.Exists) {
        std::cerr << "tesser: no profile at " << loaded.Path.string()
                  << " (define a Tesserion with --text ... --save-as NAME, or give -p FILE)"
                  << std::endl;
        return kExitSomeFailed;
    }
    if (loaded.Tesserions.Empty()) {
        std::cout << "No Tesserions in " << loaded.Path.string() << "\n";
        return kExitOk;
    }
    for (const auto& [name, stored] : loaded.Tesserions) {
        model::Tesserion copy = stored;
        const std::optional<std::string> word = model::ValidateTesserion(copy);
        std::cout << model::Windows1252ToUtf8(name) << ": "
                  << (word ? "invalid (the " + *word + " is invalid)" : std::string("valid"))
                  << "\n";
    }
    return kExitOk;
}

// Checks the chosen names before anything is touched; answers them in Windows-1252.
std::vector<std::string> ChooseTesserions(const CliOptions& o, const LoadedProfile& loaded) {
    std::vector<std::string> names;
    for (const std::string& utf8 : o.tesserions) {
        const std::string name = ToWindows1252("Tesserion name", utf8);
        model::Tesserion copy = FindTesserion(loaded, name);
        if (const std::optional<std::string> word = model::ValidateTesserion(copy)) {
            std::string message =
                model::Windows1252ToUtf8(model::InvalidTesserionMessage(name, *word));
            while (!message.empty() && message.back() == '\n') {
                message.pop_back();
            }
            for (std::size_t at = message.find('\n'); at != std::string::npos;
                 at = message.find('\n', at)) {
                message.replace(at, 1, ": ");
            }
            throw SetupError(message);
        }
        names.push_back(name);
    }
    return names;
}

int ExitStatus(const ui::RunCounts& counts) {
    if (counts.Aborted && AbortRequested()) {
        return kExitInterrupted;
    }
    return counts.Failed > 0 || counts.Aborted || counts.Cancelled || counts.NotStarted ||
                   !counts.SelectedNothing.empty()
               ? kExitSomeFailed
               : kExitOk;
}

// The last line of a run: its counts; with --json, the run as one object on standard output.
void Summarise(const CliOptions& o, const TerminalUi& terminal, const ui::RunCounts& counts,
               const char* mode, std::optional<std::int64_t> journalId) {
    const int skipped = terminal.Skipped();
    if (!o.quiet) {
        for (const std::string& name : counts.SelectedNothing) {
            std::cerr << "tesser: \"" << name << "\" selected no page of any document" << std::endl;
        }
        std::cerr << "tesser: " << counts.Processed << " processed, " << counts.Failed
                  << " failed, ";
        if (counts.NotTouched > 0) {
            std::cerr << counts.NotTouched << " not touched, ";
        }
        std::cerr << skipped << " skipped";
        if (counts.Aborted) {
            std::cerr << " (stopped by the user)";
        }
        if (counts.Cancelled) {
            std::cerr << " (cancelled at the crop-box warning)";
        }
        std::cerr << std::endl;
    }
    if (!o.json) {
        return;
    }
    std::string json = JsonStart(mode) + ", \"documents\": [";
    bool first = true;
    for (const DocumentOutcome& d : terminal.Outcomes()) {
        json += first ? "\n  " : ",\n  ";
        first = false;
        json += "{" + JsonPath(d.Name) + ", \"outcome\": " +
                JsonString(d.Failed       ? "failed"
                           : d.NotTouched ? "not touched"
                                          : "processed");
        if (d.Failed || d.NotTouched || !d.Reason.empty()) {
            json += ", \"reason\": " + JsonString(d.Reason);
        }
        json += "}";
    }
    json += first ? "]" : "\n]";
    json += ", \"processed\": " + std::to_string(counts.Processed) +
            ", \"failed\": " + std::to_string(counts.Failed) +
            ", \"not_touched\": " + std::to_string(counts.NotTouched) +
            ", \"selected_nothing\": [" + JsonList(counts.SelectedNothing) + "]" +
            ", \"skipped\": " + std::to_string(skipped) +
            ", \"aborted\": " + (counts.Aborted ? "true" : "false") +
            ", \"cancelled\": " + (counts.Cancelled ? "true" : "false") +
            ", \"journal_id\": " + (journalId ? std::to_string(*journalId) : "null") + "}\n";
    std::cout << json << std::flush;
}

// Maps each source file to DIR/<its name>; refuses two sources with the same name.
void SetUpOutputDir(const CliOptions& o, ui::RunEngine& engine) {
    const fs::path dir = fs::absolute(*o.outputDir).lexically_normal();
    RefuseWritingOverInputs(engine.Apply().DocumentEntries, dir, "the output folder");
    std::error_code error;
    fs::create_directories(dir, error);
    if (error || !fs::is_directory(dir)) {
        throw SetupError("cannot create the output folder " + dir.string() +
                         (error ? ": " + error.message() : std::string()));
    }
    std::map<std::string, std::string> seen;
    for (const std::string& entry : engine.Apply().DocumentEntries) {
        for (const std::string& file : FilesOfEntry(entry)) {
            const std::string name = fs::path(file).filename().string();
            auto [it, added] = seen.emplace(name, file);
            if (!added && it->second != file) {
                throw SetupError("both " + it->second + " and " + file + " would be written to " +
                                 (dir / name).string());
            }
        }
    }
    engine.SetSavePathMapper(
        [dir](const std::string& source) { return (dir / fs::path(source).filename()).string(); });
}

void SetCurrentPassword(const Passwords& passwords, ui::RunEngine& engine) {
    try {
        docsettings::SetPasswordFromUtf8(engine.Security(), docsettings::PasswordItem::Current,
                                         passwords.current);
    } catch (const std::exception& e) {
        throw SetupError(e.what());
    }
}

// The journal's records; a damaged journal is put aside (saying where) and a new one begun.
std::vector<JournalRecord> LoadJournal(const Journal& journal) {
    std::string notice;
    std::vector<JournalRecord> records = journal.LoadOrSetAside(notice);
    const std::string recovered = journal.RecoverPending(records);
    if (!recovered.empty()) {
        notice += (notice.empty() ? "" : "\n") + recovered;
    }
    std::istringstream lines(notice);
    for (std::string line; std::getline(lines, line);) {
        std::cerr << "tesser: undo journal: " << line << std::endl;
    }
    return records;
}

// A generous guess at the journal's size after the run, before any document is touched: the
// journal as it is on disk, and the new record (one entry per file with the run's settings)
// counted twice, for the values the run will capture from the documents.
std::size_t ExpectedJournalSize(const Journal& journal, ui::RunEngine& engine) {
    JournalRecord next;
    for (const std::string& name : engine.Apply().NamesToApply) {
        if (const model::Tesserion* t = engine.Tesserions().Find(name)) {
            next.Record.Tesserions.push_back(*t);
        }
    }
    next.Record.ReopenPassword = engine.Security().OwnerPassword + engine.Security().OpenPassword +
                                 engine.Security().CurrentPassword;
    for (const std::string& entry : engine.Apply().DocumentEntries) {
        for (const std::string& file : FilesOfEntry(entry)) {
            ui::UndoEntry& e = next.Record.Entries.emplace_back();
            e.Name = file;
            e.Info = engine.Info();
            e.Open = engine.Open();
            e.Security = engine.Security();
            e.SkippedPages.resize(next.Record.Tesserions.size());
            e.Fingerprint = {~0ULL, ~0ULL};
        }
    }
    std::error_code absent;
    const std::uintmax_t onDisk = std::filesystem::file_size(journal.Path(), absent);
    return (absent ? 0 : static_cast<std::size_t>(onDisk)) + 2 * FormatJournal({next}).size();
}

// -o: a file for a run over one input file when PATH is not a folder, else a folder.
void ResolveOutput(CliOptions& o, const std::vector<std::string>& files) {
    if (!o.output) {
        return;
    }
    std::error_code error;
    const std::string& path = *o.output;
    const bool folderName = !path.empty() && path.back() == '/';
    if (files.size() == 1 && !ui::IsFolderEntry(files[0]) && !folderName &&
        !fs::is_directory(path, error)) {
        o.outputFile = path;
    } else {
        o.outputDir = path;
    }
    o.output.reset();
}

void SetUpOutputFile(const CliOptions& o, ui::RunEngine& engine) {
    const std::vector<std::string>& entries = engine.Apply().DocumentEntries;
    if (entries.size() != 1 || ui::IsFolderEntry(entries[0])) {
        throw SetupError("--output FILE takes one input file; use --output-dir DIR for several");
    }
    const fs::path target = fs::absolute(*o.outputFile).lexically_normal();
    RefuseWritingOverInputs(entries, target, "the output file");
    std::error_code error;
    if (fs::is_directory(target, error)) {
        throw SetupError("the output file " + target.string() + " is a folder");
    }
    if (!fs::is_directory(target.parent_path(), error)) {
        throw SetupError("the output file " + target.string() +
                         " is in a folder that does not "
                         "exist");
    }
    const std::string file = target.string();
    engine.SetSavePathMapper([file](const std::string&) { return file; });
}

// Page numbers as ranges: "1-3, 5, 7-9".
std::string PageList(const std::vector<int>& pages) {
    std::string out;
    for (std::size_t i = 0; i < pages.size();) {
        std::size_t j = i;
        while (j + 1 < pages.size() && pages[j + 1] == pages[j] + 1) {
            ++j;
        }
        out += (out.empty() ? "" : ", ") + std::to_string(pages[i]);
        if (j > i) {
            out += "-" + std::to_string(pages[j]);
        }
        i = j + 1;
    }
    return out.empty() ? "none" : out;
}

// The fields of one page, for showing the text a stamp would get without opening the document
// through the host.
class KnownFields final : public stamp::FieldSource {
public:
    KnownFields(std::int64_t page, std::int64_t count) : page_(page), count_(count) {}
    bool PageNumber(std::int64_t& number) override { return (number = page_), true; }
    bool PageCount(std::int64_t& count) override { return (count = count_), true; }
    void Alert(const std::string& message) override { alert_ = message; }
    const std::string& LastAlert() const { return alert_; }

private:
    std::int64_t page_, count_;
    std::string alert_;
};

// --dry-run: what the run would do to each document, on standard output; nothing is written.
// The authorisation a dry run opens files with: the current password, no permission needed.
HBool OpenWithPassword(HDoc doc, void* password) {
    try {
        hostcalls::Authorise(doc, 0, *static_cast<const std::string*>(password));
        return 1;
    } catch (...) {
        return 0;
    }
}

// The host's messages during a dry run, kept for the file's lines. A question is not asked: it
// is answered as --yes or --no would answer it, and otherwise taken as "continue", so that the
// rest of the run can be shown.
class DryRunSink final : public host::MessageSink {
public:
    explicit DryRunSink(Answer answer) : answer_(answer) {}
    int32_t ShowAlert(int32_t, const std::string& message,
                      const std::vector<std::string>&) override {
        said.push_back(message);
        return 1;
    }
    int32_t ConfirmAlert(const std::string& message) override {
        asked.push_back(message);
        return answer_ == Answer::No ? 0 : 1;
    }
    void ShowNote(const std::string& message) override { said.push_back(message); }

    std::vector<std::string> said, asked; // Windows-1252, as the host has them

private:
    Answer answer_;
};

// A message of several lines as one line of UTF-8 text: its lines joined, each ending in a stop.
std::string OneLineText(const std::string& windows1252) {
    std::istringstream lines(model::Windows1252ToUtf8(windows1252));
    std::string text;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty()) {
            continue;
        }
        if (!text.empty() && std::string_view(".?!:").find(text.back()) == std::string::npos) {
            text += '.';
        }
        text += (text.empty() ? "" : " ") + line;
    }
    return text;
}

// What a dry run says, as lines of text or, with --json, as one JSON object at the end.
class DryReport {
public:
    explicit DryReport(bool json) : json_(json) {}

    void Document(std::size_t index, std::size_t total, const std::string& file) {
        CloseDocument();
        if (json_) {
            doc_ = "{" + JsonPath(file);
        } else {
            std::cout << "[" << index + 1 << "/" << total << "] " << Shown(file);
        }
    }
    void OpenFailed(const std::string& reason) {
        if (json_) {
            doc_ += ", \"outcome\": \"fail\", \"reason\": " + JsonString(reason);
        } else {
            std::cout << ": would fail: " << Shown(reason) << "\n";
        }
    }
    void Pages(int pages) {
        if (json_) {
            doc_ += ", \"pages\": " + std::to_string(pages);
        } else {
            std::cout << ": " << pages << " page" << (pages == 1 ? "" : "s") << "\n";
        }
    }
    // page 0: the stamp selects no page.
    void Stamp(const std::string& name, const std::string& pages, int page,
               const std::string& reads) {
        if (json_) {
            stamps_ += std::string(stamps_.empty() ? "" : ", ") + "{\"name\": " + JsonString(name) +
                       ", \"pages\": " + JsonString(pages) +
                       (page > 0 ? ", \"page\": " + std::to_string(page) +
                                       ", \"reads\": " + JsonString(reads)
                                 : std::string()) +
                       "}";
            return;
        }
        std::cout << "  stamp " << name << " on pages " << pages;
        if (page > 0) {
            std::cout << "; page " << page << " reads \"" << reads << "\"";
        }
        std::cout << "\n";
    }
    void Set(const std::string& settings) {
        if (json_) {
            doc_ += ", \"set\": " + JsonString(settings);
        } else {
            std::cout << "  set " << settings << "\n";
        }
    }
    void Says(const std::string& message) { Line(says_, "would say: ", message, ""); }
    void Asks(const std::string& question, const std::string& answered) {
        Line(asks_, "would ask: ", question, answered);
    }
    void Outcome(const char* outcome, const std::string& reason) {
        if (json_) {
            doc_ += std::string(", \"outcome\": \"") + outcome + "\"" +
                    (reason.empty() ? "" : ", \"reason\": " + JsonString(reason));
        }
    }
    void Text(const std::string& line) {
        if (!json_) {
            std::cout << line << "\n";
        }
    }
    void SaveTo(const std::string& path, bool partial) {
        if (json_) {
            doc_ += ", \"save_to\": " + JsonString(path) + (partial ? ", \"partial\": true" : "");
        } else {
            std::cout << "  save to " << Shown(path)
                      << (partial ? " (with the pages that could be stamped)" : "") << "\n";
        }
    }
    void SelectsNothing(const std::string& name) {
        if (json_) {
            nothing_ += std::string(nothing_.empty() ? "" : ", ") + JsonString(name);
        } else {
            std::cout << "\"" << name << "\" would select no page of any document\n";
        }
    }
    void Finish(int failed) {
        CloseDocument();
        if (json_) {
            std::cout << JsonStart("dry-run") << ", \"documents\": [" << documents_
                      << (documents_.empty() ? "]" : "\n]") << ", \"selected_nothing\": ["
                      << nothing_ << "], \"failed\": " << failed << ", \"written\": false}\n"
                      << std::flush;
        } else {
            std::cout << "Dry run: nothing was written and nothing recorded.\n";
        }
    }

private:
    void Line(std::string& list, const char* lead, const std::string& text,
              const std::string& answered) {
        if (json_) {
            list += std::string(list.empty() ? "" : ", ") + JsonString(text);
        } else {
            std::cout << "  " << lead << Shown(text) << answered << "\n";
        }
    }
    void CloseDocument() {
        if (!json_ || doc_.empty()) {
            return;
        }
        doc_ += ", \"stamps\": [" + stamps_ + "], \"says\": [" + says_ + "], \"asks\": [" + asks_ +
                "]}";
        documents_ += (documents_.empty() ? "\n  " : ",\n  ") + doc_;
        doc_.clear();
        stamps_.clear();
        says_.clear();
        asks_.clear();
    }

    bool json_;
    std::string documents_, doc_, stamps_, says_, asks_, nothing_;
};

int DryRun(const CliOptions& o, ui::RunEngine& engine, host::Host& host, host::MessageSink& sink) {
    std::vector<model::Tesserion> chosen;
    for (const std::string& name : engine.Apply().NamesToApply) {
        chosen.push_back(*engine.Tesserions().Find(name));
    }
    std::string settings;
    auto add = [&settings](const std::string& what) {
        settings += (settings.empty() ? "" : ", ") + what;
    };
    if (o.title)
        add("Title");
    if (o.subject)
        add("Subject");
    if (o.author)
        add("Author");
    if (o.keywords)
        add("Keywords");
    if (o.indexFile)
        add("search index");
    if (o.baseUrl)
        add("base URL");
    if (o.HasOpenSettings())
        add("initial view");
    if (o.HasSecuritySettings())
        add("security");
    const std::time_t now = std::time(nullptr);
    const std::vector<std::string>& files = engine.Apply().DocumentEntries;
    DryRunSink dry(o.answer);
    host.SetMessageSink(&dry);
    struct Restore {
        host::Host& host;
        host::MessageSink& sink;
        ~Restore() { host.SetMessageSink(&sink); }
    } restore{host, sink};
    DryReport report(o.json);
    std::vector<bool> selectedSomewhere(chosen.size(), false);
    bool openedAny = false;
    int failed = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string& file = files[i];
        report.Document(i, files.size(), file);
        int pages = 0;
        try {
            // Through the host, as the run would open it: the same repairs, the same password.
            const HFileSys fileSystem = hostcalls::GetDefaultFileSystem();
            hostcalls::PathHandle path(fileSystem,
                                       hostcalls::PathFromPlatformPath(fileSystem, file));
            std::string password = engine.Security().CurrentPassword;
            hostcalls::DocumentHandle doc(hostcalls::OpenDocument(
                path.get(), fileSystem, &OpenWithPassword, &password, false));
            pages = hostcalls::GetPageCount(doc.get());
        } catch (const std::exception& e) {
            report.OpenFailed(e.what());
            ++failed;
            continue;
        }
        report.Pages(pages);
        for (std::size_t k = 0; k < chosen.size(); ++k) {
            const model::Tesserion& t = chosen[k];
            std::vector<int> selected;
            for (int n = 1; n <= pages; ++n) {
                if (t.Pages.IncludesPage(n)) {
                    selected.push_back(n);
                }
            }
            std::string text;
            if (!selected.empty()) {
                KnownFields fields(selected.front(), pages);
                std::size_t pos = 0;
                bool ok = true;
                while (pos < t.Text.size()) {
                    if (pos > 0) {
                        text += "\\n";
                    }
                    text += stamp::ReadLine(t.Text, pos, fields, now, ok);
                }
            }
            report.Stamp(model::Windows1252ToUtf8(t.Name), PageList(selected),
                         selected.empty() ? 0 : selected.front(), model::Windows1252ToUtf8(text));
        }
        if (!settings.empty()) {
            report.Set(settings);
        }

        // The run's own steps on the document in memory, and the checks of its save.
        dry.said.clear();
        dry.asked.clear();
        const ui::RunEngine::DryOutcome outcome = engine.CheckDocument(file, now);
        for (const std::string& message : dry.said) {
            report.Says(OneLineText(message));
        }
        for (const std::string& question : dry.asked) {
            report.Asks(OneLineText(question), o.answer == Answer::Yes  ? " (--yes: continue)"
                                               : o.answer == Answer::No ? " (--no: cancel)"
                                                                        : "");
        }
        if (outcome.Cancelled) {
            report.Outcome("cancel", "");
            report.Text("  would cancel: the run would stop, leaving this document as it is");
            break;
        }
        openedAny = openedAny || outcome.Opened;
        for (std::size_t k = 0; k < chosen.size() && k < outcome.Selected.size(); ++k) {
            selectedSomewhere[k] = selectedSomewhere[k] || outcome.Selected[k];
        }
        if (!outcome.Failure.empty()) {
            report.Outcome("fail", outcome.Failure);
            report.Text("  would fail: " + Shown(outcome.Failure));
            if (outcome.Saved) {
                // As the run does: what could be stamped is saved, and the file counts as failed.
                report.SaveTo(engine.SavePathFor(file), true);
            }
            ++failed;
            if (i + 1 < files.size() && o.answer != Answer::Yes) {
                report.Asks("Go on with the run?",
                            o.answer == Answer::No ? " (--no: the run would stop here)" : "");
                if (o.answer == Answer::No) {
                    break;
                }
            }
        } else if (outcome.NotTouched) {
            report.Outcome("not touched", outcome.Note);
            report.Text("  would not touch it" +
                        (outcome.Note.empty() ? "" : ": " + Shown(outcome.Note)));
        } else {
            report.Outcome("save", outcome.Note);
            if (!outcome.Note.empty()) {
                report.Text("  note: " + Shown(outcome.Note));
            }
            report.SaveTo(engine.SavePathFor(file), false);
        }
    }
    bool selectedNothing = false;
    for (std::size_t k = 0; openedAny && k < chosen.size(); ++k) {
        if (!selectedSomewhere[k]) {
            report.SelectsNothing(model::Windows1252ToUtf8(chosen[k].Name));
            selectedNothing = true;
        }
    }
    report.Finish(failed);
    return failed > 0 || selectedNothing ? kExitSomeFailed : kExitOk;
}

std::string LocalTime(std::int64_t seconds) {
    if (seconds <= 0) {
        return "(time not recorded)";
    }
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local{};
    ::localtime_r(&time, &local);
    char buffer[64];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
    return buffer;
}

// What a recorded run did, in a few words.
std::string DescribeRun(const JournalRecord& record) {
    std::string what;
    for (const model::Tesserion& t : record.Record.Tesserions) {
        what += (what.empty() ? "stamped " : ", ") + model::Windows1252ToUtf8(t.Name);
    }
    if (!record.Record.Entries.empty()) {
        const ui::UndoEntry& e = record.Record.Entries.front();
        std::string settings;
        if (e.Info.SetTitle || e.Info.SetSubject || e.Info.SetAuthor || e.Info.SetKeywords ||
            e.Info.SetIndex || e.Info.SetBaseURL) {
            settings += "information";
        }
        if (e.Open.View != 0 || e.Open.Zoom != 0 || e.Open.Layout != 0 || e.Open.Page != 0 ||
            e.Open.FitWindow != 2 || e.Open.CenterWindow != 2 || e.Open.FullScreen != 2 ||
            e.Open.HideToolBar != 2 || e.Open.HideMenuBar != 2 || e.Open.HideWindowUI != 2) {
            settings += settings.empty() ? "initial view" : ", initial view";
        }
        if (record.Record.ChangedSecurity || e.Security.ChangeSecurity) {
            settings += settings.empty() ? "security" : ", security";
        }
        if (!settings.empty()) {
            what += (what.empty() ? "set " : "; set ") + settings;
        }
    }
    return what.empty() ? "nothing" : what;
}

// The objects every mode works with.
struct Session {
    CliOptions& o;
    TerminalUi& terminal;
    host::Host& host;
    ui::RunEngine& engine;
    // A folder given held no PDF file: said as a warning, and the run's status is 1.
    bool entryWithoutPdf = false;
    // The document comes from standard input or the result goes to standard output: there is
    // no file to restore, so the run is not recorded for undo.
    bool piped = false;
};

// The run's status, with a folder that held no PDF file counted as a failure.
int RunStatus(const Session& s, int status) {
    return status == kExitOk && s.entryWithoutPdf ? kExitSomeFailed : status;
}

int RunHistory(const CliOptions& o) {
    Journal journal(DefaultJournalFolder());
    const std::vector<JournalRecord> records = LoadJournal(journal);
    if (o.json) {
        std::string json = JsonStart("history") +
                           ", \"journal\": " + JsonString(journal.Path().string()) +
                           ", \"runs\": [";
        bool first = true;
        for (const JournalRecord& r : records) {
            json += std::string(first ? "\n  " : ",\n  ") + "{\"id\": " + std::to_string(r.Id) +
                    ", \"time\": " + std::to_string(r.Time) +
                    ", \"what\": " + JsonString(DescribeRun(r)) + ", \"documents\": [";
            bool firstFile = true;
            for (const ui::UndoEntry& e : r.Record.Entries) {
                json += std::string(firstFile ? "" : ", ") + "{" + JsonPath(e.Name) + "}";
                firstFile = false;
            }
            json += "]}";
            first = false;
        }
        std::cout << json << (first ? "]}\n" : "\n]}\n") << std::flush;
        return kExitOk;
    }
    if (records.empty()) {
        std::cout << "No recorded runs (" << journal.Path().string() << ")\n";
        return kExitOk;
    }
    for (const JournalRecord& r : records) {
        const std::size_t n = r.Record.Entries.size();
        std::cout << r.Id << "  " << LocalTime(r.Time) << "  " << n << " document"
                  << (n == 1 ? "" : "s") << "  " << DescribeRun(r) << "\n";
        for (const ui::UndoEntry& e : r.Record.Entries) {
            std::cout << "      " << Shown(e.Name) << "\n";
        }
    }
    return kExitOk;
}

// Whether two recorded file names are the same file: the same path, or the same file now.
bool SameFile(const std::string& a, const std::string& b) {
    if (a == b) {
        return true;
    }
    const std::optional<FileId> ia = IdOf(a);
    return ia && ia == IdOf(b);
}

LoadedProfile LoadProfileTelling(const CliOptions& o, model::Profile& profile) {
    LoadedProfile loaded = LoadProfile(profile, o.profile);
    if (!o.quiet || o.mode == Mode::List) {
        for (const std::string& note : loaded.Notes) {
            std::cerr << "tesser: " << note << std::endl;
        }
    }
    return loaded;
}

// --list, --show and --delete.
int RunProfileMode(const CliOptions& o) {
    model::Profile profile;
    const LoadedProfile loaded = LoadProfileTelling(o, profile);
    if (o.mode == Mode::List) {
        return ListTesserions(o, loaded);
    }
    if (o.mode == Mode::Show) {
        const model::Tesserion& shown = FindTesserion(loaded, ToWindows1252("--show", *o.showName));
        if (!o.json) {
            std::cout << ShowTesserion(shown);
            return kExitOk;
        }
        // The options are those of a --job-json file that defines the Tesserion.
        std::string json =
            JsonStart("show") + ", \"name\": " + JsonString(*o.showName) + ", \"options\": {";
        bool first = true;
        for (const auto& [option, value] : ShownOptions(shown)) {
            json += std::string(first ? "" : ", ") + JsonString(option) + ": " + JsonString(value);
            first = false;
        }
        std::cout << json << "}}\n" << std::flush;
        return kExitOk;
    }
    const std::string name = ToWindows1252("--delete", *o.deleteName);
    FindTesserion(loaded, name);
    model::TesserionList list = loaded.Tesserions;
    list.Erase(name);
    SaveProfile(profile, list, loaded.Tesserions);
    if (!o.quiet) {
        std::cerr << "tesser: deleted " << *o.deleteName << " from " << loaded.Path.string()
                  << std::endl;
    }
    if (o.json) {
        std::cout << JsonStart("delete") << ", \"name\": " << JsonString(*o.deleteName)
                  << ", \"profile\": " << JsonString(loaded.Path.string()) << "}\n"
                  << std::flush;
    }
    return kExitOk;
}

// The names of --files-from: lines, or NUL-terminated names with --null; empty names are
// passed over.
std::vector<std::string> ReadFileList(const CliOptions& o) {
    std::ifstream file;
    std::istream* in = &std::cin;
    if (*o.filesFrom != "-") {
        file.open(*o.filesFrom, std::ios::binary);
        if (!file) {
            throw SetupError("--files-from: cannot read " + *o.filesFrom);
        }
        in = &file;
    }
    std::vector<std::string> names;
    std::string name;
    while (std::getline(*in, name, o.nullSeparated ? '\0' : '\n')) {
        if (!o.nullSeparated && !name.empty() && name.back() == '\r') {
            name.pop_back(); // a list written with CR LF line ends
        }
        if (!name.empty()) {
            names.push_back(name);
        }
    }
    if (in->bad()) {
        throw SetupError("--files-from: cannot read " + *o.filesFrom);
    }
    return names;
}

// The Tesserions an apply or print run stamps (the profile's chosen ones, then the one defined
// on the command line, stored first with --save-as) and its documents. Answers false when the
// invocation only stored the stamp.
bool PrepareStamping(Session& s) {
    const CliOptions& o = s.o;
    ui::ApplySettings& apply = s.engine.Apply();
    model::Profile profile;
    LoadedProfile loaded;
    if (!o.tesserions.empty() || o.saveAs) {
        loaded = LoadProfileTelling(o, profile);
    }
    s.engine.Tesserions() = loaded.Tesserions;
    apply.NamesToApply = ChooseTesserions(o, loaded);
    if (o.stamp.Any()) {
        const std::string name =
            o.saveAs ? ToWindows1252("--save-as", *o.saveAs) : std::string("(command line)");
        if (o.saveAs && !model::IsStorableName(name)) {
            throw SetupError("--save-as: \"" + *o.saveAs +
                             "\" cannot be a Tesserion's name (it must not be empty, hold "
                             "control characters, \"[\" or \"]\", or begin or end with white "
                             "space)");
        }
        model::Tesserion defined;
        try {
            defined = BuildTesserion(o.stamp, name);
        } catch (const UsageError& e) {
            throw SetupError(e.what());
        }
        if (o.saveAs && !o.dryRun) {
            model::TesserionList list = loaded.Tesserions;
            const bool replaced = list.Contains(name);
            list.InsertOrReplace(defined);
            SaveProfile(profile, list, loaded.Tesserions);
            if (!o.quiet) {
                std::cerr << "tesser: " << (replaced ? "replaced " : "saved ") << *o.saveAs
                          << " in " << loaded.Path.string() << std::endl;
            }
        }
        s.engine.Tesserions().InsertOrReplace(defined);
        apply.NamesToApply.erase(
            std::remove(apply.NamesToApply.begin(), apply.NamesToApply.end(), name),
            apply.NamesToApply.end());
        apply.NamesToApply.push_back(name);
        if (!o.HasDocuments()) {
            return false; // only stored
        }
    }
    apply.SelectionMode = apply.NamesToApply.empty() ? ui::kSelectNone : ui::kSelectNamed;
    std::vector<std::string> paths = o.paths;
    if (o.filesFrom) {
        for (std::string& name : ReadFileList(o)) {
            paths.push_back(std::move(name));
        }
    }
    std::vector<std::string> empty;
    apply.DocumentEntries = DistinctFiles(DocumentEntries(paths), empty);
    for (const std::string& folder : empty) {
        std::cerr << "tesser: warning: " << Shown(folder) << " holds no PDF file" << std::endl;
        s.entryWithoutPdf = true;
    }
    return true;
}

bool PasswordGiven(const CliOptions& o) {
    return o.currentPassword || o.askPasswords || o.passwordStdin;
}

int RunPrint(Session& s) {
    const CliOptions& o = s.o;
    ui::ApplySettings& apply = s.engine.Apply();
    s.terminal.SetDoneWord("printed");
    if (PasswordGiven(o)) {
        SetCurrentPassword(GatherPasswords(o), s.engine);
    }
    if (o.printToFile) {
        const fs::path target = fs::absolute(*o.printToFile).lexically_normal();
        RefuseWritingOverInputs(apply.DocumentEntries, target, "--print-to-file");
        std::error_code error;
        if (fs::is_directory(target, error)) {
            // One printed file per document, under the document's own name.
            host::Host& host = s.host;
            s.terminal.SetAnnounceHook([&host, target](const std::string& name) {
                host.SetPrintToFile((target / fs::path(name).filename()).string());
            });
        } else {
            std::size_t files = 0;
            for (const std::string& entry : apply.DocumentEntries) {
                files += FilesOfEntry(entry).size();
            }
            if (files > 1) {
                throw SetupError("--print-to-file FILE takes one document; give an existing "
                                 "folder to print several");
            }
            s.host.SetPrintToFile(target.string());
        }
    } else if (o.printer) {
        s.host.SetPrintDestination(*o.printer);
    }
    InstallAbortHandlers();
    s.engine.PrintDocuments();
    Summarise(o, s.terminal, s.engine.LastRun(), "print", std::nullopt);
    return RunStatus(s, ExitStatus(s.engine.LastRun()));
}

// The index of the record --undo=ID names (the newest without an ID); refuses a run whose files
// a later run changed.
std::size_t ChooseRunToUndo(const CliOptions& o, const std::vector<JournalRecord>& records) {
    if (!o.undoId) {
        return records.size() - 1;
    }
    std::int64_t id = 0;
    const char* end = o.undoId->data() + o.undoId->size();
    const auto parsed = std::from_chars(o.undoId->data(), end, id);
    const auto found = std::find_if(records.begin(), records.end(),
                                    [id](const JournalRecord& r) { return r.Id == id; });
    if (parsed.ec != std::errc() || parsed.ptr != end || found == records.end()) {
        throw SetupError("--undo: no recorded run " + *o.undoId + " (see tesser --history)");
    }
    const auto chosen = static_cast<std::size_t>(found - records.begin());
    // A later run that changed the same files would be undone underneath: refused.
    std::string changed;
    std::string laterIds;
    for (std::size_t later = chosen + 1; later < records.size(); ++later) {
        bool overlaps = false;
        for (const ui::UndoEntry& e : records[later].Record.Entries) {
            for (const ui::UndoEntry& mine : records[chosen].Record.Entries) {
                if (SameFile(e.Name, mine.Name)) {
                    overlaps = true;
                    if (changed.find(e.Name) == std::string::npos) {
                        changed += (changed.empty() ? "" : ", ") + e.Name;
                    }
                }
            }
        }
        if (overlaps) {
            laterIds += (laterIds.empty() ? "" : ", ") + std::to_string(records[later].Id);
        }
    }
    if (!changed.empty()) {
        throw SetupError("run " + *o.undoId + " cannot be undone: the later run " + laterIds +
                         " changed its files " + changed + "; undo that first");
    }
    return chosen;
}

int RunUndo(Session& s) {
    const CliOptions& o = s.o;
    ui::ApplySettings& apply = s.engine.Apply();
    s.terminal.SetDoneWord("restored");
    Journal journal(DefaultJournalFolder());
    std::vector<JournalRecord> records = LoadJournal(journal);
    if (records.empty()) {
        std::cerr << "tesser: nothing to undo (" << journal.Path().string() << ")" << std::endl;
        return kExitSomeFailed;
    }
    const std::size_t chosen = ChooseRunToUndo(o, records);
    // The journal after the undo is no larger than now.
    journal.CheckWritable(FormatJournal(records).size());
    // The history up to the chosen run: the engine undoes the last record and keeps the older
    // ones' file fingerprints current. Later runs touch other files.
    for (std::size_t i = 0; i <= chosen; ++i) {
        apply.UndoHistory.push_back(records[i].Record);
    }
    if (PasswordGiven(o)) {
        // A password given now reopens the files instead of the recorded one.
        SetCurrentPassword(GatherPasswords(o), s.engine);
        apply.UndoHistory.back().ReopenPassword = s.engine.Security().CurrentPassword;
    }
    // Each restored file leaves the journal at once: an undo killed half-way keeps only what it
    // did not restore.
    std::vector<std::string> restoredNames;
    s.engine.SetUndoObserver([&](const ui::UndoEntry& restored, bool saved) {
        if (!saved) {
            // Written ahead, as an apply's entries are: a kill during the save leaves the file
            // known as restored.
            JournalRecord one;
            one.Id = records[chosen].Id;
            one.Time = records[chosen].Time;
            one.Record.Tesserions = records[chosen].Record.Tesserions;
            one.Record.ReopenPassword = records[chosen].Record.ReopenPassword;
            one.Record.ChangedSecurity = records[chosen].Record.ChangedSecurity;
            one.Record.Incremental = records[chosen].Record.Incremental;
            one.Record.Entries.push_back(restored);
            journal.AppendPending(one, true, true);
            return;
        }
        restoredNames.push_back(restored.Name);
        std::vector<JournalRecord> progress = records;
        for (std::size_t i = 0; i < chosen; ++i) {
            progress[i].Record = apply.UndoHistory[i];
        }
        std::vector<ui::UndoEntry>& entries = progress[chosen].Record.Entries;
        for (const std::string& name : restoredNames) {
            const auto it = std::find_if(entries.begin(), entries.end(),
                                         [&](const ui::UndoEntry& e) { return e.Name == name; });
            if (it != entries.end()) {
                entries.erase(it);
            }
        }
        if (entries.empty()) {
            progress.erase(progress.begin() + static_cast<std::ptrdiff_t>(chosen));
        }
        try {
            journal.Save(std::move(progress));
        } catch (const JournalError&) {
            // The journal is saved again when the undo ends, and says so if it still cannot be.
        }
    });
    InstallAbortHandlers();
    s.engine.RunUndo();
    const ui::RunCounts& counts = s.engine.LastRun();
    // What was not restored (failed, or not reached after a No or Ctrl-C) stays in the record,
    // so the undo can be repeated; other records keep their content.
    const bool done = apply.UndoHistory.size() <= chosen;
    for (std::size_t i = 0; i < chosen; ++i) {
        records[i].Record = apply.UndoHistory[i];
    }
    const std::int64_t undoneId = records[chosen].Id;
    if (done) {
        records.erase(records.begin() + static_cast<std::ptrdiff_t>(chosen));
    } else {
        records[chosen].Record = apply.UndoHistory[chosen];
    }
    journal.Save(std::move(records));
    journal.RemovePending();
    Summarise(o, s.terminal, counts, "undo", undoneId);
    return ExitStatus(counts);
}

int RunApply(Session& s) {
    CliOptions& o = s.o;
    ui::ApplySettings& apply = s.engine.Apply();
    s.terminal.SetDoneWord(apply.NamesToApply.empty() ? "changed" : "stamped");
    ResolveOutput(o, apply.DocumentEntries);
    const Passwords passwords = GatherPasswords(o);
    FillSettings(o, passwords, s.engine);
    if (o.outputDir) {
        SetUpOutputDir(o, s.engine);
    } else if (o.outputFile) {
        SetUpOutputFile(o, s.engine);
    }
    if (o.dryRun) {
        return RunStatus(s, DryRun(o, s.engine, s.host, s.terminal));
    }
    if (s.piped) {
        std::cerr << "tesser: a piped run is not recorded for undo (there is no file to restore)"
                  << std::endl;
        InstallAbortHandlers();
        s.engine.RunApply();
        const ui::RunCounts counts = s.engine.LastRun();
        s.engine.Apply().UndoHistory.clear();
        Summarise(o, s.terminal, counts, "apply", std::nullopt);
        return RunStatus(s, ExitStatus(counts));
    }
    Journal journal(DefaultJournalFolder());
    std::vector<JournalRecord> records = LoadJournal(journal);
    journal.CheckWritable(ExpectedJournalSize(journal, s.engine));
    std::int64_t runId = 1;
    for (const JournalRecord& r : records) {
        runId = std::max(runId, r.Id + 1);
    }
    const auto runTime = static_cast<std::int64_t>(std::time(nullptr));
    // Each file's entry is on disk before the file is replaced (also from worker processes).
    s.engine.SetSaveObserver([&journal, runId, runTime](const ui::UndoRecord& record,
                                                        const ui::UndoEntry& entry, bool saved) {
        JournalRecord one;
        one.Record.Tesserions = record.Tesserions;
        one.Record.ReopenPassword = record.ReopenPassword;
        one.Record.ChangedSecurity = record.ChangedSecurity;
        one.Record.Incremental = record.Incremental;
        one.Record.Entries.push_back(entry);
        one.Id = runId;
        one.Time = runTime;
        journal.AppendPending(one, !saved);
    });
    InstallAbortHandlers();
    const int workers = WorkerCount(o.jobs, apply.DocumentEntries.size());
    ui::RunCounts counts;
    if (workers > 1) {
        counts = ApplyInWorkers(s.engine, s.terminal, apply.DocumentEntries, workers);
    } else {
        s.engine.RunApply();
        counts = s.engine.LastRun();
    }
    std::optional<std::int64_t> journalId;
    if (!apply.UndoHistory.empty() && !apply.UndoHistory.back().Entries.empty()) {
        JournalRecord record;
        record.Record = std::move(apply.UndoHistory.back());
        apply.UndoHistory.pop_back();
        record.Id = runId;
        record.Time = static_cast<std::int64_t>(std::time(nullptr));
        journalId = record.Id;
        records.push_back(std::move(record));
        try {
            const std::vector<std::int64_t> dropped = journal.Save(std::move(records));
            if (!dropped.empty() && !o.quiet) {
                std::string ids;
                for (std::int64_t id : dropped) {
                    ids += (ids.empty() ? "" : ", ") + std::to_string(id);
                }
                std::cerr << "tesser: undo journal: it keeps the newest " << kJournalRuns
                          << " runs; run " << ids << " can no longer be undone" << std::endl;
            }
        } catch (const JournalError& e) {
            throw JournalError(std::string(e.what()) +
                               "; the documents were changed: the next tesser that can write the "
                               "journal records this run from " +
                               journal.Path().string() + ".pending");
        }
    }
    journal.RemovePending();
    Summarise(o, s.terminal, counts, "apply", journalId);
    return RunStatus(s, ExitStatus(counts));
}

// A run that reads its document from standard input ("-" as the only PATH) or writes its result
// to standard output (-o -) works on files in a private temporary folder, removed at the end.
class Pipes {
public:
    ~Pipes() {
        if (!folder_.empty()) {
            std::error_code ignored;
            fs::remove_all(folder_, ignored);
        }
    }

    // Takes the "-" of the options over; false when the run has no pipe.
    bool SetUp(CliOptions& o) {
        const bool in = std::find(o.paths.begin(), o.paths.end(), "-") != o.paths.end();
        const bool out = (o.output && *o.output == "-") || (o.outputFile && *o.outputFile == "-");
        if (!in && !out) {
            return false;
        }
        if (o.mode != Mode::Apply) {
            throw SetupError("standard input and output (\"-\") are for a run that stamps or "
                             "changes a document");
        }
        if (in && (o.paths.size() != 1 || o.filesFrom)) {
            throw SetupError("\"-\" (standard input) must be the only document of the run");
        }
        if (in && o.passwordStdin) {
            throw SetupError("\"-\" and --password-stdin cannot both read standard input");
        }
        if (in && o.jobFromStdin) {
            throw SetupError("\"-\" and --job-json - cannot both read standard input");
        }
        if (out && o.json) {
            throw SetupError("--json cannot be combined with -o - (standard output holds the PDF)");
        }
        if (in && !out && !o.output && !o.outputFile && !o.outputDir) {
            throw SetupError("a document read from standard input needs -o FILE, or -o - for "
                             "standard output");
        }
        MakeFolder();
        if (in) {
            const fs::path input = folder_ / "standard-input.pdf";
            std::ofstream file(input, std::ios::binary);
            file << std::cin.rdbuf();
            file.close();
            if (!file || std::cin.bad()) {
                throw SetupError("cannot read the document from standard input");
            }
            o.paths = {input.string()};
        }
        if (out) {
            // A reader that stops early makes the copy fail, which is told, instead of ending
            // the program before its temporary folder is removed.
            std::signal(SIGPIPE, SIG_IGN);
            o.output.reset();
            result_ = folder_ / "standard-output.pdf";
            o.outputFile = result_.string();
            o.outputDir.reset();
        }
        return true;
    }

    // Copies the result to standard output, when the run wrote one there. False when it could
    // not be written.
    bool Deliver() const {
        if (result_.empty() || !fs::exists(result_)) {
            return true;
        }
        std::ifstream file(result_, std::ios::binary);
        std::cout << file.rdbuf();
        std::cout.flush();
        return file.good() || file.eof() ? static_cast<bool>(std::cout) : false;
    }

private:
    void MakeFolder() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/tesser-pipe-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw SetupError("cannot make a temporary folder for the piped document in " +
                             pattern.substr(0, pattern.rfind('/')) + ": " + std::strerror(errno));
        }
        folder_ = pattern;
    }

    fs::path folder_;
    fs::path result_;
};

// With --json among the arguments (before a "--"), a failure that ends the invocation is one
// JSON object on standard output too: {"tesser_json": 1, "version": ..., "error": TEXT}.
void JsonError(const std::vector<std::string>& arguments, const std::string& text) {
    for (const std::string& argument : arguments) {
        if (argument == "--") {
            return;
        }
        if (argument == "--json") {
            std::cout << "{\"tesser_json\": 1, \"version\": " << JsonString(kVersionText)
                      << ", \"error\": " << JsonString(text) << "}\n"
                      << std::flush; // no mode: the invocation may not have got so far
            return;
        }
    }
}

// One invocation, with the failures it expects told as such.
int Run(const std::vector<std::string>& arguments) {
    CliOptions o;
    try {
        o = ParseOptions(arguments);
    } catch (const UsageError& e) {
        std::cerr << "tesser: " << e.what() << "\nTry 'tesser --help'." << std::endl;
        JsonError(arguments, e.what());
        return kExitUsage;
    }
    if (o.mode == Mode::Help) {
        std::cout << UsageText();
        return kExitOk;
    }
    if (o.mode == Mode::Version) {
        std::cout << "tesser (Tesser Pro) " << kVersionText << "\n";
        return kExitOk;
    }

    TerminalUi terminal(o.answer, o.quiet, o.verbose);
    model::SetProfileMessageSink([](const std::string& title, const std::string& text) {
        std::cerr << "tesser: " << title << ": " << text << std::endl;
    });
    host::Host host;
    host.SetMessageSink(&terminal);
    if (!hostcalls::ConnectHost(host.GetHostCoreTable(), 1)) {
        std::cerr << "tesser: the host refused the plug-in's tables" << std::endl;
        return kExitSomeFailed;
    }
    struct Disconnect {
        ~Disconnect() { hostcalls::DisconnectHost(); }
    } disconnect;

    ui::RunEngine engine(terminal);
    engine.SetStopWithinFolders(true);
    engine.Apply().MultipleDocuments = true;
    engine.Apply().Optimise = o.optimise;
    engine.Apply().Incremental = o.incremental;
    Session session{o, terminal, host, engine};
    Pipes pipes;

    try {
        session.piped = pipes.SetUp(o);
        if (session.piped && o.mode == Mode::Apply) {
            if (!PrepareStamping(session)) {
                return kExitOk;
            }
            const int status = RunApply(session);
            if (!pipes.Deliver()) {
                std::cerr << "tesser: the result could not be written to standard output"
                          << std::endl;
                return kExitSomeFailed;
            }
            return status;
        }
        switch (o.mode) {
        case Mode::History:
            return RunHistory(o);
        case Mode::List:
        case Mode::Show:
        case Mode::Delete:
            return RunProfileMode(o);
        case Mode::Undo:
            return RunUndo(session);
        case Mode::Print:
            return PrepareStamping(session) ? RunPrint(session) : kExitOk;
        default:
            return PrepareStamping(session) ? RunApply(session) : kExitOk;
        }
    } catch (const SetupError& e) {
        std::cerr << "tesser: " << e.what() << std::endl;
        JsonError(arguments, e.what());
        return kExitUsage;
    } catch (const ProfileError& e) {
        std::cerr << "tesser: " << e.what() << std::endl;
        JsonError(arguments, e.what());
        return kExitUsage;
    } catch (const JournalError& e) {
        std::cerr << "tesser: undo journal: " << e.what() << std::endl;
        JsonError(arguments, std::string("undo journal: ") + e.what());
        return kExitSomeFailed;
    }
}

} // namespace

int RunTesser(const std::vector<std::string>& arguments) {
    // Anything else is a fault of tesser: told in one line, with its own status, instead of the
    // program ending on an uncaught exception.
    try {
        return Run(arguments);
    } catch (const std::exception& e) {
        std::cerr << "tesser: internal error: " << e.what() << std::endl;
    } catch (...) {
        std::cerr << "tesser: internal error" << std::endl;
    }
    return kExitInternal;
}

} // namespace tesser::cli

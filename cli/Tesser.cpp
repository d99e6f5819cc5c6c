#include "cli/Tesser.h"

#include "cli/Journal.h"
#include "cli/Options.h"
#include "cli/TerminalUi.h"
#include "docsettings/DocumentInfo.h"
#include "docsettings/InitialView.h"
#include "docsettings/SecuritySettings.h"
#include "host/Host.h"
#include "model/Profile.h"
#include "model/TesserionStore.h"
#include "model/TextEncoding.h"
#include "model/Validation.h"
#include "plugin/HostCalls.h"
#include "ui/DocumentEntries.h"
#include "ui/RunEngine.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sys/stat.h>

namespace tesser::cli {

namespace fs = std::filesystem;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitSomeFailed = 1;
constexpr int kExitUsage = 2;

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
std::vector<std::string> DistinctFiles(const std::vector<std::string>& entries) {
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

void OpenProfile(const CliOptions& o, model::Profile& profile, model::TesserionList& list,
                 fs::path& path) {
    path = o.profile ? fs::path(*o.profile) : model::DefaultProfilePath();
    if (o.profile) {
        std::error_code error;
        if (!fs::is_regular_file(path, error)) {
            throw SetupError("cannot read the profile " + path.string() +
                             ": no such file");
        }
    }
    profile.SetPath(path);
    model::LoadTesserions(profile, list);
}

int ListTesserions(const model::TesserionList& list, const fs::path& path) {
    if (list.Empty()) {
        std::cout << "No Tesserions in " << path.string() << "\n";
        return kExitOk;
    }
    for (const auto& [name, stored] : list) {
        model::Tesserion copy = stored;
        const std::optional<std::string> word = model::ValidateTesserion(copy);
        std::cout << model::Windows1252ToUtf8(name) << ": "
                  << (word ? "invalid (the " + *word + " is invalid)" : std::string("valid"))
                  << "\n";
    }
    return kExitOk;
}

// Checks the chosen names before anything is touched; answers them in Windows-1252.
std::vector<std::string> ChooseTesserions(const CliOptions& o, const model::TesserionList& list,
                                          const fs::path& profilePath) {
    std::vector<std::string> names;
    for (const std::string& utf8 : o.tesserions) {
        const std::string name = ToWindows1252("Tesserion name", utf8);
        const model::Tesserion* found = list.Find(name);
        if (found == nullptr) {
            throw SetupError("no Tesserion named \"" + utf8 + "\" in " + profilePath.string() +
                             " (see tesser --list)");
        }
        model::Tesserion copy = *found;
        if (const std::optional<std::string> word = model::ValidateTesserion(copy)) {
            throw SetupError(model::Windows1252ToUtf8(model::InvalidTesserionMessage(name, *word)));
        }
        names.push_back(name);
    }
    return names;
}

int ExitStatus(const ui::RunCounts& counts) {
    return counts.Failed > 0 || counts.Aborted || counts.Cancelled || counts.NotStarted
               ? kExitSomeFailed
               : kExitOk;
}

void Summarise(const CliOptions& o, const ui::RunCounts& counts, const char* verb) {
    if (o.quiet) {
        return;
    }
    std::cerr << "tesser: " << counts.Processed << " document" << (counts.Processed == 1 ? "" : "s")
              << ' ' << verb;
    if (counts.Failed > 0) {
        std::cerr << ", " << counts.Failed << " failed";
    }
    if (counts.Aborted) {
        std::cerr << ", stopped by the user";
    }
    if (counts.Cancelled) {
        std::cerr << ", cancelled at the crop-box warning";
    }
    std::cerr << std::endl;
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
    engine.SetSavePathMapper([dir](const std::string& source) {
        return (dir / fs::path(source).filename()).string();
    });
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
    if (!notice.empty()) {
        std::cerr << "tesser: undo journal: " << notice << std::endl;
    }
    return records;
}

// A generous guess at the journal's size after the run, before any document is touched: the
// records, and the new one (one entry per file with the run's settings) counted twice, for the
// values the run will capture from the documents.
std::size_t ExpectedJournalSize(const std::vector<JournalRecord>& records,
                                ui::RunEngine& engine) {
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
    std::vector<JournalRecord> after = records;
    after.push_back(next);
    return FormatJournal(after).size() + FormatJournal({next}).size();
}

} // namespace

int RunTesser(const std::vector<std::string>& arguments) {
    CliOptions o;
    try {
        o = ParseOptions(arguments);
    } catch (const UsageError& e) {
        std::cerr << "tesser: " << e.what() << "\nTry 'tesser --help'." << std::endl;
        return kExitUsage;
    }
    if (o.mode == Mode::Help) {
        std::cout << UsageText();
        return kExitOk;
    }
    if (o.mode == Mode::Version) {
        std::cout << "tesser (Tesser Pro) 1.0.0\n";
        return kExitOk;
    }

    TerminalUi terminal(o.answer, o.quiet);
    model::SetProfileMessageSink([](const std::string& title, const std::string& text) {
        std::cerr << title << ": " << text << std::endl;
    });
    host::Host host;
    host.SetMessageSink(&terminal);
    if (!plugin::ConnectHost(host.GetHostCoreTable(), 1)) {
        std::cerr << "tesser: the host refused the plug-in's tables" << std::endl;
        return kExitSomeFailed;
    }
    struct Disconnect {
        ~Disconnect() { plugin::DisconnectHost(); }
    } disconnect;

    ui::RunEngine engine(terminal);
    engine.SetStopWithinFolders(true);
    ui::ApplySettings& apply = engine.Apply();
    apply.MultipleDocuments = true;
    apply.Optimise = o.optimise;

    try {
        if (o.mode == Mode::List || o.mode == Mode::Apply || o.mode == Mode::Print) {
            fs::path profilePath;
            if (o.mode == Mode::List || !o.tesserions.empty()) {
                model::Profile profile;
                OpenProfile(o, profile, engine.Tesserions(), profilePath);
                if (o.mode == Mode::List) {
                    return ListTesserions(engine.Tesserions(), profilePath);
                }
            }
            apply.NamesToApply = ChooseTesserions(o, engine.Tesserions(), profilePath);
            apply.SelectionMode = apply.NamesToApply.empty() ? ui::kSelectNone : ui::kSelectNamed;
            apply.DocumentEntries = DistinctFiles(DocumentEntries(o.paths));
        }

        if (o.mode == Mode::Print) {
            if (o.currentPassword || o.askPasswords || o.passwordStdin) {
                SetCurrentPassword(GatherPasswords(o), engine);
            }
            if (o.printToFile) {
                const fs::path target = fs::absolute(*o.printToFile).lexically_normal();
                RefuseWritingOverInputs(apply.DocumentEntries, target, "--print-to-file");
                std::error_code error;
                if (fs::is_directory(target, error)) {
                    // One printed file per document, under the document's own name.
                    terminal.SetAnnounceHook([&host, target](const std::string& name) {
                        host.SetPrintToFile((target / fs::path(name).filename()).string());
                    });
                } else {
                    std::size_t files = 0;
                    for (const std::string& entry : apply.DocumentEntries) {
                        files += FilesOfEntry(entry).size();
                    }
                    if (files > 1) {
                        throw SetupError("--print-to-file FILE takes one document; give an "
                                         "existing folder to print several");
                    }
                    host.SetPrintToFile(target.string());
                }
            } else if (o.printer) {
                host.SetPrintDestination(*o.printer);
            }
            InstallAbortHandlers();
            engine.PrintDocuments();
            Summarise(o, engine.LastRun(), "printed");
            return ExitStatus(engine.LastRun());
        }

        if (o.mode == Mode::Undo) {
            Journal journal(DefaultJournalFolder());
            std::vector<JournalRecord> records = LoadJournal(journal);
            if (records.empty()) {
                std::cerr << "tesser: nothing to undo (" << journal.Path().string() << ")"
                          << std::endl;
                return kExitSomeFailed;
            }
            // The journal after the undo is no larger than now.
            journal.CheckWritable(FormatJournal(records).size());
            // The whole history: the engine undoes the newest record and keeps the older ones'
            // file fingerprints current.
            for (const JournalRecord& record : records) {
                apply.UndoHistory.push_back(record.Record);
            }
            if (o.currentPassword || o.askPasswords || o.passwordStdin) {
                // A password given now reopens the files instead of the recorded one.
                SetCurrentPassword(GatherPasswords(o), engine);
                apply.UndoHistory.back().ReopenPassword = engine.Security().CurrentPassword;
            }
            InstallAbortHandlers();
            engine.RunUndo();
            const ui::RunCounts& counts = engine.LastRun();
            // What was not restored (failed, or not reached after a No or Ctrl-C) stays the
            // newest record, so the undo can be repeated; older records keep their content.
            if (apply.UndoHistory.size() < records.size()) {
                records.pop_back();
            }
            for (std::size_t i = 0; i < records.size(); ++i) {
                records[i].Record = apply.UndoHistory[i];
            }
            journal.Save(records);
            Summarise(o, counts, "restored");
            return ExitStatus(counts);
        }

        // Apply.
        const Passwords passwords = GatherPasswords(o);
        FillSettings(o, passwords, engine);
        if (o.outputDir) {
            SetUpOutputDir(o, engine);
        }
        Journal journal(DefaultJournalFolder());
        std::vector<JournalRecord> records = LoadJournal(journal);
        journal.CheckWritable(ExpectedJournalSize(records, engine));
        InstallAbortHandlers();
        engine.RunApply();
        if (!apply.UndoHistory.empty() && !apply.UndoHistory.back().Entries.empty()) {
            JournalRecord record;
            record.Record = apply.UndoHistory.back();
            records.push_back(std::move(record));
            try {
                journal.Save(records);
            } catch (const JournalError& e) {
                throw JournalError(std::string(e.what()) +
                                   "; the documents were changed, but this run cannot be undone");
            }
        }
        Summarise(o, engine.LastRun(), "processed");
        return ExitStatus(engine.LastRun());
    } catch (const SetupError& e) {
        std::cerr << "tesser: " << e.what() << std::endl;
        return kExitUsage;
    } catch (const JournalError& e) {
        std::cerr << "tesser: undo journal: " << e.what() << std::endl;
        return kExitSomeFailed;
    }
}

} // namespace tesser::cli

#include "ui/RunEngine.h"

#include "ui/DocumentEntries.h"
#include "ui/FileFingerprint.h"

#include "docsettings/DocumentInfo.h"
#include "docsettings/InitialView.h"
#include "docsettings/SecuritySettings.h"
#include "hostcalls/HostCalls.h"
#include "model/TextEncoding.h"
#include "stamp/StampingPass.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <system_error>

namespace tesser::ui {

namespace hc = tesser::hostcalls;
namespace fs = std::filesystem;

namespace {

// The host's message text reaches the error box through a 500-byte buffer.
constexpr std::size_t kErrorTextLimit = 499;

std::string LimitErrorText(const std::string& text) {
    if (text.size() <= kErrorTextLimit) {
        return text;
    }
    std::size_t end = kErrorTextLimit;
    // Do not leave half of a UTF-8 sequence behind.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return text.substr(0, end);
}

HBool AuthoriseOpenProc(HDoc doc, void* clientData) {
    try {
        return static_cast<RunEngine*>(clientData)->AuthoriseOpen(doc) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

// Open settings that change nothing. ApplyView with them would still rewrite the catalogue (drop
// a GoTo open action, add an empty ViewerPreferences), so such a run leaves the view alone, and
// so does its undo.
bool LeavesViewAlone(const docsettings::OpenSettings& s) {
    return !s.Previous && s.Page == 0 && s.View == 0 && s.Zoom == 0 && s.Layout == 0 &&
           s.FitWindow == docsettings::kOptionKeep && s.CenterWindow == docsettings::kOptionKeep &&
           s.FullScreen == docsettings::kOptionKeep && s.HideToolBar == docsettings::kOptionKeep &&
           s.HideMenuBar == docsettings::kOptionKeep && s.HideWindowUI == docsettings::kOptionKeep;
}

// "3, 5-7" for the pages 3, 5, 6 and 7 (ascending).
std::string PageListText(const std::vector<std::int32_t>& pages) {
    std::string text;
    for (std::size_t i = 0; i < pages.size();) {
        std::size_t j = i;
        while (j + 1 < pages.size() && pages[j + 1] == pages[j] + 1) {
            ++j;
        }
        if (!text.empty()) {
            text += ", ";
        }
        text += std::to_string(pages[i]);
        if (j > i) {
            text += "-" + std::to_string(pages[j]);
        }
        i = j + 1;
    }
    return text;
}

constexpr const char* kRefusedText =
    "The document was not changed: its security settings do not allow changes.";
constexpr const char* kUnreadableText =
    "The document was not changed: its pages could not be read.";
constexpr const char* kIncompletePrintText =
    "The document was not printed: its stamps could not all be put on.";
constexpr const char* kNotRestoredText =
    "The file is not the one the run wrote: it was changed or replaced since. It was left as it "
    "is, and the run can still be undone once the file is back.";
constexpr const char* kStampsNotRemovedText =
    "the file was left as it is and stays in the undo history.";

// An incremental run's file that is byte for byte what the run wrote, its first bytes those the
// run found: its undo cuts it back to them.
bool CutsBack(const UndoRecord& record, const UndoEntry& entry, const FileFingerprint& now) {
    if (!record.Incremental || entry.Before.Empty() || entry.Fingerprint.Empty() ||
        now != entry.Fingerprint || entry.Fingerprint.Size <= entry.Before.Size) {
        return false;
    }
    std::string unreadable;
    return TakePrefixFingerprint(entry.Name, entry.Before.Size, unreadable) == entry.Before;
}

} // namespace

RunEngine::RunEngine(RunUi& ui) : ui_(ui) {}

std::string RunEngine::SkippedPagesText(const std::vector<model::Tesserion>& list,
                                        const std::vector<std::vector<std::int32_t>>& skipped) {
    std::string text;
    for (std::size_t i = 0; i < skipped.size() && i < list.size(); ++i) {
        if (skipped[i].empty()) {
            continue;
        }
        if (!text.empty()) {
            text += "\n";
        }
        text += "Pages not stamped with \"" + model::Windows1252ToUtf8(list[i].Name) +
                "\": " + PageListText(skipped[i]) + ".";
    }
    return text;
}

bool RunEngine::StampAll(const std::vector<model::Tesserion>& list, HDoc doc, std::time_t runTime,
                         std::vector<stamp::StampOutcome>& outcomes, const std::string& name,
                         DocumentPass& pass) {
    outcomes.clear();
    pass.StampedPages = 0;
    stamp::PageProgress progress;
    if (dryFailure_ == nullptr) {
        progress = [&](std::int32_t page, std::int32_t count) {
            ui_.PageProgress(name, page, count);
        };
    }
    for (const model::Tesserion& tesserion : list) {
        if (!continue_) {
            break;
        }
        stamp::StampOutcome outcome;
        stamp::StampDocument(tesserion, doc, runTime, &outcome, progress);
        outcomes.push_back(outcome);
        pass.StampedPages = std::max(pass.StampedPages, static_cast<int>(outcome.Stamped));
        if (outcome.Cancelled) {
            // The person chose to stop: the run ends after the document in hand, which is left
            // as it was.
            cancelled_ = true;
            counts_.Cancelled = true;
            continue_ = false;
            return false;
        }
        if (outcome.Refused || outcome.Unreadable) {
            pass.Refusal = outcome.Refused ? kRefusedText : kUnreadableText;
            return false;
        }
    }
    return true;
}

bool RunEngine::UnstampAll(const std::vector<model::Tesserion>& list,
                           const std::vector<stamp::StampOutcome>& outcomes, HDoc doc) {
    bool allOff = true;
    for (std::size_t i = std::min(outcomes.size(), list.size()); i > 0; --i) {
        const stamp::StampOutcome& outcome = outcomes[i - 1];
        if (outcome.Stamped == 0) {
            continue;
        }
        std::int32_t notRemoved = 0;
        if (!stamp::UnstampDocument(list[i - 1], doc, outcome.Skipped, &notRemoved) ||
            notRemoved != 0) {
            allOff = false;
        }
    }
    return allOff;
}

std::vector<model::Tesserion> RunEngine::ChosenTesserions() const {
    std::vector<model::Tesserion> list;
    if (apply_.SelectionMode == kSelectCurrent) {
        list.push_back(current_);
    } else if (apply_.SelectionMode == kSelectNamed) {
        for (const std::string& name : apply_.NamesToApply) {
            if (const model::Tesserion* t = tesserions_.Find(name)) {
                list.push_back(*t);
            }
        }
    }
    return list;
}

std::int32_t RunEngine::SaveFlags() const {
    return apply_.Incremental ? kSaveFlagsIncremental
           : apply_.Optimise  ? kSaveFlagsOptimised
                              : kSaveFlagsPlain;
}

void RunEngine::SetAuthorisation() {
    authPassword_ = security_.CurrentPassword;
    requiredBits_ = security_.ChangeSecurity ? kRequiredBitsSecurity : kRequiredBitsEdit;
}

std::string RunEngine::SavePathFor(const std::string& name) const {
    return savePath_ ? savePath_(name) : name;
}

// ---------------------------------------------------------------------------------------------
// Apply

void RunEngine::RunApply() {
    continue_ = true;
    cancelled_ = false;
    counts_ = RunCounts{};
    if (security_.ChangeSecurity &&
        (!security_.OpenPassword.empty() || !security_.OwnerPassword.empty())) {
        if (!ui_.ConfirmPasswords(security_.OpenPassword, security_.OwnerPassword)) {
            counts_.NotStarted = true;
            ui_.RunEnded();
            return;
        }
    }
    apply_.UndoHistory.emplace_back();
    UndoRecord& record = apply_.UndoHistory.back();
    record.Tesserions = ChosenTesserions();
    record.ChangedSecurity = security_.ChangeSecurity;
    record.Incremental = apply_.Incremental;
    record.ReopenPassword = !security_.ChangeSecurity          ? security_.CurrentPassword
                            : !security_.OwnerPassword.empty() ? security_.OwnerPassword
                                                               : security_.OpenPassword;
    const std::time_t runTime = std::time(nullptr);
    selectedSomewhere_.assign(record.Tesserions.size(), false);
    openedAny_ = false;

    StartEvents(apply_.MultipleDocuments ? ListedDocumentCount() : 1);
    if (apply_.MultipleDocuments) {
        ForEachListedEntry(kProcessAborted,
                           [&](const std::string& entry) { ProcessEntry(entry, runTime, record); });
    } else {
        bool applied = true;
        Emit(ProgressEvent::Kind::Started, kCurrentDocumentName);
        try {
            HDoc doc = hc::GetViewDocument(activeView_);
            DocumentPass pass;
            applied = ApplyToDocument(doc, runTime, record, true, kCurrentDocumentName, pass);
            if (applied && pass.Untouched) {
                CountUntouched(kCurrentDocumentName, pass.Note);
            } else if (applied && !pass.LeftAsItWas) {
                FinishDocument(kCurrentDocumentName, pass);
            }
        } catch (const std::exception& e) {
            ReportError(kCurrentDocumentName, e.what());
        }
        if (!applied) {
            apply_.UndoHistory.clear();
        }
    }
    counts_.OpenedAny = openedAny_;
    if (openedAny_) {
        for (std::size_t i = 0; i < selectedSomewhere_.size(); ++i) {
            if (!selectedSomewhere_[i]) {
                counts_.SelectedNothing.push_back(
                    model::Windows1252ToUtf8(record.Tesserions[i].Name));
            }
        }
    }
    // A run that changed no document leaves nothing to undo.
    if (!apply_.UndoHistory.empty() && apply_.UndoHistory.back().Entries.empty()) {
        apply_.UndoHistory.pop_back();
    }
    ui_.RunEnded();
}

void RunEngine::VisitEntry(const std::string& entry,
                           const std::function<void(const std::string&)>& visitListed,
                           const std::function<void(HPath, HFileSys)>& visitFile) {
    if (IsFolderEntry(entry)) {
        ForEachFolderFile(entry, visitListed);
        return;
    }
    Emit(ProgressEvent::Kind::Started, entry);
    AnnounceFile(entry);
    try {
        SetAuthorisation();
        HFileSys fileSystem = hc::GetDefaultFileSystem();
        hc::PathHandle path(fileSystem, hc::PathFromPlatformPath(fileSystem, entry));
        visitFile(path.get(), fileSystem);
    } catch (const std::exception& e) {
        ReportError(entry, e.what());
    }
}

void RunEngine::ProcessEntry(const std::string& entry, std::time_t runTime, UndoRecord& record) {
    VisitEntry(
        entry, [&](const std::string& path) { ProcessEntry(path, runTime, record); },
        [&](HPath path, HFileSys fileSystem) {
            OpenApplySave(path, fileSystem, runTime, record, entry);
        });
}

void RunEngine::OpenApplySave(HPath path, HFileSys fileSystem, std::time_t runTime,
                              UndoRecord& record, const std::string& name) {
    try {
        const std::string target = SavePathFor(name);
        std::string unreadable;
        const FileFingerprint before =
            target == name ? TakeFingerprint(name, unreadable) : FileFingerprint{};
        hc::DocumentHandle doc(hc::OpenDocument(path, fileSystem, AuthoriseOpenProc, this, false));
        DocumentPass pass;
        const bool ok = ApplyToDocument(doc.get(), runTime, record, false, name, pass);
        if (ok && !pass.LeftAsItWas) {
            try {
                UndoEntry& entry = record.Entries.back();
                entry.Name = target;
                entry.Before = before;
                if (saveObserver_) {
                    saveObserver_(record, entry, false);
                }
                if (target == name) {
                    hc::SaveDocument(doc.get(), SaveFlags(), path, fileSystem);
                } else {
                    hc::PathHandle targetPath(fileSystem,
                                              hc::PathFromPlatformPath(fileSystem, target));
                    hc::SaveDocument(doc.get(), SaveFlags(), targetPath.get(), fileSystem);
                }
            } catch (...) {
                record.Entries.pop_back();
                throw;
            }
            UndoEntry& entry = record.Entries.back();
            // Without a fingerprint an undo cannot tell a replaced file; it still works.
            entry.Fingerprint = TakeFingerprint(target, unreadable);
            if (saveObserver_) {
                try {
                    saveObserver_(record, entry, true);
                } catch (const std::exception&) {
                    // The entry was recorded ahead; the fingerprint is found again from the file.
                }
            }
            FinishDocument(name, pass);
        } else if (ok && pass.Untouched) {
            CountUntouched(name, pass.Note);
        }
        doc.Close();
    } catch (const std::exception& e) {
        ReportError(name, e.what());
    }
}

RunEngine::DryOutcome RunEngine::CheckDocument(const std::string& name, std::time_t runTime) {
    DryOutcome out;
    struct Dry {
        RunEngine& engine;
        ~Dry() { engine.dryFailure_ = nullptr; }
    } dry{*this};
    dryFailure_ = &out.Failure;
    continue_ = true;
    cancelled_ = false;
    UndoRecord record;
    record.Tesserions = ChosenTesserions();
    selectedSomewhere_.assign(record.Tesserions.size(), false);
    openedAny_ = false;
    try {
        SetAuthorisation();
        HFileSys fileSystem = hc::GetDefaultFileSystem();
        hc::PathHandle path(fileSystem, hc::PathFromPlatformPath(fileSystem, name));
        hc::DocumentHandle doc(
            hc::OpenDocument(path.get(), fileSystem, AuthoriseOpenProc, this, false));
        DocumentPass pass;
        const bool ok = ApplyToDocument(doc.get(), runTime, record, false, name, pass);
        if (ok && !pass.LeftAsItWas) {
            hc::PathHandle target(fileSystem,
                                  hc::PathFromPlatformPath(fileSystem, SavePathFor(name)));
            hc::SaveDocument(doc.get(), SaveFlags() | kHSaveCheckOnly, target.get(), fileSystem);
            out.Saved = true;
            if (!pass.Partial.empty()) {
                ReportError(name, pass.Partial);
            }
        }
        out.NotTouched = ok && pass.Untouched;
        out.Note = pass.Note;
        out.Cancelled = cancelled_;
        doc.Close();
    } catch (const std::exception& e) {
        ReportError(name, e.what());
    }
    out.Opened = openedAny_;
    out.Selected = selectedSomewhere_;
    continue_ = true;
    return out;
}

void RunEngine::FinishDocument(const std::string& name, const DocumentPass& pass) {
    if (pass.Partial.empty()) {
        CountProcessed(name, pass.Note, pass.StampedPages);
    } else {
        ReportError(name, pass.Partial);
    }
}

bool RunEngine::ApplyToDocument(HDoc doc, std::time_t runTime, UndoRecord& record, bool isCurrent,
                                const std::string& name, DocumentPass& pass) {
    pass = DocumentPass{};
    UndoEntry added;
    added.IsCurrent = isCurrent;
    added.Name = name;
    record.Entries.push_back(std::move(added));
    std::vector<stamp::StampOutcome> outcomes;
    try {
        if (!StampAll(record.Tesserions, doc, runTime, outcomes, name, pass)) {
            // Cancelled, or the document may not be changed: it is left as it was. A listed file
            // is not saved by the caller; the current document loses the stamps put on.
            if (isCurrent) {
                UnstampAll(record.Tesserions, outcomes, doc);
            }
            record.Entries.pop_back();
            pass.LeftAsItWas = true;
            if (!cancelled_) {
                ReportError(name, pass.Refusal);
            }
            return true;
        }
        openedAny_ = true;
        bool selectedAny = false;
        std::string unselected;
        for (std::size_t i = 0; i < outcomes.size() && i < record.Tesserions.size(); ++i) {
            if (outcomes[i].Selected > 0) {
                selectedAny = true;
                if (i < selectedSomewhere_.size()) {
                    selectedSomewhere_[i] = true;
                }
            } else {
                unselected += (unselected.empty() ? "\"" : ", \"") +
                              model::Windows1252ToUtf8(record.Tesserions[i].Name) + "\"";
            }
        }
        if (!unselected.empty()) {
            pass.Note = unselected + " selected no page of this document";
        }
        if (!record.Tesserions.empty() && !selectedAny && !ChangesBesidesStamps()) {
            // Nothing to do: the document is left as it was, unsaved and unrecorded.
            record.Entries.pop_back();
            pass.LeftAsItWas = true;
            pass.Untouched = true;
            return true;
        }
        UndoEntry& entry = record.Entries.back();
        for (std::size_t i = 0; i < outcomes.size(); ++i) {
            if (!outcomes[i].Skipped.empty()) {
                entry.SkippedPages.resize(outcomes.size());
                entry.SkippedPages[i] = outcomes[i].Skipped;
            }
        }
        pass.Partial = SkippedPagesText(record.Tesserions, entry.SkippedPages);
        entry.Info = info_;
        docsettings::CaptureInfo(entry.Info, doc);
        docsettings::ApplyInfo(info_, doc);
        entry.Open = open_;
        if (!LeavesViewAlone(open_)) {
            docsettings::CaptureView(entry.Open, doc);
            docsettings::ApplyView(open_, doc);
        }
        entry.Security = security_;
        if (security_.ChangeSecurity) {
            docsettings::CaptureSecurity(entry.Security, doc);
        }
        if (entry.Security.RemoveSecurity && security_.ChangeSecurity &&
            !security_.OwnerPassword.empty()) {
            // Undo takes off the security this run adds; the new owner password is what will
            // give it the right to.
            entry.Security.CurrentPassword = security_.OwnerPassword;
        }
        docsettings::ApplySecurity(security_, doc);
        return true;
    } catch (const std::exception& e) {
        record.Entries.pop_back();
        ReportError(name, e.what());
        return false;
    }
}

// ---------------------------------------------------------------------------------------------
// Undo

void RunEngine::RunUndo() {
    counts_ = RunCounts{};
    if (apply_.UndoHistory.empty()) {
        return;
    }
    continue_ = true;
    cancelled_ = false;
    const UndoRecord record = apply_.UndoHistory.back();
    StartEvents(static_cast<int>(record.Entries.size()));
    // What could not be restored (failed, or not reached after a No) stays in the history, so
    // the way back is never lost; older records are not touched.
    std::vector<UndoEntry> notRestored;
    for (const UndoEntry& entry : record.Entries) {
        if (!continue_) {
            notRestored.push_back(entry);
            continue;
        }
        const int restoredBefore = counts_.Processed;
        Emit(ProgressEvent::Kind::Started, entry.Name);
        if (entry.IsCurrent) {
            try {
                if (UndoDocument(hc::GetViewDocument(activeView_), record, entry)) {
                    CountProcessed(entry.Name);
                }
            } catch (const std::exception& e) {
                ReportError(kCurrentDocumentName, e.what());
            }
        } else {
            AnnounceFile(entry.Name);
            try {
                // The record knows what reopens its files, whatever the settings say now.
                authPassword_ = record.ReopenPassword;
                requiredBits_ = record.ChangedSecurity ? kRequiredBitsSecurity : kRequiredBitsEdit;
                std::string unreadable;
                FileFingerprint now;
                if (!entry.Fingerprint.Empty() || !entry.Before.Empty()) {
                    now = TakeFingerprint(entry.Name, unreadable);
                }
                if (!entry.Fingerprint.Empty()) {
                    if (!unreadable.empty()) {
                        throw std::runtime_error(entry.Name + ": " + unreadable);
                    }
                    if (now != entry.Fingerprint && now != entry.Before) {
                        throw std::runtime_error(kNotRestoredText);
                    }
                }
                if (!entry.Before.Empty() && entry.Fingerprint != entry.Before &&
                    now == entry.Before) {
                    // Its bytes are those from before the run: undone already (by an undo that
                    // was stopped after it, say, or a copy put back).
                    CountProcessed(entry.Name);
                } else if (CutsBack(record, entry, now)) {
                    // What the run appended comes off: the file's own bytes are back, and with
                    // them a signature over the whole of it.
                    if (undoObserver_) {
                        undoObserver_(entry, false);
                    }
                    CutFileBack(entry.Name, entry.Before.Size);
                    CountProcessed(entry.Name);
                } else {
                    HFileSys fileSystem = hc::GetDefaultFileSystem();
                    hc::PathHandle path(fileSystem,
                                        hc::PathFromPlatformPath(fileSystem, entry.Name));
                    OpenUndoSave(path.get(), fileSystem, record, entry);
                }
            } catch (const std::exception& e) {
                ReportError(entry.Name, e.what());
            }
        }
        if (counts_.Processed == restoredBefore) {
            notRestored.push_back(entry);
        } else if (!entry.IsCurrent) {
            if (!entry.Before.Empty()) {
                MoveOlderFingerprints(entry);
            }
            if (undoObserver_) {
                undoObserver_(entry, true);
            }
        }
    }
    CloseProgress();
    if (notRestored.empty()) {
        apply_.UndoHistory.pop_back();
    } else {
        apply_.UndoHistory.back().Entries = std::move(notRestored);
    }
    ui_.RunEnded();
}

void RunEngine::MoveOlderFingerprints(const UndoEntry& restored) {
    std::string unreadable;
    const FileFingerprint now = TakeFingerprint(restored.Name, unreadable);
    for (std::size_t i = 0; i + 1 < apply_.UndoHistory.size(); ++i) {
        for (UndoEntry& older : apply_.UndoHistory[i].Entries) {
            if (!older.IsCurrent && older.Name == restored.Name &&
                older.Fingerprint == restored.Before) {
                older.Fingerprint = now;
            }
        }
    }
}

void RunEngine::OpenUndoSave(HPath path, HFileSys fileSystem, const UndoRecord& record,
                             const UndoEntry& entry) {
    try {
        hc::DocumentHandle doc(hc::OpenDocument(path, fileSystem, AuthoriseOpenProc, this, false));
        if (UndoDocument(doc.get(), record, entry)) {
            if (undoObserver_) {
                undoObserver_(entry, false);
            }
            hc::SaveDocument(doc.get(), record.Incremental ? kSaveFlagsIncremental : SaveFlags(),
                             path, fileSystem);
            doc.Close();
            CountProcessed(entry.Name);
        }
    } catch (const std::exception& e) {
        ReportError(entry.Name, e.what());
    }
}

bool RunEngine::UndoDocument(HDoc doc, const UndoRecord& record, const UndoEntry& entry) {
    try {
        static const std::vector<std::int32_t> kNoneSkipped;
        for (std::size_t i = record.Tesserions.size(); i > 0 && continue_; --i) {
            const std::vector<std::int32_t>& skipped =
                i - 1 < entry.SkippedPages.size() ? entry.SkippedPages[i - 1] : kNoneSkipped;
            std::int32_t notRemoved = 0;
            if (!stamp::UnstampDocument(record.Tesserions[i - 1], doc, skipped, &notRemoved)) {
                ReportError(entry.Name, std::string("Its stamps could not be taken off; ") +
                                            kStampsNotRemovedText);
                return false;
            }
            if (notRemoved != 0) {
                ReportError(entry.Name, "The stamp \"" + record.Tesserions[i - 1].Name +
                                            "\" was not found on " + std::to_string(notRemoved) +
                                            (notRemoved == 1 ? " page" : " pages") + "; " +
                                            kStampsNotRemovedText);
                return false;
            }
        }
        docsettings::ApplyInfo(entry.Info, doc);
        if (!LeavesViewAlone(entry.Open)) {
            docsettings::ApplyView(entry.Open, doc);
        }
        docsettings::ApplySecurity(entry.Security, doc);
        return true;
    } catch (const std::exception& e) {
        ReportError(entry.Name, e.what());
        return false;
    }
}

// ---------------------------------------------------------------------------------------------
// Shared run state

bool RunEngine::ReportError(const std::string& name, const std::string& hostText) {
    if (dryFailure_ != nullptr) {
        if (dryFailure_->empty()) {
            *dryFailure_ = LimitErrorText(hostText);
        }
        return true;
    }
    ++counts_.Failed;
    Emit(ProgressEvent::Kind::Failed, name, LimitErrorText(hostText));
    if (!continue_) {
        return false;
    }
    const std::string text = "Error processing document: " + name + "\n" + LimitErrorText(hostText);
    continue_ = ui_.AskYesNo(text, kErrorBoxTitle);
    return continue_;
}

void RunEngine::Emit(ProgressEvent::Kind what, const std::string& name, const std::string& reason,
                     int pages) {
    ProgressEvent event;
    event.What = what;
    if (what == ProgressEvent::Kind::Started) {
        ++eventIndex_;
    }
    event.Name = name;
    event.Index = eventIndex_;
    event.Total = std::max(eventTotal_, eventIndex_ + 1);
    event.Reason = reason;
    event.Pages = what == ProgressEvent::Kind::Processed ? pages : 0;
    event.Processed = counts_.Processed;
    event.Failed = counts_.Failed;
    event.NotTouched = counts_.NotTouched;
    ui_.Progress(event);
}

void RunEngine::CountProcessed(const std::string& name, const std::string& note, int pages) {
    ++counts_.Processed;
    Emit(ProgressEvent::Kind::Processed, name, note, pages);
}

void RunEngine::CountUntouched(const std::string& name, const std::string& note) {
    ++counts_.NotTouched;
    Emit(ProgressEvent::Kind::NotTouched, name, note);
}

bool RunEngine::ChangesBesidesStamps() const {
    return info_.SetTitle || info_.SetSubject || info_.SetAuthor || info_.SetKeywords ||
           info_.SetIndex || info_.SetBaseURL || !LeavesViewAlone(open_) ||
           security_.ChangeSecurity;
}

void RunEngine::StartEvents(int total) {
    eventIndex_ = -1;
    eventTotal_ = total;
}

int RunEngine::ListedDocumentCount() const {
    int total = 0;
    std::function<void(const std::string&)> count = [&](const std::string& entry) {
        if (!IsFolderEntry(entry)) {
            ++total;
            return;
        }
        const FolderListing listing = ListFolder(entry);
        total += static_cast<int>(listing.PdfFiles.size());
        if (apply_.Recurse) {
            for (const std::string& sub : listing.Subfolders) {
                count(entry + sub + "/");
            }
        }
    };
    for (const std::string& entry : apply_.DocumentEntries) {
        count(entry);
    }
    return total;
}

bool RunEngine::AnnounceFile(const std::string& name) {
    if (!progressOpen_) {
        ui_.OpenProgress();
        progressOpen_ = true;
        progressHandle_ = ui_.ProgressWindowHandle();
        if (progressHandle_ != nullptr) {
            try {
                hc::RegisterModelessWindow(progressHandle_);
            } catch (const std::exception&) {
                // The window works without the host's registration; only its input may lag.
            }
        }
        filesProcessed_ = -1;
    }
    ++filesProcessed_;
    ui_.ShowProgress("Current file: " + name,
                     "Files processed: " + std::to_string(filesProcessed_));
    return ui_.ProgressGoOn();
}

void RunEngine::CloseProgress() {
    if (!progressOpen_) {
        return;
    }
    if (progressHandle_ != nullptr) {
        try {
            hc::UnregisterModelessWindow(progressHandle_);
        } catch (const std::exception&) {
        }
    }
    ui_.CloseProgress();
    progressOpen_ = false;
    progressHandle_ = nullptr;
}

bool RunEngine::AuthoriseOpen(HDoc doc) {
    std::int32_t granted = 0;
    if (hc::GetSecurityHandlerName(doc) == hc::CreateAtom("Standard")) {
        granted = hc::Authorise(doc, requiredBits_, authPassword_);
    } else {
        granted = hc::GetDocumentPermissions(doc);
    }
    return (granted & requiredBits_) == requiredBits_;
}

bool RunEngine::FolderLoopGoesOn() {
    if (!continue_) {
        return false;
    }
    if (stopWithinFolders_ && progressOpen_ && !ui_.ProgressGoOn()) {
        return false;
    }
    return true;
}

void RunEngine::ForEachListedEntry(const char* abortedText,
                                   const std::function<void(const std::string&)>& visit) {
    // Copied: a front end may change the list while the run reads it.
    const std::vector<std::string> entries = apply_.DocumentEntries;
    for (const std::string& entry : entries) {
        if (!continue_) {
            break;
        }
        visit(entry);
        // "Abort" is honoured between entries only.
        if (progressOpen_ && !ui_.ProgressGoOn()) {
            counts_.Aborted = true;
            Emit(ProgressEvent::Kind::Aborted, abortedText);
            AnnounceFile(abortedText);
            break;
        }
    }
    CloseProgress();
}

void RunEngine::ForEachFolderFile(const std::string& folder,
                                  const std::function<void(const std::string&)>& visit) {
    FolderListing listing = ListFolder(folder);
    if (listing.Error) {
        ReportError(folder, "The folder cannot be read: " + listing.Error.message());
        if (listing.PdfFiles.empty() && listing.Subfolders.empty()) {
            return;
        }
    }
    const std::vector<std::string>& files = listing.PdfFiles;
    std::vector<std::string> subfolders;
    if (apply_.Recurse) {
        subfolders = listing.Subfolders;
    }
    for (const std::string& sub : subfolders) {
        if (!FolderLoopGoesOn()) {
            return;
        }
        visit(folder + sub + "/");
    }
    for (const std::string& file : files) {
        if (!FolderLoopGoesOn()) {
            return;
        }
        visit(folder + file);
    }
}

// ---------------------------------------------------------------------------------------------
// Printing

void RunEngine::PrintDocuments() {
    continue_ = true;
    cancelled_ = false;
    counts_ = RunCounts{};
    const std::vector<model::Tesserion> list = ChosenTesserions();
    const std::time_t runTime = std::time(nullptr);
    StartEvents(apply_.MultipleDocuments ? ListedDocumentCount() : 1);
    if (apply_.MultipleDocuments) {
        ForEachListedEntry(kPrintingAborted,
                           [&](const std::string& entry) { PrintEntry(entry, runTime, list); });
    } else {
        Emit(ProgressEvent::Kind::Started, kCurrentDocumentName);
        PrintView(activeView_, runTime, list, true, kCurrentDocumentName);
    }
    ui_.RunEnded();
}

void RunEngine::PrintEntry(const std::string& entry, std::time_t runTime,
                           const std::vector<model::Tesserion>& list) {
    VisitEntry(
        entry, [&](const std::string& path) { PrintEntry(path, runTime, list); },
        [&](HPath path, HFileSys fileSystem) {
            PrintFile(path, fileSystem, runTime, list, entry);
        });
}

void RunEngine::PrintFile(HPath path, HFileSys fileSystem, std::time_t runTime,
                          const std::vector<model::Tesserion>& list, const std::string& name) {
    try {
        hc::DocumentHandle doc(hc::OpenDocument(path, fileSystem, AuthoriseOpenProc, this, false));
        PrintInView(doc.get(), runTime, list, name);
        doc.Close();
    } catch (const std::exception& e) {
        ReportError(name, e.what());
    }
}

void RunEngine::PrintInView(HDoc doc, std::time_t runTime,
                            const std::vector<model::Tesserion>& list, const std::string& name) {
    try {
        hc::ViewHandle view(hc::OpenView(doc));
        PrintView(view.get(), runTime, list, false, name);
        view.Close();
    } catch (const std::exception& e) {
        ReportError(name, e.what());
    }
}

void RunEngine::PrintView(HView view, std::time_t runTime,
                          const std::vector<model::Tesserion>& list, bool removeAfterwards,
                          const std::string& name) {
    HDoc doc = nullptr;
    std::int32_t flags = 0;
    std::vector<stamp::StampOutcome> outcomes;
    try {
        doc = hc::GetViewDocument(view);
        flags = hc::GetDocumentFlags(doc);
        DocumentPass pass;
        const bool whole = StampAll(list, doc, runTime, outcomes, name, pass);
        const bool allPages = std::all_of(outcomes.begin(), outcomes.end(),
                                          [](const stamp::StampOutcome& o) { return o.Whole(); });
        if (!whole && !cancelled_) {
            ReportError(name, pass.Refusal);
        } else if (whole && !allPages) {
            ReportError(name, std::string(kIncompletePrintText) + "\n" +
                                  SkippedPagesText(list, SkippedOf(outcomes)));
        } else if (whole) {
            const int failedBefore = counts_.Failed;
            PrintAllPages(view, name);
            if (counts_.Failed == failedBefore) {
                CountProcessed(name, {}, pass.StampedPages);
            }
        }
    } catch (const std::exception& e) {
        ReportError(name, e.what());
    }
    if (!removeAfterwards || doc == nullptr) {
        return;
    }
    // The print stamps always come off, whatever happened; the document is marked unchanged
    // again only when it was so before and every stamp did come off.
    try {
        if (UnstampAll(list, outcomes, doc) && (flags & kHDocNeedsSave) == 0) {
            hc::ClearDocumentFlags(doc, kHDocNeedsSave);
        }
    } catch (const std::exception& e) {
        ReportError(name, e.what());
    }
}

std::vector<std::vector<std::int32_t>>
RunEngine::SkippedOf(const std::vector<stamp::StampOutcome>& outcomes) {
    std::vector<std::vector<std::int32_t>> skipped;
    for (const stamp::StampOutcome& outcome : outcomes) {
        skipped.push_back(outcome.Skipped);
    }
    return skipped;
}

void RunEngine::PrintAllPages(HView view, const std::string& name) {
    try {
        const std::int32_t preference = hc::GetAppPreference(kHPrefPrint);
        const std::int32_t count = hc::GetPageCount(hc::GetViewDocument(view));
        hc::PrintPages(view, 0, count - 1, preference, false, false);
    } catch (const std::exception& e) {
        ReportError(name, e.what());
    }
}

} // namespace tesser::ui

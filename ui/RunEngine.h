// The runs behind "Apply", "Undo" and "Print...": UI-neutral, shared by the desktop dialog and the
// command line.
//
// A run walks the current document or the entries of ApplySettings::DocumentEntries. A file
// entry is opened through the host (with AuthoriseOpen), edited, saved with flags 37 (Optimise)
// or 33, or 64 (Incremental: the changes appended), and closed; a folder entry (ending in "/")
// stands for the "*.pdf" files directly in it, the extension compared ignoring letter case, in byte
// order of their names, subfolders only with Recurse. Host errors of a document are reported with
// ReportError ("Error processing document: "
// + name + "\n" + the host's text); a No there clears the continue flag and every loop stops. The
// progress window (through RunUi) names each file and counts them; its go-on flag is read after
// each list entry.
//
// Decisions beyond the dialog's behaviour:
// - A document is always closed (and a host path released) when a host error leaves its frame.
// - A file whose save fails leaves no undo entry: the file on disk was not changed, so undoing it
//   would take off content that is not a stamp.
// - A document that may not be changed (its security refuses, or its pages cannot be read)
//   is a failure: it is left as it was (a listed file is not saved, the current document loses
//   the stamps this run put on), gets no undo entry, and is reported with ReportError.
// - A document where pages were skipped after an error keeps what was stamped and is saved and
//   recorded (its undo takes off only the stamps that were put on), but it is reported with the
//   pages not stamped and counts as failed, never as processed.
// - Cancel to the crop-box warning (StampDocument's cancelled answer) stops the rest of the run.
//   The document in hand is left as it was: a listed file is closed unsaved, the current
//   document has the stamps of this run taken off again; it leaves no undo entry and prints
//   nothing.
// - A run that changed no document leaves no undo record.
// - Undo reopens files with the password the record keeps, and refuses a file that no longer
//   matches the fingerprint taken when the run saved it. The undo of a run that appended its
//   changes appends too, so that what the run kept intact (earlier revisions, signatures)
//   stays so. A record keeps the entries that could
//   not be restored (failed, or not reached after a No) until they are; older records are never
//   touched.
// - Printing takes off exactly the stamps it put on, also after an error or a No; the current
//   document is marked unchanged again only when it was so before and every stamp came off. A
//   document whose stamps could not all be put on is reported and not printed.
// - A folder that cannot be read is reported with ReportError instead of being passed over.
// - SetStopWithinFolders(true) lets the go-on flag also end a folder entry between its files
//   (the command line's Ctrl-C); the dialog finishes a folder first.
// - Open settings that change nothing (all rows 0, page 0, every option 2) are neither captured
//   nor applied, so a run that only stamps keeps the document's open action and catalogue.
// - Folder files are taken in byte order of their names, so runs and their logs are repeatable.
#pragma once

#include "docsettings/DocumentInfo.h"
#include "docsettings/InitialView.h"
#include "docsettings/SecuritySettings.h"
#include "hostapi/HostApi.h"
#include "model/Tesserion.h"
#include "model/TesserionList.h"
#include "stamp/StampingPass.h"
#include "ui/ApplySettings.h"
#include "ui/RunUi.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace tesser::ui {

// Save flags: full save with unused objects discarded (33), plus the optimised layout (37); or
// the changes appended to the file (64).
inline constexpr std::int32_t kSaveFlagsPlain = kHSaveFull | kHSaveCollectGarbage;
inline constexpr std::int32_t kSaveFlagsOptimised = kSaveFlagsPlain | kHSaveLinearized;
inline constexpr std::int32_t kSaveFlagsIncremental = kHSaveIncremental;
// Permission bits a run needs to open a file: open and change (9), plus change security (11).
inline constexpr std::int32_t kRequiredBitsEdit = kHPermOpenToEdit;
inline constexpr std::int32_t kRequiredBitsSecurity = kHPermOpenToEditSecurity;

// What the last run did, for a front end's summary and exit status.
struct RunCounts {
    int Processed = 0;       // documents finished (saved, undone or printed)
    int Failed = 0;          // documents whose failure went to ReportError
    bool Aborted = false;    // the go-on flag ended a list run early
    bool Cancelled = false;  // the crop-box warning was answered Cancel
    bool NotStarted = false; // "Confirm passwords" did not end with OK
    int NotTouched = 0;      // documents nothing was to be done to (not saved, not recorded)
    // An apply run's Tesserions that selected no page of any document the run opened, by name
    // (UTF-8); empty when the run opened none.
    std::vector<std::string> SelectedNothing;
    bool OpenedAny = false; // an apply run opened (and could stamp) a document
};

class RunEngine {
public:
    explicit RunEngine(RunUi& ui);
    RunEngine(const RunEngine&) = delete;
    RunEngine& operator=(const RunEngine&) = delete;

    // The records a run reads; owned by the engine, edited by the front end between runs.
    ApplySettings& Apply() { return apply_; }
    docsettings::InfoSettings& Info() { return info_; }
    docsettings::OpenSettings& Open() { return open_; }
    docsettings::SecuritySettings& Security() { return security_; }
    model::TesserionList& Tesserions() { return tesserions_; }
    model::Tesserion& CurrentTesserion() { return current_; }
    // The view of the host's current document (SelectionMode runs on it when MultipleDocuments
    // is false); null for none.
    void SetActiveView(HView view) { activeView_ = view; }
    void SetStopWithinFolders(bool stop) { stopWithinFolders_ = stop; }
    // Where a file entry's result is saved. By default over itself; a front end may map each
    // source path to another file (the source is then never written). Undo entries record the
    // path saved to.
    void SetSavePathMapper(std::function<std::string(const std::string&)> mapper) {
        savePath_ = std::move(mapper);
    }

    // For a front end that keeps the history on disk, so that a run killed at any moment loses
    // no way back. In a run over files, the save observer is called just before a document is
    // saved (saved false: the entry as it will be recorded, with Before but no Fingerprint yet)
    // and just after (saved true: with the Fingerprint of what was written). An exception from
    // the call before the save fails the document, which is then not saved; one from the call
    // after is ignored. The undo observer is called just before an undo saves a file (restored
    // false; an exception fails the file, which is then not saved) and after each file it
    // restored (restored true), with the history already updated for it (the file still in the
    // newest record).
    using SaveObserver =
        std::function<void(const UndoRecord& record, const UndoEntry& entry, bool saved)>;
    using UndoObserver = std::function<void(const UndoEntry& entry, bool restored)>;
    void SetSaveObserver(SaveObserver observer) { saveObserver_ = std::move(observer); }
    void SetUndoObserver(UndoObserver observer) { undoObserver_ = std::move(observer); }

    // The three commands. RunApply appends one UndoRecord to Apply().UndoHistory; RunUndo takes
    // the newest one off; PrintDocuments changes no file and no history.
    void RunApply();
    void RunUndo();
    void PrintDocuments();

    // What an apply run would do to one file, found by making every step of the run on it in
    // memory (opening with the run's authorisation, stamping, the settings) and every check of
    // its save (kHSaveCheckOnly), without writing or recording anything and without the error
    // box or the progress window: a dry run. The host's questions (the crop-box warning) still
    // go to its message sink.
    struct DryOutcome {
        std::string Failure;     // why the run would fail the file; empty when it would not
        std::string Note;        // what the run would say with the file (or why not touched)
        bool NotTouched = false; // the run would find nothing to do to it
        bool Cancelled = false;  // a question was answered Cancel: the run would stop there
        // The run would save the file: with a Failure, only some pages were stamped.
        bool Saved = false;
        // The run would open the document for stamping, and which of its Tesserions (in the
        // order of the run's) would select a page of it.
        bool Opened = false;
        std::vector<bool> Selected;
    };
    DryOutcome CheckDocument(const std::string& file, std::time_t runTime);
    // The file a run saves the listed file name to (SetSavePathMapper).
    std::string SavePathFor(const std::string& name) const;

    bool ContinueFlag() const { return continue_; }
    const RunCounts& LastRun() const { return counts_; }

    // The steps of a run, public so that each can be driven and checked on its own.
    void ProcessEntry(const std::string& entry, std::time_t runTime, UndoRecord& record);
    void OpenApplySave(HPath path, HFileSys fileSystem, std::time_t runTime, UndoRecord& record,
                       const std::string& name);
    // What ApplyToDocument found and did to the document in hand, for the run to count and
    // report it.
    struct DocumentPass {
        int StampedPages = 0;     // pages of the document that received a stamp
        std::string Refusal;      // why StampAll left the document as it was
        bool LeftAsItWas = false; // the document is unchanged: not to be saved
        bool Untouched = false;   // there was nothing to do to it (Note says why)
        std::string Note;         // the Tesserions that selected no page of it
        std::string Partial;      // the pages it was not stamped on
    };
    bool ApplyToDocument(HDoc doc, std::time_t runTime, UndoRecord& record, bool isCurrent,
                         const std::string& name, DocumentPass& pass);
    void OpenUndoSave(HPath path, HFileSys fileSystem, const UndoRecord& record,
                      const UndoEntry& entry);
    bool UndoDocument(HDoc doc, const UndoRecord& record, const UndoEntry& entry);
    // Shows the error box unless the continue flag is already false; answers the new flag.
    bool ReportError(const std::string& name, const std::string& hostText);
    // Opens the progress window on the first call of a run, then names the file and counts it.
    // Answers the go-on flag.
    bool AnnounceFile(const std::string& name);
    void CloseProgress();
    // The authorisation procedure handed to the host's OpenDocument.
    bool AuthoriseOpen(HDoc doc);

    void PrintEntry(const std::string& entry, std::time_t runTime,
                    const std::vector<model::Tesserion>& list);
    void PrintFile(HPath path, HFileSys fileSystem, std::time_t runTime,
                   const std::vector<model::Tesserion>& list, const std::string& name);
    void PrintInView(HDoc doc, std::time_t runTime, const std::vector<model::Tesserion>& list,
                     const std::string& name);
    void PrintView(HView view, std::time_t runTime, const std::vector<model::Tesserion>& list,
                   bool removeAfterwards, const std::string& name);
    void PrintAllPages(HView view, const std::string& name);

private:
    std::vector<model::Tesserion> ChosenTesserions() const;
    std::int32_t SaveFlags() const;
    void SetAuthorisation();
    // One entry of the documents list: a folder entry calls visitListed for each file it stands
    // for; a file is announced and handed to visitFile with its host path, inside a host error
    // frame whose errors go to ReportError.
    void VisitEntry(const std::string& entry,
                    const std::function<void(const std::string&)>& visitListed,
                    const std::function<void(HPath, HFileSys)>& visitFile);
    // Calls visit(entry) for each entry of the documents list while the run goes on; an "Abort"
    // between entries ends the loop with abortedText in the progress window.
    void ForEachListedEntry(const char* abortedText,
                            const std::function<void(const std::string&)>& visit);
    // Calls visit(path) for each file a folder entry stands for, while the run goes on.
    void ForEachFolderFile(const std::string& folder,
                           const std::function<void(const std::string&)>& visit);
    bool FolderLoopGoesOn();
    // Stamps each Tesserion of list in turn while the run goes on, one outcome each. Answers
    // false when the document must be left as it was: Cancel at the crop-box warning (the run
    // then stops) or a refusal to change it.
    bool StampAll(const std::vector<model::Tesserion>& list, HDoc doc, std::time_t runTime,
                  std::vector<stamp::StampOutcome>& outcomes, const std::string& name,
                  DocumentPass& pass);
    // Takes off, last first, exactly what the outcomes say was put on. True when all came off.
    bool UnstampAll(const std::vector<model::Tesserion>& list,
                    const std::vector<stamp::StampOutcome>& outcomes, HDoc doc);
    // After an undo restored a file: the older runs' entries that recorded the file as this
    // run found it now record it as the undo left it.
    void MoveOlderFingerprints(const UndoEntry& restored);
    // The progress events (RunUi::Progress): Emit sends one with the counts so far; a run
    // starts them with the number of documents it expects.
    // pages: of a processed document, the pages that received a stamp.
    void Emit(ProgressEvent::Kind what, const std::string& name, const std::string& reason = {},
              int pages = 0);
    void CountProcessed(const std::string& name, const std::string& note = {}, int pages = 0);
    // Counts a document as one nothing was to be done to; note says why.
    void CountUntouched(const std::string& name, const std::string& note);
    // The run asks for changes besides stamps (information, initial view, security).
    bool ChangesBesidesStamps() const;
    void StartEvents(int total);
    // The files the documents list stands for (folders' files counted, subfolders with Recurse).
    int ListedDocumentCount() const;
    // Counts a document as processed, or reports the pages it was not stamped on.
    void FinishDocument(const std::string& name, const DocumentPass& pass);
    static std::string SkippedPagesText(const std::vector<model::Tesserion>& list,
                                        const std::vector<std::vector<std::int32_t>>& skipped);
    static std::vector<std::vector<std::int32_t>>
    SkippedOf(const std::vector<stamp::StampOutcome>& outcomes);

    RunUi& ui_;
    ApplySettings apply_;
    docsettings::InfoSettings info_;
    docsettings::OpenSettings open_;
    docsettings::SecuritySettings security_;
    model::TesserionList tesserions_;
    model::Tesserion current_;
    HView activeView_ = nullptr;
    bool stopWithinFolders_ = false;
    std::function<std::string(const std::string&)> savePath_;
    SaveObserver saveObserver_;
    UndoObserver undoObserver_;

    // Run state (a document's own state is a DocumentPass, passed along).
    bool continue_ = true;
    std::string* dryFailure_ = nullptr; // during CheckDocument: where a failure is told
    bool cancelled_ = false;            // Cancel was answered at a crop-box warning of this run
    // For each of the run's Tesserions: it selected a page of a document the run opened.
    std::vector<bool> selectedSomewhere_;
    bool openedAny_ = false;
    bool progressOpen_ = false;
    void* progressHandle_ = nullptr;
    std::int32_t filesProcessed_ = -1;
    std::string authPassword_;
    std::int32_t requiredBits_ = kRequiredBitsEdit;
    RunCounts counts_;
    int eventIndex_ = -1;
    int eventTotal_ = 0;
};

} // namespace tesser::ui

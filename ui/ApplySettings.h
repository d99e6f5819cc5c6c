// What a run applies and to which documents, and the undo records the runs leave behind.
#pragma once

#include "docsettings/DocumentInfo.h"
#include "docsettings/InitialView.h"
#include "docsettings/SecuritySettings.h"
#include "model/Tesserion.h"
#include "ui/FileFingerprint.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tesser::ui {

// One document processed by a run without a failure, with what it held before the run.
struct UndoEntry {
    bool IsCurrent = false; // the host's current document
    std::string Name;       // the path under which the file was saved, or "[Current]"
    // Copies of the run's settings with the document's former values captured into them.
    docsettings::InfoSettings Info;
    docsettings::OpenSettings Open;
    docsettings::SecuritySettings Security;
    // For each Tesserion of the record, by index: the 1-based numbers of the pages its selection
    // includes that got no stamp (skipped after an error). A missing or empty list: every
    // selected page was stamped. Undo takes off only what was put on.
    std::vector<std::vector<std::int32_t>> SkippedPages;
    // The file as the run left it (empty for the current document); undo refuses a file that no
    // longer matches, so that a different file put under the name is not "restored".
    FileFingerprint Fingerprint;
    // The file before the run, when the run saved over it. Undoing this entry gives the file
    // new bytes; an older run's entry that recorded Before as its result is moved on to them, so
    // that undoing the runs newest first keeps working.
    FileFingerprint Before;

    bool operator==(const UndoEntry&) const = default;
};

// One apply run: the Tesserions in the order they were applied, and its documents in the order
// they were processed.
struct UndoRecord {
    std::vector<model::Tesserion> Tesserions;
    std::vector<UndoEntry> Entries;
    // The password that opens the run's files after the run (the new owner password, else the new
    // open password, else the password the run was given), Windows-1252 bytes; an undo reopens
    // the files with it.
    std::string ReopenPassword;
    bool ChangedSecurity = false; // the run changed security: reopening needs bits 11

    bool operator==(const UndoRecord&) const = default;
};

// SelectionMode values.
inline constexpr std::int32_t kSelectNone = 0;
inline constexpr std::int32_t kSelectCurrent = 1;
inline constexpr std::int32_t kSelectNamed = 2;

struct ApplySettings {
    std::int32_t SelectionMode = kSelectNone;
    bool MultipleDocuments = false; // false: the host's current document
    bool Recurse = false;           // folder entries descend into subfolders
    bool Optimise = true;           // save with the optimised (linearised) layout
    std::vector<std::string> NamesToApply; // in the order of application
    // File paths, and folder paths ending in "/" (their "*.pdf" files, letter case ignored).
    std::vector<std::string> DocumentEntries;
    std::vector<UndoRecord> UndoHistory; // oldest first
};

// The name under which the host's current document is reported and recorded.
inline constexpr const char* kCurrentDocumentName = "[Current]";

} // namespace tesser::ui

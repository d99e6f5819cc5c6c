// What a run applies and to which documents, and the undo records the runs leave behind.
#pragma once

#include "docsettings/DocumentInfo.h"
#include "docsettings/InitialView.h"
#include "docsettings/SecuritySettings.h"
#include "model/Tesserion.h"

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
};

// One apply run: the Tesserions in the order they were applied, and its documents in the order
// they were processed.
struct UndoRecord {
    std::vector<model::Tesserion> Tesserions;
    std::vector<UndoEntry> Entries;
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

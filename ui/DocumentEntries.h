// Entries of the documents list: a PDF file, or a folder (its path ends in "/") standing for
// the "*.pdf" files directly in it. The extension is matched in any letter case.
#pragma once

#include <string>
#include <system_error>
#include <vector>

namespace tesser::ui {

bool IsFolderEntry(const std::string& entry);
bool IsPdfFileName(const std::string& name);

// What a folder holds, by name, each list in byte order. Linked folders are not listed as
// subfolders (one could lead back to where a search started). error is set when the folder
// could not be read whole; what was read is still listed.
struct FolderListing {
    std::vector<std::string> PdfFiles;
    std::vector<std::string> Subfolders;
    std::error_code Error;
};
FolderListing ListFolder(const std::string& folder);

} // namespace tesser::ui

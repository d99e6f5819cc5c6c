#include "ui/DocumentEntries.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace fs = std::filesystem;

namespace tesser::ui {

bool IsFolderEntry(const std::string& entry) {
    return !entry.empty() && entry.back() == '/';
}

bool IsPdfFileName(const std::string& name) {
    if (name.size() < 4) {
        return false;
    }
    std::string ext = name.substr(name.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".pdf";
}

FolderListing ListFolder(const std::string& folder) {
    FolderListing listing;
    fs::directory_iterator it(fs::path(folder), listing.Error);
    if (listing.Error) {
        return listing;
    }
    for (; it != fs::directory_iterator(); it.increment(listing.Error)) {
        std::error_code typeError;
        const std::string name = it->path().filename().string();
        if (it->is_directory(typeError)) {
            if (!it->is_symlink(typeError)) {
                listing.Subfolders.push_back(name);
            }
        } else if (IsPdfFileName(name)) {
            listing.PdfFiles.push_back(name);
        }
    }
    std::sort(listing.PdfFiles.begin(), listing.PdfFiles.end());
    std::sort(listing.Subfolders.begin(), listing.Subfolders.end());
    return listing;
}

} // namespace tesser::ui

// The profile as the command line reads and writes it: found or reported missing, read as
// Windows-1252 or as UTF-8 when it was written so by hand, its unlisted sections reported, and
// written back without losing sections that are not Tesserions.
#pragma once

#include "model/Profile.h"
#include "model/TesserionList.h"

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tesser::cli {

// A profile that cannot be used; the message says why and how to mend it.
class ProfileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct LoadedProfile {
    std::filesystem::path Path;
    bool Exists = false;
    bool WasUtf8 = false; // the file was UTF-8 and has been read as such
    model::TesserionList Tesserions;
    // Notes for the user (UTF-8): a section not listed in [Tesserions], a UTF-8 file.
    std::vector<std::string> Notes;
};

// Reads the profile at path (given: -p FILE) or the default one into profile and answers its
// Tesserions. A file whose bytes are UTF-8 with characters beyond ASCII (or that starts with a
// UTF-8 byte-order mark) is converted to Windows-1252 first; one holding a character with no
// Windows-1252 form throws ProfileError. A given path that does not exist throws ProfileError;
// the default one that does not exist is an empty profile (Exists false).
LoadedProfile LoadProfile(model::Profile& profile, const std::optional<std::string>& given);

// Writes list as the profile's Tesserions: the sections "Tesserions" and "Tesserion_" + each
// name of oldNames are replaced, every other section is kept as it was. The file is replaced
// atomically. Throws ProfileError when it cannot be written (the old file then stays).
void SaveProfile(model::Profile& profile, const model::TesserionList& list,
                 const model::TesserionList& old);

// The Tesserion named name (Windows-1252), or a ProfileError that says none is, naming the
// profile and, when there is one, a near name ("did you mean ...?").
const model::Tesserion& FindTesserion(const LoadedProfile& loaded, const std::string& name);

} // namespace tesser::cli

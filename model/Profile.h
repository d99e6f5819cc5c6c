// The profile: a sectioned key/value store kept in the text file "Quorel.ini".
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace tesser::model {

inline constexpr std::string_view ProfileFileName = "Quorel.ini";

// $XDG_CONFIG_HOME when it is set to an absolute path, else $HOME/.config (the password
// database's home folder when HOME is unset).
std::filesystem::path DefaultProfileFolder();
// DefaultProfileFolder() / "Quorel.ini".
std::filesystem::path DefaultProfilePath();

// Where the profile's save failures are told: title and text, both UTF-8 (the path as the file
// system spells it). The desktop host shows a message box, the command-line host the terminal.
using ProfileMessageSink = std::function<void(const std::string& title, const std::string& text)>;
// Sets the process-wide sink; an empty function restores the default (standard error).
// Returns the sink that was set before.
ProfileMessageSink SetProfileMessageSink(ProfileMessageSink sink);

// Sections and keys are compared byte by byte, case-sensitively, and walked in ascending order.
using ProfileKeys = std::map<std::string, std::string, std::less<>>;
using ProfileSections = std::map<std::string, ProfileKeys, std::less<>>;

// Reads profile text. Lines end in LF, with any number of CR and LF characters at the end
// removed; lines are read whole whatever their length. A line "[name]..." opens (or reopens)
// section name, the text up to the first "]"; independently, a line holding "=" sets the key
// before the first "=" to all the text after it, in the current section, nothing trimmed.
// Key lines before the first section, empty lines and other lines are ignored; a later line for
// a key replaces the earlier value.
ProfileSections ParseProfileText(std::string_view bytes);
// Writes "[name]" CR LF, then "key=value" CR LF per key, then an empty line, for every section.
// Values must not hold CR or LF (SetEscapedString is for texts that may).
std::string FormatProfileText(const ProfileSections& sections);

// Backslash -> "\\", LF -> "\n", CR -> "\r"; everything else unchanged.
std::string EscapeProfileText(std::string_view text);
// Left to right: "\n" -> LF, "\r" -> CR, backslash + any other character -> that character; a
// backslash at the very end is dropped.
std::string UnescapeProfileText(std::string_view text);

// The store is read from its file on first access and written back, as a whole, by Save when
// something was set; releasing the store saves. Reading a section that does not exist creates it
// empty in memory (it is then written too, as its header and an empty line) without counting as
// a change. Not thread-safe: one store is used from one thread.
class Profile {
public:
    Profile() = default;
    // The store of the file at path (see SetPath).
    explicit Profile(std::filesystem::path path);
    // Saves (see Save); failures are reported to the message sink, never thrown.
    ~Profile();
    Profile(const Profile&) = delete;
    Profile& operator=(const Profile&) = delete;

    // The path becomes DefaultProfileFolder() joined with the file-name part of name only
    // ("x/y/Quorel.ini" -> <folder>/Quorel.ini). A save creates that folder when it is missing.
    void SetFileName(std::string_view name);
    // The path becomes path exactly, as given on a command line; its folder is never created.
    void SetPath(std::filesystem::path path);
    const std::filesystem::path& Path() const { return path_; }

    // Replaces the store with the content of profile text, as if read from the file (the file
    // is then not read); no change is recorded.
    void LoadText(std::string_view bytes);

    // The stored value, or fallback when the key is absent.
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view fallback = {});
    // GetString with white space removed at both ends, whether the value or the fallback.
    std::string GetTrimmedString(std::string_view section, std::string_view key,
                                 std::string_view fallback = {});
    // GetString, unescaped (UnescapeProfileText) and not trimmed.
    std::string GetEscapedString(std::string_view section, std::string_view key,
                                 std::string_view fallback = {});
    // "TRUE" or "FALSE" in any letter case, trimmed; any other text gives fallback.
    bool GetBool(std::string_view section, std::string_view key, bool fallback);
    // The trimmed value's leading decimal integer (sign and digits; text after it is ignored),
    // saturated to the 32-bit range; a value with no digits gives 0, an absent key fallback.
    std::int32_t GetInt(std::string_view section, std::string_view key, std::int32_t fallback);
    // GetInt clamped to minimum..maximum.
    std::int32_t GetIntInRange(std::string_view section, std::string_view key,
                               std::int32_t fallback, std::int32_t minimum, std::int32_t maximum);
    // The trimmed value's leading decimal number (ReadNumber); no number gives 0, an absent key
    // fallback. Locale-independent.
    double GetDouble(std::string_view section, std::string_view key, double fallback);
    // GetDouble; a value not at least minimum (NaN included) gives minimum, above maximum gives
    // maximum.
    double GetDoubleInRange(std::string_view section, std::string_view key, double fallback,
                            double minimum, double maximum);

    // Each writer records a change. SetString's value must not hold CR or LF.
    void SetString(std::string_view section, std::string_view key, std::string_view value);
    void SetEscapedString(std::string_view section, std::string_view key, std::string_view value);
    void SetBool(std::string_view section, std::string_view key, bool value);        // TRUE/FALSE
    void SetInt(std::string_view section, std::string_view key, std::int32_t value); // "%d"
    void SetDouble(std::string_view section, std::string_view key, double value);    // "%f"

    // Removes every section; the file is not read afterwards; no change is recorded.
    void Clear();

    // When something changed: writes the file atomically (WriteFileAtomically, CR LF line ends)
    // and clears the changed flag, also on failure, so a failed save is not repeated on release.
    // On failure the old file stays byte for byte, and the message sink is told, titled
    // "Error saving profile": "File could not be opened for writing: " + path when the file
    // cannot be created, "File could not be written: " + path when writing it fails.
    // Returns true when nothing needed writing or the file was written.
    bool Save();

    bool IsChanged() const { return changed_; }
    // The whole store (read from the file first if needed).
    const ProfileSections& Sections();

private:
    void LoadIfNeeded();
    ProfileKeys& SectionFor(std::string_view section);
    const std::string* Find(std::string_view section, std::string_view key);

    std::filesystem::path path_;
    bool loaded_ = false;
    bool changed_ = false;
    bool createFolder_ = false;
    ProfileSections sections_;
};

} // namespace tesser::model

// The security settings of one open document: the host's standard security handler with an open
// password, an owner password and four permissions.
//
// ApplySecurity hands the settings to the host; they reach the file when the document is saved.
// CaptureSecurity records the document's present security in a copy of the record so that "Undo"
// gives it back by calling ApplySecurity with the copy. Host calls are made directly: a host error
// ends the operation with hostcalls::HostError and whatever was handed over before stays.
#pragma once

#include "hostapi/HostTypes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tesser::docsettings {

// Permission bits granted to users.
inline constexpr uint32_t kPermitPrint = kHPermPrint;
inline constexpr uint32_t kPermitChange = kHPermEdit;
inline constexpr uint32_t kPermitCopy = kHPermCopy;
inline constexpr uint32_t kPermitNotes = kHPermEditNotes;
inline constexpr uint32_t kPermitAll = kPermitPrint | kPermitChange | kPermitCopy | kPermitNotes;

// Passwords reach the document as at most their first kMaxPasswordBytes bytes.
inline constexpr std::size_t kMaxPasswordBytes = 255;

inline constexpr const char* kOwnerPasswordIncorrect = "Owner password is incorrect";
inline constexpr const char* kOnlyStandardHandler =
    "Plug-in only works for Standard Security Handler";

// The Security page's settings. Passwords are Windows-1252 bytes, used byte for byte.
struct SecuritySettings {
    // Password of the documents as they are now; tried to get the right to change their security.
    // In a capture: the password that gives that right over the security the run writes (the new
    // owner password, when the run sets one), so that undo is allowed to put the old one back.
    std::string CurrentPassword;
    std::string OpenPassword;  // new password to open the document
    std::string OwnerPassword; // new password to change the security options
    bool ChangeSecurity = false;
    uint32_t Permissions = kPermitAll;

    // Capture only: the document had no security, so applying the capture takes it off again.
    bool RemoveSecurity = false;

    bool operator==(const SecuritySettings&) const = default;
};

// The standard handler's security record, kHSecurityRecordSize (528) bytes, little-endian:
//   0   u32  record size, 528
//   4   u16  1 when a new open password is given
//   6   u16  1 when the document has an open password
//   8   256  open password, zero-terminated
//   264 u16  1 when a new owner password is given
//   266 u16  1 when the document has an owner password
//   268 256  owner password, zero-terminated
//   524 u32  permission bits, as in SecuritySettings::Permissions
// A password the host cannot read back from a file comes as the host's kept-security marker; a
// record that carries one makes the host put the file's original encryption back on save.
struct SecurityRecord {
    bool newOpenPassword = false;
    bool hasOpenPassword = false;
    std::string openPassword;
    bool newOwnerPassword = false;
    bool hasOwnerPassword = false;
    std::string ownerPassword;
    uint32_t permissions = 0;
};

inline constexpr std::size_t kSecurityRecordBytes = 528;
static_assert(kSecurityRecordBytes == kHSecurityRecordSize);

// Writes the record into bytes (all of them; passwords cut to kMaxPasswordBytes).
void EncodeSecurityRecord(const SecurityRecord& record, unsigned char* bytes);
std::array<unsigned char, kSecurityRecordBytes> EncodeSecurityRecord(const SecurityRecord& record);
// Reads a record; a password ends at its zero byte or after kMaxPasswordBytes bytes.
SecurityRecord DecodeSecurityRecord(const unsigned char* bytes);

// The record ApplySecurity hands over for the settings: permission bits, and each non-empty
// password with both of its flags set.
SecurityRecord RecordFromSettings(const SecuritySettings& settings);

// With ChangeSecurity false nothing is done (no host call). Otherwise:
//   - a document secured by another handler than "Standard" is left as it is and
//     "Plug-in only works for Standard Security Handler" is shown (ShowNote);
//   - a document whose standard security neither the empty password nor CurrentPassword lets
//     change (permission bit 2) is left as it is and "Owner password is incorrect" is shown;
//   - a captured record with RemoveSecurity takes the security off (the next save writes the
//     file without encryption);
//   - else the document gets the standard handler with RecordFromSettings, written at the next
//     save. A new open password without an owner password is the owner password too, so the
//     file needs a password to open (an empty owner password would open it with every right).
void ApplySecurity(const SecuritySettings& settings, HDoc doc);

// For a document with standard security: ChangeSecurity true, Permissions from the document, each
// password the document has from the document (empty when it has none), and CurrentPassword set
// to the owner password the run is about to write (the new open password when no owner password
// is given, see ApplySecurity) when settings held one with ChangeSecurity set. For a document
// without security: RemoveSecurity true, the rest as it was. For a document secured by another
// handler: ChangeSecurity false (the run leaves it alone, so must undo).
void CaptureSecurity(SecuritySettings& settings, HDoc doc);

// Which password a UTF-8 entry point sets.
enum class PasswordItem { Current, Open, Owner };

// Sets a password from UTF-8 input, converted to Windows-1252. Throws SettingsTextError
// (DocumentInfo.h) naming the field when the text has a character with no Windows-1252 form, is
// not valid UTF-8 or holds a zero byte; the settings are then unchanged. A password longer than
// kMaxPasswordBytes bytes is accepted and cut when it reaches the document.
void SetPasswordFromUtf8(SecuritySettings& settings, PasswordItem item, std::string_view utf8);

} // namespace tesser::docsettings

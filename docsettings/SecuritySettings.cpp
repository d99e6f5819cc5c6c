#include "docsettings/SecuritySettings.h"

#include "docsettings/CosAccess.h"
#include "docsettings/DocumentInfo.h"
#include "model/TextEncoding.h"

#include <algorithm>
#include <cstring>

namespace tesser::docsettings {

namespace pc = tesser::hostcalls;

namespace {

constexpr std::size_t kOpenFlagNew = 4;
constexpr std::size_t kOpenFlagHas = 6;
constexpr std::size_t kOpenText = 8;
constexpr std::size_t kOwnerFlagNew = 264;
constexpr std::size_t kOwnerFlagHas = 266;
constexpr std::size_t kOwnerText = 268;
constexpr std::size_t kPermissionBits = 524;
constexpr std::size_t kTextField = 256;

void Put16(unsigned char* at, uint16_t value) {
    at[0] = static_cast<unsigned char>(value & 0xFF);
    at[1] = static_cast<unsigned char>(value >> 8);
}

void Put32(unsigned char* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<unsigned char>((value >> (8 * i)) & 0xFF);
    }
}

uint16_t Get16(const unsigned char* at) {
    return static_cast<uint16_t>(at[0] | (at[1] << 8));
}

uint32_t Get32(const unsigned char* at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | at[i];
    }
    return value;
}

void PutText(unsigned char* at, const std::string& text) {
    const std::size_t length = std::min(text.size(), kMaxPasswordBytes);
    std::memcpy(at, text.data(), length);
    at[length] = 0;
}

std::string GetText(const unsigned char* at) {
    std::size_t length = 0;
    while (length < kMaxPasswordBytes && at[length] != 0) {
        ++length;
    }
    return std::string(reinterpret_cast<const char*>(at), length);
}

// An open password alone would leave the owner password empty, and the empty password would then
// open the file with every right.
std::string OwnerPasswordWritten(const SecuritySettings& settings) {
    return settings.OwnerPassword.empty() ? settings.OpenPassword : settings.OwnerPassword;
}

bool IsStandardHandler(HDoc doc) {
    return pc::GetSecurityHandlerName(doc) == cos::Atom("Standard");
}

} // namespace

void EncodeSecurityRecord(const SecurityRecord& record, unsigned char* bytes) {
    std::memset(bytes, 0, kSecurityRecordBytes);
    Put32(bytes, static_cast<uint32_t>(kSecurityRecordBytes));
    Put16(bytes + kOpenFlagNew, record.newOpenPassword ? 1 : 0);
    Put16(bytes + kOpenFlagHas, record.hasOpenPassword ? 1 : 0);
    PutText(bytes + kOpenText, record.openPassword);
    Put16(bytes + kOwnerFlagNew, record.newOwnerPassword ? 1 : 0);
    Put16(bytes + kOwnerFlagHas, record.hasOwnerPassword ? 1 : 0);
    PutText(bytes + kOwnerText, record.ownerPassword);
    Put32(bytes + kPermissionBits, record.permissions);
}

std::array<unsigned char, kSecurityRecordBytes> EncodeSecurityRecord(const SecurityRecord& record) {
    std::array<unsigned char, kSecurityRecordBytes> bytes{};
    EncodeSecurityRecord(record, bytes.data());
    return bytes;
}

SecurityRecord DecodeSecurityRecord(const unsigned char* bytes) {
    static_assert(kOpenText + kTextField == kOwnerFlagNew);
    static_assert(kOwnerText + kTextField == kPermissionBits);
    SecurityRecord record;
    record.newOpenPassword = Get16(bytes + kOpenFlagNew) != 0;
    record.hasOpenPassword = Get16(bytes + kOpenFlagHas) != 0;
    record.openPassword = GetText(bytes + kOpenText);
    record.newOwnerPassword = Get16(bytes + kOwnerFlagNew) != 0;
    record.hasOwnerPassword = Get16(bytes + kOwnerFlagHas) != 0;
    record.ownerPassword = GetText(bytes + kOwnerText);
    record.permissions = Get32(bytes + kPermissionBits);
    return record;
}

SecurityRecord RecordFromSettings(const SecuritySettings& settings) {
    SecurityRecord record;
    record.permissions = settings.Permissions;
    if (!settings.OpenPassword.empty()) {
        record.newOpenPassword = record.hasOpenPassword = true;
        record.openPassword = settings.OpenPassword.substr(0, kMaxPasswordBytes);
    }
    if (!settings.OwnerPassword.empty()) {
        record.newOwnerPassword = record.hasOwnerPassword = true;
        record.ownerPassword = settings.OwnerPassword.substr(0, kMaxPasswordBytes);
    }
    return record;
}

void ApplySecurity(const SecuritySettings& settings, HDoc doc) {
    if (!settings.ChangeSecurity) {
        return;
    }
    if (pc::GetSecurityData(doc) != nullptr) {
        if (!IsStandardHandler(doc)) {
            pc::ShowNote(kOnlyStandardHandler);
            return;
        }
        // Without the right to change the security, the passwords of a file its user may only
        // read must stay as they are.
        if ((pc::Authorise(doc, kHPermSecure, "") & kHPermSecure) == 0 &&
            (pc::Authorise(doc, kHPermSecure, settings.CurrentPassword) & kHPermSecure) == 0) {
            pc::ShowNote(kOwnerPasswordIncorrect);
            return;
        }
    }
    if (settings.RemoveSecurity) {
        pc::SetSecurityHandler(doc, cos::Atom("None"));
        pc::SetDocumentFlags(doc, kHDocNewSecurity);
        return;
    }
    pc::SetSecurityHandler(doc, cos::Atom("Standard"));
    unsigned char* record = pc::NewSecurityData(doc);
    if (record == nullptr) {
        return;
    }
    SecuritySettings written = settings;
    written.OwnerPassword = OwnerPasswordWritten(settings);
    EncodeSecurityRecord(RecordFromSettings(written), record);
    pc::SetSecurityData(doc, record);
    pc::SetDocumentFlags(doc, kHDocNewSecurity);
}

void CaptureSecurity(SecuritySettings& settings, HDoc doc) {
    // After the run the security it writes is the one undo must be allowed to change.
    if (settings.ChangeSecurity && !OwnerPasswordWritten(settings).empty()) {
        settings.CurrentPassword = OwnerPasswordWritten(settings);
    }
    if (!IsStandardHandler(doc)) {
        if (pc::GetSecurityData(doc) == nullptr) {
            settings.RemoveSecurity = true;
        } else {
            settings.ChangeSecurity = false;
        }
        return;
    }
    settings.ChangeSecurity = true;
    settings.RemoveSecurity = false;
    const std::vector<unsigned char> bytes = pc::GetStandardSecurityData(doc);
    if (bytes.size() < kSecurityRecordBytes) {
        return;
    }
    const SecurityRecord record = DecodeSecurityRecord(bytes.data());
    settings.Permissions = record.permissions;
    settings.OpenPassword = record.hasOpenPassword ? record.openPassword : std::string();
    settings.OwnerPassword = record.hasOwnerPassword ? record.ownerPassword : std::string();
}

void SetPasswordFromUtf8(SecuritySettings& settings, PasswordItem item, std::string_view utf8) {
    const char* label = item == PasswordItem::Current ? "Current password"
                        : item == PasswordItem::Open  ? "Open password"
                                                      : "Owner password";
    std::string bytes;
    try {
        bytes = model::Utf8ToWindows1252(utf8);
    } catch (const model::TextEncodingError& error) {
        throw SettingsTextError(std::string(label) + ": " + error.what());
    }
    if (bytes.find('\0') != std::string::npos) {
        throw SettingsTextError(std::string(label) + ": a password cannot hold a zero byte");
    }
    std::string& target = item == PasswordItem::Current ? settings.CurrentPassword
                          : item == PasswordItem::Open  ? settings.OpenPassword
                                                        : settings.OwnerPassword;
    target = std::move(bytes);
}

} // namespace tesser::docsettings

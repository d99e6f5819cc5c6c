// The 528-byte security record and the conversion of user input at the edge. No host needed.
#include "docsettings/DocumentInfo.h"
#include "docsettings/InitialView.h"
#include "docsettings/SecuritySettings.h"

#include <gtest/gtest.h>

#include <string>

namespace tesser::docsettings {
namespace {

uint32_t Read32(const unsigned char* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
           static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

TEST(SecurityRecordLayout, FieldsSitAtTheirByteOffsetsLittleEndian) {
    SecurityRecord record;
    record.newOpenPassword = true;
    record.hasOpenPassword = true;
    record.openPassword = "open";
    record.newOwnerPassword = true;
    record.hasOwnerPassword = false;
    record.ownerPassword = "own\xE9";
    record.permissions = kPermitPrint | kPermitCopy;
    const auto bytes = EncodeSecurityRecord(record);

    EXPECT_EQ(Read32(&bytes[0]), 528u);
    EXPECT_EQ(bytes[4], 1);
    EXPECT_EQ(bytes[5], 0);
    EXPECT_EQ(bytes[6], 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[8]), 5), std::string("open\0", 5));
    EXPECT_EQ(bytes[264], 1);
    EXPECT_EQ(bytes[266], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[268]), 5),
              std::string("own\xE9\0", 5));
    EXPECT_EQ(Read32(&bytes[524]), 20u);
}

TEST(SecurityRecordLayout, DecodeReadsBackWhatEncodeWrote) {
    SecurityRecord record;
    record.hasOwnerPassword = true;
    record.ownerPassword = "secret";
    record.permissions = 0x3C;
    const auto bytes = EncodeSecurityRecord(record);
    const SecurityRecord back = DecodeSecurityRecord(bytes.data());
    EXPECT_FALSE(back.newOpenPassword);
    EXPECT_FALSE(back.hasOpenPassword);
    EXPECT_EQ(back.openPassword, "");
    EXPECT_FALSE(back.newOwnerPassword);
    EXPECT_TRUE(back.hasOwnerPassword);
    EXPECT_EQ(back.ownerPassword, "secret");
    EXPECT_EQ(back.permissions, 0x3Cu);
}

TEST(SecurityRecordFromSettings, BothPasswordsEmptyGiveAllFourFlagsZero) {
    SecuritySettings settings;
    settings.ChangeSecurity = true;
    settings.Permissions = kPermitPrint;
    const auto bytes = EncodeSecurityRecord(RecordFromSettings(settings));
    EXPECT_EQ(bytes[4] | bytes[6] | bytes[264] | bytes[266], 0);
    EXPECT_EQ(bytes[8], 0);
    EXPECT_EQ(bytes[268], 0);
    EXPECT_EQ(Read32(&bytes[524]), kPermitPrint);
}

TEST(SecurityRecordFromSettings, A300BytePasswordReachesTheRecordAsItsFirst255Bytes) {
    SecuritySettings settings;
    std::string password;
    for (int i = 0; i < 300; ++i) {
        password += static_cast<char>('a' + i % 26);
    }
    settings.OpenPassword = password;
    const auto bytes = EncodeSecurityRecord(RecordFromSettings(settings));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[8]), 255), password.substr(0, 255));
    EXPECT_EQ(bytes[8 + 255], 0);
    EXPECT_EQ(bytes[264], 0) << "the open password must not spill into the owner fields";
    EXPECT_EQ(DecodeSecurityRecord(bytes.data()).openPassword, password.substr(0, 255));
}

TEST(SettingsFromUtf8, TextsAreConvertedToWindows1252) {
    InfoSettings info;
    SetInfoTextFromUtf8(info, InfoItem::Title, "Caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(info.Title, "Caf\xE9 \x80");
    EXPECT_EQ(InfoTextToUtf8(info, InfoItem::Title), "Caf\xC3\xA9 \xE2\x82\xAC");
    SetInfoTextFromUtf8(info, InfoItem::IndexFile, "C:\\Docs\\books.pdx");
    EXPECT_EQ(info.IndexFile, "C:\\Docs\\books.pdx");
}

TEST(SettingsFromUtf8, ACharacterWithoutWindows1252FormIsRefusedNamingTheField) {
    InfoSettings info;
    info.Author = "before";
    try {
        SetInfoTextFromUtf8(info, InfoItem::Author, "Zh\xE4\xB8\xAD");
        FAIL() << "no error";
    } catch (const SettingsTextError& error) {
        const std::string message = error.what();
        EXPECT_EQ(message.rfind("Author: ", 0), 0u) << message;
        EXPECT_NE(message.find("U+4E2D"), std::string::npos) << message;
    }
    EXPECT_EQ(info.Author, "before");
}

TEST(SettingsFromUtf8, PasswordsAreRefusedForForeignCharactersInvalidUtf8AndZeroBytes) {
    SecuritySettings security;
    SetPasswordFromUtf8(security, PasswordItem::Owner, "m\xC3\xBCller");
    EXPECT_EQ(security.OwnerPassword, "m\xFCller");
    EXPECT_THROW(SetPasswordFromUtf8(security, PasswordItem::Open, "\xD0\x96"), SettingsTextError);
    EXPECT_THROW(SetPasswordFromUtf8(security, PasswordItem::Open, "\xC3"), SettingsTextError);
    EXPECT_THROW(SetPasswordFromUtf8(security, PasswordItem::Current, std::string("a\0b", 3)),
                 SettingsTextError);
    EXPECT_EQ(security.OpenPassword, "");
    EXPECT_EQ(security.CurrentPassword, "");
    try {
        SetPasswordFromUtf8(security, PasswordItem::Open, "\xD0\x96");
    } catch (const SettingsTextError& error) {
        EXPECT_EQ(std::string(error.what()).rfind("Open password: ", 0), 0u) << error.what();
    }
}

TEST(ViewRowTables, ZoomRowsCarryTheMagnificationsOfTheirTexts) {
    // The Open page and the command line show these texts; the number is the XYZ zoom written.
    for (size_t row = 1; row <= 8; ++row) {
        const double percent = std::stod(std::string(kZoomRows[row].text));
        EXPECT_EQ(kZoomRows[row].magnification, static_cast<HFixed>(percent / 100.0 * 65536))
            << kZoomRows[row].text;
    }
    EXPECT_EQ(kZoomRows[kZoomDefault].text, "Default");
}

} // namespace
} // namespace tesser::docsettings

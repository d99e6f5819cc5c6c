// Security settings written into real files through the host and checked with qpdf and poppler.
#include "docsettings/SecuritySettings.h"
#include "hostcalls/HostCalls.h"
#include "tests/docsettings/DocFixtures.h"

#include <gtest/gtest.h>

namespace tesser::docsettings {
namespace {

using tesser::test::Quote;
using tesser::test::TempDir;
using tesser::test::WriteFile;
using test::BuildPdf;
using test::PdfSpec;
using test::ShowEncryption;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// qpdf opens the file with this password (or none).
bool Opens(const std::filesystem::path& path, const std::string& password) {
    return tesser::test::Run("qpdf --check" +
                             (password.empty() ? std::string() : " --password=" + Quote(password)) +
                             " " + Quote(path.string()))
               .exitCode == 0;
}

class SecurityOnFile : public ::testing::Test {
protected:
    std::filesystem::path Plain(const std::string& name = "plain.pdf") {
        auto path = dir / name;
        WriteFile(path, BuildPdf({.info = "/Title (Secret)", .pageText = "Hello world"}));
        return path;
    }
    // A plain file encrypted by qpdf (AES-256).
    std::filesystem::path Secured(const std::string& user, const std::string& owner,
                                  const std::string& restrictions) {
        auto plain = Plain("source.pdf");
        auto path = dir / "secured.pdf";
        test::EncryptWithQpdf(plain, path, user, owner, restrictions);
        return path;
    }

    TempDir dir;
    test::TestHost host;
};

SecuritySettings NewSecurity(const std::string& open, const std::string& owner,
                             uint32_t permissions) {
    SecuritySettings s;
    s.ChangeSecurity = true;
    s.OpenPassword = open;
    s.OwnerPassword = owner;
    s.Permissions = permissions;
    return s;
}

TEST_F(SecurityOnFile, OpenAndOwnerPasswordsWithPrintAndCopyGiveAes256WithThosePermissions) {
    auto path = Plain();
    const auto s = NewSecurity("user1", "owner1", kPermitPrint | kPermitCopy);
    host.Edit(path, "", [&](HDoc doc) { ApplySecurity(s, doc); });

    const std::string shown = ShowEncryption(path, "owner1");
    EXPECT_TRUE(Has(shown, "R = 6")) << shown;
    EXPECT_TRUE(Has(shown, "Supplied password is owner password")) << shown;
    EXPECT_TRUE(Has(shown, "file encryption method: AESv3")) << shown;
    EXPECT_TRUE(Has(shown, "print low resolution: allowed")) << shown;
    EXPECT_TRUE(Has(shown, "print high resolution: allowed")) << shown;
    EXPECT_TRUE(Has(shown, "extract for any purpose: allowed")) << shown;
    EXPECT_TRUE(Has(shown, "modify other: not allowed")) << shown;
    EXPECT_TRUE(Has(shown, "modify document assembly: not allowed")) << shown;
    EXPECT_TRUE(Has(shown, "modify annotations: not allowed")) << shown;
    EXPECT_TRUE(Has(shown, "modify forms: not allowed")) << shown;
    const std::string encrypt =
        tesser::test::Run("qpdf --json=2 --json-key=encrypt --password=owner1 " +
                          Quote(path.string()))
            .output;
    EXPECT_TRUE(Has(encrypt, "\"filtermethod\": \"AESv3\"") || Has(encrypt, "AESv3")) << encrypt;
    const std::string trailer = test::ShowObject(path, "trailer", "owner1");
    EXPECT_TRUE(Has(trailer, "/Encrypt")) << trailer;

    EXPECT_FALSE(Opens(path, "")) << "opens without the password";
    auto text = tesser::test::Run("pdftotext -upw user1 " + Quote(path.string()) + " -");
    EXPECT_EQ(text.exitCode, 0) << text.errors;
    EXPECT_TRUE(Has(text.output, "Hello world")) << text.output;
}

TEST_F(SecurityOnFile, TheStandardHandlerIsNamedInTheEncryptionDictionary) {
    auto path = Plain();
    host.Edit(path, "", [&](HDoc doc) { ApplySecurity(NewSecurity("u", "o", 0), doc); });
    const std::string trailer = test::ShowObject(path, "trailer", "o");
    const auto at = trailer.find("/Encrypt ");
    ASSERT_NE(at, std::string::npos) << trailer;
    const std::string number = trailer.substr(at + 9, trailer.find(' ', at + 9) - at - 9);
    const std::string encrypt = test::ShowObject(path, number, "o");
    EXPECT_TRUE(Has(encrypt, "/Filter /Standard")) << encrypt;
    EXPECT_TRUE(Has(encrypt, "/R 6")) << encrypt;
}

TEST_F(SecurityOnFile, BothPasswordsEmptyOpenWithoutPasswordAndKeepThePermissions) {
    auto path = Plain();
    host.Edit(path, "", [&](HDoc doc) { ApplySecurity(NewSecurity("", "", kPermitPrint), doc); });
    EXPECT_TRUE(Opens(path, ""));
    const std::string shown = ShowEncryption(path, "");
    EXPECT_TRUE(Has(shown, "R = 6")) << shown;
    const auto p = shown.find("P = ");
    ASSERT_NE(p, std::string::npos) << shown;
    const int32_t bits = std::stoi(shown.substr(p + 4));
    EXPECT_NE(bits & 4, 0) << shown;
    EXPECT_EQ(bits & (8 | 16 | 32), 0) << shown;
}

TEST_F(SecurityOnFile, A300BytePasswordKeepsItsFirst255BytesAndStillOpensTheFile) {
    auto path = Plain();
    std::string password;
    for (int i = 0; i < 300; ++i) {
        password += static_cast<char>('a' + i % 26);
    }
    host.Edit(path, "", [&](HDoc doc) { ApplySecurity(NewSecurity(password, "owner", 60), doc); });
    EXPECT_TRUE(Opens(path, password.substr(0, 255)));
    EXPECT_FALSE(Opens(path, ""));
    HDoc doc = host.Open(path, password.substr(0, 255));
    SecuritySettings captured;
    CaptureSecurity(captured, doc);
    host.Close(doc);
    EXPECT_EQ(captured.OpenPassword, password.substr(0, 255));
}

TEST_F(SecurityOnFile, ChangeSecurityFalseMakesNoHostCall) {
    auto path = Secured("u", "o", "--print=none");
    HDoc doc = host.Open(path, "o");
    for (const char* op :
         {"GetSecurityData", "GetSecurityHandlerName", "Authorise", "SetSecurityHandler",
          "NewSecurityData", "SetSecurityData", "SetDocumentFlags"}) {
        host::FaultSwitch::Arm(op, 1);
    }
    SecuritySettings s = NewSecurity("x", "y", 0);
    s.ChangeSecurity = false;
    EXPECT_NO_THROW(ApplySecurity(s, doc));
    host::FaultSwitch::DisarmAll();
    host.Close(doc);
}

TEST_F(SecurityOnFile, AWrongCurrentPasswordShowsTheMessageAndLeavesTheSecurityAsItWas) {
    auto path = Secured("usr", "own", "--print=none");
    const std::string before = ShowEncryption(path, "own");
    host.Edit(path, "usr", [&](HDoc doc) {
        SecuritySettings s = NewSecurity("", "", 60);
        s.CurrentPassword = "wrong";
        ApplySecurity(s, doc);
    });
    ASSERT_EQ(host.Notes().size(), 1u);
    EXPECT_EQ(host.Notes()[0], "Owner password is incorrect");
    EXPECT_FALSE(Opens(path, "")) << "the open password was taken off";
    EXPECT_TRUE(Opens(path, "usr"));
    EXPECT_EQ(ShowEncryption(path, "own"), before);
}

TEST_F(SecurityOnFile, TheRightCurrentPasswordLetsTheSecurityChange) {
    auto path = Secured("usr", "own", "--print=none");
    host.Edit(path, "usr", [&](HDoc doc) {
        SecuritySettings s = NewSecurity("", "new-owner", 60);
        s.CurrentPassword = "own";
        ApplySecurity(s, doc);
    });
    EXPECT_TRUE(host.Notes().empty());
    EXPECT_TRUE(Opens(path, ""));
    EXPECT_TRUE(Has(ShowEncryption(path, "new-owner"), "Supplied password is owner password"));
}

TEST_F(SecurityOnFile, CaptureOfASecuredFileGivesTheOwnerPasswordAndItsPermissions) {
    auto path = Secured("", "own", "--print=none --modify=none");
    HDoc doc = host.Open(path, "own");
    SecuritySettings s;
    s.OpenPassword = "run's new open password";
    CaptureSecurity(s, doc);
    host.Close(doc);
    EXPECT_TRUE(s.ChangeSecurity);
    EXPECT_EQ(s.OwnerPassword, "own");
    EXPECT_EQ(s.Permissions & (kPermitPrint | kPermitChange), 0u);
    EXPECT_EQ(s.Permissions & kPermitCopy, kPermitCopy);
    EXPECT_EQ(s.OpenPassword, "") << "the file has no open password; undo must not give it one";
    EXPECT_FALSE(s.RemoveSecurity);
}

// Apply new security, save, reopen, apply the capture, save.
void RunAndUndo(test::TestHost& host, const std::filesystem::path& path,
                const std::string& openWith, const SecuritySettings& settings,
                const std::string& reopenWith) {
    SecuritySettings undo = settings;
    host.Edit(path, openWith, [&](HDoc doc) {
        CaptureSecurity(undo, doc);
        ApplySecurity(settings, doc);
    });
    host.Edit(path, reopenWith, [&](HDoc doc) { ApplySecurity(undo, doc); });
}

TEST_F(SecurityOnFile, UndoPutsBackAes256SecurityWhosePasswordCannotBeReadBack) {
    auto path = Secured("usr", "own", "--print=none --extract=n");
    const std::string before = ShowEncryption(path, "own");
    // Opened with the owner password alone: the user password cannot be read from the file.
    SecuritySettings s = NewSecurity("new-user", "new-owner", 60);
    s.CurrentPassword = "own";
    RunAndUndo(host, path, "own", s, "new-owner");
    EXPECT_TRUE(host.Notes().empty()) << host.Notes().front();
    EXPECT_FALSE(Opens(path, "new-user"));
    EXPECT_FALSE(Opens(path, ""));
    EXPECT_TRUE(Opens(path, "usr"));
    EXPECT_EQ(ShowEncryption(path, "own"), before);
    EXPECT_TRUE(Has(ShowEncryption(path, "usr"), "Supplied password is user password"));
}

// qpdf --requires-password: 0 when the file cannot be opened without a password.
int RequiresPassword(const std::filesystem::path& path) {
    return tesser::test::Run("qpdf --requires-password " + Quote(path.string())).exitCode;
}

TEST_F(SecurityOnFile, AnOpenPasswordAloneIsTheOwnerPasswordTooAndUndoTakesItOff) {
    auto path = Plain();
    SecuritySettings undo = NewSecurity("uu", "", kPermitPrint);
    host.Edit(path, "", [&](HDoc doc) {
        CaptureSecurity(undo, doc);
        ApplySecurity(NewSecurity("uu", "", kPermitPrint), doc);
    });
    EXPECT_EQ(RequiresPassword(path), 0);
    EXPECT_FALSE(Opens(path, ""));
    const std::string shown = ShowEncryption(path, "uu");
    EXPECT_TRUE(Has(shown, "Supplied password is owner password")) << shown;

    host.Edit(path, "uu", [&](HDoc doc) { ApplySecurity(undo, doc); });
    EXPECT_TRUE(host.Notes().empty()) << host.Notes().front();
    EXPECT_EQ(RequiresPassword(path), 2) << "2: the file is not encrypted";
}

TEST_F(SecurityOnFile, UndoOnAFileThatHadNoSecurityTakesItOffAgain) {
    auto path = Plain();
    std::filesystem::copy_file(path, dir / "plain-copy.pdf");
    const std::string catalogBefore = test::CatalogText(path);
    const std::string infoBefore = test::InfoText(path);
    RunAndUndo(host, path, "", NewSecurity("u", "o", 0), "o");
    EXPECT_TRUE(Opens(path, ""));
    auto shown = tesser::test::Run("qpdf --show-encryption " + Quote(path.string()));
    EXPECT_TRUE(Has(shown.output, "File is not encrypted")) << shown.output;
    EXPECT_EQ(test::InfoText(path), infoBefore);
    // The ADBE extension that marked the AES-256 encryption goes with it.
    EXPECT_EQ(test::CatalogText(path), catalogBefore);
    EXPECT_EQ(test::CatalogJson(path), test::CatalogJson(dir / "plain-copy.pdf"));
}

TEST_F(SecurityOnFile, UndoKeepsOtherExtensionsOfTheCatalogue) {
    auto path = dir / "extended.pdf";
    WriteFile(path, BuildPdf({.catalogEntries = "/Extensions << /XYZW << /BaseVersion /1.7 "
                                                "/ExtensionLevel 2 >> >>",
                              .pageText = "Hello"}));
    const std::string catalogBefore = test::CatalogText(path);
    RunAndUndo(host, path, "", NewSecurity("u", "o", 0), "o");
    const std::string catalog = test::CatalogText(path);
    EXPECT_EQ(catalog, catalogBefore);
    EXPECT_EQ(catalog.find("/ADBE"), std::string::npos) << catalog;
}

TEST_F(SecurityOnFile, UndoOfASecuredFileOpenedWithTheUserPasswordPutsBothPasswordsBack) {
    auto path = Secured("usr", "own", "--modify=none");
    const std::string before = ShowEncryption(path, "own");
    SecuritySettings s = NewSecurity("", "new-owner", kPermitAll);
    s.CurrentPassword = "own";
    RunAndUndo(host, path, "usr", s, "");
    EXPECT_EQ(ShowEncryption(path, "own"), before);
    EXPECT_TRUE(Opens(path, "usr"));
    EXPECT_FALSE(Opens(path, ""));
}

TEST_F(SecurityOnFile, AHostFailureEndsTheOperationWithTheHostError) {
    auto path = Plain();
    HDoc doc = host.Open(path);
    host::FaultSwitch::Arm("SetSecurityData", 1);
    try {
        ApplySecurity(NewSecurity("u", "o", 0), doc);
        ADD_FAILURE() << "the host failure was swallowed";
    } catch (const hostcalls::HostError& error) {
        EXPECT_EQ(error.code(), kHErrFault);
    }
    host::FaultSwitch::DisarmAll();
    host.Save(doc, path);
    host.Close(doc);
    // The record never reached the host, so the file was saved as it was.
    EXPECT_TRUE(Opens(path, ""));
    EXPECT_TRUE(Has(tesser::test::Run("qpdf --show-encryption " + Quote(path.string())).output,
                    "File is not encrypted"));
}

} // namespace
} // namespace tesser::docsettings

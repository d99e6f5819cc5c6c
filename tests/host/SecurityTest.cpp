// Encrypted files: opening with user and owner passwords, keeping, changing, removing and
// restoring the standard security.
#include "tests/host/HostTestSupport.h"

#include "host/Security.h"

#include <cstring>

namespace tesser::host::test {
namespace {

struct Encryption {
    const char* name;
    const char* qpdfArgs; // after --encrypt user owner
    int revision;
};

const Encryption kEncryptions[] = {
    {"rc4_40", "40 --print=n --modify=n --", 2},
    {"rc4_128", "128 --use-aes=n --print=full --modify=none --extract=n --", 3},
    {"aes_128", "128 --use-aes=y --print=full --modify=none --extract=y --", 4},
    {"aes_256", "256 --print=full --modify=none --extract=y --", 6},
};

// The catalogue as qpdf shows it (the object the trailer's Root names).
std::string RootText(const std::filesystem::path& file, const std::string& password = "") {
    const std::string option = password.empty() ? "" : " --password=" + Quote(password);
    const std::string trailer = Qpdf("--show-object=trailer" + option + " " + Quote(file)).output;
    const auto at = trailer.find("/Root ");
    if (at == std::string::npos) {
        ADD_FAILURE() << "no Root in " << trailer;
        return "";
    }
    const std::string number = trailer.substr(at + 6, trailer.find(' ', at + 6) - at - 6);
    return Qpdf("--show-object=" + number + option + " " + Quote(file)).output;
}

class EncryptedFiles : public HostTest, public ::testing::WithParamInterface<Encryption> {
protected:
    std::filesystem::path Make(const std::string& user = "user",
                               const std::string& owner = "owner") {
        auto plain = dir / "plain.pdf";
        auto file = dir / (std::string(GetParam().name) + ".pdf");
        MakePdf(plain);
        auto r = Qpdf("--allow-weak-crypto --encrypt " + Quote(user) + " " + Quote(owner) + " " +
                      GetParam().qpdfArgs + " " + Quote(plain) + " " + Quote(file));
        EXPECT_EQ(r.exitCode, 0) << r.errors;
        return file;
    }
};

TEST_P(EncryptedFiles, UserPasswordGivesTheFilesPermissions) {
    auto file = Make();
    HDoc doc = nullptr;
    ASSERT_TRUE(Ok(Open(file, &doc, "user")));
    EXPECT_EQ(auth.handler, "Standard");
    EXPECT_EQ(auth.calls, 1);
    EXPECT_EQ(auth.granted & kHPermEdit, 0);
    EXPECT_EQ(auth.granted & kHPermSecure, 0);
    EXPECT_EQ(auth.granted & kHPermOpen, kHPermOpen);
    bool printAllowed = GetParam().revision != 2;
    EXPECT_EQ((auth.granted & kHPermPrint) != 0, printAllowed);
    int32_t perms = 0;
    ASSERT_TRUE(Ok(model->GetDocumentPermissions(doc, &perms)));
    EXPECT_EQ(perms, auth.granted);
    void* data = nullptr;
    ASSERT_TRUE(Ok(model->GetSecurityData(doc, &data)));
    EXPECT_NE(data, nullptr);
    int32_t granted = -1;
    ASSERT_TRUE(Ok(model->Authorise(doc, kHPermSecure, "wrong", &granted)));
    EXPECT_EQ(granted, 0);
    ASSERT_TRUE(Ok(model->Authorise(doc, kHPermSecure, "owner", &granted)));
    EXPECT_EQ(granted, kHPermAll);
    model->CloseDocument(doc);
}

TEST_P(EncryptedFiles, OwnerPasswordGrantsEverything) {
    auto file = Make();
    HDoc doc = nullptr;
    ASSERT_TRUE(Ok(Open(file, &doc, "owner", kHPermSecure | kHPermEdit)));
    EXPECT_EQ(auth.granted, kHPermAll);
    model->CloseDocument(doc);
}

TEST_P(EncryptedFiles, WrongOrMissingPasswordFailsSayingSo) {
    auto file = Make();
    HDoc doc = nullptr;
    HErrorCode code = Open(file, &doc, "nope");
    ASSERT_NE(code, kHErrNone);
    EXPECT_EQ(doc, nullptr);
    EXPECT_NE(Text(code).find("invalid password"), std::string::npos) << Text(code);
    EXPECT_NE(Text(code).find(file.string()), std::string::npos) << Text(code);
    code = model->OpenDocument(Path(file), nullptr, nullptr, nullptr, 0, &doc);
    EXPECT_NE(Text(code).find("invalid password"), std::string::npos) << Text(code);
}

TEST_P(EncryptedFiles, PermissionsShortOfTheRequestRefuseTheOpen) {
    auto file = Make();
    HDoc doc = nullptr;
    HErrorCode code = Open(file, &doc, "user", kHPermEdit);
    ASSERT_NE(code, kHErrNone);
    EXPECT_NE(Text(code).find("permissions"), std::string::npos) << Text(code);
}

TEST_P(EncryptedFiles, SaveKeepsTheEncryptionAsItWas) {
    auto file = Make();
    HDoc doc = OpenOk(file, "user");
    ASSERT_TRUE(Ok(model->SetDocInfo(doc, "Title", "kept", 4)));
    ASSERT_TRUE(Ok(Save(doc, file)));
    model->CloseDocument(doc);
    EXPECT_TRUE(QpdfCheckPasses(file, "user"));
    auto show = Qpdf("--show-encryption --password=owner " + Quote(file));
    EXPECT_NE(show.output.find("R = " + std::to_string(GetParam().revision)), std::string::npos)
        << show.output;
    EXPECT_NE(Qpdf("--check " + Quote(file)).exitCode, 0) << "still needs a password";
    HDoc again = OpenOk(file, "user");
    EXPECT_EQ(InfoEntry(again, "Title"), "kept");
    model->CloseDocument(again);
}

TEST_P(EncryptedFiles, CapturedRecordRestoresTheOriginalEncryptionExactly) {
    auto file = Make();
    const std::string catalogBefore = RootText(file, "owner");
    // Opened with the owner password: for AES-256 the user password cannot be recovered.
    HDoc doc = OpenOk(file, "owner");
    std::array<unsigned char, kHSecurityRecordSize> captured{};
    HBool present = 0;
    ASSERT_TRUE(Ok(model->GetStandardSecurityData(doc, captured.data(), &present)));
    ASSERT_TRUE(present);
    SecurityRecord record = DecodeSecurityRecord(captured.data());
    EXPECT_TRUE(record.hasOpen);
    EXPECT_TRUE(record.hasOwner);
    EXPECT_EQ(record.owner, "owner");
    if (GetParam().revision <= 4) {
        EXPECT_EQ(record.open, "user") << "recovered through the owner password";
    } else {
        EXPECT_NE(ParseKeptMarker(record.open), 0);
    }

    // A run secures the file anew ...
    unsigned char* fresh = nullptr;
    ASSERT_TRUE(Ok(model->SetSecurityHandler(doc, Atom("Standard"))));
    ASSERT_TRUE(Ok(model->NewSecurityData(doc, &fresh)));
    SecurityRecord change;
    change.newOpen = change.hasOpen = true;
    change.open = "other";
    change.newOwner = change.hasOwner = true;
    change.owner = "boss";
    change.permissions = kHPermPrint;
    auto bytes = EncodeSecurityRecord(change);
    std::memcpy(fresh, bytes.data(), bytes.size());
    ASSERT_TRUE(Ok(model->SetSecurityData(doc, fresh)));
    ASSERT_TRUE(Ok(model->SetDocumentFlags(doc, kHDocNewSecurity)));
    ASSERT_TRUE(Ok(Save(doc, file)));
    model->CloseDocument(doc);
    EXPECT_TRUE(QpdfCheckPasses(file, "other"));

    // ... and its undo gives the captured record back.
    HDoc undo = OpenOk(file, "boss");
    ASSERT_TRUE(Ok(model->SetSecurityHandler(undo, Atom("Standard"))));
    ASSERT_TRUE(Ok(model->SetSecurityData(undo, captured.data())));
    ASSERT_TRUE(Ok(model->SetDocumentFlags(undo, kHDocNewSecurity)));
    ASSERT_TRUE(Ok(Save(undo, file)));
    model->CloseDocument(undo);
    EXPECT_TRUE(QpdfCheckPasses(file, "user"));
    EXPECT_TRUE(QpdfCheckPasses(file, "owner"));
    auto show = Qpdf("--show-encryption --password=owner " + Quote(file));
    EXPECT_NE(show.output.find("R = " + std::to_string(GetParam().revision)), std::string::npos)
        << show.output;
    // The AES-256 of the run marked the catalogue; an older encryption put back takes the mark
    // away again, AES-256 keeps its own.
    EXPECT_EQ(RootText(file, "owner"), catalogBefore);
}

TEST_P(EncryptedFiles, KeptSecurityExportedAndImportedAgainPutsTheEncryptionBack) {
    auto file = Make();
    const std::string before = Qpdf("--show-encryption --password=owner " + Quote(file)).output;
    HDoc doc = OpenOk(file, "user"); // the owner password cannot be read back
    std::array<unsigned char, kHSecurityRecordSize> captured{};
    HBool present = 0;
    ASSERT_TRUE(Ok(model->GetStandardSecurityData(doc, captured.data(), &present)));
    SecurityRecord record = DecodeSecurityRecord(captured.data());
    ASSERT_NE(ParseKeptMarker(record.owner), 0);
    const std::string exported = ExportKeptSecurity(record.owner);
    EXPECT_EQ(exported.find("TesserKeptSecurity 1\n"), 0u);

    // Another marker for the same encryption, as a later host would give it.
    const std::string imported = ImportKeptSecurity(exported);
    EXPECT_NE(imported, record.owner);
    SecurityRecord undo;
    undo.hasOpen = undo.hasOwner = true;
    undo.open = "ignored";
    undo.owner = imported;
    ASSERT_TRUE(Ok(model->SetSecurityHandler(doc, Atom("None"))));
    ASSERT_TRUE(Ok(model->SetDocumentFlags(doc, kHDocNewSecurity)));
    ASSERT_TRUE(Ok(Save(doc, file)));
    ASSERT_NE(Qpdf("--show-encryption " + Quote(file)).output.find("not encrypted"),
              std::string::npos);
    unsigned char* rec = nullptr;
    ASSERT_TRUE(Ok(model->SetSecurityHandler(doc, Atom("Standard"))));
    ASSERT_TRUE(Ok(model->NewSecurityData(doc, &rec)));
    const auto bytes = EncodeSecurityRecord(undo);
    std::memcpy(rec, bytes.data(), bytes.size());
    ASSERT_TRUE(Ok(model->SetSecurityData(doc, rec)));
    ASSERT_TRUE(Ok(Save(doc, file)));
    model->CloseDocument(doc);
    EXPECT_EQ(Qpdf("--show-encryption --password=owner " + Quote(file)).output, before);
    EXPECT_TRUE(QpdfCheckPasses(file, "user"));
}

INSTANTIATE_TEST_SUITE_P(Revisions, EncryptedFiles, ::testing::ValuesIn(kEncryptions),
                         [](const auto& info) { return std::string(info.param.name); });

class NewSecurity : public HostTest {
protected:
    void Secure(HDoc doc, const std::string& open, const std::string& owner, uint32_t perms) {
        ASSERT_TRUE(Ok(model->SetSecurityHandler(doc, Atom("Standard"))));
        unsigned char* rec = nullptr;
        ASSERT_TRUE(Ok(model->NewSecurityData(doc, &rec)));
        SecurityRecord r;
        r.newOpen = r.hasOpen = !open.empty();
        r.open = open;
        r.newOwner = r.hasOwner = !owner.empty();
        r.owner = owner;
        r.permissions = perms;
        auto bytes = EncodeSecurityRecord(r);
        std::memcpy(rec, bytes.data(), bytes.size());
        ASSERT_TRUE(Ok(model->SetSecurityData(doc, rec)));
        ASSERT_TRUE(Ok(model->SetDocumentFlags(doc, kHDocNewSecurity)));
    }
};

TEST_F(NewSecurity, FlagTwoMakesTheSaveWriteAes256WithTheRecordsPermissions) {
    auto file = dir / "secure.pdf";
    MakePdf(file);
    HDoc doc = OpenOk(file);
    Secure(doc, "open", "owner", kHPermPrint | kHPermCopy);
    HAtom name = 0;
    ASSERT_TRUE(Ok(model->GetSecurityHandlerName(doc, &name)));
    EXPECT_EQ(name, Atom("Standard"));
    ASSERT_TRUE(Ok(Save(doc, file)));
    model->CloseDocument(doc);
    auto show = Qpdf("--show-encryption --password=owner " + Quote(file));
    EXPECT_NE(show.output.find("R = 6"), std::string::npos) << show.output;
    EXPECT_NE(show.output.find("print high resolution: allowed"), std::string::npos) << show.output;
    EXPECT_NE(show.output.find("extract for any purpose: allowed"), std::string::npos);
    EXPECT_NE(show.output.find("modify other: not allowed"), std::string::npos);
    EXPECT_NE(show.output.find("modify annotations: not allowed"), std::string::npos);
    EXPECT_NE(show.output.find("extract for accessibility: allowed"), std::string::npos);
    EXPECT_TRUE(QpdfCheckPasses(file, "open"));
    EXPECT_NE(Qpdf("--check " + Quote(file)).exitCode, 0);
    // And the host reads back what it wrote.
    HDoc again = OpenOk(file, "open");
    std::array<unsigned char, kHSecurityRecordSize> bytes{};
    HBool present = 0;
    ASSERT_TRUE(Ok(model->GetStandardSecurityData(again, bytes.data(), &present)));
    SecurityRecord r = DecodeSecurityRecord(bytes.data());
    EXPECT_EQ(r.permissions, uint32_t(kHPermPrint | kHPermCopy));
    EXPECT_EQ(r.open, "open");
    model->CloseDocument(again);
}

TEST_F(NewSecurity, Windows1252PasswordsReachTheFileAsUtf8) {
    auto file = dir / "accent.pdf";
    MakePdf(file);
    HDoc doc = OpenOk(file);
    Secure(doc, "caf\xe9", "\x80uro", 60);
    ASSERT_TRUE(Ok(Save(doc, file)));
    model->CloseDocument(doc);
    EXPECT_TRUE(QpdfCheckPasses(file, "caf\xc3\xa9"));
    EXPECT_TRUE(QpdfCheckPasses(file, "\xe2\x82\xacuro"));
    HDoc again = nullptr;
    EXPECT_TRUE(Ok(Open(file, &again, "caf\xe9")));
    model->CloseDocument(again);
}

TEST_F(NewSecurity, BothPasswordsEmptyOpensWithoutPasswordAndCarriesPermissions) {
    auto file = dir / "empty.pdf";
    MakePdf(file);
    HDoc doc = OpenOk(file);
    Secure(doc, "", "", kHPermPrint);
    ASSERT_TRUE(Ok(Save(doc, file)));
    model->CloseDocument(doc);
    EXPECT_TRUE(QpdfCheckPasses(file));
    auto show = Qpdf("--show-encryption " + Quote(file));
    EXPECT_NE(show.output.find("R = 6"), std::string::npos) << show.output;
    EXPECT_NE(show.output.find("P = "), std::string::npos) << show.output;
    auto info = Shell("pdfinfo " + Quote(file));
    EXPECT_NE(info.output.find("Encrypted:       yes"), std::string::npos) << info.output;
}

TEST_F(NewSecurity, HandlerNoneRemovesTheSecurity) {
    auto file = dir / "remove.pdf";
    MakePdf(file);
    HDoc doc = OpenOk(file);
    Secure(doc, "open", "owner", 0);
    ASSERT_TRUE(Ok(Save(doc, file)));
    model->CloseDocument(doc);
    HDoc secured = OpenOk(file, "owner");
    ASSERT_TRUE(Ok(model->SetSecurityHandler(secured, Atom("None"))));
    ASSERT_TRUE(Ok(model->SetDocumentFlags(secured, kHDocNewSecurity)));
    void* data = reinterpret_cast<void*>(1);
    ASSERT_TRUE(Ok(model->GetSecurityData(secured, &data)));
    EXPECT_EQ(data, nullptr);
    ASSERT_TRUE(Ok(Save(secured, file)));
    model->CloseDocument(secured);
    auto show = Qpdf("--show-encryption " + Quote(file));
    EXPECT_NE(show.output.find("File is not encrypted"), std::string::npos) << show.output;
    const std::string root = RootText(file);
    EXPECT_EQ(root.find("/Extensions"), std::string::npos) << root;
}

TEST_F(NewSecurity, RemovingAes256KeepsOtherExtensionsAndLeavesAnUnsecuredFilesMarkAlone) {
    auto plain = dir / "plain.pdf";
    MakePdf(plain);
    auto extended = dir / "extended.pdf";
    auto r = Qpdf("--encrypt u o 256 -- " + Quote(plain) + " " + Quote(extended));
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    // The same catalogue with a second extension next to the encryption's mark.
    {
        HDoc doc = OpenOk(extended, "o");
        HObject root = Catalog(doc);
        HObject extensions = nullptr, other = nullptr;
        ASSERT_TRUE(Ok(cos->DictGet(root, Atom("Extensions"), &extensions)));
        HCosDoc cd = nullptr;
        model->GetCosDocument(doc, &cd);
        ASSERT_TRUE(Ok(cos->NewDict(cd, 0, 1, &other)));
        ASSERT_TRUE(Ok(cos->DictPut(extensions, Atom("XYZW"), other)));
        ASSERT_TRUE(Ok(Save(doc, extended)));
        model->CloseDocument(doc);
    }
    ASSERT_NE(RootText(extended, "o").find("/ADBE"), std::string::npos);
    HDoc doc = OpenOk(extended, "o");
    ASSERT_TRUE(Ok(model->SetSecurityHandler(doc, Atom("None"))));
    ASSERT_TRUE(Ok(model->SetDocumentFlags(doc, kHDocNewSecurity)));
    ASSERT_TRUE(Ok(Save(doc, extended)));
    // The document in memory keeps its catalogue: a second save to another file with the
    // encryption it had gives the mark again.
    HObject root = Catalog(doc);
    HBool known = 0;
    ASSERT_TRUE(Ok(cos->DictKnown(root, Atom("Extensions"), &known)));
    EXPECT_EQ(known, 1);
    model->CloseDocument(doc);
    std::string text = RootText(extended);
    EXPECT_EQ(text.find("/ADBE"), std::string::npos) << text;
    EXPECT_NE(text.find("/Extensions << /XYZW << >> >>"), std::string::npos) << text;

    // A file that is not encrypted keeps whatever extension it declares.
    auto marked = dir / "marked.pdf";
    r = Qpdf("--encrypt u o 256 -- " + Quote(plain) + " " + Quote(dir / "plain-enc.pdf"));
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    r = Qpdf("--decrypt --password=o " + Quote(dir / "plain-enc.pdf") + " " + Quote(marked));
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    ASSERT_NE(RootText(marked).find("/ExtensionLevel 8"), std::string::npos);
    HDoc unsecured = OpenOk(marked);
    ASSERT_TRUE(Ok(model->SetSecurityHandler(unsecured, Atom("None"))));
    ASSERT_TRUE(Ok(model->SetDocumentFlags(unsecured, kHDocNewSecurity)));
    ASSERT_TRUE(Ok(Save(unsecured, marked)));
    model->CloseDocument(unsecured);
    text = RootText(marked);
    EXPECT_NE(text.find("/ADBE << /BaseVersion /1.7 /ExtensionLevel 8 >>"), std::string::npos)
        << text;
}

TEST_F(NewSecurity, WithoutFlagTwoTheSaveKeepsTheOldSecurity) {
    auto file = dir / "noflag.pdf";
    MakePdf(file);
    HDoc doc = OpenOk(file);
    ASSERT_TRUE(Ok(model->SetSecurityHandler(doc, Atom("Standard"))));
    unsigned char* rec = nullptr;
    ASSERT_TRUE(Ok(model->NewSecurityData(doc, &rec)));
    SecurityRecord r;
    r.permissions = 0;
    auto bytes = EncodeSecurityRecord(r);
    std::memcpy(rec, bytes.data(), bytes.size());
    ASSERT_TRUE(Ok(model->SetSecurityData(doc, rec)));
    ASSERT_TRUE(Ok(Save(doc, file)));
    model->CloseDocument(doc);
    EXPECT_NE(Qpdf("--show-encryption " + Quote(file)).output.find("not encrypted"),
              std::string::npos);
}

TEST_F(NewSecurity, RecordOfAnotherSizeIsRefused) {
    auto file = dir / "bad.pdf";
    MakePdf(file);
    HDoc doc = OpenOk(file);
    unsigned char* rec = nullptr;
    ASSERT_TRUE(Ok(model->NewSecurityData(doc, &rec)));
    HErrorCode code = model->SetSecurityData(doc, rec); // size field still 0
    EXPECT_NE(code, kHErrNone);
    EXPECT_NE(Text(code).find("528"), std::string::npos) << Text(code);
    EXPECT_NE(model->SetSecurityHandler(doc, Atom("Adobe.PubSec")), kHErrNone);
    model->CloseDocument(doc);
}

TEST_F(NewSecurity, UnsecuredDocumentHasNoStandardRecord) {
    auto file = dir / "none.pdf";
    MakePdf(file);
    HDoc doc = OpenOk(file);
    std::array<unsigned char, kHSecurityRecordSize> bytes{};
    HBool present = 1;
    ASSERT_TRUE(Ok(model->GetStandardSecurityData(doc, bytes.data(), &present)));
    EXPECT_FALSE(present);
    int32_t granted = 0;
    ASSERT_TRUE(Ok(model->Authorise(doc, kHPermSecure, "", &granted)));
    EXPECT_EQ(granted, kHPermAll);
    model->CloseDocument(doc);
}

TEST_F(NewSecurity, KeptSecurityThatIsDamagedUnknownOrLostIsRefusedSayingSo) {
    EXPECT_THROW(ImportKeptSecurity("not an export"), std::runtime_error);
    EXPECT_THROW(ImportKeptSecurity("TesserKeptSecurity 1\n3\nabc%PDF-1.7 nothing"),
                 std::runtime_error);
    EXPECT_THROW(ImportKeptSecurity("TesserKeptSecurity 1\n900\nshort"), std::runtime_error);
    EXPECT_THROW(ExportKeptSecurity("plain password"), std::runtime_error);
    EXPECT_THROW(ExportKeptSecurity(KeptMarker(4242)), std::runtime_error);

    // A record with the lost marker: the save fails, says why and leaves the file.
    auto file = dir / "lost.pdf";
    MakePdf(file);
    const std::string before = tesser::test::ReadFile(file);
    HDoc doc = OpenOk(file);
    Secure(doc, "x", "y", 0);
    unsigned char* rec = nullptr;
    ASSERT_TRUE(Ok(model->NewSecurityData(doc, &rec)));
    SecurityRecord lost;
    lost.hasOpen = true;
    lost.open = LostKeptMarker();
    const auto bytes = EncodeSecurityRecord(lost);
    std::memcpy(rec, bytes.data(), bytes.size());
    ASSERT_TRUE(Ok(model->SetSecurityData(doc, rec)));
    const HErrorCode code = Save(doc, file);
    EXPECT_NE(code, kHErrNone);
    EXPECT_NE(Text(code).find("host that has ended"), std::string::npos) << Text(code);
    model->CloseDocument(doc);
    EXPECT_EQ(tesser::test::ReadFile(file), before);
}
} // namespace
} // namespace tesser::host::test

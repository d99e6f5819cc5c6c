// The incremental save: the file stays the first bytes of the result, the appended revision
// reads as the document in memory (compared with a full save of the same document), encrypted
// files stay readable with their passwords, and a failure leaves the file as it was.
#include "tests/host/HostTestSupport.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

#include <csignal>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tesser::host::test {
namespace {

using tesser::test::ReadFile;

constexpr int32_t kIncremental = kHSaveIncremental;

// Where two documents differ, read by QPDF from the trailer's /Root and /Info down; empty when
// they hold the same. Object numbers, directness and stream encodings may differ.
class Comparison {
public:
    std::string Of(QPDF& a, QPDF& b) {
        for (const char* key : {"/Root", "/Info"}) {
            std::string d = Walk(a.getTrailer().getKey(key), b.getTrailer().getKey(key), key);
            if (!d.empty()) {
                return d;
            }
        }
        return {};
    }

private:
    std::string Walk(QPDFObjectHandle x, QPDFObjectHandle y, const std::string& where) {
        if (x.isIndirect() && y.isIndirect()) {
            auto [it, added] = pairs_.emplace(x.getObjGen(), y.getObjGen());
            if (!added) {
                return it->second == y.getObjGen() ? "" : where + ": a different object";
            }
        }
        if (x.isNumber() && y.isNumber()) {
            return x.getNumericValue() == y.getNumericValue()
                       ? ""
                       : where + ": " + x.unparse() + " against " + y.unparse();
        }
        if (x.getTypeCode() != y.getTypeCode()) {
            return where + ": " + x.getTypeName() + " against " + y.getTypeName();
        }
        if (x.isStream()) {
            auto dx = x.getStreamData(qpdf_dl_generalized);
            auto dy = y.getStreamData(qpdf_dl_generalized);
            if (std::string(reinterpret_cast<char*>(dx->getBuffer()), dx->getSize()) !=
                std::string(reinterpret_cast<char*>(dy->getBuffer()), dy->getSize())) {
                return where + ": different stream data";
            }
            return Dict(x.getDict(), y.getDict(), where, true);
        }
        if (x.isDictionary()) {
            return Dict(x, y, where, false);
        }
        if (x.isArray()) {
            if (x.getArrayNItems() != y.getArrayNItems()) {
                return where + ": arrays of different lengths";
            }
            for (int i = 0; i < x.getArrayNItems(); ++i) {
                std::string d = Walk(x.getArrayItem(i), y.getArrayItem(i),
                                     where + "[" + std::to_string(i) + "]");
                if (!d.empty()) {
                    return d;
                }
            }
            return {};
        }
        if (x.isString()) {
            return x.getStringValue() == y.getStringValue() ? "" : where + ": different strings";
        }
        return x.unparse() == y.unparse() ? ""
                                          : where + ": " + x.unparse() + " against " + y.unparse();
    }

    std::string Dict(QPDFObjectHandle x, QPDFObjectHandle y, const std::string& where,
                     bool stream) {
        auto keys = [&](QPDFObjectHandle d) {
            std::set<std::string> k = d.getKeys();
            if (stream) {
                for (const char* encoding : {"/Length", "/Filter", "/DecodeParms", "/DL"}) {
                    k.erase(encoding);
                }
            }
            return k;
        };
        std::set<std::string> kx = keys(x);
        if (kx != keys(y)) {
            return where + ": different keys";
        }
        for (const auto& key : kx) {
            std::string d = Walk(x.getKey(key), y.getKey(key), where + key);
            if (!d.empty()) {
                return d;
            }
        }
        return {};
    }

    std::map<QPDFObjGen, QPDFObjGen> pairs_;
};

std::string Difference(const std::filesystem::path& a, const std::filesystem::path& b,
                       const std::string& password = "") {
    QPDF x, y;
    x.processFile(a.c_str(), password.c_str());
    y.processFile(b.c_str(), password.c_str());
    return Comparison().Of(x, y);
}

class IncrementalSave : public HostTest {
protected:
    HCosDoc Cos(HDoc doc) {
        HCosDoc cd = nullptr;
        EXPECT_TRUE(Ok(model->GetCosDocument(doc, &cd)));
        return cd;
    }

    // Puts text on a page as a plug-in does: a font resource of its own, a new content stream
    // at the end of the page's contents.
    void Stamp(HDoc doc, int index, const std::string& text) {
        HCosDoc cd = Cos(doc);
        HPage page = nullptr;
        ASSERT_TRUE(Ok(model->AcquirePage(doc, index, &page)));
        HObject font = nullptr, name = nullptr;
        ASSERT_TRUE(Ok(cos->NewDict(cd, 1, 4, &font)));
        cos->NewName(cd, 0, Atom("Font"), &name);
        cos->DictPut(font, Atom("Type"), name);
        cos->NewName(cd, 0, Atom("Type1"), &name);
        cos->DictPut(font, Atom("Subtype"), name);
        cos->NewName(cd, 0, Atom("Courier"), &name);
        cos->DictPut(font, Atom("BaseFont"), name);
        ASSERT_TRUE(Ok(model->AddPageResource(page, "Font", "TsF1", font)));
        const std::string content = "q BT /TsF1 12 Tf 72 72 Td (" + text + ") Tj ET Q\n";
        HStream source = nullptr;
        ASSERT_TRUE(Ok(support->OpenMemoryReadStream(content.data(), content.size(), &source)));
        HObject stream = nullptr;
        ASSERT_TRUE(Ok(cos->NewStream(cd, 1, source, 0, 0, nullptr, nullptr, -1, &stream)));
        support->CloseStream(source);
        HObject pageDict = nullptr, contents = nullptr;
        ASSERT_TRUE(Ok(model->GetPageCosObject(page, &pageDict)));
        ASSERT_TRUE(Ok(cos->DictGet(pageDict, Atom("Contents"), &contents)));
        int32_t type = 0;
        cos->GetObjectType(contents, &type);
        if (type == kHObjArray) {
            int32_t n = 0;
            cos->ArrayLength(contents, &n);
            ASSERT_TRUE(Ok(cos->ArrayInsert(contents, n, stream)));
        } else {
            HObject array = nullptr;
            ASSERT_TRUE(Ok(cos->NewArray(cd, 0, 2, &array)));
            ASSERT_TRUE(Ok(cos->ArrayInsert(array, 0, contents)));
            ASSERT_TRUE(Ok(cos->ArrayInsert(array, 1, stream)));
            ASSERT_TRUE(Ok(cos->DictPut(pageDict, Atom("Contents"), array)));
        }
        model->ReleasePage(page);
    }

    // Changes of every kind the host makes: stamps, an information entry, a page entry changed
    // in place, an object destroyed.
    void ChangeInEveryWay(HDoc doc) {
        Stamp(doc, 0, "Stamp one");
        Stamp(doc, 1, "Stamp two");
        ASSERT_TRUE(Ok(model->SetDocInfo(doc, "Title", "Appended", 8)));
        HPage page = nullptr;
        ASSERT_TRUE(Ok(model->AcquirePage(doc, 1, &page)));
        HObject pageDict = nullptr, rotate = nullptr;
        model->GetPageCosObject(page, &pageDict);
        cos->NewInteger(Cos(doc), 0, 180, &rotate);
        ASSERT_TRUE(Ok(cos->DictPut(pageDict, Atom("Rotate"), rotate)));
        model->ReleasePage(page);
        ASSERT_TRUE(Ok(model->AcquirePage(doc, 2, &page)));
        HObject contents = nullptr;
        model->GetPageCosObject(page, &pageDict);
        cos->DictGet(pageDict, Atom("Contents"), &contents);
        ASSERT_TRUE(Ok(cos->DestroyObject(contents)));
        // A direct dictionary of the page, changed through its own handle after it was stored.
        HObject note = nullptr, stored = nullptr, value = nullptr;
        cos->NewDict(Cos(doc), 0, 1, &note);
        ASSERT_TRUE(Ok(cos->DictPut(pageDict, Atom("TsNote"), note)));
        ASSERT_TRUE(Ok(cos->DictGet(pageDict, Atom("TsNote"), &stored)));
        cos->NewInteger(Cos(doc), 0, 7, &value);
        ASSERT_TRUE(Ok(cos->DictPut(stored, Atom("Seven"), value)));
        model->ReleasePage(page);
    }

    // Makes a MakePdf file rewritten by qpdf with the arguments, as file.
    void MakeWithQpdf(const std::filesystem::path& file, const std::string& arguments) {
        auto made = dir / "made.pdf";
        MakePdf(made, PdfSpec{.pages = 4});
        ASSERT_EQ(Qpdf(arguments + " " + Quote(made) + " " + Quote(file)).exitCode, 0);
    }

    // Opens the file, changes it in every way, appends the changes to it and writes the same
    // document in full to full.
    void AppendAndWriteInFull(const std::filesystem::path& file, const std::filesystem::path& full,
                              const std::string& password) {
        HDoc doc = OpenOk(file, password);
        ChangeInEveryWay(doc);
        ASSERT_TRUE(Ok(Save(doc, file, kIncremental)));
        ASSERT_TRUE(Ok(Save(doc, full, kHSaveFull)));
        model->CloseDocument(doc);
    }

    std::string Text(const std::filesystem::path& file, const std::string& password = "") {
        std::string pw = password.empty() ? "" : " -upw " + Quote(password);
        return Shell("pdftotext" + pw + " " + Quote(file) + " -").output;
    }
    using HostTest::Text;
};

struct Layout {
    const char* name;
    const char* qpdfArguments; // how the fixture is rewritten before the test
    bool xrefStream;
};
void PrintTo(const Layout& layout, std::ostream* os) {
    *os << layout.name;
}

class IncrementalSaveLayouts : public IncrementalSave,
                               public ::testing::WithParamInterface<Layout> {};

TEST_P(IncrementalSaveLayouts, AppendsWhatChangedAfterTheFileAndReadsAsAFullSaveWould) {
    auto file = dir / "file.pdf";
    auto full = dir / "full.pdf";
    MakeWithQpdf(file, GetParam().qpdfArguments);
    const std::string before = ReadFile(file);
    AppendAndWriteInFull(file, full, "");

    const std::string after = ReadFile(file);
    ASSERT_GT(after.size(), before.size());
    EXPECT_EQ(after.substr(0, before.size()), before) << "the file is the result's first bytes";
    const std::string appended = after.substr(before.size());
    EXPECT_EQ(appended.find("/Type /XRef") != std::string::npos, GetParam().xrefStream)
        << appended.substr(appended.size() - std::min<size_t>(appended.size(), 400));
    EXPECT_EQ(appended.find("\nxref\n") != std::string::npos, !GetParam().xrefStream);
    EXPECT_TRUE(QpdfCheckPasses(file));
    EXPECT_EQ(Difference(file, full), "");
    const std::string text = Text(file);
    EXPECT_NE(text.find("Stamp one"), std::string::npos) << text;
    EXPECT_NE(text.find("Stamp two"), std::string::npos) << text;
    EXPECT_EQ(text.find("Page 3"), std::string::npos) << "its contents were destroyed";
    auto info = Shell("pdfinfo " + Quote(file));
    EXPECT_NE(info.output.find("Appended"), std::string::npos) << info.output;
    // Only what changed was appended: the untouched page 4 is not.
    QPDF reread;
    reread.processFile(file.c_str());
    const QPDFXRefEntry page4 = reread.getXRefTable().at(reread.getAllPages()[3].getObjGen());
    EXPECT_TRUE(page4.getType() == 2 ||
                page4.getOffset() < static_cast<qpdf_offset_t>(before.size()));
}

INSTANTIATE_TEST_SUITE_P(Sections, IncrementalSaveLayouts,
                         ::testing::Values(Layout{"Table", "--object-streams=disable", false},
                                           Layout{"Stream", "--object-streams=generate", true},
                                           Layout{"Linearised", "--linearize", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(IncrementalSave, EachSaveAppendsToTheLastAndAnUnchangedDocumentKeepsItsFile) {
    auto file = dir / "twice.pdf";
    auto full = dir / "full.pdf";
    MakePdf(file, PdfSpec{.pages = 3});
    const std::string original = ReadFile(file);
    HDoc doc = OpenOk(file);
    ASSERT_TRUE(Ok(Save(doc, file, kIncremental)));
    EXPECT_EQ(ReadFile(file), original) << "nothing changed, nothing appended";
    Stamp(doc, 0, "First revision");
    ASSERT_TRUE(Ok(Save(doc, file, kIncremental)));
    const std::string first = ReadFile(file);
    Stamp(doc, 1, "Second revision");
    ASSERT_TRUE(Ok(model->SetDocInfo(doc, "Author", "Second", 6)));
    ASSERT_TRUE(Ok(Save(doc, file, kIncremental)));
    ASSERT_TRUE(Ok(Save(doc, full, kHSaveFull)));
    model->CloseDocument(doc);
    const std::string second = ReadFile(file);
    EXPECT_EQ(first.substr(0, original.size()), original);
    EXPECT_EQ(second.substr(0, first.size()), first);
    EXPECT_TRUE(QpdfCheckPasses(file));
    EXPECT_EQ(Difference(file, full), "");
    const std::string text = Text(file);
    EXPECT_NE(text.find("First revision"), std::string::npos) << text;
    EXPECT_NE(text.find("Second revision"), std::string::npos) << text;
    // Three revisions: the original's section and two appended ones.
    size_t sections = 0;
    for (size_t at = second.find("startxref"); at != std::string::npos;
         at = second.find("startxref", at + 1)) {
        ++sections;
    }
    EXPECT_EQ(sections, 3u);
}

// A file whose object 4 was deleted in its second revision and whose number was reused, at
// generation 1, in its third; the trailer still names the deleted 4 0 R. Made here with the
// offsets counted.
std::string ReusedNumberPdf() {
    std::string pdf = "%PDF-1.4\n";
    std::map<int, size_t> at;
    const auto object = [&](int number, int generation, const std::string& body) {
        at[number * 10 + generation] = pdf.size();
        pdf += std::to_string(number) + " " + std::to_string(generation) + " obj\n" + body +
               "\nendobj\n";
    };
    const auto stream = [](const std::string& data) {
        return "<< /Length " + std::to_string(data.size()) + " >>\nstream\n" + data + "\nendstream";
    };
    const auto entry = [](size_t offset, int generation, char kind) {
        char line[32];
        std::snprintf(line, sizeof line, "%010zu %05d %c \n", offset, generation, kind);
        return std::string(line);
    };
    const std::string page = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources "
                             "<< /Font << /F1 5 0 R >> >> /Contents 4 ";
    object(1, 0, "<< /Type /Catalog /Pages 2 0 R >>");
    object(2, 0, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    object(3, 0, page + "0 R >>");
    object(4, 0, stream("BT /F1 24 Tf 72 720 Td (Potato) Tj ET"));
    object(5, 0, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    const size_t first = pdf.size();
    pdf += "xref\n0 6\n" + entry(0, 65535, 'f');
    for (int n = 1; n <= 5; ++n) {
        pdf += entry(at[n * 10], 0, 'n');
    }
    pdf += "trailer\n<< /Size 6 /Root 1 0 R >>\nstartxref\n" + std::to_string(first) + "\n%%EOF\n";
    const size_t second = pdf.size();
    pdf += "xref\n0 1\n" + entry(4, 65535, 'f') + "4 1\n" + entry(0, 1, 'f') +
           "trailer\n<< /Size 6 /Root 1 0 R /Prev " + std::to_string(first) + " >>\nstartxref\n" +
           std::to_string(second) + "\n%%EOF\n";
    object(4, 1, stream("BT /F1 24 Tf 72 680 Td (Salad) Tj ET"));
    object(3, 0, page + "1 R >>");
    const size_t third = pdf.size();
    pdf += "xref\n3 2\n" + entry(pdf.rfind("3 0 obj"), 0, 'n') + entry(at[41], 1, 'n') +
           "trailer\n<< /Size 6 /Root 1 0 R /Prev " + std::to_string(second) +
           " /Gone 4 0 R >>\nstartxref\n" + std::to_string(third) + "\n%%EOF\n";
    return pdf;
}

TEST_F(IncrementalSave, AReusedObjectNumberGetsOneEntryForItsLiveGeneration) {
    auto file = dir / "reused.pdf";
    tesser::test::WriteFile(file, ReusedNumberPdf());
    ASSERT_TRUE(QpdfCheckPasses(file));
    const std::string before = ReadFile(file);
    HDoc doc = OpenOk(file);
    Stamp(doc, 0, "Stamped");
    ASSERT_TRUE(Ok(Save(doc, file, kIncremental)));
    model->CloseDocument(doc);

    const std::string appended = ReadFile(file).substr(before.size());
    EXPECT_EQ(appended.find("4 0 obj"), std::string::npos) << appended;
    EXPECT_TRUE(QpdfCheckPasses(file));
    // The appended section lists each object number once.
    std::istringstream xref(appended.substr(appended.rfind("\nxref\n") + 6));
    std::set<long> numbers;
    long start = 0;
    long count = 0;
    while (xref >> start >> count) {
        for (long i = 0; i < count; ++i) {
            std::string offset, generation, kind;
            xref >> offset >> generation >> kind;
            EXPECT_TRUE(numbers.insert(start + i).second) << "object " << start + i << " twice";
        }
    }
    EXPECT_FALSE(numbers.empty()) << appended;
    const std::string text = Text(file);
    EXPECT_NE(text.find("Salad"), std::string::npos) << text;
    EXPECT_NE(text.find("Stamped"), std::string::npos) << text;
    EXPECT_EQ(text.find("Potato"), std::string::npos) << text;
}

struct Encryption {
    const char* name;
    const char* qpdfArguments; // after "--encrypt user owner" (weak crypto allowed)
    const char* method;        // how qpdf --show-encryption tells it
};
void PrintTo(const Encryption& encryption, std::ostream* os) {
    *os << encryption.name;
}

class IncrementalSaveEncrypted : public IncrementalSave,
                                 public ::testing::WithParamInterface<Encryption> {};

TEST_P(IncrementalSaveEncrypted, AppendedObjectsAreEncryptedWithTheFilesKey) {
    auto file = dir / "secret.pdf";
    auto full = dir / "full.pdf";
    MakeWithQpdf(file, "--allow-weak-crypto --encrypt user owner " +
                           std::string(GetParam().qpdfArguments) + " --");
    const std::string before = ReadFile(file);
    const std::string shownBefore =
        Qpdf("--show-encryption --password=owner " + Quote(file)).output;
    ASSERT_NE(shownBefore.find(GetParam().method), std::string::npos) << shownBefore;
    AppendAndWriteInFull(file, full, "user");

    const std::string after = ReadFile(file);
    EXPECT_EQ(after.substr(0, before.size()), before);
    const std::string appended = after.substr(before.size());
    EXPECT_EQ(appended.find("Stamp one"), std::string::npos) << "the stamp's stream is encrypted";
    EXPECT_EQ(appended.find("Appended"), std::string::npos) << "the title is encrypted";
    EXPECT_TRUE(QpdfCheckPasses(file, "user"));
    EXPECT_EQ(Qpdf("--show-encryption --password=owner " + Quote(file)).output, shownBefore);
    EXPECT_EQ(Difference(file, full, "user"), "");
    const std::string text = Text(file, "user");
    EXPECT_NE(text.find("Stamp one"), std::string::npos) << text;
    auto info = Shell("pdfinfo -upw user " + Quote(file));
    EXPECT_NE(info.output.find("Appended"), std::string::npos) << info.output;
    EXPECT_NE(Shell("pdftotext " + Quote(file) + " -").exitCode, 0) << "still needs its password";
}

INSTANTIATE_TEST_SUITE_P(Methods, IncrementalSaveEncrypted,
                         ::testing::Values(Encryption{"Rc4", "128 --use-aes=n", "R = 3"},
                                           Encryption{"Aes128", "128 --use-aes=y", "AESv2"},
                                           Encryption{"Aes256", "256", "AESv3"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(IncrementalSave, IsRefusedWhereAppendingCannotKeepItsPromiseAndTheFileStays) {
    auto file = dir / "refused.pdf";
    MakePdf(file);
    const std::string before = ReadFile(file);
    auto expectRefused = [&](HDoc doc, int32_t flags, const std::string& reason) {
        HErrorCode code = Save(doc, file, flags);
        ASSERT_NE(code, kHErrNone) << reason;
        EXPECT_NE(Text(code).find(reason), std::string::npos) << Text(code);
        EXPECT_NE(Text(code).find(file.string()), std::string::npos) << Text(code);
        EXPECT_EQ(ReadFile(file), before) << reason;
    };

    HDoc doc = OpenOk(file);
    Stamp(doc, 0, "x");
    expectRefused(doc, kIncremental | kHSaveLinearized, "optimised (linearised)");
    expectRefused(doc, kIncremental | kHSaveFull | kHSaveCollectGarbage, "whole file");
    ASSERT_TRUE(Ok(Save(doc, dir / "copy.pdf", kHSaveFull)));
    expectRefused(doc, kIncremental, "saved in full");
    model->CloseDocument(doc);

    doc = OpenOk(file);
    ASSERT_TRUE(Ok(model->SetDocumentFlags(doc, kHDocNewSecurity)));
    expectRefused(doc, kIncremental, "security is to change");
    model->CloseDocument(doc);

    // A file whose end points at the wrong place for its cross-reference table: QPDF repairs
    // it when reading.
    auto damaged = dir / "damaged.pdf";
    std::string bytes = before;
    size_t at = bytes.rfind("startxref\n");
    ASSERT_NE(at, std::string::npos);
    bytes = bytes.substr(0, at) + "startxref\n12\n%%EOF\n";
    tesser::test::WriteFile(damaged, bytes);
    doc = OpenOk(damaged);
    Stamp(doc, 0, "x");
    HErrorCode code = Save(doc, damaged, kIncremental);
    ASSERT_NE(code, kHErrNone);
    EXPECT_NE(Text(code).find("needed repairs"), std::string::npos) << Text(code);
    EXPECT_NE(Save(doc, damaged, kIncremental), kHErrNone) << "asking again changes nothing";
    EXPECT_EQ(ReadFile(damaged), bytes);
    model->CloseDocument(doc);

    // A certified document: its certification allows no change to page content.
    auto certified = dir / "certified.pdf";
    MakeSignedPdf(certified, true);
    const std::string certifiedBytes = ReadFile(certified);
    doc = OpenOk(certified);
    Stamp(doc, 0, "x");
    code = Save(doc, certified, kIncremental);
    ASSERT_NE(code, kHErrNone);
    EXPECT_NE(Text(code).find("certified"), std::string::npos) << Text(code);
    EXPECT_EQ(ReadFile(certified), certifiedBytes);
    model->CloseDocument(doc);
}

TEST_F(IncrementalSave, SignedSignatureFieldsDoNotBlockItAndTheSignedBytesStay) {
    auto file = dir / "signed.pdf";
    MakeSignedPdf(file);
    const std::string before = ReadFile(file);
    HDoc doc = OpenOk(file);
    Stamp(doc, 0, "Stamped after signing");
    HErrorCode refused = Save(doc, file, kHSaveFull);
    ASSERT_NE(refused, kHErrNone);
    EXPECT_NE(Text(refused).find("an incremental save keeps them"), std::string::npos);
    ASSERT_TRUE(Ok(Save(doc, file, kIncremental)));
    model->CloseDocument(doc);
    const std::string after = ReadFile(file);
    EXPECT_EQ(after.substr(0, before.size()), before);
    EXPECT_TRUE(QpdfCheckPasses(file));
    EXPECT_NE(Text(file).find("Stamped after signing"), std::string::npos);
}

class IncrementalSaveFault : public IncrementalSave,
                             public ::testing::WithParamInterface<const char*> {};

TEST_P(IncrementalSaveFault, LeavesTheFileAsItWasAndTheNextSaveStillAppends) {
    auto file = dir / "fault.pdf";
    MakePdf(file, PdfSpec{.pages = 20});
    const std::string before = ReadFile(file);
    HDoc doc = OpenOk(file);
    Stamp(doc, 3, "After the fault");
    FaultSwitch::Arm(GetParam(), 1);
    HErrorCode code = Save(doc, file, kIncremental);
    ASSERT_NE(code, kHErrNone);
    EXPECT_NE(Text(code).find(file.string()), std::string::npos) << Text(code);
    EXPECT_EQ(ReadFile(file), before);
    int32_t flags = 0;
    model->GetDocumentFlags(doc, &flags);
    EXPECT_EQ(flags & kHDocNeedsSave, kHDocNeedsSave);
    ASSERT_TRUE(Ok(Save(doc, file, kIncremental)));
    model->CloseDocument(doc);
    EXPECT_EQ(ReadFile(file).substr(0, before.size()), before);
    EXPECT_TRUE(QpdfCheckPasses(file));
    EXPECT_NE(Text(file).find("After the fault"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Points, IncrementalSaveFault, ::testing::ValuesIn(kSaveFaultPoints),
                         SaveFaultPointName);

TEST_F(IncrementalSave, AFullDiskLeavesTheFile) {
    auto file = dir / "full-disk.pdf";
    MakePdf(file, PdfSpec{.pages = 50});
    const std::string before = ReadFile(file);
    // A file size limit just above the file: the copy of its bytes fits, the appended section
    // does not, as on a disk that fills up during the save.
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        HDoc doc = OpenOk(file);
        for (int i = 0; i < 50; ++i) {
            Stamp(doc, i, "A stamp long enough to need more room than is left on the disk");
        }
        rlimit limit{static_cast<rlim_t>(before.size() + 100),
                     static_cast<rlim_t>(before.size() + 100)};
        setrlimit(RLIMIT_FSIZE, &limit);
        HErrorCode code = Save(doc, file, kIncremental);
        std::string text = Text(code);
        _exit(code == kHErrNone                                  ? 10
              : text.find(file.string()) == std::string::npos    ? 11
              : text.find("File too large") == std::string::npos ? 12
                                                                 : 0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10: saved, 11: file not named, 12: reason missing";
    EXPECT_EQ(ReadFile(file), before);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        EXPECT_EQ(entry.path().filename().string().find(".tesser-save-"), std::string::npos);
    }
}

TEST_F(IncrementalSave, AKillDuringTheSaveLeavesTheOldFileOrTheWholeNewOne) {
    auto file = dir / "killed.pdf";
    MakePdf(file, PdfSpec{.pages = 100});
    const std::string original = ReadFile(file);
    std::mt19937 random(4321);
    for (int round = 0; round < 30; ++round) {
        // The child tells after each save it finished, so that the kill lands while saves are
        // under way however slow the build (a sanitised one opens the file in more than the
        // longest delay).
        int done[2];
        ASSERT_EQ(pipe(done), 0);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(done[0]);
            HDoc doc = OpenOk(file);
            for (int i = 0;; ++i) {
                Stamp(doc, i % 100, "round " + std::to_string(round));
                if (Save(doc, file, kIncremental) != kHErrNone) {
                    _exit(3);
                }
                if (i == 0 && write(done[1], "s", 1) != 1) {
                    _exit(4);
                }
            }
        }
        close(done[1]);
        char saved = 0;
        const bool firstSaveDone = read(done[0], &saved, 1) == 1;
        close(done[0]);
        std::uniform_int_distribution<int> delay(0, 30000);
        usleep(static_cast<useconds_t>(delay(random)));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(firstSaveDone) << "the child did not finish its first save";
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child stopped by itself";
        // Whatever save the kill stopped, the file is a whole earlier one: the original's bytes
        // first, then appended revisions that read cleanly.
        const std::string after = ReadFile(file);
        EXPECT_EQ(after.substr(0, original.size()), original) << "round " << round;
        EXPECT_TRUE(ReadsWholeWithPages(file, 100)) << "round " << round;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            if (entry.path().filename().string().find(".tesser-save-") != std::string::npos) {
                std::filesystem::remove(entry.path());
            }
        }
    }
    EXPECT_TRUE(QpdfCheckPasses(file));
}

} // namespace
} // namespace tesser::host::test

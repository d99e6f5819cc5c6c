// Information entries, search index and base URL written into real files and read back with
// pdfinfo and qpdf.
#include "docsettings/DocumentInfo.h"
#include "docsettings/CosAccess.h"
#include "docsettings/TextString.h"
#include "hostcalls/HostCalls.h"
#include "model/TextEncoding.h"
#include "tests/docsettings/DocFixtures.h"
#include "tests/support/OlderHostTable.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <stdexcept>
#include <string>

namespace tesser::docsettings {
namespace {

using tesser::test::TempDir;
using tesser::test::WriteFile;
using test::BuildPdf;
using test::PdfSpec;
using test::ShowObject;

class DocumentInfoOnFile : public ::testing::Test {
protected:
    std::filesystem::path Write(const PdfSpec& spec, const std::string& name = "doc.pdf") {
        auto path = dir / name;
        WriteFile(path, BuildPdf(spec));
        return path;
    }
    std::string Catalog(const std::filesystem::path& path) { return ShowObject(path, "1"); }

    TempDir dir;
    test::TestHost host;
};

TEST_F(DocumentInfoOnFile, PdfinfoShowsTheFourNewEntries) {
    auto path = Write({.info = "/Title (Old) /Producer (Kept)"});
    InfoSettings s;
    s.SetTitle = s.SetSubject = s.SetAuthor = s.SetKeywords = true;
    s.Title = "New title";
    s.Subject = "The subject";
    s.Author = "A. Writer";
    s.Keywords = "one, two";
    host.Edit(path, "", [&](HDoc doc) { ApplyInfo(s, doc); });

    const std::string info = test::PdfInfo(path);
    EXPECT_NE(info.find("Title:           New title\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Subject:         The subject\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Author:          A. Writer\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Keywords:        one, two\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Producer:        Kept\n"), std::string::npos) << info;
}

TEST_F(DocumentInfoOnFile, AnEmptyTitleIsWrittenAsAnEmptyStringAndUncheckedItemsStay) {
    auto path = Write({.info = "/Title (Old) /Author (Stays)"});
    InfoSettings s;
    s.SetTitle = true;
    s.Author = "ignored";
    host.Edit(path, "", [&](HDoc doc) { ApplyInfo(s, doc); });
    const std::string info = test::InfoText(path);
    EXPECT_NE(info.find("/Title ()"), std::string::npos) << info;
    EXPECT_NE(info.find("/Author (Stays)"), std::string::npos) << info;
}

// Every Windows-1252 character PDFDocEncoding holds: printable ASCII and 0x80-0xFF without the
// five undefined bytes, the no-break space (0xA0 is the euro sign in PDFDocEncoding) and the soft
// hyphen (undefined there).
std::string PdfDocCharacters() {
    std::string text;
    for (int c = 0x20; c <= 0xFF; ++c) {
        if (c != 0x7F && c != 0x81 && c != 0x8D && c != 0x8F && c != 0x90 && c != 0x9D &&
            c != 0xA0 && c != 0xAD) {
            text.push_back(static_cast<char>(c));
        }
    }
    return text;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The texts as readers decode them: pdfinfo for the information entries, qpdf's JSON (text
// strings as "u:" and their UTF-8) for the index path and the base URL. qpdf gives a string with
// many bytes above 0x7F in hexadecimal instead, so these two keep to a few.
TEST_F(DocumentInfoOnFile, ReadersShowTheWindows1252TextsThatWereWritten) {
    auto path = Write({});
    InfoSettings s;
    s.SetTitle = s.SetSubject = s.SetAuthor = s.SetKeywords = s.SetIndex = s.SetBaseURL = true;
    s.Title = "Caf\xE9 \x96 price 5 \x80";
    s.Subject = PdfDocCharacters();
    s.Author = "Caf\xE9 \xA0\xFF";
    s.Keywords = "\xFE\xFF looks like a byte-order mark";
    s.IndexFile = "C:\\Archive\\D\xE9p\xF4t\\index \x80.pdx";
    s.BaseURL = "http://example.com/\x93q\x94/co\xADop";
    host.Edit(path, "", [&](HDoc doc) { ApplyInfo(s, doc); });

    const std::string info = test::PdfInfo(path);
    EXPECT_TRUE(Has(info, "Title:           Caf\xC3\xA9 \xE2\x80\x93 price 5 \xE2\x82\xAC\n"))
        << info;
    EXPECT_TRUE(Has(info, "Subject:         " + model::Windows1252ToUtf8(s.Subject) + "\n"))
        << info;
    EXPECT_TRUE(Has(info, "Author:          Caf\xC3\xA9 \xC2\xA0\xC3\xBF\n")) << info;
    EXPECT_TRUE(Has(info, "Keywords:        \xC3\xBE\xC3\xBF looks like")) << info;

    // PDFDocEncoding where it holds the text, UTF-16BE with its byte-order mark otherwise.
    const std::string raw = test::InfoText(path);
    EXPECT_TRUE(Has(raw, "/Title (Caf")) << raw;
    EXPECT_TRUE(Has(raw, "/Author <feff00430061006600e9002000a000ff>")) << raw;
    EXPECT_TRUE(Has(raw, "/Keywords <feff00fe00ff0020")) << raw;

    const std::string cat = test::CatalogJson(path);
    EXPECT_TRUE(Has(cat, "\"/F\": \"u:C:\\\\Archive\\\\D\xC3\xA9p\xC3\xB4t\\\\index "
                         "\xE2\x82\xAC.pdx\""))
        << cat;
    EXPECT_TRUE(Has(cat, "\"/Base\": \"u:http://example.com/\xE2\x80\x9Cq\xE2\x80\x9D/co\xC2\xAD"
                         "op\""))
        << cat;
}

TEST_F(DocumentInfoOnFile, NoItemCheckedMakesNoHostCall) {
    auto path = Write({});
    HDoc doc = host.Open(path);
    host::FaultSwitch::Arm("GetCatalog", 1);
    host::FaultSwitch::Arm("SetDocInfo", 1);
    host::FaultSwitch::Arm("GetCosDocument", 1);
    EXPECT_NO_THROW(ApplyInfo(InfoSettings{}, doc));
    host::FaultSwitch::DisarmAll();
    host.Close(doc);
}

TEST_F(DocumentInfoOnFile, IndexAndBaseURLHaveTheirShapesAndKeepOtherEntries) {
    auto path = Write({.catalogEntries = "/URI << /Other (kept) >>"});
    InfoSettings s;
    s.SetIndex = s.SetBaseURL = true;
    s.IndexFile = "C:\\Docs\\books.pdx";
    s.BaseURL = "http://example.com/base/";
    host.Edit(path, "", [&](HDoc doc) { ApplyInfo(s, doc); });
    const std::string cat = Catalog(path);
    EXPECT_NE(cat.find("/Search << /Indexes [ << /Index << /F (C:\\\\Docs\\\\books.pdx) /Type "
                       "/FileSpec >> /Name /PDX >> ] >>"),
              std::string::npos)
        << cat;
    EXPECT_NE(cat.find("/URI << /Base (http://example.com/base/) /Other (kept) >>"),
              std::string::npos)
        << cat;
}

TEST_F(DocumentInfoOnFile, ApplyingTheIndexTwiceLeavesOneEntry) {
    auto path = Write({});
    InfoSettings s;
    s.SetIndex = true;
    s.IndexFile = "first.pdx";
    host.Edit(path, "", [&](HDoc doc) { ApplyInfo(s, doc); });
    s.IndexFile = "second.pdx";
    host.Edit(path, "", [&](HDoc doc) { ApplyInfo(s, doc); });
    const std::string cat = Catalog(path);
    EXPECT_NE(
        cat.find("/Indexes [ << /Index << /F (second.pdx) /Type /FileSpec >> /Name /PDX >> ]"),
        std::string::npos)
        << cat;
    EXPECT_EQ(cat.find("first.pdx"), std::string::npos) << cat;
}

const char* kThreeIndexes =
    "/Search << /Indexes [ << /Name /PDX /Index << /Type /FileSpec /F (a.pdx) >> >> "
    "<< /Name /PDX /Index << /Type /FileSpec /F (b.pdx) >> >> "
    "<< /Name /PDX /Index << /Type /FileSpec /F (c.pdx) >> >> ] /Other 7 >>";

TEST_F(DocumentInfoOnFile, ThreeIndexEntriesKeepTheLastTwo) {
    auto path = Write({.catalogEntries = kThreeIndexes});
    InfoSettings s;
    s.SetIndex = true;
    s.IndexFile = "new.pdx";
    host.Edit(path, "", [&](HDoc doc) { ApplyInfo(s, doc); });
    const std::string cat = Catalog(path);
    const auto n = cat.find("(new.pdx)");
    const auto b = cat.find("(b.pdx)");
    const auto c = cat.find("(c.pdx)");
    EXPECT_EQ(cat.find("(a.pdx)"), std::string::npos) << cat;
    ASSERT_NE(n, std::string::npos) << cat;
    ASSERT_NE(b, std::string::npos) << cat;
    ASSERT_NE(c, std::string::npos) << cat;
    EXPECT_LT(n, b);
    EXPECT_LT(b, c);
    EXPECT_NE(cat.find("/Other 7"), std::string::npos) << cat;
}

// Apply, save, reopen, apply the capture, save: the catalogue and the info are the original's.
void ExpectUndoRestores(test::TestHost& host, const std::filesystem::path& path) {
    const std::string catalogBefore = test::CatalogJson(path);
    const std::string infoBefore = test::InfoText(path);
    InfoSettings s;
    s.SetTitle = s.SetSubject = s.SetAuthor = s.SetKeywords = s.SetIndex = s.SetBaseURL = true;
    s.Title = "T2";
    s.Subject = "S2";
    s.Author = "A2";
    s.Keywords = "K2";
    s.IndexFile = "new.pdx";
    s.BaseURL = "http://new/";
    InfoSettings undo = s;
    host.Edit(path, "", [&](HDoc doc) {
        CaptureInfo(undo, doc);
        ApplyInfo(s, doc);
    });
    ASSERT_NE(test::CatalogJson(path), catalogBefore) << "the run changed nothing";
    host.Edit(path, "", [&](HDoc doc) { ApplyInfo(undo, doc); });
    EXPECT_EQ(test::CatalogJson(path), catalogBefore);
    EXPECT_EQ(test::InfoText(path), infoBefore);
}

TEST_F(DocumentInfoOnFile, UndoPutsBackAReplacedIndexEntryAndBaseURLExactly) {
    auto path = Write({.catalogEntries = std::string(kThreeIndexes) +
                                         " /URI << /Base (http://old/) /Other (x) >>",
                       .info = "/Title (T1) /Subject (S1) /Author (A1) /Keywords (K1)"});
    ExpectUndoRestores(host, path);
}

TEST_F(DocumentInfoOnFile, UndoRemovesTheSearchAndURIDictionariesTheRunMade) {
    auto path = Write({.info = "/Title (T1) /Subject (S1) /Author (A1) /Keywords (K1)"});
    ExpectUndoRestores(host, path);
}

TEST_F(DocumentInfoOnFile, UndoRemovesWhatWasAddedToAnEmptyIndexesArrayAndABaselessURI) {
    auto path = Write({.catalogEntries = "/Search << /Indexes [ ] >> /URI << /Other (x) >>",
                       .info = "/Title (T1) /Subject (S1) /Author (A1) /Keywords (K1)"});
    ExpectUndoRestores(host, path);
}

TEST_F(DocumentInfoOnFile, UndoGivesBackAnIndexEntryWithKeysOfItsOwnExactly) {
    auto path = Write({.catalogEntries =
                           "/Search << /Indexes [ << /Name /PDX /Extra [ 1 2.5 (x) << /Deep true "
                           ">> ] /Index << /Type /FileSpec /F (old.pdx) /Custom /Mine /UF "
                           "(old.pdx) >> >> ] /Other 3 >> /URI << /Base (http://old/) >>",
                       .info = "/Title (T1) /Subject (S1) /Author (A1) /Keywords (K1)"});
    ExpectUndoRestores(host, path);
    const std::string cat = Catalog(path);
    EXPECT_NE(cat.find("/Custom /Mine"), std::string::npos) << cat;
    EXPECT_NE(cat.find("/Deep true"), std::string::npos) << cat;
}

// The Info dictionary as a reader sees it: each entry present or not.
bool HasEntry(const std::filesystem::path& path, const std::string& entry) {
    return test::InfoText(path).find("/" + entry + " ") != std::string::npos;
}

TEST_F(DocumentInfoOnFile, UndoRemovesATitleTheDocumentDidNotHaveAndKeepsAnEmptyOneEmpty) {
    auto path = Write({.info = "/Author (A1) /Subject () /Producer (P)"});
    InfoSettings s;
    s.SetTitle = s.SetSubject = s.SetAuthor = true;
    s.Title = "New title";
    s.Subject = "New subject";
    s.Author = "New author";
    InfoSettings undo = s;
    host.Edit(path, "", [&](HDoc doc) {
        CaptureInfo(undo, doc);
        ApplyInfo(s, doc);
    });
    ASSERT_NE(test::PdfInfo(path).find("Title:           New title\n"), std::string::npos);
    EXPECT_EQ(undo.Title, "") << "an absent Title reads as the empty text";

    host.Edit(path, "", [&](HDoc doc) { ApplyInfo(undo, doc); });
    const std::string info = test::InfoText(path);
    EXPECT_FALSE(HasEntry(path, "Title")) << info;
    EXPECT_NE(info.find("/Subject ()"), std::string::npos) << info;
    EXPECT_NE(info.find("/Author (A1)"), std::string::npos) << info;
    EXPECT_NE(info.find("/Producer (P)"), std::string::npos) << info;
    EXPECT_FALSE(HasEntry(path, "Keywords")) << info;
    EXPECT_EQ(test::PdfInfo(path).find("Title:"), std::string::npos) << test::PdfInfo(path);
}

TEST_F(DocumentInfoOnFile, UndoTakesOutTheInformationDictionaryTheRunMade) {
    auto path = Write({});
    ASSERT_EQ(test::InfoText(path), "");
    const std::string before = test::StructureText(path);
    InfoSettings s;
    s.SetTitle = s.SetKeywords = true;
    s.Title = "T";
    s.Keywords = "";
    InfoSettings undo = s;
    host.Edit(path, "", [&](HDoc doc) {
        CaptureInfo(undo, doc);
        ApplyInfo(s, doc);
    });
    ASSERT_NE(test::InfoText(path).find("/Keywords ()"), std::string::npos);
    host.Edit(path, "", [&](HDoc doc) { ApplyInfo(undo, doc); });
    const auto trailer = test::ShowObject(path, "trailer");
    EXPECT_EQ(trailer.find("/Info"), std::string::npos) << trailer;
    EXPECT_EQ(test::StructureText(path), before);
}

TEST_F(DocumentInfoOnFile, UndoKeepsAnInformationDictionaryThatWasThereEmpty) {
    auto path = Write({.info = " "});
    ASSERT_NE(test::ShowObject(path, "trailer").find("/Info"), std::string::npos);
    InfoSettings s;
    s.SetTitle = true;
    s.Title = "T";
    InfoSettings undo = s;
    host.Edit(path, "", [&](HDoc doc) {
        CaptureInfo(undo, doc);
        ApplyInfo(s, doc);
    });
    host.Edit(path, "", [&](HDoc doc) { ApplyInfo(undo, doc); });
    EXPECT_EQ(test::InfoText(path), "<< >>\n");
}

TEST_F(DocumentInfoOnFile, UndoGivesBackAnEntryThatWasNotAString) {
    auto path = Write({.info = "/Title /NotAString /Author [ (a) (b) ]"});
    const std::string before = test::InfoText(path);
    InfoSettings s;
    s.SetTitle = s.SetAuthor = true;
    s.Title = "T";
    s.Author = "A";
    InfoSettings undo = s;
    host.Edit(path, "", [&](HDoc doc) {
        CaptureInfo(undo, doc);
        ApplyInfo(s, doc);
    });
    host.Edit(path, "", [&](HDoc doc) { ApplyInfo(undo, doc); });
    EXPECT_EQ(test::InfoText(path), before);
}

TEST_F(DocumentInfoOnFile, CaptureReadsTheDocumentsValuesForCheckedItemsOnly) {
    auto path = Write({.catalogEntries = "/Search << /Indexes [ << /Name /PDX /Index << /Type "
                                         "/FileSpec /F (old.pdx) >> >> ] >>",
                       .info = "/Title (Present) /Author (Other)"});
    InfoSettings s;
    s.SetTitle = s.SetIndex = true;
    s.Title = "new";
    s.Author = "new author";
    s.IndexFile = "new.pdx";
    HDoc doc = host.Open(path);
    CaptureInfo(s, doc);
    host.Close(doc);
    EXPECT_EQ(s.Title, "Present");
    EXPECT_EQ(s.Author, "new author");
    EXPECT_EQ(s.IndexFile, "old.pdx");
    EXPECT_TRUE(s.SetTitle);
    EXPECT_FALSE(s.SetAuthor);
    ASSERT_TRUE(s.PreviousIndex.has_value());
    EXPECT_FALSE(s.PreviousBaseURL.has_value());
}

TEST_F(DocumentInfoOnFile, CaptureKeepsATitleLongerThan1000Bytes) {
    const std::string title(1500, 'x');
    auto path = Write({.info = "/Title (" + title + ")"});
    InfoSettings s;
    s.SetTitle = true;
    HDoc doc = host.Open(path);
    CaptureInfo(s, doc);
    host.Close(doc);
    EXPECT_EQ(s.Title, title);
}

TEST(TextString, EveryWindows1252ByteComesBackFromItsTextString) {
    for (int c = 0; c <= 0xFF; ++c) {
        for (const std::string& text :
             {std::string(1, static_cast<char>(c)), "a" + std::string(1, static_cast<char>(c))}) {
            const std::string written = EncodeTextString(text);
            EXPECT_EQ(DecodeTextString(written), text) << "byte " << c;
        }
    }
    EXPECT_EQ(DecodeTextString("\xFE\xFF\xD8\x3D"), std::nullopt) << "a lone surrogate";
    EXPECT_EQ(DecodeTextString(std::string_view("\xFE\xFF\x00", 3)), std::nullopt)
        << "an odd byte count";
    EXPECT_EQ(DecodeTextString("\xEF\xBB\xBF"
                               "Caf\xC3\xA9"),
              "Caf\xE9")
        << "UTF-8";
}

TEST_F(DocumentInfoOnFile, CaptureDecodesBothStringFormsAndUndoGivesBackTheirBytes) {
    // Title "Café €" and the index path "D€" in UTF-16BE, Subject "– ‰" and the base URL in
    // PDFDocEncoding, Author "中文", which has no Windows-1252 form.
    auto path = Write({.catalogEntries = "/Search << /Indexes [ << /Name /PDX /Index << /Type "
                                         "/FileSpec /F <FEFF004420AC> >> >> ] >> "
                                         "/URI << /Base (http://x/\\205) >>",
                       .info = "/Title <FEFF00430061006600E9002020AC> /Subject (\\205 \\213) "
                               "/Author <FEFF4E2D6587> /Keywords (plain)"});
    const std::string catalogBefore = test::CatalogJson(path);
    const std::string infoBefore = test::InfoText(path);
    InfoSettings s;
    s.SetTitle = s.SetSubject = s.SetAuthor = s.SetKeywords = s.SetIndex = s.SetBaseURL = true;
    s.Title = s.Subject = s.Author = s.Keywords = "new";
    s.IndexFile = "new.pdx";
    s.BaseURL = "http://new/";
    InfoSettings undo = s;
    host.Edit(path, "", [&](HDoc doc) {
        CaptureInfo(undo, doc);
        ApplyInfo(s, doc);
    });
    EXPECT_EQ(undo.Title, "Caf\xE9 \x80");
    EXPECT_EQ(undo.Subject, "\x96 \x89");
    EXPECT_EQ(undo.Keywords, "plain");
    EXPECT_EQ(undo.IndexFile, "D\x80");
    EXPECT_EQ(undo.BaseURL, "http://x/\x96");
    ASSERT_TRUE(Has(test::PdfInfo(path), "Author:          new\n"));

    host.Edit(path, "", [&](HDoc doc) { ApplyInfo(undo, doc); });
    EXPECT_EQ(test::InfoText(path), infoBefore);
    EXPECT_EQ(test::CatalogJson(path), catalogBefore);
    const std::string info = test::PdfInfo(path);
    EXPECT_TRUE(Has(info, "Author:          \xE4\xB8\xAD\xE6\x96\x87\n")) << info;
    EXPECT_TRUE(Has(info, "Title:           Caf\xC3\xA9 \xE2\x82\xAC\n")) << info;
}

TEST_F(DocumentInfoOnFile, AHostFailureEndsTheOperationAndKeepsWhatWasWritten) {
    auto path = Write({.info = "/Title (T1) /Subject (S1)"});
    InfoSettings s;
    s.SetTitle = s.SetSubject = s.SetIndex = true;
    s.Title = "T2";
    s.Subject = "S2";
    s.IndexFile = "x.pdx";
    HDoc doc = host.Open(path);
    host::FaultSwitch::Arm("SetDocInfo", 2);
    try {
        ApplyInfo(s, doc);
        ADD_FAILURE() << "the host failure was swallowed";
    } catch (const hostcalls::HostError& error) {
        EXPECT_EQ(error.code(), kHErrFault);
    }
    host::FaultSwitch::DisarmAll();
    host.Save(doc, path);
    host.Close(doc);
    const std::string info = test::InfoText(path);
    EXPECT_NE(info.find("/Title (T2)"), std::string::npos) << info;
    EXPECT_NE(info.find("/Subject (S1)"), std::string::npos) << info;
    EXPECT_EQ(Catalog(path).find("/Search"), std::string::npos);
}

// A host built before the later Cos entries: its Cos table ends at GetCatalog.
struct OlderHost {
    explicit OlderHost(const HostCoreTable* table)
        : real(table), older(table, HOST_TABLE_COS, offsetof(HostCosTable, GetInfoDict)) {
        EXPECT_TRUE(hostcalls::ConnectHost(older.core(), 1));
    }
    ~OlderHost() { hostcalls::ConnectHost(real, 1); }

    const HostCoreTable* real;
    tesser::test::OlderHostTable<HostCosTable> older;
};

TEST_F(DocumentInfoOnFile, AHostWithoutTheLaterCosEntriesGivesAnErrorNamingTheEntry) {
    auto path = Write({.info = "/Title (T1)"});
    HDoc doc = host.Open(path);
    {
        OlderHost older(host.host.GetHostCoreTable());
        InfoSettings s;
        s.SetTitle = true;
        try {
            CaptureInfo(s, doc);
            ADD_FAILURE() << "the capture went on without the host's information dictionary";
        } catch (const hostcalls::HostError& error) {
            EXPECT_EQ(error.code(), kHErrNotFound);
            EXPECT_NE(std::string(error.what()).find("GetInfoDict"), std::string::npos)
                << error.what();
        }
        EXPECT_THROW(
            hostcalls::DictEnumerate(cos::Catalog(doc), [](HAtom, HObject) { return true; }),
            hostcalls::HostError);
    }
    // Connected to the full host again.
    InfoSettings s;
    s.SetTitle = true;
    CaptureInfo(s, doc);
    EXPECT_EQ(s.Title, "T1");
    host.Close(doc);
}

TEST_F(DocumentInfoOnFile, AnErrorThrownWhileEnumeratingComesBackToTheCaller) {
    auto path = Write({.catalogEntries = "/A 1 /B 2 /C 3"});
    HDoc doc = host.Open(path);
    int visited = 0;
    try {
        hostcalls::DictEnumerate(cos::Catalog(doc), [&](HAtom, HObject) -> bool {
            ++visited;
            throw std::runtime_error("visitor failed");
        });
        ADD_FAILURE() << "the visitor's exception was lost";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "visitor failed");
    }
    EXPECT_EQ(visited, 1) << "the enumeration went on after the exception";
    host.Close(doc);
}
} // namespace
} // namespace tesser::docsettings

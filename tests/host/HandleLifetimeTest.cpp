// How long object and font handles live: one per indirect object, direct ones until their object
// scope ends or their document closes, and a handle past its end refused rather than misread.
#include "tests/host/HostTestSupport.h"

#include <string>
#include <vector>

namespace tesser::host::test {
namespace {

class Handles : public HostTest {
protected:
    void SetUp() override {
        file = dir / "handles.pdf";
        MakeManyPagesPdf(file, 12);
        doc = OpenOk(file);
        ASSERT_TRUE(Ok(model->GetCosDocument(doc, &cd)));
    }
    void TearDown() override {
        if (doc != nullptr) {
            model->CloseDocument(doc);
        }
    }

    int32_t Begin() {
        int32_t scope = 0;
        EXPECT_TRUE(Ok(model->BeginObjectScope(doc, &scope)));
        return scope;
    }
    HObject Int(int32_t v) {
        HObject o = nullptr;
        EXPECT_TRUE(Ok(cos->NewInteger(cd, 0, v, &o)));
        return o;
    }
    // The code of a read of the handle; kHErrNone while it is alive.
    HErrorCode Read(HObject o) {
        int32_t type = 0;
        return cos->GetObjectType(o, &type);
    }
    ::testing::AssertionResult Refused(HObject o) {
        HErrorCode code = Read(o);
        if (code == kHErrNone || Text(code) != "Bad object handle.") {
            return ::testing::AssertionFailure()
                   << "answered " << code << " (" << Text(code) << ")";
        }
        return ::testing::AssertionSuccess();
    }
    HObject Get(HObject dict, const std::string& key) {
        HObject value = nullptr;
        EXPECT_TRUE(Ok(cos->DictGet(dict, Atom(key), &value)));
        return value;
    }

    std::filesystem::path file;
    HDoc doc = nullptr;
    HCosDoc cd = nullptr;
};

TEST_F(Handles, DirectHandlesEndWithTheirScopeWhileTheDocumentKeepsWhatWasStored) {
    HObject catalog = Catalog(doc);
    int32_t scope = Begin();
    EXPECT_EQ(scope, 1);
    HObject number = Int(4711);
    ASSERT_TRUE(Ok(cos->DictPut(catalog, Atom("Probe"), number)));
    ASSERT_TRUE(Ok(model->EndObjectScope(doc, scope)));

    EXPECT_TRUE(Refused(number));
    // The catalog is indirect: its handle outlives the scope, and the stored copy stays.
    int32_t value = 0;
    ASSERT_TRUE(Ok(cos->GetIntegerValue(Get(catalog, "Probe"), &value)));
    EXPECT_EQ(value, 4711);

    auto saved = dir / "saved.pdf";
    ASSERT_TRUE(Ok(Save(doc, saved)));
    auto trailer = Qpdf("--show-object=trailer " + Quote(saved.string()));
    auto at = trailer.output.find("/Root ");
    ASSERT_NE(at, std::string::npos) << trailer.output;
    int rootNumber = std::stoi(trailer.output.substr(at + 6));
    auto root = Qpdf("--show-object=" + std::to_string(rootNumber) + " " + Quote(saved.string()));
    EXPECT_NE(root.output.find("/Probe 4711"), std::string::npos) << root.output;
}

TEST_F(Handles, HandlesMadeBeforeAScopeAndIndirectObjectsMadeInItOutliveIt) {
    HObject before = Int(1);
    HObject catalog = Catalog(doc); // found with no scope open
    int32_t scope = Begin();
    HObject indirect = nullptr;
    ASSERT_TRUE(Ok(cos->NewDict(cd, 1, 1, &indirect)));
    ASSERT_TRUE(Ok(cos->DictPut(Catalog(doc), Atom("Extra"), indirect)));
    HPage page = nullptr;
    ASSERT_TRUE(Ok(model->AcquirePage(doc, 0, &page)));
    HObject resources = nullptr;
    ASSERT_TRUE(Ok(model->GetPageResources(page, &resources)));
    HObject pageDict = nullptr;
    ASSERT_TRUE(Ok(model->GetPageCosObject(page, &pageDict)));
    ASSERT_TRUE(Ok(model->ReleasePage(page)));
    ASSERT_TRUE(Ok(model->EndObjectScope(doc, scope)));

    EXPECT_EQ(Read(before), kHErrNone);
    EXPECT_EQ(Read(indirect), kHErrNone);
    EXPECT_EQ(Read(catalog), kHErrNone);
    EXPECT_TRUE(Refused(resources)); // a direct dictionary of the page
    // The page was found, not made, inside the scope: its handle ended with it, so a pass over
    // every page keeps no handle per page.
    EXPECT_TRUE(Refused(pageDict));
    // One handle per indirect object, whichever way it is reached.
    EXPECT_EQ(Get(catalog, "Extra"), indirect);
    ASSERT_TRUE(Ok(model->AcquirePage(doc, 0, &page)));
    HObject again = nullptr;
    ASSERT_TRUE(Ok(model->GetPageCosObject(page, &again)));
    EXPECT_EQ(Read(again), kHErrNone);
    HObject twice = nullptr;
    ASSERT_TRUE(Ok(model->GetPageCosObject(page, &twice)));
    EXPECT_EQ(twice, again);
    ASSERT_TRUE(Ok(model->ReleasePage(page)));
}

TEST_F(Handles, EndingAnOuterScopeEndsTheInnerOnesAndScopesNotOpenAreRefused) {
    int32_t outer = Begin();
    HObject a = Int(1);
    int32_t inner = Begin();
    EXPECT_EQ(inner, outer + 1);
    HObject b = Int(2);
    ASSERT_TRUE(Ok(model->EndObjectScope(doc, outer)));
    EXPECT_TRUE(Refused(a));
    EXPECT_TRUE(Refused(b));

    for (int32_t notOpen : {0, -1, outer, inner, 99}) {
        HErrorCode code = model->EndObjectScope(doc, notOpen);
        ASSERT_NE(code, kHErrNone) << notOpen;
        EXPECT_EQ(Text(code), "No object scope " + std::to_string(notOpen) + " is open in " +
                                  file.string() + ".");
    }
    EXPECT_EQ(Begin(), 1);
    int32_t scope = 0;
    EXPECT_EQ(model->BeginObjectScope(doc, nullptr), kHErrBadParameter);
    EXPECT_EQ(Text(model->BeginObjectScope(nullptr, &scope)), "Bad document handle.");
}

TEST_F(Handles, AnEndedHandleIsNotMistakenForTheOneThatReusesItsRecord) {
    int32_t scope = Begin();
    HObject old = Int(1);
    ASSERT_TRUE(Ok(model->EndObjectScope(doc, scope)));
    std::vector<HObject> fresh;
    for (int i = 0; i < 8; ++i) {
        fresh.push_back(Int(100 + i));
    }
    EXPECT_TRUE(Refused(old));
    for (int i = 0; i < 8; ++i) {
        EXPECT_NE(fresh[i], old);
        int32_t value = 0;
        ASSERT_TRUE(Ok(cos->GetIntegerValue(fresh[i], &value)));
        EXPECT_EQ(value, 100 + i);
    }
}

TEST_F(Handles, FontHandlesOfIndirectFontsStayAndThoseOfDirectFontsEndWithTheScope) {
    HPage page = nullptr;
    ASSERT_TRUE(Ok(model->AcquirePage(doc, 0, &page)));
    HObject direct = nullptr;
    ASSERT_TRUE(Ok(cos->NewDict(cd, 0, 2, &direct)));
    HObject base = nullptr;
    ASSERT_TRUE(Ok(cos->NewName(cd, 0, Atom("Courier"), &base)));
    ASSERT_TRUE(Ok(cos->DictPut(direct, Atom("BaseFont"), base)));
    ASSERT_TRUE(Ok(model->AddPageResource(page, "Font", "F9", direct)));

    struct Seen {
        std::vector<HFont> fonts;
    } seen;
    auto visit = [](HFont font, HAtom, void* data) -> HBool {
        static_cast<Seen*>(data)->fonts.push_back(font);
        return 1;
    };
    int32_t scope = Begin();
    ASSERT_TRUE(Ok(model->EnumeratePageFonts(page, visit, &seen)));
    ASSERT_TRUE(Ok(model->EndObjectScope(doc, scope)));
    ASSERT_EQ(seen.fonts.size(), 2u); // F1 (indirect Helvetica) and F9 (direct Courier)

    char name[65];
    ASSERT_TRUE(Ok(model->GetFontName(seen.fonts[0], name, sizeof name)));
    EXPECT_EQ(std::string(name), "Helvetica");
    EXPECT_EQ(Text(model->GetFontName(seen.fonts[1], name, sizeof name)), "Bad font handle.");

    // Asking again answers the same handle for the indirect font.
    Seen again;
    ASSERT_TRUE(Ok(model->EnumeratePageFonts(page, visit, &again)));
    ASSERT_EQ(again.fonts.size(), 2u);
    EXPECT_EQ(again.fonts[0], seen.fonts[0]);
    ASSERT_TRUE(Ok(model->ReleasePage(page)));
}

TEST_F(Handles, HandlesOfAClosedDocumentAreRefused) {
    HObject catalog = Catalog(doc);
    HObject number = Int(5);
    HPage page = nullptr;
    ASSERT_TRUE(Ok(model->AcquirePage(doc, 0, &page)));
    HFont font = nullptr;
    auto first = [](HFont f, HAtom, void* data) -> HBool {
        *static_cast<HFont*>(data) = f;
        return 0;
    };
    ASSERT_TRUE(Ok(model->EnumeratePageFonts(page, first, &font)));
    ASSERT_TRUE(Ok(model->ReleasePage(page)));
    ASSERT_TRUE(Ok(model->CloseDocument(doc)));
    doc = nullptr;

    EXPECT_TRUE(Refused(catalog));
    EXPECT_TRUE(Refused(number));
    char name[65];
    EXPECT_EQ(Text(model->GetFontName(font, name, sizeof name)), "Bad font handle.");
}

TEST_F(Handles, APassThatScopesEachPageKeepsOnlyItsIndirectObjects) {
    // What a stamping pass asks of each page; only the one new stream is indirect.
    const std::string data = "q Q";
    auto stampPage = [&](int32_t index) {
        int32_t scope = Begin();
        HPage page = nullptr;
        ASSERT_TRUE(Ok(model->AcquirePage(doc, index, &page)));
        HObject pageDict = nullptr;
        HObject resources = nullptr;
        ASSERT_TRUE(Ok(model->GetPageCosObject(page, &pageDict)));
        ASSERT_TRUE(Ok(model->GetPageResources(page, &resources)));
        HObject attributes = nullptr;
        ASSERT_TRUE(Ok(cos->NewDict(cd, 0, 1, &attributes)));
        ASSERT_TRUE(Ok(cos->DictPut(attributes, Atom("Length"), Int(3))));
        HStream source = nullptr;
        ASSERT_TRUE(Ok(support->OpenMemoryReadStream(data.data(), data.size(), &source)));
        HObject null = nullptr;
        ASSERT_TRUE(Ok(cos->NewNull(&null)));
        HObject stream = nullptr;
        ASSERT_TRUE(Ok(cos->NewStream(cd, 1, source, 0, 1, attributes, null, 3, &stream)));
        ASSERT_TRUE(Ok(support->CloseStream(source)));
        HObject array = nullptr;
        ASSERT_TRUE(Ok(cos->NewArray(cd, 0, 2, &array)));
        ASSERT_TRUE(Ok(cos->ArrayPut(array, 0, Get(pageDict, "Contents"))));
        ASSERT_TRUE(Ok(cos->ArrayPut(array, 1, stream)));
        ASSERT_TRUE(Ok(cos->DictPut(pageDict, Atom("Contents"), array)));
        ASSERT_TRUE(Ok(model->ReleasePage(page)));
        ASSERT_TRUE(Ok(model->EndObjectScope(doc, scope)));
    };
    stampPage(0);
    stampPage(1);
    size_t afterTwo = host.ObjectHandleCount();
    for (int32_t i = 2; i < 12; ++i) {
        stampPage(i);
    }
    // Each further page keeps one handle, the new stream's: its page dictionary and its old
    // content stream were found inside the page's scope.
    EXPECT_EQ(host.ObjectHandleCount() - afterTwo, 10u);

    auto saved = dir / "stamped.pdf";
    ASSERT_TRUE(Ok(Save(doc, saved)));
    EXPECT_TRUE(QpdfCheckPasses(saved));
    auto text = Shell("pdftotext -f 12 -l 12 " + Quote(saved.string()) + " -");
    EXPECT_NE(text.output.find("Page 12"), std::string::npos) << text.output;
}

} // namespace
} // namespace tesser::host::test

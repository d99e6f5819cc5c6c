// Each guarded operation, failed by the host's fault switch, shows its message once and answers
// false; without a fault it answers true with the host's result.
#include "hostcalls/Guarded.h"
#include "host/FaultSwitch.h"
#include "host/Host.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using tesser::host::FaultSwitch;
using tesser::host::Host;
using tesser::host::RecordingSink;
namespace g = tesser::hostcalls::guarded;
namespace hc = tesser::hostcalls;

// Two US Letter pages, written by hand and normalised by qpdf.
void MakeTwoPagePdf(const std::filesystem::path& path) {
    tesser::test::TempDir scratch;
    auto raw = scratch / "raw.pdf";
    tesser::test::WriteFile(raw, "%PDF-1.4\n"
                                 "1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
                                 "2 0 obj << /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 "
                                 "/MediaBox [0 0 612 792] >> endobj\n"
                                 "3 0 obj << /Type /Page /Parent 2 0 R /Contents 5 0 R "
                                 "/Resources << /Font << /F1 6 0 R >> >> >> endobj\n"
                                 "4 0 obj << /Type /Page /Parent 2 0 R >> endobj\n"
                                 "5 0 obj << /Length 0 >> stream\n\nendstream endobj\n"
                                 "6 0 obj << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> "
                                 "endobj\n"
                                 "trailer << /Root 1 0 R >>\n%%EOF\n");
    auto result = tesser::test::Run("qpdf " + tesser::test::Quote(raw.string()) + " " +
                                    tesser::test::Quote(path.string()));
    ASSERT_TRUE(result.exitCode == 0 || result.exitCode == 3) << result.errors;
}

class GuardedTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.SetMessageSink(&sink);
        ASSERT_TRUE(hc::ConnectHost(host.GetHostCoreTable(), 1));
        auto file = dir / "two.pdf";
        MakeTwoPagePdf(file);
        fs = hc::GetDefaultFileSystem();
        path = hc::PathFromPlatformPath(fs, file.string());
        doc = hc::OpenDocument(path, fs, nullptr, nullptr, false);
        cosDoc = hc::GetCosDocument(doc);
        page = hc::AcquirePage(doc, 0);
        pageDict = hc::GetPageCosObject(page);
        key = hc::CreateAtom("Contents");
    }
    void TearDown() override {
        FaultSwitch::DisarmAll();
        if (page != nullptr) {
            hc::ReleasePage(page);
        }
        if (doc != nullptr) {
            hc::CloseDocument(doc);
        }
        hc::ReleasePath(fs, path);
        hc::DisconnectHost();
    }

public:
    Host host;
    RecordingSink sink;
    tesser::test::TempDir dir;
    HFileSys fs = nullptr;
    HPath path = nullptr;
    HDoc doc = nullptr;
    HCosDoc cosDoc = nullptr;
    HPage page = nullptr;
    HObject pageDict = nullptr;
    HAtom key = 0;
};

struct GuardedCase {
    const char* operation; // the host table function the fault switch fails
    const char* message;
    std::function<bool(GuardedTest&)> call;
};

class GuardedFailureTest : public GuardedTest {
protected:
    void Check(const GuardedCase& c) {
        SCOPED_TRACE(c.operation);
        sink.messages.clear();
        ASSERT_TRUE(c.call(*this)) << "the operation fails without a fault";
        EXPECT_TRUE(sink.messages.empty());
        FaultSwitch::Arm(c.operation, 1);
        EXPECT_FALSE(c.call(*this));
        FaultSwitch::Disarm(c.operation);
        ASSERT_EQ(sink.messages.size(), 1u);
        EXPECT_EQ(sink.messages[0].text, c.message);
        EXPECT_EQ(sink.messages[0].iconKind, 1);
        EXPECT_EQ(sink.messages[0].buttons, std::vector<std::string>{"OK"});
    }
};

TEST_F(GuardedFailureTest, EveryOperationShowsItsMessageOnceAndAnswersFalse) {
    HObject out = nullptr;
    const std::vector<GuardedCase> cases = {
        {"CreateAtom", "Failed to create atom from string",
         [](GuardedTest&) {
             HAtom a = 0;
             return g::CreateAtom("Length", a);
         }},
        {"GetObjectType", "Failed to get objects type",
         [](GuardedTest& t) {
             int32_t type = -1;
             bool ok = g::GetObjectType(t.pageDict, type);
             return ok && type == kHObjDict;
         }},
        {"NewNull", "Failed to create new null", [&](GuardedTest&) { return g::NewNull(out); }},
        {"NewInteger", "Failed to create new integer",
         [&](GuardedTest& t) { return g::NewInteger(t.cosDoc, false, 5, out); }},
        {"NewName", "Failed to create new name",
         [&](GuardedTest& t) { return g::NewName(t.cosDoc, false, t.key, out); }},
        {"NewArray", "Failed to create new array",
         [&](GuardedTest& t) { return g::NewArray(t.cosDoc, false, 1, out); }},
        {"NewDict", "Failed to create new dict",
         [&](GuardedTest& t) { return g::NewDict(t.cosDoc, false, 5, out); }},
        {"DictGet", "Failed to get value from dictionary",
         [&](GuardedTest& t) { return g::DictGet(t.pageDict, t.key, out); }},
        {"DictPut", "Failed to put value in dictionary",
         [&](GuardedTest& t) {
             HObject v = hc::NewInteger(t.cosDoc, false, 1);
             return g::DictPut(t.pageDict, hc::CreateAtom("Probe"), v);
         }},
        {"ArrayLength", "Failed to get array length",
         [&](GuardedTest& t) {
             int32_t n = -1;
             HObject a = hc::NewArray(t.cosDoc, false, 1);
             return g::ArrayLength(a, n) && n == 0;
         }},
        {"ArrayGet", "Failed to get object from array",
         [&](GuardedTest& t) {
             HObject a = hc::NewArray(t.cosDoc, false, 1);
             hc::ArrayPut(a, 0, hc::NewInteger(t.cosDoc, false, 3));
             return g::ArrayGet(a, 0, out) && hc::GetIntegerValue(out) == 3;
         }},
        {"ArrayPut", "Failed to put object into array",
         [&](GuardedTest& t) {
             HObject a = hc::NewArray(t.cosDoc, false, 1);
             return g::ArrayPut(a, 0, hc::NewInteger(t.cosDoc, false, 3));
         }},
        {"ArrayInsert", "Failed to insert object into array",
         [&](GuardedTest& t) {
             HObject a = hc::NewArray(t.cosDoc, false, 1);
             return g::ArrayInsert(a, 0, hc::NewInteger(t.cosDoc, false, 3));
         }},
        {"ArrayRemove", "Failed to remove object from array",
         [&](GuardedTest& t) {
             HObject a = hc::NewArray(t.cosDoc, false, 1);
             HObject n = hc::NewName(t.cosDoc, false, t.key);
             hc::ArrayPut(a, 0, n);
             return g::ArrayRemove(a, n);
         }},
        {"GetSecurityData", "Failed to get security data",
         [](GuardedTest& t) {
             void* data = reinterpret_cast<void*>(1);
             return g::GetSecurityData(t.doc, data) && data == nullptr;
         }},
        {"Authorise", "Failed to authorise",
         [](GuardedTest& t) {
             int32_t granted = 0;
             return g::Authorise(t.doc, kHPermEdit, "", granted) && (granted & kHPermEdit);
         }},
        {"GetPageCount", "Failed to get number of pages",
         [](GuardedTest& t) {
             int32_t n = 0;
             return g::GetPageCount(t.doc, n) && n == 2;
         }},
        {"AcquirePage", "Failed to acquire page",
         [](GuardedTest& t) {
             HPage p = nullptr;
             bool ok = g::AcquirePage(t.doc, 1, p);
             if (ok) {
                 hc::ReleasePage(p);
             }
             return ok;
         }},
        {"ReleasePage", "Failed to release page",
         [](GuardedTest& t) {
             HPage p = hc::AcquirePage(t.doc, 1);
             bool ok = g::ReleasePage(p);
             if (!ok) {
                 hc::ReleasePage(p);
             }
             return ok;
         }},
        {"GetPageNumber", "Failed to get page number",
         [](GuardedTest& t) {
             int32_t i = -1;
             return g::GetPageNumber(t.page, i) && i == 0;
         }},
        {"GetPageDocument", "Failed to get page document",
         [](GuardedTest& t) {
             HDoc d = nullptr;
             return g::GetPageDocument(t.page, d) && d == t.doc;
         }},
        {"GetCosDocument", "Failed to get Cos document",
         [](GuardedTest& t) {
             HCosDoc c = nullptr;
             return g::GetCosDocument(t.doc, c) && c == t.cosDoc;
         }},
        {"GetPageCosObject", "Failed to get page Cos object",
         [&](GuardedTest& t) { return g::GetPageCosObject(t.page, out); }},
        {"GetPageMediaBox", "Failed to get page media box",
         [](GuardedTest& t) {
             HFixedRect box{};
             return g::GetPageMediaBox(t.page, box) && box.right == 612 * 65536 &&
                    box.top == 792 * 65536;
         }},
        {"GetPageCropBox", "Failed to get page media box",
         [](GuardedTest& t) {
             HFixedRect box{};
             return g::GetPageCropBox(t.page, box) && box.right == 612 * 65536;
         }},
        {"EnumeratePageFonts", "Failed to enumerate page resources",
         [](GuardedTest& t) {
             return g::EnumeratePageFonts(
                 t.page, [](HFont, HAtom, void*) -> HBool { return 1; }, nullptr);
         }},
        {"NotifyPageContentsChanged", "Failed to notify page contents did change",
         [](GuardedTest& t) { return g::NotifyPageContentsChanged(t.page, true); }},
    };
    for (const auto& c : cases) {
        Check(c);
    }
}

TEST_F(GuardedTest, StreamOperationsAndTheQuietClose) {
    static const char data[] = "q";
    HStream stream = nullptr;
    ASSERT_TRUE(g::OpenMemoryReadStream(data, 1, stream));
    HObject attributes = hc::NewDict(cosDoc, false, 5);
    hc::DictPut(attributes, hc::CreateAtom("Length"), hc::NewInteger(cosDoc, false, 1));
    HObject object = nullptr;

    FaultSwitch::Arm("NewStream", 1);
    EXPECT_FALSE(g::NewStream(cosDoc, true, stream, 0, true, attributes, hc::NewNull(), 1, object));
    ASSERT_TRUE(g::NewStream(cosDoc, true, stream, 0, true, attributes, hc::NewNull(), 1, object));
    EXPECT_EQ(hc::GetStreamData(object), "q");

    // A failed close is reported only when the caller asks for it.
    FaultSwitch::Arm("CloseStream", 1);
    EXPECT_FALSE(g::CloseStream(stream, false));
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].text, "Failed to create new stream");
    FaultSwitch::Arm("CloseStream", 1);
    EXPECT_FALSE(g::CloseStream(stream, true));
    ASSERT_EQ(sink.messages.size(), 2u);
    EXPECT_EQ(sink.messages[1].text, "Failed to close stream");
    EXPECT_TRUE(g::CloseStream(stream, true));

    FaultSwitch::Arm("DestroyObject", 1);
    EXPECT_FALSE(g::DestroyObject(object));
    ASSERT_EQ(sink.messages.size(), 3u);
    EXPECT_EQ(sink.messages[2].text, "Failed to destroy object");
    EXPECT_TRUE(g::DestroyObject(object));
}

TEST_F(GuardedTest, GuardRunsAGroupUnderOneMessage) {
    int reached = 0;
    FaultSwitch::Arm("DictKnown", 1);
    bool ok = g::Guard("Failed to get font resources", [&] {
        ++reached;
        (void)hc::DictKnown(pageDict, key);
        ++reached;
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(reached, 1);
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].text, "Failed to get font resources");
}

} // namespace

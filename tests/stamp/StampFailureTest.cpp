// Host failures during a stamping pass, made with the host's fault switch: each message appears
// once, the failing page is skipped or the pass ends as documented, nothing is left half-done,
// and the file written afterwards is sound.
#include "StampFixtures.h"

#include "host/FaultSwitch.h"
#include "stamp/StampingPass.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <regex>

namespace tesser::stamp {
namespace {

using namespace tesser::stamp::test;
using tesser::test::TempDir;
using tesser::test::WriteFile;

constexpr std::time_t kRunTime = 1640439930;

struct FaultCase {
    const char* operation;
    int call;
    const char* message;
    std::vector<int> stamped; // 1-based pages that carry the stamp afterwards
    bool result;
    model::Layer layer = model::Layer::Foreground;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.operation << "#" << c.call;
}

class StampFault : public ::testing::TestWithParam<FaultCase> {
protected:
    void TearDown() override { host::FaultSwitch::DisarmAll(); }
    TempDir dir;
    HostSession session;
};

// Whether the page's "Contents" is still the single stream the fixture gave it.
bool Untouched(const PdfPage& page) {
    return page.contents.size() == 1 &&
           std::regex_search(page.unparsed, std::regex(R"(/Contents \d+ 0 R)"));
}

TEST_P(StampFault, MessageOnceAndOnlyTheAffectedPagesSkipped) {
    const FaultCase& c = GetParam();
    WriteFile(dir / "in.pdf", MakeLetterPdf(3));
    HDoc doc = session.Open(dir / "in.pdf");
    ASSERT_NE(doc, nullptr);

    auto t = TextStamp("<PageNumber>");
    t.JustifyH = model::JustifyH::Right; // measures every line
    t.Layer = c.layer;
    host::FaultSwitch::Arm(c.operation, c.call);
    EXPECT_EQ(StampDocument(t, doc, kRunTime), c.result);
    host::FaultSwitch::DisarmAll();

    EXPECT_EQ(session.Messages(), std::vector<std::string>{c.message});
    session.SaveAndClose(doc, dir / "out.pdf");
    EXPECT_EQ(CheckProblems(dir / "out.pdf"), "");

    const auto pages = ReadPages(dir / "out.pdf");
    ASSERT_EQ(pages.size(), 3u);
    for (int n = 1; n <= 3; ++n) {
        const auto& page = pages[static_cast<size_t>(n - 1)];
        if (std::find(c.stamped.begin(), c.stamped.end(), n) != c.stamped.end()) {
            ASSERT_EQ(page.contents.size(), 4u) << "page " << n;
            const size_t stampAt = c.layer == model::Layer::Background ? 1 : 3;
            EXPECT_NE(StreamData(dir / "out.pdf", page.contents[stampAt])
                          .find("(" + std::to_string(n) + ")"),
                      std::string::npos);
        } else {
            EXPECT_TRUE(Untouched(page)) << "page " << n << ": " << page.unparsed;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    HostFailures, StampFault,
    ::testing::Values(
        FaultCase{"GetPageNumber", 2, "Failed to get page number", {1, 3}, true},
        FaultCase{"AcquirePage", 2, "Failed to acquire page", {1}, false},
        FaultCase{"ReleasePage", 1, "Failed to release page", {1}, false},
        FaultCase{"GetPageCount", 1, "Failed to get number of pages", {}, false},
        FaultCase{"GetSecurityData", 1, "Failed to get security data", {}, false},
        FaultCase{"GetPageMediaBox", 2, "Failed to get page media box", {1, 3}, true},
        FaultCase{"GetPageCropBox", 1, "Failed to get page media box", {2, 3}, true},
        FaultCase{"GetFontWidths", 3, "Failed to get string width", {1, 2}, true},
        FaultCase{"EnumeratePageFonts", 1, "Failed to enumerate page resources", {2, 3}, true},
        FaultCase{"NewDict", 1, "Failed to create new font resource on page", {2, 3}, true},
        FaultCase{"GetPageResources", 1, "Failed to set page text procset", {2, 3}, true},
        // Insertion failing after one or two of its streams are in "Contents": they come out.
        FaultCase{"NewStream", 2, "Failed to create new stream", {2, 3}, true},
        FaultCase{"ArrayInsert", 3, "Failed to insert object into array", {2, 3}, true},
        FaultCase{"ArrayInsert",
                  6,
                  "Failed to insert object into array",
                  {1, 3},
                  true,
                  model::Layer::Background},
        FaultCase{
            "OpenMemoryReadStream", 3, "Failed to open read stream from memory", {2, 3}, true},
        FaultCase{"NotifyPageContentsChanged",
                  1,
                  "Failed to notify page contents did change",
                  {2, 3},
                  true}));

TEST(StampFaultRemoval, FailedRemovalSkipsThePageAndTheRestComeOff) {
    TempDir dir;
    HostSession session;
    WriteFile(dir / "in.pdf", MakeLetterPdf(3));
    HDoc doc = session.Open(dir / "in.pdf");
    ASSERT_NE(doc, nullptr);
    const auto t = TextStamp("<PageNumber>");
    ASSERT_TRUE(StampDocument(t, doc, kRunTime));

    host::FaultSwitch::Arm("ArrayRemove", 4); // the first removal of page 2
    EXPECT_TRUE(UnstampDocument(t, doc));
    host::FaultSwitch::DisarmAll();
    EXPECT_EQ(session.Messages(), std::vector<std::string>{"Failed to remove object from array"});
    session.SaveAndClose(doc, dir / "out.pdf");
    EXPECT_EQ(CheckProblems(dir / "out.pdf"), "");
    const auto pages = ReadPages(dir / "out.pdf");
    EXPECT_EQ(pages[0].contents.size(), 1u);
    EXPECT_EQ(pages[1].contents.size(), 4u);
    EXPECT_EQ(pages[2].contents.size(), 1u);
}

} // namespace
} // namespace tesser::stamp

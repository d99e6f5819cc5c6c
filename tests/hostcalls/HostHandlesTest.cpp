// The owners of host handles over the real host: each gives its handle back at the end of its
// scope, Close() lets the host's refusal through, and an object scope is optional for a host
// whose PDModel table ends before the scopes.
#include "host/Host.h"
#include "hostcalls/HostCalls.h"
#include "tests/support/OlderHostTable.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

namespace {

namespace hc = tesser::hostcalls;
using tesser::host::Host;
using tesser::test::Quote;
using tesser::test::TempDir;
using tesser::test::WriteFile;

class HostHandlesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(hc::ConnectHost(host.GetHostCoreTable(), 1));
        WriteFile(dir / "raw.pdf",
                  "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
                  "2 0 obj << /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 612 792] >> "
                  "endobj\n3 0 obj << /Type /Page /Parent 2 0 R >> endobj\n"
                  "trailer << /Root 1 0 R >>\n%%EOF\n");
        const auto made = tesser::test::Run("qpdf " + Quote((dir / "raw.pdf").string()) + " " +
                                            Quote((dir / "one.pdf").string()));
        ASSERT_TRUE(made.exitCode == 0 || made.exitCode == 3) << made.errors;
        fs = hc::GetDefaultFileSystem();
    }
    void TearDown() override { hc::DisconnectHost(); }

    Host host;
    TempDir dir;
    HFileSys fs = nullptr;
};

TEST_F(HostHandlesTest, EachOwnerGivesItsHandleBackAtTheEndOfItsScope) {
    HPage stale = nullptr;
    HView staleView = nullptr;
    {
        hc::PathHandle path(fs, hc::PathFromPlatformPath(fs, (dir / "one.pdf").string()));
        hc::DocumentHandle doc(hc::OpenDocument(path.get(), fs, nullptr, nullptr, false));
        hc::PageHandle page(hc::AcquirePage(doc.get(), 0));
        EXPECT_EQ(hc::GetPageNumber(page.get()), 0);
        hc::ViewHandle view(hc::OpenView(doc.get()));
        stale = page.get();
        staleView = view.get();
    }
    // The page and the view were given back, and with the document its object handles.
    EXPECT_THROW(hc::GetPageNumber(stale), hc::HostError);
    EXPECT_THROW(hc::GetViewDocument(staleView), hc::HostError);
    EXPECT_EQ(host.ObjectHandleCount(), 0u);
}

TEST_F(HostHandlesTest, CloseLetsTheHostsRefusalThroughAndEmptiesTheOwner) {
    hc::PathHandle path(fs, hc::PathFromPlatformPath(fs, (dir / "one.pdf").string()));
    hc::DocumentHandle doc(hc::OpenDocument(path.get(), fs, nullptr, nullptr, false));
    const HPage raw = hc::AcquirePage(doc.get(), 0);
    hc::PageHandle first(raw);
    hc::PageHandle second(raw); // a second owner of the same page: a fault of its user
    first.Close();
    EXPECT_FALSE(first);
    try {
        second.Close();
        ADD_FAILURE() << "a page released twice was not refused";
    } catch (const hc::HostError& e) {
        EXPECT_EQ(std::string(e.what()), "Bad page handle.");
    }
    EXPECT_FALSE(second);
    doc.Close();
    EXPECT_FALSE(doc);
}

TEST_F(HostHandlesTest, ObjectScopeIsOptionalForAHostWithoutScopes) {
    // A host built before object scopes: its PDModel table ends before BeginObjectScope.
    const tesser::test::OlderHostTable<HostModelTable> older(
        host.GetHostCoreTable(), HOST_TABLE_PDMODEL, offsetof(HostModelTable, BeginObjectScope));
    ASSERT_TRUE(hc::ConnectHost(older.core(), 1));
    hc::PathHandle path(fs, hc::PathFromPlatformPath(fs, (dir / "one.pdf").string()));
    hc::DocumentHandle doc(hc::OpenDocument(path.get(), fs, nullptr, nullptr, false));
    try {
        hc::BeginObjectScope(doc.get());
        ADD_FAILURE() << "the host's table has no object scopes";
    } catch (const hc::HostError& e) {
        EXPECT_EQ(e.code(), kHErrNotFound);
        EXPECT_EQ(std::string(e.what()),
                  "The host does not offer the PDModel function BeginObjectScope.");
    }
    EXPECT_FALSE(hc::TryBeginObjectScope(doc.get()));

    ASSERT_TRUE(hc::ConnectHost(host.GetHostCoreTable(), 1));
    const size_t before = host.ObjectHandleCount();
    {
        const hc::ObjectScopeHandle scope = hc::TryBeginObjectScope(doc.get());
        EXPECT_TRUE(scope);
        hc::NewInteger(hc::GetCosDocument(doc.get()), false, 7);
        EXPECT_EQ(host.ObjectHandleCount(), before + 1);
    }
    EXPECT_EQ(host.ObjectHandleCount(), before) << "the scope's handles end with it";
}

} // namespace

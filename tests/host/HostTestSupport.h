// Helpers for the host tests: a running host with its tables, and PDF files made with QPDF.
#pragma once

#include "host/FaultSwitch.h"
#include "host/Host.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tesser::host::test {

using tesser::test::Quote;
inline tesser::test::CommandResult Shell(const std::string& commandLine) {
    return tesser::test::Run(commandLine);
}
using tesser::test::TempDir;

// What a fixture file looks like.
struct PdfSpec {
    int pages = 3;
    bool inheritMediaBox = true;  // MediaBox on the page tree root only
    bool inheritResources = true; // Resources (with a Helvetica font F1) on the root only
    bool contentsArray = true;    // page 1 has a Contents array of two streams
    int rotate = 90;              // /Rotate of page 2 (0 for none)
    bool cropBox = true;          // page 3 has a CropBox inside its MediaBox
    bool sharedResources = false; // every page has /Resources pointing at one shared dict
};

// Writes a fresh PDF made with QPDF (object streams off, uncompressed).
void MakePdf(const std::filesystem::path& path, const PdfSpec& spec = {});
// A MakePdf file with a signature dictionary (its value a placeholder, not a real signature):
// the value of a signed signature field, or with certified, the catalogue's certification
// (/Perms /DocMDP).
void MakeSignedPdf(const std::filesystem::path& path, bool certified = false);
// A plain PDF of n pages with text "Page k" on page k, made as quickly as QPDF can.
void MakeManyPagesPdf(const std::filesystem::path& path, int pages);

// The points where the fault switch makes a save fail, for tests parameterised over them, and
// their names as test names.
inline constexpr const char* kSaveFaultPoints[] = {"SaveDocument.write", "SaveDocument.fsync",
                                                   "SaveDocument.verify", "SaveDocument.rename"};
std::string SaveFaultPointName(const ::testing::TestParamInfo<const char*>& info);

// Runs qpdf with the arguments (already quoted) and answers its result.
tesser::test::CommandResult Qpdf(const std::string& arguments);
bool QpdfCheckPasses(const std::filesystem::path& path, const std::string& password = "");
// QPDF reads the file without repairing it or warning, and finds that many pages in it: what a
// save interrupted at any moment must leave.
::testing::AssertionResult ReadsWholeWithPages(const std::filesystem::path& path, size_t pages);

// A host connected to its own tables; fails the test on a non-zero code with Ok().
class HostTest : public ::testing::Test {
public:
    HostTest();
    ~HostTest() override;

    // Asserts success and reports the host's text otherwise.
    ::testing::AssertionResult Ok(HErrorCode code);
    std::string Text(HErrorCode code) const { return host.ErrorText(code); }

    HAtom Atom(const std::string& text);
    HPath Path(const std::filesystem::path& path);
    // Opens with an authorisation procedure that offers password (none when empty) and needs
    // the permission bits `required`. Answers the code; *doc is set on success.
    HErrorCode Open(const std::filesystem::path& path, HDoc* doc, const std::string& password = "",
                    int32_t required = 0);
    HDoc OpenOk(const std::filesystem::path& path, const std::string& password = "");
    HErrorCode Save(HDoc doc, const std::filesystem::path& path, int32_t flags = 33);
    HObject Catalog(HDoc doc);
    std::string InfoEntry(HDoc doc, const std::string& key);

    Host host;
    RecordingSink sink;
    const HostCoreTable* core = nullptr;
    const HostSupportTable* support = nullptr;
    const HostCosTable* cos = nullptr;
    const HostModelTable* model = nullptr;
    const HostViewTable* view = nullptr;
    const HostWinTable* win = nullptr;
    TempDir dir;
    std::vector<HPath> paths;

    // What the authorisation procedure saw.
    struct AuthState {
        HostTest* test = nullptr;
        std::string password;
        int32_t required = 0;
        int calls = 0;
        int32_t granted = -1;
        std::string handler;
    } auth;
};

} // namespace tesser::host::test

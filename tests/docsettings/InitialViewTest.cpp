// The initial view written into real files' catalogues and read back with qpdf.
#include "docsettings/InitialView.h"
#include "hostcalls/HostCalls.h"
#include "tests/docsettings/DocFixtures.h"

#include <gtest/gtest.h>

namespace tesser::docsettings {
namespace {

using tesser::test::TempDir;
using tesser::test::WriteFile;
using test::BuildPdf;
using test::PdfSpec;

class InitialViewOnFile : public ::testing::Test {
protected:
    std::filesystem::path Write(const PdfSpec& spec) {
        auto path = dir / "doc.pdf";
        WriteFile(path, BuildPdf(spec));
        return path;
    }
    // The catalogue of the file as qpdf shows it (object 1 in the fixtures).
    std::string Apply(const std::filesystem::path& path, const OpenSettings& s) {
        host.Edit(path, "", [&](HDoc doc) { ApplyView(s, doc); });
        return test::ShowObject(path, "1");
    }
    OpenSettings Capture(const std::filesystem::path& path) {
        OpenSettings s;
        HDoc doc = host.Open(path);
        CaptureView(s, doc);
        host.Close(doc);
        return s;
    }

    TempDir dir;
    test::TestHost host;
};

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(InitialViewOnFile, InitialSettingsStillTouchTheDocument) {
    auto path = Write({.pages = 2,
                       .catalogEntries = "/PageMode /UseOutlines /PageLayout /OneColumn "
                                         "/OpenAction << /S /GoTo /D [ 4 0 R /Fit ] >>"});
    const std::string cat = Apply(path, OpenSettings{});
    EXPECT_TRUE(Has(cat, "/ViewerPreferences << >>")) << cat;
    EXPECT_FALSE(Has(cat, "/OpenAction")) << cat;
    EXPECT_TRUE(Has(cat, "/PageMode /UseOutlines")) << cat;
    EXPECT_TRUE(Has(cat, "/PageLayout /OneColumn")) << cat;
}

TEST_F(InitialViewOnFile, InitialSettingsRemoveNonFullScreenModeOutsideFullScreenAndKeepOptions) {
    auto path = Write({.catalogEntries = "/PageMode /UseThumbs /ViewerPreferences << "
                                         "/NonFullScreenPageMode /UseOutlines /FitWindow true "
                                         "/HideToolBar false >> /OpenAction [ 3 0 R /Fit ]"});
    const std::string cat = Apply(path, OpenSettings{});
    EXPECT_TRUE(Has(cat, "/ViewerPreferences << /FitWindow true /HideToolBar false >>")) << cat;
    EXPECT_TRUE(Has(cat, "/OpenAction [ " + test::PageRef(path, 1) + " /Fit ]"))
        << cat << " (not a GoTo action: stays)";
}

TEST_F(InitialViewOnFile, DefaultViewWritesTheEmptyNameAndDefaultLayoutRemovesPageLayout) {
    auto path = Write({.catalogEntries = "/PageMode /UseThumbs /PageLayout /SinglePage"});
    OpenSettings s;
    s.View = 1;
    s.Layout = 1;
    const std::string cat = Apply(path, s);
    EXPECT_TRUE(Has(cat, "/PageMode / ")) << cat;
    EXPECT_FALSE(Has(cat, "/PageLayout")) << cat;
}

TEST_F(InitialViewOnFile, FullScreenKeepsThePresentModeAsNonFullScreenMode) {
    auto path = Write({.catalogEntries = "/PageMode /UseOutlines"});
    OpenSettings s;
    s.FullScreen = 1;
    const std::string cat = Apply(path, s);
    EXPECT_TRUE(Has(cat, "/PageMode /FullScreen")) << cat;
    EXPECT_TRUE(Has(cat, "/ViewerPreferences << /NonFullScreenPageMode /UseOutlines >>")) << cat;
}

TEST_F(InitialViewOnFile, LeavingFullScreenRestoresTheNonFullScreenMode) {
    auto path = Write({.catalogEntries = "/PageMode /FullScreen /ViewerPreferences << "
                                         "/NonFullScreenPageMode /UseThumbs >>"});
    OpenSettings s;
    s.FullScreen = 0;
    const std::string cat = Apply(path, s);
    EXPECT_TRUE(Has(cat, "/PageMode /UseThumbs")) << cat;
    EXPECT_FALSE(Has(cat, "NonFullScreenPageMode")) << cat;
}

TEST_F(InitialViewOnFile, Zoom100WithoutOpenActionGoesToTheFirstPageAtOneToOne) {
    auto path = Write({.pages = 3});
    OpenSettings s;
    s.Zoom = 3;
    const std::string cat = Apply(path, s);
    EXPECT_TRUE(Has(cat, "/OpenAction << /D [ " + test::PageRef(path, 1) +
                             " /XYZ null null 1 ] /S /GoTo >>"))
        << cat;
}

TEST_F(InitialViewOnFile, AFixedMagnificationLeavesLeftAndTopNullOnAnyDestination) {
    auto path = Write(
        {.pages = 2, .catalogEntries = "/OpenAction << /S /GoTo /D [ 4 0 R /XYZ 10 20 2 ] >>"});
    const char* const zooms[] = {"0.5", "0.75", "1", "1.25", "1.5", "2", "4", "8"};
    for (int32_t row = 1; row <= 8; ++row) {
        OpenSettings s;
        s.Zoom = row;
        const std::string cat = Apply(path, s);
        EXPECT_TRUE(
            Has(cat, "/D [ " + test::PageRef(path, 2) + " /XYZ null null " + zooms[row - 1] + " ]"))
            << "zoom row " << row << ": " << cat;
    }
    EXPECT_EQ(Capture(path).Zoom, 8);
}

TEST_F(InitialViewOnFile, APageBeyondThePageCountGoesToPageOne) {
    auto path = Write({.pages = 10});
    for (int32_t zoom = 1; zoom <= 11; zoom += 5) {
        OpenSettings s;
        s.Page = 500;
        s.Zoom = zoom;
        const std::string cat = Apply(path, s);
        EXPECT_TRUE(Has(cat, "/D [ " + test::PageRef(path, 1) + " "))
            << "zoom row " << zoom << ": " << cat;
    }
}

TEST_F(InitialViewOnFile, FitWidthOnAnXYZDestinationKeepsItsPageAndOtherElements) {
    auto path = Write(
        {.pages = 4, .catalogEntries = "/OpenAction << /S /GoTo /D [ 5 0 R /XYZ 10 20 2 ] >>"});
    OpenSettings s;
    s.Zoom = 10;
    const std::string cat = Apply(path, s);
    EXPECT_TRUE(Has(cat, "/D [ " + test::PageRef(path, 3) + " /FitH 10 20 2 ]")) << cat;
}

TEST_F(InitialViewOnFile, CaptureOfAFitDestinationPutsPageAndZoomBack) {
    auto path =
        Write({.pages = 3, .catalogEntries = "/OpenAction << /S /GoTo /D [ 4 0 R /Fit ] >>"});
    OpenSettings undo = Capture(path);
    EXPECT_EQ(undo.Page, 2);
    EXPECT_EQ(undo.Zoom, 9);
    OpenSettings change;
    change.Page = 3;
    change.Zoom = 6;
    Apply(path, change);
    const std::string cat = Apply(path, undo);
    EXPECT_TRUE(Has(cat, "/OpenAction << /D [ " + test::PageRef(path, 2) + " /Fit ] /S /GoTo >>"))
        << cat;
}

TEST_F(InitialViewOnFile, CaptureOfABareCatalogueRecordsEverythingAsAbsent) {
    auto path = Write({});
    const OpenSettings s = Capture(path);
    EXPECT_EQ(s.View, kNotPresent);
    EXPECT_EQ(s.Layout, kNotPresent);
    EXPECT_EQ(s.Page, kNotPresent);
    EXPECT_EQ(s.Zoom, 0);
    for (int32_t option : {s.FitWindow, s.CenterWindow, s.FullScreen, s.HideToolBar, s.HideMenuBar,
                           s.HideWindowUI}) {
        EXPECT_EQ(option, kOptionAbsent);
    }
}

TEST_F(InitialViewOnFile, CaptureReadsModesOptionsAndXYZMagnification) {
    auto path =
        Write({.pages = 2,
               .catalogEntries = "/PageMode /FullScreen /PageLayout /TwoColumnRight "
                                 "/ViewerPreferences << /NonFullScreenPageMode /UseThumbs "
                                 "/CenterWindow true /HideMenuBar false >> "
                                 "/OpenAction << /S /GoTo /D [ 4 0 R /XYZ null null 1.5 ] >>"});
    const OpenSettings s = Capture(path);
    EXPECT_EQ(s.View, 4);
    EXPECT_EQ(s.FullScreen, 1);
    EXPECT_EQ(s.Layout, 4);
    EXPECT_EQ(s.Page, 2);
    EXPECT_EQ(s.Zoom, 5);
    EXPECT_EQ(s.CenterWindow, 1);
    EXPECT_EQ(s.HideMenuBar, 0);
    EXPECT_EQ(s.FitWindow, kOptionAbsent);
}

TEST_F(InitialViewOnFile, ToolbarAndMenubarOptionsAreWrittenUnderThePdfsKeys) {
    auto path = Write({});
    OpenSettings s;
    s.HideToolBar = 1;
    s.HideMenuBar = 0;
    const std::string cat = Apply(path, s);
    EXPECT_TRUE(Has(cat, "/ViewerPreferences << /HideMenubar false /HideToolbar true >>")) << cat;
    const OpenSettings captured = Capture(path);
    EXPECT_EQ(captured.HideToolBar, 1);
    EXPECT_EQ(captured.HideMenuBar, 0);
}

TEST_F(InitialViewOnFile, CaptureAndRemovalRecogniseTheSpellingOfEarlierFiles) {
    auto path = Write({.catalogEntries = "/ViewerPreferences << /HideToolBar true /HideMenuBar "
                                         "false /HideMenubar true /FitWindow true >>"});
    const OpenSettings captured = Capture(path);
    EXPECT_EQ(captured.HideToolBar, 1);
    EXPECT_EQ(captured.HideMenuBar, 1) << "the PDF's own key comes first";

    OpenSettings s;
    s.HideToolBar = s.HideMenuBar = kOptionAbsent;
    const std::string cat = Apply(path, s);
    EXPECT_TRUE(Has(cat, "/ViewerPreferences << /FitWindow true >>")) << cat;
}

// Apply the settings, save, reopen, apply the capture, save: the catalogue is the original's.
void ExpectUndoGivesBackTheCatalogue(test::TestHost& host, const std::filesystem::path& path,
                                     const OpenSettings& settings) {
    const std::string before = test::CatalogJson(path);
    const std::string structureBefore = test::StructureText(path);
    OpenSettings undo = settings;
    host.Edit(path, "", [&](HDoc doc) {
        CaptureView(undo, doc);
        ApplyView(settings, doc);
    });
    ASSERT_NE(test::CatalogJson(path), before) << "the run changed nothing";
    host.Edit(path, "", [&](HDoc doc) { ApplyView(undo, doc); });
    EXPECT_EQ(test::CatalogJson(path), before);
    EXPECT_EQ(test::StructureText(path), structureBefore);
}

OpenSettings EverythingChanged() {
    OpenSettings s;
    s.Page = 2;
    s.View = 2;
    s.Zoom = 7;
    s.Layout = 3;
    s.FitWindow = s.CenterWindow = s.HideToolBar = s.HideMenuBar = s.HideWindowUI = 1;
    s.FullScreen = 1;
    return s;
}

TEST_F(InitialViewOnFile, UndoOnABareCatalogueRemovesEverythingTheRunAdded) {
    auto path = Write({.pages = 2});
    ExpectUndoGivesBackTheCatalogue(host, path, EverythingChanged());
    ExpectUndoGivesBackTheCatalogue(host, path, OpenSettings{});
}

TEST_F(InitialViewOnFile, UndoKeepsTheSpellingOfEarlierFiles) {
    auto path = Write({.pages = 2,
                       .catalogEntries = "/ViewerPreferences << /HideToolBar false "
                                         "/HideMenuBar true >>"});
    ExpectUndoGivesBackTheCatalogue(host, path, EverythingChanged());
}

TEST_F(InitialViewOnFile, UndoGivesBackModesTheRowsCannotExpress) {
    auto path = Write({.pages = 2,
                       .catalogEntries = "/PageMode /UseAttachments /PageLayout /TwoPageLeft "
                                         "/ViewerPreferences << /NonFullScreenPageMode /UseOC "
                                         "/FitWindow false /Direction /R2L >>"});
    ExpectUndoGivesBackTheCatalogue(host, path, EverythingChanged());
    OpenSettings s;
    s.View = 1;
    s.Layout = 1;
    s.FullScreen = 0;
    ExpectUndoGivesBackTheCatalogue(host, path, s);
}

TEST_F(InitialViewOnFile, UndoGivesBackAnOpenActionWithKeysTheCopyDoesNotKnow) {
    PdfSpec spec{.pages = 3};
    spec.extraObjects = {"<< /S /GoTo /D [ 5 0 R /XYZ 0 792 0 ] /Custom (kept) /AA << >> >>"};
    spec.catalogEntries = "/OpenAction " + std::to_string(test::FirstExtraObject(spec)) + " 0 R";
    auto path = Write(spec);
    OpenSettings s;
    s.Zoom = 9;
    s.Page = 1;
    ExpectUndoGivesBackTheCatalogue(host, path, s);
}

TEST_F(InitialViewOnFile, UndoGivesBackARemovedGoToActionAndANamedDestination) {
    auto path = Write({.pages = 3,
                       .catalogEntries = "/OpenAction << /Type /Action /S /GoTo /D [ 5 0 R /FitR "
                                         "1 2 3.25 4 ] /Next << /S /URI /URI (http://x/) >> >>"});
    ExpectUndoGivesBackTheCatalogue(host, path, OpenSettings{});
    auto named = Write({.pages = 3, .catalogEntries = "/OpenAction (chapter1)"});
    OpenSettings s;
    s.Zoom = 3;
    ExpectUndoGivesBackTheCatalogue(host, named, s);
}

TEST_F(InitialViewOnFile, AHostFailureEndsTheOperationAndKeepsWhatWasWritten) {
    auto path = Write({.pages = 2, .catalogEntries = "/PageMode /UseThumbs"});
    OpenSettings s;
    s.View = 3;
    s.Layout = 2;
    s.FitWindow = 1;
    HDoc doc = host.Open(path);
    // The first DictPut adds ViewerPreferences, the second writes PageMode, the third PageLayout.
    host::FaultSwitch::Arm("DictPut", 3);
    EXPECT_THROW(ApplyView(s, doc), hostcalls::HostError);
    host::FaultSwitch::DisarmAll();
    host.Save(doc, path);
    host.Close(doc);
    const std::string cat = test::ShowObject(path, "1");
    EXPECT_TRUE(Has(cat, "/PageMode /UseOutlines")) << cat;
    EXPECT_FALSE(Has(cat, "/PageLayout")) << cat;
    EXPECT_FALSE(Has(cat, "/FitWindow")) << cat;
}

} // namespace
} // namespace tesser::docsettings

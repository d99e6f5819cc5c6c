// The run engine against the real host on generated files, with a recording user interface.
#include "PdfFixtures.h"
#include "host/Host.h"
#include "plugin/HostCalls.h"
#include "tests/support/TestSupport.h"
#include "ui/RunEngine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tesser::ui {
namespace {

namespace fs = std::filesystem;
using test::PdfText;
using test::ReadFile;

class RecordingUi : public RunUi {
public:
    void OpenProgress() override { ++opened; }
    void ShowProgress(const std::string& file, const std::string& count) override {
        shown.push_back(file + " | " + count);
        if (abortAfterAnnouncements > 0 && static_cast<int>(shown.size()) >= abortAfterAnnouncements) {
            goOn = false;
        }
    }
    bool ProgressGoOn() override { return goOn; }
    void CloseProgress() override { ++closed; }
    bool AskYesNo(const std::string& text, const std::string& title) override {
        questions.push_back(title + ": " + text);
        return answerYes;
    }
    bool ConfirmPasswords(const std::string& open, const std::string& owner) override {
        confirmed.push_back(open + "/" + owner);
        return confirmAnswer;
    }

    std::vector<std::string> shown, questions, confirmed;
    int opened = 0, closed = 0, abortAfterAnnouncements = 0;
    bool goOn = true, answerYes = true, confirmAnswer = true;
};

// Answers the crop-box warning with Cancel and tells the engine, as a front end does.
class CancellingSink : public host::RecordingSink {
public:
    int32_t ConfirmAlert(const std::string& message) override {
        host::RecordingSink::ConfirmAlert(message);
        if (engine != nullptr) {
            engine->CancelRun();
        }
        return 0;
    }
    RunEngine* engine = nullptr;
};

class RunEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_.SetMessageSink(&sink_);
        ASSERT_TRUE(plugin::ConnectHost(host_.GetHostCoreTable(), 1));
        sink_.engine = &engine_;
        model::Tesserion foot;
        foot.Name = "Foot";
        foot.Text = "Page <PageNumber> of <PageCount>";
        foot.PosX = 72;
        foot.PosY = 36;
        foot.JustifyV = model::JustifyV::Bottom;
        engine_.Tesserions().Insert(foot);
        model::Tesserion outside = foot;
        outside.Name = "Outside";
        outside.Text = "far out";
        outside.PosX = -400;
        engine_.Tesserions().Insert(outside);
        engine_.Apply().MultipleDocuments = true;
        engine_.Apply().SelectionMode = kSelectNamed;
        engine_.Apply().NamesToApply = {"Foot"};
    }
    void TearDown() override {
        host::FaultSwitch::DisarmAll();
        plugin::DisconnectHost();
    }

    std::string Pdf(const std::string& name, int pages = 3) {
        const fs::path path = dir_ / name;
        fs::create_directories(path.parent_path());
        test::PdfSpec spec;
        spec.pages = pages;
        test::WritePdf(path, spec);
        return path.string();
    }

    HDoc OpenCurrent(const std::string& path) {
        HFileSys fs = plugin::GetDefaultFileSystem();
        plugin::PathHandle hostPath(fs, plugin::PathFromPlatformPath(fs, path));
        HDoc doc = plugin::OpenDocument(hostPath.get(), fs, nullptr, nullptr, false);
        host_.SetActiveDocument(doc);
        engine_.SetActiveView(host_.GetActiveView());
        engine_.Apply().MultipleDocuments = false;
        return doc;
    }

    test::TempDir dir_;
    host::Host host_;
    CancellingSink sink_;
    RecordingUi ui_;
    RunEngine engine_{ui_};
};

TEST_F(RunEngineTest, ProgressCountsFromZeroAndAnAbortShowsTheCountSoFar) {
    const std::string a = Pdf("a.pdf"), b = Pdf("b.pdf"), c = Pdf("c.pdf");
    const std::string cBefore = ReadFile(c);
    engine_.Apply().DocumentEntries = {a, b, c};
    ui_.abortAfterAnnouncements = 2;
    engine_.RunApply();
    ASSERT_EQ(ui_.shown.size(), 3u);
    EXPECT_EQ(ui_.shown[0], "Current file: " + a + " | Files processed: 0");
    EXPECT_EQ(ui_.shown[1], "Current file: " + b + " | Files processed: 1");
    EXPECT_EQ(ui_.shown[2], "Current file: Process aborted by user. | Files processed: 2");
    EXPECT_EQ(ui_.opened, 1);
    EXPECT_EQ(ui_.closed, 1);
    EXPECT_EQ(ReadFile(c), cBefore);
    EXPECT_TRUE(engine_.LastRun().Aborted);
    ASSERT_EQ(engine_.Apply().UndoHistory.size(), 1u);
    EXPECT_EQ(engine_.Apply().UndoHistory[0].Entries.size(), 2u);
}

TEST_F(RunEngineTest, DecliningConfirmPasswordsTouchesNothingAndRecordsNothing) {
    const std::string a = Pdf("a.pdf");
    const std::string before = ReadFile(a);
    engine_.Apply().DocumentEntries = {a};
    engine_.Security().ChangeSecurity = true;
    engine_.Security().OwnerPassword = "own";
    ui_.confirmAnswer = false;
    engine_.RunApply();
    EXPECT_EQ(ui_.confirmed, (std::vector<std::string>{"/own"}));
    EXPECT_TRUE(engine_.Apply().UndoHistory.empty());
    EXPECT_TRUE(ui_.shown.empty());
    EXPECT_EQ(ReadFile(a), before);
}

TEST_F(RunEngineTest, NoToTheErrorBoxStopsTheRunAndKeepsTheEntriesSoFar) {
    const std::string a = Pdf("a.pdf");
    const std::string bad = (dir_ / "bad.pdf").string();
    test::WriteFile(bad, "not a pdf");
    const std::string c = Pdf("c.pdf");
    const std::string cBefore = ReadFile(c);
    engine_.Apply().DocumentEntries = {a, bad, c};
    ui_.answerYes = false;
    engine_.RunApply();
    ASSERT_EQ(ui_.questions.size(), 1u);
    EXPECT_EQ(ui_.questions[0].rfind("Tesser Pro: Error processing document: " + bad + "\n", 0),
              0u)
        << ui_.questions[0];
    EXPECT_EQ(ReadFile(c), cBefore);
    ASSERT_EQ(engine_.Apply().UndoHistory.size(), 1u);
    ASSERT_EQ(engine_.Apply().UndoHistory[0].Entries.size(), 1u);
    EXPECT_EQ(engine_.Apply().UndoHistory[0].Entries[0].Name, a);
}

TEST_F(RunEngineTest, AFailedSaveLeavesTheFileAndNoUndoEntry) {
    const std::string a = Pdf("a.pdf");
    const std::string before = ReadFile(a);
    engine_.Apply().DocumentEntries = {a};
    host::FaultSwitch::Arm("SaveDocument.rename", 1);
    engine_.RunApply();
    EXPECT_EQ(ReadFile(a), before);
    EXPECT_EQ(ui_.questions.size(), 1u);
    ASSERT_EQ(engine_.Apply().UndoHistory.size(), 1u);
    EXPECT_TRUE(engine_.Apply().UndoHistory[0].Entries.empty());
}

TEST_F(RunEngineTest, InfoAloneIsWrittenAndRecordedWithoutStamps) {
    const std::string a = Pdf("a.pdf");
    engine_.Apply().SelectionMode = kSelectNone;
    engine_.Info().SetTitle = true;
    engine_.Info().Title = "Only the title";
    engine_.Apply().DocumentEntries = {a};
    engine_.RunApply();
    EXPECT_NE(test::Run("pdfinfo " + test::Quote(a)).output.find("Only the title"),
              std::string::npos);
    EXPECT_EQ(PdfText(a).find("Page 1 of"), std::string::npos);
    ASSERT_EQ(engine_.Apply().UndoHistory.size(), 1u);
    EXPECT_TRUE(engine_.Apply().UndoHistory[0].Tesserions.empty());
    EXPECT_EQ(engine_.Apply().UndoHistory[0].Entries[0].Info.Title, "Old title");
}

TEST_F(RunEngineTest, FolderEntriesTakePdfFilesInAnyCaseAndSubfoldersOnlyWithRecurse) {
    const std::string a = Pdf("docs/a.pdf");
    const std::string b = Pdf("docs/b.PDF");
    const std::string nested = Pdf("docs/sub/c.pdf");
    test::WriteFile(dir_ / "docs/readme.txt", "x");
    const std::string folder = (dir_ / "docs").string() + "/";
    engine_.Apply().DocumentEntries = {folder};
    engine_.RunApply();
    ASSERT_EQ(ui_.shown.size(), 2u);
    EXPECT_EQ(ui_.shown[0], "Current file: " + folder + "a.pdf | Files processed: 0");
    EXPECT_EQ(ui_.shown[1], "Current file: " + folder + "b.PDF | Files processed: 1");

    ui_.shown.clear();
    engine_.Apply().Recurse = true;
    engine_.RunApply();
    ASSERT_EQ(ui_.shown.size(), 3u);
    EXPECT_EQ(ui_.shown[0], "Current file: " + folder + "sub/c.pdf | Files processed: 0");
}

TEST_F(RunEngineTest, AMissingFolderIsReportedNotPassedOver) {
    engine_.Apply().DocumentEntries = {(dir_ / "nowhere").string() + "/"};
    engine_.RunApply();
    ASSERT_EQ(ui_.questions.size(), 1u);
    EXPECT_NE(ui_.questions[0].find("The folder cannot be read"), std::string::npos);
    EXPECT_EQ(engine_.LastRun().Failed, 1);
}

TEST_F(RunEngineTest, AFailureOnTheCurrentDocumentEmptiesTheUndoHistory) {
    const std::string a = Pdf("a.pdf");
    engine_.Apply().UndoHistory.emplace_back();
    OpenCurrent(a);
    engine_.Info().SetTitle = true;
    host::FaultSwitch::Arm("SetDocInfo", 1);
    engine_.RunApply();
    ASSERT_EQ(ui_.questions.size(), 1u);
    EXPECT_EQ(ui_.questions[0].rfind("Tesser Pro: Error processing document: [Current]\n", 0), 0u);
    EXPECT_TRUE(engine_.Apply().UndoHistory.empty());
}

TEST_F(RunEngineTest, ApplyAndUndoOnTheCurrentDocumentChangeItInTheHostOnly) {
    const std::string a = Pdf("a.pdf");
    const std::string before = ReadFile(a);
    HDoc doc = OpenCurrent(a);
    engine_.RunApply();
    ASSERT_EQ(engine_.Apply().UndoHistory.size(), 1u);
    EXPECT_EQ(engine_.Apply().UndoHistory[0].Entries[0].Name, "[Current]");
    EXPECT_NE(plugin::GetDocumentFlags(doc) & kHDocNeedsSave, 0) << "left unsaved, marked changed";
    EXPECT_EQ(ReadFile(a), before);
    // Printing with no Tesserion shows the document as the host holds it.
    engine_.Apply().SelectionMode = kSelectNone;
    const fs::path stamped = dir_ / "stamped.pdf";
    host_.SetPrintToFile(stamped.string());
    engine_.PrintDocuments();
    EXPECT_NE(PdfText(stamped).find("Page 3 of 3"), std::string::npos);

    engine_.RunUndo();
    EXPECT_TRUE(engine_.Apply().UndoHistory.empty());
    const fs::path undone = dir_ / "undone.pdf";
    host_.SetPrintToFile(undone.string());
    engine_.PrintDocuments();
    EXPECT_EQ(PdfText(undone).find("Page 3 of 3"), std::string::npos);
    EXPECT_NE(PdfText(undone).find("Page 3"), std::string::npos);
}

TEST_F(RunEngineTest, PrintingTheCurrentDocumentTakesTheStampsOffAndKeepsItUnchanged) {
    const std::string a = Pdf("a.pdf");
    HDoc doc = OpenCurrent(a);
    ASSERT_EQ(plugin::GetDocumentFlags(doc) & kHDocNeedsSave, 0);
    const fs::path printed = dir_ / "printed.pdf";
    host_.SetPrintToFile(printed.string());
    engine_.PrintDocuments();
    EXPECT_NE(PdfText(printed).find("Page 2 of 3"), std::string::npos);
    EXPECT_EQ(plugin::GetDocumentFlags(doc) & kHDocNeedsSave, 0);
    EXPECT_TRUE(engine_.Apply().UndoHistory.empty());
    // A second print of the same document shows one stamp per page, not two.
    const fs::path again = dir_ / "again.pdf";
    host_.SetPrintToFile(again.string());
    engine_.PrintDocuments();
    const std::string text = PdfText(again);
    EXPECT_EQ(text.find("Page 1 of 3"), text.rfind("Page 1 of 3"));
}

TEST_F(RunEngineTest, CancelAtTheCropBoxWarningStopsTheRunAndSavesNothing) {
    const std::string a = Pdf("a.pdf"), b = Pdf("b.pdf");
    const std::string aBefore = ReadFile(a), bBefore = ReadFile(b);
    engine_.Apply().NamesToApply = {"Foot", "Outside"};
    engine_.Apply().DocumentEntries = {a, b};
    engine_.RunApply();
    EXPECT_TRUE(engine_.LastRun().Cancelled);
    EXPECT_EQ(ReadFile(a), aBefore);
    EXPECT_EQ(ReadFile(b), bBefore);
    EXPECT_EQ(ui_.shown.size(), 1u);
    ASSERT_EQ(engine_.Apply().UndoHistory.size(), 1u);
    EXPECT_TRUE(engine_.Apply().UndoHistory[0].Entries.empty());
}

TEST_F(RunEngineTest, CancelOnTheCurrentDocumentTakesThisRunsStampsOffAgain) {
    const std::string a = Pdf("a.pdf");
    HDoc doc = OpenCurrent(a);
    engine_.Apply().NamesToApply = {"Foot", "Outside"};
    engine_.RunApply();
    EXPECT_TRUE(engine_.LastRun().Cancelled);
    ASSERT_EQ(engine_.Apply().UndoHistory.size(), 1u);
    EXPECT_TRUE(engine_.Apply().UndoHistory[0].Entries.empty());
    const fs::path printed = dir_ / "printed.pdf";
    host_.SetPrintToFile(printed.string());
    engine_.Apply().NamesToApply = {"Foot"};
    engine_.PrintDocuments();
    const std::string text = PdfText(printed);
    EXPECT_EQ(text.find("far out"), std::string::npos) << text;
    EXPECT_EQ(text.find("Page 1 of 3"), text.rfind("Page 1 of 3")) << text;
    (void)doc;
}

TEST_F(RunEngineTest, SaveFlagsFollowOptimise) {
    const std::string a = Pdf("a.pdf");
    engine_.Apply().DocumentEntries = {a};
    engine_.RunApply();
    EXPECT_NE(test::Run("qpdf --check-linearization " + test::Quote(a)).output.find("no linearization errors"),
              std::string::npos);
    engine_.Apply().Optimise = false;
    engine_.RunApply();
    EXPECT_NE(test::Run("qpdf --check-linearization " + test::Quote(a)).output.find("not linearized"),
              std::string::npos);
}

} // namespace
} // namespace tesser::ui

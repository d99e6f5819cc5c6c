// The run engine against the real host on generated files, with a recording user interface.
#include "PdfFixtures.h"
#include "host/FaultSwitch.h"
#include "host/Host.h"
#include "hostcalls/HostCalls.h"
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
        if (abortAfterAnnouncements > 0 &&
            static_cast<int>(shown.size()) >= abortAfterAnnouncements) {
            goOn = false;
        }
    }
    bool ProgressGoOn() override { return goOn; }
    void Progress(const ProgressEvent& event) override { events.push_back(event); }
    std::vector<ProgressEvent> events;
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

// Answers the crop-box warning with Cancel and does nothing else: the engine must act on the
// answer by itself, whatever the front end.
class CancellingSink : public host::RecordingSink {
public:
    int32_t ConfirmAlert(const std::string& message) override {
        host::RecordingSink::ConfirmAlert(message);
        return 0;
    }
};

class RunEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_.SetMessageSink(&sink_);
        ASSERT_TRUE(hostcalls::ConnectHost(host_.GetHostCoreTable(), 1));
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
        hostcalls::DisconnectHost();
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
        HFileSys fs = hostcalls::GetDefaultFileSystem();
        hostcalls::PathHandle hostPath(fs, hostcalls::PathFromPlatformPath(fs, path));
        HDoc doc = hostcalls::OpenDocument(hostPath.get(), fs, nullptr, nullptr, false);
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
    EXPECT_EQ(ui_.questions[0].rfind("Tesser Pro: Error processing document: " + bad + "\n", 0), 0u)
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
    // A run that changed no file leaves nothing to undo.
    EXPECT_TRUE(engine_.Apply().UndoHistory.empty());
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
    EXPECT_NE(hostcalls::GetDocumentFlags(doc) & kHDocNeedsSave, 0)
        << "left unsaved, marked changed";
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
    ASSERT_EQ(hostcalls::GetDocumentFlags(doc) & kHDocNeedsSave, 0);
    const fs::path printed = dir_ / "printed.pdf";
    host_.SetPrintToFile(printed.string());
    engine_.PrintDocuments();
    EXPECT_NE(PdfText(printed).find("Page 2 of 3"), std::string::npos);
    EXPECT_EQ(hostcalls::GetDocumentFlags(doc) & kHDocNeedsSave, 0);
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
    EXPECT_TRUE(engine_.Apply().UndoHistory.empty());
}

TEST_F(RunEngineTest, CancelOnTheCurrentDocumentTakesThisRunsStampsOffAgain) {
    const std::string a = Pdf("a.pdf");
    HDoc doc = OpenCurrent(a);
    engine_.Apply().NamesToApply = {"Foot", "Outside"};
    engine_.RunApply();
    EXPECT_TRUE(engine_.LastRun().Cancelled);
    EXPECT_TRUE(engine_.Apply().UndoHistory.empty()) << "no undo record for nothing";
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
    EXPECT_NE(test::Run("qpdf --check-linearization " + test::Quote(a))
                  .output.find("no linearization errors"),
              std::string::npos);
    engine_.Apply().Optimise = false;
    engine_.RunApply();
    EXPECT_NE(
        test::Run("qpdf --check-linearization " + test::Quote(a)).output.find("not linearized"),
        std::string::npos);
}

// ---------------------------------------------------------------------------------------------
// Runs that say what happened and keep the way back

// path encrypted in place by qpdf with the given extra arguments (key length, options).
void Encrypt(const std::string& path, const std::string& arguments) {
    const std::string plain = path + ".plain";
    fs::rename(path, plain);
    const auto r = test::Run("qpdf --allow-weak-crypto --encrypt " + arguments + " -- " +
                             test::Quote(plain) + " " + test::Quote(path));
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    fs::remove(plain);
}

TEST_F(RunEngineTest, EncryptedFilesAreStampedWithTheirUserOrTheirOwnerPassword) {
    struct Case {
        const char* encryption;
        const char* password;
    };
    const Case cases[] = {
        {"user owner 40", "user"},
        {"user owner 128 --use-aes=n", "owner"},
        {"user owner 128 --use-aes=y", "user"},
        {"user owner 256", "user"},
        {"user owner 256", "owner"},
        {"'' owner 256", ""},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.encryption) + " opened with '" + c.password + "'");
        const std::string a = Pdf("enc" + std::to_string(n++) + ".pdf");
        Encrypt(a, c.encryption);
        ui_.questions.clear();
        engine_.Security().CurrentPassword = c.password;
        engine_.Info().SetTitle = true;
        engine_.Info().Title = "Stamped";
        engine_.Apply().DocumentEntries = {a};
        engine_.RunApply();
        EXPECT_TRUE(ui_.questions.empty()) << ui_.questions.front();
        EXPECT_EQ(engine_.LastRun().Processed, 1);
        EXPECT_EQ(engine_.LastRun().Failed, 0);
        const std::string userPassword = c.encryption[0] == '\'' ? "" : "user";
        EXPECT_NE(PdfText(a, userPassword).find("Page 2 of 3"), std::string::npos);
        EXPECT_NE(test::Run("qpdf --show-encryption --password=owner " + test::Quote(a))
                      .output.find("R = "),
                  std::string::npos)
            << "still encrypted";
        EXPECT_TRUE(test::QpdfCheckPasses(a, "owner"));
    }
}

TEST_F(RunEngineTest, DocumentsThatForbidChangesFailAndAreLeftAsTheyWere) {
    // A listed file: its user password does not open it for changes.
    const std::string a = Pdf("a.pdf"), b = Pdf("b.pdf");
    Encrypt(a, "user owner 256 --modify=none");
    const std::string before = ReadFile(a);
    engine_.Security().CurrentPassword = "user";
    engine_.Info().SetTitle = true;
    engine_.Info().Title = "Must not be written";
    engine_.Apply().DocumentEntries = {a, b};
    engine_.RunApply();
    EXPECT_EQ(ReadFile(a), before) << "neither changed nor saved";
    EXPECT_EQ(engine_.LastRun().Failed, 1);
    EXPECT_EQ(engine_.LastRun().Processed, 1);
    ASSERT_EQ(ui_.questions.size(), 1u);
    EXPECT_EQ(ui_.questions[0].rfind("Tesser Pro: Error processing document: " + a + "\n", 0), 0u);
    ASSERT_EQ(engine_.Apply().UndoHistory.size(), 1u);
    ASSERT_EQ(engine_.Apply().UndoHistory[0].Entries.size(), 1u) << "no entry for the refused file";
    EXPECT_EQ(engine_.Apply().UndoHistory[0].Entries[0].Name, b);

    // The current document, open without a password that allows changes.
    const std::string c = Pdf("c.pdf");
    Encrypt(c, "'' owner 256 --modify=none");
    HDoc doc = OpenCurrent(c);
    engine_.Apply().UndoHistory.clear();
    ui_.questions.clear();
    engine_.RunApply();
    EXPECT_EQ(engine_.LastRun().Failed, 1);
    EXPECT_EQ(engine_.LastRun().Processed, 0);
    ASSERT_EQ(ui_.questions.size(), 1u);
    EXPECT_EQ(ui_.questions[0], "Tesser Pro: Error processing document: [Current]\nThe document "
                                "was not changed: its security settings do not allow changes.");
    EXPECT_TRUE(engine_.Apply().UndoHistory.empty());
    EXPECT_EQ(hostcalls::GetDocumentFlags(doc) & kHDocNeedsSave, 0);
}

TEST_F(RunEngineTest, PagesWithAType3FontAreStamped) {
    // A page whose font resources hold a Type 3 font (no BaseFont) beside a Type 1 font.
    const std::string raw =
        "%PDF-1.4\n"
        "1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
        "2 0 obj << /Type /Pages /Kids [3 0 R] /Count 1 >> endobj\n"
        "3 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R\n"
        "  /Resources << /Font << /T3 5 0 R /F1 7 0 R >> >> >> endobj\n"
        "4 0 obj << /Length 44 >> stream\n"
        "BT /T3 12 Tf 72 700 Td (a) Tj /F1 12 Tf (b) Tj ET\n"
        "endstream endobj\n"
        "5 0 obj << /Type /Font /Subtype /Type3 /FontBBox [0 0 750 750]\n"
        "  /FontMatrix [0.001 0 0 0.001 0 0] /CharProcs << /square 6 0 R >>\n"
        "  /Encoding << /Type /Encoding /Differences [97 /square] >>\n"
        "  /FirstChar 97 /LastChar 97 /Widths [1000] >> endobj\n"
        "6 0 obj << /Length 31 >> stream\n"
        "1000 0 0 0 750 750 d1 0 0 750 750 re f\n"
        "endstream endobj\n"
        "7 0 obj << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> endobj\n"
        "trailer << /Root 1 0 R /Size 8 >>\n"
        "%%EOF\n";
    const fs::path broken = dir_ / "raw.pdf";
    test::WriteFile(broken, raw);
    const std::string a = (dir_ / "type3.pdf").string();
    // qpdf writes the cross-reference table the hand-written file lacks.
    const auto r = test::Run("qpdf " + test::Quote(broken.string()) + " " + test::Quote(a));
    ASSERT_TRUE(r.exitCode == 0 || r.exitCode == 3) << r.errors;
    engine_.Apply().DocumentEntries = {a};
    engine_.RunApply();
    EXPECT_TRUE(sink_.messages.empty()) << sink_.messages.front().text;
    EXPECT_TRUE(ui_.questions.empty()) << ui_.questions.front();
    EXPECT_EQ(engine_.LastRun().Processed, 1);
    EXPECT_NE(PdfText(a).find("Page 1 of 1"), std::string::npos);
    EXPECT_TRUE(test::QpdfCheckPasses(a));
}

TEST_F(RunEngineTest, SkippedPagesFailTheDocumentAndItsUndoTakesOffOnlyWhatWasPutOn) {
    const std::string a = Pdf("a.pdf"), b = Pdf("b.pdf");
    const fs::path original = dir_ / "original.pdf";
    fs::copy_file(a, original);
    engine_.Apply().DocumentEntries = {a, b};
    host::FaultSwitch::Arm("NewDict", 1); // page 1 of a gets no font resource
    engine_.RunApply();
    EXPECT_EQ(engine_.LastRun().Processed, 1);
    EXPECT_EQ(engine_.LastRun().Failed, 1);
    ASSERT_EQ(ui_.questions.size(), 1u);
    EXPECT_EQ(ui_.questions[0], "Tesser Pro: Error processing document: " + a +
                                    "\nPages not stamped with \"Foot\": 1.");
    const std::string text = PdfText(a);
    EXPECT_EQ(text.find("Page 1 of 3"), std::string::npos);
    EXPECT_NE(text.find("Page 3 of 3"), std::string::npos) << "what was stamped is kept";
    ASSERT_EQ(engine_.Apply().UndoHistory.size(), 1u);
    ASSERT_EQ(engine_.Apply().UndoHistory[0].Entries.size(), 2u);
    EXPECT_EQ(engine_.Apply().UndoHistory[0].Entries[0].SkippedPages,
              (std::vector<std::vector<std::int32_t>>{{1}}));

    sink_.messages.clear();
    engine_.RunUndo();
    EXPECT_TRUE(sink_.messages.empty()) << sink_.messages.front().text;
    EXPECT_EQ(engine_.LastRun().Processed, 2);
    EXPECT_EQ(PdfText(a).find("of 3"), std::string::npos);
    EXPECT_EQ(test::ViewDocument(a).pageContents, test::ViewDocument(original).pageContents);
}

TEST_F(RunEngineTest, UndoRefusesAReplacedFileAndKeepsWhatItCouldNotRestore) {
    const std::string a = Pdf("a.pdf"), b = Pdf("b.pdf"), c = Pdf("c.pdf");
    engine_.Apply().DocumentEntries = {a};
    engine_.RunApply();
    engine_.Apply().DocumentEntries = {b, c};
    engine_.RunApply();
    ASSERT_EQ(engine_.Apply().UndoHistory.size(), 2u);
    // Another document now stands under c's name.
    test::PdfSpec other;
    other.label = "Other";
    test::WritePdf(c, other);
    const std::string replaced = ReadFile(c);
    engine_.RunUndo();
    EXPECT_EQ(ReadFile(c), replaced);
    EXPECT_EQ(PdfText(b).find("of 3"), std::string::npos) << "b is restored";
    EXPECT_EQ(engine_.LastRun().Processed, 1);
    EXPECT_EQ(engine_.LastRun().Failed, 1);
    ASSERT_EQ(ui_.questions.size(), 1u);
    EXPECT_NE(ui_.questions[0].find(c + "\nThe file is not the one the run wrote"),
              std::string::npos)
        << ui_.questions[0];
    // The older run is untouched and the newer one keeps c for later.
    ASSERT_EQ(engine_.Apply().UndoHistory.size(), 2u);
    ASSERT_EQ(engine_.Apply().UndoHistory[1].Entries.size(), 1u);
    EXPECT_EQ(engine_.Apply().UndoHistory[1].Entries[0].Name, c);
    EXPECT_EQ(engine_.Apply().UndoHistory[0].Entries[0].Name, a);

    // A No stops the undo; nothing is thrown away.
    ui_.answerYes = false;
    ui_.questions.clear();
    engine_.RunUndo();
    EXPECT_EQ(engine_.Apply().UndoHistory.size(), 2u);
    EXPECT_EQ(engine_.Apply().UndoHistory[1].Entries.size(), 1u);
}

// A Tesserion that selects no page of a document is named in the document's outcome and in the
// run's counts, while the others stamp it as usual.
TEST_F(RunEngineTest, ATesserionThatSelectsNoPageIsNamedBesidesThoseThatStamp) {
    model::Tesserion nowhere = *engine_.Tesserions().Find("Foot");
    nowhere.Name = "Nowhere";
    nowhere.Pages.PagesAll = false;
    nowhere.Pages.PagesRange = "9-";
    engine_.Tesserions().Insert(nowhere);
    const std::string a = Pdf("a.pdf");
    engine_.Apply().NamesToApply = {"Foot", "Nowhere"};
    engine_.Apply().DocumentEntries = {a};
    engine_.RunApply();
    EXPECT_EQ(engine_.LastRun().Processed, 1);
    EXPECT_EQ(engine_.LastRun().NotTouched, 0);
    EXPECT_EQ(engine_.LastRun().SelectedNothing, std::vector<std::string>{"Nowhere"});
    ASSERT_FALSE(ui_.events.empty());
    EXPECT_EQ(ui_.events.back().What, ProgressEvent::Kind::Processed);
    EXPECT_EQ(ui_.events.back().Reason, "\"Nowhere\" selected no page of this document");
    EXPECT_NE(PdfText(a).find("Page 2 of 3"), std::string::npos);
    ASSERT_EQ(engine_.Apply().UndoHistory.size(), 1u);

    // Alone it leaves the document untouched and unrecorded.
    engine_.Apply().NamesToApply = {"Nowhere"};
    const std::string stamped = ReadFile(a);
    engine_.RunApply();
    EXPECT_EQ(engine_.LastRun().Processed, 0);
    EXPECT_EQ(engine_.LastRun().NotTouched, 1);
    EXPECT_EQ(ui_.events.back().What, ProgressEvent::Kind::NotTouched);
    EXPECT_EQ(ReadFile(a), stamped);
    EXPECT_EQ(engine_.Apply().UndoHistory.size(), 1u);
}

// An undo that cannot find a stamp the record says it put on does not call the file restored:
// the file is left byte for byte and keeps its place in the history.
TEST_F(RunEngineTest, AnUndoThatDoesNotFindItsStampsFailsAndKeepsTheRecord) {
    const std::string a = Pdf("a.pdf");
    model::Tesserion foot = *engine_.Tesserions().Find("Foot");
    foot.Pages.PagesAll = false;
    foot.Pages.PagesRange = "1";
    engine_.Tesserions().InsertOrReplace(foot);
    engine_.Apply().DocumentEntries = {a};
    engine_.RunApply();
    ASSERT_EQ(engine_.Apply().UndoHistory.size(), 1u);
    // The record now claims pages 2 and 3, which carry no stamp.
    engine_.Apply().UndoHistory[0].Tesserions[0].Pages.PagesAll = true;
    const std::string stamped = ReadFile(a);
    engine_.RunUndo();
    EXPECT_EQ(ReadFile(a), stamped);
    EXPECT_EQ(engine_.LastRun().Processed, 0);
    EXPECT_EQ(engine_.LastRun().Failed, 1);
    ASSERT_EQ(ui_.questions.size(), 1u);
    EXPECT_NE(ui_.questions[0].find("The stamp \"Foot\" was not found on 2 pages; the file was "
                                    "left as it is and stays in the undo history."),
              std::string::npos)
        << ui_.questions[0];
    ASSERT_EQ(engine_.Apply().UndoHistory.size(), 1u);
    EXPECT_EQ(engine_.Apply().UndoHistory[0].Entries.size(), 1u);
}

TEST_F(RunEngineTest, UndoReopensFilesWithThePasswordTheRunSet) {
    const std::string a = Pdf("a.pdf");
    engine_.Security().ChangeSecurity = true;
    engine_.Security().OpenPassword = "op";
    engine_.Security().OwnerPassword = "own";
    engine_.Apply().DocumentEntries = {a};
    engine_.RunApply();
    ASSERT_EQ(engine_.LastRun().Processed, 1);
    EXPECT_NE(PdfText(a, "op").find("Page 1 of 3"), std::string::npos);
    // The dialog's settings have moved on since; the record knows the password.
    engine_.Security() = docsettings::SecuritySettings{};
    engine_.RunUndo();
    EXPECT_TRUE(ui_.questions.empty()) << ui_.questions.front();
    EXPECT_EQ(engine_.LastRun().Processed, 1);
    EXPECT_NE(test::Run("qpdf --show-encryption " + test::Quote(a)).output.find("not encrypted"),
              std::string::npos);
    EXPECT_EQ(PdfText(a).find("of 3"), std::string::npos);
}

TEST_F(RunEngineTest, APrintErrorAnsweredNoStillTakesThePrintStampsOff) {
    const std::string a = Pdf("a.pdf");
    HDoc doc = OpenCurrent(a);
    host_.SetPrintToFile((dir_ / "printed.pdf").string());
    host::FaultSwitch::Arm("PrintPages", 1);
    ui_.answerYes = false;
    engine_.PrintDocuments();
    ASSERT_EQ(ui_.questions.size(), 1u);
    EXPECT_EQ(engine_.LastRun().Failed, 1);
    EXPECT_EQ(hostcalls::GetDocumentFlags(doc) & kHDocNeedsSave, 0);
    // What the host holds now carries no stamp.
    const fs::path check = dir_ / "check.pdf";
    host_.SetPrintToFile(check.string());
    engine_.Apply().SelectionMode = kSelectNone;
    ui_.answerYes = true;
    engine_.PrintDocuments();
    EXPECT_EQ(PdfText(check).find("of 3"), std::string::npos);
    EXPECT_NE(PdfText(check).find("Page 1"), std::string::npos);
}

TEST_F(RunEngineTest, ADocumentWhosePageTreeLoopsFailsCleanlyAndIsNeverSaved) {
    const std::string raw =
        "%PDF-1.4\n"
        "1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
        "2 0 obj << /Type /Pages /Kids [5 0 R] /Count 2 >> endobj\n"
        "5 0 obj << /Type /Pages /Parent 2 0 R /Kids [3 0 R 2 0 R] /Count 2 >>"
        " endobj\n"
        "3 0 obj << /Type /Page /Parent 5 0 R /MediaBox [0 0 612 792] >> endobj\n"
        "trailer << /Root 1 0 R /Size 6 >>\n"
        "%%EOF\n";
    const fs::path a = dir_ / "loop.pdf";
    test::WriteFile(a, raw);
    engine_.Apply().DocumentEntries = {a.string()};
    engine_.RunApply();
    EXPECT_EQ(ReadFile(a.string()), raw);
    EXPECT_EQ(engine_.LastRun().Failed, 1);
    ASSERT_EQ(ui_.questions.size(), 1u);
    EXPECT_EQ(ui_.questions[0], "Tesser Pro: Error processing document: " + a.string() +
                                    "\nThe document was not changed: its pages could not be read.");
    EXPECT_TRUE(engine_.Apply().UndoHistory.empty());

    // Whoever asks the host to save it after its pages failed gets an error, not a crash.
    HDoc doc = OpenCurrent(a.string());
    EXPECT_THROW(hostcalls::GetPageCount(doc), hostcalls::HostError);
    HFileSys fileSystem = hostcalls::GetDefaultFileSystem();
    hostcalls::PathHandle out(
        fileSystem, hostcalls::PathFromPlatformPath(fileSystem, (dir_ / "out.pdf").string()));
    try {
        hostcalls::SaveDocument(doc, kSaveFlagsOptimised, out.get(), fileSystem);
        ADD_FAILURE() << "saved";
    } catch (const hostcalls::HostError& e) {
        EXPECT_NE(std::string(e.what()).find("damaged and was not saved"), std::string::npos)
            << e.what();
    }
    std::vector<std::string> left;
    for (const auto& item : fs::directory_iterator(dir_.path())) {
        left.push_back(item.path().filename().string());
    }
    EXPECT_EQ(left, std::vector<std::string>{"loop.pdf"}) << "no temporary file is left";
}

TEST_F(RunEngineTest, ASaveOverAFileAnotherRunChangedMeanwhileFailsAndKeepsTheOtherRun) {
    const std::string a = Pdf("a.pdf");
    HFileSys fileSystem = hostcalls::GetDefaultFileSystem();
    hostcalls::PathHandle path(fileSystem, hostcalls::PathFromPlatformPath(fileSystem, a));
    // Two runs have the file open: the first saves twice in a row, which is fine.
    HDoc first = hostcalls::OpenDocument(path.get(), fileSystem, nullptr, nullptr, false);
    hostcalls::SaveDocument(first, kSaveFlagsPlain, path.get(), fileSystem);
    hostcalls::SaveDocument(first, kSaveFlagsPlain, path.get(), fileSystem);
    // The second run stamps and saves the file while the first still has it open.
    engine_.Apply().DocumentEntries = {a};
    engine_.RunApply();
    ASSERT_EQ(engine_.LastRun().Processed, 1);
    const std::string stamped = ReadFile(a);
    try {
        hostcalls::SaveDocument(first, kSaveFlagsPlain, path.get(), fileSystem);
        ADD_FAILURE() << "the first run wrote over the second";
    } catch (const hostcalls::HostError& e) {
        EXPECT_NE(std::string(e.what()).find("changed by another program"), std::string::npos)
            << e.what();
    }
    EXPECT_EQ(ReadFile(a), stamped);
    hostcalls::CloseDocument(first);
}

TEST_F(RunEngineTest, ProgressEventsSayWhatHappenedToEachDocument) {
    const std::string a = Pdf("docs/a.pdf"), b = Pdf("docs/b.pdf");
    const std::string folder = (dir_ / "docs").string() + "/";
    const std::string missing = (dir_ / "missing.pdf").string();
    engine_.Apply().DocumentEntries = {folder, missing};
    engine_.RunApply();
    using Kind = ProgressEvent::Kind;
    std::vector<std::string> seen;
    for (const ProgressEvent& e : ui_.events) {
        const char* what = e.What == Kind::Started     ? "started"
                           : e.What == Kind::Processed ? "processed"
                           : e.What == Kind::Failed    ? "failed"
                                                       : "aborted";
        seen.push_back(std::string(what) + " " + fs::path(e.Name).filename().string() + " " +
                       std::to_string(e.Index) + "/" + std::to_string(e.Total) + " " +
                       std::to_string(e.Processed) + "+" + std::to_string(e.Failed));
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"started a.pdf 0/3 0+0", "processed a.pdf 0/3 1+0",
                                              "started b.pdf 1/3 1+0", "processed b.pdf 1/3 2+0",
                                              "started missing.pdf 2/3 2+0",
                                              "failed missing.pdf 2/3 2+1"}));
    ASSERT_EQ(ui_.events.size(), 6u);
    EXPECT_NE(ui_.events[5].Reason.find("missing.pdf"), std::string::npos) << ui_.events[5].Reason;

    // An undo counts the documents of its record; an abort is an event of its own.
    ui_.events.clear();
    engine_.RunUndo();
    ASSERT_EQ(ui_.events.size(), 4u);
    EXPECT_EQ(ui_.events[0].Total, 2);
    EXPECT_EQ(ui_.events[3].What, Kind::Processed);
    ui_.events.clear();
    ui_.abortAfterAnnouncements = 1;
    engine_.Apply().DocumentEntries = {a, b};
    engine_.RunApply();
    ASSERT_FALSE(ui_.events.empty());
    EXPECT_EQ(ui_.events.back().What, Kind::Aborted);
    EXPECT_EQ(ui_.events.back().Processed, 1);
}

} // namespace
} // namespace tesser::ui

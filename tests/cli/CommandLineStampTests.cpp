// tesser as people use command-line PDF tools: stamps defined by options and kept in the
// profile, output to a file, progress lines and the JSON summary, dry runs, the undo history and
// undoing a chosen run, bundled options. Through the built binary on generated PDF files.
#include "TesserHomeTest.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tesser::test {
namespace {

namespace fs = std::filesystem;

// The same Tesserion as "Foot" defined on the command line below, written by hand.
const char* const kFootProfile = "[Tesserion_Foot]\r\n"
                                 "Text=Page <PageNumber> of <PageCount>\r\n"
                                 "PosX=72.000000\r\n"
                                 "PosY=36.000000\r\n"
                                 "JustifyV=Bottom\r\n"
                                 "ColorName=Red\r\n"
                                 "ColorText=1.00,0.00,0.00\r\n"
                                 "FontFace=Times-Bold\r\n"
                                 "FontSize=20.000000\r\n"
                                 "\r\n"
                                 "[Tesserions]\r\n"
                                 "Count=1\r\n"
                                 "1=Foot\r\n";
const char* const kFootOptions = "--text 'Page <PageNumber> of <PageCount>' --x 1 --y 0.5 "
                                 "--valign bottom --colour red --font times-bold --size 20";

using TesserCommandLine = TesserHomeTest;

// ---------------------------------------------------------------------------------------------
// Stamps from the command line

TEST_F(TesserCommandLine, AStampDefinedByOptionsWritesWhatTheSameProfileTesserionWrites) {
    const fs::path byProfile = Pdf("profile.pdf");
    const fs::path byOptions = Pdf("options.pdf");
    WriteFile(dir_ / "hand.ini", kFootProfile);

    const CommandResult a = Tesser("-q -p " + Q(dir_ / "hand.ini") + " -t Foot " + Q(byProfile));
    ASSERT_EQ(a.exitCode, 0) << a.errors;
    const CommandResult b = Tesser(std::string("-q ") + kFootOptions + " " + Q(byOptions));
    ASSERT_EQ(b.exitCode, 0) << b.errors;

    EXPECT_TRUE(QpdfCheckPasses(byOptions));
    const DocumentView fromProfile = ViewDocument(byProfile);
    const DocumentView fromOptions = ViewDocument(byOptions);
    ASSERT_TRUE(fromOptions.ok);
    EXPECT_EQ(fromOptions.pageContents, fromProfile.pageContents);
    EXPECT_NE(fromOptions.pageContents.at(0).find("/F"), std::string::npos);
    EXPECT_NE(PdfText(byOptions).find("Page 2 of 3"), std::string::npos);
    EXPECT_FALSE(fs::exists(ProfilePath())) << "applying alone stores nothing";
}

TEST_F(TesserCommandLine, SaveAsStoresTheStampSoThatTheNameGivesTheSameResult) {
    // Store it (no profile yet: the file is created), then apply it by name.
    const CommandResult save = Tesser(std::string(kFootOptions) + " --save-as Foot");
    ASSERT_EQ(save.exitCode, 0) << save.errors;
    const std::string profile = ReadFile(ProfilePath());
    EXPECT_NE(profile.find("[Tesserion_Foot]\r\nColorName=Red\r\nColorText=1.00,0.00,0.00\r\n"
                           "FontFace=Times-Bold\r\nFontLeading=14.000000\r\nFontSize=20.000000\r\n"
                           "JustifyH=Left\r\nJustifyV=Bottom\r\n"),
              std::string::npos)
        << profile;
    EXPECT_NE(profile.find("PosX=72.000000\r\nPosY=36.000000\r\n"
                           "Text=Page <PageNumber> of <PageCount>\r\nUnits=Inches\r\n"),
              std::string::npos)
        << profile;
    EXPECT_NE(profile.find("[Tesserions]\r\n1=Foot\r\nCount=1\r\n"), std::string::npos);

    const fs::path byName = Pdf("name.pdf");
    const fs::path byOptions = Pdf("options.pdf");
    ASSERT_EQ(Tesser("-q -t Foot " + Q(byName)).exitCode, 0);
    ASSERT_EQ(Tesser(std::string("-q ") + kFootOptions + " " + Q(byOptions)).exitCode, 0);
    EXPECT_EQ(ViewDocument(byName).pageContents, ViewDocument(byOptions).pageContents);

    // --show prints the options that define it: pasted after tesser they define it again.
    const CommandResult shown = Tesser("--show Foot");
    ASSERT_EQ(shown.exitCode, 0) << shown.errors;
    EXPECT_NE(shown.output.find("--font Times-Bold \\\n"), std::string::npos) << shown.output;
    std::string options = shown.output;
    options.pop_back(); // the last line's end
    const CommandResult again =
        test::Run("export XDG_CONFIG_HOME=" + Q(dir_ / "config") + "; eval " +
                  Quote(Quote(TESSER_BINARY) + " -q " + options + " --save-as Copy"));
    ASSERT_EQ(again.exitCode, 0) << again.errors;
    const std::string both = ReadFile(ProfilePath());
    auto section = [&both](const std::string& name) {
        const auto at = both.find("[Tesserion_" + name + "]\r\n");
        return at == std::string::npos
                   ? std::string("missing")
                   : both.substr(both.find('\n', at),
                                 both.find("\r\n\r\n", at) - both.find('\n', at));
    };
    EXPECT_EQ(section("Copy"), section("Foot"));

    // Other sections survive a save; --delete removes only the one named.
    WriteFile(ProfilePath(), both + "[Colors]\r\n0=255\r\n\r\n");
    const CommandResult removed = Tesser("--delete Copy");
    ASSERT_EQ(removed.exitCode, 0) << removed.errors;
    const std::string after = ReadFile(ProfilePath());
    EXPECT_EQ(after.find("Tesserion_Copy"), std::string::npos);
    EXPECT_NE(after.find("[Colors]\r\n0=255\r\n"), std::string::npos) << after;
    EXPECT_NE(after.find("[Tesserions]\r\n1=Foot\r\nCount=1\r\n"), std::string::npos) << after;
}

TEST_F(TesserCommandLine, StampOptionsAreCheckedWithTheTesserionMessagesBeforeAnythingIsTouched) {
    const fs::path a = Pdf("a.pdf");
    const std::string before = ReadFile(a);
    struct Case {
        std::string options;
        std::string said;
    };
    const std::vector<Case> cases = {
        {"--text x --size 5000", "The font size is invalid"},
        {"--text x --font Arial", "The font face is invalid"},
        {"--text x --angle 400", "The position angle is invalid"},
        {"--text x --pages 0-3", "The page range is invalid"},
        {"--text x --colour 1.5", "The colour is invalid"},
        {"--text x --x 2cm", "--x: \"2cm\" is not a number"},
        {"--text x --x 1e308", "--x: \"1e308\" is out of range"},
        {"--text x --x 1e19 --units points", "--x: \"1e19\" is out of range"},
        {"--text x --y -456 --units inches", "--y: \"-456\" is out of range"},
        {"--text x --layer middle", "--layer: unknown value \"middle\""},
        {"--text x --save-as '[x]'", "cannot be a Tesserion's name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        const CommandResult run = Tesser(c.options + " " + Q(a));
        EXPECT_EQ(run.exitCode, 2) << run.errors;
        EXPECT_NE(run.errors.find(c.said), std::string::npos) << run.errors;
    }
    EXPECT_EQ(ReadFile(a), before);
    EXPECT_FALSE(fs::exists(JournalPath()));
    EXPECT_FALSE(fs::exists(ProfilePath()));
}

// A stamp that selects no page of a document leaves it untouched and says so; a run in which
// it selected no page of any document fails, also across worker processes.
TEST_F(TesserCommandLine, AStampThatSelectsNoPageSaysSoAndTouchesNothing) {
    const fs::path a = Pdf("a.pdf");
    PdfSpec two;
    two.pages = 2;
    const fs::path b = Pdf("b.pdf", two);
    const std::string beforeA = ReadFile(a);
    const std::string beforeB = ReadFile(b);
    for (const std::string& options :
         {std::string("--pages 3-1"), std::string("--pages 11-20"),
          std::string("--pages 2 --odd-even odd"), std::string("-j 2 --pages 7-")}) {
        SCOPED_TRACE(options);
        const CommandResult run = Tesser("--y 1 --text X " + options + " " + Q(a) + " " + Q(b));
        EXPECT_EQ(run.exitCode, 1) << run.errors;
        EXPECT_NE(run.errors.find(Q(a).substr(1, a.string().size()) +
                                  ": not touched: \"(command line)\" selected no page of this "
                                  "document"),
                  std::string::npos)
            << run.errors;
        EXPECT_NE(run.errors.find("tesser: \"(command line)\" selected no page of any document"),
                  std::string::npos);
        EXPECT_NE(run.errors.find("0 processed, 0 failed, 2 not touched"), std::string::npos);
        EXPECT_EQ(ReadFile(a), beforeA);
        EXPECT_EQ(ReadFile(b), beforeB);
        EXPECT_FALSE(fs::exists(JournalPath()));
    }
    // Page 3 is in a alone: b is told untouched, the run succeeds and records a only.
    const CommandResult some = Tesser("--json --y 1 --text X --pages 3- " + Q(a) + " " + Q(b));
    EXPECT_EQ(some.exitCode, 0) << some.errors;
    EXPECT_NE(some.output.find("\"outcome\": \"not touched\""), std::string::npos) << some.output;
    EXPECT_NE(some.output.find("\"processed\": 1, \"failed\": 0, \"not_touched\": 1, "
                               "\"selected_nothing\": []"),
              std::string::npos)
        << some.output;
    EXPECT_EQ(ReadFile(b), beforeB);
    EXPECT_NE(ReadFile(a), beforeA);
    const CommandResult history = Tesser("--history");
    EXPECT_NE(history.output.find("1 document"), std::string::npos) << history.output;
}

// A file name is shown with its control characters escaped wherever a line names it: it can
// neither recolour the terminal nor forge a line.
TEST_F(TesserCommandLine, ControlCharactersInFileNamesAreShownEscaped) {
    const fs::path named = dir_ / "x\x1b[31mred\nforged: stamped.pdf";
    fs::copy_file(Pdf("a.pdf"), named);
    const std::string shown = (dir_ / "x\\e[31mred\\nforged: stamped.pdf").string();
    const CommandResult run = Tesser("--y 1 --text Z " + Q(named));
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    const CommandResult dry = Tesser("--dry-run --y 1 --text Z " + Q(named));
    const CommandResult history = Tesser("--history");
    for (const std::string& output : {run.errors, dry.output, history.output}) {
        EXPECT_EQ(output.find('\x1b'), std::string::npos) << output;
        EXPECT_EQ(output.find("red\n"), std::string::npos) << output;
        EXPECT_NE(output.find(shown), std::string::npos) << output;
    }
}

// A backslash in --text: "\\" draws one, "\<" draws a "<" that starts no field, "\n" breaks the
// line; --show gives options that draw the same again.
TEST_F(TesserCommandLine, BackslashesInTheTextDrawWhatTheManPageSays) {
    const fs::path a = Pdf("a.pdf");
    const CommandResult run = Tesser(
        R"(-q --y 1 --text 'C:\\dir \<PageNumber> <PageNumber>\nnext' --save-as Slash )" + Q(a));
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    const std::string text = PdfText(a);
    EXPECT_NE(text.find("C:\\dir <PageNumber> 1\nnext"), std::string::npos) << text;

    const CommandResult show = Tesser("--show Slash");
    ASSERT_EQ(show.exitCode, 0) << show.errors;
    const fs::path b = Pdf("b.pdf");
    std::string options = show.output; // lines joined by " \" and a line break, for a shell
    while (!options.empty() && options.back() == '\n') {
        options.pop_back();
    }
    const CommandResult again = Tesser("-q " + options + " " + Q(b));
    ASSERT_EQ(again.exitCode, 0) << again.errors << "\n" << options;
    EXPECT_EQ(ViewDocument(b).pageContents, ViewDocument(a).pageContents) << options;
}

// ---------------------------------------------------------------------------------------------
// The profile as people write it

TEST_F(TesserCommandLine, AProfileWrittenInUtf8IsReadAsItsAuthorMeantIt) {
    WriteFile(ProfilePath(), "[Tesserion_Caf\xC3\xA9]\nText=D\xC3\xA9j\xC3\xA0 vu\nPosY=36\n\n"
                             "[Tesserions]\nCount=1\n1=Caf\xC3\xA9\n");
    const CommandResult list = Tesser("--list");
    EXPECT_EQ(list.output, "Caf\xC3\xA9: valid\n") << list.errors;
    EXPECT_NE(list.errors.find("read as UTF-8"), std::string::npos) << list.errors;

    const fs::path a = Pdf("a.pdf");
    const CommandResult run = Tesser("-q -t Caf\xC3\xA9 " + Q(a));
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_NE(PdfText(a).find("D\xC3\xA9j\xC3\xA0 vu"), std::string::npos) << PdfText(a);

    // A character with no Windows-1252 form cannot be read: refused with how to mend it.
    WriteFile(ProfilePath(), "[Tesserion_X]\nText=\xE4\xB8\xAD\n\n[Tesserions]\nCount=1\n1=X\n");
    const CommandResult refused = Tesser("--list");
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.errors.find("U+4E2D"), std::string::npos) << refused.errors;
    EXPECT_NE(refused.errors.find("WINDOWS-1252"), std::string::npos) << refused.errors;
}

TEST_F(TesserCommandLine, NamesMissingProfilesAndUnlistedSectionsAreReportedPlainly) {
    const fs::path a = Pdf("a.pdf");
    const CommandResult noProfile = Tesser("--list");
    EXPECT_EQ(noProfile.exitCode, 1);
    EXPECT_NE(noProfile.errors.find("no profile at " + ProfilePath().string()), std::string::npos)
        << noProfile.errors;
    const CommandResult noProfileApply = Tesser("-t Foot " + Q(a));
    EXPECT_EQ(noProfileApply.exitCode, 2);
    EXPECT_NE(noProfileApply.errors.find("there is no profile at"), std::string::npos)
        << noProfileApply.errors;

    WriteFile(ProfilePath(), std::string(kFootProfile) + "\r\n[Tesserion_Orphan]\r\nText=x\r\n");
    const CommandResult list = Tesser("--list");
    EXPECT_EQ(list.output, "Foot: valid\n");
    EXPECT_NE(list.errors.find("[Tesserion_Orphan] is not listed in [Tesserions]"),
              std::string::npos)
        << list.errors;

    const CommandResult caseOnly = Tesser("-t foot " + Q(a));
    EXPECT_EQ(caseOnly.exitCode, 2);
    EXPECT_NE(caseOnly.errors.find("did you mean \"Foot\"?"), std::string::npos) << caseOnly.errors;
    const CommandResult far = Tesser("-t Header " + Q(a));
    EXPECT_EQ(far.errors.find("did you mean"), std::string::npos) << far.errors;
}

// ---------------------------------------------------------------------------------------------
// Output, progress and the summary

TEST_F(TesserCommandLine, OutputToAFileWritesThatFileAndRefusesTheInputItself) {
    const fs::path a = Pdf("a.pdf");
    const std::string before = ReadFile(a);
    const CommandResult run =
        Tesser("-q --y 1 --text Stamped -o " + Q(dir_ / "stamped.pdf") + " " + Q(a));
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    ASSERT_TRUE(fs::is_regular_file(dir_ / "stamped.pdf"));
    EXPECT_TRUE(QpdfCheckPasses(dir_ / "stamped.pdf"));
    EXPECT_NE(PdfText(dir_ / "stamped.pdf").find("Stamped"), std::string::npos);
    EXPECT_EQ(ReadFile(a), before);

    fs::create_symlink(a, dir_ / "link.pdf");
    for (const std::string& target : {a.string(), (dir_ / "link.pdf").string()}) {
        SCOPED_TRACE(target);
        const CommandResult refused =
            Tesser("--y 1 --text X --output " + Quote(target) + " " + Q(a));
        EXPECT_EQ(refused.exitCode, 2);
        EXPECT_NE(refused.errors.find("is the input"), std::string::npos) << refused.errors;
        EXPECT_EQ(ReadFile(a), before);
    }
    const CommandResult two =
        Tesser("--y 1 --text X --output " + Q(dir_ / "x.pdf") + " " + Q(a) + " " + Q(Pdf("b.pdf")));
    EXPECT_EQ(two.exitCode, 2);
    EXPECT_FALSE(fs::exists(dir_ / "x.pdf"));
}

TEST_F(TesserCommandLine, ProgressHasOneLinePerDocumentAndTheJsonSummaryMatchesIt) {
    const fs::path a = Pdf("a.pdf");
    const fs::path damaged = dir_ / "damaged.pdf";
    WriteFile(damaged, "%PDF-1.4\nnot a PDF body\n");
    const fs::path c = Pdf("c.pdf");
    const CommandResult run =
        Tesser("-y --json --y 1 --text Hello " + Q(a) + " " + Q(damaged) + " " + Q(c));
    EXPECT_EQ(run.exitCode, 1) << run.errors;
    EXPECT_NE(run.errors.find("[1/3] " + a.string() + ": stamped, 3 pages\n"), std::string::npos)
        << run.errors;
    EXPECT_NE(run.errors.find("[2/3] " + damaged.string() + ": failed: "), std::string::npos);
    EXPECT_NE(run.errors.find("[3/3] " + c.string() + ": stamped, 3 pages\n"), std::string::npos);
    EXPECT_NE(run.errors.find("tesser: 2 processed, 1 failed, 0 skipped\n"), std::string::npos);
    // The failing file's path is named once on its line.
    const auto line = run.errors.find("[2/3]");
    const std::string failedLine = run.errors.substr(line, run.errors.find('\n', line) - line);
    EXPECT_EQ(failedLine.find(damaged.string()), failedLine.rfind(damaged.string())) << failedLine;

    // The summary parses, and says the same.
    WriteFile(dir_ / "summary.json", run.output);
    const CommandResult parsed =
        test::Run("python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); "
                  "print(d[\"processed\"], d[\"failed\"], d[\"skipped\"], d[\"journal_id\"], "
                  "[x[\"outcome\"] for x in d[\"documents\"]], d[\"documents\"][1][\"path\"])' " +
                  Q(dir_ / "summary.json"));
    ASSERT_EQ(parsed.exitCode, 0) << parsed.errors << run.output;
    EXPECT_EQ(parsed.output,
              "2 1 0 1 ['processed', 'failed', 'processed'] " + damaged.string() + "\n");

    // Stopped at the first error (no terminal, no --yes): the rest is counted as skipped.
    const CommandResult stopped =
        Tesser("--y 1 --text Hello " + Q(damaged) + " " + Q(a) + " " + Q(c));
    EXPECT_EQ(stopped.exitCode, 1);
    EXPECT_NE(stopped.errors.find("tesser: 0 processed, 1 failed, 2 skipped\n"), std::string::npos)
        << stopped.errors;
}

TEST_F(TesserCommandLine, ADryRunSaysWhatWouldHappenAndLeavesEveryByteAndTheJournal) {
    PdfSpec five;
    five.pages = 5;
    const fs::path a = Pdf("a.pdf", five);
    const std::string before = ReadFile(a);
    const CommandResult run = Tesser("--dry-run --text 'Page <PageNumber> of <PageCount>' "
                                     "--y 1 --pages 2-3 --title New " +
                                     Q(a));
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_NE(run.output.find("[1/1] " + a.string() + ": 5 pages\n"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("on pages 2-3; page 2 reads \"Page 2 of 5\""), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("set Title"), std::string::npos) << run.output;
    EXPECT_EQ(ReadFile(a), before);
    EXPECT_FALSE(fs::exists(JournalPath()));
}

// ---------------------------------------------------------------------------------------------
// The undo history

TEST_F(TesserCommandLine, HistoryListsTheRunsAndAChosenRunIsUndoneKeepingTheOthers) {
    const fs::path a = Pdf("a.pdf");
    const fs::path b = Pdf("b.pdf");
    const DocumentView originalA = ViewDocument(a);
    ASSERT_EQ(Tesser("-q --y 1 --text First " + Q(a)).exitCode, 0);
    ASSERT_EQ(Tesser("-q --y 1 --text Second " + Q(b)).exitCode, 0);
    ASSERT_EQ(Tesser("-q --y 1 --text Third " + Q(a)).exitCode, 0);

    const CommandResult history = Tesser("--history");
    ASSERT_EQ(history.exitCode, 0) << history.errors;
    EXPECT_NE(history.output.find("1  "), std::string::npos) << history.output;
    EXPECT_NE(history.output.find("1 document  stamped (command line)\n      " + a.string()),
              std::string::npos)
        << history.output;
    EXPECT_NE(history.output.find("\n3  "), std::string::npos) << history.output;

    // Run 1 changed a, and run 3 changed a after it: refused, nothing touched.
    const std::string journalBefore = ReadFile(JournalPath());
    const std::string aStamped = ReadFile(a);
    const CommandResult refused = Tesser("--undo=1");
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.errors.find("the later run 3 changed its files " + a.string()),
              std::string::npos)
        << refused.errors;
    EXPECT_EQ(ReadFile(JournalPath()), journalBefore);
    EXPECT_EQ(ReadFile(a), aStamped);

    // Run 2 touched only b: undone out of order; runs 1 and 3 stay and can still be undone.
    const CommandResult two = Tesser("--undo=2");
    ASSERT_EQ(two.exitCode, 0) << two.errors;
    EXPECT_EQ(PdfText(b).find("Second"), std::string::npos);
    const CommandResult after = Tesser("--history");
    EXPECT_EQ(after.output.find("\n2  "), std::string::npos) << after.output;
    EXPECT_NE(after.output.find("\n3  "), std::string::npos) << after.output;
    EXPECT_EQ(Tesser("--undo=7").exitCode, 2);

    ASSERT_EQ(Tesser("-q --undo=3").exitCode, 0);
    ASSERT_EQ(Tesser("-q --undo").exitCode, 0);
    EXPECT_EQ(ViewDocument(a).pageContents, originalA.pageContents);
    EXPECT_EQ(Tesser("--history").output, "No recorded runs (" + JournalPath().string() + ")\n");
}

// ---------------------------------------------------------------------------------------------
// Option conventions

TEST_F(TesserCommandLine, BundledShortOptionsAndTheDoubleDashWork) {
    const fs::path dash = Pdf("-x.pdf");
    const CommandResult run =
        test::Run("cd " + Q(dir_.path()) + " && XDG_CONFIG_HOME=" + Q(dir_ / "config") +
                  " XDG_STATE_HOME=" + Q(dir_ / "state") + " " + Quote(TESSER_BINARY) +
                  " -qy --y 1 --text Dashed -- -x.pdf < /dev/null");
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(run.errors, "") << "-q was taken";
    EXPECT_NE(PdfText(dash).find("Dashed"), std::string::npos);
    const CommandResult bad = Tesser("-qz x.pdf");
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.errors.find("unknown option -z"), std::string::npos) << bad.errors;
}

} // namespace
} // namespace tesser::test

// Parsing of the tesser command line.
#include "cli/JobJson.h"
#include "cli/Options.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace tesser::cli {
namespace {

CliOptions Parse(std::vector<std::string> args) {
    return ParseOptions(args);
}

TEST(TesserOptions, TesserionsKeepTheirOrderAndRepeat) {
    const CliOptions o = Parse({"-t", "B", "--tesserion=A", "-tB", "f.pdf"});
    EXPECT_EQ(o.tesserions, (std::vector<std::string>{"B", "A", "B"}));
    EXPECT_EQ(o.paths, (std::vector<std::string>{"f.pdf"}));
}

TEST(TesserOptions, OpenSettingsMapToTheRowsOfTheOpenPage) {
    const CliOptions o = Parse({"--view", "thumbnails", "--zoom=fit-visible", "--layout", "facing",
                                "--open-page", "000000012", "f.pdf"});
    EXPECT_EQ(o.view, 4);
    EXPECT_EQ(o.zoom, 11);
    EXPECT_EQ(o.layout, 4);
    EXPECT_EQ(o.openPage, 12);
    EXPECT_EQ(Parse({"--zoom", "100", "f.pdf"}).zoom, 3);
    EXPECT_EQ(Parse({"--zoom", "default", "f.pdf"}).zoom, 12);
    EXPECT_EQ(Parse({"--page-mode", "page-only", "f.pdf"}).view, 2);
}

TEST(TesserOptions, WindowOptionsHaveThreeStates) {
    const CliOptions o = Parse({"--fit-window", "--center-window=no", "--full-screen=keep",
                                "--hide-menubar=yes", "f.pdf"});
    EXPECT_EQ(o.fitWindow, 1);
    EXPECT_EQ(o.centerWindow, 0);
    EXPECT_EQ(o.fullScreen, 2);
    EXPECT_EQ(o.hideMenuBar, 1);
    EXPECT_EQ(o.hideToolBar, 2);
    EXPECT_EQ(o.hideWindowUI, 2);
    EXPECT_THROW(Parse({"--fit-window=maybe", "f.pdf"}), UsageError);
}

TEST(TesserOptions, PermissionOptionsClearTheirBitsAndChangeSecurity) {
    const CliOptions o = Parse({"--no-print", "--no-annotate", "f.pdf"});
    EXPECT_EQ(o.permissions, 60 - 4 - 32);
    EXPECT_TRUE(o.changeSecurity);
    const CliOptions current = Parse({"--current-password", "pw", "-t", "A", "f.pdf"});
    EXPECT_FALSE(current.changeSecurity) << "the current password only opens the files";
    EXPECT_TRUE(Parse({"--owner-password", "x", "f.pdf"}).changeSecurity);
}

TEST(TesserOptions, PageNumberFollowsTheOpenPageRule) {
    EXPECT_THROW(Parse({"--open-page", "1234567890", "f.pdf"}), UsageError);
    EXPECT_THROW(Parse({"--open-page", "-1", "f.pdf"}), UsageError);
    EXPECT_THROW(Parse({"--open-page", "", "f.pdf"}), UsageError);
    EXPECT_EQ(Parse({"--open-page", "999999999", "f.pdf"}).openPage, 999999999);
}

TEST(TesserOptions, ModesAndTheirArgumentsAreChecked) {
    EXPECT_EQ(Parse({"--undo"}).mode, Mode::Undo);
    EXPECT_EQ(Parse({"--list"}).mode, Mode::List);
    EXPECT_EQ(Parse({"--help", "--bogus"}).mode, Mode::Help);
    EXPECT_THROW(Parse({"--undo", "f.pdf"}), UsageError);
    EXPECT_THROW(Parse({"--undo", "--list"}), UsageError);
    EXPECT_THROW(Parse({"--print", "f.pdf"}), UsageError) << "print needs a Tesserion";
    EXPECT_THROW(Parse({"--print", "-t", "A", "--title", "x", "f.pdf"}), UsageError);
    EXPECT_THROW(Parse({"-t", "A", "--printer", "q", "f.pdf"}), UsageError);
    EXPECT_THROW(Parse({"f.pdf"}), UsageError) << "nothing to apply";
    EXPECT_THROW(Parse({"-t", "A"}), UsageError) << "no files";
    EXPECT_THROW(Parse({"-t"}), UsageError);
    EXPECT_THROW(Parse({"--list=x"}), UsageError);
    EXPECT_THROW(Parse({"--ask-passwords", "--password-stdin", "-t", "A", "f.pdf"}), UsageError);
}

TEST(TesserOptions, DoubleDashEndsTheOptions) {
    const CliOptions o = Parse({"-t", "A", "--", "--title", "-x.pdf"});
    EXPECT_EQ(o.paths, (std::vector<std::string>{"--title", "-x.pdf"}));
    EXPECT_FALSE(o.title);
}

TEST(TesserOptions, AnswersForQuestionsWithoutATerminal) {
    EXPECT_EQ(Parse({"-t", "A", "f.pdf"}).answer, Answer::Ask);
    EXPECT_EQ(Parse({"-y", "-t", "A", "f.pdf"}).answer, Answer::Yes);
    EXPECT_EQ(Parse({"--no", "-t", "A", "f.pdf"}).answer, Answer::No);
    EXPECT_FALSE(Parse({"--no-optimise", "-t", "A", "f.pdf"}).optimise);
    EXPECT_TRUE(Parse({"-t", "A", "f.pdf"}).optimise);
}

TEST(TesserOptions, WorkerCountAndAListOfFilesFromAnotherProgram) {
    EXPECT_EQ(Parse({"-t", "A", "f.pdf"}).jobs, 1);
    EXPECT_EQ(Parse({"-j", "0", "-t", "A", "f.pdf"}).jobs, 0);
    EXPECT_EQ(Parse({"-qj4", "-t", "A", "f.pdf"}).jobs, 4);
    EXPECT_EQ(Parse({"--jobs=1024", "-t", "A", "f.pdf"}).jobs, 1024);
    for (const char* bad : {"-1", "1025", "", "two", "99999"}) {
        EXPECT_THROW(Parse({"-j", bad, "-t", "A", "f.pdf"}), UsageError) << bad;
    }
    // A list stands for the files: the run needs no PATH besides.
    const CliOptions o = Parse({"-t", "A", "--files-from", "-", "--null"});
    EXPECT_EQ(o.filesFrom, "-");
    EXPECT_TRUE(o.nullSeparated);
    EXPECT_TRUE(o.paths.empty());
    EXPECT_THROW(Parse({"-t", "A", "--null", "f.pdf"}), UsageError);
    EXPECT_THROW(Parse({"--list", "--files-from", "l.txt"}), UsageError);
    EXPECT_THROW(Parse({"--undo", "--files-from", "l.txt"}), UsageError);
    EXPECT_THROW(Parse({"-t", "A", "--files-from", "-", "--password-stdin"}), UsageError);
    EXPECT_NO_THROW(Parse({"-t", "A", "--files-from", "l.txt", "--password-stdin"}));
}

} // namespace
// A job file is the command line as JSON: its options and paths parse to the same options as
// the arguments they stand for, in the place of --job-json, so that later arguments override.
TEST(TesserOptions, AJobFileParsesAsTheCommandLineItStandsFor) {
    const JobArguments job = ParseJobJson(
        R"({"text": "Page <PageNumber>\n\u00e9\ud83d\ude00", "x": 1.5, "tesserion": ["A", "B"],
            "yes": true, "quiet": false, "undo": null, "paths": ["a.pdf", "b c.pdf"]})",
        "job.json");
    EXPECT_EQ(job.Options,
              (std::vector<std::string>{"--text=Page <PageNumber>\n\xC3\xA9\xF0\x9F\x98\x80",
                                        "--x=1.5", "--tesserion=A", "--tesserion=B", "--yes"}));
    EXPECT_EQ(job.Paths, (std::vector<std::string>{"a.pdf", "b c.pdf"}));

    tesser::test::TempDir dir;
    tesser::test::WriteFile(dir / "job.json",
                            R"({"tesserion": ["Foot"], "size": "20", "paths": ["a.pdf"]})");
    const std::string file = (dir / "job.json").string();
    const CliOptions o = Parse({"-t", "First", "--job-json", file, "--size", "30", "c.pdf"});
    EXPECT_EQ(o.tesserions, (std::vector<std::string>{"First", "Foot"}));
    ASSERT_EQ(o.stamp.Values.count("size"), 1u);
    EXPECT_EQ(o.stamp.Values.at("size"), "30"); // the later argument overrides the job
    EXPECT_EQ(o.paths, (std::vector<std::string>{"a.pdf", "c.pdf"}));

    // What is wrong is said with the file and the place.
    for (const char* bad : {R"({"text": "a")", R"(["text"])", R"({"text": {"a": 1}})",
                            R"({"job-json": "other.json"})", R"({"paths": [1]})",
                            R"({"text": "\ud800"})", R"({} trailing)"}) {
        SCOPED_TRACE(bad);
        try {
            ParseJobJson(bad, "job.json");
            ADD_FAILURE() << "accepted";
        } catch (const UsageError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("--job-json job.json: ", 0), 0u) << e.what();
        }
    }
    // A key that is no option is refused as a typed option would be.
    tesser::test::WriteFile(dir / "typo.json", R"({"ouput": "x.pdf", "paths": ["a.pdf"]})");
    EXPECT_THROW(Parse({"--job-json", (dir / "typo.json").string()}), UsageError);
    EXPECT_THROW(Parse({"--job-json", (dir / "missing.json").string()}), UsageError);
    // Standard input holds one thing: the job, or the passwords, or the list of files.
    for (const char* other : {"--password-stdin a.pdf", "--files-from -"}) {
        const tesser::test::CommandResult both =
            tesser::test::Run("printf '{\"text\": \"X\"}' | " + tesser::test::Quote(TESSER_BINARY) +
                              " --job-json - " + other);
        EXPECT_EQ(both.exitCode, 2) << other;
        EXPECT_NE(both.errors.find("cannot share standard input"), std::string::npos)
            << both.errors;
    }
}

} // namespace tesser::cli
